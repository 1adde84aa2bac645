// The virtual card's mixer answers like the platform's mixer functions: the
// card's topology, the argument rules and error codes the product's mixer
// access meets, and change notifications to an open window, also for a change
// made by another program.
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

MIXERLINEA Line(HMIXEROBJ mixer, DWORD flags, DWORD destination, DWORD source, MMRESULT *result)
{
    MIXERLINEA line = {};
    line.cbStruct = sizeof line;
    line.dwDestination = destination;
    line.dwSource = source;
    *result = mixerGetLineInfoA(mixer, &line, flags);
    return line;
}

MMRESULT LineControls(HMIXEROBJ mixer, DWORD lineId, DWORD count, MIXERCONTROLA *controls, DWORD flags)
{
    MIXERLINECONTROLSA query = {};
    query.cbStruct = sizeof query;
    query.dwLineID = lineId;
    query.cControls = count;
    query.cbmxctrl = sizeof(MIXERCONTROLA);
    query.pamxctrl = controls;
    return mixerGetLineControlsA(mixer, &query, flags);
}

MMRESULT Details(HMIXEROBJ mixer, DWORD control, DWORD channels, DWORD items, void *data, DWORD size,
                 DWORD flags, bool set = false)
{
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof details;
    details.dwControlID = control;
    details.cChannels = channels;
    details.cMultipleItems = items;
    details.cbDetails = size;
    details.paDetails = data;
    return set ? mixerSetControlDetails(mixer, &details, flags) : mixerGetControlDetailsA(mixer, &details, flags);
}

HMIXEROBJ Device(UINT id)
{
    return reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(id));
}

// A window whose posted messages the test reads back.
class MessageWindow {
public:
    MessageWindow()
    {
        window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~MessageWindow() { DestroyWindow(window); }
    // The next mixer message posted to the window, or false when none waits.
    bool Next(MSG *msg)
    {
        return PeekMessageA(msg, window, MM_MIXM_LINE_CHANGE, MM_MIXM_CONTROL_CHANGE, PM_REMOVE) != 0;
    }
    HWND window;
};

TEST_F(MixerTest, CardMixerReportsTheDriversManufacturerAndItsDestinations)
{
    ASSERT_EQ(1u, mixerGetNumDevs());
    MIXERCAPSA caps = {};
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetDevCapsA(0, &caps, sizeof caps));
    EXPECT_EQ(kVcCardMixerMid, caps.wMid);
    EXPECT_EQ(2u, caps.cDestinations);
    EXPECT_EQ(MMSYSERR_BADDEVICEID, mixerGetDevCapsA(1, &caps, sizeof caps));
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetDevCapsA(0, nullptr, sizeof caps));

    MMRESULT r;
    MIXERLINEA speakers = Line(Device(0), MIXER_GETLINEINFOF_DESTINATION, 0, 0, &r);
    ASSERT_EQ(MMSYSERR_NOERROR, r);
    EXPECT_EQ(static_cast<DWORD>(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS), speakers.dwComponentType);
    EXPECT_EQ(2u, speakers.cChannels);
    EXPECT_GT(speakers.cConnections, 0u);
    MIXERLINEA wavein = Line(Device(0), MIXER_GETLINEINFOF_DESTINATION, 1, 0, &r);
    ASSERT_EQ(MMSYSERR_NOERROR, r);
    EXPECT_EQ(static_cast<DWORD>(MIXERLINE_COMPONENTTYPE_DST_WAVEIN), wavein.dwComponentType);

    // The wave-in destination's selector names every one of its sources.
    MIXERCONTROLA mux = {};
    MIXERLINECONTROLSA query = {sizeof query, wavein.dwLineID, {MIXERCONTROL_CONTROLTYPE_MUX}, 1,
                                sizeof mux, &mux};
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ONEBYTYPE));
    EXPECT_EQ(static_cast<DWORD>(MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE), mux.fdwControl);
    ASSERT_EQ(wavein.cConnections, mux.cMultipleItems);
    MIXERCONTROLDETAILS_LISTTEXTA names[kVcMixerMaxItems] = {};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), mux.dwControlID, 1, mux.cMultipleItems, names,
                                        sizeof names[0], MIXER_GETCONTROLDETAILSF_LISTTEXT));
    for (DWORD s = 0; s < wavein.cConnections; ++s) {
        MIXERLINEA source = Line(Device(0), MIXER_GETLINEINFOF_SOURCE, 1, s, &r);
        ASSERT_EQ(MMSYSERR_NOERROR, r);
        EXPECT_STREQ(source.szName, names[s].szName);
        EXPECT_EQ(source.dwLineID, names[s].dwParam1);
    }
}

