// The driver uninstall, run in a prefix where the card and its package are
// installed: the refusals, the confirmation, the support library's two steps,
// the files deleted from the system directory and the end of the program.
// The system calls that finish it are seen through the program's imports, in
// order, as one list of steps.
#include "app/app.h"
#include "app/messages.h"
#include "pages/general/general_page.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/speaker_test.h"
#include "speakers/uninstall.h"

#include "harness.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
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
const char kPackageStateKey[] = "Software\\VirtualCard\\Package";
const char kCardPciKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1D7F&DEV_0560&SUBSYS_05601D7F&REV_01";
const char *const kSynthesizerKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA SoftSynthesizer S-YXG50",
};

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(HKEY root, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::set<std::string> SystemFolderFiles()
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(SystemFile("*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// --- The steps the program takes, as the system sees them -----------------

std::vector<std::string> steps;
HWND panel = nullptr, page = nullptr, tray = nullptr;
DWORD clock = 0; // the time the program reads, when a test sets it
ImportHook *hooks[7];

std::string Who(HWND window)
{
    return !window ? "none" : window == page ? "page" : window == panel ? "panel" : window == tray ? "tray" : "other";
}

std::string FileName(const char *path)
{
    const char *slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

std::string BoxStep(const char *text, const std::string &owner, UINT style);
int WINAPI StepBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    steps.push_back(BoxStep(text, Who(owner), style));
    return hooks[0]->Original<decltype(&MessageBoxA)>()(owner, text, caption, style);
}
BOOL WINAPI StepDelete(LPCSTR path)
{
    steps.push_back("delete " + FileName(path));
    return hooks[1]->Original<decltype(&DeleteFileA)>()(path);
}
UINT WINAPI StepRun(LPCSTR command, UINT show)
{
    steps.push_back("run " + std::string(command) + " " + std::to_string(show));
    return 33; // started, as far as the program can tell; nothing is run
}
BOOL WINAPI StepFree(HMODULE module)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, sizeof path);
    steps.push_back("free " + FileName(CharLowerA(path)));
    return hooks[3]->Original<decltype(&FreeLibrary)>()(module);
}
BOOL WINAPI StepKillTimer(HWND window, UINT_PTR id)
{
    steps.push_back("kill " + Who(window) + " " + std::to_string(id));
    return hooks[4]->Original<decltype(&KillTimer)>()(window, id);
}
UINT_PTR WINAPI StepSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
{
    steps.push_back("timer " + Who(window) + " " + std::to_string(id) + " " + std::to_string(period));
    return hooks[5]->Original<decltype(&SetTimer)>()(window, id, period, procedure);
}
DWORD WINAPI Clock()
{
    return clock ? clock : hooks[6]->Original<decltype(&GetTickCount)>()();
}

// Answers the warning dialog (after trying Esc, the close box and Cancel on
// it) with a button, or with Enter (0), and records it; message boxes are
// answered as MessageBoxCapture does.
class DialogAnswerer : public MessageBoxCapture {
public:
    explicit DialogAnswerer(int warningAnswer) : warningAnswer_(warningAnswer) {}

    int warnings = 0;
    std::string warningText;
    HWND warningOwner = nullptr;

protected:
    void OtherDialog(HWND window) override
    {
        HWND edit = GetDlgItem(window, IDC_WARNING_TEXT);
        if (!edit || answered_.count(window))
            return; // not the warning, or activated again
        answered_.insert(window);
        ++warnings;
        char text[256];
        GetWindowTextA(edit, text, sizeof text);
        warningText = text;
        warningOwner = GetWindow(window, GW_OWNER);
        // None of these may end the dialog; they are handled before the answer.
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        if (warningAnswer_)
            PostMessageA(GetDlgItem(window, warningAnswer_), BM_CLICK, 0, 0);
        else
            PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    }

private:
    int warningAnswer_;
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
    if (message == WM_CLOSE) {
        steps.push_back("close folder");
        return 0; // stays, so the test can see it was asked
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateOfClass(const char *className, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void WINAPI FakeDll32Call(DWORD step)
{
    steps.push_back("DLL32Call " + std::to_string(step));
}

// A message box as the steps show it: the start of its text, its owner and style.
std::string BoxStep(const char *text, const std::string &owner, UINT style)
{
    char line[64];
    snprintf(line, sizeof line, " owner=%s style=0x%x", owner.c_str(), style);
    return "box " + std::string(text).substr(0, 20) + line;
}
std::string Box(const char *text, const char *owner, UINT style)
{
    return BoxStep(text, owner, style | MB_SETFOREGROUND);
}
const char kDone[] = "Sonaris audio devices and drivers are removed successfully!";
const char kRefused[] = "You must remove YAMAHA Soft Synthesizer S-YXG50 software";

// The page hosted in the panel, the hidden tray window, the support library's
// record in a log file, and the package's two files kept to be put back.
class Uninstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        LoadMessageCaption();
        // A library held from an earlier case: the page's creation lets go of it.
        supportLibrary = reinterpret_cast<HMODULE>(1);
        dll32Call = FakeDll32Call;
        OpenPanel();
        ASSERT_NE(page, nullptr);
        ASSERT_EQ(supportLibrary, nullptr);
        ASSERT_EQ(dll32Call, nullptr);
        tray = trayWindow = CreateOfClass("Veltrona Control", TrayProc);
        ASSERT_NE(trayWindow, nullptr);
        log = folder.File("vcard.log");
        SetEnvironmentVariableA("VCARD_LOG", log.c_str());
        for (const char *name : {"VTHLP32.DLL", "VTAPLT.CPL"})
            CopyFileA(SystemFile(name).c_str(), folder.File(name).c_str(), FALSE);
        steps.clear();
        clock = 0;
        const struct { const char *dll, *function; const void *step; } kHooks[] = {
            {"user32.dll", "MessageBoxA", reinterpret_cast<const void *>(StepBox)},
            {"kernel32.dll", "DeleteFileA", reinterpret_cast<const void *>(StepDelete)},
            {"kernel32.dll", "WinExec", reinterpret_cast<const void *>(StepRun)},
            {"kernel32.dll", "FreeLibrary", reinterpret_cast<const void *>(StepFree)},
            {"user32.dll", "KillTimer", reinterpret_cast<const void *>(StepKillTimer)},
            {"user32.dll", "SetTimer", reinterpret_cast<const void *>(StepSetTimer)},
            {"kernel32.dll", "GetTickCount", reinterpret_cast<const void *>(Clock)},
        };
        for (int i = 0; i < 7; ++i) {
            hooks[i] = new ImportHook(kHooks[i].dll, kHooks[i].function, kHooks[i].step);
        }
    }

    void TearDown() override
    {
        for (ImportHook *&hook : hooks) {
            delete hook;
            hook = nullptr;
        }
        SetEnvironmentVariableA("VCARD_LOG", nullptr);
        if (IsWindow(tray))
            DestroyWindow(tray);
        DestroyWindow(panel);
        for (const char *key : kSynthesizerKeys)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        RegDeleteKeyA(HKEY_CURRENT_USER, kPackageStateKey);
        WritePrivateProfileStringA("DESCRIPTION", "LOADER", "VTAPLT.CPL", "SOUNDCFG.INI");
        if (!dll32Call && supportLibrary)
            FreeLibrary(supportLibrary); // a library without the export stays loaded
        supportLibrary = nullptr;
        dll32Call = nullptr;
        for (const char *name : {"VTHLP32.DLL", "VTAPLT.CPL"})
            CopyFileA(folder.File(name).c_str(), SystemFile(name).c_str(), FALSE);
    }

    std::string Log()
    {
        std::string text;
        HANDLE file = CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return text;
        char buffer[4096];
        DWORD read;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
            text.append(buffer, read);
        CloseHandle(file);
        return text;
    }

    // The control panel, modeless, on its General tab.
    void OpenPanel()
    {
        if (IsWindow(panel))
            DestroyWindow(panel);
        panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        page = currentPageWindow;
    }
    // Another tab, as the user chooses it: the page's window goes.
    void ShowTab(int index)
    {
        ChooseTab(panel, index);
        page = currentPageWindow;
    }

    // The page's "&Uninstall" button, as the user presses it.
    void PressUninstall() { SendDlgItemMessageA(page, IDC_UNINSTALL, BM_CLICK, 0, 0); }

    bool ButtonEnabled(int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }

    // Runs the message loop until the resident window is gone (at most 8 s).
    void WaitForTheEnd()
    {
        for (DWORD start = GetTickCount(); IsWindow(tray) && GetTickCount() - start < 8000;) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        }
    }

    TempFolder folder;
    std::string log;
};

// A synthesizer's key (either spelling) refuses with message 52 alone; "&No",
// or Enter, does nothing, and no wait follows. A playing test is stopped first.
TEST_F(Uninstall, TheSynthesizerOrANoLeavesEverythingAsItWas)
{
    for (const char *name : kSynthesizerKeys) {
        SCOPED_TRACE(name);
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, name, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        steps.clear();
        DialogAnswerer answerer(IDYES);
        PressUninstall();
        EXPECT_EQ(answerer.warnings, 0);
        EXPECT_EQ(steps, std::vector<std::string>{Box(kRefused, "page", MB_ICONWARNING)});
        EXPECT_EQ(answerer.Boxes().at(0).caption, "Sonaris Control Panel");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, name);
    }
    for (int answer : {IDNO, 0}) {
        SCOPED_TRACE(answer);
        steps.clear();
        testPlaying = 1;
        DialogAnswerer answerer(answer);
        PressUninstall();
        EXPECT_EQ(testPlaying, 0);
        EXPECT_EQ(answerer.warnings, 1);
        EXPECT_EQ(answerer.warningText, "Do you really want to uninstall audio devices\r\nand drivers?");
        EXPECT_EQ(answerer.warningOwner, panel); // the page's top-level window
        EXPECT_TRUE(steps.empty());
        EXPECT_EQ(Log(), "");
        EXPECT_EQ(supportLibrary, nullptr);
        EXPECT_TRUE(ButtonEnabled(IDC_UNINSTALL));
    }
    EXPECT_TRUE(Exists(SystemFile("VTHLP32.DLL")));
    EXPECT_TRUE(Exists(SystemFile("VTAPLT.CPL")));
}

