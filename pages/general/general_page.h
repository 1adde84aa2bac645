// The General page: the speaker layout, the pictures of the speakers it
// drives, the speaker tests and the button that removes the drivers.
#ifndef VTPANEL_PAGES_GENERAL_GENERAL_PAGE_H
#define VTPANEL_PAGES_GENERAL_GENERAL_PAGE_H

#include "panel/page.h"

class GeneralPage : public ControlPanelPage {
public:
    GeneralPage() : layout(2) {}

    int TitleStringId() override;
    int DialogTemplateId() override;
    DLGPROC DialogProcedure() override;
    // Both connection arguments are unused: the layout is DirectSound's
    // speaker configuration of the default device.
    int ReadFromDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int WriteToDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int ShowSettings(HWND page) override;
    int TakeSettings(HWND page) override;

    int layout; // the layout chosen on the page; only layout numbers are stored
};

extern GeneralPage generalPage;

// The layout last read from the driver.
extern int driverLayout;

// Number of speakers pictured and testable for a layout.
int SpeakerCount(int layout);

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
