// The virtual card's mixer refuses what the platform's mixer functions
// refuse, with the same codes, and announces each change to every window that
// opened the mixer.
#include "virtualcard/vcard.h"
#include "virtualcard/vcmixer.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

HMIXEROBJ Device(UINT_PTR id) { return reinterpret_cast<HMIXEROBJ>(id); }

MMRESULT LineInfo(UINT_PTR device, DWORD flags, DWORD destination, DWORD size = sizeof(MIXERLINEA))
{
    MIXERLINEA line = {size, destination};
    return mixerGetLineInfoA(Device(device), &line, flags);
}

MMRESULT Details(HMIXEROBJ mixer, DWORD control, DWORD channels, DWORD items, DWORD size, DWORD flags, bool set)
{
    DWORD data[4] = {0, 1, 1, 0};   // a selection of two
    MIXERCONTROLDETAILS d = {sizeof d, control, channels, {nullptr}, size, data};
    d.cMultipleItems = items;
    return set ? mixerSetControlDetails(mixer, &d, flags) : mixerGetControlDetailsA(mixer, &d, flags);
}

DWORD Control(DWORD line, DWORD type) { return VcMixerFindControl(0, VcMixerFindLine(0, line), type); }
DWORD Volume() { return Control(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERCONTROL_CONTROLTYPE_VOLUME); }
DWORD Mute() { return Control(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERCONTROL_CONTROLTYPE_MUTE); }
DWORD Mux() { return Control(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERCONTROL_CONTROLTYPE_MUX); }

MMRESULT Controls(DWORD cbmxctrl)
{
    MIXERCONTROLA controls[2];
    MIXERLINECONTROLSA c = {sizeof c, VcMixerFindLine(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS), {2}, 2, cbmxctrl,
                            controls};
    return mixerGetLineControlsA(Device(0), &c, MIXER_GETLINECONTROLSF_ALL);
}

MMRESULT ListText(DWORD size)
{
    MIXERCONTROLDETAILS_LISTTEXTA texts[4];
    MIXERCONTROLDETAILS d = {sizeof d, Mux(), 1, {nullptr}, size, texts};
    d.cMultipleItems = 4;
    return mixerGetControlDetailsA(Device(0), &d, MIXER_GETCONTROLDETAILSF_LISTTEXT);
}

const DWORD kDst = MIXER_GETLINEINFOF_DESTINATION;
struct ErrorCase { MMRESULT expected; MMRESULT (*call)(); };
// Structure sizes are exactly the ANSI ones, as winmm takes them.
const ErrorCase kErrors[] = {
    {MMSYSERR_INVALPARAM, [] { return LineInfo(0, kDst, 0, sizeof(MIXERLINEA) - 1); }},
    {MMSYSERR_INVALPARAM, [] { return LineInfo(0, kDst, 0, sizeof(MIXERLINEA) + 4); }},
    {MMSYSERR_NOERROR, [] { return Controls(sizeof(MIXERCONTROLA)); }},
    {MMSYSERR_INVALPARAM, [] { return Controls(sizeof(MIXERCONTROLA) + 4); }},
    {MMSYSERR_INVALPARAM, [] { return Details(Device(0), Volume(), 2, 0, 8, 0, false); }},
    {MMSYSERR_NOERROR, [] { return ListText(sizeof(MIXERCONTROLDETAILS_LISTTEXTA)); }},
    {MMSYSERR_INVALPARAM, [] { return ListText(sizeof(MIXERCONTROLDETAILS_LISTTEXTA) + 4); }},
    {MIXERR_INVALLINE, [] { return LineInfo(0, kDst, 2); }},
    {MMSYSERR_BADDEVICEID, [] { return LineInfo(1, kDst, 0); }},
    {MMSYSERR_INVALHANDLE, [] { return LineInfo(0, MIXER_OBJECTF_HMIXER | kDst, 0); }},
    {MMSYSERR_INVALFLAG, [] { return LineInfo(0, 9, 0); }},
    {MIXERR_INVALCONTROL, [] { return Details(Device(0), 999, 2, 0, 4, 0, false); }},
    {MMSYSERR_INVALPARAM, [] { return Details(Device(0), Volume(), 2, 0, 2, 0, false); }},   // 2-byte values
    {MMSYSERR_INVALPARAM, [] { return Details(Device(0), Mute(), 2, 0, 4, 0, true); }},      // uniform
    {MMSYSERR_INVALPARAM, [] { return Details(Device(0), Mux(), 1, 4, 4, 0, true); }},       // two chosen
    {MMSYSERR_BADDEVICEID, [] { HMIXER m; return mixerOpen(&m, 1, 0, 0, 0); }},
};

