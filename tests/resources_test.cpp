// What the code relies on in the English resources of vtpanel.exe as it
// ships: dialog templates with their controls, kinds, visibility and sizes;
// the string table; the tray menu; the language marker; the version
// information; the pictures.
#include "dialog_template.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <set>
#include <string>

namespace {

std::string shippedPath;
HMODULE shipped;

const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The English resource of this type and id, or an empty block.
struct Block {
    const void *data = nullptr;
    size_t size = 0;
};

Block EnglishResource(LPCSTR type, int id)
{
    Block block;
    HRSRC info = FindResourceExA(shipped, type, MAKEINTRESOURCEA(id), kEnglish);
    if (!info)
        return block;
    HGLOBAL loaded = LoadResource(shipped, info);
    block.data = loaded ? LockResource(loaded) : nullptr;
    block.size = block.data ? SizeofResource(shipped, info) : 0;
    return block;
}

bool LoadDialog(int id, DialogTemplate *dialog, std::string *error)
{
    Block block = EnglishResource(RT_DIALOG, id);
    if (!block.data) {
        *error = "no English dialog " + std::to_string(id);
        return false;
    }
    return ParseDialogTemplate(block.data, block.size, dialog, error);
}

// ---- What each dialog must hold -------------------------------------------

enum class Kind {
    PushButton,
    CheckBox,
    Radio,
    RadioGroupStart, // a radio button that begins its group
    Edit,
    ReadOnlyMultiLineEdit,
    DropDownCombo,   // edit field with a list, not sorted
    Text,
    Icon,
    BlackFrame,
    Tab,
    TrackTicksAbove, // horizontal, automatic ticks above
    TrackNoTicks,    // horizontal, no ticks
    TrackTicksLeft,  // vertical, automatic ticks on the left
    TrackBalance,    // horizontal, takes a tick set by the code
    TrackVertical,
    UpDown,          // attached to the edit before it, integer text
};

enum class Shown { Visible, Hidden };

struct ExpectedControl {
    int id;
    Kind kind;
    Shown shown;
    const char *text; // the template's text, or null when not fixed
};

struct ExpectedDialog {
    int id;
    short cx, cy;
    bool page; // a captionless child page, or a popup
    const ExpectedControl *controls;
    size_t count;
};

const Shown V = Shown::Visible;
const Shown H = Shown::Hidden;

const ExpectedControl kPanel[] = {
    {IDC_PANEL_TAB, Kind::Tab, V, nullptr},
    {IDOK, Kind::PushButton, V, "OK"},
    {IDCANCEL, Kind::PushButton, V, "Cancel"},
    {IDC_APPLY, Kind::PushButton, V, "Apply"},
    {IDC_PANEL_ICON, Kind::Icon, V, nullptr},
    {IDC_DRIVER_VERSION, Kind::Text, V, ""},
};

const ExpectedControl kGeneral[] = {
    {IDC_LAYOUT_2, Kind::RadioGroupStart, V, "2 Speakers"},
    {IDC_LAYOUT_STEREO_X2, Kind::Radio, V, "Stereo X 2"},
    {IDC_LAYOUT_4, Kind::Radio, V, "4 Speakers"},
    {IDC_LAYOUT_6, Kind::Radio, V, "6 Speakers"},
    {IDC_TEST_ALL, Kind::PushButton, V, "&Test All"},
    {IDC_UNINSTALL, Kind::PushButton, V, "&Uninstall"},
    {IDC_FRAME_FRONT_LEFT, Kind::BlackFrame, H, nullptr},
    {IDC_FRAME_FRONT_RIGHT, Kind::BlackFrame, H, nullptr},
    {IDC_FRAME_REAR_LEFT, Kind::BlackFrame, H, nullptr},
    {IDC_FRAME_REAR_RIGHT, Kind::BlackFrame, H, nullptr},
    {IDC_FRAME_CENTER, Kind::BlackFrame, H, nullptr},
    {IDC_FRAME_SUBWOOFER, Kind::BlackFrame, H, nullptr},
};

const ExpectedControl kEffects[] = {
    {IDC_CPU_USAGE, Kind::TrackTicksAbove, V, nullptr},
    {IDC_REVERB, Kind::CheckBox, V, "&Reverb"},
    {IDC_ENVIRONMENT, Kind::DropDownCombo, V, nullptr},
    {IDC_STEREO_EXPANSION, Kind::CheckBox, V, "&Enable Stereo Expansion"},
    {IDC_SPREAD, Kind::TrackNoTicks, V, nullptr},
    {IDC_CENTER, Kind::TrackNoTicks, V, nullptr},
    {IDC_LOW_FREQUENCY, Kind::CheckBox, V, "&Low Frequency Enhancement"},
    {IDC_EFFECTS_ICON, Kind::Icon, V, nullptr},
    {IDC_ELEVATION, Kind::CheckBox, H, "Elevation"},
    {IDC_INTERPOLATE, Kind::CheckBox, H, "Interpolate Sample Rate Conversion"},
    {IDC_MODE_QSOUND, Kind::RadioGroupStart, H, "QSound"},
    {IDC_MODE_STEREO, Kind::Radio, H, "Stereo"},
    {IDC_OUTPUT_SPEAKERS, Kind::Radio, H, "Speakers"},
    {IDC_OUTPUT_HEADPHONES, Kind::Radio, H, "Headphones"},
    {IDC_OUTPUT_MONO, Kind::Radio, H, "Mono"},
    {IDC_OUTPUT_QUAD, Kind::Radio, H, "Quad"},
    {IDC_SPLASH_LOGO, Kind::CheckBox, H, "Show splash logo when A3D detected"},
};

const ExpectedControl kVoiceManager[] = {
    {IDC_MAX_TOTAL, Kind::Edit, V, nullptr},
    {IDC_MAX_TOTAL_SPIN, Kind::UpDown, V, nullptr},
    {IDC_LIMIT_TOTAL, Kind::CheckBox, V, "Limit Total Buffers"},
    {IDC_MAX_PLAY, Kind::Edit, V, nullptr},
    {IDC_MAX_PLAY_SPIN, Kind::UpDown, V, nullptr},
    {IDC_PLAY_UNLIMITED, Kind::RadioGroupStart, V, "Unlimited"},
    {IDC_PLAY_LIMITED, Kind::Radio, V, "Limited"},
    {IDC_PLAY_LONGEST, Kind::Radio, V, "Play Longest Buffers"},
};

const ExpectedControl kMixingOptions[] = {
    {IDC_FLOATING_POINT, Kind::CheckBox, V, "Floating Point"},
    {IDC_LATENCY, Kind::Edit, V, nullptr},
    {IDC_LATENCY_SPIN, Kind::UpDown, V, nullptr},
    {IDC_BYPASS, Kind::CheckBox, H, "Bypass to DirectSound"},
    {IDC_MIX_PRIMARY, Kind::CheckBox, H, "Mix into primary buffer"},
    {IDC_VOLUME, Kind::TrackTicksLeft, V, nullptr},
};

#define MIXER_COLUMN(volume, name, label, balance, box, boxText)                                 \
    {volume, Kind::TrackVertical, V, nullptr}, {name, Kind::Text, V, label},                      \
        {balance, Kind::TrackBalance, V, nullptr}, {box, Kind::CheckBox, V, boxText}

const ExpectedControl kPlaybackMixer[] = {
    MIXER_COLUMN(1099, 1107, "Volume", 1113, 1120, "&Mute All"),
    MIXER_COLUMN(1100, 1108, "Wave", 1114, 1121, "&Mute"),
    MIXER_COLUMN(1101, 1109, "FM-Syn", 1115, 1122, "&Mute"),
    MIXER_COLUMN(1102, 1110, "CD", 1116, 1123, "&Mute"),
    MIXER_COLUMN(1103, 1111, "MIC", 1117, 1124, "&Mute"),
    MIXER_COLUMN(1104, 1112, "Line-In", 1118, 1125, "&Mute"),
};

const ExpectedControl kRecordMixer[] = {
    MIXER_COLUMN(1132, 1127, "Mix", 1140, 1136, "&Select"),
    MIXER_COLUMN(1133, 1128, "Mic", 1141, 1137, "&Select"),
    MIXER_COLUMN(1134, 1129, "CD", 1142, 1138, "&Select"),
    MIXER_COLUMN(1135, 1130, "LineIn", 1143, 1139, "&Select"),
    MIXER_COLUMN(1145, 1131, "Aux", 1144, 1146, "&Select"),
};

const ExpectedControl kUninstallWarning[] = {
    {IDC_WARNING_TEXT, Kind::ReadOnlyMultiLineEdit, V, nullptr},
    {IDYES, Kind::PushButton, V, "&Yes"},
    {IDNO, Kind::PushButton, V, "&No"},
};

#define DIALOG(id, cx, cy, page, controls) {id, cx, cy, page, controls, sizeof controls / sizeof controls[0]}

const ExpectedDialog kDialogs[] = {
    DIALOG(IDD_PANEL, 310, 234, false, kPanel),
    DIALOG(IDD_VOICE_MANAGER, 214, 127, true, kVoiceManager),
    DIALOG(IDD_MIXING_OPTIONS, 186, 127, true, kMixingOptions),
    DIALOG(IDD_EFFECTS, 290, 188, true, kEffects),
    DIALOG(IDD_GENERAL, 290, 188, true, kGeneral),
    DIALOG(IDD_PLAYBACK_MIXER, 289, 187, true, kPlaybackMixer),
    DIALOG(IDD_RECORD_MIXER, 288, 188, true, kRecordMixer),
    DIALOG(IDD_UNINSTALL_WARNING, 0, 0, false, kUninstallWarning), // size left to the layout
};

// Positions the code relies on: the panel's controls and the speaker frames
// at which the General page draws its pictures. cx < 0: size not fixed.
struct Placement {
    int dialog, id;
    short x, y, cx, cy;
};

const Placement kPlacements[] = {
    {IDD_PANEL, IDC_PANEL_TAB, 6, 3, 297, 203},
    {IDD_PANEL, IDOK, 125, 215, 50, 14},
    {IDD_PANEL, IDCANCEL, 180, 215, 50, 14},
    {IDD_PANEL, IDC_APPLY, 235, 215, 50, 14},
    {IDD_PANEL, IDC_PANEL_ICON, 11, 209, -1, -1},
    {IDD_PANEL, IDC_DRIVER_VERSION, 36, 215, 76, 8},
    {IDD_GENERAL, IDC_FRAME_FRONT_LEFT, 98, 15, 36, 36},
    {IDD_GENERAL, IDC_FRAME_FRONT_RIGHT, 241, 15, 36, 36},
    {IDD_GENERAL, IDC_FRAME_REAR_LEFT, 98, 96, 36, 36},
    {IDD_GENERAL, IDC_FRAME_REAR_RIGHT, 241, 96, 36, 36},
    {IDD_GENERAL, IDC_FRAME_CENTER, 164, 15, 48, 16},
    {IDD_GENERAL, IDC_FRAME_SUBWOOFER, 170, 33, 36, 32},
};

// ---- Checking an item against its kind ------------------------------------

bool Is(const DialogItem &item, DWORD bits) { return (item.style & bits) == bits; }
bool IsNot(const DialogItem &item, DWORD bits) { return (item.style & bits) == 0; }

// Empty when the item is of the kind; otherwise what is wrong.
std::string KindMismatch(const DialogTemplate &dialog, size_t index, Kind kind)
{
    const DialogItem &item = dialog.items[index];
    auto wantClass = [&](const char *name) -> std::string {
        return item.className == name ? "" : "class " + item.className + ", expected " + name;
    };
    std::string wrong;
    DWORD button = item.style & 0xF;
    switch (kind) {
    case Kind::PushButton:
        wrong = wantClass("button");
        if (wrong.empty() && button != BS_PUSHBUTTON && button != BS_DEFPUSHBUTTON)
            wrong = "not a push button";
        break;
    case Kind::CheckBox:
        wrong = wantClass("button");
        if (wrong.empty() && button != BS_CHECKBOX && button != BS_AUTOCHECKBOX)
            wrong = "not a check box";
        break;
    case Kind::Radio:
    case Kind::RadioGroupStart:
        wrong = wantClass("button");
        if (wrong.empty() && button != BS_RADIOBUTTON && button != BS_AUTORADIOBUTTON)
            wrong = "not a radio button";
        if (wrong.empty() && kind == Kind::RadioGroupStart && !Is(item, WS_GROUP))
            wrong = "does not begin a group";
        break;
    case Kind::Edit:
        wrong = wantClass("edit");
        if (wrong.empty() && Is(item, ES_NUMBER))
            wrong = "refuses typed text that is not a number";
        break;
    case Kind::ReadOnlyMultiLineEdit:
        wrong = wantClass("edit");
        if (wrong.empty() && !Is(item, ES_MULTILINE | ES_READONLY))
            wrong = "not a read-only multi-line edit";
        break;
    case Kind::DropDownCombo:
        wrong = wantClass("combobox");
        if (wrong.empty() && (item.style & 3) != CBS_DROPDOWN)
            wrong = "not a drop-down combo box with an edit field";
        if (wrong.empty() && Is(item, CBS_SORT))
            wrong = "sorts its list";
        break;
    case Kind::Text: {
        wrong = wantClass("static");
        DWORD type = item.style & SS_TYPEMASK;
        if (wrong.empty() && type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT &&
            type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE)
            wrong = "not a text";
        break;
    }
    case Kind::Icon:
        wrong = wantClass("static");
        if (wrong.empty() && (item.style & SS_TYPEMASK) != SS_ICON)
            wrong = "not an icon";
        break;
    case Kind::BlackFrame:
        wrong = wantClass("static");
        if (wrong.empty() && (item.style & SS_TYPEMASK) != SS_BLACKFRAME)
            wrong = "not a black frame";
        break;
    case Kind::Tab:
        wrong = wantClass("systabcontrol32");
        break;
    case Kind::TrackTicksAbove:
        wrong = wantClass("msctls_trackbar32");
        if (wrong.empty() && !(IsNot(item, TBS_VERT | TBS_NOTICKS) && Is(item, TBS_AUTOTICKS | TBS_TOP)))
            wrong = "not horizontal with automatic ticks above";
        break;
    case Kind::TrackNoTicks:
        wrong = wantClass("msctls_trackbar32");
        if (wrong.empty() && !(IsNot(item, TBS_VERT) && Is(item, TBS_NOTICKS)))
            wrong = "not horizontal without ticks";
        break;
    case Kind::TrackTicksLeft:
        wrong = wantClass("msctls_trackbar32");
        if (wrong.empty() && !(Is(item, TBS_VERT | TBS_AUTOTICKS | TBS_LEFT) && IsNot(item, TBS_NOTICKS)))
            wrong = "not vertical with automatic ticks on the left";
        break;
    case Kind::TrackBalance:
        wrong = wantClass("msctls_trackbar32");
        if (wrong.empty() && !IsNot(item, TBS_VERT | TBS_NOTICKS))
            wrong = "not horizontal with room for a tick";
        break;
    case Kind::TrackVertical:
        wrong = wantClass("msctls_trackbar32");
        if (wrong.empty() && !Is(item, TBS_VERT))
            wrong = "not vertical";
        break;
    case Kind::UpDown:
        wrong = wantClass("msctls_updown32");
        if (wrong.empty() && !Is(item, UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS | UDS_AUTOBUDDY))
            wrong = "lacks the integer-buddy, arrow-key, no-thousands or auto-buddy style";
        // An automatic buddy is the control just before it in the template.
        if (wrong.empty() && (index == 0 || dialog.items[index - 1].className != "edit"))
            wrong = "does not follow its edit field";
        break;
    }
    return wrong;
}

// ---- The tests -------------------------------------------------------------

void PrintTo(const ExpectedDialog &expected, std::ostream *out) { *out << "dialog " << expected.id; }

class DialogResource : public testing::TestWithParam<ExpectedDialog> {};

TEST_P(DialogResource, HoldsTheControlsTheCodeUses)
{
    const ExpectedDialog &expected = GetParam();
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(LoadDialog(expected.id, &dialog, &error)) << error;
    EXPECT_TRUE(dialog.extended);
    if (expected.cx) {
        EXPECT_EQ(expected.cx, dialog.cx);
        EXPECT_EQ(expected.cy, dialog.cy);
    }
    EXPECT_TRUE(dialog.style & DS_SETFONT);
    EXPECT_EQ(8u, dialog.fontSize);
    EXPECT_EQ("MS Shell Dlg", dialog.fontName);
    if (expected.page) {
        EXPECT_EQ(static_cast<DWORD>(WS_CHILD), dialog.style & (WS_CHILD | WS_POPUP));
        EXPECT_EQ(0u, dialog.style & (WS_CAPTION | WS_VISIBLE));
    } else {
        EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION), dialog.style & (WS_CHILD | WS_POPUP | WS_CAPTION));
    }
    for (size_t i = 0; i < expected.count; ++i) {
        const ExpectedControl &control = expected.controls[i];
        size_t index = 0;
        const DialogItem *item = dialog.Find(control.id, &index);
        if (!item) {
            ADD_FAILURE() << "dialog " << expected.id << " lacks control " << control.id;
            continue;
        }
        EXPECT_EQ("", KindMismatch(dialog, index, control.kind)) << "control " << control.id;
        EXPECT_EQ(control.shown == Shown::Visible, (item->style & WS_VISIBLE) != 0)
            << "control " << control.id << " visibility";
        EXPECT_TRUE(item->style & WS_CHILD) << "control " << control.id;
        if (control.text) {
            EXPECT_FALSE(item->title.isOrdinal) << "control " << control.id;
            EXPECT_EQ(control.text, item->title.text) << "control " << control.id;
        }
    }
}

