// The driver uninstall, run in a prefix where the card and its package are
// installed: the refusals, the confirmation, the support library's two steps,
// the files deleted from the system directory and the end of the program.
#include "app/app.h"
#include "app/messages.h"
#include "pages/general/general_page.h"
#include "resource.h"
#include "speakers/speaker_test.h"
#include "speakers/uninstall.h"

#include "capture.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

const char kDriverKey[] = "SOFTWARE\\Veltrona\\Wdm560";
const char kPackageStateKey[] = "Software\\VirtualCard\\Package";
const char kCardPciKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1D7F&DEV_0560&SUBSYS_05601D7F&REV_01";
const char *const kSynthesizerKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA SoftSynthesizer S-YXG50",
};

std::string SystemFile(const char *name)
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + name;
}

std::string WindowsFile(const char *name)
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + name;
}

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

// Processes of this name now running.
std::vector<DWORD> ProcessesNamed(const char *name)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, name) == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

// Answers the warning dialog (after trying Esc, the close box and Cancel on
// it) and every message box of this thread, and records both.
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
        PostMessageA(GetDlgItem(window, warningAnswer_), BM_CLICK, 0, 0);
    }

private:
    int warningAnswer_;
    std::set<HWND> answered_;
};

INT_PTR CALLBACK PanelProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The resident program's hidden window and an Explorer folder window, as the
// uninstall sees them.
int trayDestroyed = 0;
int folderCloses = 0;
LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        ++trayDestroyed;
    return DefWindowProcA(window, message, wParam, lParam);
}
LRESULT CALLBACK FolderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        ++folderCloses;
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

std::string LoadText(UINT id)
{
    char text[1024];
    LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return text;
}

std::vector<DWORD> fakeCalls;
void WINAPI FakeDll32Call(DWORD step)
{
    fakeCalls.push_back(step);
}

// The page hosted in the panel, the hidden tray window, the support library's
// record in a log file, and the package's two files kept to be put back.
class Uninstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        LoadMessageCaption();
        panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        ASSERT_NE(panel, nullptr);
        // A library held from an earlier case: the page's creation lets go of it.
        supportLibrary = reinterpret_cast<HMODULE>(1);
        dll32Call = FakeDll32Call;
        page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_GENERAL), panel, GeneralPageProc,
                                  reinterpret_cast<LPARAM>(&generalPage));
        ASSERT_NE(page, nullptr);
        ASSERT_EQ(supportLibrary, nullptr);
        ASSERT_EQ(dll32Call, nullptr);
        trayWindow = CreateOfClass("Veltrona Control", TrayProc);
        ASSERT_NE(trayWindow, nullptr);
        tray = trayWindow;
        trayDestroyed = folderCloses = 0;
        fakeCalls.clear();
        log = folder.File("vcard.log");
        SetEnvironmentVariableA("VCARD_LOG", log.c_str());
        for (const char *name : {"VTHLP32.DLL", "VTAPLT.CPL"})
            CopyFileA(SystemFile(name).c_str(), folder.File(name).c_str(), FALSE);
    }

    void TearDown() override
    {
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

    // The page's "&Uninstall" button, as the user presses it.
    void PressUninstall() { SendDlgItemMessageA(page, IDC_UNINSTALL, BM_CLICK, 0, 0); }

    bool ButtonEnabled(int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }

    // True when timer 1 was running (it is stopped by the look).
    bool TimerRan() { return KillTimer(page, kUninstallTimer) != 0; }

    // Runs the message loop until the resident window is gone (at most 8 s);
    // returns the time it took.
    DWORD WaitForTheEnd()
    {
        DWORD start = GetTickCount();
        while (IsWindow(tray) && GetTickCount() - start < 8000) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        }
        return GetTickCount() - start;
    }

    TempFolder folder;
    std::string log;
    HWND panel = nullptr, page = nullptr, tray = nullptr;
};

