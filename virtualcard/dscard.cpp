// The card's device list, stored state and test controls, all kept in its
// own registry key so that every process of a prefix sees the same card.
#include "virtualcard/dscard.h"

#include "virtualcard/vcfault.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int liveDirectSounds, liveBuffers, livePropertySets, playingBuffers, usesAfterRelease, buffersLeftAtRelease;

namespace {

int nextObjectId = 1;
DWORD hardwareInUse[VCARD_MAX_DEVICES];
const DWORD kDefaultHardwareBuffers = 32;

HKEY OpenCardKey(const char *subKey, bool create)
{
    char path[128];
    snprintf(path, sizeof path, "%s%s%s", VCARD_KEY, subKey[0] ? "\\" : "", subKey);
    HKEY key = nullptr;
    LONG rc = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                       nullptr, &key, nullptr)
                     : RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    return rc == ERROR_SUCCESS ? key : nullptr;
}

bool ReadDword(HKEY key, const char *name, DWORD *value)
{
    DWORD type, data, size = sizeof data;
    if (!key || RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&data),
                                 &size) != ERROR_SUCCESS || type != REG_DWORD)
        return false;
    *value = data;
    return true;
}

void ReadString(HKEY key, const char *name, char *out, DWORD size)
{
    char text[256];
    DWORD type, length = sizeof text - 1;
    if (!key || RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(text),
                                 &length) != ERROR_SUCCESS || type != REG_SZ)
        return;
    text[length < sizeof text ? length : sizeof text - 1] = '\0';
    snprintf(out, size, "%s", text);
}

void DeviceKeyName(int device, const char *child, char *out, size_t size)
{
    snprintf(out, size, "Device%d%s%s", device, child ? "\\" : "", child ? child : "");
}

// Deletes a key with everything below it (the system's own call for this
// came after Windows 2000).
void DeleteTree(HKEY parent, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char child[256];
    DWORD size = sizeof child;
    while (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        DeleteTree(key, child);
        size = sizeof child;
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, path);
}

} // namespace

int CardNextObjectId()
{
    return nextObjectId++;
}

void FormatGuid(const GUID *g, char *out, size_t size)
{
    if (!g) {
        snprintf(out, size, "null");
        return;
    }
    snprintf(out, size, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned long>(g->Data1), g->Data2, g->Data3, g->Data4[0], g->Data4[1],
             g->Data4[2], g->Data4[3], g->Data4[4], g->Data4[5], g->Data4[6], g->Data4[7]);
}

bool ParseGuid(const char *text, GUID *g)
{
    unsigned long d1;
    unsigned d2, d3, b[8];
    if (sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1],
               &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]) != 11)
        return false;
    g->Data1 = d1;
    g->Data2 = static_cast<WORD>(d2);
    g->Data3 = static_cast<WORD>(d3);
    for (int i = 0; i < 8; ++i)
        g->Data4[i] = static_cast<BYTE>(b[i]);
    return true;
}

GUID VcDefaultDeviceGuid(int index)
{
    // The card's own GUID for device 0; numbered ones for the others.
    GUID g = {0x1D7F0560u + static_cast<unsigned>(index) * 0x10000u, 0x5A3C, 0x4E21,
              {0x9B, 0x41, 0x56, 0x43, 0x41, 0x52, 0x44, static_cast<BYTE>(index)}};
    return g;
}

void VcDefaultDevice(int index, VcDevice *d)
{
    memset(d, 0, sizeof *d);
    bool card = index == 0;
    if (card)
        snprintf(d->description, sizeof d->description, "Sonaris PCI Audio");
    else
        snprintf(d->description, sizeof d->description, "Virtual Sound Device %d", index);
    snprintf(d->module, sizeof d->module, "%s", card ? "vtwdm560.sys" : "vcsound.sys");
    d->guid = VcDefaultDeviceGuid(index);
    d->hardware3D = d->q3D = card;
    d->hardwareBuffers = kDefaultHardwareBuffers;
    d->channelConfig = card ? VcChannelConfigSettable : VcChannelConfigUnsupported;
}

