// Measures vtpanel.exe as it ships, run in a prefix where the card and its
// driver package are installed, side by side with bare programs of the same
// build run in the same prefix, so that Wine's own cost divides out. Prints a
// table: each figure as the median of repeated runs with its range, its
// baseline and their ratio. It asserts nothing about time.
//
//   vtbench VTPANEL.EXE BARE_TRAY.EXE BARE_TRAY_DLLS.EXE BARE_PANEL.EXE BENCH_HOOK.DLL RESULTS.MD
//           [--runs N] [--idle S] [--only tray|panel|apply|record]
//
// How it observes the programs:
// - A hook DLL is set on the program's thread (created suspended) with
//   SetWindowsHookEx; Wine loads it there. Its WH_CALLWNDPROCRET hook stamps
//   the moment a window of interest has handled a sent message: the tray
//   window's WM_CREATE, the panel's WM_DESTROY, the Apply button's WM_ENABLE.
//   Its WH_GETMESSAGE hook counts the messages the thread takes from its
//   queue, by kind, and subclasses a page and its controls when their first
//   WM_PAINT is taken, so that the end of each paint is stamped ("painted").
// - The notification icon is seen here: this program is the shell's tray
//   window, to which Wine's Shell_NotifyIcon sends its WM_COPYDATA.
// - The virtual card's record, with VCARD_LOG_TIME, stamps each DirectSound
//   call (Play, buffer creation) on the same clock.
// - From outside: GetProcessMemoryInfo of the program, and the Unix
//   process's threads in /proc (CPU time and scheduled slices from
//   schedstat, voluntary context switches, resident memory).
#include "bench/bench_shared.h"
#include "virtualcard/vcard.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const UINT kOpen = 40008, kExit = 40002;
const int kTestAll = 1093;
const int kFrontLeft = 1087;

BenchShared *shared;
HMODULE hookModule;
HOOKPROC callWndRet, getMessage;
LONG iconAdds; // NIM_ADD calls seen by the tray window here

// --- Figures ---------------------------------------------------------------

struct Series {
    std::vector<double> values;
    void Add(double v) { values.push_back(v); }
    bool Empty() const { return values.empty(); }
    // Interpolated between the two nearest values: q = 0.5 is the median.
    double Quantile(double q) const
    {
        if (values.empty())
            return 0;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        double at = q * (v.size() - 1);
        size_t below = static_cast<size_t>(at);
        return below + 1 < v.size() ? v[below] + (at - below) * (v[below + 1] - v[below]) : v[below];
    }
    double Median() const { return Quantile(0.5); }
    double Min() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double Max() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

std::string Format(const Series &s, const char *unit, int digits)
{
    if (s.Empty())
        return "—";
    char text[128];
    snprintf(text, sizeof text, "%.*f %s [%.*f–%.*f] n=%u", digits, s.Median(), unit, digits, s.Min(), digits,
             s.Max(), static_cast<unsigned>(s.values.size()));
    return text;
}

struct Row {
    std::string figure, program, baseline, ratio, fastest;
};
std::vector<Row> rows;
std::vector<std::string> notes;

// A row whose figures are given as text.
void AddTextRow(const char *figure, const char *program, const char *baseline, const char *ratio, const char *fastest)
{
    rows.push_back({figure, program, baseline, ratio, fastest});
    printf("%-56s %-38s %-38s %-6s %s\n", figure, program, baseline, ratio, fastest);
    fflush(stdout);
}

// The program's figure over the baseline's taken next to it, run by run;
// none when a run of either failed (the two lists no longer pair up).
Series Paired(const Series &program, const Series &baseline)
{
    Series ratio;
    for (size_t i = 0; program.values.size() == baseline.values.size() && i < program.values.size(); ++i)
        if (baseline.values[i] > 0)
            ratio.Add(program.values[i] / baseline.values[i]);
    return ratio;
}

// Times are taken in turn with their baseline's, run by run or round by
// round: their ratio is the median of the paired ratios, with its quartiles.
void AddRow(const char *figure, const Series &program, const Series *baseline, const char *unit, int digits,
            const char *baselineText = nullptr)
{
    Row row;
    row.figure = figure;
    row.program = Format(program, unit, digits);
    row.baseline = baseline ? Format(*baseline, unit, digits) : (baselineText ? baselineText : "—");
    row.ratio = row.fastest = "—";
    if (baseline && !baseline->Empty() && !program.Empty() && baseline->Median() > 0) {
        char text[64];
        Series ratio = strcmp(unit, "ms") ? Series() : Paired(program, *baseline);
        if (!ratio.Empty())
            snprintf(text, sizeof text, "%.2f [%.2f–%.2f] n=%u", ratio.Median(), ratio.Quantile(0.25),
                     ratio.Quantile(0.75), static_cast<unsigned>(ratio.values.size()));
        else
            snprintf(text, sizeof text, "%.2f", program.Median() / baseline->Median());
        row.ratio = text;
        if (baseline->Min() > 0) {
            snprintf(text, sizeof text, "%.2f", program.Min() / baseline->Min());
            row.fastest = text;
        }
    }
    AddTextRow(figure, row.program.c_str(), row.baseline.c_str(), row.ratio.c_str(), row.fastest.c_str());
}

void Note(const std::string &text)
{
    notes.push_back(text);
    printf("  note: %s\n", text.c_str());
    fflush(stdout);
}

// --- This program as the shell's notification area --------------------------

LRESULT CALLBACK ShellTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        if (data->dwData == NIM_ADD)
            ++iconAdds;
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Handles this program's messages for ms milliseconds (the shell's icon
// calls are sent to it and wait for it).
void Pump(DWORD ms)
{
    long long end = BenchNow() + static_cast<long long>(ms) * 1000;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        long long left = (end - BenchNow()) / 1000;
        if (left <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left < 2 ? left : 2), QS_ALLINPUT);
    }
}

