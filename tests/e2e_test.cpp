// The shipped vtpanel.exe, run in a prefix where the card and its driver
// package are installed, driven from this second program as the shell and a
// user would drive it: its hidden window found by class, commands posted to
// it, the panel's controls clicked and its message boxes answered. What only
// the real program shows: the start-up and its icon, the single instance,
// the panel's flows reaching the card, help, and each way the program ends.
// The steps in between are the in-process suites' (tray, panel, uninstall).
#include "harness.h"

#include "resource.h"

namespace {

std::string program; // vtpanel.exe as the package installs it
std::string record;  // the card's record of the program's calls

// How many lines of the record the program has written of this event.
size_t Count(const char *event)
{
    return FileTrace(record, {event}).size();
}

// Wine's shell hands each Shell_NotifyIcon call to the window of this class
// as WM_COPYDATA, the command in dwData, while the program waits. An icon
// added once the A3D hook is installed comes after the start-up.
std::vector<std::string> icons;

LRESULT CALLBACK ShellTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA)
        return DefWindowProcA(window, message, wParam, lParam);
    const bool added = reinterpret_cast<const COPYDATASTRUCT *>(lParam)->dwData == NIM_ADD;
    return icons.push_back(!added ? "delete" : Count("InstallA3DHook") ? "add after the start-up" : "add at once"), TRUE;
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override { DeleteFileA(record.c_str()), icons.clear(); }
    void TearDown() override { run.Close(); }

    HWND WaitPanel() const
    {
        HWND panel = nullptr;
        return WaitFor([&] { return (panel = PanelOf(run.id)) != nullptr; }, 10000), panel;
    }
    // Exit from the icon's menu; the program's exit code.
    DWORD Exit()
    {
        PostMessageA(Tray(), WM_COMMAND, IDM_EXIT, 0);
        return run.ExitCode(10000);
    }

    Instance run;
};

// The icon of an ordinary start comes after the start-up (from the timer,
// a second later) and goes at the end, by Exit or by the close request.
// Only the exact argument OPEN opens the panel: its Open command, posted
// first, would have probed before the end.
TEST_F(EndToEnd, AnOrdinaryStartShowsTheIconAfterTheStartUpAndItsEndRemovesIt)
{
    for (const char *arguments : {"", "open", "\" OPEN\"", "OPEN x", "OPENX", "OPE"}) {
        SCOPED_TRACE(arguments);
        run = Start(program, arguments);
        ASSERT_TRUE(WaitFor([] { return !icons.empty(); }, 10000));
        if (arguments[0] == 'O')
            PostMessageA(Tray(), WM_USER + 7, 8966, 0); // the close request
        EXPECT_EQ(0u, arguments[0] == 'O' ? run.ExitCode(10000) : Exit());
        EXPECT_EQ((std::vector<std::string>{"add after the start-up", "delete"}), icons);
        EXPECT_EQ(0u, Count("ks.support")) << "the panel was asked for";
        run.Close();
        SetUp();
    }
}

DWORD StoredReverb()
{
    DWORD reverb = 0xDEAD;
    return VcStoredProperty(0, VcQ3DEffectPropertySet, 5, &reverb, sizeof reverb), reverb;
}

// With OPEN the icon comes at once and the panel opens. A second copy ends
// at once: with OPEN it has the first copy open its panel again (each Open
// probes anew) and brings the same panel forward; without, nothing. A help
// request on a page's control starts WinHelp, which the panel's end ends.
// "&Reverb" ticked on the Effects tab reaches the card with Apply, which
// then disables itself; Cancel drops a change; a new opening shows what the
// card holds, and Exit closes it without writing, as opening and bringing
// the panel forward write nothing.
TEST_F(EndToEnd, OpenAtStartFromASecondCopyAndThePanelsChangesReachingTheCard)
{
    run = Start(program, "OPEN");
    HWND panel = WaitPanel();
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(std::vector<std::string>{"add at once"}, icons);
    EXPECT_EQ(1u, Count("ks.support"));
    for (const char *arguments : {"OPEN", ""}) {
        Instance second = Start(program, arguments);
        EXPECT_EQ(0u, second.ExitCode(10000)) << arguments;
        second.Close();
    }
    EXPECT_TRUE(WaitFor([] { return Count("ks.support") >= 3; }, 10000));
    EXPECT_EQ(std::vector<HWND>{panel}, DialogsOf(run.id));
    for (const std::string &call : PropertyCalls(RecordFileLines(record)))
        EXPECT_EQ(0u, call.find("get ")) << call;

    PostMessageA(panel, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetDlgItem(Page(panel), IDC_LAYOUT_2)), 0);
    EXPECT_TRUE(WaitFor([] { return ProcessCount("winhlp32.exe") > 0; }, 10000));
    ASSERT_TRUE(SelectTab(panel, 1));
    Click(Page(panel), IDC_REVERB);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(panel, IDC_APPLY)) != 0; }, 5000));
    Click(panel, IDC_APPLY);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(panel, IDC_APPLY)); }, 5000));
    EXPECT_EQ(1u, StoredReverb());
    Click(Page(panel), IDC_REVERB);
    Click(panel, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(panel); }, 5000));
    EXPECT_EQ(1u, StoredReverb());
    EXPECT_TRUE(WaitFor([] { return ProcessCount("winhlp32.exe") == 0; }, 10000));

    PostMessageA(Tray(), WM_COMMAND, IDM_OPEN, 0);
    ASSERT_NE(nullptr, panel = WaitPanel());
    ASSERT_TRUE(SelectTab(panel, 1));
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageA(Page(panel), IDC_REVERB, BM_GETCHECK, 0, 0));
    Click(Page(panel), IDC_REVERB);
    EXPECT_EQ(0u, Exit());
    EXPECT_EQ(1u, StoredReverb()) << "Exit wrote the panel's change";
    EXPECT_EQ(4u, Count("ks.support")) << "the copy without OPEN asked for the panel";
}

// The end of an uninstall, once its message is answered, ends the program.
// It removes the card: this case comes last.
TEST_F(EndToEnd, AnUninstallEndsTheProgram)
{
    run = Start(program, "OPEN");
    HWND panel = WaitPanel(), warning = nullptr;
    ASSERT_NE(nullptr, panel);
    Click(Page(panel), IDC_UNINSTALL);
    ASSERT_TRUE(WaitFor([&] { return (warning = DialogOf(run.id, "Warning")) != nullptr; }, 10000));
    Click(warning, IDYES);
    EXPECT_EQ(std::vector<std::string>{"Sonaris Control Panel: Sonaris audio devices and drivers are removed successfully!"},
              AnswerBoxes(run.id, 1, 15000));
    EXPECT_EQ(0u, run.ExitCode(10000));
    EXPECT_EQ((std::vector<std::string>{"DLL32Call 0", "DLL32Call 1"}), FileTrace(record, {"DLL32Call"}));
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    // The program named by the argument, installed as the driver package installs it.
    program = InstallProgram(argc > 1 ? argv[1] : nullptr);
    if (program.empty())
        return 2;
    TempFolder folder;
    record = folder.File("vtpanel-e2e.log");
    SetEnvironmentVariableA("VCARD_LOG", record.c_str());
    // The notification area's window, where the shell hands the icons.
    WNDCLASSA tray = {};
    tray.lpfnWndProc = ShellTrayProc;
    tray.lpszClassName = "Shell_TrayWnd";
    bool made = RegisterClassA(&tray) && CreateWindowExA(0, tray.lpszClassName, "", 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return made ? RUN_ALL_TESTS() : 2;
}
