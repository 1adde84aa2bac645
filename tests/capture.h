// What a program shows or writes where no test can see it directly: message
// boxes (answered at once), standard error and the debugger output.
#ifndef VT_TESTS_CAPTURE_H
#define VT_TESTS_CAPTURE_H

#include <windows.h>

#include "import_hook.h"

#include <string>
#include <vector>

// A message box as the program asked for it.
struct CapturedBox {
    std::string caption;
    std::string text;
    HWND owner;
    UINT style;
};

// While it lives, every MessageBoxA call of this program is recorded with
// its arguments, shown, and answered with answer (IDOK unless told
// otherwise). Other dialogs of the thread are passed to OtherDialog as they
// are activated.
class MessageBoxCapture {
public:
    explicit MessageBoxCapture(int answer = IDOK);
    virtual ~MessageBoxCapture();
    const std::vector<CapturedBox> &Boxes() const { return boxes_; }

protected:
    virtual void OtherDialog(HWND) {}

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static int WINAPI Record(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
    HHOOK hook_;
    int answer_;
    std::vector<CapturedBox> boxes_;
    ImportHook messageBox_;
};

// Everything written to standard error while it lives, redirected to a file.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    std::string Text(); // what was written so far

private:
    int saved_;
    char path_[MAX_PATH];
};

// Every OutputDebugStringA text while it lives, one entry per call.
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    const std::vector<std::string> &Lines() const { return lines_; }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS *info);
    void *handler_;
    std::vector<std::string> lines_;
};

// A file of the Windows folder, and of the system folder.
std::string WindowsFile(const char *name);
std::string SystemFile(const char *name);

// Chooses a tab of the control panel as a click does: the tab control's
// selection, then its notice to the panel.
void ChooseTab(HWND panel, int index);

// A folder of its own below the temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string &Path() const { return path_; }
    std::string File(const char *name) const { return path_ + "\\" + name; }
    void Write(const char *name, const void *data, size_t size) const;

private:
    std::string path_;
};

#endif