TEST_F(Uninstall, WithoutTheSupportLibraryNothingFollowsTheWait)
{
    std::string aside = folder.File("moved.dll");
    ASSERT_TRUE(MoveFileA(SystemFile("VTHLP32.DLL").c_str(), aside.c_str()));
    DialogAnswerer answerer(IDYES);
    PressUninstall();
    EXPECT_EQ(answerer.warnings, 1);
    EXPECT_TRUE(steps.empty()); // no timer, no message
    EXPECT_EQ(supportLibrary, nullptr);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT)); // left as it is
    EXPECT_TRUE(IsWindow(tray));
    EXPECT_TRUE(MoveFileA(aside.c_str(), SystemFile("VTHLP32.DLL").c_str()));
}

// Without the export the buttons stay, a second press reloads the library,
// and the program ends when timer 1 fires, having removed nothing.
TEST_F(Uninstall, ALibraryWithoutTheExportEndsTheProgramAtTheTimer)
{
    ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), SystemFile("VTHLP32.DLL").c_str(), FALSE));
    DialogAnswerer answerer(IDYES);
    PressUninstall();
    EXPECT_TRUE(ButtonEnabled(IDC_UNINSTALL));
    PressUninstall();
    EXPECT_EQ(answerer.warnings, 2);
    EXPECT_EQ(dll32Call, nullptr);
    WaitForTheEnd();
    const std::vector<std::string> expected = {"timer page 1 4000", "free vthlp32.dll", "timer page 1 4000",
                                               "kill page 1", "end"};
    EXPECT_EQ(steps, expected);
    EXPECT_TRUE(Exists(SystemFile("VTAPLT.CPL")));
    EXPECT_EQ(Log(), "");
}

