// The speaker-test engine's steps and failures, its hidden window and the
// wave loader, with the virtual card playing faster than real time.
// The sequences themselves are checked where the General page plays them.
#include "harness.h"

#include "app/app.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

class Engine : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        VcReset();
        VcSetPlayTimePercent(5);
        page_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        shownLayout = 6;
        testIndex = testEnd = testPlaying = 0;
        ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound_, nullptr));
    }
    void TearDown() override
    {
        DestroyWindow(page_);
        EndSpeakerTest();
        if (sound_)
            sound_->Release();
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets() + VcUsesAfterRelease());
        VcReset();
    }
    IDirectSoundBuffer *Load(const std::string &bytes)
    {
        folder_.Write("test.wav", bytes);
        return LoadWaveBuffer(sound_, "test.wav");
    }
    // Polled as the page's timer would, until idle or ten seconds pass.
    void RunUntilIdle()
    {
        for (DWORD start = GetTickCount(); (testPlaying || testSound) && GetTickCount() - start < 10000; Sleep(5))
            PollSpeakerTest(page_);
    }
    static size_t Plays(size_t from = 0) { return Trace(from, {"buf.play"}).size(); }

    WaveFolder folder_;
    HWND page_ = nullptr;
    IDirectSound *sound_ = nullptr;
};

// Test All on six speakers, with one step failing.
TEST_F(Engine, AFailingStepEndsTheSequenceWithItsDiagnosticButARefusedRouteDoesNot)
{
    const struct {
        const char *method; // null: the third speaker's file is missing
        HRESULT result;
        const char *line;
        size_t plays;
    } steps[] = {
        {"DirectSoundCreate", DSERR_NODRIVER, "Could not open DirectSound\n", 0},
        {"SetCooperativeLevel", DSERR_INVALIDCALL, "SetCooperativeLevel failed (88780032)\n", 0},
        {"Set", E_INVALIDARG, "Set failed\n", 6},
        {nullptr, 0, "Could not load rleft.wav\n", 2},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.line);
        VcLogClear();
        StderrCapture err;
        if (step.method)
            VcFailCall(step.method, 1, step.result);
        else
            folder_.Remove("rleft.wav");
        testEnd = 6;
        ToggleSpeakerTest(page_);
        EXPECT_EQ(step.plays != 0, testSound != nullptr);
        RunUntilIdle();
        EXPECT_EQ(step.line, err.Text());
        EXPECT_EQ(step.plays, Plays());
        EXPECT_EQ(0, testPlaying);
    }
}

// A status that cannot be read counts as the sound's end: a single sound
// goes idle, a sequence goes on with the next speaker.
TEST_F(Engine, AFailedStatusEndsTheSoundAndASequenceGoesOn)
{
    VcSetPlayTimePercent(100);
    for (int sequence : {0, 1}) {
        SCOPED_TRACE(sequence);
        size_t from = VcLogCount();
        testIndex = 0;
        testEnd = sequence ? 2 : 0;
        VcFailCall("GetStatus", 1, DSERR_GENERIC);
        ToggleSpeakerTest(page_);
        PollSpeakerTest(page_);
        EXPECT_EQ(sequence, testPlaying);
        EXPECT_EQ(sequence, testIndex);
        EXPECT_EQ(std::vector<std::string>{"buf.stop hr=0x00000000"}, Trace(from, {"buf.stop"}));
        EXPECT_EQ(size_t(1 + sequence), Plays(from));
        EndSpeakerTest();
    }
}

// A stop request leaves the sound to the next tick; a start meanwhile ends
// it at once, and the start plays the speaker the caller chose.
TEST_F(Engine, AStartWhileAStoppedSoundIsHeldEndsItFirstAndAStopClearsTheSequence)
{
    VcSetPlayTimePercent(100);
    testEnd = 6;
    ToggleSpeakerTest(page_);
    ToggleSpeakerTest(page_); // a stop request: the sound is still held
    EXPECT_EQ(0, testPlaying);
    ASSERT_NE(nullptr, testBuffer);
    size_t from = VcLogCount();
    testIndex = testEnd = 4;
    ToggleSpeakerTest(page_);
    const std::vector<std::string> expected = {"buf.stop hr=0x00000000", "buf.release", "ds.release buffers=0",
                                               "ds.create dev=0"};
    EXPECT_EQ(expected, Trace(from, {"buf.stop", "buf.release", "ds.release", "ds.create"}));
    EXPECT_NE(std::string::npos, Trace(from, {"buf.play"}).at(0).find("mask=0x4 "));
    EXPECT_EQ(1, testPlaying);
    EXPECT_EQ(4, testIndex);
    ToggleSpeakerTest(page_);
    PollSpeakerTest(page_);
    EXPECT_EQ(0, testIndex + testEnd + testPlaying);
    EXPECT_EQ(nullptr, testSound);
}

// The hidden window as it was asked for, gone once the sound has started;
// a class that was already there stays registered.
struct CreatedWindow {
    DWORD exStyle, style;
    std::string className, title;
    int x, y, width, height;
    HWND parent;
    HMENU menu;
    HINSTANCE instance;
    void *parameter;
};
std::vector<CreatedWindow> created;
ImportHook *createHook;
HWND WINAPI RecordCreate(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                         int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    created.push_back({exStyle, style, className, title, x, y, width, height, parent, menu, instance, parameter});
    return createHook->Original<decltype(&CreateWindowExA)>()(exStyle, className, title, style, x, y, width, height,
                                                               parent, menu, instance, parameter);
}

