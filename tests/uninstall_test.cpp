// The driver uninstall, run in a prefix where the card and its package are
// installed: the refusals, the confirmation, the support library's two
// steps, the files deleted from the system directory and the end of the
// program. The system calls that finish it are seen through the program's
// imports, in order, as one list of steps.
#include "harness.h"

#include "app/app.h"
#include "app/messages.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/speaker_test.h"
#include "speakers/uninstall.h"

#include <shlwapi.h>

#include <set>

namespace {

const char *const kPackageFiles[] = {"VTHLP32.DLL", "VTAPLT.CPL"};
std::vector<std::string> steps;
HWND panel, page, tray;
DWORD now; // the time the program reads, when a test sets it

const char *Who(HWND window)
{
    return !window ? "none" : window == page ? "page" : window == panel ? "panel" : window == tray ? "tray" : "other";
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A message box as the steps show it: the start of its text, its owner and style.
std::string Box(const char *text, const char *owner, UINT style)
{
    char line[64];
    snprintf(line, sizeof line, " owner=%s style=0x%x", owner, style);
    return "box " + std::string(text).substr(0, 20) + line;
}
const char kDone[] = "Sonaris audio devices and drivers are removed successfully!";
const char kRefused[] = "You must remove YAMAHA Soft Synthesizer S-YXG50 software before you uninstall the PCI audio driver.";

struct Hooks {
    static inline Hooks *active;
    static int WINAPI StepBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
    {
        steps.push_back(Box(text, Who(owner), style));
        return active->box.Original<decltype(&MessageBoxA)>()(owner, text, caption, style);
    }
    static BOOL WINAPI StepDelete(LPCSTR path)
    {
        steps.push_back(std::string("delete ") + PathFindFileNameA(path));
        return active->remove.Original<decltype(&DeleteFileA)>()(path);
    }
    static UINT WINAPI StepRun(LPCSTR command, UINT show)
    {
        steps.push_back("run " + std::string(command) + " " + std::to_string(show));
        return 33; // started, as far as the program can tell; nothing is run
    }
    static BOOL WINAPI StepFree(HMODULE module)
    {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(module, path, sizeof path);
        steps.push_back(std::string("free ") + PathFindFileNameA(CharLowerA(path)));
        return active->free.Original<decltype(&FreeLibrary)>()(module);
    }
    static BOOL WINAPI StepKill(HWND window, UINT_PTR id)
    {
        steps.push_back("kill " + std::string(Who(window)) + " " + std::to_string(id));
        return active->kill.Original<decltype(&KillTimer)>()(window, id);
    }
    static UINT_PTR WINAPI StepTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
    {
        steps.push_back("timer " + std::string(Who(window)) + " " + std::to_string(id) + " " + std::to_string(period));
        return active->timer.Original<decltype(&SetTimer)>()(window, id, period, procedure);
    }
    static DWORD WINAPI Clock() { return now ? now : active->tick.Original<decltype(&GetTickCount)>()(); }
    ImportHook box = HOOK("user32.dll", MessageBoxA, StepBox);
    ImportHook remove = HOOK("kernel32.dll", DeleteFileA, StepDelete);
    ImportHook run = HOOK("kernel32.dll", WinExec, StepRun);
    ImportHook free = HOOK("kernel32.dll", FreeLibrary, StepFree);
    ImportHook kill = HOOK("user32.dll", KillTimer, StepKill);
    ImportHook timer = HOOK("user32.dll", SetTimer, StepTimer);
    ImportHook tick = HOOK("kernel32.dll", GetTickCount, Clock);
};

// Answers the warning dialog (after trying Esc, the close box, Cancel and OK
// on it, none of which may end it) with a button, or with Enter (0), and
// records it; message boxes are answered as MessageBoxCapture does.
class DialogAnswerer : public MessageBoxCapture {
public:
    explicit DialogAnswerer(int answer) : answer_(answer) {}
    int warnings = 0;
    std::string warningText;
    HWND warningOwner = nullptr;

protected:
    void OtherDialog(HWND window) override
    {
        HWND edit = GetDlgItem(window, IDC_WARNING_TEXT);
        if (!edit || !answered_.insert(window).second)
            return; // not the warning, or activated again
        ++warnings;
        warningText = Text(edit);
        warningOwner = GetWindow(window, GW_OWNER);
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
        for (WPARAM command : {IDCANCEL, IDOK})
            PostMessageA(window, WM_COMMAND, command, 0);
        if (answer_)
            PostMessageA(GetDlgItem(window, answer_), BM_CLICK, 0, 0);
        else
            PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    }

private:
    int answer_;
    std::set<HWND> answered_;
};

// The resident program's hidden window and an Explorer folder window, as the
// uninstall sees them.
LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        steps.push_back("end");
    return DefWindowProcA(window, message, wParam, lParam);
}
LRESULT CALLBACK FolderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CLOSE)
        return DefWindowProcA(window, message, wParam, lParam);
    steps.push_back("close folder");
    return 0; // stays, so the test can see it was asked
}
HWND CreateOfClass(const char *className, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}
void WINAPI FakeDll32Call(DWORD step)
{
    steps.push_back("DLL32Call " + std::to_string(step));
}

