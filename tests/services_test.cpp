// Messages, the driver connection and the device list, and the speaker
// configuration, against the virtual card's DirectSound and the registry.
#include "harness.h"

#include "app/app.h"
#include "app/messages.h"
#include "panel/driver.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "virtualcard/vclog.h"

#include <shlwapi.h>

namespace {

class CardTest : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        LoadMessageCaption();
        VcReset();
        window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override { DestroyWindow(window_); }
    HWND window_ = nullptr;
};

using Messages = CardTest;

// A string that does not load, and leaves in the buffer what it may.
int WINAPI NoString(HINSTANCE, UINT, LPSTR text, int size) { return lstrcpynA(text, "left", size), 0; }

// Every row of the table, in its order: a code and the string that names it.
const struct { DWORD code; UINT id; } kErrorTexts[] = {
    {0x00000000, 1},  {0x8878000A, 2},  {0x8878001E, 3},  {0x80070057, 4},  {0x88780032, 5},  {0x80004005, 6},
    {0x88780046, 7},  {0x8007000E, 8},  {0x88780064, 9},  {0x80004001, 10}, {0x88780078, 11}, {0x88780082, 12},
    {0x80040110, 13}, {0x88780096, 14}, {0x887800A0, 15}, {0x887800AA, 16}, {0x80004002, 17},
};

TEST_F(Messages, ErrorTextsNameEveryCodeOfTheTable)
{
    for (const auto &row : kErrorTexts)
        EXPECT_EQ(LoadText(row.id), SoundErrorText(static_cast<HRESULT>(row.code))) << std::hex << row.code;
    EXPECT_STREQ("Unknown error 12345678 (305419896)", SoundErrorText(0x12345678));
    EXPECT_STREQ("Unknown error 80000000 (-2147483648)", SoundErrorText(static_cast<HRESULT>(0x80000000)));
    EXPECT_STREQ("Unknown error 0878000a (142082058)", SoundErrorText(DS_NO_VIRTUALIZATION));
    // A string that does not load leaves no text, not what the load left.
    ImportHook refuse = HOOK("user32.dll", LoadStringA, NoString);
    EXPECT_STREQ("", SoundErrorText(DSERR_GENERIC));
    LoadMessageCaption();
    EXPECT_STREQ("", messageCaption);
}

// Once leadN is set, 'n' stands for the first byte of a double-byte
// character, as a code page of two-byte characters has them (the tests'
// code page has none). A cut asks once per character; one that stops
// advancing would ask for ever, so it ends the test program as failed.
int leadBytes;
bool leadN;
BOOL WINAPI LeadByteN(BYTE c)
{
    if (++leadBytes > 10000) {
        ADD_FAILURE() << "the cut of an error text stops advancing";
        fflush(stdout), ExitProcess(1);
    }
    return leadN && c == 'n';
}

TEST_F(Messages, BoxesCarryTheSharedCaptionTheirOwnerAndStyleAndKeepTheirShape)
{
    MessageBoxCapture boxes;
    ImportHook lead = HOOK("kernel32.dll", IsDBCSLeadByte, LeadByteN);
    ReportSoundError(DSERR_BADFORMAT, "CreateSoundBuffer error", 0); // not asked: no box
    ReportSoundError(DSERR_BADFORMAT, "CreateSoundBuffer error", 1);
    ShowMessage(window_, IDS_NO_DRIVER, MB_OK);
    ShowMessage(nullptr, 9999, MB_OK); // no such string: an empty text
    const std::string context(240, 'c'), longest(300, 'l');
    ReportSoundError(DSERR_GENERIC, context.c_str(), 1);
    ReportSoundError(DSERR_GENERIC, longest.c_str(), 1); // no room left for the error text
    leadN = true;
    ReportSoundError(DSERR_GENERIC, context.substr(2).c_str(), 1); // room for 13, "ne" one character
    // The error text is cut, not the closing quote: 255 characters in all; nor is a character split.
    const struct { HWND owner; UINT style; std::string text; } expected[] = {
        {nullptr, MB_OK, "CreateSoundBuffer error:\n\"The specified WAVE format is not supported\""},
        {window_, MB_OK | MB_SETFOREGROUND, "No Sonaris driver was installed."}, {nullptr, MB_OK | MB_SETFOREGROUND, ""},
        {nullptr, MB_OK, context + ":\n\"An undeterm\""}, {nullptr, MB_OK, longest.substr(0, 255)},
        {nullptr, MB_OK, context.substr(2) + ":\n\"An undetermi\""}};
    const std::vector<CapturedBox> &b = boxes.Boxes();
    ASSERT_EQ(6u, b.size());
    for (size_t i = 0; i < b.size(); ++i)
        EXPECT_EQ(std::make_tuple(std::string("Sonaris Control Panel"), expected[i].owner, expected[i].style, expected[i].text),
                  std::make_tuple(b[i].caption, b[i].owner, b[i].style, b[i].text)) << i;
}

