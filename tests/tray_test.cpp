// The resident program and the driver uninstall that ends it, in this test
// program, as one list of the steps the system, the card and the driver
// package see: the start-up, the delayed icon and the shut-down in order;
// the Open command with its retried probe; the hidden window and the icon's
// record; the icon's mouse messages and menu; the close request; the
// "A3D preload" value and the first run's speaker layout; the uninstall's
// refusals, its confirmation, the support library's two steps and the
// finishing steps. (CTest runs the uninstall cases as uninstall_refusals and
// uninstall_full, the full one in a prefix of its own.)
#include "harness.h"

#include "app/app.h"
#include "app/messages.h"
#include "app/startup.h"
#include "app/tray.h"
#include "panel/driver.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/speaker_test.h"
#include "speakers/uninstall.h"

#include <dsound.h>
#include <shlwapi.h>

#include <algorithm>
#include <stdarg.h>

namespace {

using Steps = std::vector<std::string>;
Steps steps;
std::string record; // the card's, the QSound loader's and the support library's record file
size_t taken;       // its lines already in steps
struct { NOTIFYICONDATAA record; char end; } shown; // the last icon record as far as its cbSize goes, and a 0
std::string missing, instead, caption; // a library that does not load, or another in its place; string 51
bool holdPosts;                        // posted messages are only recorded
bool noIconTimer, noMenu;              // timer 2 cannot be made; the menu does not load
bool logoff, refuseAdd;                // the session ends when the icon is shown; the first add is refused
HWND page;                             // the General page of the uninstall cases
DWORD now;                             // the time the program reads, when a case sets it
int systemFolder;                      // the system folder 0 found, 1 not found, 2 longer than the buffer
INT_PTR answer;                        // the uninstall's warning, answered

// What the card and the two libraries recorded since the last step (the
// probes' channel checks and routes, the layout written, the A3D hook, the
// support library's calls), then the step.
void Step(const char *format, ...)
{
    const Steps lines = FileTrace(
        record, {"ks.support", "buf.route", "ds.speaker.set", "InstallA3DHook", "RemoveA3DHook", "DLL32Call"});
    for (; taken < lines.size(); ++taken)
        steps.push_back(lines[taken]);
    char step[256];
    va_list args;
    va_start(args, format);
    vsnprintf(step, sizeof step, format, args);
    va_end(args);
    steps.push_back(step);
}

const char *Who(HWND window)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name); // the hidden window also while it is made
    if (!window || window == trayWindow || !strcmp(name, kTrayClassName))
        return !window ? "none" : "tray";
    return window == page ? "page" : window == panelDialog ? "panel" : "other";
}

// The system's own function behind a hook.
#define REAL(hook, function) Hooks::active->hook.Original<decltype(&function)>()

