#include "app/startup.h"

#include <stdlib.h>
#include <string.h>

#include "app/app.h"
#include "speakers/speaker_config.h"

namespace {

const char kQSoundKey[] = "Software\\QSound\\QSoft3d";
const DWORD kLowestPreload = 0x00500000, kHighestPreload = 0x5FFFFFFF;
const char kProfileFile[] = "SOUNDCFG.INI";
const int kWindowsFolderSize = 200;

HMODULE a3dLoader = nullptr;

typedef DWORD(WINAPI *InstallHookProc)(DWORD *preload);
typedef DWORD(WINAPI *RemoveHookProc)();

FARPROC Export(HMODULE module, const char *name)
{
    return module ? GetProcAddress(module, name) : nullptr;
}

} // namespace

DWORD ReadA3DPreload(HKEY key)
{
    if (!key)
        return kDefaultA3DPreload;
    // 32 bytes are read; one more always ends a text that fills them.
    char data[33] = {};
    DWORD type = REG_NONE, size = 32, value = 0;
    if (RegQueryValueExA(key, "A3D preload", nullptr, &type, reinterpret_cast<BYTE *>(data), &size) ==
        ERROR_SUCCESS) {
        if (type == REG_SZ)
            value = strtoul(data, nullptr, 16);
        else if (type == REG_DWORD || (type == REG_BINARY && size >= 4))
            memcpy(&value, data, sizeof value);
    }
    RegCloseKey(key);
    return value >= kLowestPreload && value <= kHighestPreload ? value : kDefaultA3DPreload;
}

void InstallA3DHook()
{
    a3dLoader = LoadLibraryA("QA3DLoad");
    if (InstallHookProc install = reinterpret_cast<InstallHookProc>(
            reinterpret_cast<void (*)()>(Export(a3dLoader, "InstallA3DHook"))))
        install(&a3dPreload);
}

void RemoveA3DHook()
{
    if (!a3dLoader)
        return;
    if (RemoveHookProc remove = reinterpret_cast<RemoveHookProc>(
            reinterpret_cast<void (*)()>(Export(a3dLoader, "RemoveA3DHook"))))
        remove();
    FreeLibrary(a3dLoader);
    a3dLoader = nullptr;
}

void ApplyFirstRunLayout()
{
    char firstTime[4] = "";
    GetPrivateProfileStringA("SPEAKERS", "FIRSTTIME", "0", firstTime, sizeof firstTime, kProfileFile);
    if (firstTime[0] != '1')
        return;
    // Without the driver's limits the largest layout is unknown: the next
    // start tries again.
    uint8_t layout = 2;
    if (!ReadSpeakerLimits(&layout))
        return;
    WriteSpeakerLayout(layout);

    char path[kWindowsFolderSize + 1 + sizeof kProfileFile];
    UINT length = GetWindowsDirectoryA(path, kWindowsFolderSize);
    if (length > 0 && length < kWindowsFolderSize) {
        strcat(path, "\\");
        strcat(path, kProfileFile);
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    WritePrivateProfileStringA("SPEAKERS", "FIRSTTIME", "0", kProfileFile);
}
