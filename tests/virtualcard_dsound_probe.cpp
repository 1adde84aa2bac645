// A program linked against dsound the ordinary way: run through Wine's DLL
// loading, it must find the card as the control panel does. It enumerates,
// opens the driver connection (hardware 3D buffer and its property set),
// writes and reads one driver property, routes a buffer to one speaker and
// plays it to its end. Exit code 0 when everything held; failures are printed.
#include <windows.h>
#include <dsound.h>

#include <stdio.h>
#include <string.h>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID kQ3DSet = {0x7CA99CA0, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};

int failures = 0;

bool Check(bool ok, const char *what)
{
    printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    failures += !ok;
    return ok;
}

// The card: the device with its description (Wine's own DirectSound has none such).
BOOL CALLBACK FindCard(LPGUID guid, LPCSTR description, LPCSTR, LPVOID card)
{
    if (guid && strcmp(description, "Sonaris PCI Audio") == 0)
        *static_cast<GUID *>(card) = *guid;
    return TRUE;
}

// A mono buffer and its property set, or null.
IKsPropertySet *Buffer(IDirectSound *ds, DWORD flags, DWORD bytes, IDirectSoundBuffer **buffer)
{
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    DSBUFFERDESC d = {sizeof(DSBUFFERDESC1), flags, bytes, 0, &format};
    IKsPropertySet *ks = nullptr;
    if (Check(ds->CreateSoundBuffer(&d, buffer, nullptr) == DS_OK, "buffer"))
        (*buffer)->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks));
    Check(ks != nullptr, "its property set");
    return ks;
}

} // namespace

int main()
{
    GUID card = GUID_NULL;
    IDirectSound *ds = nullptr;
    if (!Check(DirectSoundEnumerateA(FindCard, &card) == DS_OK && !IsEqualGUID(card, GUID_NULL),
               "the card's device is enumerated") ||
        !Check(DirectSoundCreate(&card, &ds, nullptr) == DS_OK, "DirectSoundCreate"))
        return 1;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    Check(ds->SetCooperativeLevel(window, DSSCL_NORMAL) == DS_OK, "SetCooperativeLevel");

    IDirectSoundBuffer *buffer = nullptr;
    if (IKsPropertySet *ks = Buffer(ds, DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D, 1024, &buffer)) {
        DWORD environment[2] = {3, 7}, read[2] = {};
        ULONG got = 0;
        Check(ks->Set(kQ3DSet, 12, nullptr, 0, environment, sizeof environment) == S_OK &&
                  ks->Get(kQ3DSet, 12, nullptr, 0, read, sizeof read, &got) == S_OK && got == 8 &&
                  read[0] == 3 && read[1] == 7,
              "a driver property written and read back");
        ks->Release();
        buffer->Release();
    }
    if (IKsPropertySet *ks = Buffer(ds, 0x8094, 8820, &buffer)) {   // 200 ms
        LONG frontLeft = 0x1;
        DWORD status = 0;
        Check(ks->Set(kAudioSet, 3, nullptr, 0, &frontLeft, sizeof frontLeft) == S_OK, "routed to front left");
        ks->Release();
        Check(buffer->Play(0, 0, 0) == DS_OK && buffer->GetStatus(&status) == DS_OK &&
                  (status & DSBSTATUS_PLAYING), "playing");
        int polls = 0;
        while (buffer->GetStatus(&status) == DS_OK && (status & DSBSTATUS_PLAYING) && polls < 100) {
            Sleep(100);
            ++polls;
        }
        Check(!(status & DSBSTATUS_PLAYING) && polls >= 1 && polls < 20, "stopped by itself");
        buffer->Release();
    }
    ds->Release();
    DestroyWindow(window);
    printf("%d failed\n", failures);
    return failures ? 1 : 0;
}