int CardDeviceCount()
{
    HKEY key = OpenCardKey("", false);
    DWORD count = 1;
    ReadDword(key, "DeviceCount", &count);
    if (key)
        RegCloseKey(key);
    return count > VCARD_MAX_DEVICES ? VCARD_MAX_DEVICES : static_cast<int>(count);
}

bool CardDevice(int index, VcDevice *d)
{
    if (index < 0 || index >= CardDeviceCount())
        return false;
    VcDefaultDevice(index, d);
    char name[32];
    DeviceKeyName(index, nullptr, name, sizeof name);
    HKEY key = OpenCardKey(name, false);
    if (!key)
        return true;
    ReadString(key, "Description", d->description, sizeof d->description);
    ReadString(key, "Module", d->module, sizeof d->module);
    char guid[64] = "";
    ReadString(key, "Guid", guid, sizeof guid);
    if (guid[0])
        ParseGuid(guid, &d->guid);
    DWORD v;
    if (ReadDword(key, "Hardware3D", &v))
        d->hardware3D = v != 0;
    if (ReadDword(key, "ChannelConfig", &v) && v <= VcChannelConfigNoFlags)
        d->channelConfig = static_cast<VcChannelConfig>(v);
    if (ReadDword(key, "HardwareBuffers", &v))
        d->hardwareBuffers = v;
    if (ReadDword(key, "Q3D", &v))
        d->q3D = v != 0;
    RegCloseKey(key);
    return true;
}

DWORD CardSpeakerConfig(int device)
{
    char name[32];
    DeviceKeyName(device, nullptr, name, sizeof name);
    HKEY key = OpenCardKey(name, false);
    DWORD config = DSSPEAKER_STEREO;
    ReadDword(key, "SpeakerConfig", &config);
    if (key)
        RegCloseKey(key);
    return config;
}

void CardStoreSpeakerConfig(int device, DWORD config)
{
    char name[32];
    DeviceKeyName(device, nullptr, name, sizeof name);
    HKEY key = OpenCardKey(name, true);
    if (!key)
        return;
    RegSetValueExA(key, "SpeakerConfig", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&config),
                   sizeof config);
    RegCloseKey(key);
}

bool CardLoadProperty(int device, const char *setName, ULONG id, void *value, ULONG size)
{
    char name[64], idText[16];
    DeviceKeyName(device, setName, name, sizeof name);
    snprintf(idText, sizeof idText, "%lu", static_cast<unsigned long>(id));
    HKEY key = OpenCardKey(name, false);
    if (!key)
        return false;
    BYTE data[16];
    DWORD type, length = sizeof data;
    bool ok = RegQueryValueExA(key, idText, nullptr, &type, data, &length) == ERROR_SUCCESS &&
              type == REG_BINARY && length == size;
    if (ok)
        memcpy(value, data, size);
    RegCloseKey(key);
    return ok;
}

void CardStoreProperty(int device, const char *setName, ULONG id, const void *value, ULONG size)
{
    char name[64], idText[16];
    DeviceKeyName(device, setName, name, sizeof name);
    snprintf(idText, sizeof idText, "%lu", static_cast<unsigned long>(id));
    HKEY key = OpenCardKey(name, true);
    if (!key)
        return;
    RegSetValueExA(key, idText, 0, REG_BINARY, static_cast<const BYTE *>(value), size);
    RegCloseKey(key);
}

namespace {
DWORD playTimeOverride = MAXDWORD;
}

DWORD CardPlayTimePercent()
{
    if (playTimeOverride != MAXDWORD)
        return playTimeOverride;
    HKEY key = OpenCardKey("", false);
    DWORD percent = 100;
    ReadDword(key, "PlayTimePercent", &percent);
    if (key)
        RegCloseKey(key);
    return percent;
}

bool CardTakeHardwareBuffer(int device, DWORD limit)
{
    if (device < 0 || device >= VCARD_MAX_DEVICES || hardwareInUse[device] >= limit)
        return false;
    ++hardwareInUse[device];
    return true;
}

void CardReturnHardwareBuffer(int device)
{
    if (device >= 0 && device < VCARD_MAX_DEVICES && hardwareInUse[device] > 0)
        --hardwareInUse[device];
}

// The test-control API.

