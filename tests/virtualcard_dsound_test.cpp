// The virtual card's DirectSound where the product's tests would pass falsely
// if it were lax: the buffer descriptions it refuses, the sizes of the
// driver's properties, and state that must reach a second process.
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <dsound.h>

#include <process.h>
#include <string.h>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
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


// --- What a driver may answer, and where buffers go ----------------------

const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const HRESULT kIdUnsupported = static_cast<HRESULT>(0x80070490);

class Fresh : public testing::Test {
protected:
    void SetUp() override { VcReset(); }
    void TearDown() override
    {
        EXPECT_EQ(VcLiveDirectSounds() + VcLiveBuffers() + VcLivePropertySets(), 0);
        VcReset();
    }
    // The card alone, changed by edit.
    template <typename Edit> static void Card(Edit edit)
    {
        VcDevice card;
        VcDefaultDevice(0, &card);
        edit(card);
        ASSERT_TRUE(VcSetDevices(&card, 1));
    }
};

TEST_F(Fresh, ChannelConfigurationSupportIsWhatADriverMayLegallyAnswer)
{
    const struct { VcChannelConfig offer; HRESULT query; ULONG support; HRESULT get, set; } cases[] = {
        {VcChannelConfigSettable, S_OK, KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET, S_OK, S_OK},
        {VcChannelConfigGetOnly, S_OK, KSPROPERTY_SUPPORT_GET, S_OK, kIdUnsupported},
        {VcChannelConfigNoFlags, S_OK, 0, kIdUnsupported, kIdUnsupported},
        {VcChannelConfigUnsupported, kIdUnsupported, 0, kIdUnsupported, kIdUnsupported},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.offer);
        Card([&](VcDevice &d) { d.channelConfig = c.offer; });
        IDirectSound *sound = nullptr;
        IKsPropertySet *ks = Connect(&sound);
        ASSERT_NE(ks, nullptr);
        ULONG support = 0xdead;
        LONG mask = 0x1;
        EXPECT_EQ(ks->QuerySupport(kAudioSet, 3, &support), c.query);
        if (SUCCEEDED(c.query))
            EXPECT_EQ(support, c.support);
        EXPECT_EQ(ks->Set(kAudioSet, 3, nullptr, 0, &mask, 4), c.set);
        EXPECT_EQ(ks->Get(kAudioSet, 3, nullptr, 0, &mask, 4, &support), c.get);
        ks->Release();
        sound->Release();
    }
}

// A buffer without a location flag takes a hardware buffer while one is
// free; a software buffer has no property set. Hardware buffers run out.
TEST_F(Fresh, BuffersGoToHardwareWhileItLastsAndOnlyThereHaveAPropertySet)
{
    Card([](VcDevice &d) { d.hardwareBuffers = 2; });
    IDirectSound *sound = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    const struct { DWORD flags; HRESULT made; bool properties; } steps[] = {
        {DSBCAPS_GLOBALFOCUS, DS_OK, true},   // the first hardware buffer
        {kHardware3D, DS_OK, true},           // the second and last
        {kHardware3D, DSERR_ALLOCATED, false},
        {DSBCAPS_GLOBALFOCUS, DS_OK, false},  // to software now
        {DSBCAPS_LOCSOFTWARE, DS_OK, false},
    };
    IDirectSoundBuffer *buffers[5] = {};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Create(sound, kDesc1, steps[i].flags, 1, &buffers[i]), steps[i].made);
        IKsPropertySet *ks = nullptr;
        if (buffers[i])
            EXPECT_EQ(buffers[i]->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)),
                      steps[i].properties ? S_OK : E_NOINTERFACE);
        if (ks)
            ks->Release();
    }
    buffers[0]->Release();   // a hardware buffer comes free again
    IDirectSoundBuffer *again = nullptr;
    EXPECT_EQ(Create(sound, kDesc1, kHardware3D, 1, &again), DS_OK);
    again->Release();
    for (int i = 1; i < 5; ++i)
        if (buffers[i])
            buffers[i]->Release();
    sound->Release();
}