// A synthesizer's key (either spelling) refuses with message 52 alone; "&No"
// does nothing, and no wait follows. A playing test is stopped first.
TEST_F(Uninstall, TheSynthesizerOrANoLeavesEverythingAsItWas)
{
    for (const char *name : kSynthesizerKeys) {
        SCOPED_TRACE(name);
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, name, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        DialogAnswerer answerer(IDYES);
        PressUninstall();
        EXPECT_EQ(answerer.warnings, 0);
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].text, LoadText(IDS_REMOVE_SYNTHESIZER));
        EXPECT_EQ(answerer.Boxes()[0].caption, "Sonaris Control Panel");
        EXPECT_EQ(answerer.Boxes()[0].owner, panel); // the page's top-level window
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, name);
    }
    testPlaying = 1;
    DWORD start = GetTickCount();
    DialogAnswerer answerer(IDNO);
    PressUninstall();
    EXPECT_LT(GetTickCount() - start, 1500u);
    EXPECT_EQ(testPlaying, 0);
    EXPECT_EQ(answerer.warnings, 1);
    EXPECT_EQ(answerer.warningText, "Do you really want to uninstall audio devices\r\nand drivers?");
    EXPECT_EQ(answerer.warningOwner, panel);
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_FALSE(TimerRan());
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(supportLibrary, nullptr);
    EXPECT_TRUE(ButtonEnabled(IDC_UNINSTALL));
    EXPECT_TRUE(Exists(SystemFile("VTHLP32.DLL")));
    EXPECT_TRUE(Exists(SystemFile("VTAPLT.CPL")));
}

TEST_F(Uninstall, WithoutTheSupportLibraryNothingFollowsTheWait)
{
    std::string aside = folder.File("moved.dll");
    ASSERT_TRUE(MoveFileA(SystemFile("VTHLP32.DLL").c_str(), aside.c_str()));
    DWORD start = GetTickCount();
    DialogAnswerer answerer(IDYES);
    PressUninstall();
    EXPECT_GE(GetTickCount() - start, 1450u); // the blocking wait
    EXPECT_EQ(answerer.warnings, 1);
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_EQ(supportLibrary, nullptr);
    EXPECT_FALSE(TimerRan());
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT)); // left as it is
    EXPECT_TRUE(IsWindow(tray));
    EXPECT_TRUE(MoveFileA(aside.c_str(), SystemFile("VTHLP32.DLL").c_str()));
}

// Without the export the buttons stay, a second press reloads the library,
// and the program ends 4000 ms later in real time, having removed nothing.
TEST_F(Uninstall, ALibraryWithoutTheExportEndsTheProgramAfterFourSeconds)
{
    ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), SystemFile("VTHLP32.DLL").c_str(), FALSE));
    DialogAnswerer answerer(IDYES);
    PressUninstall();
    EXPECT_TRUE(ButtonEnabled(IDC_UNINSTALL));
    PressUninstall();
    EXPECT_EQ(answerer.warnings, 2);
    EXPECT_EQ(dll32Call, nullptr);
    ASSERT_TRUE(FreeLibrary(supportLibrary)); // loaded once: the earlier load was freed
    EXPECT_EQ(GetModuleHandleA("VTHLP32.DLL"), nullptr);
    supportLibrary = nullptr;

    DWORD elapsed = WaitForTheEnd();
    EXPECT_FALSE(IsWindow(tray));
    EXPECT_EQ(trayDestroyed, 1);
    EXPECT_GE(elapsed, 3800u);
    EXPECT_LT(elapsed, 6000u);
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_TRUE(Exists(SystemFile("VTAPLT.CPL")));
    EXPECT_EQ(Log(), "");
}

// The page goes away (another tab, OK, Cancel) while timer 1 waits: the
// removal still finishes, without the page, and a page shown meanwhile does
// not forget it. The test stands in for the export once the library loaded.
TEST_F(Uninstall, AnUninstallOutlivesItsPage)
{
    ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), SystemFile("VTHLP32.DLL").c_str(), FALSE));
    DialogAnswerer answerer(IDYES);
    PressUninstall();
    ASSERT_NE(supportLibrary, nullptr);
    dll32Call = FakeDll32Call;
    DestroyWindow(page);
    EXPECT_TRUE(UninstallDetached());
    page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_GENERAL), panel, GeneralPageProc,
                              reinterpret_cast<LPARAM>(&generalPage));
    EXPECT_EQ(dll32Call, FakeDll32Call);
    EXPECT_FALSE(ButtonEnabled(IDC_TEST_ALL));
    EXPECT_FALSE(ButtonEnabled(IDC_UNINSTALL));

    EXPECT_GE(WaitForTheEnd(), 3800u);
    EXPECT_FALSE(IsWindow(tray));
    EXPECT_FALSE(UninstallDetached());
    EXPECT_EQ(fakeCalls, std::vector<DWORD>{1});
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].text, LoadText(IDS_UNINSTALL_DONE));
    EXPECT_FALSE(Exists(SystemFile("VTAPLT.CPL")));
    EXPECT_FALSE(Exists(SystemFile("VTHLP32.DLL")));
    dll32Call = nullptr;
    supportLibrary = nullptr;
}

