// Whether the card is there, whether DirectSound can route a sound to one of
// its speakers, and DirectSound's per-device defaults for the card.
#ifndef VTPANEL_SPEAKERS_DETECTION_H
#define VTPANEL_SPEAKERS_DETECTION_H

enum ProbeMode {
    Startup = 0,   // no channel-configuration check
    Open = 1,      // check; when it fails, write DirectSound's defaults silently
    OpenRetry = 2, // check; when it fails, tell the user how to turn acceleration on
};

// The card's PCI vendor and device id, as the platform names its keys.
extern const char kCardIdentity[];

bool DetectSoundCard();
bool ProbeSpeakerRouting(ProbeMode mode);
void WriteDirectSoundDefaults();

#endif
