#include "speakers/speaker_config.h"

#include <mmsystem.h>
#include <dsound.h>
#include <string.h>

const char kDriverKey[] = "SOFTWARE\\Veltrona\\Wdm560";
uint8_t stereoX2Allowed = 0;

namespace {

const char kMediaClassKey[] =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";

// Reads a value into a 4-byte buffer whatever its type; only its first byte counts.
bool QueryFirstByte(HKEY key, const char *name, uint8_t *value)
{
    BYTE data[4] = {};
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS)
        return false;
    *value = data[0];
    return true;
}

} // namespace

bool ReadSpeakerLayout(uint8_t *layout)
{
    IDirectSound *directSound = nullptr;
    // Success without an object is a failure all the same.
    if (FAILED(DirectSoundCreate(nullptr, &directSound, nullptr)) || !directSound) {
        OutputDebugStringA("DirectSoundCreate error");
        return false;
    }
    DWORD config = 0;
    if (FAILED(directSound->GetSpeakerConfig(&config))) {
        OutputDebugStringA("Get speaker config error");
        directSound->Release();
        return false;
    }
    // The whole value counts: geometry bits in the upper word make it stereo.
    if (config == DSSPEAKER_QUAD)
        *layout = 4;
    else if (config == DSSPEAKER_5POINT1)
        *layout = 6;
    else
        *layout = 2;
    directSound->Release();
    return true;
}

bool WriteSpeakerLayout(uint8_t layout)
{
    IDirectSound *directSound = nullptr;
    // Success without an object is a failure all the same.
    if (FAILED(DirectSoundCreate(nullptr, &directSound, nullptr)) || !directSound) {
        OutputDebugStringA("DirectSoundCreate error");
        return false;
    }
    DWORD config = DSSPEAKER_STEREO; // also "Stereo X 2", which DirectSound cannot tell apart
    if (layout == 4)
        config = DSSPEAKER_QUAD;
    else if (layout == 6)
        config = DSSPEAKER_5POINT1;
    if (FAILED(directSound->SetSpeakerConfig(config))) {
        OutputDebugStringA("Set speaker config error");
        directSound->Release();
        return false;
    }
    directSound->Release();
    return true;
}

bool ReadSpeakerLimits(uint8_t *maxSpeakers)
{
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kDriverKey, &key) != ERROR_SUCCESS)
        return false;
    if (!QueryFirstByte(key, "MaxSpeakers", maxSpeakers))
        *maxSpeakers = 2;
    stereoX2Allowed = 0;
    QueryFirstByte(key, "StereoX2", &stereoX2Allowed);
    RegCloseKey(key);
    return true;
}

uint16_t FindDriverManufacturerId(const char *description)
{
    HKEY classKey;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kMediaClassKey, &classKey) != ERROR_SUCCESS)
        return 0;
    char name[257];
    for (DWORD index = 0; RegEnumKeyA(classKey, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
        HKEY driver;
        if (RegOpenKeyA(classKey, name, &driver) != ERROR_SUCCESS)
            continue;
        // One byte more than is read, so that a text filling the buffer is
        // still terminated before it is searched.
        char driverDesc[257] = {};
        DWORD size = 256;
        bool matches = RegQueryValueExA(driver, "DriverDesc", nullptr, nullptr,
                                        reinterpret_cast<BYTE *>(driverDesc), &size) == ERROR_SUCCESS &&
                       strstr(driverDesc, description) != nullptr;
        HKEY config;
        if (matches && RegOpenKeyA(driver, "Config", &config) == ERROR_SUCCESS) {
            BYTE id[2] = {};
            DWORD idSize = sizeof id;
            LONG status = RegQueryValueExA(config, "ManufactureID", nullptr, nullptr, id, &idSize);
            RegCloseKey(config);
            if (status == ERROR_SUCCESS) {
                RegCloseKey(driver);
                RegCloseKey(classKey);
                return static_cast<uint16_t>(id[0] | (id[1] << 8));
            }
        }
        RegCloseKey(driver);
    }
    RegCloseKey(classKey);
    return 0;
}
