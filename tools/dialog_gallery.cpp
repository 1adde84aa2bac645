// Shows each dialog of the program's resources in turn, the way the program
// shows it (the pages inside the control panel's tab area), with sample
// values, so that tools/screenshots can capture it. For each view it writes
// NAME.rect (the window's screen rectangle) and NAME.ready into the folder of
// its first argument, then waits for NAME.done before it moves on.
//
// The second argument, a language id (default 1033, English), chooses the
// language of the dialogs: that language's translated dialogs, the English
// ones where there is no translation. The tab titles are the strings that the
// system's lookup gives, as in the program. With a third, the help file's
// text source, each page is shown once more with WinHelp's popup for one of
// its controls (NAME-help).
#include "help_viewer.h"

#include "app/app.h"
#include "pages/general/general_page.h"
#include "panel/help_ids.h"
#include "panel/window_utils.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "tools/helpgen/help_source.h"
#include "virtualcard/vcard.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct View {
    const char *name;
    int page;        // page template shown in the panel, or 0
    int dialog;      // a dialog shown on its own, or 0
    int titles[2];   // the tabs' title strings
    int selected;    // the tab that is selected
    bool translated; // its dialogs exist in every language
    int helpControl; // the control whose help popup is shown, or 0
};

const View kViews[] = {
    {"panel-general", IDD_GENERAL, 0, {IDS_TITLE_GENERAL, IDS_TITLE_EFFECTS}, 0, true, IDC_TEST_ALL},
    {"panel-effects", IDD_EFFECTS, 0, {IDS_TITLE_GENERAL, IDS_TITLE_EFFECTS}, 1, true, IDC_REVERB},
    {"page-voice-manager", IDD_VOICE_MANAGER, 0, {IDS_TITLE_VOICE_MANAGER, 0}, 0, false, IDC_LIMIT_TOTAL},
    {"page-mixing-options", IDD_MIXING_OPTIONS, 0, {IDS_TITLE_MIXING_OPTIONS, 0}, 0, false, IDC_VOLUME},
    {"page-playback-mixer", IDD_PLAYBACK_MIXER, 0, {IDS_TITLE_PLAYBACK_MIXER, 0}, 0, true, IDC_PLAYBACK_MUTE0 + 1},
    {"page-record-mixer", IDD_RECORD_MIXER, 0, {IDS_TITLE_RECORD_MIXER, 0}, 0, true, IDC_RECORD_SELECT0 + 1},
    {"uninstall-warning", 0, IDD_UNINSTALL_WARNING, {0, 0}, 0, false, 0},
};

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
HINSTANCE instance;
LANGID language = kEnglish;
const View *current;
HWND currentPage;
HelpSource helpSource;

// A dialog template in the chosen language, or the English one.
LPCDLGTEMPLATEA TemplateOf(int id)
{
    HRSRC info = FindResourceExA(instance, RT_DIALOG, MAKEINTRESOURCEA(id), language);
    info = info ? info : FindResourceExA(instance, RT_DIALOG, MAKEINTRESOURCEA(id), kEnglish);
    return static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(instance, info)));
}

void SetRange(HWND page, int id, int low, int high, int position)
{
    SendDlgItemMessageA(page, id, TBM_SETRANGE, FALSE, MAKELPARAM(low, high));
    SendDlgItemMessageA(page, id, TBM_SETPOS, TRUE, position);
}

