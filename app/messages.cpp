#include "app/messages.h"

#include "app/app.h"
#include "app/format.h"
#include "resource.h"

#include <string.h>

char messageCaption[kMessageCaptionSize];

namespace {

struct SoundError {
    HRESULT code;
    UINT stringId;
};

// Searched in this order; the first row with the code wins.
const SoundError soundErrorTable[] = {
    {static_cast<HRESULT>(0x00000000), IDS_DS_OK},
    {static_cast<HRESULT>(0x8878000A), IDS_DSERR_ALLOCATED},
    {static_cast<HRESULT>(0x8878001E), IDS_DSERR_CONTROLUNAVAIL},
    {static_cast<HRESULT>(0x80070057), IDS_DSERR_INVALIDPARAM},
    {static_cast<HRESULT>(0x88780032), IDS_DSERR_INVALIDCALL},
    {static_cast<HRESULT>(0x80004005), IDS_DSERR_GENERIC},
    {static_cast<HRESULT>(0x88780046), IDS_DSERR_PRIOLEVELNEEDED},
    {static_cast<HRESULT>(0x8007000E), IDS_DSERR_OUTOFMEMORY},
    {static_cast<HRESULT>(0x88780064), IDS_DSERR_BADFORMAT},
    {static_cast<HRESULT>(0x80004001), IDS_DSERR_UNSUPPORTED},
    {static_cast<HRESULT>(0x88780078), IDS_DSERR_NODRIVER},
    {static_cast<HRESULT>(0x88780082), IDS_DSERR_ALREADYINITIALIZED},
    {static_cast<HRESULT>(0x80040110), IDS_DSERR_NOAGGREGATION},
    {static_cast<HRESULT>(0x88780096), IDS_DSERR_BUFFERLOST},
    {static_cast<HRESULT>(0x887800A0), IDS_DSERR_OTHERAPPHASPRIO},
    {static_cast<HRESULT>(0x887800AA), IDS_DSERR_UNINITIALIZED},
    {static_cast<HRESULT>(0x80004002), IDS_DSERR_NOINTERFACE},
};

const int kSoundErrorTextSize = 256;
char soundErrorText[kSoundErrorTextSize];

} // namespace

void LoadMessageCaption()
{
    if (LoadStringA(appInstance, IDS_CAPTION, messageCaption, kMessageCaptionSize) <= 0)
        messageCaption[0] = '\0';
}

int ShowMessage(HWND owner, UINT stringId, UINT style)
{
    char text[1024];
    // A missing string leaves the text empty; the box is shown all the same.
    if (LoadStringA(appInstance, stringId, text, sizeof text) <= 0)
        text[0] = '\0';
    return MessageBoxA(owner, text, messageCaption, style | MB_SETFOREGROUND);
}

const char *SoundErrorText(HRESULT code)
{
    for (const SoundError &row : soundErrorTable) {
        if (row.code == code) {
            if (LoadStringA(appInstance, row.stringId, soundErrorText, kSoundErrorTextSize) <= 0)
                soundErrorText[0] = '\0';
            return soundErrorText;
        }
    }
    FormatText(soundErrorText, kSoundErrorTextSize, "Unknown error %08lx (%ld)",
             static_cast<unsigned long>(code), static_cast<long>(code));
    return soundErrorText;
}

namespace {

// Copies at most room - 1 bytes of source into target, never splitting a
// double-byte character of the running code page.
void CopyWholeCharacters(char *target, size_t room, const char *source)
{
    size_t n = 0;
    while (source[n]) {
        size_t width = IsDBCSLeadByte(static_cast<BYTE>(source[n])) && source[n + 1] ? 2 : 1;
        if (n + width >= room)
            break;
        n += width;
    }
    memcpy(target, source, n);
    target[n] = '\0';
}

} // namespace

void ReportSoundError(HRESULT code, const char *context, int report)
{
    if (!report)
        return;
    // A long translated error text is shortened so that the report keeps its
    // shape, context, colon, line break and both quotes, within 256 characters.
    char text[256];
    char error[256];
    size_t fixed = strlen(context) + 4;
    CopyWholeCharacters(error, fixed < sizeof text ? sizeof text - fixed : 1, SoundErrorText(code));
    FormatText(text, sizeof text, "%s:\n\"%s\"", context, error);
    MessageBoxA(nullptr, text, messageCaption, MB_OK);
}