TEST_F(Engine, TheHiddenWindowIsADisabledTopLevelWindowOfItsOwnClassUntilTheSoundStarts)
{
    ImportHook hook("user32.dll", "CreateWindowExA", reinterpret_cast<const void *>(RecordCreate));
    createHook = &hook;
    WNDCLASSA existing = {};
    existing.lpfnWndProc = DefWindowProcA;
    existing.hInstance = appInstance;
    existing.lpszClassName = "TestSpeakers";
    for (bool registered : {false, true}) {
        SCOPED_TRACE(registered);
        created.clear();
        if (registered)
            ASSERT_NE(0, RegisterClassA(&existing));
        ToggleSpeakerTest(page_);
        ASSERT_EQ(1u, created.size());
        const CreatedWindow &w = created[0];
        EXPECT_EQ("TestSpeakers", w.className);
        EXPECT_EQ("", w.title);
        EXPECT_EQ(0u, w.exStyle);
        EXPECT_EQ(DWORD(WS_DISABLED), w.style);
        EXPECT_EQ(0, w.x | w.y | w.width | w.height);
        EXPECT_TRUE(!w.parent && !w.menu && !w.parameter);
        EXPECT_EQ(appInstance, w.instance);
        EXPECT_NE(VcLogCount(), VcLogFind("ds.coop"));
        EXPECT_EQ(nullptr, FindWindowA("TestSpeakers", nullptr));
        WNDCLASSA found;
        EXPECT_EQ(registered, GetClassInfoA(appInstance, "TestSpeakers", &found) != 0);
        RunUntilIdle();
    }
    UnregisterClassA("TestSpeakers", appInstance);
}

using Loader = Engine;

// Starts with a whole format block: PCM, mono, 22050 Hz, 16 bits.
const BYTE kSamples[300] = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16};

TEST_F(Loader, BrokenFilesDoNotLoadAndLeaveNothingBehind)
{
    const std::string cases[] = {
        RiffBuilder("AVI ").PcmFormat().Chunk("data", kSamples, 64).Bytes(),
        RiffBuilder().Chunk("data", kSamples, 64).Bytes(),              // no format
        RiffBuilder().Chunk("data", kSamples, 64).PcmFormat().Bytes(), // data before the format
        RiffBuilder().Chunk("fmt ", kSamples, 6).Chunk("data", kSamples, 64).Bytes(), // no whole format
        RiffBuilder().PcmFormat(2).Chunk("data", kSamples, 64).Bytes(), // stereo: no 3D buffer
        std::string("RIFF\x20\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0", 20),  // the format cut short
        RiffBuilder().Chunk("fmt ", kSamples, 16, 0x7FFFFFF0).Bytes(), // a format larger than the file
    };
    for (const std::string &bytes : cases) {
        SCOPED_TRACE(&bytes - cases);
        EXPECT_EQ(nullptr, Load(bytes));
        EXPECT_EQ(0, VcLiveBuffers());
    }
}

// A format chunk larger than a format needs is legal: it loads, and the
// extra bytes the format claims never exceed those the chunk holds.
TEST_F(Loader, ALargerFormatChunkLoadsAndClaimsNoMoreThanItHolds)
{
    const struct { DWORD chunk; WORD claimed, given; } cases[] = {
        {16, 0, 0}, {18, 200, 0}, {22, 100, 4}, {22, 2, 2}, {300, 0, 0}, {300, 500, 282},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chunk);
        BYTE format[300];
        memcpy(format, kSamples, sizeof format);
        memcpy(format + 16, &c.claimed, 2);
        size_t from = VcLogCount();
        IDirectSoundBuffer *buffer = Load(RiffBuilder().Chunk("fmt ", format, c.chunk).Chunk("data", kSamples, 64).Bytes());
        ASSERT_NE(nullptr, buffer);
        buffer->Release();
        EXPECT_NE(std::string::npos, Trace(from, {"ds.buffer"}).at(0).find(" extra=" + std::to_string(c.given) + " "));
    }
}

TEST_F(Loader, ADataChunkLongerThanTheFileGivesAGlobalHardware3DBufferOfTheDeclaredSize)
{
    char samples[100];
    memset(samples, 0x5A, sizeof samples);
    IDirectSoundBuffer *buffer = Load(RiffBuilder().PcmFormat().Chunk("data", samples, 100, 4000).Bytes());
    ASSERT_NE(nullptr, buffer);
    EXPECT_NE(nullptr, strstr(VcLogLine(VcLogFind("ds.buffer")), " flags=0x8094 "));
    void *data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(DS_OK, buffer->Lock(0, 0, &data, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
    EXPECT_EQ(4000u, size);
    EXPECT_EQ(0, memcmp(data, samples, sizeof samples));
    buffer->Unlock(data, size, nullptr, 0);
    buffer->Release();

    VcFailCall("Lock", 1, DSERR_BUFFERLOST); // a failed Lock releases the buffer
    EXPECT_EQ(nullptr, LoadWaveBuffer(sound_, "fleft.wav"));
}

} // namespace
