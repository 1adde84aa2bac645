// The shipped vtpanel.exe, run in a prefix where the card and its driver
// package are installed, driven from this second program as the shell and a
// user would drive it: its hidden window found by class, the icon's mouse
// messages and the menu's commands posted, the panel's controls clicked and
// its message boxes answered. What it did is read from the virtual card's
// record and stored values, the registry, SOUNDCFG.INI, the QSound loader's
// record and its exit code. Each case sets up the machine it needs first.
#include "harness.h"

#include "virtualcard/vcard.h"
#include "virtualcard/vcmixer.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <shlwapi.h>
#include <dsound.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using ::WaitFor;
// Until each wait states its own bound.
bool WaitFor(const std::function<bool()> &done)
{
    return ::WaitFor(done, 10000);
}

const char kDriverKey[] = "SOFTWARE\\Veltrona\\Wdm560";
const char kQSoundKey[] = "Software\\QSound\\QSoft3d";
const char kCardPci[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1D7F&DEV_0560&SUBSYS_05601D7F&REV_01";
const DWORD kApply = 1049, kTab = 1062, kReverb = 1053, kUninstall = 1082, kOpen = 40008, kExit = 40002;
const GUID kEffectSet = {0x7CA99CA1, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};

std::string program; // vtpanel.exe as the package installs it
std::string recordFile;

// --- The notification area, as the shell has it ----------------------------

// Wine's shell hands each Shell_NotifyIcon call to the window of this class
// as WM_COPYDATA: the command in dwData, the icon in a record whose first
// fields are those of the program's own.
struct IconCall {
    DWORD command;
    LONG window;
    UINT id, flags, callback;
    std::string tip;
};
std::vector<IconCall> iconCalls;

LRESULT CALLBACK ShellTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        struct { LONG window; UINT id, flags, callback; WCHAR tip[128]; } icon = {};
        memcpy(&icon, data->lpData, data->cbData < sizeof icon ? data->cbData : sizeof icon);
        char tip[128];
        WideCharToMultiByte(CP_ACP, 0, icon.tip, -1, tip, sizeof tip, nullptr, nullptr);
        iconCalls.push_back({static_cast<DWORD>(data->dwData), icon.window, icon.id, icon.flags, icon.callback, tip});
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// --- The program under test -------------------------------------------------

Instance Start(const std::string &arguments)
{
    return ::Start(program, arguments);
}

std::vector<HWND> DialogsOf(const Instance &run)
{
    return ::DialogsOf(run.id);
}

HWND Panel(const Instance &run, const char *caption = "Sonaris Control Panel")
{
    HWND panel = DialogOf(run.id, caption);
    return panel && GetDlgItem(panel, kTab) ? panel : nullptr;
}

HWND WaitPanel(const Instance &run, const char *caption = "Sonaris Control Panel")
{
    HWND panel = nullptr;
    WaitFor([&] { return (panel = Panel(run, caption)) != nullptr; });
    return panel;
}

// Waits for count message boxes, answering each once (an answered box may
// still be up for a moment); their texts.
std::vector<std::string> WaitBoxes(const Instance &run, size_t count)
{
    std::vector<std::string> texts;
    std::vector<HWND> answered;
    WaitFor([&] {
        for (HWND dialog : DialogsOf(run)) {
            HWND text = GetDlgItem(dialog, 0xFFFF);
            if (!text || std::find(answered.begin(), answered.end(), dialog) != answered.end())
                continue;
            answered.push_back(dialog);
            texts.push_back(Text(text));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        return texts.size() >= count;
    });
    return texts;
}

// A tab change as the user's arrow key makes it: the tab control tells the panel.
void ChangeTab(HWND panel, UINT key, int expected)
{
    HWND tab = GetDlgItem(panel, kTab);
    PostMessageA(tab, WM_KEYDOWN, key, 0);
    PostMessageA(tab, WM_KEYUP, key, 0);
    WaitFor([&] { return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == expected && Page(panel); });
}

std::vector<std::string> Record()
{
    std::vector<std::string> lines;
    std::string text = ReadWholeFile(recordFile);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

size_t CountLines(const char *start)
{
    size_t n = 0;
    for (const std::string &line : Record())
        n += line.compare(0, strlen(start), start) == 0;
    return n;
}

// The driver property calls of the record, each with the device of its
// buffer, as runs: "get 0 x15" for fifteen Gets on device 0 in a row.
std::vector<std::string> PropertyRuns()
{
    std::vector<std::pair<int, int>> objects, buffers; // id -> device
    auto device = [](const std::vector<std::pair<int, int>> &table, int id) {
        for (const auto &entry : table)
            if (entry.first == id)
                return entry.second;
        return -1;
    };
    std::vector<std::string> runs;
    std::string last;
    int count = 0;
    for (const std::string &line : Record()) {
        int a, b;
        if (sscanf(line.c_str(), "ds.create dev=%d obj=%d", &a, &b) == 2)
            objects.push_back({b, a});
        else if (sscanf(line.c_str(), "ds.buffer obj=%d buf=%d", &a, &b) == 2)
            buffers.push_back({b, device(objects, a)});
        else if ((line.compare(0, 7, "ks.get ") == 0 || line.compare(0, 7, "ks.set ") == 0) &&
                 line.find("set=Audio") == std::string::npos && sscanf(line.c_str() + 7, "buf=%d", &a) == 1) {
            std::string key = line.substr(3, 3) + " " + std::to_string(device(buffers, a));
            if (key != last && count) {
                runs.push_back(last + " x" + std::to_string(count));
                count = 0;
            }
            last = key;
            ++count;
        }
    }
    if (count)
        runs.push_back(last + " x" + std::to_string(count));
    return runs;
}

void SetString(HKEY root, const char *key, const char *name, const char *text)
{
    HKEY k;
    if (RegCreateKeyA(root, key, &k) != ERROR_SUCCESS)
        return;
    RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(k);
}

void SetBinary(HKEY root, const char *key, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY k;
    if (RegCreateKeyA(root, key, &k) != ERROR_SUCCESS)
        return;
    RegSetValueExA(k, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(k);
}

// Each case starts from the installation as the package leaves it: the card
// alone, configured for stereo, SOUNDCFG.INI after its first run.
class EndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        VcReset();
        DeleteFileA(recordFile.c_str());
        SetEnvironmentVariableA("VCARD_LOG", recordFile.c_str());
        WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", "0", "SOUNDCFG.INI");
        SetString(HKEY_CURRENT_USER, kQSoundKey, "A3D preload", "600000");
        SetString(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vtpanel.exe", "Version", "winxp");
        iconCalls.clear();
    }
    void TearDown() override
    {
        if (run.process) {
            if (run.Alive())
                TerminateProcess(run.process, 99);
            WaitForSingleObject(run.process, 5000);
            CloseHandle(run.process);
        }
        // No help process may be left behind by any case.
        EXPECT_EQ(0u, Processes("winhlp32.exe"));
    }
    static size_t Processes(const char *name)
    {
        size_t n = 0;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
            n += lstrcmpiA(entry.szExeFile, name) == 0;
        CloseHandle(snapshot);
        return n;
    }
    // Ends the program through its menu's Exit command; its exit code.
    DWORD Exit()
    {
        PostMessageA(Tray(), WM_COMMAND, kExit, 0);
        return run.ExitCode();
    }

    Instance run;
};

TEST_F(EndToEnd, AnOrdinaryStartShowsTheIconASecondLaterAndExitEndsIt)
{
    run = Start("");
    ASSERT_TRUE(WaitFor([] { return Tray() != nullptr; }));
    // The start-up probe routes front left; the icon is not there yet.
    ASSERT_TRUE(WaitFor([] { return CountLines("buf.route") == 1; }));
    EXPECT_TRUE(iconCalls.empty());
    ASSERT_TRUE(WaitFor([] { return !iconCalls.empty(); }));
    EXPECT_EQ(0u, iconCalls[0].command); // NIM_ADD
    EXPECT_EQ(HandleToLong(Tray()), iconCalls[0].window);
    EXPECT_EQ(1u, iconCalls[0].id);
    EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), iconCalls[0].flags);
    EXPECT_EQ(UINT(WM_APP), iconCalls[0].callback);
    EXPECT_EQ("Sonaris Control Panel", iconCalls[0].tip);
    EXPECT_EQ(nullptr, Panel(run));
    EXPECT_EQ(0u, Exit());
    ASSERT_EQ(2u, iconCalls.size());
    EXPECT_EQ(2u, iconCalls[1].command); // NIM_DELETE
    const std::vector<std::string> hook = {"InstallA3DHook 0x00600000", "RemoveA3DHook"};
    std::vector<std::string> seen;
    for (const std::string &line : Record())
        if (line.find("A3DHook") != std::string::npos)
            seen.push_back(line);
    EXPECT_EQ(hook, seen);
}

// Only the exact argument OPEN opens the panel; a second copy hands its OPEN
// to the first, or does nothing without it.
TEST_F(EndToEnd, OpenAtStartAndFromASecondCopy)
{
    for (const char *arguments : {"open", "\" OPEN\"", "OPEN x"}) {
        SCOPED_TRACE(arguments);
        run = Start(arguments);
        ASSERT_TRUE(WaitFor([] { return Tray() != nullptr; }));
        WaitFor([] { return !iconCalls.empty(); });
        // Opened, the panel would follow the icon within milliseconds.
        EXPECT_FALSE(WaitFor([&] { return Panel(run) != nullptr; }, 1500));
        EXPECT_EQ(0u, Exit());
        CloseHandle(run.process);
        run = Instance{};
        iconCalls.clear();
    }
    run = Start("OPEN");
    HWND panel = WaitPanel(run);
    ASSERT_NE(nullptr, panel);
    EXPECT_FALSE(iconCalls.empty()); // at once
    HWND tab = GetDlgItem(panel, kTab);
    EXPECT_EQ(2, SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0, SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ("5.12.01.0560", Text(GetDlgItem(panel, 1052)));

    // A second copy ends at once; with OPEN the first brings its panel forward.
    for (const char *arguments : {"", "OPEN"}) {
        Instance second = Start(arguments);
        EXPECT_EQ(0u, second.ExitCode());
        CloseHandle(second.process);
    }
    EXPECT_TRUE(WaitFor([&] { return CountLines("ks.support") >= 3; })); // each Open probes again
    EXPECT_EQ(panel, Panel(run));
    PostMessageA(panel, WM_COMMAND, IDCANCEL, 0);
    WaitFor([&] { return Panel(run) == nullptr; });
    EXPECT_EQ(0u, Exit());
}

// Without the driver package's library, or without the card, the program
// ends at once, silently, without an icon.
TEST_F(EndToEnd, WithoutTheSupportLibraryOrTheCardTheProgramEndsSilently)
{
    std::string library = SystemFile("VTHLP32.DLL"), aside = SystemFile("VTHLP32.OFF");
    ASSERT_TRUE(MoveFileA(library.c_str(), aside.c_str()));
    run = Start("OPEN");
    EXPECT_EQ(0u, run.ExitCode());
    MoveFileA(aside.c_str(), library.c_str());
    CloseHandle(run.process);

    // Windows XP finds the card by its PCI key; without it, nothing runs.
    ASSERT_EQ(ERROR_SUCCESS, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kCardPci));
    run = Start("OPEN");
    EXPECT_EQ(0u, run.ExitCode());
    EXPECT_TRUE(iconCalls.empty());
    EXPECT_EQ(0u, CountLines("ds.create")); // DirectSound was not even asked
    CloseHandle(run.process);

    // Windows 98 has no such key: DirectSound decides, and the card answers.
    SetString(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vtpanel.exe", "Version", "win98");
    run = Start("");
    EXPECT_TRUE(WaitFor([] { return !iconCalls.empty(); }));
    EXPECT_EQ(0u, Exit());
    SetString(HKEY_LOCAL_MACHINE, kCardPci, "", "");
}

// DirectSound lists no device: message 61 at the start with OPEN, and again
// when the posted Open is handled; no panel.
TEST_F(EndToEnd, WithoutAListedDeviceMessage61ComesAtStartAndOnOpen)
{
    ASSERT_TRUE(VcShareFault("EnumerateDevice", 0, "0x80004005"));
    run = Start("OPEN");
    EXPECT_EQ((std::vector<std::string>{"No Sonaris driver was installed.", "No Sonaris driver was installed."}),
              WaitBoxes(run, 2));
    EXPECT_EQ(nullptr, Panel(run));
    EXPECT_TRUE(run.Alive());
    VcClearFaults();
    EXPECT_EQ(0u, Exit());
}

// The first run after the installation sets the card's largest layout, even
// into a read-only SOUNDCFG.INI, which keeps its other attributes.
TEST_F(EndToEnd, TheFirstRunWritesTheLargestLayoutAndFirstTime0)
{
    WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", "10", "SOUNDCFG.INI");
    std::string profile = WindowsFile("SOUNDCFG.INI");
    SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    run = Start("");
    ASSERT_TRUE(WaitFor([] { return !iconCalls.empty(); }));
    EXPECT_EQ(DWORD(DSSPEAKER_5POINT1), VcSpeakerConfig(0)); // MaxSpeakers 6
    char firstTime[8] = "";
    GetPrivateProfileStringA("SPEAKERS", "FIRSTTIME", "", firstTime, sizeof firstTime, "SOUNDCFG.INI");
    EXPECT_STREQ("0", firstTime);
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(profile.c_str()));
    EXPECT_EQ(0u, Exit());
}

// What the QSound loader is given: a text in hexadecimal, a 4-byte binary,
// each within 0x00500000..0x5FFFFFFF, else 0x13790000.
TEST_F(EndToEnd, TheA3DPreloadValueReachesTheQSoundLoader)
{
    const DWORD binary = 0x00700000;
    const WORD shortBinary = 0x0060;
    const struct { DWORD type; const void *data; DWORD size; const char *hook; } cases[] = {
        {REG_SZ, "600000", 7, "InstallA3DHook 0x00600000"},
        {REG_SZ, "60000000", 9, "InstallA3DHook 0x13790000"},
        {REG_BINARY, &binary, 4, "InstallA3DHook 0x00700000"},
        {REG_BINARY, &shortBinary, 2, "InstallA3DHook 0x13790000"},
        {REG_NONE, nullptr, 0, "InstallA3DHook 0x13790000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hook);
        DeleteFileA(recordFile.c_str());
        SHDeleteKeyA(HKEY_CURRENT_USER, kQSoundKey);
        if (c.data)
            SetBinary(HKEY_CURRENT_USER, kQSoundKey, "A3D preload", c.type, c.data, c.size);
        run = Start("");
        ASSERT_TRUE(WaitFor([] { return CountLines("InstallA3DHook") == 1; }));
        EXPECT_EQ(1u, CountLines(c.hook));
        EXPECT_EQ(0u, Exit());
        CloseHandle(run.process);
        run = Instance{};
    }
}

// Two devices with the card's sets: opening reads every page from the
// first, Apply writes every page to both and reads the first again, OK
// writes both, Cancel writes nothing; a device whose connection fails gets
// nothing. A tab change keeps the Effects page's unapplied change and Apply's state.
TEST_F(EndToEnd, ThePanelWritesEveryPageToEveryDeviceAndReadsTheFirst)
{
    VcDevice devices[3];
    for (int i = 0; i < 3; ++i)
        VcDefaultDevice(i, &devices[i]);
    devices[1].hardware3D = devices[1].q3D = true; // a second card; the third has no hardware buffers
    VcSetDevices(devices, 3);
    run = Start("OPEN");
    HWND panel = WaitPanel(run);
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ((std::vector<std::string>{"get 0 x15"}), PropertyRuns());

    ChangeTab(panel, VK_RIGHT, 1); // to Effects
    HWND effects = Page(panel);
    ASSERT_NE(nullptr, GetDlgItem(effects, kReverb));
    Click(effects, kReverb);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(panel, kApply)) != 0; }));
    ChangeTab(panel, VK_LEFT, 0);
    ChangeTab(panel, VK_RIGHT, 1);
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageA(Page(panel), kReverb, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel, kApply)));

    DeleteFileA(recordFile.c_str());
    Click(panel, kApply);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(panel, kApply)); }));
    EXPECT_EQ((std::vector<std::string>{"set 0 x15", "set 1 x15", "get 0 x15"}), PropertyRuns());
    for (int device : {0, 1}) {
        DWORD reverb = 0;
        EXPECT_TRUE(VcStoredProperty(device, kEffectSet, 5, &reverb, 4));
        EXPECT_EQ(1u, reverb) << device;
    }

    DeleteFileA(recordFile.c_str());
    Click(Page(panel), kReverb);
    Click(panel, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return Panel(run) == nullptr; }));
    EXPECT_TRUE(PropertyRuns().empty());

    PostMessageA(Tray(), WM_COMMAND, kOpen, 0);
    panel = WaitPanel(run);
    ASSERT_NE(nullptr, panel);
    DeleteFileA(recordFile.c_str());
    Click(panel, IDOK);
    ASSERT_TRUE(WaitFor([&] { return Panel(run) == nullptr; }));
    EXPECT_EQ((std::vector<std::string>{"set 0 x15", "set 1 x15"}), PropertyRuns());
    EXPECT_EQ(0u, Exit());
}

