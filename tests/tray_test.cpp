// The resident program in this test program, as one list of the steps the
// system and the card see: its start-up, the delayed icon and its shut-down
// in order; the Open command with its retried probe; the hidden window and
// the notification icon's record; the icon's mouse messages and menu; the
// close request; the "A3D preload" value and the first run's speaker layout.
#include "harness.h"

#include "app/app.h"
#include "app/messages.h"
#include "app/startup.h"
#include "app/tray.h"
#include "panel/driver.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/uninstall.h"
#include "virtualcard/vclog.h"

#include <dsound.h>
#include <shlwapi.h>
#include <stdarg.h>
#include <stddef.h>

namespace {

std::vector<std::string> steps;
size_t seen; // the card's record up to here is in steps
struct {
    NOTIFYICONDATAA record;
    char end; // a tip without its terminator runs into this
} shown;      // the last icon record, as far as its cbSize goes
std::string missing, caption; // a library that does not load; string 51 instead
bool running;                 // the program runs: posted messages are delivered

// The card's record since the last step (the probes' channel checks and
// routes, the speaker layout written), then the step.
void Step(const char *format, ...)
{
    for (const std::string &line : Trace(seen, {"ks.support", "buf.route", "ds.speaker.set"}))
        steps.push_back(line);
    seen = VcLogCount();
    char step[128];
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
    return !window ? "none" : !strcmp(name, kTrayClassName) ? "tray" : window == panelDialog ? "panel" : "other";
}

// What the program calls, recorded in its order; the QSound loader's hook
// stood in for.
struct Hooks {
    static inline Hooks *active;
    static BOOL WINAPI Icon(DWORD command, NOTIFYICONDATAA *icon)
    {
        Step(command == NIM_ADD ? "icon add" : command == NIM_DELETE ? "icon delete" : "icon other");
        memset(&shown, '?', sizeof shown);
        memcpy(&shown.record, icon, std::min<size_t>(icon->cbSize, sizeof shown.record));
        if (running && command == NIM_ADD) // the close request ends the run
            active->post.Original<decltype(&PostMessageA)>()(icon->hWnd, WM_USER, kCloseRequest, 0);
        return TRUE;
    }
    static UINT_PTR WINAPI Timer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
    {
        Step("timer %u %u %s", unsigned(id), period, Who(window));
        return active->timer.Original<decltype(&SetTimer)>()(window, id, period, procedure);
    }
    static BOOL WINAPI Kill(HWND window, UINT_PTR id)
    {
        return Step("kill %u %s", unsigned(id), Who(window)), active->kill.Original<decltype(&KillTimer)>()(window, id);
    }
    static BOOL WINAPI Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Step("post %u %u %s", message, unsigned(wParam), Who(window));
        return !running || active->post.Original<decltype(&PostMessageA)>()(window, message, wParam, lParam);
    }
    static HMODULE WINAPI Load(LPCSTR name)
    {
        return Step("load %s", name), name == missing ? nullptr : active->load.Original<decltype(&LoadLibraryA)>()(name);
    }
    static BOOL WINAPI Free(HMODULE module)
    {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(module, path, sizeof path);
        Step("free %s", PathFindFileNameA(CharLowerA(path)));
        return active->free.Original<decltype(&FreeLibrary)>()(module);
    }
    static DWORD WINAPI Install(DWORD *preload) { return Step("InstallA3DHook 0x%08lx", *preload), 1; }
    static DWORD WINAPI Remove() { return Step("RemoveA3DHook"), 1; }
    static FARPROC WINAPI Export(HMODULE module, LPCSTR name)
    {
        if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) && !strcmp(name, "InstallA3DHook"))
            return reinterpret_cast<FARPROC>(Install);
        if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) && !strcmp(name, "RemoveA3DHook"))
            return reinterpret_cast<FARPROC>(Remove);
        return active->exports.Original<decltype(&GetProcAddress)>()(module, name);
    }
    static int WINAPI String(HINSTANCE instance, UINT id, LPSTR text, int size)
    {
        if (id != IDS_CAPTION || caption.empty())
            return active->string.Original<decltype(&LoadStringA)>()(instance, id, text, size);
        lstrcpynA(text, caption.c_str(), size); // cut as LoadStringA cuts a text
        return lstrlenA(text);
    }
    static BOOL WINAPI Menu(HMENU menu, UINT flags, int, int, int, HWND owner, const RECT *)
    {
        char first[16] = "", second[16] = "";
        GetMenuStringA(menu, 0, first, sizeof first, MF_BYPOSITION);
        GetMenuStringA(menu, 1, second, sizeof second, MF_BYPOSITION);
        Step("menu %s %s flags=%u %s", first, second, flags, Who(owner));
        return 0; // dismissed
    }
    static INT_PTR WINAPI Panel(HINSTANCE, LPCSTR id, HWND owner, DLGPROC, LPARAM)
    {
        return Step("panel %u %s", LOWORD(reinterpret_cast<ULONG_PTR>(id)), Who(owner)), 0;
    }
    static BOOL WINAPI Foreground(HWND window) { return Step("foreground %s", Who(window)), TRUE; }
    static int WINAPI Box(HWND owner, LPCSTR text, LPCSTR, UINT style)
    {
        return Step("box %.24s %s style=0x%x", text, Who(owner), style), IDOK;
    }
    ImportHook icon = HOOK("shell32.dll", Shell_NotifyIconA, Icon);
    ImportHook timer = HOOK("user32.dll", SetTimer, Timer);
    ImportHook kill = HOOK("user32.dll", KillTimer, Kill);
    ImportHook post = HOOK("user32.dll", PostMessageA, Post);
    ImportHook load = HOOK("kernel32.dll", LoadLibraryA, Load);
    ImportHook free = HOOK("kernel32.dll", FreeLibrary, Free);
    ImportHook exports = HOOK("kernel32.dll", GetProcAddress, Export);
    ImportHook string = HOOK("user32.dll", LoadStringA, String);
    ImportHook menu = HOOK("user32.dll", TrackPopupMenu, Menu);
    ImportHook panel = HOOK("user32.dll", DialogBoxParamA, Panel);
    ImportHook foreground = HOOK("user32.dll", SetForegroundWindow, Foreground);
    ImportHook box = HOOK("user32.dll", MessageBoxA, Box);
};

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD)
{
    Step("no end within 5 s"), PostQuitMessage(1);
}