bool WaitFor(const std::function<bool()> &done, DWORD ms = 15000)
{
    for (DWORD start = GetTickCount(); !done(); Pump(2))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

// --- The program under measurement -------------------------------------------

struct Program {
    HANDLE process = nullptr;
    DWORD id = 0;
    long long started = 0; // just before CreateProcess
    bool Alive() const { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
};

std::string systemDir;

std::string Installed(const char *name)
{
    return systemDir + "\\" + name;
}

// Started suspended, the hooks set on its thread, then let run. The record of
// the card is kept (with times) only when record is given.
Program Start(const std::string &exe, const char *arguments, const char *trayClass, const char *record, bool hooks)
{
    lstrcpynA(shared->trayClass, trayClass, sizeof shared->trayClass);
    SetEnvironmentVariableA("VCARD_LOG", record);
    SetEnvironmentVariableA("VCARD_LOG_TIME", record ? "1" : nullptr);
    std::string line = "\"" + exe + "\"" + (arguments && *arguments ? std::string(" ") + arguments : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    Program run;
    iconAdds = 0;
    run.started = BenchNow();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &info)) {
        fprintf(stderr, "vtbench: cannot start %s (%lu)\n", exe.c_str(), GetLastError());
        return run;
    }
    if (hooks) {
        if (!SetWindowsHookExA(WH_CALLWNDPROCRET, callWndRet, hookModule, info.dwThreadId) ||
            !SetWindowsHookExA(WH_GETMESSAGE, getMessage, hookModule, info.dwThreadId))
            fprintf(stderr, "vtbench: hooks not set (%lu)\n", GetLastError());
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    run.process = info.hProcess;
    run.id = info.dwProcessId;
    SetEnvironmentVariableA("VCARD_LOG", nullptr);
    SetEnvironmentVariableA("VCARD_LOG_TIME", nullptr);
    return run;
}

// Forgets every event; only while no watched program runs, so that no slot
// is written while it is cleared.
void ResetEvents()
{
    shared->count = 0;
    shared->retrieved = shared->timers = shared->paints = shared->posted = shared->input = 0;
    memset(shared->events, 0, sizeof shared->events);
}

// The time of the first event of kind from the program at or after index
// from, waiting for it; -1 when none came.
long long WaitEvent(const Program &run, DWORD kind, LONG from, DWORD ms = 15000, LONG *at = nullptr)
{
    long long time = -1;
    WaitFor(
        [&] {
            LONG count = std::min<LONG>(static_cast<LONG>(shared->count), BENCH_MAX_EVENTS);
            for (LONG i = from; i < count; ++i) {
                const BenchEvent &e = shared->events[i];
                if (e.kind == kind && e.process == run.id && e.time) {
                    time = e.time;
                    if (at)
                        *at = i;
                    return true;
                }
            }
            return !run.Alive();
        },
        ms);
    return time;
}

LONG Events()
{
    return std::min<LONG>(static_cast<LONG>(shared->count), BENCH_MAX_EVENTS);
}

// The last paint of a page or of its controls after from, once 300 ms pass
// without another; -1 when there was none.
long long LastPagePaint(const Program &run, LONG from)
{
    long long last = -1;
    LONG seen = from;
    long long quietSince = BenchNow();
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000;) {
        Pump(20);
        LONG count = Events();
        for (LONG i = seen; i < count; ++i) {
            const BenchEvent &e = shared->events[i];
            if (e.kind == kPageAllPainted && e.process == run.id && e.time) {
                last = std::max(last, e.time);
                quietSince = BenchNow();
            }
        }
        seen = count;
        if (BenchNow() - quietSince > 300000)
            break;
    }
    return last;
}

// Every message the program handled or took from its queue after from, as
// a timeline on standard error, for finding where the time goes.
void DumpTrace(const Program &run, LONG from, long long t0, const char *what)
{
    fprintf(stderr, "--- %s\n", what);
    long long previous = t0;
    for (LONG i = from; i < Events(); ++i) {
        const BenchEvent &e = shared->events[i];
        if (e.process != run.id)
            continue;
        char name[32] = "";
        GetClassNameA(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(e.window)), name, sizeof name);
        const char *how = e.kind >= kTraceTaken ? "taken" : e.kind >= kTrace ? "handled" : "event";
        unsigned id = e.kind >= kTraceTaken ? e.kind - kTraceTaken : e.kind >= kTrace ? e.kind - kTrace : e.kind;
        fprintf(stderr, "%9.2f %+8.2f %-8s 0x%04x %08lx %s\n", (e.time - t0) / 1000.0, (e.time - previous) / 1000.0,
                how, id, static_cast<unsigned long>(e.window), name);
        previous = e.time;
    }
}

void End(Program &run, HWND tray)
{
    if (!run.process)
        return;
    if (tray)
        PostMessageA(tray, WM_COMMAND, kExit, 0);
    if (!WaitFor([&] { return !run.Alive(); }, 5000))
        TerminateProcess(run.process, 99);
    WaitForSingleObject(run.process, 5000);
    CloseHandle(run.process);
    run = Program{};
    Pump(200); // the prefix settles before the next start
}

struct FindContext {
    DWORD process;
    const char *className;
    bool panel;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM context)
{
    FindContext *find = reinterpret_cast<FindContext *>(context);
    DWORD owner = 0;
    char name[64];
    GetWindowThreadProcessId(window, &owner);
    if (owner != find->process || !GetClassNameA(window, name, sizeof name) || strcmp(name, find->className))
        return TRUE;
    if (find->panel && (!IsWindowVisible(window) || !GetDlgItem(window, kBenchPanelTab)))
        return TRUE;
    find->found = window;
    return FALSE;
}

HWND TopLevel(const Program &run, const char *className, bool panel)
{
    FindContext find = {run.id, className, panel, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

HWND Panel(const Program &run)
{
    return TopLevel(run, "#32770", true);
}

HWND Page(HWND panel)
{
    for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16];
        if (GetClassNameA(child, name, sizeof name) && strcmp(name, "#32770") == 0)
            return child;
    }
    return nullptr;
}

// --- Outside views of the Unix process --------------------------------------

