// The configuration the program reads, made hostile: every registry value
// of every type, empty, longer than its buffer, unterminated and binary
// garbage; its keys missing or unreadable; every key of SOUNDCFG.INI empty,
// over-long and garbage; the file itself missing, read-only, empty or huge.
// The program reads each into its own bounded buffer, as the registry and
// the profile functions hand it over, and falls back to its defaults when a
// read fails.
#include "harness.h"

#include "app/app.h"
#include "app/startup.h"
#include "mixer/playback_mixer_page.h"
#include "mixer/record_mixer_page.h"
#include "pages/effects/mixing_options_page.h"
#include "panel/driver.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/speaker_config.h"
#include "speakers/uninstall.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vcmixer.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kMediaClass[] = "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const char kDriver[] = "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}\\0000";
const char kDriverConfig[] =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}\\0000\\Config";
const char kQ3D[] = "System\\CurrentControlSet\\Services\\Class\\Q3D";
const char kQSound[] = "Software\\QSound\\QSoft3d";
const char kPci[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
const char kCardPci[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1D7F&DEV_0560&SUBSYS_05601D7F&REV_01";
const char kProfile[] = "SOUNDCFG.INI";

// A value as it may be found: its type and bytes.
struct Data {
    const char *what;
    DWORD type;
    std::string bytes;
};

std::vector<Data> HostileData()
{
    std::string garbage;
    for (int i = 0; i < 300; ++i)
        garbage.push_back(static_cast<char>(0x80 + (i * 37) % 128));
    const std::string sonaris = "Sonaris PCI Audio";
    return {
        {"empty sz", REG_SZ, std::string("", 1)},
        {"no bytes", REG_SZ, ""},
        {"digit sz", REG_SZ, std::string("6", 2)},
        {"unterminated sz", REG_SZ, "600000"},
        {"long sz", REG_SZ, sonaris + std::string(300, 'x') + '\0'},
        {"unterminated 256", REG_SZ, sonaris + std::string(256 - sonaris.size(), 'y')},
        {"terminated 256", REG_SZ, sonaris + std::string(255 - sonaris.size(), 'z') + '\0'},
        {"expand sz", REG_EXPAND_SZ, std::string("%WINDIR%", 9)},
        {"multi sz", REG_MULTI_SZ, std::string("6\0Sonaris PCI Audio\0", 21)},
        {"dword", REG_DWORD, std::string("\x06\x00\x00\x00", 4)},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x06", 4)},
        {"qword", REG_QWORD, std::string("\xa7\x01\x00\x00\x00\x00\x00\x00", 8)},
        {"one byte", REG_BINARY, std::string("\x04", 1)},
        {"two bytes", REG_BINARY, std::string("\xa7\x01", 2)},
        {"three bytes", REG_BINARY, std::string("\x01\x02\x03", 3)},
        {"five bytes", REG_BINARY, std::string("\x01\x02\x03\x04\x05", 5)},
        {"garbage", REG_BINARY, garbage},
        {"garbage sz", REG_SZ, garbage},
        {"none", REG_NONE, ""},
        {"huge binary", REG_BINARY, std::string(70000, '\x7f')},
    };
}

void SetValue(HKEY root, const char *key, const char *name, const Data &d)
{
    SHDeleteValueA(root, key, name);
    SHSetValueA(root, key, name, d.type, d.bytes.data(), static_cast<DWORD>(d.bytes.size()));
}

// What the registry itself hands a reader with a buffer of size bytes: the
// bytes, or nothing when the read fails.
bool Query(HKEY root, const char *key, const char *name, DWORD size, std::string *bytes)
{
    HKEY k;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    std::string data(size, '\0');
    DWORD got = size;
    LONG rc = RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&data[0]), &got);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS || got > size)
        return false;
    *bytes = data.substr(0, got);
    return true;
}

// Opening a key of this name (or below it) is refused while set.
const char *deniedKey;
ImportHook *openHooks[3];
// Windows XP, where the card is found by its PCI key.
BOOL WINAPI WindowsXp(LPOSVERSIONINFOA version)
{
    version->dwMajorVersion = 5;
    version->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}
