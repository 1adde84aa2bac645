// The control panel's steps against the virtual card, in this test program:
// the tabs and templates of the page registry, the driver reads and writes
// of every page on every listed device, the Apply button's state, the test
// sound's stop, and context help.
#include "harness.h"

#include "app/app.h"
#include "pages/effects/effects_page.h"
#include "pages/general/general_page.h"
#include "panel/driver.h"
#include "panel/help_ids.h"
#include "panel/panel.h"
#include "panel/window_utils.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// WinHelp as the panel calls it; nothing is shown.
struct HelpCall {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR data;
};
std::vector<HelpCall> helpCalls;
BOOL WINAPI RecordHelp(HWND window, LPCSTR file, UINT command, ULONG_PTR data)
{
    helpCalls.push_back({window, file ? file : "", command, data});
    return TRUE;
}

int templatesFound = 0;
ImportHook *findResource;
HRSRC WINAPI CountFind(HMODULE module, LPCSTR name, LPCSTR type)
{
    templatesFound += type == RT_DIALOG;
    return findResource->Original<decltype(&FindResourceA)>()(module, name, type);
}

// A page that enables Apply while its window is made, as one whose shown
// settings raise a change notice would.
HHOOK pageHook;
LRESULT CALLBACK EnableApplyOnCreation(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *call = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && GetParent(call->hwnd) == panelDialog)
        EnableWindow(GetDlgItem(panelDialog, IDC_APPLY), TRUE);
    return CallNextHookEx(pageHook, code, wParam, lParam);
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The driver properties a page reads, in the panel's order of the pages.
const char *const kOpeningReads[] = {
    "Effect 0", "Effect 4", "Effect 5", "Q3D 5", "Effect 8", "Q3D 12", "Effect 3", "Effect 9", "Effect 10",
    "Effect 1",                        // the Effects page
    "Q3D 2", "Q3D 6", "Q3D 7",         // the Voice Manager page
    "Q3D 0", "Q3D 11",                 // the Mixing Options page
};

class Panel : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        VcReset();
        VcSetPlayTimePercent(5);
        // The card, a second card, and a device without hardware buffers.
        VcDevice devices[3];
        for (int i = 0; i < 3; ++i)
            VcDefaultDevice(i, &devices[i]);
        devices[1].hardware3D = devices[1].q3D = true;
        VcSetDevices(devices, 3);
        owner_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        soundDeviceCount = 0;
        DirectSoundEnumerateA(EnumerateSoundDevice, &owner_);
        ASSERT_EQ(3, soundDeviceCount);
        WritePrivateProfileStringA("DESCRIPTION", "DRIVERVERSION", "5.12.01.0560", "SOUNDCFG.INI");
        const DWORD six = 6;
        SHSetValueA(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", REG_DWORD, &six, sizeof six);
        helpCalls.clear();
        helpClickCount = 0;
        generalPage.layout = 2;
        effectsPage.reverb = 0;
    }
    void TearDown() override
    {
        if (IsWindow(panel_))
            DestroyWindow(panel_);
        DestroyWindow(owner_);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets() + VcUsesAfterRelease());
        VcReset();
    }
    // The panel as the Open command makes it, but modeless, so that the test
    // goes on while it is up.
    void Open()
    {
        panel_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), owner_, PanelProc, 0);
        ASSERT_NE(nullptr, panel_);
        ShowWindow(panel_, SW_SHOWNORMAL);
    }
    void Press(int id) { SendMessageA(panel_, WM_COMMAND, id, 0); }
    HWND Tab() { return GetDlgItem(panel_, IDC_PANEL_TAB); }
    void SelectTab(int index) { ChooseTab(panel_, index); }
    bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)) != 0; }
    // The driver property calls since from: "get Effect 5 dev=0" and so on.
    static std::vector<std::string> PropertyCalls(size_t from)
    {
        std::vector<std::string> calls;
        int device[64] = {}, buffer[64] = {};
        for (size_t i = from; i < VcLogCount(); ++i) {
            const char *line = VcLogLine(i);
            char set[16], kind[4];
            int a, b, id;
            if (sscanf(line, "ds.create dev=%d obj=%d", &a, &b) == 2 && b < 64)
                device[b] = a;
            else if (sscanf(line, "ds.buffer obj=%d buf=%d", &a, &b) == 2 && a < 64 && b < 64)
                buffer[b] = device[a];
            else if (sscanf(line, "ks.%3s buf=%d set=%15s id=%d", kind, &b, set, &id) == 4 && b < 64 &&
                     strcmp(set, "Audio") != 0)
                calls.push_back(std::string(kind) + " " + set + " " + std::to_string(id) + " dev=" +
                                std::to_string(buffer[b]));
        }
        return calls;
    }
    static std::vector<std::string> Expected(const char *kind, int device)
    {
        std::vector<std::string> calls;
        for (const char *read : kOpeningReads)
            calls.push_back(std::string(kind) + " " + read + " dev=" + std::to_string(device));
        return calls;
    }

    WaveFolder folder_;
    HWND owner_ = nullptr, panel_ = nullptr;
};