// The user's language, as the system's lookup finds it in the program as it
// ships: the panel's caption and tab titles and message 61 are those texts.
// Run under each language's locale.
std::string TabTitle(HANDLE process, HWND tab, int index)
{
    // The title is written where the tab control lives: into the program's memory.
    char *remote = static_cast<char *>(VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = remote + sizeof item;
    item.cchTextMax = 256;
    char title[256] = "";
    if (remote && WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
        SendMessageA(tab, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(remote)))
        ReadProcessMemory(process, remote + sizeof item, title, sizeof title - 1, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return title;
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST_F(EndToEnd, RunsInTheUsersLanguage)
{
    HMODULE shipped = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, shipped);
    char expected[3][256] = {};
    for (int i = 0; i < 3; ++i)
        LoadStringA(shipped, i == 0 ? 61 : 53 + i, expected[i], sizeof expected[i]);
    HWND model = CreateDialogParamA(shipped, MAKEINTRESOURCEA(112), nullptr, Inert, 0);
    std::string caption = Text(model);
    DestroyWindow(model);
    FreeLibrary(shipped);
    char language[16];
    GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SISO639LANGNAME, language, sizeof language);
    printf("language %s (%04x): %s\n", language, GetUserDefaultUILanguage(), caption.c_str());
    if (strcmp(language, "de") == 0) // a translation, not the English texts
        EXPECT_STREQ("Allgemein", expected[1]);

    ASSERT_TRUE(VcShareFault("EnumerateDevice", 0, "0x80004005"));
    run = Start("OPEN");
    EXPECT_EQ((std::vector<std::string>{expected[0], expected[0]}), WaitBoxes(run, 2));
    VcClearFaults();
    EXPECT_EQ(0u, Exit());
    CloseHandle(run.process);

    run = Start("OPEN");
    HWND panel = WaitPanel(run, caption.c_str());
    ASSERT_NE(nullptr, panel);
    HWND tab = GetDlgItem(panel, kTab);
    EXPECT_EQ(expected[1], TabTitle(run.process, tab, 0));
    EXPECT_EQ(expected[2], TabTitle(run.process, tab, 1));
    EXPECT_EQ(0u, Exit());
}

// A help request on a page's control starts WinHelp; the panel's OK ends it.
TEST_F(EndToEnd, HelpLeavesNoHelpProgramRunning)
{
    run = Start("OPEN");
    HWND panel = WaitPanel(run);
    ASSERT_NE(nullptr, panel);
    HWND speakers = GetDlgItem(Page(panel), 1078);
    PostMessageA(panel, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(speakers), MAKELPARAM(10, 10));
    EXPECT_TRUE(WaitFor([] { return Processes("winhlp32.exe") > 0; }, 5000));
    Click(panel, IDOK);
    ASSERT_TRUE(WaitFor([&] { return Panel(run) == nullptr; }));
    EXPECT_TRUE(WaitFor([] { return Processes("winhlp32.exe") == 0; }, 5000));
    EXPECT_EQ(0u, Exit());
}

// Exit while the panel is open closes it without writing; the close request
// ends the program likewise, except while an uninstall runs, which itself
// ends the program. The uninstall removes the card: this case comes last.
TEST_F(EndToEnd, ExitTheCloseRequestAndAnUninstallEndTheProgram)
{
    run = Start("OPEN");
    ASSERT_NE(nullptr, WaitPanel(run));
    DeleteFileA(recordFile.c_str());
    EXPECT_EQ(0u, Exit());
    EXPECT_TRUE(PropertyRuns().empty());
    CloseHandle(run.process);

    run = Start("");
    ASSERT_TRUE(WaitFor([] { return Tray() != nullptr; }));
    PostMessageA(Tray(), WM_USER + 7, 8966, 0);
    EXPECT_EQ(0u, run.ExitCode());
    CloseHandle(run.process);

    run = Start("OPEN");
    HWND panel = WaitPanel(run);
    ASSERT_NE(nullptr, panel);
    Click(Page(panel), kUninstall);
    HWND warning = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (HWND dialog : DialogsOf(run))
            if (Text(dialog) == "Warning")
                warning = dialog;
        return warning != nullptr;
    }));
    Click(warning, IDYES);
    ASSERT_TRUE(WaitFor([] { return CountLines("DLL32Call 0") == 1; }));
    PostMessageA(Tray(), WM_USER + 7, 8966, 0);
    EXPECT_EQ((std::vector<std::string>{"Sonaris audio devices and drivers are removed successfully!"}),
              WaitBoxes(run, 1));
    EXPECT_EQ(0u, run.ExitCode());
    EXPECT_EQ(1u, CountLines("DLL32Call 1"));
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: e2e_test VTPANEL.EXE\n");
        return 2;
    }
    // Installed as the driver package installs it, in the system directory.
    program = SystemFile("vtpanel.exe");
    if (!CopyFileA(argv[1], program.c_str(), FALSE))
        return 2;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    recordFile = std::string(temp) + "vtpanel-e2e.log";
    // The notification area's window, where the shell hands the icons.
    WNDCLASSA tray = {};
    tray.lpfnWndProc = ShellTrayProc;
    tray.hInstance = GetModuleHandleA(nullptr);
    tray.lpszClassName = "Shell_TrayWnd";
    if (!FindWindowA("Shell_TrayWnd", nullptr) &&
        (!RegisterClassA(&tray) || !CreateWindowExA(0, "Shell_TrayWnd", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                                    tray.hInstance, nullptr)))
        return 2;
    return RUN_ALL_TESTS();
}