std::string ReadWhole(const std::string &path, size_t limit = 1 << 20)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD read;
    while (text.size() < limit && ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

std::string prefixEnv; // WINEPREFIX=... of this prefix

// The Unix process of the newest Wine process running exe in this prefix.
int UnixPid(const char *exe)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int best = 0;
    unsigned long long bestStart = 0;
    do {
        int pid = atoi(entry.cFileName);
        if (pid <= 0)
            continue;
        std::string dir = std::string("Z:\\proc\\") + entry.cFileName;
        std::string command = ReadWhole(dir + "\\cmdline", 4096);
        std::replace(command.begin(), command.end(), '\0', ' ');
        std::string lower = command;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        if (lower.find(exe) == std::string::npos)
            continue;
        std::string environment = ReadWhole(dir + "\\environ");
        if (!prefixEnv.empty() && environment.find(prefixEnv + '\0') == std::string::npos)
            continue;
        // Field 22 of stat, after the name in parentheses: the start time.
        std::string stat = ReadWhole(dir + "\\stat", 4096);
        size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        const char *p = stat.c_str() + close + 2;
        unsigned long long start = 0;
        for (int field = 3; field <= 22 && *p; ++field) {
            if (field == 22)
                start = strtoull(p, nullptr, 10);
            p = strchr(p, ' ');
            if (!p)
                break;
            ++p;
        }
        if (start >= bestStart) {
            bestStart = start;
            best = pid;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return best;
}

struct UnixSample {
    double cpuMs = 0;         // schedstat: time on a CPU, all threads
    double slices = 0;        // schedstat: times scheduled in, all threads
    double wakeups = 0;       // voluntary context switches, all threads
    int threads = 0;
    double anonKb = 0, privateKb = 0, pssKb = 0;
};

double Field(const std::string &text, const char *key)
{
    size_t at = text.find(key);
    return at == std::string::npos ? 0 : atof(text.c_str() + at + strlen(key));
}

UnixSample SampleUnix(int pid)
{
    UnixSample s;
    if (!pid)
        return s;
    char dir[64];
    snprintf(dir, sizeof dir, "Z:\\proc\\%d", pid);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((std::string(dir) + "\\task\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (atoi(entry.cFileName) <= 0)
                continue;
            std::string task = std::string(dir) + "\\task\\" + entry.cFileName;
            std::string sched = ReadWhole(task + "\\schedstat", 256);
            unsigned long long ns = 0, wait = 0, slices = 0;
            if (sscanf(sched.c_str(), "%llu %llu %llu", &ns, &wait, &slices) == 3) {
                s.cpuMs += ns / 1e6;
                s.slices += static_cast<double>(slices);
            }
            s.wakeups += Field(ReadWhole(task + "\\status", 8192), "\nvoluntary_ctxt_switches:");
            ++s.threads;
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    std::string status = ReadWhole(std::string(dir) + "\\status", 8192);
    s.anonKb = Field(status, "\nRssAnon:");
    std::string smaps = ReadWhole(std::string(dir) + "\\smaps_rollup", 8192);
    s.privateKb = Field(smaps, "\nPrivate_Clean:") + Field(smaps, "\nPrivate_Dirty:");
    s.pssKb = Field(smaps, "\nPss:");
    return s;
}

// Resident memory by what is mapped (a file's name, or [anonymous]), from smaps.
// Anonymous memory inside a module's image (Wine reads an image whose
// sections are not page-aligned into memory of its own) counts as the module's.
std::map<std::string, double> ResidentByMapping(int pid, HANDLE process)
{
    std::map<std::string, double> by;
    if (!pid)
        return by;
    struct Image {
        ULONG_PTR start, end;
        std::string name;
    };
    std::vector<Image> images;
    HMODULE modules[256];
    DWORD needed = 0;
    if (EnumProcessModules(process, modules, sizeof modules, &needed)) {
        for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 256; ++i) {
            MODULEINFO info = {};
            char name[MAX_PATH] = "";
            if (GetModuleInformation(process, modules[i], &info, sizeof info) &&
                GetModuleBaseNameA(process, modules[i], name, sizeof name)) {
                std::string lower = name;
                std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
                ULONG_PTR base = reinterpret_cast<ULONG_PTR>(info.lpBaseOfDll);
                images.push_back({base, base + info.SizeOfImage, lower});
            }
        }
    }
    char path[64];
    snprintf(path, sizeof path, "Z:\\proc\\%d\\smaps", pid);
    std::string text = ReadWhole(path, 16 << 20);
    std::string current = "[anonymous]";
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = text.substr(at, end - at);
        if (line.compare(0, 4, "Rss:") == 0) {
            by[current] += atof(line.c_str() + 4);
        } else if (!line.empty() && isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 17) {
            // "start-end perms offset dev inode   name"
            size_t field = 0, i = 0;
            while (i < line.size() && field < 5) {
                while (i < line.size() && line[i] != ' ')
                    ++i;
                while (i < line.size() && line[i] == ' ')
                    ++i;
                ++field;
            }
            std::string name = i < line.size() ? line.substr(i) : "[anonymous]";
            size_t slash = name.rfind('/');
            current = slash == std::string::npos ? name : name.substr(slash + 1);
            ULONG_PTR start = static_cast<ULONG_PTR>(strtoull(line.c_str(), nullptr, 16));
            for (const Image &image : images)
                if (start >= image.start && start < image.end)
                    current = image.name;
        }
    }
    return by;
}

std::map<std::string, double> lastResident[3]; // the last idle run of the program and of each baseline

// --- The measurements --------------------------------------------------------

struct Paths {
    std::string vtpanel, bareTray, bareTrayDlls, barePanel;
} exe;

int runs = 7;
DWORD idleSeconds = 10;
std::string only; // one part of the benchmark alone: tray, panel, apply or record

struct TrayFigures {
    Series startup, cpuUnix, slices, wakeups, retrieved, timers, workingSet, anon, unixPrivate, pss, threads;
};

// A start without "OPEN": process start to the tray window, then the idle
// time after the icon is shown.
void MeasureTray(const std::string &path, const char *exeName, const char *trayClass, TrayFigures *f,
                 std::map<std::string, double> *resident)
{
    ResetEvents();
    Program run = Start(path, "", trayClass, nullptr, true);
    long long created = WaitEvent(run, kTrayCreated, 0);
    if (created < 0) {
        Note(std::string(exeName) + ": no tray window");
        End(run, nullptr);
        return;
    }
    f->startup.Add((created - run.started) / 1000.0);
    HWND tray = FindWindowA(trayClass, nullptr);
    if (!WaitFor([] { return iconAdds > 0; }, 5000)) {
        Note(std::string(exeName) + ": no icon");
        End(run, tray);
        return;
    }
    Pump(50); // the icon call returns
    int pid = UnixPid(exeName);
    UnixSample u0 = SampleUnix(pid);
    LONG retrieved0 = shared->retrieved, timers0 = shared->timers;
    long long t0 = BenchNow();
    Pump(idleSeconds * 1000);
    double seconds = (BenchNow() - t0) / 1e6;
    UnixSample u1 = SampleUnix(pid);
    LONG retrieved1 = shared->retrieved, timers1 = shared->timers;
    if (GetEnvironmentVariableA("VTBENCH_DEBUG", nullptr, 0))
        fprintf(stderr, "%s pid %d: %.1f s, cpu %.3f..%.3f ms, slices %.0f..%.0f, switches %.0f..%.0f, threads %d\n",
                exeName, pid, seconds, u0.cpuMs, u1.cpuMs, u0.slices, u1.slices, u0.wakeups, u1.wakeups, u1.threads);
    f->cpuUnix.Add(u1.cpuMs - u0.cpuMs);
    f->slices.Add(u1.slices - u0.slices);
    f->wakeups.Add(u1.wakeups - u0.wakeups);
    f->retrieved.Add(retrieved1 - retrieved0);
    f->timers.Add(timers1 - timers0);
    f->threads.Add(u1.threads);
    if (retrieved1 != retrieved0) {
        std::string seen;
        for (int i = 0; i < 16; ++i)
            if (shared->lastMessages[i]) {
                char m[16];
                snprintf(m, sizeof m, " 0x%lx", static_cast<unsigned long>(shared->lastMessages[i]));
                seen += m;
            }
        Note(std::string(exeName) + ": messages while idle, latest:" + seen);
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    if (GetProcessMemoryInfo(run.process, &memory, sizeof memory))
        f->workingSet.Add(memory.WorkingSetSize / 1024.0);
    if (pid) {
        *resident = ResidentByMapping(pid, run.process);
        f->anon.Add(u1.anonKb);
        f->unixPrivate.Add(u1.privateKb);
        f->pss.Add(u1.pssKb);
    }
    End(run, tray);
}

struct PanelFigures {
    Series startup, open, tabSwitch, ok, startupAll, openAll, tabSwitchAll;
};

// One program with its panel open, for the paired rounds below.
struct PanelRun {
    Program run;
    HWND tray = nullptr;
    PanelFigures *f = nullptr;
    bool live = false;
};

// A start with "OPEN" to the General page painted.
void StartPanel(PanelRun *p, const std::string &path, const char *trayClass)
{
    p->run = Start(path, "OPEN", trayClass, nullptr, true);
    long long painted = WaitEvent(p->run, kGeneralPainted, 0);
    p->tray = FindWindowA(trayClass, nullptr);
    p->live = painted > 0;
    if (!p->live) {
        Note(path + ": the General page was not painted at start");
        return;
    }
    p->f->startup.Add((painted - p->run.started) / 1000.0);
    long long all = LastPagePaint(p->run, 0);
    if (all > 0)
        p->f->startupAll.Add((all - p->run.started) / 1000.0);
}

// One step timed: the message posted, to the event.
void TimeStep(PanelRun *p, HWND target, UINT message, WPARAM wParam, DWORD kind, Series *first, Series *last,
              const char *what)
{
    if (!p->live)
        return;
    Pump(100); // quiet
    LONG from = Events();
    long long t0 = BenchNow();
    PostMessageA(target, message, wParam, 0);
    if (message == WM_KEYDOWN)
        PostMessageA(target, WM_KEYUP, wParam, 0);
    long long t = WaitEvent(p->run, kind, from, 5000);
    if (t < 0) {
        Note(std::string(what) + ": no answer");
        p->live = false;
        return;
    }
    first->Add((t - t0) / 1000.0);
    if (last) {
        long long all = LastPagePaint(p->run, from);
        if (all > 0)
            last->Add((all - t0) / 1000.0);
    }
    if (shared->traceAll)
        DumpTrace(p->run, from, t0, what);
}

// vtpanel.exe and the bare panel run side by side, each step taken by one and
// then the other (the order alternating), so that a busy spell of the machine
// falls on both: rounds of a tab switch to Effects, OK, and the Open command
// to the General page painted.
void MeasurePanels(int run, int rounds, PanelFigures *program, PanelFigures *bare)
{
    PanelRun p[2];
    p[0].f = program;
    p[1].f = bare;
    const char *classes[2] = {"Veltrona Control", "Bare Panel"};
    const std::string *paths[2] = {&exe.vtpanel, &exe.barePanel};
    int order[2] = {run % 2, 1 - run % 2};
    ResetEvents();
    for (int i : order)
        StartPanel(&p[i], *paths[i], classes[i]);
    bool trace = GetEnvironmentVariableA("VTBENCH_TRACE", nullptr, 0) > 0;
    for (int round = 0; round < rounds; ++round) {
        shared->traceAll = trace && round == rounds - 1 && run == 0;
        int first = (run + round) % 2;
        for (int i : {first, 1 - first}) {
            HWND panel = Panel(p[i].run);
            if (panel)
                TimeStep(&p[i], GetDlgItem(panel, kBenchPanelTab), WM_KEYDOWN, VK_RIGHT, kEffectsPainted,
                         &p[i].f->tabSwitch, &p[i].f->tabSwitchAll, i ? "bare tab switch" : "tab switch");
        }
        for (int i : {first, 1 - first}) {
            HWND panel = Panel(p[i].run);
            if (panel) {
                TimeStep(&p[i], GetDlgItem(panel, IDOK), BM_CLICK, 0, kPanelDestroyed, &p[i].f->ok, nullptr,
                         i ? "bare OK" : "OK");
                WaitFor([&] { return Panel(p[i].run) == nullptr; }, 5000);
            }
        }
        for (int i : {first, 1 - first})
            TimeStep(&p[i], p[i].tray, WM_COMMAND, kOpen, kGeneralPainted, &p[i].f->open, &p[i].f->openAll,
                     i ? "bare Open" : "Open");
    }
    shared->traceAll = 0;
    for (PanelRun &r : p)
        End(r.run, r.tray);
}

// n cards, each with the hardware buffers and the driver's sets.
void SetCards(int n)
{
    VcDevice devices[VCARD_MAX_DEVICES];
    for (int i = 0; i < n; ++i) {
        VcDefaultDevice(i, &devices[i]);
        devices[i].hardware3D = devices[i].q3D = true;
    }
    VcSetDevices(devices, n);
}

// Opens the panel afresh and switches to its Effects page; the panel.
HWND OpenOnEffects(const Program &run, HWND tray)
{
    if (HWND panel = Panel(run)) {
        PostMessageA(panel, WM_COMMAND, IDCANCEL, 0);
        WaitFor([&] { return Panel(run) == nullptr; }, 5000);
    }
    LONG from = Events();
    PostMessageA(tray, WM_COMMAND, kOpen, 0);
    if (WaitEvent(run, kGeneralPainted, from, 5000) < 0)
        return nullptr;
    HWND panel = Panel(run);
    from = Events();
    PostMessageA(GetDlgItem(panel, kBenchPanelTab), WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageA(GetDlgItem(panel, kBenchPanelTab), WM_KEYUP, VK_RIGHT, 0);
    if (WaitEvent(run, kEffectsPainted, from, 5000) < 0)
        return nullptr;
    return panel;
}

// Apply with the Effects page's change pending: from the click to the Apply
// button disabled, which ends Apply's work.
long long ClickApply(const Program &run, HWND panel, long long *clicked)
{
    HWND page = Page(panel);
    HWND apply = GetDlgItem(panel, kBenchApply);
    PostMessageA(GetDlgItem(page, kBenchEffectsMark), BM_CLICK, 0, 0);
    if (!WaitFor([&] { return IsWindowEnabled(apply) != 0; }, 5000))
        return -1;
    Pump(100);
    LONG from = Events();
    *clicked = BenchNow();
    PostMessageA(apply, BM_CLICK, 0, 0);
    return WaitEvent(run, kApplyDisabled, from, 10000);
}

const int kDeviceCounts[4] = {1, 2, 5, 10};

// One round's figures by device count; -1 where the step failed.
typedef std::array<double, 4> ApplyRound;

// Least-squares slope of y on x, and its standard error.
double Slope(const std::vector<double> &x, const std::vector<double> &y, double *error = nullptr)
{
    double n = x.size(), mx = 0, my = 0, sxx = 0, sxy = 0, residuals = 0;
    for (size_t i = 0; i < x.size(); ++i)
        mx += x[i] / n, my += y[i] / n;
    for (size_t i = 0; i < x.size(); ++i)
        sxx += (x[i] - mx) * (x[i] - mx), sxy += (x[i] - mx) * (y[i] - my);
    double slope = sxx > 0 ? sxy / sxx : 0;
    for (size_t i = 0; i < x.size(); ++i)
        residuals += (y[i] - my - slope * (x[i] - mx)) * (y[i] - my - slope * (x[i] - mx));
    if (error)
        *error = n > 2 && sxx > 0 ? sqrt(residuals / (n - 2) / sxx) : 0;
    return slope;
}

// What each added device costs: the slope of the time on the device count
// in each round (whose four counts ran back to back), as the median of the
// rounds' slopes with their quartiles; then the slope over every point of
// every round with its standard error.
std::string CostPerDevice(const std::vector<ApplyRound> &rounds)
{
    Series slopes;
    std::vector<double> x, y;
    for (const ApplyRound &round : rounds) {
        std::vector<double> rx, ry;
        for (int k = 0; k < 4; ++k)
            if (round[k] >= 0)
                rx.push_back(kDeviceCounts[k]), ry.push_back(round[k]);
        if (rx.size() == 4)
            slopes.Add(Slope(rx, ry));
        x.insert(x.end(), rx.begin(), rx.end());
        y.insert(y.end(), ry.begin(), ry.end());
    }
    if (slopes.Empty())
        return "—";
    double error, all = Slope(x, y, &error);
    char text[160];
    snprintf(text, sizeof text, "%.2f ms [quartiles %.2f–%.2f] n=%u rounds; all %u points: %.2f ± %.2f ms",
             slopes.Median(), slopes.Quantile(0.25), slopes.Quantile(0.75), static_cast<unsigned>(slopes.values.size()),
             static_cast<unsigned>(x.size()), all, error);
    return text;
}

// --- The card's record with times ----------------------------------------------

std::string recordFile;

struct RecordLine {
    std::string text;
    long long time;
};

std::vector<RecordLine> Record()
{
    std::vector<RecordLine> lines;
    std::string text = ReadWhole(recordFile, 64 << 20);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::string line = text.substr(at, end - at);
        size_t stamp = line.rfind(" t=");
        lines.push_back({line, stamp == std::string::npos ? -1 : atoll(line.c_str() + stamp + 3)});
    }
    return lines;
}

// Lines that start with what, at or after time from.
std::vector<RecordLine> Lines(const char *what, long long from)
{
    std::vector<RecordLine> found;
    for (const RecordLine &line : Record())
        if (line.time >= from && line.text.compare(0, strlen(what), what) == 0)
            found.push_back(line);
    return found;
}

long long FieldOf(const std::string &line, const char *key)
{
    size_t at = line.find(key);
    return at == std::string::npos ? -1 : atoll(line.c_str() + at + strlen(key));
}

struct RecordFigures {
    Series gapBefore[VCARD_MAX_DEVICES]; // 10 devices: the previous connection's release to device i's create
    Series clickToPlay, testAllGap, pollLatency, reload;
};

// Rounds of Apply with each device count, each round starting with the next
// count, so that a busy spell of the machine falls on all of them: click to
// Apply disabled; with the record on (f given), the card's times between
// two devices' connections.
void ApplyRounds(const Program &run, HWND tray, int rounds, std::vector<ApplyRound> *clicks, RecordFigures *f)
{
    for (int round = 0; round < rounds; ++round) {
        ApplyRound clicked = {-1, -1, -1, -1};
        for (int step = 0; step < 4; ++step) {
            int k = (step + round) % 4, n = kDeviceCounts[k];
            SetCards(n);
            HWND panel = OpenOnEffects(run, tray);
            long long t0 = 0;
            shared->traceAll = GetEnvironmentVariableA("VTBENCH_TRACE", nullptr, 0) > 0 && round == 0 && !f;
            LONG from = Events();
            long long done = panel ? ClickApply(run, panel, &t0) : -1;
            if (shared->traceAll) {
                DumpTrace(run, from, t0, ("Apply, " + std::to_string(n) + " devices").c_str());
                shared->traceAll = 0;
            }
            if (done < 0)
                continue;
            clicked[k] = (done - t0) / 1000.0;
            if (f && n == 10) {
                // Between two devices: the pages' other work, and DirectSoundCreate finding the device.
                long long released = -1;
                for (const RecordLine &line : Record()) {
                    if (line.time < t0)
                        continue;
                    int device;
                    if (line.text.compare(0, 11, "ds.release ") == 0)
                        released = line.time;
                    else if (sscanf(line.text.c_str(), "ds.create dev=%d", &device) == 1 && device > 0 &&
                             device < n && released > 0) {
                        f->gapBefore[device].Add((line.time - released) / 1000.0);
                        released = -1;
                    }
                }
            }
        }
        clicks->push_back(clicked);
    }
    SetCards(1);
}

void MeasureApply(int rounds, std::vector<ApplyRound> *clicks)
{
    SetCards(1);
    ResetEvents();
    Program run = Start(exe.vtpanel, "OPEN", "Veltrona Control", nullptr, true);
    bool open = WaitEvent(run, kGeneralPainted, 0) >= 0;
    HWND tray = FindWindowA("Veltrona Control", nullptr);
    if (open)
        ApplyRounds(run, tray, rounds, clicks, nullptr);
    else
        Note("Apply: the panel did not open");
    End(run, tray);
}

void MeasureWithRecord(int rounds, RecordFigures *f)
{
    DeleteFileA(recordFile.c_str());
    SetCards(1);
    VcSetPlayTimePercent(20);
    // Six speakers, so that "Test All" makes five gaps.
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, VCARD_KEY "\\Device0", &key) == ERROR_SUCCESS) {
        DWORD sixSpeakers = 0x00000006; // DSSPEAKER_5POINT1
        RegSetValueExA(key, "SpeakerConfig", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&sixSpeakers),
                       sizeof sixSpeakers);
        RegCloseKey(key);
    }
    ResetEvents();
    Program run = Start(exe.vtpanel, "OPEN", "Veltrona Control", recordFile.c_str(), true);
    if (WaitEvent(run, kGeneralPainted, 0) < 0) {
        Note("record run: the panel did not open");
        End(run, FindWindowA("Veltrona Control", nullptr));
        return;
    }
    HWND tray = FindWindowA("Veltrona Control", nullptr);

    // Apply with 10 devices: what lies between two devices' connections.
    std::vector<ApplyRound> clicks;
    ApplyRounds(run, tray, rounds, &clicks, f);

    // Speaker tests on the General page: back to it.
    if (HWND panel = Panel(run)) {
        PostMessageA(panel, WM_COMMAND, IDCANCEL, 0);
        WaitFor([&] { return Panel(run) == nullptr; }, 5000);
    }
    LONG from = Events();
    PostMessageA(tray, WM_COMMAND, kOpen, 0);
    if (WaitEvent(run, kGeneralPainted, from, 5000) < 0) {
        Note("record run: the General page did not come back");
        End(run, tray);
        return;
    }
    HWND page = Page(Panel(run));
    for (int round = 0; round < rounds; ++round) {
        Pump(100);
        long long t0 = BenchNow();
        PostMessageA(page, WM_COMMAND, kFrontLeft, 0);
        std::vector<RecordLine> plays;
        WaitFor([&] { return !(plays = Lines("buf.play ", t0)).empty(); }, 5000);
        if (plays.empty())
            continue;
        f->clickToPlay.Add((plays[0].time - t0) / 1000.0);
        long long ms = FieldOf(plays[0].text, " ms=");
        // Ended, noticed by the poll, and released.
        WaitFor([&] { return !Lines("buf.release ", plays[0].time).empty(); }, static_cast<DWORD>(ms + 3000));
        std::vector<RecordLine> released = Lines("buf.release ", plays[0].time);
        if (!released.empty())
            f->pollLatency.Add((released[0].time - plays[0].time) / 1000.0 - ms);
    }
    for (int round = 0; round < std::max(1, rounds / 2); ++round) {
        Pump(200);
        long long t0 = BenchNow();
        PostMessageA(page, WM_COMMAND, kTestAll, 0);
        std::vector<RecordLine> plays;
        WaitFor([&] { return (plays = Lines("buf.play ", t0)).size() >= 6; }, 30000);
        for (size_t i = 0; i + 1 < plays.size(); ++i) {
            long long ms = FieldOf(plays[i].text, " ms=");
            f->testAllGap.Add((plays[i + 1].time - plays[i].time) / 1000.0 - ms);
        }
        // The buffer of the next sound: from the previous one's release to its Play.
        std::vector<RecordLine> released = Lines("buf.release ", t0);
        for (size_t i = 0; i < released.size() && i + 1 < plays.size(); ++i)
            if (released[i].time <= plays[i + 1].time)
                f->reload.Add((plays[i + 1].time - released[i].time) / 1000.0);
        WaitFor([&] { return Lines("buf.release ", t0).size() >= plays.size(); }, 10000);
    }
    End(run, tray);
    VcSetPlayTimePercent(100);
}

