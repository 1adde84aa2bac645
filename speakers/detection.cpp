#include "speakers/detection.h"

#include "app/app.h"
#include "app/format.h"
#include "app/messages.h"
#include "panel/driver.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"

#include <ks.h>
#include <ksmedia.h>
#include <stdio.h>
#include <string.h>

const char kCardIdentity[] = "VEN_1D7F&DEV_0560";

namespace {

const char kPciKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\";
const char kProfilePciKey[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001\\System\\CurrentControlSet\\Enum\\PCI";

// Windows NT 5 (2000 and XP) names the card's PCI keys; other systems do not.
bool IsWindowsNt5()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version; // the 148-byte record
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion == 5;
}

// The subkey name at index, terminated whatever the registry returned.
bool EnumSubkey(HKEY key, DWORD index, char (&name)[256])
{
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    name[sizeof name - 1] = '\0';
    return true;
}

void EnsureDriverKey()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegCloseKey(key);
}

struct DefaultValue {
    const char *subkey;
    const char *name;
    DWORD data;
};

// Written, in this order, below every instance of the card.
const DefaultValue kDirectSoundDefaults[] = {
    {"DirectSound\\Device Presence", "Emulated", 1},
    {"DirectSound\\Device Presence", "VxD", 1},
    {"DirectSound\\Device Presence", "WDM", 1},
    {"DirectSound\\Mixer Defaults", "Acceleration", 0},
    {"DirectSound\\Mixer Defaults", "SRC Quality", 1},
    {"DirectSound\\Speaker Configuration", "Speaker Configuration", DSSPEAKER_5POINT1},
};

void WriteInstanceDefaults(HKEY instance)
{
    size_t i = 0;
    const size_t count = sizeof kDirectSoundDefaults / sizeof kDirectSoundDefaults[0];
    while (i < count) {
        const char *subkey = kDirectSoundDefaults[i].subkey;
        HKEY key;
        bool opened = RegCreateKeyExA(instance, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
        // A subkey that cannot be made only skips its own values.
        for (; i < count && strcmp(kDirectSoundDefaults[i].subkey, subkey) == 0; ++i) {
            if (opened)
                RegSetValueExA(key, kDirectSoundDefaults[i].name, 0, REG_DWORD,
                               reinterpret_cast<const BYTE *>(&kDirectSoundDefaults[i].data), 4);
        }
        if (opened)
            RegCloseKey(key);
    }
}

// Modes Open and OpenRetry: whether a probe buffer lets the channel
// configuration be set. A failure is told as the mode says, and the probe
// buffer goes last, after the defaults or the message.
bool ChannelConfigSettable(IDirectSound *sound, ProbeMode mode)
{
    WAVEFORMATEX format = DriverBufferFormat();
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof(DSBUFFERDESC1); // the first form: 20 bytes on 32-bit Windows
    desc.dwFlags = DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = 1025;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer *buffer = nullptr;
    if (FAILED(sound->CreateSoundBuffer(&desc, &buffer, nullptr)) || !buffer) {
        fputs("Could not create test buffer\n", stderr);
        ShowMessage(nullptr, IDS_NO_ACCELERATION, MB_ICONINFORMATION);
        return false;
    }

    IKsPropertySet *propertySet = nullptr;
    if (FAILED(buffer->QueryInterface(IKsPropertySetId, reinterpret_cast<void **>(&propertySet))) ||
        !propertySet) {
        fputs("No IKsPropertySet interface available\n", stderr);
        buffer->Release();
        return false;
    }
    ULONG support = 0;
    HRESULT hr = propertySet->QuerySupport(KsPropSetIdAudio, KSPROPERTY_AUDIO_CHANNEL_CONFIG, &support);
    propertySet->Release();
    bool settable = SUCCEEDED(hr) && (support & KSPROPERTY_SUPPORT_SET);
    if (!settable && mode == Open)
        WriteDirectSoundDefaults();
    else if (!settable)
        ShowMessage(nullptr, IDS_NO_ACCELERATION, MB_ICONINFORMATION);
    buffer->Release();
    return settable;
}

} // namespace

bool DetectSoundCard()
{
    if (!IsWindowsNt5())
        return ProbeSpeakerRouting(Startup);
    HKEY pci;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPciKey, 0, KEY_READ, &pci) != ERROR_SUCCESS)
        return false;
    char name[256];
    for (DWORD index = 0; EnumSubkey(pci, index, name); ++index) {
        if (strstr(name, kCardIdentity)) {
            RegCloseKey(pci);
            return true;
        }
    }
    RegCloseKey(pci);
    return false;
}

bool ProbeSpeakerRouting(ProbeMode mode)
{
    EnsureDriverKey();

    IDirectSound *sound = nullptr;
    if (FAILED(DirectSoundCreate(nullptr, &sound, nullptr)) || !sound) {
        fputs("Could not open DirectSound\n", stderr);
        return false;
    }
    HiddenWindow hidden = {};
    hidden.Create("TestSpeakers", TestSpeakersProc, GetModuleHandleA(nullptr), nullptr);

    if (mode != Startup && !ChannelConfigSettable(sound, mode)) {
        hidden.Destroy();
        sound->Release();
        return false;
    }

    HRESULT hr = sound->SetCooperativeLevel(hidden.window, DSSCL_NORMAL);
    if (FAILED(hr)) {
        PrintDiagnostic("SetCooperativeLevel failed (%lx)\n", static_cast<unsigned long>(hr));
    } else if (IDirectSoundBuffer *buffer = LoadWaveBuffer(sound, "fleft.wav")) {
        bool routable;
        if (FAILED(RouteBuffer(buffer, SPEAKER_FRONT_LEFT, &routable)) && routable)
            fputs("Set failed\n", stderr);
        buffer->Play(0, 0, 0);
        buffer->Stop();
        buffer->Release();
    } else {
        fputs("Could not load fleft.wav\n", stderr);
    }
    hidden.Destroy();
    sound->Release();
    return true;
}

void WriteDirectSoundDefaults()
{
    if (!IsWindowsNt5())
        return;
    HKEY pci;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfilePciKey, 0, KEY_ALL_ACCESS, &pci) != ERROR_SUCCESS)
        return;
    char deviceName[256];
    for (DWORD d = 0; EnumSubkey(pci, d, deviceName); ++d) {
        if (!strstr(deviceName, kCardIdentity))
            continue;
        HKEY device;
        if (RegOpenKeyExA(pci, deviceName, 0, KEY_ALL_ACCESS, &device) != ERROR_SUCCESS)
            continue;
        char instanceName[256];
        for (DWORD i = 0; EnumSubkey(device, i, instanceName); ++i) {
            HKEY instance;
            if (RegOpenKeyExA(device, instanceName, 0, KEY_ALL_ACCESS, &instance) != ERROR_SUCCESS)
                continue;
            WriteInstanceDefaults(instance);
            RegCloseKey(instance);
        }
        RegCloseKey(device);
    }
    RegCloseKey(pci);
}
