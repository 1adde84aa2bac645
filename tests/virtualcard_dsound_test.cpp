// The virtual card's DirectSound as the program relies on it: enumeration,
// DirectSound's own rules, the card's property sets, state that outlives a
// process, live-object counts and fault injection.
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <dsound.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const ULONG kChannelConfig = 3;
const HRESULT kPropIdUnsupported = static_cast<HRESULT>(0x80070490);
const HRESULT kPropSetUnsupported = static_cast<HRESULT>(0x80070492);
const GUID kDefaultPlayback = {0xDEF00000, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};
// Speaker positions of a channel configuration.
const LONG SPEAKER_FRONT_LEFT = 0x1, SPEAKER_FRONT_RIGHT = 0x2, SPEAKER_BACK_LEFT = 0x10,
           SPEAKER_SIDE_LEFT = 0x200;

WAVEFORMATEX Pcm(WORD channels, DWORD rate = 22050, WORD bits = 16)
{
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// The 20-byte description the program uses everywhere.
DSBUFFERDESC Desc(DWORD flags, DWORD bytes, WAVEFORMATEX *format)
{
    DSBUFFERDESC d = {};
    d.dwSize = sizeof(DSBUFFERDESC1);
    d.dwFlags = flags;
    d.dwBufferBytes = bytes;
    d.lpwfxFormat = format;
    return d;
}

const DWORD kHardware3D = DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D;

std::vector<VcDevice> Devices(int count)
{
    std::vector<VcDevice> list(count);
    for (int i = 0; i < count; ++i)
        VcDefaultDevice(i, &list[i]);
    return list;
}

class CardTest : public testing::Test {
protected:
    void SetUp() override
    {
        VcReset();
        window = CreateWindowExA(0, "STATIC", "", WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        Close();
        DestroyWindow(window);
        VcReset();
    }

    // A DirectSound object of the device with the cooperative level set.
    void Open(const GUID *device = nullptr)
    {
        ASSERT_EQ(DirectSoundCreate(device, &sound, nullptr), DS_OK);
        ASSERT_EQ(sound->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
    }
    HRESULT Create(DWORD flags, DWORD bytes, WAVEFORMATEX format, IDirectSoundBuffer **out)
    {
        DSBUFFERDESC d = Desc(flags, bytes, &format);
        return sound->CreateSoundBuffer(&d, out, nullptr);
    }
    // A hardware 3D buffer of the card and its property-set interface, as
    // the program's driver connection holds them.
    void Connect()
    {
        Open();
        IDirectSoundBuffer *buffer = nullptr;
        ASSERT_EQ(Create(kHardware3D, 1024, Pcm(1), &buffer), DS_OK);
        ASSERT_EQ(buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&props)), S_OK);
        buffer->Release();
    }
    void Close()
    {
        if (props)
            props->Release();
        if (sound)
            sound->Release();
        props = nullptr;
        sound = nullptr;
    }

    HWND window = nullptr;
    IDirectSound *sound = nullptr;
    IKsPropertySet *props = nullptr;
};

struct Entry {
    bool nullGuid;
    GUID guid;
    std::string description, module;
};

BOOL CALLBACK Collect(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context)
{
    auto *list = static_cast<std::vector<Entry> *>(context);
    Entry e = {guid == nullptr, guid ? *guid : GUID_NULL, description, module};
    list->push_back(e);
    return list->size() < 100;
}

BOOL CALLBACK StopAfterTwo(LPGUID, LPCSTR, LPCSTR, LPVOID context)
{
    return ++*static_cast<int *>(context) < 2;
}

TEST_F(CardTest, EnumerationListsThePrimaryDriverFirstThenEachDevice)
{
    std::vector<Entry> found;
    ASSERT_EQ(DirectSoundEnumerateA(Collect, &found), DS_OK);
    ASSERT_EQ(found.size(), 2u);   // by default the card alone
    EXPECT_TRUE(found[0].nullGuid);
    EXPECT_EQ(found[0].description, "Primary Sound Driver");
    EXPECT_FALSE(found[1].nullGuid);
    EXPECT_TRUE(IsEqualGUID(found[1].guid, VcDefaultDeviceGuid(0)));
    EXPECT_EQ(found[1].description, "Sonaris PCI Audio");
    EXPECT_EQ(found[1].module, "vtwdm560.sys");

    // Twelve devices, each with its own GUID and description, in order.
    std::vector<VcDevice> list = Devices(12);
    snprintf(list[5].description, sizeof list[5].description, "Fifth Card");
    ASSERT_TRUE(VcSetDevices(list.data(), 12));
    found.clear();
    ASSERT_EQ(DirectSoundEnumerateA(Collect, &found), DS_OK);
    ASSERT_EQ(found.size(), 13u);
    EXPECT_TRUE(found[0].nullGuid);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(IsEqualGUID(found[i + 1].guid, list[i].guid)) << i;
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE(IsEqualGUID(found[i + 1].guid, found[j + 1].guid));
    }
    EXPECT_EQ(found[6].description, "Fifth Card");

    // A callback that answers FALSE ends the enumeration.
    int calls = 0;
    ASSERT_EQ(DirectSoundEnumerateA(StopAfterTwo, &calls), DS_OK);
    EXPECT_EQ(calls, 2);

    // No device, no entry at all, and nothing to create.
    ASSERT_TRUE(VcSetDevices(nullptr, 0));
    found.clear();
    EXPECT_EQ(DirectSoundEnumerateA(Collect, &found), DS_OK);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
}

