#include "program_driver.h"

#include <string.h>

namespace {

bool IsDialog(HWND window)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return strcmp(name, "#32770") == 0;
}

struct Dialogs {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM context)
{
    Dialogs *dialogs = reinterpret_cast<Dialogs *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == dialogs->process && IsDialog(window) && IsWindowVisible(window))
        dialogs->found.push_back(window);
    return TRUE;
}

} // namespace

std::string ReadSharedFile(const std::string &path, LONGLONG offset)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD read;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

DWORD Instance::ExitCode(DWORD ms) const
{
    WaitFor([this] { return !Alive(); }, ms);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

Instance Start(const std::string &exe, const std::string &arguments, const char *folder)
{
    std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    Instance run;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &info)) {
        CloseHandle(info.hThread);
        run.process = info.hProcess;
        run.id = info.dwProcessId;
    }
    return run;
}

bool WaitFor(const std::function<bool()> &done, DWORD ms)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(10)) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (GetTickCount() - start > ms)
            return false;
    }
    return true;
}

HWND Tray()
{
    return FindWindowA("Veltrona Control", nullptr);
}

std::string Text(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::vector<HWND> DialogsOf(DWORD process)
{
    Dialogs dialogs = {process, {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs.found;
}

HWND DialogOf(DWORD process, const char *caption)
{
    for (HWND dialog : DialogsOf(process))
        if (Text(dialog) == caption)
            return dialog;
    return nullptr;
}

HWND MessageBoxOf(DWORD process)
{
    for (HWND dialog : DialogsOf(process))
        if (GetDlgItem(dialog, 0xFFFF))
            return dialog;
    return nullptr;
}

HWND Page(HWND panel)
{
    for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsDialog(child))
            return child;
    return nullptr;
}

void Click(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
