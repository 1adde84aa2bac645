// The virtual card's mixer answers as the platform's mixer functions do: the
// structure sizes, flags and error codes the product's mixer access meets, a
// topology a test can build, and change notifications to every open window.
#include "virtualcard/vcmixer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

namespace {

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override { VcMixerUseCardTopology(); }
    void TearDown() override
    {
        EXPECT_EQ(0u, VcMixerOpenHandleCount());
        VcMixerUseCardTopology();
    }
};

HMIXEROBJ Device(UINT_PTR id) { return reinterpret_cast<HMIXEROBJ>(id); }

MMRESULT LineInfo(HMIXEROBJ mixer, DWORD flags, DWORD destination, DWORD source, MIXERLINEA *line,
                  DWORD size = sizeof(MIXERLINEA))
{
    *line = {};
    line->cbStruct = size;
    line->dwDestination = destination;
    line->dwSource = source;
    return mixerGetLineInfoA(mixer, line, flags);
}

MMRESULT Details(HMIXEROBJ mixer, DWORD control, DWORD channels, DWORD items, void *data, DWORD size,
                 DWORD flags, bool set = false)
{
    MIXERCONTROLDETAILS d = {sizeof d, control, channels, {nullptr}, size, data};
    d.cMultipleItems = items;
    return set ? mixerSetControlDetails(mixer, &d, flags) : mixerGetControlDetailsA(mixer, &d, flags);
}

// Line queries the platform refuses, and how.
struct LineCase {
    UINT device;
    DWORD flags, size, destination, source;
    MMRESULT expected;
};
const DWORD kLineSize = sizeof(MIXERLINEA);
const LineCase kLineCases[] = {
    {0, MIXER_GETLINEINFOF_DESTINATION, kLineSize - 1, 0, 0, MMSYSERR_INVALPARAM},
    {0, MIXER_GETLINEINFOF_DESTINATION, kLineSize, 2, 0, MIXERR_INVALLINE},
    {0, MIXER_GETLINEINFOF_SOURCE, kLineSize, 0, 99, MIXERR_INVALLINE},
    {1, MIXER_GETLINEINFOF_DESTINATION, kLineSize, 0, 0, MMSYSERR_BADDEVICEID},
    {0, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION, kLineSize, 0, 0, MMSYSERR_INVALHANDLE},
    {0, 9, kLineSize, 0, 0, MMSYSERR_INVALFLAG},
};

TEST_F(MixerTest, CardMixerAndItsLinesAnswerAsThePlatformDoes)
{
    ASSERT_EQ(1u, mixerGetNumDevs());
    MIXERCAPSA caps = {};
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetDevCapsA(0, &caps, sizeof caps));
    EXPECT_EQ(kVcCardMixerMid, caps.wMid);
    EXPECT_EQ(2u, caps.cDestinations);
    EXPECT_EQ(MMSYSERR_BADDEVICEID, mixerGetDevCapsA(1, &caps, sizeof caps));
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetDevCapsA(0, nullptr, sizeof caps));
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetLineInfoA(Device(0), nullptr, MIXER_GETLINEINFOF_DESTINATION));
    MIXERLINEA line;
    for (const LineCase &c : kLineCases)
        EXPECT_EQ(c.expected, LineInfo(Device(c.device), c.flags, c.destination, c.source, &line, c.size))
            << "flags " << c.flags << " line " << c.destination << "/" << c.source;
}

