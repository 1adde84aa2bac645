#include "panel/window_utils.h"

#include <commctrl.h>

#include "resource.h"

int helpClickCount = 0;

void PlacePageInTab(HWND page)
{
    HWND parent = GetParent(page);
    HWND tab = GetDlgItem(parent, IDC_PANEL_TAB);
    RECT area;
    GetWindowRect(tab, &area);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    POINT corner = {area.left, area.top};
    ScreenToClient(parent, &corner);
    SetWindowPos(page, HWND_TOP, corner.x, corner.y, 0, 0, SWP_NOSIZE);
}

void CenterOnDesktop(HWND window)
{
    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &own);
    // C++ division truncates toward zero, as the placement asks.
    int x = (desktop.left + desktop.right + own.left - own.right) / 2;
    int y = (desktop.top + desktop.bottom + own.top - own.bottom) / 2;
    SetWindowPos(window, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}

int IsButtonChecked(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

void ReleaseStaticBitmaps(HWND page)
{
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16];
        if (!GetClassNameA(child, name, sizeof name) || lstrcmpiA(name, "Static") != 0 ||
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP)
            continue;
        // Taken from the control first, so that it never draws a deleted one.
        HGDIOBJ bitmap = reinterpret_cast<HGDIOBJ>(SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (bitmap)
            DeleteObject(bitmap);
    }
}
