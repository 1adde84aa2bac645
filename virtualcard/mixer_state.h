// The virtual card's mixer devices as the mixer functions and the test
// control share them. One process-wide table; the program's single UI thread
// is the only caller.
#ifndef VIRTUALCARD_MIXER_STATE_H
#define VIRTUALCARD_MIXER_STATE_H

#include "virtualcard/vcmixer.h"

struct VcMixerLine {
    DWORD lineId;
    DWORD destination;   // index of its destination (its own index for a destination)
    DWORD source;        // index among its destination's sources; unused for a destination
    bool isSource;
    DWORD componentType;
    DWORD channels;
    char name[MIXER_LONG_NAME_CHARS];
};

struct VcMixerItem {
    char text[MIXER_LONG_NAME_CHARS];
    DWORD lineId;         // the source the entry stands for, or 0
    DWORD componentType;
};

struct VcMixerControl {
    DWORD controlId;
    DWORD lineId;
    DWORD type;
    DWORD flags;
    DWORD items;          // 0 unless MIXERCONTROL_CONTROLF_MULTIPLE
    DWORD reportedItems;  // 0, or the count a faulty control reports instead
    char name[MIXER_LONG_NAME_CHARS];
    VcMixerItem itemText[kVcMixerMaxItems];
    DWORD values[kVcMixerMaxChannels * kVcMixerMaxItems];
};

struct VcMixerDevice {
    WORD mid;
    WORD pid;
    char name[MAXPNAMELEN];
    UINT lineCount;
    VcMixerLine lines[kVcMixerMaxLines];
    UINT controlCount;
    VcMixerControl controls[kVcMixerMaxControls];
};

struct VcMixerHandle {
    bool open;
    UINT device;
    HWND window;          // null unless opened with CALLBACK_WINDOW
};

struct VcMixerState {
    bool initialised;
    UINT deviceCount;
    VcMixerDevice devices[kVcMixerMaxDevices];
    VcMixerHandle handles[kVcMixerMaxHandles];
};

// The table, with the card's topology installed on first use.
VcMixerState &VcMixer();

VcMixerDevice *VcMixerDeviceAt(UINT device);
const VcMixerLine *VcMixerLineById(const VcMixerDevice &device, DWORD lineId);
VcMixerControl *VcMixerControlById(VcMixerDevice &device, DWORD controlId);
DWORD VcMixerDestinationCount(const VcMixerDevice &device);
DWORD VcMixerSourceCount(const VcMixerDevice &device, DWORD destination);
DWORD VcMixerControlCount(const VcMixerDevice &device, DWORD lineId);
// Channels of the values a control keeps: 1 when uniform, else its line's.
DWORD VcMixerStoredChannels(const VcMixerDevice &device, const VcMixerControl &control);
DWORD VcMixerStoredItems(const VcMixerControl &control);
// Posts a mixer message to every window that has the device open.
void VcMixerNotify(UINT device, UINT message, DWORD id);

#endif
