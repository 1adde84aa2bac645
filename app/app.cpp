#include "app/app.h"

HINSTANCE appInstance = nullptr;
HWND trayWindow = nullptr;
bool openAtStart = false;
HMODULE startupSupportHandle = nullptr;
DWORD a3dPreload = 0;