TEST_F(CardTest, CreationFindsTheDeviceItsGuidNames)
{
    std::vector<VcDevice> list = Devices(3);
    ASSERT_TRUE(VcSetDevices(list.data(), 3));
    ASSERT_EQ(DirectSoundCreate(&list[2].guid, &sound, nullptr), DS_OK);
    EXPECT_NE(VcLogFind("ds.create dev=2 "), VcLogCount());
    sound->Release();
    sound = nullptr;

    ASSERT_EQ(DirectSoundCreate(&kDefaultPlayback, &sound, nullptr), DS_OK);
    EXPECT_NE(VcLogFind("ds.create dev=0 "), VcLogCount());
    sound->Release();
    sound = nullptr;

    GUID unknown = VcDefaultDeviceGuid(7);
    EXPECT_EQ(DirectSoundCreate(&unknown, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
    EXPECT_EQ(VcLiveDirectSounds(), 0);
}

TEST_F(CardTest, CooperativeLevelWantsARealWindowAndAValidLevel)
{
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    EXPECT_EQ(sound->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(sound->SetCooperativeLevel(gone, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    EXPECT_EQ(sound->SetCooperativeLevel(window, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(sound->SetCooperativeLevel(window, 5), DSERR_INVALIDPARAM);
    VcLogClear();
    EXPECT_EQ(sound->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
    ASSERT_EQ(VcLogCount(), 1u);
    char hwnd[32], level[8];
    ASSERT_TRUE(VcLogField(VcLogLine(0), "hwnd", hwnd, sizeof hwnd));
    ASSERT_TRUE(VcLogField(VcLogLine(0), "level", level, sizeof level));
    EXPECT_EQ(strtoull(hwnd, nullptr, 16), reinterpret_cast<ULONG_PTR>(window));
    EXPECT_STREQ(level, "1");
}

TEST_F(CardTest, BufferDescriptionsAreCheckedAsDirectSoundDoes)
{
    Open();
    IDirectSoundBuffer *buffer = nullptr;
    // What the program creates: the connection's, the probe's and the test sound's.
    EXPECT_EQ(Create(kHardware3D, 1024, Pcm(1), &buffer), DS_OK);
    buffer->Release();
    EXPECT_EQ(Create(DSBCAPS_GLOBALFOCUS, 1025, Pcm(1), &buffer), DS_OK);
    buffer->Release();
    EXPECT_EQ(Create(0x8094, 44100, Pcm(1), &buffer), DS_OK);
    buffer->Release();

    // 3D control only with a mono format.
    buffer = reinterpret_cast<IDirectSoundBuffer *>(1);
    EXPECT_EQ(Create(kHardware3D, 1024, Pcm(2), &buffer), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(Create(DSBCAPS_CTRL3D, 1024, Pcm(2), &buffer), DSERR_INVALIDPARAM);

    EXPECT_EQ(Create(DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE, 1024, Pcm(1), &buffer),
              DSERR_INVALIDPARAM);
    EXPECT_EQ(Create(0x80000000, 1024, Pcm(1), &buffer), DSERR_INVALIDPARAM);
    EXPECT_EQ(Create(0, DSBSIZE_MIN - 1, Pcm(1), &buffer), DSERR_INVALIDPARAM);
    EXPECT_EQ(Create(0, DSBSIZE_MAX + 1, Pcm(1), &buffer), DSERR_INVALIDPARAM);

    WAVEFORMATEX bad = Pcm(1);
    bad.nBlockAlign = 4;
    EXPECT_EQ(Create(0, 1024, bad, &buffer), DSERR_BADFORMAT);
    bad = Pcm(1);
    bad.wFormatTag = 2;
    EXPECT_EQ(Create(0, 1024, bad, &buffer), DSERR_BADFORMAT);
    EXPECT_EQ(Create(0, 1024, Pcm(1, 22050, 12), &buffer), DSERR_BADFORMAT);

    WAVEFORMATEX mono = Pcm(1);
    DSBUFFERDESC d = Desc(0, 1024, &mono);
    d.dwSize = sizeof(DSBUFFERDESC1) + 4;
    EXPECT_EQ(sound->CreateSoundBuffer(&d, &buffer, nullptr), DSERR_INVALIDPARAM);
    d.dwSize = sizeof(DSBUFFERDESC);
    EXPECT_EQ(sound->CreateSoundBuffer(&d, &buffer, nullptr), DS_OK);
    buffer->Release();
    d = Desc(0, 1024, nullptr);
    EXPECT_EQ(sound->CreateSoundBuffer(&d, &buffer, nullptr), DSERR_INVALIDPARAM);
    // The primary buffer has neither a size nor a format of its own.
    d = Desc(DSBCAPS_PRIMARYBUFFER, 1024, nullptr);
    EXPECT_EQ(sound->CreateSoundBuffer(&d, &buffer, nullptr), DSERR_INVALIDPARAM);
    d = Desc(DSBCAPS_PRIMARYBUFFER, 0, nullptr);
    EXPECT_EQ(sound->CreateSoundBuffer(&d, &buffer, nullptr), DS_OK);
    void *none = nullptr;
    EXPECT_EQ(buffer->QueryInterface(kIidKsPropertySet, &none), E_NOINTERFACE);
    buffer->Release();
    EXPECT_EQ(VcLiveBuffers(), 0);

    // The record shows each description as given.
    size_t at = VcLogFind("ds.buffer ");
    ASSERT_LT(at, VcLogCount());
    char expected[96];
    snprintf(expected, sizeof expected, "size=%u flags=0x14 bytes=1024 format=1/1/22050/44100/2/16 hr=0x00000000",
             static_cast<unsigned>(sizeof(DSBUFFERDESC1)));
    EXPECT_NE(strstr(VcLogLine(at), expected), nullptr) << VcLogLine(at);
}

TEST_F(CardTest, ADeviceOtherThanTheCardRefusesHardwareBuffers)
{
    std::vector<VcDevice> list = Devices(2);
    ASSERT_TRUE(VcSetDevices(list.data(), 2));
    Open(&list[1].guid);
    IDirectSoundBuffer *buffer = nullptr;
    EXPECT_EQ(Create(kHardware3D, 1024, Pcm(1), &buffer), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(Create(DSBCAPS_LOCHARDWARE, 1024, Pcm(1), &buffer), DSERR_CONTROLUNAVAIL);
    // It still makes the enumeration probe's ordinary buffer.
    ASSERT_EQ(Create(0xE0, 1024, Pcm(1), &buffer), DS_OK);
    // And it has no channel configuration to set.
    IKsPropertySet *ks = nullptr;
    ASSERT_EQ(buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)), S_OK);
    ULONG support = 0;
    EXPECT_TRUE(FAILED(ks->QuerySupport(kAudioSet, kChannelConfig, &support)));
    EXPECT_EQ(support & KSPROPERTY_SUPPORT_SET, 0u);
    ks->Release();
    buffer->Release();
}

TEST_F(CardTest, LockHandsOutTheBufferMemoryWrappingAtTheEnd)
{
    Open();
    IDirectSoundBuffer *buffer = nullptr;
    ASSERT_EQ(Create(kHardware3D, 1024, Pcm(1), &buffer), DS_OK);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 1024u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    memset(p1, 0x11, n1);
    BYTE *start = static_cast<BYTE *>(p1);
    EXPECT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);

    ASSERT_EQ(buffer->Lock(1000, 100, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(static_cast<BYTE *>(p1), start + 1000);
    EXPECT_EQ(n1, 24u);
    EXPECT_EQ(static_cast<BYTE *>(p2), start);
    EXPECT_EQ(n2, 76u);
    EXPECT_EQ(static_cast<BYTE *>(p1)[0], 0x11);   // the same memory as before
    EXPECT_EQ(buffer->Unlock(start, 24, p2, n2), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(buffer->Lock(1024, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 1025, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    buffer->Release();
}

// The fingerprint of a played buffer tells which data it held.
TEST_F(CardTest, PlayRecordsWhichDataTheBufferHeld)
{
    Open();
    const char *words[] = {"front left", "front left", "rear right"};
    std::string crc[3];
    for (int i = 0; i < 3; ++i) {
        IDirectSoundBuffer *buffer = nullptr;
        ASSERT_EQ(Create(0x8094, 512, Pcm(1), &buffer), DS_OK);
        void *p;
        DWORD n;
        ASSERT_EQ(buffer->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
        memset(p, 0, n);
        memcpy(p, words[i], strlen(words[i]));
        buffer->Unlock(p, n, nullptr, 0);
        VcLogClear();
        ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
        size_t at = VcLogFind("buf.play ");
        ASSERT_LT(at, VcLogCount());
        char text[16];
        ASSERT_TRUE(VcLogField(VcLogLine(at), "crc", text, sizeof text));
        crc[i] = text;
        ASSERT_TRUE(VcLogField(VcLogLine(at), "bytes", text, sizeof text));
        EXPECT_STREQ(text, "512");
        buffer->Release();
    }
    EXPECT_EQ(crc[0], crc[1]);
    EXPECT_NE(crc[0], crc[2]);
}

TEST_F(CardTest, PlayingLastsAsLongAsTheDataAndEndsByItself)
{
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    IDirectSoundBuffer *buffer = nullptr;
    ASSERT_EQ(Create(0x8094, 4410, Pcm(1), &buffer), DS_OK);   // 100 ms
    // No cooperative level yet: no playing.
    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(sound->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);

    DWORD status = 0xFF;
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING));
    EXPECT_EQ(VcPlayingBuffers(), 1);
    Sleep(250);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_NE(VcLogFind("buf.end "), VcLogCount());

    // A looping buffer plays until stopped.
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Sleep(250);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    ASSERT_EQ(buffer->Stop(), DS_OK);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    buffer->Release();

    // A test can shorten the playing time: 10 seconds of data at 1 %.
    VcSetPlayTimePercent(1);
    ASSERT_EQ(Create(0x8094, 441000, Pcm(1), &buffer), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    Sleep(300);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    buffer->Release();
}

TEST_F(CardTest, SpeakerConfigurationBelongsToTheDevice)
{
    std::vector<VcDevice> list = Devices(2);
    ASSERT_TRUE(VcSetDevices(list.data(), 2));
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);   // no cooperative level needed
    DWORD config = 0;
    ASSERT_EQ(sound->GetSpeakerConfig(&config), DS_OK);
    EXPECT_EQ(config, static_cast<DWORD>(DSSPEAKER_STEREO));
    EXPECT_EQ(sound->SetSpeakerConfig(DSSPEAKER_5POINT1), DS_OK);
    EXPECT_EQ(sound->SetSpeakerConfig(0x0A), DSERR_INVALIDPARAM);
    EXPECT_EQ(sound->SetSpeakerConfig(DSSPEAKER_COMBINED(DSSPEAKER_QUAD, DSSPEAKER_GEOMETRY_WIDE)),
              DSERR_INVALIDPARAM);
    EXPECT_EQ(sound->GetSpeakerConfig(nullptr), DSERR_INVALIDPARAM);
    sound->Release();
    sound = nullptr;

    // A new object of the same device keeps it; the other device has its own.
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    ASSERT_EQ(sound->GetSpeakerConfig(&config), DS_OK);
    EXPECT_EQ(config, static_cast<DWORD>(DSSPEAKER_5POINT1));
    sound->Release();
    sound = nullptr;
    ASSERT_EQ(DirectSoundCreate(&list[1].guid, &sound, nullptr), DS_OK);
    ASSERT_EQ(sound->SetSpeakerConfig(DSSPEAKER_COMBINED(DSSPEAKER_STEREO, DSSPEAKER_GEOMETRY_WIDE)),
              DS_OK);
    EXPECT_EQ(VcSpeakerConfig(0), static_cast<DWORD>(DSSPEAKER_5POINT1));
    EXPECT_EQ(VcSpeakerConfig(1), static_cast<DWORD>(DSSPEAKER_COMBINED(DSSPEAKER_STEREO, DSSPEAKER_GEOMETRY_WIDE)));
}

TEST_F(CardTest, ChannelConfigurationRoutesABufferToOneSpeaker)
{
    Open();
    IDirectSoundBuffer *probe = nullptr;
    // The start-up probe's buffer: software, 1025 bytes, still with the property.
    ASSERT_EQ(Create(DSBCAPS_GLOBALFOCUS, 1025, Pcm(1), &probe), DS_OK);
    IKsPropertySet *ks = nullptr;
    ASSERT_EQ(probe->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)), S_OK);
    ULONG support = 0;
    ASSERT_EQ(ks->QuerySupport(kAudioSet, kChannelConfig, &support), S_OK);
    EXPECT_EQ(support, static_cast<ULONG>(KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET));
    // The driver's sets are only on hardware 3D buffers.
    EXPECT_EQ(ks->QuerySupport(VcQ3DPropertySet, 5, &support), kPropSetUnsupported);
    ks->Release();
    probe->Release();

    IDirectSoundBuffer *buffer = nullptr;
    ASSERT_EQ(Create(0x8094, 2205, Pcm(1), &buffer), DS_OK);
    ASSERT_EQ(buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)), S_OK);
    LONG mask = SPEAKER_BACK_LEFT;
    EXPECT_EQ(ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &mask, sizeof mask), S_OK);
    LONG both = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    EXPECT_EQ(ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &both, sizeof both), DSERR_INVALIDPARAM);
    LONG side = SPEAKER_SIDE_LEFT;   // not one of the card's six
    EXPECT_EQ(ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &side, sizeof side), DSERR_INVALIDPARAM);
    EXPECT_EQ(ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &mask, 2), DSERR_INVALIDPARAM);
    EXPECT_EQ(ks->Set(kAudioSet, 1, nullptr, 0, &mask, sizeof mask), kPropIdUnsupported);
    LONG read = 0;
    ULONG got = 0;
    ASSERT_EQ(ks->Get(kAudioSet, kChannelConfig, nullptr, 0, &read, sizeof read, &got), S_OK);
    EXPECT_EQ(read, SPEAKER_BACK_LEFT);
    EXPECT_EQ(got, sizeof read);
    ks->Release();
    VcLogClear();
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(VcLogCount(), 1u);
    EXPECT_NE(strstr(VcLogLine(0), "mask=0x10"), nullptr) << VcLogLine(0);
    buffer->Release();

    // A card configured without the support refuses it.
    VcDevice card;
    VcDefaultDevice(0, &card);
    card.channelConfig = false;
    ASSERT_TRUE(VcSetDevices(&card, 1));
    Close();
    Open();
    ASSERT_EQ(Create(DSBCAPS_GLOBALFOCUS, 1025, Pcm(1), &probe), DS_OK);
    ASSERT_EQ(probe->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)), S_OK);
    support = 0;
    EXPECT_EQ(ks->QuerySupport(kAudioSet, kChannelConfig, &support), kPropIdUnsupported);
    EXPECT_EQ(support, 0u);
    EXPECT_EQ(ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &mask, sizeof mask), kPropIdUnsupported);
    ks->Release();
    probe->Release();
}

