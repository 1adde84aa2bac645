// The General page inside the control panel's dialog, driven with the
// messages a user's actions send, against the virtual card.
#include "capture.h"
#include "waves.h"

#include "app/app.h"
#include "pages/general/general_page.h"
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

// The panel as far as a page sees it: its tab control, its Apply button and
// its count of help requests.
INT_PTR CALLBACK PanelProc(HWND, UINT message, WPARAM, LPARAM)
{
    if (message == WM_HELP) {
        ++helpClickCount;
        return TRUE;
    }
    return FALSE;
}

enum Limits { kMax2, kMax4, kMax6, kKeyWithoutValues, kNoKey };

const char *LimitsName(Limits limits)
{
    static const char *const kNames[] = {"max 2", "max 4", "max 6", "key without values", "no key"};
    return kNames[limits];
}

// Each speaker's frame as the page template places it, in dialog units.
const RECT kFrames[6] = {
    {98, 15, 134, 51}, {241, 15, 277, 51}, {98, 96, 134, 132},
    {241, 96, 277, 132}, {164, 15, 212, 31}, {170, 33, 206, 65},
};
const int kBitmapIds[6] = {131, 132, 133, 134, 135, 136};
const COLORREF kBackground = RGB(255, 0, 255);

// A 32-bit picture of a window's client area or of a bitmap.
struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[y * width + x]; }
};

Picture Read(HDC dc, HBITMAP bitmap, int width, int height)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(width * height);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> raw(width * height);
    GetDIBits(dc, bitmap, 0, height, raw.data(), &info, DIB_RGB_COLORS);
    for (size_t i = 0; i < raw.size(); ++i)
        picture.pixels[i] = RGB((raw[i] >> 16) & 0xFF, (raw[i] >> 8) & 0xFF, raw[i] & 0xFF);
    return picture;
}