TEST_P(DialogResource, NamesEachControlOnce)
{
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(LoadDialog(GetParam().id, &dialog, &error)) << error;
    std::set<int> seen;
    for (const DialogItem &item : dialog.items) {
        if (item.id != -1 && item.id != 0xFFFF)
            EXPECT_TRUE(seen.insert(item.id).second) << "control " << item.id << " twice";
        // Every control lies inside its dialog.
        if (dialog.cx > 0 && item.className != "combobox") {
            EXPECT_LE(item.x + item.cx, dialog.cx) << "control " << item.id << " sticks out";
            EXPECT_LE(item.y + item.cy, dialog.cy) << "control " << item.id << " sticks out";
        }
        EXPECT_GE(item.x, 0);
        EXPECT_GE(item.y, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(English, DialogResource, testing::ValuesIn(kDialogs),
                         [](const testing::TestParamInfo<ExpectedDialog> &info) {
                             return "Dialog" + std::to_string(info.param.id);
                         });

TEST(DialogLayout, PanelAndSpeakerFramesStandWhereTheCodeExpects)
{
    for (const Placement &place : kPlacements) {
        DialogTemplate dialog;
        std::string error;
        ASSERT_TRUE(LoadDialog(place.dialog, &dialog, &error)) << error;
        const DialogItem *item = dialog.Find(place.id);
        ASSERT_NE(nullptr, item) << "control " << place.id;
        EXPECT_EQ(place.x, item->x) << "control " << place.id;
        EXPECT_EQ(place.y, item->y) << "control " << place.id;
        if (place.cx >= 0) {
            EXPECT_EQ(place.cx, item->cx) << "control " << place.id;
            EXPECT_EQ(place.cy, item->cy) << "control " << place.id;
        }
    }
}

TEST(DialogLayout, PanelIsAModalFrameWithContextHelpAndTheTrayMenu)
{
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(LoadDialog(IDD_PANEL, &dialog, &error)) << error;
    EXPECT_EQ("Sonaris Control Panel", dialog.caption);
    EXPECT_TRUE(dialog.style & DS_MODALFRAME);
    EXPECT_TRUE(dialog.style & WS_SYSMENU);
    EXPECT_TRUE(dialog.style & DS_CONTEXTHELP);
    EXPECT_TRUE(dialog.exStyle & WS_EX_CONTEXTHELP);
    EXPECT_TRUE(dialog.menu.isOrdinal);
    EXPECT_EQ(static_cast<unsigned>(IDM_TRAY), dialog.menu.ordinal);
    // Apply starts disabled; the pages enable it.
    EXPECT_TRUE(dialog.Find(IDC_APPLY)->style & WS_DISABLED);
    // The icon beside the driver version is the program's icon.
    const DialogItem *icon = dialog.Find(IDC_PANEL_ICON);
    EXPECT_TRUE(icon->title.isOrdinal);
    EXPECT_EQ(static_cast<unsigned>(IDI_APP), icon->title.ordinal);
}

TEST(DialogLayout, EffectsTemplateLacksThePropertyOneControls)
{
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(LoadDialog(IDD_EFFECTS, &dialog, &error)) << error;
    EXPECT_EQ(nullptr, dialog.Find(IDC_PROPERTY1_ON));
    EXPECT_EQ(nullptr, dialog.Find(IDC_PROPERTY1_VALUE));
    // The mode travels through the hidden QSound button, which begins the
    // group that the Stereo button ends.
    size_t qsound = 0, stereo = 0;
    ASSERT_NE(nullptr, dialog.Find(IDC_MODE_QSOUND, &qsound));
    ASSERT_NE(nullptr, dialog.Find(IDC_MODE_STEREO, &stereo));
    EXPECT_EQ(qsound + 1, stereo);
    EXPECT_FALSE(dialog.items[stereo].style & WS_GROUP);
}

TEST(DialogLayout, WarningIsTitledAndOffersYesAndNo)
{
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(LoadDialog(IDD_UNINSTALL_WARNING, &dialog, &error)) << error;
    EXPECT_EQ("Warning", dialog.caption);
    EXPECT_TRUE(dialog.style & WS_SYSMENU);
}

TEST(DialogLayout, PicturesInTemplatesAreTheProgramsOwn)
{
    const int dialogs[] = {IDD_PANEL, IDD_GENERAL, IDD_EFFECTS, IDD_PLAYBACK_MIXER, IDD_RECORD_MIXER,
                           IDD_VOICE_MANAGER, IDD_MIXING_OPTIONS, IDD_UNINSTALL_WARNING};
    const std::set<unsigned> pictures = {IDI_APP, IDI_PANEL, IDB_SEPARATOR_143, IDB_SEPARATOR_144,
                                         IDB_SEPARATOR_145, IDB_SEPARATOR_146, IDB_SEPARATOR_147};
    for (int id : dialogs) {
        DialogTemplate dialog;
        std::string error;
        ASSERT_TRUE(LoadDialog(id, &dialog, &error)) << error;
        for (const DialogItem &item : dialog.items) {
            DWORD type = item.style & SS_TYPEMASK;
            if (item.className != "static" || (type != SS_ICON && type != SS_BITMAP))
                continue;
            ASSERT_TRUE(item.title.isOrdinal) << "dialog " << id;
            EXPECT_EQ(1u, pictures.count(item.title.ordinal)) << "dialog " << id << " picture "
                                                              << item.title.ordinal;
            EXPECT_EQ(type == SS_ICON, item.title.ordinal < 131u) << "dialog " << id;
        }
    }
}

// ---- Parser self-check: a classic template and a truncated one -------------

TEST(TemplateReader, ReadsTheClassicLayoutAndRefusesATruncatedTemplate)
{
    // DLGTEMPLATE: style, exstyle, 1 item, 0,0,40,20, no menu/class, caption
    // "A", then one DWORD-aligned "button" item 7 "B".
    const WORD words[] = {
        0x0000, 0x80C8, 0, 0, 1, 0, 0, 40, 20, 0, 0, 'A', 0,
        0x0000,                                         // padding to a DWORD boundary
        0x0000, 0x5001, 0, 0, 2, 3, 30, 10, 7, 0xFFFF, 0x0080, 'B', 0, 0,
    };
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(words, sizeof words, &dialog, &error)) << error;
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(40, dialog.cx);
    EXPECT_EQ("A", dialog.caption);
    ASSERT_EQ(1u, dialog.items.size());
    EXPECT_EQ(7, dialog.items[0].id);
    EXPECT_EQ("button", dialog.items[0].className);
    EXPECT_EQ("B", dialog.items[0].title.text);
    EXPECT_EQ(30, dialog.items[0].cx);
    EXPECT_FALSE(ParseDialogTemplate(words, sizeof words - 4, &dialog, &error));

    // The shipped General page cut short by one byte is refused as well.
    Block block = EnglishResource(RT_DIALOG, IDD_GENERAL);
    ASSERT_NE(nullptr, block.data);
    EXPECT_TRUE(ParseDialogTemplate(block.data, block.size, &dialog, &error)) << error;
    EXPECT_FALSE(ParseDialogTemplate(block.data, block.size - 3, &dialog, &error));
}

// ---- Strings ---------------------------------------------------------------

// The English text of a string id, read from its 16-string block.
bool EnglishString(int id, std::string *text)
{
    Block block = EnglishResource(RT_STRING, id / 16 + 1);
    if (!block.data)
        return false;
    const WORD *units = static_cast<const WORD *>(block.data);
    size_t count = block.size / 2, at = 0;
    for (int i = 0; i < id % 16; ++i) {
        if (at >= count)
            return false;
        at += 1 + units[at];
    }
    if (at >= count || at + 1 + units[at] > count)
        return false;
    std::wstring wide(units + at + 1, units + at + 1 + units[at]);
    char buffer[2048];
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), buffer,
                                     sizeof buffer, nullptr, nullptr);
    text->assign(buffer, length > 0 ? static_cast<size_t>(length) : 0);
    return true;
}

