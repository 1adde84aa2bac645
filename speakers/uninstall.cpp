#include "speakers/uninstall.h"

#include "app/app.h"
#include "app/format.h"
#include "app/messages.h"
#include "resource.h"
#include "speakers/speaker_test.h"

#include <string.h>

HMODULE supportLibrary = nullptr;
Dll32CallProc dll32Call = nullptr;
HCURSOR savedCursor = nullptr;

namespace {

// A software synthesizer that must go first; its uninstaller has used both
// spellings.
const char *const kSynthesizerKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA SoftSynthesizer S-YXG50",
};

const char kSupportLibrary[] = "VTHLP32.DLL";
const char kProfileFile[] = "SOUNDCFG.INI";
const char kDefaultApplet[] = "VTAPLT.CPL";
const char kFolderWindowClass[] = "CabinetWClass";
const DWORD kBlockingWait = 1500;

// Always English, whatever the user's language.
const char kWarningText[] = "Do you really want to uninstall audio devices\r\nand drivers?";

bool SynthesizerInstalled()
{
    for (const char *name : kSynthesizerKeys) {
        HKEY key;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, name, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            return true;
        }
    }
    return false;
}

// A name that stays inside the folder it is joined to: no drive, no
// separator, and so no way up.
bool IsBareFileName(const char *name)
{
    return name[0] != '\0' && strcmp(name, ".") != 0 && strcmp(name, "..") != 0 &&
           strpbrk(name, "\\/:") == nullptr;
}

// Deletes file name from the system directory; a failure goes unreported.
void DeleteSystemFile(const char *name)
{
    if (!IsBareFileName(name))
        return;
    char folder[256];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return;
    char path[256 + 1 + 40];
    if (FormatText(path, sizeof path, "%s\\%s", folder, name) < static_cast<int>(sizeof path))
        DeleteFileA(path);
}

// The Control Panel from the system directory, never a "control.exe" that
// happens to stand in the current directory.
void StartControlPanel()
{
    char folder[256];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return;
    char command[256 + 16];
    if (FormatText(command, sizeof command, "\"%s\\control.exe\"", folder) < static_cast<int>(sizeof command))
        WinExec(command, SW_SHOWNA);
}

// The finishing steps, message 48 owned by owner.
void CompleteUninstall(HWND owner)
{
    if (dll32Call) {
        ShowMessage(owner, IDS_UNINSTALL_DONE, MB_ICONINFORMATION);

        // The applet must not be in use by an open Control Panel folder.
        HWND folder = FindWindowA(kFolderWindowClass, nullptr);
        if (folder)
            SendMessageA(folder, WM_CLOSE, 0, 0);

        char applet[40];
        GetPrivateProfileStringA("DESCRIPTION", "LOADER", kDefaultApplet, applet, sizeof applet, kProfileFile);
        DeleteSystemFile(applet);

        if (folder)
            StartControlPanel();

        dll32Call(1);
        FreeLibrary(supportLibrary);
        DeleteSystemFile(kSupportLibrary);
    }

    DestroyWindow(trayWindow);
}

DWORD uninstallStarted = 0;   // when timer 1 was started
UINT_PTR detachedTimer = 0;
HWND detachedOwner = nullptr;   // the panel the page was on

void CALLBACK FinishDetachedUninstall(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    detachedTimer = 0;
    SetCursor(savedCursor);
    // The user still sees the message above the panel, or else above the
    // resident program's window.
    CompleteUninstall(IsWindow(detachedOwner) ? detachedOwner : trayWindow);
}

} // namespace

INT_PTR CALLBACK UninstallWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextA(GetDlgItem(dialog, IDC_WARNING_TEXT), kWarningText);
        // The focus on "&No" as well: a focused "&Yes" would take Enter.
        SetFocus(GetDlgItem(dialog, IDNO));
        return FALSE;
    case WM_COMMAND:
        // Esc (IDCANCEL) and the close box (WM_CLOSE, then IDCANCEL) are not answers.
        switch (LOWORD(wParam)) {
        case IDYES:
        case IDNO:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return TRUE;
    case WM_CLOSE:
        return TRUE;
    }
    return FALSE;
}

void DisableUninstallButtons(HWND page)
{
    EnableWindow(GetDlgItem(page, IDC_TEST_ALL), FALSE);
    EnableWindow(GetDlgItem(page, IDC_UNINSTALL), FALSE);
}

void UninstallDrivers(HWND page)
{
    if (testPlaying)
        ToggleSpeakerTest(page);

    if (SynthesizerInstalled()) {
        ShowMessage(page, IDS_REMOVE_SYNTHESIZER, MB_ICONWARNING);
        return;
    }

    if (DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_UNINSTALL_WARNING), page, UninstallWarningProc, 0) !=
        IDYES)
        return;

    savedCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    Sleep(kBlockingWait);

    if (supportLibrary)
        FreeLibrary(supportLibrary);
    supportLibrary = LoadLibraryA(kSupportLibrary);
    if (!supportLibrary)
        return;

    dll32Call = reinterpret_cast<Dll32CallProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(supportLibrary, "DLL32Call")));
    if (dll32Call) {
        DisableUninstallButtons(page);
        dll32Call(0);
    }

    // Also without the export: the program then ends without removing anything.
    SetTimer(page, kUninstallTimer, kUninstallPeriod, nullptr);
    uninstallStarted = GetTickCount();
}

void FinishUninstall(HWND page)
{
    SetCursor(savedCursor);
    KillTimer(page, kUninstallTimer);
    CompleteUninstall(page);
}

void DetachUninstall(HWND page)
{
    // Timer 1 dies with the page. Left there, the removal would stay half
    // done, and the program, which ignores Exit meanwhile, could not end. It
    // finishes when it would have with its page.
    if (!KillTimer(page, kUninstallTimer))
        return;
    DWORD elapsed = GetTickCount() - uninstallStarted;
    UINT left = elapsed < kUninstallPeriod ? kUninstallPeriod - elapsed : USER_TIMER_MINIMUM;
    detachedOwner = GetParent(page);
    detachedTimer = SetTimer(nullptr, 0, left, FinishDetachedUninstall);
}

bool UninstallDetached()
{
    return detachedTimer != 0;
}
