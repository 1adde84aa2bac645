// Every flow of the program run once for each call it makes of DirectSound,
// the driver's property sets, the mixer, the registry and the multimedia file
// layer, with that one call failing (or handing back odd output) in each way
// the flow must survive. After every run: nothing of the card is held or used
// after its release, the user saw exactly the flow's messages for that
// failure, the speaker test is idle, and a resident program that went on
// running still answers its window. The flows and the messages are data; one
// harness runs them all.
//
// While a sweep is looked into: SWEEP_ONLY=<flow name> runs one flow,
// SWEEP_DEBUG=1 prints each run's record, SWEEP_ALL=1 goes on past failures.

#include "harness.h"
#include "app/app.h"
#include "app/tray.h"
#include "mixer/playback_mixer_page.h"
#include "mixer/record_mixer_page.h"
#include "panel/driver.h"
#include "panel/page_registry.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "speakers/uninstall.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"
#include "virtualcard/vcmixer.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// --- What one call may be made to do -----------------------------------------

// An outcome of a call: a result code, or (output) other output with success.
struct Effect {
    const char *name;
    LONG code;
    VcOutput output = VcOutput(0);
    bool fails = true; // a failure of the step; false: the step still succeeds
};

// The calls a flow can make, each with the outcomes it is tried with: the
// errors the platform documents for it and a generic one.
enum Source { kCard, kSystem };
struct Method {
    const char *name;
    Source source;
    Effect effects[4];
};

const LONG kNoVirtualization = 0x0878000A; // DS_NO_VIRTUALIZATION, a success code

const Method kMethods[] = {
    {"DirectSoundCreate", kCard,
     {{"nodriver", DSERR_NODRIVER}, {"allocated", DSERR_ALLOCATED}, {"null", 0, VcNullOut}}},
    {"DirectSoundEnumerate", kCard, {{"generic", DSERR_GENERIC}}},
    {"EnumerateDevice", kCard, {{"generic", DSERR_GENERIC}}},
    {"SetCooperativeLevel", kCard, {{"invalidparam", DSERR_INVALIDPARAM}, {"generic", DSERR_GENERIC}}},
    {"CreateSoundBuffer", kCard,
     {{"badformat", DSERR_BADFORMAT}, {"allocated", DSERR_ALLOCATED}, {"null", 0, VcNullOut},
      {"novirtualization", kNoVirtualization, VcOutput(0), false}}},
    {"GetSpeakerConfig", kCard, {{"generic", DSERR_GENERIC}}},
    {"SetSpeakerConfig", kCard, {{"invalidparam", DSERR_INVALIDPARAM}}},
    {"QueryInterface", kCard, {{"nointerface", E_NOINTERFACE}, {"null", 0, VcNullOut}}},
    {"Lock", kCard, {{"bufferlost", DSERR_BUFFERLOST}, {"short", 0, VcShortData}, {"split", 0, VcSplitLock}}},
    {"Unlock", kCard, {{"invalidparam", DSERR_INVALIDPARAM}}},
    {"Play", kCard, {{"bufferlost", DSERR_BUFFERLOST}}},
    {"Stop", kCard, {{"generic", DSERR_GENERIC}}},
    {"GetStatus", kCard, {{"invalidparam", DSERR_INVALIDPARAM}, {"lost", 0, VcBufferLost}}},
    {"QuerySupport", kCard, {{"unsupported", DSERR_UNSUPPORTED}, {"noset", 0, VcNoSetBit}}},
    {"Get", kCard, {{"unsupported", DSERR_UNSUPPORTED}, {"short", 0, VcShortData}}},
    {"Set", kCard, {{"unsupported", DSERR_UNSUPPORTED}}},
    {"mixerGetDevCapsA", kCard, {{"baddeviceid", MMSYSERR_BADDEVICEID}}},
    {"mixerOpen", kCard, {{"allocated", MMSYSERR_ALLOCATED}, {"nomem", MMSYSERR_NOMEM}}},
    {"mixerClose", kCard, {{"invalhandle", MMSYSERR_INVALHANDLE}}},
    {"mixerGetID", kCard, {{"invalhandle", MMSYSERR_INVALHANDLE}}},
    {"mixerGetLineInfoA", kCard, {{"invalline", MIXERR_INVALLINE}, {"error", MMSYSERR_ERROR}}},
    {"mixerGetLineControlsA", kCard, {{"invalcontrol", MIXERR_INVALCONTROL}}},
    {"mixerGetControlDetailsA", kCard, {{"invalcontrol", MIXERR_INVALCONTROL}, {"error", MMSYSERR_ERROR}}},
    {"mixerSetControlDetails", kCard, {{"invalvalue", MIXERR_INVALVALUE}}},
    {"RegOpenKeyA", kSystem, {{"notfound", ERROR_FILE_NOT_FOUND}, {"denied", ERROR_ACCESS_DENIED}}},
    {"RegOpenKeyExA", kSystem, {{"notfound", ERROR_FILE_NOT_FOUND}, {"denied", ERROR_ACCESS_DENIED}}},
    {"RegCreateKeyExA", kSystem, {{"denied", ERROR_ACCESS_DENIED}}},
    {"RegQueryValueExA", kSystem, {{"notfound", ERROR_FILE_NOT_FOUND}, {"moredata", ERROR_MORE_DATA}}},
    {"RegEnumKeyA", kSystem, {{"nomore", ERROR_NO_MORE_ITEMS}, {"denied", ERROR_ACCESS_DENIED}}},
    {"RegEnumKeyExA", kSystem, {{"nomore", ERROR_NO_MORE_ITEMS}, {"moredata", ERROR_MORE_DATA}}},
    {"RegSetValueExA", kSystem, {{"denied", ERROR_ACCESS_DENIED}}},
    {"mmioOpenA", kSystem, {{"null", 0}}},
    {"mmioDescend", kSystem, {{"notfound", MMIOERR_CHUNKNOTFOUND}}},
    {"mmioRead", kSystem, {{"error", -1}, {"short", 0, VcShortData, false}}},
    {"mmioSeek", kSystem, {{"error", -1}}},
    {"mmioAscend", kSystem, {{"cannotseek", MMIOERR_CANNOTSEEK}}},
};

