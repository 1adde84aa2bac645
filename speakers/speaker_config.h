// The speaker layout, stored as DirectSound's speaker configuration of the
// default playback device, and the card's limits from the driver key.
#ifndef VTPANEL_SPEAKERS_SPEAKER_CONFIG_H
#define VTPANEL_SPEAKERS_SPEAKER_CONFIG_H

#include <windows.h>
#include <stdint.h>

// The driver key that the driver package writes.
extern const char kDriverKey[];

// Non-zero when the driver offers the "Stereo X 2" layout; set by ReadSpeakerLimits.
extern uint8_t stereoX2Allowed;

// DirectSound's configuration as a layout number (2, 4 or 6); on failure
// layout is left as it was.
bool ReadSpeakerLayout(uint8_t *layout);

// Sets DirectSound's configuration from a layout number.
bool WriteSpeakerLayout(uint8_t layout);

// Reads "MaxSpeakers" and "StereoX2"; false, changing nothing, only when the
// driver key cannot be opened.
bool ReadSpeakerLimits(uint8_t *maxSpeakers);

// The "ManufactureID" of the first media driver whose description contains
// description; 0 when there is none.
uint16_t FindDriverManufacturerId(const char *description);

#endif