// What the program calls, recorded in its order. Nothing is deleted or
// started, no message box or dialog is shown (a box is answered OK, the
// warning as a case says); a case can fail or replace a library and set
// the time.
struct Hooks {
    static inline Hooks *active;
    static BOOL WINAPI Icon(DWORD command, NOTIFYICONDATAA *icon)
    {
        // The record as far as its size goes: a tip unterminated there runs into '?'.
        memset(&shown.record, '?', sizeof shown.record);
        memcpy(&shown.record, icon, std::min<size_t>(icon->cbSize, sizeof shown.record));
        const NOTIFYICONDATAA &r = shown.record;
        const char *tail = r.szTip + strnlen(r.szTip, sizeof r.szTip), *end = reinterpret_cast<const char *>(&r) + r.cbSize;
        Step("icon %s size=%lu %s id=%u flags=%u message=0x%x icon=%s tip=%s%s", command == NIM_ADD ? "add" : "delete",
             r.cbSize, Who(r.hWnd), r.uID, r.uFlags, r.uCallbackMessage,
             r.hIcon == LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_APP)) ? "100" : "other", r.szTip,
             std::all_of(tail, std::max(tail, end), [](char c) { return !c; }) ? "" : " and more bytes");
        if (command == NIM_ADD && !holdPosts) { // the shell starts anew once, or the session ends; the close request ends a run
            if (!logoff)
                Deliver(icon->hWnd, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
            else // the system's part; the process would then end, the close request stands for that
                Step("agreed %d", int(SendMessageA(icon->hWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF))),
                    SendMessageA(icon->hWnd, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF), Step("goes on"),
                    SendMessageA(icon->hWnd, WM_ENDSESSION, TRUE, 0), Step("ended"); // a shut-down, this time
            Deliver(icon->hWnd, WM_USER, kCloseRequest, 0);
        }
        return command != NIM_ADD || !std::exchange(refuseAdd, false); // no notification area yet
    }
    static BOOL Deliver(HWND to, UINT m, WPARAM w, LPARAM l) { return REAL(post, PostMessageA)(to, m, w, l); }
    static BOOL WINAPI Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return Step("post %u %u %s", message, unsigned(wParam), Who(window)),
               holdPosts || Deliver(window, message, wParam, lParam);
    }
    static UINT_PTR WINAPI Timer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
    {
        Step("timer %u %u %s", unsigned(id), period, Who(window));
        if (noIconTimer && id == kIconTimer) // no icon will end the run: the close request does
            return Deliver(window, WM_NULL, kCloseRequest, 0), 0; // whatever message carries it
        return REAL(timer, SetTimer)(window, id, period, procedure);
    }
    static BOOL WINAPI Kill(HWND window, UINT_PTR id) { return Step("kill %u %s", unsigned(id), Who(window)), REAL(kill, KillTimer)(window, id); }
    static HMODULE WINAPI Load(LPCSTR name)
    {
        Step("load %s", name);
        if (!strcmp(name, "VTHLP32.DLL")) // a shell that starts anew before the icon is due
            SendMessageA(FindWindowA(kTrayClassName, nullptr), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        return name != missing ? REAL(load, LoadLibraryA)(name)
               : instead.empty() ? nullptr : REAL(load, LoadLibraryA)(instead.c_str());
    }
    static BOOL WINAPI Free(HMODULE module)
    {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(module, path, sizeof path);
        return Step("free %s", PathFindFileNameA(CharLowerA(path))), REAL(free, FreeLibrary)(module);
    }
    static BOOL WINAPI Delete(LPCSTR path) // the name alone when in the system folder
    { return Step("delete %s", SystemFile(PathFindFileNameA(path)) == path ? PathFindFileNameA(path) : path), TRUE; }
    static UINT WINAPI Run(LPCSTR command, UINT show) { return Step("run %s %u", command, show), 33; }
    static UINT WINAPI SystemFolder(LPSTR folder, UINT size) // the folder still filled in, as no caller may trust
    {
        UINT length = REAL(systemDirectory, GetSystemDirectoryA)(folder, size);
        return systemFolder == 1 ? 0 : systemFolder == 2 ? size + 1 : length;
    }
    static int WINAPI String(HINSTANCE instance, UINT id, LPSTR text, int size)
    {
        if (id != IDS_CAPTION || caption.empty())
            return REAL(string, LoadStringA)(instance, id, text, size);
        lstrcpynA(text, caption.c_str(), size); // cut as LoadStringA cuts a text
        return lstrlenA(text);
    }
    static BOOL WINAPI Menu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT *)
    {
        char first[16] = "", second[16] = "";
        GetMenuStringA(menu, 0, first, sizeof first, MF_BYPOSITION), GetMenuStringA(menu, 1, second, sizeof second, MF_BYPOSITION);
        return Step("menu %s %s flags=%u at %d,%d %s", first, second, flags, x, y, Who(owner)), 0; // dismissed
    }
    static HMENU WINAPI LoadMenu(HINSTANCE instance, LPCSTR id) { return noMenu ? nullptr : REAL(loadMenu, LoadMenuA)(instance, id); }
    static INT_PTR WINAPI Panel(HINSTANCE, LPCSTR id, HWND owner, DLGPROC, LPARAM)
    {
        Step("%s %s", id == MAKEINTRESOURCEA(IDD_PANEL) ? "panel" : "warning", Who(owner));
        return id == MAKEINTRESOURCEA(IDD_PANEL) ? 0 : answer;
    }
    static BOOL WINAPI Foreground(HWND window) { return Step("foreground %s", Who(window)), TRUE; }
    static HWND WINAPI Active(HWND window) { return Step("active %s", Who(window)), nullptr; }
    static int WINAPI Box(HWND owner, LPCSTR text, LPCSTR, UINT style) { return Step("box %.24s %s style=0x%x", text, Who(owner), style), IDOK; }
    static DWORD WINAPI Clock() { return now ? now : REAL(clock, GetTickCount)(); }
    // The uninstall's blocking wait is recorded, not waited.
    static void WINAPI Wait(DWORD ms) { ms < 1000 ? REAL(wait, Sleep)(ms) : (void)Step("sleep %lu", ms); }
    ImportHook icon = HOOK("shell32.dll", Shell_NotifyIconA, Icon);
    ImportHook post = HOOK("user32.dll", PostMessageA, Post);
    ImportHook timer = HOOK("user32.dll", SetTimer, Timer);
    ImportHook kill = HOOK("user32.dll", KillTimer, Kill);
    ImportHook load = HOOK("kernel32.dll", LoadLibraryA, Load);
    ImportHook free = HOOK("kernel32.dll", FreeLibrary, Free);
    ImportHook remove = HOOK("kernel32.dll", DeleteFileA, Delete);
    ImportHook run = HOOK("kernel32.dll", WinExec, Run);
    ImportHook systemDirectory = HOOK("kernel32.dll", GetSystemDirectoryA, SystemFolder);
    ImportHook string = HOOK("user32.dll", LoadStringA, String);
    ImportHook menu = HOOK("user32.dll", TrackPopupMenu, Menu);
    ImportHook loadMenu = HOOK("user32.dll", LoadMenuA, LoadMenu);
    ImportHook panel = HOOK("user32.dll", DialogBoxParamA, Panel);
    ImportHook foreground = HOOK("user32.dll", SetForegroundWindow, Foreground);
    ImportHook activate = HOOK("user32.dll", SetActiveWindow, Active);
    ImportHook box = HOOK("user32.dll", MessageBoxA, Box);
    ImportHook clock = HOOK("kernel32.dll", GetTickCount, Clock);
    ImportHook wait = HOOK("kernel32.dll", Sleep, Wait);
};