bool Denied(const char *subkey)
{
    return deniedKey && subkey && _strnicmp(subkey, deniedKey, strlen(deniedKey)) == 0;
}
LONG WINAPI DenyOpen(HKEY root, LPCSTR subkey, PHKEY key)
{
    if (Denied(subkey))
        return ERROR_ACCESS_DENIED;
    return openHooks[0]->Original<decltype(&RegOpenKeyA)>()(root, subkey, key);
}
LONG WINAPI DenyOpenEx(HKEY root, LPCSTR subkey, DWORD options, REGSAM access, PHKEY key)
{
    if (Denied(subkey))
        return ERROR_ACCESS_DENIED;
    return openHooks[1]->Original<decltype(&RegOpenKeyExA)>()(root, subkey, options, access, key);
}

// The Mixing Options page's reading, through a connection to the card as
// the panel opens one: a field afterwards, -1 before.
template <int32_t MixingOptionsPage::*field> int32_t ReadQ3DValue()
{
    mixingOptionsPage.*field = -1;
    DriverConnection connection = {};
    if (OpenDriverConnection(nullptr, GetDesktopWindow(), &connection.directSound, &connection.propertySet, 0) == 0) {
        mixingOptionsPage.ReadFromDriver(connection.directSound, connection.propertySet);
        CloseDriverConnection(&connection);
    }
    return mixingOptionsPage.*field;
}
int32_t ReadLatency()
{
    return ReadQ3DValue<&MixingOptionsPage::latency>();
}

class HostileConfiguration : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        VcReset();
        Install();
        openHooks[0] = new ImportHook("advapi32.dll", "RegOpenKeyA", reinterpret_cast<const void *>(DenyOpen));
        openHooks[1] = new ImportHook("advapi32.dll", "RegOpenKeyExA", reinterpret_cast<const void *>(DenyOpenEx));
        openHooks[2] = new ImportHook("kernel32.dll", "GetVersionExA", reinterpret_cast<const void *>(WindowsXp));
        deniedKey = nullptr;
    }
    void TearDown() override
    {
        for (ImportHook *hook : openHooks)
            delete hook;
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kMediaClass);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kQ3D);
        SHDeleteKeyA(HKEY_CURRENT_USER, kQSound);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kCardPci);
        std::string profile = WindowsFile();
        SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(profile.c_str());
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets() + VcUsesAfterRelease());
        EXPECT_EQ(0u, VcMixerOpenHandleCount());
        VcReset();
    }
    // The driver package's configuration as it installs it.
    static void Install()
    {
        const DWORD six = 6, on = 1, latency = 40, zero = 0;
        const WORD mid = kVcCardMixerMid;
        SHSetValueA(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", REG_DWORD, &six, 4);
        SHSetValueA(HKEY_LOCAL_MACHINE, kDriverKey, "StereoX2", REG_DWORD, &on, 4);
        SHSetValueA(HKEY_LOCAL_MACHINE, kDriver, "DriverDesc", REG_SZ, "Sonaris PCI Audio (WDM)", 24);
        SHSetValueA(HKEY_LOCAL_MACHINE, kDriverConfig, "ManufactureID", REG_BINARY, &mid, 2);
        SHSetValueA(HKEY_LOCAL_MACHINE, kQ3D, "Latency", REG_DWORD, &latency, 4);
        SHSetValueA(HKEY_LOCAL_MACHINE, kQ3D, "Primary", REG_DWORD, &zero, 4);
        SHSetValueA(HKEY_LOCAL_MACHINE, kQ3D, "Bypass", REG_DWORD, &zero, 4);
        SHSetValueA(HKEY_CURRENT_USER, kQSound, "A3D preload", REG_SZ, "600000", 7);
        std::string card = std::string(kCardPci) + "\\4&1D7F0560&0&40F0";
        SHSetValueA(HKEY_LOCAL_MACHINE, card.c_str(), "Service", REG_SZ, "vtwdm560", 9);
        WriteProfile("[DESCRIPTION]\r\nDRIVERVERSION=5.12.01.0560\r\nDRIVERDESC=Sonaris PCI Audio\r\n"
                     "LOADER=VTAPLT.CPL\r\n[SPEAKERS]\r\nFIRSTTIME=0\r\n");
    }
    static std::string WindowsFile()
    {
        char folder[MAX_PATH];
        GetWindowsDirectoryA(folder, sizeof folder);
        return std::string(folder) + "\\" + kProfile;
    }
    static void WriteProfile(const std::string &text)
    {
        Forget(); // what the profile functions still hold is written first
        std::string path = WindowsFile();
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        FILE *f = fopen(path.c_str(), "wb");
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
        Forget();
    }
    // The profile functions keep the last files read; a file changed or
    // removed behind their back is read afresh only once others have pushed
    // it out, as in a new process.
    static void Forget()
    {
        for (int i = 0; i < 12; ++i) {
            char name[32], text[4];
            snprintf(name, sizeof name, "vt-forget-%d.ini", i);
            GetPrivateProfileStringA("s", "k", "", text, sizeof text, name);
        }
    }
};

