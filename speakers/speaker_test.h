// The speaker-test engine: a spoken test sound in a hardware DirectSound
// buffer routed to one speaker, watched on a 100 ms timer of the page; and
// its building blocks, the wave loader and the hidden window.
#ifndef VTPANEL_SPEAKERS_SPEAKER_TEST_H
#define VTPANEL_SPEAKERS_SPEAKER_TEST_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

// The page's timer that polls a playing test sound.
const UINT_PTR kSpeakerTestTimer = 3;
const UINT kSpeakerTestPeriod = 100;

extern int testIndex;   // speaker (0..5) whose sound is to play or plays
extern int testEnd;     // a sequence goes on while testIndex is below this
extern int testPlaying; // 1 while a sound plays; clearing it asks for a stop
extern IDirectSound *testSound;
extern IDirectSoundBuffer *testBuffer;
extern int shownLayout; // layout whose speakers the General page shows

// The platform's audio property set, home of the channel configuration.
extern const GUID KsPropSetIdAudio;

// Speaker-position mask of each speaker index.
extern const DWORD kSpeakerMasks[6];

// A window of a class of its own, for DirectSound's cooperative level.
struct HiddenWindow {
    ATOM atom;             // 0 when the class could not be registered
    const char *className; // not owned
    HWND window;
    HINSTANCE instance;

    void Create(const char *name, WNDPROC procedure, HINSTANCE module, void *parameter);
    void Destroy();
};

// The "TestSpeakers" window's procedure.
LRESULT CALLBACK TestSpeakersProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Reads a RIFF/WAVE file, found by the multimedia file layer's search, into a
// new hardware 3D buffer owned by the caller; null when it cannot.
IDirectSoundBuffer *LoadWaveBuffer(IDirectSound *sound, const char *fileName);

// Routes a buffer to the speakers of mask through the channel configuration.
HRESULT RouteBuffer(IDirectSoundBuffer *buffer, DWORD mask, bool *hasPropertySet);

void ToggleSpeakerTest(HWND page);
void PollSpeakerTest(HWND page);
void EndSpeakerTest();

#endif
