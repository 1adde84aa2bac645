// The Effects, Voice Manager and Mixing Options pages against the virtual
// card's driver property sets, through a real driver connection, and their
// dialogs inside the control panel's dialog, driven with the messages a
// user's actions send.
#include "app/app.h"
#include "pages/effects/effects_page.h"
#include "pages/effects/mixing_options_page.h"
#include "pages/effects/voice_manager_page.h"
#include "panel/driver.h"
#include "resource.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

const char kQ3DKey[] = "System\\CurrentControlSet\\Services\\Class\\Q3D";
const DWORD kOne = 0x3F800000; // 1.0f

INT_PTR CALLBACK PanelProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// One driver property of a page, in the page's reading order: the value the
// card holds in the tests and the value of a page object that has read nothing.
struct Property {
    const char *set;
    int id;
    const char *driver, *start;
};

const Property kEffects[] = {
    {"Effect", 0, "0x00000000", "0x00000001"},            {"Effect", 4, "0x00000001", "0x00000000"},
    {"Effect", 5, "0x00000001", "0x00000000"},            {"Q3D", 5, "0x00000001", "0x00000000"},
    {"Effect", 8, "0x00000001", "0x00000000"},            {"Q3D", 12, "0x00000001,0x00000002", "0x00000000,0xffffffff"},
    {"Effect", 3, "0x00000001", "0x00000000"},            {"Effect", 9, "0x3e800000", "0x00000000"},
    {"Effect", 10, "0x3f400000", "0x00000000"},           {"Effect", 1, "0x000000fa", "0x00000000"},
};
const size_t kEffectsWriteOrder[] = {0, 1, 2, 4, 3, 5, 6, 7, 8, 9};
const Property kVoiceManager[] = {
    {"Q3D", 2, "0x00000005", "0x00000000"}, {"Q3D", 6, "0x00000030", "0x00000000"}, {"Q3D", 7, "0x00000018", "0x00000000"}};
const size_t kVoiceManagerWriteOrder[] = {0, 1, 2};
const Property kMixingOptions[] = {{"Q3D", 0, "0x00000001", "0x00000000"}, {"Q3D", 11, "0x3e800000", "0x3f800000"}};
const size_t kMixingOptionsWriteOrder[] = {0, 1};

// A call as the card records it: the effect set's writes carry the 36-byte
// instance block, nothing else carries instance data.
std::string Call(const char *verb, const Property &p, const char *value, const char *hr = "0x00000000")
{
    bool block = strcmp(verb, "set") == 0 && strcmp(p.set, "Effect") == 0;
    size_t size = strcmp(p.set, "Q3D") == 0 && p.id == 12 ? 8 : 4;
    return std::string(verb) + " " + p.set + " " + std::to_string(p.id) + " inst=" + (block ? "36" : "0") +
           " size=" + std::to_string(size) + " value=" + value + " hr=" + hr;
}

// The driver property calls the card recorded, in that form.
Trace PropertyCalls()
{
    Trace calls;
    for (size_t i = 0; i < VcLogCount(); ++i) {
        const char *line = VcLogLine(i);
        if (strncmp(line, "ks.get ", 7) != 0 && strncmp(line, "ks.set ", 7) != 0)
            continue;
        std::string call = line[3] == 'g' ? "get" : "set";
        for (const char *key : {"set", "id", "inst", "size", "value", "hr"}) {
            char value[256] = "";
            VcLogField(line, key, value, sizeof value);
            bool named = strcmp(key, "set") && strcmp(key, "id");
            call += std::string(" ") + (named ? std::string(key) + "=" : "") + value;
        }
        calls.push_back(call);
    }
    return calls;
}

// Forwards to the card's property set and keeps the instance data of each write.
class InstanceWitness : public IKsPropertySet {
public:
    explicit InstanceWitness(IKsPropertySet *card) : card_(card) {}
    STDMETHODIMP QueryInterface(REFIID, void **object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Get(REFGUID set, ULONG id, LPVOID instance, ULONG length, LPVOID data, ULONG size,
                     ULONG *returned) override
    {
        return card_->Get(set, id, instance, length, data, size, returned);
    }
    STDMETHODIMP Set(REFGUID set, ULONG id, LPVOID instance, ULONG length, LPVOID data, ULONG size) override
    {
        const BYTE *bytes = static_cast<const BYTE *>(instance);
        blocks.push_back(bytes ? std::vector<BYTE>(bytes, bytes + length) : std::vector<BYTE>());
        return card_->Set(set, id, instance, length, data, size);
    }
    STDMETHODIMP QuerySupport(REFGUID set, ULONG id, ULONG *support) override
    {
        return card_->QuerySupport(set, id, support);
    }
    std::vector<std::vector<BYTE>> blocks;

private:
    IKsPropertySet *card_;
};

} // namespace