class Recorded : public testing::Test {
protected:
    void SetUp() override
    {
        Hooks::active = &hooks_;
        appInstance = GetModuleHandleA(nullptr);
        record = folder_.File("card.log");
        SetEnvironmentVariableA("VCARD_LOG", record.c_str());
        Reset();
    }
    void TearDown() override { Reset(); }
    void Reset()
    {
        if (IsWindow(trayWindow)) // Exit leaves the handle
            DestroyWindow(trayWindow);
        if (supportLibrary && !dll32Call) // a library without the export stays until the program ends
            FreeLibrary(supportLibrary);
        trayWindow = panelDialog = page = nullptr;
        startupSupportHandle = supportLibrary = nullptr, dll32Call = nullptr;
        openAtStart = holdPosts = noIconTimer = noMenu = logoff = refuseAdd = false;
        systemFolder = soundDeviceCount = 0; // the device count as a new process has it
        missing = instead = caption = "";
        DispatchPending();
        VcReset();
        RestorePackage();
        WriteWholeFile(record, "");
        taken = 0, steps.clear();
    }

    TempFolder folder_;
    Hooks hooks_;
};

using Tray = Recorded;

const std::string kRoute = "buf.route mask=0x1", kChecked = "ks.support set=Audio id=3 support=0x3 hr=0x00000000",
                  kUnsettable = "ks.support set=Audio id=3 support=0x1 hr=0x00000000",
                  kNoDriver = "box No Sonaris driver was in tray style=0x10000",
                  kNoAcceleration = "box Either a Q3D driver is n none style=0x10040";

