// Loaded by Wine into the watched program's thread when the benchmark sets
// its hooks there: notes when a window of interest has handled a message
// (WH_CALLWNDPROCRET) and counts the messages the thread retrieves
// (WH_GETMESSAGE). Cheap on every other message.
//
// A dispatched message passes no hook, and a page's WM_PAINT is dispatched:
// the page window is subclassed when its first WM_PAINT is taken from the
// queue, and the subclass notes when the page's own procedure returns from it.
#include "bench/bench_shared.h"

#include <string.h>

namespace {

// The system's own timer message (caret blinking, scrolling), not in the headers.
const UINT kSystemTimer = 0x0118;

BenchShared *shared = nullptr;

BenchShared *Shared()
{
    if (!shared) {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, BENCH_SHARED_NAME);
        if (mapping)
            shared = static_cast<BenchShared *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(BenchShared)));
    }
    return shared;
}

void Note(DWORD kind, HWND window)
{
    BenchShared *s = Shared();
    if (!s)
        return;
    LONG at = InterlockedIncrement(&s->count) - 1;
    if (at >= BENCH_MAX_EVENTS)
        return;
    BenchEvent &event = s->events[at];
    event.process = GetCurrentProcessId();
    event.kind = kind;
    event.window = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
    event.time = BenchNow(); // last: the reader takes an event with a time as complete
}

bool IsDialog(HWND window)
{
    char name[16];
    return GetClassNameA(window, name, sizeof name) && strcmp(name, "#32770") == 0;
}

// The panel: a dialog with the tab control.
bool IsPanel(HWND window)
{
    return IsDialog(window) && GetDlgItem(window, kBenchPanelTab);
}

// A page: a dialog inside the panel.
bool IsPage(HWND window)
{
    HWND parent = GetParent(window);
    return parent && IsDialog(window) && IsPanel(parent) && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
}

void NotePaint(HWND page)
{
    if (GetDlgItem(page, kBenchGeneralMark))
        Note(kGeneralPainted, page);
    else if (GetDlgItem(page, kBenchEffectsMark))
        Note(kEffectsPainted, page);
}

const char kOldProc[] = "VtBenchOldProc";

LRESULT CALLBACK PageSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = reinterpret_cast<WNDPROC>(GetPropA(window, kOldProc));
    if (!old)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropA(window, kOldProc);
    }
    LRESULT result = CallWindowProcA(old, window, message, wParam, lParam);
    if (message == WM_PAINT) {
        if (IsPage(window))
            NotePaint(window);
        Note(kPageAllPainted, IsPage(window) ? window : GetParent(window));
    }
    return result;
}

void Subclass(HWND page)
{
    if (GetPropA(page, kOldProc))
        return;
    LONG_PTR old = GetWindowLongPtrA(page, GWLP_WNDPROC);
    if (old && SetPropA(page, kOldProc, reinterpret_cast<HANDLE>(old)))
        SetWindowLongPtrA(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PageSubclass));
}

void Handled(const CWPRETSTRUCT *call)
{
    BenchShared *s = Shared();
    if (s && s->traceAll)
        Note(kTrace + call->message, call->hwnd);
    switch (call->message) {
    case WM_CREATE: {
        BenchShared *s = Shared();
        char name[64];
        if (s && GetClassNameA(call->hwnd, name, sizeof name) && strcmp(name, s->trayClass) == 0)
            Note(kTrayCreated, call->hwnd);
        break;
    }
    case WM_INITDIALOG:
        if (IsPanel(call->hwnd))
            Note(kPanelShown, call->hwnd);
        break;
    case WM_PAINT: // sent, as UpdateWindow sends it
        if (!GetPropA(call->hwnd, kOldProc)) {
            if (IsPage(call->hwnd))
                NotePaint(call->hwnd);
            if (IsPage(call->hwnd) || IsPage(GetParent(call->hwnd)))
                Note(kPageAllPainted, IsPage(call->hwnd) ? call->hwnd : GetParent(call->hwnd));
        }
        break;
    case WM_ENABLE:
        if (!call->wParam && GetDlgCtrlID(call->hwnd) == kBenchApply && IsPanel(GetParent(call->hwnd)))
            Note(kApplyDisabled, call->hwnd);
        break;
    case WM_DESTROY:
        if (IsPanel(call->hwnd))
            Note(kPanelDestroyed, call->hwnd);
        break;
    }
}

void Retrieved(const MSG *message)
{
    BenchShared *s = Shared();
    if (!s)
        return;
    InterlockedIncrement(&s->retrieved);
    if (s->traceAll)
        Note(kTraceTaken + message->message, message->hwnd);
    if (message->message == WM_TIMER || message->message == kSystemTimer)
        InterlockedIncrement(&s->timers);
    else if (message->message == WM_PAINT) {
        InterlockedIncrement(&s->paints);
        // The page and its controls, each painted on its own.
        if (message->hwnd && (IsPage(message->hwnd) || IsPage(GetParent(message->hwnd))))
            Subclass(message->hwnd);
    }
    else if ((message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST) ||
             (message->message >= WM_MOUSEFIRST && message->message <= WM_MOUSELAST))
        InterlockedIncrement(&s->input);
    else
        InterlockedIncrement(&s->posted);
    LONG at = InterlockedIncrement(&s->lastIndex) - 1;
    s->lastMessages[at & 15] = static_cast<LONG>(message->message);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK BenchCallWndRetProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        Handled(reinterpret_cast<const CWPRETSTRUCT *>(lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK BenchGetMessageProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE)
        Retrieved(reinterpret_cast<const MSG *>(lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