// Two tabs, General and Effects; every page read from the first device,
// every template located anew at each opening; the driver's version shown.
TEST_F(Panel, OpensWithTwoTabsEveryPageReadFromTheFirstDeviceAndTheDriverVersion)
{
    ImportHook find("kernel32.dll", "FindResourceA", reinterpret_cast<const void *>(CountFind));
    findResource = &find;
    for (const char *version : {"5.12.01.0560", ""}) {
        WritePrivateProfileStringA("DESCRIPTION", "DRIVERVERSION", *version ? version : nullptr, "SOUNDCFG.INI");
        templatesFound = 0;
        size_t from = VcLogCount();
        Open();
        EXPECT_EQ(6, templatesFound);
        EXPECT_EQ(Expected("get", 0), PropertyCalls(from));
        ASSERT_EQ(2, SendMessageA(Tab(), TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < 2; ++i) {
            char title[50] = "";
            TCITEMA item = {TCIF_TEXT};
            item.pszText = title;
            item.cchTextMax = sizeof title;
            SendMessageA(Tab(), TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_STREQ(i ? "Effects" : "General", title);
        }
        char text[64];
        GetDlgItemTextA(panel_, IDC_DRIVER_VERSION, text, sizeof text);
        EXPECT_STREQ(version, text);
        EXPECT_EQ(panel_, panelDialog);
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(&generalPage), GetWindowLongPtrA(currentPageWindow, GWLP_USERDATA));
        DestroyWindow(panel_);
    }
}

// Apply takes the current page, writes every page to every device (with
// null interfaces where the connection fails), reads the first again and
// disables itself; OK writes and closes; Cancel only closes. Each ends a
// test sound that plays, and closing ends help.
TEST_F(Panel, ApplyAndOkWriteEveryPageToEveryDeviceCancelWritesNothing)
{
    ImportHook help("user32.dll", "WinHelpA", reinterpret_cast<const void *>(RecordHelp));
    Open();
    SelectTab(1);
    SendDlgItemMessageA(currentPageWindow, IDC_REVERB, BM_CLICK, 0, 0);
    EXPECT_TRUE(ApplyEnabled());
    testPlaying = 1;
    size_t from = VcLogCount();
    Press(IDC_APPLY);
    std::vector<std::string> expected = Expected("set", 0), second = Expected("set", 1), reread = Expected("get", 0);
    // The Effects page writes in its own order: interpolation before the low frequencies.
    for (std::vector<std::string> *writes : {&expected, &second})
        std::swap((*writes)[3], (*writes)[4]);
    expected.insert(expected.end(), second.begin(), second.end());
    expected.insert(expected.end(), reread.begin(), reread.end());
    EXPECT_EQ(expected, PropertyCalls(from));
    EXPECT_EQ(0, testPlaying);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(panel_, panelDialog);
    DWORD reverb = 0;
    EXPECT_TRUE(VcStoredProperty(1, Q3DEffectPropertySet, 5, &reverb, 4));
    EXPECT_EQ(1u, reverb);

    // The General page writes the layout once per device, the failing one too.
    SelectTab(0);
    SendDlgItemMessageA(currentPageWindow, IDC_LAYOUT_4, BM_CLICK, 0, 0);
    from = VcLogCount();
    Press(IDOK);
    EXPECT_EQ(3u, Trace(from, {"ds.speaker.set"}).size());
    EXPECT_EQ(2u * 15, PropertyCalls(from).size());
    EXPECT_EQ(nullptr, panelDialog);

    for (int id : {IDCANCEL, WM_CLOSE}) {
        SCOPED_TRACE(id);
        DestroyWindow(panel_);
        Open();
        helpCalls.clear();
        testPlaying = 1;
        from = VcLogCount();
        if (id == WM_CLOSE)
            SendMessageA(panel_, WM_CLOSE, 0, 0);
        else
            Press(id);
        EXPECT_TRUE(PropertyCalls(from).empty());
        EXPECT_EQ(nullptr, panelDialog);
        // The close box neither stops the sound nor ends help.
        EXPECT_EQ(id == WM_CLOSE, testPlaying == 1);
        EXPECT_EQ(id == WM_CLOSE ? 0u : 1u, helpCalls.size());
    }
    testPlaying = 0;
}

TEST_F(Panel, HelpGoesToWinHelpWithTheTableAndEveryRequestIsCounted)
{
    ImportHook help("user32.dll", "WinHelpA", reinterpret_cast<const void *>(RecordHelp));
    Open();
    HWND control = GetDlgItem(currentPageWindow, IDC_LAYOUT_2);
    HELPINFO onControl = {sizeof(HELPINFO), HELPINFO_WINDOW, IDC_LAYOUT_2, control, 0, {0, 0}};
    HELPINFO onMenu = {sizeof(HELPINFO), HELPINFO_MENUITEM, IDM_OPEN, nullptr, 0, {0, 0}};
    SendMessageA(panel_, WM_HELP, 0, reinterpret_cast<LPARAM>(&onControl));
    SendMessageA(panel_, WM_HELP, 0, reinterpret_cast<LPARAM>(&onMenu));
    SendMessageA(panel_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(5, 5));
    EXPECT_EQ(2, helpClickCount);
    Press(IDCANCEL);
    const ULONG_PTR table = reinterpret_cast<ULONG_PTR>(helpIdTable);
    ASSERT_EQ(3u, helpCalls.size());
    const struct { HWND window; UINT command; ULONG_PTR data; } expected[] = {
        {control, HELP_WM_HELP, table}, {control, HELP_CONTEXTMENU, table}, {panel_, HELP_QUIT, 0}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].window, helpCalls[i].window) << i;
        EXPECT_EQ("vtpanel.hlp", helpCalls[i].file) << i;
        EXPECT_EQ(expected[i].command, helpCalls[i].command) << i;
        EXPECT_EQ(expected[i].data, helpCalls[i].data) << i;
    }
    // The table: 71 pairs and the ending pair; each control id stands in a
    // dialog of the program, but the two of the Effects page's absent controls.
    int pairs = 0;
    while (helpIdTable[2 * pairs])
        ++pairs;
    EXPECT_EQ(71, pairs);
    EXPECT_EQ(0u, helpIdTable[2 * pairs + 1]);
    std::vector<HWND> dialogs;
    for (int dialog : {IDD_PANEL, IDD_GENERAL, IDD_EFFECTS, IDD_VOICE_MANAGER, IDD_MIXING_OPTIONS,
                       IDD_PLAYBACK_MIXER, IDD_RECORD_MIXER})
        dialogs.push_back(CreateDialogParamA(appInstance, MAKEINTRESOURCEA(dialog), owner_, Inert, 0));
    for (int i = 0; i < pairs; ++i) {
        DWORD id = helpIdTable[2 * i];
        bool found = id == IDC_PROPERTY1_ON || id == IDC_PROPERTY1_VALUE;
        for (HWND dialog : dialogs)
            found = found || GetDlgItem(dialog, id);
        EXPECT_TRUE(found) << id;
    }
    for (HWND dialog : dialogs)
        DestroyWindow(dialog);
}

