// The card's mixer access and the Playback and Record Mixer pages against the
// virtual card's mixer. The pages live in the panel's dialog and are driven
// with the messages a user's slider moves and clicks send; each action is
// checked in the mixer's stored values, then on the page once the mixer's
// change message is handled.
#include "harness.h"

#include "mixer/playback_mixer_page.h"
#include "mixer/record_mixer_page.h"
#include "resource.h"
#include "virtualcard/vclog.h"
#include "virtualcard/vcmixer.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

namespace {

const DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
const DWORD kVolume = MIXERCONTROL_CONTROLTYPE_VOLUME, kMute = MIXERCONTROL_CONTROLTYPE_MUTE;
const DWORD kBass = MIXERCONTROL_CONTROLTYPE_BASS, kMux = MIXERCONTROL_CONTROLTYPE_MUX;
const DWORD kUniform = MIXERCONTROL_CONTROLF_UNIFORM, kMultiple = MIXERCONTROL_CONTROLF_MULTIPLE;
const DWORD kSource = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;

// The values the sliders stand for; the pages' tests add what the mixer
// makes of them.
TEST(MixerArithmetic, SlidersAndChannelValuesConvertBothWays)
{
    // A stereo line at full volume, centred.
    MixerLineRecord full = {};
    full.line.cChannels = 2, full.channelVolume[0] = full.channelVolume[1] = 65535, full.balance = 16;
    // A slider position, and the channel values afterwards and the balance
    // BalanceFromVolume gives them.
    const struct { uint32_t position; bool balanceSlider; uint32_t left, right, balance; } cases[] = {
        {0, true, 65535, 0, 0}, {32, true, 0, 65535, 32}, {8, true, 65535, 32767, 8}, {15, true, 65535, 61439, 15},
        {16, true, 65535, 65535, 16}, {17, true, 61439, 65535, 17}, {7, false, 34952, 34952, 16}};
    for (const auto &c : cases) {
        MixerLineRecord r = full;
        ApplySliderPosition(&r, c.position, c.balanceSlider), r.balance = -1;
        EXPECT_TRUE(BalanceFromVolume(&r)) << &c - cases;
        EXPECT_EQ(std::make_tuple(c.left, c.right, c.balance),
                  std::make_tuple(r.channelVolume[0], r.channelVolume[1], uint32_t(r.balance))) << &c - cases;
    }
    // Every slider position reads back as itself; the pages' tests show a
    // mono and a silent line.
    for (uint32_t balance = 0; balance <= 32; ++balance)
        for (uint32_t volume = 0; volume <= 15; ++volume) {
            MixerLineRecord r = full;
            ApplySliderPosition(&r, balance, true), ApplySliderPosition(&r, volume, false), r.balance = -1;
            EXPECT_EQ(volume, VolumeSliderPosition(&r)) << balance << " " << volume;
            EXPECT_EQ(volume < 15 ? int32_t(balance) : -1, (BalanceFromVolume(&r), r.balance)) << balance << " " << volume;
        }
    // A mono line's balance slider changes nothing; its unused second value does not count.
    MixerLineRecord mono = full;
    mono.line.cChannels = 1, mono.channelVolume[0] = 0;
    ApplySliderPosition(&mono, 0, true);
    EXPECT_TRUE(mono.balance == 16 && mono.channelVolume[0] == 0 && mono.channelVolume[1] == 65535 && VolumeSliderPosition(&mono) == 15);
}

// A line and its controls on device 0: a source of a destination, or (for
// kVcMixerNoLine) a destination.
struct TestLine { DWORD id, volume, mute; };
TestLine AddLine(DWORD destination, DWORD type, DWORD channels, const char *name, DWORD volumeFlags = 0,
                 DWORD muteFlags = kUniform, bool mute = true)
{
    DWORD id = destination == kVcMixerNoLine ? VcMixerAddDestination(0, type, channels, name)
                                             : VcMixerAddSource(0, destination, type, channels, name);
    TestLine line = {id, VcMixerAddControl(0, id, kVolume, volumeFlags, 0, "Volume"), 0};
    if (mute)
        line.mute = VcMixerAddControl(0, id, kMute, muteFlags, 0, "Mute");
    return line;
}

// A control's values now, as "1,0" (as many as it holds).
std::string Values(DWORD control)
{
    DWORD values[256] = {}, count = 1;
    while (count < 256 && !VcMixerGetValues(0, control, values, count))
        ++count;
    std::string text;
    for (DWORD i = 0; i < count; ++i)
        text += (i ? "," : "") + std::to_string(values[i]);
    return text;
}

// The values of each write as the card was given them: "v,v|v,v".
std::string Writes()
{
    std::string text;
    for (const std::string &line : Trace(0, {"mixerSetControlDetails"}))
        text += (text.empty() ? "" : "|") + Field(line, "values");
    return text;
}

// Each column's name, volume slider, balance slider and box: the playback
// page's columns 0..5, then the record page's as 6..10.
const int kIds[11][4] = {
    {1107, 1099, 1113, 1120}, {1108, 1100, 1114, 1121}, {1109, 1101, 1115, 1122}, {1110, 1102, 1116, 1123},
    {1111, 1103, 1117, 1124}, {1112, 1104, 1118, 1125}, {1127, 1132, 1140, 1136}, {1128, 1133, 1141, 1137},
    {1129, 1134, 1142, 1138}, {1130, 1135, 1143, 1139}, {1131, 1145, 1144, 1146},
};
// What a step does: a user's slider move or click, another program's change
// of a control, or of a line after such a change.
enum Action { kVolumeSlider = 1, kBalanceSlider, kClick, kOtherProgram, kLineChange };

class Mixer : public testing::Test {
protected:
    void SetUp() override
    {
        InitCommonControls();
        VcMixerClearDevices();
        panel_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PANEL), nullptr, InertDialog, 0);
        ShowWindow(panel_, SW_SHOWNORMAL);
        playbackMixerPage.mixerPageDevice = recordMixerPage.mixerPageDevice = 0;
    }
    void TearDown() override
    {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)));
        DestroyWindow(panel_); // and the page with it
        if (mixer_)
            CloseCardMixer(mixer_);
        EXPECT_TRUE(VcMixerOpenHandleCount() == 0 && !playbackMixerPage.mixerHandle && !recordMixerPage.mixerHandle);
    }
    static DWORD Card(DWORD type, DWORD channels, const char *name)
    {
        VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName);
        return VcMixerAddDestination(0, type, channels, name);
    }
    void Bind(MixerLineRecord *record, DWORD type, int source)
    {
        mixer_ = mixer_ ? mixer_ : OpenCardMixer(panel_, 0);
        ASSERT_EQ(kLineFound, FindColumnLine(mixer_, record, type, source));
    }
    void Open(MixerPage &object)
    {
        VcLogClear();
        page_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(object.DialogTemplateId()), panel_,
                                   object.DialogProcedure(), reinterpret_cast<LPARAM>(static_cast<ControlPanelPage *>(&object)));
        ShowWindow(page_, SW_SHOWNORMAL);
        DispatchPending();
        RECT area, placed; // the page fills the tab's display area
        GetWindowRect(GetDlgItem(panel_, IDC_PANEL_TAB), &area), GetWindowRect(page_, &placed);
        SendDlgItemMessageA(panel_, IDC_PANEL_TAB, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        EXPECT_TRUE(area.left == placed.left && area.top == placed.top);
    }
    int Position(int id) { return static_cast<int>(SendDlgItemMessageA(page_, id, TBM_GETPOS, 0, 0)); }
    // Columns as the user sees them, "name v<volume> b<balance> m<box>" with
    // each disabled control marked "!" and each still to be painted "~",
    // joined by " | ".
    std::string Views(int first, int last)
    {
        std::string views;
        for (int i = first; i <= last; ++i) {
            const int *c = kIds[i];
            char name[80] = "", text[160];
            GetDlgItemTextA(page_, c[0], name, sizeof name);
            auto off = [&](int id) { HWND w = GetDlgItem(page_, id); return !IsWindowEnabled(w) ? "!" : GetUpdateRect(w, nullptr, FALSE) ? "~" : ""; };
            snprintf(text, sizeof text, "%s%s %sv%d %sb%d %sm%u", i > first ? " | " : "", name, off(c[1]),
                     Position(c[1]), off(c[2]), Position(c[2]), off(c[3]), IsDlgButtonChecked(page_, c[3]));
            views += text;
        }
        return views;
    }
    // A user's action on a column: its box clicked, or a slider moved to a
    // position by a key (code) pressed until it stands there.
    void Act(int column, Action action, int position = 0, int code = 0)
    {
        for (int i = 0; i < 40 && (action == kClick ? !i : Position(kIds[column][action]) != position); ++i)
            UserInput(GetDlgItem(page_, kIds[column][action]), {action == kClick ? VK_LBUTTON : code});
    }
    // A user's action or another program's change (which sets a control to
    // the position and code as its values, count of them), checked in the
    // mixer (control null: nothing written) and on the column.
    // (values: another program's, if more than position and code)
    struct Step { int column; Action action; int position, code; const DWORD *control; const char *stored, *view;
                  DWORD count = 0; const DWORD *values = nullptr; };
    void Run(const Step *steps, size_t n)
    {
        for (const Step *s = steps; s < steps + n; ++s) {
            SCOPED_TRACE(testing::Message() << "step " << s - steps);
            VcLogClear();
            const DWORD values[2] = {DWORD(s->position), DWORD(s->code)};
            bool other = s->action == kOtherProgram || s->action == kLineChange;
            if (other)
                ASSERT_TRUE(VcMixerChangeByOtherProgram(0, *s->control, s->values ? s->values : values, s->count));
            else
                Act(s->column, s->action, s->position, s->code);
            // A line change only: the control's own notice is lost.
            for (MSG m; s->action == kLineChange && PeekMessageA(&m, page_, MM_MIXM_CONTROL_CHANGE, MM_MIXM_CONTROL_CHANGE, PM_REMOVE);)
                continue;
            if (s->action == kLineChange)
                ASSERT_TRUE(VcMixerChangeLineByOtherProgram(0, VcMixerFindLine(0, kSpeakers)));
            // What the page wrote last, as given, and what the control then keeps.
            const std::string writes = Writes(), last = writes.substr(writes.rfind('|') + 1);
            EXPECT_EQ(std::string(s->control && !other ? s->stored : "") + " / " + s->stored, last + " / " + (s->control ? Values(*s->control) : ""));
            // Another program's change: its notice alone, before any painting.
            for (MSG m; other && PeekMessageA(&m, page_, MM_MIXM_CONTROL_CHANGE, MM_MIXM_CONTROL_CHANGE, PM_REMOVE);)
                DispatchMessageA(&m);
            if (!other)
                DispatchPending();
            EXPECT_EQ(s->view, Views(s->column, s->column));
            DispatchPending();
        }
    }

    HWND panel_ = nullptr, page_ = nullptr;
    HMIXER mixer_ = nullptr;
};

