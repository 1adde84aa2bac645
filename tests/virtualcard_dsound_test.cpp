// The virtual card's DirectSound refuses what DirectSound and the card's
// driver refuse, with their codes, so that the product's tests pass only for
// calls the platform takes: the sizes, flags and lifetimes no product test
// would notice if the card grew lax. What the card does with calls it takes
// is seen by the product's own tests.
#include "harness.h"

#include <dsound.h>

#include <functional>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const HRESULT kUnsupported = static_cast<HRESULT>(0x80070490);
const DWORD kHardware3D = DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D, kDesc1 = sizeof(DSBUFFERDESC1);
DWORD block[9] = {1}; // the effect set's instance data

// A 1024-byte 16-bit buffer, kept in *out when asked for.
HRESULT Buffer(IDirectSound *sound, DWORD size, DWORD flags, WORD channels = 1, IDirectSoundBuffer **out = nullptr,
               WORD align = 0, DWORD bytes = 1024, DWORD reserved = 0, const GUID &algorithm = GUID_NULL)
{
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, 22050, 44100u * channels, WORD(align ? align : 2 * channels), 16, 0};
    DSBUFFERDESC d = {size, flags, bytes, reserved, &format, algorithm};
    IDirectSoundBuffer *buffer = nullptr;
    HRESULT hr = sound->CreateSoundBuffer(&d, &buffer, nullptr);
    if (out)
        *out = buffer;
    else if (buffer)
        buffer->Release();
    return hr;
}

