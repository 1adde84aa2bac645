// The shipped vtpanel.exe over many cycles, driven from this second program
// in a prefix where the card is installed: the panel opened and closed, Apply
// pressed, speaker tests played and tabs switched, again and again. After
// every step no DirectSound object of the card is left (the card's record
// counts creations and releases); over the run the process's handles, GDI
// and USER objects and memory do not grow. Then, with libraries and a
// "control.exe" planted in its current directory, the program still loads
// the driver package's own and starts the system's Control Panel.
//
//   soak_test VTPANEL.EXE EXCHANGE-FOLDER [OPENINGS APPLIES TESTS]
#include "harness.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>

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

const DWORD kApply = 1049, kTab = 1062, kReverb = 1053, kTestAll = 1093, kUninstall = 1082, kOpen = 40008;
const DWORD kExit = 40002;

std::string program, exchange, recordFile;
int openings = 500, applies = 500, speakerTests = 200;

std::string Folder(UINT (WINAPI *get)(LPSTR, UINT), const char *name)
{
    char folder[MAX_PATH];
    get(folder, sizeof folder);
    return std::string(folder) + "\\" + name;
}

// The card's record as vtpanel.exe appends it, read on from where it was
// left: the DirectSound objects it holds, and the lines seen.
struct Record {
    LONGLONG offset = 0;
    int liveDirectSounds = 0;
    int made = 0; // DirectSound objects and buffers the card made
    std::vector<std::string> marks; // lines of the events a test looks for

    void Update()
    {
        std::string text = ReadWholeFile(recordFile, offset);
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            std::string line = text.substr(start, end - start);
            if (line.compare(0, 10, "ds.create ") == 0)
                ++liveDirectSounds, ++made;
            else if (line.compare(0, 10, "ds.buffer ") == 0 && line.find(" buf=0 ") == std::string::npos)
                ++made;
            else if (line.compare(0, 11, "ds.release ") == 0)
                --liveDirectSounds;
            else if (line.find("A3DHook") != std::string::npos || line.compare(0, 9, "DLL32Call") == 0)
                marks.push_back(line);
        }
        offset += static_cast<LONGLONG>(start); // a line still being written is read next time
    }
    bool Settled()
    {
        Update();
        return liveDirectSounds == 0;
    }
};

// What the process holds, as the system reports it to another process, and
// its resident memory as Linux counts it for Wine's process.
struct Figures {
    DWORD handles = 0, gdi = 0, user = 0, windows = 0;
    SIZE_T workingSet = 0, pagefile = 0;
    long residentKb = 0;
};

