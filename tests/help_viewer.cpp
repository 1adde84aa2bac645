#include "help_viewer.h"

#include <richedit.h>
#include <tlhelp32.h>

namespace {

const char kViewerClass[] = "MS_WINHELP";
const char kViewerExe[] = "winhlp32.exe";
const int kTextControl = 0x701;  // the rich edit control a viewer window shows its topic in

HWND FindViewer(bool popup)
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kViewerClass, nullptr)) != nullptr) {
        // A popup counts until it is gone: the viewer takes commands at its
        // first window, and one that is closing loses them.
        bool isPopup = (GetWindowLongA(window, GWL_STYLE) & WS_POPUP) != 0;
        if (isPopup == popup && (popup || IsWindowVisible(window)))
            return window;
    }
    return nullptr;
}

// Whether the window is a WinHelp process's.
bool IsViewer(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool viewer = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !viewer; more = Process32Next(snapshot, &entry))
        viewer = entry.th32ProcessID == id && lstrcmpiA(entry.szExeFile, kViewerExe) == 0;
    CloseHandle(snapshot);
    return viewer;
}

} // namespace

HWND HelpTopicWindow() { return FindViewer(false); }

HWND HelpPopup() { return FindViewer(true); }

std::string HelpText(HWND window)
{
    // WM_GETTEXT, unlike GetWindowTextA, reaches a control of another process.
    char text[8192] = {};
    SendMessageA(GetDlgItem(window, kTextControl), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    std::string shown;
    for (const char *p = text; *p; ++p)
        if (*p != '\r')
            shown += *p;
        else if (p[1] != '\n')
            shown += '\n';
    if (!shown.empty() && shown.back() != '\n')
        shown += '\n';
    return shown;
}

bool ClickHelpLink(HWND topicWindow, const std::string &label)
{
    std::string text = HelpText(topicWindow);
    // Paragraph by paragraph: the control counts one character per break.
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (text.compare(at, end - at, label) == 0) {
            HWND control = GetDlgItem(topicWindow, kTextControl);
            // The rich edit control's first form of the message answers with
            // the character's position; it takes no pointer from afar.
            LRESULT where = SendMessageA(control, EM_POSFROMCHAR, at + 1, 0);
            LPARAM point = MAKELPARAM(LOWORD(where) + 1, HIWORD(where) + 2);
            PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
            PostMessageA(control, WM_LBUTTONUP, 0, point);
            return true;
        }
        at = end + 1;
    }
    return false;
}

HelpErrorBoxWatch::HelpErrorBoxWatch()
    : thread_([this] {
          for (HWND answered = nullptr; !stop_; Sleep(50)) {
              HWND box = FindWindowExA(nullptr, nullptr, "#32770", nullptr);
              while (box && !IsViewer(box))
                  box = FindWindowExA(nullptr, box, "#32770", nullptr);
              if (!box || box == answered)
                  continue;
              char caption[256] = {}, text[1024] = {};
              GetWindowTextA(box, caption, sizeof caption);
              SendMessageA(GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
              std::lock_guard<std::mutex> hold(lock_);
              seen_ += std::string(caption) + ": " + text + "\n";
              PostMessageA(box, WM_COMMAND, IDNO, 0);
              PostMessageA(box, WM_COMMAND, IDOK, 0);
              answered = box;
          }
      })
{
}

HelpErrorBoxWatch::~HelpErrorBoxWatch()
{
    stop_ = true;
    thread_.join();
}

std::string HelpErrorBoxWatch::Seen()
{
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
}