class EffectsPagesTest : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        VcReset();
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kQ3DKey);
        effectsPage = EffectsPage();
        voiceManagerPage = VoiceManagerPage();
        mixingOptionsPage = MixingOptionsPage();
        panel_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        ASSERT_NE(nullptr, panel_);
        ShowWindow(panel_, SW_SHOWNORMAL);
        ASSERT_EQ(0, OpenDriverConnection(nullptr, panel_, &c_.directSound, &c_.propertySet, 0));
    }
    void TearDown() override
    {
        DestroyWindow(panel_);
        CloseDriverConnection(&c_);
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kQ3DKey);
        VcReset();
    }

    // The card's value of a property, set as a program other than the pages would.
    void Preset(const GUID &set, ULONG id, const void *value, ULONG size)
    {
        DWORD block[9] = {1};
        bool effect = IsEqualGUID(set, Q3DEffectPropertySet);
        ASSERT_EQ(S_OK, c_.propertySet->Set(set, id, effect ? block : nullptr, effect ? sizeof block : 0,
                                            const_cast<void *>(value), size));
    }
    template <class T> void Preset(const GUID &set, ULONG id, T value) { Preset(set, id, &value, sizeof value); }
    void Preset(const Property &p)
    {
        DWORD words[2] = {};
        words[1] = strtoul(strchr(p.driver, ',') ? strchr(p.driver, ',') + 1 : "0", nullptr, 16);
        words[0] = strtoul(p.driver, nullptr, 16);
        bool environment = strcmp(p.set, "Q3D") == 0 && p.id == 12;
        Preset(p.set[0] == 'E' ? Q3DEffectPropertySet : Q3DPropertySet, p.id, words, environment ? 8 : 4);
    }
    template <class T> T Stored(const GUID &set, ULONG id)
    {
        T value = {};
        EXPECT_TRUE(VcStoredProperty(0, set, id, &value, sizeof value));
        return value;
    }
    // Reads every property into a page object that has read nothing, the nth
    // read failing (0: none), then writes them back; checks both records.
    template <class Page, size_t N>
    void ExpectReadAndWrite(const Property (&properties)[N], const size_t (&writeOrder)[N])
    {
        for (size_t failing = 0; failing <= N; ++failing) {
            SCOPED_TRACE(testing::Message() << "read " << failing << " fails");
            for (const Property &p : properties)
                Preset(p);
            Page page;
            if (failing)
                VcFailCall("Get", static_cast<int>(failing), DSERR_GENERIC);
            VcLogClear();
            page.ReadFromDriver(c_.directSound, c_.propertySet);
            VcClearFaults();
            Trace reads, writes;
            for (size_t i = 0; i < N; ++i)
                reads.push_back(i + 1 == failing ? Call("get", properties[i], "null", "0x80004005")
                                                 : Call("get", properties[i], properties[i].driver));
            for (size_t i : writeOrder)
                writes.push_back(Call("set", properties[i], i + 1 == failing ? properties[i].start : properties[i].driver));
            EXPECT_EQ(reads, PropertyCalls());
            VcLogClear();
            page.WriteToDriver(c_.directSound, c_.propertySet);
            EXPECT_EQ(writes, PropertyCalls());
        }
    }

    // The page's window as the panel makes it; the panel restores its Apply
    // button afterwards, disabled here.
    void Open(ControlPanelPage &page)
    {
        if (IsWindow(page_))
            DestroyWindow(page_);
        page_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(page.DialogTemplateId()), panel_,
                                   page.DialogProcedure(), reinterpret_cast<LPARAM>(&page));
        ASSERT_NE(nullptr, page_);
        ShowWindow(page_, SW_SHOWNORMAL);
        EnableWindow(GetDlgItem(panel_, IDC_APPLY), FALSE);
    }
    // The panel's opening read, then the page's window.
    void ReadAndOpen(ControlPanelPage &page)
    {
        page.ReadFromDriver(c_.directSound, c_.propertySet);
        Open(page);
    }
    // The window goes (its page takes its settings), then OK writes them.
    void CloseAndWrite(ControlPanelPage &page)
    {
        DestroyWindow(page_);
        page_ = nullptr;
        page.WriteToDriver(c_.directSound, c_.propertySet);
    }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendDlgItemMessageA(page_, id, message, wParam, lParam);
    }
    bool Checked(int id) { return IsDlgButtonChecked(page_, id) == BST_CHECKED; }
    std::string Text(int id)
    {
        char text[64] = "";
        GetDlgItemTextA(page_, id, text, sizeof text);
        return text;
    }
    void Type(int id, const char *text) { Send(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }
    void Select(int entry)
    {
        Send(IDC_ENVIRONMENT, CB_SETCURSEL, entry);
        SendMessageA(page_, WM_COMMAND, MAKEWPARAM(IDC_ENVIRONMENT, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(page_, IDC_ENVIRONMENT)));
    }
    void Slide(int id, int position, UINT scroll = WM_HSCROLL)
    {
        Send(id, TBM_SETPOS, TRUE, position);
        SendMessageA(page_, scroll, TB_ENDTRACK, reinterpret_cast<LPARAM>(GetDlgItem(page_, id)));
    }
    bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)) != 0; }

    // What a user does to a page, and whether it must enable Apply.
    struct Action {
        UINT message; // BM_CLICK, WM_SETTEXT (typing), WM_KEYDOWN (arrow up), or sent to the page as is
        int id;
        int code;
        bool enables;
    };
    void ExpectApplyAfter(const std::vector<Action> &actions)
    {
        for (const Action &a : actions) {
            SCOPED_TRACE(testing::Message() << "message " << a.message << " from " << a.id << " code " << a.code);
            EnableWindow(GetDlgItem(panel_, IDC_APPLY), FALSE);
            HWND control = GetDlgItem(page_, a.id);
            if (a.message == BM_CLICK)
                Send(a.id, BM_CLICK);
            else if (a.message == WM_SETTEXT)
                Type(a.id, "57");
            else if (a.message == WM_KEYDOWN)
                Send(a.id, WM_KEYDOWN, VK_UP, 0);
            else if (a.message == WM_COMMAND)
                SendMessageA(page_, WM_COMMAND, MAKEWPARAM(a.id, a.code), reinterpret_cast<LPARAM>(control));
            else
                SendMessageA(page_, a.message, MAKEWPARAM(a.code, 0), reinterpret_cast<LPARAM>(control));
            EXPECT_EQ(a.enables, ApplyEnabled());
        }
    }

    HWND panel_ = nullptr;
    HWND page_ = nullptr;
    DriverConnection c_ = {};
};

