// Small window routines of the control panel that its pages use, and the
// count of context-help requests the panel has received.
#ifndef VTPANEL_PANEL_WINDOW_UTILS_H
#define VTPANEL_PANEL_WINDOW_UTILS_H

#include <windows.h>

// Raised by the panel for every WM_HELP; the General page clears it when a
// mouse button goes down, so a context-help click is told from a plain one.
extern int helpClickCount;

// Moves a page, unsized and to the top, onto the top-left corner of the
// display area of its parent's tab control.
void PlacePageInTab(HWND page);

// Moves a window, unsized and to the top, to the middle of the desktop.
void CenterOnDesktop(HWND window);

// The BM_GETCHECK state (0, 1 or 2) of a dialog's button.
int IsButtonChecked(HWND dialog, int id);

// Deletes the pictures that a page's static bitmap controls loaded from its
// template: the controls never delete them, and page windows are made anew
// at every tab change. Called while the page is destroyed.
void ReleaseStaticBitmaps(HWND page);

#endif
