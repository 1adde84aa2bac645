#include "pages/effects/effects_page.h"

#include <commctrl.h>
#include <math.h>

#include "pages/effects/page_routines.h"
#include "panel/driver.h"
#include "panel/window_utils.h"
#include "resource.h"

namespace {

// The driver's property ids: of the effect set, and of the Q3D set.
enum EffectProperty : ULONG {
    kEffectMode = 0,
    kEffectProperty1 = 1,
    kEffectStereoExpansion = 3,
    kEffectElevation = 4,
    kEffectReverb = 5,
    kEffectInterpolate = 8,
    kEffectSpread = 9,
    kEffectCenter = 10,
};
enum Q3DProperty : ULONG {
    kQ3DLowFrequency = 5,
    kQ3DEnvironment = 12,
};

// What every write to the effect set carries as instance data.
struct EffectsInstanceBlock {
    DWORD words[9];
};

// The environment list: "- none -", then the 26 standard environments of
// bank 0, then the 3 game presets of bank 1.
const int kStandardEnvironments = 26;
const int kEnvironmentEntries = 30;

const int kCpuUsageHigh = 2;
const int kExpansionSteps = 1000; // spread and center track bars, x 0.001

void GetEffect(IKsPropertySet *propertySet, ULONG id, int32_t *value)
{
    GetDriverProperty(propertySet, Q3DEffectPropertySet, id, value, sizeof *value);
}

void GetEffect(IKsPropertySet *propertySet, ULONG id, float *value)
{
    GetDriverProperty(propertySet, Q3DEffectPropertySet, id, value, sizeof *value);
}

// Every value of the effect set is 32 bits, an integer or a float.
void SetEffect(IKsPropertySet *propertySet, EffectsInstanceBlock *block, ULONG id, void *value)
{
    SetDriverProperty(propertySet, Q3DEffectPropertySet, id, block, sizeof *block, value,
                      sizeof(int32_t));
}

void SetQ3D(IKsPropertySet *propertySet, ULONG id, void *value, ULONG size)
{
    SetDriverProperty(propertySet, Q3DPropertySet, id, nullptr, 0, value, size);
}

// Combo index of an environment; -1 (no selection) for one the list lacks.
int EnvironmentEntry(int32_t bank, int32_t index)
{
    int64_t entry = int64_t(index) + 1 + (bank ? kStandardEnvironments : 0);
    return entry >= 0 && entry < kEnvironmentEntries ? static_cast<int>(entry) : -1;
}

// Environment of a combo index; no selection (-1) gives bank 0, index -2.
ReverbEnvironment EnvironmentOfEntry(int entry)
{
    int k = entry - 1;
    if (k < kStandardEnvironments)
        return {0, k};
    return {1, k - kStandardEnvironments};
}

// Rounded to the nearest step; a value outside 0.0 .. 1.0 (or not a number)
// stands at the track bar's nearest end.
int ExpansionPosition(float value)
{
    double position = trunc(double(value) * kExpansionSteps + 0.5);
    if (!(position > 0))
        return 0;
    return position < kExpansionSteps ? static_cast<int>(position) : kExpansionSteps;
}

float ExpansionValue(HWND page, int id)
{
    LRESULT position = SendDlgItemMessageA(page, id, TBM_GETPOS, 0, 0);
    return static_cast<float>(position * 0.001);
}

void AddEnvironment(HWND list, HINSTANCE instance, int string)
{
    char text[256] = "";
    LoadStringA(instance, string, text, sizeof text);
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// "- none -" heads the list, though it follows the environments in the
// string table.
void FillEnvironmentList(HWND page)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(page, GWLP_HINSTANCE));
    HWND list = GetDlgItem(page, IDC_ENVIRONMENT);
    AddEnvironment(list, instance, IDS_ENVIRONMENT_NONE);
    for (int id = IDS_ENVIRONMENT_FIRST; id <= IDS_ENVIRONMENT_LAST; ++id)
        AddEnvironment(list, instance, id);
}

