// The card's mixer access against the virtual card's mixer: finding the
// card's device, lines and controls, the transfers (also of lines that would
// need more room than a record has) and the slider arithmetic.
#include "mixer/mixer_access.h"
#include "virtualcard/vclog.h"
#include "virtualcard/vcmixer.h"
#include "virtualcard/vthlp32.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string.h>

#include <string>

namespace {

const DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
const DWORD kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
const DWORD kVolume = MIXERCONTROL_CONTROLTYPE_VOLUME;
const DWORD kMute = MIXERCONTROL_CONTROLTYPE_MUTE;
const DWORD kMux = MIXERCONTROL_CONTROLTYPE_MUX;
const DWORD kUniform = MIXERCONTROL_CONTROLF_UNIFORM;
const DWORD kMultiple = MIXERCONTROL_CONTROLF_MULTIPLE;
const DWORD kSource = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
const BYTE kFill = 0xA5;
const uint32_t kUntouched = 0xA5A5A5A5;

// A record with room behind it that no call may reach.
struct Guarded {
    Guarded() { memset(this, kFill, sizeof *this); }
    bool Intact() const
    {
        for (BYTE b : guard)
            if (b != kFill)
                return false;
        return true;
    }
    MixerLineRecord record;
    BYTE guard[64];
};

// The values a control holds now, as a text like the record's "1,0".
std::string Values(DWORD control, DWORD count)
{
    DWORD values[128] = {};
    if (!VcMixerGetValues(0, control, values, count))
        return "?";
    std::string text;
    for (DWORD i = 0; i < count; ++i)
        text += (i ? "," : "") + std::to_string(values[i]);
    return text;
}

DWORD Count(const char *values)
{
    DWORD n = 1;
    for (const char *p = values; *p; ++p)
        n += *p == ',';
    return n;
}

size_t Writes()
{
    size_t n = 0;
    for (size_t i = 0; i < VcLogCount(); ++i)
        n += strncmp(VcLogLine(i), "mixerSetControlDetails", 22) == 0;
    return n;
}

class MixerAccess : public testing::Test {
protected:
    void SetUp() override
    {
        VcMixerClearDevices();
        VcLogClear();
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        if (mixer_)
            EXPECT_EQ(MMSYSERR_NOERROR, CloseCardMixer(mixer_));
        EXPECT_EQ(0u, VcMixerOpenHandleCount());
        DestroyWindow(window_);
        VcMixerUseCardTopology();
    }
    // A device of the card's with one destination; returns its line id.
    DWORD Card(DWORD type, DWORD channels, const char *name = "Destination")
    {
        EXPECT_EQ(0, VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName));
        return VcMixerAddDestination(0, type, channels, name);
    }
    void Open()
    {
        mixer_ = OpenCardMixer(window_, 0);
        ASSERT_NE(nullptr, mixer_);
    }
    void Bind(MixerLineRecord *record, DWORD type, int source)
    {
        ASSERT_EQ(kLineFound, FindColumnLine(mixer_, record, type, source));
    }
    HWND window_ = nullptr;
    HMIXER mixer_ = nullptr;
};

TEST_F(MixerAccess, OpensOnlyADeviceThatExistsAndFindsTheFirstDestinationOfAType)
{
    DWORD first = Card(kWaveIn, 2, "In");
    VcMixerAddDestination(0, kSpeakers, 2, "Front");
    VcMixerAddDestination(0, kSpeakers, 2, "Rear");
    EXPECT_EQ(nullptr, OpenCardMixer(window_, 1));
    EXPECT_EQ(0u, VcMixerOpenHandleCount());
    Open();
    Guarded g;
    ASSERT_TRUE(FindMixerLine(mixer_, &g.record, kSpeakers));
    EXPECT_STREQ("Front", g.record.line.szName);
    EXPECT_FALSE(FindMixerLine(mixer_, &g.record, MIXERLINE_COMPONENTTYPE_DST_HEADPHONES));
    EXPECT_STREQ("Rear", g.record.line.szName); // the last one read
    // A column's source comes from the first destination that has it.
    VcMixerAddSource(0, first + 2, kSource, 2, "Rear source 0");
    EXPECT_EQ(kLineFound, FindColumnLine(mixer_, &g.record, kSpeakers, 0));
    EXPECT_STREQ("Rear source 0", g.record.line.szName);
    EXPECT_EQ(kLineMissing, FindColumnLine(mixer_, &g.record, kSpeakers, 1));
    EXPECT_TRUE(g.Intact());
}

