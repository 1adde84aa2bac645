// The General page inside the control panel's dialog, driven with the
// messages a user's actions send, against the virtual card: the layout it
// shows within the driver's limits and writes, the speakers it pictures, and
// the test sounds its pictures and "Test All" play.
#include "harness.h"

#include "app/app.h"
#include "pages/general/general_page.h"
#include "panel/driver.h"
#include "panel/panel.h"
#include "panel/window_utils.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vclog.h"

#include <commctrl.h>
#include <shlwapi.h>


namespace {

enum Limits { kMax2 = 2, kMax4 = 4, kMax6 = 6, kNoValues = 256, kNoKey }; // or any other maximum the driver gives

// Each speaker's frame as the page template places it, in dialog units.
const RECT kFrames[6] = {
    {98, 15, 134, 51}, {241, 15, 277, 51}, {98, 96, 134, 132}, {241, 96, 277, 132}, {164, 15, 212, 31}, {170, 33, 206, 65},
};

// What the page paints: each picture of the program's resources it copies
// whole, and where its top-left corner goes in the page (a picture copied
// otherwise stands with its id negated).
using Painting = std::vector<std::tuple<int, LONG, LONG>>;
Painting painted;
ImportHook *bitBlt, *loadImage;

// The picture that the program's LoadImageA refuses, unless the painting's
// record asks.
int refusedPicture;
bool identifying;

HANDLE WINAPI RefusePicture(HINSTANCE module, LPCSTR name, UINT type, int width, int height, UINT flags)
{
    if (!identifying && reinterpret_cast<UINT_PTR>(name) == static_cast<UINT_PTR>(refusedPicture))
        return nullptr;
    return loadImage->Original<decltype(&LoadImageA)>()(module, name, type, width, height, flags);
}

uint32_t Checksum(HANDLE bitmap, BITMAP *info)
{
    GetObjectA(bitmap, sizeof *info, info);
    std::string bits(info->bmWidthBytes * info->bmHeight, '\0');
    GetBitmapBits(static_cast<HBITMAP>(bitmap), static_cast<LONG>(bits.size()), &bits[0]);
    return Crc32(bits.data(), bits.size());
}

BOOL WINAPI RecordCopy(HDC dc, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop)
{
    BITMAP info, resourceInfo;
    uint32_t copied = Checksum(GetCurrentObject(source, OBJ_BITMAP), &info);
    int picture = 0;
    identifying = true;
    for (int id = IDB_SPEAKER_FL; id <= IDB_NOTE && !picture; ++id) {
        HANDLE resource = LoadImageA(appInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
        picture = Checksum(resource, &resourceInfo) == copied ? id : 0;
        DeleteObject(resource);
    }
    identifying = false;
    bool whole = width == info.bmWidth && height == info.bmHeight && !sx && !sy && rop == SRCCOPY;
    painted.emplace_back(whole ? picture : -picture, x, y);
    return bitBlt->Original<decltype(&BitBlt)>()(dc, x, y, width, height, source, sx, sy, rop);
}

// The times the page was erased before it was painted.
int erasures;

LRESULT CALLBACK CountErasures(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *sent = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && sent->message == WM_ERASEBKGND && sent->hwnd == currentPageWindow)
        ++erasures;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

class GeneralPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        VcReset();
        VcSetPlayTimePercent(5);
        soundDevices[0] = VcDefaultDeviceGuid(0);
        soundDeviceCount = 1;
        helpClickCount = 0;
        erasing_ = SetWindowsHookExA(WH_CALLWNDPROC, CountErasures, nullptr, GetCurrentThreadId());
    }
    void TearDown() override
    {
        UnhookWindowsHookEx(erasing_);
        DestroyWindow(panel_); // and the page with it
        RestorePackage();
    }

