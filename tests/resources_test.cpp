// What the code relies on in the English resources of vtpanel.exe as it
// ships: the dialogs and the controls it looks up, the string table, the tray
// menu, the language marker and the version information.
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

HMODULE shipped;
std::string shippedPath;

// ---- A bounded reader of dialog templates, classic and extended -----------

// After the first read past the end every read gives 0 and ok stays false.
struct Reader {
    const BYTE *bytes;
    size_t size, at = 0;
    bool ok = true;

    unsigned Word()
    {
        if (size - at < 2) {
            ok = false;
            at = size;
            return 0;
        }
        at += 2;
        return bytes[at - 2] | bytes[at - 1] << 8;
    }
    DWORD Dword() { DWORD low = Word(); return low | static_cast<DWORD>(Word()) << 16; }
    void Skip(size_t n)
    {
        ok = ok && n <= size - at;
        at = ok ? at + n : size;
    }
    void Align() { at = std::min(size, (at + 3) & ~static_cast<size_t>(3)); }
    // A name field: "#n" for an ordinal, else the text (ASCII kept, others '?').
    std::string Name()
    {
        unsigned unit = Word();
        if (unit == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (; unit; unit = Word())
            text += unit < 0x80 ? static_cast<char>(unit) : '?';
        return text;
    }
};

struct Item {
    DWORD style;
    int id;
    std::string kind; // "push", "check", "radio" for buttons, else the class, lower case
    std::string title;
};

struct Dialog {
    bool extended;
    DWORD style;
    short cx, cy;
    std::string menu, caption, font;
    std::vector<Item> items;

