// One language's resources in vtpanel.exe as it ships, checked under that
// language's locale as its users see them: the system's lookup picks the
// language; the translated dialogs keep the English controls and layout,
// widened only where a text needs it; every text fits its control in the
// dialog's own font; mnemonics are unique; and no text loses a character to
// the locale's ANSI code page, which LoadStringA, the menus and the ANSI
// dialog functions convert every text to.
//
// Arguments: the program, the language id and its ANSI code page.
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

const HMODULE shipped = LoadLibraryExA(__argc > 1 ? __argv[1] : "", nullptr, LOAD_LIBRARY_AS_DATAFILE);
const LANGID language = static_cast<LANGID>(__argc > 2 ? std::atoi(__argv[2]) : 0);
const UINT codePage = __argc > 3 ? std::atoi(__argv[3]) : 0;
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The program's languages; all but the last three have the string table and
// the tray menu.
const LANGID kLanguages[] = {1028, 1031, 1033, 1036, 1040, 1041, 1042, 1043, 1046, 1049, 2052, 3082,
                             1034, 2058, 2070};
const bool hasStrings = std::find(kLanguages, kLanguages + 12, language) != kLanguages + 12;

const void *Resource(LPCSTR type, int id, LANGID lang)
{
    HRSRC info = FindResourceExA(shipped, type, MAKEINTRESOURCEA(id), lang);
    return info ? LockResource(LoadResource(shipped, info)) : nullptr;
}

std::string Utf8(const std::wstring &text)
{
    char bytes[2048] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// The text in the ANSI code page, in bytes, or -1 when a character is lost.
int AnsiLength(const std::wstring &text)
{
    char bytes[2048];
    WCHAR back[2048];
    BOOL lost = FALSE;
    int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes, sizeof bytes,
                                     nullptr, &lost);
    int chars = MultiByteToWideChar(CP_ACP, 0, bytes, length, back, 2048);
    return !lost && std::wstring(back, chars) == text ? length : -1;
}

// The mnemonic of a text, upper-cased, or 0.
WCHAR MnemonicOf(const std::wstring &text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == L'&' && text[++i] != L'&')
            return static_cast<WCHAR>(reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(text[i]))));
    return 0;
}

// ---- Dialogs ----------------------------------------------------------------

INT_PTR CALLBACK KeepTemplate(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A dialog made from a template as the program makes it, with the ANSI
// function, whose controls get their texts through the ANSI code page; or
// with the Unicode one, whose controls get them as the template has them.
HWND CreateFromTemplate(int id, LANGID lang, HWND parent, bool unicode = false)
{
    const void *tmpl = Resource(RT_DIALOG, id, lang);
    if (!tmpl)
        return nullptr;
    return unicode ? CreateDialogIndirectParamW(shipped, static_cast<LPCDLGTEMPLATEW>(tmpl), parent, KeepTemplate, 0)
                   : CreateDialogIndirectParamA(shipped, static_cast<LPCDLGTEMPLATEA>(tmpl), parent, KeepTemplate, 0);
}

std::wstring TextOf(HWND window)
{
    WCHAR text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

// The kinds of control that show a text, and the pixels of each that are not
// for the text: a push button's edges; a check box's or radio button's
// 13-pixel glyph, the gap of half a digit and the focus frame; a group box's
// frame either side of its title. Only static texts wrap.
enum Kind { kPush, kCheck, kGroup, kText, kOther };
const int kMargin[] = {6, 17, 16, 0, 0};

struct Control {
    int id;
    Kind kind;
    char className[64];
    LONG_PTR style, exStyle;
    RECT rect; // in the dialog's client area
    std::wstring text;
    HWND window;
};

std::vector<Control> ControlsOf(HWND dialog)
{
    std::vector<Control> controls;
    for (HWND item = GetWindow(dialog, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT)) {
        Control c = {GetDlgCtrlID(item), kOther, "", GetWindowLongPtrA(item, GWL_STYLE),
                     GetWindowLongPtrA(item, GWL_EXSTYLE), {}, L"", item};
        GetClassNameA(item, c.className, sizeof c.className);
        const LONG_PTR type = c.style & 0x0F; // BS_TYPEMASK, SS_TYPEMASK
        if (!lstrcmpiA(c.className, "Button"))
            c.kind = type <= BS_DEFPUSHBUTTON ? kPush : type == BS_GROUPBOX ? kGroup : kCheck;
        else if (!lstrcmpiA(c.className, "Static") && type <= SS_RIGHT)
            c.kind = kText;
        c.text = c.kind != kOther ? TextOf(item) : L"";
        GetWindowRect(item, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&c.rect), 2);
        controls.push_back(c);
    }
    return controls;
}

// The room a text takes in a control of this kind and font with this
// rectangle, drawn as the control draws it; the room the control has; and
// whether its font has a glyph for every character (Wine draws a box for the
// others).
struct Room { SIZE needed, given; bool glyphs; };
Room RoomOf(const std::wstring &text, const Control &c, const RECT &rect)
{
    HDC dc = GetDC(c.window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c.window, WM_GETFONT, 0, 0)));
    Room room = {{}, {rect.right - rect.left - kMargin[c.kind], rect.bottom - rect.top}, true};
    RECT needed = {0, 0, room.given.cx, 0};
    const bool prefix = c.kind != kOther && !(c.kind == kText && (c.style & SS_NOPREFIX));
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_EXPANDTABS | (c.kind == kText ? DT_WORDBREAK : DT_SINGLELINE) | (prefix ? 0 : DT_NOPREFIX));
    room.needed = {needed.right, needed.bottom};
    WORD glyphs[512];
    const int count = static_cast<int>(std::min<size_t>(text.size(), 512));
    GetGlyphIndicesW(dc, text.c_str(), count, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    for (int i = 0; i < count; ++i)
        room.glyphs = room.glyphs && (text[i] < L' ' || glyphs[i] != 0xFFFF);
    SelectObject(dc, old);
    ReleaseDC(c.window, dc);
    return room;
}

