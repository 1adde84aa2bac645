// The control panel's steps against the virtual card, in this test program:
// where it opens, its tabs and page windows, the driver reads and writes of
// every page on every listed device, the Apply button's state, the test
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
#include "speakers/speaker_test.h"
#include "virtualcard/vclog.h"

#include <commctrl.h>

namespace {

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

// What the panel asks of the system: windows brought to the front, help from
// WinHelp, which shows nothing here, and its end with a result.
using Call = std::tuple<std::string, HWND, ULONG_PTR>;
std::vector<Call> calls;
BOOL WINAPI RecordForeground(HWND window) { return calls.emplace_back("SetForegroundWindow", window, 0), TRUE; }
HWND WINAPI RecordActivation(HWND window) { return calls.emplace_back("SetActiveWindow", window, 0), nullptr; }
BOOL WINAPI RecordHelp(HWND window, LPCSTR file, UINT command, ULONG_PTR data)
{ return calls.emplace_back(std::string("WinHelpA ") + file + " " + std::to_string(command), window, data), TRUE; }
BOOL WINAPI RecordEnd(HWND window, INT_PTR result) { return calls.emplace_back("EndDialog", window, result), ShowWindow(window, SW_HIDE), TRUE; }

// The driver properties each page reads, and writes, in the panel's order
// of the pages: the Effects page, the Voice Manager page, the Mixing Options page.
const std::vector<const char *> kReads = {"Effect 0", "Effect 4", "Effect 5", "Q3D 5",  "Effect 8", "Q3D 12", "Effect 3",
                                          "Effect 9", "Effect 10", "Effect 1", "Q3D 2", "Q3D 6",  "Q3D 7",  "Q3D 0", "Q3D 11"};
const std::vector<const char *> kWrites = {"Effect 0", "Effect 4", "Effect 5", "Effect 8", "Q3D 5", "Q3D 12", "Effect 3",
                                           "Effect 9", "Effect 10", "Effect 1", "Q3D 2", "Q3D 6", "Q3D 7", "Q3D 0", "Q3D 11"};

// The property calls of passes over all pages, each reading ("get") or
// writing ("set") on a device: "get Effect 5 dev=0" and so on.
std::vector<std::string> Passes(std::initializer_list<std::pair<std::string, int>> passes)
{
    std::vector<std::string> calls;
    for (const auto &pass : passes)
        for (const char *property : pass.first == "get" ? kReads : kWrites)
            calls.push_back(pass.first + " " + property + " dev=" + std::to_string(pass.second));
    return calls;
}

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
        helpClickCount = 0;
        effectsPage.reverb = 0;
    }
    void TearDown() override
    {
        DestroyWindow(panel_);
        DestroyWindow(owner_);
    }
    // The panel as the Open command makes it, but modeless, so that the test
    // goes on while it is up.
    void Open()
    {
        DestroyWindow(panel_);
        panel_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), owner_, PanelProc, 0);
        ASSERT_NE(nullptr, panel_);
        ShowWindow(panel_, SW_SHOWNORMAL);
    }
    void Press(int id) { SendMessageA(panel_, WM_COMMAND, id, 0); }
    HWND Tab() { return GetDlgItem(panel_, IDC_PANEL_TAB); }
    bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)) != 0; }

    WaveFolder folder_;
    HWND owner_ = nullptr, panel_ = nullptr;
    ImportHook front_ = HOOK("user32.dll", SetForegroundWindow, RecordForeground),
               active_ = HOOK("user32.dll", SetActiveWindow, RecordActivation), help_ = HOOK("user32.dll", WinHelpA, RecordHelp),
               end_ = HOOK("user32.dll", EndDialog, RecordEnd);
};

