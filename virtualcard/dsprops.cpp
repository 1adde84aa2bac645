// The property-set interface of the card's buffers: the platform's channel
// configuration on every secondary buffer, and the driver's two Q3D sets on
// its hardware 3D buffers, with values kept per device in the registry.
#include "virtualcard/dsobjects.h"

#include <stdio.h>
#include <string.h>

namespace {

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
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

// The effect set's instance block: nine words, the first 1.
bool IsEffectsBlock(const void *instance, ULONG length)
{
    if (!instance || length != kEffectsBlockSize)
        return false;
    DWORD first;
    memcpy(&first, instance, sizeof first);
    return first == 1;
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

void LogAccess(const char *event, int buffer, REFGUID set, ULONG id, ULONG instanceLength,
               const void *data, ULONG size, HRESULT hr)
{
    char name[64], value[200];
    SetKind kind = KindOf(set);
    if (kind == OtherSet)
        FormatGuid(&set, name, sizeof name);
    else
        snprintf(name, sizeof name, "%s", SetName(kind));
    FormatWords(SUCCEEDED(hr) || strcmp(event, "ks.set") == 0 ? data : nullptr, size, value,
                sizeof value);
    VcLog("%s buf=%d set=%s id=%lu inst=%lu size=%lu value=%s hr=0x%08lx", event, buffer, name,
          static_cast<unsigned long>(id), static_cast<unsigned long>(instanceLength),
          static_cast<unsigned long>(size), value, static_cast<unsigned long>(hr));
}

} // namespace

STDMETHODIMP CardPropertySet::QueryInterface(REFIID riid, void **object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualGUID(riid, kIidKsPropertySet)) {
        AddRef();
        *object = static_cast<IKsPropertySet *>(this);
        return S_OK;
    }
    if (IsEqualGUID(riid, kIidUnknown))   // the buffer object's identity
        return buffer->QueryInterface(riid, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CardPropertySet::AddRef()
{
    if (ref++ == 0)
        ++livePropertySets;
    return ref;
}

STDMETHODIMP_(ULONG) CardPropertySet::Release()
{
    if (ref == 0)
        return 0;
    ULONG left = --ref;
    if (left == 0) {
        VcLog("ks.release buf=%d", buffer->id);
        --livePropertySets;
        buffer->DestroyIfUnused();
    }
    return left;
}

STDMETHODIMP CardPropertySet::QuerySupport(REFGUID set, ULONG id, PULONG support)
{
    HRESULT hr = CardFault("QuerySupport");
    ULONG flags = 0;
    SetKind kind = KindOf(set);
    if (FAILED(hr)) {
    } else if (!support) {
        hr = E_POINTER;
    } else if (kind == AudioSet) {
        if (id == kChannelConfigId && buffer->sound->device.channelConfig)
            flags = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
        else
            hr = E_PROP_ID_UNSUPPORTED;
    } else if ((kind == Q3DSet || kind == EffectSet) && buffer->OffersQ3D()) {
        if (FindProperty(kind, id))
            flags = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
        else
            hr = E_PROP_ID_UNSUPPORTED;
    } else {
        hr = E_PROP_SET_UNSUPPORTED;
    }
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
    HRESULT hr = CardFault("Get");
    SetKind kind = KindOf(set);
    const Q3DProperty *property = nullptr;
    if (FAILED(hr)) {
    } else if (buffer->sound->released) {
        hr = DSERR_UNINITIALIZED;
    } else if (kind == AudioSet) {
        if (id != kChannelConfigId || !buffer->sound->device.channelConfig)
            hr = E_PROP_ID_UNSUPPORTED;
        else if (!data || dataLength < sizeof(LONG))
            hr = DSERR_INVALIDPARAM;
        else
            memcpy(data, &buffer->speakerMask, sizeof(LONG));
        dataLength = sizeof(LONG);
    } else if ((kind == Q3DSet || kind == EffectSet) && buffer->OffersQ3D()) {
        property = FindProperty(kind, id);
        if (!property)
            hr = E_PROP_ID_UNSUPPORTED;
        else if (!data || dataLength != property->size)
            hr = DSERR_INVALIDPARAM;
        // Reading takes no instance data; the effect set also accepts its block.
        else if ((instance || instanceLength) &&
                 !(kind == EffectSet && IsEffectsBlock(instance, instanceLength)))
            hr = DSERR_INVALIDPARAM;
        else if (!CardLoadProperty(buffer->sound->deviceIndex, RegistryName(kind), id, data,
                                   property->size))
            memcpy(data, property->defaults, property->size);
    } else {
        hr = E_PROP_SET_UNSUPPORTED;
    }
    if (returned)
        *returned = SUCCEEDED(hr) ? dataLength : 0;
    LogAccess("ks.get", buffer->id, set, id, instanceLength, data, dataLength, hr);
    return hr;
}

STDMETHODIMP CardPropertySet::Set(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength,
                                  LPVOID data, ULONG dataLength)
{
    HRESULT hr = CardFault("Set");
    SetKind kind = KindOf(set);
    if (FAILED(hr)) {
    } else if (buffer->sound->released) {
        hr = DSERR_UNINITIALIZED;
    } else if (kind == AudioSet) {
        LONG mask = 0;
        if (id != kChannelConfigId || !buffer->sound->device.channelConfig) {
            hr = E_PROP_ID_UNSUPPORTED;
        } else if (!data || dataLength < sizeof(LONG)) {
            hr = DSERR_INVALIDPARAM;
        } else {
            memcpy(&mask, data, sizeof mask);
            // The card routes a buffer to one of its speakers, never to several.
            if (mask == 0 || (mask & (mask - 1)) != 0 || (mask & ~kCardSpeakers) != 0)
                hr = DSERR_INVALIDPARAM;
        }
        LogAccess("ks.set", buffer->id, set, id, instanceLength, data, dataLength, hr);
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
            CardStoreProperty(buffer->sound->deviceIndex, RegistryName(kind), id, data,
                              property->size);
    } else {
        hr = E_PROP_SET_UNSUPPORTED;
    }
    LogAccess("ks.set", buffer->id, set, id, instanceLength, data, dataLength, hr);
    return hr;
}
