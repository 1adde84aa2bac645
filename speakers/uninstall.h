// The driver uninstall behind the General page's "&Uninstall" button: the
// confirmation, the support library's two removal steps four seconds apart,
// the deletion of the package's last files and the end of the program.
#ifndef VTPANEL_SPEAKERS_UNINSTALL_H
#define VTPANEL_SPEAKERS_UNINSTALL_H

#include <windows.h>

// The page's timer that finishes an uninstall, and its period.
const UINT_PTR kUninstallTimer = 1;
const UINT kUninstallPeriod = 4000;

// The support library's export: 0 starts the removal, 1 completes it.
typedef void(WINAPI *Dll32CallProc)(DWORD step);

extern HMODULE supportLibrary;  // VTHLP32.DLL while an uninstall runs
extern Dll32CallProc dll32Call; // non-null once an uninstall reached the library
extern HCURSOR savedCursor;     // the cursor the wait cursor replaced

// "&Test All" and "&Uninstall" stay off while the support library removes
// the drivers.
void DisableUninstallButtons(HWND page);

// The "&Uninstall" command of the page.
void UninstallDrivers(HWND page);

// Timer 1 of the page: tells the user, deletes the applet and the support
// library, reopens the Control Panel if a folder window had to close, and
// ends the program.
void FinishUninstall(HWND page);

// The page's end while timer 1 waits (a tab change, OK or Cancel): the
// confirmed uninstall still finishes one period later, without the page.
void DetachUninstall(HWND page);

// True while a detached uninstall waits to finish.
bool UninstallDetached();

// The procedure of the warning dialog: only "&Yes" and "&No" end it.
INT_PTR CALLBACK UninstallWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
