// The shipped vtpanel.exe over many cycles, driven from this second program
// in a prefix where the card is installed: the panel opened and closed, Apply
// pressed, speaker tests played and tabs switched, again and again. After
// every step no DirectSound object, buffer or property set of the card is
// left (by the card's ledger of what the process holds); over the run the
// windows of the process come back to their number, its memory and what it
// holds of the card do not grow, and after Exit it holds nothing of the card,
// the driver package's libraries included. Then, with
// libraries and a "control.exe" planted in its current directory, the
// program still loads the driver package's own and starts the system's
// Control Panel.
//
//   soak_test VTPANEL.EXE OPENINGS APPLIES TESTS
#include "harness.h"

#include "resource.h"

#include <psapi.h>

#include <map>

#include <stdio.h>
#include <stdlib.h>

namespace {

const char recordFile[] = "C:\\soak-record.log"; // the card's record of vtpanel.exe
std::string program;
int openings, applies, speakerTests;

// What a process holds of the card by kind, summed from the card's ledger
// lines, and under "made" the objects the card made for it (kept after their
// release to catch late calls).
const char *const kKinds[] = {"directsound", "buffer", "property-set", "library"};
std::map<std::string, int> Ledger(DWORD process)
{
    std::map<std::string, int> held;
    for (const std::string &line : RecordFileLines(recordFile))
        if (line.compare(0, 7, "ledger ") == 0 && Field(line, "pid") == std::to_string(process)) {
            const std::string kind = Field(line, "kind");
            held[kind] += atoi(Field(line, "change").c_str());
            held["made"] += (kind == "directsound" || kind == "buffer") && Field(line, "change") == "+1";
        }
    return held;
}

// What a process holds as another process sees it: its windows, top-level
// and child, and its memory.
struct Figures { DWORD process, windows = 0; PROCESS_MEMORY_COUNTERS memory = {sizeof memory}; };
BOOL CALLBACK CountWindows(HWND window, LPARAM context)
{
    Figures *figures = reinterpret_cast<Figures *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == figures->process && ++figures->windows && !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
        EnumChildWindows(window, CountWindows, context);
    return TRUE;
}
Figures Measure(DWORD process)
{
    Figures f = {process};
    EnumWindows(CountWindows, reinterpret_cast<LPARAM>(&f));
    HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    GetProcessMemoryInfo(handle, &f.memory, sizeof f.memory);
    CloseHandle(handle);
    printf("windows %3lu  working set %6lu kB  private %6lu kB\n", f.windows,
           static_cast<unsigned long>(f.memory.WorkingSetSize / 1024),
           static_cast<unsigned long>(f.memory.PagefileUsage / 1024));
    return f;
}

class Soak : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(recordFile);
        SetEnvironmentVariableA("VCARD_LOG", recordFile);
        SetDword(HKEY_CURRENT_USER, VCARD_KEY, "PlayTimePercent", 0); // test sounds end at once
    }
    void TearDown() override { run_.Close(); }

    // One step of the user, then the program back at rest: nothing of
    // DirectSound held and its window answering.
    void Step(const char *what, int cycle, const std::function<bool()> &step)
    {
        SCOPED_TRACE(std::string(what) + " " + std::to_string(cycle));
        if (++steps_ % 100 == 0)
            Measure(run_.id);
        ASSERT_TRUE(step());
        ASSERT_TRUE(WaitFor([&] { return HeldOfSound() == 0; }, 5000)) << HeldOfSound() << " held";
        DWORD_PTR answer;
        ASSERT_NE(0, SendMessageTimeoutA(Tray(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    }
    HWND Panel() const { return PanelOf(run_.id); }
    int HeldOfSound() const { auto h = Ledger(run_.id); return h["directsound"] + h["buffer"] + h["property-set"]; }

    Instance run_;
    int steps_ = 0;
};

TEST_F(Soak, ManyCyclesLeaveNothingBehind)
{
    run_ = Start(program, "");
    ASSERT_TRUE(WaitFor([] { return Tray() != nullptr; }, 10000));
    auto open = [&] {
        PostMessageA(Tray(), WM_COMMAND, IDM_OPEN, 0);
        return WaitFor([&] { return Panel() != nullptr; }, 5000);
    };
    auto close = [&] {
        HWND panel = Panel();
        Click(panel, IDCANCEL);
        return WaitFor([&] { return !IsWindow(panel); }, 5000);
    };
    auto apply = [&](HWND panel) {
        Click(Page(panel), IDC_REVERB); // a change, which enables Apply
        if (!WaitFor([&] { return IsWindowEnabled(GetDlgItem(panel, IDC_APPLY)) != 0; }, 5000))
            return false;
        Click(panel, IDC_APPLY);
        return WaitFor([&] { return !IsWindowEnabled(GetDlgItem(panel, IDC_APPLY)); }, 5000);
    };
    // To General and its "&Test All", which ends when every sound has.
    // Its sounds may come and go between two looks at the record: the card
    // made something, then nothing is held.
    auto speakerTest = [&](HWND panel) {
        const int made = Ledger(run_.id)["made"];
        if (!SelectTab(panel, 0))
            return false;
        Click(Page(panel), IDC_TEST_ALL);
        return WaitFor([&] { return Ledger(run_.id)["made"] > made; }, 5000) &&
               WaitFor([&] { return HeldOfSound() == 0; }, 10000) && SelectTab(panel, 1);
    };
    // A warm-up of every kind of step: what the first of each loads for good
    // (the pages, the sounds, the mixer) is not growth.
    ASSERT_NO_FATAL_FAILURE(Step("warm-up", 0, [&] {
        HWND panel = open() ? Panel() : nullptr;
        return panel && SelectTab(panel, 1) && apply(panel) && speakerTest(panel) && close();
    }));
    for (int i = 1; i < 3; ++i)
        ASSERT_NO_FATAL_FAILURE(Step("warm-up", i, [&] { return open() && close(); }));
    Figures start = Measure(run_.id);
    std::map<std::string, int> first = Ledger(run_.id);
    for (int i = 0; i < openings; ++i)
        ASSERT_NO_FATAL_FAILURE(Step("opening", i, [&] { return open() && close(); }));

    ASSERT_TRUE(open());
    HWND panel = Panel();
    ASSERT_TRUE(SelectTab(panel, 1));
    for (int i = 0; i < applies; ++i)
        ASSERT_NO_FATAL_FAILURE(Step("Apply", i, [&] { return apply(panel); }));
    for (int i = 0; i < speakerTests; ++i)
        ASSERT_NO_FATAL_FAILURE(Step("speaker test", i, [&] { return speakerTest(panel); }));
    ASSERT_TRUE(close());

    std::map<std::string, int> last = Ledger(run_.id);
    Figures end = Measure(run_.id);
    ASSERT_NE(0u, start.windows); // the hidden window at least
    EXPECT_EQ(start.windows, end.windows);
    // Nothing the steps made may pile up. The card keeps its record (2 MB at
    // most) and every object it made; the system some of its own, which runs
    // from nothing to over 2 MB from one run to the next: 4 MB for it.
    const SIZE_T kept = 6144 * 1024 + static_cast<SIZE_T>(last["made"]) * 256;
    EXPECT_LE(end.memory.PagefileUsage, start.memory.PagefileUsage + kept);
    EXPECT_LE(end.memory.WorkingSetSize, start.memory.WorkingSetSize + kept);
    ASSERT_TRUE(PostMessageA(Tray(), WM_COMMAND, IDM_EXIT, 0) && run_.ExitCode(10000) == 0); // from the menu
    std::map<std::string, int> exited = Ledger(run_.id);
    for (const char *kind : kKinds) {
        printf("held: %-12s  start %d  end %d  after Exit %d\n", kind, first[kind], last[kind], exited[kind]);
        EXPECT_LE(last[kind], first[kind]) << kind;
        EXPECT_EQ(0, exited[kind]) << kind;
    }
}

// Libraries loaded by bare name and "control.exe", planted in the current
// directory of a program installed elsewhere, on a system that searches the
// current directory before the system directory (as Windows 2000 does):
// the driver package's own libraries and the system's Control Panel run.
TEST_F(Soak, PlantedLibrariesAndProgramsAreNotUsed)
{
    const char kSession[] = "System\\CurrentControlSet\\Control\\Session Manager";
    SetDword(HKEY_LOCAL_MACHINE, kSession, "SafeDllSearchMode", 0);
    // Each library planted as a copy of the other: neither has the other's
    // exports, so the record tells which was loaded. The planted
    // "control.exe" is this program, which leaves a mark when run by that name.
    CreateDirectoryA("C:\\vtapp", nullptr);
    CreateDirectoryA("C:\\plant", nullptr);
    ASSERT_TRUE(CopyFileA(program.c_str(), "C:\\vtapp\\vtpanel.exe", FALSE));
    ASSERT_TRUE(CopyFileA(SystemFile("QA3DLoad.dll").c_str(), "C:\\plant\\VTHLP32.DLL", FALSE));
    ASSERT_TRUE(CopyFileA(SystemFile("VTHLP32.DLL").c_str(), "C:\\plant\\QA3DLoad.dll", FALSE));
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    ASSERT_TRUE(CopyFileA(self, "C:\\plant\\control.exe", FALSE));

    // An Explorer folder window, which the uninstall closes before it
    // reopens the Control Panel.
    const WNDCLASSA folderClass = {0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   "CabinetWClass"};
    RegisterClassA(&folderClass);
    HWND folder = CreateWindowExA(0, "CabinetWClass", "Control Panel", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);

    run_ = Start("C:\\vtapp\\vtpanel.exe", "OPEN", "C:\\plant");
    ASSERT_TRUE(WaitFor([&] { return Panel() != nullptr; }, 10000));
    Click(Page(Panel()), IDC_UNINSTALL);
    HWND warning = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (warning = DialogOf(run_.id, "Warning")) != nullptr; }, 5000));
    Click(warning, IDYES);
    // Message 48 at the end of the removal, answered.
    ASSERT_EQ(1u, AnswerBoxes(run_.id, 1, 15000).size());
    ASSERT_EQ(0u, run_.ExitCode(15000));
    EXPECT_EQ((std::vector<std::string>{"InstallA3DHook 0x00600000", "DLL32Call 0", "DLL32Call 1", "RemoveA3DHook"}),
              FileTrace(recordFile, {"InstallA3DHook", "DLL32Call", "RemoveA3DHook"}));
    EXPECT_FALSE(IsWindow(folder)); // closed, so the Control Panel was started again
    Pump(2000);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\plant\\planted-control-ran"));
    UnregisterClassA("CabinetWClass", nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    // Run as the planted "control.exe": leave the mark and end.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    if (lstrcmpiA(self, "C:\\plant\\control.exe") == 0)
        return WriteWholeFile("C:\\plant\\planted-control-ran", "") ? 0 : 1;
    testing::InitGoogleTest(&argc, argv);
    program = InstallProgram(argc > 4 ? argv[1] : nullptr);
    if (program.empty())
        return 2;
    openings = atoi(argv[2]);
    applies = atoi(argv[3]);
    speakerTests = atoi(argv[4]);
    return RUN_ALL_TESTS();
}
