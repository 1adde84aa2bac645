#include "pages/general/general_page.h"

#include <stdint.h>

#include "app/app.h"
#include "panel/window_utils.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "speakers/uninstall.h"

int driverLayout = 0;

namespace {

// Each speaker's place on the page (a hidden frame) and its picture; the
// index is the speaker index of the test engine.
struct SpeakerPlace {
    int frameId;
    int bitmapId;
};

const SpeakerPlace kSpeakerPlaces[6] = {
    {IDC_FRAME_FRONT_LEFT, IDB_SPEAKER_FL}, {IDC_FRAME_FRONT_RIGHT, IDB_SPEAKER_FR},
    {IDC_FRAME_REAR_LEFT, IDB_SPEAKER_RL},  {IDC_FRAME_REAR_RIGHT, IDB_SPEAKER_RR},
    {IDC_FRAME_CENTER, IDB_SPEAKER_CENTER}, {IDC_FRAME_SUBWOOFER, IDB_SPEAKER_SUB},
};

const int kLayoutButtons[4] = {IDC_LAYOUT_2, IDC_LAYOUT_STEREO_X2, IDC_LAYOUT_4, IDC_LAYOUT_6};

// Mapped to the colour scheme, so the pictures' grey face matches the dialog's.
HBITMAP LoadPicture(int id)
{
    return static_cast<HBITMAP>(
        LoadImageA(appInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

// A frame's screen rectangle; false when the page has no such frame.
bool FrameOnScreen(HWND page, int index, RECT *frame)
{
    HWND control = GetDlgItem(page, kSpeakerPlaces[index].frameId);
    return control && GetWindowRect(control, frame);
}

// A frame's rectangle in page coordinates.
bool FrameRect(HWND page, int index, RECT *frame)
{
    RECT origin;
    if (!FrameOnScreen(page, index, frame) || !GetWindowRect(page, &origin))
        return false;
    OffsetRect(frame, -origin.left, -origin.top);
    return true;
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y)
{
    BITMAP info;
    if (!GetObjectA(bitmap, sizeof info, &info))
        return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

// The note sign beside a speaker: on the right of it, except for the
// right-hand speakers, where it stands on their left.
void DrawNote(HWND page, HDC dc, HBITMAP note, int index)
{
    BITMAP info;
    RECT frame;
    if (!GetObjectA(note, sizeof info, &info) || !FrameRect(page, index, &frame))
        return;
    int x = (index == 1 || index == 3) ? frame.left - info.bmWidth : frame.right;
    DrawBitmap(dc, note, x, (frame.top + frame.bottom) / 2);
}

void PaintSpeakers(HWND page, HDC dc)
{
    int count = SpeakerCount(shownLayout);
    for (int i = 0; i < count; ++i) {
        RECT frame;
        HBITMAP bitmap = LoadPicture(kSpeakerPlaces[i].bitmapId);
        if (!bitmap)
            continue;
        if (FrameRect(page, i, &frame))
            DrawBitmap(dc, bitmap, frame.left, frame.top);
        DeleteObject(bitmap);
    }
    if (!testPlaying || testIndex < 0 || testIndex >= count)
        return;
    HBITMAP note = LoadPicture(IDB_NOTE);
    if (!note)
        return;
    DrawNote(page, dc, note, testIndex);
    // "Stereo X 2" plays each front sound on the rear speaker of its side too.
    if (shownLayout == 3 && testIndex + 2 < count)
        DrawNote(page, dc, note, testIndex + 2);
    DeleteObject(note);
}

// Index of the pictured speaker under the cursor, or -1.
int SpeakerUnderCursor(HWND page)
{
    POINT cursor;
    if (!GetCursorPos(&cursor))
        return -1;
    int count = SpeakerCount(shownLayout);
    for (int i = 0; i < count; ++i) {
        RECT frame;
        if (FrameOnScreen(page, i, &frame) && PtInRect(&frame, cursor))
            return i;
    }
    return -1;
}

void StartTest(HWND page, int first, int end)
{
    testIndex = first;
    testEnd = end;
    ToggleSpeakerTest(page);
}

// A clicked speaker plays alone: the sequence ends where it starts.
void TestOneSpeaker(HWND page, int index)
{
    StartTest(page, index, index);
}

void OnCommand(HWND page, int id)
{
    switch (id) {
    case IDC_LAYOUT_2:
    case IDC_LAYOUT_STEREO_X2:
    case IDC_LAYOUT_4:
    case IDC_LAYOUT_6:
        // The pictures keep to the applied layout until Apply.
        EnableWindow(GetDlgItem(GetParent(page), IDC_APPLY), TRUE);
        break;
    case IDC_FRAME_FRONT_LEFT:
        TestOneSpeaker(page, 0);
        break;
    case IDC_FRAME_FRONT_RIGHT:
        TestOneSpeaker(page, 1);
        break;
    // "Stereo X 2" has no sounds of its own for the rear: they repeat the front ones.
    case IDC_FRAME_REAR_LEFT:
        TestOneSpeaker(page, shownLayout == 3 ? 0 : 2);
        break;
    case IDC_FRAME_REAR_RIGHT:
        TestOneSpeaker(page, shownLayout == 3 ? 1 : 3);
        break;
    case IDC_FRAME_CENTER:
        TestOneSpeaker(page, 4);
        break;
    case IDC_FRAME_SUBWOOFER:
        TestOneSpeaker(page, 5);
        break;
    case IDC_TEST_ALL:
        StartTest(page, 0, shownLayout == 3 ? 2 : SpeakerCount(shownLayout));
        break;
    case IDC_UNINSTALL:
        UninstallDrivers(page);
        break;
    }
}

void OnPaint(HWND page)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    PaintSpeakers(page, dc);
    EndPaint(page, &paint);
}

BOOL OnSetCursor(HWND page)
{
    if (SpeakerUnderCursor(page) < 0)
        return FALSE;
    SetCursor(LoadCursorA(appInstance, MAKEINTRESOURCEA(IDCUR_HAND)));
    return TRUE;
}

void OnLeftButtonUp(HWND page)
{
    // The release that ends a context-help click must not start a test.
    if (helpClickCount != 0)
        return;
    int speaker = SpeakerUnderCursor(page);
    if (speaker >= 0)
        PostMessageA(page, WM_COMMAND, kSpeakerPlaces[speaker].frameId, 0);
}

void OnDestroy(HWND page)
{
    // Timer 3 dies with the window: the sound is ended here, not at a tick.
    if (testPlaying)
        ToggleSpeakerTest(page);
    EndSpeakerTest();
    DetachUninstall(page);
    ReleaseStaticBitmaps(page);
    GeneralPage *object = reinterpret_cast<GeneralPage *>(GetWindowLongPtrA(page, GWLP_USERDATA));
    if (object)
        object->TakeSettings(page);
}

} // namespace

int SpeakerCount(int layout)
{
    switch (layout) {
    case 3:
    case 4:
        return 4;
    case 6:
        return 6;
    default:
        return 2;
    }
}

int GeneralPage::TitleStringId()
{
    return IDS_TITLE_GENERAL;
}

int GeneralPage::DialogTemplateId()
{
    return IDD_GENERAL;
}

DLGPROC GeneralPage::DialogProcedure()
{
    return GeneralPageProc;
}

// Only the low byte is the driver's: layout holds nothing but layout numbers.
static bool ReadLayoutInto(int *layout)
{
    uint8_t value = static_cast<uint8_t>(*layout);
    if (!ReadSpeakerLayout(&value))
        return false;
    *layout = (*layout & ~0xFF) | value;
    return true;
}

int GeneralPage::ReadFromDriver(IDirectSound *, IKsPropertySet *)
{
    if (!ReadLayoutInto(&layout))
        return 0;
    driverLayout = layout;
    shownLayout = layout;
    return 1;
}

int GeneralPage::WriteToDriver(IDirectSound *, IKsPropertySet *)
{
    if (layout != driverLayout)
        WriteSpeakerLayout(static_cast<uint8_t>(layout));
    return 0;
}

int GeneralPage::ShowSettings(HWND page)
{
    for (int id : kLayoutButtons)
        CheckDlgButton(page, id, BST_UNCHECKED);
    // Re-read every time: a choice that was not applied is not kept.
    if (ReadLayoutInto(&layout))
        driverLayout = layout;
    uint8_t maxSpeakers = static_cast<uint8_t>(layout);
    ReadSpeakerLimits(&maxSpeakers); // keeps the copy without the driver key
    if (maxSpeakers < layout) {
        // A driver that allows fewer speakers than are configured gets its maximum.
        WriteSpeakerLayout(maxSpeakers);
        if (ReadLayoutInto(&layout))
            driverLayout = layout;
    }
    if (!stereoX2Allowed)
        EnableWindow(GetDlgItem(page, IDC_LAYOUT_STEREO_X2), FALSE);
    if (maxSpeakers == 2) {
        EnableWindow(GetDlgItem(page, IDC_LAYOUT_4), FALSE);
        EnableWindow(GetDlgItem(page, IDC_LAYOUT_6), FALSE);
    } else if (maxSpeakers == 4) {
        EnableWindow(GetDlgItem(page, IDC_LAYOUT_6), FALSE);
    }
    int checked = IDC_LAYOUT_2;
    if (driverLayout == 6 && maxSpeakers == 6)
        checked = IDC_LAYOUT_6;
    else if (driverLayout == 4 && maxSpeakers > 2)
        checked = IDC_LAYOUT_4;
    else if (driverLayout == 3 && maxSpeakers > 2)
        checked = IDC_LAYOUT_STEREO_X2;
    CheckDlgButton(page, checked, BST_CHECKED);
    shownLayout = layout;
    testIndex = 0;
    testPlaying = 0;
    testEnd = 0;
    return 0;
}

int GeneralPage::TakeSettings(HWND page)
{
    struct ButtonLayout {
        int id;
        int layout;
    };
    static const ButtonLayout kOrder[4] = {
        {IDC_LAYOUT_2, 2}, {IDC_LAYOUT_STEREO_X2, 3}, {IDC_LAYOUT_4, 4}, {IDC_LAYOUT_6, 6}};
    layout = 2;
    for (const ButtonLayout &button : kOrder) {
        if (IsButtonChecked(page, button.id)) {
            layout = button.layout;
            break;
        }
    }
    InvalidateRect(page, nullptr, TRUE);
    return 0;
}

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        GeneralPage *object = reinterpret_cast<GeneralPage *>(lParam);
        SetWindowLongPtrA(page, GWLP_USERDATA, lParam);
        PlacePageInTab(page);
        // No uninstall is under way on a new page (a library still held stays
        // loaded), unless one goes on without its page: its buttons then stay
        // disabled as they were.
        if (!UninstallDetached()) {
            supportLibrary = nullptr;
            dll32Call = nullptr;
        } else if (dll32Call) {
            DisableUninstallButtons(page);
        }
        if (object)
            object->ShowSettings(page);
        return TRUE;
    }
    case WM_DESTROY:
        OnDestroy(page);
        return FALSE;
    case WM_PAINT:
        OnPaint(page);
        return FALSE;
    case WM_SETCURSOR:
        if (OnSetCursor(page)) {
            SetWindowLongPtrA(page, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        OnCommand(page, LOWORD(wParam));
        return FALSE;
    case WM_TIMER:
        if (wParam == kUninstallTimer)
            FinishUninstall(page);
        else if (wParam == kSpeakerTestTimer)
            PollSpeakerTest(page);
        return FALSE;
    case WM_LBUTTONDOWN:
        helpClickCount = 0;
        return FALSE;
    case WM_LBUTTONUP:
        OnLeftButtonUp(page);
        return FALSE;
    }
    return FALSE;
}
