// The Effects, Voice Manager and Mixing Options pages against the virtual
// card's driver property sets, through a real driver connection, and their
// dialogs inside the control panel's dialog, driven with the messages a
// user's actions send.
#include "harness.h"

#include "app/app.h"
#include "pages/effects/effects_page.h"
#include "pages/effects/mixing_options_page.h"
#include "pages/effects/voice_manager_page.h"
#include "panel/driver.h"
#include "resource.h"
#include "virtualcard/vclog.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <math.h>
#include <string.h>

namespace {

ControlPanelPage *const e = &effectsPage, *const v = &voiceManagerPage, *const m = &mixingOptionsPage;
const GUID *const E = &Q3DEffectPropertySet, *const Q = &Q3DPropertySet;
const DWORD kNone = DWORD(-1);
using Lines = std::vector<std::string>;

DWORD F(float value) { DWORD bits; memcpy(&bits, &value, sizeof bits); return bits; }
ULONG SizeOf(const GUID *set, ULONG id) { return set == Q && id == 12 ? 8 : 4; }

// A page's properties in its reading order: the value the card holds in the
// test and that of a page object that has read nothing.
struct Property { const GUID *set; ULONG id; DWORD driver[2], start[2]; };
const Property kEffects[] = {
    {E, 0, {0}, {1}}, {E, 4, {1}, {0}}, {E, 5, {1}, {0}}, {Q, 5, {1}, {0}}, {E, 8, {1}, {0}},
    {Q, 12, {1, 2}, {0, kNone}}, {E, 3, {1}, {0}}, {E, 9, {0x3e800000}, {0}}, {E, 10, {0x3f400000}, {0}}, {E, 1, {250}, {0}}};
const size_t kEffectsWriteOrder[] = {0, 1, 2, 4, 3, 5, 6, 7, 8, 9};
const Property kVoiceManager[] = {{Q, 2, {5}, {0}}, {Q, 6, {48}, {0}}, {Q, 7, {24}, {0}}};
const size_t kVoiceManagerOrder[] = {0, 1, 2};
const Property kMixingOptions[] = {{Q, 0, {1}, {0}}, {Q, 11, {0x3e800000}, {0x3f800000}}};
const size_t kMixingOptionsOrder[] = {0, 1};

// A call as the card records it (value null: a failed read); only the
// effect set's writes carry instance data, the 36-byte block (which the
// card takes only as 1 and eight zero words).
std::string Call(const char *verb, const Property &p, const DWORD *value)
{
    char text[160], words[32] = "null";
    if (value)
        snprintf(words, sizeof words, SizeOf(p.set, p.id) == 8 ? "0x%08lx,0x%08lx" : "0x%08lx", value[0], value[1]);
    snprintf(text, sizeof text, "ks.%s set=%s id=%lu inst=%d size=%lu value=%s hr=%s", verb, p.set == E ? "Effect" : "Q3D",
             p.id, verb[0] == 's' && p.set == E ? 36 : 0, SizeOf(p.set, p.id), words, value ? "0x00000000" : "0x80004005");
    return text;
}

Lines Calls() { return Trace(0, {"ks.get ", "ks.set "}); }

// The registry values the program queries, "name:size" each, in order.
std::string queries;
ImportHook *queryHook;
LONG WINAPI RecordQuery(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    queries += std::string(name) + ":" + std::to_string(*size) + " ";
    return queryHook->Original<decltype(&RegQueryValueExA)>()(key, name, reserved, type, data, size);
}

// Access violations, also those the system swallows in a window's messages.
int accessFaults;
LONG CALLBACK CountAccessFault(EXCEPTION_POINTERS *info)
{
    accessFaults += info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION;
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

class EffectsPagesTest : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        effectsPage = EffectsPage(), voiceManagerPage = VoiceManagerPage(), mixingOptionsPage = MixingOptionsPage();
        panel_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, InertDialog, 0);
        ASSERT_NE(nullptr, panel_);
        ASSERT_EQ(0, OpenDriverConnection(nullptr, panel_, &c_.directSound, &c_.propertySet, 0));
        VcLogClear();
    }
    void TearDown() override
    {
        DestroyWindow(panel_);
        CloseDriverConnection(&c_);
        RestorePackage(); // the Q3D key and the card's stored values
    }

    // The card's value of a property, set as another program would.
    void Preset(const GUID *set, ULONG id, DWORD low, DWORD high = 0)
    {
        DWORD block[9] = {1}, value[2] = {low, high};
        ASSERT_EQ(S_OK, c_.propertySet->Set(*set, id, set == E ? block : nullptr, set == E ? sizeof block : 0, value,
                                            SizeOf(set, id)));
    }
    DWORD Stored(const GUID *set, ULONG id, int word = 0)
    {
        DWORD value[2] = {};
        EXPECT_TRUE(VcStoredProperty(0, *set, id, value, SizeOf(set, id)));
        return value[word];
    }
    // Reads every property into a page object that holds the card's values
    // from a read before, the card now holding the start values, the nth
    // read failing (0: none), then writes them back; both as the card saw them.
    template <class Page, size_t N> void ExpectReadAndWrite(const Property (&properties)[N], const size_t (&order)[N])
    {
        for (size_t failing = 0; failing <= N; ++failing) {
            SCOPED_TRACE(testing::Message() << "read " << failing << " fails");
            Lines reads, writes;
            Page page;
            for (size_t i = 0; i < N; ++i)
                Preset(properties[i].set, properties[i].id, properties[i].driver[0], properties[i].driver[1]);
            page.ReadFromDriver(c_.directSound, c_.propertySet);
            for (size_t i = 0; i < N; ++i) {
                Preset(properties[i].set, properties[i].id, properties[i].start[0], properties[i].start[1]);
                reads.push_back(Call("get", properties[i], i + 1 == failing ? nullptr : properties[i].start));
            }
            for (size_t i : order)
                writes.push_back(Call("set", properties[i], i + 1 == failing ? properties[i].driver : properties[i].start));
            if (failing)
                VcFailCall("Get", static_cast<int>(failing), DSERR_GENERIC);
            VcLogClear();
            page.ReadFromDriver(c_.directSound, c_.propertySet);
            VcClearFaults();
            EXPECT_EQ(reads, Calls());
            VcLogClear();
            page.WriteToDriver(c_.directSound, c_.propertySet);
            EXPECT_EQ(writes, Calls());
        }
    }

    // The page's window as the panel makes it; the panel then restores its
    // Apply button, disabled here.
    void Open(ControlPanelPage *page)
    {
        DestroyWindow(page_); // if there is one
        page_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(page->DialogTemplateId()), panel_,
                                   page->DialogProcedure(), reinterpret_cast<LPARAM>(page));
        ASSERT_NE(nullptr, page_);
        EnableWindow(GetDlgItem(panel_, IDC_APPLY), FALSE);
    }
    // The window before goes first: it would take its settings after the read.
    void ReadAndOpen(ControlPanelPage *page) { DestroyWindow(std::exchange(page_, nullptr)), page->ReadFromDriver(c_.directSound, c_.propertySet), Open(page); }
    // The window goes (its page takes its settings), then OK writes them.
    void CloseAndWrite(ControlPanelPage *page) { DestroyWindow(std::exchange(page_, nullptr)), page->WriteToDriver(c_.directSound, c_.propertySet); }
    LRESULT Send(int id, UINT message, WPARAM w = 0, LPARAM l = 0) { return SendDlgItemMessageA(page_, id, message, w, l); }
    // A control's kind by a letter of its class: b(utton), c(ombo box),
    // e(dit), t(rack bar), u(p-down).
    char Kind(int id)
    {
        char name[32] = "";
        return GetClassNameA(GetDlgItem(page_, id), name, sizeof name), static_cast<char>(tolower(name[strncmp(name, "msctls_", 7) ? 0 : 7]));
    }
    // What a control shows: a button's check, a track bar's or a list's
    // position, an edit field's number, or an up-down's field's.
    int Shown(int id)
    {
        char text[32] = "", kind = Kind(id);
        GetWindowTextA(kind == 'u' ? reinterpret_cast<HWND>(Send(id, UDM_GETBUDDY)) : GetDlgItem(page_, id), text, sizeof text);
        return kind == 'b' ? Send(id, BM_GETCHECK) : kind == 't' ? Send(id, TBM_GETPOS)
             : kind == 'c' ? Send(id, CB_GETCURSEL) : strtol(text, nullptr, 10);
    }
    // Sets a control as the user does: types into a field, or until it shows
    // the value clicks a button or an up-down's arrow, or presses an arrow
    // key on a list or a track bar.
    void Put(int id, int value, const char *text = nullptr)
    {
        if (text)
            Send(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        for (int i = 0, at, kind = Kind(id); !text && i < 1000 && (at = Shown(id)) != value; ++i)
            UserInput(GetDlgItem(page_, id), {kind == 'b' || kind == 'u' ? VK_LBUTTON : at < value ? VK_DOWN : VK_UP}, {2, at < value ? 1 : 3});
    }

    HWND panel_ = nullptr, page_ = nullptr;
    DriverConnection c_ = {};
};

