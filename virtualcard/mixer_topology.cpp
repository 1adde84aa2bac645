// The virtual card's mixer topology: the card's own default and the calls with
// which a test builds another one, reads the stored values or changes them as
// another program would.
#include "virtualcard/mixer_state.h"
#include "virtualcard/vclog.h"

#include <stdio.h>
#include <string.h>

namespace {

VcMixerState state;

const DWORD kLevelMax = 65535;

// A name of 64 characters or more (32 for a device) fills its field without a
// terminator, as the ANSI mixer functions hand over a name whose conversion
// does not fit (a long name in a double-byte code page).
void CopyName(char *to, size_t size, const char *from)
{
    strncpy(to, from ? from : "", size);
}

// What a fresh control holds: faders at three quarters, one entry of a
// single-select list chosen, everything else off.
DWORD InitialValue(DWORD type, DWORD item)
{
    switch (type & MIXERCONTROL_CT_CLASS_MASK) {
    case MIXERCONTROL_CT_CLASS_FADER:
        return kLevelMax / 4 * 3;
    case MIXERCONTROL_CT_CLASS_LIST:
        if ((type & MIXERCONTROL_CT_SUBCLASS_MASK) == MIXERCONTROL_CT_SC_LIST_SINGLE)
            return item == 0 ? 1 : 0;
        return 0;
    default:
        return 0;
    }
}

// The card as its driver presents it: playback to the speakers with a master
// volume and mute and five sources, recording through a source selector.
void InstallCardTopology()
{
    state.deviceCount = 0;
    int dev = VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName);
    if (dev < 0)
        return;
    UINT d = static_cast<UINT>(dev);

    DWORD speakers = VcMixerAddDestination(d, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 2, "Volume Control");
    VcMixerAddControl(d, speakers, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, "Master Volume");
    VcMixerAddControl(d, speakers, MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, 0, "Master Mute");
    struct Source {
        DWORD type;
        DWORD channels;
        const char *name;
    };
    static const Source kPlayback[] = {
        {MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, 2, "Wave"},
        {MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, 2, "SW Synth"},
        {MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, 2, "CD Player"},
        {MIXERLINE_COMPONENTTYPE_SRC_LINE, 2, "Line In"},
        {MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 1, "Microphone"},
    };
    for (const Source &s : kPlayback) {
        DWORD line = VcMixerAddSource(d, speakers, s.type, s.channels, s.name);
        VcMixerAddControl(d, line, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, "Volume");
        VcMixerAddControl(d, line, MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, 0, "Mute");
    }

    static const Source kRecord[] = {
        {MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, 2, "CD Player"},
        {MIXERLINE_COMPONENTTYPE_SRC_LINE, 2, "Line In"},
        {MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 1, "Microphone"},
        {MIXERLINE_COMPONENTTYPE_SRC_ANALOG, 2, "Stereo Mix"},
    };
    DWORD wavein = VcMixerAddDestination(d, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 2, "Recording Control");
    for (const Source &s : kRecord) {
        DWORD line = VcMixerAddSource(d, wavein, s.type, s.channels, s.name);
        VcMixerAddControl(d, line, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, "Volume");
    }
    VcMixerAddControl(d, wavein, MIXERCONTROL_CONTROLTYPE_MUX,
                      MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE, 4,
                      "Recording Source");
    VcMixerAddControl(d, wavein, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, "Recording Volume");
}

VcMixerLine *LineById(VcMixerDevice &device, DWORD lineId)
{
    for (UINT i = 0; i < device.lineCount; ++i)
        if (device.lines[i].lineId == lineId)
            return &device.lines[i];
    return nullptr;
}

} // namespace

VcMixerState &VcMixer()
{
    if (!state.initialised) {
        state.initialised = true;
        InstallCardTopology();
    }
    return state;
}

VcMixerDevice *VcMixerDeviceAt(UINT device)
{
    VcMixerState &s = VcMixer();
    return device < s.deviceCount ? &s.devices[device] : nullptr;
}

const VcMixerLine *VcMixerLineById(const VcMixerDevice &device, DWORD lineId)
{
    return LineById(const_cast<VcMixerDevice &>(device), lineId);
}

VcMixerControl *VcMixerControlById(VcMixerDevice &device, DWORD controlId)
{
    if (controlId == 0 || controlId > device.controlCount)
        return nullptr;
    return &device.controls[controlId - 1];
}

DWORD VcMixerDestinationCount(const VcMixerDevice &device)
{
    DWORD n = 0;
    for (UINT i = 0; i < device.lineCount; ++i)
        if (!device.lines[i].isSource)
            ++n;
    return n;
}

