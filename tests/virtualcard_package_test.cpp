// The card's installation as tools/wine-prefix makes it, read back through
// the ordinary Win32 calls the program uses: the profile file, the registry
// values, the Windows version this program is given, the package's libraries
// and wave files; then the support library's removal of it all.
//
// Run in a prefix made with:  --version win2k --no-channel-config
//                             --exe virtualcard_package_test.exe
#include "virtualcard/vcmixer.h"
#include "virtualcard/vthlp32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const char kPciIdentity[] = "VEN_1D7F&DEV_0560";
const char kMediaClass[] = "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
typedef DWORD(WINAPI *Dll32CallProc)(DWORD);
typedef DWORD(WINAPI *InstallHookProc)(const DWORD *);
typedef DWORD(WINAPI *RemoveHookProc)(void);

std::string Profile(const char *section, const char *key)
{
    char value[128];
    GetPrivateProfileStringA(section, key, "(none)", value, sizeof value, "SOUNDCFG.INI");
    return value;
}

bool KeyExists(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A value as raw bytes; the size read, or -1 when it cannot be read.
long ReadValue(HKEY root, const char *path, const char *name, void *data, DWORD size, DWORD *type = nullptr)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    LONG r = RegQueryValueExA(key, name, nullptr, type, static_cast<BYTE *>(data), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? static_cast<long>(size) : -1;
}

// Names of the subkeys of a key that hold the card's PCI identity, with the
// names of their instance subkeys.
int CardPciKeys(const char *path, char *name, size_t nameSize, int *instances)
{
    HKEY key;
    *instances = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    int found = 0;
    char sub[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof sub;
        if (RegEnumKeyExA(key, i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!strstr(sub, kPciIdentity))
            continue;
        ++found;
        snprintf(name, nameSize, "%s", sub);
        HKEY device;
        if (RegOpenKeyExA(key, sub, 0, KEY_READ, &device) == ERROR_SUCCESS) {
            DWORD count = 0;
            RegQueryInfoKeyA(device, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
            *instances += static_cast<int>(count);
            RegCloseKey(device);
        }
    }
    RegCloseKey(key);
    return found;
}

// The media driver whose description holds `text`: its subkey name, or "".
std::string MediaDriver(const char *text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMediaClass, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char sub[256];
    std::string found;
    for (DWORD i = 0; found.empty(); ++i) {
        DWORD length = sizeof sub;
        if (RegEnumKeyExA(key, i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        char path[512], desc[256] = "";
        snprintf(path, sizeof path, "%s\\%s", kMediaClass, sub);
        if (ReadValue(HKEY_LOCAL_MACHINE, path, "DriverDesc", desc, sizeof desc - 1) > 0 && strstr(desc, text))
            found = sub;
    }
    RegCloseKey(key);
    return found;
}

std::string SystemFile(const char *name)
{
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, sizeof dir);
    return std::string(dir) + "\\" + name;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The record of the package's libraries, from the file they append to.
class RecordFile {
public:
    RecordFile()
    {
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        snprintf(path, sizeof path, "%svcpackage-%lu.log", dir, GetCurrentProcessId());
        DeleteFileA(path);
        SetEnvironmentVariableA("VCARD_LOG", path);
    }
    ~RecordFile()
    {
        SetEnvironmentVariableA("VCARD_LOG", nullptr);
        DeleteFileA(path);
    }
    std::string Text() const
    {
        std::string text;
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return text;
        char chunk[512];
        DWORD got;
        while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
            text.append(chunk, got);
        CloseHandle(file);
        return text;
    }
    char path[MAX_PATH];
};

DWORD Le32(const unsigned char *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

WORD Le16(const unsigned char *p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

TEST(PackageInstall, ProfileFileDescribesTheDriver)
{
    EXPECT_EQ("Sonaris PCI Audio", Profile("DESCRIPTION", "DRIVERDESC"));
    EXPECT_NE("(none)", Profile("DESCRIPTION", "DRIVERVERSION"));
    EXPECT_EQ("VTAPLT.CPL", Profile("DESCRIPTION", "LOADER"));
    EXPECT_EQ("1", Profile("SPEAKERS", "FIRSTTIME"));
}

TEST(PackageInstall, DriverKeysHoldTheDriversValues)
{
    DWORD value = 0, type = 0;
    ASSERT_EQ(4, ReadValue(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", &value, 4, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(6u, value);
    ASSERT_EQ(4, ReadValue(HKEY_LOCAL_MACHINE, kDriverKey, "StereoX2", &value, 4));
    EXPECT_NE(0u, value);

    // The card's media driver, found by the profile's description, reports
    // the mixer's manufacturer id in two bytes.
    std::string driver = MediaDriver(Profile("DESCRIPTION", "DRIVERDESC").c_str());
    ASSERT_FALSE(driver.empty());
    EXPECT_NE("0000", driver); // another driver comes first
    std::string config = std::string(kMediaClass) + "\\" + driver + "\\Config";
    WORD mid = 0;
    ASSERT_EQ(2, ReadValue(HKEY_LOCAL_MACHINE, config.c_str(), "ManufactureID", &mid, 2));
    EXPECT_EQ(kVcCardMixerMid, mid);

    ASSERT_EQ(4, ReadValue(HKEY_LOCAL_MACHINE, kQ3DClassKey, "Latency", &value, 4));
    EXPECT_EQ(40u, value);
    EXPECT_EQ(4, ReadValue(HKEY_LOCAL_MACHINE, kQ3DClassKey, "Primary", &value, 4));
    EXPECT_EQ(4, ReadValue(HKEY_LOCAL_MACHINE, kQ3DClassKey, "Bypass", &value, 4));

    char preload[32] = "";
    DWORD preloadType = 0;
    ASSERT_GT(ReadValue(HKEY_CURRENT_USER, "Software\\QSound\\QSoft3d", "A3D preload", preload,
                        sizeof preload - 1, &preloadType), 0);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), preloadType);
    EXPECT_EQ(0x00600000ul, strtoul(preload, nullptr, 16));
}

TEST(PackageInstall, CardIsEnumeratedOnPciAndInHardwareProfile0001)
{
    char name[256] = "";
    int instances = 0;
    ASSERT_EQ(1, CardPciKeys("SYSTEM\\CurrentControlSet\\Enum\\PCI\\", name, sizeof name, &instances));
    EXPECT_EQ(name, strstr(name, kPciIdentity)); // named by vendor and device first
    EXPECT_TRUE(strstr(name, "&SUBSYS_") && strstr(name, "&REV_")) << name;
    EXPECT_EQ(1, instances);
    ASSERT_EQ(1, CardPciKeys(kProfilePciEnumKey, name, sizeof name, &instances));
    EXPECT_EQ(1, instances);
    // The card's DirectSound device, as asked, cannot set a channel configuration.
    DWORD channelConfig = 1;
    EXPECT_EQ(4, ReadValue(HKEY_CURRENT_USER, "Software\\VirtualCard\\Device0", "ChannelConfig", &channelConfig, 4));
    EXPECT_EQ(0u, channelConfig);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50"));
}

TEST(PackageInstall, ThisProgramIsGivenItsWindowsVersion)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), version.dwPlatformId);
    EXPECT_EQ(5u, version.dwMajorVersion);
    EXPECT_EQ(0u, version.dwMinorVersion);
}

TEST(PackageInstall, WaveFilesAreSpokenMonoPcmAtTheCardsRate)
{
    for (const char *name : kPackageWaveFiles) {
        SCOPED_TRACE(name);
        HANDLE file = CreateFileA(SystemFile(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        static unsigned char data[256 * 1024];
        DWORD size = 0;
        ReadFile(file, data, sizeof data, &size, nullptr);
        CloseHandle(file);
        ASSERT_GT(size, 44u);
        ASSERT_LT(size, sizeof data); // small, and read whole

        ASSERT_EQ(0, memcmp(data, "RIFF", 4));
        EXPECT_EQ(size - 8, Le32(data + 4));
        ASSERT_EQ(0, memcmp(data + 8, "WAVE", 4));
        // "fmt " comes first, 16 bytes of plain PCM.
        ASSERT_EQ(0, memcmp(data + 12, "fmt ", 4));
        ASSERT_EQ(16u, Le32(data + 16));
        EXPECT_EQ(WAVE_FORMAT_PCM, Le16(data + 20));
        EXPECT_EQ(1, Le16(data + 22));
        EXPECT_EQ(22050u, Le32(data + 24));
        EXPECT_EQ(44100u, Le32(data + 28));
        EXPECT_EQ(2, Le16(data + 32));
        EXPECT_EQ(16, Le16(data + 34));
        // Then "data", the last chunk, holding sound rather than silence.
        ASSERT_EQ(0, memcmp(data + 36, "data", 4));
        DWORD bytes = Le32(data + 40);
        EXPECT_EQ(size - 44, bytes + (bytes & 1));
        EXPECT_GT(bytes, 22050u / 4 * 2) << "shorter than a quarter second";
        int loud = 0;
        for (DWORD i = 44; i + 1 < 44 + bytes; i += 2) {
            short sample = static_cast<short>(Le16(data + i));
            if (sample > 3000 || sample < -3000)
                ++loud;
        }
        EXPECT_GT(loud, 100);
    }
}

TEST(PackageLibraries, A3DLoaderRecordsEachCallWithItsValue)
{
    RecordFile record;
    HMODULE loader = LoadLibraryA("QA3DLoad");
    ASSERT_NE(nullptr, loader);
    auto install = reinterpret_cast<InstallHookProc>(GetProcAddress(loader, "InstallA3DHook"));
    auto remove = reinterpret_cast<RemoveHookProc>(GetProcAddress(loader, "RemoveA3DHook"));
    ASSERT_TRUE(install && remove);
    DWORD preload = 0x13790000;
    install(&preload);
    preload = 0x00600000;
    install(&preload);
    remove();
    FreeLibrary(loader);
    EXPECT_EQ("InstallA3DHook 0x13790000\r\nInstallA3DHook 0x00600000\r\nRemoveA3DHook\r\n", record.Text());
}

// The prefixes made with other options; the test is run there with the
// option set's name as its argument (and these cases alone).
bool Variant(const char *name)
{
    for (const std::string &arg : ::testing::internal::GetArgvs())
        if (arg == name)
            return true;
    return false;
}

// --version win98 --max-speakers 2 --stereo-x2 off --first-time 0
// --no-hw3d --devices 3 --yamaha-noblank --a3d-preload 60000000
TEST(PackageVariant, OptionsChooseTheMachine)
{
    if (!Variant("options"))
        GTEST_SKIP() << "run in the prefix of the option set \"options\"";
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), version.dwPlatformId);
    EXPECT_EQ(4u, version.dwMajorVersion);
    EXPECT_EQ(10u, version.dwMinorVersion);

    DWORD value = 0;
    ASSERT_EQ(4, ReadValue(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", &value, 4));
    EXPECT_EQ(2u, value);
    ASSERT_EQ(4, ReadValue(HKEY_LOCAL_MACHINE, kDriverKey, "StereoX2", &value, 4));
    EXPECT_EQ(0u, value);
    EXPECT_EQ("0", Profile("SPEAKERS", "FIRSTTIME"));
    char preload[32] = "";
    ReadValue(HKEY_CURRENT_USER, "Software\\QSound\\QSoft3d", "A3D preload", preload, sizeof preload - 1);
    EXPECT_STREQ("60000000", preload);

    ASSERT_EQ(4, ReadValue(HKEY_CURRENT_USER, "Software\\VirtualCard", "DeviceCount", &value, 4));
    EXPECT_EQ(3u, value);
    value = 1;
    EXPECT_EQ(4, ReadValue(HKEY_CURRENT_USER, "Software\\VirtualCard\\Device0", "Hardware3D", &value, 4));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(-1, ReadValue(HKEY_CURRENT_USER, "Software\\VirtualCard\\Device0", "ChannelConfig", &value, 4));

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE,
                          "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA SoftSynthesizer S-YXG50"));
}

// --no-card --yamaha: the package without its hardware.
TEST(PackageVariant, WithoutTheCardThePackageStays)
{
    if (!Variant("no-card"))
        GTEST_SKIP() << "run in the prefix of the option set \"no-card\"";
    char name[256];
    int instances;
    EXPECT_EQ(0, CardPciKeys(kPciEnumKey, name, sizeof name, &instances));
    EXPECT_EQ(0, CardPciKeys(kProfilePciEnumKey, name, sizeof name, &instances));
    DWORD devices = 99;
    ASSERT_EQ(4, ReadValue(HKEY_CURRENT_USER, "Software\\VirtualCard", "DeviceCount", &devices, 4));
    EXPECT_EQ(0u, devices);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    EXPECT_TRUE(FileExists(SystemFile("VTHLP32.DLL")));
    EXPECT_EQ("Sonaris PCI Audio", Profile("DESCRIPTION", "DRIVERDESC"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE,
                          "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50"));
}

// Last: the support library takes the installation away.
TEST(PackageLibraries, SupportLibraryRemovesTheInstallationInTwoSteps)
{
    RecordFile record;
    ASSERT_TRUE(FileExists(SystemFile("VTHLP32.DLL")));
    HMODULE support = LoadLibraryA("VTHLP32.DLL");
    ASSERT_NE(nullptr, support);
    auto call = reinterpret_cast<Dll32CallProc>(GetProcAddress(support, "DLL32Call"));
    ASSERT_NE(nullptr, call);

    // Completing what was never started changes nothing.
    EXPECT_EQ(0u, call(1));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    EXPECT_EQ(0u, call(7));

    EXPECT_NE(0u, call(0));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey)) << "the first step only starts";
    EXPECT_NE(0u, call(1));
    FreeLibrary(support);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    char name[256];
    int instances;
    EXPECT_EQ(0, CardPciKeys(kPciEnumKey, name, sizeof name, &instances));
    EXPECT_EQ(0, CardPciKeys(kProfilePciEnumKey, name, sizeof name, &instances));
    EXPECT_EQ("", MediaDriver("Sonaris"));
    EXPECT_NE("", MediaDriver("Game Port")) << "another driver's entry stays";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kQ3DClassKey));
    DWORD devices = 99;
    EXPECT_EQ(4, ReadValue(HKEY_CURRENT_USER, "Software\\VirtualCard", "DeviceCount", &devices, 4));
    EXPECT_EQ(0u, devices);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\VirtualCard\\Device0"));
    EXPECT_EQ("(none)", Profile("DESCRIPTION", "DRIVERDESC"));
    for (const char *wave : kPackageWaveFiles)
        EXPECT_FALSE(FileExists(SystemFile(wave))) << wave;
    // The applet and the library itself are the program's to delete.
    EXPECT_TRUE(FileExists(SystemFile("VTHLP32.DLL")));
    EXPECT_TRUE(FileExists(SystemFile("VTAPLT.CPL")));

    EXPECT_EQ("DLL32Call 1\r\nDLL32Call 7\r\nDLL32Call 0\r\nDLL32Call 1\r\n", record.Text());
}

} // namespace