// ---- Driver <-> page object -------------------------------------------------

TEST_F(EffectsPagesTest, EachPageReadsAndWritesItsPropertiesInItsOrderAndAFailedReadKeepsTheField)
{
    ExpectReadAndWrite<EffectsPage>(kEffects, kEffectsWriteOrder);
    ExpectReadAndWrite<VoiceManagerPage>(kVoiceManager, kVoiceManagerOrder);
    ExpectReadAndWrite<MixingOptionsPage>(kMixingOptions, kMixingOptionsOrder);

    VcLogClear();
    void *handler = AddVectoredExceptionHandler(1, CountAccessFault);
    for (ControlPanelPage *page : {e, v, m}) { // a window without its page object shows and takes nothing
        EXPECT_TRUE(DestroyWindow(CreateDialogParamA(appInstance, MAKEINTRESOURCEA(page->DialogTemplateId()), panel_,
                                                     page->DialogProcedure(), 0)));
        page->WriteToDriver(nullptr, nullptr);
        page->WriteToDriver(c_.directSound, nullptr);
    }
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(0, accessFaults);
    EXPECT_EQ(Lines(), Calls());
}

// Property 1: on with the driver's value, or off keeping the last value.
// The template has no controls for it, so once its window has gone the page
// writes it off; with controls added, the page fills and reads them.
TEST_F(EffectsPagesTest, PropertyOneIsWrittenOffOnceThePageWindowHasBeenShownAndFillsControlsThatExist)
{
    // before: the value read first, the first time by a page that has read
    // nothing (0 keeps its 1000); checked: the box as the page is shown again.
    const struct { int32_t before, driver; bool controls, checked; int shownOn, shown; const char *typed; int32_t written; }
        cases[] = {{0, 0, true, false, 0, 1000, nullptr, 0},   {250, 250, false, false, 0, 0, nullptr, 0},
                   {-250, -250, true, false, 1, -250, "12abc", 12}, {250, 0, true, false, 0, 250, "300", 300},
                   {250, 0, true, true, 1, 250, nullptr, 250}};
    EffectsPage fresh; // a page that has read nothing writes property 1 off
    Preset(E, 1, 7), fresh.WriteToDriver(c_.directSound, c_.propertySet);
    EXPECT_EQ(0u, Stored(E, 1));
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        Preset(E, 1, c.before);
        effectsPage.ReadFromDriver(c_.directSound, c_.propertySet);
        Preset(E, 1, c.driver);
        ReadAndOpen(e);
        for (int id : {IDC_PROPERTY1_ON, IDC_PROPERTY1_VALUE})
            if (c.controls)
                CreateWindowExA(0, id == IDC_PROPERTY1_ON ? "BUTTON" : "EDIT", "", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 40,
                                12, page_, reinterpret_cast<HMENU>(INT_PTR(id)), appInstance, nullptr);
        if (c.checked)
            Put(IDC_PROPERTY1_ON, 1); // showing never unchecks it
        effectsPage.ShowSettings(page_); // as after Apply
        EXPECT_TRUE(c.shownOn == Shown(IDC_PROPERTY1_ON) && c.shown == Shown(IDC_PROPERTY1_VALUE));
        if (c.typed)
            Put(IDC_PROPERTY1_ON, 1), Put(IDC_PROPERTY1_VALUE, 0, c.typed);
        CloseAndWrite(e);
        EXPECT_EQ(DWORD(c.written), Stored(E, 1));
    }
}