// The page goes away (another tab, OK, Cancel) while timer 1 waits: the
// removal still finishes when it would have with its page, message 48 above
// the panel (or the resident window once the panel is gone too), and kills
// no timer but its own. A page shown meanwhile does not forget it. The test
// stands in for the export once the library loaded.
TEST_F(Uninstall, AnUninstallOutlivesItsPage)
{
    ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), SystemFile("VTHLP32.DLL").c_str(), FALSE));
    for (bool panelStays : {true, false}) {
        SCOPED_TRACE(panelStays);
        OpenPanel(); // a new page, its buttons on
        if (!IsWindow(tray))
            tray = trayWindow = CreateOfClass("Veltrona Control", TrayProc);
        DialogAnswerer answerer(IDYES);
        clock = 100000;
        PressUninstall();
        ASSERT_NE(supportLibrary, nullptr);
        dll32Call = FakeDll32Call;
        clock = 102500; // 2.5 s later
        steps.clear();
        ShowTab(1);
        EXPECT_TRUE(UninstallDetached());
        clock = 0;
        ASSERT_EQ(steps.size(), 2u);
        EXPECT_EQ(steps[0], "kill page 1");
        EXPECT_EQ(steps[1], "timer none 0 1500");
        ShowTab(0);
        EXPECT_EQ(dll32Call, FakeDll32Call);
        EXPECT_FALSE(ButtonEnabled(IDC_TEST_ALL));
        EXPECT_FALSE(ButtonEnabled(IDC_UNINSTALL));
        if (!panelStays) {
            DestroyWindow(panel);
            panel = nullptr;
        }
        steps.clear();
        WaitForTheEnd();
        EXPECT_FALSE(UninstallDetached());
        ASSERT_GE(steps.size(), 2u);
        EXPECT_EQ(steps[0].substr(0, 5), "kill ");
        EXPECT_NE(steps[0], "kill none 1");
        EXPECT_EQ(steps[1], Box(kDone, panelStays ? "panel" : "tray", MB_ICONINFORMATION));
        EXPECT_EQ(steps.back(), "end");
        for (const char *name : {"VTHLP32.DLL", "VTAPLT.CPL"})
            CopyFileA(folder.File(name).c_str(), SystemFile(name).c_str(), FALSE);
        ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), SystemFile("VTHLP32.DLL").c_str(), FALSE));
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
        CloseHandle(CreateFileA(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        WritePrivateProfileStringA("DESCRIPTION", "LOADER", loader.empty() ? nullptr : loader.c_str(),
                                   "SOUNDCFG.INI");
        HWND explorer = loader.empty() ? CreateOfClass("CabinetWClass", FolderProc) : nullptr;
        supportLibrary = LoadLibraryA("shlwapi.dll");
        dll32Call = FakeDll32Call;
        steps.clear();
        {
            DialogAnswerer answerer(IDYES);
            FinishUninstall(page);
        }
        std::vector<std::string> expected = {"kill page 1", Box(kDone, "page", MB_ICONINFORMATION)};
        if (explorer)
            expected.insert(expected.end(), {"close folder", "delete VTAPLT.CPL", "run \"" + SystemFile("control.exe") + "\" 8"});
        expected.insert(expected.end(), {"DLL32Call 1", "free shlwapi.dll", "delete VTHLP32.DLL", "end"});
        EXPECT_EQ(steps, expected);
        EXPECT_TRUE(Exists(victim));
        EXPECT_EQ(Exists(SystemFile("VTAPLT.CPL")), !loader.empty());
        if (explorer)
            DestroyWindow(explorer);
        for (const char *name : {"VTHLP32.DLL", "VTAPLT.CPL"})
            CopyFileA(folder.File(name).c_str(), SystemFile(name).c_str(), FALSE);
        tray = trayWindow = CreateOfClass("Veltrona Control", TrayProc);
    }
    DeleteFileA(victim.c_str());
}