TEST_F(Fresh, ComLifetimesAreThePlatformsAndALateCallIsCaughtEveryTime)
{
    IDirectSound *sound = nullptr;
    IKsPropertySet *ks = Connect(&sound);
    ASSERT_NE(ks, nullptr);
    EXPECT_EQ(sound->AddRef(), 2u);
    EXPECT_EQ(sound->Release(), 1u);
    // One object: the property set gives back the buffer, whose identity it shares.
    IDirectSoundBuffer *buffer = nullptr;
    IUnknown *fromKs = nullptr, *fromBuffer = nullptr;
    ASSERT_EQ(ks->QueryInterface(kIidBuffer, reinterpret_cast<void **>(&buffer)), S_OK);
    ASSERT_EQ(ks->QueryInterface(kIidUnknown, reinterpret_cast<void **>(&fromKs)), S_OK);
    ASSERT_EQ(buffer->QueryInterface(kIidUnknown, reinterpret_cast<void **>(&fromBuffer)), S_OK);
    EXPECT_EQ(fromKs, fromBuffer);
    EXPECT_EQ(fromKs->Release(), 2u);
    EXPECT_EQ(fromBuffer->Release(), 1u);
    EXPECT_EQ(ks->AddRef(), 2u);
    EXPECT_EQ(ks->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(ks->Release(), 0u);

    // Each late call is recorded and fails, the memory being kept.
    ULONG support;
    DWORD status;
    EXPECT_EQ(ks->QuerySupport(kAudioSet, 3, &support), E_UNEXPECTED);
    EXPECT_EQ(buffer->GetStatus(&status), E_UNEXPECTED);
    EXPECT_EQ(ks->Release(), 0u);
    EXPECT_EQ(VcUsesAfterRelease(), 3);
    EXPECT_NE(VcLogFind("use.after.release object=buffer"), VcLogCount());

    // Released with a buffer still held, DirectSound takes the buffer with it.
    IDirectSoundBuffer *held = nullptr;
    ASSERT_EQ(Create(sound, kDesc1, kHardware3D, 1, &held), DS_OK);
    EXPECT_EQ(sound->Release(), 0u);
    EXPECT_EQ(VcLiveBuffers(), 0);
    EXPECT_EQ(held->Release(), 0u);
    EXPECT_EQ(sound->Release(), 0u);
    EXPECT_EQ(VcUsesAfterRelease(), 5);
}

TEST_F(Fresh, PropertyCallsAreTakenAsTheDriverTakesThem)
{
    IDirectSound *sound = nullptr;
    IKsPropertySet *ks = Connect(&sound);
    ASSERT_NE(ks, nullptr);
    LONG mask[2] = {0x1, 0};
    DWORD value[2] = {};
    ULONG got;
    // The channel configuration: a 4-byte mask, no instance data.
    EXPECT_EQ(ks->Set(kAudioSet, 3, effectsBlock, sizeof effectsBlock, mask, 4), DSERR_INVALIDPARAM);
    EXPECT_EQ(ks->Set(kAudioSet, 3, nullptr, 0, mask, 8), DSERR_INVALIDPARAM);
    EXPECT_EQ(ks->Get(kAudioSet, 3, nullptr, 0, mask, 8, &got), DSERR_INVALIDPARAM);
    EXPECT_EQ(ks->Set(kAudioSet, 3, nullptr, 0, mask, 4), S_OK);
    // The effect set is read without instance data, written with its block.
    EXPECT_EQ(ks->Get(VcQ3DEffectPropertySet, 5, effectsBlock, sizeof effectsBlock, value, 4, &got),
              DSERR_INVALIDPARAM);
    EXPECT_EQ(ks->Get(VcQ3DEffectPropertySet, 5, nullptr, 0, value, 4, &got), S_OK);
    ks->Release();
    sound->Release();
}

TEST_F(Fresh, SpeakerGeometryIsKeptWithAnyConfiguration)
{
    IDirectSound *sound = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    for (DWORD config : {DSSPEAKER_COMBINED(DSSPEAKER_5POINT1, DSSPEAKER_GEOMETRY_WIDE),
                         DSSPEAKER_COMBINED(DSSPEAKER_QUAD, DSSPEAKER_GEOMETRY_NARROW), DWORD(DSSPEAKER_STEREO)}) {
        DWORD read = 0;
        EXPECT_EQ(sound->SetSpeakerConfig(config), DS_OK);
        EXPECT_EQ(sound->GetSpeakerConfig(&read), DS_OK);
        EXPECT_EQ(read, config);
    }
    EXPECT_EQ(sound->SetSpeakerConfig(DSSPEAKER_COMBINED(DSSPEAKER_STEREO, 2)), DSERR_INVALIDPARAM);
    sound->Release();
}

// Every armed call: a failure, a success code passed on, or other output.
TEST_F(Fresh, ArmedCallsFailSucceedWithTheirCodeOrHandBackOtherOutput)
{
    VcFailCall("CreateSoundBuffer", 1, DS_NO_VIRTUALIZATION);
    VcBendCall("CreateSoundBuffer", 2, VcNullOut);
    VcBendCall("QueryInterface", 1, VcNullOut);
    VcFailCall("DirectSoundQueryInterface", 1, E_NOINTERFACE);
    VcFailCall("PropertySetQueryInterface", 1, E_OUTOFMEMORY);
    VcBendCall("Lock", 1, VcShortData);
    VcBendCall("Lock", 2, VcSplitLock);
    VcBendCall("Get", 1, VcShortData);
    VcBendCall("GetStatus", 1, VcBufferLost);
    VcBendCall("QuerySupport", 1, VcNoSetBit);
    IDirectSound *sound = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    IDirectSoundBuffer *buffer = nullptr, *none = reinterpret_cast<IDirectSoundBuffer *>(1);
    EXPECT_EQ(Create(sound, kDesc1, kHardware3D, 1, &buffer), DS_NO_VIRTUALIZATION);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(Create(sound, kDesc1, kHardware3D, 1, &none), DS_OK);
    EXPECT_EQ(none, nullptr);
    IKsPropertySet *ks = reinterpret_cast<IKsPropertySet *>(1);
    EXPECT_EQ(buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)), S_OK);
    EXPECT_EQ(ks, nullptr);
    IUnknown *unknown = nullptr;
    EXPECT_EQ(sound->QueryInterface(kIidUnknown, reinterpret_cast<void **>(&unknown)), E_NOINTERFACE);
    ASSERT_EQ(buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks)), S_OK);
    EXPECT_EQ(ks->QueryInterface(kIidUnknown, reinterpret_cast<void **>(&unknown)), E_OUTOFMEMORY);

    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1 + n2, 512u);
    buffer->Unlock(p1, n1, p2, n2);
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 512u);
    EXPECT_EQ(n2, 512u);
    buffer->Unlock(p1, n1, p2, n2);
    DWORD value = 0xAAAAAAAA, status = 0;
    ULONG got = 0, support = 0;
    EXPECT_EQ(ks->Get(VcQ3DEffectPropertySet, 0, nullptr, 0, &value, 4, &got), S_OK);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(value, 0xAAAA0001u);   // the mode's default, half of it
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DWORD(DSBSTATUS_BUFFERLOST));
    EXPECT_EQ(ks->QuerySupport(kAudioSet, 3, &support), S_OK);
    EXPECT_EQ(support, ULONG(KSPROPERTY_SUPPORT_GET));
    ks->Release();
    buffer->Release();
    sound->Release();
}

