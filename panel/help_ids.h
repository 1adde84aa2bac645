// The panel's context help: the help file and the context id of each
// control of the panel and its pages, as WinHelp takes them.
#ifndef VTPANEL_PANEL_HELP_IDS_H
#define VTPANEL_PANEL_HELP_IDS_H

#include <windows.h>

extern const char kHelpFile[];

// Pairs of control id and help context id, ended by a pair of zeros; the
// tab control's pair carries -1, "no help".
const int kHelpIdPairs = 71;
extern const DWORD helpIdTable[2 * (kHelpIdPairs + 1)];

#endif
