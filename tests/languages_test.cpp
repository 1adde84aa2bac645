// One language's resources in vtpanel.exe as it ships, checked under that
// language's locale as its users see them: the system's lookup picks the
// language; the translated dialogs keep the English controls and layout,
// widened only where a text needs it; every text fits its control in the
// dialog's own font; mnemonics are unique; and no text loses a character to
// the locale's ANSI code page, which LoadStringA, the menus and the ANSI
// dialog functions convert every text to. And the program itself, run in
// that language: its panel and its messages are that language's.
//
// Arguments: the program as data (the shipped 32-bit file), the program to
// run (the same on a machine that runs 32-bit programs), the language id and
// its ANSI code page.
#include "harness.h"

#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <ostream>

namespace {

const HMODULE shipped = LoadLibraryExA(__argc > 4 ? __argv[1] : "", nullptr, LOAD_LIBRARY_AS_DATAFILE);
const char *const runnable = __argc > 4 ? __argv[2] : "";
const LANGID language = static_cast<LANGID>(__argc > 4 ? std::atoi(__argv[3]) : 0);
const UINT codePage = __argc > 4 ? std::atoi(__argv[4]) : 0;
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The languages with the string table and the tray menu; the other three
// (1034, 2058, 2070) have only the translated dialogs.
const LANGID kWithStrings[] = {1028, 1031, 1033, 1036, 1040, 1041, 1042, 1043, 1046, 1049, 2052, 3082};
bool HasStrings(LANGID lang) { return std::count(std::begin(kWithStrings), std::end(kWithStrings), lang) > 0; }
const bool hasStrings = HasStrings(language);
// The language the system gives its users: traditional-sort Spanish has no
// locale of its own, es_ES being the modern sort.
const LANGID chosen = language == 1034 ? 3082 : language;

const void *Resource(LPCSTR type, int id, LANGID lang)
{
    HRSRC info = FindResourceExA(shipped, type, MAKEINTRESOURCEA(id), lang);
    return info ? LockResource(LoadResource(shipped, info)) : nullptr;
}

std::string Narrow(const std::wstring &text, UINT page = CP_UTF8)
{
    char bytes[2048] = "";
    WideCharToMultiByte(page, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// The text in the ANSI code page, in bytes, or -1 when a character is lost.
int AnsiLength(const std::wstring &text)
{
    const std::string bytes = Narrow(text, CP_ACP);
    WCHAR back[2048] = L"";
    MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), -1, back, 2048);
    return text == back ? static_cast<int>(bytes.size()) : -1;
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


// A dialog made from a template as the program makes it, with the ANSI
// function, whose controls get their texts through the ANSI code page; or
// with the Unicode one, whose controls get them as the template has them.
HWND CreateFromTemplate(int id, LANGID lang, HWND parent, bool unicode = false)
{
    const void *tmpl = Resource(RT_DIALOG, id, lang);
    if (!tmpl)
        return nullptr;
    return unicode ? CreateDialogIndirectParamW(shipped, static_cast<LPCDLGTEMPLATEW>(tmpl), parent, InertDialog, 0)
                   : CreateDialogIndirectParamA(shipped, static_cast<LPCDLGTEMPLATEA>(tmpl), parent, InertDialog, 0);
}

std::wstring TextOf(HWND window)
{
    WCHAR text[512] = L"";
    return GetWindowTextW(window, text, 512), text;
}

// The kinds of control that show a text, and the pixels of each that are not
// for the text: a push button's edges; a check box's or radio button's
// 13-pixel glyph, the gap of half a digit and the focus frame; a group box's
// frame either side of its title. Only static texts wrap.
enum Kind { kPush, kCheck, kGroup, kText, kOther };
const int kMargin[] = {6, 17, 16, 0, 0};

struct Control {
    int id; Kind kind; char className[64]; LONG_PTR style, exStyle;
    RECT rect; // in the dialog's client area
    std::wstring text; HWND window;
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

std::ostream &operator<<(std::ostream &out, const Room &r)
{
    return out << "needs " << r.needed.cx << "x" << r.needed.cy << " pixels of " << r.given.cx << "x" << r.given.cy;
}

// How two rectangles lie: apart, one inside the other, or crossing.
int Relation(const RECT &a, const RECT &b)
{
    RECT both;
    return !IntersectRect(&both, &a, &b) ? 0 : EqualRect(&both, &b) ? 1 : EqualRect(&both, &a) ? 2 : 3;
}

// The check boxes of the mixer columns share one mnemonic, as in English.
bool IsColumnBox(int id)
{
    return (id >= IDC_PLAYBACK_MUTE0 && id <= IDC_PLAYBACK_MUTE0 + 5) ||
           (id >= IDC_RECORD_SELECT0 && id <= IDC_RECORD_SELECT0 + 3) || id == IDC_RECORD_SELECT4;
}

// The dialogs a user of this language sees, and whether they are translated.
const struct { int id; bool translated; } kDialogs[] = {
    {IDD_PANEL, true}, {IDD_GENERAL, true}, {IDD_EFFECTS, true}, {IDD_PLAYBACK_MIXER, true}, {IDD_RECORD_MIXER, true},
    {IDD_VOICE_MANAGER, false}, {IDD_MIXING_OPTIONS, false}, {IDD_UNINSTALL_WARNING, false}};

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
            SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + Narrow(c.text) + "\"");
            EXPECT_TRUE(e.id == c.id && !strcmp(e.className, c.className) && e.style == c.style &&
                        e.exStyle == c.exStyle) << "not the English control";
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
                    << "\"" << Narrow(keyed[i]->text) << "\" and \"" << Narrow(keyed[j]->text) << "\" share a mnemonic";

        // The reverb environments the page lists, as the system's lookup gives them.
        for (int id = IDS_ENVIRONMENT_FIRST; d.id == IDD_EFFECTS && id <= IDS_ENVIRONMENT_NONE; ++id) {
            WCHAR text[256] = L"";
            LoadStringW(shipped, id, text, 256);
            HWND combo = GetDlgItem(dialog, IDC_ENVIRONMENT);
            Control c = {id, kOther, "", 0, 0, {}, text, combo};
            GetClientRect(combo, &c.rect);
            c.rect.right -= GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE);
            const Room room = RoomOf(text, c, c.rect);
            EXPECT_TRUE(Fits(room)) << "environment " << Narrow(text) << " " << room;
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

// The tray menu offers Open then Exit, with their own mnemonics.
TEST(Strings, TranslateEveryTextAndTheMenuKeepingLineBreaksAndPlaceholdersWithinTheirBuffers)
{
    for (int block = 1; block <= IDS_NO_ACCELERATION / 16 + 1; ++block)
        EXPECT_EQ(hasStrings, Resource(RT_STRING, block, language) != nullptr) << "block " << block;
    for (int id = 1; id <= IDS_NO_ACCELERATION; ++id) {
        const std::wstring english = StringOf(id, kEnglish), text = StringOf(id, hasStrings ? language : kEnglish);
        SCOPED_TRACE("string " + std::to_string(id) + " \"" + Narrow(text) + "\"");
        ASSERT_FALSE(text.empty());
        for (WCHAR kept : {L'\n', L'%', L'\t'})
            EXPECT_EQ(std::count(english.begin(), english.end(), kept), std::count(text.begin(), text.end(), kept));
        const int length = AnsiLength(text);
        EXPECT_NE(-1, length) << "a character the code page lacks";
        // Within the buffer the code loads it into, in bytes of the ANSI code page (that the
        // program gets them is the program's case below).
        EXPECT_LT(length, id == IDS_CAPTION ? 80 : id >= IDS_TITLE_GENERAL && id <= IDS_TITLE_MIXING_OPTIONS ? 50
                          : id >= IDS_UNINSTALL_DONE ? 1024 : 256);
    }
    const void *tmpl = Resource(RT_MENU, IDM_TRAY, language);
    ASSERT_EQ(hasStrings, tmpl != nullptr);
    HMENU menu = tmpl ? LoadMenuIndirectW(tmpl) : nullptr, popup = GetSubMenu(menu, 0);
    WCHAR open[64] = L"", exit[64] = L"";
    GetMenuStringW(popup, 0, open, 64, MF_BYPOSITION);
    GetMenuStringW(popup, 1, exit, 64, MF_BYPOSITION);
    EXPECT_TRUE(!tmpl || (GetMenuItemCount(popup) == 2 && GetMenuItemID(popup, 0) == IDM_OPEN &&
                          GetMenuItemID(popup, 1) == IDM_EXIT));
    EXPECT_TRUE(!tmpl || (MnemonicOf(open) && MnemonicOf(exit) && MnemonicOf(open) != MnemonicOf(exit) &&
                          AnsiLength(open) >= 0 && AnsiLength(exit) >= 0))
        << Narrow(open) << ", " << Narrow(exit);
    DestroyMenu(menu);
}

// ---- The program, run in this language -------------------------------------

// The system's lookup gives the program the user's language (English texts
// where it has none), each text whole in the locale's code page: message 61
// when no device is listed (at the start with OPEN and on the posted Open)
// and, when no buffer can be routed, the instructions, the longest text,
// each box with the caption; the panel with its tab titles, its pages from
// this language's templates and the reverb environments the Effects page lists.
TEST(Program, ShowsItsPanelPagesListsAndMessagesInTheUsersLanguage)
{
    ASSERT_EQ(codePage, GetACP());
    const std::string program = InstallProgram(runnable);
    ASSERT_FALSE(program.empty());
    const LANGID strings = HasStrings(chosen) ? chosen : kEnglish;
    auto ansi = [&](int id) { return Narrow(StringOf(id, strings), CP_ACP); };
    auto box = [&](int id) { return ansi(IDS_CAPTION) + ": " + ansi(id); };
    Instance run;
    auto exit = [&] {
        PostMessageA(Tray(), WM_COMMAND, IDM_EXIT, 0);
        EXPECT_EQ(0u, run.ExitCode(10000));
        run.Close();
    };
    VcShareFault("EnumerateDevice", 0, "0x80004005");
    VcShareFault("QuerySupport", 0, "noset");
    run = Start(program, "OPEN");
    EXPECT_EQ((std::vector<std::string>{box(IDS_NO_DRIVER), box(IDS_NO_ACCELERATION), box(IDS_NO_DRIVER)}),
              AnswerBoxes(run.id, 3, 15000));
    exit();
    RestorePackage();

    HWND model = CreateFromTemplate(IDD_PANEL, chosen, nullptr), panel = nullptr;
    const std::string caption = Narrow(TextOf(model), CP_ACP);
    run = Start(program, "OPEN");
    ASSERT_TRUE(WaitFor([&] { return (panel = DialogOf(run.id, caption.c_str())) && Page(panel); }, 10000)) << caption;
    char *remote = static_cast<char *>(VirtualAllocEx(run.process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    const struct { int title, page, control; } tabs[] = {{IDS_TITLE_GENERAL, IDD_GENERAL, IDC_TEST_ALL},
                                                         {IDS_TITLE_EFFECTS, IDD_EFFECTS, IDC_REVERB}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(SelectTab(panel, i));
        TCITEMA item = {TCIF_TEXT, 0, 0, remote + 64, 1024};
        char title[1024] = "";
        WriteProcessMemory(run.process, remote, &item, sizeof item, nullptr);
        SendMessageA(GetDlgItem(panel, IDC_PANEL_TAB), TCM_GETITEMA, i, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(run.process, remote + 64, title, sizeof title, nullptr);
        EXPECT_EQ(ansi(tabs[i].title), title);
        HWND page = CreateFromTemplate(tabs[i].page, chosen, model);
        EXPECT_EQ(Text(GetDlgItem(page, tabs[i].control)), Text(GetDlgItem(Page(panel), tabs[i].control)));
    }
    HWND list = GetDlgItem(Page(panel), IDC_ENVIRONMENT);
    WCHAR text[256]; // "- none -" heads the list
    for (int i = 0; i <= IDS_ENVIRONMENT_LAST - IDS_ENVIRONMENT_FIRST + 1; ++i)
        EXPECT_EQ(ansi(i ? IDS_ENVIRONMENT_FIRST + i - 1 : IDS_ENVIRONMENT_NONE),
                  SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text)) > 0 ? Narrow(text, CP_ACP) : "");
    DestroyWindow(model);
    exit();
}

} // namespace
