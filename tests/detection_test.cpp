// Card detection, the routing probe and DirectSound's defaults, under each
// Windows version the program must tell apart: the version is what
// GetVersionExA answers this program.
#include "harness.h"

#include "app/app.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string.h>

namespace {

const std::string kPci = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
const std::string kProfile = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001";
const std::string kProfilePci = kProfile + "\\" + kPci;
const std::string kCard = "\\VEN_1D7F&DEV_0560&SUBSYS_00011D7F&REV_01";
const std::string kOther = "\\VEN_8086&DEV_1234&SUBSYS_00000000&REV_02";

struct Version {
    DWORD platform, major, minor;
    bool nt5;
};
const Version kWin98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10, false}, kNt4 = {VER_PLATFORM_WIN32_NT, 4, 0, false},
              kWin2000 = {VER_PLATFORM_WIN32_NT, 5, 0, true}, kXp = {VER_PLATFORM_WIN32_NT, 5, 1, true},
              kServer2003 = {VER_PLATFORM_WIN32_NT, 5, 2, true}, kVista = {VER_PLATFORM_WIN32_NT, 6, 0, false};
const Version kVersions[] = {kWin98, kNt4, kWin2000, kXp, kServer2003, kVista};

// What this program's GetVersionExA answers, and the record size it was asked with.
const Version *version = &kXp;
DWORD askedSize;
BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA *info)
{
    askedSize = info->dwOSVersionInfoSize;
    if (askedSize != sizeof(OSVERSIONINFOA) && askedSize != sizeof(OSVERSIONINFOEXA))
        return FALSE;
    info->dwPlatformId = version->platform;
    info->dwMajorVersion = version->major;
    info->dwMinorVersion = version->minor;
    return TRUE;
}

// Registry writes and message boxes marked in the card's record, so that a
// trace shows them in order with the card's calls.
ImportHook *regSet, *messageBox;
LONG WINAPI MarkRegSet(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    VcLog("test.regset name=%s", name);
    return regSet->Original<decltype(&RegSetValueExA)>()(key, name, reserved, type, data, size);
}
int WINAPI MarkBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    VcLog("test.box");
    return messageBox->Original<decltype(&MessageBoxA)>()(owner, text, caption, style);
}

void CreateKey(const std::string &path)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key) == ERROR_SUCCESS)
        RegCloseKey(key);
}

const DWORD kAbsent = 99;

DWORD ReadDword(const std::string &path, const char *name)
{
    DWORD value = kAbsent, size = sizeof value;
    SHGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), name, nullptr, &value, &size);
    return value;
}

std::string Desc()
{
    return "size=" + std::to_string(sizeof(DSBUFFERDESC1));
}

class Detection : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        version = &kXp;
        askedSize = 0;
        VcReset();
        CleanRegistry();
    }
    void TearDown() override
    {
        CleanRegistry();
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets() + VcUsesAfterRelease());
        VcReset();
    }
    static void CleanRegistry()
    {
        for (const std::string &key : {kPci, kProfile, std::string("SOFTWARE\\Veltrona")})
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    }
    static void Card(VcChannelConfig offer)
    {
        VcDevice card;
        VcDefaultDevice(0, &card);
        card.channelConfig = offer;
        VcSetDevices(&card, 1);
    }
    ImportHook versionHook_{"kernel32.dll", "GetVersionExA", reinterpret_cast<const void *>(FakeGetVersionExA)};
    WaveFolder folder_;
};

// The probe's calls, in order: the probe buffer's question in modes Open and
// OpenRetry, then front left routed, played and stopped on the hidden window.
TEST_F(Detection, TheProbeAsksRoutesAndPlaysFrontLeftOnItsHiddenWindow)
{
    uint32_t crc, bytes;
    ASSERT_TRUE(WaveDataChecksum(folder_.File("fleft.wav"), &crc, &bytes));
    const std::string fleft = std::to_string(bytes);
    // WS_DISABLED alone: the system adds a caption and sibling clipping to a
    // top-level window of no other kind.
    const std::vector<std::string> routed = {
        "ds.coop class=\"TestSpeakers\" style=0xcc00000 level=1 hr=0x00000000",
        "ds.buffer " + Desc() + " flags=0x8094 bytes=" + fleft + " format=1/1/22050/44100/2/16 extra=0 hr=0x00000000 place=hardware",
        "buf.qi iid=IKsPropertySet hr=0x00000000",
        "ks.set set=Audio id=3 inst=0 size=4 value=0x00000001 hr=0x00000000",
        "buf.route mask=0x1",
        "ks.release",
        "buf.play dev=0 flags=0x0 bytes=" + fleft + " mask=0x1 hr=0x00000000",
        "buf.stop hr=0x00000000",
        "buf.release",
        "ds.release buffers=0",
    };
    const std::vector<std::string> asked = {
        "ds.buffer " + Desc() + " flags=0x8000 bytes=1025 format=1/1/22050/44100/2/16 extra=0 hr=0x00000000 place=hardware",
        "buf.qi iid=IKsPropertySet hr=0x00000000",
        "ks.support set=Audio id=3 support=0x3 hr=0x00000000",
        "ks.release",
        "buf.release",
    };
    for (ProbeMode mode : {Startup, Open, OpenRetry}) {
        SCOPED_TRACE(mode);
        size_t from = VcLogCount();
        EXPECT_TRUE(ProbeSpeakerRouting(mode));
        std::vector<std::string> expected = {"ds.create dev=0"};
        if (mode != Startup)
            expected.insert(expected.end(), asked.begin(), asked.end());
        expected.insert(expected.end(), routed.begin(), routed.end());
        EXPECT_EQ(expected, Trace(from));
        EXPECT_EQ(ERROR_SUCCESS, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKey)); // the probe made it
    }
    EXPECT_EQ(nullptr, FindWindowA("TestSpeakers", nullptr));
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
        {nullptr, 0, Open, true, "Could not load fleft.wav\n", 0},
    };
    char text[1024];
    LoadStringA(appInstance, IDS_NO_ACCELERATION, text, sizeof text);
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
            EXPECT_EQ(text, box.text);
            EXPECT_EQ(nullptr, box.owner);
            EXPECT_EQ(UINT(MB_ICONINFORMATION | MB_SETFOREGROUND), box.style);
        }
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets());
        VcClearFaults();
    }
}