// With the driver package as installed: SOUNDCFG.INI's DRIVERDESC "Sonaris
// PCI Audio" names the media driver whose ManufactureID is 0x1A7.
TEST_F(Mixer, TheCardsMixerIsTheFirstReadableDeviceOfItsDriversManufacturer)
{
    const std::string head = "Sonaris PCI Audio " + std::string(41, 'x'), longer = head + " and more",
                      lastDiffers = head.substr(0, 58) + "v";
    const std::string cardKey = std::string(kMediaClassKey) + "\\0001";
    // DRIVERDESC ("": removed) and the card driver's DriverDesc if changed, the devices'
    // manufacturers, whether the first device's capabilities can be read.
    const struct { const char *profile, *driver; int devices; WORD mids[3]; bool firstUnreadable; UINT expected; } cases[] = {
        {nullptr, nullptr, 3, {0x11, 0x22, 0x1A7}, false, 2}, {nullptr, nullptr, 3, {0x11, 0x1A7, 0x1A7}, false, 1},
        {nullptr, nullptr, 2, {0x11, 0x22}, false, 0},         {nullptr, nullptr, 0, {}, false, 0},
        {nullptr, nullptr, 2, {0x1A7, 0x1A7}, true, 1},        {nullptr, nullptr, 2, {0x11, 0x1A7}, true, 1},
        {"Other Audio", nullptr, 3, {0x11, 0, 0x1A7}, false, 0}, // no manufacturer: not even a device of none
        {longer.c_str(), head.c_str(), 2, {0x11, 0x1A7}, false, 1}, // 59 characters are read, all of them
        {head.c_str(), lastDiffers.c_str(), 2, {0x11, 0x1A7}, false, 0},
        {"", nullptr, 3, {0x11, 1, 0x1A7}, false, 1}, // no DRIVERDESC: empty, found in the first driver's (id 1)
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        RestorePackage();
        if (c.profile)
            WritePrivateProfileStringA("DESCRIPTION", "DRIVERDESC", *c.profile ? c.profile : nullptr, "SOUNDCFG.INI");
        if (c.driver)
            SetValue(HKEY_LOCAL_MACHINE, cardKey, "DriverDesc", REG_SZ, c.driver, DWORD(strlen(c.driver) + 1));
        VcMixerClearDevices();
        for (int i = 0; i < c.devices; ++i)
            VcMixerAddDevice(c.mids[i], 1, "Mixer");
        VcFailCall("mixerGetDevCapsA", 1, c.firstUnreadable ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR);
        EXPECT_EQ(c.expected, FindCardMixer());
        VcClearFaults();
    }
    RestorePackage();
}