struct QuotedString {
    int id;
    const char *text;
};

const QuotedString kQuotedStrings[] = {
    {1, "OK"},
    {2, "The call failed because resources (such as a priority level) were already being used by another caller."},
    {3, "The control (vol,pan,etc.) requested by the caller is not available."},
    {4, "An invalid parameter was passed to the returning function"},
    {5, "This call is not valid for the current state of this object"},
    {6, "An undetermined error occured inside the DirectSound subsystem"},
    {7, "The caller does not have the priority level required for the function to succeed."},
    {8, "Not enough free memory is available to complete the operation"},
    {9, "The specified WAVE format is not supported"},
    {10, "The function called is not supported at this time"},
    {11, "No sound driver is available for use"},
    {12, "This object is already initialized"},
    {13, "This object does not support aggregation"},
    {14, "The buffer memory has been lost, and must be restored."},
    {15, "Another app has a higher priority level, preventing this call from succeeding."},
    {16, "This object has not been initialized"},
    {17, "The requested COM interface is not available"},
    {18, "Generic"}, {19, "Padded Cell"}, {20, "Room"}, {21, "Bathroom"}, {22, "Living Room"},
    {23, "Stone Room"}, {24, "Auditorium"}, {25, "Concert Hall"}, {26, "Cave"}, {27, "Arena"},
    {28, "Hangar"}, {29, "Carpeted Hallway"}, {30, "Hallway"}, {31, "Stone Corridor"}, {32, "Alley"},
    {33, "Forest"}, {34, "City"}, {35, "Mountains"}, {36, "Quarry"}, {37, "Plain"},
    {38, "Parking Lot"}, {39, "Sewerpipe"}, {40, "Underwater"}, {41, "Drugged"}, {42, "Dizzy"},
    {43, "Psychotic"}, {44, "Jedi Knight"}, {45, "Forsaken"}, {46, "Motocross Madness"},
    {47, "- none -"},
    {48, "Sonaris audio devices and drivers are removed successfully!"},
    {51, "Sonaris Control Panel"},
    {52, "You must remove YAMAHA Soft Synthesizer S-YXG50 software before you uninstall the PCI audio driver."},
    {54, "General"}, {55, "Effects"}, {56, "Playback Mixer"}, {57, "Record Mixer"},
    {58, "Voice Manager"}, {59, "Mixing Options"},
    {61, "No Sonaris driver was installed."},
    {62, "Either a Q3D driver is not being used, or the sound card's hardware\nacceleration feature has "
         "not been turned on.Please verify that\nhardware acceleration has been set to 'Full' by "
         "following these steps:\n1) open the 'Sounds and Multimedia' control panel,\n2) select the "
         "'Audio' tab,\n3) press the 'Advanced' button,\n4) select the 'Performance' tab\n5) drag the "
         "'Hardware acceleration' slider to 'Full' \n"},
};