// The full uninstall; it removes the card, so it runs in a prefix of its own.
TEST_F(Uninstall, FullUninstallRemovesTheCardAndEndsTheProgram)
{
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey));
    std::set<std::string> filesBefore = SystemFolderFiles();
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);

    DialogAnswerer answerer(IDYES);
    PressUninstall();
    EXPECT_EQ(answerer.warnings, 1);
    EXPECT_EQ(Log(), "DLL32Call 0\r\n");
    EXPECT_NE(dll32Call, nullptr);
    EXPECT_FALSE(ButtonEnabled(IDC_TEST_ALL));
    EXPECT_FALSE(ButtonEnabled(IDC_UNINSTALL));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(steps, std::vector<std::string>{"timer page 1 4000"});
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey)); // only started
    EXPECT_TRUE(IsWindow(tray));

    steps.clear();
    SendMessageA(page, WM_TIMER, kUninstallTimer, 0);
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(Log(), "DLL32Call 0\r\nDLL32Call 1\r\n");
    const std::vector<std::string> expected = {"kill page 1", Box(kDone, "page", MB_ICONINFORMATION),
                                               "delete VTAPLT.CPL", "free vthlp32.dll", "delete VTHLP32.DLL", "end"};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(answerer.Boxes().at(0).text, "Sonaris audio devices and drivers are removed successfully!");

    // The library removed the card; the program deleted exactly its two files.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey));
    EXPECT_FALSE(Exists(WindowsFile("SOUNDCFG.INI")));
    std::set<std::string> gone;
    for (const std::string &name : filesBefore)
        if (!Exists(SystemFile(name.c_str())))
            gone.insert(name);
    const std::set<std::string> expectedGone = {"VTAPLT.CPL", "VTHLP32.DLL", "fleft.wav", "fright.wav",
                                                "rleft.wav", "rright.wav", "center.wav", "subw.wav",
                                                "left.wav", "right.wav"};
    EXPECT_EQ(gone, expectedGone);
    EXPECT_TRUE(Exists(SystemFile("QA3DLoad.dll")));
    EXPECT_EQ(GetModuleHandleA("VTHLP32.DLL"), nullptr);
    EXPECT_FALSE(IsWindow(tray));
    dll32Call = nullptr;
    supportLibrary = nullptr;
}

} // namespace