// Each transfer takes the first control of its type, else slot 0 (volume)
// or 1 (mute) if the line has a control there. Values that need more room
// than the record has are refused, except a mute's, which is moved as one
// value for all channels. A line of four controls loads them, one of five
// or six (more than the record holds) none; a line without controls moves
// nothing. One record serves every line in turn. (The pages' tests show the
// usual lines, a mono one, one of six channels.) Controls that report
// 0x80000001 items are never read: such a read would fail, and be logged.
TEST_F(Mixer, TransfersNeverReachPastTheRecordOrAnEarlierLinesControls)
{
    DWORD destination = Card(kSpeakers, 2, "Speakers");
    struct Case {
        DWORD channels;
        DWORD controls[6][2]; // type, flags
        bool loads;
        const char *read;     // channelVolume after GetLineVolume ("-": untouched)
        int volumeSlot;       // the control SetLineVolume of 1000, 2000 moves (-1: none)
        const char *volumeStored;
        int muteSlot;         // the control SetLineMute of 1 moves (-1: none)
        const char *muteStored;
        DWORD reported; // items each multiple-item control reports
    } const cases[] = {
        {2, {{kMute, kUniform}, {kVolume, kUniform}}, true, "49149,-", 1, "1000", 0, "1"},
        {2, {{kVolume, kUniform}, {kMute, 0}}, true, "49149,-", 0, "1000", 1, "1,1"},
        {2, {{kBass, kUniform}}, true, "49149,-", 0, "1000", -1, ""},
        {2, {{kBass, 0}, {kBass, 0}, {kBass, 0}, {kVolume, 0}}, true, "49149,49149", 3, "1000,2000", 1, "1,1"},
        {2, {{kVolume, 0}, {kMute, kUniform}, {kBass, 0}, {kBass, 0}, {kBass, 0}}, false, "-,-", -1, "", -1, ""},
        {2, {{kVolume, 0}, {kMute, kUniform}, {kBass, 0}, {kBass, 0}, {kBass, 0}, {kBass, 0}}, false, "-,-", -1, "", -1, ""},
        {2, {}, false, "-,-", -1, "", -1, ""},
        {2, {{kVolume, kMultiple}, {kMute, kMultiple}}, true, "-,-", -1, "", -1, "", 0x80000001},
    };
    struct { MixerLineRecord record; BYTE guard[64]; } g;
    memset(&g, 0xA5, sizeof g);
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        DWORD line = VcMixerAddSource(0, destination, kSource, c.channels, "Line");
        for (int i = 0; i < 6 && c.controls[i][0]; ++i)
            if (DWORD id = VcMixerAddControl(0, line, c.controls[i][0], c.controls[i][1], c.controls[i][1] & kMultiple ? 1 : 0, "Control"); c.reported)
                VcMixerReportItems(0, id, c.reported) && VcFailCall("mixerGetControlDetailsA", 0, MMSYSERR_ERROR);
        Bind(&g.record, kSpeakers, static_cast<int>(line & 0xFFFF));
        EXPECT_EQ(c.loads, LoadLineControls(mixer_, &g.record));
        g.record.channelVolume[0] = g.record.channelVolume[1] = 0xA5A5A5A5;
        EXPECT_EQ(strcmp(c.read, "-,-") != 0, GetLineVolume(mixer_, &g.record));
        auto shown = [](uint32_t v) { return v == 0xA5A5A5A5 ? std::string("-") : std::to_string(v); };
        EXPECT_EQ(c.read, shown(g.record.channelVolume[0]) + "," + shown(g.record.channelVolume[1]));
        EXPECT_TRUE(Trace(0, {"fault method=mixerGetControlDetailsA"}).empty());
        VcLogClear(), VcClearFaults();
        g.record.channelVolume[0] = 1000, g.record.channelVolume[1] = 2000, g.record.switchValue = 1;
        EXPECT_EQ(c.volumeSlot >= 0, SetLineVolume(mixer_, &g.record));
        EXPECT_EQ(c.muteSlot >= 0, SetLineMute(mixer_, &g.record));
        EXPECT_EQ(std::string(c.volumeStored) + (*c.volumeStored && *c.muteStored ? "|" : "") + c.muteStored, Writes());
        EXPECT_TRUE(g.record.channelVolume[0] == 1000 && g.record.channelVolume[1] == 2000 && g.record.switchValue == 1);
        for (BYTE b : g.guard)
            ASSERT_EQ(0xA5, b);
    }
}

