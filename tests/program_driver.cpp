#include "harness.h"

#include "resource.h"

#include <commctrl.h>

#include <algorithm>

DWORD Instance::ExitCode(DWORD ms) const
{
    WaitFor([this] { return !Alive(); }, ms);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

void Instance::Close()
{
    if (Alive())
        TerminateProcess(process, 99);
    if (process) {
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    *this = Instance{};
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
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process && IsWindowVisible(window))
            found.push_back(window);
    }
    return found;
}

HWND DialogOf(DWORD process, const char *caption)
{
    for (HWND dialog : DialogsOf(process))
        if (Text(dialog) == caption)
            return dialog;
    return nullptr;
}

std::vector<std::string> AnswerBoxes(DWORD process, size_t count, DWORD ms)
{
    // An answered box may still be up for a moment: each is answered once.
    std::vector<std::string> texts;
    std::vector<HWND> answered;
    WaitFor([&] {
        for (HWND dialog : DialogsOf(process)) {
            HWND text = GetDlgItem(dialog, 0xFFFF);
            if (!text || std::find(answered.begin(), answered.end(), dialog) != answered.end())
                continue;
            answered.push_back(dialog);
            texts.push_back(Text(dialog) + ": " + Text(text));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        return texts.size() >= count;
    }, ms);
    return texts;
}

std::string InstallProgram(const char *exe)
{
    const std::string program = SystemFile("vtpanel.exe");
    return exe && CopyFileA(exe, program.c_str(), FALSE) ? program : "";
}

HWND PanelOf(DWORD process)
{
    HWND panel = DialogOf(process, "Sonaris Control Panel");
    return panel && GetDlgItem(panel, IDC_PANEL_TAB) && Page(panel) ? panel : nullptr;
}

bool SelectTab(HWND panel, int index)
{
    HWND tab = GetDlgItem(panel, IDC_PANEL_TAB);
    const WPARAM key = index ? VK_RIGHT : VK_LEFT;
    PostMessageA(tab, WM_KEYDOWN, key, 0);
    PostMessageA(tab, WM_KEYUP, key, 0);
    return WaitFor([&] { return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == index && Page(panel); }, 5000);
}

HWND Page(HWND panel)
{
    return FindWindowExA(panel, nullptr, "#32770", nullptr);
}

void Click(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