    static void SetLimits(Limits limits, DWORD stereoX2)
    {
        if (limits == kNoKey)
            return (void)SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKeyPath);
        for (auto [name, value] : {std::make_pair("MaxSpeakers", DWORD(limits)), std::make_pair("StereoX2", stereoX2)})
            limits == kNoValues ? (void)SHDeleteValueA(HKEY_LOCAL_MACHINE, kDriverKeyPath, name)
                                : SetDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, name, value);
    }
    // The control panel opened afresh, on its General tab, but modeless, with
    // the card's speaker configuration set first, as DirectSound keeps it.
    void Open(DWORD config = 0)
    {
        if (config)
            SetDword(HKEY_CURRENT_USER, VCARD_KEY "\\Device0", "SpeakerConfig", config);
        DestroyWindow(panel_);
        panel_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        ShowWindow(panel_, SW_SHOWNORMAL);
        page_ = currentPageWindow;
        ASSERT_TRUE(panel_ && page_);
        VcLogClear();
    }
    void Apply() { UserInput(GetDlgItem(panel_, IDC_APPLY), {VK_LBUTTON}); }
    void Click(int id) { UserInput(GetDlgItem(page_, id), {VK_LBUTTON}); }
    bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)) != 0; }
    // The layouts of the buttons checked, or enabled: "246".
    std::string Buttons(bool enabled)
    {
        std::string layouts;
        for (auto b : {std::make_pair(IDC_LAYOUT_2, '2'), {IDC_LAYOUT_STEREO_X2, '3'}, {IDC_LAYOUT_4, '4'}, {IDC_LAYOUT_6, '6'}})
            if (enabled ? IsWindowEnabled(GetDlgItem(page_, b.first)) : IsDlgButtonChecked(page_, b.first) == BST_CHECKED)
                layouts += b.second;
        return layouts;
    }
    RECT Frame(int index) { RECT r = kFrames[index]; return MapDialogRect(page_, &r), r; }
    // Puts the mouse over a speaker's place and returns it in page coordinates.
    POINT MouseOver(int index)
    {
        RECT r = Frame(index);
        POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2}, screen = p;
        ClientToScreen(page_, &screen);
        SetCursorPos(screen.x, screen.y);
        return p;
    }
    // The speakers that answer the mouse with the hand cursor, by index.
    std::string WithHand()
    {
        std::string hands;
        HCURSOR hand = LoadCursorA(appInstance, MAKEINTRESOURCEA(IDCUR_HAND));
        for (int i = 0; i < 6; ++i) {
            MouseOver(i);
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            LRESULT set = SendMessageA(page_, WM_SETCURSOR, reinterpret_cast<WPARAM>(page_),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            if (set == TRUE && GetCursor() == hand)
                hands += char('0' + i);
        }
        return hands;
    }
    // A click on a speaker's place, and the command it posts handled.
    void ClickSpeaker(int index, bool press = true)
    {
        POINT p = MouseOver(index);
        if (press)
            SendMessageA(page_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        SendMessageA(page_, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        DispatchPending();
    }
    // The test sounds have ended and nothing of them is held.
    static bool Idle() { return WaitFor([] { return !testPlaying && !testSound && !testBuffer; }, 5000); }
    // The times the page was erased since it was last asked, what it has
    // to paint painted.
    int Erasures() { return UpdateWindow(page_), std::exchange(erasures, 0); }
    // What the page paints now (it is not erased for it).
    Painting Paint()
    {
        ImportHook hook = HOOK("gdi32.dll", BitBlt, RecordCopy);
        bitBlt = &hook;
        painted.clear();
        InvalidateRect(page_, nullptr, FALSE);
        UpdateWindow(page_);
        return painted;
    }
    // The pictures of the first count speakers at their frames, then the
    // note sign beside each marked speaker: on the right of its frame, or on
    // the left for the right-hand speakers, at the frame's vertical middle.
    Painting Pictured(int count, std::vector<int> marked = {})
    {
        Painting expected;
        for (int i = 0; i < count; ++i)
            expected.emplace_back(IDB_SPEAKER_FL + i, Frame(i).left, Frame(i).top);
        for (int i : marked)
            expected.emplace_back(IDB_NOTE, i == 1 || i == 3 ? Frame(i).left - 29 /* its width */ : Frame(i).right,
                                  (Frame(i).top + Frame(i).bottom) / 2);
        return expected;
    }
    // The sounds played so far: the file each one's data came from, and its mask.
    std::vector<std::string> Plays()
    {
        std::vector<std::string> plays;
        for (const std::string &line : RecordLines())
            for (const char *name : {"fleft", "fright", "rleft", "rright", "center", "subw", "left", "right"}) {
                uint32_t crc = 0, size = 0;
                if (!line.compare(0, 9, "buf.play ") && WaveDataChecksum(folder_.File((name + std::string(".wav")).c_str()), &crc, &size) &&
                    crc == strtoul(Field(line, "crc").c_str(), nullptr, 16))
                    plays.push_back(name + (".wav " + Field(line, "mask")));
            }
        return plays;
    }

    WaveFolder folder_;
    HWND panel_ = nullptr;
    HWND page_ = nullptr;
    HHOOK erasing_ = nullptr;
};

TEST_F(GeneralPageTest, ShowsTheLayoutWithinTheDriversLimits)
{
    const DWORD kStereo = DSSPEAKER_STEREO, kQuad = DSSPEAKER_QUAD, k51 = DSSPEAKER_5POINT1;
    const struct {
        DWORD configured, stored; // the card's configuration before and after
        Limits limits;
        const char *checked, *enabled; // the layouts of the buttons checked and enabled, but "Stereo X 2"
    } cases[] = {
        {kStereo, kStereo, kMax2, "2", "2"},   {kStereo, kStereo, kMax4, "2", "24"}, {kStereo, kStereo, kMax6, "2", "246"},
        {kStereo, kStereo, kNoValues, "2", "2"}, {kStereo, kStereo, kNoKey, "2", "2"}, {kQuad, kStereo, kMax2, "2", "2"},
        {kQuad, kQuad, kMax4, "4", "24"},      {kQuad, kQuad, kMax6, "4", "246"},    {kQuad, kStereo, kNoValues, "2", "2"},
        {kQuad, kQuad, kNoKey, "4", "24"},     {k51, kStereo, kMax2, "2", "2"},      {k51, kQuad, kMax4, "4", "24"},
        {k51, k51, kMax6, "6", "246"},         {k51, kStereo, kNoValues, "2", "2"},  {k51, k51, kNoKey, "6", "246"},
        {DSSPEAKER_SURROUND, DSSPEAKER_SURROUND, kMax4, "2", "24"}, // read as two speakers, and left so
        // Maxima between and beyond those named: only 2 and 4 disable, only 6 checks "6 Speakers".
        {kQuad, kStereo, Limits(1), "2", "246"}, {kQuad, kStereo, Limits(3), "2", "246"}, {k51, kStereo, Limits(5), "2", "246"},
        {k51, k51, Limits(8), "2", "246"},
    };
    for (const auto &c : cases) {
        for (DWORD stereoX2 : {0u, 2u}) {
            SCOPED_TRACE(testing::Message() << "configuration " << c.configured << ", limits " << c.limits
                                            << ", Stereo X 2 " << stereoX2);
            SetLimits(c.limits, stereoX2);
            stereoX2Allowed = static_cast<uint8_t>(stereoX2); // stands without the driver key
            Open(c.configured);
            EXPECT_EQ(c.checked, Buttons(false));
            EXPECT_EQ(c.stored, VcSpeakerConfig(0));
            const std::string enabled = std::string(c.enabled).insert(1, c.limits != kNoValues && stereoX2 ? "3" : "");
            EXPECT_EQ(enabled, Buttons(true));
            // Shown again, what was disabled stays so, even when the driver now allows more.
            SetLimits(kMax6, 1);
            generalPage.ShowSettings(page_);
            EXPECT_EQ(enabled, Buttons(true));
        }
    }
    // A layout the driver cannot give back (any "Stereo X 2", or one the read
    // after the clamp misses): the button follows the layout last read and
    // the limit, at and just inside each of its bounds; a clamp is written
    // when the page's layout (a choice taken, not the one last read) is over it.
    const struct { int layout; Limits limits; const char *checked, *written; int lastRead = 0; } unread[] = {
        {6, kMax6, "6", ""},  {6, kMax4, "2", "0x3"}, {4, kMax6, "4", ""}, {4, kMax4, "4", ""},
        {4, kMax2, "2", "0x4"}, {3, kMax4, "3", ""},  {3, kMax2, "2", "0x4"}, {5, kMax6, "2", ""},
        {4, Limits(3), "4", "0x4"}, {3, Limits(3), "3", ""}, {6, Limits(8), "2", ""}, {6, kMax4, "4", "0x3", 4},
    };
    for (const auto &c : unread) {
        SCOPED_TRACE(testing::Message() << "layout " << c.layout << ", limits " << c.limits);
        SetLimits(c.limits, 1);
        Open(DSSPEAKER_STEREO);
        generalPage.layout = c.layout, driverLayout = c.lastRead ? c.lastRead : c.layout;
        VcFailCall("GetSpeakerConfig", 0, DSERR_GENERIC);
        generalPage.ShowSettings(page_);
        EXPECT_EQ(c.checked, Buttons(false));
        const std::vector<std::string> writes = Trace(0, {"ds.speaker.set"});
        EXPECT_EQ(c.written, writes.empty() ? "" : Field(writes[0], "value"));
        VcClearFaults();
    }
}

// A choice enables Apply and leaves the pictures and the hand as they were;
// Apply writes it, and the page then pictures it.
TEST_F(GeneralPageTest, AChoiceIsWrittenOnApplyOrWhenTakenAndLostWhenShownAgain)
{
    Open(DSSPEAKER_STEREO);
    Erasures();
    for (int id : {IDC_LAYOUT_2, IDC_LAYOUT_STEREO_X2, IDC_LAYOUT_4, IDC_LAYOUT_6}) // the last one stays chosen
        EXPECT_TRUE((EnableWindow(GetDlgItem(panel_, IDC_APPLY), FALSE), Click(id), ApplyEnabled())) << id;
    EXPECT_EQ(Pictured(2), Paint());
    EXPECT_EQ(0, Erasures());
    EXPECT_EQ("01", WithHand());
    EXPECT_EQ(DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0)); // nothing written before Apply
    Apply();
    EXPECT_EQ(std::make_pair(DWORD(DSSPEAKER_5POINT1), std::string("6")), std::make_pair(VcSpeakerConfig(0), Buttons(false)));
    EXPECT_EQ(Pictured(6), Paint());
    EXPECT_EQ(1, Erasures()); // the two speakers' place is painted anew

    // "Stereo X 2" is written as two speakers and read back as them.
    Click(IDC_LAYOUT_STEREO_X2);
    Apply();
    EXPECT_EQ(std::make_pair(DWORD(DSSPEAKER_STEREO), std::string("2")), std::make_pair(VcSpeakerConfig(0), Buttons(false)));

    // Chosen again, unchanged, nothing is written.
    VcLogClear();
    Click(IDC_LAYOUT_2), Apply();
    EXPECT_EQ(VcLogCount(), VcLogFind("ds.speaker.set"));

    // Shown again, an unapplied choice is lost; OK on another tab writes
    // what the page took when it went away.
    Click(IDC_LAYOUT_6);
    Open();
    EXPECT_EQ("2", Buttons(false));
    Click(IDC_LAYOUT_4);
    ChooseTab(panel_, 1);
    UserInput(GetDlgItem(panel_, IDOK), {VK_LBUTTON});
    EXPECT_EQ(DWORD(DSSPEAKER_QUAD), VcSpeakerConfig(0));
    // Applied there twice, the second time for reverb, it is written once:
    // the read after Apply knows it.
    Open(DSSPEAKER_STEREO);
    Click(IDC_LAYOUT_6);
    ChooseTab(panel_, 1);
    Apply();
    VcLogClear();
    UserInput(GetDlgItem(currentPageWindow, IDC_REVERB), {VK_LBUTTON}), Apply();
    EXPECT_EQ(VcLogCount(), VcLogFind("ds.speaker.set"));
    EXPECT_EQ(DWORD(DSSPEAKER_5POINT1), VcSpeakerConfig(0));

    // Taken from the buttons in their order, the first checked winning;
    // with none checked, two speakers.
    Open();
    const struct { std::vector<int> checked; int layout; } taken[] = {
        {{IDC_LAYOUT_STEREO_X2, IDC_LAYOUT_6}, 3}, {{IDC_LAYOUT_4, IDC_LAYOUT_6}, 4}, {{IDC_LAYOUT_2, IDC_LAYOUT_4}, 2},
        {{IDC_LAYOUT_6}, 6}, {{}, 2},
    };
    for (const auto &t : taken) {
        for (int id : {IDC_LAYOUT_2, IDC_LAYOUT_STEREO_X2, IDC_LAYOUT_4, IDC_LAYOUT_6})
            CheckDlgButton(page_, id, std::count(t.checked.begin(), t.checked.end(), id) ? BST_CHECKED : BST_UNCHECKED);
        generalPage.TakeSettings(page_);
        EXPECT_EQ(t.layout, generalPage.layout);
    }
}

// For each layout shown: the speakers pictured and answering the mouse; a
// click on each plays its sound alone, routed to it, marked by the note sign
// while it plays, and a second click stops it; a click elsewhere plays
// nothing; "Test All" plays the sounds in turn. "Stereo X 2" is only ever
// shown when the card cannot say what it holds (a read never yields it): its
// rear speakers repeat the front ones' sounds and marks.
TEST_F(GeneralPageTest, EachLayoutPicturesItsSpeakersAndPlaysEachAloneOrAllInTurn)
{
    const struct {
        int layout;
        DWORD config;
        std::vector<std::string> sounds; // each pictured speaker's sound and mask
        size_t testAll;                  // how many of them "Test All" plays
    } layouts[] = {
        {2, DSSPEAKER_STEREO, {"left.wav 0x1", "right.wav 0x2"}, 2},
        {4, DSSPEAKER_QUAD, {"fleft.wav 0x1", "fright.wav 0x2", "rleft.wav 0x10", "rright.wav 0x20"}, 4},
        {6, DSSPEAKER_5POINT1, {"fleft.wav 0x1", "fright.wav 0x2", "rleft.wav 0x10", "rright.wav 0x20", "center.wav 0x4", "subw.wav 0x8"}, 6},
        {3, DSSPEAKER_STEREO, {"left.wav 0x1", "right.wav 0x2", "left.wav 0x1", "right.wav 0x2"}, 2},
    };
    for (const auto &l : layouts) {
        SCOPED_TRACE(l.layout);
        Open(l.config);
        if (l.layout == 3) {
            Click(IDC_LAYOUT_STEREO_X2);
            VcFailCall("GetSpeakerConfig", 0, DSERR_GENERIC);
            Apply();
        }
        const int count = static_cast<int>(l.sounds.size());
        EXPECT_EQ(Pictured(count), Paint());
        EXPECT_EQ(std::string("012345", count), WithHand());
        for (int i = count; i < 6; ++i)
            ClickSpeaker(i);
        ASSERT_TRUE(Idle());
        EXPECT_TRUE(Plays().empty());
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            VcSetPlayTimePercent(100); // still playing when the page is looked at
            VcLogClear();
            Erasures();
            ClickSpeaker(i);
            ASSERT_EQ(1, testPlaying);
            EXPECT_EQ(Pictured(count, l.layout == 3 ? std::vector<int>{i % 2, i % 2 + 2} : std::vector<int>{i}), Paint());
            EXPECT_EQ(0, Erasures()); // the note is painted over the page as it is
            ClickSpeaker(i); // a stop request, not a new start: the note goes at once,
            EXPECT_EQ(Pictured(count), Paint()); // before the next tick tears the sound down
            ASSERT_TRUE(Idle());
            EXPECT_EQ(std::vector<std::string>{l.sounds[i]}, Plays());
            EXPECT_EQ(0, testIndex + testEnd);
            EXPECT_EQ(1, Erasures()); // and the page is painted anew when the sound ends
        }
        VcSetPlayTimePercent(5);
        VcLogClear();
        StderrCapture errors;
        Click(IDC_TEST_ALL);
        ASSERT_TRUE(Idle());
        EXPECT_EQ(std::vector<std::string>(l.sounds.begin(), l.sounds.begin() + l.testAll), Plays());
        EXPECT_EQ("", errors.Text());
        VcClearFaults();
    }
    // A speaker picture that does not load is left out; a note sign that
    // does not leaves the playing speaker unmarked.
    Open(DSSPEAKER_5POINT1);
    VcSetPlayTimePercent(100);
    for (int refused : {IDB_SPEAKER_RL, IDB_NOTE}) {
        refusedPicture = refused;
        ImportHook hook = HOOK("user32.dll", LoadImageA, RefusePicture);
        loadImage = &hook;
        ClickSpeaker(2);
        Painting expected = Pictured(6, {2});
        expected.erase(expected.begin() + (refused == IDB_NOTE ? 6 : 2));
        EXPECT_EQ(expected, Paint()) << refused;
        ClickSpeaker(2);
        ASSERT_TRUE(Idle());
    }
}