// The driver's properties: set, id, size and what Set needs as instance data.
struct Property {
    bool effect;
    ULONG id;
    ULONG size;
};
const Property kProperties[] = {
    {false, 0, 4}, {false, 2, 4}, {false, 5, 4}, {false, 6, 4}, {false, 7, 4},
    {false, 11, 4}, {false, 12, 8}, {true, 0, 4}, {true, 1, 4}, {true, 3, 4},
    {true, 4, 4}, {true, 5, 4}, {true, 8, 4}, {true, 9, 4}, {true, 10, 4},
};
const DWORD kEffectsBlock[9] = {1, 0, 0, 0, 0, 0, 0, 0, 0};

TEST_F(CardTest, EveryDriverPropertyReadsBackWhatWasSet)
{
    Connect();
    for (const Property &p : kProperties) {
        const GUID &set = p.effect ? VcQ3DEffectPropertySet : VcQ3DPropertySet;
        void *inst = p.effect ? const_cast<DWORD *>(kEffectsBlock) : nullptr;
        ULONG instLength = p.effect ? sizeof kEffectsBlock : 0;
        ULONG support = 0;
        EXPECT_EQ(props->QuerySupport(set, p.id, &support), S_OK);
        EXPECT_EQ(support, static_cast<ULONG>(KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET));
        DWORD before[2] = {0xCDCDCDCD, 0xCDCDCDCD}, value[2] = {0x100 + p.id, 7}, after[2] = {};
        ULONG got = 0;
        ASSERT_EQ(props->Get(set, p.id, nullptr, 0, before, p.size, &got), S_OK) << p.effect << p.id;
        EXPECT_EQ(got, p.size);
        ASSERT_EQ(props->Set(set, p.id, inst, instLength, value, p.size), S_OK) << p.effect << p.id;
        ASSERT_EQ(props->Get(set, p.id, nullptr, 0, after, p.size, &got), S_OK);
        EXPECT_EQ(memcmp(after, value, p.size), 0) << p.effect << p.id;
        // A wrong size is refused and changes nothing.
        EXPECT_EQ(props->Set(set, p.id, inst, instLength, value, p.size + 4), DSERR_INVALIDPARAM);
        EXPECT_EQ(props->Get(set, p.id, nullptr, 0, after, p.size - 1, &got), DSERR_INVALIDPARAM);
    }
    // Sensible defaults before the first Set: no reverb environment, full volume.
    VcReset();
    DWORD environment[2] = {};
    ULONG got;
    ASSERT_EQ(props->Get(VcQ3DPropertySet, 12, nullptr, 0, environment, 8, &got), S_OK);
    EXPECT_EQ(environment[0], 0u);
    EXPECT_EQ(static_cast<LONG>(environment[1]), -1);
    float volume = 0;
    ASSERT_EQ(props->Get(VcQ3DPropertySet, 11, nullptr, 0, &volume, 4, &got), S_OK);
    EXPECT_EQ(volume, 1.0f);
}

