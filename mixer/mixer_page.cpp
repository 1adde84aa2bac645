#include "mixer/mixer_page.h"

#include <commctrl.h>
#include <string.h>

#include "panel/window_utils.h"

namespace {

void PrepareSliders(HWND volume, HWND balance)
{
    SendMessageA(volume, TBM_SETRANGE, FALSE, MAKELPARAM(0, 15));
    SendMessageA(balance, TBM_SETRANGE, FALSE, MAKELPARAM(0, 32));
    SendMessageA(balance, TBM_SETTIC, 0, 16);
    SendMessageA(balance, TBM_SETPOS, TRUE, 16);
}

// A bound column: its controls carry the record, its text names the line.
void AttachColumn(HWND page, HMIXER mixer, const MixerColumn &column, MixerLineRecord *record)
{
    const int controls[3] = {column.volumeId, column.balanceId, column.boxId};
    for (int id : controls)
        SetWindowLongPtrA(GetDlgItem(page, id), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    // The mixer's name may fill its field without a terminator.
    char name[MIXER_LONG_NAME_CHARS + 1] = {};
    memcpy(name, record->line.szName, sizeof record->line.szName);
    SetDlgItemTextA(page, column.nameId, name);
    if (record->line.cChannels == 1)
        EnableWindow(GetDlgItem(page, column.balanceId), FALSE);
    if (!LoadLineControls(mixer, record))
        for (int id : controls)
            EnableWindow(GetDlgItem(page, id), FALSE);
}

} // namespace

MixerPage::MixerPage(const MixerColumn *columns, MixerLineRecord *records, int columnCount, DWORD destinationType)
    : mixerPageDevice(FindCardMixer()), mixerHandle(nullptr), columns_(columns), records_(records),
      columnCount_(columnCount), destinationType_(destinationType)
{
}

int MixerPage::ReadFromDriver(IDirectSound *, IKsPropertySet *)
{
    return 0;
}

int MixerPage::WriteToDriver(IDirectSound *, IKsPropertySet *)
{
    return 0;
}

int MixerPage::TakeSettings(HWND)
{
    return 0;
}

bool MixerPage::BindColumns(HWND page)
{
    mixerHandle = OpenCardMixer(page, mixerPageDevice);
    for (int i = 0; mixerHandle && i < columnCount_; ++i) {
        const MixerColumn &column = columns_[i];
        PrepareSliders(GetDlgItem(page, column.volumeId), GetDlgItem(page, column.balanceId));
        records_[i].balance = 16;
        switch (FindColumnLine(mixerHandle, &records_[i], destinationType_, column.source)) {
        case kLineSearchFailed:
            return false;
        case kLineMissing:
            break; // keeps its template label and no record
        case kLineFound:
            AttachColumn(page, mixerHandle, column, &records_[i]);
            break;
        }
    }
    ShowSettings(page);
    return true;
}

int MixerPage::ShowSettings(HWND page)
{
    if (!mixerHandle)
        return 0;
    for (int i = 0; i < columnCount_; ++i) {
        const MixerColumn &column = columns_[i];
        HWND volume = GetDlgItem(page, column.volumeId);
        // An unbound column shows nothing of the line its record last held.
        MixerLineRecord *record = ColumnRecord(volume);
        if (!record || !LoadLineControls(mixerHandle, record) || !GetLineVolume(mixerHandle, record))
            continue;
        SendMessageA(volume, TBM_SETPOS, TRUE, static_cast<LPARAM>(VolumeSliderPosition(record)));
        if (BalanceFromVolume(record))
            SendDlgItemMessageA(page, column.balanceId, TBM_SETPOS, TRUE, record->balance);
        CheckDlgButton(page, column.boxId, ReadSwitch(record) ? BST_CHECKED : BST_UNCHECKED);
    }
    return 0;
}

MixerLineRecord *ColumnRecord(HWND control)
{
    return control ? reinterpret_cast<MixerLineRecord *>(GetWindowLongPtrA(control, GWLP_USERDATA)) : nullptr;
}

MixerPage *MixerPageOf(HWND page)
{
    auto *object = reinterpret_cast<ControlPanelPage *>(GetWindowLongPtrA(page, GWLP_USERDATA));
    return static_cast<MixerPage *>(object);
}

BOOL MixerPageCreated(HWND page, LPARAM object)
{
    SetWindowLongPtrA(page, GWLP_USERDATA, object);
    PlacePageInTab(page);
    MixerPage *mixerPage = MixerPageOf(page);
    return mixerPage && mixerPage->BindColumns(page);
}

// Every scroll code, dragging included, moves the line at once; the mixer's
// change message then shows every column again.
void MixerSliderMoved(HWND page, HWND slider, bool balanceSlider)
{
    MixerLineRecord *record = ColumnRecord(slider);
    MixerPage *object = MixerPageOf(page);
    if (!record || !object)
        return;
    LRESULT position = SendMessageA(slider, TBM_GETPOS, 0, 0);
    ApplySliderPosition(record, static_cast<uint32_t>(position), balanceSlider);
    SetLineVolume(object->mixerHandle, record);
}

void MixerChanged(HWND page)
{
    MixerPage *object = MixerPageOf(page);
    if (object)
        object->ShowSettings(page);
}

void MixerPageDestroyed(HWND page)
{
    ReleaseStaticBitmaps(page);
    MixerPage *object = MixerPageOf(page);
    if (!object)
        return;
    if (object->mixerHandle)
        CloseCardMixer(object->mixerHandle);
    object->mixerHandle = nullptr;
    object->TakeSettings(page);
}
