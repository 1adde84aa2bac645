// Process-wide state of the resident program.
#ifndef VTPANEL_APP_APP_H
#define VTPANEL_APP_APP_H

#include <windows.h>

// The program's module, from which every resource is loaded. Test programs set
// it to the module that carries the resources they use.
extern HINSTANCE appInstance;

// The resident program's hidden window; null until it is created. Destroying
// it ends the program.
extern HWND trayWindow;

// True from a start with the argument "OPEN" until the start-up is done.
extern bool openAtStart;

// The support library, held from the hidden window's creation until the
// notification icon of an ordinary start is shown.
extern HMODULE startupSupportHandle;

// The value handed to the QSound software's A3D hook.
extern DWORD a3dPreload;

// The program from its command-line tail (the command line without the
// program's name and the blanks after it) to its exit code.
int RunResidentProgram(HINSTANCE instance, const char *commandLine);

#endif
