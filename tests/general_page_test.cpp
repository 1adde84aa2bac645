// The General page inside the control panel's dialog, driven with the
// messages a user's actions send, against the virtual card.
#include "harness.h"

#include "app/app.h"
#include "pages/general/general_page.h"
#include "panel/driver.h"
#include "panel/panel.h"
#include "panel/window_utils.h"
#include "resource.h"
#include "speakers/speaker_config.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// WinHelp as the panel calls it for a help request; nothing is shown.
BOOL WINAPI NoHelp(HWND, LPCSTR, UINT, ULONG_PTR)
{
    return TRUE;
}

enum Limits { kMax2, kMax4, kMax6, kKeyWithoutValues, kNoKey };

// Each speaker's frame as the page template places it, in dialog units.
const RECT kFrames[6] = {
    {98, 15, 134, 51}, {241, 15, 277, 51}, {98, 96, 134, 132}, {241, 96, 277, 132}, {164, 15, 212, 31}, {170, 33, 206, 65},
};
const COLORREF kGround = RGB(255, 0, 255);
// The channel masks of the platform's speaker positions.
const DWORD kFL = 0x1, kFR = 0x2, kC = 0x4, kSub = 0x8, kRL = 0x10, kRR = 0x20;

// A picture of the program's resources as the page should show it: mapped
// to the colour scheme.
class Resource {
public:
    explicit Resource(int id)
    {
        bitmap_ = static_cast<HBITMAP>(
            LoadImageA(appInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
        BITMAP info = {};
        GetObjectA(bitmap_, sizeof info, &info);
        width = info.bmWidth;
        height = info.bmHeight;
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Resource()
    {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
    // Whether it stands whole, pixel for pixel, with its top-left corner at
    // (x, y) of a shot.
    bool ShownAt(HDC shot, int x, int y) const
    {
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                if (GetPixel(shot, x + column, y + row) != At(column, row))
                    return false;
        return true;
    }
    int width = 0, height = 0;

private:
    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ old_;
};

// What the page paints for WM_PAINT, over a magenta ground: while a shot is
// taken, BeginPaint hands the page the shot's device context.
HDC shotDc, paintDc;
ImportHook *beginPaint, *endPaint;
HDC WINAPI ShotBeginPaint(HWND window, PAINTSTRUCT *paint)
{
    paintDc = beginPaint->Original<decltype(&BeginPaint)>()(window, paint);
    return paint->hdc = shotDc;
}
BOOL WINAPI ShotEndPaint(HWND window, const PAINTSTRUCT *paint)
{
    PAINTSTRUCT real = *paint;
    real.hdc = paintDc;
    return endPaint->Original<decltype(&EndPaint)>()(window, &real);
}

class Shot {
public:
    explicit Shot(HWND page)
    {
        RECT client;
        GetClientRect(page, &client);
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, client.right, client.bottom);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc, bitmap_);
        HBRUSH ground = CreateSolidBrush(kGround);
        FillRect(dc, &client, ground);
        DeleteObject(ground);
        ImportHook begin("user32.dll", "BeginPaint", reinterpret_cast<const void *>(ShotBeginPaint));
        ImportHook end("user32.dll", "EndPaint", reinterpret_cast<const void *>(ShotEndPaint));
        beginPaint = &begin;
        endPaint = &end;
        shotDc = dc;
        InvalidateRect(page, nullptr, FALSE);
        UpdateWindow(page);
    }
    ~Shot()
    {
        SelectObject(dc, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc);
    }
    HDC dc;

private:
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

struct Play {
    std::string file;
    DWORD mask;
    bool operator==(const Play &other) const { return file == other.file && mask == other.mask; }
};

std::ostream &operator<<(std::ostream &out, const Play &play)
{
    return out << play.file << " at mask " << play.mask;
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
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        soundDevices[0] = VcDefaultDeviceGuid(0);
        soundDeviceCount = 1;
        helpClickCount = 0;
        stereoX2Allowed = 0;
        generalPage.layout = 2;
    }
    void TearDown() override
    {
        DestroyWindow(panel_); // and the page with it
        EXPECT_EQ(0, VcLiveDirectSounds());
        EXPECT_EQ(0, VcLiveBuffers());
        EXPECT_EQ(0, VcLivePropertySets());
        EXPECT_EQ(0, VcUsesAfterRelease());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        VcReset();
    }

    static void SetLimits(Limits limits, DWORD stereoX2)
    {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        HKEY key = nullptr;
        if (limits == kNoKey || RegCreateKeyA(HKEY_LOCAL_MACHINE, kDriverKey, &key) != ERROR_SUCCESS)
            return;
        if (limits != kKeyWithoutValues) {
            DWORD max = limits == kMax2 ? 2 : limits == kMax4 ? 4 : 6;
            RegSetValueExA(key, "MaxSpeakers", 0, REG_DWORD, reinterpret_cast<BYTE *>(&max), 4);
            RegSetValueExA(key, "StereoX2", 0, REG_DWORD, reinterpret_cast<BYTE *>(&stereoX2), 4);
        }
        RegCloseKey(key);
    }
    // The card's speaker configuration: a layout as the program writes it, or
    // (0) a configuration of another kind.
    static void Configure(int layout)
    {
        if (layout) {
            ASSERT_TRUE(WriteSpeakerLayout(static_cast<uint8_t>(layout)));
            return;
        }
        IDirectSound *ds = nullptr;
        ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &ds, nullptr));
        ds->SetSpeakerConfig(DSSPEAKER_SURROUND);
        ds->Release();
    }
    // The control panel opened afresh, on its General tab, but modeless.
    void Open()
    {
        if (IsWindow(panel_))
            DestroyWindow(panel_);
        panel_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        ASSERT_NE(nullptr, panel_);
        SetWindowPos(panel_, HWND_TOP, 40, 30, 0, 0, SWP_NOSIZE);
        ShowWindow(panel_, SW_SHOWNORMAL);
        page_ = currentPageWindow;
        ASSERT_NE(nullptr, page_);
    }
    // Another tab, as the user chooses it: the page's window goes.
    void SelectTab(int index)
    {
        ChooseTab(panel_, index);
        page_ = currentPageWindow;
    }
    void OpenWith(int layout)
    {
        SetLimits(kMax6, 1);
        Configure(layout);
        Open();
        VcLogClear();
    }
    void Apply() { SendMessageA(panel_, WM_COMMAND, IDC_APPLY, 0); }
    void Click(int id) { SendDlgItemMessageA(page_, id, BM_CLICK, 0, 0); }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(page_, id)) != 0; }
    bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)) != 0; }
    // The one checked layout button; -1 when several are.
    int CheckedLayoutButton()
    {
        int found = 0;
        for (int id : {IDC_LAYOUT_2, IDC_LAYOUT_STEREO_X2, IDC_LAYOUT_4, IDC_LAYOUT_6})
            if (IsDlgButtonChecked(page_, id) == BST_CHECKED)
                found = found ? -1 : id;
        return found;
    }
    RECT FramePixels(int index)
    {
        RECT r = kFrames[index];
        MapDialogRect(page_, &r);
        return r;
    }
    // Puts the mouse over a speaker's place and returns it in page coordinates.
    POINT MouseOver(int index)
    {
        RECT r = FramePixels(index);
        POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2}, screen = p;
        ClientToScreen(page_, &screen);
        SetCursorPos(screen.x, screen.y);
        return p;
    }
    // The speakers that answer the mouse with the hand cursor.
    std::vector<int> WithHand()
    {
        std::vector<int> hands;
        HCURSOR hand = LoadCursorA(appInstance, MAKEINTRESOURCEA(IDCUR_HAND));
        for (int i = 0; i < 6; ++i) {
            MouseOver(i);
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            LRESULT set = SendMessageA(page_, WM_SETCURSOR, reinterpret_cast<WPARAM>(page_),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            if (set == TRUE && GetCursor() == hand)
                hands.push_back(i);
        }
        return hands;
    }
    void ClickSpeaker(int index, bool press = true)
    {
        POINT p = MouseOver(index);
        if (press)
            SendMessageA(page_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        SendMessageA(page_, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    }
    // Handles what is queued now (a posted command), no timer tick.
    static void DispatchPending()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    static void Pump(DWORD milliseconds)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5))
            DispatchPending();
    }
    static void RunUntilIdle()
    {
        DWORD start = GetTickCount();
        Pump(20);
        while ((testPlaying || testSound || testBuffer) && GetTickCount() - start < 10000)
            Pump(5);
    }
    // The sounds played so far: the file each one's data came from, and its mask.
    std::vector<Play> Plays()
    {
        static const char *const kFiles[] = {"fleft.wav", "fright.wav", "rleft.wav", "rright.wav",
                                             "center.wav", "subw.wav",  "left.wav",  "right.wav"};
        std::vector<Play> plays;
        for (size_t i = VcLogFind("buf.play"); i < VcLogCount(); i = VcLogFind("buf.play", i + 1)) {
            char crc[16] = "", mask[16] = "";
            VcLogField(VcLogLine(i), "crc", crc, sizeof crc);
            VcLogField(VcLogLine(i), "mask", mask, sizeof mask);
            Play play = {"?", static_cast<DWORD>(strtoul(mask, nullptr, 16))};
            for (const char *file : kFiles) {
                uint32_t fileCrc = 0, size = 0;
                if (WaveDataChecksum(folder_.File(file), &fileCrc, &size) && fileCrc == strtoul(crc, nullptr, 16))
                    play.file = file;
            }
            plays.push_back(play);
        }
        return plays;
    }
    // Whether exactly the first count speakers are pictured at their frames.
    void ExpectPictured(int count)
    {
        Shot shot(page_);
        for (int i = 0; i < 6; ++i) {
            RECT frame = FramePixels(i);
            if (i < count)
                EXPECT_TRUE(Resource(IDB_SPEAKER_FL + i).ShownAt(shot.dc, frame.left, frame.top)) << i;
            else
                EXPECT_EQ(kGround, GetPixel(shot.dc, (frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2))
                    << i;
        }
    }
    // The speakers marked with the note sign: beside the frame's vertical
    // middle, on its right, or on its left for the right-hand speakers.
    std::vector<int> Marked()
    {
        Shot shot(page_);
        Resource note(IDB_NOTE);
        std::vector<int> marked;
        for (int i = 0; i < 6; ++i) {
            RECT frame = FramePixels(i);
            int x = (i == 1 || i == 3) ? frame.left - note.width : frame.right;
            if (note.ShownAt(shot.dc, x, (frame.top + frame.bottom) / 2))
                marked.push_back(i);
        }
        return marked;
    }

    WaveFolder folder_;
    HWND panel_ = nullptr;
    HWND page_ = nullptr;
};

