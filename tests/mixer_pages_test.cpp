// The Playback and Record Mixer pages inside the control panel's dialog,
// driven with the messages a user's slider moves and clicks send, against
// the virtual card's mixer; each action is checked in the mixer's stored
// values and, once its change message is handled, on the page.
#include "mixer/playback_mixer_page.h"
#include "mixer/record_mixer_page.h"
#include "resource.h"
#include "virtualcard/vclog.h"
#include "virtualcard/vcmixer.h"
#include "virtualcard/vthlp32.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
const DWORD kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
const DWORD kVolume = MIXERCONTROL_CONTROLTYPE_VOLUME;
const DWORD kMute = MIXERCONTROL_CONTROLTYPE_MUTE;
const DWORD kUniform = MIXERCONTROL_CONTROLF_UNIFORM;
const DWORD kSource = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;

struct ColumnIds {
    int name, volume, balance, box;
};
const ColumnIds kPlaybackIds[6] = {
    {1107, 1099, 1113, 1120}, {1108, 1100, 1114, 1121}, {1109, 1101, 1115, 1122},
    {1110, 1102, 1116, 1123}, {1111, 1103, 1117, 1124}, {1112, 1104, 1118, 1125},
};
const ColumnIds kRecordIds[5] = {
    {1127, 1132, 1140, 1136}, {1128, 1133, 1141, 1137}, {1129, 1134, 1142, 1138},
    {1130, 1135, 1143, 1139}, {1131, 1145, 1144, 1146},
};

INT_PTR CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// A line with its controls: volume (non-uniform unless told) and mute.
struct Line {
    DWORD id, volume, mute;
};
Line AddLine(DWORD lineId, DWORD volumeFlags = 0, bool mute = true, DWORD muteFlags = kUniform)
{
    Line line = {lineId, VcMixerAddControl(0, lineId, kVolume, volumeFlags, 0, "Volume"), 0};
    if (mute)
        line.mute = VcMixerAddControl(0, lineId, kMute, muteFlags, 0, "Mute");
    return line;
}
Line AddSource(DWORD destination, DWORD channels, const char *name, DWORD volumeFlags = 0, bool mute = true,
               DWORD muteFlags = kUniform)
{
    return AddLine(VcMixerAddSource(0, destination, kSource, channels, name), volumeFlags, mute, muteFlags);
}

std::string Values(DWORD control)
{
    DWORD values[64] = {};
    DWORD count = 1;
    while (count < 64 && !VcMixerGetValues(0, control, values, count))
        ++count;
    std::string text;
    for (DWORD i = 0; i < count; ++i)
        text += (i ? "," : "") + std::to_string(values[i]);
    return text;
}

size_t Writes()
{
    size_t n = 0;
    for (size_t i = 0; i < VcLogCount(); ++i)
        n += strncmp(VcLogLine(i), "mixerSetControlDetails", 22) == 0;
    return n;
}

