// A program linked against dsound the ordinary way, run with the card's
// dsound.dll next to it and the DLL override set: it must find the card as
// the control panel does. Enumerates, opens a driver connection (hardware 3D
// buffer and property-set interface), reads and writes every driver property,
// routes a buffer to one speaker and plays it until it has stopped.
// Exit code 0 when everything held; each failure is printed.
#include <windows.h>
#include <dsound.h>

#include <stdio.h>
#include <string.h>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID kQ3DSet = {0x7CA99CA0, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};
const GUID kEffectSet = {0x7CA99CA1, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};
const ULONG kChannelConfig = 3;

int failures = 0;

void Check(bool ok, const char *what, HRESULT hr = S_OK)
{
    printf("%s: %s (0x%08lx)\n", ok ? "ok" : "FAILED", what, static_cast<unsigned long>(hr));
    if (!ok)
        ++failures;
}

struct Found {
    int entries;
    bool primaryFirst;
    bool haveCard;
    GUID card;
};

BOOL CALLBACK OnDevice(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context)
{
    Found *f = static_cast<Found *>(context);
    printf("device %d: %s \"%s\" \"%s\"\n", f->entries, guid ? "guid" : "null", description, module);
    if (f->entries == 0)
        f->primaryFirst = guid == nullptr && strcmp(description, "Primary Sound Driver") == 0;
    else if (guid && !f->haveCard) {
        f->haveCard = true;
        f->card = *guid;
    }
    ++f->entries;
    return TRUE;
}

WAVEFORMATEX MonoPcm()
{
    WAVEFORMATEX f = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    return f;
}

// The driver's properties: set, id, size.
struct Property {
    const GUID *set;
    ULONG id;
    ULONG size;
};
const Property kProperties[] = {
    {&kQ3DSet, 0, 4}, {&kQ3DSet, 2, 4}, {&kQ3DSet, 5, 4}, {&kQ3DSet, 6, 4},
    {&kQ3DSet, 7, 4}, {&kQ3DSet, 11, 4}, {&kQ3DSet, 12, 8}, {&kEffectSet, 0, 4},
    {&kEffectSet, 1, 4}, {&kEffectSet, 3, 4}, {&kEffectSet, 4, 4}, {&kEffectSet, 5, 4},
    {&kEffectSet, 8, 4}, {&kEffectSet, 9, 4}, {&kEffectSet, 10, 4},
};

void ReadAndWriteEveryProperty(IKsPropertySet *ks)
{
    DWORD block[9] = {1, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const Property &p : kProperties) {
        bool effect = p.set == &kEffectSet;
        DWORD before[2] = {}, value[2], after[2] = {};
        ULONG got = 0;
        char what[80];
        snprintf(what, sizeof what, "%s property %lu", effect ? "effect" : "Q3D",
                 static_cast<unsigned long>(p.id));
        HRESULT hr = ks->Get(*p.set, p.id, nullptr, 0, before, p.size, &got);
        Check(hr == S_OK && got == p.size, what, hr);
        value[0] = before[0] ^ 0x55;
        value[1] = before[1] ^ 0xAA;
        hr = ks->Set(*p.set, p.id, effect ? block : nullptr, effect ? sizeof block : 0, value, p.size);
        Check(hr == S_OK, what, hr);
        hr = ks->Get(*p.set, p.id, nullptr, 0, after, p.size, &got);
        Check(hr == S_OK && memcmp(after, value, p.size) == 0, what, hr);
    }
}