// ---- Driver <-> page object -------------------------------------------------

TEST_F(EffectsPagesTest, EachPageReadsAndWritesItsPropertiesInItsOrderAndAFailedReadKeepsTheField)
{
    {
        SCOPED_TRACE("Effects");
        ExpectReadAndWrite<EffectsPage>(kEffects, kEffectsWriteOrder);
    }
    {
        SCOPED_TRACE("Voice Manager");
        ExpectReadAndWrite<VoiceManagerPage>(kVoiceManager, kVoiceManagerWriteOrder);
    }
    {
        SCOPED_TRACE("Mixing Options");
        ExpectReadAndWrite<MixingOptionsPage>(kMixingOptions, kMixingOptionsWriteOrder);
    }
}

TEST_F(EffectsPagesTest, TheEffectSetsWritesCarryOneInstanceBlockOfNineWordsTheFirstOne)
{
    InstanceWitness witness(c_.propertySet);
    effectsPage.WriteToDriver(c_.directSound, &witness);
    const std::vector<BYTE> empty, block = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ((std::vector<std::vector<BYTE>>{block, block, block, block, empty, empty, block, block, block, block}),
              witness.blocks);
}

TEST_F(EffectsPagesTest, NothingIsWrittenWithoutAPropertySet)
{
    ControlPanelPage *pages[] = {&effectsPage, &voiceManagerPage, &mixingOptionsPage};
    for (ControlPanelPage *page : pages) {
        page->WriteToDriver(nullptr, nullptr);
        page->WriteToDriver(c_.directSound, nullptr);
    }
    EXPECT_EQ(Trace(), PropertyCalls());
}

// Property 1 is on with the driver's value, or off; the page has no
// controls for it, so once its window has gone it writes off.
TEST_F(EffectsPagesTest, PropertyOneIsWrittenBackUntilThePageWindowHasBeenShown)
{
    Preset<int32_t>(Q3DEffectPropertySet, 1, 250);
    effectsPage.ReadFromDriver(c_.directSound, c_.propertySet);
    Preset<int32_t>(Q3DEffectPropertySet, 1, 0);
    VcFailCall("Get", 10, DSERR_GENERIC); // its read fails: still on, with 250
    effectsPage.ReadFromDriver(c_.directSound, c_.propertySet);
    VcClearFaults();
    effectsPage.WriteToDriver(c_.directSound, c_.propertySet);
    EXPECT_EQ(250, (Stored<int32_t>(Q3DEffectPropertySet, 1)));

    Open(effectsPage);
    CloseAndWrite(effectsPage);
    EXPECT_EQ(0, (Stored<int32_t>(Q3DEffectPropertySet, 1)));
}

// The controls the template lacks, added to the window: the page fills and
// reads them; without the number field the driver's value is kept.
TEST_F(EffectsPagesTest, PropertyOneControlsWhereTheyExist)
{
    struct Case {
        int32_t driver; // property 1 as the driver reports it
        bool field;     // the number field exists
        bool shownOn;
        const char *shown, *typed;
        bool takenOn;
        int32_t written;
    };
    const Case cases[] = {
        {250, true, true, "250", "12abc", true, 12}, {250, true, true, "250", "", true, 0},
        {250, true, true, "250", " -7", true, -7},   {0, true, false, "250", "300", true, 300},
        {250, false, true, "", nullptr, true, 250},  {250, false, true, "", nullptr, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.driver << (c.field ? " with" : " without") << " field, typed "
                                        << (c.typed ? c.typed : "nothing"));
        Preset<int32_t>(Q3DEffectPropertySet, 1, 250);
        effectsPage.ReadFromDriver(c_.directSound, c_.propertySet);
        Preset<int32_t>(Q3DEffectPropertySet, 1, c.driver);
        ReadAndOpen(effectsPage);
        CreateWindowExA(0, "BUTTON", "", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 20, 10, page_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROPERTY1_ON)), appInstance, nullptr);
        if (c.field)
            CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 40, 12, page_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROPERTY1_VALUE)), appInstance, nullptr);
        effectsPage.ShowSettings(page_); // as after Apply
        EXPECT_EQ(c.shownOn, Checked(IDC_PROPERTY1_ON));
        EXPECT_EQ(c.shown, Text(IDC_PROPERTY1_VALUE));
        Send(IDC_PROPERTY1_ON, BM_SETCHECK, c.takenOn ? BST_CHECKED : BST_UNCHECKED);
        if (c.typed)
            Type(IDC_PROPERTY1_VALUE, c.typed);
        CloseAndWrite(effectsPage);
        EXPECT_EQ(c.written, (Stored<int32_t>(Q3DEffectPropertySet, 1)));
    }
}

// ---- Effects page: fields <-> controls --------------------------------------

