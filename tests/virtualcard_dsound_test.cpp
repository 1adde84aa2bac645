// The virtual card's DirectSound where the product's tests would pass falsely
// if it were lax: the buffer descriptions it refuses, the sizes of the
// driver's properties, and state that must reach a second process.
#include "virtualcard/vcard.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <dsound.h>

#include <process.h>
#include <string.h>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const DWORD kHardware3D = DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D;
const DWORD kDesc1 = sizeof(DSBUFFERDESC1);
DWORD effectsBlock[9] = {1};   // the effect set's instance data

// A 16-bit buffer of 1024 bytes, or its refusal.
HRESULT Create(IDirectSound *sound, DWORD size, DWORD flags, WORD channels, IDirectSoundBuffer **out)
{
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, 22050, 44100u * channels, static_cast<WORD>(2 * channels), 16, 0};
    DSBUFFERDESC d = {size, flags, 1024, 0, &format};
    return sound->CreateSoundBuffer(&d, out, nullptr);
}

// The product's driver connection: the property set of a hardware 3D buffer.
IKsPropertySet *Connect(IDirectSound **sound)
{
    IDirectSoundBuffer *buffer = nullptr;
    IKsPropertySet *ks = nullptr;
    if (DirectSoundCreate(nullptr, sound, nullptr) == DS_OK &&
        Create(*sound, kDesc1, kHardware3D, 1, &buffer) == DS_OK) {
        buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks));
        buffer->Release();
    }
    return ks;
}

struct DescCase { int device; DWORD size, flags; WORD channels; HRESULT expected; };
const DescCase kDescCases[] = {
    {0, kDesc1, kHardware3D, 1, DS_OK},
    {0, kDesc1 + 4, 0, 1, DSERR_INVALIDPARAM},                   // neither description size
    {0, kDesc1, kHardware3D, 2, DSERR_INVALIDPARAM},             // 3D control wants mono
    {1, kDesc1, DSBCAPS_LOCHARDWARE, 1, DSERR_CONTROLUNAVAIL},   // no hardware buffers there
};

TEST(Card, RefusesTheBufferDescriptionsDirectSoundRefuses)
{
    VcDevice devices[2];
    for (int i = 0; i < 2; ++i)
        VcDefaultDevice(i, &devices[i]);
    ASSERT_TRUE(VcSetDevices(devices, 2));
    for (const DescCase &c : kDescCases) {
        IDirectSound *device = nullptr;
        GUID guid = VcDefaultDeviceGuid(c.device);
        ASSERT_EQ(DirectSoundCreate(&guid, &device, nullptr), DS_OK);
        IDirectSoundBuffer *buffer = nullptr;
        EXPECT_EQ(Create(device, c.size, c.flags, c.channels, &buffer), c.expected) << "case " << &c - kDescCases;
        if (buffer)
            buffer->Release();
        device->Release();
    }
}

// The driver's two property sets: id and size of each property.
struct Property { bool effect; ULONG id, size; };
const Property kProperties[] = {
    {false, 0, 4}, {false, 2, 4}, {false, 5, 4}, {false, 6, 4}, {false, 7, 4},
    {false, 11, 4}, {false, 12, 8}, {true, 0, 4}, {true, 1, 4}, {true, 3, 4},
    {true, 4, 4}, {true, 5, 4}, {true, 8, 4}, {true, 9, 4}, {true, 10, 4},
};

TEST(Card, DriverPropertiesTakeTheirOwnSizeOnly)
{
    IDirectSound *sound = nullptr;
    IKsPropertySet *props = Connect(&sound);
    ASSERT_NE(props, nullptr);
    ULONG got = 0;
    for (const Property &p : kProperties) {
        SCOPED_TRACE(testing::Message() << (p.effect ? "effect " : "Q3D ") << p.id);
        const GUID &set = p.effect ? VcQ3DEffectPropertySet : VcQ3DPropertySet;
        void *inst = p.effect ? effectsBlock : nullptr;
        ULONG instLength = p.effect ? sizeof effectsBlock : 0;
        DWORD value[3] = {0x100 + p.id, 7}, after[3] = {};
        EXPECT_EQ(props->Set(set, p.id, inst, instLength, value, p.size + 4), DSERR_INVALIDPARAM);
        EXPECT_EQ(props->Get(set, p.id, nullptr, 0, after, p.size - 1, &got), DSERR_INVALIDPARAM);
        if (p.effect)   // the effect set writes only with its instance block
            EXPECT_EQ(props->Set(set, p.id, nullptr, 0, value, p.size), DSERR_INVALIDPARAM);
        ASSERT_EQ(props->Set(set, p.id, inst, instLength, value, p.size), S_OK);
        ASSERT_EQ(props->Get(set, p.id, nullptr, 0, after, p.size, &got), S_OK);
        EXPECT_EQ(got, p.size);
        EXPECT_EQ(memcmp(after, value, p.size), 0);
    }
    EXPECT_EQ(props->Set(VcQ3DPropertySet, 1, nullptr, 0, effectsBlock, 4), static_cast<HRESULT>(0x80070490));
    props->Release();
    sound->Release();
}

// The child's part, run as "--child": what the first process stored is there.
int ChildReadsWhatItsParentStored()
{
    IDirectSound *sound = nullptr;
    IKsPropertySet *props = Connect(&sound);
    DWORD config = 0, environment[2] = {};
    ULONG got = 0;
    return props && sound->GetSpeakerConfig(&config) == DS_OK && config == DSSPEAKER_QUAD &&
                   props->Get(VcQ3DPropertySet, 12, nullptr, 0, environment, 8, &got) == S_OK && environment[1] == 2
               ? 0 : 1;
}

TEST(Card, SpeakersAndPropertiesReachASecondProcess)
{
    IDirectSound *sound = nullptr;
    IKsPropertySet *props = Connect(&sound);
    ASSERT_NE(props, nullptr);
    DWORD environment[2] = {1, 2};
    ASSERT_EQ(sound->SetSpeakerConfig(DSSPEAKER_QUAD), DS_OK);
    ASSERT_EQ(props->Set(VcQ3DPropertySet, 12, nullptr, 0, environment, 8), S_OK);
    props->Release();
    sound->Release();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    EXPECT_EQ(_spawnl(_P_WAIT, self, "child", "--child", nullptr), 0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "--child") == 0)
        return ChildReadsWhatItsParentStored();
    testing::InitGoogleTest(&argc, argv);
    VcReset();   // the card's key is shared by every process of the prefix
    int failed = RUN_ALL_TESTS();
    VcReset();
    return failed;
}
