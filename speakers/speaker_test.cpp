#include "speakers/speaker_test.h"

#include "app/app.h"
#include "app/format.h"
#include "panel/driver.h"

#include <ks.h>
#include <ksmedia.h>
#include <stdio.h>
#include <string.h>

int testIndex = 0;
int testEnd = 0;
int testPlaying = 0;
IDirectSound *testSound = nullptr;
IDirectSoundBuffer *testBuffer = nullptr;
int shownLayout = 0;

const GUID KsPropSetIdAudio = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const DWORD kSpeakerMasks[6] = {
    SPEAKER_FRONT_LEFT, SPEAKER_FRONT_RIGHT, SPEAKER_BACK_LEFT,
    SPEAKER_BACK_RIGHT, SPEAKER_FRONT_CENTER, SPEAKER_LOW_FREQUENCY,
};

namespace {

// The rear speakers come before centre and subwoofer, so "Test All" plays the
// front pair, the rear pair, then centre and subwoofer.
const char *const kSixSpeakerFiles[6] = {
    "fleft.wav", "fright.wav", "rleft.wav", "rright.wav", "center.wav", "subw.wav",
};
const char *const kStereoFiles[6] = {"left.wav", "right.wav", nullptr, nullptr, nullptr, nullptr};

void ReleaseTestSound()
{
    if (testBuffer) {
        testBuffer->Stop();
        testBuffer->Release();
        testBuffer = nullptr;
    }
    if (testSound) {
        testSound->Release();
        testSound = nullptr;
    }
}

} // namespace

void HiddenWindow::Create(const char *name, WNDPROC procedure, HINSTANCE module, void *parameter)
{
    className = name;
    instance = module;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = module;
    wc.lpszClassName = name;
    // Fails when the class is still registered; the window is made from it anyway.
    atom = RegisterClassA(&wc);
    window = CreateWindowExA(0, name, "", WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr, module, parameter);
}

void HiddenWindow::Destroy()
{
    if (window)
        DestroyWindow(window);
    window = nullptr;
    if (atom)
        UnregisterClassA(className, instance);
    atom = 0;
}

LRESULT CALLBACK TestSpeakersProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

namespace {

// The whole "fmt " chunk the file holds, in a block of its own size (at
// least a whole WAVEFORMATEX, zero past what was read, so that DirectSound
// never reads beyond it), claiming extra format bytes only as far as the
// chunk has them. Null when the file ends before the chunk does. The caller
// frees the block with HeapFree.
WAVEFORMATEX *ReadFormatChunk(HMMIO file, const MMCKINFO &chunk)
{
    LONG end = mmioSeek(file, 0, SEEK_END);
    if (end < 0 || mmioSeek(file, static_cast<LONG>(chunk.dwDataOffset), SEEK_SET) < 0 ||
        chunk.cksize > static_cast<DWORD>(end) - chunk.dwDataOffset)
        return nullptr;
    LONG size = static_cast<LONG>(chunk.cksize);
    SIZE_T room = chunk.cksize > sizeof(WAVEFORMATEX) ? chunk.cksize : sizeof(WAVEFORMATEX);
    WAVEFORMATEX *format = static_cast<WAVEFORMATEX *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, room));
    if (!format)
        return nullptr;
    if (mmioRead(file, reinterpret_cast<HPSTR>(format), size) != size) {
        HeapFree(GetProcessHeap(), 0, format);
        return nullptr;
    }
    LONG extra = size - static_cast<LONG>(sizeof(WAVEFORMATEX));
    if (extra < 0)
        format->cbSize = 0;
    else if (format->cbSize > extra)
        format->cbSize = static_cast<WORD>(extra);
    return format;
}

} // namespace