TEST(StringTable, HoldsEveryIdFrom1To62WithTheQuotedTexts)
{
    for (int id = 1; id <= 62; ++id) {
        std::string text;
        ASSERT_TRUE(EnglishString(id, &text)) << "string " << id;
        EXPECT_FALSE(text.empty()) << "string " << id;
    }
    for (const QuotedString &quoted : kQuotedStrings) {
        std::string text;
        ASSERT_TRUE(EnglishString(quoted.id, &text));
        EXPECT_EQ(quoted.text, text) << "string " << quoted.id;
    }
    std::string none;
    EXPECT_FALSE(EnglishString(63, &none) && !none.empty());
}

TEST(StringTable, LoadStringFindsTheSameTexts)
{
    // The message texts fit the buffers the code loads them into.
    for (const QuotedString &quoted : kQuotedStrings) {
        char buffer[1024];
        int length = LoadStringA(shipped, quoted.id, buffer, sizeof buffer);
        EXPECT_EQ(static_cast<int>(std::strlen(quoted.text)), length) << "string " << quoted.id;
        EXPECT_STREQ(quoted.text, buffer) << "string " << quoted.id;
    }
    char caption[80];
    EXPECT_GT(LoadStringA(shipped, IDS_CAPTION, caption, sizeof caption), 0);
    for (int id = IDS_TITLE_GENERAL; id <= IDS_TITLE_MIXING_OPTIONS; ++id) {
        char title[50];
        int length = LoadStringA(shipped, id, title, sizeof title);
        EXPECT_LT(length, 49) << "title " << id << " would be cut";
    }
}