TEST_F(GeneralPageTest, ShowsTheLayoutWithinTheDriversLimits)
{
    struct Case {
        int configured; // the driver layout the card was left with (0: another configuration)
        Limits limits;
        int checked;   // the radio button shown checked
        DWORD stored;  // the card's speaker configuration afterwards
        bool fourEnabled, sixEnabled;
    };
    const DWORD kStereo = DSSPEAKER_STEREO, kQuad = DSSPEAKER_QUAD, k51 = DSSPEAKER_5POINT1,
                kSurround = DSSPEAKER_SURROUND;
    // "Stereo X 2" and any configuration but quad and 5.1 read as two speakers.
    const Case cases[] = {
        {2, kMax2, IDC_LAYOUT_2, kStereo, false, false},    {2, kMax4, IDC_LAYOUT_2, kStereo, true, false},
        {2, kMax6, IDC_LAYOUT_2, kStereo, true, true},      {2, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false},
        {2, kNoKey, IDC_LAYOUT_2, kStereo, false, false},   {3, kMax2, IDC_LAYOUT_2, kStereo, false, false},
        {3, kMax4, IDC_LAYOUT_2, kStereo, true, false},     {3, kMax6, IDC_LAYOUT_2, kStereo, true, true},
        {3, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false}, {3, kNoKey, IDC_LAYOUT_2, kStereo, false, false},
        {4, kMax2, IDC_LAYOUT_2, kStereo, false, false},    {4, kMax4, IDC_LAYOUT_4, kQuad, true, false},
        {4, kMax6, IDC_LAYOUT_4, kQuad, true, true},        {4, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false},
        {4, kNoKey, IDC_LAYOUT_4, kQuad, true, false},      {6, kMax2, IDC_LAYOUT_2, kStereo, false, false},
        {6, kMax4, IDC_LAYOUT_4, kQuad, true, false},       {6, kMax6, IDC_LAYOUT_6, k51, true, true},
        {6, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false}, {6, kNoKey, IDC_LAYOUT_6, k51, true, true},
        {0, kMax2, IDC_LAYOUT_2, kSurround, false, false},  {0, kMax4, IDC_LAYOUT_2, kSurround, true, false},
        {0, kMax6, IDC_LAYOUT_2, kSurround, true, true},    {0, kKeyWithoutValues, IDC_LAYOUT_2, kSurround, false, false},
        {0, kNoKey, IDC_LAYOUT_2, kSurround, false, false},
    };
    for (const Case &c : cases) {
        for (DWORD stereoX2 : {0u, 1u}) {
            SCOPED_TRACE(testing::Message() << "layout " << c.configured << ", limits " << c.limits
                                            << ", Stereo X 2 " << stereoX2);
            Configure(c.configured);
            SetLimits(c.limits, stereoX2);
            stereoX2Allowed = static_cast<uint8_t>(stereoX2); // stands without the driver key
            Open();
            EXPECT_EQ(c.checked, CheckedLayoutButton());
            EXPECT_EQ(c.stored, VcSpeakerConfig(0));
            EXPECT_TRUE(Enabled(IDC_LAYOUT_2));
            EXPECT_EQ(c.fourEnabled, Enabled(IDC_LAYOUT_4));
            EXPECT_EQ(c.sixEnabled, Enabled(IDC_LAYOUT_6));
            EXPECT_EQ(c.limits != kKeyWithoutValues && stereoX2, Enabled(IDC_LAYOUT_STEREO_X2));
            EXPECT_FALSE(ApplyEnabled());
        }
    }
}