// The page hosted in the panel, the hidden tray window, the support library's
// record in a log file, and the package's two files kept to be put back.
class Uninstall : public testing::Test {
protected:
    void SetUp() override
    {
        Hooks::active = &hooks_;
        appInstance = GetModuleHandleA(nullptr);
        LoadMessageCaption();
        // An uninstall of an earlier page: a new page forgets it.
        supportLibrary = reinterpret_cast<HMODULE>(1);
        dll32Call = FakeDll32Call;
        ShowPanel();
        ASSERT_TRUE(page && !supportLibrary && !dll32Call);
        tray = trayWindow = CreateOfClass("Veltrona Control", TrayProc);
        SetEnvironmentVariableA("VCARD_LOG", log_.c_str());
        for (const char *name : kPackageFiles)
            CopyFileA(SystemFile(name).c_str(), folder_.File(name).c_str(), FALSE);
        steps.clear();
    }
    void TearDown() override
    {
        if (IsWindow(tray))
            DestroyWindow(tray);
        DestroyWindow(panel);
        if (!dll32Call && supportLibrary)
            FreeLibrary(supportLibrary); // a library without the export stays loaded
        supportLibrary = nullptr;
        dll32Call = nullptr;
        PutPackageBack();
        RestorePackage();
    }
    void PutPackageBack()
    {
        for (const char *name : kPackageFiles)
            CopyFileA(folder_.File(name).c_str(), SystemFile(name).c_str(), FALSE);
    }
    // The control panel, modeless, on its General tab.
    void ShowPanel()
    {
        DestroyWindow(panel);
        panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        page = currentPageWindow;
    }
    void PressUninstall() { SendDlgItemMessageA(page, IDC_UNINSTALL, BM_CLICK, 0, 0); }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }
    std::string Log() { return ReadWholeFile(log_); }

    TempFolder folder_;
    const std::string log_ = folder_.File("vcard.log");
    Hooks hooks_;
};

// A synthesizer's key (either spelling) refuses with message 52 alone; "&No",
// Enter, or a support library that does not load lead nowhere, and no timer
// follows. A playing test is stopped first in every case.
TEST_F(Uninstall, RefusalsLeaveEverythingAsItWas)
{
    const std::string aside = folder_.File("moved.dll");
    const struct { const char *key; int answer; bool library; int warnings; std::vector<std::string> expected; } cases[] = {
        {kSynthesizerKeys[0], IDYES, true, 0, {Box(kRefused, "page", MB_ICONWARNING | MB_SETFOREGROUND)}},
        {kSynthesizerKeys[1], IDYES, true, 0, {Box(kRefused, "page", MB_ICONWARNING | MB_SETFOREGROUND)}},
        {nullptr, IDNO, true, 1, {}},
        {nullptr, 0, true, 1, {}},
        {nullptr, IDYES, false, 1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        if (c.key)
            SetDword(HKEY_LOCAL_MACHINE, c.key, "", 0);
        if (!c.library)
            ASSERT_TRUE(MoveFileA(SystemFile("VTHLP32.DLL").c_str(), aside.c_str()));
        steps.clear();
        testPlaying = 1;
        DialogAnswerer answerer(c.answer);
        PressUninstall();
        EXPECT_EQ(0, testPlaying);
        EXPECT_EQ(c.warnings, answerer.warnings);
        EXPECT_EQ(c.expected, steps);
        EXPECT_EQ("", Log());
        EXPECT_EQ(nullptr, supportLibrary);
        EXPECT_TRUE(Enabled(IDC_UNINSTALL) && IsWindow(tray));
        if (c.warnings) {
            EXPECT_EQ("Do you really want to uninstall audio devices\r\nand drivers?", answerer.warningText);
            EXPECT_EQ(panel, answerer.warningOwner); // the page's top-level window
        }
        EXPECT_EQ(!c.library, GetCursor() == LoadCursorA(nullptr, IDC_WAIT)); // left as it is
        if (c.key)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, c.key);
        if (!c.library)
            ASSERT_TRUE(MoveFileA(aside.c_str(), SystemFile("VTHLP32.DLL").c_str()));
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    }
    EXPECT_TRUE(Exists(SystemFile("VTHLP32.DLL")) && Exists(SystemFile("VTAPLT.CPL")));
}

