// The Record Mixer page: the first five sources of the wave-input
// destination, each with volume, balance and a box that makes it the only
// recording source.
#ifndef VTPANEL_MIXER_RECORD_MIXER_PAGE_H
#define VTPANEL_MIXER_RECORD_MIXER_PAGE_H

#include "mixer/mixer_page.h"

class RecordMixerPage : public MixerPage {
public:
    RecordMixerPage();

    int TitleStringId() override;
    int DialogTemplateId() override;
    DLGPROC DialogProcedure() override;

protected:
    uint32_t ReadSwitch(MixerLineRecord *record) override;
};

extern RecordMixerPage recordMixerPage;

INT_PTR CALLBACK RecordMixerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