// --- The system's functions, with one call made to fail ---------------------

struct SystemFault {
    const char *function = nullptr; // armed for this function, or none
    int n = 0;
    Effect effect = {};
    int calls = 0;
    bool hit = false;
};
SystemFault systemFault;

// The armed effect when this is the armed call of function.
const Effect *Fault(const char *function)
{
    if (!systemFault.function || strcmp(function, systemFault.function) != 0 || ++systemFault.calls != systemFault.n)
        return nullptr;
    systemFault.hit = true;
    return &systemFault.effect;
}

// The virtual card keeps its own state under its registry key; its calls
// are neither counted nor failed.
std::set<HKEY> cardKeys;
bool CardKey(HKEY root, const char *subkey)
{
    return cardKeys.count(root) ||
           (root == HKEY_CURRENT_USER && subkey && _strnicmp(subkey, VCARD_KEY, strlen(VCARD_KEY)) == 0);
}

ImportHook *hooks[32];
int hookCount;
template <typename F> F Original(int i)
{
    return hooks[i]->Original<F>();
}
// In the order InstallHooks installs them.
enum HookIndex {
    kRegOpenKey, kRegOpenKeyEx, kRegCreateKeyEx, kRegQueryValueEx, kRegEnumKey, kRegEnumKeyEx, kRegSetValueEx,
    kRegCloseKey, kMmioOpen, kMmioDescend, kMmioRead, kMmioSeek, kMmioAscend, kMessageBox, kDialogBox,
    kGetMessage, kNotifyIcon, kSleep, kGetVersion, kLoadLibrary, kGetProcAddress, kDeleteFile, kWinExec,
};

