// What the code relies on in the resources of vtpanel.exe as it ships, as
// Windows itself reads them: every dialog is created from its template, then
// its controls are looked up as the code looks them up; the pictures. (The
// string table, the menu and the texts of every language are languages_test's.)
#include "harness.h"
#include "resource.h"

#include <commctrl.h>

#include <string>

namespace {

// The program named by the first argument, as data: it is 32-bit, this test may be 64-bit.
const HMODULE shipped = LoadLibraryExA(__argc > 1 ? __argv[1] : "", nullptr, LOAD_LIBRARY_AS_DATAFILE);

// ---- The dialogs, made from the shipped templates ---------------------------

// The class name, or for a button "push", "check" or "radio".
std::string KindOf(HWND control)
{
    char name[64] = "";
    GetClassNameA(control, name, sizeof name);
    const char *const kButtons[] = {"push", "push", "", "check", "", "", "", "", "", "radio"}; // by BS_ type
    const LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
    return lstrcmpiA(name, "Button") ? name : type < 10 ? kButtons[type] : "";
}

// Each dialog's size in dialog units, and whether it is a popup with a
// caption or a child page. (The captions are checked where they are shown.)
const struct { int id; short cx, cy; bool popup; } kDialogs[] = {
    {IDD_PANEL, 310, 234, true}, {IDD_VOICE_MANAGER, 214, 127, false}, {IDD_MIXING_OPTIONS, 186, 127, false},
    {IDD_EFFECTS, 290, 188, false}, {IDD_GENERAL, 290, 188, false}, {IDD_PLAYBACK_MIXER, 289, 187, false},
    {IDD_RECORD_MIXER, 288, 188, false}, {IDD_UNINSTALL_WARNING, 200, 70, true},
};

const char kSpin[] = "msctls_updown32";
const bool V = false, H = true;

// What the page tests do not see of the controls the code looks up (they
// find every control and use it by its kind): which are hidden, the style
// bits the code relies on, the edit a number box sets (for each id in turn).
// count controls of one kind with consecutive ids from id.
const struct { int dialog, id, count; const char *kind; bool hidden; DWORD bits = 0; int buddy = 0; } kControls[] = {
    {IDD_PANEL, IDC_APPLY, 1, "push", V, WS_DISABLED}, // until a page reports a change
    {IDD_GENERAL, IDC_FRAME_FRONT_LEFT, 6, "Static", H}, // the page draws the speakers there
    {IDD_EFFECTS, IDC_ELEVATION, 1, "check", H}, {IDD_EFFECTS, IDC_INTERPOLATE, 1, "check", H},
    {IDD_EFFECTS, IDC_MODE_QSOUND, 2, "radio", H}, {IDD_EFFECTS, IDC_OUTPUT_SPEAKERS, 1, "radio", H},
    {IDD_EFFECTS, IDC_OUTPUT_HEADPHONES, 2, "radio", H}, {IDD_EFFECTS, IDC_OUTPUT_QUAD, 1, "radio", H},
    {IDD_EFFECTS, IDC_SPLASH_LOGO, 1, "check", H},
    {IDD_VOICE_MANAGER, IDC_MAX_TOTAL_SPIN, 2, kSpin, V, UDS_SETBUDDYINT, IDC_MAX_TOTAL},
    {IDD_MIXING_OPTIONS, IDC_LATENCY_SPIN, 1, kSpin, V, UDS_SETBUDDYINT, IDC_LATENCY},
    {IDD_MIXING_OPTIONS, IDC_MIX_PRIMARY, 2, "check", H},
    {IDD_UNINSTALL_WARNING, IDC_WARNING_TEXT, 1, "Edit", V, ES_MULTILINE | ES_READONLY}, // the question wrapped
};

TEST(Dialogs, HoldTheControlsTheCodeLooksUpAsItExpectsThem)
{
    InitCommonControls();
    HWND panel = nullptr;
    for (const auto &expected : kDialogs) {
        HWND dialog = CreateDialogParamA(shipped, MAKEINTRESOURCEA(expected.id), panel, InertDialog, 0);
        ASSERT_NE(nullptr, dialog) << "dialog " << expected.id;
        panel = panel ? panel : dialog; // the pages are its children
        RECT units = {0, 0, expected.cx, expected.cy}, client;
        MapDialogRect(dialog, &units);
        GetClientRect(dialog, &client);
        EXPECT_TRUE(units.right == client.right && units.bottom == client.bottom) << "dialog " << expected.id;
        const LONG_PTR popup = WS_POPUP | WS_CAPTION, style = GetWindowLongPtrA(dialog, GWL_STYLE);
        EXPECT_EQ(expected.popup ? popup : WS_CHILD, style & (popup | WS_CHILD)) << "dialog " << expected.id;
        for (HWND item = GetWindow(dialog, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT)) {
            int id = GetDlgCtrlID(item);
            EXPECT_TRUE(id == 0xFFFF || id == IDC_STATIC || GetDlgItem(dialog, id) == item) << id << " twice";
            // A picture that a template names is one of the program's own.
            const LONG_PTR type = GetWindowLongPtrA(item, GWL_STYLE) & SS_TYPEMASK;
            const bool picture = KindOf(item) == "Static" && (type == SS_ICON || type == SS_BITMAP);
            EXPECT_TRUE(!picture || SendMessageA(item, STM_GETIMAGE, type == SS_ICON ? IMAGE_ICON : IMAGE_BITMAP, 0))
                << "dialog " << expected.id << " picture at " << id;
        }
        for (const auto &row : kControls)
            for (int id = row.id; row.dialog == expected.id && id < row.id + row.count; ++id) {
                HWND item = GetDlgItem(dialog, id), buddy = GetDlgItem(dialog, row.buddy + id - row.id);
                ASSERT_NE(nullptr, item) << "dialog " << expected.id << " lacks " << id;
                LONG_PTR style = GetWindowLongPtrA(item, GWL_STYLE);
                EXPECT_EQ(row.kind, KindOf(item)) << "control " << id;
                EXPECT_EQ(row.hidden, !(style & WS_VISIBLE)) << "control " << id;
                EXPECT_EQ(row.bits, style & row.bits) << "control " << id;
                EXPECT_TRUE(!row.buddy || buddy == reinterpret_cast<HWND>(SendMessageA(item, UDM_GETBUDDY, 0, 0)))
                    << "control " << id << " sets no " << row.buddy + id - row.id;
            }
        // The effects page treats the property-one controls as absent.
        EXPECT_TRUE(expected.id != IDD_EFFECTS || (!GetDlgItem(dialog, IDC_PROPERTY1_ON) &&
                                                   !GetDlgItem(dialog, IDC_PROPERTY1_VALUE)));
    }
    EXPECT_NE(nullptr, GetMenu(panel)) << "the panel shows the tray menu as its menu bar";
    DestroyWindow(panel);
}

// ---- Pictures: the General page copies the speaker bitmaps unmasked at fixed
// places, so their sizes and their face-grey background matter.

TEST(Bitmaps, SpeakersAndNoteHaveTheirSizesOnTheFaceGrey)
{
    const struct { int id, width, height; } kPagePictures[] = {
        {IDB_SPEAKER_FL, 54, 54}, {IDB_SPEAKER_FR, 54, 54}, {IDB_SPEAKER_RL, 54, 54}, {IDB_SPEAKER_RR, 54, 54},
        {IDB_SPEAKER_CENTER, 72, 32}, {IDB_SPEAKER_SUB, 51, 48}, {IDB_NOTE, 29, 30},
    };
    HDC plain = CreateCompatibleDC(nullptr), mapped = CreateCompatibleDC(nullptr);
    const COLORREF grey = RGB(192, 192, 192), face = GetSysColor(COLOR_3DFACE);
    ASSERT_NE(grey, face) << "the mapping would not show";
    for (const auto &picture : kPagePictures) {
        // The page loads them with LR_LOADMAP3DCOLORS, which maps the greys
        // 128, 192 and 223 to the scheme's: only the background may be one.
        HANDLE before = LoadImageA(shipped, MAKEINTRESOURCEA(picture.id), IMAGE_BITMAP, 0, 0, 0),
               after = LoadImageA(shipped, MAKEINTRESOURCEA(picture.id), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
        BITMAP object = {};
        GetObjectA(after, sizeof object, &object);
        ASSERT_TRUE(object.bmWidth == picture.width && object.bmHeight == picture.height) << picture.id;
        HGDIOBJ oldPlain = SelectObject(plain, before), oldMapped = SelectObject(mapped, after);
        int drawn = 0, remapped = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                COLORREF colour = GetPixel(plain, x, y);
                drawn += colour != grey;
                remapped += GetPixel(mapped, x, y) != (colour == grey ? face : colour);
            }
        EXPECT_EQ(0, remapped) << picture.id << ": pixels of the drawing taken for the scheme's greys";
        EXPECT_GE(drawn * 5, picture.width * picture.height) << picture.id;
        for (int corner = 0; corner < 4; ++corner)
            EXPECT_EQ(grey, GetPixel(plain, corner % 2 * (picture.width - 1), corner / 2 * (picture.height - 1)))
                << picture.id << " corner " << corner;
        DeleteObject(SelectObject(plain, oldPlain)), DeleteObject(SelectObject(mapped, oldMapped));
    }
    DeleteDC(plain), DeleteDC(mapped);
}

} // namespace
