// The virtual card's mixer refuses what the platform's mixer functions
// refuse, with the same codes: structure sizes, flags, ids and values the
// product's tests would otherwise pass with.
#include "harness.h"

#include "virtualcard/vcmixer.h"

#include <functional>

namespace {

HMIXEROBJ Device(UINT_PTR id) { return reinterpret_cast<HMIXEROBJ>(id); }

MMRESULT LineInfo(UINT_PTR device, DWORD flags, DWORD destination, DWORD size = sizeof(MIXERLINEA))
{
    MIXERLINEA line = {size, destination};
    return mixerGetLineInfoA(Device(device), &line, flags);
}

MMRESULT Controls(DWORD size)
{
    MIXERCONTROLA controls[2];
    MIXERLINECONTROLSA c = {sizeof c, VcMixerFindLine(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS), {2}, 2, size, controls};
    return mixerGetLineControlsA(Device(0), &c, MIXER_GETLINECONTROLSF_ALL);
}

// A control's values (a selection of two for a selector), read or written.
MMRESULT Details(DWORD lineType, DWORD type, DWORD channels, DWORD items, DWORD size, DWORD flags, bool set)
{
    MIXERCONTROLDETAILS_LISTTEXTA data[4] = {};
    reinterpret_cast<DWORD *>(data)[1] = reinterpret_cast<DWORD *>(data)[2] = 1;
    DWORD control = type ? VcMixerFindControl(0, VcMixerFindLine(0, lineType), type) : 999;
    MIXERCONTROLDETAILS d = {sizeof d, control, channels, {nullptr}, size, data};
    d.cMultipleItems = items;
    return set ? mixerSetControlDetails(Device(0), &d, flags) : mixerGetControlDetailsA(Device(0), &d, flags);
}

TEST(VirtualCard, MixerRefusesAsThePlatformDoes)
{
    const DWORD kDst = MIXER_GETLINEINFOF_DESTINATION, kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    const DWORD kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kVolume = MIXERCONTROL_CONTROLTYPE_VOLUME;
    const DWORD kMute = MIXERCONTROL_CONTROLTYPE_MUTE, kMux = MIXERCONTROL_CONTROLTYPE_MUX;
    const DWORD kText = sizeof(MIXERCONTROLDETAILS_LISTTEXTA), kList = MIXER_GETCONTROLDETAILSF_LISTTEXT;
    const struct { const char *what; MMRESULT expected; std::function<MMRESULT()> call; } rows[] = {
        {"line size short", MMSYSERR_INVALPARAM, [] { return LineInfo(0, kDst, 0, sizeof(MIXERLINEA) - 1); }},
        {"line size long", MMSYSERR_INVALPARAM, [] { return LineInfo(0, kDst, 0, sizeof(MIXERLINEA) + 4); }},
        {"control size", MMSYSERR_NOERROR, [] { return Controls(sizeof(MIXERCONTROLA)); }},
        {"control size long", MMSYSERR_INVALPARAM, [] { return Controls(sizeof(MIXERCONTROLA) + 4); }},
        {"value size", MMSYSERR_INVALPARAM, [&] { return Details(kSpeakers, kVolume, 2, 0, 8, 0, false); }},
        {"2-byte values", MMSYSERR_INVALPARAM, [&] { return Details(kSpeakers, kVolume, 2, 0, 2, 0, false); }},
        {"list text size", MMSYSERR_NOERROR, [&] { return Details(kWaveIn, kMux, 1, 4, kText, kList, false); }},
        {"list text size long", MMSYSERR_INVALPARAM, [&] { return Details(kWaveIn, kMux, 1, 4, kText + 4, kList, false); }},
        {"destination", MIXERR_INVALLINE, [] { return LineInfo(0, kDst, 2); }},
        {"device", MMSYSERR_BADDEVICEID, [] { return LineInfo(1, kDst, 0); }},
        {"handle", MMSYSERR_INVALHANDLE, [] { return LineInfo(0, MIXER_OBJECTF_HMIXER | kDst, 0); }},
        {"flag", MMSYSERR_INVALFLAG, [] { return LineInfo(0, 9, 0); }},
        {"control", MIXERR_INVALCONTROL, [&] { return Details(kSpeakers, 0, 2, 0, 4, 0, false); }},
        {"uniform mute per channel", MMSYSERR_INVALPARAM, [&] { return Details(kSpeakers, kMute, 2, 0, 4, 0, true); }},
        {"two sources chosen", MMSYSERR_INVALPARAM, [&] { return Details(kWaveIn, kMux, 1, 4, 4, 0, true); }},
        {"open device", MMSYSERR_BADDEVICEID, [] { HMIXER m; return mixerOpen(&m, 1, 0, 0, 0); }},
        {"callback window", MMSYSERR_INVALPARAM, [] { HMIXER m; return mixerOpen(&m, 0, 0x1234, 0, CALLBACK_WINDOW); }},
        {"closed twice", MMSYSERR_INVALHANDLE, [] { HMIXER m; mixerOpen(&m, 0, 0, 0, 0); mixerClose(m); return mixerClose(m); }},
    };
    VcMixerUseCardTopology();
    for (const auto &r : rows)
        EXPECT_EQ(r.expected, r.call()) << r.what;
}

} // namespace
