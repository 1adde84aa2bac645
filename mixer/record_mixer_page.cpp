#include "mixer/record_mixer_page.h"

#include "resource.h"

namespace {

const int kColumns = 5;

// Template labels, in order: "Mix", "Mic", "CD", "LineIn", "Aux". The fifth
// column's ids do not follow the first four's.
const MixerColumn kRecordColumns[kColumns] = {
    {IDC_RECORD_NAME0, IDC_RECORD_VOLUME0, IDC_RECORD_BALANCE0, IDC_RECORD_SELECT0, 0},
    {IDC_RECORD_NAME0 + 1, IDC_RECORD_VOLUME0 + 1, IDC_RECORD_BALANCE0 + 1, IDC_RECORD_SELECT0 + 1, 1},
    {IDC_RECORD_NAME0 + 2, IDC_RECORD_VOLUME0 + 2, IDC_RECORD_BALANCE0 + 2, IDC_RECORD_SELECT0 + 2, 2},
    {IDC_RECORD_NAME0 + 3, IDC_RECORD_VOLUME0 + 3, IDC_RECORD_BALANCE0 + 3, IDC_RECORD_SELECT0 + 3, 3},
    {IDC_RECORD_NAME0 + 4, IDC_RECORD_VOLUME4, IDC_RECORD_BALANCE4, IDC_RECORD_SELECT4, 4},
};

MixerLineRecord recordRecords[kColumns];

bool IsSelectBox(int id)
{
    for (const MixerColumn &column : kRecordColumns)
        if (column.boxId == id)
            return true;
    return false;
}

// Checking a box makes its line the only source; the mixer's change message
// then clears the others. The selected source's box cannot be cleared, and a
// box whose line the selector does not know (or whose selection the mixer
// refused) does not stay checked.
void OnSelectClicked(HWND page, int id)
{
    HWND box = GetDlgItem(page, id);
    MixerLineRecord *record = ColumnRecord(box);
    MixerPage *object = MixerPageOf(page);
    if (!record || !object)
        return;
    if (SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        record->switchValue = 1;
        if (SetRecordSource(object->mixerHandle, record))
            return;
        record->switchValue = 0;
    }
    SendMessageA(box, BM_SETCHECK, record->switchValue ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace

RecordMixerPage::RecordMixerPage()
    : MixerPage(kRecordColumns, recordRecords, kColumns, MIXERLINE_COMPONENTTYPE_DST_WAVEIN)
{
}

int RecordMixerPage::TitleStringId()
{
    return IDS_TITLE_RECORD_MIXER;
}

int RecordMixerPage::DialogTemplateId()
{
    return IDD_RECORD_MIXER;
}

DLGPROC RecordMixerPage::DialogProcedure()
{
    return RecordMixerPageProc;
}

// A line the selector has no entry for is never shown as the source.
uint32_t RecordMixerPage::ReadSwitch(MixerLineRecord *record)
{
    if (!GetRecordSource(mixerHandle, record))
        record->switchValue = 0;
    return record->switchValue;
}

INT_PTR CALLBACK RecordMixerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
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
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && IsSelectBox(LOWORD(wParam)))
            OnSelectClicked(page, LOWORD(wParam));
        return FALSE;
    case MM_MIXM_CONTROL_CHANGE:
        MixerChanged(page);
        return FALSE;
    }
    return FALSE;
}
