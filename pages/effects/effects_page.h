// The Effects page: the Q3D engine's processing (CPU usage), reverb and its
// environment, stereo expansion and low-frequency enhancement, kept in the
// driver's two private property sets.
#ifndef VTPANEL_PAGES_EFFECTS_EFFECTS_PAGE_H
#define VTPANEL_PAGES_EFFECTS_EFFECTS_PAGE_H

#include <stdint.h>

#include "panel/page.h"

// The reverb environment as the driver stores it: one 8-byte value.
struct ReverbEnvironment {
    int32_t bank;  // 0: the standard environments, 1: the game presets
    int32_t index; // position within the bank; -1: none
};

class EffectsPage : public ControlPanelPage {
public:
    int TitleStringId() override;
    int DialogTemplateId() override;
    DLGPROC DialogProcedure() override;
    int ReadFromDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int WriteToDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int ShowSettings(HWND page) override;
    int TakeSettings(HWND page) override;

    int32_t mode = 1; // non-zero: QSound, 0: Stereo
    int32_t elevation = 0;
    int32_t reverb = 0;
    int32_t lowFrequencyEnhancement = 0;
    int32_t interpolateSampleRate = 0;
    int32_t environmentBank = 0;
    int32_t environmentIndex = -1;
    int32_t stereoExpansion = 0;
    float spread = 0.0f; // 0.0 .. 1.0
    float center = 0.0f; // 0.0 .. 1.0
    // Effect property 1: 0 is off, any other value is on with that value.
    int32_t property1On = 0;
    int32_t property1Value = 1000;
};

extern EffectsPage effectsPage;

INT_PTR CALLBACK EffectsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