TEST(VirtualCard, RefusesWhatDirectSoundAndTheDriverRefuse)
{
    IDirectSound *card = nullptr, *plain = nullptr; // the card, and a device without hardware buffers
    GUID guids[2] = {VcDefaultDeviceGuid(0), VcDefaultDeviceGuid(1)};
    ASSERT_TRUE(DirectSoundCreate(&guids[0], &card, nullptr) == DS_OK && DirectSoundCreate(&guids[1], &plain, nullptr) == DS_OK);
    IDirectSoundBuffer *buffer = nullptr;
    IKsPropertySet *ks = nullptr;
    ASSERT_EQ(DS_OK, Buffer(card, kDesc1, kHardware3D, 1, &buffer));
    ASSERT_EQ(S_OK, buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)));
    DWORD value[3] = {}, geometry = DSSPEAKER_COMBINED(DSSPEAKER_STEREO, 2);
    ULONG got = 0;
    void *p1, *p2;
    const struct { const char *what; HRESULT expected; std::function<HRESULT()> call; } rows[] = {
        {"description size", DSERR_INVALIDPARAM, [&] { return Buffer(card, kDesc1 + 4, 0); }},
        {"reserved word", DSERR_INVALIDPARAM, [&] { return Buffer(card, kDesc1, 0, 1, nullptr, 0, 1024, 1); }},
        {"3D algorithm without 3D", DSERR_INVALIDPARAM, [&] { return Buffer(card, sizeof(DSBUFFERDESC), 0, 1, nullptr, 0, 1024, 0, kAudioSet); }},
        {"unknown flag", DSERR_INVALIDPARAM, [&] { return Buffer(card, kDesc1, 0x80000000); }},
        {"hardware and software", DSERR_INVALIDPARAM, [&] { return Buffer(card, kDesc1, DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE); }},
        {"3D in stereo", DSERR_INVALIDPARAM, [&] { return Buffer(card, kDesc1, kHardware3D, 2); }},
        {"block alignment", DSERR_BADFORMAT, [&] { return Buffer(card, kDesc1, 0, 1, nullptr, 4); }},
        {"buffer bytes", DSERR_INVALIDPARAM, [&] { return Buffer(card, kDesc1, 0, 1, nullptr, 0, 2); }},
        {"no hardware there", DSERR_CONTROLUNAVAIL, [&] { return Buffer(plain, kDesc1, DSBCAPS_LOCHARDWARE); }},
        {"speaker geometry", DSERR_INVALIDPARAM, [&] { return card->SetSpeakerConfig(geometry); }},
        {"lock flags", DSERR_INVALIDPARAM, [&] { return buffer->Lock(0, 4, &p1, &got, &p2, value, 0x80); }},
        {"new memory is no silence", S_OK, [&] { return buffer->Lock(0, 2, &p1, &got, nullptr, nullptr, 0) || memcmp(p1, "\x5A\xA5", 2) ? E_FAIL : buffer->Unlock(p1, 2, nullptr, 0); }},
        {"channel mask with instance", DSERR_INVALIDPARAM, [&] { return ks->Set(kAudioSet, 3, block, sizeof block, value, 4); }},
        {"channel mask size", DSERR_INVALIDPARAM, [&] { return ks->Set(kAudioSet, 3, nullptr, 0, value, 8); }},
        {"channel mask read size", DSERR_INVALIDPARAM, [&] { return ks->Get(kAudioSet, 3, nullptr, 0, value, 8, &got); }},
        {"no returned length", E_POINTER, [&] { return ks->Get(kAudioSet, 3, nullptr, 0, value, 4, nullptr); }},
        {"effect read with instance", DSERR_INVALIDPARAM,
         [&] { return ks->Get(VcQ3DEffectPropertySet, 5, block, sizeof block, value, 4, &got); }},
        {"unknown Q3D id", kUnsupported, [&] { return ks->Set(VcQ3DPropertySet, 1, nullptr, 0, value, 4); }},
        {"effect block's first word", DSERR_INVALIDPARAM, [&] { DWORD zero[9] = {}; return ks->Set(VcQ3DEffectPropertySet, 5, zero, sizeof zero, value, 4); }},
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.expected, r.call()) << r.what;

    // Each property of the driver's two sets takes its own size only; the
    // effect set is written with its instance block only.
    const struct { const GUID *set; ULONG id, size; } properties[] = {
        {&VcQ3DPropertySet, 0, 4},        {&VcQ3DPropertySet, 2, 4},        {&VcQ3DPropertySet, 5, 4},
        {&VcQ3DPropertySet, 6, 4},        {&VcQ3DPropertySet, 7, 4},        {&VcQ3DPropertySet, 11, 4},
        {&VcQ3DPropertySet, 12, 8},       {&VcQ3DEffectPropertySet, 0, 4},  {&VcQ3DEffectPropertySet, 1, 4},
        {&VcQ3DEffectPropertySet, 3, 4},  {&VcQ3DEffectPropertySet, 4, 4},  {&VcQ3DEffectPropertySet, 5, 4},
        {&VcQ3DEffectPropertySet, 8, 4},  {&VcQ3DEffectPropertySet, 9, 4},  {&VcQ3DEffectPropertySet, 10, 4}};
    for (const auto &p : properties) {
        bool effect = p.set == &VcQ3DEffectPropertySet;
        void *instance = effect ? block : nullptr;
        ULONG length = effect ? sizeof block : 0;
        EXPECT_EQ(DSERR_INVALIDPARAM, ks->Set(*p.set, p.id, instance, length, value, p.size + 4)) << p.id;
        EXPECT_EQ(DSERR_INVALIDPARAM, ks->Get(*p.set, p.id, nullptr, 0, value, p.size - 1, &got)) << p.id;
        EXPECT_EQ(effect ? DSERR_INVALIDPARAM : S_OK, ks->Set(*p.set, p.id, nullptr, 0, value, p.size)) << p.id;
        EXPECT_EQ(S_OK, ks->Set(*p.set, p.id, instance, length, value, p.size)) << p.id;
    }

    // Lifetimes: a call after the final release fails and is counted every
    // time; a DirectSound object takes its buffers with it.
    EXPECT_EQ(0u, buffer->Release()); // each interface counts its own references
    EXPECT_EQ(0u, ks->Release());
    EXPECT_EQ(E_UNEXPECTED, ks->QuerySupport(kAudioSet, 3, &got));
    EXPECT_EQ(E_UNEXPECTED, buffer->GetStatus(value));
    IDirectSoundBuffer *held = nullptr;
    ASSERT_EQ(DS_OK, Buffer(card, kDesc1, kHardware3D, 1, &held));
    EXPECT_EQ(0u, card->Release());
    EXPECT_EQ(0u, plain->Release());
    EXPECT_EQ(E_UNEXPECTED, held->GetStatus(value));
    EXPECT_EQ(3, VcUsesAfterRelease());
    VcReset(); // those uses were the test's own
}

} // namespace
