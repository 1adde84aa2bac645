#include "harness.h"

#include "app/app.h"
#include "resource.h"

#include <commctrl.h>
#include <sddl.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

const char kDriverKeyPath[] = "SOFTWARE\\Veltrona\\Wdm560";
const char kPciKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
const char kCardPciKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1D7F&DEV_0560&SUBSYS_05601D7F&REV_01";
const char kProfilePciKey[] =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\0001\\System\\CurrentControlSet\\Enum\\PCI";
const char kMediaClassKey[] = "System\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const char kQ3DKey[] = "System\\CurrentControlSet\\Services\\Class\\Q3D";
const char kQSoundKey[] = "Software\\QSound\\QSoft3d";
const char kSynthesizerKeys[2][96] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA Soft Synthesizer S-YXG50",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YAMAHA SoftSynthesizer S-YXG50",
};

const WindowsVersion kWin98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10}, kNt4 = {VER_PLATFORM_WIN32_NT, 4, 0},
                     kWin2000 = {VER_PLATFORM_WIN32_NT, 5, 0}, kXp = {VER_PLATFORM_WIN32_NT, 5, 1},
                     kServer2003 = {VER_PLATFORM_WIN32_NT, 5, 2}, kVista = {VER_PLATFORM_WIN32_NT, 6, 0};

// ---- The package ---------------------------------------------------------------

void ForgetProfile()
{
    // The documented flush: the profile functions let go of the file.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "SOUNDCFG.INI");
}

