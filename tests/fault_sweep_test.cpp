// Every flow of the program run once for each call it makes of DirectSound,
// the driver's property sets, the mixer, the registry and the multimedia file
// layer, with that one call failing (or handing back odd output) in each way
// the flow must survive. After every run: nothing of the card is held or used
// after its release, the user saw exactly the flow's messages for that
// failure, the speaker test is idle, and a resident program that went on
// running still answers its window. Each flow's number of runs and each
// method's calls reached are stated, so a sweep whose faults were never
// armed fails.

#include "harness.h"
#include "app/app.h"
#include "app/tray.h"
#include "mixer/playback_mixer_page.h"
#include "mixer/record_mixer_page.h"
#include "pages/effects/mixing_options_page.h"
#include "panel/driver.h"
#include "panel/page_registry.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/speaker_test.h"
#include "speakers/uninstall.h"
#include "virtualcard/vclog.h"
#include "virtualcard/vcmixer.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <set>

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
// errors the platform documents for it and a generic one; and how many calls
// of it the flows make, added up, as far as a fault reached them.
enum Source { kCard, kSystem };
struct Method {
    const char *name;
    Source source;
    int calls;
    Effect effects[4];
};

const LONG kNoVirtualization = 0x0878000A; // DS_NO_VIRTUALIZATION, a success code

const Method kMethods[] = {
    {"DirectSoundCreate", kCard, 38,
     {{"nodriver", DSERR_NODRIVER}, {"allocated", DSERR_ALLOCATED}, {"null", 0, VcNullOut}}},
    {"DirectSoundEnumerate", kCard, 4, {{"generic", DSERR_GENERIC}}},
    {"EnumerateDevice", kCard, 7, {{"generic", DSERR_GENERIC}}},
    {"SetCooperativeLevel", kCard, 26, {{"invalidparam", DSERR_INVALIDPARAM}, {"generic", DSERR_GENERIC}}},
    {"CreateSoundBuffer", kCard, 30,
     {{"badformat", DSERR_BADFORMAT}, {"allocated", DSERR_ALLOCATED}, {"null", 0, VcNullOut},
      {"novirtualization", kNoVirtualization, VcOutput(0), false}}},
    {"GetSpeakerConfig", kCard, 8, {{"generic", DSERR_GENERIC}}},
    {"SetSpeakerConfig", kCard, 2, {{"invalidparam", DSERR_INVALIDPARAM}}},
    {"QueryInterface", kCard, 23, {{"nointerface", E_NOINTERFACE}, {"null", 0, VcNullOut}}},
    {"Lock", kCard, 11, {{"bufferlost", DSERR_BUFFERLOST}, {"short", 0, VcShortData}, {"split", 0, VcSplitLock}}},
    {"Unlock", kCard, 11, {{"invalidparam", DSERR_INVALIDPARAM}}},
    {"Play", kCard, 11, {{"bufferlost", DSERR_BUFFERLOST}}},
    {"Stop", kCard, 11, {{"generic", DSERR_GENERIC}}},
    {"GetStatus", kCard, 7, {{"invalidparam", DSERR_INVALIDPARAM}, {"lost", 0, VcBufferLost}}},
    {"QuerySupport", kCard, 4, {{"unsupported", DSERR_UNSUPPORTED}, {"noset", 0, VcNoSetBit}}},
    {"Get", kCard, 60, {{"unsupported", DSERR_UNSUPPORTED}, {"short", 0, VcShortData}}},
    {"Set", kCard, 71, {{"unsupported", DSERR_UNSUPPORTED}}},
    {"mixerGetDevCapsA", kCard, 36, {{"baddeviceid", MMSYSERR_BADDEVICEID}}},
    {"mixerOpen", kCard, 2, {{"allocated", MMSYSERR_ALLOCATED}, {"nomem", MMSYSERR_NOMEM}}},
    {"mixerClose", kCard, 2, {{"invalhandle", MMSYSERR_INVALHANDLE}}},
    {"mixerGetID", kCard, 32, {{"invalhandle", MMSYSERR_INVALHANDLE}}},
    {"mixerGetLineInfoA", kCard, 68, {{"invalline", MIXERR_INVALLINE}, {"error", MMSYSERR_ERROR}}},
    {"mixerGetLineControlsA", kCard, 81, {{"invalcontrol", MIXERR_INVALCONTROL}}},
    {"mixerGetControlDetailsA", kCard, 121, {{"invalcontrol", MIXERR_INVALCONTROL}, {"error", MMSYSERR_ERROR}}},
    {"mixerSetControlDetails", kCard, 6, {{"invalvalue", MIXERR_INVALVALUE}}},
    {"RegOpenKeyA", kSystem, 22, {{"notfound", ERROR_FILE_NOT_FOUND}, {"denied", ERROR_ACCESS_DENIED}}},
    {"RegOpenKeyExA", kSystem, 11, {{"notfound", ERROR_FILE_NOT_FOUND}, {"denied", ERROR_ACCESS_DENIED}}},
    {"RegCreateKeyExA", kSystem, 3, {{"denied", ERROR_ACCESS_DENIED}}},
    {"RegQueryValueExA", kSystem, 32, {{"notfound", ERROR_FILE_NOT_FOUND}, {"moredata", ERROR_MORE_DATA}}},
    {"RegEnumKeyA", kSystem, 4, {{"nomore", ERROR_NO_MORE_ITEMS}, {"denied", ERROR_ACCESS_DENIED}}},
    {"RegEnumKeyExA", kSystem, 8, {{"nomore", ERROR_NO_MORE_ITEMS}, {"moredata", ERROR_MORE_DATA}}},
    {"RegSetValueExA", kSystem, 6, {{"denied", ERROR_ACCESS_DENIED}}},
    {"mmioOpenA", kSystem, 11, {{"null", 0}}}, {"mmioDescend", kSystem, 33, {{"notfound", MMIOERR_CHUNKNOTFOUND}}},
    {"mmioRead", kSystem, 22, {{"error", -1}, {"short", 0, VcShortData, false}}},
    {"mmioSeek", kSystem, 22, {{"error", -1}}}, {"mmioAscend", kSystem, 22, {{"cannotseek", MMIOERR_CANNOTSEEK}}},
};

