#include "mixer/mixer_access.h"

#include <string.h>

#include "speakers/speaker_config.h"

namespace {

const char kProfileFile[] = "SOUNDCFG.INI";

// Values a transfer may write into the record: channelVolume, switchValue.
const DWORD kVolumeRoom = 2;
const DWORD kSwitchRoom = 1;

// A recording-source selector with more entries than this (channels times
// items) is refused: no mixer has nearly so many sources, and the blocks
// sized from the counts stay small and free of overflow.
const DWORD kMaxSelectorEntries = 1024;

HMIXEROBJ Object(HMIXER mixer)
{
    return reinterpret_cast<HMIXEROBJ>(mixer);
}

// A name of the mixer's, terminated even when the mixer left it unterminated.
void CopyName(char (&to)[MIXER_LONG_NAME_CHARS + 1], const char (&from)[MIXER_LONG_NAME_CHARS])
{
    memcpy(to, from, sizeof from);
    to[MIXER_LONG_NAME_CHARS] = '\0';
}

bool ReadLine(HMIXER mixer, MIXERLINEA *line, DWORD query)
{
    line->cbStruct = sizeof *line;
    return mixerGetLineInfoA(Object(mixer), line, MIXER_OBJECTF_HMIXER | query) == MMSYSERR_NOERROR;
}

// The controls LoadLineControls put into the record.
UINT LoadedControls(const MixerLineRecord *record)
{
    return record->line.cControls < kRecordControls ? record->line.cControls : kRecordControls;
}

// The first control of a type, else the fallback slot, but only when the
// line has a control there: an empty slot's zero id may name another line's
// control on some mixers.
const MIXERCONTROLA *ChooseControl(const MixerLineRecord *record, DWORD type, UINT fallback)
{
    for (const MIXERCONTROLA &control : record->controls)
        if (control.dwControlType == type)
            return &control;
    return fallback < LoadedControls(record) ? &record->controls[fallback] : nullptr;
}

// Moves a control's values in the value form, refused when they would not
// fit in room values (channels times items).
bool TransferValues(HMIXER mixer, const MIXERCONTROLA &control, DWORD channels, DWORD *values, DWORD room,
                    bool set)
{
    DWORD items = control.cMultipleItems ? control.cMultipleItems : 1;
    if (items > room || channels > room / items)
        return false;
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = channels;
    details.cMultipleItems = control.cMultipleItems;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = values;
    if (set)
        return mixerSetControlDetails(Object(mixer), &details,
                                      MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
    return mixerGetControlDetailsA(Object(mixer), &details,
                                   MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

bool TransferVolume(HMIXER mixer, MixerLineRecord *record, bool set)
{
    const MIXERCONTROLA *control = ChooseControl(record, MIXERCONTROL_CONTROLTYPE_VOLUME, 0);
    if (!control)
        return false;
    DWORD channels = (control->fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : record->line.cChannels;
    // Read into a copy, so that a failed read changes nothing.
    DWORD values[kVolumeRoom] = {record->channelVolume[0], record->channelVolume[1]};
    if (!TransferValues(mixer, *control, channels, values, kVolumeRoom, set))
        return false;
    record->channelVolume[0] = values[0];
    record->channelVolume[1] = values[1];
    return true;
}

// The mute box is one switch for the whole line, so one channel is asked
// for even of a control that keeps one per channel: the mixer then reads
// the first channel and sets all of them alike.
bool TransferMute(HMIXER mixer, MixerLineRecord *record, bool set)
{
    const MIXERCONTROLA *control = ChooseControl(record, MIXERCONTROL_CONTROLTYPE_MUTE, 1);
    if (!control)
        return false;
    DWORD value = record->switchValue;
    if (!TransferValues(mixer, *control, 1, &value, kSwitchRoom, set))
        return false;
    record->switchValue = value;
    return true;
}

// A selector's details in the form the record-source operations use: one
// channel, every item.
MIXERCONTROLDETAILS SelectorDetails(const MIXERCONTROLA &selector, DWORD items, DWORD entrySize, void *entries)
{
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof details;
    details.dwControlID = selector.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = items;
    details.cbDetails = entrySize;
    details.paDetails = entries;
    return details;
}

void *AllocateZeroed(DWORD size)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void Free(void *block)
{
    HeapFree(GetProcessHeap(), 0, block);
}

// The wave-input destination's recording-source selector and a line's entry
// in it: the first item whose name occurs in the line's name.
struct SourceEntry {
    MIXERCONTROLA selector;
    DWORD entries;  // channels times items: the size of the blocks
    DWORD items;
    DWORD index;
};

bool FindSourceEntry(HMIXER mixer, const MixerLineRecord *record, SourceEntry *entry)
{
    MixerLineRecord waveIn = {};
    if (!FindMixerLine(mixer, &waveIn, MIXERLINE_COMPONENTTYPE_DST_WAVEIN) || !LoadLineControls(mixer, &waveIn))
        return false;
    const MIXERCONTROLA *selector = nullptr;
    for (UINT i = 0; i < 3 && !selector; ++i)
        if (waveIn.controls[i].dwControlType == MIXERCONTROL_CONTROLTYPE_MUX)
            selector = &waveIn.controls[i];
    if (!selector)
        return false;
    DWORD channels = (selector->fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : waveIn.line.cChannels;
    DWORD items = (selector->fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? selector->cMultipleItems : 1;
    if (channels == 0 || items == 0 || items > kMaxSelectorEntries || channels > kMaxSelectorEntries / items)
        return false;
    entry->selector = *selector;
    entry->entries = channels * items;
    entry->items = items;

    auto *names = static_cast<MIXERCONTROLDETAILS_LISTTEXTA *>(
        AllocateZeroed(entry->entries * sizeof(MIXERCONTROLDETAILS_LISTTEXTA)));
    if (!names)
        return false;
    MIXERCONTROLDETAILS details = SelectorDetails(*selector, items, sizeof *names, names);
    bool found = false;
    if (mixerGetControlDetailsA(Object(mixer), &details,
                                MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_LISTTEXT) == MMSYSERR_NOERROR) {
        char lineName[MIXER_LONG_NAME_CHARS + 1];
        CopyName(lineName, record->line.szName);
        for (DWORD i = 0; i < items && !found; ++i) {
            char itemName[MIXER_LONG_NAME_CHARS + 1];
            CopyName(itemName, names[i].szName);
            // An empty name would stand for every line.
            if (itemName[0] && strstr(lineName, itemName)) {
                entry->index = i;
                found = true;
            }
        }
    }
    Free(names);
    return found;
}

// The selector's whole block moves: a read takes this line's entry, a write
// sets it and clears the others. A write succeeds only when the mixer took
// it, so that a refused selection is never shown as a choice.
bool TransferRecordSource(HMIXER mixer, MixerLineRecord *record, bool set)
{
    SourceEntry entry;
    if (!FindSourceEntry(mixer, record, &entry))
        return false;
    auto *values = static_cast<DWORD *>(AllocateZeroed(entry.entries * sizeof(DWORD)));
    if (!values)
        return false;
    if (set)
        values[entry.index] = record->switchValue;
    MIXERCONTROLDETAILS details = SelectorDetails(entry.selector, entry.items, sizeof(DWORD), values);
    bool moved = set ? mixerSetControlDetails(Object(mixer), &details,
                                              MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR
                     : mixerGetControlDetailsA(Object(mixer), &details,
                                               MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
    if (moved && !set)
        record->switchValue = values[entry.index];
    Free(values);
    return moved;
}

} // namespace

UINT FindCardMixer()
{
    UINT count = mixerGetNumDevs();
    char description[60];
    GetPrivateProfileStringA("DESCRIPTION", "DRIVERDESC", "", description, sizeof description, kProfileFile);
    // 0 is no manufacturer: without the card's driver no device is the card's.
    uint16_t manufacturer = FindDriverManufacturerId(description);
    if (manufacturer == 0)
        return 0;
    for (UINT device = 0; device < count; ++device) {
        MIXERCAPSA caps;
        if (mixerGetDevCapsA(device, &caps, sizeof caps) == MMSYSERR_NOERROR && caps.wMid == manufacturer)
            return device;
    }
    return 0;
}

HMIXER OpenCardMixer(HWND window, UINT device)
{
    MIXERCAPSA caps;
    if (mixerGetDevCapsA(device, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return nullptr;
    HMIXER mixer = nullptr;
    if (mixerOpen(&mixer, device, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR)
        return nullptr;
    return mixer;
}

MMRESULT CloseCardMixer(HMIXER mixer)
{
    return mixerClose(mixer);
}

LineSearch FindColumnLine(HMIXER mixer, MixerLineRecord *record, DWORD destinationType, int source)
{
    UINT device;
    if (mixerGetID(Object(mixer), &device, MIXER_OBJECTF_HMIXER) != MMSYSERR_NOERROR)
        device = 0;
    MIXERCAPSA caps;
    if (mixerGetDevCapsA(device, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return kLineSearchFailed;
    MIXERLINEA &line = record->line;
    for (DWORD destination = 0; destination < caps.cDestinations; ++destination) {
        line.dwDestination = destination;
        if (!ReadLine(mixer, &line, MIXER_GETLINEINFOF_DESTINATION))
            return kLineSearchFailed;
        if (line.dwComponentType != destinationType)
            continue;
        if (source < 0)
            return kLineFound;
        line.dwSource = static_cast<DWORD>(source);
        if (ReadLine(mixer, &line, MIXER_GETLINEINFOF_SOURCE))
            return kLineFound;
    }
    return kLineMissing;
}

bool FindMixerLine(HMIXER mixer, MixerLineRecord *record, DWORD componentType)
{
    return FindColumnLine(mixer, record, componentType, -1) == kLineFound;
}

bool LoadLineControls(HMIXER mixer, MixerLineRecord *record)
{
    // Slots past the line's controls must not keep an earlier line's.
    memset(record->controls, 0, sizeof record->controls);
    MIXERLINECONTROLSA request = {};
    request.cbStruct = sizeof request;
    request.dwLineID = record->line.dwLineID;
    request.cControls = LoadedControls(record);
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.pamxctrl = record->controls;
    return mixerGetLineControlsA(Object(mixer), &request, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL) ==
           MMSYSERR_NOERROR;
}

bool GetLineVolume(HMIXER mixer, MixerLineRecord *record)
{
    return TransferVolume(mixer, record, false);
}

bool SetLineVolume(HMIXER mixer, MixerLineRecord *record)
{
    return TransferVolume(mixer, record, true);
}

bool GetLineMute(HMIXER mixer, MixerLineRecord *record)
{
    return TransferMute(mixer, record, false);
}

bool SetLineMute(HMIXER mixer, MixerLineRecord *record)
{
    return TransferMute(mixer, record, true);
}

bool GetRecordSource(HMIXER mixer, MixerLineRecord *record)
{
    return TransferRecordSource(mixer, record, false);
}

bool SetRecordSource(HMIXER mixer, MixerLineRecord *record)
{
    return TransferRecordSource(mixer, record, true);
}

uint32_t LineVolumeMax(const MixerLineRecord *record)
{
    const uint32_t *v = record->channelVolume;
    if (record->line.cChannels == 1)
        return v[0];
    return v[0] > v[1] ? v[0] : v[1];
}

void ApplySliderPosition(MixerLineRecord *record, uint32_t position, bool balanceSlider)
{
    uint32_t *v = record->channelVolume;
    if (balanceSlider) {
        if (record->line.cChannels == 1)
            return;
        record->balance = static_cast<int32_t>(position);
        uint32_t loudest = LineVolumeMax(record);
        v[0] = position > 16 ? (loudest * (32 - position)) >> 4 : loudest;
        v[1] = position < 16 ? (loudest * position) >> 4 : loudest;
        return;
    }
    // 0 at the top is the loudest: 4369 * (15 - position).
    uint32_t volume = (983025u - 65535u * position) / 15u;
    if (record->line.cChannels == 1) {
        v[0] = volume;
        return;
    }
    uint32_t balance = static_cast<uint32_t>(record->balance);
    if (record->balance < 16) {
        v[0] = volume;
        v[1] = (balance * volume) >> 4;
    } else if (record->balance == 16) {
        v[0] = v[1] = volume;
    } else {
        v[1] = volume;
        v[0] = ((32 - balance) * volume) >> 4;
    }
}

bool BalanceFromVolume(MixerLineRecord *record)
{
    if (record->line.cChannels == 1)
        return false;
    uint32_t left = record->channelVolume[0], right = record->channelVolume[1];
    if (left > right)
        record->balance = static_cast<int32_t>(16 - 16 * (left - right) / left);
    else if (left < right)
        record->balance = static_cast<int32_t>(16 + 16 * (right - left) / right);
    else if (left != 0)
        record->balance = 16;
    else
        return false; // a silent line keeps its last balance
    return true;
}

uint32_t VolumeSliderPosition(const MixerLineRecord *record)
{
    return 15 - 15 * LineVolumeMax(record) / 65535;
}