    const Item *Find(int id) const
    {
        for (const Item &item : items)
            if (item.id == id)
                return &item;
        return nullptr;
    }
};

std::string KindOf(std::string name, DWORD style)
{
    const char *const predefined[] = {"button", "edit", "static", "listbox", "scrollbar", "combobox"};
    for (unsigned i = 0; i < 6; ++i)
        if (name == "#" + std::to_string(0x80 + i))
            name = predefined[i];
    for (char &c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name != "button")
        return name;
    switch (style & 0xF) {
    case BS_PUSHBUTTON: case BS_DEFPUSHBUTTON: return "push";
    case BS_CHECKBOX: case BS_AUTOCHECKBOX: return "check";
    case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return "radio";
    }
    return name;
}

bool ParseDialog(const void *data, size_t size, Dialog *dialog)
{
    Reader r{static_cast<const BYTE *>(data), size};
    unsigned version = r.Word(), signature = r.Word();
    dialog->extended = version == 1 && signature == 0xFFFF;
    if (dialog->extended) {
        r.Skip(8); // help id, extended style
        dialog->style = r.Dword();
    } else {
        r.at = 0;
        dialog->style = r.Dword();
        r.Skip(4);
    }
    unsigned count = r.Word();
    r.Skip(4); // x, y
    dialog->cx = static_cast<short>(r.Word());
    dialog->cy = static_cast<short>(r.Word());
    dialog->menu = r.Name();
    r.Name(); // window class
    dialog->caption = r.Name();
    if (dialog->style & DS_SETFONT) {
        r.Skip(dialog->extended ? 6 : 2); // point size; weight, italic, character set
        dialog->font = r.Name();
    }
    dialog->items.clear();
    for (unsigned i = 0; i < count && r.ok; ++i) {
        Item item;
        r.Align();
        if (dialog->extended)
            r.Skip(8); // help id, extended style
        item.style = r.Dword();
        r.Skip(dialog->extended ? 8 : 12); // (extended style,) x, y, cx, cy
        item.id = dialog->extended ? static_cast<int>(r.Dword()) : static_cast<short>(r.Word());
        item.kind = r.Name();
        item.title = r.Name();
        item.kind = KindOf(item.kind, item.style);
        r.Skip(r.Word()); // creation data
        dialog->items.push_back(item);
    }
    return r.ok;
}

const void *EnglishResource(LPCSTR type, int id, DWORD *size)
{
    HRSRC info = FindResourceExA(shipped, type, MAKEINTRESOURCEA(id),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    *size = info ? SizeofResource(shipped, info) : 0;
    return info ? LockResource(LoadResource(shipped, info)) : nullptr;
}

bool LoadDialog(int id, Dialog *dialog)
{
    DWORD size;
    const void *data = EnglishResource(RT_DIALOG, id, &size);
    return data && ParseDialog(data, size, dialog);
}

// ---- The dialogs and the controls the code looks up -----------------------

struct ExpectedDialog {
    int id;
    short cx, cy;        // 0: left to the layout
    const char *caption; // a popup with this caption, or null for a child page
};

const ExpectedDialog kDialogs[] = {
    {IDD_PANEL, 310, 234, "Sonaris Control Panel"}, {IDD_VOICE_MANAGER, 214, 127, nullptr},
    {IDD_MIXING_OPTIONS, 186, 127, nullptr},        {IDD_EFFECTS, 290, 188, nullptr},
    {IDD_GENERAL, 290, 188, nullptr},               {IDD_PLAYBACK_MIXER, 289, 187, nullptr},
    {IDD_RECORD_MIXER, 288, 188, nullptr},          {IDD_UNINSTALL_WARNING, 0, 0, "Warning"},
};

const char kTrack[] = "msctls_trackbar32", kUpDown[] = "msctls_updown32";
const bool V = false, H = true;

// count controls of one kind with consecutive ids from id.
struct ExpectedControls {
    int dialog, id, count;
    const char *kind;
    bool hidden;
};

const ExpectedControls kControls[] = {
    {IDD_PANEL, IDC_PANEL_TAB, 1, "systabcontrol32", V}, {IDD_PANEL, IDOK, 2, "push", V},
    {IDD_PANEL, IDC_APPLY, 1, "push", V}, {IDD_PANEL, IDC_PANEL_ICON, 1, "static", V},
    {IDD_PANEL, IDC_DRIVER_VERSION, 1, "static", V},
    {IDD_GENERAL, IDC_LAYOUT_2, 3, "radio", V}, {IDD_GENERAL, IDC_LAYOUT_STEREO_X2, 1, "radio", V},
    {IDD_GENERAL, IDC_TEST_ALL, 1, "push", V}, {IDD_GENERAL, IDC_UNINSTALL, 1, "push", V},
    {IDD_GENERAL, IDC_FRAME_FRONT_LEFT, 6, "static", H}, // the page draws its pictures there
    {IDD_EFFECTS, IDC_CPU_USAGE, 1, kTrack, V}, {IDD_EFFECTS, IDC_REVERB, 1, "check", V},
    {IDD_EFFECTS, IDC_ENVIRONMENT, 1, "combobox", V}, {IDD_EFFECTS, IDC_STEREO_EXPANSION, 1, "check", V},
    {IDD_EFFECTS, IDC_SPREAD, 2, kTrack, V}, {IDD_EFFECTS, IDC_LOW_FREQUENCY, 1, "check", V},
    {IDD_EFFECTS, IDC_EFFECTS_ICON, 1, "static", V}, {IDD_EFFECTS, IDC_ELEVATION, 1, "check", H},
    {IDD_EFFECTS, IDC_INTERPOLATE, 1, "check", H}, {IDD_EFFECTS, IDC_MODE_QSOUND, 2, "radio", H},
    {IDD_EFFECTS, IDC_OUTPUT_SPEAKERS, 1, "radio", H}, {IDD_EFFECTS, IDC_OUTPUT_HEADPHONES, 2, "radio", H},
    {IDD_EFFECTS, IDC_OUTPUT_QUAD, 1, "radio", H}, {IDD_EFFECTS, IDC_SPLASH_LOGO, 1, "check", H},
    {IDD_VOICE_MANAGER, IDC_MAX_TOTAL, 2, "edit", V}, {IDD_VOICE_MANAGER, IDC_MAX_TOTAL_SPIN, 2, kUpDown, V},
    {IDD_VOICE_MANAGER, IDC_LIMIT_TOTAL, 1, "check", V}, {IDD_VOICE_MANAGER, IDC_PLAY_LIMITED, 2, "radio", V},
    {IDD_VOICE_MANAGER, IDC_PLAY_UNLIMITED, 1, "radio", V},
    {IDD_MIXING_OPTIONS, IDC_FLOATING_POINT, 1, "check", V}, {IDD_MIXING_OPTIONS, IDC_LATENCY, 1, "edit", V},
    {IDD_MIXING_OPTIONS, IDC_LATENCY_SPIN, 1, kUpDown, V}, {IDD_MIXING_OPTIONS, IDC_MIX_PRIMARY, 2, "check", H},
    {IDD_MIXING_OPTIONS, IDC_VOLUME, 1, kTrack, V},
    {IDD_PLAYBACK_MIXER, IDC_PLAYBACK_VOLUME0, 6, kTrack, V}, {IDD_PLAYBACK_MIXER, IDC_PLAYBACK_NAME0, 6, "static", V},
    {IDD_PLAYBACK_MIXER, IDC_PLAYBACK_BALANCE0, 6, kTrack, V}, {IDD_PLAYBACK_MIXER, IDC_PLAYBACK_MUTE0, 6, "check", V},
    {IDD_RECORD_MIXER, IDC_RECORD_NAME0, 5, "static", V}, {IDD_RECORD_MIXER, IDC_RECORD_VOLUME0, 4, kTrack, V},
    {IDD_RECORD_MIXER, IDC_RECORD_SELECT0, 4, "check", V}, {IDD_RECORD_MIXER, IDC_RECORD_SELECT4, 1, "check", V},
    // 1140..1145: four balances, then the fifth column's balance and volume.
    {IDD_RECORD_MIXER, IDC_RECORD_BALANCE0, 6, kTrack, V},
    {IDD_UNINSTALL_WARNING, IDC_WARNING_TEXT, 1, "edit", V}, {IDD_UNINSTALL_WARNING, IDYES, 2, "push", V},
};

TEST(Dialogs, HoldTheControlsTheCodeLooksUpOnceEach)
{
    for (const ExpectedDialog &expected : kDialogs) {
        Dialog dialog;
        ASSERT_TRUE(LoadDialog(expected.id, &dialog)) << "dialog " << expected.id;
        if (expected.cx) {
            EXPECT_EQ(expected.cx, dialog.cx) << "dialog " << expected.id;
            EXPECT_EQ(expected.cy, dialog.cy) << "dialog " << expected.id;
        }
        EXPECT_EQ("MS Shell Dlg", dialog.font) << "dialog " << expected.id;
        const DWORD popup = WS_POPUP | WS_CAPTION, child = WS_CHILD;
        EXPECT_EQ(expected.caption ? popup : child, dialog.style & (popup | child)) << "dialog " << expected.id;
        EXPECT_EQ(expected.caption ? expected.caption : "", dialog.caption);
        std::set<int> ids;
        for (const Item &item : dialog.items) {
            EXPECT_TRUE(item.id == -1 || ids.insert(item.id).second) << item.id << " twice";
            // A picture that a template names is one of the program's own.
            DWORD type = item.style & SS_TYPEMASK;
            if (item.kind == "static" && (type == SS_ICON || type == SS_BITMAP))
                EXPECT_NE(nullptr, FindResourceA(shipped, MAKEINTRESOURCEA(std::atoi(item.title.c_str() + 1)),
                                                 type == SS_ICON ? RT_GROUP_ICON : RT_BITMAP))
                    << "dialog " << expected.id << " picture " << item.title;
        }
        for (const ExpectedControls &row : kControls) {
            for (int id = row.id; row.dialog == expected.id && id < row.id + row.count; ++id) {
                const Item *item = dialog.Find(id);
                ASSERT_NE(nullptr, item) << "dialog " << expected.id << " lacks " << id;
                EXPECT_EQ(row.kind, item->kind) << "control " << id;
                EXPECT_EQ(row.hidden, !(item->style & WS_VISIBLE)) << "control " << id << " visibility";
            }
        }
    }
}

// Style bits the code relies on; a missing control has none.
const struct {
    int dialog, id;
    DWORD bits;
    const char *why;
} kStyles[] = {
    {IDD_PANEL, IDC_APPLY, WS_DISABLED, "the pages enable Apply"},
    {IDD_VOICE_MANAGER, IDC_MAX_TOTAL_SPIN, UDS_AUTOBUDDY | UDS_SETBUDDYINT, "sets the number in its edit"},
    {IDD_VOICE_MANAGER, IDC_MAX_PLAY_SPIN, UDS_AUTOBUDDY | UDS_SETBUDDYINT, "sets the number in its edit"},
    {IDD_MIXING_OPTIONS, IDC_LATENCY_SPIN, UDS_AUTOBUDDY | UDS_SETBUDDYINT, "sets the number in its edit"},
    {IDD_UNINSTALL_WARNING, IDC_WARNING_TEXT, ES_MULTILINE | ES_READONLY, "shows the question wrapped"},
};

TEST(Dialogs, StylesPicturesAndAbsencesTheCodeReliesOn)
{
    Dialog dialog;
    for (const auto &row : kStyles) {
        ASSERT_TRUE(LoadDialog(row.dialog, &dialog));
        const Item *item = dialog.Find(row.id);
        EXPECT_EQ(row.bits, item ? item->style & row.bits : 0) << "control " << row.id << ": " << row.why;
    }
    ASSERT_TRUE(LoadDialog(IDD_PANEL, &dialog));
    EXPECT_EQ("#117", dialog.menu) << "the tray menu is the panel's menu bar";
    const Item *icon = dialog.Find(IDC_PANEL_ICON);
    EXPECT_EQ("#100", icon ? icon->title : "");
    // The property-one controls stay out: the page treats them as absent.
    ASSERT_TRUE(LoadDialog(IDD_EFFECTS, &dialog));
    EXPECT_EQ(nullptr, dialog.Find(IDC_PROPERTY1_ON));
    EXPECT_EQ(nullptr, dialog.Find(IDC_PROPERTY1_VALUE));
}

TEST(Dialogs, ReaderTakesTheClassicLayoutAndRefusesATruncatedTemplate)
{
    // DLGTEMPLATE with DS_SETFONT: one item, 40 x 20, caption "A", font 8 "F";
    // then, DWORD-aligned, button 7 "B".
    const WORD words[] = {
        0x0040, 0x80C8, 0, 0, 1, 0, 0, 40, 20, 0, 0, 'A', 0, 8, 'F', 0,
        0x0000, 0x5001, 0, 0, 2, 3, 30, 10, 7, 0xFFFF, 0x0080, 'B', 0, 0,
    };
    Dialog dialog;
    ASSERT_TRUE(ParseDialog(words, sizeof words, &dialog));
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(40, dialog.cx);
    EXPECT_EQ("A", dialog.caption);
    EXPECT_EQ("F", dialog.font);
    ASSERT_EQ(1u, dialog.items.size());
    EXPECT_EQ(7, dialog.items[0].id);
    EXPECT_EQ("push", dialog.items[0].kind);
    EXPECT_EQ("B", dialog.items[0].title);
    EXPECT_FALSE(ParseDialog(words, sizeof words - 4, &dialog));

    // The shipped General page is extended; cut short by 3 bytes it is refused.
    DWORD size;
    const void *page = EnglishResource(RT_DIALOG, IDD_GENERAL, &size);
    ASSERT_TRUE(page && ParseDialog(page, size, &dialog));
    EXPECT_TRUE(dialog.extended);
    EXPECT_NE(nullptr, dialog.Find(IDC_UNINSTALL)) << "the last control";
    EXPECT_FALSE(ParseDialog(page, size - 3, &dialog));
}

// ---- Strings, menu, language marker, version -------------------------------

struct QuotedString {
    int id;
    int buffer; // the size of the buffer the code loads it into
    const char *text;
};

const QuotedString kQuotedStrings[] = {
    {1, 256, "OK"},
    {2, 256, "The call failed because resources (such as a priority level) were already being used by another caller."},
    {3, 256, "The control (vol,pan,etc.) requested by the caller is not available."},
    {4, 256, "An invalid parameter was passed to the returning function"},
    {5, 256, "This call is not valid for the current state of this object"},
    {6, 256, "An undetermined error occured inside the DirectSound subsystem"},
    {7, 256, "The caller does not have the priority level required for the function to succeed."},
    {8, 256, "Not enough free memory is available to complete the operation"},
    {9, 256, "The specified WAVE format is not supported"},
    {10, 256, "The function called is not supported at this time"},
    {11, 256, "No sound driver is available for use"},
    {12, 256, "This object is already initialized"},
    {13, 256, "This object does not support aggregation"},
    {14, 256, "The buffer memory has been lost, and must be restored."},
    {15, 256, "Another app has a higher priority level, preventing this call from succeeding."},
    {16, 256, "This object has not been initialized"},
    {17, 256, "The requested COM interface is not available"},
    {48, 1024, "Sonaris audio devices and drivers are removed successfully!"},
    {51, 80, "Sonaris Control Panel"},
    {52, 1024, "You must remove YAMAHA Soft Synthesizer S-YXG50 software before you uninstall the PCI audio driver."},
    {54, 50, "General"}, {55, 50, "Effects"}, {56, 50, "Playback Mixer"}, {57, 50, "Record Mixer"},
    {58, 50, "Voice Manager"}, {59, 50, "Mixing Options"},
    {61, 1024, "No Sonaris driver was installed."},
    {62, 1024, "Either a Q3D driver is not being used, or the sound card's hardware\nacceleration feature has "
               "not been turned on.Please verify that\nhardware acceleration has been set to 'Full' by "
               "following these steps:\n1) open the 'Sounds and Multimedia' control panel,\n2) select the "
               "'Audio' tab,\n3) press the 'Advanced' button,\n4) select the 'Performance' tab\n5) drag the "
               "'Hardware acceleration' slider to 'Full' \n"},
};

TEST(Strings, EveryIdFrom1To62IsThereAndTheShownTextsFitTheirBuffers)
{
    char text[1024];
    for (int id = 1; id <= 62; ++id)
        EXPECT_GT(LoadStringA(shipped, id, text, sizeof text), 0) << "string " << id;
    for (const QuotedString &quoted : kQuotedStrings) {
        text[0] = '\0';
        LoadStringA(shipped, quoted.id, text, quoted.buffer);
        EXPECT_STREQ(quoted.text, text) << "string " << quoted.id;
    }
}

TEST(Menu, TrayMenuOffersOpenThenExit)
{
    DWORD size;
    const void *data = EnglishResource(RT_MENU, IDM_TRAY, &size);
    HMENU menu = data ? LoadMenuIndirectA(data) : nullptr;
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_EQ(2, GetMenuItemCount(popup));
    const struct { UINT id; const char *text; } kItems[] = {{40008, "&Open"}, {40002, "&Exit"}};
    for (int i = 0; i < 2; ++i) {
        char text[64] = "";
        GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION);
        EXPECT_EQ(kItems[i].id, GetMenuItemID(popup, i));
        EXPECT_STREQ(kItems[i].text, text);
    }
    DestroyMenu(menu);
}

TEST(LanguageMarker, EnglishCarriesItsLanguageId)
{
    DWORD size, value = 0;
    const void *data = EnglishResource(MAKEINTRESOURCEA(VT_RT_LANGUAGE), IDR_LANGUAGE, &size);
    ASSERT_NE(nullptr, data);
    ASSERT_EQ(4u, size);
    std::memcpy(&value, data, sizeof value);
    EXPECT_EQ(1033u, value);
}

TEST(Version, NamesTheProductAndItsVersion)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(shippedPath.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(shippedPath.c_str(), 0, size, info.data()));
    const char *const kValues[][2] = {
        {"ProductName", "Sonaris Control Panel"}, {"ProductVersion", VT_VERSION_TEXT},
        {"OriginalFilename", "vtpanel.exe"}};
    for (const auto &value : kValues) {
        void *text = nullptr;
        UINT length = 0;
        std::string path = std::string("\\StringFileInfo\\040904E4\\") + value[0];
        ASSERT_TRUE(VerQueryValueA(info.data(), path.c_str(), &text, &length)) << value[0];
        EXPECT_STREQ(value[1], static_cast<const char *>(text));
    }
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(VT_VERSION_MINOR, VT_VERSION_MAJOR)), fixed->dwProductVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    // As data: the shipped program is 32-bit, this test may be 64-bit.
    if (argc != 2 || !(shipped = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE))) {
        std::fprintf(stderr, "usage: resources_test SHIPPED_EXE (a program to read)\n");
        return 2;
    }
    shippedPath = argv[1];
    return RUN_ALL_TESTS();
}
