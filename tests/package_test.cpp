// What vtpanel.exe needs of the machine: a 32-bit GUI program that Windows 2000
// loads, with nothing but the system's own DLLs.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

// The shipped program and one linked against the runtime DLLs, named by the arguments.
const char *const shippedPath = __argc > 2 ? __argv[1] : "", *const fixturePath = __argc > 2 ? __argv[2] : "";

// Functions that the toolchain's runtime is known to reach for and that
// arrived after Windows 2000: importing one makes the program fail to load there.
const char *const kNewerThanWindows2000[] = {
    "AddVectoredExceptionHandler", "RemoveVectoredExceptionHandler", "GetModuleHandleExA", "GetModuleHandleExW",
    "GetTickCount64", "InitializeCriticalSectionEx", "InitializeSRWLock", "AcquireSRWLockExclusive",
    "AcquireSRWLockShared", "InitializeConditionVariable", "SleepConditionVariableCS", "WakeConditionVariable",
    "InitOnceExecuteOnce", "FlsAlloc", "FlsGetValue", "GetNativeSystemInfo", "IsWow64Process",
    "GetLogicalProcessorInformation", "SetThreadStackGuarantee", "CreateSymbolicLinkA", "CreateSymbolicLinkW",
    "GetFinalPathNameByHandleA", "GetFinalPathNameByHandleW", "RtlCaptureStackBackTrace", "_vscprintf",
    "_vsnprintf_s", "_localtime64_s", "__lc_codepage_func",
};

// The program mapped as the loader lays it out, for reading only (it may be
// 32-bit); the 64-bit form of the headers differs from the stack sizes on.
const IMAGE_NT_HEADERS32 *Map(const char *path, const BYTE **base)
{
    auto module = reinterpret_cast<ULONG_PTR>(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    *base = reinterpret_cast<const BYTE *>(module & ~static_cast<ULONG_PTR>(3));
    const LONG offset = module ? reinterpret_cast<const IMAGE_DOS_HEADER *>(*base)->e_lfanew : 0;
    return module ? reinterpret_cast<const IMAGE_NT_HEADERS32 *>(*base + offset) : nullptr;
}

// The imports Windows 2000 cannot satisfy, each followed by a space: DLLs it
// does not bring, functions newer than it. Every address is checked against
// the image's size; a table that leaves the image is reported too.
std::string Unmet(const BYTE *base, const IMAGE_NT_HEADERS32 *nt)
{
    static const char *const kSystemDlls[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                              "comctl32.dll", "shell32.dll", "winmm.dll", "dsound.dll", "msvcrt.dll"};
    const DWORD size = nt->OptionalHeader.SizeOfImage;
    const bool wide = nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    auto text = [&](ULONGLONG rva) -> std::string {
        return rva < size && std::memchr(base + rva, 0, size - rva) ? reinterpret_cast<const char *>(base + rva) : "?";
    };
    std::string unmet;
    IMAGE_IMPORT_DESCRIPTOR entry;
    for (DWORD at = (wide ? reinterpret_cast<const IMAGE_NT_HEADERS64 *>(nt)->OptionalHeader.DataDirectory
                          : nt->OptionalHeader.DataDirectory)[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
         at; at += sizeof entry) {
        if (at > size - sizeof entry)
            return unmet + "(imports outside the image)";
        std::memcpy(&entry, base + at, sizeof entry);
        if (!entry.Name)
            break;
        std::string dll = text(entry.Name);
        bool system = false;
        for (const char *known : kSystemDlls)
            system = system || !lstrcmpiA(dll.c_str(), known);
        unmet += system ? "" : dll + " ";
        ULONGLONG thunk = 1;
        for (DWORD slot = entry.OriginalFirstThunk ? entry.OriginalFirstThunk : entry.FirstThunk; thunk;
             slot += wide ? 8 : 4) {
            if (slot > size - 8)
                return unmet + "(thunks outside the image)";
            std::memcpy(&thunk, base + slot, 8);
            thunk &= wide ? ~0ull : 0xFFFFFFFFull;
            std::string function = !thunk || thunk >> (wide ? 63 : 31) ? "" : text(thunk + 2); // or by ordinal
            for (const char *newer : kNewerThanWindows2000)
                unmet += function == newer ? function + " " : "";
        }
    }
    return unmet;
}

TEST(ShippedProgram, IsA32BitGuiProgramThatWindows2000LoadsWithItsOwnDlls)
{
    const BYTE *base;
    const IMAGE_NT_HEADERS32 *headers = Map(shippedPath, &base);
    ASSERT_NE(nullptr, headers) << shippedPath;
    const IMAGE_NT_HEADERS32 &nt = *headers;
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt.FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt.OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt.OptionalHeader.Subsystem);
    // The loader of Windows 2000 (5.0) refuses an image that asks for a newer system.
    EXPECT_LE(nt.OptionalHeader.MajorOperatingSystemVersion * 100 + nt.OptionalHeader.MinorOperatingSystemVersion, 500);
    EXPECT_LE(nt.OptionalHeader.MajorSubsystemVersion * 100 + nt.OptionalHeader.MinorSubsystemVersion, 500);
    EXPECT_EQ(0u, nt.FileHeader.NumberOfSymbols) << "not stripped";
    EXPECT_EQ("", Unmet(base, headers));
}

// The check itself: a program built against the runtime DLLs must be caught.
TEST(ImportCheck, RejectsAProgramLinkedToTheRuntimeDlls)
{
    const BYTE *base;
    const IMAGE_NT_HEADERS32 *headers = Map(fixturePath, &base);
    ASSERT_NE(nullptr, headers) << fixturePath;
    std::string unmet = " " + Unmet(base, headers);
    EXPECT_NE(std::string::npos, unmet.find(" libstdc++-6.dll ")) << unmet;
    EXPECT_NE(std::string::npos, unmet.find(" libgcc_s_")) << unmet;
}

} // namespace