DWORD VcMixerSourceCount(const VcMixerDevice &device, DWORD destination)
{
    DWORD n = 0;
    for (UINT i = 0; i < device.lineCount; ++i)
        if (device.lines[i].isSource && device.lines[i].destination == destination)
            ++n;
    return n;
}

DWORD VcMixerControlCount(const VcMixerDevice &device, DWORD lineId)
{
    DWORD n = 0;
    for (UINT i = 0; i < device.controlCount; ++i)
        if (device.controls[i].lineId == lineId)
            ++n;
    return n;
}

DWORD VcMixerStoredChannels(const VcMixerDevice &device, const VcMixerControl &control)
{
    if (control.flags & MIXERCONTROL_CONTROLF_UNIFORM)
        return 1;
    const VcMixerLine *line = VcMixerLineById(device, control.lineId);
    return line ? line->channels : 1;
}

DWORD VcMixerStoredItems(const VcMixerControl &control)
{
    return (control.flags & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.items : 1;
}

void VcMixerNotify(UINT device, UINT message, DWORD id)
{
    for (VcMixerHandle &h : VcMixer().handles)
        if (h.open && h.device == device && h.window)
            PostMessageA(h.window, message, reinterpret_cast<WPARAM>(&h), static_cast<LPARAM>(id));
}

void VcMixerUseCardTopology()
{
    VcMixer();
    InstallCardTopology();
}

void VcMixerClearDevices()
{
    VcMixer().deviceCount = 0;
}

int VcMixerAddDevice(WORD mid, WORD pid, const char *name)
{
    VcMixerState &s = VcMixer();
    if (s.deviceCount >= kVcMixerMaxDevices)
        return -1;
    VcMixerDevice &device = s.devices[s.deviceCount];
    memset(&device, 0, sizeof device);
    device.mid = mid;
    device.pid = pid;
    CopyName(device.name, sizeof device.name, name);
    return static_cast<int>(s.deviceCount++);
}

DWORD VcMixerAddDestination(UINT device, DWORD componentType, DWORD channels, const char *name)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    if (!dev || dev->lineCount >= kVcMixerMaxLines || channels == 0 || channels > kVcMixerMaxChannels)
        return kVcMixerNoLine;
    DWORD index = VcMixerDestinationCount(*dev);
    VcMixerLine &line = dev->lines[dev->lineCount++];
    line = VcMixerLine{};
    line.lineId = 0xFFFF0000 + index;
    line.destination = index;
    line.componentType = componentType;
    line.channels = channels;
    CopyName(line.name, sizeof line.name, name);
    return line.lineId;
}

DWORD VcMixerAddSource(UINT device, DWORD destinationLineId, DWORD componentType, DWORD channels,
                       const char *name)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    if (!dev || dev->lineCount >= kVcMixerMaxLines || channels == 0 || channels > kVcMixerMaxChannels)
        return kVcMixerNoLine;
    const VcMixerLine *destination = VcMixerLineById(*dev, destinationLineId);
    if (!destination || destination->isSource)
        return kVcMixerNoLine;
    DWORD index = VcMixerSourceCount(*dev, destination->destination);
    VcMixerLine &line = dev->lines[dev->lineCount++];
    line = VcMixerLine{};
    line.destination = destination->destination;
    line.source = index;
    line.isSource = true;
    line.lineId = (destination->destination << 16) + index;
    line.componentType = componentType;
    line.channels = channels;
    CopyName(line.name, sizeof line.name, name);
    return line.lineId;
}