// A tab change keeps Apply as it was, even when the new page enables it
// while it is made; Tab from the tab control goes into the page; the menu
// bar's commands do nothing.
TEST_F(Panel, TabChangesKeepApplyAndTabMovesIntoThePage)
{
    Open();
    pageHook = SetWindowsHookExA(WH_CALLWNDPROCRET, EnableApplyOnCreation, nullptr, GetCurrentThreadId());
    SelectTab(1);
    EXPECT_FALSE(ApplyEnabled());
    EnableWindow(GetDlgItem(panel_, IDC_APPLY), TRUE);
    SelectTab(0);
    EXPECT_TRUE(ApplyEnabled());
    UnhookWindowsHookEx(pageHook);

    SetFocus(Tab());
    NMTCKEYDOWN key = {{Tab(), IDC_PANEL_TAB, static_cast<UINT>(TCN_KEYDOWN)}, VK_TAB, 0};
    SendMessageA(panel_, WM_NOTIFY, IDC_PANEL_TAB, reinterpret_cast<LPARAM>(&key));
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == currentPageWindow || IsChild(currentPageWindow, focus));

    Press(IDM_EXIT);
    Press(IDM_OPEN);
    EXPECT_EQ(panel_, panelDialog);
    EXPECT_TRUE(IsWindowVisible(panel_) && IsWindow(owner_));
}

} // namespace
