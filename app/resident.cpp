// The resident program from its start to its end.
#include "app/app.h"

#include <commctrl.h>
#include <dsound.h>
#include <string.h>

#include "app/messages.h"
#include "app/startup.h"
#include "app/tray.h"
#include "panel/driver.h"
#include "resource.h"
#include "speakers/detection.h"

int RunResidentProgram(HINSTANCE instance, const char *commandLine)
{
    appInstance = instance;
    openAtStart = strcmp(commandLine, "OPEN") == 0;

    // One copy runs; a second one asks it to open its panel, the second
    // request bringing the panel to the front, and ends.
    if (HWND running = FindWindowA(kTrayClassName, nullptr)) {
        if (openAtStart) {
            PostMessageA(running, WM_COMMAND, IDM_OPEN, 0);
            PostMessageA(running, WM_COMMAND, IDM_OPEN, 0);
        }
        return 0;
    }

    InitCommonControls();
    CreateTrayWindow();

    // Without the driver package or the card there is nothing to control.
    HMODULE support = LoadLibraryA("VTHLP32.DLL");
    if (!support)
        return 0;
    FreeLibrary(support);
    if (!DetectSoundCard())
        return 0;
    ProbeSpeakerRouting(Startup);

    if (openAtStart)
        AddTrayIcon();

    HKEY qsound = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Software\\QSound\\QSoft3d", &qsound) != ERROR_SUCCESS)
        qsound = nullptr;

    if (openAtStart) {
        DirectSoundEnumerateA(EnumerateSoundDevice, &trayWindow);
        if (soundDeviceCount == 0)
            ShowMessage(trayWindow, IDS_NO_DRIVER, MB_OK);
        openAtStart = false;
    }

    a3dPreload = ReadA3DPreload(qsound);
    InstallA3DHook();
    ApplyFirstRunLayout();

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(nullptr, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    EndResidentDuties();
    return static_cast<int>(message.wParam);
}