// Each transfer takes the first control of its type, else slot 0 (volume)
// or 1 (mute) when the line has a control there; a line whose values need
// more room than the record has is refused, except a mute, which is moved
// as one value for all channels.
TEST_F(MixerAccess, TransfersNeverWritePastTheRecordWhateverTheLineReports)
{
    DWORD destination = Card(kSpeakers, 2);
    struct Control {
        DWORD type, flags;
    };
    struct Case {
        const char *name;
        DWORD channels;
        Control controls[6];
        bool loads;
        const char *read;   // channelVolume after GetLineVolume, "-" where untouched; null: refused
        int volumeSlot;     // the control that SetLineVolume of 1000, 2000 moves (-1: none)
        const char *volumeStored;
        int muteSlot;       // the control that SetLineMute of 1 moves (-1: none)
        const char *muteStored;
    };
    const Control kBass = {MIXERCONTROL_CONTROLTYPE_BASS, kUniform};
    const Case cases[] = {
        {"stereo", 2, {{kVolume, 0}, {kMute, kUniform}}, true, "49149,49149", 0, "1000,2000", 1, "1"},
        {"mute first", 2, {{kMute, kUniform}, {kVolume, kUniform}}, true, "49149,-", 1, "1000", 0, "1"},
        {"mono", 1, {{kVolume, 0}, {kMute, 0}}, true, "49149,-", 0, "1000", 1, "1"},
        {"six channels", 6, {{kVolume, 0}, {kMute, 0}}, true, nullptr, -1, "", 1, "1,1,1,1,1,1"},
        {"stereo mute per channel", 2, {{kVolume, kUniform}, {kMute, 0}}, true, "49149,-", 0, "1000", 1, "1,1"},
        {"only a bass", 2, {kBass}, true, "49149,-", 0, "1000", -1, ""},
        {"fourth slot", 2, {kBass, kBass, kBass, {kVolume, 0}}, true, "49149,49149", 3, "1000,2000", 1, "1"},
        {"six controls", 2, {{kVolume, 0}, {kMute, kUniform}, kBass, kBass, kBass, kBass}, false, nullptr, -1, "",
         -1, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DWORD line = VcMixerAddSource(0, destination, kSource, c.channels, c.name);
        DWORD ids[6] = {};
        for (int i = 0; i < 6 && c.controls[i].type; ++i)
            ids[i] = VcMixerAddControl(0, line, c.controls[i].type, c.controls[i].flags, 0, "control");
        if (!mixer_)
            Open();
        Guarded g;
        Bind(&g.record, kSpeakers, static_cast<int>(line & 0xFFFF));
        EXPECT_EQ(c.loads, LoadLineControls(mixer_, &g.record));
        g.record.channelVolume[0] = g.record.channelVolume[1] = kUntouched;
        EXPECT_EQ(c.read != nullptr, GetLineVolume(mixer_, &g.record));
        auto shown = [](uint32_t v) { return v == kUntouched ? std::string("-") : std::to_string(v); };
        EXPECT_EQ(c.read ? c.read : "-,-", shown(g.record.channelVolume[0]) + "," + shown(g.record.channelVolume[1]));

        VcLogClear();
        g.record.channelVolume[0] = 1000;
        g.record.channelVolume[1] = 2000;
        g.record.switchValue = 1;
        EXPECT_EQ(c.volumeSlot >= 0, SetLineVolume(mixer_, &g.record));
        EXPECT_EQ(c.muteSlot >= 0, SetLineMute(mixer_, &g.record));
        EXPECT_EQ(size_t(c.volumeSlot >= 0) + (c.muteSlot >= 0), Writes());
        if (c.volumeSlot >= 0)
            EXPECT_EQ(c.volumeStored, Values(ids[c.volumeSlot], Count(c.volumeStored)));
        if (c.muteSlot >= 0)
            EXPECT_EQ(c.muteStored, Values(ids[c.muteSlot], Count(c.muteStored)));
        EXPECT_EQ(1000u, g.record.channelVolume[0]);
        EXPECT_EQ(2000u, g.record.channelVolume[1]);
        EXPECT_EQ(1u, g.record.switchValue);
        EXPECT_TRUE(g.Intact());
    }
}

// A record reused for another line keeps none of the earlier line's
// controls: a mute asked of a line without one reaches no other line.
TEST_F(MixerAccess, ARecordBoundAgainForgetsTheEarlierLinesControls)
{
    DWORD destination = Card(kSpeakers, 2);
    DWORD full = VcMixerAddSource(0, destination, kSource, 2, "Full");
    VcMixerAddControl(0, full, kVolume, 0, 0, "Volume");
    DWORD fullMute = VcMixerAddControl(0, full, kMute, kUniform, 0, "Mute");
    DWORD bare = VcMixerAddSource(0, destination, kSource, 2, "Bare");
    VcMixerAddControl(0, bare, kVolume, 0, 0, "Volume");
    Open();
    Guarded g;
    Bind(&g.record, kSpeakers, 0);
    ASSERT_TRUE(LoadLineControls(mixer_, &g.record));
    Bind(&g.record, kSpeakers, 1);
    ASSERT_TRUE(LoadLineControls(mixer_, &g.record));
    g.record.switchValue = 1;
    EXPECT_FALSE(SetLineMute(mixer_, &g.record));
    EXPECT_FALSE(GetLineMute(mixer_, &g.record));
    EXPECT_EQ("0", Values(fullMute, 1));
    EXPECT_EQ(0u, Writes());
}

// The selector of the wave-input destination among its first three
// controls; a line's entry is the first item whose name its name contains.
class RecordSource : public MixerAccess {
protected:
    void Build(DWORD channels, DWORD flags, DWORD items, int selectorSlot)
    {
        waveIn_ = Card(kWaveIn, channels, "Recording");
        for (const char *name : {"Microphone", "CD Player", "Line In", "Stereo Mix"})
            VcMixerAddSource(0, waveIn_, kSource, 2, name);
        for (int i = 0; i < selectorSlot; ++i)
            VcMixerAddControl(0, waveIn_, kVolume, 0, 0, "Volume");
        mux_ = VcMixerAddControl(0, waveIn_, kMux, flags, items, "Recording Source");
        const char *names[] = {"CD Player", "Mic", "Microphone", "Line", ""};
        for (DWORD i = 0; i < 5 && i < items; ++i)
            VcMixerSetItemText(0, mux_, i, names[i]);
        Open();
    }
    // Whether source i of the wave input is read as selected (-1: failure).
    int Selected(int source)
    {
        Guarded g;
        Bind(&g.record, kWaveIn, source);
        g.record.switchValue = 7;
        bool read = GetRecordSource(mixer_, &g.record);
        EXPECT_TRUE(g.Intact());
        return read ? static_cast<int>(g.record.switchValue) : (g.record.switchValue == 7 ? -1 : -2);
    }
    bool Select(int source)
    {
        Guarded g;
        Bind(&g.record, kWaveIn, source);
        g.record.switchValue = 1;
        return SetRecordSource(mixer_, &g.record);
    }
    DWORD waveIn_ = 0, mux_ = 0;
};

TEST_F(RecordSource, TheFirstMatchingItemCountsAndALineWithoutOneIsNeitherShownNorSelectable)
{
    Build(2, kUniform | kMultiple, 5, 0);
    // Items: "CD Player", "Mic", "Microphone", "Line", "" (matching no line).
    struct Step {
        int select;           // source selected, or -1 for a change by another program
        DWORD other[5];       // what the other program sets
        bool selected;        // SetRecordSource's result
        const char *stored;   // the selector's values afterwards
        int shown[4];         // Microphone, CD Player, Line In, Stereo Mix
    };
    const Step steps[] = {
        {-1, {1, 0, 0, 0, 0}, true, "1,0,0,0,0", {0, 1, 0, -1}},
        {0, {}, true, "0,1,0,0,0", {1, 0, 0, -1}},      // the microphone is item 1, not 2
        {2, {}, true, "0,0,0,1,0", {0, 0, 1, -1}},
        {3, {}, false, "0,0,0,1,0", {0, 0, 1, -1}},     // Stereo Mix has no item
        {-1, {0, 0, 1, 0, 0}, true, "0,0,1,0,0", {0, 0, 0, -1}},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(&s - steps);
        if (s.select < 0)
            ASSERT_TRUE(VcMixerChangeByOtherProgram(0, mux_, s.other, 5));
        else
            EXPECT_EQ(s.selected, Select(s.select));
        EXPECT_EQ(s.stored, Values(mux_, 5));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(s.shown[i], Selected(i)) << "source " << i;
    }
}

TEST_F(RecordSource, TheSelectorCountsOnlyAmongTheFirstThreeControls)
{
    Build(2, kUniform | kMultiple, 4, 3);
    EXPECT_EQ(-1, Selected(1));
    EXPECT_FALSE(Select(0));
    EXPECT_EQ(0u, Writes());
}

TEST_F(RecordSource, AsManyChannelsAndItemsAsTheCardHasWork)
{
    Build(kVcMixerMaxChannels, kMultiple, kVcMixerMaxItems, 2);
    EXPECT_EQ(1, Selected(1));
    EXPECT_TRUE(Select(2));
    EXPECT_EQ(1, Selected(2));
    EXPECT_EQ(0, Selected(1));
}

// A selector reporting more items than any mixer has is refused before its
// blocks are sized; one whose count is plausible but whose write is refused
// is not reported as selected.
TEST_F(RecordSource, AbsurdItemCountsAreRefusedAndARefusedWriteIsAFailure)
{
    Build(kVcMixerMaxChannels, kMultiple, 4, 0);
    for (DWORD items : {0xFFFFFFFFu, 0x40000001u, 0x20000000u, 1025u}) {
        SCOPED_TRACE(items);
        ASSERT_TRUE(VcMixerReportItems(0, mux_, items));
        EXPECT_EQ(-1, Selected(1));
        EXPECT_FALSE(Select(0));
    }
    ASSERT_TRUE(VcMixerReportItems(0, mux_, 20));
    EXPECT_EQ(1, Selected(1));
    EXPECT_FALSE(Select(0));
    EXPECT_EQ(0u, Writes());
}

// The card's mixer is the first whose manufacturer is that of the media
// driver that SOUNDCFG.INI's driver description names.
class CardMixer : public testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kMediaClassKey);
        WritePrivateProfileStringA("DESCRIPTION", "DRIVERDESC", nullptr, kProfileFileName);
        VcMixerUseCardTopology();
    }
};