TEST_F(CardTest, DriverPropertiesRefuseAMissingOrWrongInstanceBlock)
{
    Connect();
    DWORD on = 1, value = 0;
    ULONG got;
    // The effect set writes only with its 36-byte block, first word 1.
    EXPECT_EQ(props->Set(VcQ3DEffectPropertySet, 5, nullptr, 0, &on, 4), DSERR_INVALIDPARAM);
    DWORD block[9] = {0};
    EXPECT_EQ(props->Set(VcQ3DEffectPropertySet, 5, block, sizeof block, &on, 4), DSERR_INVALIDPARAM);
    block[0] = 1;
    EXPECT_EQ(props->Set(VcQ3DEffectPropertySet, 5, block, 32, &on, 4), DSERR_INVALIDPARAM);
    ASSERT_EQ(props->Get(VcQ3DEffectPropertySet, 5, nullptr, 0, &value, 4, &got), S_OK);
    EXPECT_EQ(value, 0u);   // none of them stored anything
    EXPECT_EQ(props->Set(VcQ3DEffectPropertySet, 5, block, sizeof block, &on, 4), S_OK);
    // The Q3D set takes no instance data.
    EXPECT_EQ(props->Set(VcQ3DPropertySet, 5, block, sizeof block, &on, 4), DSERR_INVALIDPARAM);
    EXPECT_EQ(props->Get(VcQ3DPropertySet, 5, block, sizeof block, &value, 4, &got), DSERR_INVALIDPARAM);
    // Ids outside the table.
    EXPECT_EQ(props->Set(VcQ3DPropertySet, 1, nullptr, 0, &on, 4), kPropIdUnsupported);
    EXPECT_EQ(props->Get(VcQ3DEffectPropertySet, 2, nullptr, 0, &value, 4, &got), kPropIdUnsupported);
    ULONG support;
    EXPECT_EQ(props->QuerySupport(VcQ3DEffectPropertySet, 6, &support), kPropIdUnsupported);

    // The record names set, id and value of each access.
    VcLogClear();
    DWORD environment[2] = {1, 2};
    ASSERT_EQ(props->Set(VcQ3DPropertySet, 12, nullptr, 0, environment, 8), S_OK);
    ASSERT_EQ(VcLogCount(), 1u);
    EXPECT_NE(strstr(VcLogLine(0), "set=Q3D id=12 inst=0 size=8 value=0x00000001,0x00000002 hr=0x00000000"),
              nullptr)
        << VcLogLine(0);
}

