// The speaker-test engine's failures and its steps, and what the wave
// corpus leaves open of the loader, with the virtual card playing
// faster than real time. The sequences themselves are checked where the
// General page plays them.
#include "harness.h"

#include "app/app.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vclog.h"

namespace {

// The timers the engine sets: "id period", on the page or elsewhere.
std::vector<std::string> timers;
HWND timedPage;
ImportHook *setTimer;

UINT_PTR WINAPI RecordTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure)
{
    timers.push_back(std::to_string(id) + " " + std::to_string(period) + (window == timedPage ? "" : " elsewhere"));
    return setTimer->Original<decltype(&SetTimer)>()(window, id, period, procedure);
}

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
    }
    void TearDown() override
    {
        DestroyWindow(page_);
        EndSpeakerTest();
    }
    static size_t Plays(size_t from = 0) { return Trace(from, {"buf.play"}).size(); }

    WaveFolder folder_;
    HWND page_ = nullptr;
};

// Test All on six speakers, with one step failing.
TEST_F(Engine, AFailingStepEndsTheSequenceWithItsDiagnosticButARefusedRouteDoesNot)
{
    const struct {
        const char *method; // null: the third speaker's file is missing
        HRESULT result;     // for HeapAlloc: which of the loader's blocks is refused
        const char *line;
        size_t plays;
    } steps[] = {
        {"DirectSoundCreate", DSERR_NODRIVER, "Could not open DirectSound\n", 0},
        {"SetCooperativeLevel", DSERR_INVALIDCALL, "SetCooperativeLevel failed (88780032)\n", 0},
        {"Set", E_INVALIDARG, "Set failed\n", 6},
        {"QueryInterface", E_NOINTERFACE, "", 6}, // the first sound played unrouted
        {"HeapAlloc", 3, "Could not load rleft.wav\n", 2},
        {nullptr, 0, "Could not load rleft.wav\n", 2},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.line);
        VcLogClear();
        StderrCapture err;
        const bool heap = step.method && strcmp(step.method, "HeapAlloc") == 0;
        HeapRefusal refusal(heap ? step.result : 0);
        if (!step.method)
            folder_.Remove("rleft.wav");
        else if (!heap)
            VcFailCall(step.method, 1, step.result);
        testIndex = 0, testEnd = 6;
        ToggleSpeakerTest(page_);
        EXPECT_EQ(step.plays != 0, testSound != nullptr);
        // Polled as the page's timer would, until idle.
        ASSERT_TRUE(WaitFor([&] { PollSpeakerTest(page_); return !testPlaying && !testSound; }, 5000));
        EXPECT_EQ(std::make_pair(std::string(step.line), step.plays), std::make_pair(err.Text(), Plays()));
    }
}

// A status that cannot be read, or one of a lost buffer (which does not
// play), counts as the sound's end: a single sound goes idle, a sequence
// goes on with the next speaker.
TEST_F(Engine, AFailedStatusEndsTheSoundAndASequenceGoesOn)
{
    VcSetPlayTimePercent(100);
    for (int run : {0, 1, 2, 3}) {
        const int sequence = run & 1;
        SCOPED_TRACE(run);
        size_t from = VcLogCount();
        testIndex = 0;
        testEnd = sequence ? 2 : 0;
        run & 2 ? VcBendCall("GetStatus", 1, VcBufferLost) : VcFailCall("GetStatus", 1, DSERR_GENERIC);
        ToggleSpeakerTest(page_);
        PollSpeakerTest(page_);
        EXPECT_TRUE(testPlaying == sequence && testIndex == sequence);
        EXPECT_EQ(std::vector<std::string>{"buf.stop hr=0x00000000"}, Trace(from, {"buf.stop"}));
        EXPECT_EQ(size_t(1 + sequence), Plays(from));
        EndSpeakerTest(); // as the page's end does: nothing held, nothing left to play
        EXPECT_TRUE(!testPlaying && !testIndex && !testEnd && !testSound && !testBuffer);
    }
}

// A sound is polled by the page's timer 3. A stop request leaves the sound
// to the next tick; a start meanwhile ends it at once and plays the speaker the caller chose, through a DirectSound
// object of its own at the normal level for the hidden window (a disabled
// top-level window of its own class), gone once the sound has started.
TEST_F(Engine, AStartWhileAStoppedSoundIsHeldEndsItFirstAndAStopClearsTheSequence)
{
    VcSetPlayTimePercent(100);
    testEnd = 6;
    timedPage = page_;
    ImportHook hook = HOOK("user32.dll", SetTimer, RecordTimer);
    setTimer = &hook;
    ToggleSpeakerTest(page_);
    EXPECT_EQ(std::vector<std::string>{"3 100"}, timers); // polled every 100 ms
    ToggleSpeakerTest(page_); // a stop request: the sound is still held
    EXPECT_EQ(0, testPlaying);
    ASSERT_NE(nullptr, testBuffer);
    size_t from = VcLogCount();
    testIndex = testEnd = 4;
    ToggleSpeakerTest(page_);
    const std::vector<std::string> expected = {"buf.stop hr=0x00000000", "buf.release", "ds.release buffers=0",
        "ds.create dev=0", "ds.coop class=\"TestSpeakers\" style=0xcc00000 exstyle=0x100 level=1 hr=0x00000000"};
    EXPECT_EQ(expected, Trace(from, {"buf.stop", "buf.release", "ds.release", "ds.create", "ds.coop"}));
    EXPECT_TRUE(!FindWindowA("TestSpeakers", nullptr) && Trace(from, {"buf.play"}).at(0).find("mask=0x4 ") != std::string::npos);
    EXPECT_TRUE(testPlaying == 1 && testIndex == 4);
    ToggleSpeakerTest(page_);
    PollSpeakerTest(page_);
    EXPECT_TRUE(!testIndex && !testEnd && !testPlaying && !testSound);
    EXPECT_FALSE(KillTimer(page_, 3)); // the last poll ended its timer
}

// What the wave corpus leaves open: a format chunk larger than a format
// needs loads, its format claiming the extra bytes it says it has as far as
// it holds them. (A data chunk longer than the file is the corpus's.)
TEST_F(Engine, TheLoaderTakesWhatTheChunksSayAsFarAsTheFileHoldsIt)
{
    auto format = [](WORD claimed) { // PCM, mono, 22050 Hz, 16 bits, then claimed extra bytes
        std::string bytes("\1\0\1\0\x22\x56\0\0\x44\xAC\0\0\2\0\x10\0", 16);
        return bytes + std::string(reinterpret_cast<const char *>(&claimed), 2) + std::string(282, '\0');
    };
    const std::string samples(100, 'Z');
    const struct { std::string file; const char *bytes, *extra; } cases[] = {
        {RiffBuilder().Chunk("fmt ", format(2).data(), 22).Chunk("data", samples.data(), 64).Bytes(), "64", "2"},
        {RiffBuilder().Chunk("fmt ", format(500).data(), 300).Chunk("data", samples.data(), 64).Bytes(), "64", "282"},
    };
    IDirectSound *sound = nullptr;
    ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound, nullptr));
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        folder_.Write("test.wav", c.file);
        size_t from = VcLogCount();
        IDirectSoundBuffer *buffer = LoadWaveBuffer(sound, "test.wav");
        ASSERT_NE(nullptr, buffer);
        const std::string made = Trace(from, {"ds.buffer"}).at(0);
        EXPECT_EQ(std::string(c.bytes) + " " + c.extra, Field(made, "bytes") + " " + Field(made, "extra"));
        buffer->Release();
    }
    sound->Release();
}

} // namespace