class MixerPages : public testing::Test {
protected:
    void SetUp() override
    {
        InitCommonControls();
        VcMixerClearDevices();
        panel_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        ASSERT_NE(nullptr, panel_);
        ShowWindow(panel_, SW_SHOWNORMAL);
        playbackMixerPage.mixerPageDevice = 0;
        recordMixerPage.mixerPageDevice = 0;
    }
    void TearDown() override
    {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)));
        DestroyWindow(panel_); // and the page with it
        EXPECT_EQ(0u, VcMixerOpenHandleCount());
        EXPECT_EQ(nullptr, playbackMixerPage.mixerHandle);
        EXPECT_EQ(nullptr, recordMixerPage.mixerHandle);
        VcMixerUseCardTopology();
    }
    void Open(MixerPage &object)
    {
        VcLogClear();
        page_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(object.DialogTemplateId()), panel_,
                                   object.DialogProcedure(),
                                   reinterpret_cast<LPARAM>(static_cast<ControlPanelPage *>(&object)));
        ASSERT_NE(nullptr, page_);
        ShowWindow(page_, SW_SHOWNORMAL);
        Dispatch();
    }
    // Handles the change messages the mixer has posted.
    static void Dispatch()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    int Position(int id) { return static_cast<int>(SendDlgItemMessageA(page_, id, TBM_GETPOS, 0, 0)); }
    // A column as the user sees it: "name v<volume> b<balance> m<box>", each
    // disabled control marked with "!".
    std::string View(const ColumnIds &c)
    {
        char name[80] = "", text[160];
        GetDlgItemTextA(page_, c.name, name, sizeof name);
        auto off = [&](int id) { return IsWindowEnabled(GetDlgItem(page_, id)) ? "" : "!"; };
        snprintf(text, sizeof text, "%s %sv%d %sb%d %sm%u", name, off(c.volume), Position(c.volume), off(c.balance),
                 Position(c.balance), off(c.box), IsDlgButtonChecked(page_, c.box));
        return text;
    }
    std::vector<std::string> Views(const ColumnIds *ids, int count)
    {
        std::vector<std::string> views;
        for (int i = 0; i < count; ++i)
            views.push_back(View(ids[i]));
        return views;
    }
    std::string Boxes(const ColumnIds *ids, int count)
    {
        std::string boxes;
        for (int i = 0; i < count; ++i)
            boxes += IsDlgButtonChecked(page_, ids[i].box) ? '1' : '0';
        return boxes;
    }
    // A user's action: a slider moved to a position with a scroll code, or a
    // box clicked.
    void Move(int id, int position, int code, bool balance)
    {
        HWND slider = GetDlgItem(page_, id);
        SendMessageA(slider, TBM_SETPOS, TRUE, position);
        SendMessageA(page_, balance ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(code, position),
                     reinterpret_cast<LPARAM>(slider));
    }
    void Click(int id) { SendDlgItemMessageA(page_, id, BM_CLICK, 0, 0); }

    HWND panel_ = nullptr;
    HWND page_ = nullptr;
};

// What a page shows without a mixer: its template, sliders and all.
TEST_F(MixerPages, WithoutAMixerThePagesShowTheirTemplates)
{
    Open(playbackMixerPage);
    EXPECT_EQ((std::vector<std::string>{"Volume v0 b0 m0", "Wave v0 b0 m0", "FM-Syn v0 b0 m0", "CD v0 b0 m0",
                                        "MIC v0 b0 m0", "Line-In v0 b0 m0"}),
              Views(kPlaybackIds, 6));
    EXPECT_EQ(100, SendDlgItemMessageA(page_, kPlaybackIds[0].volume, TBM_GETRANGEMAX, 0, 0));
    // The controls are of the kinds the page drives.
    for (const ColumnIds &c : kPlaybackIds) {
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(page_, c.volume), GWL_STYLE) & TBS_VERT) << c.volume;
        EXPECT_FALSE(GetWindowLongA(GetDlgItem(page_, c.balance), GWL_STYLE) & TBS_VERT) << c.balance;
        EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongA(GetDlgItem(page_, c.box), GWL_STYLE) & BS_TYPEMASK) << c.box;
    }
    Click(kPlaybackIds[1].box);
    Move(kPlaybackIds[1].volume, 3, TB_ENDTRACK, false);
    DestroyWindow(page_);
    Open(recordMixerPage);
    EXPECT_EQ((std::vector<std::string>{"Mix v0 b0 m0", "Mic v0 b0 m0", "CD v0 b0 m0", "LineIn v0 b0 m0",
                                        "Aux v0 b0 m0"}),
              Views(kRecordIds, 5));
    for (const ColumnIds &c : kRecordIds) {
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(page_, c.volume), GWL_STYLE) & TBS_VERT) << c.volume;
        EXPECT_FALSE(GetWindowLongA(GetDlgItem(page_, c.balance), GWL_STYLE) & TBS_VERT) << c.balance;
        EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongA(GetDlgItem(page_, c.box), GWL_STYLE) & BS_TYPEMASK) << c.box;
    }
    EXPECT_EQ(0u, VcLogCount()); // not even an open
}