class Tray : public testing::Test {
protected:
    void SetUp() override { appInstance = GetModuleHandleA(nullptr), Hooks::active = &hooks_, Reset(); }
    void TearDown() override { Reset(); }
    void Reset()
    {
        running = false;
        DestroyWindow(trayWindow);
        if (startupSupportHandle)
            FreeLibrary(startupSupportHandle);
        trayWindow = panelDialog = nullptr;
        startupSupportHandle = nullptr;
        openAtStart = false;
        missing = caption = "";
        dll32Call = nullptr;
        soundDeviceCount = 0; // as a new process has it
        DispatchPending();
        VcReset();
        RestorePackage();
        seen = VcLogCount();
        steps.clear();
    }
    // The resident program from its start to its end, which the close
    // request brings once the icon is shown, and its exit code.
    void Run(const char *commandLine)
    {
        running = true;
        UINT_PTR bound = hooks_.timer.Original<decltype(&SetTimer)>()(nullptr, 0, 5000, GiveUp);
        const int code = RunResidentProgram(GetModuleHandleA(nullptr), commandLine);
        hooks_.kill.Original<decltype(&KillTimer)>()(nullptr, bound);
        Step("exit %d", code);
    }

    FakeVersion xp_{kXp}; // the card found by its PCI key
    Hooks hooks_;
};