void RouteAndPlay(IDirectSound *ds)
{
    WAVEFORMATEX format = MonoPcm();
    DSBUFFERDESC d = {sizeof(DSBUFFERDESC1), 0x8094, 8820, 0, &format};   // 200 ms
    IDirectSoundBuffer *buffer = nullptr;
    HRESULT hr = ds->CreateSoundBuffer(&d, &buffer, nullptr);
    Check(hr == DS_OK, "test sound buffer", hr);
    if (!buffer)
        return;
    void *p1, *p2;
    DWORD n1, n2;
    hr = buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
    Check(hr == DS_OK && n1 == 8820, "lock", hr);
    if (hr == DS_OK) {
        short *samples = static_cast<short *>(p1);
        for (DWORD i = 0; i < n1 / 2; ++i)   // a square wave of about 440 Hz
            samples[i] = (i / 25) % 2 ? 8000 : -8000;
        buffer->Unlock(p1, n1, p2, n2);
    }
    IKsPropertySet *ks = nullptr;
    hr = buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks));
    Check(hr == S_OK, "property set of the test sound", hr);
    if (ks) {
        ULONG support = 0;
        hr = ks->QuerySupport(kAudioSet, kChannelConfig, &support);
        Check(hr == S_OK && (support & KSPROPERTY_SUPPORT_SET), "channel configuration support", hr);
        LONG mask = 0x1;   // front left
        hr = ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &mask, sizeof mask);
        Check(hr == S_OK, "route to front left", hr);
        ks->Release();
    }
    hr = buffer->Play(0, 0, 0);
    Check(hr == DS_OK, "play", hr);
    DWORD status = 0;
    hr = buffer->GetStatus(&status);
    Check(hr == DS_OK && (status & DSBSTATUS_PLAYING), "playing", hr);
    int polls = 0;
    while (hr == DS_OK && (status & DSBSTATUS_PLAYING) && polls < 100) {
        Sleep(100);
        ++polls;
        hr = buffer->GetStatus(&status);
    }
    printf("stopped after %d polls\n", polls);
    Check(hr == DS_OK && !(status & DSBSTATUS_PLAYING) && polls >= 1 && polls < 20,
          "stopped by itself", hr);
    buffer->Release();
}

} // namespace

int main()
{
    // The DLL that answers must be the one next to this program.
    Found found = {};
    HRESULT hr = DirectSoundEnumerateA(OnDevice, &found);
    Check(hr == DS_OK, "DirectSoundEnumerateA", hr);
    char self[MAX_PATH], loaded[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    GetModuleFileNameA(GetModuleHandleA("dsound.dll"), loaded, sizeof loaded);
    char *slash = strrchr(self, '\\');
    if (slash)
        slash[1] = '\0';
    printf("dsound.dll: %s\n", loaded);
    Check(_strnicmp(self, loaded, strlen(self)) == 0, "the card's dsound.dll is loaded");
    Check(found.primaryFirst, "primary driver entry first");
    Check(found.haveCard, "a device with its own GUID");
    if (!found.haveCard)
        return 1;

    HWND window = CreateWindowExA(0, "STATIC", "", WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    IDirectSound *ds = nullptr;
    hr = DirectSoundCreate(&found.card, &ds, nullptr);
    Check(hr == DS_OK, "DirectSoundCreate", hr);
    if (!ds)
        return 1;
    hr = ds->SetCooperativeLevel(window, DSSCL_NORMAL);
    Check(hr == DS_OK, "SetCooperativeLevel", hr);

    // The driver connection's buffer.
    WAVEFORMATEX format = MonoPcm();
    DSBUFFERDESC d = {sizeof(DSBUFFERDESC1), DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D, 1024, 0, &format};
    IDirectSoundBuffer *buffer = nullptr;
    hr = ds->CreateSoundBuffer(&d, &buffer, nullptr);
    Check(hr == DS_OK, "hardware 3D buffer", hr);
    IKsPropertySet *ks = nullptr;
    if (buffer) {
        hr = buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks));
        Check(hr == S_OK, "IKsPropertySet", hr);
        buffer->Release();
    }
    if (ks) {
        ReadAndWriteEveryProperty(ks);
        ks->Release();
    }
    RouteAndPlay(ds);
    ds->Release();
    DestroyWindow(window);
    printf("%d failed\n", failures);
    return failures ? 1 : 0;
}
