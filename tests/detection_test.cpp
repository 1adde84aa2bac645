// Card detection, the routing probe and DirectSound's defaults, under each
// Windows version the program must tell apart: the version is what
// GetVersionExA answers this program.
#include "harness.h"

#include "app/app.h"
#include "resource.h"
#include "speakers/detection.h"
#include "virtualcard/vclog.h"

#include <dsound.h>
#include <shlwapi.h>

namespace {

const std::string kCard = std::string(kCardPciKey).substr(strlen(kPciKey)); // "\VEN_1D7F&DEV_0560&..."
const std::string kOther = "\\VEN_8086&DEV_1234&SUBSYS_00000000&REV_02";

void CreateKey(const std::string &path) { SetValue(HKEY_LOCAL_MACHINE, path, "", REG_SZ, "", 1); }

class Detection : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        VcReset();
    }
    void TearDown() override { RestorePackage(); }
    FakeVersion version_{kXp};
    WaveFolder folder_;
};

// The probe's calls, in order: the probe buffer's question in modes Open and
// OpenRetry, then front left routed, played and stopped on the hidden window,
// which is gone afterwards with its class, but for a class that was already
// registered. Each mode makes the driver key when it is missing.
TEST_F(Detection, TheProbeAsksRoutesAndPlaysFrontLeftOnItsHiddenWindow)
{
    uint32_t crc, bytes;
    ASSERT_TRUE(WaveDataChecksum(folder_.File("fleft.wav"), &crc, &bytes));
    const std::string fleft = std::to_string(bytes), desc = "size=" + std::to_string(sizeof(DSBUFFERDESC1));
    // WS_DISABLED alone and no extended style: the system adds a caption,
    // sibling clipping and the window edge to a top-level window of no other kind.
    const std::vector<std::string> routed = {
        "ds.coop class=\"TestSpeakers\" style=0xcc00000 exstyle=0x100 level=1 hr=0x00000000",
        "ds.buffer " + desc + " flags=0x8094 bytes=" + fleft + " reserved=0 format=1/1/22050/44100/2/16 extra=0 hr=0x00000000 place=hardware",
        "buf.qi iid=IKsPropertySet hr=0x00000000",
        "ks.set set=Audio id=3 inst=0 size=4 value=0x00000001 hr=0x00000000",
        "buf.route mask=0x1",
        "ks.release",
        "buf.play dev=0 reserved=0 priority=0 flags=0x0 bytes=" + fleft + " mask=0x1 hr=0x00000000",
        "buf.stop hr=0x00000000",
        "buf.release",
        "ds.release buffers=0",
    };
    const std::vector<std::string> asked = {
        "ds.buffer " + desc + " flags=0x8000 bytes=1025 reserved=0 format=1/1/22050/44100/2/16 extra=0 hr=0x00000000 place=hardware",
        "buf.qi iid=IKsPropertySet hr=0x00000000",
        "ks.support set=Audio id=3 support=0x3 hr=0x00000000",
        "ks.release",
        "buf.release",
    };
    WNDCLASSA existing = {0, DefWindowProcA, 0, 0, appInstance, nullptr, nullptr, nullptr, nullptr, "TestSpeakers"};
    for (ProbeMode mode : {Startup, Open, OpenRetry}) {
        SCOPED_TRACE(mode);
        if (mode == OpenRetry)
            ASSERT_NE(0, RegisterClassA(&existing));
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKeyPath);
        size_t from = VcLogCount();
        EXPECT_TRUE(ProbeSpeakerRouting(mode));
        std::vector<std::string> expected = {"ds.create dev=0"};
        if (mode != Startup)
            expected.insert(expected.end(), asked.begin(), asked.end());
        expected.insert(expected.end(), routed.begin(), routed.end());
        EXPECT_EQ(expected, Trace(from));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKeyPath));
        EXPECT_EQ(mode == OpenRetry, GetClassInfoA(appInstance, "TestSpeakers", &existing) != 0);
    }
    UnregisterClassA("TestSpeakers", appInstance);
}

