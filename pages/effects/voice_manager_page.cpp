#include "pages/effects/voice_manager_page.h"

#include <commctrl.h>

#include "pages/effects/page_routines.h"
#include "panel/driver.h"
#include "panel/window_utils.h"
#include "resource.h"

namespace {

// Ids of the Q3D set.
enum VoiceProperty : ULONG {
    kBufferFlags = 2,
    kMaxTotalBuffers = 6,
    kMaxPlayBuffers = 7,
};

const uint32_t kLimitTotal = 0x1, kPlayLimited = 0x2, kPlayLongest = 0x4;

// The arrows' ranges only; a typed number is taken as it is.
const int kMaxTotalLowest = 2, kMaxPlayLowest = 1, kBuffersHighest = 1000;

void OnInitDialog(HWND page, LPARAM lParam)
{
    SetWindowLongPtrA(page, GWLP_USERDATA, lParam);
    PlacePageInTab(page);
    SendDlgItemMessageA(page, IDC_MAX_TOTAL_SPIN, UDM_SETRANGE, 0,
                        MAKELPARAM(kBuffersHighest, kMaxTotalLowest));
    SendDlgItemMessageA(page, IDC_MAX_PLAY_SPIN, UDM_SETRANGE, 0,
                        MAKELPARAM(kBuffersHighest, kMaxPlayLowest));
    ControlPanelPage *object = reinterpret_cast<ControlPanelPage *>(lParam);
    if (object)
        object->ShowSettings(page);
}

void OnCommand(HWND page, int id, int code)
{
    switch (id) {
    case IDC_LIMIT_TOTAL:
    case IDC_PLAY_LIMITED:
    case IDC_PLAY_LONGEST:
    case IDC_PLAY_UNLIMITED:
        EnableApply(page);
        break;
    case IDC_MAX_TOTAL:
    case IDC_MAX_PLAY:
        // Also the arrows' changes: they rewrite the text.
        if (code == EN_CHANGE)
            EnableApply(page);
        break;
    }
}

} // namespace

int VoiceManagerPage::TitleStringId()
{
    return IDS_TITLE_VOICE_MANAGER;
}

int VoiceManagerPage::DialogTemplateId()
{
    return IDD_VOICE_MANAGER;
}

DLGPROC VoiceManagerPage::DialogProcedure()
{
    return VoiceManagerPageProc;
}

int VoiceManagerPage::ReadFromDriver(IDirectSound *, IKsPropertySet *propertySet)
{
    GetDriverProperty(propertySet, Q3DPropertySet, kBufferFlags, &bufferFlags, sizeof bufferFlags);
    GetDriverProperty(propertySet, Q3DPropertySet, kMaxTotalBuffers, &maxTotalBuffers,
                      sizeof maxTotalBuffers);
    GetDriverProperty(propertySet, Q3DPropertySet, kMaxPlayBuffers, &maxPlayBuffers,
                      sizeof maxPlayBuffers);
    return 0;
}

int VoiceManagerPage::WriteToDriver(IDirectSound *, IKsPropertySet *propertySet)
{
    if (!propertySet)
        return 0;
    SetDriverProperty(propertySet, Q3DPropertySet, kBufferFlags, nullptr, 0, &bufferFlags,
                      sizeof bufferFlags);
    SetDriverProperty(propertySet, Q3DPropertySet, kMaxTotalBuffers, nullptr, 0,
                      &maxTotalBuffers, sizeof maxTotalBuffers);
    SetDriverProperty(propertySet, Q3DPropertySet, kMaxPlayBuffers, nullptr, 0, &maxPlayBuffers,
                      sizeof maxPlayBuffers);
    return 0;
}

int VoiceManagerPage::ShowSettings(HWND page)
{
    ShowSwitch(page, IDC_LIMIT_TOTAL, bufferFlags & kLimitTotal);
    // Set one by one: two policy bits show two checked buttons.
    ShowSwitch(page, IDC_PLAY_LIMITED, bufferFlags & kPlayLimited);
    ShowSwitch(page, IDC_PLAY_LONGEST, bufferFlags & kPlayLongest);
    ShowSwitch(page, IDC_PLAY_UNLIMITED, !(bufferFlags & (kPlayLimited | kPlayLongest)));
    ShowNumber(page, IDC_MAX_TOTAL, static_cast<int32_t>(maxTotalBuffers));
    // No more may play than there are; the page keeps the bounded number.
    if (maxPlayBuffers > maxTotalBuffers)
        maxPlayBuffers = maxTotalBuffers;
    ShowNumber(page, IDC_MAX_PLAY, static_cast<int32_t>(maxPlayBuffers));
    return 0;
}

int VoiceManagerPage::TakeSettings(HWND page)
{
    bufferFlags = 0;
    if (IsButtonChecked(page, IDC_LIMIT_TOTAL))
        bufferFlags |= kLimitTotal;
    if (IsButtonChecked(page, IDC_PLAY_LIMITED))
        bufferFlags |= kPlayLimited;
    if (IsButtonChecked(page, IDC_PLAY_LONGEST))
        bufferFlags |= kPlayLongest;
    maxTotalBuffers = static_cast<uint32_t>(TakeNumber(page, IDC_MAX_TOTAL));
    maxPlayBuffers = static_cast<uint32_t>(TakeNumber(page, IDC_MAX_PLAY));
    return 0;
}

INT_PTR CALLBACK VoiceManagerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page, lParam);
        return TRUE;
    case WM_COMMAND:
        OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_DESTROY:
        TakeSettingsOnDestroy(page);
        return FALSE;
    }
    return FALSE;
}