// ---- Page object <-> controls -----------------------------------------------

// Each row: the card's values (on a card as it starts: effect 0 QSound,
// both expansions 0.5, 64 and 32 buffers, volume 1.0, no environment, the
// rest 0), what the page shows of them in a control,
// the value written once the window has gone (kNowhere: shown again as
// taken, for a value the page writes nowhere), after the user has set the
// control (to a position, or a typed text) if the row says so.
TEST_F(EffectsPagesTest, EachPageShowsTheDriversValuesTakesWhatTheUserSetsAndWritesIt)
{
    const int kKeep = 9999;
    const GUID *const kNowhere = nullptr;
    const std::string padded = std::string(29, ' ') + "123"; // 31 characters are fetched
    const struct { ControlPanelPage *page; std::vector<Property> driver; int control, shown; const GUID *writtenSet;
                   ULONG writtenId; DWORD written[2]; int set = kKeep; const char *typed = nullptr; } rows[] = {
        {e, {{E, 0, {0}}}, IDC_MODE_QSOUND, 0, E, 0, {0}},      {e, {{E, 0, {0}}}, IDC_MODE_STEREO, 1, E, 0, {0}},
        {e, {{E, 0, {0x80000000}}}, IDC_MODE_QSOUND, 1, E, 0, {1}},      {e, {{E, 0, {2}}}, IDC_MODE_STEREO, 0, E, 0, {1}},
        {e, {{E, 5, {0x100}}}, IDC_REVERB, 1, E, 5, {1}},
        {e, {}, IDC_REVERB, 0, E, 5, {1}, 1},                   {e, {{Q, 5, {7}}}, IDC_LOW_FREQUENCY, 1, Q, 5, {1}},
        {e, {{E, 3, {0x80000000}}}, IDC_STEREO_EXPANSION, 1, E, 3, {1}}, {e, {{E, 3, {1}}}, IDC_STEREO_EXPANSION, 1, E, 3, {0}, 0},
        // CPU Usage counts the two switches the driver reports, elevation
        // and interpolation, each on at any value but 0 (negative ones too);
        // taken back, its position decides both.
        {e, {}, IDC_CPU_USAGE, 0, E, 8, {0}},                   {e, {{E, 4, {1}}}, IDC_CPU_USAGE, 1, E, 4, {0}},
        {e, {{E, 4, {1}}}, IDC_CPU_USAGE, 1, E, 8, {1}},        {e, {{E, 8, {9}}}, IDC_CPU_USAGE, 1, E, 8, {1}},
        {e, {{E, 4, {1}}, {E, 8, {1}}}, IDC_CPU_USAGE, 2, E, 4, {1}}, {e, {{E, 4, {0x80000000}}, {E, 8, {DWORD(-1)}}}, IDC_CPU_USAGE, 2, E, 8, {1}},
        {e, {}, IDC_CPU_USAGE, 0, E, 4, {1}, 2},                {e, {}, IDC_CPU_USAGE, 0, E, 8, {1}, 2},
        {e, {{E, 4, {1}}, {E, 8, {1}}}, IDC_CPU_USAGE, 2, E, 8, {0}, 0}, {e, {{E, 4, {1}}}, IDC_CPU_USAGE, 1, E, 4, {0}, 1},
        // The environment list: "- none -", 26 of bank 0, 3 of bank 1.
        {e, {{Q, 12, {0, 0}}}, IDC_ENVIRONMENT, 1, Q, 12, {0, 0}}, {e, {{Q, 12, {0, 25}}}, IDC_ENVIRONMENT, 26, Q, 12, {0, 25}},
        {e, {{Q, 12, {1, 0}}}, IDC_ENVIRONMENT, 27, Q, 12, {1, 0}}, {e, {{Q, 12, {1, 2}}}, IDC_ENVIRONMENT, 29, Q, 12, {1, 2}},
        {e, {{Q, 12, {0x80000000, 1}}}, IDC_ENVIRONMENT, 28, Q, 12, {1, 1}}, {e, {{Q, 12, {1, 5}}}, IDC_ENVIRONMENT, -1, Q, 12, {0, DWORD(-2)}},
        {e, {{Q, 12, {0, 29}}}, IDC_ENVIRONMENT, -1, Q, 12, {0, DWORD(-2)}}, {e, {{Q, 12, {1, 2}}}, IDC_ENVIRONMENT, 29, Q, 12, {0, 0}, 1},
        {e, {}, IDC_ENVIRONMENT, 0, Q, 12, {0, 25}, 26},        {e, {}, IDC_ENVIRONMENT, 0, Q, 12, {1, 0}, 27},
        {e, {}, IDC_ENVIRONMENT, 0, Q, 12, {0, kNone}, 0},
        {e, {{Q, 12, {1, kNone}}}, IDC_ENVIRONMENT, 26, Q, 12, {0, 25}}, // none of bank 1 is the last of bank 0
        // Spread and center: 0.0 to 1.0 in steps of 0.001, in double precision
        // (0x3a03126e: the float just below 0.0005).
        {e, {{E, 9, {F(0.5f)}}}, IDC_SPREAD, 500, E, 9, {F(0.5f)}}, {e, {{E, 9, {F(1.5f)}}}, IDC_SPREAD, 1000, E, 9, {F(1.0f)}},
        {e, {{E, 9, {F(-0.25f)}}}, IDC_SPREAD, 0, E, 9, {0}},    {e, {{E, 10, {F(0.0005f)}}}, IDC_CENTER, 1, E, 10, {F(0.001f)}},
        {e, {{E, 10, {0x3a03126e}}}, IDC_CENTER, 0, E, 10, {0}}, {e, {{E, 10, {F(NAN)}}}, IDC_CENTER, 0, E, 10, {0}},
        {e, {}, IDC_SPREAD, 500, E, 9, {F(0.334f)}, 334},       {e, {}, IDC_CENTER, 500, E, 10, {F(1.0f)}, 1000},
        // Voice manager: the policy bits shown one by one, the play count
        // bounded by the total count in the page itself; typed numbers.
        {v, {{Q, 2, {0}}}, IDC_PLAY_UNLIMITED, 1, Q, 2, {0}},   {v, {{Q, 2, {1}}}, IDC_LIMIT_TOTAL, 1, Q, 2, {1}},
        {v, {{Q, 2, {6}}}, IDC_PLAY_LIMITED, 1, Q, 2, {6}},     {v, {{Q, 2, {6}}}, IDC_PLAY_LONGEST, 1, Q, 2, {6}},
        {v, {{Q, 2, {6}}}, IDC_PLAY_UNLIMITED, 0, Q, 2, {6}},   {v, {{Q, 2, {0xF8}}}, IDC_PLAY_UNLIMITED, 1, Q, 2, {0}},
        {v, {{Q, 2, {2}}}, IDC_PLAY_LIMITED, 1, Q, 2, {2}},     {v, {{Q, 2, {2}}}, IDC_PLAY_LONGEST, 0, Q, 2, {2}},
        {v, {{Q, 2, {4}}}, IDC_PLAY_LONGEST, 1, Q, 2, {4}},     {v, {{Q, 2, {4}}}, IDC_PLAY_LIMITED, 0, Q, 2, {4}},
        {v, {{Q, 2, {4}}}, IDC_PLAY_UNLIMITED, 0, Q, 2, {4}},   {v, {{Q, 2, {2}}}, IDC_PLAY_UNLIMITED, 0, Q, 2, {2}},
        {v, {{Q, 2, {7}}}, IDC_LIMIT_TOTAL, 1, Q, 2, {7}},      {v, {{Q, 2, {3}}}, IDC_PLAY_UNLIMITED, 0, Q, 2, {3}},
        {v, {{Q, 2, {6}}}, IDC_LIMIT_TOTAL, 0, Q, 2, {6}},      {v, {{Q, 2, {0xF9}}}, IDC_LIMIT_TOTAL, 1, Q, 2, {1}},
        {v, {}, IDC_PLAY_LIMITED, 0, Q, 2, {2}, 1},             {v, {}, IDC_PLAY_LONGEST, 0, Q, 2, {4}, 1},
        {v, {{Q, 2, {7}}}, IDC_PLAY_UNLIMITED, 0, Q, 2, {1}, 1}, {v, {{Q, 2, {6}}}, IDC_PLAY_UNLIMITED, 0, Q, 2, {0}, 1},
        {v, {}, IDC_LIMIT_TOTAL, 0, Q, 2, {1}, 1},              {v, {{Q, 6, {32}}}, IDC_MAX_TOTAL, 32, Q, 6, {32}},
        {v, {{Q, 7, {100}}}, IDC_MAX_PLAY, 64, Q, 7, {64}},     {v, {{Q, 7, {65}}}, IDC_MAX_PLAY, 64, Q, 7, {64}},
        {v, {{Q, 7, {64}}}, IDC_MAX_PLAY, 64, Q, 7, {64}},      {v, {{Q, 6, {DWORD(-5)}}}, IDC_MAX_TOTAL, -5, Q, 6, {DWORD(-5)}},
        {v, {{Q, 6, {DWORD(-5)}}}, IDC_MAX_PLAY, 32, Q, 7, {32}}, {v, {}, IDC_MAX_TOTAL, 64, Q, 6, {12}, 0, "12abc"},
        {v, {}, IDC_MAX_TOTAL, 64, Q, 6, {0}, 0, ""},           {v, {}, IDC_MAX_TOTAL, 64, Q, 6, {DWORD(-5)}, 0, "-5"},
        {v, {}, IDC_MAX_TOTAL, 64, Q, 6, {5000}, 0, "5000"},    {v, {}, IDC_MAX_TOTAL, 64, Q, 6, {7}, 0, " +7x"},
        {v, {}, IDC_MAX_PLAY, 32, Q, 7, {20}, 0, "20"},         {v, {}, IDC_MAX_PLAY, 32, Q, 7, {12}, 0, padded.c_str()},
        // Mixing options: floating point is 2; the volume track bar counts
        // dB of attenuation, 60 silent.
        {m, {{Q, 0, {1}}}, IDC_FLOATING_POINT, 0, Q, 0, {0}},   {m, {{Q, 0, {2}}}, IDC_FLOATING_POINT, 1, Q, 0, {2}},
        {m, {{Q, 0, {3}}}, IDC_FLOATING_POINT, 0, Q, 0, {0}},   {m, {}, IDC_FLOATING_POINT, 0, Q, 0, {2}, 1},
        {m, {{Q, 11, {F(0.5f)}}}, IDC_VOLUME, 6, Q, 11, {F(0.5011872f)}},
        {m, {{Q, 11, {F(2.0f)}}}, IDC_VOLUME, 0, Q, 11, {F(1.0f)}}, {m, {{Q, 11, {F(0.0f)}}}, IDC_VOLUME, 60, Q, 11, {0}},
        {m, {{Q, 11, {F(-1.0f)}}}, IDC_VOLUME, 60, Q, 11, {0}}, {m, {{Q, 11, {F(0.001f)}}}, IDC_VOLUME, 60, Q, 11, {0}},
        {m, {{Q, 11, {F(NAN)}}}, IDC_VOLUME, 60, Q, 11, {0}},   {m, {}, IDC_VOLUME, 0, Q, 11, {F(0.8912509f)}, 1},
        {m, {}, IDC_VOLUME, 0, Q, 11, {F(0.1f)}, 20},           {m, {}, IDC_VOLUME, 0, Q, 11, {F(0.01f)}, 40},
        {m, {}, IDC_VOLUME, 0, Q, 11, {F(0.0011220184f)}, 59},
        // The nearest whole dB, each side of a half: -0.4996, -0.5006, -59.494, -59.502,
        // -1.50000002 dB (in double precision).
        {m, {{Q, 11, {F(0.9441f)}}}, IDC_VOLUME, 0, Q, 11, {F(1.0f)}},
        {m, {{Q, 11, {F(0.944f)}}}, IDC_VOLUME, 1, Q, 11, {F(0.8912509f)}},
        {m, {{Q, 11, {F(0.00106f)}}}, IDC_VOLUME, 59, Q, 11, {F(0.0011220184f)}},
        {m, {{Q, 11, {F(0.001059f)}}}, IDC_VOLUME, 60, Q, 11, {0}}, {m, {{Q, 11, {0x3f5765ac}}}, IDC_VOLUME, 2, Q, 11, {F(0.7943282f)}},
        // Latency, as the package installed it (40), then typed: taken as it
        // stands, past the arrows' 10 to 200 too; no digits give 0, and what
        // 32 bits cannot hold stops at the largest of its sign.
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {500}, 0, "500"}, {m, {}, IDC_LATENCY, 40, kNowhere, 0, {201}, 0, "201"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {9}, 0, "9"},     {m, {}, IDC_LATENCY, 40, kNowhere, 0, {10}, 0, "010"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {DWORD(-12)}, 0, "\t -0012ms"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {123}, 0, padded.c_str() + 1}, // all 31 characters
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {0}, 0, "- 5"},   {m, {}, IDC_LATENCY, 40, kNowhere, 0, {0}, 0, "0x1F"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {0}, 0, "abc7"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {0x7FFFFFFF}, 0, "2147483647"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {0x7FFFFFFF}, 0, "2147483648"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {0x80000000}, 0, "-2147483648"},
        {m, {}, IDC_LATENCY, 40, kNowhere, 0, {0x80000000}, 0, "-99999999999"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &r - rows);
        VcReset();
        for (const Property &p : r.driver)
            Preset(p.set, p.id, p.driver[0], p.driver[1]);
        ReadAndOpen(r.page);
        EXPECT_EQ(r.shown, Shown(r.control));
        if (r.writtenSet == Q && r.writtenId == 7 && r.set == kKeep && !r.typed) { // the field holds what is shown
            v->WriteToDriver(c_.directSound, c_.propertySet);
            EXPECT_EQ(r.written[0], Stored(Q, 7));
        }
        if (r.set != kKeep || r.typed)
            Put(r.control, r.set, r.typed);
        CloseAndWrite(r.page);
        if (r.writtenSet == kNowhere)
            Open(r.page);
        EXPECT_EQ(r.written[0], r.writtenSet ? Stored(r.writtenSet, r.writtenId) : DWORD(Shown(r.control)));
        EXPECT_EQ(r.written[1], r.writtenSet ? Stored(r.writtenSet, r.writtenId, 1) : 0); // 0 past a 4-byte value
    }

    // Every position comes back as it went, through single precision (the
    // center as the spread); an environment the list lacks clears the
    // selection shown before.
    const struct { ControlPanelPage *page; int control, first, last; } trips[] = {
        {e, IDC_SPREAD, 0, 1000}, {e, IDC_ENVIRONMENT, 0, 29}, {m, IDC_VOLUME, 0, 60}};
    for (const auto &t : trips) {
        Open(t.page);
        for (int position = t.first; position <= t.last; ++position) {
            Put(t.control, position);
            t.page->TakeSettings(page_);
            Put(t.control, position ? position - 1 : 1);
            t.page->ShowSettings(page_);
            ASSERT_EQ(position, Shown(t.control)) << t.control;
        }
    }
    // So does one far below the list, the first past its end, or one whose entry 32 bits cannot hold.
    const std::pair<DWORD, DWORD> beyond[] = {{0, DWORD(-5)}, {1, 3}, {0, INT_MAX}};
    for (auto [bank, index] : beyond) {
        Preset(Q, 12, bank, index), ReadAndOpen(e), Put(IDC_ENVIRONMENT, 3), effectsPage.ShowSettings(page_);
        EXPECT_EQ(-1, Shown(IDC_ENVIRONMENT)) << bank << " " << index;
    }
}

