// VTHLP32.DLL, the driver package's support library. Its one export,
// DLL32Call, removes the card's installation in two steps, as the package's
// uninstaller does:
//
//   DLL32Call(0)  starts the removal: marks it as started. Returns 1.
//   DLL32Call(1)  completes a started removal: the card's devices, the driver
//                 key, the card's PCI enumeration keys (current control set and
//                 hardware profile 0001), its media class subkey, the Q3D class
//                 key, SOUNDCFG.INI and the test wave files are gone. Returns 1;
//                 0 when no removal was started (nothing is touched then).
//   any other     does nothing and returns 0.
//
// The control-panel applet and this library itself are left in place: the
// program deletes them. Every call is recorded ("DLL32Call <n>").
#include "virtualcard/vthlp32.h"
#include "virtualcard/vclog.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

// Deletes a key with everything below it; true when it is gone.
bool DeleteKeyTree(HKEY parent, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
    char child[256];
    // Always the first subkey: the indexes shift as subkeys go.
    for (;;) {
        DWORD length = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!DeleteKeyTree(key, child))
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

// Deletes every subkey of `path` that `matches` picks.
void DeleteSubkeysWhere(const char *path, bool (*matches)(HKEY key, const char *name))
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    DWORD index = 0;
    for (;;) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (matches(key, name) && DeleteKeyTree(key, name))
            continue; // the next one has moved into this index
        ++index;
    }
    RegCloseKey(key);
}

// A PCI device key of the card: its name holds the card's identity.
bool IsCardDevice(HKEY, const char *name)
{
    return strstr(name, kCardIdentity) != nullptr;
}

// A media class subkey of the card's driver, found by its description.
bool IsCardMediaDriver(HKEY key, const char *name)
{
    char desc[256] = "";
    DWORD size = sizeof desc - 1;
    HKEY sub;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
        RegQueryValueExA(sub, "DriverDesc", nullptr, nullptr, reinterpret_cast<BYTE *>(desc), &size);
        RegCloseKey(sub);
    }
    return strcmp(desc, kCardDriverDesc) == 0;
}

void DeleteFromDirectory(const char *directory, const char *file)
{
    char path[MAX_PATH];
    if (snprintf(path, sizeof path, "%s\\%s", directory, file) < static_cast<int>(sizeof path))
        DeleteFileA(path);
}

void DeletePackageFiles()
{
    char windows[MAX_PATH], system[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n > 0 && n < sizeof windows)
        DeleteFromDirectory(windows, kProfileFileName);
    n = GetSystemDirectoryA(system, sizeof system);
    if (n > 0 && n < sizeof system)
        for (const char *wave : kPackageWaveFiles)
            DeleteFromDirectory(system, wave);
}

bool RemovalStarted()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPackageStateKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD value = 0, size = sizeof value;
    LONG r = RegQueryValueExA(key, kRemovalStartedValue, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && value != 0;
}

DWORD StartRemoval()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPackageStateKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    DWORD one = 1;
    LONG r = RegSetValueExA(key, kRemovalStartedValue, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                            sizeof one);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? 1 : 0;
}

DWORD CompleteRemoval()
{
    if (!RemovalStarted())
        return 0;
    RemoveCardDevices();
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kDriverKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverVendorKey); // only when nothing else is left in it
    DeleteSubkeysWhere(kPciEnumKey, IsCardDevice);
    DeleteSubkeysWhere(kProfilePciEnumKey, IsCardDevice);
    DeleteSubkeysWhere(kMediaClassKey, IsCardMediaDriver);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kQ3DClassKey);
    DeletePackageFiles();
    DeleteKeyTree(HKEY_CURRENT_USER, kPackageStateKey);
    return 1;
}

} // namespace

extern "C" DWORD WINAPI DLL32Call(DWORD step)
{
    VcLog("DLL32Call %lu", static_cast<unsigned long>(step));
    switch (step) {
    case 0:
        return StartRemoval();
    case 1:
        return CompleteRemoval();
    default:
        return 0;
    }
}
