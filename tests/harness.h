// What every test program shares: the driver package as it is installed in
// the test's prefix, stand-ins for system functions, bounded waits, captures
// of what a program shows, the card's record as tables, wave files, and the
// shipped program driven from outside.
#ifndef VT_TESTS_HARNESS_H
#define VT_TESTS_HARNESS_H

#include <windows.h>

#include "virtualcard/vcard.h"

#include <gtest/gtest.h>
#include <stdint.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

// ---- The driver package, as tools/wine-prefix installs it in each test's prefix

extern const char kDriverKeyPath[];    // MaxSpeakers 6, StereoX2 1
extern const char kPciKey[];           // the PCI enumeration
extern const char kCardPciKey[];       // the card's device below it
extern const char kProfilePciKey[];    // the same enumeration in hardware profile 0001
extern const char kMediaClassKey[];    // 0000 another driver, 0001 the card's ("Sonaris PCI Audio (WDM)", id 0x01A7)
extern const char kQ3DKey[];           // Latency 40, Primary 0, Bypass 0
extern const char kQSoundKey[];        // "A3D preload" "600000"
extern const char kSynthesizerKeys[2][96];
// SOUNDCFG.INI: DRIVERVERSION 5.12.01.0560, DRIVERDESC "Sonaris PCI Audio",
// LOADER VTAPLT.CPL, FIRSTTIME 1.

// Puts back every registry key and value of the package and SOUNDCFG.INI as
// the prefix was made, for a test that changed them; the card's own key
// (devices, stored values, faults) goes back to its defaults with them.
void RestorePackage();
// Makes the profile functions read SOUNDCFG.INI from the disk again.
void ForgetProfile();

void SetValue(HKEY root, const std::string &key, const char *name, DWORD type, const void *data, DWORD size);
void SetDword(HKEY root, const std::string &key, const char *name, DWORD value);
// The value, or absent when it cannot be read as a DWORD.
DWORD GetDword(HKEY root, const std::string &key, const char *name, DWORD absent = 0xDEADBEEF);
bool KeyExists(HKEY root, const std::string &key);

std::string WindowsFile(const char *name);
std::string SystemFile(const char *name);
// A whole file from offset on, also while another process writes it; empty
// when it cannot be opened.
std::string ReadWholeFile(const std::string &path, LONGLONG offset = 0);
bool WriteWholeFile(const std::string &path, const std::string &bytes);

// A folder of its own below the temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string &Path() const { return path_; }
    std::string File(const char *name) const { return path_ + "\\" + name; }
    void Write(const char *name, const std::string &bytes) const { WriteWholeFile(File(name), bytes); }

private:
    std::string path_;
};

// The package's test wave files in a folder of their own, the current
// directory while it lives, as the program finds them beside itself.
class WaveFolder : public TempFolder {
public:
    WaveFolder();
    ~WaveFolder();
    // The file gone from here and from the system folder, where the program
    // would find the package's own, until the folder goes.
    void Remove(const char *name);

private:
    char previous_[MAX_PATH];
    std::vector<std::string> removed_;
};

// ---- Stand-ins for system functions this program imports

// Replaces the import of function from dll for the test program and the
// product code linked into it; a missing import ends the program with a
// message, unless not required (then the hook does nothing). Restored when
// it goes.
class ImportHook {
public:
    ImportHook(const char *dll, const char *function, const void *replacement, bool required = true);
    ~ImportHook();
    ImportHook(const ImportHook &) = delete;
    ImportHook &operator=(const ImportHook &) = delete;
    // The system's own function, for a replacement that passes a call on.
    template <typename Function> Function Original() const { return reinterpret_cast<Function>(original_); }

private:
    void **slot_ = nullptr;
    void *original_ = nullptr;
};
// What the program's import of function from dll calls now: the system's
// function, or the hook installed last.
void *Imported(const char *dll, const char *function);
#define HOOK(dll, function, replacement) ImportHook(dll, #function, reinterpret_cast<const void *>(replacement))

// Windows versions as GetVersionExA reports them.
struct WindowsVersion {
    DWORD platform, major, minor;
};
extern const WindowsVersion kWin98, kNt4, kWin2000, kXp, kServer2003, kVista;
// While it lives, GetVersionExA answers version (which may be changed); it
// refuses a record of any size but the two the platform knows.
class FakeVersion {
public:
    explicit FakeVersion(const WindowsVersion &version = kXp);
    ~FakeVersion();
    WindowsVersion version;
    DWORD askedSize = 0; // the record size of the last call

private:
    ImportHook hook_;
};

// While it lives, the nth HeapAlloc call of this program from now returns
// null, as when memory runs out; calls counts them.
class HeapRefusal {
public:
    explicit HeapRefusal(int n);
    ~HeapRefusal();
    decltype(&HeapAlloc) Original() const;
    int refused, calls = 0;

private:
    ImportHook hook_;
};

// ---- Windows' rules of who may write where (tests/harness.cpp)

// The program opens and makes registry keys as an administrator, or as a
// limited user (the Users group) while a LimitedUser lives, who may not write
// files in the Windows and system folders either; the harness and the
// driver package's libraries act as the system does. ApplyWindowsRules gives
// the keys their rules again (keys made anew lack them; RestorePackage does
// it); the ledger's stand-ins call AsProgram around each open, and refuse a
// key made below one that does not let the program make subkeys.
// Forbid takes every right to a key below HKEY_LOCAL_MACHINE, and to all
// below it, from the program, until the rules are given again. A limited
// user notes each key the program asks for with a right to change it,
// "function root\\name options access: result", and each file refused it.
struct LimitedUser { LimitedUser(); ~LimitedUser(); ImportHook files[3]; std::set<std::string> asked; };
void ApplyWindowsRules(), AsProgram(bool on), Forbid(const std::string &key);
LONG CreateRefused(HKEY root, const char *name, decltype(&RegOpenKeyExA) open);
LONG Asked(const char *function, HKEY root, const char *name, DWORD options, REGSAM access, LONG result);