// Without the export the buttons stay, a second press reloads the library,
// and the program ends when timer 1 fires, having removed nothing.
TEST_F(Uninstall, ALibraryWithoutTheExportEndsTheProgramAtTheTimer)
{
    ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), SystemFile("VTHLP32.DLL").c_str(), FALSE));
    DialogAnswerer answerer(IDYES);
    PressUninstall();
    EXPECT_TRUE(Enabled(IDC_UNINSTALL));
    PressUninstall();
    EXPECT_EQ(2, answerer.warnings);
    EXPECT_EQ(nullptr, dll32Call);
    ASSERT_TRUE(WaitFor([] { return !IsWindow(tray); }, 8000));
    EXPECT_EQ((std::vector<std::string>{"timer page 1 4000", "free vthlp32.dll", "timer page 1 4000", "kill page 1",
                                        "end"}),
              steps);
    EXPECT_TRUE(Exists(SystemFile("VTAPLT.CPL")));
    EXPECT_EQ("", Log());
}

// The page goes away (another tab, OK, Cancel) while timer 1 waits: the
// removal still finishes when it would have with its page, message 48 above
// the panel (or the resident window once the panel is gone too), and kills
// no timer but its own. A page shown meanwhile does not forget it. The test
// stands in for the export once the library loaded.
TEST_F(Uninstall, AnUninstallOutlivesItsPage)
{
    for (bool panelStays : {true, false}) {
        SCOPED_TRACE(panelStays);
        ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), SystemFile("VTHLP32.DLL").c_str(), FALSE));
        ShowPanel(); // a new page, its buttons on
        if (!IsWindow(tray))
            tray = trayWindow = CreateOfClass("Veltrona Control", TrayProc);
        DialogAnswerer answerer(IDYES);
        now = 100000;
        PressUninstall();
        ASSERT_NE(nullptr, supportLibrary);
        dll32Call = FakeDll32Call;
        now = 102500; // 2.5 s later
        steps.clear();
        ChooseTab(panel, 1);
        now = 0;
        EXPECT_TRUE(UninstallDetached());
        EXPECT_EQ((std::vector<std::string>{"kill page 1", "timer none 0 1500"}), steps);
        ChooseTab(panel, 0);
        page = currentPageWindow;
        EXPECT_EQ(FakeDll32Call, dll32Call);
        EXPECT_FALSE(Enabled(IDC_TEST_ALL) || Enabled(IDC_UNINSTALL));
        if (!panelStays)
            DestroyWindow(panel);
        steps.clear();
        ASSERT_TRUE(WaitFor([] { return !IsWindow(tray); }, 8000));
        EXPECT_FALSE(UninstallDetached());
        ASSERT_GE(steps.size(), 2u);
        EXPECT_EQ("kill ", steps[0].substr(0, 5));
        EXPECT_NE("kill none 1", steps[0]);
        EXPECT_EQ(Box(kDone, panelStays ? "panel" : "tray", MB_ICONINFORMATION | MB_SETFOREGROUND), steps[1]);
        EXPECT_EQ("end", steps.back());
        PutPackageBack();
        dll32Call = nullptr;
        supportLibrary = nullptr;
    }
}