// What the page paints over a magenta ground.
Picture Render(HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH ground = CreateSolidBrush(kBackground);
    FillRect(dc, &client, ground);
    DeleteObject(ground);
    SendMessageA(page, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    SelectObject(dc, old);
    Picture picture = Read(dc, bitmap, client.right, client.bottom);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return picture;
}

// A picture as the program's resources hold it, mapped to the colour scheme.
Picture Bitmap(int id)
{
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(appInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    HDC screen = GetDC(nullptr);
    Picture picture = Read(screen, bitmap, info.bmWidth, info.bmHeight);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    return picture;
}

class GeneralPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitCommonControls();
        VcReset();
        VcSetPlayTimePercent(5);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        CopyTestWaves(folder_);
        GetCurrentDirectoryA(sizeof previous_, previous_);
        SetCurrentDirectoryA(folder_.Path().c_str());
        panel_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, PanelProc, 0);
        ASSERT_NE(nullptr, panel_);
        SetWindowPos(panel_, HWND_TOP, 40, 30, 0, 0, SWP_NOSIZE);
        ShowWindow(panel_, SW_SHOWNORMAL);
        helpClickCount = 0;
        stereoX2Allowed = 0;
        generalPage.layout = 2;
    }
    void TearDown() override
    {
        if (IsWindow(page_))
            DestroyWindow(page_);
        DestroyWindow(panel_);
        EndSpeakerTest();
        SetCurrentDirectoryA(previous_);
        EXPECT_EQ(0, VcLiveDirectSounds());
        EXPECT_EQ(0, VcLiveBuffers());
        EXPECT_EQ(0, VcLivePropertySets());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        VcReset();
    }

    static void SetLimits(Limits limits, DWORD stereoX2)
    {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltrona");
        if (limits == kNoKey)
            return;
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        if (limits != kKeyWithoutValues) {
            DWORD max = limits == kMax2 ? 2 : limits == kMax4 ? 4 : 6;
            RegSetValueExA(key, "MaxSpeakers", 0, REG_DWORD, reinterpret_cast<BYTE *>(&max), 4);
            RegSetValueExA(key, "StereoX2", 0, REG_DWORD, reinterpret_cast<BYTE *>(&stereoX2), 4);
        }
        RegCloseKey(key);
    }
    static void SetCardConfig(DWORD config)
    {
        IDirectSound *ds = nullptr;
        ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &ds, nullptr));
        ds->SetSpeakerConfig(config);
        ds->Release();
    }
    // The panel's opening read, then the page's window as the panel creates it.
    void Open()
    {
        generalPage.ReadFromDriver(nullptr, nullptr);
        page_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(generalPage.DialogTemplateId()), panel_,
                                   generalPage.DialogProcedure(), reinterpret_cast<LPARAM>(&generalPage));
        ASSERT_NE(nullptr, page_);
        ShowWindow(page_, SW_SHOWNORMAL);
    }
    // Apply as the panel does it, the page's window staying open.
    void Apply()
    {
        generalPage.TakeSettings(page_);
        if (testPlaying)
            ToggleSpeakerTest(panel_);
        generalPage.WriteToDriver(nullptr, nullptr);
        generalPage.ReadFromDriver(nullptr, nullptr);
        generalPage.ShowSettings(page_);
        EnableWindow(GetDlgItem(panel_, IDC_APPLY), FALSE);
    }
    void Click(int id) { SendDlgItemMessageA(page_, id, BM_CLICK, 0, 0); }
    bool Checked(int id) { return IsDlgButtonChecked(page_, id) == BST_CHECKED; }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(page_, id)) != 0; }
    int CheckedLayoutButton()
    {
        int found = 0;
        for (int id : {IDC_LAYOUT_2, IDC_LAYOUT_STEREO_X2, IDC_LAYOUT_4, IDC_LAYOUT_6})
            if (Checked(id))
                found = found ? -1 : id; // -1: more than one
        return found;
    }
    // A frame of the template in page pixels.
    RECT FramePixels(int index)
    {
        RECT r = kFrames[index];
        MapDialogRect(page_, &r);
        return r;
    }
    POINT FrameMiddleOnScreen(int index)
    {
        RECT r = FramePixels(index);
        POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(page_, &p);
        return p;
    }
    // The mouse over a speaker's place: the cursor query, the press and the release.
    LRESULT CursorOver(int index)
    {
        POINT p = FrameMiddleOnScreen(index);
        SetCursorPos(p.x, p.y);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        return SendMessageA(page_, WM_SETCURSOR, reinterpret_cast<WPARAM>(page_),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
    void ClickSpeaker(int index, bool press = true)
    {
        POINT p = FrameMiddleOnScreen(index);
        SetCursorPos(p.x, p.y);
        ScreenToClient(page_, &p);
        if (press)
            SendMessageA(page_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        SendMessageA(page_, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    }
    void Pump(DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            Sleep(5);
        } while (GetTickCount() - start < milliseconds);
    }
    void RunUntilIdle()
    {
        DWORD start = GetTickCount();
        Pump(20); // the posted command
        while ((testPlaying || testSound || testBuffer) && GetTickCount() - start < 10000)
            Pump(5);
    }
    // A picture of the program's resources, loaded once per test.
    const Picture &Resource(int id)
    {
        Picture &picture = resources_[id - IDB_SPEAKER_FL];
        if (picture.pixels.empty())
            picture = Bitmap(id);
        return picture;
    }
    // Whether page pixel (x, y) lies on the picture of speaker j.
    bool OnPicture(int j, int x, int y)
    {
        RECT frame = FramePixels(j);
        const Picture &b = Resource(kBitmapIds[j]);
        return x >= frame.left && x < frame.left + b.width && y >= frame.top && y < frame.top + b.height;
    }
    // Whether the speakers' pictures, and only they, are painted at their frames.
    void ExpectPictured(int count)
    {
        Picture shown = Render(page_);
        for (int i = 0; i < 6; ++i) {
            SCOPED_TRACE(i);
            RECT frame = FramePixels(i);
            if (i >= count) {
                int x = (frame.left + frame.right) / 2, y = (frame.top + frame.bottom) / 2;
                bool covered = false;
                for (int j = 0; j < count; ++j)
                    covered |= OnPicture(j, x, y);
                if (!covered)
                    EXPECT_EQ(kBackground, shown.At(x, y));
                continue;
            }
            const Picture &expected = Resource(kBitmapIds[i]);
            int mismatches = 0;
            for (int y = 0; y < expected.height; ++y) {
                for (int x = 0; x < expected.width; ++x) {
                    // Pixels a later speaker draws over belong to that one.
                    bool later = false;
                    for (int j = i + 1; j < count; ++j)
                        later |= OnPicture(j, frame.left + x, frame.top + y);
                    if (!later && shown.At(frame.left + x, frame.top + y) != expected.At(x, y))
                        ++mismatches;
                }
            }
            EXPECT_EQ(0, mismatches);
        }
    }
    // Whether the note sign stands at (x, y) of the page.
    bool NoteAt(const Picture &shown, int x, int y)
    {
        const Picture &note = Resource(IDB_NOTE);
        if (x < 0 || y < 0 || x + note.width > shown.width || y + note.height > shown.height)
            return false;
        for (int dy = 0; dy < note.height; ++dy)
            for (int dx = 0; dx < note.width; ++dx)
                if (shown.At(x + dx, y + dy) != note.At(dx, dy))
                    return false;
        return true;
    }

    TempFolder folder_;
    char previous_[MAX_PATH] = "";
    HWND panel_ = nullptr;
    HWND page_ = nullptr;
    Picture resources_[IDB_NOTE - IDB_SPEAKER_FL + 1];
};

// --- The layout choice against the driver's limits -----------------------------

struct LayoutCase {
    int configured; // the driver layout the card was left with (0: another configuration)
    Limits limits;
    int checked;          // the radio button shown checked
    DWORD stored;         // the card's speaker configuration afterwards
    bool fourEnabled, sixEnabled;
};

// The card's configuration for the driver layouts a table row names: the
// four layouts as the program writes them, and a configuration of another kind.
void Configure(int layout)
{
    if (layout == 0) {
        IDirectSound *ds = nullptr;
        ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &ds, nullptr));
        ds->SetSpeakerConfig(DSSPEAKER_SURROUND);
        ds->Release();
    } else {
        ASSERT_TRUE(WriteSpeakerLayout(static_cast<uint8_t>(layout)));
    }
}

} // namespace

