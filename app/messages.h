// Message boxes with the program's shared caption, and the texts of
// DirectSound result codes.
#ifndef VTPANEL_APP_MESSAGES_H
#define VTPANEL_APP_MESSAGES_H

#include <windows.h>

// The caption of every message box; loaded when the tray window is created.
const int kMessageCaptionSize = 80;
extern char messageCaption[kMessageCaptionSize];

// Loads messageCaption from the string table.
void LoadMessageCaption();

// Shows string stringId in a message box owned by owner (may be null).
int ShowMessage(HWND owner, UINT stringId, UINT style);

// The text of a DirectSound result code, in a buffer that the next call overwrites.
const char *SoundErrorText(HRESULT code);

// Shows the failure of a DirectSound step with its context when report is non-zero.
void ReportSoundError(HRESULT code, const char *context, int report);

#endif
