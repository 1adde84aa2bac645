// The virtual card's DirectSound where the program relies on it behaving as
// the platform does, and the test hooks the program's tests trust: live
// counts, fault injection, the record, state shared with a second process.
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <dsound.h>

#include <process.h>
#include <string.h>

#include <string>

namespace {

const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const ULONG kChannelConfig = 3;
const HRESULT kIdUnsupported = static_cast<HRESULT>(0x80070490);
const HRESULT kSetUnsupported = static_cast<HRESULT>(0x80070492);
const DWORD kHardware3D = DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D;
const DWORD kTestSound = 0x8094;   // as the program's test sounds: hardware 3D, volume, global focus
const DWORD kDesc1 = sizeof(DSBUFFERDESC1);
DWORD effectsBlock[9] = {1};   // the effect set's instance data
bool isChild = false;

WAVEFORMATEX Pcm(WORD channels, WORD bits = 16)
{
    WORD align = static_cast<WORD>(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, 22050, 22050u * align, align, bits, 0};
}

IKsPropertySet *PropertySet(IDirectSoundBuffer *buffer)
{
    IKsPropertySet *ks = nullptr;
    buffer->QueryInterface(kIidKsPropertySet, reinterpret_cast<void **>(&ks));
    return ks;
}

// A field of the first record line that starts with prefix ("" when none).
std::string Field(const char *prefix, const char *key)
{
    char value[64] = "";
    size_t line = VcLogFind(prefix);
    if (line < VcLogCount())
        VcLogField(VcLogLine(line), key, value, sizeof value);
    return value;
}

void UseDevices(int count, void (*change)(VcDevice *) = nullptr)
{
    VcDevice list[VCARD_MAX_DEVICES];
    for (int i = 0; i < count; ++i)
        VcDefaultDevice(i, &list[i]);
    if (change)
        change(&list[0]);
    ASSERT_TRUE(VcSetDevices(list, count));
}

class CardTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!isChild)   // the child reads what its parent left
            VcReset();
        window = CreateWindowExA(0, "STATIC", "", WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        Close();
        DestroyWindow(window);
        if (!isChild)
            VcReset();
    }
    void Open(const GUID *device = nullptr)
    {
        Close();
        ASSERT_EQ(DirectSoundCreate(device, &sound, nullptr), DS_OK);
        ASSERT_EQ(sound->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
    }
    HRESULT Create(DWORD flags, DWORD bytes, WAVEFORMATEX format, IDirectSoundBuffer **out, DWORD size = kDesc1)
    {
        DSBUFFERDESC d = {size, flags, bytes, 0, &format};
        return sound->CreateSoundBuffer(&d, out, nullptr);
    }
    // The program's driver connection: a hardware 3D buffer held through its property set.
    void Connect()
    {
        Open();
        IDirectSoundBuffer *buffer = nullptr;
        ASSERT_EQ(Create(kHardware3D, 1024, Pcm(1), &buffer), DS_OK);
        props = PropertySet(buffer);
        buffer->Release();
        ASSERT_NE(props, nullptr);
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

struct Found {
    std::string names;
    GUID last;
};

BOOL CALLBACK Collect(LPGUID guid, LPCSTR description, LPCSTR, LPVOID context)
{
    Found *found = static_cast<Found *>(context);
    found->names += description + std::string(guid ? ";" : "(null);");
    found->last = guid ? *guid : GUID_NULL;
    return TRUE;
}

TEST_F(CardTest, DevicesAreListedPrimaryDriverFirstAndOpenedByTheirGuid)
{
    UseDevices(3);
    Found found = {};
    ASSERT_EQ(DirectSoundEnumerateA(Collect, &found), DS_OK);
    EXPECT_EQ(found.names,
              "Primary Sound Driver(null);Sonaris PCI Audio;Virtual Sound Device 1;Virtual Sound Device 2;");
    EXPECT_TRUE(IsEqualGUID(found.last, VcDefaultDeviceGuid(2)));
    // Opened by its GUID, a device other than the card has no hardware buffers.
    Open(&found.last);
    EXPECT_EQ(Field("ds.create ", "dev"), "2");
    IDirectSoundBuffer *buffer = nullptr;
    EXPECT_EQ(Create(kHardware3D, 1024, Pcm(1), &buffer), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(Create(DSBCAPS_LOCHARDWARE, 1024, Pcm(1), &buffer), DSERR_CONTROLUNAVAIL);
    Close();
    ASSERT_TRUE(VcSetDevices(nullptr, 0));
    found.names.clear();
    EXPECT_EQ(DirectSoundEnumerateA(Collect, &found), DS_OK);
    EXPECT_EQ(found.names, "");
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
}

// Descriptions the program passes, and the mistakes DirectSound refuses.
struct DescCase {
    DWORD size, flags, bytes;
    WORD channels, bits;
    HRESULT expected;
};
const DescCase kDescCases[] = {
    {kDesc1, kHardware3D, 1024, 1, 16, DS_OK},               // the driver connection
    {kDesc1, DSBCAPS_GLOBALFOCUS, 1025, 1, 16, DS_OK},       // the start-up probe
    {kDesc1, kTestSound, 44100, 1, 16, DS_OK},
    {sizeof(DSBUFFERDESC), 0, 1024, 1, 16, DS_OK},
    {kDesc1 + 4, 0, 1024, 1, 16, DSERR_INVALIDPARAM},
    {kDesc1, kHardware3D, 1024, 2, 16, DSERR_INVALIDPARAM},  // 3D control wants mono
    {kDesc1, DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE, 1024, 1, 16, DSERR_INVALIDPARAM},
    {kDesc1, 0, DSBSIZE_MIN - 1, 1, 16, DSERR_INVALIDPARAM},
    {kDesc1, 0, 1024, 1, 12, DSERR_BADFORMAT},
};

TEST_F(CardTest, BufferDescriptionsAreCheckedAsDirectSoundDoes)
{
    Open();
    for (const DescCase &c : kDescCases) {
        IDirectSoundBuffer *buffer = reinterpret_cast<IDirectSoundBuffer *>(1);
        EXPECT_EQ(Create(c.flags, c.bytes, Pcm(c.channels, c.bits), &buffer, c.size), c.expected)
            << "size " << c.size << " flags " << c.flags << " bytes " << c.bytes;
        if (c.expected == DS_OK)
            buffer->Release();
        else
            EXPECT_EQ(buffer, nullptr);
    }
    EXPECT_EQ(VcLiveBuffers(), 0);
    EXPECT_EQ(Field("ds.buffer ", "format"), "1/1/22050/44100/2/16");   // the record: as given
}

// A test sound as the program plays it: filled, routed to one speaker, played to its end.
TEST_F(CardTest, ATestSoundLocksRoutesAndEndsByItself)
{
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    IDirectSoundBuffer *buffer = nullptr;
    ASSERT_EQ(Create(kTestSound, 44100, Pcm(1), &buffer), DS_OK);   // one second
    void *p1, *p2;
    DWORD n1, n2, status = 0;
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    BYTE *start = static_cast<BYTE *>(p1);
    EXPECT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);
    ASSERT_EQ(buffer->Lock(44090, 100, &p1, &n1, &p2, &n2, 0), DS_OK);   // wraps around the end
    EXPECT_EQ(static_cast<BYTE *>(p1), start + 44090);
    EXPECT_EQ(n1, 10u);
    EXPECT_EQ(static_cast<BYTE *>(p2), start);
    EXPECT_EQ(n2, 90u);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(buffer->Lock(44100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);

    IKsPropertySet *ks = PropertySet(buffer);
    ASSERT_NE(ks, nullptr);
    ULONG support = 0;
    ASSERT_EQ(ks->QuerySupport(kAudioSet, kChannelConfig, &support), S_OK);
    EXPECT_EQ(support, static_cast<ULONG>(KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET));
    EXPECT_EQ(Field("ks.support ", "support"), "0x3");
    // Front left and right together; side left, not one of the card's six.
    for (LONG wrong : {0x3L, 0x200L})
        EXPECT_EQ(ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &wrong, sizeof wrong), DSERR_INVALIDPARAM);
    LONG mask = 0x10, read = 0;   // back left
    EXPECT_EQ(ks->Set(kAudioSet, 1, nullptr, 0, &mask, sizeof mask), kIdUnsupported);
    ASSERT_EQ(ks->Set(kAudioSet, kChannelConfig, nullptr, 0, &mask, sizeof mask), S_OK);
    ASSERT_EQ(ks->Get(kAudioSet, kChannelConfig, nullptr, 0, &read, sizeof read, &support), S_OK);
    EXPECT_EQ(read, mask);
    ks->Release();

    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);   // no cooperative level yet
    ASSERT_EQ(sound->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
    VcSetPlayTimePercent(10);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING));
    EXPECT_EQ(VcPlayingBuffers(), 1);
    EXPECT_EQ(Field("buf.route ", "mask"), "0x10");
    EXPECT_EQ(Field("buf.play ", "mask"), "0x10");
    Sleep(300);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_LT(VcLogFind("buf.end "), VcLogCount());

    // The fingerprint of each play tells the data.
    const char *words[] = {"front left", "front left", "rear right"};
    std::string crc[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
        memset(p1, 0, n1);
        memcpy(p1, words[i], strlen(words[i]));
        buffer->Unlock(p1, n1, nullptr, 0);
        VcLogClear();
        ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
        crc[i] = Field("buf.play ", "crc");
        buffer->Stop();
    }
    EXPECT_EQ(crc[0], crc[1]);
    EXPECT_NE(crc[0], crc[2]);
    buffer->Release();
}

