// The ledger: every object this program takes from the system and gives
// back, noted by stand-ins below whatever hooks a test installs, so that
// each test fails for what it took and still holds when it ends.
#include "harness.h"

#include <mmsystem.h>

#include <limits.h>
#include <stdio.h>

#include <map>
#include <tuple>

// The card's counts, in the test programs that link the card.
int VcLiveDirectSounds() __attribute__((weak));
int VcLiveBuffers() __attribute__((weak));
int VcLivePropertySets() __attribute__((weak));
int VcUsesAfterRelease() __attribute__((weak));
int VcBuffersLeftAtRelease() __attribute__((weak));

namespace {

enum Space { kDc, kPaint, kObject, kWindow, kMenu, kTimer, kClass, kHook, kLibrary, kBlock, kFile, kMixer, kKey };
const char *const kUndone[] = {"not deleted", "not ended", "not deleted", "not destroyed",
                               "not destroyed", "not killed", "not unregistered", "not removed", "not freed",
                               "not freed", "not closed", "not closed", "not closed"};

// What the program keeps past a test's end on purpose, by class or library name.
const struct { Space space; const char *name, *why; } kKept[] = {
    {kWindow, "Veltrona Control", "the tray window lives until Exit"},
    {kClass, "Veltrona Control", "the tray window's class goes with the program"},
    {kLibrary, "QA3DLoad", "the A3D loader stays loaded until shut-down"},
    {kLibrary, "VTHLP32.DLL", "the support library stays loaded until the icon shows"},
};

using Key = std::tuple<int, uintptr_t, uintptr_t>; // space, handle, and a timer's id
struct Entry {
    std::string noun, name;
    const char *from;
    void *caller;
    int test;
};
const int kReported = INT_MIN;
std::multimap<Key, Entry> &held = *new std::multimap<Key, Entry>; // outlives every static
std::map<HDC, std::pair<HGDIOBJ, HGDIOBJ>> selected; // a memory DC's first bitmap and its current one
int test;                                            // the serial of the running test
int cardBaseline[5];

// Where a call came from: its offset in this program, which holds the
// product's code (addr2line -e PROGRAM.exe tells the line).
std::string Tag(const void *caller)
{
    char tag[32];
    snprintf(tag, sizeof tag, "exe+0x%llx",
             static_cast<unsigned long long>(static_cast<const BYTE *>(caller) - reinterpret_cast<BYTE *>(GetModuleHandleA(nullptr))));
    return tag;
}

using Call = std::pair<const char *, void *>; // a function taking or giving, and its caller

template <typename A, typename B = uintptr_t> Key KeyOf(Space space, A a, B b = 0)
{
    return Key(space, (uintptr_t)a, (uintptr_t)b);
}

void Take(const Call &call, const Key &key, std::string noun, std::string name = "")
{
    if (std::get<1>(key) || std::get<2>(key))
        held.emplace(key, Entry{std::move(noun), std::move(name), call.first, call.second, test});
}

void Fault(const Call &call, const char *what)
{
    ADD_FAILURE() << call.first << " of " << what << " (" << Tag(call.second) << ")";
}

// Gives back one of key, or fails with complaint when none was held.
bool Give(const Call &call, const Key &key, const char *complaint = nullptr)
{
    auto found = held.find(key);
    if (found != held.end())
        return held.erase(found), true;
    if (complaint)
        Fault(call, complaint);
    return false;
}

bool Alive(const Key &key)
{
    HWND window = reinterpret_cast<HWND>(std::get<1>(key));
    switch (std::get<0>(key)) {
    case kWindow: return IsWindow(window);
    case kMenu: return IsMenu(reinterpret_cast<HMENU>(window));
    case kTimer: return !window || IsWindow(window); // a window's timers go with it
    default: return true;
    }
}

bool Kept(const Key &key, const Entry &entry)
{
    char name[64] = "";
    if (std::get<0>(key) == kWindow || std::get<0>(key) == kTimer)
        GetClassNameA(reinterpret_cast<HWND>(std::get<1>(key)), name, sizeof name);
    for (const auto &kept : kKept)
        if (kept.space == std::get<0>(key) && !lstrcmpiA(kept.name, name[0] ? name : entry.name.c_str()))
            return true;
    return false;
}

} // namespace

void ExpectNothingHeld()
{
    const struct { int (*count)(); const char *what; } card[] = {
        {VcLiveDirectSounds, "DirectSound objects of the card not released"},
        {VcLiveBuffers, "buffers of the card not released"},
        {VcLivePropertySets, "property sets of the card not released"},
        {VcUsesAfterRelease, "calls to the card's objects after their final release"},
        {VcBuffersLeftAtRelease, "buffers still held when their DirectSound object went"},
    };
    for (int i = 0; i < 5; ++i) {
        int now = card[i].count ? card[i].count() : 0;
        if (now > cardBaseline[i])
            ADD_FAILURE() << now - cardBaseline[i] << " " << card[i].what;
        cardBaseline[i] = now;
    }
}

