// Card detection, the routing probe and DirectSound's defaults, on Windows NT 5
// and on other versions. The program runs itself again under the Windows
// version its --windows argument names (Wine's per-program setting), so one
// program covers win98, win2k and winxp.
#include "capture.h"
#include "waves.h"

#include "app/app.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <process.h>
#include <stdlib.h>
#include <string.h>

namespace {

const std::string kPci = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
const std::string kProfile = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001";
const std::string kProfilePci = kProfile + "\\" + kPci;
const std::string kCard = "\\VEN_1D7F&DEV_0560&SUBSYS_00011D7F&REV_01";
const std::string kOther = "\\VEN_8086&DEV_1234&SUBSYS_00000000&REV_02";

bool IsNt5()
{
    OSVERSIONINFOA v = {sizeof v};
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion == 5;
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

class Detection : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        VcReset();
        CleanRegistry();
        CopyTestWaves(folder_);
        GetCurrentDirectoryA(sizeof previous_, previous_);
        SetCurrentDirectoryA(folder_.Path().c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(previous_);
        CleanRegistry();
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets());
        VcReset();
    }
    static void CleanRegistry()
    {
        for (const std::string &key : {kPci, kProfile, std::string("SOFTWARE\\Veltrona")})
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    }
    TempFolder folder_;
    char previous_[MAX_PATH];
};

TEST_F(Detection, StartupProbeRoutesFrontLeftAndCreatesTheDriverKey)
{
    EXPECT_TRUE(ProbeSpeakerRouting(Startup));
    EXPECT_EQ(ERROR_SUCCESS, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKey)); // it was there
    size_t play = VcLogFind("buf.play");
    ASSERT_LT(play, VcLogCount());
    EXPECT_NE(nullptr, strstr(VcLogLine(play), " mask=0x1 ")); // routed before it plays
    EXPECT_LT(play, VcLogFind("buf.stop", play));
    EXPECT_EQ(VcLogCount(), VcLogFind("ks.support")); // no channel-configuration check at start-up
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
        {"QueryInterface", E_NOINTERFACE, OpenRetry, false, "No IKsPropertySet interface available\n", 0},
        {"SetCooperativeLevel", DSERR_INVALIDCALL, Startup, true, "SetCooperativeLevel failed (88780032)\n", 0},
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
            DeleteFileA(folder_.File("fleft.wav").c_str());
        EXPECT_EQ(step.routed, ProbeSpeakerRouting(step.mode));
        EXPECT_EQ(step.line, err.Text());
        ASSERT_EQ(step.boxes, boxes.Boxes().size());
        for (const CapturedBox &box : boxes.Boxes())
            EXPECT_EQ(text, box.text);
    }
}

TEST_F(Detection, WithoutChannelConfigurationOpenWritesTheDefaultsOnNt5AndOpenRetryExplains)
{
    VcDevice card;
    VcDefaultDevice(0, &card);
    card.channelConfig = VcChannelConfigUnsupported;
    VcSetDevices(&card, 1);
    const char *const instances[] = {"\\4&1234&0&0008\\DirectSound\\", "\\4&1234&0&0010\\DirectSound\\"};
    for (const char *instance : instances)
        CreateKey(kProfilePci + kCard + instance);
    CreateKey(kProfilePci + kOther + "\\3&0");
    CreateKey(kPci + kCard + instances[0]);
    MessageBoxCapture boxes;
    EXPECT_FALSE(ProbeSpeakerRouting(Open));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(ProbeSpeakerRouting(OpenRetry));
    EXPECT_EQ(1u, boxes.Boxes().size());
    // Below every instance of the card in hardware profile 0001, and nowhere else.
    const struct {
        const char *subkey, *name;
        DWORD data;
    } values[] = {
        {"Device Presence", "Emulated", 1},   {"Device Presence", "VxD", 1},
        {"Device Presence", "WDM", 1},        {"Mixer Defaults", "Acceleration", 0},
        {"Mixer Defaults", "SRC Quality", 1}, {"Speaker Configuration", "Speaker Configuration", 6},
    };
    for (const char *instance : instances)
        for (const auto &e : values)
            EXPECT_EQ(IsNt5() ? e.data : kAbsent, ReadDword(kProfilePci + kCard + instance + e.subkey, e.name));
    EXPECT_EQ(kAbsent, ReadDword(kProfilePci + kOther + "\\3&0\\DirectSound\\Device Presence", "WDM"));
    EXPECT_EQ(kAbsent, ReadDword(kPci + kCard + instances[0] + "Device Presence", "WDM"));
}

TEST_F(Detection, OnNt5ThePciKeyAloneFindsTheCardElsewhereDirectSoundDecides)
{
    if (!IsNt5()) {
        EXPECT_TRUE(DetectSoundCard()); // no PCI key, but a working device
        VcSetDevices(nullptr, 0);
        StderrCapture err;
        EXPECT_FALSE(DetectSoundCard());
        EXPECT_EQ("Could not open DirectSound\n", err.Text());
        return;
    }
    EXPECT_FALSE(DetectSoundCard()); // no PCI key at all
    // The identity in lower case is not the card. Key names are the same to
    // the registry whatever their case, so that key goes before the card's comes.
    CreateKey(kPci + "\\VEN_1d7f&DEV_0560&SUBSYS_00011D7F&REV_01");
    EXPECT_FALSE(DetectSoundCard());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPci.c_str());
    CreateKey(kPci + kOther);
    CreateKey(kPci + kCard);
    EXPECT_TRUE(DetectSoundCard());
    EXPECT_EQ(VcLogCount(), VcLogFind("ds.create")); // DirectSound is not asked
}

} // namespace

// Under --windows=VERSION, sets Wine's Windows version for this program and
// runs it again, with the same arguments, under that version.
int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--windows=", 10) == 0 && !getenv("VT_DETECTION_CHILD")) {
            char path[MAX_PATH];
            GetModuleFileNameA(nullptr, path, sizeof path);
            std::string key = std::string("Software\\Wine\\AppDefaults\\") + PathFindFileNameA(path);
            SHSetValueA(HKEY_CURRENT_USER, key.c_str(), "Version", REG_SZ, argv[i] + 10, strlen(argv[i] + 10) + 1);
            _putenv("VT_DETECTION_CHILD=1");
            return static_cast<int>(_spawnv(_P_WAIT, path, argv));
        }
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