// The driver's two property sets: id and size of each property.
struct Property {
    bool effect;
    ULONG id, size;
};
const Property kProperties[] = {
    {false, 0, 4}, {false, 2, 4}, {false, 5, 4}, {false, 6, 4}, {false, 7, 4},
    {false, 11, 4}, {false, 12, 8}, {true, 0, 4}, {true, 1, 4}, {true, 3, 4},
    {true, 4, 4}, {true, 5, 4}, {true, 8, 4}, {true, 9, 4}, {true, 10, 4},
};

TEST_F(CardTest, DriverPropertiesCheckSizeAndInstanceData)
{
    Connect();
    EXPECT_EQ(VcLiveBuffers(), 1);   // kept alive by its property set
    EXPECT_EQ(VcLivePropertySets(), 1);
    DWORD zeroBlock[9] = {};
    ULONG got = 0;
    for (const Property &p : kProperties) {
        SCOPED_TRACE(testing::Message() << (p.effect ? "effect " : "Q3D ") << p.id);
        const GUID &set = p.effect ? VcQ3DEffectPropertySet : VcQ3DPropertySet;
        void *inst = p.effect ? effectsBlock : nullptr;
        ULONG instLength = p.effect ? sizeof effectsBlock : 0;
        ULONG support = 0;
        EXPECT_EQ(props->QuerySupport(set, p.id, &support), S_OK);
        EXPECT_EQ(support, static_cast<ULONG>(KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET));
        DWORD value[2] = {0x100 + p.id, 7}, after[2] = {};
        EXPECT_EQ(props->Set(set, p.id, inst, instLength, value, p.size + 4), DSERR_INVALIDPARAM);
        EXPECT_EQ(props->Get(set, p.id, nullptr, 0, after, p.size - 1, &got), DSERR_INVALIDPARAM);
        // The effect set writes only with its 36-byte block, first word 1; the Q3D set takes none.
        EXPECT_EQ(props->Set(set, p.id, zeroBlock, sizeof zeroBlock, value, p.size), DSERR_INVALIDPARAM);
        if (p.effect) {
            EXPECT_EQ(props->Set(set, p.id, nullptr, 0, value, p.size), DSERR_INVALIDPARAM);
            EXPECT_EQ(props->Set(set, p.id, inst, 32, value, p.size), DSERR_INVALIDPARAM);
        }
        ASSERT_EQ(props->Get(set, p.id, nullptr, 0, after, p.size, &got), S_OK);
        EXPECT_NE(memcmp(after, value, p.size), 0) << "a refused Set stored its value";
        ASSERT_EQ(props->Set(set, p.id, inst, instLength, value, p.size), S_OK);
        ASSERT_EQ(props->Get(set, p.id, nullptr, 0, after, p.size, &got), S_OK);
        EXPECT_EQ(got, p.size);
        EXPECT_EQ(memcmp(after, value, p.size), 0);
    }
    DWORD value[2] = {1, 2};
    EXPECT_EQ(props->Set(VcQ3DPropertySet, 1, nullptr, 0, value, 4), kIdUnsupported);
    EXPECT_EQ(props->Get(VcQ3DEffectPropertySet, 2, nullptr, 0, value, 4, &got), kIdUnsupported);
    EXPECT_EQ(props->QuerySupport(VcQ3DEffectPropertySet, 6, &got), kIdUnsupported);
    VcLogClear();
    ASSERT_EQ(props->Set(VcQ3DPropertySet, 12, nullptr, 0, value, 8), S_OK);
    EXPECT_NE(strstr(VcLogLine(0), "set=Q3D id=12 inst=0 size=8 value=0x00000001,0x00000002 hr=0x00000000"),
              nullptr) << VcLogLine(0);

    // A card configured without the driver's sets or the channel configuration.
    UseDevices(1, [](VcDevice *card) { card->q3D = card->channelConfig = false; });
    Connect();
    EXPECT_EQ(props->Get(VcQ3DPropertySet, 5, nullptr, 0, value, 4, &got), kSetUnsupported);
    EXPECT_EQ(props->Set(VcQ3DEffectPropertySet, 5, effectsBlock, 36, value, 4), kSetUnsupported);
    EXPECT_EQ(props->QuerySupport(kAudioSet, kChannelConfig, &got), kIdUnsupported);
    EXPECT_EQ(props->Set(kAudioSet, kChannelConfig, nullptr, 0, value, 4), kIdUnsupported);
}