// ---- Menu, language marker, version ---------------------------------------

TEST(Menu, TrayMenuOffersOpenThenExit)
{
    Block block = EnglishResource(RT_MENU, IDM_TRAY);
    ASSERT_NE(nullptr, block.data);
    HMENU menu = LoadMenuIndirectA(block.data);
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    char text[64];
    EXPECT_EQ(0, GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION));
    ASSERT_EQ(2, GetMenuItemCount(popup));
    EXPECT_EQ(static_cast<UINT>(IDM_OPEN), GetMenuItemID(popup, 0));
    GetMenuStringA(popup, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("&Open", text);
    EXPECT_EQ(static_cast<UINT>(IDM_EXIT), GetMenuItemID(popup, 1));
    GetMenuStringA(popup, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("&Exit", text);
    EXPECT_EQ(40008, IDM_OPEN);
    EXPECT_EQ(40002, IDM_EXIT);
    DestroyMenu(menu);
}

TEST(LanguageMarker, EnglishCarriesItsLanguageId)
{
    Block block = EnglishResource(MAKEINTRESOURCEA(VT_RT_LANGUAGE), IDR_LANGUAGE);
    ASSERT_NE(nullptr, block.data);
    ASSERT_EQ(4u, block.size);
    DWORD value;
    std::memcpy(&value, block.data, sizeof value);
    EXPECT_EQ(1033u, value);
}

// A value of the version information's English block.
std::string VersionValue(const void *info, const char *name)
{
    char path[128];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\040904E4\\%s", name);
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info, path, &value, &length) || !value)
        return "";
    return static_cast<const char *>(value);
}