// ---- Waiting: every wait has its own bound, shorter than the test's

// Handles this thread's messages until done holds (true) or ms have passed
// (false; the caller asserts it).
bool WaitFor(const std::function<bool()> &done, DWORD ms);
// Handles this thread's messages for ms, or those queued now.
void Pump(DWORD ms);
void DispatchPending();

// ---- What a program shows or writes

struct CapturedBox {
    std::string caption, text;
    HWND owner;
    UINT style;
};
// While it lives, every MessageBoxA call of this program is recorded, shown
// and answered (IDOK unless told otherwise).
class MessageBoxCapture {
public:
    explicit MessageBoxCapture(int answer = IDOK);
    virtual ~MessageBoxCapture();
    const std::vector<CapturedBox> &Boxes() const { return boxes_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static int WINAPI Record(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
    HHOOK hook_;
    int answer_;
    std::vector<CapturedBox> boxes_;
    ImportHook messageBox_;
};

// Everything written to standard error while it lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    std::string Text();

private:
    int saved_;
    char path_[MAX_PATH];
};

// Every OutputDebugStringA text while it lives, one entry per call.
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    const std::vector<std::string> &Lines() const { return lines_; }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS *info);
    void *handler_;
    std::vector<std::string> lines_;
};

// ---- Dialogs in this program

// A dialog procedure that does nothing but give back the pictures its static
// controls loaded, as the program's pages do: the panel's template as a host.
INT_PTR CALLBACK InertDialog(HWND, UINT message, WPARAM, LPARAM);
// Chooses a tab of the control panel as a user does, with the arrow keys on
// the focused tabs: the control sends its own notices.
void ChooseTab(HWND panel, int index);
// A user's input to a control of this thread, which answers it as it answers
// the user: each key (a virtual key code) pressed and released where the
// focus goes when the control takes it; VK_LBUTTON a click at at, in
// quarters of the control's width and height (1, 3: an up-down's upper arrow).
// A disabled control fails the test instead (a radio button clicked so sends
// the system round its group for ever).
void UserInput(HWND control, std::initializer_list<int> keys, POINT at = {2, 2});
// A string of the program's resources.
std::string LoadText(UINT id);

// ---- The card's record as a test compares it

// The in-process record from line from on, each line without the fields
// that differ from run to run (object ids, handles, checksums, times); with
// events, only lines that start with one of them.
std::vector<std::string> Trace(size_t from = 0, std::initializer_list<const char *> events = {});
// The same of a record file another process writes.
std::vector<std::string> FileTrace(const std::string &path, std::initializer_list<const char *> events = {});
// The driver property calls of a record, each with its buffer's device:
// "get Effect 5 dev=0".
std::vector<std::string> PropertyCalls(const std::vector<std::string> &record);
std::vector<std::string> RecordLines(size_t from = 0);          // in-process, whole lines
std::vector<std::string> RecordFileLines(const std::string &path);
// The value of a "key=" field of a record line, or "".
std::string Field(const std::string &line, const char *key);
// Fails the running test for the card's objects taken since the last check
// and still held, or used after their release. Every test's end is checked
// so without asking, with every object the test took from the system and
// still holds (tests/ledger.cpp).
void ExpectNothingHeld();

// ---- Wave files

uint32_t Crc32(const void *data, size_t size);
// The CRC-32 of the "data" chunk of a wave file, and its size.
bool WaveDataChecksum(const std::string &path, uint32_t *crc, uint32_t *size);
// A RIFF file built chunk by chunk.
class RiffBuilder {
public:
    explicit RiffBuilder(const char *form = "WAVE");
    // A chunk whose stored size is declared (default: the data's own size).
    RiffBuilder &Chunk(const char *id, const void *data, uint32_t size, uint32_t declared = UINT32_MAX);
    RiffBuilder &PcmFormat(uint16_t channels = 1, uint32_t rate = 22050, uint16_t bits = 16);
    std::string Bytes() const;

private:
    std::string form_, body_;
};

// ---- The shipped program, driven from this second program

struct Instance {
    HANDLE process = nullptr;
    DWORD id = 0;
    bool Alive() const { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
    // The exit code once it has ended within ms, else STILL_ACTIVE.
    DWORD ExitCode(DWORD ms = 15000) const;
    // Ends it if it still runs and lets go of it.
    void Close();
};
// exe started with arguments in folder (null: this program's own).
Instance Start(const std::string &exe, const std::string &arguments, const char *folder = nullptr);
// The resident program's hidden window.
HWND Tray();
std::string Text(HWND window);
// A process's visible top-level dialogs, and the first with this caption.
std::vector<HWND> DialogsOf(DWORD process);
HWND DialogOf(DWORD process, const char *caption);
// Waits for count message boxes of process, answering each once with IDOK;
// their captions and texts: "caption: text".
std::vector<std::string> AnswerBoxes(DWORD process, size_t count, DWORD ms);
// vtpanel.exe copied to the system folder, as the driver package installs
// it; its path, or "" when it cannot be copied.
std::string InstallProgram(const char *exe);
// The process's control panel once its page is there, or null.
HWND PanelOf(DWORD process);
// The page window of the panel's selected tab.
HWND Page(HWND panel);
// The first (0) or the second tab of the panel's two, chosen with the arrow
// keys as the user does it; false when its page has not come within 5 s.
bool SelectTab(HWND panel, int index);
// A button pressed as a click does it.
void Click(HWND dialog, int id);
// How many processes of this executable run.
int ProcessCount(const char *exe);

#endif
