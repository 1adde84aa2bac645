// The Voice Manager page: how many sound buffers the Q3D driver keeps in
// total and plays at once, and its policy for the buffers it plays.
#ifndef VTPANEL_PAGES_EFFECTS_VOICE_MANAGER_PAGE_H
#define VTPANEL_PAGES_EFFECTS_VOICE_MANAGER_PAGE_H

#include <stdint.h>

#include "panel/page.h"

class VoiceManagerPage : public ControlPanelPage {
public:
    int TitleStringId() override;
    int DialogTemplateId() override;
    DLGPROC DialogProcedure() override;
    int ReadFromDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int WriteToDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int ShowSettings(HWND page) override;
    int TakeSettings(HWND page) override;

    // Bit 0: the total is limited; bit 1: playing buffers are limited;
    // bit 2: the longest buffers play. Neither bit 1 nor 2: unlimited.
    uint32_t bufferFlags = 0;
    uint32_t maxTotalBuffers = 0;
    uint32_t maxPlayBuffers = 0;
};

extern VoiceManagerPage voiceManagerPage;

INT_PTR CALLBACK VoiceManagerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
