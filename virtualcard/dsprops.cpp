// The property-set interface of the card's buffers: the platform's channel
// configuration on every secondary buffer, and the driver's two Q3D sets on
// its hardware 3D buffers, with values kept per device in the registry.
#include "virtualcard/dsobjects.h"

#include <stdio.h>
#include <string.h>

namespace {

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
const GUID kAudioSet = {0x45FFAAA0, 0x6E1B, 0x11D0, {0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const ULONG kChannelConfigId = 3;   // KSPROPERTY_AUDIO_CHANNEL_CONFIG
// The card drives six speakers: front left and right, centre, subwoofer,
// rear left and right.
const LONG kCardSpeakers = 0x3F;

#ifndef E_PROP_SET_UNSUPPORTED
#define E_PROP_SET_UNSUPPORTED ((HRESULT)0x80070492)
#endif
#ifndef E_PROP_ID_UNSUPPORTED
#define E_PROP_ID_UNSUPPORTED ((HRESULT)0x80070490)
#endif

enum Instance { NoInstance, EffectsBlock };

// The driver's properties, with the value each has before the first Set.
struct Q3DProperty {
    bool effectSet;
    ULONG id;
    ULONG size;
    Instance setInstance;   // what Set needs; Get takes none
    DWORD defaults[2];
};

const DWORD kOneF = 0x3F800000, kHalfF = 0x3F000000;   // 1.0f, 0.5f

const Q3DProperty kQ3DProperties[] = {
    {false, 0, 4, NoInstance, {0}},             // mixing format (2 = floating point)
    {false, 2, 4, NoInstance, {0}},             // voice-manager flags
    {false, 5, 4, NoInstance, {0}},             // low-frequency enhancement
    {false, 6, 4, NoInstance, {64}},            // most buffers in total
    {false, 7, 4, NoInstance, {32}},            // most buffers playing at once
    {false, 11, 4, NoInstance, {kOneF}},        // volume, linear gain
    {false, 12, 8, NoInstance, {0, 0xFFFFFFFF}},// reverb environment: bank, index (-1: none)
    {true, 0, 4, EffectsBlock, {1}},            // 3D mode: QSound
    {true, 1, 4, EffectsBlock, {0}},
    {true, 3, 4, EffectsBlock, {0}},            // stereo expansion
    {true, 4, 4, EffectsBlock, {0}},            // elevation
    {true, 5, 4, EffectsBlock, {0}},            // reverb
    {true, 8, 4, EffectsBlock, {0}},            // interpolating rate conversion
    {true, 9, 4, EffectsBlock, {kHalfF}},       // spread
    {true, 10, 4, EffectsBlock, {kHalfF}},      // center
};

const ULONG kEffectsBlockSize = 36;

enum SetKind { AudioSet, Q3DSet, EffectSet, OtherSet };

SetKind KindOf(REFGUID set)
{
    if (IsEqualGUID(set, kAudioSet))
        return AudioSet;
    if (IsEqualGUID(set, VcQ3DPropertySet))
        return Q3DSet;
    if (IsEqualGUID(set, VcQ3DEffectPropertySet))
        return EffectSet;
    return OtherSet;
}

const char *SetName(SetKind kind)
{
    switch (kind) {
    case AudioSet: return "Audio";
    case Q3DSet: return "Q3D";
    case EffectSet: return "Effect";
    default: return "other";
    }
}

const char *RegistryName(SetKind kind)
{
    return kind == EffectSet ? "Q3DEffectPropertySet" : "Q3DPropertySet";
}

const Q3DProperty *FindProperty(SetKind kind, ULONG id)
{
    for (const Q3DProperty &p : kQ3DProperties)
        if (p.effectSet == (kind == EffectSet) && p.id == id)
            return &p;
    return nullptr;
}

// The effect set's instance block: nine words, 1 and then eight zeros.
bool IsEffectsBlock(const void *instance, ULONG length)
{
    static const DWORD kBlock[kEffectsBlockSize / sizeof(DWORD)] = {1};
    return instance && length == kEffectsBlockSize && memcmp(instance, kBlock, sizeof kBlock) == 0;
}

void FormatWords(const void *data, ULONG size, char *out, size_t outSize)
{
    out[0] = '\0';
    if (!data) {
        snprintf(out, outSize, "null");
        return;
    }
    size_t used = 0;
    for (ULONG i = 0; i + 4 <= size && i < 64 && used < outSize; i += 4) {
        DWORD word;
        memcpy(&word, static_cast<const BYTE *>(data) + i, sizeof word);
        used += snprintf(out + used, outSize - used, "%s0x%08lx", i ? "," : "",
                         static_cast<unsigned long>(word));
    }
}

// A Get or Set as the record shows it: the size asked for, and the value
// (as much of it as was read or written; "null" for none).
void LogAccess(const char *event, int buffer, REFGUID set, ULONG id, ULONG instanceLength,
               const void *data, ULONG size, ULONG shown, HRESULT hr)
{
    char name[64], value[200];
    SetKind kind = KindOf(set);
    if (kind == OtherSet)
        FormatGuid(&set, name, sizeof name);
    else
        snprintf(name, sizeof name, "%s", SetName(kind));
    FormatWords(data, shown, value, sizeof value);
    VcLog("%s buf=%d set=%s id=%lu inst=%lu size=%lu value=%s hr=0x%08lx", event, buffer, name,
          static_cast<unsigned long>(id), static_cast<unsigned long>(instanceLength),
          static_cast<unsigned long>(size), value, static_cast<unsigned long>(hr));
}

// What the channel configuration offers on this buffer's device: the support
// flags, or the failure of QuerySupport.
HRESULT ChannelConfigSupport(VcChannelConfig offer, ULONG *flags)
{
    switch (offer) {
    case VcChannelConfigSettable:
        *flags = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
        return S_OK;
    case VcChannelConfigGetOnly:
        *flags = KSPROPERTY_SUPPORT_GET;
        return S_OK;
    case VcChannelConfigNoFlags:
        *flags = 0;
        return S_OK;
    default:
        *flags = 0;
        return E_PROP_ID_UNSUPPORTED;
    }
}

// The channel configuration takes one 32-bit mask and no instance data.
HRESULT CheckChannelConfigCall(VcChannelConfig offer, bool setting, ULONG id, const void *instance,
                               ULONG instanceLength, const void *data, ULONG dataLength)
{
    bool offered = offer == VcChannelConfigSettable || (offer == VcChannelConfigGetOnly && !setting);
    if (id != kChannelConfigId || !offered)
        return E_PROP_ID_UNSUPPORTED;
    if (instance || instanceLength || !data || dataLength != sizeof(LONG))
        return DSERR_INVALIDPARAM;
    return S_OK;
}

} // namespace

bool CardPropertySet::Gone(const char *call) const
{
    return CardUsedAfterRelease(buffer->destroyed || ref == 0, "propertyset", buffer->id, call);
}

void CardPropertySet::Hand(void **object)
{
    if (ref++ == 0) {
        ++livePropertySets;
        VcLedger("property-set", +1);
    }
    *object = static_cast<IKsPropertySet *>(this);
}

void CardPropertySet::Drop()
{
    ref = 0;
    --livePropertySets;
}

STDMETHODIMP CardPropertySet::QueryInterface(REFIID riid, void **object)
{
    if (Gone("QueryInterface"))
        return E_UNEXPECTED;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CardCall fault = CardFault("PropertySetQueryInterface");
    if (FAILED(fault.result))
        return fault.result;
    // One object: the property set gives back the buffer, and the buffer it.
    bool properties = IsEqualGUID(riid, kIidKsPropertySet);
    if (!properties && !IsEqualGUID(riid, kIidUnknown) && !IsEqualGUID(riid, kIidDirectSoundBuffer))
        return E_NOINTERFACE;
    if (fault.output == VcNullOut)
        return fault.result;
    if (properties)
        Hand(object);
    else
        buffer->Hand(object);
    return fault.result;
}

STDMETHODIMP_(ULONG) CardPropertySet::AddRef()
{
    if (Gone("AddRef"))
        return 0;
    return ++ref;
}

STDMETHODIMP_(ULONG) CardPropertySet::Release()
{
    if (Gone("Release"))
        return 0;
    ULONG left = --ref;
    if (left == 0) {
        VcLog("ks.release buf=%d", buffer->id);
        VcLedger("property-set", -1);
        --livePropertySets;
        buffer->DestroyIfUnused();
    }
    return left;
}


STDMETHODIMP CardPropertySet::QuerySupport(REFGUID set, ULONG id, PULONG support)
{
    if (Gone("QuerySupport"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("QuerySupport");
    HRESULT hr = fault.result;
    ULONG flags = 0;
    SetKind kind = KindOf(set);
    if (FAILED(hr)) {
    } else if (!support) {
        hr = E_POINTER;
    } else if (kind == AudioSet) {
        HRESULT offered = id == kChannelConfigId
                              ? ChannelConfigSupport(buffer->sound->device.channelConfig, &flags)
                              : E_PROP_ID_UNSUPPORTED;
        if (FAILED(offered))
            hr = offered;
    } else if ((kind == Q3DSet || kind == EffectSet) && buffer->OffersQ3D()) {
        if (FindProperty(kind, id))
            flags = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
        else
            hr = E_PROP_ID_UNSUPPORTED;
    } else {
        hr = E_PROP_SET_UNSUPPORTED;
    }
    if (fault.output == VcNoSetBit && SUCCEEDED(hr))
        flags = KSPROPERTY_SUPPORT_GET;
    if (support && SUCCEEDED(hr))
        *support = flags;
    char name[64];
    if (kind == OtherSet)
        FormatGuid(&set, name, sizeof name);
    else
        snprintf(name, sizeof name, "%s", SetName(kind));
    VcLog("ks.support buf=%d set=%s id=%lu support=0x%lx hr=0x%08lx", buffer->id, name,
          static_cast<unsigned long>(id), static_cast<unsigned long>(flags),
          static_cast<unsigned long>(hr));
    return hr;
}


STDMETHODIMP CardPropertySet::Get(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength,
                                  LPVOID data, ULONG dataLength, PULONG returned)
{
    if (Gone("Get"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("Get");
    HRESULT hr = fault.result;
    SetKind kind = KindOf(set);
    ULONG filled = 0;
    BYTE value[16] = {};
    if (FAILED(hr)) {
    } else if (!returned) {
        hr = E_POINTER;   // DirectSound documents E_POINTER: the returned length is not optional
    } else if (kind == AudioSet) {
        HRESULT refused = CheckChannelConfigCall(buffer->sound->device.channelConfig, false, id, instance,
                                                 instanceLength, data, dataLength);
        if (FAILED(refused))
            hr = refused;
        else
            memcpy(value, &buffer->speakerMask, filled = sizeof(LONG));
    } else if ((kind == Q3DSet || kind == EffectSet) && buffer->OffersQ3D()) {
        const Q3DProperty *property = FindProperty(kind, id);
        // Reading takes no instance data from either set.
        if (!property)
            hr = E_PROP_ID_UNSUPPORTED;
        else if (!data || dataLength != property->size || instance || instanceLength)
            hr = DSERR_INVALIDPARAM;
        else if (!CardLoadProperty(buffer->sound->deviceIndex, RegistryName(kind), id, value, property->size))
            memcpy(value, property->defaults, filled = property->size);
        else
            filled = property->size;
    } else {
        hr = E_PROP_SET_UNSUPPORTED;
    }
    if (SUCCEEDED(hr) && fault.output == VcShortData)
        filled /= 2;   // a driver answering with part of the value
    if (SUCCEEDED(hr))
        memcpy(data, value, filled);
    if (returned)   // null only in a call refused above
        *returned = SUCCEEDED(hr) ? filled : 0;
    LogAccess("ks.get", buffer->id, set, id, instanceLength, SUCCEEDED(hr) ? data : nullptr, dataLength, filled, hr);
    return hr;
}

STDMETHODIMP CardPropertySet::Set(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength,
                                  LPVOID data, ULONG dataLength)
{
    if (Gone("Set"))
        return E_UNEXPECTED;
    HRESULT hr = CardFault("Set").result;
    SetKind kind = KindOf(set);
    if (FAILED(hr)) {
    } else if (kind == AudioSet) {
        LONG mask = 0;
        HRESULT refused = CheckChannelConfigCall(buffer->sound->device.channelConfig, true, id, instance,
                                                 instanceLength, data, dataLength);
        if (SUCCEEDED(refused)) {
            memcpy(&mask, data, sizeof mask);
            // The card routes a buffer to one of its speakers, never to several.
            if (mask == 0 || (mask & (mask - 1)) != 0 || (mask & ~kCardSpeakers) != 0)
                refused = DSERR_INVALIDPARAM;
        }
        if (FAILED(refused))
            hr = refused;
        LogAccess("ks.set", buffer->id, set, id, instanceLength, data, dataLength, dataLength, hr);
        if (SUCCEEDED(hr)) {
            buffer->speakerMask = mask;
            VcLog("buf.route buf=%d mask=0x%lx", buffer->id, static_cast<unsigned long>(mask));
        }
        return hr;
    } else if ((kind == Q3DSet || kind == EffectSet) && buffer->OffersQ3D()) {
        const Q3DProperty *property = FindProperty(kind, id);
        if (!property)
            hr = E_PROP_ID_UNSUPPORTED;
        else if (!data || dataLength != property->size)
            hr = DSERR_INVALIDPARAM;
        else if (property->setInstance == EffectsBlock ? !IsEffectsBlock(instance, instanceLength)
                                                       : (instance || instanceLength))
            hr = DSERR_INVALIDPARAM;
        else
            CardStoreProperty(buffer->sound->deviceIndex, RegistryName(kind), id, data, property->size);
    } else {
        hr = E_PROP_SET_UNSUPPORTED;
    }
    LogAccess("ks.set", buffer->id, set, id, instanceLength, data, dataLength, dataLength, hr);
    return hr;
}
