// QA3DLoad.dll, the QSound software's A3D loader: the program hands it the
// A3D preload value at start and removes the hook at exit. The loader here
// only records both calls ("InstallA3DHook 0x<value>", "InstallA3DHook null"
// for a null pointer, "RemoveA3DHook") and reports success (1); a null
// pointer is refused with 0.
#include "virtualcard/vclog.h"

#include <windows.h>

extern "C" DWORD WINAPI InstallA3DHook(const DWORD *preload)
{
    if (!preload) {
        VcLog("InstallA3DHook null");
        return 0;
    }
    VcLog("InstallA3DHook 0x%08lx", static_cast<unsigned long>(*preload));
    return 1;
}

extern "C" DWORD WINAPI RemoveA3DHook(void)
{
    VcLog("RemoveA3DHook");
    return 1;
}