Steps Join(std::initializer_list<Steps> parts)
{
    Steps all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { Step("no end within 5 s"), PostQuitMessage(1); }

// The icon's record, the first layout at either width.
const std::string kRecord = std::string(" size=") + (sizeof(void *) == 4 ? "88" : "104") +
                            " tray id=1 flags=7 message=0x8000 icon=100 tip=";
const std::string kTip = "Sonaris Control Panel",
                  kLongTip = "Sonaris Control Panel for the Sonaris PCI Audio card and its Q3";

// Start-up; the icon a second later, the support library let go before it;
// a shell that starts anew gets the icon again, but not before it is due,
// and so does one that refused it (at logon, before its notification area);
// shut-down: the icon, then the A3D hook, then its library. With OPEN the
// icon at once, then the Open command: it probes again in mode OpenRetry
// when mode Open fails (the retry tells how to turn acceleration on when it
// fails too), then the panel, or message 61 (as at the start) when no device
// is listed. A caption longer than the first layout's tip reaches the shell
// cut, terminated within it. Without the support library or the card an
// early silent end. Without the QSound loader, or with one lacking its
// exports, no hook. Without timer 2, neither the icon nor the support library.
// A logoff is agreed to; a logoff that goes on changes nothing, and a
// shut-down ends it as Exit does, once.
TEST_F(Tray, StartsOpensAndEndsInOrder)
{
    const std::string firstRun = "ds.speaker.set dev=0 value=0x6 hr=0x00000000", add = "icon add" + kRecord + kTip,
                      remove = "icon delete" + kRecord + kTip;
    const Steps made = {"timer 2 1000 tray", "load VTHLP32.DLL"},
                package = {"load VTHLP32.DLL", "free vthlp32.dll", kRoute},
                hooked = {"load QA3DLoad", "InstallA3DHook 0x00600000", firstRun},
                end = {"RemoveA3DHook", "free qa3dload.dll", "exit 0"};
    auto ordinary = [&](Steps hook, Steps finish) {
        return Join({made, package, hook, {"kill 2 tray", "free vthlp32.dll", add, add, remove}, finish});
    };
    auto opened = [&](Steps atStart, Steps onOpen, std::string tip = kTip) {
        return Join({{"post 273 40008 tray"}, package, {"icon add" + kRecord + tip}, atStart, hooked, onOpen,
                     {"icon add" + kRecord + tip, "icon delete" + kRecord + tip}, end});
    };
    const struct { const char *commandLine; void (*setup)(); Steps expected; } cases[] = {
        {"", [] { refuseAdd = true; }, ordinary(hooked, end)},
        {"", [] { missing = "QA3DLoad"; }, ordinary({"load QA3DLoad", firstRun}, {"exit 0"})},
        {"", [] { missing = "QA3DLoad", instead = "shlwapi.dll"; },
         ordinary({"load QA3DLoad", firstRun}, {"free shlwapi.dll", "exit 0"})},
        {"", [] { noIconTimer = true; }, Join({{"timer 2 1000 tray"}, package, hooked, {remove}, end})},
        {"", [] { logoff = true; }, Join({made, package, hooked, {"kill 2 tray", "free vthlp32.dll", add, "agreed 1",
                                      "goes on", remove, "RemoveA3DHook", "free qa3dload.dll", "ended", "exit 0"}})},
        {"OPEN", [] {}, opened({}, {kChecked, kRoute, "panel tray"})},
        {"OPEN", [] { VcBendCall("QuerySupport", 1, VcNoSetBit); },
         opened({}, {kUnsettable, kChecked, kRoute, "panel tray"})},
        {"OPEN", [] { VcBendCall("QuerySupport", 0, VcNoSetBit); },
         opened({}, {kUnsettable, kUnsettable, kNoAcceleration, "panel tray"})},
        {"OPEN", [] { VcBendCall("QuerySupport", 0, VcNoSetBit), VcFailCall("EnumerateDevice", 0, DSERR_GENERIC); },
         opened({kNoDriver}, {kUnsettable, kUnsettable, kNoAcceleration, kNoDriver})},
        {"OPEN", [] { VcFailCall("EnumerateDevice", 2, DSERR_GENERIC); }, opened({}, {kChecked, kRoute, kNoDriver})},
        {"OPEN", [] { caption = "Sonaris Control Panel for the Sonaris PCI Audio card and its Q3D effects"; },
         opened({}, {kChecked, kRoute, "panel tray"}, kLongTip)},
        {"", [] { missing = "VTHLP32.DLL"; }, Join({made, {"load VTHLP32.DLL", "exit 0"}})},
        {"", [] { SHDeleteKeyA(HKEY_LOCAL_MACHINE, kCardPciKey); },
         Join({made, {"load VTHLP32.DLL", "free vthlp32.dll", "exit 0"}})},
    };
    FakeVersion xp(kXp); // the card found by its PCI key
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        c.setup();
        UINT_PTR bound = REAL(timer, SetTimer)(nullptr, 0, 5000, GiveUp);
        Step("exit %d", RunResidentProgram(GetModuleHandleA(nullptr), c.commandLine));
        REAL(kill, KillTimer)(nullptr, bound);
        EXPECT_EQ(c.expected, steps);
        Reset();
    }
}

