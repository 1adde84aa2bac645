// The configuration the program reads, made hostile where its buffers end:
// registry values that fill the buffer they are read into, one byte longer,
// without a terminator, or huge; keys missing or unreadable; SOUNDCFG.INI
// missing or huge. (Its keys longer than their buffers are the panel's and
// the tray's tables.)
// Every read stays within its buffer, and the program falls back where a
// read fails. Each form states what follows. (The A3D preload value is the
// tray's table.)
#include "harness.h"

#include "app/app.h"
#include "app/startup.h"
#include "pages/effects/mixing_options_page.h"
#include "panel/driver.h"
#include "panel/panel.h"
#include "resource.h"
#include "speakers/detection.h"
#include "speakers/speaker_config.h"

#include <commctrl.h>
#include <shlwapi.h>

namespace {

const std::string kCardDriver = std::string(kMediaClassKey) + "\\0001";
const std::string kHuge(70000, '\x7f');

class HostileConfiguration : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        owner_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        DirectSoundEnumerateA(EnumerateSoundDevice, &owner_);
    }
    static void TearDownTestSuite() { DestroyWindow(owner_); }
    void TearDown() override { RestorePackage(); }

    // What the program makes of the registry: the speaker limits (read,
    // MaxSpeakers, StereoX2), the card's manufacturer id, the Mixing Options
    // page's latency, primary and bypass as the panel reads them, and
    // whether the card is there.
    static std::string Registry()
    {
        uint8_t max = 0xEE;
        stereoX2Allowed = 0xEE;
        bool limits = ReadSpeakerLimits(&max);
        int stereoX2 = stereoX2Allowed;
        mixingOptionsPage.latency = mixingOptionsPage.mixIntoPrimary = mixingOptionsPage.bypass = -1;
        HWND panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), owner_, PanelProc, 0);
        UserInput(GetDlgItem(panel, IDCANCEL), {VK_LBUTTON});
        DestroyWindow(panel);
        char seen[160];
        snprintf(seen, sizeof seen, "%d %d %d | %u | %d %d %d | %d", limits, max, stereoX2,
                 FindDriverManufacturerId("Sonaris PCI Audio"), mixingOptionsPage.latency,
                 mixingOptionsPage.mixIntoPrimary, mixingOptionsPage.bypass, DetectSoundCard());
        return seen;
    }

    // What the program makes of SOUNDCFG.INI: the driver version the panel
    // shows, and whether the first run's layout (six speakers) is applied.
    static std::string Profile()
    {
        HWND panel = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), owner_, PanelProc, 0);
        std::string seen = Text(GetDlgItem(panel, IDC_DRIVER_VERSION));
        UserInput(GetDlgItem(panel, IDCANCEL), {VK_LBUTTON});
        DestroyWindow(panel);
        WriteSpeakerLayout(2);
        ApplyFirstRunLayout();
        return seen + (VcSpeakerConfig(0) == DSSPEAKER_5POINT1 ? " | first run" : " | no first run");
    }

    FakeVersion xp_{kXp}; // where the card is found by its PCI key
    static HWND owner_;
};
HWND HostileConfiguration::owner_;

const char kAsInstalled[] = "1 6 1 | 423 | 40 0 0 | 1";