TEST(Version, NamesTheProductAndItsVersion)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(shippedPath.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string info(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(shippedPath.c_str(), 0, size, &info[0]));
    EXPECT_EQ("Sonaris Control Panel", VersionValue(info.data(), "ProductName"));
    EXPECT_EQ(VT_VERSION_TEXT, VersionValue(info.data(), "ProductVersion"));
    EXPECT_EQ("vtpanel.exe", VersionValue(info.data(), "OriginalFilename"));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(VT_VERSION_MINOR, VT_VERSION_MAJOR)), fixed->dwProductVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
}

// ---- Pictures --------------------------------------------------------------

struct BitmapSize {
    int id;
    LONG width, height;
};

// The sizes the General page relies on when it places the pictures at their
// frames and the note sign beside them; the separators as the templates lay
// them out (a whole page, half a page, under a heading; down a page, down half).
const BitmapSize kBitmaps[] = {
    {IDB_SPEAKER_FL, 54, 54}, {IDB_SPEAKER_FR, 54, 54}, {IDB_SPEAKER_RL, 54, 54},
    {IDB_SPEAKER_RR, 54, 54}, {IDB_SPEAKER_CENTER, 72, 32}, {IDB_SPEAKER_SUB, 51, 48},
    {IDB_NOTE, 29, 30},
    {IDB_SEPARATOR_143, 414, 2}, {IDB_SEPARATOR_144, 201, 2}, {IDB_SEPARATOR_145, 96, 2},
    {IDB_SEPARATOR_146, 2, 244}, {IDB_SEPARATOR_147, 2, 122},
};

