// The card's installation as tools/wine-prefix makes it, read back through the
// ordinary Win32 calls the product uses: run in a prefix of its own.
#include "virtualcard/vthlp32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

TEST(PackageInstall, AProgramSeesTheCardsInstallation)
{
    char text[128];
    GetPrivateProfileStringA("DESCRIPTION", "DRIVERDESC", "", text, sizeof text, kProfileFileName);
    EXPECT_STREQ("Sonaris PCI Audio", text);
    DWORD speakers = 0, size = sizeof speakers;
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueA(HKEY_LOCAL_MACHINE, kDriverKey, "MaxSpeakers", RRF_RT_REG_DWORD, nullptr, &speakers, &size));
    EXPECT_EQ(6u, speakers);
    GetSystemDirectoryA(text, sizeof text);
    for (const char *wave : kPackageWaveFiles)
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((std::string(text) + "\\" + wave).c_str())) << wave;
}
