// The least a resident tray program does: a hidden window and a notification
// icon, then the message loop until the menu's Exit command. Built like
// vtpanel.exe (same compiler, flags and static runtime) as the benchmark's
// baseline for start-up, idle cost, memory and size.
#include <windows.h>
#include <shellapi.h>

namespace {

const char kClass[] = "Bare Tray";
const UINT kExit = 40002;

LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kExit)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TrayProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "BARE", WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_APP;
    icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(icon.szTip, "Bare", sizeof icon.szTip);
    Shell_NotifyIconA(NIM_ADD, &icon);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}