// --- The system's functions, with one call made to fail -----------------------

// Call n of function (none: no function) does effect; hit once it has.
struct { const char *function = nullptr; int n = 0, calls = 0; Effect effect = {}; bool hit = false; } armed;

// The virtual card keeps its own state under its registry key; its calls
// are neither counted nor failed.
std::set<HKEY> cardKeys;

// What a call's arguments are: the key it opens or reads, the name below it,
// where an opened key goes, the last size it is given, a count of bytes.
struct Arguments {
    HKEY key = nullptr;
    const char *subkey = nullptr;
    PHKEY opened = nullptr;
    LPDWORD size = nullptr;
    LONG *count = nullptr;
};
void Note(HKEY &key, Arguments &a) { a.key = a.key ? a.key : key; }
void Note(LPCSTR &name, Arguments &a) { a.subkey = a.subkey ? a.subkey : name; }
void Note(PHKEY &opened, Arguments &a) { a.opened = opened; }
void Note(LPDWORD &size, Arguments &a) { a.size = size; }
void Note(LONG &count, Arguments &a) { a.count = &count; }
template <typename T> void Note(T &, Arguments &) {}

// A system function whose armed call fails (an opened key null, the size a
// value would need), or reads half of what it is asked (a file that ends
// sooner than its chunk says).
template <typename F> struct Failing;
template <typename R, typename... A> struct Failing<R(WINAPI *)(A...)> {
    static inline const char *name;
    static inline R(WINAPI *original)(A...);
    static R WINAPI Call(A... a)
    {
        Arguments args;
        (Note(a, args), ...);
        bool card = cardKeys.count(args.key) || (args.key == HKEY_CURRENT_USER && args.subkey &&
                                                 _strnicmp(args.subkey, VCARD_KEY, strlen(VCARD_KEY)) == 0);
        bool armedCall = !card && armed.function && strcmp(name, armed.function) == 0 && ++armed.calls == armed.n;
        armed.hit = armed.hit || armedCall;
        if (armedCall && armed.effect.output) {
            *args.count /= 2;
        } else if (armedCall) {
            if (args.opened)
                *args.opened = nullptr;
            if (armed.effect.code == ERROR_MORE_DATA && args.size)
                *args.size = 0x10000;
            return R(static_cast<LONG_PTR>(armed.effect.code));
        }
        R result = original(a...);
        if (card && args.opened && !result)
            cardKeys.insert(*args.opened);
        if (strcmp(name, "RegCloseKey") == 0)
            cardKeys.erase(args.key);
        return result;
    }
    static const void *Replacing(const char *dll, const char *function)
    {
        name = function;
        original = reinterpret_cast<R(WINAPI *)(A...)>(Imported(dll, function));
        return reinterpret_cast<const void *>(Call);
    }
};
#define FAILING(dll, function) ImportHook(dll, #function, Failing<decltype(&function)>::Replacing(dll, #function))