// The window as it is made. A double click asks for the panel; a right
// button brings the menu; other mouse messages do nothing. The close request
// ends the program whatever the message carrying it, except while the
// support library removes the drivers; Exit ends it too.
TEST_F(Tray, TheWindowItsMouseMessagesTheCloseRequestAndExit)
{
    holdPosts = true;
    ASSERT_NE(nullptr, CreateTrayWindow());
    EXPECT_EQ(DWORD(WS_EX_TOOLWINDOW), GetWindowLongA(trayWindow, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(!IsWindowEnabled(trayWindow) && !IsWindowVisible(trayWindow));
    EXPECT_EQ("VTPANEL", Text(trayWindow));
    // A bare class: no style, extra bytes, icon, cursor, brush or menu; no owner, parent or menu of its own.
    for (int field : {GCL_STYLE, GCL_CBCLSEXTRA, GCL_CBWNDEXTRA, GCLP_HICON, GCLP_HCURSOR, GCLP_HBRBACKGROUND, GCLP_MENUNAME})
        EXPECT_EQ(0u, GetClassLongPtrA(trayWindow, field)) << field;
    EXPECT_TRUE(!GetParent(trayWindow) && !GetWindow(trayWindow, GW_OWNER) && !GetMenu(trayWindow));
    EXPECT_STREQ("Sonaris Control Panel", messageCaption);
    // The window in front of the menu, or the menu would not close; TPM_RIGHTBUTTON, left and top,
    // at the cursor.
    SetCursorPos(123, 45);
    // A menu that does not load: nothing at all.
    const struct { LPARAM mouse; Steps expected; bool noMenu = false; } mice[] = {
        {WM_LBUTTONDOWN, {}}, {WM_LBUTTONUP, {}}, {WM_RBUTTONUP, {}}, {WM_MOUSEMOVE, {}}, {WM_RBUTTONDBLCLK, {}},
        {WM_LBUTTONDBLCLK, {"post 273 40008 tray", "post 0 0 tray"}},
        {WM_RBUTTONDOWN, {"foreground tray", "menu &Open &Exit flags=2 at 123,45 tray", "post 0 0 tray"}},
        {WM_RBUTTONDOWN, {}, true},
    };
    for (const auto &m : mice) {
        steps.clear();
        noMenu = m.noMenu;
        SendMessageA(trayWindow, WM_APP, &m - mice, m.mouse); // whatever icon id they name
        EXPECT_EQ(m.expected, steps) << m.mouse;
    }

    // Any timer's tick is the icon's; an Open command with the panel up brings it forward.
    steps.clear();
    SendMessageA(trayWindow, WM_TIMER, 7, 0);
    panelDialog = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SendMessageA(trayWindow, WM_COMMAND, MAKEWPARAM(IDM_OPEN, 1), 0);
    EXPECT_EQ((Steps{"kill 2 tray", "free vthlp32.dll", "icon add" + kRecord + kTip, kChecked, kRoute,
                     "foreground panel", "active panel"}), steps);
    DestroyWindow(std::exchange(panelDialog, nullptr));

    dll32Call = reinterpret_cast<Dll32CallProc>(1);
    SendMessageA(trayWindow, WM_USER, kCloseRequest, 0);
    dll32Call = nullptr;
    SendMessageA(trayWindow, WM_COMMAND, 40001, 0); // no such command
    EXPECT_TRUE(IsWindow(trayWindow));
    SendMessageA(trayWindow, WM_COMMAND, IDM_EXIT, 0); // the close request's end is the runs'
    EXPECT_FALSE(IsWindow(trayWindow));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// --- The QSound value and the first run -----------------------------------

TEST(A3DPreload, IsTheValueWithinItsRangeOrTheDefault)
{
    const DWORD inRange = 0x00600000, lowest = 0x00500000, below = 0x004FFFFF, highest = 0x5FFFFFFF;
    const BYTE shortBinary[2] = {0, 0x60};
    const std::string unterminated(32, '5'), tooLong(33, '\x10'), filled = std::string(25, '0') + "7abcde";
    const struct { DWORD type; const void *data; DWORD size; DWORD expected; } cases[] = {
        {REG_SZ, "600000", 7, 0x00600000}, {REG_SZ, " 0x7abcdef", 11, 0x07ABCDEF}, {REG_SZ, "60000000", 9, 0x13790000},
        {REG_SZ, "no digits", 10, 0x13790000}, {REG_SZ, unterminated.data(), 32, 0x13790000},
        {REG_DWORD, &inRange, 4, 0x00600000}, {REG_BINARY, &lowest, 4, 0x00500000},
        {REG_BINARY, &highest, 4, 0x5FFFFFFF}, {REG_DWORD, &below, 4, 0x13790000},
        {REG_BINARY, shortBinary, 2, 0x13790000}, {REG_EXPAND_SZ, "600000", 7, 0x13790000},
        {REG_NONE, nullptr, 0, 0x13790000},
        // Typed numbers as strtoul reads them: zeros, signs, blanks, letters after the digits, overflow.
        {REG_SZ, "0000600000", 11, 0x00600000}, {REG_SZ, "+600000", 8, 0x00600000}, {REG_SZ, "\t\n 600000", 10, 0x00600000},
        {REG_SZ, "-600000", 8, 0x13790000}, {REG_SZ, "-FFA00000", 10, 0x00600000}, {REG_SZ, "600000g", 8, 0x00600000}, {REG_SZ, "5FFFFFFFF", 10, 0x13790000},
        {REG_SZ, "0X500000", 9, 0x00500000}, {REG_SZ, "4fffff", 7, 0x13790000}, {REG_SZ, "5fffffff", 9, 0x5FFFFFFF},
        {REG_SZ, "", 1, 0x13790000}, {REG_BINARY, "\0\0\x60\0\x01", 5, 0x00600000},
        {REG_BINARY, "\0\0\x60", 3, 0x13790000}, {REG_DWORD_BIG_ENDIAN, &inRange, 4, 0x13790000},
        {REG_BINARY, tooLong.data(), 33, 0x13790000}, // more than the 32 bytes read
        {REG_SZ, filled.data(), 31, 0x007ABCDE},        // unterminated, one byte short of them
    };
    for (const auto &c : cases) {
        SHDeleteValueA(HKEY_CURRENT_USER, kQSoundKey, "A3D preload");
        if (c.data)
            SetValue(HKEY_CURRENT_USER, kQSoundKey, "A3D preload", c.type, c.data, c.size);
        HKEY key = nullptr;
        RegOpenKeyA(HKEY_CURRENT_USER, kQSoundKey, &key);
        EXPECT_EQ(c.expected, ReadA3DPreload(key)) << &c - cases;
    }
    EXPECT_EQ(0x13790000u, ReadA3DPreload(nullptr));
    RestorePackage();
}

// FIRSTTIME beginning with '1' applies the card's largest layout once, into
// a read-only SOUNDCFG.INI as well, keeping its other attributes; without
// the driver's limits nothing is written and the next start tries again.
TEST(FirstRun, AppliesTheLargestLayoutOnceAndClearsFirstTime)
{
    const std::string profile = WindowsFile("SOUNDCFG.INI");
    const struct { const char *firstTime; bool limits; DWORD config; const char *after; bool written; } cases[] = {
        {"1", true, DSSPEAKER_QUAD, "0", true},  {"10", true, DSSPEAKER_QUAD, "0", true},
        {"0", true, DSSPEAKER_STEREO, "0", false}, {nullptr, true, DSSPEAKER_STEREO, "", false},
        {"2", true, DSSPEAKER_STEREO, "2", false}, {"1", false, DSSPEAKER_STEREO, "1", false},
        {" 1", true, DSSPEAKER_QUAD, "0", true}, /* the profile drops the blank */ {"01", true, DSSPEAKER_STEREO, "01", false},
        {"1234567", true, DSSPEAKER_QUAD, "0", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        VcReset();
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKeyPath);
        if (c.limits)
            SetDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "MaxSpeakers", 4);
        SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
        WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", c.firstTime, "SOUNDCFG.INI");
        SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        ApplyFirstRunLayout();
        EXPECT_EQ(c.config, VcSpeakerConfig(0));
        char after[8];
        GetPrivateProfileStringA("SPEAKERS", "FIRSTTIME", "", after, sizeof after, "SOUNDCFG.INI");
        EXPECT_STREQ(c.after, after);
        EXPECT_EQ(c.written ? 0x22u : 0x23u, GetFileAttributesA(profile.c_str())); // hidden, archive
    }
    VcReset();
    RestorePackage();
}

// --- The driver uninstall ------------------------------------------------------

// The warning itself: only "&Yes" and "&No" end it, Enter meaning "&No";
// Esc, the close box, Cancel and OK do not. Its text is English. A warning
// still up after two seconds is ended with -1.
int ticks;
void CALLBACK Answer(HWND, UINT, UINT_PTR, DWORD)
{
    HWND warning = GetActiveWindow();
    if (++ticks == 200)
        EndDialog(warning, -1);
    if (ticks != 1)
        return;
    EXPECT_EQ("Do you really want to uninstall audio devices\r\nand drivers?",
              Text(GetDlgItem(warning, IDC_WARNING_TEXT)));
    EXPECT_EQ(GetDlgItem(warning, IDNO), GetFocus()); // so that Space does not answer "&Yes"
    Hooks::Deliver(warning, WM_KEYDOWN, VK_ESCAPE, 0);
    Hooks::Deliver(warning, WM_SYSCOMMAND, SC_CLOSE, 0);
    for (WPARAM command : {IDCANCEL, IDOK})
        Hooks::Deliver(warning, WM_COMMAND, command, 0);
    if (answer == VK_RETURN)
        Hooks::Deliver(warning, WM_KEYDOWN, VK_RETURN, 0);
    else
        Hooks::Deliver(GetDlgItem(warning, static_cast<int>(answer)), BM_CLICK, 0, 0);
}

// The resident program's hidden window, whose end ends the program, and an
// Explorer folder window, which stays when asked to close.
LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{ return message == WM_DESTROY ? Step("end"), 0 : DefWindowProcA(window, message, wParam, lParam); }
LRESULT CALLBACK FolderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message != WM_CLOSE ? DefWindowProcA(window, message, wParam, lParam)
                               : (Step("close folder %d,%d", static_cast<int>(wParam), static_cast<int>(lParam)), 0);
}
HWND CreateOfClass(const char *className, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}
void WINAPI StandInDll32Call(DWORD step) { Step("DLL32Call %lu", step); }

// The control panel on its General tab, and a hidden window standing for
// the resident program's.
class Uninstall : public Recorded {
protected:
    void SetUp() override
    {
        Recorded::SetUp();
        LoadMessageCaption();
        // An uninstall of an earlier page: a new page forgets it.
        supportLibrary = reinterpret_cast<HMODULE>(1);
        dll32Call = StandInDll32Call;
        CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        page = currentPageWindow;
        ASSERT_TRUE(page && !supportLibrary && !dll32Call);
        trayWindow = CreateOfClass(kTrayClassName, TrayProc);
        answer = IDYES;
        steps.clear();
    }
    void TearDown() override
    {
        if (IsWindow(panelDialog)) // a case may have destroyed it
            DestroyWindow(panelDialog);
        Recorded::TearDown();
    }
    void Press() { SendDlgItemMessageA(page, IDC_UNINSTALL, BM_CLICK, 0, 0); }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }
};