TEST_F(MixerTest, LineQueriesFollowThePlatformsRules)
{
    MMRESULT r;
    MIXERLINEA line = {};
    line.cbStruct = sizeof line - 1;
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetLineInfoA(Device(0), &line, MIXER_GETLINEINFOF_DESTINATION));
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetLineInfoA(Device(0), nullptr, MIXER_GETLINEINFOF_DESTINATION));
    Line(Device(0), MIXER_GETLINEINFOF_DESTINATION, 2, 0, &r);
    EXPECT_EQ(MIXERR_INVALLINE, r);
    Line(Device(0), MIXER_GETLINEINFOF_SOURCE, 0, 99, &r);
    EXPECT_EQ(MIXERR_INVALLINE, r);
    Line(Device(1), MIXER_GETLINEINFOF_DESTINATION, 0, 0, &r);
    EXPECT_EQ(MMSYSERR_BADDEVICEID, r);
    Line(Device(0), MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION, 0, 0, &r);
    EXPECT_EQ(MMSYSERR_INVALHANDLE, r);
    Line(Device(0), 9, 0, 0, &r);
    EXPECT_EQ(MMSYSERR_INVALFLAG, r);

    // A source found by index is found again by its id and by its type.
    MIXERLINEA source = Line(Device(0), MIXER_GETLINEINFOF_SOURCE, 0, 4, &r);
    ASSERT_EQ(MMSYSERR_NOERROR, r);
    EXPECT_TRUE(source.fdwLine & MIXERLINE_LINEF_SOURCE);
    EXPECT_EQ(1u, source.cChannels); // the microphone is mono
    MIXERLINEA byId = {};
    byId.cbStruct = sizeof byId;
    byId.dwLineID = source.dwLineID;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineInfoA(Device(0), &byId, MIXER_GETLINEINFOF_LINEID));
    EXPECT_STREQ(source.szName, byId.szName);
    byId.dwLineID = 0x12345678;
    EXPECT_EQ(MIXERR_INVALLINE, mixerGetLineInfoA(Device(0), &byId, MIXER_GETLINEINFOF_LINEID));
    MIXERLINEA byType = {};
    byType.cbStruct = sizeof byType;
    byType.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineInfoA(Device(0), &byType, MIXER_GETLINEINFOF_COMPONENTTYPE));
    EXPECT_EQ(1u, byType.dwDestination);
    byType.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_HEADPHONES;
    EXPECT_EQ(MIXERR_INVALLINE, mixerGetLineInfoA(Device(0), &byType, MIXER_GETLINEINFOF_COMPONENTTYPE));
}