// A channel configuration that cannot be set, whatever the driver answers:
// Open writes DirectSound's defaults (on Windows NT 5 only), OpenRetry tells
// the user; the probe buffer goes only after either.
TEST_F(Detection, WithoutASettableChannelConfigurationOpenWritesTheDefaultsAndOpenRetryExplains)
{
    const char *const instances[] = {"\\4&1234&0&0008\\DirectSound\\", "\\4&1234&0&0010\\DirectSound\\"};
    const struct {
        const char *subkey, *name;
        DWORD data;
    } values[] = {
        {"Device Presence", "Emulated", 1},   {"Device Presence", "VxD", 1},
        {"Device Presence", "WDM", 1},        {"Mixer Defaults", "Acceleration", 0},
        {"Mixer Defaults", "SRC Quality", 1}, {"Speaker Configuration", "Speaker Configuration", 6},
    };
    MessageBoxCapture boxes;
    ImportHook boxHook("user32.dll", "MessageBoxA", reinterpret_cast<const void *>(MarkBox));
    ImportHook setHook("advapi32.dll", "RegSetValueExA", reinterpret_cast<const void *>(MarkRegSet));
    messageBox = &boxHook;
    regSet = &setHook;
    for (const Version &v : {kXp, kVista}) {
        for (VcChannelConfig offer : {VcChannelConfigGetOnly, VcChannelConfigNoFlags, VcChannelConfigUnsupported}) {
            SCOPED_TRACE(testing::Message() << "NT 5: " << v.nt5 << ", offer " << offer);
            version = &v;
            CleanRegistry();
            Card(offer);
            for (const char *instance : instances)
                CreateKey(kProfilePci + kCard + instance);
            CreateKey(kProfilePci + kOther + "\\3&0");
            CreateKey(kPci + kCard + instances[0]);
            size_t from = VcLogCount();
            EXPECT_FALSE(ProbeSpeakerRouting(Open));
            std::vector<std::string> open = Trace(from, {"test.", "buf.release", "ds.release"});
            from = VcLogCount();
            EXPECT_FALSE(ProbeSpeakerRouting(OpenRetry));
            std::vector<std::string> retry = Trace(from, {"test.", "buf.release", "ds.release"});

            std::vector<std::string> written;
            for (int i = 0; v.nt5 && i < 2; ++i)
                for (const auto &e : values)
                    written.push_back(std::string("test.regset name=") + e.name);
            written.insert(written.end(), {"buf.release", "ds.release buffers=0"});
            EXPECT_EQ(written, open);
            EXPECT_EQ((std::vector<std::string>{"test.box", "buf.release", "ds.release buffers=0"}), retry);
            // Below every instance of the card in hardware profile 0001, and nowhere else.
            for (const char *instance : instances)
                for (const auto &e : values)
                    EXPECT_EQ(v.nt5 ? e.data : kAbsent, ReadDword(kProfilePci + kCard + instance + e.subkey, e.name));
            EXPECT_EQ(kAbsent, ReadDword(kProfilePci + kOther + "\\3&0\\DirectSound\\Device Presence", "WDM"));
            EXPECT_EQ(kAbsent, ReadDword(kPci + kCard + instances[0] + "Device Presence", "WDM"));
        }
    }
    // A driver that reports support without the set bit is the same.
    version = &kXp;
    VcBendCall("QuerySupport", 1, VcNoSetBit);
    EXPECT_FALSE(ProbeSpeakerRouting(OpenRetry));
}

// Windows NT 5 (2000, XP, Server 2003) finds the card by its PCI key alone;
// every other version asks DirectSound.
TEST_F(Detection, OnNt5ThePciKeyAloneFindsTheCardElsewhereDirectSoundDecides)
{
    for (const Version &v : kVersions) {
        SCOPED_TRACE(testing::Message() << v.platform << " " << v.major << "." << v.minor);
        version = &v;
        CleanRegistry();
        VcReset();
        StderrCapture err;
        EXPECT_EQ(!v.nt5, DetectSoundCard()); // no PCI key; a working device
        VcSetDevices(nullptr, 0);
        EXPECT_FALSE(DetectSoundCard());
        EXPECT_EQ(v.nt5 ? "" : "Could not open DirectSound\n", err.Text());
        EXPECT_EQ(v.nt5, VcLogFind("ds.create") == VcLogCount());
        // The identity in lower case is not the card. Key names are the same
        // to the registry whatever their case, so that key goes before the card's comes.
        CreateKey(kPci + "\\VEN_1d7f&DEV_0560&SUBSYS_00011D7F&REV_01");
        EXPECT_FALSE(DetectSoundCard());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPci.c_str());
        CreateKey(kPci + kOther);
        CreateKey(kPci + kCard);
        EXPECT_EQ(v.nt5, DetectSoundCard());
        EXPECT_EQ(sizeof(OSVERSIONINFOA), askedSize); // the 148-byte record
    }
}

} // namespace
