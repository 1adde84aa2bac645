// The panel's dialogs shown bare: the same templates of the same build
// (dialog 112 with its two tabs, the General and Effects pages), placed as
// the panel places them, with dialog procedures that do nothing else: no
// DirectSound, no driver settings, no profile or registry reads, no pictures.
// Like vtpanel.exe it has a hidden window that opens the panel on command
// 40008 (posted to itself at start with "OPEN") and shows its icon at once.
// The benchmark's baseline for opening the panel and switching tabs.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <string.h>

#include "resource.h"

namespace {

const char kClass[] = "Bare Panel";
const UINT kOpen = 40008, kExit = 40002;
const int kPages[2] = {IDD_GENERAL, IDD_EFFECTS};
const UINT kTitles[2] = {IDS_TITLE_GENERAL, IDS_TITLE_EFFECTS};

HINSTANCE instance;
HWND page;

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

void ShowPage(HWND panel)
{
    if (page)
        DestroyWindow(page);
    HWND tab = GetDlgItem(panel, IDC_PANEL_TAB);
    int selected = static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    page = CreateDialogParamA(instance, MAKEINTRESOURCEA(kPages[selected == 1]), panel, PageProc, 0);
    RECT area;
    GetWindowRect(tab, &area);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    POINT corner = {area.left, area.top};
    ScreenToClient(panel, &corner);
    SetWindowPos(page, HWND_TOP, corner.x, corner.y, 0, 0, SWP_NOSIZE);
    ShowWindow(page, SW_SHOWNORMAL);
    SetFocus(tab);
}

void InitPanel(HWND panel)
{
    page = nullptr;
    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(panel, &own);
    SetWindowPos(panel, HWND_TOP, (desktop.left + desktop.right + own.left - own.right) / 2,
                 (desktop.top + desktop.bottom + own.top - own.bottom) / 2, 0, 0, SWP_NOSIZE);
    SetForegroundWindow(panel);
    for (int i = 0; i < 2; ++i) {
        char title[50] = "";
        LoadStringA(instance, kTitles[i], title, sizeof title);
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = title;
        SendDlgItemMessageA(panel, IDC_PANEL_TAB, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    ShowPage(panel);
}

INT_PTR CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitPanel(panel);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
        if (header->idFrom == IDC_PANEL_TAB && header->code == TCN_SELCHANGE)
            ShowPage(panel);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_APPLY) {
            if (LOWORD(wParam) == IDC_APPLY)
                EnableWindow(GetDlgItem(panel, IDC_APPLY), FALSE);
            else
                EndDialog(panel, 0);
        }
        return 0;
    case WM_CLOSE:
        EndDialog(panel, 0);
        return 0;
    }
    return 0;
}

LRESULT CALLBACK HiddenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kOpen)
            DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PANEL), window, PanelProc, 0);
        else if (LOWORD(wParam) == kExit)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR commandLine, int)
{
    instance = module;
    InitCommonControls();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HiddenProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "BARE", WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (commandLine && strcmp(commandLine, "OPEN") == 0)
        PostMessageA(window, WM_COMMAND, kOpen, 0);
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_APP;
    icon.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    LoadStringA(instance, IDS_CAPTION, icon.szTip, sizeof icon.szTip);
    Shell_NotifyIconA(NIM_ADD, &icon);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(nullptr, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}
