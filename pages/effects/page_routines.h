// Routines the three driver-property pages share: the panel's Apply button,
// the settings taken when a page's window goes, the driver's property access
// and the exchange of switches and numbers with the pages' controls.
#ifndef VTPANEL_PAGES_EFFECTS_PAGE_ROUTINES_H
#define VTPANEL_PAGES_EFFECTS_PAGE_ROUTINES_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <stdint.h>

// Enables the panel's Apply button; only the panel disables it again.
void EnableApply(HWND page);

// The page object kept in the window's user data takes its settings from
// the window, if the window has one.
void TakeSettingsOnDestroy(HWND page);

// Reads a driver property without instance data straight into value; the
// result is not examined, so a failed read leaves value as it was.
HRESULT GetDriverProperty(IKsPropertySet *propertySet, const GUID &set, ULONG id, void *value,
                          ULONG size);

// Writes a driver property; instance may be null (length 0).
HRESULT SetDriverProperty(IKsPropertySet *propertySet, const GUID &set, ULONG id, void *instance,
                          ULONG instanceLength, void *value, ULONG size);

// A check box or radio button shows any non-zero value as checked.
void ShowSwitch(HWND page, int id, int32_t value);

// An edit field shows a number in decimal, signed.
void ShowNumber(HWND page, int id, int32_t value);

// The number typed into an edit field: leading white space, an optional
// sign, the digits up to the first other character; no digits give 0.
int32_t TakeNumber(HWND page, int id);

#endif