// Each page object finds the card's mixer when it is made, among devices of
// which only a later one is the card's, and opens it with its dialog only.
TEST_F(MixerPages, APageObjectFindsTheCardsMixerWhenMadeAndOpensItWithItsDialog)
{
    WritePrivateProfileStringA("DESCRIPTION", "DRIVERDESC", "Sonaris PCI Audio", kProfileFileName);
    std::string key = std::string(kMediaClassKey) + "\\0000";
    DWORD mid = kVcCardMixerMid;
    SHSetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "DriverDesc", REG_SZ, kCardDriverDesc, sizeof kCardDriverDesc);
    SHSetValueA(HKEY_LOCAL_MACHINE, (key + "\\Config").c_str(), "ManufactureID", REG_BINARY, &mid, 2);
    VcMixerAddDevice(0x22, 1, "Other");
    VcMixerAddDestination(0, kSpeakers, 2, "Other Speakers");
    VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName);
    VcMixerAddDestination(1, kSpeakers, 2, "Card Speakers");
    VcMixerAddDestination(1, kWaveIn, 2, "Card Recording");
    PlaybackMixerPage playback;
    RecordMixerPage record;
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kMediaClassKey);
    WritePrivateProfileStringA("DESCRIPTION", "DRIVERDESC", nullptr, kProfileFileName);
    EXPECT_EQ(1u, playback.mixerPageDevice);
    EXPECT_EQ(1u, record.mixerPageDevice);
    EXPECT_EQ(nullptr, playback.mixerHandle);
    EXPECT_EQ(nullptr, record.mixerHandle);
    EXPECT_EQ(0u, VcMixerOpenHandleCount());

    Open(playback);
    EXPECT_EQ("Card Speakers", View(kPlaybackIds[0]).substr(0, 13));
    ASSERT_LT(0u, VcLogCount());
    EXPECT_STREQ("mixerOpen device=1", std::string(VcLogLine(0)).substr(0, 18).c_str());
    EXPECT_EQ(1u, VcMixerOpenHandleCount());
    DestroyWindow(page_);
    EXPECT_EQ(0u, VcMixerOpenHandleCount());
    EXPECT_EQ(nullptr, playback.mixerHandle);
    Open(record);
    EXPECT_EQ(1u, VcMixerOpenHandleCount());
    DestroyWindow(page_);
    EXPECT_EQ(0u, VcMixerOpenHandleCount());
}

// The user's actions and another program's changes, each checked in the
// mixer and then on the page.
enum Action { kVolumeSlider, kBalanceSlider, kBox, kOtherProgram };
struct Step {
    Action action;
    int column;
    int position;         // slider position; for another program the first value
    int code;             // scroll code; for another program the second value
    const DWORD *control; // the control the step changes, or null when nothing is written
    const char *stored;   // its values afterwards
    const char *view;     // the column afterwards
};

class MixerPageSteps : public MixerPages {
protected:
    void Run(const Step *steps, size_t count, const ColumnIds *ids)
    {
        for (size_t i = 0; i < count; ++i) {
            const Step &s = steps[i];
            SCOPED_TRACE(testing::Message() << "step " << i);
            VcLogClear();
            const ColumnIds &c = ids[s.column];
            switch (s.action) {
            case kVolumeSlider:
            case kBalanceSlider:
                Move(s.action == kVolumeSlider ? c.volume : c.balance, s.position, s.code, s.action == kBalanceSlider);
                break;
            case kBox:
                Click(c.box);
                break;
            case kOtherProgram: {
                const DWORD values[2] = {DWORD(s.position), DWORD(s.code)};
                ASSERT_TRUE(VcMixerChangeByOtherProgram(0, *s.control, values, s.code < 0 ? 1 : 2));
                break;
            }
            }
            EXPECT_EQ(s.control && s.action != kOtherProgram ? 1u : 0u, Writes());
            if (s.control)
                EXPECT_EQ(s.stored, Values(*s.control));
            Dispatch();
            EXPECT_EQ(s.view, View(c));
        }
    }
};

