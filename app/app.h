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

#endif
