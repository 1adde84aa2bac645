// The entry point of each of the driver package's libraries: the card's
// ledger learns which process loaded the library and when it freed it. The
// detach of a library still loaded when its process ends is no free, so it
// goes unrecorded: the library stays held by that process.
#include "virtualcard/vclog.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE library, DWORD reason, LPVOID processEnding)
{
    if (reason != DLL_PROCESS_ATTACH && (reason != DLL_PROCESS_DETACH || processEnding))
        return TRUE;
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(library, path, sizeof path);
    const char *name = n > 0 && n < sizeof path ? path : "?";
    for (const char *c = name; *c; ++c)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    VcLedger("library", reason == DLL_PROCESS_ATTACH ? +1 : -1, name);
    return TRUE;
}