TEST(Pictures, BitmapsHaveTheirPixelSizes)
{
    for (const BitmapSize &expected : kBitmaps) {
        HRSRC info = FindResourceA(shipped, MAKEINTRESOURCEA(expected.id), RT_BITMAP);
        ASSERT_NE(nullptr, info) << "bitmap " << expected.id;
        const void *data = LockResource(LoadResource(shipped, info));
        ASSERT_NE(nullptr, data);
        ASSERT_GE(SizeofResource(shipped, info), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::memcpy(&header, data, sizeof header);
        EXPECT_EQ(expected.width, header.biWidth) << "bitmap " << expected.id;
        EXPECT_EQ(expected.height, header.biHeight < 0 ? -header.biHeight : header.biHeight)
            << "bitmap " << expected.id;
    }
}

TEST(Pictures, IconsAndTheHandCursorExist)
{
    EXPECT_NE(nullptr, FindResourceA(shipped, MAKEINTRESOURCEA(IDI_APP), RT_GROUP_ICON));
    EXPECT_NE(nullptr, FindResourceA(shipped, MAKEINTRESOURCEA(IDI_PANEL), RT_GROUP_ICON));
    EXPECT_NE(nullptr, FindResourceA(shipped, MAKEINTRESOURCEA(IDCUR_HAND), RT_GROUP_CURSOR));
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: resources_test SHIPPED_EXE\n");
        return 2;
    }
    shippedPath = argv[1];
    // A 64-bit test reads the 32-bit program's resources as data.
    shipped = LoadLibraryExA(shippedPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!shipped) {
        std::fprintf(stderr, "resources_test: cannot load %s (%lu)\n", shippedPath.c_str(), GetLastError());
        return 2;
    }
    return RUN_ALL_TESTS();
}