// Centred on the desktop and brought to the front; two tabs, General and
// Effects; every page read from the first listed device (not the default
// one); the driver's version shown.
TEST_F(Panel, OpensCentredInFrontWithTwoTabsEveryPageReadFromTheFirstDeviceAndTheDriverVersion)
{
    // As long as 39 characters of it.
    const std::string longest = "5.12.01.0560 of 2001-06-30, for Windows 2000 and XP";
    std::swap(soundDevices[0], soundDevices[1]); // the first listed device, not the default one
    for (const std::string &version : {std::string("5.12.01.0560"), std::string(), longest}) {
        SCOPED_TRACE(version);
        WritePrivateProfileStringA("DESCRIPTION", "DRIVERVERSION", version.empty() ? nullptr : version.c_str(),
                                   "SOUNDCFG.INI");
        size_t from = VcLogCount();
        calls.clear();
        Open();
        EXPECT_EQ((std::vector<Call>{Call{"SetForegroundWindow", panel_, 0}, Call{"SetActiveWindow", panel_, 0}}), calls);
        // As far from the desktop's left as from its right, and from its top
        // as from its bottom, but for an odd pixel, which goes right and down.
        RECT desktop, own;
        GetWindowRect(GetDesktopWindow(), &desktop);
        GetWindowRect(panel_, &own);
        EXPECT_LE(unsigned((desktop.right - own.right) - (own.left - desktop.left)), 1u);
        EXPECT_LE(unsigned((desktop.bottom - own.bottom) - (own.top - desktop.top)), 1u);

        EXPECT_EQ(Passes({{"get", 1}}), PropertyCalls(RecordLines(from)));
        EXPECT_EQ(2, SendMessageA(Tab(), TCM_GETITEMCOUNT, 0, 0)); // (their titles, in every language, are the languages test's)
        EXPECT_EQ(version.substr(0, 39), Text(GetDlgItem(panel_, IDC_DRIVER_VERSION)));
        EXPECT_EQ(panel_, panelDialog);
    }
    RestorePackage();
}

// The window routines: a window of any size centred on the desktop, halves
// rounded toward zero even where it is larger than the desktop; a button's
// state read as it stands, the third state included.
TEST_F(Panel, WindowsAreCentredRoundingTowardZeroAndButtonsReadAsTheyStand)
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const int w = desktop.right - desktop.left, h = desktop.bottom - desktop.top;
    const struct { int width, height, left, top; } sizes[] = {
        {w - 100, h - 50, 50, 25}, {w - 1, h - 3, 0, 1}, {w, h + 1, 0, 0}, {w + 1, h + 3, 0, -1}, {w + 3, h, -1, 0},
    };
    for (const auto &size : sizes) {
        HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 7, 9, size.width, size.height, nullptr, nullptr,
                                      nullptr, nullptr);
        CenterOnDesktop(window);
        RECT placed;
        GetWindowRect(window, &placed);
        EXPECT_EQ(std::make_tuple(desktop.left + size.left, desktop.top + size.top, size.width, size.height),
                  std::make_tuple(placed.left, placed.top, int(placed.right - placed.left), int(placed.bottom - placed.top)));
        DestroyWindow(window);
    }
    Open();
    HWND box = CreateWindowExA(0, "BUTTON", "", WS_CHILD | BS_3STATE, 0, 0, 10, 10, panel_,
                               reinterpret_cast<HMENU>(9999), nullptr, nullptr);
    for (int state : {BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE}) {
        SendMessageA(box, BM_SETCHECK, state, 0);
        EXPECT_EQ(state, IsButtonChecked(panel_, 9999));
    }
}

