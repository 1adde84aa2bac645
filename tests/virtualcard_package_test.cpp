// The card's installation as tools/wine-prefix makes it, read back through the
// ordinary Win32 calls the program uses: the profile file, the registry
// values, this program's Windows version, the wave files and the package's
// libraries; last, the support library's removal of it all. Run in a prefix
// made with --version win2k --no-channel-config, or in one made with other
// options and given the option set's name (PackageVariant).
#include "virtualcard/vcard.h"
#include "virtualcard/vcmixer.h"
#include "virtualcard/vthlp32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const char kYamahaKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50";
const char kYamahaNoBlankKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA SoftSynthesizer S-YXG50";
const char kPreloadKey[] = "Software\\QSound\\QSoft3d";
const char kRecord[] = "C:\\vcpackage.log";   // the package's libraries append their calls here

std::string Profile(const char *section, const char *key)
{
    char value[128];
    GetPrivateProfileStringA(section, key, "(none)", value, sizeof value, kProfileFileName);
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

// A value as text: a REG_DWORD in decimal, a string as it stands, other
// data as hex bytes; "(none)" when there is none.
std::string Value(HKEY root, const char *path, const char *name)
{
    BYTE data[256] = {};
    DWORD type = 0, size = sizeof data - 1;
    if (RegGetValueA(root, path, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != ERROR_SUCCESS)
        return "(none)";
    if (type == REG_SZ)
        return reinterpret_cast<char *>(data);
    char text[2 * sizeof data + 1] = "";
    DWORD number;
    memcpy(&number, data, sizeof number);
    if (type == REG_DWORD)
        snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(number));
    for (DWORD i = 0; type != REG_DWORD && i < size; ++i)
        snprintf(text + 2 * i, 3, "%02x", data[i]);
    return text;
}

// Subkey i of a key: false past the last.
bool Subkey(HKEY key, DWORD i, char (&name)[256])
{
    DWORD length = sizeof name;
    return RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The card's PCI devices ("VEN_..&DEV_..&SUBSYS_..&REV_..") under an enumeration key.
int CardPciDevices(const char *path)
{
    HKEY key;
    int devices = 0;
    char sub[256];
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    for (DWORD i = 0; Subkey(key, i, sub); ++i)
        devices += strncmp(sub, kCardIdentity, strlen(kCardIdentity)) == 0 && strstr(sub, "&SUBSYS_") &&
                   strstr(sub, "&REV_");
    RegCloseKey(key);
    return devices;
}

// The media driver whose description holds text: its subkey name, or "".
std::string MediaDriver(const char *text)
{
    HKEY key;
    char sub[256];
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMediaClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    std::string found;
    for (DWORD i = 0; found.empty() && Subkey(key, i, sub); ++i)
        if (Value(key, sub, "DriverDesc").find(text) != std::string::npos)
            found = sub;
    RegCloseKey(key);
    return found;
}

std::string SystemPath(const char *name)
{
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, sizeof dir);
    return std::string(dir) + "\\" + name;
}

bool SystemFileExists(const char *name)
{
    return GetFileAttributesA(SystemPath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A whole small file, or "" when it cannot be read.
std::string FileText(const std::string &path)
{
    static char text[256 * 1024];
    DWORD got = 0;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    ReadFile(file, text, sizeof text, &got, nullptr);
    CloseHandle(file);
    return std::string(text, got);
}

void StartRecord()
{
    DeleteFileA(kRecord);
    SetEnvironmentVariableA("VCARD_LOG", kRecord);
}

TEST(PackageInstall, AProgramSeesTheCardsInstallation)
{
    EXPECT_EQ("Sonaris PCI Audio", Profile("DESCRIPTION", "DRIVERDESC"));
    EXPECT_EQ("1", Profile("SPEAKERS", "FIRSTTIME"));
    EXPECT_EQ("6", Value(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers"));
    EXPECT_EQ("600000", Value(HKEY_CURRENT_USER, kPreloadKey, "A3D preload"));
    // The media driver found by the profile's description, not the first one,
    // has the mixer's manufacturer id in two bytes.
    std::string driver = MediaDriver(Profile("DESCRIPTION", "DRIVERDESC").c_str());
    ASSERT_NE("", driver);
    EXPECT_NE("0000", driver);
    char mid[8];
    snprintf(mid, sizeof mid, "%02x%02x", kVcCardMixerMid & 0xFF, kVcCardMixerMid >> 8);
    EXPECT_EQ(mid, Value(HKEY_LOCAL_MACHINE, (std::string(kMediaClassKey) + "\\" + driver + "\\Config").c_str(),
                         "ManufactureID"));
    EXPECT_EQ(1, CardPciDevices(kPciEnumKey));
    EXPECT_EQ(1, CardPciDevices(kProfilePciEnumKey));
    EXPECT_EQ("0", Value(HKEY_CURRENT_USER, VCARD_KEY "\\Device0", "ChannelConfig"));   // as asked

    OSVERSIONINFOA version = {sizeof version};
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), version.dwPlatformId);
    EXPECT_EQ(5u, version.dwMajorVersion);
    EXPECT_EQ(0u, version.dwMinorVersion);
}

// Each wave file: RIFF, "fmt " of mono 16-bit PCM at 22050 Hz, then "data"
// to the end of the file, a quarter second or more.
TEST(PackageInstall, WaveFilesAreMonoPcmAtTheCardsRate)
{
    const char format[] = "WAVEfmt \x10\0\0\0\1\0\1\0\x22\x56\0\0\x44\xAC\0\0\2\0\x10\0data";
    for (const char *name : kPackageWaveFiles) {
        std::string data = FileText(SystemPath(name));
        ASSERT_GT(data.size(), 44u) << name;
        DWORD bytes;
        memcpy(&bytes, &data[40], 4);
        EXPECT_EQ(0, data.compare(0, 4, "RIFF")) << name;
        EXPECT_EQ(0, data.compare(8, 32, format, 32)) << name;
        EXPECT_EQ(data.size() - 44, bytes + (bytes & 1)) << name;
        EXPECT_GT(bytes, 22050u / 2) << name;
    }
}

TEST(PackageLibraries, A3DLoaderRecordsEachCallWithItsValue)
{
    StartRecord();
    HMODULE loader = LoadLibraryA("QA3DLoad");
    ASSERT_NE(nullptr, loader);
    auto install = reinterpret_cast<DWORD(WINAPI *)(const DWORD *)>(GetProcAddress(loader, "InstallA3DHook"));
    auto remove = reinterpret_cast<DWORD(WINAPI *)()>(GetProcAddress(loader, "RemoveA3DHook"));
    ASSERT_TRUE(install && remove);
    const DWORD preload = 0x00600000;
    install(&preload);
    remove();
    FreeLibrary(loader);
    EXPECT_EQ("InstallA3DHook 0x00600000\r\nRemoveA3DHook\r\n", FileText(kRecord));
}

// The prefixes made with other options, one check per option; the test is
// given the option set's name as its argument.
bool Variant(const char *name)
{
    for (const std::string &arg : ::testing::internal::GetArgvs())
        if (arg == name)
            return true;
    return false;
}

TEST(PackageVariant, OptionsChooseTheMachine)
{
    if (Variant("options")) {
        // --version win98 --max-speakers 2 --stereo-x2 off --first-time 0 --no-hw3d
        // --devices 3 --yamaha-noblank --a3d-preload 60000000
        OSVERSIONINFOA version = {sizeof version};
        ASSERT_TRUE(GetVersionExA(&version));
        EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), version.dwPlatformId);
        EXPECT_EQ(10u, version.dwMinorVersion);
        EXPECT_EQ("2", Value(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers"));
        EXPECT_EQ("0", Value(HKEY_LOCAL_MACHINE, kDriverKey, "StereoX2"));
        EXPECT_EQ("0", Profile("SPEAKERS", "FIRSTTIME"));
        EXPECT_EQ("0", Value(HKEY_CURRENT_USER, VCARD_KEY "\\Device0", "Hardware3D"));
        EXPECT_EQ("3", Value(HKEY_CURRENT_USER, VCARD_KEY, "DeviceCount"));
        EXPECT_EQ("60000000", Value(HKEY_CURRENT_USER, kPreloadKey, "A3D preload"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kYamahaKey));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kYamahaNoBlankKey));
    } else if (Variant("no-card")) {
        // --no-card --yamaha: the package stays without its hardware.
        EXPECT_EQ(0, CardPciDevices(kPciEnumKey));
        EXPECT_EQ("0", Value(HKEY_CURRENT_USER, VCARD_KEY, "DeviceCount"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kYamahaKey));
    } else {
        GTEST_SKIP() << "run in the prefix of an option set";
    }
}

// Last: the support library takes the installation away in two steps.
TEST(PackageLibraries, SupportLibraryRemovesTheInstallationInTwoSteps)
{
    StartRecord();
    HMODULE support = LoadLibraryA("VTHLP32.DLL");
    ASSERT_NE(nullptr, support);
    auto call = reinterpret_cast<DWORD(WINAPI *)(DWORD)>(GetProcAddress(support, "DLL32Call"));
    ASSERT_NE(nullptr, call);
    EXPECT_EQ(0u, call(1));   // completing what was never started changes nothing
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    EXPECT_EQ(0u, call(7));
    EXPECT_NE(0u, call(0));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey)) << "the first step only starts";
    EXPECT_NE(0u, call(1));
    FreeLibrary(support);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kDriverKey));
    EXPECT_EQ(0, CardPciDevices(kPciEnumKey));
    EXPECT_EQ("", MediaDriver("Sonaris"));
    EXPECT_NE("", MediaDriver("Game Port")) << "another driver's entry stays";
    EXPECT_EQ("0", Value(HKEY_CURRENT_USER, VCARD_KEY, "DeviceCount"));
    EXPECT_EQ("(none)", Profile("DESCRIPTION", "DRIVERDESC"));
    for (const char *wave : kPackageWaveFiles)
        EXPECT_FALSE(SystemFileExists(wave)) << wave;
    // The applet and the library itself are the program's to delete.
    EXPECT_TRUE(SystemFileExists("VTHLP32.DLL"));
    EXPECT_TRUE(SystemFileExists("VTAPLT.CPL"));
    EXPECT_EQ("DLL32Call 1\r\nDLL32Call 7\r\nDLL32Call 0\r\nDLL32Call 1\r\n", FileText(kRecord));
}

} // namespace
