// The least a resident tray program does: a hidden window and a notification
// icon, then the message loop until the menu's Exit command. Built like
// vtpanel.exe (same compiler, flags and static runtime) as the benchmark's
// baseline for start-up, idle cost, memory and size.
//
// Built with BARE_WITH_SYSTEM_DLLS it first does what vtpanel.exe asks of the
// system before its window exists, and holds what it holds while it waits:
// the same DLLs imported, the common controls initialised, winmm asked for
// its mixers (which starts Wine's audio device machinery), the QSound loader
// kept loaded. The difference to vtpanel.exe is then the program's own.
#include <windows.h>
#include <shellapi.h>
#ifdef BARE_WITH_SYSTEM_DLLS
#include <commctrl.h>
#include <dsound.h>
#include <mmsystem.h>
#endif

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
#ifdef BARE_WITH_SYSTEM_DLLS
    mixerGetNumDevs();
    InitCommonControls();
    HMODULE loader = LoadLibraryA("QA3DLoad");
    // Referenced, not called: DirectSound is loaded as vtpanel.exe loads it.
    static volatile FARPROC directSound = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(DirectSoundEnumerateA));
    (void)directSound;
    RegCloseKey(nullptr);
    DeleteObject(nullptr);
#endif
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
#ifdef BARE_WITH_SYSTEM_DLLS
    if (loader)
        FreeLibrary(loader);
#endif
    return 0;
}
