// The speaker-test engine and the wave loader, driven from a window of the
// test's own, with the virtual card playing its sounds faster than real time.
#include "capture.h"
#include "waves.h"

#include "app/app.h"
#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

namespace {

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == kSpeakerTestTimer) {
        PollSpeakerTest(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Played {
    std::string mask;
    std::string crc;
};

class Engine : public testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        VcReset();
        VcSetPlayTimePercent(5);
        CopyTestWaves(folder_);
        GetCurrentDirectoryA(sizeof previous_, previous_);
        SetCurrentDirectoryA(folder_.Path().c_str());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PageProc;
        wc.hInstance = appInstance;
        wc.lpszClassName = "EngineTestPage";
        RegisterClassA(&wc);
        page_ = CreateWindowExA(0, "EngineTestPage", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                appInstance, nullptr);
        testIndex = testEnd = testPlaying = 0;
    }
    void TearDown() override
    {
        if (IsWindow(page_))
            DestroyWindow(page_);
        EndSpeakerTest();
        SetCurrentDirectoryA(previous_);
        EXPECT_EQ(0, VcLiveDirectSounds());
        EXPECT_EQ(0, VcLiveBuffers());
        EXPECT_EQ(0, VcLivePropertySets());
        VcReset();
    }
    // Runs the page's messages until the engine is idle or ten seconds pass.
    void RunUntilIdle()
    {
        DWORD start = GetTickCount();
        while ((testPlaying || testSound || testBuffer) && GetTickCount() - start < 10000) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            Sleep(5);
        }
    }
    std::vector<Played> Plays()
    {
        std::vector<Played> plays;
        for (size_t i = VcLogFind("buf.play"); i < VcLogCount(); i = VcLogFind("buf.play", i + 1)) {
            char mask[32] = "", crc[32] = "";
            VcLogField(VcLogLine(i), "mask", mask, sizeof mask);
            VcLogField(VcLogLine(i), "crc", crc, sizeof crc);
            plays.push_back({mask, crc});
        }
        return plays;
    }
    std::string CrcOf(const char *file)
    {
        uint32_t crc = 0, size = 0;
        EXPECT_TRUE(WaveDataChecksum(folder_.File(file), &crc, &size)) << file;
        char text[16];
        snprintf(text, sizeof text, "0x%08x", crc);
        return text;
    }
    void ExpectPlayed(const std::vector<std::pair<const char *, const char *>> &expected)
    {
        std::vector<Played> plays = Plays();
        ASSERT_EQ(expected.size(), plays.size());
        for (size_t i = 0; i < plays.size(); ++i) {
            SCOPED_TRACE(expected[i].first);
            EXPECT_EQ(expected[i].second, plays[i].mask);
            EXPECT_EQ(CrcOf(expected[i].first), plays[i].crc);
        }
    }

    TempFolder folder_;
    char previous_[MAX_PATH];
    HWND page_ = nullptr;
};

TEST_F(Engine, TestAllOnSixSpeakersPlaysEachSpeakerInTurnOnItsOwnSpeaker)
{
    shownLayout = 6;
    testIndex = 0;
    testEnd = 6;
    ToggleSpeakerTest(page_);
    EXPECT_EQ(1, testPlaying);
    RunUntilIdle();
    ExpectPlayed({{"fleft.wav", "0x1"}, {"fright.wav", "0x2"}, {"rleft.wav", "0x10"},
                  {"rright.wav", "0x20"}, {"center.wav", "0x4"}, {"subw.wav", "0x8"}});
    EXPECT_EQ(0, testIndex);
    EXPECT_EQ(0, testEnd);
    EXPECT_EQ(0, testPlaying);
}

TEST_F(Engine, ASingleSpeakerPlaysOnceAndAPressWhilePlayingStopsAtTheNextTick)
{
    shownLayout = 6;
    testIndex = testEnd = 4;
    ToggleSpeakerTest(page_);
    RunUntilIdle();
    ExpectPlayed({{"center.wav", "0x4"}});

    VcSetPlayTimePercent(100); // long enough to be stopped
    VcLogClear();
    testIndex = 0;
    testEnd = 6;
    ToggleSpeakerTest(page_);
    ASSERT_EQ(1, testPlaying);
    ToggleSpeakerTest(page_); // the press: a stop request, no new sound
    EXPECT_EQ(0, testPlaying);
    EXPECT_NE(nullptr, testBuffer); // held until the tick
    RunUntilIdle();
    EXPECT_EQ(1u, Plays().size());
    EXPECT_LT(VcLogFind("buf.stop"), VcLogCount());
    EXPECT_EQ(0, testIndex);
    EXPECT_EQ(0, testEnd);
}

TEST_F(Engine, AMissingFileEndsTheSequenceAfterTheSoundsBeforeIt)
{
    DeleteFileA(folder_.File("rleft.wav").c_str());
    StderrCapture err;
    shownLayout = 6;
    testIndex = 0;
    testEnd = 6;
    ToggleSpeakerTest(page_);
    RunUntilIdle();
    ExpectPlayed({{"fleft.wav", "0x1"}, {"fright.wav", "0x2"}});
    EXPECT_EQ(0, testPlaying);
    EXPECT_EQ("Could not load rleft.wav\n", err.Text());
}

TEST_F(Engine, EndSpeakerTestTearsDownASoundWhosePageIsGone)
{
    VcSetPlayTimePercent(100);
    shownLayout = 6;
    testIndex = 0;
    testEnd = 6;
    ToggleSpeakerTest(page_);
    ASSERT_EQ(1, VcPlayingBuffers());
    ToggleSpeakerTest(page_);
    DestroyWindow(page_);
    EndSpeakerTest();
    EXPECT_EQ(nullptr, testBuffer);
    EXPECT_EQ(nullptr, testSound);
    EXPECT_EQ(0, testPlaying);
    EXPECT_EQ(0, testIndex);
    EXPECT_EQ(0, testEnd);
    EXPECT_EQ(0, VcPlayingBuffers());
}