// Start values, the controls' ranges and ticks, and the place on the
// panel: the top left corner of the tab control's display area.
TEST_F(EffectsPagesTest, AFreshPageShowsItsStartValuesAndRangesOnTheTabsDisplayArea)
{
    const struct { ControlPanelPage *page; int control, shown, low, high, ticks; } rows[] = { // the pages as made
        {e, IDC_MODE_QSOUND, 1},                {e, IDC_MODE_STEREO, 0},           {e, IDC_REVERB, 0},
        {e, IDC_ENVIRONMENT, 0},                {e, IDC_STEREO_EXPANSION, 0},      {e, IDC_LOW_FREQUENCY, 0},
        {e, IDC_CPU_USAGE, 0, 0, 2, 3},         {e, IDC_SPREAD, 0, 0, 1000},       {e, IDC_CENTER, 0, 0, 1000},
        {v, IDC_PLAY_UNLIMITED, 1},             {v, IDC_LIMIT_TOTAL, 0},           {v, IDC_MAX_TOTAL_SPIN, 0, 2, 1000},
        {v, IDC_MAX_PLAY_SPIN, 0, 1, 1000},     {m, IDC_FLOATING_POINT, 0},        {m, IDC_LATENCY_SPIN, 20, 10, 200},
        {m, IDC_MIX_PRIMARY, 0},                {m, IDC_BYPASS, 0},                {m, IDC_VOLUME, 0, 0, 60, 11}, // a tick every 6 dB
    };
    RECT area, page;
    GetWindowRect(GetDlgItem(panel_, IDC_PANEL_TAB), &area);
    SendDlgItemMessageA(panel_, IDC_PANEL_TAB, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (const auto &r : rows) {
        Open(r.page);
        EXPECT_EQ(r.shown, Shown(r.control)) << r.control; // an up-down's: its field's
        int low = 0, high = 0;
        if (Kind(r.control) == 'u')
            Send(r.control, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
        else if (r.high)
            low = Send(r.control, TBM_GETRANGEMIN), high = Send(r.control, TBM_GETRANGEMAX);
        EXPECT_TRUE(r.low == low && r.high == high && (!r.ticks || r.ticks == Send(r.control, TBM_GETNUMTICS)))
            << r.control << ": " << low << ".." << high << ", ticks " << Send(r.control, TBM_GETNUMTICS);
        GetWindowRect(page_, &page);
        EXPECT_TRUE(page.left == area.left && page.top == area.top);
    }
    Open(e);
    EXPECT_EQ(30, Send(IDC_ENVIRONMENT, CB_GETCOUNT));
    char text[5][64] = {};
    for (int i : {0, 1, 2, 3, 4})
        Send(IDC_ENVIRONMENT, CB_GETLBTEXT, (int[]){0, 1, 26, 27, 29}[i], reinterpret_cast<LPARAM>(text[i]));
    EXPECT_EQ((std::vector<std::string>{"- none -", "Generic", "Psychotic", "Jedi Knight", "Motocross Madness"}),
              std::vector<std::string>(text, text + 5));
    // The list in the user's language: Russian names "Padded Cell" in 24 bytes, the longest of all.
    const LCID user = GetThreadLocale();
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)), Open(e), SetThreadLocale(user);
    EXPECT_EQ(24, Send(IDC_ENVIRONMENT, CB_GETLBTEXTLEN, 2));
}