TEST_F(MixerTest, ControlQueriesWantTheLinesOwnCount)
{
    MMRESULT r;
    MIXERLINEA speakers = Line(Device(0), MIXER_GETLINEINFOF_DESTINATION, 0, 0, &r);
    ASSERT_EQ(2u, speakers.cControls);
    MIXERCONTROLA controls[4] = {};
    EXPECT_EQ(MMSYSERR_INVALPARAM, LineControls(Device(0), speakers.dwLineID, 4, controls, MIXER_GETLINECONTROLSF_ALL));
    EXPECT_EQ(MMSYSERR_INVALPARAM, LineControls(Device(0), speakers.dwLineID, 0, controls, MIXER_GETLINECONTROLSF_ALL));
    EXPECT_EQ(MIXERR_INVALLINE, LineControls(Device(0), 0x4242, 2, controls, MIXER_GETLINECONTROLSF_ALL));
    ASSERT_EQ(MMSYSERR_NOERROR, LineControls(Device(0), speakers.dwLineID, 2, controls, MIXER_GETLINECONTROLSF_ALL));
    EXPECT_EQ(static_cast<DWORD>(MIXERCONTROL_CONTROLTYPE_VOLUME), controls[0].dwControlType);
    EXPECT_EQ(static_cast<DWORD>(MIXERCONTROL_CONTROLTYPE_MUTE), controls[1].dwControlType);
    EXPECT_EQ(static_cast<DWORD>(MIXERCONTROL_CONTROLF_UNIFORM), controls[1].fdwControl);
    EXPECT_EQ(0u, controls[2].dwControlID); // nothing beyond the line's count is written

    MIXERLINECONTROLSA query = {sizeof query, 0, {}, 1, sizeof(MIXERCONTROLA), controls};
    query.dwControlID = controls[1].dwControlID;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ONEBYID));
    EXPECT_EQ(speakers.dwLineID, query.dwLineID);
    query.dwControlID = 999;
    EXPECT_EQ(MIXERR_INVALCONTROL, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ONEBYID));
    query.dwLineID = speakers.dwLineID;
    query.dwControlType = MIXERCONTROL_CONTROLTYPE_MUX;
    EXPECT_EQ(MIXERR_INVALCONTROL, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ONEBYTYPE));
    query.cbmxctrl = sizeof(MIXERCONTROLA) - 4;
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetLineControlsA(Device(0), &query, MIXER_GETLINECONTROLSF_ONEBYID));
}

// A topology with the unusual lines: five controls, six channels, mono.
TEST_F(MixerTest, UnusualLinesAndSeveralDevices)
{
    VcMixerClearDevices();
    EXPECT_EQ(0u, mixerGetNumDevs());
    ASSERT_EQ(0, VcMixerAddDevice(0x0001, 0x0100, "Other Mixer"));
    ASSERT_EQ(1, VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName));
    DWORD out = VcMixerAddDestination(1, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 6, "Surround");
    ASSERT_NE(kVcMixerNoLine, out);
    DWORD volume = VcMixerAddControl(1, out, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, "Volume");
    for (DWORD type : {MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLTYPE_BASS,
                       MIXERCONTROL_CONTROLTYPE_TREBLE, MIXERCONTROL_CONTROLTYPE_LOUDNESS})
        ASSERT_NE(0u, VcMixerAddControl(1, out, type, MIXERCONTROL_CONTROLF_UNIFORM, 0, "Tone"));
    DWORD mic = VcMixerAddSource(1, out, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 1, "Mic");
    DWORD micVolume = VcMixerAddControl(1, mic, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, "Volume");

    ASSERT_EQ(2u, mixerGetNumDevs());
    MIXERCAPSA caps = {};
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetDevCapsA(0, &caps, sizeof caps));
    EXPECT_EQ(1u, caps.wMid);
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetDevCapsA(1, &caps, sizeof caps));
    EXPECT_EQ(kVcCardMixerMid, caps.wMid);

    MMRESULT r;
    MIXERLINEA line = Line(Device(1), MIXER_GETLINEINFOF_DESTINATION, 0, 0, &r);
    ASSERT_EQ(MMSYSERR_NOERROR, r);
    EXPECT_EQ(5u, line.cControls);
    EXPECT_EQ(6u, line.cChannels);
    MIXERCONTROLA four[4] = {};
    EXPECT_EQ(MMSYSERR_INVALPARAM, LineControls(Device(1), out, 4, four, MIXER_GETLINECONTROLSF_ALL));

    // Six channels: one value or six, nothing between.
    DWORD values[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(1), volume, 2, 0, values, 4, 0, true));
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(1), volume, 6, 0, values, 4, 0, true));
    DWORD read[6] = {};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(1), volume, 6, 0, read, 4, 0));
    EXPECT_EQ(0, memcmp(values, read, sizeof read));
    DWORD one = 777;
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(1), volume, 1, 0, &one, 4, 0, true));
    ASSERT_TRUE(VcMixerGetValues(1, volume, read, 6));
    for (DWORD v : read)
        EXPECT_EQ(777u, v);
    // The mono line takes its one channel.
    EXPECT_EQ(MMSYSERR_NOERROR, Details(Device(1), micVolume, 1, 0, &one, 4, 0, true));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(1), micVolume, 2, 0, values, 4, 0, true));
}