TEST_F(GeneralPageTest, ShowsTheLayoutWithinTheDriversLimits)
{
    const int kOther = 0;
    const DWORD kStereo = DSSPEAKER_STEREO, kQuad = DSSPEAKER_QUAD, k51 = DSSPEAKER_5POINT1,
                kSurround = DSSPEAKER_SURROUND;
    // "Stereo X 2" and any configuration but quad and 5.1 read as two speakers.
    const LayoutCase cases[] = {
        {2, kMax2, IDC_LAYOUT_2, kStereo, false, false},
        {2, kMax4, IDC_LAYOUT_2, kStereo, true, false},
        {2, kMax6, IDC_LAYOUT_2, kStereo, true, true},
        {2, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false},
        {2, kNoKey, IDC_LAYOUT_2, kStereo, false, false},
        {3, kMax2, IDC_LAYOUT_2, kStereo, false, false},
        {3, kMax4, IDC_LAYOUT_2, kStereo, true, false},
        {3, kMax6, IDC_LAYOUT_2, kStereo, true, true},
        {3, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false},
        {3, kNoKey, IDC_LAYOUT_2, kStereo, false, false},
        {4, kMax2, IDC_LAYOUT_2, kStereo, false, false}, // clamped
        {4, kMax4, IDC_LAYOUT_4, kQuad, true, false},
        {4, kMax6, IDC_LAYOUT_4, kQuad, true, true},
        {4, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false}, // clamped
        {4, kNoKey, IDC_LAYOUT_4, kQuad, true, false},
        {6, kMax2, IDC_LAYOUT_2, kStereo, false, false}, // clamped
        {6, kMax4, IDC_LAYOUT_4, kQuad, true, false},    // clamped
        {6, kMax6, IDC_LAYOUT_6, k51, true, true},
        {6, kKeyWithoutValues, IDC_LAYOUT_2, kStereo, false, false}, // clamped
        {6, kNoKey, IDC_LAYOUT_6, k51, true, true},
        {kOther, kMax2, IDC_LAYOUT_2, kSurround, false, false},
        {kOther, kMax4, IDC_LAYOUT_2, kSurround, true, false},
        {kOther, kMax6, IDC_LAYOUT_2, kSurround, true, true},
        {kOther, kKeyWithoutValues, IDC_LAYOUT_2, kSurround, false, false},
        {kOther, kNoKey, IDC_LAYOUT_2, kSurround, false, false},
    };
    for (const LayoutCase &c : cases) {
        for (DWORD stereoX2 : {0u, 1u}) {
            SCOPED_TRACE(testing::Message() << "layout " << c.configured << ", " << LimitsName(c.limits)
                                            << ", Stereo X 2 " << stereoX2);
            Configure(c.configured);
            SetLimits(c.limits, stereoX2);
            // Without the driver key an earlier read's permission stands.
            stereoX2Allowed = static_cast<uint8_t>(stereoX2);
            Open();
            EXPECT_EQ(c.checked, CheckedLayoutButton());
            EXPECT_EQ(c.stored, VcSpeakerConfig(0));
            EXPECT_TRUE(Enabled(IDC_LAYOUT_2));
            EXPECT_EQ(c.fourEnabled, Enabled(IDC_LAYOUT_4));
            EXPECT_EQ(c.sixEnabled, Enabled(IDC_LAYOUT_6));
            bool x2Expected = c.limits == kKeyWithoutValues ? false : stereoX2 != 0;
            EXPECT_EQ(x2Expected, Enabled(IDC_LAYOUT_STEREO_X2));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)));
            DestroyWindow(page_);
            page_ = nullptr;
        }
    }
}