TEST_F(MixerTest, ControlsWantTheLinesCountsChannelsAndOneSelection)
{
    MIXERLINEA speakers;
    ASSERT_EQ(MMSYSERR_NOERROR, LineInfo(Device(0), MIXER_GETLINEINFOF_DESTINATION, 0, 0, &speakers));
    ASSERT_EQ(2u, speakers.cControls);
    MIXERCONTROLA controls[4] = {};
    MIXERLINECONTROLSA query = {sizeof query, speakers.dwLineID, {0}, 4, sizeof controls[0], controls};
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ALL));
    query.cControls = 2;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ALL));
    EXPECT_EQ(static_cast<DWORD>(MIXERCONTROL_CONTROLTYPE_MUTE), controls[1].dwControlType);
    EXPECT_EQ(0u, controls[2].dwControlID);   // nothing beyond the line's count is written
    query.cbmxctrl = sizeof controls[0] - 4;
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ALL));
    query = {sizeof query, 0, {999}, 1, sizeof controls[0], controls};
    EXPECT_EQ(MIXERR_INVALCONTROL, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ONEBYID));

    DWORD volume = controls[0].dwControlID, mute = controls[1].dwControlID;
    DWORD wavein = VcMixerFindLine(0, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
    DWORD mux = VcMixerFindControl(0, wavein, MIXERCONTROL_CONTROLTYPE_MUX);
    DWORD stereo[2] = {65535, 4369}, read[2] = {};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), volume, 2, 0, stereo, 4, MIXER_SETCONTROLDETAILSF_VALUE, true));
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), volume, 2, 0, read, 4, MIXER_GETCONTROLDETAILSF_VALUE));
    EXPECT_EQ(0, memcmp(stereo, read, sizeof read));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 0, 0, read, 4, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 2, 1, read, 4, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 2, 0, read, 2, 0));
    EXPECT_EQ(MIXERR_INVALCONTROL, Details(Device(0), 999, 2, 0, read, 4, 0));
    MIXERCONTROLDETAILS shortStruct = {sizeof shortStruct - 1};
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetControlDetailsA(Device(0), &shortStruct, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), mute, 2, 0, stereo, 4, 0, true));   // uniform: one channel
    // The recording selector takes all its items, exactly one of them chosen.
    DWORD choice[4] = {0, 1, 1, 0};
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), mux, 1, 3, choice, 4, 0, true));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), mux, 1, 4, choice, 4, 0, true));
    choice[1] = 0;
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), mux, 1, 4, choice, 4, 0, true));
    DWORD now[4] = {9, 9, 9, 9};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), mux, 1, 4, now, 4, 0));
    EXPECT_EQ(0, memcmp(choice, now, sizeof now));
}

TEST_F(MixerTest, ATestBuildsItsOwnTopology)
{
    VcMixerClearDevices();
    EXPECT_EQ(0u, mixerGetNumDevs());
    ASSERT_EQ(0, VcMixerAddDevice(0x0001, 0x0100, "Other Mixer"));
    ASSERT_EQ(1, VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName));
    DWORD out = VcMixerAddDestination(1, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 6, "Surround");
    DWORD volume = VcMixerAddControl(1, out, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, "Volume");
    ASSERT_NE(0u, VcMixerAddControl(1, out, MIXERCONTROL_CONTROLTYPE_BASS, MIXERCONTROL_CONTROLF_UNIFORM, 0, "Bass"));
    ASSERT_NE(kVcMixerNoLine, VcMixerAddSource(1, out, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 1, "Mic"));
    ASSERT_EQ(2u, mixerGetNumDevs());
    MIXERLINEA line;
    ASSERT_EQ(MMSYSERR_NOERROR, LineInfo(Device(1), MIXER_GETLINEINFOF_DESTINATION, 0, 0, &line));
    EXPECT_EQ(2u, line.cControls);
    EXPECT_EQ(6u, line.cChannels);
    EXPECT_EQ(1u, line.cConnections);

    // Six channels: one value for all, or six; nothing between.
    DWORD values[6] = {1, 2, 3, 4, 5, 6}, read[6] = {}, one = 777;
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(1), volume, 2, 0, values, 4, 0, true));
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(1), volume, 6, 0, values, 4, 0, true));
    ASSERT_TRUE(VcMixerGetValues(1, volume, read, 6));
    EXPECT_EQ(0, memcmp(values, read, sizeof read));
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(1), volume, 1, 0, &one, 4, 0, true));
    ASSERT_TRUE(VcMixerGetValues(1, volume, read, 6));
    EXPECT_EQ(777u, read[5]);
}