namespace {

// Fails for every object the running test (all: any test) took and still
// holds, once each.
void Report(bool all)
{
    std::map<std::string, int> lines;
    for (auto at = held.begin(); at != held.end();) {
        Entry &entry = at->second;
        if (!Alive(at->first)) {
            at = held.erase(at);
            continue;
        }
        if ((all ? entry.test != kReported : entry.test == test) && !Kept(at->first, entry)) {
            ++lines[entry.noun + " from " + entry.from + " (" + Tag(entry.caller) + ") " + kUndone[std::get<0>(at->first)]];
            entry.test = kReported;
        }
        ++at;
    }
    for (const auto &line : lines)
        ADD_FAILURE() << line.second << " " << line.first;
    ExpectNothingHeld();
}

// The registry's predefined root keys are no objects.
bool Predefined(HKEY key)
{
    return reinterpret_cast<ULONG_PTR>(key) - reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) < 0x100;
}

struct StandIn {
    const char *dll, *function;
    const void *replacement;
    void **next;
};
std::vector<StandIn> &standIns = *new std::vector<StandIn>;

// A stand-in for Function that passes the call on to what the slot held;
// Before and After see the arguments, call and (After) result.
#define STAND_IN(dll, Function, Result, Params, Args, Before, After)                                                   \
    decltype(&Function) next##Function;                                                                                \
    Result WINAPI Ledger##Function Params                                                                              \
    {                                                                                                                  \
        Call call = {#Function, __builtin_return_address(0)};                                                          \
        Before;                                                                                                        \
        Result result = next##Function Args;                                                                           \
        After;                                                                                                         \
        return result;                                                                                                 \
    }                                                                                                                  \
    const bool listed##Function = (standIns.push_back({dll, #Function, reinterpret_cast<const void *>(Ledger##Function), \
                                                       reinterpret_cast<void **>(&next##Function)}),                   \
                                   true);

// A memory DC deleted with a bitmap of the program still selected keeps it
// from being deleted.
void DeletingDc(const Call &call, HDC dc)
{
    auto s = selected.find(dc);
    if (s != selected.end() && s->second.first != s->second.second)
        Fault(call, "a memory DC with a bitmap still selected");
    if (s != selected.end())
        selected.erase(s);
    Give(call, KeyOf(kDc, dc), "a DC never made or already deleted");
}

void Selected(HDC dc, HGDIOBJ object, HGDIOBJ previous)
{
    if (previous && GetObjectType(object) == OBJ_BITMAP && held.count(KeyOf(kDc, dc)))
        selected[dc] = std::make_pair(selected.count(dc) ? selected[dc].first : previous, object);
}

// Windows refuses to delete a bitmap selected into a DC: it stays.
bool Deleting(const Call &call, HGDIOBJ object)
{
    for (const auto &dc : selected)
        if (object && dc.second.second == object && object != dc.second.first)
            return Fault(call, "a bitmap still selected into a memory DC"), false;
    if (!Give(call, KeyOf(kObject, object)) && object && !GetObjectType(object))
        Fault(call, "an object never made or already deleted");
    return true;
}

void Unregistered(LPCSTR name)
{
    for (auto at = held.begin(); at != held.end(); ++at)
        if (std::get<0>(at->first) == kClass && (IS_INTRESOURCE(name) ? std::get<1>(at->first) == (uintptr_t)name
                                                                       : !lstrcmpiA(at->second.name.c_str(), name)))
            return (void)held.erase(at);
}

// The static controls of a dialog made from a template load their pictures
// themselves and never delete them: they are the program's.
void TakeStaticBitmaps(const Call &call, HWND dialog)
{
    Take(call, KeyOf(kWindow, dialog), "dialog");
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (LRESULT bitmap = SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0))
            Take(call, KeyOf(kObject, bitmap), "separator bitmap of a dialog");
}

// A timer set again is the same timer.
void Timed(const Call &call, const Key &key)
{
    Give(call, key);
    Take(call, key, "timer " + std::to_string(std::get<2>(key)));
}

// Windows (and with them their timers) and menus are judged by the system
// at the check, after any destroyed with their parents.
void Destroying(const Call &call, Space space, void *object, bool exists)
{
    if (object && !exists)
        Fault(call, space == kMenu ? "a menu already destroyed" : "a window already destroyed");
    Give(call, KeyOf(space, object));
}