using Connection = CardTest;

// The first form of the buffer description (20 bytes on 32-bit Windows), a
// hardware 3D buffer, kept alive by its property set alone, which goes first.
TEST_F(Connection, APropertySetOutlivesItsBufferAndIsClosedFirst)
{
    DriverConnection c = {};
    ASSERT_EQ(0, OpenDriverConnection(nullptr, window_, &c.directSound, &c.propertySet, 1));
    EXPECT_EQ((std::vector<std::string>{"ds.create dev=0", "ds.coop class=\"Static\" style=0x84000000 exstyle=0x0 level=1 hr=0x00000000",
                                        "ds.buffer size=" + std::to_string(sizeof(DSBUFFERDESC1)) +
                                            " flags=0x14 bytes=1024 reserved=0 format=1/1/22050/44100/2/16 extra=0 hr=0x00000000 place=hardware",
                                        "buf.qi iid=IKsPropertySet hr=0x00000000", "buf.release"}), Trace());
    size_t from = VcLogCount();
    CloseDriverConnection(&c);
    EXPECT_EQ((std::vector<std::string>{"ks.release", "ds.release buffers=0"}), Trace(from));
}

// Each step that fails: its report when asked for (the last context brings
// its own colon), its code, the caller's DirectSound null and nothing of the
// attempt held.
TEST_F(Connection, EachFailingStepIsReportedWhenAskedAndLeavesNothingOpen)
{
    const struct { const char *call; HRESULT code; const char *report; } steps[] = {
        {"DirectSoundCreate", DSERR_NODRIVER, "DirectSoundCreate error:\n\"No sound driver is available for use\""},
        {"SetCooperativeLevel", DSERR_INVALIDPARAM,
         "SetCooperativeLevel error:\n\"An invalid parameter was passed to the returning function\""},
        {"CreateSoundBuffer", DSERR_BADFORMAT, "CreateSoundBuffer error:\n\"The specified WAVE format is not supported\""},
        {"QueryInterface", E_NOINTERFACE,
         "Sound driver does not support 3d hardware::\n\"The requested COM interface is not available\""},
    };
    for (const auto &step : steps) {
        for (int report : {0, 1}) {
            SCOPED_TRACE(std::string(step.call) + (report ? " reported" : ""));
            VcFailCall(step.call, 1, step.code);
            MessageBoxCapture boxes;
            DriverConnection c = {reinterpret_cast<IDirectSound *>(&c), nullptr};
            EXPECT_EQ(step.code, OpenDriverConnection(nullptr, window_, &c.directSound, &c.propertySet, report));
            EXPECT_EQ(nullptr, c.directSound);
            ASSERT_EQ(report ? 1u : 0u, boxes.Boxes().size());
            if (report)
                EXPECT_EQ(step.report, boxes.Boxes()[0].text);
            VcClearFaults(); // the card's counts go on to the test's end
        }
    }
}

// The primary driver's entry and a device whose probe fails are left out,
// at most ten are listed, and the enumeration always goes on. The probe: an
// ordinary buffer of the first form at the normal level, both let go at once.
TEST_F(Connection, TheListSkipsThePrimaryEntryAndFailingDevicesAndKeepsTen)
{
    VcDevice devices[12];
    for (int i = 0; i < 12; ++i)
        VcDefaultDevice(i, &devices[i]);
    ASSERT_TRUE(VcSetDevices(devices, 12));
    VcFailCall("CreateSoundBuffer", 2, DSERR_GENERIC); // the second device's probe
    soundDeviceCount = 0;
    ASSERT_EQ(DS_OK, DirectSoundEnumerateA(EnumerateSoundDevice, &window_));
    ASSERT_EQ(10, soundDeviceCount);
    EXPECT_TRUE(IsEqualGUID(devices[0].guid, soundDevices[0]) && IsEqualGUID(devices[2].guid, soundDevices[1]) &&
                IsEqualGUID(devices[10].guid, soundDevices[9]));
    const size_t from = VcLogCount();
    EXPECT_TRUE(EnumerateSoundDevice(&devices[11].guid, "", "", &window_)); // full, yet probed and goes on
    EXPECT_EQ(10, soundDeviceCount);
    EXPECT_EQ((std::vector<std::string>{
                  "ds.create dev=11", "ds.coop class=\"Static\" style=0x84000000 exstyle=0x0 level=1 hr=0x00000000",
                  "ds.buffer size=" + std::to_string(sizeof(DSBUFFERDESC1)) +
                      " flags=0xe0 bytes=1024 reserved=0 format=1/1/22050/44100/2/16 extra=0 hr=0x00000000 place=software",
                  "buf.release", "ds.release buffers=0"}), Trace(from));
}