const std::string kRoute = "buf.route mask=0x1", kChecked = "ks.support set=Audio id=3 support=0x3 hr=0x00000000",
                  kUnsettable = "ks.support set=Audio id=3 support=0x1 hr=0x00000000",
                  kNoDriver = "box No Sonaris driver was in tray style=0x10000",
                  kNoAcceleration = "box Either a Q3D driver is n none style=0x10040";

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Start-up; the icon a second later, the support library let go before it;
// shut-down: the icon, then the A3D hook, then its library. With OPEN the
// icon at once and the panel (or message 61, at start and on Open).
// Without the support library or the card an early silent end.
TEST_F(Tray, StartsAndEndsInOrder)
{
    const std::vector<std::string> made = {"timer 2 1000 tray", "load VTHLP32.DLL"},
                                   package = {"load VTHLP32.DLL", "free vthlp32.dll", kRoute},
                                   hooked = {"load QA3DLoad", "InstallA3DHook 0x00600000",
                                             "ds.speaker.set dev=0 value=0x6 hr=0x00000000"}, // the first run
                                   end = {"icon delete", "RemoveA3DHook", "free qa3dload.dll", "exit 0"};
    const struct { const char *commandLine; void (*setup)(); std::vector<std::string> expected; } cases[] = {
        {"", [] {}, Join({made, package, hooked, {"kill 2 tray", "free vthlp32.dll", "icon add"}, end})},
        {"OPEN", [] {}, Join({{"post 273 40008 tray"}, package, {"icon add"}, hooked, {kChecked, kRoute, "panel 112 tray"}, end})},
        {"OPEN", [] { VcFailCall("EnumerateDevice", 0, DSERR_GENERIC); },
         Join({{"post 273 40008 tray"}, package, {"icon add", kNoDriver}, hooked, {kChecked, kRoute, kNoDriver}, end})},
        {"", [] { missing = "VTHLP32.DLL"; }, Join({made, {"load VTHLP32.DLL", "exit 0"}})},
        {"", [] { SHDeleteKeyA(HKEY_LOCAL_MACHINE, kCardPciKey); }, Join({made, {"load VTHLP32.DLL", "free vthlp32.dll", "exit 0"}})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        c.setup();
        Run(c.commandLine);
        EXPECT_EQ(c.expected, steps);
        Reset();
    }
}

void Channel(VcChannelConfig config)
{
    VcDevice card;
    VcDefaultDevice(0, &card);
    card.channelConfig = config;
    VcSetDevices(&card, 1);
}

// The Open command probes again in mode OpenRetry when mode Open fails (the
// retry tells how to turn acceleration on when it fails too); then the
// panel, unless no device is listed or the panel is already open.
TEST_F(Tray, TheOpenCommandRetriesTheProbe)
{
    const struct { void (*setup)(); bool open; std::vector<std::string> expected; } cases[] = {
        {[] {}, false, {kChecked, kRoute, "panel 112 tray"}},
        {[] { VcBendCall("QuerySupport", 1, VcNoSetBit); }, false, {kUnsettable, kChecked, kRoute, "panel 112 tray"}},
        {[] { Channel(VcChannelConfigGetOnly); }, false, {kUnsettable, kUnsettable, kNoAcceleration, "panel 112 tray"}},
        {[] { Channel(VcChannelConfigGetOnly); VcFailCall("EnumerateDevice", 0, DSERR_GENERIC); }, false,
         {kUnsettable, kUnsettable, kNoAcceleration, kNoDriver}},
        {[] {}, true, {kChecked, kRoute, "foreground panel"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        ASSERT_NE(nullptr, CreateTrayWindow());
        c.setup();
        panelDialog = c.open ? CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr) : nullptr;
        steps.clear();
        OpenControlPanel();
        EXPECT_EQ(c.expected, steps);
        DestroyWindow(panelDialog);
        Reset();
    }
}

// The window as it is made; the icon's record in its first layout, its tip
// the caption as far as that layout holds it, terminated within it.
TEST_F(Tray, TheWindowAndTheIconsRecord)
{
    const struct { const char *caption, *tip; } cases[] = {
        {"", "Sonaris Control Panel"},
        {"Sonaris Control Panel for the Sonaris PCI Audio card and its Q3D effects",
         "Sonaris Control Panel for the Sonaris PCI Audio card and its Q3"},
    };
    for (const auto &c : cases) {
        caption = c.caption;
        ASSERT_NE(nullptr, CreateTrayWindow());
        EXPECT_EQ(DWORD(WS_EX_TOOLWINDOW), GetWindowLongA(trayWindow, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        EXPECT_TRUE(!IsWindowEnabled(trayWindow) && !IsWindowVisible(trayWindow));
        EXPECT_EQ("VTPANEL", Text(trayWindow));
        EXPECT_STREQ(c.caption[0] ? c.caption : c.tip, messageCaption);
        SendMessageA(trayWindow, WM_TIMER, kIconTimer, 0);
        const NOTIFYICONDATAA &icon = shown.record;
        EXPECT_EQ(sizeof(void *) == 4 ? 88u : 104u, icon.cbSize); // the first layout at either width
        EXPECT_EQ(trayWindow, icon.hWnd);
        EXPECT_EQ(1u, icon.uID);
        EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), icon.uFlags);
        EXPECT_EQ(UINT(WM_APP), icon.uCallbackMessage);
        EXPECT_EQ(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_APP)), icon.hIcon);
        EXPECT_STREQ(c.tip, icon.szTip);
        const size_t length = strlen(c.tip);
        EXPECT_EQ(std::string(64 - length, '\0'), std::string(icon.szTip + length, 64 - length)) << "a tip of 64";
        DestroyWindow(trayWindow);
    }
}