IDirectSoundBuffer *LoadWaveBuffer(IDirectSound *sound, const char *fileName)
{
    // mmioOpenA takes a writable name buffer.
    char name[MAX_PATH];
    lstrcpynA(name, fileName, sizeof name);
    HMMIO file = mmioOpenA(name, nullptr, MMIO_READ);
    if (!file)
        return nullptr;

    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
        mmioClose(file, 0);
        return nullptr;
    }
    MMCKINFO chunk = {};
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        mmioClose(file, 0);
        return nullptr;
    }
    WAVEFORMATEX *format = ReadFormatChunk(file, chunk);
    if (!format) {
        mmioClose(file, 0);
        return nullptr;
    }
    mmioAscend(file, &chunk, 0);

    chunk = MMCKINFO{};
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    IDirectSoundBuffer *buffer = nullptr;
    if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR) {
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof(DSBUFFERDESC1); // the first form, without the 3D algorithm
        desc.dwFlags = DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS;
        desc.dwBufferBytes = chunk.cksize;
        desc.lpwfxFormat = format;
        if (FAILED(sound->CreateSoundBuffer(&desc, &buffer, nullptr)))
            buffer = nullptr;
    }
    const int silence = format->wBitsPerSample == 8 ? 0x80 : 0; // unsigned 8-bit samples, signed 16-bit ones
    HeapFree(GetProcessHeap(), 0, format);
    if (!buffer) {
        mmioClose(file, 0);
        return nullptr;
    }

    void *data = nullptr;
    DWORD size = 0;
    if (FAILED(buffer->Lock(0, 0, &data, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER)) || !data) {
        buffer->Release();
        mmioClose(file, 0);
        return nullptr;
    }
    // A "data" chunk longer than the file: DirectSound's memory holds no
    // silence of its own, so what the file cannot fill is silenced here.
    LONG got = mmioRead(file, static_cast<HPSTR>(data), static_cast<LONG>(size));
    DWORD filled = got > 0 ? static_cast<DWORD>(got) : 0;
    memset(static_cast<BYTE *>(data) + filled, silence, size - filled);
    buffer->Unlock(data, size, nullptr, 0);

    mmioAscend(file, &chunk, 0);
    mmioClose(file, 0);
    return buffer;
}

HRESULT RouteBuffer(IDirectSoundBuffer *buffer, DWORD mask, bool *hasPropertySet)
{
    IKsPropertySet *propertySet = nullptr;
    *hasPropertySet = false;
    if (FAILED(buffer->QueryInterface(IKsPropertySetId, reinterpret_cast<void **>(&propertySet))) ||
        !propertySet)
        return E_NOINTERFACE;
    *hasPropertySet = true;
    HRESULT hr = propertySet->Set(KsPropSetIdAudio, KSPROPERTY_AUDIO_CHANNEL_CONFIG, nullptr, 0,
                                  &mask, sizeof mask);
    propertySet->Release();
    return hr;
}

void ToggleSpeakerTest(HWND page)
{
    if (testPlaying) {
        testPlaying = 0; // the next tick stops and releases the sound
        return;
    }
    if (testBuffer || testSound) {
        // A stop was asked for less than a tick ago: finish it now.
        KillTimer(page, kSpeakerTestTimer);
        ReleaseTestSound();
    }
    if (FAILED(DirectSoundCreate(nullptr, &testSound, nullptr)) || !testSound) {
        testSound = nullptr;
        fputs("Could not open DirectSound\n", stderr);
        return;
    }

    HiddenWindow hidden = {};
    hidden.Create("TestSpeakers", TestSpeakersProc, appInstance, nullptr);
    HRESULT hr = testSound->SetCooperativeLevel(hidden.window, DSSCL_NORMAL);
    if (FAILED(hr)) {
        PrintDiagnostic("SetCooperativeLevel failed (%lx)\n", static_cast<unsigned long>(hr));
        hidden.Destroy();
        testSound->Release();
        testSound = nullptr;
        return;
    }

    const char *const *files = (shownLayout == 2 || shownLayout == 3) ? kStereoFiles : kSixSpeakerFiles;
    const char *file = testIndex >= 0 && testIndex < 6 ? files[testIndex] : nullptr;
    testBuffer = file ? LoadWaveBuffer(testSound, file) : nullptr;
    if (!testBuffer) {
        PrintDiagnostic("Could not load %s\n", file ? file : "");
        hidden.Destroy();
        testSound->Release();
        testSound = nullptr;
        return;
    }

    testPlaying = 1;
    InvalidateRect(page, nullptr, FALSE);

    bool routable;
    if (FAILED(RouteBuffer(testBuffer, kSpeakerMasks[testIndex], &routable)) && routable)
        fputs("Set failed\n", stderr);

    SetTimer(page, kSpeakerTestTimer, kSpeakerTestPeriod, nullptr);
    testBuffer->Play(0, 0, 0);
    // The buffer has global focus: it plays on without the window.
    hidden.Destroy();
}

void PollSpeakerTest(HWND page)
{
    DWORD status = 0;
    bool finished = !testBuffer || FAILED(testBuffer->GetStatus(&status)) || !(status & DSBSTATUS_PLAYING);
    if (testPlaying && !finished)
        return;

    KillTimer(page, kSpeakerTestTimer);
    ReleaseTestSound();
    ++testIndex;
    if (testPlaying && testIndex < testEnd) {
        testPlaying = 0;
        ToggleSpeakerTest(page);
    } else {
        testPlaying = 0;
        testIndex = 0;
        testEnd = 0;
    }
    InvalidateRect(page, nullptr, TRUE);
}

void EndSpeakerTest()
{
    ReleaseTestSound();
    testPlaying = 0;
    testIndex = 0;
    testEnd = 0;
}