void OnInitDialog(HWND page, LPARAM lParam)
{
    SetWindowLongPtrA(page, GWLP_USERDATA, lParam);
    PlacePageInTab(page);
    FillEnvironmentList(page);
    SendDlgItemMessageA(page, IDC_CPU_USAGE, TBM_SETRANGE, FALSE, MAKELPARAM(0, kCpuUsageHigh));
    SendDlgItemMessageA(page, IDC_SPREAD, TBM_SETRANGE, FALSE, MAKELPARAM(0, kExpansionSteps));
    SendDlgItemMessageA(page, IDC_CENTER, TBM_SETRANGE, FALSE, MAKELPARAM(0, kExpansionSteps));
    ControlPanelPage *object = reinterpret_cast<ControlPanelPage *>(lParam);
    if (object)
        object->ShowSettings(page);
}

void OnCommand(HWND page, int id, int code)
{
    switch (id) {
    case IDC_ENVIRONMENT:
        // Opening the list or typing into its edit field changes nothing.
        if (code == CBN_SELCHANGE)
            EnableApply(page);
        break;
    case IDC_OUTPUT_SPEAKERS:
    case IDC_PROPERTY1_ON:
    case IDC_ELEVATION:
    case IDC_LOW_FREQUENCY:
    case IDC_REVERB:
    case IDC_INTERPOLATE:
    case IDC_MODE_QSOUND:
    case IDC_MODE_STEREO:
    case IDC_OUTPUT_HEADPHONES:
    case IDC_OUTPUT_MONO:
    case IDC_STEREO_EXPANSION:
    case IDC_SPLASH_LOGO:
    case IDC_OUTPUT_QUAD:
        EnableApply(page);
        break;
    }
}

} // namespace

int EffectsPage::TitleStringId()
{
    return IDS_TITLE_EFFECTS;
}

int EffectsPage::DialogTemplateId()
{
    return IDD_EFFECTS;
}

DLGPROC EffectsPage::DialogProcedure()
{
    return EffectsPageProc;
}

int EffectsPage::ReadFromDriver(IDirectSound *, IKsPropertySet *propertySet)
{
    GetEffect(propertySet, kEffectMode, &mode);
    GetEffect(propertySet, kEffectElevation, &elevation);
    GetEffect(propertySet, kEffectReverb, &reverb);
    GetDriverProperty(propertySet, Q3DPropertySet, kQ3DLowFrequency, &lowFrequencyEnhancement,
                      sizeof lowFrequencyEnhancement);
    GetEffect(propertySet, kEffectInterpolate, &interpolateSampleRate);
    ReverbEnvironment environment = {environmentBank, environmentIndex};
    GetDriverProperty(propertySet, Q3DPropertySet, kQ3DEnvironment, &environment,
                      sizeof environment);
    environmentBank = environment.bank;
    environmentIndex = environment.index;
    GetEffect(propertySet, kEffectStereoExpansion, &stereoExpansion);
    GetEffect(propertySet, kEffectSpread, &spread);
    GetEffect(propertySet, kEffectCenter, &center);
    // Property 1 is off or on with its value; a failed read changes neither.
    int32_t value = 0;
    HRESULT result = GetDriverProperty(propertySet, Q3DEffectPropertySet, kEffectProperty1,
                                       &value, sizeof value);
    if (SUCCEEDED(result)) {
        property1On = value != 0;
        if (value)
            property1Value = value;
    }
    return 0;
}

int EffectsPage::WriteToDriver(IDirectSound *, IKsPropertySet *propertySet)
{
    if (!propertySet)
        return 0;
    EffectsInstanceBlock block = {{1}};
    SetEffect(propertySet, &block, kEffectMode, &mode);
    SetEffect(propertySet, &block, kEffectElevation, &elevation);
    SetEffect(propertySet, &block, kEffectReverb, &reverb);
    SetEffect(propertySet, &block, kEffectInterpolate, &interpolateSampleRate);
    SetQ3D(propertySet, kQ3DLowFrequency, &lowFrequencyEnhancement,
           sizeof lowFrequencyEnhancement);
    ReverbEnvironment environment = {environmentBank, environmentIndex};
    SetQ3D(propertySet, kQ3DEnvironment, &environment, sizeof environment);
    SetEffect(propertySet, &block, kEffectStereoExpansion, &stereoExpansion);
    SetEffect(propertySet, &block, kEffectSpread, &spread);
    SetEffect(propertySet, &block, kEffectCenter, &center);
    int32_t property1 = property1On ? property1Value : 0;
    SetEffect(propertySet, &block, kEffectProperty1, &property1);
    return 0;
}

