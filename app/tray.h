// The resident program's hidden window: it owns the notification icon,
// takes the icon's mouse events and menu commands, owns the control panel
// and ends the program when it goes.
#ifndef VTPANEL_APP_TRAY_H
#define VTPANEL_APP_TRAY_H

#include <windows.h>
#include <shellapi.h>

// Its class; a second copy of the program finds the first by it.
extern const char kTrayClassName[];

// The close request another program sends: any message carrying this wParam.
const WPARAM kCloseRequest = 8966;
// The one-shot timer that shows the icon of an ordinary start.
const UINT_PTR kIconTimer = 2;
const UINT kIconDelay = 1000;

// The icon's record in its first layout, as every system since Windows 95
// takes it: the hidden window's icon 1, its tip the program's caption as far
// as that layout holds it (63 characters and the terminator).
void BuildNotifyIcon(NOTIFYICONDATAA *icon);

// Adds the icon to the notification area: at start-up, by the timer, and
// again when a shell that started anew asks for the icons of the programs.
void AddTrayIcon();

// The shut-down duties, once however often asked: the icon removed, the
// A3D hook removed and its loader freed.
void EndResidentDuties();

// Registers the class and creates trayWindow (its WM_CREATE runs then).
HWND CreateTrayWindow();

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// "&Open": probes DirectSound, lists the devices and shows the panel, or
// brings an open panel forward.
void OpenControlPanel();

#endif
