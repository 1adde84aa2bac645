// Messages, the driver connection and the device list, and the speaker
// configuration, against the virtual card's DirectSound and Wine's registry.
#include "capture.h"

#include "app/app.h"
#include "app/messages.h"
#include "panel/driver.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string.h>

namespace {

class CardTest : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        LoadMessageCaption();
        VcReset();
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window_);
        EXPECT_EQ(0, VcLiveDirectSounds());
        EXPECT_EQ(0, VcLiveBuffers());
        EXPECT_EQ(0, VcLivePropertySets());
        VcReset();
    }
    std::string Text(UINT id)
    {
        char text[1024];
        ::LoadStringA(appInstance, id, text, sizeof text);
        return text;
    }
    HWND window_ = nullptr;
};

// --- Messages ---------------------------------------------------------------

using Messages = CardTest;

TEST_F(Messages, SoundErrorTextNamesKnownCodesAndFormatsOthers)
{
    EXPECT_STREQ("OK", SoundErrorText(0));
    EXPECT_STREQ("The buffer memory has been lost, and must be restored.", SoundErrorText(DSERR_BUFFERLOST));
    EXPECT_EQ(Text(IDS_DSERR_NOINTERFACE), SoundErrorText(static_cast<HRESULT>(0x80004002)));
    EXPECT_STREQ("Unknown error 12345678 (305419896)", SoundErrorText(0x12345678));
    EXPECT_STREQ("Unknown error 80000000 (-2147483648)", SoundErrorText(static_cast<HRESULT>(0x80000000)));
    // One shared buffer, overwritten by the next call.
    const char *first = SoundErrorText(0);
    SoundErrorText(DSERR_NODRIVER);
    EXPECT_STREQ("No sound driver is available for use", first);
}

TEST_F(Messages, ReportSoundErrorShowsContextAndQuotedTextOnlyWhenAsked)
{
    MessageBoxCapture boxes;
    ReportSoundError(DSERR_BADFORMAT, "CreateSoundBuffer error", 0);
    EXPECT_TRUE(boxes.Boxes().empty());

    ReportSoundError(DSERR_BADFORMAT, "CreateSoundBuffer error", 1);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ("Sonaris Control Panel", boxes.Boxes()[0].caption);
    EXPECT_EQ("CreateSoundBuffer error:\n\"The specified WAVE format is not supported\"",
              boxes.Boxes()[0].text);
    EXPECT_EQ(nullptr, boxes.Boxes()[0].owner);
}

TEST_F(Messages, ReportSoundErrorKeepsALongReportWithinItsBuffer)
{
    MessageBoxCapture boxes;
    std::string context(240, 'c');
    ReportSoundError(DSERR_GENERIC, context.c_str(), 1);
    ASSERT_EQ(1u, boxes.Boxes().size());
    const std::string &text = boxes.Boxes()[0].text;
    EXPECT_LE(text.size(), 255u);
    EXPECT_EQ(context + ":\n\"", text.substr(0, context.size() + 3));
    EXPECT_EQ('"', text.back());
}

TEST_F(Messages, ShowMessageUsesTheStringTheOwnerAndTheSharedCaption)
{
    MessageBoxCapture boxes;
    ShowMessage(window_, IDS_NO_DRIVER, MB_OK);
    ShowMessage(nullptr, 9999, MB_ICONINFORMATION); // no such string: empty text
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ("No Sonaris driver was installed.", boxes.Boxes()[0].text);
    EXPECT_EQ("Sonaris Control Panel", boxes.Boxes()[0].caption);
    EXPECT_EQ(window_, boxes.Boxes()[0].owner);
    EXPECT_EQ("", boxes.Boxes()[1].text);
}

// --- Driver connection ------------------------------------------------------

using Connection = CardTest;