LONG WINAPI OpenKey(HKEY root, LPCSTR subkey, PHKEY key)
{
    bool card = CardKey(root, subkey);
    if (const Effect *e = card ? nullptr : Fault("RegOpenKeyA"))
        return *key = nullptr, e->code;
    LONG rc = Original<decltype(&RegOpenKeyA)>(kRegOpenKey)(root, subkey, key);
    if (card && rc == ERROR_SUCCESS)
        cardKeys.insert(*key);
    return rc;
}
LONG WINAPI OpenKeyEx(HKEY root, LPCSTR subkey, DWORD options, REGSAM access, PHKEY key)
{
    bool card = CardKey(root, subkey);
    if (const Effect *e = card ? nullptr : Fault("RegOpenKeyExA"))
        return *key = nullptr, e->code;
    LONG rc = Original<decltype(&RegOpenKeyExA)>(kRegOpenKeyEx)(root, subkey, options, access, key);
    if (card && rc == ERROR_SUCCESS)
        cardKeys.insert(*key);
    return rc;
}
LONG WINAPI CreateKeyEx(HKEY root, LPCSTR subkey, DWORD reserved, LPSTR cls, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    bool card = CardKey(root, subkey);
    if (const Effect *e = card ? nullptr : Fault("RegCreateKeyExA"))
        return *key = nullptr, e->code;
    LONG rc = Original<decltype(&RegCreateKeyExA)>(kRegCreateKeyEx)(root, subkey, reserved, cls, options, access,
                                                                     security, key, disposition);
    if (card && rc == ERROR_SUCCESS)
        cardKeys.insert(*key);
    return rc;
}
LONG WINAPI QueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (const Effect *e = CardKey(key, nullptr) ? nullptr : Fault("RegQueryValueExA")) {
        // As the registry does for a value larger than the buffer: the size
        // it would need, and a buffer left as it was.
        if (e->code == ERROR_MORE_DATA && size)
            *size = 0x10000;
        return e->code;
    }
    return Original<decltype(&RegQueryValueExA)>(kRegQueryValueEx)(key, name, reserved, type, data, size);
}
LONG WINAPI EnumKey(HKEY key, DWORD index, LPSTR name, DWORD size)
{
    if (const Effect *e = CardKey(key, nullptr) ? nullptr : Fault("RegEnumKeyA"))
        return e->code;
    return Original<decltype(&RegEnumKeyA)>(kRegEnumKey)(key, index, name, size);
}
LONG WINAPI EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD size, LPDWORD reserved, LPSTR cls,
                      LPDWORD classSize, PFILETIME time)
{
    if (const Effect *e = CardKey(key, nullptr) ? nullptr : Fault("RegEnumKeyExA"))
        return e->code;
    return Original<decltype(&RegEnumKeyExA)>(kRegEnumKeyEx)(key, index, name, size, reserved, cls, classSize,
                                                               time);
}
LONG WINAPI SetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    if (const Effect *e = CardKey(key, nullptr) ? nullptr : Fault("RegSetValueExA"))
        return e->code;
    return Original<decltype(&RegSetValueExA)>(kRegSetValueEx)(key, name, reserved, type, data, size);
}
LONG WINAPI CloseKey(HKEY key)
{
    cardKeys.erase(key);
    return Original<decltype(&RegCloseKey)>(kRegCloseKey)(key);
}
HMMIO WINAPI MmioOpen(LPSTR name, LPMMIOINFO info, DWORD flags)
{
    if (Fault("mmioOpenA"))
        return nullptr;
    return Original<decltype(&mmioOpenA)>(kMmioOpen)(name, info, flags);
}
MMRESULT WINAPI MmioDescend(HMMIO file, LPMMCKINFO chunk, const MMCKINFO *parent, UINT flags)
{
    if (const Effect *e = Fault("mmioDescend"))
        return static_cast<MMRESULT>(e->code);
    return Original<decltype(&mmioDescend)>(kMmioDescend)(file, chunk, parent, flags);
}
LONG WINAPI MmioRead(HMMIO file, HPSTR data, LONG size)
{
    if (const Effect *e = Fault("mmioRead")) {
        if (!e->output)
            return e->code;
        size /= 2; // a short read: the file ends sooner than its chunk says
    }
    return Original<decltype(&mmioRead)>(kMmioRead)(file, data, size);
}
LONG WINAPI MmioSeek(HMMIO file, LONG offset, int origin)
{
    if (const Effect *e = Fault("mmioSeek"))
        return e->code;
    return Original<decltype(&mmioSeek)>(kMmioSeek)(file, offset, origin);
}
MMRESULT WINAPI MmioAscend(HMMIO file, LPMMCKINFO chunk, UINT flags)
{
    if (const Effect *e = Fault("mmioAscend"))
        return static_cast<MMRESULT>(e->code);
    return Original<decltype(&mmioAscend)>(kMmioAscend)(file, chunk, flags);
}

// --- What the user and the system saw of a run ------------------------------