// The registry values under the Q3D key, read in the order Latency, Primary,
// Bypass, 4 bytes each: a short value replaces the low bytes of its field
// whatever its type; a missing or longer one leaves it; none is stored.
TEST_F(EffectsPagesTest, MixingOptionsShowsTheRegistryValuesAndStoresThemNowhere)
{
    ImportHook hook = HOOK("advapi32.dll", RegQueryValueExA, RecordQuery);
    queryHook = &hook;
    // Latency, Primary, Bypass: as the package installed them (40, 0, 0)
    // unless a type is given; a type without data: missing.
    struct Value { DWORD type; const char *data; DWORD size; };
    const char *const names[] = {"Latency", "Primary", "Bypass"};
    const struct { bool key; Value values[3]; int latency, primary, bypass; } steps[] = {
        {false, {}, 321, 1, 1}, {true, {}, 40, 0, 0},
        {true, {{REG_DWORD, "\x29\0\0", 4}, {REG_DWORD, nullptr, 0}, {REG_DWORD, "\0\0\0\x80", 4}}, 41, 1, 1},
        {true, {{REG_DWORD, nullptr, 0}}, 321, 0, 0},
        {true, {{REG_BINARY, "\5", 1}, {REG_SZ, "longer", 7}, {REG_BINARY, "\0", 2}}, 0x105, 1, 0},
        {true, {{REG_SZ, "7", 2}, {REG_BINARY, "\0\0\0\0", 5}, {REG_BINARY, "\1", 1}}, 0x37, 1, 1},
        {true, {{REG_BINARY, "\x10\0\0\0\0\0\0", 8}, {REG_BINARY, "\0\1", 2}, {REG_DWORD, nullptr, 0}}, 321, 1, 1},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.latency);
        Open(m); // the page's fields: 321 (0x141), both switches on
        Put(IDC_LATENCY, 0, "321"), Put(IDC_MIX_PRIMARY, 1), Put(IDC_BYPASS, 1);
        DestroyWindow(std::exchange(page_, nullptr));
        RestorePackage();
        if (!s.key)
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kQ3DKey);
        for (int i = 0; i < 3; ++i)
            if (s.values[i].data)
                SetValue(HKEY_LOCAL_MACHINE, kQ3DKey, names[i], s.values[i].type, s.values[i].data, s.values[i].size);
            else if (s.values[i].type)
                SHDeleteValueA(HKEY_LOCAL_MACHINE, kQ3DKey, names[i]);
        VcLogClear();
        queries.clear();
        ReadAndOpen(m);
        EXPECT_EQ(s.key ? "Latency:4 Primary:4 Bypass:4 " : "", queries);
        EXPECT_EQ(std::make_tuple(s.latency, s.primary, s.bypass), std::make_tuple(Shown(IDC_LATENCY), Shown(IDC_MIX_PRIMARY), Shown(IDC_BYPASS)));
        Put(IDC_LATENCY, 0, "500"), Put(IDC_MIX_PRIMARY, !s.primary), Put(IDC_BYPASS, !s.bypass);
        CloseAndWrite(m); // they go to neither the driver nor the registry
        const Property *p = kMixingOptions; // as the card starts, as a fresh page holds them
        EXPECT_EQ((Lines{Call("get", p[0], p[0].start), Call("get", p[1], p[1].start), Call("set", p[0], p[0].start),
                         Call("set", p[1], p[1].start)}), Calls());
        EXPECT_EQ(s.key, KeyExists(HKEY_LOCAL_MACHINE, kQ3DKey));
        for (int i = 0; i < 3 && s.key && !s.values[0].type; ++i)
            EXPECT_EQ(i ? 0u : 40u, GetDword(HKEY_LOCAL_MACHINE, kQ3DKey, names[i]));
    }
}