// Sample values, set the way the pages set theirs.
void FillPage(HWND page, int id)
{
    switch (id) {
    case IDD_EFFECTS: {
        char text[256];
        LoadStringA(instance, IDS_ENVIRONMENT_NONE, text, sizeof text);
        SendDlgItemMessageA(page, IDC_ENVIRONMENT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        for (int string = IDS_ENVIRONMENT_FIRST; string <= IDS_ENVIRONMENT_LAST; ++string) {
            LoadStringA(instance, string, text, sizeof text);
            SendDlgItemMessageA(page, IDC_ENVIRONMENT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
        SendDlgItemMessageA(page, IDC_ENVIRONMENT, CB_SETCURSEL, 8, 0);
        CheckDlgButton(page, IDC_REVERB, BST_CHECKED);
        CheckDlgButton(page, IDC_STEREO_EXPANSION, BST_CHECKED);
        SetRange(page, IDC_CPU_USAGE, 0, 2, 1);
        SetRange(page, IDC_SPREAD, 0, 1000, 500);
        SetRange(page, IDC_CENTER, 0, 1000, 250);
        break;
    }
    case IDD_VOICE_MANAGER:
        SendDlgItemMessageA(page, IDC_MAX_TOTAL_SPIN, UDM_SETRANGE, 0, MAKELPARAM(1000, 2));
        SendDlgItemMessageA(page, IDC_MAX_PLAY_SPIN, UDM_SETRANGE, 0, MAKELPARAM(1000, 1));
        SetDlgItemTextA(page, IDC_MAX_TOTAL, "64");
        SetDlgItemTextA(page, IDC_MAX_PLAY, "32");
        CheckDlgButton(page, IDC_PLAY_UNLIMITED, BST_CHECKED);
        break;
    case IDD_MIXING_OPTIONS:
        SendDlgItemMessageA(page, IDC_LATENCY_SPIN, UDM_SETRANGE, 0, MAKELPARAM(200, 10));
        SetDlgItemTextA(page, IDC_LATENCY, "20");
        SendDlgItemMessageA(page, IDC_VOLUME, TBM_SETRANGE, FALSE, MAKELPARAM(0, 60));
        SendDlgItemMessageA(page, IDC_VOLUME, TBM_SETTICFREQ, 6, 0);
        SendDlgItemMessageA(page, IDC_VOLUME, TBM_SETPOS, TRUE, 6);
        break;
    case IDD_PLAYBACK_MIXER:
    case IDD_RECORD_MIXER: {
        bool playback = id == IDD_PLAYBACK_MIXER;
        const int recordVolumes[] = {IDC_RECORD_VOLUME0, IDC_RECORD_VOLUME0 + 1, IDC_RECORD_VOLUME0 + 2,
                                     IDC_RECORD_VOLUME0 + 3, IDC_RECORD_VOLUME4};
        const int recordBalances[] = {IDC_RECORD_BALANCE0, IDC_RECORD_BALANCE0 + 1, IDC_RECORD_BALANCE0 + 2,
                                      IDC_RECORD_BALANCE0 + 3, IDC_RECORD_BALANCE4};
        for (int column = 0; column < (playback ? 6 : 5); ++column) {
            int volume = playback ? IDC_PLAYBACK_VOLUME0 + column : recordVolumes[column];
            int balance = playback ? IDC_PLAYBACK_BALANCE0 + column : recordBalances[column];
            SetRange(page, volume, 0, 15, 4 + column);
            SetRange(page, balance, 0, 32, 16);
            SendDlgItemMessageA(page, balance, TBM_SETTIC, 0, 16);
        }
        CheckDlgButton(page, playback ? IDC_PLAYBACK_MUTE0 + 3 : IDC_RECORD_SELECT0 + 1, BST_CHECKED);
        break;
    }
    }
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    FillPage(page, static_cast<int>(lParam));
    return TRUE;
}

// The General page is the program's own, shown against the virtual card set
// to six speakers, with the front left one playing.
HWND CreateGeneralPage(HWND panel)
{
    VcReset();
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kDriverKey, &key) == ERROR_SUCCESS) {
        const DWORD six = 6, allowed = 1;
        RegSetValueExA(key, "MaxSpeakers", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&six), sizeof six);
        RegSetValueExA(key, "StereoX2", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&allowed), sizeof allowed);
        RegCloseKey(key);
    }
    WriteSpeakerLayout(6);
    generalPage.ReadFromDriver(nullptr, nullptr);
    HWND page = CreateDialogIndirectParamA(instance, TemplateOf(IDD_GENERAL), panel, generalPage.DialogProcedure(),
                                           reinterpret_cast<LPARAM>(&generalPage));
    testPlaying = 1;
    testIndex = 0;
    return page;
}

INT_PTR CALLBACK PanelProc(HWND panel, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    HWND tab = GetDlgItem(panel, IDC_PANEL_TAB);
    for (int i = 0; i < 2 && current->titles[i]; ++i) {
        char title[50];
        LoadStringA(instance, current->titles[i], title, sizeof title);
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = title;
        SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(tab, TCM_SETCURSEL, current->selected, 0);
    SetDlgItemTextA(panel, IDC_DRIVER_VERSION, "5.10.00.0560");
    HWND page = current->page == IDD_GENERAL
                    ? CreateGeneralPage(panel)
                    : CreateDialogIndirectParamA(instance, TemplateOf(current->page), panel, PageProc,
                                                 current->page);
    currentPage = page;
    // The page goes where the program puts it: the tab's display area.
    PlacePageInTab(page);
    ShowWindow(page, SW_SHOWNORMAL);
    return TRUE;
}

INT_PTR CALLBACK WarningProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    SetDlgItemTextA(dialog, IDC_WARNING_TEXT, "Do you really want to uninstall audio devices\r\nand drivers?");
    return TRUE;
}

bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool WriteText(const char *path, const char *text)
{
    FILE *file = std::fopen(path, "w");
    if (!file)
        return false;
    std::fputs(text, file);
    std::fclose(file);
    return true;
}

// Hands a rectangle of the screen to tools/screenshots and waits until it
// has been captured.
void Capture(const char *folder, const char *name, const RECT &rect)
{
    char path[MAX_PATH], text[64];
    std::snprintf(text, sizeof text, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    std::snprintf(path, sizeof path, "%s/%s.rect", folder, name);
    WriteText(path, text);
    std::snprintf(path, sizeof path, "%s/%s.ready", folder, name);
    WriteText(path, "");
    std::snprintf(path, sizeof path, "%s/%s.done", folder, name);
    for (int i = 0; i < 300 && !Exists(path); ++i)
        Pump(100);
}

// WinHelp's popup for a control, asked for as the panel asks for it. A
// WinHelp that does not take the panel's command (Wine's) shows the same
// topic as a popup from its link in the help file's contents, in a topic
// window put off the screen. The popup goes just below the control.
HWND ShowHelpPopup(HWND window, HWND control)
{
    WinHelpA(control, kHelpFile, HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(helpIdTable));
    if (!WaitFor([] { return HelpPopup() != nullptr; }, 1000)) {
        DWORD number = 0;
        for (const DWORD *pair = helpIdTable; pair[0]; pair += 2)
            if (pair[0] == static_cast<DWORD>(GetDlgCtrlID(control)))
                number = pair[1];
        const HelpTopic *topic = nullptr;
        for (const HelpTopic &t : helpSource.topics)
            if (t.number == number)
                topic = &t;
        if (!topic || !WinHelpA(window, kHelpFile, HELP_CONTENTS, 0) ||
            !WaitFor([] { return HelpTopicWindow() && !HelpText(HelpTopicWindow()).empty(); }, 5000))
            return nullptr;
        HWND contents = HelpTopicWindow();
        SetWindowPos(contents, nullptr, GetSystemMetrics(SM_CXSCREEN), 0, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (!ClickHelpLink(contents, topic->label) || !WaitFor([] { return HelpPopup() != nullptr; }, 5000))
            return nullptr;
    }
    HWND popup = HelpPopup();
    RECT rect;
    GetWindowRect(control, &rect);
    SetWindowPos(popup, HWND_TOP, rect.left + 8, rect.bottom + 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    Pump(600);
    return popup;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: dialog_gallery FOLDER [LANGUAGE-ID [HELP-SOURCE]]\n");
        return 2;
    }
    if (argc >= 3)
        language = static_cast<LANGID>(std::atoi(argv[2]));
    std::string error;
    if (argc == 4 && !LoadHelpSource(argv[3], &helpSource, &error))
        std::fprintf(stderr, "dialog_gallery: %s: %s\n", argv[3], error.c_str());
    instance = GetModuleHandleA(nullptr);
    appInstance = instance;
    InitCommonControls();
    const char *folder = argv[1];
    int shown = 0, views = 0;
    for (const View &view : kViews) {
        if (!view.translated && language != kEnglish)
            continue; // the English one is shown with English
        ++views;
        current = &view;
        HWND window = view.page
            ? CreateDialogIndirectParamA(instance, TemplateOf(IDD_PANEL), nullptr, PanelProc, 0)
            : CreateDialogIndirectParamA(instance, TemplateOf(view.dialog), nullptr, WarningProc, 0);
        if (!window) {
            std::fprintf(stderr, "dialog_gallery: %s cannot be created\n", view.name);
            continue;
        }
        RECT rect;
        GetWindowRect(window, &rect);
        SetWindowPos(window, HWND_TOP, 24, 24, 0, 0, SWP_NOSIZE);
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        Pump(1200);
        GetWindowRect(window, &rect);
        Capture(folder, view.name, rect);
        bool help = view.helpControl && !helpSource.topics.empty();
        HWND popup = help ? ShowHelpPopup(window, GetDlgItem(currentPage, view.helpControl)) : nullptr;
        if (popup) {
            RECT shown;
            GetWindowRect(popup, &shown);
            UnionRect(&rect, &rect, &shown);
            char name[64];
            std::snprintf(name, sizeof name, "%s-help", view.name);
            Capture(folder, name, rect);
        } else if (help) {
            std::fprintf(stderr, "dialog_gallery: no help popup for %s\n", view.name);
        }
        WinHelpA(window, kHelpFile, HELP_QUIT, 0);
        WaitFor([] { return ProcessCount("winhlp32.exe") == 0; }, 5000);
        DestroyWindow(window);
        ++shown;
    }
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s/gallery.finished", folder);
    WriteText(path, "");
    return shown == views ? 0 : 1;
}
