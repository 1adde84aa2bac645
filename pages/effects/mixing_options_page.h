// The Mixing Options page: the Q3D driver's floating-point mixing and volume,
// and the latency, primary-buffer and bypass values of its registry key,
// which the page shows but never stores.
#ifndef VTPANEL_PAGES_EFFECTS_MIXING_OPTIONS_PAGE_H
#define VTPANEL_PAGES_EFFECTS_MIXING_OPTIONS_PAGE_H

#include <stdint.h>

#include "panel/page.h"

class MixingOptionsPage : public ControlPanelPage {
public:
    int TitleStringId() override;
    int DialogTemplateId() override;
    DLGPROC DialogProcedure() override;
    // Also reloads the three registry values.
    int ReadFromDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int WriteToDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int ShowSettings(HWND page) override;
    int TakeSettings(HWND page) override;

    int32_t mixFormat = 0; // 2: floating-point mixing
    int32_t latency = 20;
    int32_t mixIntoPrimary = 0;
    int32_t bypass = 0;
    float volume = 1.0f; // linear gain: 1.0 full level, 0.0 silent
};

extern MixingOptionsPage mixingOptionsPage;

// The volume track bar counts decibels of attenuation: 0 at full level, one
// step per dB, 60 for silence.
int VolumeToSlider(double volume);
double SliderToVolume(int position);

INT_PTR CALLBACK MixingOptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
