// Card detection, the routing probe and DirectSound's defaults, on Windows NT 5
// and on other versions. The program runs itself again under the Windows
// version its --windows argument names (Wine's per-program setting), so one
// program covers win98, win2k and winxp.
#include "capture.h"
#include "waves.h"

#include "app/app.h"
#include "app/messages.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string.h>

namespace {

const char kPci[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
const char kProfilePci[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001\\System\\CurrentControlSet\\Enum\\PCI";
const char kCardDevice[] = "VEN_1D7F&DEV_0560&SUBSYS_00011D7F&REV_01";

bool IsNt5()
{
    OSVERSIONINFOA v = {sizeof v};
    GetVersionExA(&v);
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion == 5;
}

void CreateKey(const char *path)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

bool ReadDword(const std::string &path, const char *name, DWORD *value)
{
    DWORD size = sizeof *value;
    return SHGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), name, nullptr, value, &size) == ERROR_SUCCESS;
}

class Detection : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        LoadMessageCaption();
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
        EXPECT_EQ(0, VcLiveDirectSounds());
        EXPECT_EQ(0, VcLiveBuffers());
        EXPECT_EQ(0, VcLivePropertySets());
        VcReset();
    }
    static void CleanRegistry()
    {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPci);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001");
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
    }
    // The card's device with two instances in hardware profile 0001, and a
    // device of another vendor with one.
    static void AddProfileDevices()
    {
        for (const char *instance : {"\\4&1234&0&0008", "\\4&1234&0&0010"})
            CreateKey((std::string(kProfilePci) + "\\" + kCardDevice + instance).c_str());
        CreateKey((std::string(kProfilePci) + "\\VEN_8086&DEV_1234&SUBSYS_00000000&REV_02\\3&0").c_str());
    }
    static void WithoutChannelConfig()
    {
        VcDevice card;
        VcDefaultDevice(0, &card);
        card.channelConfig = false;
        VcSetDevices(&card, 1);
    }
    TempFolder folder_;
    char previous_[MAX_PATH];
};

TEST_F(Detection, StartupProbeRoutesFrontLeftAndCreatesTheDriverKey)
{
    EXPECT_TRUE(ProbeSpeakerRouting(Startup));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona\\Wdm560", 0, KEY_READ, &key));
    DWORD values = 99;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    EXPECT_EQ(0u, values);
    RegCloseKey(key);
    size_t route = VcLogFind("buf.route");
    ASSERT_LT(route, VcLogCount());
    char mask[16];
    VcLogField(VcLogLine(route), "mask", mask, sizeof mask);
    EXPECT_STREQ("0x1", mask);
    EXPECT_LT(route, VcLogFind("buf.play", route));
    EXPECT_LT(VcLogFind("buf.play", route), VcLogFind("buf.stop", route));
    // No channel-configuration check at start-up.
    EXPECT_EQ(VcLogCount(), VcLogFind("ks.support"));
}

TEST_F(Detection, ProbeFailuresWriteTheirLinesAndReportAsTheModeSays)
{
    MessageBoxCapture boxes;
    {
        StderrCapture err;
        VcFailCall("DirectSoundCreate", 1, DSERR_NODRIVER);
        EXPECT_FALSE(ProbeSpeakerRouting(Open));
        EXPECT_EQ("Could not open DirectSound\n", err.Text());
    }
    {
        StderrCapture err;
        VcFailCall("CreateSoundBuffer", 1, DSERR_GENERIC);
        EXPECT_FALSE(ProbeSpeakerRouting(Open));
        EXPECT_EQ("Could not create test buffer\n", err.Text());
    }
    ASSERT_EQ(1u, boxes.Boxes().size()); // message 62 even in mode Open
    char text[1024];
    LoadStringA(appInstance, IDS_NO_ACCELERATION, text, sizeof text);
    EXPECT_EQ(text, boxes.Boxes()[0].text);
    EXPECT_EQ(nullptr, boxes.Boxes()[0].owner);
    {
        StderrCapture err;
        VcFailCall("QueryInterface", 1, E_NOINTERFACE);
        EXPECT_FALSE(ProbeSpeakerRouting(OpenRetry));
        EXPECT_EQ("No IKsPropertySet interface available\n", err.Text());
    }
    {
        // What cannot stop the probe: a refused level, a missing file.
        StderrCapture err;
        VcFailCall("SetCooperativeLevel", 1, DSERR_INVALIDCALL);
        EXPECT_TRUE(ProbeSpeakerRouting(Startup));
        DeleteFileA(folder_.File("fleft.wav").c_str());
        EXPECT_TRUE(ProbeSpeakerRouting(Open));
        EXPECT_EQ("SetCooperativeLevel failed (88780032)\nCould not load fleft.wav\n", err.Text());
    }
    EXPECT_EQ(1u, boxes.Boxes().size());
}