TEST_F(Connection, OpensAPropertySetThatOutlivesItsBufferAndClosesPropertySetFirst)
{
    DriverConnection c = {};
    ASSERT_EQ(0, OpenDriverConnection(nullptr, window_, &c.directSound, &c.propertySet, 1));
    ASSERT_NE(nullptr, c.directSound);
    ASSERT_NE(nullptr, c.propertySet);
    EXPECT_EQ(1, VcLiveDirectSounds());
    EXPECT_EQ(1, VcLiveBuffers()); // kept alive by the property set alone
    EXPECT_EQ(1, VcLivePropertySets());

    size_t buffer = VcLogFind("ds.buffer");
    ASSERT_LT(buffer, VcLogCount());
    char field[64];
    ASSERT_TRUE(VcLogField(VcLogLine(buffer), "size", field, sizeof field));
    EXPECT_EQ(std::to_string(sizeof(DSBUFFERDESC1)), field); // 20 on 32-bit Windows
    ASSERT_TRUE(VcLogField(VcLogLine(buffer), "flags", field, sizeof field));
    EXPECT_STREQ("0x14", field);
    ASSERT_TRUE(VcLogField(VcLogLine(buffer), "bytes", field, sizeof field));
    EXPECT_STREQ("1024", field);
    ASSERT_TRUE(VcLogField(VcLogLine(buffer), "format", field, sizeof field));
    EXPECT_STREQ("1/1/22050/44100/2/16", field);

    size_t mark = VcLogCount();
    CloseDriverConnection(&c);
    EXPECT_LT(VcLogFind("ks.release", mark), VcLogFind("ds.release", mark));
}

TEST_F(Connection, EachFailingStepReleasesWhatItMadeAndReportsOnlyWhenAsked)
{
    struct Step {
        const char *method;
        const char *context;
    };
    const Step steps[] = {
        {"DirectSoundCreate", "DirectSoundCreate error"},
        {"SetCooperativeLevel", "SetCooperativeLevel error"},
        {"CreateSoundBuffer", "CreateSoundBuffer error"},
        {"QueryInterface", "Sound driver does not support 3d hardware:"},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.method);
        for (int report = 0; report <= 1; ++report) {
            VcClearFaults();
            VcFailCall(step.method, 1, DSERR_GENERIC);
            MessageBoxCapture boxes;
            IDirectSound *ds = reinterpret_cast<IDirectSound *>(1);
            IKsPropertySet *ps = nullptr;
            EXPECT_EQ(DSERR_GENERIC, OpenDriverConnection(nullptr, window_, &ds, &ps, report));
            EXPECT_EQ(nullptr, ds);
            EXPECT_EQ(0, VcLiveDirectSounds());
            EXPECT_EQ(0, VcLiveBuffers());
            if (report) {
                ASSERT_EQ(1u, boxes.Boxes().size());
                EXPECT_EQ(std::string(step.context) + ":\n\"" + SoundErrorText(DSERR_GENERIC) + "\"",
                          boxes.Boxes()[0].text);
            } else {
                EXPECT_TRUE(boxes.Boxes().empty());
            }
        }
    }
}

TEST_F(Connection, ADeviceWithoutHardware3DBuffersFailsAtTheBufferSilently)
{
    VcDevice devices[2];
    VcDefaultDevice(0, &devices[0]);
    VcDefaultDevice(1, &devices[1]);
    devices[1].hardware3D = false;
    ASSERT_TRUE(VcSetDevices(devices, 2));

    MessageBoxCapture boxes;
    IDirectSound *ds = nullptr;
    IKsPropertySet *ps = nullptr;
    HRESULT hr = OpenDriverConnection(&devices[1].guid, window_, &ds, &ps, 0);
    EXPECT_LT(hr, 0);
    EXPECT_EQ(nullptr, ds);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_LT(VcLogFind("ds.buffer"), VcLogCount()); // it got as far as the buffer
}

