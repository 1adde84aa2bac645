#include "mixer/playback_mixer_page.h"

#include "resource.h"

namespace {

const int kColumns = 6;

// Template labels, in order: "Volume", "Wave", "FM-Syn", "CD", "MIC",
// "Line-In"; the first box is "&Mute All", the others "&Mute".
const MixerColumn kPlaybackColumns[kColumns] = {
    {IDC_PLAYBACK_NAME0, IDC_PLAYBACK_VOLUME0, IDC_PLAYBACK_BALANCE0, IDC_PLAYBACK_MUTE0, -1},
    {IDC_PLAYBACK_NAME0 + 1, IDC_PLAYBACK_VOLUME0 + 1, IDC_PLAYBACK_BALANCE0 + 1, IDC_PLAYBACK_MUTE0 + 1, 0},
    {IDC_PLAYBACK_NAME0 + 2, IDC_PLAYBACK_VOLUME0 + 2, IDC_PLAYBACK_BALANCE0 + 2, IDC_PLAYBACK_MUTE0 + 2, 1},
    {IDC_PLAYBACK_NAME0 + 3, IDC_PLAYBACK_VOLUME0 + 3, IDC_PLAYBACK_BALANCE0 + 3, IDC_PLAYBACK_MUTE0 + 3, 2},
    {IDC_PLAYBACK_NAME0 + 4, IDC_PLAYBACK_VOLUME0 + 4, IDC_PLAYBACK_BALANCE0 + 4, IDC_PLAYBACK_MUTE0 + 4, 3},
    {IDC_PLAYBACK_NAME0 + 5, IDC_PLAYBACK_VOLUME0 + 5, IDC_PLAYBACK_BALANCE0 + 5, IDC_PLAYBACK_MUTE0 + 5, 4},
};

MixerLineRecord playbackRecords[kColumns];

void OnMuteClicked(HWND page, int id)
{
    HWND box = GetDlgItem(page, id);
    MixerLineRecord *record = ColumnRecord(box);
    MixerPage *object = MixerPageOf(page);
    if (!record || !object)
        return;
    record->switchValue = static_cast<uint32_t>(SendMessageA(box, BM_GETCHECK, 0, 0));
    SetLineMute(object->mixerHandle, record);
}

} // namespace

PlaybackMixerPage::PlaybackMixerPage()
    : MixerPage(kPlaybackColumns, playbackRecords, kColumns, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
{
}

int PlaybackMixerPage::TitleStringId()
{
    return IDS_TITLE_PLAYBACK_MIXER;
}

int PlaybackMixerPage::DialogTemplateId()
{
    return IDD_PLAYBACK_MIXER;
}

DLGPROC PlaybackMixerPage::DialogProcedure()
{
    return PlaybackMixerPageProc;
}

uint32_t PlaybackMixerPage::ReadSwitch(MixerLineRecord *record)
{
    GetLineMute(mixerHandle, record); // a failed read shows the last state
    return record->switchValue;
}

INT_PTR CALLBACK PlaybackMixerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return MixerPageCreated(page, lParam);
    case WM_DESTROY:
        MixerPageDestroyed(page);
        return FALSE;
    case WM_VSCROLL:
        MixerSliderMoved(page, reinterpret_cast<HWND>(lParam), false);
        return FALSE;
    case WM_HSCROLL:
        MixerSliderMoved(page, reinterpret_cast<HWND>(lParam), true);
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id >= IDC_PLAYBACK_MUTE0 && id < IDC_PLAYBACK_MUTE0 + kColumns)
            OnMuteClicked(page, id);
        return FALSE;
    }
    case MM_MIXM_CONTROL_CHANGE:
        MixerChanged(page);
        return FALSE;
    }
    return FALSE;
}