void RestorePackage()
{
    // tools/wine-prefix keeps what it installed at the root of drive C.
    std::string reg = ReadWholeFile("C:\\vt-package.reg");
    for (size_t at = 0; (at = reg.find("\n[", at)) != std::string::npos; ++at) {
        size_t end = reg.find(']', at);
        std::string key = reg.substr(at + 2, end - at - 2);
        bool user = key.compare(0, 18, "HKEY_CURRENT_USER\\") == 0;
        SHDeleteKeyA(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key.c_str() + (user ? 18 : 19));
    }
    char line[] = "regedit.exe /s C:\\vt-package.reg";
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION info;
    if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        WaitForSingleObject(info.hProcess, 30000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    ForgetProfile();
    std::string profile = WindowsFile("SOUNDCFG.INI");
    SetFileAttributesA(profile.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteWholeFile(profile, ReadWholeFile("C:\\vt-package.ini"));
    ForgetProfile();
    ApplyWindowsRules();
}

void SetValue(HKEY root, const std::string &key, const char *name, DWORD type, const void *data, DWORD size)
{
    SHDeleteValueA(root, key.c_str(), name);
    SHSetValueA(root, key.c_str(), name, type, data, size);
}

void SetDword(HKEY root, const std::string &key, const char *name, DWORD value)
{
    SetValue(root, key, name, REG_DWORD, &value, sizeof value);
}

DWORD GetDword(HKEY root, const std::string &key, const char *name, DWORD absent)
{
    DWORD value = absent, size = sizeof value, type = 0;
    if (SHGetValueA(root, key.c_str(), name, &type, &value, &size) != ERROR_SUCCESS || type != REG_DWORD)
        return absent;
    return value;
}

bool KeyExists(HKEY root, const std::string &key)
{
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

// ---- Files ---------------------------------------------------------------------

std::string WindowsFile(const char *name)
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + name;
}

std::string SystemFile(const char *name)
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + name;
}

std::string ReadWholeFile(const std::string &path, LONGLONG offset)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD read;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool WriteWholeFile(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

TempFolder::TempFolder()
{
    char folder[MAX_PATH], name[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "vt", 0, name);
    DeleteFileA(name);
    CreateDirectoryA(name, nullptr);
    path_ = name;
}

TempFolder::~TempFolder()
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            SetFileAttributesA(File(found.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(File(found.cFileName).c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(path_.c_str());
}

WaveFolder::WaveFolder()
{
    for (const char *name : {"fleft.wav", "fright.wav", "rleft.wav", "rright.wav", "center.wav", "subw.wav",
                             "left.wav", "right.wav"})
        CopyFileA(SystemFile(name).c_str(), File(name).c_str(), FALSE);
    GetCurrentDirectoryA(sizeof previous_, previous_);
    SetCurrentDirectoryA(Path().c_str());
}

WaveFolder::~WaveFolder()
{
    for (const std::string &name : removed_)
        MoveFileA(File((name + ".aside").c_str()).c_str(), SystemFile(name.c_str()).c_str());
    SetCurrentDirectoryA(previous_);
}

void WaveFolder::Remove(const char *name)
{
    DeleteFileA(File(name).c_str());
    if (MoveFileA(SystemFile(name).c_str(), File((std::string(name) + ".aside").c_str()).c_str()))
        removed_.push_back(name);
}

// ---- Windows' rules ---------------------------------------------------------------

namespace {

// Who may write where on Windows 2000 and XP as installed, in the key below
// HKEY_LOCAL_MACHINE (and all below it, unless alone) or the folder; the
// rest read. Users own HKEY_CURRENT_USER ("Default security settings",
// Windows 2000 Help: "full control over ... their own portion of the
// registry"), as Wine grants it.
const struct { const char *where, *writers; bool alone; } kRules[] = {
    // "Enum Subkey", Windows Server 2003 registry reference (technet.microsoft.com/library/cc780282):
    // "Users, including administrators, cannot change the contents of the Enum subkey."
    {"SYSTEM\\CurrentControlSet\\Enum", "SY"},
    // "CurrentControlSet\Hardware Profiles" (technet cc739525): a profile's data "you can view and edit";
    // "Default security settings", Windows 2000 Help: administrators' access is restricted on no registry
    // or file system object; Users "cannot modify system-wide registry settings".
    {"SYSTEM\\CurrentControlSet\\Hardware Profiles", "BA"},
    // The same, for the media class key, the Q3D key, the driver key (and SOFTWARE, below which a user
    // cannot make it anew) and the uninstall keys.
    {"SYSTEM\\CurrentControlSet\\Control\\Class", "BA"}, {"SYSTEM\\CurrentControlSet\\Services\\Class", "BA"},
    {"SOFTWARE", "BA", true}, {"SOFTWARE\\Veltrona", "BA"}, {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "BA"},
    // "Default NTFS Permissions in Windows NT" (Microsoft Knowledge Base Q148437), Windows 2000: on
    // %SystemRoot% and %SystemRoot%\system32, "users - read and execute", administrators full control.
    {"%SystemRoot%", "BA"}, {"%SystemRoot%\\system32", "BA"},
};
// The harness and the package's libraries keep this group (LOCAL), which
// the program's token lacks, and with it the system's rights.
const char kSystem[] = "S-1-2-0";
LimitedUser *user;

// Wine keeps a key's rule, but gives its subkeys, old or new, none.
void Secure(HKEY parent, const wchar_t *name, const std::string &rule, bool alone)
{
    HKEY key; PSECURITY_DESCRIPTOR sd; wchar_t sub[256];
    if (RegOpenKeyExW(parent, name, 0, WRITE_DAC | WRITE_OWNER | KEY_READ, &key))
        return;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(rule.c_str(), SDDL_REVISION_1, &sd, nullptr))
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION | (rule[0] == 'O' ? OWNER_SECURITY_INFORMATION : 0), sd), LocalFree(sd);
    for (DWORD i = 0, n = 256; !alone && !RegEnumKeyExW(key, i, sub, &n, nullptr, nullptr, nullptr, nullptr); n = 256, ++i)
        Secure(key, sub, rule, false);
    CloseHandle(key); // by its handle: the ledger never saw it
}

// A file a limited user may not write, with the error Windows gives; a bare
// name is a profile in the Windows folder.
bool Refused(const char *function, const char *file)
{
    char folder[MAX_PATH], ruled[MAX_PATH];
    lstrcpynA(folder, strchr(file, '\\') ? file : WindowsFile(file).c_str(), MAX_PATH);
    PathRemoveFileSpecA(folder);
    for (const auto &r : kRules)
        if (r.where[0] == '%' && ExpandEnvironmentStringsA(r.where, ruled, MAX_PATH) && !lstrcmpiA(ruled, folder))
            return user->asked.insert(std::string(function) + " " + PathFindFileNameA(file) + ": 5"), SetLastError(ERROR_ACCESS_DENIED), true;
    return false;
}
#define PASS(i, F, ...) user->files[i].Original<decltype(&F)>()(__VA_ARGS__)
BOOL WINAPI Profile(LPCSTR s, LPCSTR k, LPCSTR t, LPCSTR f) { return s && Refused("WritePrivateProfileStringA", f) ? FALSE : PASS(0, WritePrivateProfileStringA, s, k, t, f); }
BOOL WINAPI Attributes(LPCSTR f, DWORD a) { return !Refused("SetFileAttributesA", f) && PASS(1, SetFileAttributesA, f, a); }
BOOL WINAPI Deletion(LPCSTR f) { return !Refused("DeleteFileA", f) && PASS(2, DeleteFileA, f); }

} // namespace

void ApplyWindowsRules()
{
    for (const auto &r : kRules)
        if (r.where[0] != '%')
            Secure(HKEY_LOCAL_MACHINE, std::wstring(r.where, r.where + strlen(r.where)).c_str(),
                   std::string("D:P(A;CI;KA;;;SY)(A;CI;KA;;;") + kSystem + ")(A;CI;KR;;;WD)" +
                       (strcmp(r.writers, "BA") || user ? "" : "(A;CI;KA;;;BA)"), r.alone);
}

void AsProgram(bool on)
{
    static HANDLE program = [] {
        HANDLE self, restricted, token = nullptr; SID_AND_ATTRIBUTES system = {nullptr, 0};
        ConvertStringSidToSidA(kSystem, &system.Sid);
        OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &self);
        CreateRestrictedToken(self, 0, 1, &system, 0, nullptr, 0, nullptr, &restricted);
        return DuplicateToken(restricted, SecurityImpersonation, &token), token;
    }();
    static thread_local bool now;
    if (on != now)
        SetThreadToken(nullptr, (now = on) ? program : nullptr);
}

LONG CreateRefused(HKEY root, const char *name, decltype(&RegOpenKeyExA) open)
{
    // A key made anew goes below its nearest ancestor, which Wine does not ask.
    std::string path = name ? name : ""; HKEY key = nullptr;
    AsProgram(true);
    LONG result = open(root, path.c_str(), 0, READ_CONTROL, &key);
    for (size_t cut; result == ERROR_FILE_NOT_FOUND && !path.empty(); result = open(root, path.c_str(), 0, KEY_CREATE_SUB_KEY, &key))
        path.erase((cut = path.find_last_of('\\')) == std::string::npos ? 0 : cut);
    AsProgram(false);
    if (result == ERROR_SUCCESS)
        CloseHandle(key);
    return result == ERROR_ACCESS_DENIED ? result : ERROR_SUCCESS; // the rest the system itself answers
}

void Forbid(const std::string &key)
{
    Secure(HKEY_LOCAL_MACHINE, std::wstring(key.begin(), key.end()).c_str(), std::string("O:") + kSystem + "D:P(A;CI;KA;;;" + kSystem + ")", false);
}

LONG Asked(const char *function, HKEY root, const char *name, DWORD options, REGSAM access, LONG result)
{
    // Keys asked with a right to change them; not the card's own state.
    static auto query = reinterpret_cast<LONG(WINAPI *)(HKEY, int, void *, ULONG, ULONG *)>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey"));
    if (!user || !(access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER)))
        return result;
    struct { ULONG length; WCHAR name[300]; } path = {0, L"HKCU"}; ULONG got;
    if (root != HKEY_CURRENT_USER && query(root, 3 /* its name */, &path, sizeof path - 2, &got))
        wcscpy(path.name, L"HKLM"); // the other predefined root the program opens; it has no name
    char line[800];
    snprintf(line, sizeof line, "%s %ls\\%s %lx %lx: %ld", function, path.name, name ? name : "", options, access, result);
    if (!strstr(line, "\\VirtualCard"))
        user->asked.insert(line);
    return result;
}