TEST_F(EffectsPagesTest, EffectsDefaultsAndTheEnvironmentList)
{
    Open(effectsPage);
    EXPECT_TRUE(Checked(IDC_MODE_QSOUND));
    EXPECT_FALSE(Checked(IDC_MODE_STEREO));
    for (int id : {IDC_REVERB, IDC_STEREO_EXPANSION, IDC_LOW_FREQUENCY, IDC_ELEVATION, IDC_INTERPOLATE})
        EXPECT_FALSE(Checked(id)) << id;
    for (int id : {IDC_CPU_USAGE, IDC_SPREAD, IDC_CENTER})
        EXPECT_EQ(0, Send(id, TBM_GETPOS)) << id;
    EXPECT_EQ(2, Send(IDC_CPU_USAGE, TBM_GETRANGEMAX));
    EXPECT_EQ(1000, Send(IDC_SPREAD, TBM_GETRANGEMAX));
    EXPECT_EQ(1000, Send(IDC_CENTER, TBM_GETRANGEMAX));
    EXPECT_EQ("- none -", Text(IDC_ENVIRONMENT));

    // The page stands on the tab control's display area.
    RECT area, page;
    GetWindowRect(GetDlgItem(panel_, IDC_PANEL_TAB), &area);
    SendDlgItemMessageA(panel_, IDC_PANEL_TAB, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    GetWindowRect(page_, &page);
    EXPECT_EQ(area.left, page.left);
    EXPECT_EQ(area.top, page.top);

    ASSERT_EQ(30, Send(IDC_ENVIRONMENT, CB_GETCOUNT));
    const char *const names[] = {"- none -", "Generic", "Padded Cell", "Psychotic", "Jedi Knight", "Motocross Madness"};
    const int entries[] = {0, 1, 2, 26, 27, 29};
    for (int i = 0; i < 6; ++i) {
        char text[64] = "";
        Send(IDC_ENVIRONMENT, CB_GETLBTEXT, entries[i], reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(names[i], text);
    }
}

// Each row: the driver's value, the control showing it, the value written
// back once the window has gone.
TEST_F(EffectsPagesTest, EffectsShowsTheDriversValuesAndWritesBackWhatItShows)
{
    const struct { int32_t mode; bool qsound, stereo; int32_t written; } modes[] = {
        {0, false, true, 0}, {1, true, false, 1}, {2, true, false, 1}, {-1, true, false, 1}};
    for (const auto &m : modes) {
        SCOPED_TRACE(m.mode);
        Preset<int32_t>(Q3DEffectPropertySet, 0, m.mode);
        ReadAndOpen(effectsPage);
        EXPECT_EQ(m.qsound, Checked(IDC_MODE_QSOUND));
        EXPECT_EQ(m.stereo, Checked(IDC_MODE_STEREO));
        CloseAndWrite(effectsPage);
        EXPECT_EQ(m.written, (Stored<int32_t>(Q3DEffectPropertySet, 0)));
    }

    const struct { int32_t elevation, interpolate; int position; int32_t writtenElevation, writtenInterpolate; } cpu[] = {
        {0, 0, 0, 0, 0}, {1, 0, 1, 0, 1}, {0, 1, 1, 0, 1}, {1, 1, 2, 1, 1}, {5, 0, 1, 0, 1}};
    for (const auto &c : cpu) {
        SCOPED_TRACE(testing::Message() << "elevation " << c.elevation << " interpolation " << c.interpolate);
        Preset(Q3DEffectPropertySet, 4, c.elevation);
        Preset(Q3DEffectPropertySet, 8, c.interpolate);
        ReadAndOpen(effectsPage);
        EXPECT_EQ(c.position, Send(IDC_CPU_USAGE, TBM_GETPOS));
        CloseAndWrite(effectsPage);
        EXPECT_EQ(c.writtenElevation, (Stored<int32_t>(Q3DEffectPropertySet, 4)));
        EXPECT_EQ(c.writtenInterpolate, (Stored<int32_t>(Q3DEffectPropertySet, 8)));
    }

    const struct { ReverbEnvironment driver; int entry; ReverbEnvironment written; } environments[] = {
        {{0, -1}, 0, {0, -1}}, {{0, 0}, 1, {0, 0}},   {{0, 25}, 26, {0, 25}}, {{1, 0}, 27, {1, 0}},
        {{1, 2}, 29, {1, 2}},  {{2, 1}, 28, {1, 1}},  {{1, 5}, -1, {0, -2}},  {{0, 29}, -1, {0, -2}},
        {{0, -2}, -1, {0, -2}},
    };
    for (const auto &e : environments) {
        SCOPED_TRACE(testing::Message() << "bank " << e.driver.bank << " index " << e.driver.index);
        Preset(Q3DPropertySet, 12, e.driver);
        ReadAndOpen(effectsPage);
        EXPECT_EQ(e.entry, Send(IDC_ENVIRONMENT, CB_GETCURSEL));
        CloseAndWrite(effectsPage);
        ReverbEnvironment stored = Stored<ReverbEnvironment>(Q3DPropertySet, 12);
        EXPECT_EQ(e.written.bank, stored.bank);
        EXPECT_EQ(e.written.index, stored.index);
    }

    const struct { float value; int position; float written; } expansions[] = {
        {0.5f, 500, 0.5f}, {1.5f, 1000, 1.0f}, {-0.25f, 0, 0.0f}, {0.0005f, 1, 0.001f}, {0.00049f, 0, 0.0f},
        {NAN, 0, 0.0f}};
    for (const auto &x : expansions) {
        SCOPED_TRACE(x.value);
        Preset(Q3DEffectPropertySet, 9, x.value);
        Preset(Q3DEffectPropertySet, 10, x.value);
        ReadAndOpen(effectsPage);
        EXPECT_EQ(x.position, Send(IDC_SPREAD, TBM_GETPOS));
        EXPECT_EQ(x.position, Send(IDC_CENTER, TBM_GETPOS));
        CloseAndWrite(effectsPage);
        EXPECT_EQ(x.written, (Stored<float>(Q3DEffectPropertySet, 9)));
        EXPECT_EQ(x.written, (Stored<float>(Q3DEffectPropertySet, 10)));
    }

    const struct { const GUID *set; ULONG id; int control; } switches[] = {
        {&Q3DEffectPropertySet, 5, IDC_REVERB}, {&Q3DPropertySet, 5, IDC_LOW_FREQUENCY},
        {&Q3DEffectPropertySet, 3, IDC_STEREO_EXPANSION}};
    for (const auto &s : switches) {
        for (int32_t value : {0, 1, 7}) {
            SCOPED_TRACE(testing::Message() << "control " << s.control << " value " << value);
            Preset(*s.set, s.id, value);
            ReadAndOpen(effectsPage);
            EXPECT_EQ(value != 0, Checked(s.control));
            CloseAndWrite(effectsPage);
            EXPECT_EQ(value != 0, (Stored<int32_t>(*s.set, s.id)));
        }
    }
}

TEST_F(EffectsPagesTest, EffectsTakesWhatTheUserSetsAndShowsItAgain)
{
    Open(effectsPage);
    const struct { int entry; ReverbEnvironment written; } chosen[] = {
        {0, {0, -1}}, {1, {0, 0}}, {26, {0, 25}}, {27, {1, 0}}, {29, {1, 2}}};
    for (const auto &c : chosen) {
        SCOPED_TRACE(c.entry);
        Select(c.entry);
        effectsPage.TakeSettings(page_);
        effectsPage.WriteToDriver(c_.directSound, c_.propertySet);
        ReverbEnvironment stored = Stored<ReverbEnvironment>(Q3DPropertySet, 12);
        EXPECT_EQ(c.written.bank, stored.bank);
        EXPECT_EQ(c.written.index, stored.index);
    }
    for (int entry = -1; entry < 30; ++entry) {
        Select(entry);
        effectsPage.TakeSettings(page_);
        Select(entry == 3 ? 4 : 3);
        effectsPage.ShowSettings(page_);
        EXPECT_EQ(entry, Send(IDC_ENVIRONMENT, CB_GETCURSEL));
    }

    const struct { int position; int32_t elevation, interpolate; } cpu[] = {{0, 0, 0}, {1, 0, 1}, {2, 1, 1}};
    for (const auto &c : cpu) {
        SCOPED_TRACE(c.position);
        Send(IDC_ELEVATION, BM_SETCHECK, !c.elevation); // the track bar decides
        Send(IDC_INTERPOLATE, BM_SETCHECK, !c.interpolate);
        Slide(IDC_CPU_USAGE, c.position);
        effectsPage.TakeSettings(page_);
        effectsPage.WriteToDriver(c_.directSound, c_.propertySet);
        EXPECT_EQ(c.elevation, (Stored<int32_t>(Q3DEffectPropertySet, 4)));
        EXPECT_EQ(c.interpolate, (Stored<int32_t>(Q3DEffectPropertySet, 8)));
    }

    Slide(IDC_SPREAD, 333);
    Slide(IDC_CENTER, 1000);
    effectsPage.TakeSettings(page_);
    effectsPage.WriteToDriver(c_.directSound, c_.propertySet);
    EXPECT_EQ(0.333f, (Stored<float>(Q3DEffectPropertySet, 9)));
    EXPECT_EQ(1.0f, (Stored<float>(Q3DEffectPropertySet, 10)));
    for (int position = 0; position <= 1000; ++position) {
        Send(IDC_SPREAD, TBM_SETPOS, TRUE, position);
        Send(IDC_CENTER, TBM_SETPOS, TRUE, 1000 - position);
        effectsPage.TakeSettings(page_);
        effectsPage.ShowSettings(page_);
        ASSERT_EQ(position, Send(IDC_SPREAD, TBM_GETPOS));
        ASSERT_EQ(1000 - position, Send(IDC_CENTER, TBM_GETPOS));
    }

    // The hidden radio buttons carry the mode: QSound's alone decides it.
    Send(IDC_MODE_QSOUND, BM_SETCHECK, BST_UNCHECKED);
    Send(IDC_MODE_STEREO, BM_SETCHECK, BST_UNCHECKED);
    for (int id : {IDC_REVERB, IDC_STEREO_EXPANSION, IDC_LOW_FREQUENCY})
        Send(id, BM_CLICK);
    CloseAndWrite(effectsPage);
    EXPECT_EQ(0, (Stored<int32_t>(Q3DEffectPropertySet, 0)));
    EXPECT_EQ(1, (Stored<int32_t>(Q3DEffectPropertySet, 5)));
    EXPECT_EQ(1, (Stored<int32_t>(Q3DEffectPropertySet, 3)));
    EXPECT_EQ(1, (Stored<int32_t>(Q3DPropertySet, 5)));
}

// ---- Voice Manager page: fields <-> controls --------------------------------

TEST_F(EffectsPagesTest, VoiceManagerShowsFlagsAndMaximaAndBoundsPlayByTotal)
{
    Open(voiceManagerPage); // nothing read yet
    EXPECT_TRUE(Checked(IDC_PLAY_UNLIMITED));
    EXPECT_FALSE(Checked(IDC_LIMIT_TOTAL));
    EXPECT_EQ("0", Text(IDC_MAX_TOTAL));
    EXPECT_EQ("0", Text(IDC_MAX_PLAY));

    const struct { uint32_t flags; bool limitTotal, limited, longest, unlimited; uint32_t written; } flags[] = {
        {0, false, false, false, true, 0}, {1, true, false, false, true, 1}, {2, false, true, false, false, 2},
        {4, false, false, true, false, 4}, {6, false, true, true, false, 6}, {7, true, true, true, false, 7},
        {0xF8, false, false, false, true, 0}};
    for (const auto &f : flags) {
        SCOPED_TRACE(f.flags);
        Preset(Q3DPropertySet, 2, f.flags);
        ReadAndOpen(voiceManagerPage);
        EXPECT_EQ(f.limitTotal, Checked(IDC_LIMIT_TOTAL));
        EXPECT_EQ(f.limited, Checked(IDC_PLAY_LIMITED));
        EXPECT_EQ(f.longest, Checked(IDC_PLAY_LONGEST));
        EXPECT_EQ(f.unlimited, Checked(IDC_PLAY_UNLIMITED));
        CloseAndWrite(voiceManagerPage);
        EXPECT_EQ(f.written, (Stored<uint32_t>(Q3DPropertySet, 2)));
    }

    // Play is bounded by total as unsigned numbers, in the page's own value.
    const struct { uint32_t total, play; const char *shownTotal, *shownPlay; uint32_t writtenPlay; } maxima[] = {
        {32, 48, "32", "32", 32}, {48, 32, "48", "32", 32}, {0xFFFFFFFB, 20, "-5", "20", 20}, {0, 1, "0", "0", 0}};
    for (const auto &m : maxima) {
        SCOPED_TRACE(m.shownTotal);
        Preset(Q3DPropertySet, 6, m.total);
        Preset(Q3DPropertySet, 7, m.play);
        ReadAndOpen(voiceManagerPage);
        EXPECT_EQ(m.shownTotal, Text(IDC_MAX_TOTAL));
        EXPECT_EQ(m.shownPlay, Text(IDC_MAX_PLAY));
        voiceManagerPage.WriteToDriver(c_.directSound, c_.propertySet); // the page keeps the bound
        EXPECT_EQ(m.writtenPlay, (Stored<uint32_t>(Q3DPropertySet, 7)));
        CloseAndWrite(voiceManagerPage);
        EXPECT_EQ(m.total, (Stored<uint32_t>(Q3DPropertySet, 6)));
        EXPECT_EQ(m.writtenPlay, (Stored<uint32_t>(Q3DPropertySet, 7)));
    }
}

TEST_F(EffectsPagesTest, VoiceManagerTakesTypedNumbersAsTheyAre)
{
    const struct { const char *total, *play; uint32_t writtenTotal, writtenPlay; const char *shownAgain; } typed[] = {
        {"12abc", "3", 12, 3, "12"}, {"", "", 0, 0, "0"}, {"-5", "2", 0xFFFFFFFB, 2, "-5"},
        {"5000", "4000", 5000, 4000, "5000"}, {"10", "20", 10, 20, "10"}, {"  +7", "x1", 7, 0, "7"},
        {"99999999999", "1", 0x7FFFFFFF, 1, "2147483647"}};
    Open(voiceManagerPage);
    for (const auto &t : typed) {
        SCOPED_TRACE(testing::Message() << '"' << t.total << "\", \"" << t.play << '"');
        Type(IDC_MAX_TOTAL, t.total);
        Type(IDC_MAX_PLAY, t.play);
        Send(IDC_LIMIT_TOTAL, BM_SETCHECK, BST_CHECKED);
        Send(IDC_PLAY_LONGEST, BM_CLICK);
        voiceManagerPage.TakeSettings(page_);
        voiceManagerPage.WriteToDriver(c_.directSound, c_.propertySet);
        EXPECT_EQ(t.writtenTotal, (Stored<uint32_t>(Q3DPropertySet, 6)));
        EXPECT_EQ(t.writtenPlay, (Stored<uint32_t>(Q3DPropertySet, 7)));
        EXPECT_EQ(5u, (Stored<uint32_t>(Q3DPropertySet, 2)));
        voiceManagerPage.ShowSettings(page_);
        EXPECT_EQ(t.shownAgain, Text(IDC_MAX_TOTAL));
    }
    // The arrows stop at 1000.
    Type(IDC_MAX_TOTAL, "999");
    Send(IDC_MAX_TOTAL, WM_KEYDOWN, VK_UP, 0);
    Send(IDC_MAX_TOTAL, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ("1000", Text(IDC_MAX_TOTAL));
}

// ---- Mixing Options page: driver and registry <-> controls ------------------

TEST_F(EffectsPagesTest, MixingOptionsShowsFormatAndVolumeAndWritesBackWhatItShows)
{
    Open(mixingOptionsPage); // nothing read yet
    EXPECT_FALSE(Checked(IDC_FLOATING_POINT));
    EXPECT_FALSE(Checked(IDC_MIX_PRIMARY));
    EXPECT_FALSE(Checked(IDC_BYPASS));
    EXPECT_EQ("20", Text(IDC_LATENCY));
    EXPECT_EQ(0, Send(IDC_VOLUME, TBM_GETPOS));
    EXPECT_EQ(60, Send(IDC_VOLUME, TBM_GETRANGEMAX));

    const struct { int32_t format; bool shown; int32_t written; } formats[] = {
        {0, false, 0}, {1, false, 0}, {2, true, 2}, {3, false, 0}};
    for (const auto &f : formats) {
        SCOPED_TRACE(f.format);
        Preset(Q3DPropertySet, 0, f.format);
        ReadAndOpen(mixingOptionsPage);
        EXPECT_EQ(f.shown, Checked(IDC_FLOATING_POINT));
        CloseAndWrite(mixingOptionsPage);
        EXPECT_EQ(f.written, (Stored<int32_t>(Q3DPropertySet, 0)));
    }

    const struct { float volume; int position; float written; } volumes[] = {
        {1.0f, 0, 1.0f}, {0.5f, 6, 0.5011872f}, {2.0f, 0, 1.0f}, {0.0f, 60, 0.0f}, {-1.0f, 60, 0.0f},
        {0.001f, 60, 0.0f}, {NAN, 60, 0.0f}, {INFINITY, 0, 1.0f}};
    for (const auto &v : volumes) {
        SCOPED_TRACE(v.volume);
        Preset(Q3DPropertySet, 11, v.volume);
        ReadAndOpen(mixingOptionsPage);
        EXPECT_EQ(v.position, Send(IDC_VOLUME, TBM_GETPOS));
        CloseAndWrite(mixingOptionsPage);
        EXPECT_FLOAT_EQ(v.written, (Stored<float>(Q3DPropertySet, 11)));
    }
}

TEST_F(EffectsPagesTest, EveryVolumePositionIsStoredAsItsGainAndShownAgain)
{
    const struct { int position; float volume; } table[] = {
        {0, 1.0f}, {1, 0.8912509f}, {6, 0.5011872f}, {20, 0.1f}, {40, 0.01f}, {59, 0.0011220184f}, {60, 0.0f}};
    Open(mixingOptionsPage);
    for (const auto &t : table) {
        SCOPED_TRACE(t.position);
        Slide(IDC_VOLUME, t.position, WM_VSCROLL);
        mixingOptionsPage.TakeSettings(page_);
        mixingOptionsPage.WriteToDriver(c_.directSound, c_.propertySet);
        EXPECT_FLOAT_EQ(t.volume, (Stored<float>(Q3DPropertySet, 11)));
    }
    for (int position = 0; position <= 60; ++position) {
        Send(IDC_VOLUME, TBM_SETPOS, TRUE, position);
        mixingOptionsPage.TakeSettings(page_);
        mixingOptionsPage.WriteToDriver(c_.directSound, c_.propertySet);
        Send(IDC_VOLUME, TBM_SETPOS, TRUE, 30);
        mixingOptionsPage.ReadFromDriver(c_.directSound, c_.propertySet);
        mixingOptionsPage.ShowSettings(page_);
        EXPECT_EQ(position, Send(IDC_VOLUME, TBM_GETPOS));
    }
}

TEST_F(EffectsPagesTest, MixingOptionsShowsTheRegistryValuesAndStoresThemNowhere)
{
    struct Value {
        const char *name;
        DWORD type;
        const char *data; // null: absent
        DWORD size;
    };
    // The Q3D key (absent, or with these values) and what the page shows
    // after a read, its fields having been latency 0x141 and both switches on.
    const struct { bool key; Value values[3]; const char *latency; bool primary, bypass; } steps[] = {
        {false, {}, "321", true, true},
        {true, {{"Latency", REG_DWORD, "\x28\0\0\0", 4}, {"Primary", REG_DWORD, "\0\0\0\0", 4},
                {"Bypass", REG_DWORD, "\0\0\0\0", 4}}, "40", false, false},
        // A missing value leaves its field; the next is still read.
        {true, {{"Latency", REG_DWORD, "\x29\0\0\0", 4}, {"Primary", REG_DWORD, nullptr, 0},
                {"Bypass", REG_DWORD, "\0\0\0\0", 4}}, "41", true, false},
        // Whatever the type, a short value replaces the low bytes only; a
        // longer one nothing.
        {true, {{"Latency", REG_BINARY, "\5", 1}, {"Primary", REG_SZ, "longer", 7},
                {"Bypass", REG_BINARY, "\0\0", 2}}, "261", true, false},
        {true, {{"Latency", REG_SZ, "7", 2}, {"Primary", REG_BINARY, "\0\0\0\0\0", 5},
                {"Bypass", REG_BINARY, "\1", 1}}, "55", true, true},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(testing::Message() << "latency " << s.latency);
        Open(mixingOptionsPage);
        Type(IDC_LATENCY, "321");
        Send(IDC_MIX_PRIMARY, BM_SETCHECK, BST_CHECKED);
        Send(IDC_BYPASS, BM_SETCHECK, BST_CHECKED);
        DestroyWindow(page_);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kQ3DKey);
        HKEY key = nullptr;
        if (s.key) {
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, kQ3DKey, &key));
            for (const Value &v : s.values)
                if (v.data)
                    RegSetValueExA(key, v.name, 0, v.type, reinterpret_cast<const BYTE *>(v.data), v.size);
        }
        VcLogClear();
        ReadAndOpen(mixingOptionsPage);
        EXPECT_EQ((Trace{Call("get", kMixingOptions[0], "0x00000000"), Call("get", kMixingOptions[1], "0x3f800000")}),
                  PropertyCalls());
        EXPECT_EQ(s.latency, Text(IDC_LATENCY));
        EXPECT_EQ(s.primary, Checked(IDC_MIX_PRIMARY));
        EXPECT_EQ(s.bypass, Checked(IDC_BYPASS));

        // Changed and applied, they go to neither the driver nor the registry.
        Type(IDC_LATENCY, "500");
        Send(IDC_BYPASS, BM_CLICK);
        Send(IDC_MIX_PRIMARY, BM_CLICK);
        VcLogClear();
        CloseAndWrite(mixingOptionsPage);
        EXPECT_EQ((Trace{Call("set", kMixingOptions[0], "0x00000000"), Call("set", kMixingOptions[1], "0x3f800000")}),
                  PropertyCalls());
        if (!key) {
            EXPECT_NE(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, kQ3DKey, &key));
            continue;
        }
        for (const Value &v : s.values) {
            BYTE data[16] = {};
            DWORD type = 0, size = sizeof data;
            LONG result = RegQueryValueExA(key, v.name, nullptr, &type, data, &size);
            if (!v.data) {
                EXPECT_EQ(ERROR_FILE_NOT_FOUND, result) << v.name;
                continue;
            }
            EXPECT_EQ(v.type, type) << v.name;
            EXPECT_EQ(std::string(v.data, v.size), std::string(reinterpret_cast<char *>(data), size)) << v.name;
        }
        RegCloseKey(key);
    }
}

