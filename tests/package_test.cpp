// What vtpanel.exe needs of the machine: a 32-bit GUI program that Windows 2000
// loads, with nothing but the system's own DLLs.
#include "pe_image.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string shippedPath;
std::string dynamicFixturePath;

// The DLLs that Windows 2000 brings and the program may import.
const char *const kSystemDlls[] = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll",
    "shell32.dll", "winmm.dll", "dsound.dll", "msvcrt.dll",
};

// Functions that the toolchain's runtime is known to reach for and that
// arrived after Windows 2000: importing one makes the program fail to load there.
const char *const kNewerThanWindows2000[] = {
    "AddVectoredExceptionHandler", "RemoveVectoredExceptionHandler",
    "GetModuleHandleExA", "GetModuleHandleExW", "GetTickCount64",
    "InitializeCriticalSectionEx", "InitializeSRWLock", "AcquireSRWLockExclusive",
    "AcquireSRWLockShared", "InitializeConditionVariable", "SleepConditionVariableCS",
    "WakeConditionVariable", "InitOnceExecuteOnce", "FlsAlloc", "FlsGetValue",
    "GetNativeSystemInfo", "IsWow64Process", "GetLogicalProcessorInformation",
    "SetThreadStackGuarantee", "CreateSymbolicLinkA", "CreateSymbolicLinkW",
    "GetFinalPathNameByHandleA", "GetFinalPathNameByHandleW", "RtlCaptureStackBackTrace",
    "_vscprintf", "_vsnprintf_s", "_localtime64_s", "__lc_codepage_func",
};

// The imported DLLs that are not Windows system DLLs.
std::vector<std::string> ForeignDlls(const PeImage &image)
{
    std::vector<std::string> foreign;
    for (const std::string &dll : ImportedDlls(image)) {
        bool system = false;
        for (const char *known : kSystemDlls)
            system = system || dll == known;
        if (!system)
            foreign.push_back(dll);
    }
    return foreign;
}

PeImage Read(const std::string &path)
{
    PeImage image;
    std::string error;
    EXPECT_TRUE(ReadPeImage(path, &image, &error)) << path << ": " << error;
    return image;
}

TEST(ShippedProgram, IsA32BitGuiProgramThatWindows2000Loads)
{
    PeImage image = Read(shippedPath);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, image.machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, image.optionalMagic);
    EXPECT_TRUE(image.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE);
    EXPECT_TRUE(image.characteristics & IMAGE_FILE_32BIT_MACHINE);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, image.subsystem);
    // The loader of Windows 2000 (5.0) refuses an image that asks for a newer system.
    EXPECT_LE(image.osVersionMajor * 100 + image.osVersionMinor, 500u);
    EXPECT_LE(image.subsystemVersionMajor * 100 + image.subsystemVersionMinor, 500u);
    EXPECT_EQ(0u, image.symbolCount) << "not stripped";
}

TEST(ShippedProgram, ImportsOnlyWindowsSystemDlls)
{
    PeImage image = Read(shippedPath);
    EXPECT_FALSE(image.imports.empty());
    std::vector<std::string> foreign = ForeignDlls(image);
    for (const std::string &dll : foreign)
        ADD_FAILURE() << "imports " << dll;
}

TEST(ShippedProgram, ImportsNoFunctionNewerThanWindows2000)
{
    for (const PeImport &import : Read(shippedPath).imports)
        for (const char *newer : kNewerThanWindows2000)
            EXPECT_NE(import.function, newer) << "from " << import.dll;
}

// The check itself: a program built against the runtime DLLs must be caught.
TEST(ImportCheck, RejectsAProgramLinkedToTheRuntimeDlls)
{
    std::vector<std::string> foreign = ForeignDlls(Read(dynamicFixturePath));
    EXPECT_NE(foreign.end(), std::find(foreign.begin(), foreign.end(), "libstdc++-6.dll"));
    bool libgcc = false;
    for (const std::string &dll : foreign)
        libgcc = libgcc || dll.rfind("libgcc_s_", 0) == 0;
    EXPECT_TRUE(libgcc);
}

TEST(ImportCheck, RefusesWhatIsNoProgram)
{
    PeImage image;
    std::string error;
    EXPECT_FALSE(ReadPeImage(dynamicFixturePath + ".missing", &image, &error));
    // A file that is there but no program.
    char windir[MAX_PATH];
    GetWindowsDirectoryA(windir, sizeof windir);
    EXPECT_FALSE(ReadPeImage(std::string(windir) + "\\win.ini", &image, &error));
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: package_test SHIPPED_EXE DYNAMIC_FIXTURE_EXE\n");
        return 2;
    }
    shippedPath = argv[1];
    dynamicFixturePath = argv[2];
    return RUN_ALL_TESTS();
}