TEST_F(GeneralPageTest, AChosenLayoutIsWrittenOnApplyAndStereoX2ReadsBackAsTwoSpeakers)
{
    SetLimits(kMax6, 1);
    Open();
    Click(IDC_LAYOUT_6);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel_, IDC_APPLY)));
    EXPECT_EQ(DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0)); // nothing written before Apply
    Apply();
    EXPECT_EQ(DWORD(DSSPEAKER_5POINT1), VcSpeakerConfig(0));
    EXPECT_EQ(IDC_LAYOUT_6, CheckedLayoutButton());

    Click(IDC_LAYOUT_STEREO_X2);
    Apply();
    EXPECT_EQ(DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0));
    EXPECT_EQ(IDC_LAYOUT_2, CheckedLayoutButton());
    EXPECT_EQ(2, generalPage.layout);
}

TEST_F(GeneralPageTest, AnUnappliedChoiceIsLostWhenThePageIsShownAgainButTakenOnDestruction)
{
    SetLimits(kMax6, 1);
    Open();
    Click(IDC_LAYOUT_4);
    DestroyWindow(page_); // another tab
    page_ = nullptr;
    EXPECT_EQ(4, generalPage.layout);
    // OK pressed on the other tab writes what the page took.
    generalPage.WriteToDriver(nullptr, nullptr);
    EXPECT_EQ(DWORD(DSSPEAKER_QUAD), VcSpeakerConfig(0));

    SetCardConfig(DSSPEAKER_STEREO);
    Open();
    Click(IDC_LAYOUT_6);
    DestroyWindow(page_);
    page_ = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_GENERAL), panel_, GeneralPageProc,
                               reinterpret_cast<LPARAM>(&generalPage));
    EXPECT_EQ(IDC_LAYOUT_2, CheckedLayoutButton());
}