// Showing the settings only ever disables: a driver that now allows more
// does not bring back what an earlier showing of the same window disabled.
TEST_F(GeneralPageTest, ShowingTheSettingsOnlyEverDisables)
{
    SetLimits(kMax2, 0);
    Configure(2);
    Open();
    SetLimits(kMax6, 1);
    generalPage.ShowSettings(page_);
    for (int id : {IDC_LAYOUT_STEREO_X2, IDC_LAYOUT_4, IDC_LAYOUT_6})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(IDC_LAYOUT_2));
}

TEST_F(GeneralPageTest, AChoiceIsWrittenOnApplyOrWhenTakenAndLostWhenShownAgain)
{
    OpenWith(2);
    Click(IDC_LAYOUT_6);
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0)); // nothing written before Apply
    Apply();
    EXPECT_EQ(DWORD(DSSPEAKER_5POINT1), VcSpeakerConfig(0));
    EXPECT_EQ(IDC_LAYOUT_6, CheckedLayoutButton());

    // "Stereo X 2" is written as two speakers and read back as them.
    Click(IDC_LAYOUT_STEREO_X2);
    Apply();
    EXPECT_EQ(DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0));
    EXPECT_EQ(IDC_LAYOUT_2, CheckedLayoutButton());

    // Unchanged, nothing is written.
    VcLogClear();
    Apply();
    EXPECT_EQ(VcLogCount(), VcLogFind("ds.speaker.set"));

    // Shown again, an unapplied choice is lost; OK on another tab writes
    // what the page took when it went away.
    Click(IDC_LAYOUT_6);
    Open();
    EXPECT_EQ(IDC_LAYOUT_2, CheckedLayoutButton());
    Click(IDC_LAYOUT_4);
    SelectTab(1);
    SendMessageA(panel_, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(DWORD(DSSPEAKER_QUAD), VcSpeakerConfig(0));
}