LimitedUser::LimitedUser() : files{HOOK("kernel32.dll", WritePrivateProfileStringA, Profile),
    HOOK("kernel32.dll", SetFileAttributesA, Attributes), HOOK("kernel32.dll", DeleteFileA, Deletion)} { user = this, ApplyWindowsRules(); }

LimitedUser::~LimitedUser() { user = nullptr, ApplyWindowsRules(); }

// ---- The Windows version ---------------------------------------------------------

namespace {
FakeVersion *activeVersion;

BOOL WINAPI AnswerVersion(OSVERSIONINFOA *info)
{
    activeVersion->askedSize = info->dwOSVersionInfoSize;
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))
        return FALSE;
    info->dwPlatformId = activeVersion->version.platform;
    info->dwMajorVersion = activeVersion->version.major;
    info->dwMinorVersion = activeVersion->version.minor;
    return TRUE;
}
} // namespace

FakeVersion::FakeVersion(const WindowsVersion &v) : version(v), hook_(HOOK("kernel32.dll", GetVersionExA, AnswerVersion))
{
    activeVersion = this;
}

FakeVersion::~FakeVersion()
{
    activeVersion = nullptr;
}

namespace {
HeapRefusal *activeRefusal;

LPVOID WINAPI RefuseHeap(HANDLE heap, DWORD flags, SIZE_T size)
{
    if (++activeRefusal->calls == activeRefusal->refused)
        return nullptr;
    return activeRefusal->Original()(heap, flags, size);
}
} // namespace