TEST_F(CardMixer, IsTheFirstDeviceOfTheDriversManufacturer)
{
    // Only the first 59 characters of the description are read.
    const std::string head = "Sonaris PCI Audio " + std::string(41, 'x'), longer = head + " and more";
    struct Case {
        const char *profile;   // DRIVERDESC, or null for none
        const char *driver;    // the media driver's DriverDesc
        DWORD idSize;          // of its ManufactureID (0: none)
        int devices;
        WORD mids[3];          // of the mixer devices
        UINT expected;
    };
    const Case cases[] = {
        {"Sonaris PCI Audio", "Sonaris PCI Audio (WDM)", 2, 3, {0x11, 0x22, 0x1A7}, 2},
        {"Sonaris PCI Audio", "Sonaris PCI Audio (WDM)", 2, 3, {0x11, 0x1A7, 0x1A7}, 1},
        {"Sonaris PCI Audio", "Sonaris PCI Audio (WDM)", 2, 2, {0x11, 0x22}, 0},
        {"Sonaris PCI Audio", "Sonaris PCI Audio (WDM)", 2, 0, {}, 0},
        {"Sonaris PCI Audio", "Sonaris PCI Audio (WDM)", 4, 2, {0x11, 0x1A7}, 0},  // id unreadable
        {"Sonaris PCI Audio", "Sonaris PCI Audio (WDM)", 0, 2, {0x11, 0x00}, 0},   // no id: 0 matches nothing
        {"Sonaris PCI Audio", "Other Audio", 2, 2, {0x11, 0x1A7}, 0},
        {nullptr, "Other Audio", 2, 2, {0x11, 0x1A7}, 1},  // an empty description is in every text
        {longer.c_str(), head.c_str(), 2, 2, {0x11, 0x1A7}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        TearDown();
        if (c.profile)
            WritePrivateProfileStringA("DESCRIPTION", "DRIVERDESC", c.profile, kProfileFileName);
        std::string key = std::string(kMediaClassKey) + "\\0000";
        SHSetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "DriverDesc", REG_SZ, c.driver, strlen(c.driver) + 1);
        DWORD id = 0x1A7;
        if (c.idSize)
            SHSetValueA(HKEY_LOCAL_MACHINE, (key + "\\Config").c_str(), "ManufactureID", REG_BINARY, &id, c.idSize);
        VcMixerClearDevices();
        for (int i = 0; i < c.devices; ++i)
            VcMixerAddDevice(c.mids[i], 1, "Mixer");
        EXPECT_EQ(c.expected, FindCardMixer());
    }
}