DWORD VcMixerAddControl(UINT device, DWORD lineId, DWORD controlType, DWORD flags, DWORD items,
                        const char *name)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    if (!dev || dev->controlCount >= kVcMixerMaxControls)
        return 0;
    const VcMixerLine *line = VcMixerLineById(*dev, lineId);
    if (!line)
        return 0;
    bool multiple = (flags & MIXERCONTROL_CONTROLF_MULTIPLE) != 0;
    if (multiple != (items > 0) || items > kVcMixerMaxItems)
        return 0;

    VcMixerControl &control = dev->controls[dev->controlCount];
    memset(&control, 0, sizeof control);
    control.controlId = ++dev->controlCount;
    control.lineId = lineId;
    control.type = controlType;
    control.flags = flags;
    control.items = items;
    CopyName(control.name, sizeof control.name, name);

    // The entries of a list stand for the sources of its line.
    DWORD item = 0;
    for (UINT i = 0; i < dev->lineCount && item < items; ++i) {
        const VcMixerLine &src = dev->lines[i];
        if (!src.isSource || line->isSource || src.destination != line->destination)
            continue;
        VcMixerItem &entry = control.itemText[item++];
        CopyName(entry.text, sizeof entry.text, src.name);
        entry.lineId = src.lineId;
        entry.componentType = src.componentType;
    }
    for (; item < items; ++item)
        snprintf(control.itemText[item].text, sizeof control.itemText[item].text, "Item %lu",
                 static_cast<unsigned long>(item + 1));

    DWORD channels = VcMixerStoredChannels(*dev, control);
    DWORD stored = VcMixerStoredItems(control);
    for (DWORD c = 0; c < channels; ++c)
        for (DWORD i = 0; i < stored; ++i)
            control.values[c * stored + i] = InitialValue(controlType, i);
    return control.controlId;
}

bool VcMixerSetItemText(UINT device, DWORD controlId, DWORD item, const char *text)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    VcMixerControl *control = dev ? VcMixerControlById(*dev, controlId) : nullptr;
    if (!control || item >= control->items)
        return false;
    CopyName(control->itemText[item].text, sizeof control->itemText[item].text, text);
    return true;
}

bool VcMixerReportItems(UINT device, DWORD controlId, DWORD items)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    VcMixerControl *control = dev ? VcMixerControlById(*dev, controlId) : nullptr;
    if (!control || !(control->flags & MIXERCONTROL_CONTROLF_MULTIPLE) || items == 0)
        return false;
    control->reportedItems = items;
    return true;
}

DWORD VcMixerFindLine(UINT device, DWORD componentType)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    if (!dev)
        return kVcMixerNoLine;
    for (int pass = 0; pass < 2; ++pass)
        for (UINT i = 0; i < dev->lineCount; ++i)
            if (dev->lines[i].isSource == (pass == 1) && dev->lines[i].componentType == componentType)
                return dev->lines[i].lineId;
    return kVcMixerNoLine;
}

DWORD VcMixerFindSource(UINT device, DWORD destinationLineId, const char *name)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    const VcMixerLine *destination = dev ? VcMixerLineById(*dev, destinationLineId) : nullptr;
    if (!destination || destination->isSource)
        return kVcMixerNoLine;
    for (UINT i = 0; i < dev->lineCount; ++i) {
        const VcMixerLine &line = dev->lines[i];
        if (line.isSource && line.destination == destination->destination &&
            strncmp(line.name, name, sizeof line.name) == 0)
            return line.lineId;
    }
    return kVcMixerNoLine;
}

DWORD VcMixerFindControl(UINT device, DWORD lineId, DWORD controlType)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    if (!dev)
        return 0;
    for (UINT i = 0; i < dev->controlCount; ++i)
        if (dev->controls[i].lineId == lineId && dev->controls[i].type == controlType)
            return dev->controls[i].controlId;
    return 0;
}

bool VcMixerGetValues(UINT device, DWORD controlId, DWORD *values, DWORD count)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    VcMixerControl *control = dev ? VcMixerControlById(*dev, controlId) : nullptr;
    if (!control || count != VcMixerStoredChannels(*dev, *control) * VcMixerStoredItems(*control))
        return false;
    memcpy(values, control->values, count * sizeof *values);
    return true;
}

bool VcMixerChangeByOtherProgram(UINT device, DWORD controlId, const DWORD *values, DWORD count)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    VcMixerControl *control = dev ? VcMixerControlById(*dev, controlId) : nullptr;
    if (!control || count != VcMixerStoredChannels(*dev, *control) * VcMixerStoredItems(*control))
        return false;
    memcpy(control->values, values, count * sizeof *values);
    VcLog("mixer-change-by-other device=%u control=%lu", device, static_cast<unsigned long>(controlId));
    VcMixerNotify(device, MM_MIXM_CONTROL_CHANGE, controlId);
    return true;
}

bool VcMixerChangeLineByOtherProgram(UINT device, DWORD lineId)
{
    VcMixerDevice *dev = VcMixerDeviceAt(device);
    if (!dev || !VcMixerLineById(*dev, lineId))
        return false;
    VcMixerNotify(device, MM_MIXM_LINE_CHANGE, lineId);
    return true;
}

UINT VcMixerOpenHandleCount()
{
    UINT n = 0;
    for (const VcMixerHandle &h : VcMixer().handles)
        if (h.open)
            ++n;
    return n;
}