// The mixer messages waiting for a window: how many, each one counted as 1
// when it names the handle and the line or control, as 100 otherwise.
int Notices(HWND window, HMIXER handle, UINT message, DWORD id)
{
    MSG msg;
    int count = 0;
    while (PeekMessageA(&msg, window, MM_MIXM_LINE_CHANGE, MM_MIXM_CONTROL_CHANGE, PM_REMOVE))
        count += msg.message == message && msg.wParam == reinterpret_cast<WPARAM>(handle) &&
                         msg.lParam == static_cast<LPARAM>(id) ? 1 : 100;
    return count;
}

TEST_F(MixerTest, ChangesReachEveryWindowThatOpenedTheMixer)
{
    HMIXER mixer = nullptr, second = nullptr;
    EXPECT_EQ(MMSYSERR_BADDEVICEID, mixerOpen(&mixer, 1, 0, 0, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerOpen(nullptr, 0, 0, 0, 0));
    HWND page = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND other = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&mixer, 0, reinterpret_cast<DWORD_PTR>(page), 0, CALLBACK_WINDOW));
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&second, 0, reinterpret_cast<DWORD_PTR>(other), 0, CALLBACK_WINDOW));
    EXPECT_EQ(2u, VcMixerOpenHandleCount());
    HMIXEROBJ handle = reinterpret_cast<HMIXEROBJ>(mixer);
    DWORD speakers = VcMixerFindLine(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
    DWORD wave = VcMixerFindSource(0, speakers, "Wave");
    DWORD volume = VcMixerFindControl(0, wave, MIXERCONTROL_CONTROLTYPE_VOLUME);

    // Another program moves the wave volume: each window hears it once, and the value reads back.
    const DWORD levels[2] = {1000, 2000};
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, volume, levels, 2));
    EXPECT_EQ(1, Notices(page, mixer, MM_MIXM_CONTROL_CHANGE, volume));
    EXPECT_EQ(1, Notices(other, second, MM_MIXM_CONTROL_CHANGE, volume));
    DWORD read[2] = {};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(handle, volume, 2, 0, read, 4, MIXER_OBJECTF_HMIXER));
    EXPECT_EQ(0, memcmp(levels, read, sizeof read));
    // A change through one handle is announced to both; a refused one to none.
    ASSERT_EQ(MMSYSERR_NOERROR, Details(handle, volume, 2, 0, read, 4, MIXER_OBJECTF_HMIXER, true));
    EXPECT_EQ(1, Notices(page, mixer, MM_MIXM_CONTROL_CHANGE, volume));
    EXPECT_EQ(1, Notices(other, second, MM_MIXM_CONTROL_CHANGE, volume));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(handle, volume, 3, 0, read, 4, MIXER_OBJECTF_HMIXER, true));
    EXPECT_EQ(0, Notices(page, mixer, MM_MIXM_CONTROL_CHANGE, volume));
    ASSERT_TRUE(VcMixerChangeLineByOtherProgram(0, wave));
    EXPECT_EQ(1, Notices(page, mixer, MM_MIXM_LINE_CHANGE, wave));
    EXPECT_EQ(1, Notices(other, second, MM_MIXM_LINE_CHANGE, wave));

    // A closed handle hears no more, and cannot be closed twice.
    ASSERT_EQ(MMSYSERR_NOERROR, mixerClose(second));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, mixerClose(second));
    EXPECT_EQ(1u, VcMixerOpenHandleCount());
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, volume, levels, 2));
    EXPECT_EQ(1, Notices(page, mixer, MM_MIXM_CONTROL_CHANGE, volume));
    EXPECT_EQ(0, Notices(other, second, MM_MIXM_CONTROL_CHANGE, volume));
    ASSERT_EQ(MMSYSERR_NOERROR, mixerClose(mixer));
    DestroyWindow(page);
    DestroyWindow(other);
}

} // namespace