TEST(Mixer, RefusesAsThePlatformDoes)
{
    VcMixerUseCardTopology();
    for (const ErrorCase &c : kErrors)
        EXPECT_EQ(c.expected, c.call()) << "case " << &c - kErrors;
}

// A handle given without MIXER_OBJECTF_HMIXER is taken as winmm takes it;
// each mixer call can be failed on demand.
TEST(Mixer, TakesAHandleWithoutItsFlagAndFailsOnDemand)
{
    VcMixerUseCardTopology();
    HMIXER mixer;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&mixer, 0, 0, 0, 0));
    HMIXEROBJ object = reinterpret_cast<HMIXEROBJ>(mixer);
    UINT id = 99;
    EXPECT_EQ(MMSYSERR_NOERROR, mixerGetID(object, &id, 0));
    EXPECT_EQ(0u, id);
    EXPECT_EQ(MMSYSERR_NOERROR, Details(object, Volume(), 2, 0, 4, 0, false));
    VcFailCall("mixerGetControlDetailsA", 2, MMSYSERR_NOMEM);
    VcFailCall("mixerClose", 1, MMSYSERR_INVALHANDLE);
    EXPECT_EQ(MMSYSERR_NOERROR, Details(object, Volume(), 2, 0, 4, 0, false));
    EXPECT_EQ(MMSYSERR_NOMEM, Details(object, Volume(), 2, 0, 4, 0, false));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, mixerClose(mixer));
    EXPECT_EQ(MMSYSERR_NOERROR, mixerClose(mixer));
    VcClearFaults();
}

// The mixer messages waiting for a window: how many, each one counted as 1
// when it names the handle and the control, as 100 otherwise.
int Notices(HWND window, HMIXER handle, DWORD control)
{
    MSG msg;
    int count = 0;
    while (PeekMessageA(&msg, window, MM_MIXM_LINE_CHANGE, MM_MIXM_CONTROL_CHANGE, PM_REMOVE))
        count += msg.message == MM_MIXM_CONTROL_CHANGE && msg.wParam == reinterpret_cast<WPARAM>(handle) &&
                         msg.lParam == static_cast<LPARAM>(control) ? 1 : 100;
    return count;
}

TEST(Mixer, ChangesReachEveryWindowThatOpenedTheMixer)
{
    VcMixerUseCardTopology();
    HWND windows[2];
    HMIXER mixers[2];
    for (int i = 0; i < 2; ++i) {
        windows[i] = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&mixers[i], 0, reinterpret_cast<DWORD_PTR>(windows[i]), 0,
                                              CALLBACK_WINDOW));
    }
    EXPECT_EQ(2u, VcMixerOpenHandleCount());
    HMIXEROBJ first = reinterpret_cast<HMIXEROBJ>(mixers[0]);
    DWORD volume = Volume();
    const DWORD levels[2] = {1000, 2000};
    // Another program's change, a change through one handle, a refused one.
    ASSERT_TRUE(VcMixerChangeByOtherProgram(0, volume, levels, 2));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(1, Notices(windows[i], mixers[i], volume)) << "window " << i;
    ASSERT_EQ(MMSYSERR_NOERROR, Details(first, volume, 2, 0, 4, MIXER_OBJECTF_HMIXER, true));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(1, Notices(windows[i], mixers[i], volume)) << "window " << i;
    EXPECT_EQ(MMSYSERR_INVALPARAM, Details(first, volume, 3, 0, 4, MIXER_OBJECTF_HMIXER, true));
    EXPECT_EQ(0, Notices(windows[0], mixers[0], volume));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(MMSYSERR_NOERROR, mixerClose(mixers[i]));
        EXPECT_EQ(1u - i, VcMixerOpenHandleCount());
        DestroyWindow(windows[i]);
    }
    EXPECT_EQ(MMSYSERR_INVALHANDLE, mixerClose(mixers[0]));
}

} // namespace