// The recording-source selector counts only among the wave input's first
// three controls, and may have as many channels and items as the card has,
// but not 0x40000001 items a channel (slot 1) nor 200 for each of its 8
// channels (slot 0): it is never read, as a failed and logged read would show.
TEST_F(Mixer, TheRecordingSourceSelectorIsOneOfTheFirstThreeControls)
{
    for (int slot : {3, 2, 1, 0}) {
        DWORD waveIn = Card(kWaveIn, kVcMixerMaxChannels, "Recording");
        VcMixerAddSource(0, waveIn, kSource, 2, "Mic");
        VcMixerAddSource(0, waveIn, kSource, 2, "CD");
        for (int i = 0; i < slot; ++i)
            VcMixerAddControl(0, waveIn, kVolume, 0, 0, "Volume");
        DWORD mux = VcMixerAddControl(0, waveIn, kMux, kMultiple, kVcMixerMaxItems, "Recording Source");
        ASSERT_TRUE(slot > 1 || (VcMixerReportItems(0, mux, slot ? 0x40000001 : 200) && VcFailCall("mixerGetControlDetailsA", 0, MMSYSERR_ERROR)));
        MixerLineRecord record;
        Bind(&record, kWaveIn, 1);
        record.switchValue = 1;
        EXPECT_EQ(slot == 2, SetRecordSource(mixer_, &record)) << slot;
        record.switchValue = 7;
        EXPECT_EQ(slot == 2, GetRecordSource(mixer_, &record)) << slot;
        EXPECT_EQ(slot == 2 ? 1u : 7u, record.switchValue) << slot;
        EXPECT_EQ(slot == 2 ? "0,1" : "1,0", Values(mux).substr(0, 3)) << slot;
        EXPECT_TRUE(Trace(0, {"fault method=mixerGetControlDetailsA"}).empty()) << slot;
        CloseCardMixer(mixer_);
        mixer_ = nullptr;
        VcMixerClearDevices(), VcClearFaults();
    }
    // A failure at any step of a read or a write gives false and leaves the
    // record and the selector as they were; the device's id has a fallback.
    // The names fill their fields, unterminated, and differ in the last
    // character only: the selector's items are named after the lines.
    DWORD waveIn = Card(kWaveIn, 2, "Recording");
    VcMixerAddSource(0, waveIn, kSource, 2, (std::string(63, 'L') + "1").c_str());
    VcMixerAddSource(0, waveIn, kSource, 2, (std::string(63, 'L') + "2").c_str());
    const DWORD mux = VcMixerAddControl(0, waveIn, kMux, kUniform | kMultiple, 2, "Recording Source"), first[2] = {1, 0};
    MixerLineRecord record;
    Bind(&record, kWaveIn, 1);
    const struct { const char *call; int n; bool getFails, setFails; } steps[] = {
        {"mixerGetID", 1, false, false},           {"mixerGetDevCapsA", 1, true, true},
        {"mixerGetLineInfoA", 1, true, true},      {"mixerGetLineControlsA", 1, true, true},
        {"HeapAlloc", 1, true, true},              {"mixerGetControlDetailsA", 1, true, true},
        {"HeapAlloc", 2, true, true},              {"mixerGetControlDetailsA", 2, true, false},
        {"mixerSetControlDetails", 1, false, true},
    };
    for (const auto &s : steps) {
        for (bool set : {false, true}) {
            SCOPED_TRACE(testing::Message() << s.call << " " << s.n << (set ? " set" : " get"));
            ASSERT_TRUE(VcMixerChangeByOtherProgram(0, mux, first, 2));
            const bool heap = strcmp(s.call, "HeapAlloc") == 0;
            HeapRefusal refusal(heap ? s.n : 0);
            if (!heap)
                VcFailCall(s.call, s.n, MMSYSERR_ERROR);
            record.switchValue = set ? 1 : 7;
            const bool fails = set ? s.setFails : s.getFails;
            EXPECT_EQ(!fails, set ? SetRecordSource(mixer_, &record) : GetRecordSource(mixer_, &record));
            EXPECT_EQ(set ? 1u : fails ? 7u : 0u, record.switchValue);
            EXPECT_EQ(set && !fails ? "0,1" : "1,0", Values(mux));
            VcClearFaults();
        }
    }
    // A destination that cannot be read ends the search for a line at once.
    VcFailCall("mixerGetLineInfoA", 1, MMSYSERR_ERROR);
    EXPECT_EQ(kLineSearchFailed, FindColumnLine(mixer_, &record, kWaveIn, 1));
    VcClearFaults();
}