bool Fits(const Room &room) { return room.needed.cx <= room.given.cx && room.needed.cy <= room.given.cy; }

std::ostream &operator<<(std::ostream &out, const Room &room)
{
    return out << "needs " << room.needed.cx << "x" << room.needed.cy << " pixels of " << room.given.cx << "x"
               << room.given.cy;
}

// How two rectangles lie: apart, one inside the other, or crossing.
int Relation(const RECT &a, const RECT &b)
{
    RECT both;
    if (!IntersectRect(&both, &a, &b))
        return 0;
    return EqualRect(&both, &b) ? 1 : EqualRect(&both, &a) ? 2 : 3;
}

// The check boxes of the mixer columns share one mnemonic, as in English.
bool IsColumnBox(int id)
{
    return (id >= IDC_PLAYBACK_MUTE0 && id <= IDC_PLAYBACK_MUTE0 + 5) ||
           (id >= IDC_RECORD_SELECT0 && id <= IDC_RECORD_SELECT0 + 3) || id == IDC_RECORD_SELECT4;
}

// The dialogs a user of this language sees, and whether they are translated.
const struct { int id; bool translated; } kDialogs[] = {
    {IDD_PANEL, true}, {IDD_GENERAL, true}, {IDD_EFFECTS, true}, {IDD_PLAYBACK_MIXER, true},
    {IDD_RECORD_MIXER, true}, {IDD_VOICE_MANAGER, false}, {IDD_MIXING_OPTIONS, false},
    {IDD_UNINSTALL_WARNING, false},
};