TEST_F(Connection, EnumerationSkipsThePrimaryEntryAndFailingDevicesAndKeepsTen)
{
    soundDeviceCount = 0;
    HWND window = window_;
    ASSERT_EQ(DS_OK, DirectSoundEnumerateA(EnumerateSoundDevice, &window));
    ASSERT_EQ(1, soundDeviceCount);
    EXPECT_TRUE(IsEqualGUID(VcDefaultDeviceGuid(0), soundDevices[0]));

    VcDevice devices[12];
    for (int i = 0; i < 12; ++i)
        VcDefaultDevice(i, &devices[i]);
    ASSERT_TRUE(VcSetDevices(devices, 12));
    // The second device cannot make the probe's buffer: it is skipped.
    VcFailCall("CreateSoundBuffer", 2, DSERR_GENERIC);
    soundDeviceCount = 0;
    VcLogClear();
    ASSERT_EQ(DS_OK, DirectSoundEnumerateA(EnumerateSoundDevice, &window));
    ASSERT_EQ(10, soundDeviceCount);
    EXPECT_TRUE(IsEqualGUID(devices[0].guid, soundDevices[0]));
    EXPECT_TRUE(IsEqualGUID(devices[2].guid, soundDevices[1]));
    EXPECT_TRUE(IsEqualGUID(devices[10].guid, soundDevices[9]));
    // The enumeration went on to the twelfth device.
    std::string last;
    for (size_t i = VcLogFind("ds.enumerate.device"); i < VcLogCount();
         i = VcLogFind("ds.enumerate.device", i + 1)) {
        char index[16] = "";
        VcLogField(VcLogLine(i), "index", index, sizeof index);
        last = index;
    }
    EXPECT_EQ("11", last);
    soundDeviceCount = 0;
}

// --- Speaker configuration --------------------------------------------------

using SpeakerLayout = CardTest;

TEST_F(SpeakerLayout, RoundTripsThroughDirectSoundAsTheCardStoresIt)
{
    struct Case {
        uint8_t written;
        DWORD stored;
        uint8_t read;
    };
    const Case cases[] = {{2, 4, 2}, {3, 4, 2}, {4, 3, 4}, {6, 6, 6}, {5, 4, 2}, {0, 4, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.written);
        ASSERT_TRUE(WriteSpeakerLayout(c.written));
        EXPECT_EQ(c.stored, VcSpeakerConfig(0));
        uint8_t layout = 99;
        ASSERT_TRUE(ReadSpeakerLayout(&layout));
        EXPECT_EQ(c.read, layout);
    }
}

TEST_F(SpeakerLayout, GeometryBitsReadAsStereo)
{
    IDirectSound *ds = nullptr;
    ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &ds, nullptr));
    ds->SetSpeakerConfig(DSSPEAKER_COMBINED(DSSPEAKER_QUAD, DSSPEAKER_GEOMETRY_WIDE));
    ds->Release();
    uint8_t layout = 0;
    ASSERT_TRUE(ReadSpeakerLayout(&layout));
    EXPECT_EQ(2, layout);
}

TEST_F(SpeakerLayout, FailuresGoToTheDebuggerAndChangeNothing)
{
    DebugOutputCapture debug;
    uint8_t layout = 77;
    VcFailCall("DirectSoundCreate", 1, DSERR_NODRIVER);
    EXPECT_FALSE(ReadSpeakerLayout(&layout));
    VcFailCall("GetSpeakerConfig", 1, DSERR_GENERIC);
    EXPECT_FALSE(ReadSpeakerLayout(&layout));
    EXPECT_EQ(77, layout);
    VcFailCall("DirectSoundCreate", 1, DSERR_NODRIVER);
    EXPECT_FALSE(WriteSpeakerLayout(6));
    VcFailCall("SetSpeakerConfig", 1, DSERR_GENERIC);
    EXPECT_FALSE(WriteSpeakerLayout(6));
    EXPECT_EQ(4u, VcSpeakerConfig(0));
    const std::vector<std::string> expected = {"DirectSoundCreate error", "Get speaker config error",
                                               "DirectSoundCreate error", "Set speaker config error"};
    EXPECT_EQ(expected, debug.Lines());
}

// --- Driver limits and the media class key ------------------------------------