// The slider arithmetic at the values that matter and over every position.
MixerLineRecord Line(DWORD channels, uint32_t left, uint32_t right, int32_t balance)
{
    MixerLineRecord r = {};
    r.line.cChannels = channels;
    r.channelVolume[0] = left;
    r.channelVolume[1] = right;
    r.balance = balance;
    return r;
}

TEST(MixerArithmetic, SlidersMoveTheChannelsAsTheirPositionsSay)
{
    struct Case {
        DWORD channels;
        uint32_t left, right;
        int32_t balance;
        uint32_t position;
        bool balanceSlider;
        uint32_t newLeft, newRight;
        int32_t newBalance;
    };
    const Case cases[] = {
        {2, 65535, 65535, 16, 0, true, 65535, 0, 0},
        {2, 65535, 65535, 16, 32, true, 0, 65535, 32},
        {2, 65535, 65535, 16, 8, true, 65535, 32767, 8},
        {2, 1000, 65535, 16, 16, true, 65535, 65535, 16},
        {2, 65535, 100, 16, 24, true, 32767, 65535, 24},
        {1, 500, 9, 16, 3, true, 500, 9, 16},          // mono: the balance does nothing
        {2, 1, 2, 16, 7, false, 34952, 34952, 16},
        {2, 65535, 32767, 8, 5, false, 43690, 21845, 8}, // the louder side takes the slider's value
        {2, 0, 0, 24, 0, false, 32767, 65535, 24},
        {2, 9, 9, 0, 15, false, 0, 0, 0},
        {1, 9, 77, 16, 0, false, 65535, 77, 16},       // mono: one channel
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        MixerLineRecord r = Line(c.channels, c.left, c.right, c.balance);
        ApplySliderPosition(&r, c.position, c.balanceSlider);
        EXPECT_EQ(c.newLeft, r.channelVolume[0]);
        EXPECT_EQ(c.newRight, r.channelVolume[1]);
        EXPECT_EQ(c.newBalance, r.balance);
    }
}