STAND_IN("gdi32.dll", CreateCompatibleDC, HDC, (HDC dc), (dc), , Take(call, KeyOf(kDc, result), "memory DC"))
STAND_IN("gdi32.dll", DeleteDC, BOOL, (HDC dc), (dc), DeletingDc(call, dc), )
STAND_IN("gdi32.dll", SelectObject, HGDIOBJ, (HDC dc, HGDIOBJ object), (dc, object), , Selected(dc, object, result))
STAND_IN("gdi32.dll", DeleteObject, BOOL, (HGDIOBJ object), (object), if (!Deleting(call, object)) return FALSE, )
STAND_IN("user32.dll", BeginPaint, HDC, (HWND window, PAINTSTRUCT *paint), (window, paint), ,
         Take(call, KeyOf(kPaint, result ? window : nullptr), "paint DC"))
STAND_IN("user32.dll", EndPaint, BOOL, (HWND window, const PAINTSTRUCT *paint), (window, paint),
         Give(call, KeyOf(kPaint, window), "a paint never begun"), )
STAND_IN("user32.dll", LoadImageA, HANDLE, (HINSTANCE module, LPCSTR name, UINT type, int w, int h, UINT flags),
         (module, name, type, w, h, flags), ,
         if (type == IMAGE_BITMAP || !(flags & LR_SHARED))
             Take(call, KeyOf(kObject, result), (type == IMAGE_BITMAP ? "bitmap " : "icon ") + std::to_string((uintptr_t)name)))
// A static control gives up its picture to the program, which deletes it.
STAND_IN("user32.dll", SendMessageA, LRESULT, (HWND window, UINT message, WPARAM w, LPARAM l), (window, message, w, l), ,
         if (message == STM_SETIMAGE && w == IMAGE_BITMAP && !held.count(KeyOf(kObject, result)))
             Take(call, KeyOf(kObject, result), "bitmap of a static control"))
STAND_IN("user32.dll", CreateWindowExA, HWND,
         (DWORD ex, LPCSTR cls, LPCSTR name, DWORD style, int x, int y, int w, int h, HWND parent, HMENU menu,
          HINSTANCE module, LPVOID data),
         (ex, cls, name, style, x, y, w, h, parent, menu, module, data), , Take(call, KeyOf(kWindow, result), "window"))
STAND_IN("user32.dll", CreateDialogIndirectParamA, HWND,
         (HINSTANCE module, LPCDLGTEMPLATEA form, HWND parent, DLGPROC procedure, LPARAM l),
         (module, form, parent, procedure, l), , TakeStaticBitmaps(call, result))
STAND_IN("user32.dll", CreateDialogParamA, HWND, (HINSTANCE module, LPCSTR form, HWND parent, DLGPROC procedure, LPARAM l),
         (module, form, parent, procedure, l), , TakeStaticBitmaps(call, result))
STAND_IN("user32.dll", DestroyWindow, BOOL, (HWND window), (window), Destroying(call, kWindow, window, IsWindow(window)), )
STAND_IN("user32.dll", LoadMenuA, HMENU, (HINSTANCE module, LPCSTR name), (module, name), ,
         Take(call, KeyOf(kMenu, result), "menu"))
STAND_IN("user32.dll", DestroyMenu, BOOL, (HMENU menu), (menu), Destroying(call, kMenu, menu, IsMenu(menu)), )
STAND_IN("user32.dll", SetTimer, UINT_PTR, (HWND window, UINT_PTR id, UINT ms, TIMERPROC procedure),
         (window, id, ms, procedure), , if (result) Timed(call, KeyOf(kTimer, window, window ? id : result)))
STAND_IN("user32.dll", KillTimer, BOOL, (HWND window, UINT_PTR id), (window, id), , Give(call, KeyOf(kTimer, window, id)))
STAND_IN("user32.dll", RegisterClassA, ATOM, (const WNDCLASSA *c), (c), ,
         Take(call, KeyOf(kClass, result), std::string("window class ") + c->lpszClassName, c->lpszClassName))
STAND_IN("user32.dll", UnregisterClassA, BOOL, (LPCSTR name, HINSTANCE module), (name, module), ,
         if (result) Unregistered(name))
STAND_IN("user32.dll", SetWindowsHookExA, HHOOK, (int id, HOOKPROC procedure, HINSTANCE module, DWORD thread),
         (id, procedure, module, thread), , Take(call, KeyOf(kHook, result), "hook " + std::to_string(id)))
STAND_IN("user32.dll", UnhookWindowsHookEx, BOOL, (HHOOK hook), (hook),
         Give(call, KeyOf(kHook, hook), "a hook never set or already removed"), )
