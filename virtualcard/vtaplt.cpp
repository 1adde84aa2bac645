// VTAPLT.CPL, the driver package's control-panel applet file. The program
// only deletes it at the end of an uninstall; the applet offers no dialog.
#include <windows.h>

extern "C" LONG APIENTRY CPlApplet(HWND, UINT message, LPARAM, LPARAM)
{
    // CPL_INIT (1) succeeds, CPL_GETCOUNT (2) reports no applet.
    return message == 1 ? 1 : 0;
}