// A value of at most four bytes over the low bytes of a field that was -1.
std::string LowBytes(bool ok, const std::string &bytes)
{
    int32_t field = -1;
    if (ok)
        memcpy(&field, bytes.data(), bytes.size());
    return std::to_string(field);
}

// Each value the program reads from the registry, read back by the program
// after being set to each hostile form: the program's result is what the
// registry handed its buffer, by the value's own rule, or the fallback.
TEST_F(HostileConfiguration, EveryRegistryValueOfEveryForm)
{
    struct Value {
        HKEY root;
        const char *key, *name;
        DWORD buffer;                                // bytes the program reads it into
        std::string (*read)();                       // what the program makes of it
        std::string (*expect)(bool, const std::string &); // from what the registry hands over
    };
    auto limits = [] {
        uint8_t max = 0xEE;
        stereoX2Allowed = 0xEE;
        bool opened = ReadSpeakerLimits(&max);
        return std::to_string(opened) + " " + std::to_string(max) + " " + std::to_string(stereoX2Allowed);
    };
    const Value values[] = {
        {HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", 4, limits,
         [](bool ok, const std::string &b) { return "1 " + std::to_string(ok ? uint8_t(b.empty() ? 0 : b[0]) : 2) + " 1"; }},
        {HKEY_LOCAL_MACHINE, kDriverKey, "StereoX2", 4, limits,
         [](bool ok, const std::string &b) { return "1 6 " + std::to_string(ok ? uint8_t(b.empty() ? 0 : b[0]) : 0); }},
        {HKEY_LOCAL_MACHINE, kDriver, "DriverDesc", 256,
         [] { return std::to_string(FindDriverManufacturerId("Sonaris PCI Audio")); },
         [](bool ok, const std::string &b) {
             std::string text = b.substr(0, b.find('\0'));
             return std::to_string(ok && text.find("Sonaris PCI Audio") != std::string::npos ? kVcCardMixerMid : 0);
         }},
        {HKEY_LOCAL_MACHINE, kDriverConfig, "ManufactureID", 2,
         [] { return std::to_string(FindDriverManufacturerId("Sonaris PCI Audio")); },
         [](bool ok, const std::string &b) {
             std::string id = b + std::string(2, '\0');
             return std::to_string(ok ? uint8_t(id[0]) | uint8_t(id[1]) << 8 : 0);
         }},
        {HKEY_LOCAL_MACHINE, kQ3D, "Latency", 4, [] { return std::to_string(ReadLatency()); }, LowBytes},
        {HKEY_LOCAL_MACHINE, kQ3D, "Primary", 4,
         [] { return std::to_string(ReadQ3DValue<&MixingOptionsPage::mixIntoPrimary>()); }, LowBytes},
        {HKEY_LOCAL_MACHINE, kQ3D, "Bypass", 4,
         [] { return std::to_string(ReadQ3DValue<&MixingOptionsPage::bypass>()); }, LowBytes},
        {HKEY_CURRENT_USER, kQSound, "A3D preload", 32,
         [] {
             HKEY key;
             if (RegOpenKeyA(HKEY_CURRENT_USER, kQSound, &key) != ERROR_SUCCESS)
                 key = nullptr;
             DWORD preload = ReadA3DPreload(key);
             bool inRange = preload >= 0x00500000 && preload <= 0x5FFFFFFF;
             return std::string(inRange || preload == kDefaultA3DPreload ? "in range" : "out of range");
         },
         [](bool, const std::string &) { return std::string("in range"); }},
    };
    int tried = 0;
    for (const Value &v : values) {
        const char *key = v.key;
        for (const Data &d : HostileData()) {
            SCOPED_TRACE(std::string(v.name) + ": " + d.what);
            Install();
            SetValue(v.root, key, v.name, d);
            std::string handed;
            bool ok = Query(v.root, key, v.name, v.buffer, &handed);
            EXPECT_EQ(v.expect(ok, handed), v.read());
            ++tried;
        }
    }
    printf("%d registry values tried\n", tried);
}

