// The control panel: the modal dialog that hosts the pages of the page
// registry over its tab control, reads them from the driver when it opens,
// writes them to every sound device on OK and Apply, and sends context help
// requests to WinHelp.
#ifndef VTPANEL_PANEL_PANEL_H
#define VTPANEL_PANEL_PANEL_H

#include <windows.h>

#include "panel/page_registry.h"

extern HWND panelDialog;       // the open panel; null while it is closed
extern HWND currentPageWindow; // the selected page's window, or null
// Each page's dialog template, located anew each time the panel opens.
extern const DLGTEMPLATE *pageTemplates[kPageCount];

// Replaces the page window by the one of the selected tab.
void ShowCurrentPage(HWND panel);

INT_PTR CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

#endif