TEST_F(MixerPageSteps, PlaybackColumnsFollowTheSpeakerLinesAndMoveThemAtOnce)
{
    VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName);
    VcMixerAddDestination(0, kWaveIn, 2, "Recording");
    // The first speaker destination's master controls: mute before volume.
    DWORD frontId = VcMixerAddDestination(0, kSpeakers, 2, "Front");
    Line front = {frontId, 0, VcMixerAddControl(0, frontId, kMute, kUniform, 0, "Mute")};
    front.volume = VcMixerAddControl(0, frontId, kVolume, 0, 0, "Volume");
    Line wave = AddSource(frontId, 2, "Wave");
    Line mic = AddSource(frontId, 1, "Mic", 0, true, 0);
    // Columns 3 and 4 come from the second speaker destination, which has
    // sources 2 and 3; there is no source 4.
    DWORD rearId = VcMixerAddDestination(0, kSpeakers, 2, "Rear");
    AddLine(rearId);
    AddSource(rearId, 2, "R0");
    AddSource(rearId, 2, "R1");
    Line six = AddSource(rearId, 6, "Six", 0, true, 0);
    Line crowded = AddSource(rearId, 2, "Crowded");
    for (int i = 0; i < 4; ++i)
        VcMixerAddControl(0, crowded.id, MIXERCONTROL_CONTROLTYPE_BASS, kUniform, 0, "Bass");

    Open(playbackMixerPage);
    EXPECT_EQ((std::vector<std::string>{"Front v4 b16 m0", "Wave v4 b16 m0", "Mic v4 !b16 m0", "Six v0 b16 m0",
                                        "Crowded !v0 !b16 !m0", "Line-In v0 b16 m0"}),
              Views(kPlaybackIds, 6));
    EXPECT_EQ(15, SendDlgItemMessageA(page_, kPlaybackIds[5].volume, TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(32, SendDlgItemMessageA(page_, kPlaybackIds[5].balance, TBM_GETRANGEMAX, 0, 0));

    const Step steps[] = {
        {kVolumeSlider, 1, 7, TB_THUMBTRACK, &wave.volume, "34952,34952", "Wave v7 b16 m0"},
        {kBalanceSlider, 1, 8, TB_THUMBTRACK, &wave.volume, "34952,17476", "Wave v7 b8 m0"},
        {kVolumeSlider, 1, 0, TB_ENDTRACK, &wave.volume, "65535,32767", "Wave v0 b8 m0"},
        {kBalanceSlider, 0, 20, TB_LINEDOWN, &front.volume, "36861,49149", "Front v4 b20 m0"},
        {kVolumeSlider, 2, 15, TB_BOTTOM, &mic.volume, "0", "Mic v15 !b16 m0"},
        {kBox, 0, 0, 0, &front.mute, "1", "Front v4 b20 m1"},
        {kBox, 0, 0, 0, &front.mute, "0", "Front v4 b20 m0"},
        {kBox, 3, 0, 0, &six.mute, "1,1,1,1,1,1", "Six v0 b16 m1"},
        {kVolumeSlider, 3, 3, TB_ENDTRACK, nullptr, "", "Six v3 b16 m1"},  // six channels: not moved
        {kVolumeSlider, 5, 3, TB_ENDTRACK, nullptr, "", "Line-In v3 b16 m0"},  // no line
        {kBalanceSlider, 5, 9, TB_ENDTRACK, nullptr, "", "Line-In v3 b9 m0"},
        {kOtherProgram, 1, 0, 65535, &wave.volume, "0,65535", "Wave v0 b32 m0"},
        {kOtherProgram, 1, 0, 0, &wave.volume, "0,0", "Wave v15 b32 m0"},  // silent: the balance stays
        {kOtherProgram, 2, 1, -1, &mic.mute, "1", "Mic v15 !b16 m1"},
    };
    Run(steps, sizeof steps / sizeof *steps, kPlaybackIds);
    EXPECT_EQ("49149,49149,49149,49149,49149,49149", Values(six.volume));

    // Every scroll code moves the line, dragging included.
    for (int code = TB_LINEUP; code <= TB_ENDTRACK; ++code) {
        SCOPED_TRACE(code);
        Move(kPlaybackIds[1].volume, 14 - code, code, false);
        EXPECT_EQ("0," + std::to_string(4369 * (1 + code)), Values(wave.volume)); // balanced fully right
        Dispatch();
        EXPECT_EQ(14 - code, Position(kPlaybackIds[1].volume));
    }
    VcLogClear();
    DestroyWindow(page_);
    EXPECT_EQ(0u, VcMixerOpenHandleCount());
    EXPECT_STREQ("mixerClose device=0", VcLogLine(0));
}

TEST_F(MixerPageSteps, RecordBoxesKeepExactlyOneKnownSourceSelected)
{
    VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName);
    AddSource(VcMixerAddDestination(0, kSpeakers, 2, "Speakers"), 2, "Playback");
    DWORD waveIn = VcMixerAddDestination(0, kWaveIn, 2, "Recording");
    AddLine(waveIn, 0, false);
    const DWORD mux = VcMixerAddControl(0, waveIn, MIXERCONTROL_CONTROLTYPE_MUX,
                                        kUniform | MIXERCONTROL_CONTROLF_MULTIPLE, 5, "Recording Source");
    AddSource(waveIn, 1, "Microphone", 0, false);
    Line cd = AddSource(waveIn, 2, "CD Player", 0, false);
    AddSource(waveIn, 2, "Line In", 0, false);
    AddSource(waveIn, 2, "Stereo Mix", 0, false);
    // "Microphone" contains two items' names, "Stereo Mix" none.
    const char *items[] = {"CD Player", "Mic", "Microphone", "Line", ""};
    for (DWORD i = 0; i < 5; ++i)
        VcMixerSetItemText(0, mux, i, items[i]);

    Open(recordMixerPage);
    EXPECT_EQ((std::vector<std::string>{"Microphone v4 !b16 m0", "CD Player v4 b16 m1", "Line In v4 b16 m0",
                                        "Stereo Mix v4 b16 m0", "Aux v0 b16 m0"}),
              Views(kRecordIds, 5));

    const Step steps[] = {
        {kBox, 0, 0, 0, &mux, "0,1,0,0,0", "Microphone v4 !b16 m1"},
        {kBox, 1, 0, 0, &mux, "1,0,0,0,0", "CD Player v4 b16 m1"},
        {kBox, 1, 0, 0, nullptr, "", "CD Player v4 b16 m1"},       // the selected source stays
        {kBox, 3, 0, 0, nullptr, "", "Stereo Mix v4 b16 m0"},      // no item of its own
        {kBox, 4, 0, 0, nullptr, "", "Aux v0 b16 m1"},             // no line
        {kVolumeSlider, 1, 7, TB_THUMBPOSITION, &cd.volume, "34952,34952", "CD Player v7 b16 m1"},
    };
    Run(steps, sizeof steps / sizeof *steps, kRecordIds);
    EXPECT_EQ((std::vector<std::string>{"Microphone v4 !b16 m0", "CD Player v7 b16 m1", "Line In v4 b16 m0",
                                        "Stereo Mix v4 b16 m0", "Aux v0 b16 m1"}),
              Views(kRecordIds, 5));

    // Another program's choice, then the item "Microphone", which is not the
    // microphone's entry: "Mic" comes first.
    const DWORD line[5] = {0, 0, 0, 1, 0}, microphone[5] = {0, 0, 1, 0, 0};
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, mux, line, 5));
    Dispatch();
    EXPECT_EQ("0010", Boxes(kRecordIds, 4));
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, mux, microphone, 5));
    Dispatch();
    EXPECT_EQ("0000", Boxes(kRecordIds, 4));

    // A selector with an absurd count, then one whose writes are refused:
    // neither shows a choice it cannot read or did not take.
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, mux, line, 5));
    Dispatch();
    VcMixerReportItems(0, mux, 0x40000001);
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, mux, line, 5));
    Dispatch();
    EXPECT_EQ("0000", Boxes(kRecordIds, 4));
    Click(kRecordIds[0].box);
    EXPECT_EQ("0000", Boxes(kRecordIds, 4));
    VcMixerReportItems(0, mux, 5);
    Click(kRecordIds[1].box);
    EXPECT_EQ("0000", Boxes(kRecordIds, 4));
    EXPECT_EQ("0,0,0,1,0", Values(mux));
}

} // namespace
