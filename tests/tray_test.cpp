// The resident program's hidden window and start-up duties in this test
// program: the window as it is made, its notification icon's record, the
// icon's mouse messages and menu, its commands and the close request; the
// "A3D preload" value and the first run's speaker layout.
#include "harness.h"

#include "app/app.h"
#include "app/messages.h"
#include "app/startup.h"
#include "app/tray.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "speakers/uninstall.h"
#include "virtualcard/vcard.h"

#include <shlwapi.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the window calls, recorded as the system sees it.
std::vector<std::string> calls;
std::vector<NOTIFYICONDATAA> icons;
ImportHook *hooks[5];

BOOL WINAPI RecordIcon(DWORD command, NOTIFYICONDATAA *icon)
{
    calls.push_back("icon " + std::to_string(command));
    NOTIFYICONDATAA copy = {};
    memcpy(&copy, icon, icon->cbSize < sizeof copy ? icon->cbSize : sizeof copy);
    icons.push_back(copy);
    return TRUE;
}
// Whether window is the hidden window (also while it is being made).
const char *Where(HWND window)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return strcmp(name, kTrayClassName) == 0 ? "" : " elsewhere";
}

UINT_PTR WINAPI RecordSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
{
    calls.push_back("timer " + std::to_string(id) + " " + std::to_string(period) + Where(window));
    return hooks[1]->Original<decltype(&SetTimer)>()(window, id, period, procedure);
}
HMODULE WINAPI RecordLoad(LPCSTR name)
{
    calls.push_back(std::string("load ") + name);
    return hooks[2]->Original<decltype(&LoadLibraryA)>()(name);
}
BOOL WINAPI RecordTrack(HMENU menu, UINT flags, int, int, int, HWND owner, const RECT *)
{
    char first[16] = "", second[16] = "";
    GetMenuStringA(menu, 0, first, sizeof first, MF_BYPOSITION);
    GetMenuStringA(menu, 1, second, sizeof second, MF_BYPOSITION);
    calls.push_back("menu " + std::string(first) + " " + second + " flags=" + std::to_string(flags) + Where(owner));
    return 0; // dismissed
}
BOOL WINAPI RecordKill(HWND window, UINT_PTR id)
{
    calls.push_back("kill " + std::to_string(id));
    return hooks[4]->Original<decltype(&KillTimer)>()(window, id);
}

// The messages the window has posted itself and not yet handled.
std::vector<std::string> Posted()
{
    std::vector<std::string> posted;
    MSG msg;
    while (PeekMessageA(&msg, trayWindow, 0, 0, PM_REMOVE))
        if (msg.message != WM_TIMER)
            posted.push_back(std::to_string(msg.message) + " " + std::to_string(msg.wParam) + " " +
                             std::to_string(msg.lParam));
    return posted;
}

class Tray : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        calls.clear();
        icons.clear();
        const struct { const char *dll, *function; const void *step; } kHooks[] = {
            {"shell32.dll", "Shell_NotifyIconA", reinterpret_cast<const void *>(RecordIcon)},
            {"user32.dll", "SetTimer", reinterpret_cast<const void *>(RecordSetTimer)},
            {"kernel32.dll", "LoadLibraryA", reinterpret_cast<const void *>(RecordLoad)},
            {"user32.dll", "TrackPopupMenu", reinterpret_cast<const void *>(RecordTrack)},
            {"user32.dll", "KillTimer", reinterpret_cast<const void *>(RecordKill)},
        };
        for (int i = 0; i < 5; ++i) {
            hooks[i] = new ImportHook(kHooks[i].dll, kHooks[i].function, kHooks[i].step);
        }
    }
    void TearDown() override
    {
        if (IsWindow(trayWindow))
            DestroyWindow(trayWindow);
        trayWindow = nullptr;
        openAtStart = false;
        dll32Call = nullptr;
        for (ImportHook *&hook : hooks) {
            delete hook;
            hook = nullptr;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

// Made, the window loads the caption and either asks itself to open the
// panel or starts the icon's timer, holding the support library meanwhile;
// the timer shows the icon once.
TEST_F(Tray, MadeItOpensThePanelOrShowsTheIconASecondLater)
{
    openAtStart = true;
    ASSERT_NE(nullptr, CreateTrayWindow());
    EXPECT_STREQ("Sonaris Control Panel", messageCaption);
    EXPECT_EQ(std::vector<std::string>{"273 40008 0"}, Posted()); // WM_COMMAND IDM_OPEN
    EXPECT_TRUE(calls.empty());
    DestroyWindow(trayWindow);

    openAtStart = false;
    ASSERT_NE(nullptr, CreateTrayWindow());
    EXPECT_EQ((std::vector<std::string>{"timer 2 1000", "load VTHLP32.DLL"}), calls);
    EXPECT_EQ(DWORD(WS_EX_TOOLWINDOW), GetWindowLongA(trayWindow, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(IsWindowEnabled(trayWindow));
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    char title[16];
    GetWindowTextA(trayWindow, title, sizeof title);
    EXPECT_STREQ("VTPANEL", title);
    calls.clear();
    SendMessageA(trayWindow, WM_TIMER, kIconTimer, 0);
    EXPECT_EQ((std::vector<std::string>{"kill 2", "icon 0"}), calls); // NIM_ADD

    // The first layout of the record, whatever the width: 88 bytes on 32-bit Windows.
    const NOTIFYICONDATAA &icon = icons.at(0);
    EXPECT_EQ(sizeof(void *) == 4 ? 88u : 104u, icon.cbSize);
    EXPECT_EQ(trayWindow, icon.hWnd);
    EXPECT_EQ(1u, icon.uID);
    EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), icon.uFlags);
    EXPECT_EQ(UINT(WM_APP), icon.uCallbackMessage);
    EXPECT_EQ(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_APP)), icon.hIcon);
    EXPECT_STREQ("Sonaris Control Panel", icon.szTip);
    for (size_t i = strlen(icon.szTip); i < sizeof icon.szTip; ++i)
        ASSERT_EQ(0, icon.szTip[i]) << i;
}