TEST(Dialogs, KeepTheEnglishLayoutAndFitTheirTextsWithUniqueMnemonics)
{
    InitCommonControls();
    HWND englishPanel = CreateFromTemplate(IDD_PANEL, kEnglish, nullptr);
    HWND panel = CreateFromTemplate(IDD_PANEL, language, nullptr);
    ASSERT_TRUE(englishPanel && panel) << "the panel in " << language;
    const std::vector<Control> panelControls = ControlsOf(panel);
    for (const auto &d : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(d.id));
        if (!d.translated && language != kEnglish)
            EXPECT_EQ(nullptr, Resource(RT_DIALOG, d.id, language)) << "English only";
        const LANGID lang = d.translated ? language : kEnglish;
        HWND parent = d.id == IDD_UNINSTALL_WARNING ? nullptr : englishPanel;
        HWND english = d.id == IDD_PANEL ? englishPanel : CreateFromTemplate(d.id, kEnglish, parent);
        HWND dialog = d.id == IDD_PANEL ? panel : CreateFromTemplate(d.id, lang, parent ? panel : nullptr);
        HWND unicode = CreateFromTemplate(d.id, lang, parent ? panel : nullptr, true);
        ASSERT_TRUE(english && dialog && unicode);
        const std::vector<Control> was = ControlsOf(english), is = ControlsOf(dialog), pure = ControlsOf(unicode);
        EXPECT_EQ(TextOf(unicode), TextOf(dialog)) << "the caption loses a character to the code page";
        RECT wasClient, client;
        GetClientRect(english, &wasClient);
        GetClientRect(dialog, &client);
        EXPECT_TRUE(EqualRect(&wasClient, &client)) << "the dialog keeps its size";
        ASSERT_EQ(was.size(), is.size());

        // The pages share the panel's keyboard: their mnemonics and its own.
        std::vector<const Control *> keyed;
        for (const Control &c : panelControls)
            if (parent && d.id != IDD_PANEL && MnemonicOf(c.text))
                keyed.push_back(&c);
        for (size_t i = 0; i < is.size(); ++i) {
            const Control &e = was[i], &c = is[i];
            SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + Utf8(c.text) + "\"");
            EXPECT_EQ(e.id, c.id);
            EXPECT_STREQ(e.className, c.className);
            EXPECT_EQ(e.style, c.style);
            EXPECT_EQ(e.exStyle, c.exStyle);
            // Only wider, only where the text needs it, and inside the dialog.
            RECT inside;
            EXPECT_TRUE(c.rect.top == e.rect.top && c.rect.bottom == e.rect.bottom && c.rect.left <= e.rect.left &&
                        c.rect.right >= e.rect.right)
                << "moved";
            EXPECT_TRUE(EqualRect(&c.rect, &e.rect) || !Fits(RoomOf(c.text, c, e.rect))) << "widened without need";
            IntersectRect(&inside, &c.rect, &client);
            EXPECT_TRUE(EqualRect(&inside, &c.rect)) << "outside the dialog";
            // Hidden controls are never drawn; some English ones are too narrow.
            const Room room = RoomOf(c.text, c, c.rect);
            EXPECT_TRUE(c.text.empty() || !(c.style & WS_VISIBLE) || Fits(room)) << "does not fit: " << room;
            EXPECT_EQ(pure[i].text, c.text) << "a character the code page lacks";
            EXPECT_TRUE(room.glyphs) << "a character the dialog's font lacks";
            if (c.style & WS_VISIBLE)
                for (size_t j = 0; j < i; ++j)
                    EXPECT_TRUE(!(is[j].style & WS_VISIBLE) ||
                                Relation(c.rect, is[j].rect) == Relation(e.rect, was[j].rect))
                        << "now overlaps control " << is[j].id;
            const bool prefixed = c.kind != kText || !(c.style & SS_NOPREFIX);
            if ((c.style & WS_VISIBLE) && prefixed && MnemonicOf(c.text))
                keyed.push_back(&c);
        }
        for (size_t i = 0; i < keyed.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                EXPECT_TRUE(MnemonicOf(keyed[i]->text) != MnemonicOf(keyed[j]->text) ||
                            (IsColumnBox(keyed[i]->id) && IsColumnBox(keyed[j]->id)))
                    << "\"" << Utf8(keyed[i]->text) << "\" and \"" << Utf8(keyed[j]->text) << "\" share a mnemonic";

        // The reverb environments the page lists, as the system's lookup gives them.
        for (int id = IDS_ENVIRONMENT_FIRST; d.id == IDD_EFFECTS && id <= IDS_ENVIRONMENT_NONE; ++id) {
            WCHAR text[256] = L"";
            LoadStringW(shipped, id, text, 256);
            HWND combo = GetDlgItem(dialog, IDC_ENVIRONMENT);
            Control c = {id, kOther, "", 0, 0, {}, text, combo};
            GetClientRect(combo, &c.rect);
            c.rect.right -= GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE);
            const Room room = RoomOf(text, c, c.rect);
            EXPECT_TRUE(Fits(room)) << "environment " << Utf8(text) << " " << room;
        }
        DestroyWindow(unicode);
        if (d.id != IDD_PANEL) {
            DestroyWindow(dialog);
            DestroyWindow(english);
        }
    }
    DestroyWindow(panel);
    DestroyWindow(englishPanel);
}

// ---- Strings, menu, language marker -------------------------------------------

// A string of one language's table, straight from its block of 16 counted
// strings; empty when there is none.
std::wstring StringOf(int id, LANGID lang)
{
    const WCHAR *p = static_cast<const WCHAR *>(Resource(RT_STRING, id / 16 + 1, lang));
    for (int i = 0; p && i < id % 16; ++i)
        p += 1 + *p;
    return p ? std::wstring(p + 1, *p) : std::wstring();
}