TEST_F(GeneralPageTest, TheDriverIsWrittenOnlyWhenTheLayoutDiffersFromWhatItHolds)
{
    SetLimits(kMax6, 0);
    WriteSpeakerLayout(4);
    Open();
    VcLogClear();
    Apply(); // unchanged: four speakers
    EXPECT_EQ(VcLogCount(), VcLogFind("ds.speaker.set"));
    EXPECT_EQ(DWORD(DSSPEAKER_QUAD), VcSpeakerConfig(0));
}

// --- Pictures, hand cursor and clicks ------------------------------------------

namespace {

// The sounds played so far: the file each one's data came from, and its mask.
struct Play {
    std::string file;
    DWORD mask;
    bool operator==(const Play &other) const { return file == other.file && mask == other.mask; }
};

std::ostream &operator<<(std::ostream &out, const Play &play)
{
    char mask[16];
    snprintf(mask, sizeof mask, "0x%lx", static_cast<unsigned long>(play.mask));
    return out << play.file << " at " << mask;
}

// The channel masks of the platform's speaker positions.
const DWORD kFL = 0x1, kFR = 0x2, kC = 0x4, kSub = 0x8, kRL = 0x10, kRR = 0x20;

} // namespace

class GeneralPageSpeakers : public GeneralPageTest {
protected:
    // The page showing a layout the card holds, its speaker limit 6.
    void OpenWith(int layout)
    {
        SetLimits(kMax6, 1);
        ASSERT_TRUE(WriteSpeakerLayout(static_cast<uint8_t>(layout)));
        Open();
        VcLogClear();
    }
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
                if (WaveDataChecksum(folder_.File(file), &fileCrc, &size) &&
                    fileCrc == strtoul(crc, nullptr, 16))
                    play.file = file;
            }
            plays.push_back(play);
        }
        return plays;
    }
    // Handles what is queued now (the posted command), no timer tick.
    void DispatchPending()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    bool HandOver(int index)
    {
        return CursorOver(index) == TRUE &&
               GetCursor() == LoadCursorA(appInstance, MAKEINTRESOURCEA(IDCUR_HAND));
    }
    // Where the note sign stands beside a speaker's frame.
    POINT NotePlace(int index)
    {
        RECT frame = FramePixels(index);
        int width = Resource(IDB_NOTE).width;
        POINT p = {index == 1 || index == 3 ? frame.left - width : frame.right, (frame.top + frame.bottom) / 2};
        return p;
    }
    // The speakers marked with the note sign now.
    std::vector<int> Marked()
    {
        Picture shown = Render(page_);
        std::vector<int> marked;
        for (int i = 0; i < 6; ++i) {
            POINT p = NotePlace(i);
            if (NoteAt(shown, p.x, p.y))
                marked.push_back(i);
        }
        return marked;
    }
    // The pictured speakers that answer the mouse with the hand.
    std::vector<int> WithHand()
    {
        std::vector<int> hands;
        for (int i = 0; i < 6; ++i)
            if (HandOver(i))
                hands.push_back(i);
        return hands;
    }
};

TEST_F(GeneralPageSpeakers, PicturesCursorAndClicksFollowTheShownLayoutNotTheClickedButton)
{
    OpenWith(2);
    ExpectPictured(2);
    EXPECT_EQ((std::vector<int>{0, 1}), WithHand());
    EXPECT_EQ(FALSE, CursorOver(2));
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), GetCursor()); // the default one stays
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

    Click(IDC_LAYOUT_4);
    Apply();
    ExpectPictured(4);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), WithHand());
}

TEST_F(GeneralPageSpeakers, AClickedSpeakerPlaysAloneMarkedByTheNoteSign)
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
        ExpectPictured(6); // the sign's place is painted over again
    }
}