// At opening and after each tab change: the page of the selected tab is
// shown, the tab control has the focus, and Apply is as it was, even when
// the new page enabled it while it was made; so too by a key sent to a
// control in the page (Ctrl, Shift held as 1, 2), peeked at before it is
// taken: Ctrl+Tab and Ctrl+(Shift+)Page Down the next tab, Ctrl+Shift+Tab and
// Ctrl+Page Up the one before, round the ends, each once; Tab alone, Ctrl
// (+Shift) with another key or a key's release nothing. Tab from the tab
// control goes into the page; the menu bar's commands do nothing.
TEST_F(Panel, EachTabShowsItsPageWithTheFocusOnTheTabsAndKeepsApply)
{
    pageHook = SetWindowsHookExA(WH_CALLWNDPROCRET, EnableApplyOnCreation, nullptr, GetCurrentThreadId());
    ControlPanelPage *general = &generalPage, *effects = &effectsPage;
    const struct { int tab; bool apply; ControlPanelPage *page; int focus; WPARAM key; int held; UINT message = WM_KEYDOWN; } steps[] = {
        {-1, false, general, IDC_LAYOUT_2}, {1, false, effects, 0}, {0, true, general, 0}, {0, false, general, -1, VK_TAB},
        {0, true, general, -1, VK_HOME, 1}, {1, true, effects, 0, VK_TAB, 1}, {0, false, general, 0, VK_TAB, 1},
        {1, false, effects, 0, VK_TAB, 3}, {0, true, general, 0, VK_PRIOR, 1}, {1, true, effects, 0, VK_PRIOR, 1},
        {0, false, general, 0, VK_NEXT, 1}, {0, true, general, -1, VK_HOME, 3},
        {0, false, general, -1, VK_TAB, 1, WM_KEYUP}, {1, true, effects, 0, VK_NEXT, 3}};
    for (const auto &step : steps) {
        SCOPED_TRACE(&step - steps);
        HWND from = step.key ? GetNextDlgTabItem(currentPageWindow, nullptr, FALSE) : nullptr;
        BYTE held[256] = {}, none[256] = {};
        MSG peeked; // as a message loop may peek: the key is taken once, later
        if (step.tab < 0) {
            Open();
        } else if (!step.key) {
            EnableWindow(GetDlgItem(panel_, IDC_APPLY), step.apply), ChooseTab(panel_, step.tab);
        } else {
            EnableWindow(GetDlgItem(panel_, IDC_APPLY), step.apply), SetFocus(from);
            held[VK_CONTROL] = step.held & 1 ? 0x80 : 0, held[VK_SHIFT] = step.held & 2 ? 0x80 : 0;
            SetKeyboardState(held), PostMessageA(from, step.message, step.key, step.message == WM_KEYUP ? 0xC0000001 : 1);
            EXPECT_TRUE(PeekMessageA(&peeked, from, 0, 0, PM_NOREMOVE) && TabCtrl_GetCurSel(Tab()) == (&step)[-1].tab) << "switched by a peek";
            DispatchPending(), SetKeyboardState(none);
        }
        EXPECT_EQ(step.apply, ApplyEnabled());
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(step.page), GetWindowLongPtrA(currentPageWindow, GWLP_USERDATA));
        EXPECT_TRUE(IsWindowVisible(currentPageWindow));
        EXPECT_EQ(step.focus < 0 ? from : step.focus ? GetDlgItem(currentPageWindow, step.focus) : Tab(), GetFocus());
    }
    UnhookWindowsHookEx(pageHook);

    // Only the tab control's own notices count, and of its keys only Tab.
    const HWND shown = currentPageWindow;
    NMTCKEYDOWN notices[] = {{{Tab(), IDC_APPLY, static_cast<UINT>(TCN_SELCHANGE)}, 0, 0},
                             {{Tab(), IDC_APPLY, static_cast<UINT>(TCN_KEYDOWN)}, VK_TAB, 0},
                             {{Tab(), IDC_PANEL_TAB, static_cast<UINT>(TCN_KEYDOWN)}, VK_SPACE, 0},
                             {{Tab(), IDC_PANEL_TAB, static_cast<UINT>(TCN_KEYDOWN)}, VK_TAB, 0}};
    for (NMTCKEYDOWN &notice : notices) {
        EXPECT_TRUE(GetFocus() == Tab() && currentPageWindow == shown);
        SendMessageA(panel_, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
    }
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == currentPageWindow || IsChild(currentPageWindow, focus));

    Press(IDM_EXIT), Press(IDM_OPEN);
    EXPECT_EQ(panel_, panelDialog);
    EXPECT_TRUE(IsWindowVisible(panel_) && IsWindow(owner_));
}