using SpeakerLayout = CardTest;

// Beyond what the General page shows: only quad and 5.1 exactly are four
// and six speakers, so geometry bits make any configuration two; layouts
// other than 4 and 6 are written as stereo, with no geometry.
TEST_F(SpeakerLayout, ConfigurationsReadAndLayoutsWriteAsTheTablesSayAndFailuresGoToTheDebugger)
{
    IDirectSound *sound = nullptr;
    ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound, nullptr));
    // Each read as two speakers.
    for (DWORD config : std::vector<DWORD>{DSSPEAKER_HEADPHONE, DSSPEAKER_MONO, DSSPEAKER_7POINT1, DSSPEAKER_5POINT1_SURROUND,
                                           DSSPEAKER_COMBINED(DSSPEAKER_QUAD, DSSPEAKER_GEOMETRY_NARROW), DSSPEAKER_7POINT1_SURROUND,
                                           DSSPEAKER_COMBINED(DSSPEAKER_5POINT1, DSSPEAKER_GEOMETRY_MAX)}) {
        uint8_t layout = 0;
        ASSERT_EQ(DS_OK, sound->SetSpeakerConfig(config));
        EXPECT_TRUE(ReadSpeakerLayout(&layout) && layout == 2) << std::hex << config << " read as " << int(layout);
    }
    sound->Release();
    for (uint8_t layout : {6, 5, 0, 255}) {
        EXPECT_TRUE(WriteSpeakerLayout(layout));
        EXPECT_EQ(layout == 6 ? DWORD(DSSPEAKER_5POINT1) : DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0)) << int(layout);
    }

    // Failures go to the debugger and change nothing.
    uint8_t layout = 77;
    DebugOutputCapture debug;
    const std::pair<const char *, bool> steps[] = {
        {"DirectSoundCreate", false}, {"GetSpeakerConfig", false}, {"DirectSoundCreate", true}, {"SetSpeakerConfig", true}};
    for (const auto &step : steps) {
        VcFailCall(step.first, 1, DSERR_GENERIC);
        EXPECT_FALSE(step.second ? WriteSpeakerLayout(6) : ReadSpeakerLayout(&layout)) << step.first;
    }
    EXPECT_TRUE(layout == 77 && VcSpeakerConfig(0) == DSSPEAKER_STEREO);
    const std::vector<std::string> expected = {"DirectSoundCreate error", "Get speaker config error",
                                               "DirectSoundCreate error", "Set speaker config error"};
    EXPECT_EQ(expected, debug.Lines());
}

// --- The media class key ---------------------------------------------------------

TEST(Registry, ManufacturerIdOfTheFirstMatchingDriverWithATwoByteId)
{
    // Media driver subkeys with an id of idSize bytes and a description stored
    // without its terminator, as a binary value may be.
    const struct { const char *index, *desc; DWORD id, idSize; } drivers[] = {
        {"0000", "Other Audio", 0x11, 2}, {"0001", "Sonaris PCI Audio (four-byte id)", 0x22, 4},
        {"0002", "Sonaris PCI Audio", 0x33, 2}, {"0003", "Sonaris PCI Audio", 0x44, 2}};
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kMediaClassKey);
    for (const auto &d : drivers) {
        const std::string path = std::string(kMediaClassKey) + "\\" + d.index;
        SetValue(HKEY_LOCAL_MACHINE, path, "DriverDesc", REG_BINARY, d.desc, static_cast<DWORD>(strlen(d.desc)));
        SetValue(HKEY_LOCAL_MACHINE, path + "\\Config", "ManufactureID", REG_BINARY, &d.id, d.idSize);
    }
    // The id read little-endian; case counts; the name found anywhere in the description.
    const std::pair<const char *, int> finds[] = {{"Sonaris", 0x33}, {"sonaris", 0}, {"", 0x11}, {"Audio", 0x11}, {"z", 0}};
    for (auto [name, id] : finds)
        EXPECT_EQ(id, FindDriverManufacturerId(name)) << name;
    RestorePackage();
}

} // namespace