TEST_F(GeneralPageSpeakers, TestAllPlaysThePicturedSpeakersInTurnAndAPressMeanwhileStopsIt)
{
    OpenWith(4);
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"fleft.wav", kFL}, {"fright.wav", kFR}, {"rleft.wav", kRL},
                                 {"rright.wav", kRR}}),
              Plays());

    VcLogClear();
    Click(IDC_LAYOUT_2);
    Apply();
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"left.wav", kFL}, {"right.wav", kFR}}), Plays());

    Click(IDC_LAYOUT_6);
    Apply();
    VcSetPlayTimePercent(100);
    VcLogClear();
    Click(IDC_TEST_ALL);
    ASSERT_EQ(1, testPlaying);
    Click(IDC_TEST_ALL); // a stop request, not a new start
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"fleft.wav", kFL}}), Plays());
    EXPECT_EQ(0, testIndex);
    EXPECT_EQ(0, VcLiveBuffers());

    VcSetPlayTimePercent(5);
    VcLogClear();
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    ASSERT_EQ(6u, Plays().size());
    EXPECT_EQ((Play{"fleft.wav", kFL}), Plays()[0]);
    EXPECT_EQ((Play{"subw.wav", kSub}), Plays()[5]);
}

// "Stereo X 2" is only ever shown when the card cannot say what it holds: a
// read never yields it. Its rear speakers repeat the front ones' sounds.
TEST_F(GeneralPageSpeakers, StereoX2PicturesFourSpeakersWhoseRearRepeatTheFront)
{
    OpenWith(2);
    Click(IDC_LAYOUT_STEREO_X2);
    VcFailCall("GetSpeakerConfig", 0, DSERR_GENERIC);
    Apply();
    EXPECT_EQ(DWORD(DSSPEAKER_STEREO), VcSpeakerConfig(0));
    ExpectPictured(4);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), WithHand());

    VcSetPlayTimePercent(100);
    VcLogClear();
    ClickSpeaker(2); // rear left
    DispatchPending();
    EXPECT_EQ((std::vector<int>{0, 2}), Marked());
    RunUntilIdle();
    ClickSpeaker(3); // rear right
    DispatchPending();
    EXPECT_EQ((std::vector<int>{1, 3}), Marked());
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"left.wav", kFL}, {"right.wav", kFR}}), Plays());

    // The sequence ends after the two sounds; it does not go on to the rear.
    VcSetPlayTimePercent(5);
    VcLogClear();
    StderrCapture errors;
    Click(IDC_TEST_ALL);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"left.wav", kFL}, {"right.wav", kFR}}), Plays());
    EXPECT_EQ("", errors.Text());
    VcClearFaults();
}

TEST_F(GeneralPageSpeakers, TheReleaseEndingAContextHelpClickStartsNoTest)
{
    OpenWith(2);
    HELPINFO help = {sizeof help, HELPINFO_WINDOW, 0, page_, 0, {0, 0}};
    SendMessageA(panel_, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    ClickSpeaker(0, false); // help mode took the press; the release reaches the page
    RunUntilIdle();
    EXPECT_TRUE(Plays().empty());
    ClickSpeaker(1);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"right.wav", kFR}}), Plays());
}

TEST_F(GeneralPageSpeakers, ThePageGoingAwayEndsARunningTest)
{
    OpenWith(6);
    VcSetPlayTimePercent(100);
    Click(IDC_TEST_ALL);
    ASSERT_EQ(1, testPlaying);
    ASSERT_EQ(1, VcPlayingBuffers());
    DestroyWindow(page_);
    page_ = nullptr;
    EXPECT_EQ(0, testPlaying);
    EXPECT_EQ(0, testIndex);
    EXPECT_EQ(0, testEnd);
    EXPECT_EQ(0, VcLiveBuffers());
    EXPECT_EQ(0, VcLiveDirectSounds());
    EXPECT_NE(VcLogCount(), VcLogFind("buf.stop"));
    Pump(250); // no tick is left to play on
    EXPECT_EQ(1u, Plays().size());

    VcSetPlayTimePercent(5);
    Open();
    VcLogClear();
    ClickSpeaker(4);
    RunUntilIdle();
    EXPECT_EQ((std::vector<Play>{{"center.wav", kC}}), Plays());
}