// ---- Apply ------------------------------------------------------------------

TEST_F(EffectsPagesTest, ApplyIsEnabledByExactlyTheListedControlsCodesAndScrolls)
{
    const std::vector<int> edits = {EN_UPDATE, EN_SETFOCUS, EN_KILLFOCUS, EN_MAXTEXT}, keys = {VK_RIGHT, VK_HOME, VK_NEXT};
    // Messages to the page as its controls send them (a scroll's position
    // only with a drag's codes); WM_SETTEXT and a key held down (WM_KEYDOWN)
    // go to the control itself; WM_KEYUP is a key pressed and released,
    // VK_LBUTTON a click at a quarter's height (1: an up-down's upper arrow).
    const struct { ControlPanelPage *page; std::vector<int> ids; UINT message; std::vector<int> codes; bool enables; } rows[] = {
        {e, {IDC_REVERB, IDC_STEREO_EXPANSION, IDC_LOW_FREQUENCY, IDC_ELEVATION, IDC_INTERPOLATE, IDC_MODE_QSOUND,
             IDC_MODE_STEREO, IDC_OUTPUT_SPEAKERS, IDC_OUTPUT_HEADPHONES, IDC_OUTPUT_MONO, IDC_OUTPUT_QUAD,
             IDC_SPLASH_LOGO, IDC_PROPERTY1_ON}, WM_COMMAND, {BN_CLICKED, BN_KILLFOCUS}, true},
        {e, {IDC_REVERB, IDC_STEREO_EXPANSION, IDC_LOW_FREQUENCY}, VK_LBUTTON, {2}, true},
        {e, {IDC_ENVIRONMENT}, WM_COMMAND, {CBN_SELCHANGE}, true},
        {e, {IDC_ENVIRONMENT}, WM_COMMAND, {CBN_DROPDOWN, CBN_CLOSEUP, CBN_EDITCHANGE, CBN_EDITUPDATE, CBN_SETFOCUS,
                                            CBN_SELENDOK, CBN_DBLCLK}, false},
        {e, {IDC_CPU_USAGE, IDC_SPREAD, IDC_CENTER}, WM_KEYUP, keys, true}, // a move ends
        {e, {IDC_CPU_USAGE, IDC_SPREAD, IDC_CENTER}, WM_KEYDOWN, {VK_RIGHT, VK_LEFT, VK_HOME, VK_END, VK_NEXT, VK_PRIOR}, false},
        {e, {IDC_CPU_USAGE, IDC_SPREAD, IDC_CENTER}, WM_HSCROLL, {TB_THUMBTRACK}, false},
        {e, {IDC_CPU_USAGE, IDC_EFFECTS_ICON, IDC_PROPERTY1_VALUE, IDC_APPLY, IDC_STATIC}, WM_COMMAND, {0, EN_CHANGE}, false},
        {v, {IDC_LIMIT_TOTAL, IDC_PLAY_UNLIMITED, IDC_PLAY_LIMITED, IDC_PLAY_LONGEST}, WM_COMMAND, {BN_CLICKED, BN_SETFOCUS}, true},
        {v, {IDC_LIMIT_TOTAL, IDC_PLAY_LIMITED}, VK_LBUTTON, {2}, true},
        {v, {IDC_MAX_TOTAL, IDC_MAX_PLAY}, WM_SETTEXT, {0}, true},
        {v, {IDC_MAX_TOTAL, IDC_MAX_PLAY}, WM_KEYDOWN, {VK_UP}, true},
        {v, {IDC_MAX_TOTAL, IDC_MAX_PLAY}, WM_COMMAND, edits, false},
        {v, {IDC_MAX_TOTAL_SPIN, IDC_MAX_PLAY_SPIN}, VK_LBUTTON, {1, 3}, true}, // the field changes
        {v, {IDC_MAX_TOTAL_SPIN, IDC_MAX_PLAY_SPIN}, WM_VSCROLL, {SB_THUMBPOSITION, SB_ENDSCROLL}, false},
        {v, {IDC_MAX_TOTAL_SPIN, IDC_STATIC}, WM_COMMAND, {0, EN_CHANGE}, false},
        {m, {IDC_FLOATING_POINT, IDC_MIX_PRIMARY, IDC_BYPASS}, WM_COMMAND, {BN_CLICKED, BN_SETFOCUS}, true},
        {m, {IDC_FLOATING_POINT}, VK_LBUTTON, {2}, true},
        {m, {IDC_LATENCY}, WM_SETTEXT, {0}, true},
        {m, {IDC_LATENCY}, WM_KEYDOWN, {VK_UP}, true},
        {m, {IDC_LATENCY}, WM_COMMAND, edits, false},
        {m, {IDC_VOLUME}, WM_KEYDOWN, {VK_DOWN, VK_UP, VK_END, VK_HOME}, true}, {m, {IDC_VOLUME}, WM_KEYUP, keys, true},
        {m, {IDC_VOLUME}, WM_VSCROLL, {TB_THUMBTRACK}, true},   {m, {IDC_LATENCY_SPIN}, VK_LBUTTON, {1, 3}, true},
        {m, {IDC_LATENCY_SPIN}, WM_VSCROLL, {SB_THUMBPOSITION, SB_ENDSCROLL}, true},
        {m, {IDC_VOLUME, IDC_LATENCY_SPIN, IDC_STATIC}, WM_COMMAND, {0}, false},
    };
    for (const auto &r : rows) {
        Open(r.page);
        for (int id : r.ids)
            for (int code : r.codes) {
                EnableWindow(GetDlgItem(panel_, IDC_APPLY), FALSE);
                HWND control = GetDlgItem(page_, id);
                const int shown = Shown(id), drag = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
                if (r.message == WM_KEYUP || r.message == VK_LBUTTON)
                    UserInput(control, {r.message == WM_KEYUP ? code : VK_LBUTTON}, {2, code});
                else if (r.message == WM_SETTEXT || r.message == WM_KEYDOWN)
                    SendMessageA(control, r.message, code, r.message == WM_SETTEXT ? reinterpret_cast<LPARAM>("57") : 0);
                else
                    SendMessageA(page_, r.message, r.message == WM_COMMAND ? MAKEWPARAM(id, code) : MAKEWPARAM(code, drag ? shown : 0), LPARAM(control));
                EXPECT_EQ(r.enables, IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)) != 0)
                    << "message " << r.message << " from " << id << " code " << code;
                EXPECT_TRUE(r.message != WM_VSCROLL || shown == Shown(id)) << "the page moved " << id << " itself";
            }
    }
}
