// The control panel's six pages: one static object each, constructed before
// the program's entry point runs, and the fixed table through which the
// panel visits them.
#ifndef VTPANEL_PANEL_PAGE_REGISTRY_H
#define VTPANEL_PANEL_PAGE_REGISTRY_H

#include "panel/page.h"

const int kPageCount = 6;

// In the order the panel visits the pages: General, Effects, Playback Mixer,
// Record Mixer, Voice Manager, Mixing Options. The pages with tabs come
// first, so that a tab's position is its page's index here.
extern ControlPanelPage *const PageRegistry[kPageCount];

#endif
