// A program linked against dsound the ordinary way: run through Wine's DLL
// loading it must find the card as the control panel does, open the driver
// connection (a hardware 3D buffer and its property set), route the buffer to
// one speaker and play it to its end. Exit code 0 when all of that held, else
// the number of the first step that failed.
#include <windows.h>
#include <dsound.h>

#include <string.h>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Wine's own DirectSound has no device of the card's description.
BOOL CALLBACK FindCard(LPGUID guid, LPCSTR description, LPCSTR, LPVOID card)
{
    if (guid && strcmp(description, "Sonaris PCI Audio") == 0)
        *static_cast<GUID *>(card) = *guid;
    return TRUE;
}

} // namespace

int main()
{
    GUID card = GUID_NULL;
    IDirectSound *ds = nullptr;
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    DSBUFFERDESC d = {sizeof(DSBUFFERDESC1), 0x8094, 8820, 0, &format};   // hardware 3D, 200 ms
    IDirectSoundBuffer *buffer = nullptr;
    IKsPropertySet *ks = nullptr;
    LONG frontLeft = 0x1;
    DWORD status = 0;
    if (DirectSoundEnumerateA(FindCard, &card) != DS_OK || IsEqualGUID(card, GUID_NULL) ||
        DirectSoundCreate(&card, &ds, nullptr) != DS_OK ||
        ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_NORMAL) != DS_OK)
        return 1;   // the card is not enumerated, or does not open
    if (ds->CreateSoundBuffer(&d, &buffer, nullptr) != DS_OK ||
        buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)) != S_OK ||
        ks->Set(kAudioSet, 3, nullptr, 0, &frontLeft, sizeof frontLeft) != S_OK)
        return 2;   // no hardware 3D buffer routed through its property set
    if (buffer->Play(0, 0, 0) != DS_OK || buffer->GetStatus(&status) != DS_OK || !(status & DSBSTATUS_PLAYING))
        return 3;   // not playing
    for (int polls = 0; (status & DSBSTATUS_PLAYING) && polls < 20 && buffer->GetStatus(&status) == DS_OK; ++polls)
        Sleep(100);
    if (status & DSBSTATUS_PLAYING)
        return 4;   // still playing
    ks->Release();
    buffer->Release();
    ds->Release();
    return 0;
}