TEST(MixerArithmetic, ValuesFromTheMixerGiveTheSliderPositions)
{
    struct Case {
        DWORD channels;
        uint32_t left, right;
        bool balanceSet;
        int32_t balance;       // from 5
        uint32_t max, volume;  // LineVolumeMax, VolumeSliderPosition
    };
    const Case cases[] = {
        {2, 65535, 32767, true, 8, 65535, 0}, {2, 32767, 65535, true, 24, 65535, 0},
        {2, 65535, 0, true, 0, 65535, 0},     {2, 0, 65535, true, 32, 65535, 0},
        {2, 1000, 1000, true, 16, 1000, 15},  {2, 0, 0, false, 5, 0, 15},
        {1, 4369, 65535, false, 5, 4369, 14}, {2, 49149, 49149, true, 16, 49149, 4},
        {2, 34952, 0, true, 0, 34952, 7},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        MixerLineRecord r = Line(c.channels, c.left, c.right, 5);
        EXPECT_EQ(c.balanceSet, BalanceFromVolume(&r));
        EXPECT_EQ(c.balance, r.balance);
        EXPECT_EQ(c.max, LineVolumeMax(&r));
        EXPECT_EQ(c.volume, VolumeSliderPosition(&r));
    }
}

TEST(MixerArithmetic, EveryPositionReadsBackAsItself)
{
    for (uint32_t balance = 0; balance <= 32; ++balance) {
        for (uint32_t volume = 0; volume <= 15; ++volume) {
            SCOPED_TRACE(testing::Message() << "balance " << balance << ", volume " << volume);
            MixerLineRecord r = Line(2, 65535, 65535, 16);
            ApplySliderPosition(&r, balance, true);
            ApplySliderPosition(&r, volume, false);
            EXPECT_EQ(4369 * (15 - volume), LineVolumeMax(&r));
            EXPECT_EQ(volume, VolumeSliderPosition(&r));
            r.balance = -1;
            EXPECT_EQ(volume < 15, BalanceFromVolume(&r));
            EXPECT_EQ(volume < 15 ? static_cast<int32_t>(balance) : -1, r.balance);
        }
    }
}

} // namespace