// Each page object finds the card's mixer when it is made, here the second
// device, and opens it with its dialog only; without a mixer a page shows
// its template, sliders and all, and does nothing.
TEST_F(Mixer, APageObjectFindsTheCardsMixerWhenMadeAndOpensItWithItsDialog)
{
    VcMixerAddDevice(0x22, 1, "Other"), VcFailCall("mixerGetDevCapsA", 1, MMSYSERR_NODRIVER); // unreadable: not opened
    Open(playbackMixerPage);
    EXPECT_EQ("Volume v0 b0 m0 | Wave v0 b0 m0 | FM-Syn v0 b0 m0 | CD v0 b0 m0 | MIC v0 b0 m0 | Line-In v0 b0 m0", Views(0, 5));
    EXPECT_EQ(100, SendDlgItemMessageA(page_, kIds[0][1], TBM_GETRANGEMAX, 0, 0));
    Act(1, kClick);
    Act(1, kVolumeSlider, 3, VK_DOWN);
    EXPECT_EQ(1u, VcLogCount()); // the capabilities' refusal: not even an open
    DestroyWindow(page_);

    // The other mixer has no lines: the card's lines are looked for on the card's.
    VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName);
    VcMixerAddDestination(1, kSpeakers, 2, "Card Speakers");
    PlaybackMixerPage playback;
    RecordMixerPage record;
    EXPECT_EQ(0u, VcMixerOpenHandleCount());
    for (MixerPage *object : {static_cast<MixerPage *>(&playback), static_cast<MixerPage *>(&record)}) {
        EXPECT_TRUE(object->mixerPageDevice == 1 && !object->mixerHandle);
        Open(*object);
        EXPECT_TRUE(std::string(VcLogLine(0)).find("mixerOpen device=1 ") == 0 && VcMixerOpenHandleCount() == 1);
        EXPECT_EQ("0", Field(VcLogLine(0), "instance"));
        if (object == &playback)
            EXPECT_EQ("Card Speakers !v0 !b16 !m0", Views(0, 0)); // a line without controls
        // Every column's sliders, bound or not: "min..max/ticks" of volume and balance, the balance's own tick.
        for (int i = object == &playback ? 0 : 6, last = object == &playback ? 5 : 10; i <= last; ++i) {
            auto send = [&](int slot, UINT message) { return int(SendDlgItemMessageA(page_, kIds[i][slot], message, 0, 0)); };
            char text[80];
            snprintf(text, sizeof text, "%d..%d/%d %d..%d/%d@%d", send(1, TBM_GETRANGEMIN), send(1, TBM_GETRANGEMAX), send(1, TBM_GETNUMTICS),
                     send(2, TBM_GETRANGEMIN), send(2, TBM_GETRANGEMAX), send(2, TBM_GETNUMTICS), send(2, TBM_GETTIC));
            EXPECT_STREQ("0..15/16 0..32/3@16", text) << i;
        }
        // A column without a line keeps its template label and moves nothing.
        const int unbound = object == &playback ? 1 : 7;
        Act(unbound, kVolumeSlider, 3, VK_DOWN);
        Act(unbound, kBalanceSlider, 9, VK_LEFT);
        Act(unbound, kClick), DispatchPending();
        EXPECT_EQ(object == &playback ? "Wave v3 b9 m1" : "Mic v3 b9 m1", Views(unbound, unbound));
        EXPECT_EQ("", Writes());
        DestroyWindow(page_);
        EXPECT_TRUE(VcMixerOpenHandleCount() == 0 && !object->mixerHandle);
        // A page window without its object opens nothing, and does nothing
        // for a slider, the mixer's notice or its end.
        VcLogClear();
        page_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(object->DialogTemplateId()), panel_,
                                   object->DialogProcedure(), 0);
        Act(object == &playback ? 1 : 7, kVolumeSlider, 3, VK_DOWN);
        SendMessageA(page_, MM_MIXM_CONTROL_CHANGE, 0, 0);
        DestroyWindow(page_);
        EXPECT_EQ(0u, VcLogCount());
    }
}

