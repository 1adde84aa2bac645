// The card's devices as the virtual card keeps them (vcard.h): the removal
// leaves the device list empty, so the card's DirectSound finds no device.
#include "virtualcard/vthlp32.h"

#include <stdio.h>

namespace {

// The layout of vcard.h: DeviceCount and Device<i> under the card's key.
const char kCardKey[] = "Software\\VirtualCard";
const int kMaxCardDevices = 16;

} // namespace

void RemoveCardDevices()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kCardKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (int i = 0; i < kMaxCardDevices; ++i) {
        char name[32];
        snprintf(name, sizeof name, "Device%d", i);
        // A device key holds two levels at most: its values and the stored
        // properties of its two sets.
        HKEY device;
        if (RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &device) == ERROR_SUCCESS) {
            RegDeleteKeyA(device, "Q3DPropertySet");
            RegDeleteKeyA(device, "Q3DEffectPropertySet");
            RegCloseKey(device);
            RegDeleteKeyA(key, name);
        }
    }
    // An absent count means the card alone; none is written as 0.
    DWORD none = 0;
    RegSetValueExA(key, "DeviceCount", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&none), sizeof none);
    RegCloseKey(key);
}