// Asked of tools/soak-rss, which runs beside this program outside Wine and
// answers through files in the exchange folder.
long ResidentKb()
{
    std::string request = exchange + "\\request", answer = exchange + "\\answer";
    DeleteFileA(answer.c_str());
    if (FILE *f = fopen(request.c_str(), "w"))
        fclose(f);
    long kb = -1;
    if (WaitFor([&] { return GetFileAttributesA(answer.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000)) {
        if (FILE *f = fopen(answer.c_str(), "r")) {
            if (fscanf(f, "%ld", &kb) != 1)
                kb = -1;
            fclose(f);
        }
    }
    DeleteFileA(answer.c_str());
    return kb;
}

// Wine reports no handle, GDI or USER counts of another process; the
// windows a process owns, top-level and child, are counted here instead.
struct WindowCount {
    DWORD process, windows;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam)
{
    reinterpret_cast<WindowCount *>(lParam)->windows++;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM lParam)
{
    WindowCount *count = reinterpret_cast<WindowCount *>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->process) {
        count->windows++;
        EnumChildWindows(window, CountChild, lParam);
    }
    return TRUE;
}

DWORD CountWindows(DWORD processId)
{
    WindowCount count = {processId, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

Figures Measure(DWORD processId)
{
    Figures figures;
    figures.windows = CountWindows(processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return figures;
    // Newer than the systems this program was built for: looked up.
    typedef BOOL(WINAPI * HandleCountProc)(HANDLE, PDWORD);
    if (auto count = reinterpret_cast<HandleCountProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount"))))
        count(process, &figures.handles);
    figures.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    figures.user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, &memory, sizeof memory)) {
        figures.workingSet = memory.WorkingSetSize;
        figures.pagefile = memory.PagefileUsage;
    }
    CloseHandle(process);
    figures.residentKb = ResidentKb();
    return figures;
}

void Print(const char *when, const Figures &f)
{
    printf("%-22s handles %4lu  GDI %4lu  USER %4lu  windows %3lu  working set %6lu kB  private %6lu kB  "
           "resident %6ld kB\n",
           when, f.handles, f.gdi, f.user, f.windows, static_cast<unsigned long>(f.workingSet / 1024),
           static_cast<unsigned long>(f.pagefile / 1024), f.residentKb);
    fflush(stdout);
}

void End(Instance &run)
{
    if (run.Alive()) {
        PostMessageA(Tray(), WM_COMMAND, kExit, 0);
        if (WaitForSingleObject(run.process, 10000) != WAIT_OBJECT_0)
            TerminateProcess(run.process, 99);
    }
    CloseHandle(run.process);
    run = Instance{};
}

class Soak : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(recordFile.c_str());
        SetEnvironmentVariableA("VCARD_LOG", recordFile.c_str());
        WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", "0", "SOUNDCFG.INI");
        // Test sounds end at once: a test's length is the page's ticks.
        HKEY card;
        DWORD percent = 0;
        RegCreateKeyA(HKEY_CURRENT_USER, "Software\\VirtualCard", &card);
        RegSetValueExA(card, "PlayTimePercent", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&percent), 4);
        RegCloseKey(card);
    }
    void TearDown() override { End(run_); }

    // One step of the user, then the program back at rest: no DirectSound
    // object held and its window answering.
    void Step(const char *what, int cycle, const std::function<bool()> &step)
    {
        SCOPED_TRACE(std::string(what) + " " + std::to_string(cycle));
        ASSERT_TRUE(step());
        ASSERT_TRUE(WaitFor([&] { return record_.Settled(); })) << record_.liveDirectSounds << " objects held";
        DWORD_PTR answer;
        ASSERT_NE(0, SendMessageTimeoutA(Tray(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    }

    Instance run_;
    Record record_;
};

TEST_F(Soak, ManyCyclesLeaveNothingBehind)
{
    run_ = Start(program, "");
    ASSERT_TRUE(WaitFor([] { return Tray() != nullptr; }));
    HWND panel = nullptr;
    auto open = [&] {
        PostMessageA(Tray(), WM_COMMAND, kOpen, 0);
        return WaitFor([&] { return (panel = DialogOf(run_.id, "Sonaris Control Panel")) && Page(panel); });
    };
    auto close = [&] {
        Click(panel, IDCANCEL);
        return WaitFor([&] { return !IsWindow(panel); });
    };
    // A warm-up: what the first opening loads for good is not growth.
    for (int i = 0; i < 3; ++i)
        Step("warm-up", i, [&] { return open() && close(); });
    Figures start = Measure(run_.id);
    Print("start", start);
    int cycle = 0, total = openings + applies + speakerTests;
    auto progress = [&] {
        if (++cycle % 100 == 0 || cycle == total)
            Print(("after " + std::to_string(cycle) + " cycles").c_str(), Measure(run_.id));
    };

    for (int i = 0; i < openings; ++i) {
        Step("opening", i, [&] { return open() && close(); });
        progress();
    }

    ASSERT_TRUE(open());
    HWND tab = GetDlgItem(panel, kTab);
    auto selectTab = [&](int index) {
        PostMessageA(tab, WM_KEYDOWN, index ? VK_RIGHT : VK_LEFT, 0);
        PostMessageA(tab, WM_KEYUP, index ? VK_RIGHT : VK_LEFT, 0);
        return WaitFor([&] { return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == index && Page(panel); });
    };
    ASSERT_TRUE(selectTab(1));
    for (int i = 0; i < applies; ++i) {
        Step("Apply", i, [&] {
            Click(Page(panel), kReverb); // a change, which enables Apply
            if (!WaitFor([&] { return IsWindowEnabled(GetDlgItem(panel, kApply)) != 0; }))
                return false;
            Click(panel, kApply);
            return WaitFor([&] { return !IsWindowEnabled(GetDlgItem(panel, kApply)); });
        });
        progress();
    }

    for (int i = 0; i < speakerTests; ++i) {
        Step("speaker test", i, [&] {
            // To General and its "&Test All", which ends when every sound has.
            if (!selectTab(0))
                return false;
            Click(Page(panel), kTestAll);
            if (!WaitFor([&] { record_.Update(); return record_.liveDirectSounds > 0; }, 2000))
                return false;
            return WaitFor([&] { return record_.Settled(); }) && selectTab(1);
        });
        progress();
    }
    ASSERT_TRUE(close());

    Figures end = Measure(run_.id);
    Print("end", end);
    // Nothing the steps made may pile up. The card itself keeps its record
    // (2 MB at most) and every object it made after its release (to catch
    // late calls); the system some of its own.
    const SIZE_T kept = 2048 * 1024 + static_cast<SIZE_T>(record_.made) * 256 + 2048 * 1024;
    printf("%d objects made by the card; growth allowed for what it and the system keep: %lu kB\n", record_.made,
           static_cast<unsigned long>(kept / 1024));
    if (!start.handles || !start.gdi || !start.user)
        printf("handle, GDI or USER counts of another process are not reported here (0): not compared\n");
    if (start.handles)
        EXPECT_LE(end.handles, start.handles + 4);
    if (start.gdi)
        EXPECT_LE(end.gdi, start.gdi + 4);
    if (start.user)
        EXPECT_LE(end.user, start.user + 4);
    ASSERT_NE(0u, start.windows); // the hidden window at least
    EXPECT_EQ(start.windows, end.windows);
    EXPECT_LE(end.pagefile, start.pagefile + kept);
    if (start.residentKb > 0)
        EXPECT_LE(end.residentKb, start.residentKb + static_cast<long>(kept / 1024));
}

// Libraries loaded by bare name and "control.exe", planted in the current
// directory of a program installed elsewhere, on a system that searches the
// current directory before the system directory (as Windows 2000 does):
// the driver package's own libraries and the system's Control Panel run.
TEST_F(Soak, PlantedLibrariesAndProgramsAreNotUsed)
{
    // Searched before the system directory, as Windows 2000 does.
    HKEY session;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                                           &session));
    DWORD unsafe = 0;
    RegSetValueExA(session, "SafeDllSearchMode", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&unsafe), 4);

    // Each library planted as a copy of the other: neither has the other's
    // exports, so the record tells which was loaded. The planted
    // "control.exe" is this program, which leaves a mark when run by that name.
    CreateDirectoryA("C:\\vtapp", nullptr);
    CreateDirectoryA("C:\\plant", nullptr);
    std::string installed = "C:\\vtapp\\vtpanel.exe";
    ASSERT_TRUE(CopyFileA(program.c_str(), installed.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(Folder(GetSystemDirectoryA, "QA3DLoad.dll").c_str(), "C:\\plant\\VTHLP32.DLL", FALSE));
    ASSERT_TRUE(CopyFileA(Folder(GetSystemDirectoryA, "VTHLP32.DLL").c_str(), "C:\\plant\\QA3DLoad.dll", FALSE));
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    ASSERT_TRUE(CopyFileA(self, "C:\\plant\\control.exe", FALSE));
    DeleteFileA("C:\\plant\\planted-control-ran");

    // An Explorer folder window, which the uninstall closes before it
    // reopens the Control Panel.
    WNDCLASSA folderClass = {};
    folderClass.lpfnWndProc = DefWindowProcA;
    folderClass.hInstance = GetModuleHandleA(nullptr);
    folderClass.lpszClassName = "CabinetWClass";
    RegisterClassA(&folderClass);
    HWND folder = CreateWindowExA(0, "CabinetWClass", "Control Panel", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, folderClass.hInstance, nullptr);

    run_ = Start(installed, "OPEN", "C:\\plant");
    HWND panel = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (panel = DialogOf(run_.id, "Sonaris Control Panel")) && Page(panel); }));
    Click(Page(panel), kUninstall);
    HWND warning = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (warning = DialogOf(run_.id, "Warning")) != nullptr; }));
    Click(warning, IDYES);
    // Message 48 at the end of the removal, answered.
    HWND done = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (done = MessageBoxOf(run_.id)) != nullptr; }, 15000));
    PostMessageA(done, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !run_.Alive(); }, 15000));
    record_.Update();
    EXPECT_EQ((std::vector<std::string>{"InstallA3DHook 0x00600000", "DLL32Call 0", "DLL32Call 1", "RemoveA3DHook"}),
              record_.marks);
    EXPECT_FALSE(IsWindow(folder)); // closed, so the Control Panel was started again
    Sleep(2000);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\plant\\planted-control-ran"));

    RegDeleteValueA(session, "SafeDllSearchMode");
    RegCloseKey(session);
}

} // namespace

int main(int argc, char **argv)
{
    // Run as the planted "control.exe": leave the mark and end.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    if (lstrcmpiA(strrchr(self, '\\') + 1, "control.exe") == 0) {
        std::string mark = std::string(self, strrchr(self, '\\') - self) + "\\planted-control-ran";
        if (FILE *f = fopen(mark.c_str(), "w"))
            fclose(f);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: soak_test VTPANEL.EXE EXCHANGE-FOLDER [OPENINGS APPLIES TESTS]\n");
        return 2;
    }
    program = Folder(GetSystemDirectoryA, "vtpanel.exe");
    if (!CopyFileA(argv[1], program.c_str(), FALSE))
        return 2;
    exchange = argv[2];
    if (argc >= 6) {
        openings = atoi(argv[3]);
        applies = atoi(argv[4]);
        speakerTests = atoi(argv[5]);
    }
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    recordFile = std::string(temp) + "vtpanel-soak.log";
    return RUN_ALL_TESTS();
}