// ---- Apply ------------------------------------------------------------------

TEST_F(EffectsPagesTest, EffectsEnablesApplyForItsSettingsOnlyAndTrackBarsWhenAMoveEnds)
{
    Open(effectsPage);
    std::vector<Action> actions;
    for (int id : {IDC_REVERB, IDC_STEREO_EXPANSION, IDC_LOW_FREQUENCY, IDC_ELEVATION, IDC_INTERPOLATE,
                   IDC_MODE_QSOUND, IDC_MODE_STEREO, IDC_OUTPUT_SPEAKERS, IDC_OUTPUT_HEADPHONES, IDC_OUTPUT_MONO,
                   IDC_OUTPUT_QUAD, IDC_SPLASH_LOGO}) {
        actions.push_back({BM_CLICK, id, 0, true});
        actions.push_back({WM_COMMAND, id, BN_KILLFOCUS, true});
    }
    actions.push_back({WM_COMMAND, IDC_PROPERTY1_ON, BN_CLICKED, true});
    actions.push_back({WM_COMMAND, IDC_ENVIRONMENT, CBN_SELCHANGE, true});
    for (int code : {CBN_DROPDOWN, CBN_CLOSEUP, CBN_EDITCHANGE, CBN_EDITUPDATE, CBN_SETFOCUS, CBN_KILLFOCUS,
                     CBN_SELENDOK, CBN_SELENDCANCEL, CBN_DBLCLK})
        actions.push_back({WM_COMMAND, IDC_ENVIRONMENT, code, false});
    for (int id : {IDC_CPU_USAGE, IDC_SPREAD, IDC_CENTER}) {
        for (int code = TB_LINEUP; code <= TB_ENDTRACK; ++code)
            actions.push_back({WM_HSCROLL, id, code, code == TB_ENDTRACK});
        actions.push_back({WM_VSCROLL, id, TB_ENDTRACK, false});
        actions.push_back({WM_COMMAND, id, 0, false});
    }
    for (int id : {IDC_EFFECTS_ICON, IDC_PROPERTY1_VALUE, IDC_APPLY, IDC_STATIC})
        actions.push_back({WM_COMMAND, id, EN_CHANGE, false});
    ExpectApplyAfter(actions);
    // Selecting an entry as the list does it.
    EnableWindow(GetDlgItem(panel_, IDC_APPLY), FALSE);
    Select(9);
    EXPECT_TRUE(ApplyEnabled());
}