TEST_F(CardTest, ADeviceWithoutTheDriverSetsOffersNone)
{
    VcDevice card;
    VcDefaultDevice(0, &card);
    card.q3D = false;
    ASSERT_TRUE(VcSetDevices(&card, 1));
    Connect();
    DWORD value = 0;
    ULONG got, support;
    EXPECT_EQ(props->QuerySupport(VcQ3DPropertySet, 5, &support), kPropSetUnsupported);
    EXPECT_EQ(props->Get(VcQ3DPropertySet, 5, nullptr, 0, &value, 4, &got), kPropSetUnsupported);
    EXPECT_EQ(props->Set(VcQ3DEffectPropertySet, 5, const_cast<DWORD *>(kEffectsBlock), 36, &value, 4),
              kPropSetUnsupported);
}

TEST_F(CardTest, AnUnreleasedBufferShowsInTheLiveCount)
{
    Connect();
    // The connection: the buffer lives on through its property-set interface.
    EXPECT_EQ(VcLiveDirectSounds(), 1);
    EXPECT_EQ(VcLiveBuffers(), 1);
    EXPECT_EQ(VcLivePropertySets(), 1);
    props->Release();
    props = nullptr;
    EXPECT_EQ(VcLiveBuffers(), 0);
    EXPECT_EQ(VcLivePropertySets(), 0);

    IDirectSoundBuffer *forgotten = nullptr;
    ASSERT_EQ(Create(0x8094, 1024, Pcm(1), &forgotten), DS_OK);
    sound->Release();
    sound = nullptr;
    EXPECT_EQ(VcLiveDirectSounds(), 0);
    EXPECT_EQ(VcLiveBuffers(), 1);
    // The record tells that the object went while a buffer was still held.
    size_t at = VcLogFind("ds.release ");
    ASSERT_LT(at, VcLogCount());
    EXPECT_NE(strstr(VcLogLine(at), "buffers=1"), nullptr) << VcLogLine(at);
    forgotten->Release();
    EXPECT_EQ(VcLiveBuffers(), 0);
}