BOOL CALLBACK Count(LPGUID guid, LPCSTR, LPCSTR, LPVOID count)
{
    *static_cast<int *>(count) += guid ? 1 : 0;
    return TRUE;
}

// Any number of faults, each counted on its own; one device's report fails
// while the others come.
TEST_F(Fresh, ManyFaultsArmedAtOnceAndOneDeviceLeftOutOfTheList)
{
    VcDevice devices[3];
    for (int i = 0; i < 3; ++i)
        VcDefaultDevice(i, &devices[i]);
    ASSERT_TRUE(VcSetDevices(devices, 3));
    VcFailCall("EnumerateDevice", 2, DSERR_NODRIVER);
    for (int n = 1; n <= 40; n += 2)
        VcFailCall("DirectSoundCreate", n, DSERR_NODRIVER);
    int listed = 0;
    EXPECT_EQ(DirectSoundEnumerateA(Count, &listed), DS_OK);
    EXPECT_EQ(listed, 2);
    for (int n = 1; n <= 40; ++n) {
        IDirectSound *sound = nullptr;
        EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), n % 2 ? DSERR_NODRIVER : DS_OK) << n;
        if (sound)
            sound->Release();
    }
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

// Run as "--shared": 0 when DirectSound opens, 1 when it fails.
int ChildOpensDirectSound()
{
    IDirectSound *sound = nullptr;
    if (DirectSoundCreate(nullptr, &sound, nullptr) != DS_OK)
        return 1;
    sound->Release();
    return 0;
}

int RunChild(const char *mode)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    return static_cast<int>(_spawnl(_P_WAIT, self, "child", mode, nullptr));
}

// Faults shared through the registry reach another process, and its next
// call sees them cleared; a call name the card does not know ends the
// arming process at once.
TEST_F(Fresh, SharedFaultsReachAnotherProcessAndAnUnknownNameEndsTheArmingOne)
{
    ASSERT_TRUE(VcShareFault("DirectSoundCreate", 0, "0x88780078"));
    EXPECT_EQ(RunChild("--shared"), 1);
    VcClearFaults();
    EXPECT_EQ(RunChild("--shared"), 0);
    EXPECT_EQ(RunChild("--unknown"), 3);
}

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "--child") == 0)
        return ChildReadsWhatItsParentStored();
    if (argc > 1 && strcmp(argv[1], "--shared") == 0)
        return ChildOpensDirectSound();
    if (argc > 1 && strcmp(argv[1], "--unknown") == 0)
        return VcFailCall("DirectSoundCreat", 1, DSERR_GENERIC) ? 0 : 4;
    testing::InitGoogleTest(&argc, argv);
    VcReset();   // the card's key is shared by every process of the prefix
    int failed = RUN_ALL_TESTS();
    VcReset();
    return failed;
}