TEST_F(Mixer, PlaybackColumnsFollowTheSpeakerLinesAndMoveThemAtOnce)
{
    Card(kWaveIn, 2, "Recording");
    // The first speaker destination: mute before volume.
    DWORD frontId = VcMixerAddDestination(0, kSpeakers, 2, "Front");
    TestLine front = {frontId, 0, VcMixerAddControl(0, frontId, kMute, kUniform, 0, "Mute")};
    front.volume = VcMixerAddControl(0, frontId, kVolume, 0, 0, "Volume");
    TestLine wave = AddLine(frontId, kSource, 2, "Wave");
    TestLine mic = AddLine(frontId, kSource, 1, "Mic", 0, 0);
    // Columns 3, 4 and 5 come from the second speaker destination, which
    // has sources 2, 3 and 4.
    DWORD rear = AddLine(kVcMixerNoLine, kSpeakers, 2, "Rear").id;
    AddLine(rear, kSource, 2, "R0");
    AddLine(rear, kSource, 2, "R1");
    TestLine six = AddLine(rear, kSource, 6, "Six", 0, 0);
    const std::string crowdedName = std::string(57, 'C') + "rowded."; // fills its field, unterminated
    TestLine crowded = AddLine(rear, kSource, 2, crowdedName.c_str());
    for (int i = 0; i < 4; ++i)
        VcMixerAddControl(0, crowded.id, kBass, kUniform, 0, "Bass");
    TestLine last = AddLine(rear, kSource, 2, "Last", 0, 0, false); // no mute control

    Open(playbackMixerPage);
    EXPECT_EQ("Front v4 b16 m0 | Wave v4 b16 m0 | Mic v4 !b16 m0 | Six v0 b16 m0 | " + crowdedName +
                  " !v0 !b16 !m0 | Last v4 b16 m0",
              Views(0, 5));
    const Step steps[] = {
        {1, kVolumeSlider, 7, VK_DOWN, &wave.volume, "34952,34952", "Wave v7 b16 m0"},
        {1, kBalanceSlider, 8, VK_LEFT, &wave.volume, "34952,17476", "Wave v7 b8 m0"},
        {1, kVolumeSlider, 0, VK_PRIOR, &wave.volume, "65535,32767", "Wave v0 b8 m0"},
        {0, kBalanceSlider, 20, VK_RIGHT, &front.volume, "36861,49149", "Front v4 b20 m0"},
        {2, kVolumeSlider, 15, VK_END, &mic.volume, "0", "Mic v15 !b16 m0"},
        {0, kClick, 0, 0, &front.mute, "1", "Front v4 b20 m1"},
        {0, kClick, 0, 0, &front.mute, "0", "Front v4 b20 m0"},
        {3, kClick, 0, 0, &six.mute, "1,1,1,1,1,1", "Six v0 b16 m1"},
        {3, kVolumeSlider, 3, VK_DOWN, nullptr, "", "Six v3 b16 m1"},     // six channels: not moved
        {5, kClick, 0, 0, nullptr, "", "Last v4 b16 m1"},                      // no mute to write: the box as clicked
        {5, kOtherProgram, 0, 0, &last.volume, "0,0", "Last ~v15 b16 m1", 2},     // a mute it cannot read: as last set
        {1, kOtherProgram, 65534, 1, &wave.volume, "65534,1", "Wave ~v1 ~b1 m0", 2}, // between positions: truncated
        {1, kOtherProgram, 30000, 65535, &wave.volume, "30000,65535", "Wave ~v0 ~b24 m0", 2},
        {1, kOtherProgram, 0, 65535, &wave.volume, "0,65535", "Wave v0 ~b32 m0", 2},
        {1, kLineChange, 65535, 0, &wave.volume, "65535,0", "Wave v0 b32 m0", 2}, // a line's change is not shown
        {1, kOtherProgram, 0, 0, &wave.volume, "0,0", "Wave ~v15 b32 m0", 2},     // silent: the balance stays
        {2, kOtherProgram, 1, 0, &mic.mute, "1", "Mic v15 !b16 m1", 1},
    };
    Run(steps, sizeof steps / sizeof *steps);
    // Each key moves the line as it goes down and again as it comes up; so do
    // the codes of a drag, which bring the position with them.
    HWND slider = GetDlgItem(page_, kIds[1][1]);
    const struct { int key, position; const char *writes; } keys[] = {
        {VK_HOME, 0, "0,65535|0,65535"},   {VK_DOWN, 1, "0,61166|0,61166"}, {VK_RIGHT, 2, "0,56797|0,56797"},
        {VK_NEXT, 5, "0,43690|0,43690"},   {VK_UP, 4, "0,48059|0,48059"},   {VK_LEFT, 3, "0,52428|0,52428"},
        {VK_END, 15, "0,0|0,0"},           {VK_PRIOR, 12, "0,13107|0,13107"}, // balanced fully right
        {TB_THUMBTRACK, 7, "0,34952"},     {TB_THUMBPOSITION, 8, "0,30583"}}; // a drag's codes
    for (const auto &k : keys) {
        VcLogClear();
        if (k.key > TB_THUMBTRACK)
            UserInput(slider, {k.key});
        else // the control has moved its thumb, and tells where
            SendMessageA(slider, TBM_SETPOS, TRUE, k.position), SendMessageA(page_, WM_VSCROLL, MAKEWPARAM(k.key, k.position), LPARAM(slider));
        // What it wrote, and where the slider stands once the mixer's notice is handled.
        EXPECT_EQ(k.writes + (" @" + std::to_string(k.position)), Writes() + (DispatchPending(), " @" + std::to_string(Position(kIds[1][1]))));
    }
    DestroyWindow(page_);
    // Opened again on a silent stereo line, a column starts centred, whatever
    // its balance was.
    const DWORD silent[2] = {0, 0};
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, wave.volume, silent, 2));
    Open(playbackMixerPage);
    Act(1, kVolumeSlider, 0, VK_HOME);
    EXPECT_EQ("65535,65535", Values(wave.volume));
    // A destination that cannot be read while binding (the second column's
    // second) stops it there: nothing bound is shown, and the columns after
    // keep their template.
    DestroyWindow(page_);
    VcFailCall("mixerGetLineInfoA", 4, MMSYSERR_ERROR);
    Open(playbackMixerPage);
    VcClearFaults();
    EXPECT_EQ("Front v0 b16 m0 | Wave v0 b16 m0 | FM-Syn v0 b0 m0 | CD v0 b0 m0 | MIC v0 b0 m0 | Line-In v0 b0 m0", Views(0, 5));
}