TEST_F(Detection, ProbeFailuresWriteTheirLinesAndReportAsTheModeSays)
{
    const struct {
        const char *method; // null: the test file is missing
        HRESULT result;
        ProbeMode mode;
        bool routed;
        const char *line;
        size_t boxes;
    } steps[] = {
        {"DirectSoundCreate", DSERR_NODRIVER, Open, false, "Could not open DirectSound\n", 0},
        {"CreateSoundBuffer", DSERR_GENERIC, Open, false, "Could not create test buffer\n", 1},
        {"CreateSoundBuffer", DSERR_GENERIC, OpenRetry, false, "Could not create test buffer\n", 1},
        {"QueryInterface", E_NOINTERFACE, OpenRetry, false, "No IKsPropertySet interface available\n", 0},
        {"SetCooperativeLevel", DSERR_INVALIDCALL, Startup, true, "SetCooperativeLevel failed (88780032)\n", 0},
        {"Set", DSERR_INVALIDPARAM, Open, true, "Set failed\n", 0},
        {"QueryInterface", E_NOINTERFACE, Startup, true, "", 0}, // the sound's own: played unrouted
        {nullptr, 0, Open, true, "Could not load fleft.wav\n", 0},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.line);
        MessageBoxCapture boxes;
        StderrCapture err;
        if (step.method)
            VcFailCall(step.method, 1, step.result);
        else
            folder_.Remove("fleft.wav");
        EXPECT_EQ(step.routed, ProbeSpeakerRouting(step.mode));
        EXPECT_EQ(step.line, err.Text());
        ASSERT_EQ(step.boxes, boxes.Boxes().size());
        for (const CapturedBox &box : boxes.Boxes()) {
            EXPECT_EQ(LoadText(IDS_NO_ACCELERATION), box.text);
            EXPECT_EQ(nullptr, box.owner);
            EXPECT_EQ(UINT(MB_ICONINFORMATION | MB_SETFOREGROUND), box.style);
        }
        VcClearFaults();
    }
}

// A channel configuration that cannot be set, whatever the driver answers:
// Open writes DirectSound's defaults (on Windows NT 5 only) below every
// instance of the card in hardware profile 0001 and nowhere else; OpenRetry
// tells the user. A device, an instance or a subkey of the defaults that
// cannot be opened or made skips only itself. Devices and instances go in
// the registry's order: the device holding the card's identity inside its
// name, with nothing after it; the card's device of subsystem 0001 with
// instance 3&0; the one of subsystem 0560 with two.
TEST_F(Detection, WithoutASettableChannelConfigurationOpenWritesTheDefaultsAndOpenRetryExplains)
{
    const std::string other = std::string(kProfilePciKey) + "\\VEN_1D7F&DEV_0560&SUBSYS_00011D7F&REV_01",
                      instances[] = {std::string(kProfilePciKey) + "\\PCI&VEN_1D7F&DEV_0560\\3&0", other + "\\3&0",
                                     kProfilePciKey + kCard + "\\4&1234&0&0008",
                                     kProfilePciKey + kCard + "\\4&1234&0&0010"};
    const struct {
        const char *subkey, *name;
        DWORD data;
    } values[] = {
        {"Device Presence", "Emulated", 1},   {"Device Presence", "VxD", 1},
        {"Device Presence", "WDM", 1},        {"Mixer Defaults", "Acceleration", 0},
        {"Mixer Defaults", "SRC Quality", 1}, {"Speaker Configuration", "Speaker Configuration", 6},
    };
    // What each instance got: Device Presence, Mixer Defaults, Speaker Configuration.
    // Refused: a device or an instance below the profile's listing, or a
    // subkey below every instance.
    const struct { WindowsVersion version; VcChannelConfig offer; std::string refused; const char *written; } rows[] = {
        {kXp, VcChannelConfigGetOnly, "", "DMS DMS DMS DMS"}, {kVista, VcChannelConfigGetOnly, "", "--- --- --- ---"},
        {kXp, VcChannelConfigNoFlags, "", "DMS DMS DMS DMS"}, {kVista, VcChannelConfigNoFlags, "", "--- --- --- ---"},
        {kXp, VcChannelConfigUnsupported, "", "DMS DMS DMS DMS"}, {kVista, VcChannelConfigUnsupported, "", "--- --- --- ---"},
        {kXp, VcChannelConfigUnsupported, "\\VEN_1D7F&DEV_0560&SUBSYS_00011D7F&REV_01", "DMS --- DMS DMS"},
        {kXp, VcChannelConfigUnsupported, kCard + "\\4&1234&0&0008", "DMS DMS --- DMS"},
        {kXp, VcChannelConfigUnsupported, "DirectSound\\Device Presence", "-MS -MS -MS -MS"},
        {kXp, VcChannelConfigUnsupported, "DirectSound\\Mixer Defaults", "D-S D-S D-S D-S"},
        {kXp, VcChannelConfigUnsupported, "DirectSound\\Speaker Configuration", "DM- DM- DM- DM-"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        version_.version = row.version;
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kProfilePciKey);
        VcDevice card;
        VcDefaultDevice(0, &card);
        card.channelConfig = row.offer;
        VcSetDevices(&card, 1);
        for (const std::string &instance : instances) {
            CreateKey(instance);
            if (row.refused[0] == 'D')
                CreateKey(instance + "\\" + row.refused), Forbid(instance + "\\" + row.refused);
        }
        if (row.refused[0] == '\\')
            Forbid(kProfilePciKey + row.refused);
        CreateKey(kProfilePciKey + kOther + "\\3&0");
        MessageBoxCapture boxes;
        EXPECT_FALSE(ProbeSpeakerRouting(Open));
        for (size_t i = 0; i < 4; ++i)
            for (const auto &e : values) {
                const std::string key = instances[i] + "\\DirectSound\\" + e.subkey;
                const bool written = std::string(row.written + 4 * i, 3).find(e.subkey[0]) != std::string::npos;
                EXPECT_EQ(written ? e.data : 99, GetDword(HKEY_LOCAL_MACHINE, key, e.name, 99)) << key;
                if (!written)
                    continue;
                // Only below a key that outlives a restart of Windows can a lasting key be made.
                HKEY lasting = nullptr;
                EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (key + "\\L").c_str(), 0, nullptr,
                                                         REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &lasting, nullptr));
                RegCloseKey(lasting);
            }
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProfilePciKey + kOther + "\\3&0\\DirectSound"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kCardPciKey) + "\\4&1234&0&0008"));
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_FALSE(ProbeSpeakerRouting(OpenRetry));
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(LoadText(IDS_NO_ACCELERATION), boxes.Boxes()[0].text);
    }
    // A driver that reports support without the set bit is the same.
    MessageBoxCapture boxes;
    VcBendCall("QuerySupport", 1, VcNoSetBit);
    EXPECT_FALSE(ProbeSpeakerRouting(OpenRetry));
    EXPECT_EQ(1u, boxes.Boxes().size());
}

