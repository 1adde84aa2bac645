// What vtpanel.exe needs of the machine: a 32-bit GUI program that Windows 2000
// loads, with nothing but the system's own DLLs.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

// The shipped program, named by the argument.
const char *const shippedPath = __argc > 1 ? __argv[1] : "";

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
const char *const kSystemDlls[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll",
                                   "shell32.dll", "winmm.dll", "dsound.dll", "msvcrt.dll"};

// The image is 32-bit (checked first) and mapped as the loader lays it out,
// for reading only: this test may be 64-bit.
TEST(ShippedProgram, IsA32BitGuiProgramThatWindows2000LoadsWithItsOwnDlls)
{
    auto module = reinterpret_cast<ULONG_PTR>(LoadLibraryExA(shippedPath, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_NE(0u, module) << shippedPath;
    const BYTE *base = reinterpret_cast<const BYTE *>(module & ~static_cast<ULONG_PTR>(3));
    const LONG headers = reinterpret_cast<const IMAGE_DOS_HEADER *>(base)->e_lfanew;
    const IMAGE_NT_HEADERS32 &nt = *reinterpret_cast<const IMAGE_NT_HEADERS32 *>(base + headers);
    ASSERT_EQ(IMAGE_FILE_MACHINE_I386, nt.FileHeader.Machine);
    ASSERT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt.OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt.OptionalHeader.Subsystem);
    // The loader of Windows 2000 (5.0) refuses an image that asks for a newer system.
    EXPECT_LE(nt.OptionalHeader.MajorOperatingSystemVersion * 100 + nt.OptionalHeader.MinorOperatingSystemVersion, 500);
    EXPECT_LE(nt.OptionalHeader.MajorSubsystemVersion * 100 + nt.OptionalHeader.MinorSubsystemVersion, 500);
    EXPECT_EQ(0u, nt.FileHeader.NumberOfSymbols) << "not stripped";
    // The imports Windows 2000 cannot satisfy: DLLs it does not bring (the
    // toolchain's runtime DLLs among them), functions newer than it.
    auto text = [&](DWORD rva) { return std::string(reinterpret_cast<const char *>(base + rva)); };
    std::string unmet;
    const IMAGE_IMPORT_DESCRIPTOR *entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(
        base + nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; entry->Name; ++entry) {
        bool system = false;
        for (const char *known : kSystemDlls)
            system = system || !lstrcmpiA(text(entry->Name).c_str(), known);
        unmet += system ? "" : text(entry->Name) + " ";
        const DWORD *thunk = reinterpret_cast<const DWORD *>(
            base + (entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk));
        for (; *thunk; ++thunk)
            for (const char *newer : kNewerThanWindows2000)
                unmet += !(*thunk >> 31) && text(*thunk + 2) == newer ? text(*thunk + 2) + " " : ""; // or by ordinal
    }
    EXPECT_EQ("", unmet);
}

} // namespace