void VcReset()
{
    DeleteTree(HKEY_CURRENT_USER, VCARD_KEY);
    CardForgetFaults();
    playTimeOverride = MAXDWORD;
    usesAfterRelease = buffersLeftAtRelease = 0;
    VcLogClear();
}

bool VcSetDevices(const VcDevice *devices, int count)
{
    if (count < 0 || count > VCARD_MAX_DEVICES)
        return false;
    HKEY root = OpenCardKey("", true);
    if (!root)
        return false;
    DWORD n = static_cast<DWORD>(count);
    RegSetValueExA(root, "DeviceCount", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&n), sizeof n);
    RegCloseKey(root);
    for (int i = 0; i < count; ++i) {
        char name[32], guid[64];
        DeviceKeyName(i, nullptr, name, sizeof name);
        HKEY key = OpenCardKey(name, true);
        if (!key)
            return false;
        const VcDevice &d = devices[i];
        FormatGuid(&d.guid, guid, sizeof guid);
        RegSetValueExA(key, "Description", 0, REG_SZ, reinterpret_cast<const BYTE *>(d.description),
                       static_cast<DWORD>(strlen(d.description) + 1));
        RegSetValueExA(key, "Module", 0, REG_SZ, reinterpret_cast<const BYTE *>(d.module),
                       static_cast<DWORD>(strlen(d.module) + 1));
        RegSetValueExA(key, "Guid", 0, REG_SZ, reinterpret_cast<const BYTE *>(guid),
                       static_cast<DWORD>(strlen(guid) + 1));
        const struct { const char *name; DWORD value; } values[] = {
            {"Hardware3D", d.hardware3D}, {"HardwareBuffers", d.hardwareBuffers},
            {"ChannelConfig", static_cast<DWORD>(d.channelConfig)}, {"Q3D", d.q3D}};
        for (const auto &value : values)
            RegSetValueExA(key, value.name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value.value),
                           sizeof value.value);
        RegCloseKey(key);
    }
    return true;
}

int VcDeviceCount()
{
    return CardDeviceCount();
}

bool VcGetDevice(int index, VcDevice *device)
{
    return CardDevice(index, device);
}

void VcSetPlayTimePercent(DWORD percent)
{
    playTimeOverride = percent;
    HKEY key = OpenCardKey("", true);
    if (!key)
        return;
    RegSetValueExA(key, "PlayTimePercent", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&percent),
                   sizeof percent);
    RegCloseKey(key);
}

int VcLiveDirectSounds() { return liveDirectSounds; }
int VcLiveBuffers() { return liveBuffers; }
int VcLivePropertySets() { return livePropertySets; }
int VcPlayingBuffers() { return playingBuffers; }
int VcUsesAfterRelease() { return usesAfterRelease; }
int VcBuffersLeftAtRelease() { return buffersLeftAtRelease; }

DWORD VcSpeakerConfig(int device)
{
    return CardSpeakerConfig(device);
}

bool VcStoredProperty(int device, const GUID &set, ULONG id, void *value, ULONG size)
{
    const char *name = IsEqualGUID(set, VcQ3DPropertySet)         ? "Q3DPropertySet"
                       : IsEqualGUID(set, VcQ3DEffectPropertySet) ? "Q3DEffectPropertySet"
                                                                  : nullptr;
    return name && CardLoadProperty(device, name, id, value, size);
}

size_t VcLogFind(const char *prefix, size_t from)
{
    size_t n = strlen(prefix);
    for (size_t i = from; i < VcLogCount(); ++i)
        if (strncmp(VcLogLine(i), prefix, n) == 0)
            return i;
    return VcLogCount();
}

bool VcLogField(const char *line, const char *key, char *out, size_t outSize)
{
    size_t n = strlen(key);
    for (const char *p = line; (p = strstr(p, key)) != nullptr; p += n) {
        if ((p != line && p[-1] != ' ') || p[n] != '=')
            continue;
        const char *v = p + n + 1;
        size_t len;
        if (*v == '"') {
            ++v;
            const char *end = strchr(v, '"');
            len = end ? static_cast<size_t>(end - v) : strlen(v);
        } else {
            len = strcspn(v, " ");
        }
        if (len >= outSize)
            len = outSize - 1;
        memcpy(out, v, len);
        out[len] = '\0';
        return true;
    }
    return false;
}
