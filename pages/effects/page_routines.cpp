#include "pages/effects/page_routines.h"

#include <stdlib.h>

#include "app/format.h"
#include "panel/page.h"
#include "panel/window_utils.h"
#include "resource.h"

void EnableApply(HWND page)
{
    EnableWindow(GetDlgItem(GetParent(page), IDC_APPLY), TRUE);
}

void TakeSettingsOnDestroy(HWND page)
{
    ReleaseStaticBitmaps(page);
    ControlPanelPage *object =
        reinterpret_cast<ControlPanelPage *>(GetWindowLongPtrA(page, GWLP_USERDATA));
    if (object)
        object->TakeSettings(page);
}

HRESULT GetDriverProperty(IKsPropertySet *propertySet, const GUID &set, ULONG id, void *value,
                          ULONG size)
{
    ULONG returned = 0;
    return propertySet->Get(set, id, nullptr, 0, value, size, &returned);
}

HRESULT SetDriverProperty(IKsPropertySet *propertySet, const GUID &set, ULONG id, void *instance,
                          ULONG instanceLength, void *value, ULONG size)
{
    return propertySet->Set(set, id, instance, instanceLength, value, size);
}

void ShowSwitch(HWND page, int id, int32_t value)
{
    CheckDlgButton(page, id, value ? BST_CHECKED : BST_UNCHECKED);
}

void ShowNumber(HWND page, int id, int32_t value)
{
    char text[16];
    FormatText(text, sizeof text, "%d", static_cast<int>(value));
    SetDlgItemTextA(page, id, text);
}

int32_t TakeNumber(HWND page, int id)
{
    char text[32] = "";
    GetDlgItemTextA(page, id, text, sizeof text);
    // long is 32 bits on Windows at both widths; what does not fit saturates.
    return static_cast<int32_t>(strtol(text, nullptr, 10));
}