// --- Stand-ins for what a flow must not do to the machine ---------------------

bool loopEnded; // the resident program ran its message loop to the end
// The panel is a flow of its own; the uninstall's warning is answered "&Yes".
INT_PTR WINAPI AnswerYes(HINSTANCE, LPCSTR id, HWND, DLGPROC, LPARAM)
{
    return id == MAKEINTRESOURCEA(IDD_UNINSTALL_WARNING) ? IDYES : 0;
}
BOOL WINAPI NoIcon(DWORD message, PNOTIFYICONDATAA)
{
    loopEnded = loopEnded || message == NIM_DELETE; // as the loop ends
    return TRUE;
}
void WINAPI NoSleep(DWORD) {}
BOOL WINAPI NoDeletion(LPCSTR) { return TRUE; }

// --- The flows ----------------------------------------------------------------

HWND owner;     // stands for the resident program's window where a flow needs one
HWND panelHost; // a dialog with the panel's tab control, for the mixer pages

// The resident program from its start until its message loop would wait,
// and then asked to end.
void StartUp(const char *commandLine)
{
    WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", "1", "SOUNDCFG.INI");
    soundDeviceCount = 0; // as a new process has it
    PostQuitMessage(0);   // the loop handles what the start posted, then ends
    RunResidentProgram(GetModuleHandleA(nullptr), commandLine);
}

// The panel as the Open command shows it, made modeless so the flow can press
// its buttons; pressed is a button id, or 0 for none. Apply takes a change
// first: the layout of two speakers, which every card offers.
void Panel(int pressed)
{
    HWND panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), owner, PanelProc, 0);
    if (pressed == IDC_APPLY)
        UserInput(GetDlgItem(currentPageWindow, IDC_LAYOUT_2), {VK_LBUTTON});
    if (pressed)
        UserInput(GetDlgItem(panel, pressed), {VK_LBUTTON});
    if (pressed != IDOK)
        UserInput(GetDlgItem(panel, IDCANCEL), {VK_LBUTTON});
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
}

// With the package's support library, whose removal is undone afterwards.
void Uninstall()
{
    UninstallDrivers(owner);
    if (supportLibrary)
        FinishUninstall(owner);
    dll32Call = nullptr;
    supportLibrary = nullptr;
    RestorePackage();
}

// A mixer page bound to the card's mixer, one of its sliders moved, one of
// its boxes clicked, a change by another program followed, then closed.
void MixerFlow(MixerPage &object, int volumeSlider, int box, DWORD destination)
{
    object.mixerPageDevice = FindCardMixer();
    HWND page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(object.DialogTemplateId()), panelHost,
                                   object.DialogProcedure(),
                                   reinterpret_cast<LPARAM>(static_cast<ControlPanelPage *>(&object)));
    for (int id : {volumeSlider, box}) // as far as the page lets a user
        if (IsWindowEnabled(GetDlgItem(page, id)))
            UserInput(GetDlgItem(page, id), {id == box ? VK_LBUTTON : VK_DOWN});
    DWORD volume = VcMixerFindControl(0, VcMixerFindLine(0, destination), MIXERCONTROL_CONTROLTYPE_VOLUME);
    const DWORD values[2] = {1000, 2000};
    VcMixerChangeByOtherProgram(0, volume, values, 2);
    DispatchPending();
    DestroyWindow(page);
}