TEST_F(Engine, DiagnosticsOfFailingStepsLeaveTheEngineIdle)
{
    shownLayout = 6;
    {
        StderrCapture err;
        VcFailCall("DirectSoundCreate", 1, DSERR_NODRIVER);
        ToggleSpeakerTest(page_);
        EXPECT_EQ("Could not open DirectSound\n", err.Text());
    }
    {
        StderrCapture err;
        VcFailCall("SetCooperativeLevel", 1, DSERR_INVALIDCALL);
        ToggleSpeakerTest(page_);
        EXPECT_EQ("SetCooperativeLevel failed (88780032)\n", err.Text());
    }
    EXPECT_EQ(0, testPlaying);
    EXPECT_EQ(nullptr, testSound);
    {
        // Routing refused: the sound plays all the same, unrouted.
        StderrCapture err;
        VcFailCall("Set", 1, E_INVALIDARG);
        testIndex = testEnd = 1;
        ToggleSpeakerTest(page_);
        RunUntilIdle();
        EXPECT_EQ("Set failed\n", err.Text());
        EXPECT_EQ(1u, Plays().size());
    }
}

TEST_F(Engine, TheHiddenWindowClassIsUnregisteredOnlyWhenTheEngineRegisteredIt)
{
    WNDCLASSA info;
    shownLayout = 6;
    testIndex = testEnd = 0;
    ToggleSpeakerTest(page_);
    RunUntilIdle();
    EXPECT_FALSE(GetClassInfoA(appInstance, "TestSpeakers", &info));

    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = appInstance;
    wc.lpszClassName = "TestSpeakers";
    ASSERT_TRUE(RegisterClassA(&wc));
    VcLogClear();
    ToggleSpeakerTest(page_);
    RunUntilIdle();
    EXPECT_EQ(1u, Plays().size()); // the window was made from the existing class
    EXPECT_TRUE(GetClassInfoA(appInstance, "TestSpeakers", &info));
    UnregisterClassA("TestSpeakers", appInstance);
}

// --- The wave loader ----------------------------------------------------------

class Loader : public Engine {
protected:
    void SetUp() override
    {
        Engine::SetUp();
        ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound_, nullptr));
        sound_->SetCooperativeLevel(page_, DSSCL_NORMAL);
    }
    void TearDown() override
    {
        sound_->Release();
        Engine::TearDown();
    }
    IDirectSoundBuffer *Load(const std::string &bytes)
    {
        folder_.Write("test.wav", bytes.data(), bytes.size());
        return LoadWaveBuffer(sound_, "test.wav");
    }
    IDirectSound *sound_ = nullptr;
};

TEST_F(Loader, LoadsAWellFormedFileIntoAHardware3DBuffer)
{
    IDirectSoundBuffer *buffer = LoadWaveBuffer(sound_, "fleft.wav");
    ASSERT_NE(nullptr, buffer);
    size_t line = VcLogFind("ds.buffer");
    char flags[16] = "";
    VcLogField(VcLogLine(line), "flags", flags, sizeof flags);
    EXPECT_STREQ("0x8094", flags);
    buffer->Release();
    EXPECT_EQ(nullptr, LoadWaveBuffer(sound_, "nosuch.wav"));
}

TEST_F(Loader, BrokenFilesDoNotLoadAndLeaveNothingBehind)
{
    const char samples[64] = {1, 2, 3};
    const char shortFormat[6] = {1, 0, 1, 0};
    struct Case {
        const char *what;
        std::string bytes;
    };
    const Case cases[] = {
        {"no WAVE form", RiffBuilder("AVI ").PcmFormat().Chunk("data", samples, 64).Bytes()},
        {"no fmt", RiffBuilder().Chunk("data", samples, 64).Bytes()},
        {"data before fmt", RiffBuilder().Chunk("data", samples, 64).PcmFormat().Bytes()},
        {"short fmt", RiffBuilder().Chunk("fmt ", shortFormat, sizeof shortFormat).Chunk("data", samples, 64).Bytes()},
        {"huge fmt", RiffBuilder().Chunk("fmt ", samples, 16, 0x7FFFFFF0).Bytes()},
        {"stereo", RiffBuilder().PcmFormat(2).Chunk("data", samples, 64).Bytes()},
        {"truncated", std::string("RIFF\x20\0\0\0WAVEfmt ", 16)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(nullptr, Load(c.bytes));
        EXPECT_EQ(0, VcLiveBuffers());
    }
}

TEST_F(Loader, ADataChunkLongerThanTheFileGivesABufferOfTheDeclaredSize)
{
    char samples[100];
    memset(samples, 0x5A, sizeof samples);
    IDirectSoundBuffer *buffer = Load(RiffBuilder().PcmFormat().Chunk("data", samples, 100, 4000).Bytes());
    ASSERT_NE(nullptr, buffer);
    void *data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(DS_OK, buffer->Lock(0, 0, &data, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
    EXPECT_EQ(4000u, size);
    EXPECT_EQ(0, memcmp(data, samples, sizeof samples));
    buffer->Unlock(data, size, nullptr, 0);
    buffer->Release();
}

TEST_F(Loader, AFailedLockReleasesTheBuffer)
{
    VcFailCall("Lock", 1, DSERR_BUFFERLOST);
    EXPECT_EQ(nullptr, LoadWaveBuffer(sound_, "fleft.wav"));
    EXPECT_EQ(0, VcLiveBuffers());
}

} // namespace