// Apply takes the current page, writes every page to every device (with
// null interfaces where the connection fails, the panel's window for the
// cooperative level), reads the first again, shows what it gave back and
// disables itself; OK writes and closes; Cancel only closes. Each ends a
// test sound that plays, and closing ends help.
TEST_F(Panel, ApplyAndOkWriteEveryPageToEveryDeviceCancelWritesNothing)
{
    Open();
    ChooseTab(panel_, 1);
    SendDlgItemMessageA(currentPageWindow, IDC_REVERB, BM_CLICK, 0, 0);
    EXPECT_TRUE(ApplyEnabled());
    testPlaying = 1;
    size_t from = VcLogCount();
    VcFailCall("Set", 3, DSERR_GENERIC); // the first device keeps reverb off, and the page shows it after Apply
    UserInput(GetDlgItem(panel_, IDC_APPLY), {VK_LBUTTON});
    EXPECT_EQ(BST_UNCHECKED, SendDlgItemMessageA(currentPageWindow, IDC_REVERB, BM_GETCHECK, 0, 0));
    EXPECT_EQ(Passes({{"set", 0}, {"set", 1}, {"get", 0}}), PropertyCalls(RecordLines(from)));
    EXPECT_EQ(std::vector<std::string>(4, "ds.coop class=\"#32770\" style=0x94c820cc exstyle=0x10501 level=1 hr=0x00000000"),
              Trace(from, {"ds.coop"})) << "each device's connection and the re-read's, for the panel";
    DWORD reverb = 0; // the sound stopped, Apply off, the panel up, reverb on on the second device
    EXPECT_TRUE(!testPlaying && !ApplyEnabled() && panelDialog == panel_);
    EXPECT_TRUE(VcStoredProperty(1, Q3DEffectPropertySet, 5, &reverb, 4) && reverb == 1);

    // The General page writes the layout once per device, the failing one too.
    ChooseTab(panel_, 0);
    UserInput(GetDlgItem(currentPageWindow, IDC_LAYOUT_4), {VK_LBUTTON});
    from = VcLogCount();
    calls.clear();
    UserInput(GetDlgItem(panel_, IDOK), {VK_LBUTTON});
    EXPECT_TRUE(Trace(from, {"ds.speaker.set"}).size() == 3 && !panelDialog);
    EXPECT_EQ(Passes({{"set", 0}, {"set", 1}}), PropertyCalls(RecordLines(from)));
    EXPECT_EQ((std::vector<Call>{Call{"WinHelpA vtpanel.hlp 2", panel_, 0}, Call{"EndDialog", panel_, 1}}), calls);

    for (int id : {IDCANCEL, WM_CLOSE}) {
        SCOPED_TRACE(id);
        Open();
        testPlaying = 1;
        from = VcLogCount();
        calls.clear();
        id == WM_CLOSE ? (void)SendMessageA(panel_, WM_CLOSE, 0, 0) : UserInput(GetDlgItem(panel_, id), {VK_LBUTTON});
        EXPECT_TRUE(PropertyCalls(RecordLines(from)).empty() && !panelDialog);
        // The close box neither stops the sound nor ends help.
        EXPECT_EQ(id == WM_CLOSE, testPlaying == 1);
        std::vector<Call> closing = {Call{"WinHelpA vtpanel.hlp 2", panel_, 0}, Call{"EndDialog", panel_, 0}};
        EXPECT_EQ(std::vector<Call>(closing.begin() + (id == WM_CLOSE), closing.end()), calls);
    }
    testPlaying = 0;
}

// A help request on a control other than the focused one, and a right click
// on it, go to WinHelp with the table; every help request is counted.
TEST_F(Panel, HelpGoesToWinHelpWithTheTableAndEveryRequestIsCounted)
{
    Open();
    HWND control = GetDlgItem(currentPageWindow, IDC_TEST_ALL);
    HELPINFO onControl = {sizeof(HELPINFO), HELPINFO_WINDOW, IDC_TEST_ALL, control, 0, {0, 0}};
    HELPINFO onMenu = {sizeof(HELPINFO), HELPINFO_MENUITEM, IDM_OPEN, nullptr, 0, {0, 0}};
    calls.clear();
    SendMessageA(panel_, WM_HELP, 0, reinterpret_cast<LPARAM>(&onControl));
    SendMessageA(panel_, WM_HELP, 0, reinterpret_cast<LPARAM>(&onMenu));
    SendMessageA(panel_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(5, 5));
    EXPECT_EQ(2, helpClickCount);
    const ULONG_PTR table = reinterpret_cast<ULONG_PTR>(helpIdTable);
    EXPECT_EQ((std::vector<Call>{Call{"WinHelpA vtpanel.hlp 12", control, table}, Call{"WinHelpA vtpanel.hlp 10", control, table}}),
              calls);
}

} // namespace