TEST_F(EffectsPagesTest, VoiceManagerEnablesApplyForItsButtonsAndEditedNumbersOnly)
{
    Open(voiceManagerPage);
    std::vector<Action> actions;
    for (int id : {IDC_LIMIT_TOTAL, IDC_PLAY_UNLIMITED, IDC_PLAY_LIMITED, IDC_PLAY_LONGEST}) {
        actions.push_back({BM_CLICK, id, 0, true});
        actions.push_back({WM_COMMAND, id, BN_SETFOCUS, true});
    }
    for (int id : {IDC_MAX_TOTAL, IDC_MAX_PLAY}) {
        actions.push_back({WM_SETTEXT, id, 0, true});
        actions.push_back({WM_KEYDOWN, id, 0, true}); // an arrow rewrites the text
        for (int code : {EN_UPDATE, EN_SETFOCUS, EN_KILLFOCUS, EN_MAXTEXT, EN_HSCROLL})
            actions.push_back({WM_COMMAND, id, code, false});
    }
    for (int id : {IDC_MAX_TOTAL_SPIN, IDC_MAX_PLAY_SPIN}) {
        for (int code = SB_LINEUP; code <= SB_ENDSCROLL; ++code)
            actions.push_back({WM_VSCROLL, id, code, false});
        actions.push_back({WM_COMMAND, id, EN_CHANGE, false});
    }
    actions.push_back({WM_HSCROLL, IDC_MAX_TOTAL_SPIN, SB_ENDSCROLL, false});
    actions.push_back({WM_COMMAND, IDC_STATIC, BN_CLICKED, false});
    ExpectApplyAfter(actions);
}