TEST_F(MixerTest, ControlDetailsCheckChannelsItemsAndSelection)
{
    DWORD speakers = VcMixerFindLine(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
    DWORD wavein = VcMixerFindLine(0, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
    DWORD volume = VcMixerFindControl(0, speakers, MIXERCONTROL_CONTROLTYPE_VOLUME);
    DWORD mute = VcMixerFindControl(0, speakers, MIXERCONTROL_CONTROLTYPE_MUTE);
    DWORD mux = VcMixerFindControl(0, wavein, MIXERCONTROL_CONTROLTYPE_MUX);
    ASSERT_TRUE(volume && mute && mux);

    DWORD stereo[2] = {65535, 4369};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), volume, 2, 0, stereo, 4, MIXER_SETCONTROLDETAILSF_VALUE, true));
    DWORD read[2] = {};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), volume, 2, 0, read, 4, MIXER_GETCONTROLDETAILSF_VALUE));
    EXPECT_EQ(65535u, read[0]);
    EXPECT_EQ(4369u, read[1]);
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 0, 0, read, 4, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 2, 1, read, 4, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 2, 0, read, 2, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 2, 0, nullptr, 4, 0));
    EXPECT_EQ(MIXERR_INVALCONTROL, Details(Device(0), 999, 2, 0, read, 4, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), volume, 1, 0, read, 72, MIXER_GETCONTROLDETAILSF_LISTTEXT));
    MIXERCONTROLDETAILS shortStruct = {};
    shortStruct.cbStruct = sizeof shortStruct - 1;
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerGetControlDetailsA(Device(0), &shortStruct, 0));

    // A uniform control has one channel.
    DWORD muted = 5;
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), mute, 2, 0, stereo, 4, 0, true));
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), mute, 1, 0, &muted, 4, 0, true));
    ASSERT_TRUE(VcMixerGetValues(0, mute, &muted, 1));
    EXPECT_EQ(1u, muted);

    // The recording selector chooses exactly one source.
    DWORD choice[4] = {0, 0, 0, 0};
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), mux, 1, 3, choice, 4, 0, true));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), mux, 1, 4, choice, 4, 0, true));
    choice[1] = choice[2] = 1;
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(Device(0), mux, 1, 4, choice, 4, 0, true));
    choice[1] = 0;
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), mux, 1, 4, choice, 4, 0, true));
    DWORD now[4] = {9, 9, 9, 9};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(Device(0), mux, 1, 4, now, 4, 0));
    EXPECT_EQ(0u, now[0]);
    EXPECT_EQ(0u, now[1]);
    EXPECT_EQ(1u, now[2]);
    EXPECT_EQ(0u, now[3]);
}