// The buffers the code loads the strings into, in bytes of the ANSI code page.
int BufferOf(int id)
{
    return id == IDS_CAPTION ? 80 : id >= IDS_TITLE_GENERAL && id <= IDS_TITLE_MIXING_OPTIONS ? 50
         : id >= IDS_UNINSTALL_DONE ? 1024 : 256;
}

TEST(Strings, TranslateEveryTextKeepingLineBreaksAndPlaceholdersWithinTheirBuffers)
{
    for (int block = 1; block <= IDS_NO_ACCELERATION / 16 + 1; ++block)
        EXPECT_EQ(hasStrings, Resource(RT_STRING, block, language) != nullptr) << "block " << block;
    for (int id = 1; id <= IDS_NO_ACCELERATION; ++id) {
        const std::wstring english = StringOf(id, kEnglish), text = StringOf(id, hasStrings ? language : kEnglish);
        SCOPED_TRACE("string " + std::to_string(id) + " \"" + Utf8(text) + "\"");
        ASSERT_FALSE(text.empty());
        for (WCHAR kept : {L'\n', L'%', L'\t'})
            EXPECT_EQ(std::count(english.begin(), english.end(), kept), std::count(text.begin(), text.end(), kept));
        const int length = AnsiLength(text);
        EXPECT_NE(-1, length) << "a character the code page lacks";
        EXPECT_LT(length, BufferOf(id));
        // What the program loads is this language's text, where it has one.
        WCHAR loaded[1024] = L"";
        LoadStringW(shipped, id, loaded, 1024);
        EXPECT_TRUE(!hasStrings || text == loaded) << "the lookup gives \"" << Utf8(loaded) << "\"";
    }
}

TEST(Menu, OffersOpenThenExitWithTheirOwnMnemonics)
{
    const void *tmpl = Resource(RT_MENU, IDM_TRAY, language);
    ASSERT_EQ(hasStrings, tmpl != nullptr);
    if (!tmpl)
        return;
    HMENU menu = LoadMenuIndirectW(tmpl), popup = GetSubMenu(menu, 0);
    ASSERT_EQ(2, GetMenuItemCount(popup));
    WCHAR open[64] = L"", exit[64] = L"";
    GetMenuStringW(popup, 0, open, 64, MF_BYPOSITION);
    GetMenuStringW(popup, 1, exit, 64, MF_BYPOSITION);
    EXPECT_EQ(IDM_OPEN, static_cast<int>(GetMenuItemID(popup, 0)));
    EXPECT_EQ(IDM_EXIT, static_cast<int>(GetMenuItemID(popup, 1)));
    EXPECT_TRUE(MnemonicOf(open) && MnemonicOf(exit) && MnemonicOf(open) != MnemonicOf(exit))
        << Utf8(open) << ", " << Utf8(exit);
    EXPECT_TRUE(AnsiLength(open) >= 0 && AnsiLength(exit) >= 0);
    DestroyMenu(menu);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD lang, LONG_PTR found)
{
    reinterpret_cast<std::vector<LANGID> *>(found)->push_back(lang);
    return TRUE;
}

TEST(Language, TheLocaleMakesTheSystemChooseIt)
{
    std::vector<LANGID> expected(std::begin(kLanguages), std::end(kLanguages)), found;
    EnumResourceLanguagesA(shipped, MAKEINTRESOURCEA(VT_RT_LANGUAGE), MAKEINTRESOURCEA(IDR_LANGUAGE), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&found));
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(expected, found) << "the program's languages";
    EXPECT_EQ(codePage, GetACP());
    const DWORD *own = static_cast<const DWORD *>(Resource(MAKEINTRESOURCEA(VT_RT_LANGUAGE), IDR_LANGUAGE, language));
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(language, *own);
    HRSRC info = FindResourceA(shipped, MAKEINTRESOURCEA(IDR_LANGUAGE), MAKEINTRESOURCEA(VT_RT_LANGUAGE));
    ASSERT_NE(nullptr, info);
    ASSERT_EQ(4u, SizeofResource(shipped, info));
    // Traditional-sort Spanish has no locale of its own: es_ES is the modern sort.
    const LANGID chosen = language == MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH)
                              ? MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN) : language;
    EXPECT_EQ(chosen, *static_cast<const DWORD *>(LockResource(LoadResource(shipped, info))));
}

} // namespace