class Registry : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kClassKey);
    }
    static HKEY Create(const char *path)
    {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        return key;
    }
    static void Set(HKEY key, const char *name, DWORD type, const void *data, DWORD size)
    {
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    }
    // A media driver subkey with a description and a ManufactureID of size bytes.
    static void AddDriver(const char *index, const char *description, WORD id, DWORD size)
    {
        std::string path = std::string(kClassKey) + "\\" + index;
        HKEY driver = Create(path.c_str());
        Set(driver, "DriverDesc", REG_SZ, description, static_cast<DWORD>(strlen(description) + 1));
        RegCloseKey(driver);
        HKEY config = Create((path + "\\Config").c_str());
        DWORD value = id;
        Set(config, "ManufactureID", REG_BINARY, &value, size);
        RegCloseKey(config);
    }
    static constexpr const char *kClassKey =
        "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
};

TEST_F(Registry, SpeakerLimitsComeFromTheFirstByteOfEachValue)
{
    uint8_t maxSpeakers = 9;
    stereoX2Allowed = 7;
    EXPECT_FALSE(ReadSpeakerLimits(&maxSpeakers)); // no driver key
    EXPECT_EQ(9, maxSpeakers);
    EXPECT_EQ(7, stereoX2Allowed);

    HKEY key = Create("SOFTWARE\\Veltrona\\Wdm560");
    EXPECT_TRUE(ReadSpeakerLimits(&maxSpeakers)); // key without values
    EXPECT_EQ(2, maxSpeakers);
    EXPECT_EQ(0, stereoX2Allowed);

    DWORD six = 6, on = 0x101;
    Set(key, "MaxSpeakers", REG_DWORD, &six, 4);
    Set(key, "StereoX2", REG_DWORD, &on, 4);
    EXPECT_TRUE(ReadSpeakerLimits(&maxSpeakers));
    EXPECT_EQ(6, maxSpeakers);
    EXPECT_EQ(1, stereoX2Allowed);

    // The type plays no part: the digit's character code counts.
    Set(key, "MaxSpeakers", REG_SZ, "6", 2);
    RegDeleteValueA(key, "StereoX2");
    EXPECT_TRUE(ReadSpeakerLimits(&maxSpeakers));
    EXPECT_EQ('6', maxSpeakers);
    EXPECT_EQ(0, stereoX2Allowed);

    // Too long for the 4-byte buffer: as if missing.
    const BYTE eight[8] = {4};
    Set(key, "MaxSpeakers", REG_BINARY, eight, sizeof eight);
    EXPECT_TRUE(ReadSpeakerLimits(&maxSpeakers));
    EXPECT_EQ(2, maxSpeakers);
    RegCloseKey(key);
}

TEST_F(Registry, ManufacturerIdOfTheFirstMatchingDriverWithATwoByteId)
{
    EXPECT_EQ(0, FindDriverManufacturerId("Sonaris"));
    AddDriver("0000", "Other Audio", 0x11, 2);
    AddDriver("0001", "Sonaris PCI Audio (four-byte id)", 0x22, 4);
    AddDriver("0002", "Sonaris PCI Audio", 0x33, 2);
    AddDriver("0003", "Sonaris PCI Audio", 0x44, 2);
    EXPECT_EQ(0x33, FindDriverManufacturerId("Sonaris"));
    EXPECT_EQ(0, FindDriverManufacturerId("sonaris")); // case counts
    EXPECT_EQ(0x11, FindDriverManufacturerId(""));
}

TEST_F(Registry, ADescriptionFillingItsBufferIsStillSearchedSafely)
{
    // 256 characters and no terminator in what the buffer holds.
    std::string path = std::string(kClassKey) + "\\0000";
    HKEY driver = Create(path.c_str());
    std::string text(256, 'x');
    Set(driver, "DriverDesc", REG_BINARY, text.data(), 256);
    RegCloseKey(driver);
    HKEY config = Create((path + "\\Config").c_str());
    WORD id = 0x55;
    Set(config, "ManufactureID", REG_BINARY, &id, 2);
    RegCloseKey(config);
    EXPECT_EQ(0x55, FindDriverManufacturerId("xxx"));
    EXPECT_EQ(0, FindDriverManufacturerId("y"));
}

} // namespace