// The applet file name comes from SOUNDCFG.INI (the default without one),
// and only a bare name is deleted. An open folder window is closed and the
// Control Panel started again, and only then. A stand-in takes the export's place.
TEST_F(Uninstall, OnlyABareAppletNameIsDeletedAndAnOpenFolderReopens)
{
    const std::string victim = WindowsFile("victim.txt");
    const std::string loaders[] = {"..\\victim.txt", "../victim.txt", victim, "C:..\\victim.txt", "..", ""};
    for (const std::string &loader : loaders) {
        SCOPED_TRACE(loader);
        CloseHandle(CreateFileA(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        WritePrivateProfileStringA("DESCRIPTION", "LOADER", loader.empty() ? nullptr : loader.c_str(),
                                   "SOUNDCFG.INI");
        HWND explorer = loader.empty() ? CreateOfClass("CabinetWClass", FolderProc) : nullptr;
        std::vector<DWORD> before = ProcessesNamed("control.exe");
        supportLibrary = LoadLibraryA("shlwapi.dll");
        dll32Call = FakeDll32Call;
        fakeCalls.clear();
        folderCloses = 0;
        {
            DialogAnswerer answerer(IDYES);
            FinishUninstall(page);
            EXPECT_EQ(answerer.Boxes().size(), 1u);
        }
        EXPECT_TRUE(Exists(victim));
        EXPECT_EQ(Exists(SystemFile("VTAPLT.CPL")), !loader.empty());
        EXPECT_FALSE(Exists(SystemFile("VTHLP32.DLL")));
        EXPECT_EQ(fakeCalls, std::vector<DWORD>{1});
        EXPECT_EQ(folderCloses, explorer ? 1 : 0);
        std::vector<DWORD> after = ProcessesNamed("control.exe");
        EXPECT_EQ(after.size(), before.size() + (explorer ? 1 : 0));
        for (DWORD id : after) {
            if (std::find(before.begin(), before.end(), id) != before.end())
                continue;
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        if (explorer)
            DestroyWindow(explorer);
        for (const char *name : {"VTHLP32.DLL", "VTAPLT.CPL"})
            CopyFileA(folder.File(name).c_str(), SystemFile(name).c_str(), FALSE);
    }
    DeleteFileA(victim.c_str());
}

// The full uninstall; it removes the card, so it runs in a prefix of its own.
TEST_F(Uninstall, FullUninstallRemovesTheCardAndEndsTheProgram)
{
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey));
    std::set<std::string> filesBefore = SystemFolderFiles();
    std::vector<DWORD> controlBefore = ProcessesNamed("control.exe");
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
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey)); // only started
    EXPECT_TRUE(IsWindow(tray));

    SendMessageA(page, WM_TIMER, kUninstallTimer, 0);
    EXPECT_FALSE(TimerRan());
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(Log(), "DLL32Call 0\r\nDLL32Call 1\r\n");
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].text, "Sonaris audio devices and drivers are removed successfully!");
    EXPECT_EQ(answerer.Boxes()[0].owner, panel); // the page's top-level window

    // The library removed the card; the program deleted exactly its two files.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCardPciKey));
    EXPECT_FALSE(Exists(WindowsFile("SOUNDCFG.INI")));
    std::set<std::string> gone;
    for (const std::string &name : filesBefore)
        if (!Exists(SystemFile(name.c_str())))
            gone.insert(name);
    const std::set<std::string> expected = {"VTAPLT.CPL", "VTHLP32.DLL", "fleft.wav", "fright.wav",
                                            "rleft.wav", "rright.wav", "center.wav", "subw.wav",
                                            "left.wav", "right.wav"};
    EXPECT_EQ(gone, expected);
    EXPECT_TRUE(Exists(SystemFile("QA3DLoad.dll")));
    EXPECT_EQ(GetModuleHandleA("VTHLP32.DLL"), nullptr);

    // No folder window was open: the Control Panel is not started.
    EXPECT_EQ(ProcessesNamed("control.exe").size(), controlBefore.size());
    EXPECT_FALSE(IsWindow(tray));
    EXPECT_EQ(trayDestroyed, 1);
    dll32Call = nullptr;
    supportLibrary = nullptr;
}

} // namespace