// A double click opens the panel; a right button brings the menu; other
// mouse messages do nothing.
TEST_F(Tray, TheIconsMouseMessagesOpenThePanelOrShowTheMenu)
{
    ASSERT_NE(nullptr, CreateTrayWindow());
    calls.clear();
    Posted();
    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE})
        SendMessageA(trayWindow, WM_APP, 1, mouse);
    EXPECT_TRUE(Posted().empty());
    SendMessageA(trayWindow, WM_APP, 1, WM_LBUTTONDBLCLK);
    EXPECT_EQ((std::vector<std::string>{"273 40008 0", "0 0 0"}), Posted());
    SendMessageA(trayWindow, WM_APP, 1, WM_RBUTTONDOWN);
    const std::string flags = std::to_string(TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN);
    EXPECT_EQ(std::vector<std::string>{"menu &Open &Exit flags=" + flags}, calls);
    EXPECT_EQ(std::vector<std::string>{"0 0 0"}, Posted());
}

// The close request ends the program whatever the message carrying it,
// except while the support library removes the drivers; Exit ends it too.
TEST_F(Tray, TheCloseRequestAndExitEndTheProgram)
{
    ASSERT_NE(nullptr, CreateTrayWindow());
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

const char kQSoundKey[] = "Software\\QSound\\QSoft3d";

DWORD Preload(DWORD type, const void *data, DWORD size)
{
    SHDeleteKeyA(HKEY_CURRENT_USER, kQSoundKey);
    if (data)
        SHSetValueA(HKEY_CURRENT_USER, kQSoundKey, "A3D preload", type, data, size);
    HKEY key = nullptr;
    RegOpenKeyA(HKEY_CURRENT_USER, kQSoundKey, &key);
    return ReadA3DPreload(key);
}

TEST(A3DPreload, IsTheValueWithinItsRangeOrTheDefault)
{
    const DWORD inRange = 0x00600000, lowest = 0x00500000, below = 0x004FFFFF, highest = 0x5FFFFFFF;
    const BYTE shortBinary[2] = {0, 0x60};
    const char unterminated[32] = {'5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5',
                                   '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5', '5'};
    const struct { DWORD type; const void *data; DWORD size; DWORD expected; } cases[] = {
        {REG_SZ, "600000", 7, 0x00600000},     {REG_SZ, " 0x7abcdef", 11, 0x07ABCDEF},
        {REG_SZ, "60000000", 9, kDefaultA3DPreload}, {REG_SZ, "no digits", 10, kDefaultA3DPreload},
        {REG_SZ, unterminated, 32, kDefaultA3DPreload},
        {REG_DWORD, &inRange, 4, 0x00600000},  {REG_BINARY, &lowest, 4, 0x00500000},
        {REG_BINARY, &highest, 4, 0x5FFFFFFF}, {REG_DWORD, &below, 4, kDefaultA3DPreload},
        {REG_BINARY, shortBinary, 2, kDefaultA3DPreload}, {REG_EXPAND_SZ, "600000", 7, kDefaultA3DPreload},
        {REG_NONE, nullptr, 0, kDefaultA3DPreload},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, Preload(c.type, c.data, c.size)) << &c - cases;
    EXPECT_EQ(kDefaultA3DPreload, ReadA3DPreload(nullptr));
    SHDeleteKeyA(HKEY_CURRENT_USER, kQSoundKey);
}

// FIRSTTIME beginning with '1' applies the card's largest layout once, into
// a read-only SOUNDCFG.INI as well; without the driver's limits nothing is
// written and the next start tries again.
TEST(FirstRun, AppliesTheLargestLayoutOnceAndClearsFirstTime)
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, sizeof folder);
    const std::string profile = std::string(folder) + "\\SOUNDCFG.INI";
    const DWORD four = 4;
    const struct { const char *firstTime; bool limits; DWORD config; const char *after; bool written; } cases[] = {
        {"1", true, DSSPEAKER_QUAD, "0", true},  {"10", true, DSSPEAKER_QUAD, "0", true},
        {"0", true, DSSPEAKER_STEREO, "0", false}, {nullptr, true, DSSPEAKER_STEREO, "", false},
        {"2", true, DSSPEAKER_STEREO, "2", false}, {"1", false, DSSPEAKER_STEREO, "1", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        VcReset();
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        if (c.limits)
            SHSetValueA(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", REG_DWORD, &four, sizeof four);
        SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
        WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", c.firstTime, "SOUNDCFG.INI");
        SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        ApplyFirstRunLayout();
        EXPECT_EQ(c.config, VcSpeakerConfig(0));
        char after[8];
        GetPrivateProfileStringA("SPEAKERS", "FIRSTTIME", "", after, sizeof after, "SOUNDCFG.INI");
        EXPECT_STREQ(c.after, after);
        DWORD attributes = GetFileAttributesA(profile.c_str());
        EXPECT_EQ(c.written, !(attributes & FILE_ATTRIBUTE_READONLY));
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    }
    SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
    WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", nullptr, "SOUNDCFG.INI");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
    VcReset();
}

} // namespace