TEST_F(GeneralPageTest, PicturesCursorAndClicksFollowTheShownLayoutNotTheClickedButton)
{
    OpenWith(2);
    ExpectPictured(2);
    EXPECT_EQ((std::vector<int>{0, 1}), WithHand());
    for (int i : {2, 3, 4, 5})
        ClickSpeaker(i);
    RunUntilIdle();
    EXPECT_TRUE(Plays().empty());

    Click(IDC_LAYOUT_6);
    ExpectPictured(2);
    EXPECT_EQ((std::vector<int>{0, 1}), WithHand());
    Apply();
    ExpectPictured(6);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5}), WithHand());
    ClickSpeaker(5);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"subw.wav", kSub}}), Plays());
}

TEST_F(GeneralPageTest, AClickedSpeakerPlaysAloneMarkedByTheNoteSign)
{
    OpenWith(6);
    VcSetPlayTimePercent(100); // still playing when the page is looked at
    const Play expected[6] = {{"fleft.wav", kFL}, {"fright.wav", kFR}, {"rleft.wav", kRL},
                              {"rright.wav", kRR}, {"center.wav", kC},  {"subw.wav", kSub}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        VcLogClear();
        ClickSpeaker(i);
        DispatchPending();
        ASSERT_EQ(1, testPlaying);
        EXPECT_EQ(std::vector<int>{i}, Marked());
        RunUntilIdle();
        EXPECT_EQ(std::vector<Play>{expected[i]}, Plays());
        EXPECT_TRUE(Marked().empty());
    }
}

