#include "panel/page_registry.h"

#include "mixer/playback_mixer_page.h"
#include "mixer/record_mixer_page.h"
#include "pages/effects/effects_page.h"
#include "pages/effects/mixing_options_page.h"
#include "pages/effects/voice_manager_page.h"
#include "pages/general/general_page.h"

// Defined together, so that they are constructed in this order; the mixer
// pages already look for the card's mixer.
GeneralPage generalPage;
EffectsPage effectsPage;
VoiceManagerPage voiceManagerPage;
MixingOptionsPage mixingOptionsPage;
PlaybackMixerPage playbackMixerPage;
RecordMixerPage recordMixerPage;

ControlPanelPage *const PageRegistry[kPageCount] = {
    &generalPage, &effectsPage, &playbackMixerPage, &recordMixerPage, &voiceManagerPage, &mixingOptionsPage,
};
