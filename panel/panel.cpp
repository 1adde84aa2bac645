#include "panel/panel.h"

#include <commctrl.h>

#include "app/app.h"
#include "panel/driver.h"
#include "panel/help_ids.h"
#include "panel/window_utils.h"
#include "resource.h"
#include "speakers/speaker_test.h"

HWND panelDialog = nullptr;
HWND currentPageWindow = nullptr;
const DLGTEMPLATE *pageTemplates[kPageCount];

namespace {

const int kTitleSize = 50;
const int kDriverVersionSize = 40;

// The hook that gives the panel its keys while it is up.
HHOOK keyHook = nullptr;

// Pages that keep their settings but get no tab.
bool HasTab(int templateId)
{
    return templateId != IDD_VOICE_MANAGER && templateId != IDD_PLAYBACK_MIXER &&
           templateId != IDD_RECORD_MIXER && templateId != IDD_MIXING_OPTIONS;
}

HWND Tab(HWND panel)
{
    return GetDlgItem(panel, IDC_PANEL_TAB);
}

// The registry index of the selected tab, or -1.
int SelectedPage(HWND panel)
{
    int index = static_cast<int>(SendMessageA(Tab(panel), TCM_GETCURSEL, 0, 0));
    return index >= 0 && index < kPageCount ? index : -1;
}

// A connection on the first listed device, or on the default device while
// the list is empty; no failure is shown.
HRESULT OpenFirstDevice(HWND panel, DriverConnection *connection)
{
    *connection = DriverConnection{};
    return OpenDriverConnection(soundDeviceCount ? &soundDevices[0] : nullptr, panel, &connection->directSound,
                                &connection->propertySet, 0);
}

void ReadAllPages(const DriverConnection &connection)
{
    for (ControlPanelPage *page : PageRegistry)
        page->ReadFromDriver(connection.directSound, connection.propertySet);
}

// The keys of every tabbed dialog: Ctrl+Tab and Ctrl+Page Down choose the
// next tab, Ctrl+Shift+Tab and Ctrl+Page Up the one before, round the ends,
// wherever the focus is in the panel, as a click on that tab does. Taken as
// the thread's loop gets them from the queue: passed on, Tab would go to the
// dialog manager, which moves the focus instead.
LRESULT CALLBACK TabKeys(int code, WPARAM removal, LPARAM lParam)
{
    MSG *key = reinterpret_cast<MSG *>(lParam);
    HWND panel = panelDialog;
    if (code == HC_ACTION && removal == PM_REMOVE && key->message == WM_KEYDOWN && GetKeyState(VK_CONTROL) < 0 &&
        panel && (key->hwnd == panel || IsChild(panel, key->hwnd))) {
        int step = key->wParam == VK_NEXT ? 1 : key->wParam == VK_PRIOR ? -1 : 0;
        if (key->wParam == VK_TAB)
            step = GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
        if (step) {
            // The panel has its tabs before it has this hook.
            const int count = static_cast<int>(SendMessageA(Tab(panel), TCM_GETITEMCOUNT, 0, 0));
            const int selected = static_cast<int>(SendMessageA(Tab(panel), TCM_GETCURSEL, 0, 0));
            SendMessageA(Tab(panel), TCM_SETCURSEL, (selected + step + count) % count, 0);
            ShowCurrentPage(panel);
            key->message = WM_NULL;
        }
    }
    return CallNextHookEx(keyHook, code, removal, lParam);
}

BOOL OnInitDialog(HWND panel)
{
    // The last panel's page window went with it.
    currentPageWindow = nullptr;
    panelDialog = panel;
    CenterOnDesktop(panel);
    SetForegroundWindow(panel);
    SetActiveWindow(panel);

    DriverConnection connection;
    bool opened = OpenFirstDevice(panel, &connection) == 0;
    for (int i = 0; i < kPageCount; ++i) {
        ControlPanelPage *page = PageRegistry[i];
        char title[kTitleSize] = "";
        LoadStringA(appInstance, page->TitleStringId(), title, sizeof title);
        if (HasTab(page->DialogTemplateId())) {
            TCITEMA item = {};
            item.mask = TCIF_TEXT;
            item.pszText = title;
            SendMessageA(Tab(panel), TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        HRSRC resource = FindResourceA(appInstance, MAKEINTRESOURCEA(page->DialogTemplateId()), RT_DIALOG);
        HGLOBAL loaded = resource ? LoadResource(appInstance, resource) : nullptr;
        pageTemplates[i] = loaded ? static_cast<const DLGTEMPLATE *>(LockResource(loaded)) : nullptr;
        if (opened)
            page->ReadFromDriver(connection.directSound, connection.propertySet);
    }
    if (opened)
        CloseDriverConnection(&connection);

    char version[kDriverVersionSize] = "";
    GetPrivateProfileStringA("DESCRIPTION", "DRIVERVERSION", "", version, sizeof version, "SOUNDCFG.INI");
    SetDlgItemTextA(panel, IDC_DRIVER_VERSION, version);

    keyHook = SetWindowsHookExA(WH_GETMESSAGE, TabKeys, nullptr, GetCurrentThreadId());
    ShowCurrentPage(panel);
    return TRUE;
}

// A test sound that plays stops at the engine's next tick.
void StopSpeakerTest(HWND panel)
{
    if (testPlaying)
        ToggleSpeakerTest(panel);
}

// OK and Apply: the current page's settings, then every page to every device.
void WriteSettings(HWND panel, int selected)
{
    if (selected >= 0)
        PageRegistry[selected]->TakeSettings(currentPageWindow);
    StopSpeakerTest(panel);
    for (int device = 0; device < soundDeviceCount; ++device) {
        DriverConnection connection = {};
        // A device whose connection fails still gets every page, with null
        // interfaces: the pages then write nothing there.
        OpenDriverConnection(&soundDevices[device], panel, &connection.directSound, &connection.propertySet, 0);
        for (ControlPanelPage *page : PageRegistry)
            page->WriteToDriver(connection.directSound, connection.propertySet);
        CloseDriverConnection(&connection);
    }
}

void Apply(HWND panel)
{
    int selected = SelectedPage(panel);
    WriteSettings(panel, selected);
    DriverConnection connection;
    if (OpenFirstDevice(panel, &connection) == 0) {
        ReadAllPages(connection);
        CloseDriverConnection(&connection);
    }
    if (selected >= 0)
        PageRegistry[selected]->ShowSettings(currentPageWindow);
    EnableWindow(GetDlgItem(panel, IDC_APPLY), FALSE);
}

void Close(HWND panel, INT_PTR result)
{
    StopSpeakerTest(panel);
    panelDialog = nullptr;
    WinHelpA(panel, kHelpFile, HELP_QUIT, 0);
    EndDialog(panel, result);
}

void OnCommand(HWND panel, int id)
{
    switch (id) {
    case IDOK:
        WriteSettings(panel, SelectedPage(panel));
        Close(panel, 1);
        break;
    case IDC_APPLY:
        Apply(panel);
        break;
    case IDCANCEL:
        Close(panel, 0);
        break;
    }
}

void OnNotify(HWND panel, const NMHDR *header)
{
    if (header->idFrom != IDC_PANEL_TAB)
        return;
    if (header->code == TCN_SELCHANGE)
        ShowCurrentPage(panel);
    else if (header->code == TCN_KEYDOWN && reinterpret_cast<const NMTCKEYDOWN *>(header)->wVKey == VK_TAB)
        SetFocus(currentPageWindow);
}

ULONG_PTR HelpTable()
{
    return reinterpret_cast<ULONG_PTR>(helpIdTable);
}

void OnHelp(const HELPINFO *help)
{
    if (help->iContextType == HELPINFO_WINDOW)
        WinHelpA(static_cast<HWND>(help->hItemHandle), kHelpFile, HELP_WM_HELP, HelpTable());
    // Counted whatever was asked: the General page tells a help click by it.
    ++helpClickCount;
}

} // namespace

void ShowCurrentPage(HWND panel)
{
    if (currentPageWindow) {
        DestroyWindow(currentPageWindow);
        currentPageWindow = nullptr;
    }
    HWND apply = GetDlgItem(panel, IDC_APPLY);
    BOOL applyEnabled = IsWindowEnabled(apply);
    int selected = SelectedPage(panel);
    if (selected < 0 || !pageTemplates[selected])
        return;
    ControlPanelPage *page = PageRegistry[selected];
    currentPageWindow = CreateDialogIndirectParamA(appInstance, pageTemplates[selected], panel,
                                                   page->DialogProcedure(), reinterpret_cast<LPARAM>(page));
    ShowWindow(currentPageWindow, SW_SHOWNORMAL);
    SetFocus(Tab(panel));
    // A page that shows its settings may have enabled Apply.
    EnableWindow(apply, applyEnabled);
}

INT_PTR CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(panel);
    case WM_COMMAND:
        OnCommand(panel, LOWORD(wParam));
        return 0;
    case WM_NOTIFY:
        OnNotify(panel, reinterpret_cast<const NMHDR *>(lParam));
        return 0;
    case WM_HELP:
        OnHelp(reinterpret_cast<const HELPINFO *>(lParam));
        return 0;
    case WM_CONTEXTMENU:
        WinHelpA(reinterpret_cast<HWND>(wParam), kHelpFile, HELP_CONTEXTMENU, HelpTable());
        return 0;
    case WM_CLOSE:
        // The close box and Alt+F4: neither a test stop nor HELP_QUIT here.
        panelDialog = nullptr;
        EndDialog(panel, 0);
        return 0;
    case WM_DESTROY:
        UnhookWindowsHookEx(keyHook);
        keyHook = nullptr;
        return 0;
    }
    return 0;
}
