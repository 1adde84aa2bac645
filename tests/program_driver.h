// Driving the shipped vtpanel.exe from a second program, as the shell and a
// user would: its windows found by class and caption, its buttons clicked.
#ifndef VT_TESTS_PROGRAM_DRIVER_H
#define VT_TESTS_PROGRAM_DRIVER_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Waits, handling this program's own messages, until done holds (at most ms).
bool WaitFor(const std::function<bool()> &done, DWORD ms = 10000);

// A started copy of the program.
struct Instance {
    HANDLE process = nullptr;
    DWORD id = 0;

    bool Alive() const { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
    // The exit code once it has ended (at most ms), else STILL_ACTIVE.
    DWORD ExitCode(DWORD ms = 15000) const;
};

// exe started with arguments in folder (null: this program's own folder).
Instance Start(const std::string &exe, const std::string &arguments, const char *folder = nullptr);

// A file another process is writing (the card's record), from offset on;
// empty when it cannot be opened.
std::string ReadSharedFile(const std::string &path, LONGLONG offset = 0);

// The resident program's hidden window.
HWND Tray();

std::string Text(HWND window);

// A process's visible top-level dialogs: its panel and its message boxes.
std::vector<HWND> DialogsOf(DWORD process);
// The first of them with this caption, or null.
HWND DialogOf(DWORD process, const char *caption);
// The first message box (a dialog with a text control 0xFFFF), or null.
HWND MessageBoxOf(DWORD process);

// The page window of the panel's selected tab.
HWND Page(HWND panel);

// A button pressed as a click does it.
void Click(HWND dialog, int id);

#endif
