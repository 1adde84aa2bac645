#include "harness.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace {
MessageBoxCapture *activeBoxes = nullptr;
DebugOutputCapture *activeDebug = nullptr;
} // namespace

MessageBoxCapture::MessageBoxCapture(int answer)
    : answer_(answer), messageBox_("user32.dll", "MessageBoxA", reinterpret_cast<const void *>(Record))
{
    activeBoxes = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

int WINAPI MessageBoxCapture::Record(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    activeBoxes->boxes_.push_back(CapturedBox{caption ? caption : "", text ? text : "", owner, style});
    return activeBoxes->messageBox_.Original<int(WINAPI *)(HWND, LPCSTR, LPCSTR, UINT)>()(owner, text, caption, style);
}

MessageBoxCapture::~MessageBoxCapture()
{
    UnhookWindowsHookEx(hook_);
    activeBoxes = nullptr;
}

LRESULT CALLBACK MessageBoxCapture::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && activeBoxes) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[32];
        GetClassNameA(box, className, sizeof className);
        // A message box holds its text in control 0xFFFF; other dialogs are left alone.
        if (lstrcmpA(className, "#32770") == 0 && GetDlgItem(box, 0xFFFF))
            PostMessageA(box, WM_COMMAND, activeBoxes->answer_, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

StderrCapture::StderrCapture()
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "err", 0, path_);
    fflush(stderr);
    saved_ = _dup(_fileno(stderr));
    int fd = _open(path_, _O_WRONLY | _O_TRUNC | _O_BINARY);
    _dup2(fd, _fileno(stderr));
    _close(fd);
}

StderrCapture::~StderrCapture()
{
    fflush(stderr);
    _dup2(saved_, _fileno(stderr));
    _close(saved_);
    DeleteFileA(path_);
}

std::string StderrCapture::Text()
{
    fflush(stderr);
    return ReadWholeFile(path_);
}

DebugOutputCapture::DebugOutputCapture()
{
    activeDebug = this;
    handler_ = AddVectoredExceptionHandler(1, Handler);
}

DebugOutputCapture::~DebugOutputCapture()
{
    RemoveVectoredExceptionHandler(handler_);
    activeDebug = nullptr;
}

LONG CALLBACK DebugOutputCapture::Handler(EXCEPTION_POINTERS *info)
{
    // OutputDebugStringA raises this with the text's length and address.
    if (info->ExceptionRecord->ExceptionCode != DBG_PRINTEXCEPTION_C || !activeDebug)
        return EXCEPTION_CONTINUE_SEARCH;
    const char *text = reinterpret_cast<const char *>(info->ExceptionRecord->ExceptionInformation[1]);
    activeDebug->lines_.push_back(text ? text : "");
    return EXCEPTION_CONTINUE_EXECUTION;
}