TEST_F(Detection, WithoutChannelConfigurationOpenIsSilentAndOpenRetryExplains)
{
    WithoutChannelConfig();
    AddProfileDevices();
    MessageBoxCapture boxes;
    EXPECT_FALSE(ProbeSpeakerRouting(Open));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(ProbeSpeakerRouting(OpenRetry));
    EXPECT_EQ(1u, boxes.Boxes().size());
    // Defaults are written by the Open probe on Windows NT 5 only.
    DWORD value = 0;
    std::string instance = std::string(kProfilePci) + "\\" + kCardDevice + "\\4&1234&0&0008";
    EXPECT_EQ(IsNt5(), ReadDword(instance + "\\DirectSound\\Device Presence", "WDM", &value));
}

TEST_F(Detection, DefaultsLandBelowEveryInstanceOfTheCardInProfile0001Only)
{
    if (!IsNt5())
        GTEST_SKIP() << "Windows NT 5 only";
    AddProfileDevices();
    CreateKey((std::string(kPci) + "\\" + kCardDevice + "\\4&1234&0&0008").c_str());
    WriteDirectSoundDefaults();
    struct Expected {
        const char *subkey, *name;
        DWORD data;
    };
    const Expected values[] = {
        {"Device Presence", "Emulated", 1}, {"Device Presence", "VxD", 1},
        {"Device Presence", "WDM", 1},      {"Mixer Defaults", "Acceleration", 0},
        {"Mixer Defaults", "SRC Quality", 1}, {"Speaker Configuration", "Speaker Configuration", 6},
    };
    for (const char *instance : {"\\4&1234&0&0008", "\\4&1234&0&0010"}) {
        std::string base = std::string(kProfilePci) + "\\" + kCardDevice + instance + "\\DirectSound\\";
        for (const Expected &e : values) {
            DWORD value = 99;
            EXPECT_TRUE(ReadDword(base + e.subkey, e.name, &value)) << base << e.subkey << " " << e.name;
            EXPECT_EQ(e.data, value) << e.name;
        }
    }
    DWORD value;
    EXPECT_FALSE(ReadDword(std::string(kProfilePci) + "\\VEN_8086&DEV_1234&SUBSYS_00000000&REV_02\\3&0"
                           "\\DirectSound\\Device Presence", "WDM", &value));
    EXPECT_FALSE(ReadDword(std::string(kPci) + "\\" + kCardDevice +
                           "\\4&1234&0&0008\\DirectSound\\Device Presence", "WDM", &value));
}

TEST_F(Detection, OnWindowsNt5TheCardIsFoundByItsPciKeyAlone)
{
    if (!IsNt5())
        GTEST_SKIP() << "Windows NT 5 only";
    EXPECT_FALSE(DetectSoundCard()); // no PCI key at all
    // The identity in lower case is not the card. Key names are the same to
    // the registry whatever their case, so that key goes before the card's comes.
    std::string lower = std::string(kPci) + "\\VEN_1d7f&DEV_0560&SUBSYS_00011D7F&REV_01";
    CreateKey(lower.c_str());
    EXPECT_FALSE(DetectSoundCard());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, lower.c_str());
    CreateKey((std::string(kPci) + "\\VEN_8086&DEV_1234&SUBSYS_00000000&REV_02").c_str());
    CreateKey((std::string(kPci) + "\\" + kCardDevice).c_str());
    EXPECT_TRUE(DetectSoundCard());
    EXPECT_EQ(VcLogCount(), VcLogFind("ds.create")); // DirectSound is not asked
}

TEST_F(Detection, OnOtherVersionsDirectSoundDecides)
{
    if (IsNt5())
        GTEST_SKIP() << "not on Windows NT 5";
    AddProfileDevices();
    EXPECT_TRUE(DetectSoundCard()); // no PCI key, but a working device
    VcSetDevices(nullptr, 0);
    StderrCapture err;
    EXPECT_FALSE(DetectSoundCard());
    EXPECT_EQ("Could not open DirectSound\n", err.Text());
    WriteDirectSoundDefaults();
    DWORD value;
    EXPECT_FALSE(ReadDword(std::string(kProfilePci) + "\\" + kCardDevice +
                           "\\4&1234&0&0008\\DirectSound\\Device Presence", "WDM", &value));
}

// Sets Wine's Windows version for this program and runs it again under it,
// unless it already runs under that version.
int RunUnderVersion(const char *version, int argc, char **argv)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + PathFindFileNameA(path);
    char current[16] = "";
    DWORD size = sizeof current;
    bool same = SHGetValueA(HKEY_CURRENT_USER, key.c_str(), "Version", nullptr, current, &size) == ERROR_SUCCESS &&
                lstrcmpA(current, version) == 0;
    if (same && GetEnvironmentVariableA("VT_DETECTION_CHILD", nullptr, 0))
        return -1; // this is the run under the version
    SHSetValueA(HKEY_CURRENT_USER, key.c_str(), "Version", REG_SZ, version, lstrlenA(version) + 1);
    SetEnvironmentVariableA("VT_DETECTION_CHILD", "1");
    std::string command = std::string("\"") + path + "\"";
    for (int i = 1; i < argc; ++i)
        command += std::string(" \"") + argv[i] + "\"";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi;
    char line[4096];
    lstrcpynA(line, command.c_str(), sizeof line);
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return 3;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 3;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--windows=", 10) == 0) {
            int code = RunUnderVersion(argv[i] + 10, argc, argv);
            if (code >= 0)
                return code;
        }
    }
    return RUN_ALL_TESTS();
}