std::vector<std::string> boxes;        // message box texts
std::vector<std::string> outsideCalls; // the support library, deletions, programs started
bool messageLoopReached;
HMODULE supportStandIn; // stands for VTHLP32.DLL

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR, UINT)
{
    boxes.push_back(text ? text : "");
    return IDOK;
}
// The panel is a flow of its own; the uninstall's warning is answered "&Yes".
INT_PTR WINAPI RecordDialog(HINSTANCE, LPCSTR id, HWND, DLGPROC, LPARAM)
{
    outsideCalls.push_back("dialog " + std::to_string(LOWORD(reinterpret_cast<ULONG_PTR>(id))));
    return id == MAKEINTRESOURCEA(IDD_UNINSTALL_WARNING) ? IDYES : 0;
}
BOOL WINAPI NoIcon(DWORD, PNOTIFYICONDATAA)
{
    return TRUE;
}
void WINAPI NoSleep(DWORD)
{
}
// Windows XP, where the card is found by its PCI key.
BOOL WINAPI WindowsXp(LPOSVERSIONINFOA version)
{
    version->dwMajorVersion = 5;
    version->dwMinorVersion = 1;
    version->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}
HMODULE WINAPI LoadSupport(LPCSTR name)
{
    outsideCalls.push_back(std::string("load ") + name);
    if (lstrcmpiA(name, "VTHLP32.DLL") != 0)
        return nullptr;
    return Original<decltype(&LoadLibraryA)>(kLoadLibrary)("kernel32.dll");
}
void WINAPI Dll32Call(DWORD step)
{
    outsideCalls.push_back("DLL32Call " + std::to_string(step));
}
FARPROC WINAPI Export(HMODULE module, LPCSTR name)
{
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) && strcmp(name, "DLL32Call") == 0)
        return reinterpret_cast<FARPROC>(Dll32Call);
    return Original<decltype(&GetProcAddress)>(kGetProcAddress)(module, name);
}
BOOL WINAPI NoDelete(LPCSTR path)
{
    outsideCalls.push_back(std::string("delete ") + PathFindFileNameA(path));
    return TRUE;
}
UINT WINAPI NoProgram(LPCSTR line, UINT)
{
    outsideCalls.push_back(std::string("run ") + line);
    return 33;
}
BOOL WINAPI CountLoop(LPMSG msg, HWND window, UINT first, UINT last)
{
    messageLoopReached = true;
    return Original<decltype(&GetMessageA)>(kGetMessage)(msg, window, first, last);
}

void InstallHooks()
{
    const struct { const char *dll, *function; const void *replacement; } kHooks[] = {
        {"advapi32.dll", "RegOpenKeyA", reinterpret_cast<const void *>(OpenKey)},
        {"advapi32.dll", "RegOpenKeyExA", reinterpret_cast<const void *>(OpenKeyEx)},
        {"advapi32.dll", "RegCreateKeyExA", reinterpret_cast<const void *>(CreateKeyEx)},
        {"advapi32.dll", "RegQueryValueExA", reinterpret_cast<const void *>(QueryValueEx)},
        {"advapi32.dll", "RegEnumKeyA", reinterpret_cast<const void *>(EnumKey)},
        {"advapi32.dll", "RegEnumKeyExA", reinterpret_cast<const void *>(EnumKeyEx)},
        {"advapi32.dll", "RegSetValueExA", reinterpret_cast<const void *>(SetValueEx)},
        {"advapi32.dll", "RegCloseKey", reinterpret_cast<const void *>(CloseKey)},
        {"winmm.dll", "mmioOpenA", reinterpret_cast<const void *>(MmioOpen)},
        {"winmm.dll", "mmioDescend", reinterpret_cast<const void *>(MmioDescend)},
        {"winmm.dll", "mmioRead", reinterpret_cast<const void *>(MmioRead)},
        {"winmm.dll", "mmioSeek", reinterpret_cast<const void *>(MmioSeek)},
        {"winmm.dll", "mmioAscend", reinterpret_cast<const void *>(MmioAscend)},
        {"user32.dll", "MessageBoxA", reinterpret_cast<const void *>(RecordBox)},
        {"user32.dll", "DialogBoxParamA", reinterpret_cast<const void *>(RecordDialog)},
        {"user32.dll", "GetMessageA", reinterpret_cast<const void *>(CountLoop)},
        {"shell32.dll", "Shell_NotifyIconA", reinterpret_cast<const void *>(NoIcon)},
        {"kernel32.dll", "Sleep", reinterpret_cast<const void *>(NoSleep)},
        {"kernel32.dll", "GetVersionExA", reinterpret_cast<const void *>(WindowsXp)},
        {"kernel32.dll", "LoadLibraryA", reinterpret_cast<const void *>(LoadSupport)},
        {"kernel32.dll", "GetProcAddress", reinterpret_cast<const void *>(Export)},
        {"kernel32.dll", "DeleteFileA", reinterpret_cast<const void *>(NoDelete)},
        {"kernel32.dll", "WinExec", reinterpret_cast<const void *>(NoProgram)},
    };
    for (const auto &h : kHooks) {
        hooks[hookCount] = new ImportHook(h.dll, h.function, h.replacement);
        ++hookCount;
    }
}

