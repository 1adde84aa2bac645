#include "app/app.h"

HINSTANCE appInstance = nullptr;
HWND trayWindow = nullptr;
