// The driver connection: a DirectSound object and the property-set interface
// of a small hardware 3D buffer on it, through which the pages read and write
// the driver's private settings; and the list of devices the panel writes to.
#ifndef VTPANEL_PANEL_DRIVER_H
#define VTPANEL_PANEL_DRIVER_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

// The driver's two private property sets, and the interface through which
// a buffer offers them and the channel configuration.
extern const GUID Q3DPropertySet;
extern const GUID Q3DEffectPropertySet;
extern const GUID IKsPropertySetId;

// PCM mono, 22050 samples per second, 16 bits: the format of the small
// buffers that connections and probes make.
WAVEFORMATEX DriverBufferFormat();

struct DriverConnection {
    IDirectSound *directSound;
    IKsPropertySet *propertySet;
};

const int kMaxSoundDevices = 10;
extern GUID soundDevices[kMaxSoundDevices];
extern int soundDeviceCount;

// Opens a connection on the device (null: the default device) with window for
// the cooperative level. 0 on success, both out-pointers then owned by the
// caller; otherwise the failing step's result, nothing left open and
// *directSound null. A failure is shown only when report is non-zero.
HRESULT OpenDriverConnection(const GUID *device, HWND window, IDirectSound **directSound,
                             IKsPropertySet **propertySet, int report);

// Releases what an opened connection holds: the property set first.
void CloseDriverConnection(DriverConnection *connection);

// DirectSoundEnumerateA's callback; context points to the window handle for
// the probe. Lists every device but the primary-driver entry that can make an
// ordinary buffer, at most ten; always asks for the next device.
BOOL CALLBACK EnumerateSoundDevice(GUID *device, LPCSTR description, LPCSTR module,
                                   void *context);

// 0 when the device can make an ordinary buffer, else the failing step's result.
HRESULT ProbeSoundDevice(const GUID *device, HWND window);

#endif