// Keys missing or unreadable: each reader falls back.
TEST_F(HostileConfiguration, MissingAndUnreadableKeys)
{
    const struct { HKEY root; const char *key; } keys[] = {
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona\\Wdm560"}, {HKEY_LOCAL_MACHINE, kMediaClass},
        {HKEY_LOCAL_MACHINE, kPci}, {HKEY_LOCAL_MACHINE, kQ3D}, {HKEY_CURRENT_USER, kQSound},
    };
    for (bool deny : {false, true}) {
        for (const auto &k : keys) {
            SCOPED_TRACE(std::string(k.key) + (deny ? " unreadable" : " missing"));
            Install();
            // The card's own PCI keys go; the system's others stay.
            if (deny)
                deniedKey = k.key;
            else
                SHDeleteKeyA(k.root, k.key == kPci ? kCardPci : k.key);
            bool driverKey = strcmp(k.key, "SOFTWARE\\Veltrona\\Wdm560") == 0;
            uint8_t max = 0xEE;
            stereoX2Allowed = 0xEE;
            EXPECT_EQ(!driverKey, ReadSpeakerLimits(&max));
            EXPECT_EQ(driverKey ? 0xEE : 6, max);
            EXPECT_EQ(driverKey ? 0xEE : 1, stereoX2Allowed);
            EXPECT_EQ(k.key == kMediaClass ? 0 : kVcCardMixerMid, FindDriverManufacturerId("Sonaris PCI Audio"));
            EXPECT_EQ(k.key == kQ3D ? -1 : 40, ReadLatency());
            HKEY qsound = nullptr;
            if (RegOpenKeyA(HKEY_CURRENT_USER, kQSound, &qsound) != ERROR_SUCCESS)
                qsound = nullptr;
            EXPECT_EQ(k.key == kQSound ? kDefaultA3DPreload : 0x00600000u, ReadA3DPreload(qsound));
            // Without the PCI listing on Windows NT 5 the card is not there.
            EXPECT_EQ(k.key != kPci, DetectSoundCard());
            deniedKey = nullptr;
        }
    }
}

// Every key of SOUNDCFG.INI in each hostile form, and the file missing,
// read-only, empty or huge: the driver version shown, the mixer looked up,
// the first run's layout, the uninstall's applet deletion.
struct Deleted {
    static std::vector<std::string> files;
    static BOOL WINAPI Record(LPCSTR path)
    {
        files.push_back(PathFindFileNameA(path));
        return TRUE;
    }
};
std::vector<std::string> Deleted::files;
INT_PTR WINAPI AnswerYes(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM)
{
    return IDYES;
}
void WINAPI NoWait(DWORD)
{
}