TEST_F(CardTest, LiveCountsAndFaultsShowWhatTheProgramDid)
{
    Open();
    EXPECT_EQ(VcLiveDirectSounds(), 1);
    ASSERT_TRUE(VcFailCall("CreateSoundBuffer", 2, DSERR_OUTOFMEMORY));
    IDirectSoundBuffer *buffers[3] = {};
    ASSERT_EQ(Create(kTestSound, 1024, Pcm(1), &buffers[0]), DS_OK);
    EXPECT_EQ(Create(kTestSound, 1024, Pcm(1), &buffers[1]), DSERR_OUTOFMEMORY);
    ASSERT_EQ(Create(kTestSound, 1024, Pcm(1), &buffers[2]), DS_OK);
    EXPECT_EQ(Field("fault method=CreateSoundBuffer", "call"), "2");
    buffers[2]->Release();
    // The object released while a buffer is still held: both show.
    sound->Release();
    sound = nullptr;
    EXPECT_EQ(VcLiveDirectSounds(), 0);
    EXPECT_EQ(VcLiveBuffers(), 1);
    EXPECT_EQ(Field("ds.release ", "buffers"), "1");
    buffers[0]->Release();
    EXPECT_EQ(VcLiveBuffers(), 0);

    ASSERT_TRUE(VcFailCall("DirectSoundCreate", 0, DSERR_NODRIVER));   // 0: every call
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
    VcClearFaults();
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
}

