// The virtual card's DirectSound device as a test sees it: its configuration,
// its record of live objects, its fault injection and the layout of its
// registry key. Test programs that link the card (library vcdsound) call these
// functions in-process; a process that only loads the replacement dsound.dll
// is configured through the same registry key.
//
// Registry: HKEY_CURRENT_USER\Software\VirtualCard (the card's own key; the
// program under test never reads it). Every value is optional.
//   DeviceCount      REG_DWORD  number of DirectSound devices, 0..16
//                               (absent: 1, the card alone)
//   PlayTimePercent  REG_DWORD  a played buffer lasts this percentage of its
//                               real playing time (absent: 100; 0 = ends at once)
//   Device<i>\       i = 0 .. DeviceCount-1
//     Description    REG_SZ     (device 0: "Sonaris PCI Audio",
//                                others: "Virtual Sound Device <i>")
//     Module         REG_SZ     (device 0: "vtwdm560.sys", others: "vcsound.sys")
//     Guid           REG_SZ     "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
//                               (default: VcDefaultDeviceGuid(i))
//     Hardware3D     REG_DWORD  non-zero: hardware (3D) buffers (default: device 0)
//     ChannelConfig  REG_DWORD  non-zero: KSPROPERTY_AUDIO_CHANNEL_CONFIG
//                               can be set (default: device 0)
//     Q3D            REG_DWORD  non-zero: the two Q3D property sets on its
//                               hardware 3D buffers (default: device 0)
//     SpeakerConfig  REG_DWORD  written by SetSpeakerConfig (default: 4, stereo)
//     Q3DPropertySet\<id>        REG_BINARY  stored by IKsPropertySet::Set
//     Q3DEffectPropertySet\<id>  REG_BINARY  stored by IKsPropertySet::Set
//   Faults\<Method>  REG_SZ     "N HRESULT", e.g. "2 0x88780078": the Nth call
//                               of Method in each process fails with HRESULT
//                               (N = 0: every call). Read when a process first
//                               uses the card.
// Method names for faults: DirectSoundCreate, DirectSoundEnumerate,
// SetCooperativeLevel, CreateSoundBuffer, GetSpeakerConfig, SetSpeakerConfig,
// QueryInterface (of a buffer), Lock, Unlock, Play, Stop, GetStatus,
// QuerySupport, Get, Set.
//
// Record (virtualcard/vclog.h), one line per event, fields "key=value":
//   ds.enumerate.device index=<i> guid=<g> desc="<d>" module="<m>"
//   ds.create dev=<i> obj=<n>              ds.create.fail guid=<g> hr=<h>
//   ds.release obj=<n> buffers=<k>          (k: its buffers still held then)
//   ds.coop obj=<n> hwnd=<w> level=<l> hr=<h>
//   ds.buffer obj=<n> buf=<m> size=<s> flags=<f> bytes=<b>
//             format=<tag>/<ch>/<rate>/<avg>/<align>/<bits> hr=<h>   (buf=0 when refused)
//   ds.speaker.get dev=<i> value=<v> hr=<h>     ds.speaker.set dev=<i> value=<v> hr=<h>
//   buf.qi buf=<m> iid=<g> hr=<h>      buf.release buf=<m>     ks.release buf=<m>
//   ks.support buf=<m> set=<Audio|Q3D|Effect|g> id=<id> support=<s> hr=<h>
//   ks.get / ks.set buf=<m> set=<...> id=<id> inst=<len> size=<len> value=<w>[,<w>...] hr=<h>
//             (value: the data as 32-bit words in hex; inst: instance length)
//   buf.route buf=<m> mask=<mask>           (a channel configuration took effect)
//   buf.play buf=<m> dev=<i> flags=<f> bytes=<b> crc=<crc32> mask=<mask> ms=<t> hr=<h>
//   buf.stop buf=<m> hr=<h>                  buf.end buf=<m>  (ended by itself)
//   fault method=<Method> call=<n> hr=<h>
// Numbers are hexadecimal with "0x" where they are flags, masks, codes or
// words, decimal otherwise.
#ifndef VIRTUALCARD_VCARD_H
#define VIRTUALCARD_VCARD_H

#include <windows.h>

#include <stddef.h>

#define VCARD_KEY "Software\\VirtualCard"
#define VCARD_MAX_DEVICES 16

// The card's private property sets.
const GUID VcQ3DPropertySet = {0x7CA99CA0, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};
const GUID VcQ3DEffectPropertySet = {0x7CA99CA1, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};

struct VcDevice {
    char description[128];
    char module[64];
    GUID guid;
    bool hardware3D;
    bool channelConfig;
    bool q3D;
};

// Removes the card's registry key (devices, stored values, faults), clears
// the in-process faults, play-time scale, counters and the record.
void VcReset();

// Device i as it is when the registry says nothing about it.
void VcDefaultDevice(int index, VcDevice *device);
GUID VcDefaultDeviceGuid(int index);

// Writes the device list (count 0..VCARD_MAX_DEVICES) to the registry.
bool VcSetDevices(const VcDevice *devices, int count);
// The device list as the card sees it now.
int VcDeviceCount();
bool VcGetDevice(int index, VcDevice *device);

// Playing time as a percentage of the real one (in-process, and in the
// registry for other processes).
void VcSetPlayTimePercent(DWORD percent);

// Makes the nth call (counted from now; 0 = every call) of method fail with
// result. VcClearFaults removes them all (in-process and in the registry).
bool VcFailCall(const char *method, int n, HRESULT result);
void VcClearFaults();

// Objects the program holds now.
int VcLiveDirectSounds();
int VcLiveBuffers();
int VcLivePropertySets();
int VcPlayingBuffers();

// The device's stored state, as the registry holds it across processes.
DWORD VcSpeakerConfig(int device);
bool VcStoredProperty(int device, const GUID &set, ULONG id, void *value, ULONG size);

// Index of the first record line at or after from that starts with prefix,
// or VcLogCount() when there is none; and the value of a "key=" field of a line
// (copied into out, false when absent).
size_t VcLogFind(const char *prefix, size_t from = 0);
bool VcLogField(const char *line, const char *key, char *out, size_t outSize);

#endif
