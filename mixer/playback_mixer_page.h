// The Playback Mixer page: the speaker destination's master line and its
// first five sources, each with volume, balance and a mute box.
#ifndef VTPANEL_MIXER_PLAYBACK_MIXER_PAGE_H
#define VTPANEL_MIXER_PLAYBACK_MIXER_PAGE_H

#include "mixer/mixer_page.h"

class PlaybackMixerPage : public MixerPage {
public:
    PlaybackMixerPage();

    int TitleStringId() override;
    int DialogTemplateId() override;
    DLGPROC DialogProcedure() override;

protected:
    uint32_t ReadSwitch(MixerLineRecord *record) override;
};

extern PlaybackMixerPage playbackMixerPage;

INT_PTR CALLBACK PlaybackMixerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