TEST_F(CardTest, SpeakersAndPropertiesReachASecondProcess)
{
    if (isChild)
        GTEST_SKIP();
    Connect();
    EXPECT_EQ(sound->SetSpeakerConfig(0x0A), DSERR_INVALIDPARAM);
    EXPECT_EQ(sound->SetSpeakerConfig(DSSPEAKER_COMBINED(DSSPEAKER_QUAD, DSSPEAKER_GEOMETRY_WIDE)),
              DSERR_INVALIDPARAM);
    VcLogClear();
    ASSERT_EQ(sound->SetSpeakerConfig(DSSPEAKER_QUAD), DS_OK);
    EXPECT_EQ(Field("ds.speaker.set ", "value"), "0x3");
    DWORD environment[2] = {1, 2};
    ASSERT_EQ(props->Set(VcQ3DPropertySet, 12, nullptr, 0, environment, 8), S_OK);
    Close();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    EXPECT_EQ(_spawnl(_P_WAIT, self, "child", "--child", "--gtest_filter=CardTest.InTheSecondProcess", nullptr),
              0);
    Connect();
    float spread = 0;
    ULONG got;
    ASSERT_EQ(props->Get(VcQ3DEffectPropertySet, 9, nullptr, 0, &spread, 4, &got), S_OK);
    EXPECT_EQ(spread, 0.25f);
    EXPECT_EQ(VcSpeakerConfig(0), static_cast<DWORD>(DSSPEAKER_5POINT1));
}

// The child's part: it reads what the first process stored, then stores its own.
TEST_F(CardTest, InTheSecondProcess)
{
    if (!isChild)
        GTEST_SKIP() << "run by SpeakersAndPropertiesReachASecondProcess";
    Connect();
    DWORD config = 0, environment[2] = {};
    ULONG got;
    ASSERT_EQ(sound->GetSpeakerConfig(&config), DS_OK);
    EXPECT_EQ(config, static_cast<DWORD>(DSSPEAKER_QUAD));
    ASSERT_EQ(props->Get(VcQ3DPropertySet, 12, nullptr, 0, environment, 8, &got), S_OK);
    EXPECT_EQ(environment[1], 2u);
    float spread = 0.25f;
    EXPECT_EQ(props->Set(VcQ3DEffectPropertySet, 9, effectsBlock, 36, &spread, 4), S_OK);
    EXPECT_EQ(sound->SetSpeakerConfig(DSSPEAKER_5POINT1), DS_OK);
}

} // namespace

int main(int argc, char **argv)
{
    isChild = argc > 1 && strcmp(argv[1], "--child") == 0;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
