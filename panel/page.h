// The interface through which the control panel knows its pages: the page's
// resources, the exchange of its settings with the driver, and the exchange
// of the same settings with its dialog's controls. A page object keeps its
// settings while its window does not exist.
#ifndef VTPANEL_PANEL_PAGE_H
#define VTPANEL_PANEL_PAGE_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

class ControlPanelPage {
public:
    virtual int TitleStringId() = 0;
    virtual int DialogTemplateId() = 0;
    virtual DLGPROC DialogProcedure() = 0;
    // driver -> page object; called only with an opened connection.
    virtual int ReadFromDriver(IDirectSound *directSound, IKsPropertySet *propertySet) = 0;
    // page object -> driver; both pointers are null for a device whose
    // connection failed, and nothing is then written through them.
    virtual int WriteToDriver(IDirectSound *directSound, IKsPropertySet *propertySet) = 0;
    // page object -> the controls of the page's window
    virtual int ShowSettings(HWND page) = 0;
    // the controls of the page's window -> page object
    virtual int TakeSettings(HWND page) = 0;
};

#endif