bool Part(const char *name)
{
    return only.empty() || only == name;
}

// --- The report -----------------------------------------------------------------

void WriteMarkdown(const char *path)
{
    FILE *out = fopen(path, "w");
    if (!out)
        return;
    fprintf(out, "| Figure | vtpanel.exe (median [min–max] n) | Baseline | Ratio of medians (times: of paired runs, "
                 "median [quartiles] n) | Ratio of fastest |\n|---|---|---|---|---|\n");
    for (const Row &row : rows)
        fprintf(out, "| %s | %s | %s | %s | %s |\n", row.figure.c_str(), row.program.c_str(), row.baseline.c_str(),
                row.ratio.c_str(), row.fastest.c_str());
    if (!notes.empty()) {
        fprintf(out, "\nNotes from the run:\n\n");
        for (const std::string &note : notes)
            fprintf(out, "- %s\n", note.c_str());
    }
    fclose(out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 7) {
        fprintf(stderr, "usage: vtbench VTPANEL.EXE BARE_TRAY.EXE BARE_TRAY_DLLS.EXE BARE_PANEL.EXE BENCH_HOOK.DLL "
                        "RESULTS.MD [--runs N] [--idle SECONDS] [--only tray|panel|apply|record]\n");
        return 2;
    }
    const char *hookPath = argv[5], *resultsPath = argv[6];
    for (int i = 7; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--runs"))
            runs = std::max(1, atoi(argv[i + 1]));
        else if (!strcmp(argv[i], "--idle"))
            idleSeconds = static_cast<DWORD>(std::max(1, atoi(argv[i + 1])));
        else if (!strcmp(argv[i], "--only"))
            only = argv[i + 1];
    }
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, sizeof folder);
    systemDir = folder;
    // Installed where the driver package puts vtpanel.exe; the baselines beside it.
    exe.vtpanel = Installed("vtpanel.exe");
    exe.bareTray = Installed("bare_tray.exe");
    exe.bareTrayDlls = Installed("bare_tray_dlls.exe");
    exe.barePanel = Installed("bare_panel.exe");
    if (!CopyFileA(argv[1], exe.vtpanel.c_str(), FALSE) || !CopyFileA(argv[2], exe.bareTray.c_str(), FALSE) ||
        !CopyFileA(argv[3], exe.bareTrayDlls.c_str(), FALSE) || !CopyFileA(argv[4], exe.barePanel.c_str(), FALSE)) {
        fprintf(stderr, "vtbench: cannot install the programs\n");
        return 2;
    }
    hookModule = LoadLibraryA(hookPath);
    auto hook = [](const char *decorated) { // the 32-bit name, else the 64-bit one
        FARPROC proc = GetProcAddress(hookModule, decorated);
        if (!proc)
            proc = GetProcAddress(hookModule, std::string(decorated, strchr(decorated, '@') - decorated).c_str());
        return reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(proc));
    };
    callWndRet = hook("BenchCallWndRetProc@12");
    getMessage = hook("BenchGetMessageProc@12");
    if (!callWndRet || !getMessage) {
        fprintf(stderr, "vtbench: %s has no hook procedures\n", hookPath);
        return 2;
    }
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(BenchShared),
                                        BENCH_SHARED_NAME);
    shared = static_cast<BenchShared *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(BenchShared)));
    if (!shared)
        return 2;
    char prefix[MAX_PATH];
    if (GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix))
        prefixEnv = std::string("WINEPREFIX=") + prefix;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    recordFile = std::string(temp) + "vtbench-record.log";

    // The shell's notification area, where the icons arrive.
    WNDCLASSA tray = {};
    tray.lpfnWndProc = ShellTrayProc;
    tray.hInstance = GetModuleHandleA(nullptr);
    tray.lpszClassName = "Shell_TrayWnd";
    if (FindWindowA("Shell_TrayWnd", nullptr) ||
        !RegisterClassA(&tray) ||
        !CreateWindowExA(0, "Shell_TrayWnd", "", 0, 0, 0, 0, 0, nullptr, nullptr, tray.hInstance, nullptr)) {
        fprintf(stderr, "vtbench: another notification area runs in the prefix\n");
        return 2;
    }

    // The installation as the package leaves it, after its first run.
    VcReset();
    SetCards(1);
    WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", "0", "SOUNDCFG.INI");

    printf("%-56s %-38s %-38s %-6s %s\n", "figure", "vtpanel.exe", "baseline", "ratio", "fastest");

    // Start-up and idle, the program and its baseline in turn.
    TrayFigures program, bare, bareDlls;
    for (int i = 0; i < runs && Part("tray"); ++i) {
        MeasureTray(exe.vtpanel, "vtpanel.exe", "Veltrona Control", &program, &lastResident[0]);
        MeasureTray(exe.bareTray, "bare_tray.exe", "Bare Tray", &bare, &lastResident[1]);
        MeasureTray(exe.bareTrayDlls, "bare_tray_dlls.exe", "Bare Tray", &bareDlls, &lastResident[2]);
    }
    AddRow("start-up: process start to tray window (ms)", program.startup, &bare.startup, "ms", 1);

    PanelFigures panel, barePanel;
    const int rounds = 5;
    for (int i = 0; i < runs && Part("panel"); ++i)
        MeasurePanels(i, rounds, &panel, &barePanel);
    AddRow("start-up with OPEN: to General page's WM_PAINT done (ms)", panel.startup, &barePanel.startup, "ms", 1);
    AddRow("start-up with OPEN: to its last control painted (ms)", panel.startupAll, &barePanel.startupAll, "ms", 1);
    AddRow("Open command to General page's WM_PAINT done (ms)", panel.open, &barePanel.open, "ms", 1);
    AddRow("Open command to its last control painted (ms)", panel.openAll, &barePanel.openAll, "ms", 1);
    AddRow("tab switch to Effects page's WM_PAINT done (ms)", panel.tabSwitch, &barePanel.tabSwitch, "ms", 1);
    AddRow("tab switch to its last control painted (ms)", panel.tabSwitchAll, &barePanel.tabSwitchAll, "ms", 1);
    AddRow("OK, 1 device, to panel destroyed (ms)", panel.ok, &barePanel.ok, "ms", 1);

    std::vector<ApplyRound> apply;
    if (Part("apply"))
        MeasureApply(3 * runs, &apply); // cheap, and noisy: more rounds
    for (int k = 0; k < 4; ++k) {
        Series times;
        for (const ApplyRound &round : apply)
            if (round[k] >= 0)
                times.Add(round[k]);
        std::string figure = "Apply, " + std::to_string(kDeviceCounts[k]) + (k ? " devices" : " device") +
                             ": click to Apply disabled (ms)";
        AddRow(figure.c_str(), times, nullptr, "ms", 1);
    }
    AddTextRow("Apply: cost per device, slope of the click to Apply disabled (ms)", CostPerDevice(apply).c_str(), "—",
               "—", "—");
    RecordFigures record;
    if (Part("record"))
        MeasureWithRecord(runs, &record);
    AddRow("Apply, 10 devices, record on: release to device 1's create (ms)", record.gapBefore[1], nullptr, "ms", 2);
    AddRow("Apply, 10 devices, record on: release to device 9's create (ms)", record.gapBefore[9], &record.gapBefore[1],
           "ms", 2);
    AddRow("speaker click to the card's Play (ms)", record.clickToPlay, nullptr, "ms", 1);
    AddRow("sound's end to its release by the poll (ms)", record.pollLatency, nullptr, "ms", 1,
           "100 ms (poll period)");
    AddRow("\"Test All\": one sound's end to the next Play (ms)", record.testAllGap, nullptr, "ms", 1,
           "100 ms (poll period)");
    AddRow("\"Test All\": release to the next Play (ms)", record.reload, nullptr, "ms", 1);

    char figure[96];
    snprintf(figure, sizeof figure, "idle %lus after the icon: CPU, all threads' schedstat (ms)", idleSeconds);
    AddRow(figure, program.cpuUnix, &bare.cpuUnix, "ms", 2);
    snprintf(figure, sizeof figure, "idle %lus: times scheduled, all threads", idleSeconds);
    AddRow(figure, program.slices, &bare.slices, "", 0);
    snprintf(figure, sizeof figure, "idle %lus: voluntary context switches", idleSeconds);
    AddRow(figure, program.wakeups, &bare.wakeups, "", 0);
    snprintf(figure, sizeof figure, "idle %lus: messages retrieved (hook)", idleSeconds);
    AddRow(figure, program.retrieved, &bare.retrieved, "", 0);
    snprintf(figure, sizeof figure, "idle %lus: WM_TIMER retrieved (hook)", idleSeconds);
    AddRow(figure, program.timers, &bare.timers, "", 0);
    AddRow("Unix threads of the process", program.threads, &bare.threads, "", 0);
    AddRow("working set, GetProcessMemoryInfo (KiB)", program.workingSet, &bare.workingSet, "KiB", 0);
    AddRow("resident anonymous, /proc RssAnon (KiB)", program.anon, &bare.anon, "KiB", 0);
    AddRow("private, /proc smaps_rollup (KiB)", program.unixPrivate, &bare.unixPrivate, "KiB", 0);
    AddRow("proportional set, /proc smaps_rollup Pss (KiB)", program.pss, &bare.pss, "KiB", 0);

    // The same against the bare tray that holds vtpanel.exe's DLLs: what is
    // left is the program's own.
    AddTextRow("— against the bare tray holding vtpanel.exe's DLLs (bare_tray_dlls.exe):", "", "", "", "");
    AddRow("start-up: process start to tray window (ms)", program.startup, &bareDlls.startup, "ms", 1);
    snprintf(figure, sizeof figure, "idle %lus: times scheduled, all threads", idleSeconds);
    AddRow(figure, program.slices, &bareDlls.slices, "", 0);
    AddRow("Unix threads of the process", program.threads, &bareDlls.threads, "", 0);
    AddRow("working set, GetProcessMemoryInfo (KiB)", program.workingSet, &bareDlls.workingSet, "KiB", 0);
    AddRow("resident anonymous, /proc RssAnon (KiB)", program.anon, &bareDlls.anon, "KiB", 0);
    AddRow("private, /proc smaps_rollup (KiB)", program.unixPrivate, &bareDlls.unixPrivate, "KiB", 0);
    AddRow("proportional set, /proc smaps_rollup Pss (KiB)", program.pss, &bareDlls.pss, "KiB", 0);

    // Where the resident memory differs, by mapping (the last idle runs).
    const char *against[3] = {"", "the bare tray's", "the bare tray with vtpanel.exe's DLLs'"};
    for (int b = 1; b <= 2; ++b) {
        std::vector<std::pair<double, std::string>> differences;
        std::map<std::string, double> all = lastResident[0];
        for (const auto &entry : lastResident[b])
            all[entry.first] += 0;
        for (const auto &entry : all) {
            double difference = entry.second - lastResident[b][entry.first];
            if (difference >= 32 || difference <= -32)
                differences.push_back({difference, entry.first});
        }
        std::sort(differences.rbegin(), differences.rend());
        std::string breakdown =
            std::string("resident memory (VmRSS) of vtpanel.exe less ") + against[b] + ", by mapping (KiB):";
        for (const auto &d : differences) {
            char item[160];
            snprintf(item, sizeof item, " %s %+.0f (of %.0f);", d.second.c_str(), d.first, lastResident[0][d.second]);
            breakdown += item;
        }
        Note(breakdown);
    }

    WriteMarkdown(resultsPath);
    return 0;
}
