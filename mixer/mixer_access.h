// The card's mixer through the platform's mixer functions: finding and
// opening the card's mixer device, describing a line in a record that a
// mixer page column shows, moving its volume, mute and recording-source
// state, and the arithmetic between the pages' sliders and two channel
// values. Nothing here keeps state between calls.
#ifndef VTPANEL_MIXER_MIXER_ACCESS_H
#define VTPANEL_MIXER_MIXER_ACCESS_H

#include <windows.h>
#include <mmsystem.h>
#include <stdint.h>

// The controls a record holds: the first ones of its line, at most this many.
const UINT kRecordControls = 4;

// One mixer line as a mixer page column shows it. Values are 0..65535.
struct MixerLineRecord {
    int32_t balance;                          // 0..32, 16 the centre
    MIXERLINEA line;                          // as the mixer describes it
    MIXERCONTROLA controls[kRecordControls];  // unused slots are zero
    uint32_t channelVolume[2];                // left (or only), right
    uint32_t switchValue;                     // muted, or the selected recording source
};

// The device whose manufacturer is the card driver's; 0 when none is.
UINT FindCardMixer();
// Opens a device so that its change messages reach window; null on failure.
HMIXER OpenCardMixer(HWND window, UINT device);
MMRESULT CloseCardMixer(HMIXER mixer);

// The first destination line of a component type into record->line.
bool FindMixerLine(HMIXER mixer, MixerLineRecord *record, DWORD componentType);

// The line of a mixer page column into record->line: of the destinations of
// a component type, the first that has the source of that index (source < 0:
// the first such destination itself). Missing leaves the last line read;
// failed means the mixer or one of its destinations could not be read.
enum LineSearch { kLineFound, kLineMissing, kLineSearchFailed };
LineSearch FindColumnLine(HMIXER mixer, MixerLineRecord *record, DWORD destinationType, int source);
// The first (up to four) controls of record->line into record->controls.
bool LoadLineControls(HMIXER mixer, MixerLineRecord *record);

// channelVolume from and to the line's volume control.
bool GetLineVolume(HMIXER mixer, MixerLineRecord *record);
bool SetLineVolume(HMIXER mixer, MixerLineRecord *record);
// switchValue from and to the line's mute control.
bool GetLineMute(HMIXER mixer, MixerLineRecord *record);
bool SetLineMute(HMIXER mixer, MixerLineRecord *record);
// switchValue from and to the line's entry in the recording-source selector
// of the wave-input destination; setting makes it the only selected entry.
bool GetRecordSource(HMIXER mixer, MixerLineRecord *record);
bool SetRecordSource(HMIXER mixer, MixerLineRecord *record);

// The louder channel's value.
uint32_t LineVolumeMax(const MixerLineRecord *record);
// channelVolume (and with balanceSlider, balance) for a slider position:
// the volume slider 0..15 (0 loudest), or the balance slider 0..32.
void ApplySliderPosition(MixerLineRecord *record, uint32_t position, bool balanceSlider);
// balance from channelVolume; false, leaving it, for a mono or silent line.
bool BalanceFromVolume(MixerLineRecord *record);
// The volume slider position 0..15 of channelVolume.
uint32_t VolumeSliderPosition(const MixerLineRecord *record);

#endif