TEST_F(HostileConfiguration, EveryProfileKeyAndTheFileItself)
{
    std::string garbage;
    for (int i = 0; i < 200; ++i)
        garbage.push_back(static_cast<char>(0x80 + (i * 29) % 127));
    const std::string longText = "1" + std::string(5000, '9');
    const struct { const char *what; std::string text; } forms[] = {
        {"empty", ""}, {"one", "1"}, {"ten", "10"}, {"letter", "x"}, {"long", longText},
        {"garbage", garbage}, {"path", "..\\..\\boot.ini"}, {"absolute", "C:\\autoexec.bat"},
        {"exactly 39", std::string(35, 'A') + ".CPL"}, {"blank", "   "}, {"quoted", "\"VTAPLT.CPL\""},
    };
    const char *const keys[] = {"FIRSTTIME", "DRIVERVERSION", "DRIVERDESC", "LOADER"};
    VcDevice card;
    VcDefaultDevice(0, &card);
    VcSetDevices(&card, 1);
    HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    soundDeviceCount = 0;
    DirectSoundEnumerateA(EnumerateSoundDevice, &owner);
    ImportHook deletion("kernel32.dll", "DeleteFileA", reinterpret_cast<const void *>(Deleted::Record));
    ImportHook warning("user32.dll", "DialogBoxParamA", reinterpret_cast<const void *>(AnswerYes));
    ImportHook wait("kernel32.dll", "Sleep", reinterpret_cast<const void *>(NoWait));
    MessageBoxCapture boxes;

    // What the program shows and does with the file as it stands.
    auto check = [&](const std::string &version, bool firstRun, const std::string &loader) {
        HWND panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), owner, PanelProc, 0);
        char shown[64] = "?";
        GetDlgItemTextA(panel, IDC_DRIVER_VERSION, shown, sizeof shown);
        EXPECT_EQ(version.substr(0, 39), shown);
        SendMessageA(panel, WM_COMMAND, IDCANCEL, 0);
        DestroyWindow(panel);

        VcMixerUseCardTopology();
        EXPECT_EQ(0u, FindCardMixer());

        WriteSpeakerLayout(2);
        char before[8] = "?", now[8] = "?";
        GetPrivateProfileStringA("SPEAKERS", "FIRSTTIME", "(none)", before, sizeof before, kProfile);
        ApplyFirstRunLayout();
        EXPECT_EQ(firstRun ? DWORD(DSSPEAKER_5POINT1) : DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0));
        GetPrivateProfileStringA("SPEAKERS", "FIRSTTIME", "(none)", now, sizeof now, kProfile);
        EXPECT_STREQ(firstRun ? "0" : before, now);

        Deleted::files.clear();
        // Loaded in place of the support library: the test program itself,
        // whose DLL32Call is missing, so the finish deletes nothing; the
        // applet is deleted only once the library is called.
        dll32Call = reinterpret_cast<Dll32CallProc>(reinterpret_cast<void (*)()>(NoWait));
        supportLibrary = LoadLibraryA("kernel32.dll");
        FinishUninstall(owner);
        dll32Call = nullptr;
        supportLibrary = nullptr;
        std::vector<std::string> expected;
        if (!loader.empty())
            expected.push_back(loader);
        expected.push_back("VTHLP32.DLL");
        EXPECT_EQ(expected, Deleted::files);
    };

    int tried = 0;
    for (const char *key : keys) {
        for (const auto &form : forms) {
            SCOPED_TRACE(std::string(key) + ": " + form.what);
            Install();
            WritePrivateProfileStringA(strcmp(key, "FIRSTTIME") == 0 ? "SPEAKERS" : "DESCRIPTION", key,
                                       form.text.c_str(), kProfile);
            // What the profile hands a buffer of the program's size.
            char text[64];
            GetPrivateProfileStringA("DESCRIPTION", "LOADER", "VTAPLT.CPL", text, 40, kProfile);
            std::string loader = text;
            bool bare = !loader.empty() && loader != "." && loader != ".." &&
                        loader.find_first_of("\\/:") == std::string::npos;
            GetPrivateProfileStringA("DESCRIPTION", "DRIVERVERSION", "", text, 40, kProfile);
            std::string version = text;
            GetPrivateProfileStringA("SPEAKERS", "FIRSTTIME", "0", text, 4, kProfile);
            check(version, text[0] == '1', bare ? loader : "");
            ++tried;
        }
    }

    // The file itself.
    std::string huge = "[DESCRIPTION]\r\nDRIVERVERSION=5.12.01.0560\r\nLOADER=VTAPLT.CPL\r\n";
    for (int i = 0; huge.size() < 3000000; ++i)
        huge += "[S" + std::to_string(i) + "]\r\nK=" + std::string(200, 'v') + "\r\n";
    huge += "[SPEAKERS]\r\nFIRSTTIME=1"; // the last line without its end
    const struct { const char *what; const char *text; DWORD attributes; std::string version; bool firstRun; } files[] = {
        {"missing", nullptr, 0, "", false},
        {"empty", "", FILE_ATTRIBUTE_NORMAL, "", false},
        {"read-only", "[SPEAKERS]\r\nFIRSTTIME=1\r\n", FILE_ATTRIBUTE_READONLY, "", true},
        {"huge", huge.c_str(), FILE_ATTRIBUTE_NORMAL, "5.12.01.0560", true},
        {"no line ends", "[DESCRIPTION]DRIVERVERSION=1", FILE_ATTRIBUTE_NORMAL, "", false},
    };
    for (const auto &f : files) {
        SCOPED_TRACE(f.what);
        Install();
        std::string path = WindowsFile();
        Forget();
        deletion.Original<decltype(&DeleteFileA)>()(path.c_str()); // DeleteFileA only records now
        if (f.text) {
            WriteProfile(f.text);
            SetFileAttributesA(path.c_str(), f.attributes);
        }
        Forget();
        check(f.version, f.firstRun, "VTAPLT.CPL");
        ++tried;
    }
    EXPECT_TRUE(boxes.Boxes().size() == static_cast<size_t>(tried)); // the uninstall's end, each time
    DestroyWindow(owner);
    printf("%d profile keys and files tried\n", tried);
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// A mixer at every limit of its kind: the most lines, each with the most
// channels and controls, none of them uniform, the selector reporting item
// counts no mixer has. Both mixer pages bind, show, and move every column,
// and give their handle back.
TEST_F(HostileConfiguration, MixerAtEveryLimit)
{
    const DWORD kVolume = MIXERCONTROL_CONTROLTYPE_VOLUME, kMute = MIXERCONTROL_CONTROLTYPE_MUTE;
    const DWORD kMux = MIXERCONTROL_CONTROLTYPE_MUX;
    for (DWORD reported : {0u, 17u, 0x10000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(reported);
        VcMixerClearDevices();
        ASSERT_EQ(0, VcMixerAddDevice(kVcCardMixerMid, kVcCardMixerPid, kVcCardMixerName));
        DWORD speakers = VcMixerAddDestination(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, kVcMixerMaxChannels, "Speakers");
        DWORD waveIn = VcMixerAddDestination(0, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kVcMixerMaxChannels, "Recording");
        DWORD mux = VcMixerAddControl(0, waveIn, kMux, MIXERCONTROL_CONTROLF_MULTIPLE, kVcMixerMaxItems, "Source");
        for (UINT i = 2; i < kVcMixerMaxLines; ++i) {
            char name[16];
            snprintf(name, sizeof name, "Line %u", i);
            DWORD line = VcMixerAddSource(0, i % 2 ? waveIn : speakers, MIXERLINE_COMPONENTTYPE_SRC_ANALOG,
                                          kVcMixerMaxChannels, name);
            for (int c = 0; c < 2; ++c) {
                VcMixerAddControl(0, line, kMute, 0, 0, "Mute");
                VcMixerAddControl(0, line, kVolume, 0, 0, "Volume");
            }
        }
        if (reported)
            ASSERT_TRUE(VcMixerReportItems(0, mux, reported));
        HWND host = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, Inert, 0);
        for (MixerPage *object : {static_cast<MixerPage *>(&playbackMixerPage), static_cast<MixerPage *>(&recordMixerPage)}) {
            object->mixerPageDevice = 0;
            HWND page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(object->DialogTemplateId()), host,
                                           object->DialogProcedure(),
                                           reinterpret_cast<LPARAM>(static_cast<ControlPanelPage *>(object)));
            ASSERT_NE(nullptr, page);
            for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                char name[32];
                GetClassNameA(child, name, sizeof name);
                if (strcmp(name, TRACKBAR_CLASSA) == 0) {
                    SendMessageA(child, TBM_SETPOS, TRUE, 5);
                    bool vertical = (GetWindowLongA(child, GWL_STYLE) & TBS_VERT) != 0;
                    SendMessageA(page, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 5),
                                 reinterpret_cast<LPARAM>(child));
                } else if (strcmp(name, "Button") == 0) {
                    SendMessageA(child, BM_CLICK, 0, 0);
                }
            }
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            DestroyWindow(page);
            EXPECT_EQ(0u, VcMixerOpenHandleCount());
        }
        DestroyWindow(host);
    }
    VcMixerUseCardTopology();
}

} // namespace
