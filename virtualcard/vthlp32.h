// What the driver package installs and its support library removes: the
// names that tools/wine-prefix writes and VTHLP32.DLL deletes.
#ifndef VIRTUALCARD_VTHLP32_H
#define VIRTUALCARD_VTHLP32_H

#include <windows.h>

// Under HKEY_LOCAL_MACHINE.
const char kDriverKey[] = "SOFTWARE\\Veltrona\\Wdm560";
const char kDriverVendorKey[] = "SOFTWARE\\Veltrona";
const char kPciEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
const char kProfilePciEnumKey[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001\\System\\CurrentControlSet\\Enum\\PCI";
const char kMediaClassKey[] =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const char kQ3DClassKey[] = "System\\CurrentControlSet\\Services\\Class\\Q3D";
const char kCardIdentity[] = "VEN_1D7F&DEV_0560";
// The card driver's DriverDesc; SOUNDCFG.INI's DRIVERDESC is a part of it.
const char kCardDriverDesc[] = "Sonaris PCI Audio (WDM)";

// Under HKEY_CURRENT_USER: the support library's own state between its calls.
const char kPackageStateKey[] = "Software\\VirtualCard\\Package";
const char kRemovalStartedValue[] = "RemovalStarted";

const char kProfileFileName[] = "SOUNDCFG.INI";
const char *const kPackageWaveFiles[] = {
    "fleft.wav", "fright.wav", "rleft.wav", "rright.wav",
    "center.wav", "subw.wav", "left.wav", "right.wav",
};

// Removes the card's devices from the virtual card's own key, so that the
// card's DirectSound finds none of them any more.
void RemoveCardDevices();

// The support library's export: 0 starts the removal, 1 completes it.
extern "C" DWORD WINAPI DLL32Call(DWORD step);

#endif