// "Test All" pressed during a sequence stops it, and pressed again starts
// from the first speaker. A context-help click starts nothing, the next
// ordinary click does; the page's end stops and releases a sound at once.
TEST_F(GeneralPageTest, ASecondPressOrThePagesEndStopsATestAndAHelpClickStartsNone)
{
    Open(DSSPEAKER_STEREO);
    VcSetPlayTimePercent(100);
    Click(IDC_TEST_ALL);
    ASSERT_EQ(1, testPlaying);
    Click(IDC_TEST_ALL);
    ASSERT_TRUE(Idle());
    VcSetPlayTimePercent(5);
    Click(IDC_TEST_ALL);
    ASSERT_TRUE(Idle());
    EXPECT_EQ((std::vector<std::string>{"left.wav 0x1", "left.wav 0x1", "right.wav 0x2"}), Plays());

    Open(DSSPEAKER_5POINT1);
    HELPINFO help = {sizeof help, HELPINFO_MENUITEM, 0, nullptr, 0, {0, 0}}; // counted, and no WinHelp to end
    for (int request = 0; request < 2; ++request) // F1, then the help button's click
        SendMessageA(panel_, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    ClickSpeaker(0, false); // help mode took the press; the release reaches the page
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(Plays().empty());

    VcSetPlayTimePercent(100);
    ClickSpeaker(4);
    ASSERT_EQ(1, VcPlayingBuffers());
    ChooseTab(panel_, 1);
    EXPECT_TRUE(!testPlaying && !VcLiveBuffers());
    Pump(250); // no tick is left to play on
    EXPECT_EQ((std::vector<std::string>{"center.wav 0x4"}), Plays());
    EXPECT_EQ((std::vector<std::string>{"buf.stop hr=0x00000000"}), Trace(0, {"buf.stop"}));
}
