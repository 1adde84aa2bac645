#include "pages/effects/mixing_options_page.h"

#include <commctrl.h>
#include <math.h>
#include <string.h>

#include "pages/effects/page_routines.h"
#include "panel/driver.h"
#include "panel/window_utils.h"
#include "resource.h"

namespace {

// Ids of the Q3D set.
enum MixingProperty : ULONG {
    kMixFormat = 0,
    kVolume = 11,
};

const int32_t kFloatingPoint = 2;

const char kQ3DClassKey[] = "System\\CurrentControlSet\\Services\\Class\\Q3D";

const int kLatencyLowest = 10, kLatencyHighest = 200; // the arrows' range only
const int kSilent = 60;                               // the volume track bar's bottom
const int kVolumeTicks = 6;                           // a tick every 6 dB
const double kSilentLevel = -90.0;                    // dB of a gain that is not positive

// A value of at most four bytes replaces as many low-order bytes of the
// field as it has; a missing, unreadable or longer one leaves the field.
void QueryLowBytes(HKEY key, const char *name, int32_t *field)
{
    BYTE data[sizeof *field];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, nullptr, data, &size) == ERROR_SUCCESS &&
        size <= sizeof data)
        memcpy(field, data, size); // little-endian: the first bytes are the low ones
}

void OnInitDialog(HWND page, LPARAM lParam)
{
    SetWindowLongPtrA(page, GWLP_USERDATA, lParam);
    PlacePageInTab(page);
    SendDlgItemMessageA(page, IDC_LATENCY_SPIN, UDM_SETRANGE, 0,
                        MAKELPARAM(kLatencyHighest, kLatencyLowest));
    SendDlgItemMessageA(page, IDC_VOLUME, TBM_SETRANGE, FALSE, MAKELPARAM(0, kSilent));
    SendDlgItemMessageA(page, IDC_VOLUME, TBM_SETTICFREQ, kVolumeTicks, 0);
    ControlPanelPage *object = reinterpret_cast<ControlPanelPage *>(lParam);
    if (object)
        object->ShowSettings(page);
}

void OnCommand(HWND page, int id, int code)
{
    switch (id) {
    case IDC_FLOATING_POINT:
    case IDC_MIX_PRIMARY:
    case IDC_BYPASS:
        EnableApply(page);
        break;
    case IDC_LATENCY:
        // Also the arrows' changes: they rewrite the text.
        if (code == EN_CHANGE)
            EnableApply(page);
        break;
    }
}

} // namespace

int VolumeToSlider(double volume)
{
    double level = volume > 0 ? 20.0 * log10(volume) : kSilentLevel;
    // Nearest whole dB, halves upward, as attenuation within the bar's range.
    double position = -floor(level + 0.5);
    if (!(position > 0))
        return 0;
    return position < kSilent ? static_cast<int>(position) : kSilent;
}

double SliderToVolume(int position)
{
    if (position == kSilent)
        return 0.0;
    return pow(10.0, -position * 0.05);
}

int MixingOptionsPage::TitleStringId()
{
    return IDS_TITLE_MIXING_OPTIONS;
}

int MixingOptionsPage::DialogTemplateId()
{
    return IDD_MIXING_OPTIONS;
}

DLGPROC MixingOptionsPage::DialogProcedure()
{
    return MixingOptionsPageProc;
}

int MixingOptionsPage::ReadFromDriver(IDirectSound *, IKsPropertySet *propertySet)
{
    GetDriverProperty(propertySet, Q3DPropertySet, kMixFormat, &mixFormat, sizeof mixFormat);
    GetDriverProperty(propertySet, Q3DPropertySet, kVolume, &volume, sizeof volume);
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kQ3DClassKey, &key) != ERROR_SUCCESS)
        return 0;
    QueryLowBytes(key, "Latency", &latency);
    QueryLowBytes(key, "Primary", &mixIntoPrimary);
    QueryLowBytes(key, "Bypass", &bypass);
    RegCloseKey(key);
    return 0;
}

// Latency, primary and bypass are shown only: they are written nowhere.
int MixingOptionsPage::WriteToDriver(IDirectSound *, IKsPropertySet *propertySet)
{
    if (!propertySet)
        return 0;
    SetDriverProperty(propertySet, Q3DPropertySet, kMixFormat, nullptr, 0, &mixFormat,
                      sizeof mixFormat);
    SetDriverProperty(propertySet, Q3DPropertySet, kVolume, nullptr, 0, &volume, sizeof volume);
    return 0;
}

int MixingOptionsPage::ShowSettings(HWND page)
{
    ShowSwitch(page, IDC_FLOATING_POINT, mixFormat == kFloatingPoint);
    ShowSwitch(page, IDC_MIX_PRIMARY, mixIntoPrimary);
    ShowSwitch(page, IDC_BYPASS, bypass);
    ShowNumber(page, IDC_LATENCY, latency);
    SendDlgItemMessageA(page, IDC_VOLUME, TBM_SETPOS, TRUE, VolumeToSlider(volume));
    return 0;
}

int MixingOptionsPage::TakeSettings(HWND page)
{
    mixFormat = IsButtonChecked(page, IDC_FLOATING_POINT) ? kFloatingPoint : 0;
    mixIntoPrimary = IsButtonChecked(page, IDC_MIX_PRIMARY);
    bypass = IsButtonChecked(page, IDC_BYPASS);
    latency = TakeNumber(page, IDC_LATENCY);
    int position = static_cast<int>(SendDlgItemMessageA(page, IDC_VOLUME, TBM_GETPOS, 0, 0));
    volume = static_cast<float>(SliderToVolume(position));
    return 0;
}

INT_PTR CALLBACK MixingOptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page, lParam);
        return TRUE;
    case WM_COMMAND:
        OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_VSCROLL:
        // Every move of the volume or of the latency's arrows.
        EnableApply(page);
        return FALSE;
    case WM_DESTROY:
        TakeSettingsOnDestroy(page);
        return FALSE;
    }
    return FALSE;
}