// Windows NT 5 (2000, XP, Server 2003) finds the card by its PCI key alone,
// asking for the 148-byte version record; every other version asks DirectSound.
TEST_F(Detection, OnNt5ThePciKeyAloneFindsTheCardElsewhereDirectSoundDecides)
{
    const struct { WindowsVersion version; bool nt5; } versions[] = {
        {kWin98, false}, {kNt4, false}, {kWin2000, true}, {kXp, true}, {kServer2003, true}, {kVista, false}};
    for (const auto &v : versions) {
        SCOPED_TRACE(testing::Message() << v.version.platform << " " << v.version.major << "." << v.version.minor);
        version_.version = v.version;
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPciKey);
        VcReset();
        StderrCapture err;
        EXPECT_EQ(!v.nt5, DetectSoundCard()); // no PCI key; a working device
        VcSetDevices(nullptr, 0);
        EXPECT_FALSE(DetectSoundCard());
        EXPECT_EQ(v.nt5 ? "" : "Could not open DirectSound\n", err.Text());
        EXPECT_EQ(v.nt5, VcLogFind("ds.create") == VcLogCount());
        // The identity in lower case is not the card. Key names are the same
        // to the registry whatever their case, so that key goes before the card's comes.
        CreateKey(std::string(kPciKey) + "\\VEN_1d7f&DEV_0560&SUBSYS_00011D7F&REV_01");
        EXPECT_FALSE(DetectSoundCard());
        // The identity inside a name or alone, after another device.
        for (std::string card : {kCard, std::string("\\PCI&VEN_1D7F&DEV_0560&SUBSYS_05601D7F"), std::string("\\VEN_1D7F&DEV_0560")}) {
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPciKey);
            CreateKey(kPciKey + kOther);
            CreateKey(kPciKey + card);
            EXPECT_EQ(v.nt5, DetectSoundCard()) << card;
        }
        EXPECT_EQ(sizeof(OSVERSIONINFOA), version_.askedSize);
    }
}

} // namespace