// Messages by their string ids; what the user sees when call of method
// fails (call 0: any call of it).
// The program may also end at start-up.
struct Rule { const char *method; int call; std::vector<UINT> messages; bool ends = false; };

struct Flow {
    const char *name;
    void (*run)();
    int runs; // with nothing failing, and with each call reached failing in each way
    std::vector<UINT> messages; // when nothing fails
    std::vector<Rule> rules;
    bool resident = false; // the resident program: its window must answer afterwards
    bool fixedRouting = false; // the card alone, its buffers' channel configuration readable only
};

const Flow kFlows[] = {
    // Without the PCI key's listing the card is not there: a silent end.
    {"start-up", [] { StartUp(""); }, 53, {}, {{"RegOpenKeyExA", 1, {}, true}, {"RegEnumKeyExA", 0, {}, true}}, true},
    // The enumeration at the start (call 1) or the Open command's (call 2)
    // fails; the probe buffer of the Open command's first probe (call 4,
    // after the start-up probe's sound and the two devices' probes) is
    // refused. One of two devices left out still leaves a device listed.
    {"start-up with OPEN", [] { StartUp("OPEN"); }, 135, {},
     {{"RegOpenKeyExA", 1, {}, true}, {"RegEnumKeyExA", 0, {}, true},
      {"DirectSoundEnumerate", 0, {IDS_NO_DRIVER}}, {"CreateSoundBuffer", 4, {IDS_NO_ACCELERATION}}},
     true},
    {"Open command", [] { trayWindow = owner; OpenControlPanel(); trayWindow = nullptr; }, 62, {},
     {{"CreateSoundBuffer", 1, {IDS_NO_ACCELERATION}}, {"DirectSoundEnumerate", 1, {IDS_NO_DRIVER}}}},
    // With one device whose buffers let the channel configuration be read
    // only, the first probe writes DirectSound's defaults, the retry tells
    // the user; a refused first probe buffer tells the user twice, a retry
    // that stops before its check tells nothing, and an enumeration that
    // leaves the device out tells there is no driver.
    {"Open command without routing", [] { trayWindow = owner; OpenControlPanel(); trayWindow = nullptr; }, 61,
     {IDS_NO_ACCELERATION},
     {{"CreateSoundBuffer", 1, {IDS_NO_ACCELERATION, IDS_NO_ACCELERATION}}, {"DirectSoundCreate", 2, {}},
      {"QueryInterface", 2, {}}, {"DirectSoundCreate", 3, {IDS_NO_ACCELERATION, IDS_NO_DRIVER}},
      {"DirectSoundEnumerate", 0, {IDS_NO_ACCELERATION, IDS_NO_DRIVER}},
      {"EnumerateDevice", 1, {IDS_NO_ACCELERATION, IDS_NO_DRIVER}},
      {"CreateSoundBuffer", 3, {IDS_NO_ACCELERATION, IDS_NO_DRIVER}}},
     false, true},
    {"panel opening", [] { Panel(0); }, 64, {}, {}},
    {"Apply with two devices", [] { Panel(IDC_APPLY); }, 179, {}, {}},
    {"OK", [] { Panel(IDOK); }, 116, {}, {}},
    {"speaker test", [] { SpeakerTest(4, 4); }, 33, {}, {}},
    {"Test All", [] { SpeakerTest(0, 6); }, 193, {}, {}},
    {"uninstall", Uninstall, 5, {IDS_UNINSTALL_DONE}, {}},
    {"playback mixer page", [] { MixerFlow(playbackMixerPage, 1100, 1121, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS); }, 217,
     {}, {}},
    {"record mixer page", [] { MixerFlow(recordMixerPage, 1133, 1137, MIXERLINE_COMPONENTTYPE_DST_WAVEIN); }, 360, {},
     {}},
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

class FaultSweep : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        SetUnhandledExceptionFilter(TellRun);
        owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        panelHost = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, InertDialog, 0);
    }
    static void TearDownTestSuite() { DestroyWindow(owner), DestroyWindow(panelHost); }
    // One run of flow with call n of method made to do effect (method null:
    // nothing fails) on the usual machine: two cards, their sounds ending at
    // once, the card's mixer, both devices listed. False when the flow never
    // made call n. What the run left: nothing of the card held, the messages
    // that the flow gives the user for this failure, the speaker test idle,
    // a resident program still answering.
    bool Run(const Flow &flow, const Method *method = nullptr, int n = 0, const Effect *effect = nullptr)
    {
        VcReset();
        VcSetPlayTimePercent(0);
        VcDevice devices[2];
        for (int i = 0; i < 2; ++i)
            VcDefaultDevice(i, &devices[i]);
        devices[1].hardware3D = devices[1].q3D = true;
        devices[1].channelConfig = VcChannelConfigSettable;
        if (flow.fixedRouting)
            devices[0].channelConfig = VcChannelConfigGetOnly;
        VcSetDevices(devices, flow.fixedRouting ? 1 : 2);
        VcMixerUseCardTopology();
        soundDeviceCount = 0;
        DirectSoundEnumerateA(EnumerateSoundDevice, &owner);
        VcLogClear();
        loopEnded = false;
        UINT mixerHandles = VcMixerOpenHandleCount();
        snprintf(currentRun, sizeof currentRun, "%s, %s call %d %s", flow.name, method ? method->name : "no fault",
                 n, effect ? effect->name : "");
        SCOPED_TRACE(currentRun);
        if (method && method->source == kSystem)
            armed = {method->name, n, 0, *effect};
        else if (method && effect->output)
            VcBendCall(method->name, n, effect->output);
        else if (method)
            VcFailCall(method->name, n, effect->code);
        MessageBoxCapture boxes;
        flow.run();
        bool reached = !method || (method->source == kCard ? VcLogFind("fault ") < VcLogCount() : armed.hit);
        armed = {};
        std::vector<UINT> expected = flow.messages;
        bool ends = false;
        for (const Rule &rule : flow.rules)
            if (effect && effect->fails && strcmp(rule.method, method->name) == 0 && (rule.call == 0 || rule.call == n))
                expected = rule.messages, ends = rule.ends;
        std::vector<std::string> texts, shown;
        for (UINT id : expected)
            texts.push_back(LoadText(id));
        for (const CapturedBox &box : boxes.Boxes())
            shown.push_back(box.text);
        if (reached) {
            EXPECT_EQ(texts, shown);
            ExpectNothingHeld();
            // A close that the mixer refused leaves its handle open.
            EXPECT_EQ(mixerHandles + (effect && strcmp(method->name, "mixerClose") == 0), VcMixerOpenHandleCount());
            EXPECT_TRUE(!playbackMixerPage.mixerHandle && !recordMixerPage.mixerHandle);
            EXPECT_TRUE(testPlaying == 0 && !testSound && !testBuffer);
            EXPECT_TRUE(!panelDialog && !IsWindow(currentPageWindow));
            DWORD_PTR answer;
            if (flow.resident)
                EXPECT_EQ(!ends,
                          loopEnded && SendMessageTimeoutA(trayWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
        }
        DestroyWindow(trayWindow);
        trayWindow = nullptr;
        DispatchPending();
        return reached;
    }

    WaveFolder waves_;
    FakeVersion xp_{kXp}; // where the card is found by its PCI key
    ImportHook standIns_[4] = {
        HOOK("user32.dll", DialogBoxParamA, AnswerYes), HOOK("shell32.dll", Shell_NotifyIconA, NoIcon),
        HOOK("kernel32.dll", Sleep, NoSleep), HOOK("kernel32.dll", DeleteFileA, NoDeletion),
    };
    ImportHook failing_[13] = {
        FAILING("advapi32.dll", RegOpenKeyA),      FAILING("advapi32.dll", RegOpenKeyExA),
        FAILING("advapi32.dll", RegCreateKeyExA),  FAILING("advapi32.dll", RegQueryValueExA),
        FAILING("advapi32.dll", RegEnumKeyA),      FAILING("advapi32.dll", RegEnumKeyExA),
        FAILING("advapi32.dll", RegSetValueExA),   FAILING("advapi32.dll", RegCloseKey),
        FAILING("winmm.dll", mmioOpenA),           FAILING("winmm.dll", mmioDescend),
        FAILING("winmm.dll", mmioRead),            FAILING("winmm.dll", mmioSeek),
        FAILING("winmm.dll", mmioAscend),
    };
};

TEST_F(FaultSweep, EveryFlowSurvivesEveryFailingCallAndReachesItsCalls)
{
    int calls[std::size(kMethods)] = {};
    for (const Flow &flow : kFlows) {
        int runs = Run(flow);
        for (const Method &method : kMethods) {
            int reached = 0;
            for (const Effect *effect = method.effects; effect < std::end(method.effects) && effect->name; ++effect) {
                int n = 1;
                while (Run(flow, &method, n, effect))
                    ++n, ++runs;
                reached = std::max(reached, n - 1);
            }
            calls[&method - kMethods] += reached;
            ASSERT_FALSE(HasFailure()) << flow.name;
        }
        ASSERT_EQ(flow.runs, runs) << flow.name;
    }
    for (const Method &method : kMethods)
        EXPECT_EQ(method.calls, calls[&method - kMethods]) << method.name;
}

// A limited user, who may write neither below HKEY_LOCAL_MACHINE nor in the
// Windows and system folders: every flow runs to its end and tells the user
// just what it tells an administrator (the package's library removes the card
// with the system's rights); what the program may not write stays as it was,
// silently: the first run's mark, so that every start sets the largest layout
// again, DirectSound's defaults, the driver's key, the uninstalled files. It
// asks to change nothing more, and what it may read, it reads.
TEST_F(FaultSweep, ALimitedUsersFlowsEndAsAnAdministratorsWithoutTheirWrites)
{
    RestorePackage();
    mixingOptionsPage.latency = 20;
    LimitedUser user;
    for (const Flow &flow : kFlows) {
        Run(flow);
        EXPECT_NE(std::string::npos, ReadWholeFile(WindowsFile("SOUNDCFG.INI")).find("FIRSTTIME=1")) << flow.name;
        EXPECT_EQ(flow.resident, VcLogFind("ds.speaker.set dev=0 value=0x6") < VcLogCount()) << flow.name;
    }
    EXPECT_EQ(40, mixingOptionsPage.latency);
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKeyPath); // nor can it make the driver's key anew
    ProbeSpeakerRouting(Startup);
    // All that it asks to change, and what Windows answers.
    EXPECT_EQ((std::set<std::string>{
                  "DeleteFileA VTAPLT.CPL: 5", "DeleteFileA VTHLP32.DLL: 5", "SetFileAttributesA SOUNDCFG.INI: 5",
                  "WritePrivateProfileStringA SOUNDCFG.INI: 5", "RegOpenKeyExA HKLM\\SOFTWARE\\Veltrona\\Wdm560 0 f003f: 5",
                  "RegOpenKeyExA HKLM\\SOFTWARE\\Veltrona\\Wdm560 0 f003f: 2", "RegCreateKeyExA HKLM\\SOFTWARE\\Veltrona\\Wdm560 0 f003f: 5",
                  "RegOpenKeyExA HKLM\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001\\System\\CurrentControlSet\\Enum\\PCI 0 f003f: 5"}),
              user.asked);
}

// A page window gives back the pictures that the static controls of its
// template loaded (the controls never do, and the harness holds the page to
// them): page windows are made anew at every tab change, and each would
// otherwise leave its pictures behind.
TEST(PageWindows, GiveBackThePicturesOfTheirTemplates)
{
    appInstance = GetModuleHandleA(nullptr);
    InitCommonControls();
    HWND host = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, InertDialog, 0);
    ShowWindow(host, SW_SHOWNA);
    for (ControlPanelPage *object : PageRegistry) {
        SCOPED_TRACE(object->DialogTemplateId());
        HWND page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(object->DialogTemplateId()), host,
                                       object->DialogProcedure(), reinterpret_cast<LPARAM>(object));
        // Shown and painted once: a page that answers WM_PAINT as handled
        // without painting is sent it for ever, which the harness fails.
        ShowWindow(page, SW_SHOWNA);
        DispatchPending();
        DestroyWindow(page);
    }
    DestroyWindow(host);
}

} // namespace