HeapRefusal::HeapRefusal(int n) : refused(n), hook_(HOOK("kernel32.dll", HeapAlloc, RefuseHeap))
{
    activeRefusal = this;
}

decltype(&HeapAlloc) HeapRefusal::Original() const
{
    return hook_.Original<decltype(&HeapAlloc)>();
}

HeapRefusal::~HeapRefusal()
{
    activeRefusal = nullptr;
}

// ---- Waiting ---------------------------------------------------------------------

void DispatchPending()
{
    // A window that never validates what it paints is sent WM_PAINT for
    // ever: past this many it is a failure, and validated here so that the
    // test goes on rather than hangs.
    int paints = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_PAINT && ++paints > 1000) {
            ADD_FAILURE() << "a window is painted again and again: it never validates its paint";
            ValidateRect(msg.hwnd, nullptr);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool WaitFor(const std::function<bool()> &done, DWORD ms)
{
    for (DWORD start = GetTickCount();; Sleep(5)) {
        DispatchPending();
        if (done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
    }
}

void Pump(DWORD ms)
{
    WaitFor([] { return false; }, ms);
}

// ---- Dialogs ---------------------------------------------------------------------

INT_PTR CALLBACK InertDialog(HWND dialog, UINT message, WPARAM, LPARAM)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); message == WM_DESTROY && child; child = GetWindow(child, GW_HWNDNEXT))
        DeleteObject(reinterpret_cast<HGDIOBJ>(SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0)));
    return message == WM_INITDIALOG;
}

void ChooseTab(HWND panel, int index)
{
    HWND tab = GetDlgItem(panel, IDC_PANEL_TAB);
    for (int at = TabCtrl_GetCurSel(tab); at != index; at += at < index ? 1 : -1)
        UserInput(tab, {at < index ? VK_RIGHT : VK_LEFT});
}

void UserInput(HWND control, std::initializer_list<int> keys, POINT at)
{
    RECT area;
    EXPECT_TRUE(IsWindowEnabled(control)) << "control " << GetDlgCtrlID(control) << " takes no input";
    if (!IsWindowEnabled(control) || !GetClientRect(control, &area))
        return;
    const LPARAM point = MAKELPARAM(area.right * at.x / 4, area.bottom * at.y / 4);
    for (int key : keys) {
        const bool click = key == VK_LBUTTON;
        HWND to = click ? control : (SetFocus(control), GetFocus()); // a combo box's edit field, say
        SendMessageA(to, click ? WM_LBUTTONDOWN : WM_KEYDOWN, click ? MK_LBUTTON : key, click ? point : 1);
        SendMessageA(to, click ? WM_LBUTTONUP : WM_KEYUP, click ? 0 : key, click ? point : 0xC0000001);
    }
}

std::string LoadText(UINT id)
{
    char text[1024] = "";
    LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return text;
}

int ProcessCount(const char *exe)
{
    int n = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        n += lstrcmpiA(entry.szExeFile, exe) == 0;
    CloseHandle(snapshot);
    return n;
}