// --- The flows ----------------------------------------------------------------

HWND owner;      // stands for the resident program's window where a flow needs one
HWND panelHost;  // a dialog with the panel's tab control, for the mixer pages

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The resident program from its start until its message loop would wait, and
// then asked to end; returns whether it got that far.
void Start(const char *commandLine)
{
    WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", "1", "SOUNDCFG.INI");
    soundDeviceCount = 0; // as a new process has it
    PostQuitMessage(0); // the loop handles what the start posted, then ends
    RunResidentProgram(GetModuleHandleA(nullptr), commandLine);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void OpenCommand()
{
    trayWindow = owner;
    OpenControlPanel();
    trayWindow = nullptr;
}

// The panel as the Open command shows it, made modeless so the flow can press
// its buttons; pressed is a button id, or 0 for none.
void Panel(int pressed)
{
    HWND panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), owner, PanelProc, 0);
    if (pressed)
        SendMessageA(panel, WM_COMMAND, pressed, 0);
    if (pressed != IDOK)
        SendMessageA(panel, WM_COMMAND, IDCANCEL, 0);
    DestroyWindow(panel);
}

// The engine from the start of a test until it is idle again, its timer's
// ticks given at once (the card's sounds end at once).
void SpeakerTest(int first, int end)
{
    shownLayout = 6;
    testIndex = first;
    testEnd = end;
    ToggleSpeakerTest(owner);
    for (int tick = 0; tick < 20 && (testSound || testBuffer); ++tick)
        PollSpeakerTest(owner);
    KillTimer(owner, kSpeakerTestTimer);
    testIndex = testEnd = 0;
}

void Uninstall()
{
    dll32Call = nullptr;
    supportLibrary = nullptr;
    UninstallDrivers(owner);
    if (supportLibrary)
        FinishUninstall(owner);
    dll32Call = nullptr;
    supportLibrary = nullptr;
}