TEST_F(EffectsPagesTest, MixingOptionsEnablesApplyForItsButtonsTheLatencyAndEveryVerticalScroll)
{
    Open(mixingOptionsPage);
    std::vector<Action> actions;
    for (int id : {IDC_FLOATING_POINT, IDC_MIX_PRIMARY, IDC_BYPASS}) {
        actions.push_back({BM_CLICK, id, 0, true});
        actions.push_back({WM_COMMAND, id, BN_SETFOCUS, true});
    }
    actions.push_back({WM_SETTEXT, IDC_LATENCY, 0, true});
    actions.push_back({WM_KEYDOWN, IDC_LATENCY, 0, true});
    for (int code : {EN_UPDATE, EN_SETFOCUS, EN_KILLFOCUS, EN_MAXTEXT})
        actions.push_back({WM_COMMAND, IDC_LATENCY, code, false});
    for (int id : {IDC_VOLUME, IDC_LATENCY_SPIN}) {
        for (int code = TB_LINEUP; code <= TB_ENDTRACK; ++code) {
            actions.push_back({WM_VSCROLL, id, code, true});
            actions.push_back({WM_HSCROLL, id, code, false});
        }
        actions.push_back({WM_COMMAND, id, 0, false});
    }
    actions.push_back({WM_COMMAND, IDC_STATIC, BN_CLICKED, false});
    ExpectApplyAfter(actions);
}
