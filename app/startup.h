// The resident program's start-up and shut-down duties besides its window:
// the QSound software's A3D hook and the first run's speaker layout.
#ifndef VTPANEL_APP_STARTUP_H
#define VTPANEL_APP_STARTUP_H

#include <windows.h>

// The QSound key's "A3D preload" as a value in 0x00500000..0x5FFFFFFF, or
// 0x13790000 when it is missing, out of range or unreadable; closes key,
// which may be null.
DWORD ReadA3DPreload(HKEY key);
const DWORD kDefaultA3DPreload = 0x13790000;

// Loads the QSound loader and hands its hook a3dPreload; the loader stays
// until RemoveA3DHook. Both do nothing without the loader or its exports.
void InstallA3DHook();
void RemoveA3DHook();

// On the first run after the installation (SOUNDCFG.INI's [SPEAKERS]
// FIRSTTIME begins with '1'): DirectSound's speaker configuration becomes the
// card's largest layout, and FIRSTTIME becomes "0".
void ApplyFirstRunLayout();

#endif