// The finishing steps in their order. The applet file name comes from
// SOUNDCFG.INI (the default without one), and only a bare name is deleted;
// an open folder window is closed and the Control Panel started again,
// without activation, and only then. A stand-in takes the export's place.
TEST_F(Uninstall, FinishingTakesItsStepsInOrderAndDeletesOnlyABareAppletName)
{
    const std::string victim = WindowsFile("victim.txt");
    const std::string loaders[] = {"..\\victim.txt", "../victim.txt", victim, "C:..\\victim.txt", "..", ""};
    for (const std::string &loader : loaders) {
        SCOPED_TRACE(loader);
        WriteWholeFile(victim, "kept");
        WritePrivateProfileStringA("DESCRIPTION", "LOADER", loader.empty() ? nullptr : loader.c_str(), "SOUNDCFG.INI");
        HWND explorer = loader.empty() ? CreateOfClass("CabinetWClass", FolderProc) : nullptr;
        supportLibrary = LoadLibraryA("shlwapi.dll");
        dll32Call = FakeDll32Call;
        steps.clear();
        {
            DialogAnswerer answerer(IDYES);
            FinishUninstall(page);
        }
        std::vector<std::string> expected = {"kill page 1", Box(kDone, "page", MB_ICONINFORMATION | MB_SETFOREGROUND)};
        if (explorer)
            expected.insert(expected.end(), {"close folder", "delete VTAPLT.CPL",
                                             "run \"" + SystemFile("control.exe") + "\" 8"});
        expected.insert(expected.end(), {"DLL32Call 1", "free shlwapi.dll", "delete VTHLP32.DLL", "end"});
        EXPECT_EQ(expected, steps);
        EXPECT_TRUE(Exists(victim));
        EXPECT_EQ(!loader.empty(), Exists(SystemFile("VTAPLT.CPL")));
        DestroyWindow(explorer);
        PutPackageBack();
        tray = trayWindow = CreateOfClass("Veltrona Control", TrayProc);
    }
    DeleteFileA(victim.c_str());
}

std::set<std::string> SystemFolderFiles()
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(SystemFile("*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(found.cFileName);
    FindClose(search);
    return names;
}

// The full uninstall; it removes the card, so it runs in a prefix of its own.
TEST_F(Uninstall, FullUninstallRemovesTheCardAndEndsTheProgram)
{
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKeyPath) && KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey));
    const std::set<std::string> before = SystemFolderFiles();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));

    DialogAnswerer answerer(IDYES);
    PressUninstall();
    EXPECT_EQ(1, answerer.warnings);
    EXPECT_EQ(std::vector<std::string>{"DLL32Call 0"}, FileTrace(log_));
    EXPECT_NE(nullptr, dll32Call);
    EXPECT_FALSE(Enabled(IDC_TEST_ALL) || Enabled(IDC_UNINSTALL));
    EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), GetCursor());
    EXPECT_EQ(std::vector<std::string>{"timer page 1 4000"}, steps);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKeyPath)); // only started
    EXPECT_TRUE(IsWindow(tray));

    steps.clear();
    SendMessageA(page, WM_TIMER, kUninstallTimer, 0);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), GetCursor());
    EXPECT_EQ((std::vector<std::string>{"DLL32Call 0", "DLL32Call 1"}), FileTrace(log_));
    EXPECT_EQ((std::vector<std::string>{"kill page 1", Box(kDone, "page", MB_ICONINFORMATION | MB_SETFOREGROUND),
                                        "delete VTAPLT.CPL", "free vthlp32.dll", "delete VTHLP32.DLL", "end"}),
              steps);
    EXPECT_EQ(kDone, answerer.Boxes().at(0).text);

    // The library removed the card; the program deleted exactly its two files.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKeyPath) || KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey));
    EXPECT_FALSE(Exists(WindowsFile("SOUNDCFG.INI")));
    std::set<std::string> gone;
    for (const std::string &name : before)
        if (!Exists(SystemFile(name.c_str())))
            gone.insert(name);
    EXPECT_EQ((std::set<std::string>{"VTAPLT.CPL", "VTHLP32.DLL", "fleft.wav", "fright.wav", "rleft.wav", "rright.wav",
                                     "center.wav", "subw.wav", "left.wav", "right.wav"}),
              gone);
    EXPECT_EQ(nullptr, GetModuleHandleA("VTHLP32.DLL"));
    EXPECT_FALSE(IsWindow(tray));
    dll32Call = nullptr;
    supportLibrary = nullptr;
}

} // namespace