TEST_F(Mixer, RecordBoxesKeepExactlyOneKnownSourceSelected)
{
    Card(kSpeakers, 2, "Speakers");
    DWORD waveIn = AddLine(kVcMixerNoLine, kWaveIn, 2, "Recording", 0, 0, false).id;
    const DWORD mux = VcMixerAddControl(0, waveIn, kMux, kUniform | kMultiple, 7, "Recording Source");
    AddLine(waveIn, kSource, 1, "Microphone", 0, 0, false);
    TestLine cd = AddLine(waveIn, kSource, 2, "CD Player", 0, 0, false);
    AddLine(waveIn, kSource, 2, "Line In", 0, 0, false);
    AddLine(waveIn, kSource, 2, "Stereo Mix", 0, 0, false);
    AddLine(waveIn, kSource, 2, "Rear Aux In", 0, 0, false);
    // "Microphone" contains two items' names, "Stereo Mix" none (it is inside the last).
    const char *items[] = {"CD Player", "Mic", "Microphone", "Line", "", "Aux", "Stereo Mixer"};
    for (DWORD i = 0; i < 7; ++i)
        VcMixerSetItemText(0, mux, i, items[i]);

    Open(recordMixerPage);
    EXPECT_EQ("Microphone v4 !b16 m0 | CD Player v4 b16 m1 | Line In v4 b16 m0 | Stereo Mix v4 b16 m0 | "
              "Rear Aux In v4 b16 m0",
              Views(6, 10));
    const DWORD line[7] = {0, 0, 0, 1, 0, 0, 0}, microphone[7] = {0, 0, 1, 0, 0, 0, 0};
    const Step steps[] = {
        {6, kClick, 0, 0, &mux, "0,1,0,0,0,0,0", "Microphone v4 !b16 m1"},
        {7, kClick, 0, 0, &mux, "1,0,0,0,0,0,0", "CD Player v4 b16 m1"},
        {7, kClick, 0, 0, nullptr, "", "CD Player v4 b16 m1"},              // the selected source stays
        {9, kClick, 0, 0, nullptr, "", "Stereo Mix v4 b16 m0"},             // no item of its own
        {10, kClick, 0, 0, &mux, "0,0,0,0,0,1,0", "Rear Aux In v4 b16 m1"},  // the fifth column's own ids; "Aux" inside
        {7, kVolumeSlider, 7, VK_NEXT, &cd.volume, "34952,34952", "CD Player v7 b16 m0"},
        {7, kBalanceSlider, 24, VK_RIGHT, &cd.volume, "17476,34952", "CD Player v7 b24 m0"},
        {7, kVolumeSlider, 5, VK_UP, &cd.volume, "21845,43690", "CD Player v5 b24 m0"},
        // Another program's choices: the third item, "Microphone", is not the
        // microphone's entry: "Mic" comes first.
        {8, kOtherProgram, 0, 0, &mux, "0,0,0,1,0,0,0", "Line In v4 b16 m1", 7, line},
        {6, kOtherProgram, 0, 0, &mux, "0,0,1,0,0,0,0", "Microphone v4 !b16 m0", 7, microphone},
    };
    // No box is checked now, nor for a selector with more items than 1024,
    // the most the page reads.
    const char *none = "Microphone v4 !b16 m0 | CD Player v5 b24 m0 | Line In v4 b16 m0 | Stereo Mix v4 b16 m0";
    Run(steps, sizeof steps / sizeof *steps);
    EXPECT_EQ(none, Views(6, 9));
    const char *lineIn = "Microphone v4 !b16 m0 | CD Player v5 b24 m0 | Line In v4 b16 m1 | Stereo Mix v4 b16 m0";
    for (DWORD items : {1024u, 1025u, 0x40000001u}) {
        ASSERT_TRUE(VcMixerReportItems(0, mux, items) && VcMixerChangeByOtherProgram(0, mux, line, 7));
        DispatchPending();
        EXPECT_EQ(items == 1024 ? lineIn : none, Views(6, 9)) << items;
    }
    // A selector of a single item still names its source.
    DestroyWindow(page_);
    VcMixerClearDevices();
    waveIn = Card(kWaveIn, 2, "Recording");
    VcMixerSetItemText(0, VcMixerAddControl(0, waveIn, kMux, kUniform | kMultiple, 1, "Recording Source"), 0, "CD");
    AddLine(waveIn, kSource, 2, "CD", 0, 0, false);
    Open(recordMixerPage);
    EXPECT_EQ("CD v4 b16 m1", Views(6, 6));
}

} // namespace