// A mixer page bound to the card's mixer, one of its sliders moved, one of
// its boxes clicked, a change by another program followed, then closed.
void MixerFlow(MixerPage &object, int volumeSlider, int box, DWORD destination)
{
    object.mixerPageDevice = FindCardMixer();
    HWND page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(object.DialogTemplateId()), panelHost,
                                   object.DialogProcedure(),
                                   reinterpret_cast<LPARAM>(static_cast<ControlPanelPage *>(&object)));
    HWND slider = GetDlgItem(page, volumeSlider);
    SendMessageA(slider, TBM_SETPOS, TRUE, 3);
    SendMessageA(page, WM_VSCROLL, MAKEWPARAM(TB_ENDTRACK, 3), reinterpret_cast<LPARAM>(slider));
    SendDlgItemMessageA(page, box, BM_CLICK, 0, 0);
    DWORD line = VcMixerFindLine(0, destination);
    DWORD volume = VcMixerFindControl(0, line, MIXERCONTROL_CONTROLTYPE_VOLUME);
    const DWORD values[2] = {1000, 2000};
    VcMixerChangeByOtherProgram(0, volume, values, 2);
    MSG msg;
    while (PeekMessageA(&msg, page, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DestroyWindow(page);
}

// Messages by their string ids; what the user sees when call of method
// fails (call 0: any call of it).
struct Rule {
    const char *method;
    int call;
    std::vector<UINT> messages;
    bool ends = false; // the program ends at start-up
};

struct Flow {
    const char *name;
    void (*run)();
    std::vector<UINT> messages; // when nothing fails
    std::vector<Rule> rules;
    bool resident = false; // the resident program: its window must answer afterwards
    void (*prepare)() = nullptr; // the machine for the flow, when not the usual one
};

// The card's buffers report the channel configuration as readable only.
void NoChannelConfig()
{
    VcDevice card;
    VcDefaultDevice(0, &card);
    card.channelConfig = VcChannelConfigGetOnly;
    VcSetDevices(&card, 1);
}

const Flow kFlows[] = {
    {"start-up", [] { Start(""); }, {},
     // Without the PCI key's listing the card is not there: a silent end.
     {{"RegOpenKeyExA", 1, {}, true}, {"RegEnumKeyExA", 0, {}, true}}, true},
    {"start-up with OPEN", [] { Start("OPEN"); }, {},
     // The enumeration at the start (call 1) or the Open command's (call 2)
     // fails; the probe buffer of the Open command's first probe (call 4,
     // after the start-up probe's sound and the two devices' probes) is
     // refused. One of two devices left out still leaves a device listed.
     {{"RegOpenKeyExA", 1, {}, true}, {"RegEnumKeyExA", 0, {}, true},
      {"DirectSoundEnumerate", 0, {IDS_NO_DRIVER}}, {"CreateSoundBuffer", 4, {IDS_NO_ACCELERATION}}},
     true},
    {"Open command", OpenCommand, {},
     {{"CreateSoundBuffer", 1, {IDS_NO_ACCELERATION}}, {"DirectSoundEnumerate", 1, {IDS_NO_DRIVER}}}},
    {"start-up probe", [] { ProbeSpeakerRouting(Startup); }, {}, {}},
    {"Open probes", [] { ProbeSpeakerRouting(Open) || ProbeSpeakerRouting(OpenRetry); }, {},
     {{"CreateSoundBuffer", 1, {IDS_NO_ACCELERATION}}}},
    // The first probe writes DirectSound's defaults, the second tells the
    // user; a refused first probe buffer tells the user twice, and a second
    // probe that stops before its check tells nothing.
    {"Open probes without routing", [] { ProbeSpeakerRouting(Open) || ProbeSpeakerRouting(OpenRetry); },
     {IDS_NO_ACCELERATION},
     {{"CreateSoundBuffer", 1, {IDS_NO_ACCELERATION, IDS_NO_ACCELERATION}}, {"DirectSoundCreate", 2, {}},
      {"QueryInterface", 2, {}}},
     false, NoChannelConfig},
    {"panel opening", [] { Panel(0); }, {}, {}},
    {"Apply with two devices", [] { Panel(IDC_APPLY); }, {}, {}},
    {"OK", [] { Panel(IDOK); }, {}, {}},
    {"speaker test", [] { SpeakerTest(4, 4); }, {}, {}},
    {"Test All", [] { SpeakerTest(0, 6); }, {}, {}},
    {"uninstall", Uninstall, {IDS_UNINSTALL_DONE}, {}},
    {"playback mixer page",
     [] { MixerFlow(playbackMixerPage, 1100, 1121, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS); }, {}, {}},
    {"record mixer page",
     [] { MixerFlow(recordMixerPage, 1133, 1137, MIXERLINE_COMPONENTTYPE_DST_WAVEIN); }, {}, {}},
};

// The run in progress, told when the program crashes.
char currentRun[160];
LONG WINAPI TellRun(EXCEPTION_POINTERS *info)
{
    fprintf(stderr, "crashed (exception 0x%08lx) in the run: %s\n",
            static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode), currentRun);
    fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

std::string Texts(const std::vector<UINT> &ids)
{
    std::string texts;
    for (UINT id : ids) {
        char text[1024] = "";
        LoadStringA(appInstance, id, text, sizeof text);
        texts += std::string(texts.empty() ? "" : " | ") + text;
    }
    return texts;
}

std::string Joined(const std::vector<std::string> &lines)
{
    std::string joined;
    for (const std::string &line : lines)
        joined += (joined.empty() ? "" : " | ") + line;
    return joined;
}

class FaultSweep : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        SetUnhandledExceptionFilter(TellRun);
        folder_ = new WaveFolder;
        owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        panelHost = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, Inert, 0);
        InstallConfiguration();
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(panelHost);
        DestroyWindow(owner);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kPci) + kCardDevice).c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kProfilePci) + kCardDevice).c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kMediaClass);
        WritePrivateProfileStringA("DESCRIPTION", nullptr, nullptr, "SOUNDCFG.INI");
        WritePrivateProfileStringA("SPEAKERS", nullptr, nullptr, "SOUNDCFG.INI");
        SetCurrentDirectoryA("C:\\");
        delete folder_;
        VcReset();
    }
    // The card's driver package as it installs itself: the driver key, the
    // PCI keys, the media driver and SOUNDCFG.INI.
    static void InstallConfiguration()
    {
        const DWORD six = 6, on = 1, mid = kVcCardMixerMid;
        SHSetValueA(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", REG_DWORD, &six, 4);
        SHSetValueA(HKEY_LOCAL_MACHINE, kDriverKey, "StereoX2", REG_DWORD, &on, 4);
        std::string instance = std::string(kPci) + kCardDevice + "\\4&1D7F0560&0&40F0";
        SHSetValueA(HKEY_LOCAL_MACHINE, instance.c_str(), "Service", REG_SZ, "vtwdm560", 9);
        std::string profile = std::string(kProfilePci) + kCardDevice + "\\4&1D7F0560&0&40F0";
        SHSetValueA(HKEY_LOCAL_MACHINE, profile.c_str(), "Service", REG_SZ, "vtwdm560", 9);
        std::string media = std::string(kMediaClass) + "\\0000";
        SHSetValueA(HKEY_LOCAL_MACHINE, media.c_str(), "DriverDesc", REG_SZ, "Sonaris PCI Audio (WDM)", 24);
        SHSetValueA(HKEY_LOCAL_MACHINE, (media + "\\Config").c_str(), "ManufactureID", REG_BINARY, &mid, 2);
        WritePrivateProfileStringA("DESCRIPTION", "DRIVERVERSION", "5.12.01.0560", "SOUNDCFG.INI");
        WritePrivateProfileStringA("DESCRIPTION", "DRIVERDESC", "Sonaris PCI Audio", "SOUNDCFG.INI");
        WritePrivateProfileStringA("DESCRIPTION", "LOADER", "VTAPLT.CPL", "SOUNDCFG.INI");
    }

    void SetUp() override
    {
        InstallHooks();
    }
    void TearDown() override
    {
        for (int i = 0; i < hookCount; ++i)
            delete hooks[i];
        hookCount = 0;
    }

    // The machine before each run: two cards, their sounds ending at once,
    // the card's mixer, two devices listed, no fault.
    static void Prepare(void (*prepare)())
    {
        VcReset();
        VcSetPlayTimePercent(0);
        VcDevice devices[2];
        for (int i = 0; i < 2; ++i)
            VcDefaultDevice(i, &devices[i]);
        devices[1].hardware3D = devices[1].q3D = true;
        devices[1].channelConfig = VcChannelConfigSettable;
        VcSetDevices(devices, 2);
        VcMixerUseCardTopology();
        if (prepare)
            prepare();
        soundDeviceCount = 0;
        DirectSoundEnumerateA(EnumerateSoundDevice, &owner);
        VcLogClear();
        boxes.clear();
        outsideCalls.clear();
        messageLoopReached = false;
        systemFault = SystemFault{};
        testPlaying = 0;
    }

    // One run of flow with call n of method made to do effect (method null:
    // nothing fails); false when the flow never made call n.
    bool Run(const Flow &flow, const Method *method, int n, const Effect *effect)
    {
        Prepare(flow.prepare);
        mixerHandles_ = VcMixerOpenHandleCount();
        snprintf(currentRun, sizeof currentRun, "%s, %s call %d %s", flow.name, method ? method->name : "no fault",
                 n, effect ? effect->name : "");
        SCOPED_TRACE(currentRun);
        if (method && method->source == kCard) {
            if (effect->output)
                VcBendCall(method->name, n, effect->output);
            else
                VcFailCall(method->name, n, effect->code);
        } else if (method) {
            systemFault.function = method->name;
            systemFault.n = n;
            systemFault.effect = *effect;
        }
        flow.run();
        if (getenv("SWEEP_DEBUG")) {
            printf("== %s\n", currentRun);
            for (size_t i = 0; i < VcLogCount(); ++i)
                printf("  %s\n", VcLogLine(i));
            printf("  outside: %s\n  boxes: %s\n", Joined(outsideCalls).c_str(), Joined(boxes).c_str());
        }
        bool reached = !method || (method->source == kCard ? VcLogFind("fault ") < VcLogCount() : systemFault.hit);
        systemFault = SystemFault{};
        if (reached)
            Check(flow, method, n, effect);
        if (trayWindow) {
            DestroyWindow(trayWindow);
            trayWindow = nullptr;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        runs_ += reached;
        return reached;
    }

    // What the run left: nothing of the card held, the messages that the
    // flow gives the user for this failure, the speaker test idle, a resident
    // program still answering.
    static void Check(const Flow &flow, const Method *method, int n, const Effect *effect)
    {
        std::vector<UINT> expected = flow.messages;
        bool ends = false;
        if (effect && effect->fails)
            for (const Rule &rule : flow.rules)
                if (strcmp(rule.method, method->name) == 0 && (rule.call == 0 || rule.call == n)) {
                    expected = rule.messages;
                    ends = rule.ends;
                }
        EXPECT_EQ(Texts(expected), Joined(boxes));
        EXPECT_EQ(0, VcLiveDirectSounds());
        EXPECT_EQ(0, VcLiveBuffers());
        EXPECT_EQ(0, VcLivePropertySets());
        EXPECT_EQ(0, VcUsesAfterRelease());
        // A close that the mixer refused leaves its handle open.
        EXPECT_EQ(mixerHandles_ + (effect && strcmp(method->name, "mixerClose") == 0), VcMixerOpenHandleCount());
        EXPECT_EQ(nullptr, playbackMixerPage.mixerHandle);
        EXPECT_EQ(nullptr, recordMixerPage.mixerHandle);
        EXPECT_TRUE(testPlaying == 0 && !testSound && !testBuffer);
        EXPECT_EQ(nullptr, panelDialog);
        EXPECT_FALSE(IsWindow(currentPageWindow));
        if (flow.resident) {
            EXPECT_EQ(!ends, messageLoopReached);
            DWORD_PTR answer;
            if (!ends)
                EXPECT_NE(0, SendMessageTimeoutA(trayWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
        }
    }

    static WaveFolder *folder_;
    static int runs_;
    static UINT mixerHandles_;
    static constexpr const char *kPci = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
    static constexpr const char *kCardDevice = "\\VEN_1D7F&DEV_0560&SUBSYS_05601D7F&REV_01";
    static constexpr const char *kProfilePci =
        "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001\\System\\CurrentControlSet\\Enum\\PCI";
    static constexpr const char *kMediaClass =
        "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
};
WaveFolder *FaultSweep::folder_;
int FaultSweep::runs_;
UINT FaultSweep::mixerHandles_;

TEST_F(FaultSweep, EveryFlowSurvivesEveryFailingCall)
{
    int flows = 0, total = 0;
    for (const Flow &flow : kFlows) {
        if (getenv("SWEEP_ONLY") && strcmp(getenv("SWEEP_ONLY"), flow.name) != 0)
            continue;
        ++flows;
        runs_ = 0;
        ASSERT_TRUE(Run(flow, nullptr, 0, nullptr));
        std::string counts;
        for (const Method &method : kMethods) {
            int calls = 0;
            for (const Effect &effect : method.effects) {
                if (!effect.name)
                    break;
                int n = 1;
                while (Run(flow, &method, n, &effect))
                    ++n;
                calls = n - 1 > calls ? n - 1 : calls;
                if (HasFailure() && !getenv("SWEEP_ALL"))
                    break;
            }
            if (calls)
                counts += " " + std::string(method.name) + "=" + std::to_string(calls);
        }
        printf("%-24s %4d runs;%s\n", flow.name, runs_, counts.c_str());
        total += runs_;
        if (HasFailure() && !getenv("SWEEP_ALL"))
            break;
    }
    printf("%d flows, %d runs with one call failing or bent\n", flows, total);
}

// A page window gives back the pictures that the static controls of its
// template loaded (the controls never do): page windows are made anew at
// every tab change, and each would otherwise leave its pictures behind.
TEST(PageWindows, GiveBackThePicturesOfTheirTemplates)
{
    appInstance = GetModuleHandleA(nullptr);
    InitCommonControls();
    VcReset();
    HWND host = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, Inert, 0);
    size_t pictures = 0;
    for (ControlPanelPage *object : PageRegistry) {
        SCOPED_TRACE(object->DialogTemplateId());
        HWND page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(object->DialogTemplateId()), host,
                                       object->DialogProcedure(), reinterpret_cast<LPARAM>(object));
        std::vector<HGDIOBJ> shown;
        for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (HGDIOBJ bitmap = reinterpret_cast<HGDIOBJ>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0)))
                shown.push_back(bitmap);
        DestroyWindow(page);
        for (HGDIOBJ bitmap : shown)
            EXPECT_EQ(0u, GetObjectType(bitmap));
        pictures += shown.size();
    }
    EXPECT_EQ(7u, pictures); // the separators of the six templates
    DestroyWindow(host);
    EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets());
}

} // namespace
