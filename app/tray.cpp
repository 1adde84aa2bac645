#include "app/tray.h"

#include <dsound.h>
#include <stddef.h>
#include <string.h>

#include "app/app.h"
#include "app/messages.h"
#include "app/startup.h"
#include "panel/driver.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/uninstall.h"

const char kTrayClassName[] = "Veltrona Control";

namespace {

const char kSupportLibrary[] = "VTHLP32.DLL";

// What a shell that starts again broadcasts once its notification area is
// back, and whether this window's icon was added before: only an icon that
// was shown is shown again; one still due is added when it is due.
UINT taskbarCreated = 0;
bool iconAdded = false;
// Set once the shut-down duties ran: at a session's end they run before the
// message loop's, which must not repeat them.
bool dutiesDone = false;

// The tip as far as the record's first layout holds it: a shell that takes
// that layout reads no further, so the terminator must fall inside it.
const int kFirstLayoutTip = static_cast<int>(NOTIFYICONDATAA_V1_SIZE - offsetof(NOTIFYICONDATAA, szTip));

void OnCreate(HWND window)
{
    LoadMessageCaption();
    taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    iconAdded = dutiesDone = false;
    if (openAtStart) {
        PostMessageA(window, WM_COMMAND, IDM_OPEN, 0);
        return;
    }
    // The support library stays loaded until the icon is shown.
    if (SetTimer(window, kIconTimer, kIconDelay, nullptr))
        startupSupportHandle = LoadLibraryA(kSupportLibrary);
}

void OnIconTimer(HWND window)
{
    KillTimer(window, kIconTimer);
    if (startupSupportHandle) {
        FreeLibrary(startupSupportHandle);
        startupSupportHandle = nullptr;
    }
    AddTrayIcon();
}

void ShowTrayMenu(HWND window)
{
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDM_TRAY));
    if (!menu)
        return;
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Foreground first, or the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, cursor.x, cursor.y, 0,
                   window, nullptr);
    DestroyMenu(menu);
    PostMessageA(window, WM_NULL, 0, 0);
}

void OnIcon(HWND window, LPARAM mouse)
{
    switch (mouse) {
    case WM_LBUTTONDBLCLK:
        PostMessageA(window, WM_COMMAND, IDM_OPEN, 0);
        PostMessageA(window, WM_NULL, 0, 0);
        break;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(window);
        break;
    }
}

void OnCommand(int id)
{
    switch (id) {
    case IDM_EXIT:
        DestroyWindow(trayWindow);
        break;
    case IDM_OPEN:
        OpenControlPanel();
        break;
    }
}

} // namespace

void BuildNotifyIcon(NOTIFYICONDATAA *icon)
{
    memset(icon, 0, sizeof *icon);
    icon->cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon->hWnd = trayWindow;
    icon->uID = 1;
    icon->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon->uCallbackMessage = WM_APP;
    icon->hIcon = LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_APP));
    LoadStringA(appInstance, IDS_CAPTION, icon->szTip, kFirstLayoutTip);
}

void AddTrayIcon()
{
    NOTIFYICONDATAA icon;
    BuildNotifyIcon(&icon);
    Shell_NotifyIconA(NIM_ADD, &icon);
    iconAdded = true;
}

void EndResidentDuties()
{
    if (dutiesDone)
        return;
    dutiesDone = true;
    NOTIFYICONDATAA icon;
    BuildNotifyIcon(&icon);
    Shell_NotifyIconA(NIM_DELETE, &icon);
    RemoveA3DHook();
}

HWND CreateTrayWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TrayWindowProc;
    windowClass.hInstance = appInstance;
    windowClass.lpszClassName = kTrayClassName;
    RegisterClassA(&windowClass);
    // Never shown: disabled, of no size, a tool window off the task bar.
    trayWindow = CreateWindowExA(WS_EX_TOOLWINDOW, kTrayClassName, "VTPANEL", WS_DISABLED, 0, 0, 0, 0, nullptr,
                                 nullptr, appInstance, nullptr);
    return trayWindow;
}

void OpenControlPanel()
{
    if (!ProbeSpeakerRouting(Open))
        ProbeSpeakerRouting(OpenRetry);
    soundDeviceCount = 0;
    DirectSoundEnumerateA(EnumerateSoundDevice, &trayWindow);
    if (soundDeviceCount == 0) {
        ShowMessage(trayWindow, IDS_NO_DRIVER, MB_OK);
        return;
    }
    if (panelDialog) {
        SetForegroundWindow(panelDialog);
        SetActiveWindow(panelDialog);
        return;
    }
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), trayWindow, PanelProc, 0);
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The close request is obeyed whatever the message, except while the
    // support library removes the drivers; the message is handled as well.
    if (wParam == kCloseRequest && !dll32Call)
        DestroyWindow(trayWindow);
    if (taskbarCreated && message == taskbarCreated) {
        if (iconAdded)
            AddTrayIcon();
        return 0;
    }

    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_TIMER:
        OnIconTimer(window);
        return 0;
    case WM_APP:
        OnIcon(window, lParam);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_QUERYENDSESSION:
        // Neither the panel nor a running uninstall holds a logoff or shut-down.
        return TRUE;
    case WM_ENDSESSION:
        // The system ends the process soon after this returns, the message
        // loop never ending; a session that goes on changes nothing.
        if (wParam)
            EndResidentDuties();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
