// The speaker-test engine's failures and the wave loader, with the virtual
// card playing faster than real time.
// The sequences themselves are checked where the General page plays them.
#include "capture.h"
#include "waves.h"

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
        CopyTestWaves(folder_);
        GetCurrentDirectoryA(sizeof previous_, previous_);
        SetCurrentDirectoryA(folder_.Path().c_str());
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
        SetCurrentDirectoryA(previous_);
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets());
        VcReset();
    }
    IDirectSoundBuffer *Load(const std::string &bytes)
    {
        folder_.Write("test.wav", bytes.data(), bytes.size());
        return LoadWaveBuffer(sound_, "test.wav");
    }

    TempFolder folder_;
    char previous_[MAX_PATH];
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
            DeleteFileA(folder_.File("rleft.wav").c_str());
        testEnd = 6;
        ToggleSpeakerTest(page_);
        EXPECT_EQ(step.plays != 0, testSound != nullptr);
        // Polled as the page's timer would, until idle or ten seconds pass.
        for (DWORD start = GetTickCount(); (testPlaying || testSound) && GetTickCount() - start < 10000; Sleep(5))
            PollSpeakerTest(page_);
        EXPECT_EQ(step.line, err.Text());
        size_t plays = 0;
        for (size_t i = VcLogFind("buf.play"); i < VcLogCount(); i = VcLogFind("buf.play", i + 1))
            ++plays;
        EXPECT_EQ(step.plays, plays);
        EXPECT_EQ(0, testPlaying);
    }
}

using Loader = Engine;

TEST_F(Loader, BrokenFilesDoNotLoadAndLeaveNothingBehind)
{
    // Starts with a whole format block: PCM, mono, 22050 Hz, 16 bits.
    const BYTE samples[300] = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16};
    const std::string cases[] = {
        RiffBuilder("AVI ").PcmFormat().Chunk("data", samples, 64).Bytes(),
        RiffBuilder().Chunk("data", samples, 64).Bytes(),              // no format
        RiffBuilder().Chunk("data", samples, 64).PcmFormat().Bytes(), // data before the format
        RiffBuilder().Chunk("fmt ", samples, 6).Chunk("data", samples, 64).Bytes(),
        RiffBuilder().Chunk("fmt ", samples, 300).Chunk("data", samples, 64).Bytes(), // larger than 256 bytes
        RiffBuilder().PcmFormat(2).Chunk("data", samples, 64).Bytes(), // stereo: no 3D buffer
        std::string("RIFF\x20\0\0\0WAVEfmt ", 16),                     // truncated
    };
    for (const std::string &bytes : cases) {
        SCOPED_TRACE(&bytes - cases);
        EXPECT_EQ(nullptr, Load(bytes));
        EXPECT_EQ(0, VcLiveBuffers());
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