TEST_F(GeneralPageTest, TestAllPlaysThePicturedSpeakersInTurnAndAPressMeanwhileStopsIt)
{
    OpenWith(4);
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"fleft.wav", kFL}, {"fright.wav", kFR}, {"rleft.wav", kRL}, {"rright.wav", kRR}}),
              Plays());

    Click(IDC_LAYOUT_2);
    Apply();
    VcLogClear();
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"left.wav", kFL}, {"right.wav", kFR}}), Plays());

    VcSetPlayTimePercent(100);
    VcLogClear();
    Click(IDC_TEST_ALL);
    ASSERT_EQ(1, testPlaying);
    Click(IDC_TEST_ALL); // a stop request, not a new start
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"left.wav", kFL}}), Plays());
    VcSetPlayTimePercent(5);
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"left.wav", kFL}, {"left.wav", kFL}, {"right.wav", kFR}}), Plays());
}

// "Stereo X 2" is only ever shown when the card cannot say what it holds: a
// read never yields it. Its rear speakers repeat the front ones' sounds.
TEST_F(GeneralPageTest, StereoX2PicturesFourSpeakersWhoseRearRepeatTheFront)
{
    OpenWith(2);
    Click(IDC_LAYOUT_STEREO_X2);
    VcFailCall("GetSpeakerConfig", 0, DSERR_GENERIC);
    Apply();
    ExpectPictured(4);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), WithHand());

    VcSetPlayTimePercent(100);
    ClickSpeaker(2); // rear left
    DispatchPending();
    EXPECT_EQ((std::vector<int>{0, 2}), Marked());
    RunUntilIdle();
    ClickSpeaker(3); // rear right
    DispatchPending();
    EXPECT_EQ((std::vector<int>{1, 3}), Marked());
    RunUntilIdle();

    // The sequence ends after the two sounds; it does not go on to the rear.
    VcSetPlayTimePercent(5);
    StderrCapture errors;
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"left.wav", kFL}, {"right.wav", kFR}, {"left.wav", kFL}, {"right.wav", kFR}}),
              Plays());
    EXPECT_EQ("", errors.Text());
    VcClearFaults();
}

TEST_F(GeneralPageTest, AContextHelpReleaseStartsNothingAndThePagesEndEndsATest)
{
    OpenWith(6);
    ImportHook winHelp("user32.dll", "WinHelpA", reinterpret_cast<const void *>(NoHelp));
    HELPINFO help = {sizeof help, HELPINFO_WINDOW, 0, page_, 0, {0, 0}};
    SendMessageA(panel_, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    ClickSpeaker(0, false); // help mode took the press; the release reaches the page
    RunUntilIdle();
    EXPECT_TRUE(Plays().empty());

    VcSetPlayTimePercent(100);
    ClickSpeaker(4);
    DispatchPending();
    ASSERT_EQ(1, VcPlayingBuffers());
    SelectTab(1);
    EXPECT_EQ(0, testPlaying);
    EXPECT_EQ(0, VcLiveBuffers());
    EXPECT_NE(VcLogCount(), VcLogFind("buf.stop"));
    Pump(250); // no tick is left to play on
    EXPECT_EQ((std::vector<Play>{{"center.wav", kC}}), Plays());
}