STAND_IN("kernel32.dll", LoadLibraryA, HMODULE, (LPCSTR name), (name), ,
         Take(call, KeyOf(kLibrary, result), std::string("library ") + name, name))
STAND_IN("kernel32.dll", FreeLibrary, BOOL, (HMODULE module), (module),
         Give(call, KeyOf(kLibrary, module), "a library not loaded or already freed"), )
STAND_IN("kernel32.dll", HeapAlloc, LPVOID, (HANDLE heap, DWORD flags, SIZE_T size), (heap, flags, size), ,
         if (heap == GetProcessHeap()) Take(call, KeyOf(kBlock, result), std::to_string(size) + "-byte heap block"))
// The system's threads share the process heap: a block goes back with its lock taken.
STAND_IN("kernel32.dll", HeapFree, BOOL, (HANDLE heap, DWORD flags, LPVOID block), (heap, flags, block),
         if (heap == GetProcessHeap() && block && (flags & HEAP_NO_SERIALIZE)) Fault(call, "a block without the heap's lock");
         if (heap == GetProcessHeap() && block) Give(call, KeyOf(kBlock, block), "a block never taken or already freed"), )
STAND_IN("winmm.dll", mmioOpenA, HMMIO, (LPSTR name, LPMMIOINFO info, DWORD flags), (name, info, flags), ,
         Take(call, KeyOf(kFile, result), "mmio file"))
STAND_IN("winmm.dll", mmioClose, MMRESULT, (HMMIO file, UINT flags), (file, flags),
         Give(call, KeyOf(kFile, file), "a file not open"), )
STAND_IN("winmm.dll", mixerOpen, MMRESULT, (LPHMIXER mixer, UINT id, DWORD_PTR to, DWORD_PTR data, DWORD flags),
         (mixer, id, to, data, flags), ,
         if (result == MMSYSERR_NOERROR && mixer) Take(call, KeyOf(kMixer, *mixer), "mixer handle"))
STAND_IN("winmm.dll", mixerClose, MMRESULT, (HMIXER mixer), (mixer),
         Give(call, KeyOf(kMixer, mixer), "a mixer handle not open"), )
#define OPENS(result, key)                                                               \
    if (result == ERROR_SUCCESS && !Predefined(*key)) Take(call, KeyOf(kKey, *key), "registry key"); \
    Asked(call.first, root, name, options, access, result)
// Keys are opened and made with the program's rights (tests/harness.cpp),
// but for the user's own; an option the system does not document is refused.
STAND_IN("advapi32.dll", RegOpenKeyA, LONG, (HKEY root, LPCSTR name, PHKEY key), (root, name, key), AsProgram(root != HKEY_CURRENT_USER),
         AsProgram(false); DWORD options = 0; REGSAM access = MAXIMUM_ALLOWED; OPENS(result, key))
STAND_IN("advapi32.dll", RegOpenKeyExA, LONG, (HKEY root, LPCSTR name, DWORD options, REGSAM access, PHKEY key),
         (root, name, options, access, key),
         if (options & ~DWORD(REG_OPTION_OPEN_LINK)) return ERROR_INVALID_PARAMETER; AsProgram(root != HKEY_CURRENT_USER),
         AsProgram(false); OPENS(result, key))
STAND_IN("advapi32.dll", RegCreateKeyExA, LONG,
         (HKEY root, LPCSTR name, DWORD reserved, LPSTR type, DWORD options, REGSAM access,
          LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition),
         (root, name, reserved, type, options, access, security, key, disposition),
         LONG refused = root == HKEY_CURRENT_USER ? 0 : CreateRefused(root, name, nextRegOpenKeyExA);
         if (refused) return Asked(call.first, root, name, options, access, refused); AsProgram(root != HKEY_CURRENT_USER),
         AsProgram(false); OPENS(result, key))
STAND_IN("advapi32.dll", RegCloseKey, LONG, (HKEY key), (key),
         if (!Predefined(key)) Give(call, KeyOf(kKey, key), "a key not open (closed twice?)"), )

// Installs the stand-ins before the first test and checks each test's end
// and the program's.
class Listener : public testing::EmptyTestEventListener {
    void OnTestProgramStart(const testing::UnitTest &) override
    {
        for (const StandIn &s : standIns)
            *s.next = (new ImportHook(s.dll, s.function, s.replacement, false))->Original<void *>();
        ApplyWindowsRules();
    }
    void OnTestStart(const testing::TestInfo &) override { ++test; }
    void OnTestEnd(const testing::TestInfo &) override { Report(false); }
    void OnTestIterationEnd(const testing::UnitTest &, int) override { Report(true); }
};
const bool listening = (testing::UnitTest::GetInstance()->listeners().Append(new Listener), true);

} // namespace
