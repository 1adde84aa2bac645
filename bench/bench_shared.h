// What the benchmark's hook DLL, loaded into the program it watches, and the
// benchmark itself share: a named file mapping with counters and a list of
// timed events. The hook writes, the benchmark reads; times are microseconds
// on the performance counter, which every process of the machine shares.
#ifndef BENCH_BENCH_SHARED_H
#define BENCH_BENCH_SHARED_H

#include <windows.h>

#define BENCH_SHARED_NAME "VtBenchShared"
#define BENCH_MAX_EVENTS 65536

// Control ids of the panel the hook tells windows apart by.
enum {
    kBenchPanelTab = 1062,
    kBenchApply = 1049,
    kBenchGeneralMark = 1087, // a speaker frame: the General page
    kBenchEffectsMark = 1053, // the reverb box: the Effects page
};

enum BenchEventKind {
    kTrayCreated = 1,   // WM_CREATE of the watched tray class handled
    kPanelShown,        // WM_INITDIALOG of the panel handled
    kGeneralPainted,    // WM_PAINT of the General page handled
    kEffectsPainted,    // WM_PAINT of the Effects page handled
    kApplyDisabled,     // the panel's Apply button disabled (WM_ENABLE FALSE)
    kPanelDestroyed,    // WM_DESTROY of the panel handled
    kPageAllPainted,    // WM_PAINT of a page or of one of its controls handled
    kTrace = 0x10000,   // with traceAll: + message id, each message handled or taken
    kTraceTaken = 0x20000,
};

struct BenchEvent {
    long long time;
    DWORD process;
    DWORD kind;
    DWORD window; // the handle's value, as handles cross processes
};

struct BenchShared {
    char trayClass[64];      // the class whose creation is kTrayCreated
    volatile LONG count;     // events written
    // Messages retrieved from the queue (WH_GETMESSAGE, PM_REMOVE) by the
    // watched threads, all of them and by kind.
    volatile LONG retrieved, timers, paints, posted, input;
    volatile LONG lastMessages[16]; // the latest retrieved, for a report of what woke it
    volatile LONG lastIndex;
    volatile LONG traceAll; // every message handled is an event (for finding where time goes)
    BenchEvent events[BENCH_MAX_EVENTS];
};

// Microseconds on the shared performance counter.
inline long long BenchNow()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart / frequency.QuadPart * 1000000 + now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

#endif