int EffectsPage::ShowSettings(HWND page)
{
    // The mode's radio buttons are hidden: they carry it to TakeSettings.
    ShowSwitch(page, IDC_MODE_QSOUND, mode);
    ShowSwitch(page, IDC_MODE_STEREO, mode == 0);
    ShowSwitch(page, IDC_ELEVATION, elevation);
    ShowSwitch(page, IDC_REVERB, reverb);
    ShowSwitch(page, IDC_LOW_FREQUENCY, lowFrequencyEnhancement);
    ShowSwitch(page, IDC_INTERPOLATE, interpolateSampleRate);
    SendDlgItemMessageA(page, IDC_ENVIRONMENT, CB_SETCURSEL,
                        EnvironmentEntry(environmentBank, environmentIndex), 0);
    SendDlgItemMessageA(page, IDC_CPU_USAGE, TBM_SETPOS, TRUE,
                        (elevation != 0) + (interpolateSampleRate != 0));
    ShowSwitch(page, IDC_STEREO_EXPANSION, stereoExpansion);
    SendDlgItemMessageA(page, IDC_SPREAD, TBM_SETPOS, TRUE, ExpansionPosition(spread));
    SendDlgItemMessageA(page, IDC_CENTER, TBM_SETPOS, TRUE, ExpansionPosition(center));
    if (property1On)
        CheckDlgButton(page, IDC_PROPERTY1_ON, BST_CHECKED);
    ShowNumber(page, IDC_PROPERTY1_VALUE, property1Value);
    return 0;
}

int EffectsPage::TakeSettings(HWND page)
{
    mode = IsButtonChecked(page, IDC_MODE_QSOUND);
    elevation = IsButtonChecked(page, IDC_ELEVATION);
    reverb = IsButtonChecked(page, IDC_REVERB);
    interpolateSampleRate = IsButtonChecked(page, IDC_INTERPOLATE);
    lowFrequencyEnhancement = IsButtonChecked(page, IDC_LOW_FREQUENCY);
    ReverbEnvironment environment = EnvironmentOfEntry(
        static_cast<int>(SendDlgItemMessageA(page, IDC_ENVIRONMENT, CB_GETCURSEL, 0, 0)));
    environmentBank = environment.bank;
    environmentIndex = environment.index;
    // CPU usage decides the two switches: Low none, then interpolation, High both.
    switch (SendDlgItemMessageA(page, IDC_CPU_USAGE, TBM_GETPOS, 0, 0)) {
    case 0:
        elevation = 0;
        interpolateSampleRate = 0;
        break;
    case 1:
        elevation = 0;
        interpolateSampleRate = 1;
        break;
    case kCpuUsageHigh:
        elevation = 1;
        interpolateSampleRate = 1;
        break;
    }
    stereoExpansion = IsButtonChecked(page, IDC_STEREO_EXPANSION);
    spread = ExpansionValue(page, IDC_SPREAD);
    center = ExpansionValue(page, IDC_CENTER);
    property1On = IsButtonChecked(page, IDC_PROPERTY1_ON);
    // Without a field to type it into, the value stays what the driver gave.
    if (GetDlgItem(page, IDC_PROPERTY1_VALUE))
        property1Value = TakeNumber(page, IDC_PROPERTY1_VALUE);
    return 0;
}

INT_PTR CALLBACK EffectsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page, lParam);
        return TRUE;
    case WM_COMMAND:
        OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_HSCROLL:
        // A track bar enables Apply when a move ends, not at every step.
        if (LOWORD(wParam) == TB_ENDTRACK)
            EnableApply(page);
        return FALSE;
    case WM_DESTROY:
        TakeSettingsOnDestroy(page);
        return FALSE;
    }
    return FALSE;
}