TEST_F(CardTest, FaultInjectionFailsExactlyTheNthCall)
{
    Open();
    ASSERT_TRUE(VcFailCall("CreateSoundBuffer", 2, DSERR_OUTOFMEMORY));
    HRESULT results[4];
    for (HRESULT &hr : results) {
        IDirectSoundBuffer *buffer = nullptr;
        hr = Create(0x8094, 1024, Pcm(1), &buffer);
        if (buffer)
            buffer->Release();
    }
    EXPECT_EQ(results[0], DS_OK);
    EXPECT_EQ(results[1], DSERR_OUTOFMEMORY);
    EXPECT_EQ(results[2], DS_OK);
    EXPECT_EQ(results[3], DS_OK);
    EXPECT_EQ(VcLiveBuffers(), 0);
    EXPECT_NE(VcLogFind("fault method=CreateSoundBuffer call=2"), VcLogCount());

    // Zero: every call.
    ASSERT_TRUE(VcFailCall("DirectSoundCreate", 0, DSERR_NODRIVER));
    IDirectSound *other = nullptr;
    EXPECT_EQ(DirectSoundCreate(nullptr, &other, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(DirectSoundCreate(nullptr, &other, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(other, nullptr);
    VcClearFaults();
    ASSERT_EQ(DirectSoundCreate(nullptr, &other, nullptr), DS_OK);
    other->Release();
}

// A second process: this program again, with an argument, in the same prefix.
DWORD RunChild(const char *mode)
{
    char path[MAX_PATH], command[MAX_PATH + 64];
    GetModuleFileNameA(nullptr, path, sizeof path);
    snprintf(command, sizeof command, "\"%s\" %s", path, mode);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xDEAD;
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 0xDEAD);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

TEST_F(CardTest, PropertiesAndSpeakerConfigurationSurviveIntoASecondProcess)
{
    Connect();
    DWORD environment[2] = {1, 2};
    ASSERT_EQ(props->Set(VcQ3DPropertySet, 12, nullptr, 0, environment, 8), S_OK);
    ASSERT_EQ(sound->SetSpeakerConfig(DSSPEAKER_QUAD), DS_OK);
    Close();
    // The child checks them, then stores values of its own.
    EXPECT_EQ(RunChild("--child-check-and-store"), 0u);
    Connect();
    float spread = 0;
    ULONG got;
    ASSERT_EQ(props->Get(VcQ3DEffectPropertySet, 9, nullptr, 0, &spread, 4, &got), S_OK);
    EXPECT_EQ(spread, 0.25f);
    DWORD config = 0;
    ASSERT_EQ(sound->GetSpeakerConfig(&config), DS_OK);
    EXPECT_EQ(config, static_cast<DWORD>(DSSPEAKER_5POINT1));
}

TEST_F(CardTest, FaultsInTheRegistryReachASecondProcess)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, VCARD_KEY "\\Faults", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char fault[] = "2 0x88780078";   // the second DirectSoundCreate: DSERR_NODRIVER
    RegSetValueExA(key, "DirectSoundCreate", 0, REG_SZ, reinterpret_cast<const BYTE *>(fault), sizeof fault);
    RegCloseKey(key);
    EXPECT_EQ(RunChild("--child-create-three"), 0x010u);   // only the second failed
}

// Child modes: the exit code is the result.
int ChildCheckAndStore()
{
    IDirectSound *ds = nullptr;
    if (DirectSoundCreate(nullptr, &ds, nullptr) != DS_OK)
        return 1;
    int failures = 0;
    DWORD config = 0;
    if (ds->GetSpeakerConfig(&config) != DS_OK || config != DSSPEAKER_QUAD)
        failures |= 2;
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ds->SetCooperativeLevel(window, DSSCL_NORMAL);
    WAVEFORMATEX format = Pcm(1);
    DSBUFFERDESC d = Desc(kHardware3D, 1024, &format);
    IDirectSoundBuffer *buffer = nullptr;
    IKsPropertySet *ks = nullptr;
    if (ds->CreateSoundBuffer(&d, &buffer, nullptr) != DS_OK ||
        buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)) != S_OK)
        return failures | 4;
    DWORD environment[2] = {};
    ULONG got;
    if (ks->Get(VcQ3DPropertySet, 12, nullptr, 0, environment, 8, &got) != S_OK ||
        environment[0] != 1 || environment[1] != 2)
        failures |= 8;
    float spread = 0.25f;
    if (ks->Set(VcQ3DEffectPropertySet, 9, const_cast<DWORD *>(kEffectsBlock), 36, &spread, 4) != S_OK ||
        ds->SetSpeakerConfig(DSSPEAKER_5POINT1) != DS_OK)
        failures |= 16;
    ks->Release();
    buffer->Release();
    ds->Release();
    DestroyWindow(window);
    return failures;
}

int ChildCreateThree()
{
    int failed = 0;
    for (int i = 0; i < 3; ++i) {
        IDirectSound *ds = nullptr;
        HRESULT hr = DirectSoundCreate(nullptr, &ds, nullptr);
        if (hr == DSERR_NODRIVER)
            failed |= 1 << (4 * i);
        else if (hr != DS_OK)
            failed |= 0xF << (4 * i);
        if (ds)
            ds->Release();
    }
    return failed;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "--child-check-and-store") == 0)
        return ChildCheckAndStore();
    if (argc > 1 && strcmp(argv[1], "--child-create-three") == 0)
        return ChildCreateThree();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