// A double click asks for the panel; a right button brings the menu; other
// mouse messages do nothing. The close request ends the program whatever
// the message carrying it, except while the support library removes the
// drivers; Exit ends it too.
TEST_F(Tray, TheIconsMouseMessagesTheCloseRequestAndExit)
{
    ASSERT_NE(nullptr, CreateTrayWindow());
    steps.clear();
    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN})
        SendMessageA(trayWindow, WM_APP, 1, mouse);
    // The window in front of the menu, or the menu would not close; TPM_RIGHTBUTTON, left and top.
    EXPECT_EQ((std::vector<std::string>{"post 273 40008 tray", "post 0 0 tray", "foreground tray",
                                        "menu &Open &Exit flags=2 tray", "post 0 0 tray"}),
              steps);

    dll32Call = reinterpret_cast<Dll32CallProc>(1);
    SendMessageA(trayWindow, WM_USER, kCloseRequest, 0);
    EXPECT_TRUE(IsWindow(trayWindow));
    dll32Call = nullptr;
    SendMessageA(trayWindow, WM_COMMAND, 40001, 0); // no such command
    EXPECT_TRUE(IsWindow(trayWindow));
    SendMessageA(trayWindow, WM_USER + 20, kCloseRequest, 0);
    EXPECT_FALSE(IsWindow(trayWindow));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    ASSERT_NE(nullptr, CreateTrayWindow());
    SendMessageA(trayWindow, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(trayWindow));
}

// --- The QSound value and the first run -----------------------------------

TEST(A3DPreload, IsTheValueWithinItsRangeOrTheDefault)
{
    const DWORD inRange = 0x00600000, lowest = 0x00500000, below = 0x004FFFFF, highest = 0x5FFFFFFF;
    const BYTE shortBinary[2] = {0, 0x60};
    const std::string unterminated(32, '5');
    const struct { DWORD type; const void *data; DWORD size; DWORD expected; } cases[] = {
        {REG_SZ, "600000", 7, 0x00600000}, {REG_SZ, " 0x7abcdef", 11, 0x07ABCDEF}, {REG_SZ, "60000000", 9, 0x13790000},
        {REG_SZ, "no digits", 10, 0x13790000}, {REG_SZ, unterminated.data(), 32, 0x13790000},
        {REG_DWORD, &inRange, 4, 0x00600000}, {REG_BINARY, &lowest, 4, 0x00500000},
        {REG_BINARY, &highest, 4, 0x5FFFFFFF}, {REG_DWORD, &below, 4, 0x13790000},
        {REG_BINARY, shortBinary, 2, 0x13790000}, {REG_EXPAND_SZ, "600000", 7, 0x13790000},
        {REG_NONE, nullptr, 0, 0x13790000},
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

} // namespace
