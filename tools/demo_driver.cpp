// Not a test: the program behind `make demo` without a display. It waits for
// the control panel that vtpanel.exe OPEN shows, asks tools/demo to take a
// picture of the screen (NAME.ready in the folder of its argument, answered
// by NAME.done), switches to the Effects tab as the user's arrow key does,
// and asks for a second picture.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

std::string folder;

BOOL CALLBACK FindPanel(HWND window, LPARAM found)
{
    char text[64] = "";
    GetWindowTextA(window, text, sizeof text);
    if (strcmp(text, "Sonaris Control Panel") == 0 && GetDlgItem(window, 1062) && IsWindowVisible(window)) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

bool Wait(bool (*done)(HWND), HWND window, DWORD ms)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(100))
        if (done(window))
            return true;
    return false;
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Lets the screen settle, then has it captured as NAME.png.
void Picture(const char *name)
{
    Sleep(1500);
    std::string ready = folder + "\\" + name + ".ready", done = folder + "\\" + name + ".done";
    CloseHandle(CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (DWORD start = GetTickCount(); !Exists(done) && GetTickCount() - start < 20000;)
        Sleep(100);
    DeleteFileA(done.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    folder = argv[1];
    HWND panel = nullptr;
    for (DWORD start = GetTickCount(); !panel && GetTickCount() - start < 60000; Sleep(200))
        EnumWindows(FindPanel, reinterpret_cast<LPARAM>(&panel));
    if (!panel) {
        fprintf(stderr, "demo: the control panel did not open\n");
        std::string failed = folder + "\\failed";
        CloseHandle(CreateFileA(failed.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return 1;
    }
    Picture("general");
    HWND tab = GetDlgItem(panel, 1062);
    PostMessageA(tab, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageA(tab, WM_KEYUP, VK_RIGHT, 0);
    Wait([](HWND t) { return SendMessageA(t, TCM_GETCURSEL, 0, 0) == 1; }, tab, 5000);
    Picture("effects");
    return 0;
}