// A row without a value's name: its key missing (the card's own PCI key),
// then unreadable.
TEST_F(HostileConfiguration, RegistryValuesPastTheirBuffersAndKeysMissingOrUnreadableFallBack)
{
    const std::string longDesc = "Sonaris PCI Audio" + std::string(239, 'y'); // 256 bytes
    const struct { std::string key; const char *name; DWORD type; std::string bytes; const char *expected; } forms[] = {
        {kDriverKeyPath, "MaxSpeakers", REG_BINARY, "\xff\1\2\3", "1 255 1 | 423 | 40 0 0 | 1"},
        {kDriverKeyPath, "MaxSpeakers", REG_DWORD, std::string("\0\1\0\0", 4), "1 0 1 | 423 | 40 0 0 | 1"},
        {kDriverKeyPath, "MaxSpeakers", REG_BINARY, "\x09\1\2\3\4", "1 2 1 | 423 | 40 0 0 | 1"},
        {kDriverKeyPath, "MaxSpeakers", REG_SZ, kHuge, "1 2 1 | 423 | 40 0 0 | 1"},
        {kDriverKeyPath, "StereoX2", REG_BINARY, std::string("\x07\0\0\0\0", 5), "1 6 0 | 423 | 40 0 0 | 1"},
        {kDriverKeyPath, "StereoX2", REG_BINARY, kHuge, "1 6 0 | 423 | 40 0 0 | 1"},
        {kDriverKeyPath, "StereoX2", REG_DWORD, std::string("\0\1\0\0", 4), "1 6 0 | 423 | 40 0 0 | 1"},
        {kCardDriver, "DriverDesc", REG_BINARY, longDesc, kAsInstalled},
        {std::string(kMediaClassKey) + "\\00001", "DriverDesc", REG_SZ, "Sonaris PCI Audio", kAsInstalled}, // no Config
        {kCardDriver, "DriverDesc", REG_SZ, longDesc + '\0', "1 6 1 | 0 | 40 0 0 | 1"},
        {kCardDriver, "DriverDesc", REG_SZ, kHuge, "1 6 1 | 0 | 40 0 0 | 1"},
        {kCardDriver + "\\Config", "ManufactureID", REG_BINARY, "\x05", "1 6 1 | 5 | 40 0 0 | 1"},
        {kCardDriver + "\\Config", "ManufactureID", REG_BINARY, std::string("\xa7\1\0", 3), "1 6 1 | 0 | 40 0 0 | 1"},
        {kCardDriver + "\\Config", "ManufactureID", REG_BINARY, kHuge, "1 6 1 | 0 | 40 0 0 | 1"},
        {kQ3DKey, "Latency", REG_BINARY, "\x10\x20\x30\x40", "1 6 1 | 423 | 1076895760 0 0 | 1"},
        {kQ3DKey, "Latency", REG_BINARY, "\x10\x20\x30\x40\x50", "1 6 1 | 423 | -1 0 0 | 1"},
        {kQ3DKey, "Bypass", REG_SZ, kHuge, "1 6 1 | 423 | 40 0 -1 | 1"},
        {kDriverKeyPath, nullptr, 0, "", "0 238 238 | 423 | 40 0 0 | 1"},
        {kMediaClassKey, nullptr, 0, "", "1 6 1 | 0 | 40 0 0 | 1"},
        {std::string(kMediaClassKey) + "\\0000", nullptr, 0, "", kAsInstalled}, // the driver before the card's
        {kPciKey, nullptr, 0, "", "1 6 1 | 423 | 40 0 0 | 0"},
        {kQ3DKey, nullptr, 0, "", "1 6 1 | 423 | -1 -1 -1 | 1"},
    };
    ASSERT_EQ(kAsInstalled, Registry());
    for (const auto &f : forms) {
        SCOPED_TRACE(f.key + " " + (f.name ? f.name : "missing") + " of " + std::to_string(f.bytes.size()) + " bytes");
        if (f.name)
            SetValue(HKEY_LOCAL_MACHINE, f.key, f.name, f.type, f.bytes.data(), static_cast<DWORD>(f.bytes.size()));
        else
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, f.key == kPciKey ? kCardPciKey : f.key.c_str());
        EXPECT_EQ(f.expected, Registry());
        RestorePackage();
        if (f.name)
            continue;
        Forbid(f.key);
        EXPECT_EQ(f.expected, Registry()) << "unreadable";
        RestorePackage();
    }
}

// SOUNDCFG.INI missing, and 3 MB with the keys at its end, the last line
// unended.
TEST_F(HostileConfiguration, AProfileMissingOrHugeFallsBackOrIsRead)
{
    std::string huge = "[DESCRIPTION]\r\nDRIVERVERSION=5.12.01.0560\r\n";
    for (int i = 0; huge.size() < 3000000; ++i)
        huge += "[S" + std::to_string(i) + "]\r\nK=" + std::string(200, 'v') + "\r\n";
    const struct { std::string text, expected; } files[] = {
        {"", " | no first run"}, {huge + "[SPEAKERS]\r\nFIRSTTIME=1", "5.12.01.0560 | first run"}};
    EXPECT_EQ("5.12.01.0560 | first run", Profile());
    for (const auto &f : files) {
        const std::string profile = WindowsFile("SOUNDCFG.INI");
        DeleteFileA(profile.c_str());
        if (!f.text.empty())
            WriteWholeFile(profile, f.text);
        ForgetProfile();
        EXPECT_EQ(f.expected, Profile()) << f.text.size() << " bytes";
    }
}

} // namespace