TEST_F(MixerTest, HandlesAreCheckedAndCounted)
{
    HMIXER mixer = nullptr;
    EXPECT_EQ(MMSYSERR_BADDEVICEID, mixerOpen(&mixer, 1, 0, 0, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerOpen(nullptr, 0, 0, 0, 0));
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(MMSYSERR_INVALPARAM, mixerOpen(&mixer, 0, reinterpret_cast<DWORD_PTR>(gone), 0, CALLBACK_WINDOW));
    EXPECT_EQ(0u, VcMixerOpenHandleCount());

    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER));
    EXPECT_EQ(1u, VcMixerOpenHandleCount());
    UINT id = 99;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetID(reinterpret_cast<HMIXEROBJ>(mixer), &id, MIXER_OBJECTF_HMIXER));
    EXPECT_EQ(0u, id);
    MIXERCAPSA caps = {};
    EXPECT_EQ(MMSYSERR_NOERROR, mixerGetDevCapsA(reinterpret_cast<UINT_PTR>(mixer), &caps, sizeof caps));
    MMRESULT r;
    Line(reinterpret_cast<HMIXEROBJ>(mixer), MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION, 1, 0, &r);
    EXPECT_EQ(MMSYSERR_NOERROR, r);
    ASSERT_EQ(MMSYSERR_NOERROR, mixerClose(mixer));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, mixerClose(mixer));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, mixerGetID(reinterpret_cast<HMIXEROBJ>(mixer), &id, MIXER_OBJECTF_HMIXER));
}

TEST_F(MixerTest, ChangesReachEveryOpenWindowUntilItsHandleIsClosed)
{
    MessageWindow page, other;
    ASSERT_TRUE(page.window && other.window);
    HMIXER mixer = nullptr, second = nullptr;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&mixer, 0, reinterpret_cast<DWORD_PTR>(page.window), 0, CALLBACK_WINDOW));
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&second, 0, reinterpret_cast<DWORD_PTR>(other.window), 0, CALLBACK_WINDOW));

    DWORD speakers = VcMixerFindLine(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
    DWORD wave = VcMixerFindSource(0, speakers, "Wave");
    DWORD volume = VcMixerFindControl(0, wave, MIXERCONTROL_CONTROLTYPE_VOLUME);
    ASSERT_NE(0u, volume);

    // Another program moves the wave volume.
    const DWORD levels[2] = {1000, 2000};
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, volume, levels, 2));
    MSG msg;
    ASSERT_TRUE(page.Next(&msg));
    EXPECT_EQ(static_cast<UINT>(MM_MIXM_CONTROL_CHANGE), msg.message);
    EXPECT_EQ(reinterpret_cast<WPARAM>(mixer), msg.wParam);
    EXPECT_EQ(static_cast<LPARAM>(volume), msg.lParam);
    EXPECT_FALSE(page.Next(&msg));
    ASSERT_TRUE(other.Next(&msg));
    EXPECT_EQ(reinterpret_cast<WPARAM>(second), msg.wParam);
    DWORD read[2] = {};
    ASSERT_EQ(MMSYSERR_NOERROR, Details(reinterpret_cast<HMIXEROBJ>(mixer), volume, 2, 0, read, 4,
                                        MIXER_OBJECTF_HMIXER));
    EXPECT_EQ(1000u, read[0]);
    EXPECT_EQ(2000u, read[1]);

    // A change through one handle is announced to both; a refused one to none.
    ASSERT_EQ(MMSYSERR_NOERROR, Details(reinterpret_cast<HMIXEROBJ>(mixer), volume, 2, 0, read, 4,
                                        MIXER_OBJECTF_HMIXER, true));
    EXPECT_TRUE(page.Next(&msg));
    EXPECT_TRUE(other.Next(&msg));
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(reinterpret_cast<HMIXEROBJ>(mixer), volume, 3, 0, read, 4,
                                           MIXER_OBJECTF_HMIXER, true));
    EXPECT_FALSE(page.Next(&msg));

    ASSERT_TRUE(VcMixerChangeLineByOtherProgram(0, wave));
    ASSERT_TRUE(page.Next(&msg));
    EXPECT_EQ(static_cast<UINT>(MM_MIXM_LINE_CHANGE), msg.message);
    EXPECT_EQ(static_cast<LPARAM>(wave), msg.lParam);
    other.Next(&msg);

    ASSERT_EQ(MMSYSERR_NOERROR, mixerClose(second));
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, volume, levels, 2));
    EXPECT_TRUE(page.Next(&msg));
    EXPECT_FALSE(other.Next(&msg));
    ASSERT_EQ(MMSYSERR_NOERROR, mixerClose(mixer));
}

} // namespace
