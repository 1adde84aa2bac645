// Entry point of the resident program.
#include "app/app.h"

namespace {

// Libraries loaded by bare name (the driver package's support library, the
// QSound loader) are never taken from the current directory where the
// system lets a program say so: naming the system directory as the
// library directory takes the current directory out of the search (an
// empty name does too on Windows, but not on every system that runs
// Windows programs). Looked up at run time: Windows 2000 and the first
// Windows XP lack it.
void KeepCurrentDirectoryOutOfLibrarySearch()
{
    typedef BOOL(WINAPI * SetDllDirectoryProc)(LPCSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDllDirectoryProc setDllDirectory = reinterpret_cast<SetDllDirectoryProc>(
        reinterpret_cast<void (*)()>(kernel ? GetProcAddress(kernel, "SetDllDirectoryA") : nullptr));
    if (!setDllDirectory)
        return;
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    setDllDirectory(length > 0 && length < sizeof system ? system : "");
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    KeepCurrentDirectoryOutOfLibrarySearch();
    return RunResidentProgram(instance, commandLine ? commandLine : "");
}