TEST_F(Uninstall, TheWarningEndsOnlyWithYesOrNo)
{
    for (INT_PTR key : {IDYES, IDNO, VK_RETURN}) {
        answer = key, ticks = 0;
        UINT_PTR timer = REAL(timer, SetTimer)(nullptr, 0, 10, Answer);
        EXPECT_EQ(key == IDYES ? IDYES : IDNO, REAL(panel, DialogBoxParamA)(
                                                   appInstance, MAKEINTRESOURCEA(IDD_UNINSTALL_WARNING), page, UninstallWarningProc, 0));
        REAL(kill, KillTimer)(nullptr, timer);
    }
}

const std::string kDone = "box Sonaris audio devices an page style=0x10040";

// A synthesizer's key (either spelling) refuses with message 52 alone;
// "&No", or a support library that does not load, lead nowhere. A library
// without the export leaves the buttons on; a second press reloads it;
// timer 1 ends the program, nothing removed. A playing test is stopped
// first in every case.
TEST_F(Uninstall, RefusalsAndALibraryWithoutTheExport)
{
    const std::string refused = "box You must remove YAMAHA S page style=0x10030";
    const struct { int key; INT_PTR answer; int presses; const char *library; Steps steps; } cases[] = {
        {0, IDYES, 1, nullptr, {refused}},
        {1, IDYES, 1, nullptr, {refused}},
        {-1, IDNO, 1, nullptr, {"warning page"}},
        {-1, IDYES, 1, "", {"warning page", "sleep 1500", "load VTHLP32.DLL"}},
        {-1, IDYES, 2, "QA3DLoad.dll",
         {"warning page", "sleep 1500", "load VTHLP32.DLL", "timer 1 4000 page", "warning page", "sleep 1500",
          "free qa3dload.dll", "load VTHLP32.DLL", "timer 1 4000 page", "kill 1 page", "end"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        if (c.key >= 0)
            SetDword(HKEY_LOCAL_MACHINE, kSynthesizerKeys[c.key], "", 0);
        if (c.library)
            missing = "VTHLP32.DLL", instead = c.library;
        answer = c.answer;
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        for (int press = 0; press < c.presses; ++press) {
            testPlaying = 1;
            Press();
            EXPECT_TRUE(!testPlaying && Enabled(IDC_UNINSTALL) && Enabled(IDC_TEST_ALL));
        }
        if (c.presses > 1)
            ASSERT_TRUE(WaitFor([] { return !IsWindow(trayWindow); }, 8000));
        EXPECT_EQ(c.steps, steps);
        EXPECT_EQ(c.steps.size() > 1, GetCursor() == LoadCursorA(nullptr, IDC_WAIT)); // left as it is
        if (c.key >= 0)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSynthesizerKeys[c.key]);
        TearDown(), SetUp();
    }
}

// The page goes away (another tab, OK, Cancel) while timer 1 waits: the
// removal still finishes when it would have with its page, message 48 above
// the panel (or the resident window once the panel is gone too), and kills
// no timer but its own. A page shown meanwhile does not forget it. The test
// stands in for the export once the library loaded.
TEST_F(Uninstall, AnUninstallOutlivesItsPage)
{
    // Left at 2.5 s, just before the end, at it: what is left of 4 s, or the shortest timer.
    const struct { const char *owner; DWORD elapsed; const char *timer; } cases[] = {
        {"panel", 2500, "timer 0 1500 none"}, {"tray", 2500, "timer 0 1500 none"},
        {"tray", 3999, "timer 0 1 none"}, {"panel", 4000, "timer 0 10 none"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.elapsed);
        missing = "VTHLP32.DLL", instead = "QA3DLoad.dll";
        now = 100000;
        Press();
        dll32Call = StandInDll32Call;
        now = 100000 + c.elapsed;
        steps.clear();
        ChooseTab(panelDialog, 1);
        now = 0;
        EXPECT_EQ((Steps{"kill 1 page", c.timer}), steps);
        ChooseTab(panelDialog, 0);
        page = currentPageWindow;
        EXPECT_FALSE(Enabled(IDC_TEST_ALL) || Enabled(IDC_UNINSTALL));
        if (!strcmp(c.owner, "tray"))
            DestroyWindow(panelDialog);
        steps.clear();
        ASSERT_TRUE(WaitFor([] { return !IsWindow(trayWindow); }, 8000));
        // Only the timer that waited in the page's place: a thread's timer, of its own id.
        ASSERT_FALSE(steps.empty());
        EXPECT_TRUE(steps[0] != "kill 1 none" && !steps[0].compare(0, 5, "kill ") && strstr(steps[0].c_str(), "none"));
        steps[0] = "kill";
        EXPECT_EQ((Steps{"kill", "box Sonaris audio devices an " + std::string(c.owner) + " style=0x10040",
                         "delete VTAPLT.CPL", "DLL32Call 1", "free qa3dload.dll", "delete VTHLP32.DLL", "end"}),
                  steps);
        TearDown(), SetUp();
    }
}

// The finishing steps in their order. The applet file name comes from
// SOUNDCFG.INI (the default without one, a long one cut), and only a bare
// name is deleted;
// an open folder window is closed and the Control Panel started again,
// without activation, and only then. Without the system folder's name
// nothing is deleted or started. A stand-in takes the export's place.
TEST_F(Uninstall, FinishingTakesItsStepsInOrderAndDeletesOnlyABareAppletName)
{
    const std::string longest(45, 'x'), run = "run \"" + SystemFile("control.exe") + "\" 8"; // 39 of its characters are read
    // LOADER, the system folder (1: not found, 2: longer than the buffer), the steps between message 48 and the export's.
    const struct { std::string loader; int folder; Steps applet; } rows[] = {
        {"..\\victim.txt"}, {"../victim.txt"}, {WindowsFile("victim.txt")}, {"C:..\\victim.txt"}, {".."}, {"."},
        {"", 0, {"close folder 0,0", "delete VTAPLT.CPL", run}}, {longest, 0, {"delete " + std::string(39, 'x')}},
        {"", 1, {"close folder 0,0"}}, {"", 2, {"close folder 0,0"}}};
    for (const auto &row : rows) {
        const std::string &loader = row.loader;
        SCOPED_TRACE(loader + std::to_string(row.folder));
        WritePrivateProfileStringA("DESCRIPTION", "LOADER", loader.empty() ? nullptr : loader.c_str(), "SOUNDCFG.INI");
        HWND explorer = loader.empty() ? CreateOfClass("CabinetWClass", FolderProc) : nullptr;
        supportLibrary = LoadLibraryA("shlwapi.dll");
        dll32Call = StandInDll32Call;
        systemFolder = row.folder;
        steps.clear();
        FinishUninstall(page);
        EXPECT_EQ(Join({{"kill 1 page", kDone}, row.applet, {"DLL32Call 1", "free shlwapi.dll"},
                        row.folder ? Steps{} : Steps{"delete VTHLP32.DLL"}, {"end"}}), steps);
        DestroyWindow(explorer);
        UnregisterClassA("CabinetWClass", nullptr);
        trayWindow = CreateOfClass(kTrayClassName, TrayProc);
    }
}

// The full uninstall with the package's support library; it removes the
// card, so it runs in a prefix of its own.
TEST_F(Uninstall, FullUninstallRemovesTheCardAndEndsTheProgram)
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    Press();
    EXPECT_EQ((Steps{"warning page", "sleep 1500", "load VTHLP32.DLL", "DLL32Call 0", "timer 1 4000 page"}), steps);
    EXPECT_TRUE(!Enabled(IDC_TEST_ALL) && !Enabled(IDC_UNINSTALL) && GetCursor() == LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey)); // only started

    steps.clear();
    SendMessageA(page, WM_TIMER, kUninstallTimer, 0);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), GetCursor());
    EXPECT_EQ((Steps{"kill 1 page", kDone, "delete VTAPLT.CPL", "DLL32Call 1", "free vthlp32.dll",
                     "delete VTHLP32.DLL", "end"}),
              steps);
    // The card removed by the library, and the library let go.
    EXPECT_TRUE(!KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey) && !GetModuleHandleA("VTHLP32.DLL"));
}

} // namespace
