// The card's DirectSound entry points and device object: enumeration,
// creation, cooperative level, buffer creation and speaker configuration.
#include "virtualcard/dsobjects.h"

#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID kDefaultPlayback = {0xDEF00000, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};
const GUID kDefaultVoicePlayback = {0xDEF00002, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};

const DWORD kKnownBufferFlags =
    DSBCAPS_PRIMARYBUFFER | DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE |
    DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
    DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLFX | DSBCAPS_STICKYFOCUS | DSBCAPS_GLOBALFOCUS |
    DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_MUTE3DATMAXDISTANCE | DSBCAPS_LOCDEFER;

// The device a GUID names: null and the default-playback aliases name the
// first one.
int FindDevice(LPCGUID guid, VcDevice *device)
{
    int count = CardDeviceCount();
    if (count == 0)
        return -1;
    if (!guid || IsEqualGUID(*guid, GUID_NULL) || IsEqualGUID(*guid, kDefaultPlayback) ||
        IsEqualGUID(*guid, kDefaultVoicePlayback))
        return CardDevice(0, device) ? 0 : -1;
    for (int i = 0; i < count; ++i)
        if (CardDevice(i, device) && IsEqualGUID(device->guid, *guid))
            return i;
    return -1;
}

// A PCM format that the card can play: what the platform's mixer accepts.
HRESULT CheckFormat(const WAVEFORMATEX *f)
{
    if (f->wFormatTag != WAVE_FORMAT_PCM)
        return DSERR_BADFORMAT;
    if (f->nChannels < 1 || f->nChannels > 2 || (f->wBitsPerSample != 8 && f->wBitsPerSample != 16))
        return DSERR_BADFORMAT;
    if (f->nSamplesPerSec < DSBFREQUENCY_MIN || f->nSamplesPerSec > DSBFREQUENCY_MAX)
        return DSERR_BADFORMAT;
    if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8 ||
        f->nAvgBytesPerSec != f->nSamplesPerSec * f->nBlockAlign)
        return DSERR_BADFORMAT;
    return DS_OK;
}

HRESULT CheckBufferDesc(const CardDirectSound &ds, const DSBUFFERDESC *d)
{
    if (d->dwSize != sizeof(DSBUFFERDESC1) && d->dwSize != sizeof(DSBUFFERDESC))
        return DSERR_INVALIDPARAM;
    // DirectSound documents dwReserved as reserved: it must be 0.
    if (d->dwReserved != 0)
        return DSERR_INVALIDPARAM;
    DWORD flags = d->dwFlags;
    // DirectSound documents the 3D algorithm as GUID_NULL on a buffer without
    // DSBCAPS_CTRL3D; only the second form of the description has one.
    if (d->dwSize == sizeof(DSBUFFERDESC) && !(flags & DSBCAPS_CTRL3D) && !IsEqualGUID(d->guid3DAlgorithm, GUID_NULL))
        return DSERR_INVALIDPARAM;
    if (flags & ~kKnownBufferFlags)
        return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_LOCHARDWARE) && (flags & DSBCAPS_LOCSOFTWARE))
        return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_LOCDEFER) && (flags & (DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE)))
        return DSERR_INVALIDPARAM;
    if (flags & DSBCAPS_CTRLFX)
        return DSERR_DS8_REQUIRED;   // an object of DirectSoundCreate, not of version 8
    if (flags & DSBCAPS_PRIMARYBUFFER) {
        if (d->dwBufferBytes != 0 || d->lpwfxFormat != nullptr)
            return DSERR_INVALIDPARAM;
        if (flags & (DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_STATIC))
            return DSERR_INVALIDPARAM;
        return DS_OK;
    }
    if (!d->lpwfxFormat)
        return DSERR_INVALIDPARAM;
    if (d->dwBufferBytes < DSBSIZE_MIN || d->dwBufferBytes > DSBSIZE_MAX)
        return DSERR_INVALIDPARAM;
    HRESULT hr = CheckFormat(d->lpwfxFormat);
    if (FAILED(hr))
        return hr;
    if ((flags & DSBCAPS_CTRL3D) && d->lpwfxFormat->nChannels != 1)
        return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_LOCHARDWARE) && !ds.device.hardware3D)
        return DSERR_CONTROLUNAVAIL;
    return DS_OK;
}

// Where a secondary buffer goes, as DirectSound places it: in hardware when
// asked for, or, without a location, while the device has hardware buffers
// free; in software otherwise. A hardware buffer asked for when all are
// taken is refused.
HRESULT PlaceBuffer(const CardDirectSound &ds, DWORD flags, bool *inHardware)
{
    *inHardware = false;
    if (flags & (DSBCAPS_PRIMARYBUFFER | DSBCAPS_LOCSOFTWARE))
        return DS_OK;
    bool asked = (flags & DSBCAPS_LOCHARDWARE) != 0;
    if (ds.device.hardware3D && CardTakeHardwareBuffer(ds.deviceIndex, ds.device.hardwareBuffers)) {
        *inHardware = true;
        return DS_OK;
    }
    return asked ? DSERR_ALLOCATED : DS_OK;
}

// DirectSound documents that a new buffer's memory is not initialised, so a
// program cannot assume silence there: the card fills it with a pattern that
// is neither 8-bit (0x80) nor 16-bit (0) silence, heard wherever it is played.
BYTE *UninitialisedMemory(DWORD size)
{
    BYTE *memory = static_cast<BYTE *>(malloc(size));
    for (DWORD i = 0; memory && i < size; ++i)
        memory[i] = i & 1 ? 0xA5 : 0x5A;
    return memory;
}

// The window a cooperative level names, as the record shows it.
void DescribeWindow(HWND hwnd, char *out, size_t size)
{
    char name[64] = "";
    if (IsWindow(hwnd))
        GetClassNameA(hwnd, name, sizeof name);
    snprintf(out, size, "class=\"%s\" style=0x%lx exstyle=0x%lx", name,
             static_cast<unsigned long>(IsWindow(hwnd) ? GetWindowLongA(hwnd, GWL_STYLE) : 0),
             static_cast<unsigned long>(IsWindow(hwnd) ? GetWindowLongA(hwnd, GWL_EXSTYLE) : 0));
}

} // namespace

CardDirectSound::CardDirectSound(int index, const VcDevice &d)
    : id(CardNextObjectId()), deviceIndex(index), device(d)
{
    ++liveDirectSounds;
    VcLedger("directsound", +1);
}

bool CardUsedAfterRelease(bool released, const char *object, int id, const char *call)
{
    if (!released)
        return false;
    ++usesAfterRelease;
    VcLog("use.after.release object=%s id=%d call=%s", object, id, call);
    return true;
}

STDMETHODIMP CardDirectSound::QueryInterface(REFIID riid, void **object)
{
    if (Gone("QueryInterface"))
        return E_UNEXPECTED;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CardCall fault = CardFault("DirectSoundQueryInterface");
    if (FAILED(fault.result))
        return fault.result;
    if (!IsEqualGUID(riid, kIidUnknown) && !IsEqualGUID(riid, kIidDirectSound))
        return E_NOINTERFACE;
    if (fault.output == VcNullOut)
        return S_OK;
    ++ref;
    *object = static_cast<IDirectSound *>(this);
    return fault.result;
}

STDMETHODIMP_(ULONG) CardDirectSound::AddRef()
{
    if (Gone("AddRef"))
        return 0;
    return ++ref;
}

STDMETHODIMP_(ULONG) CardDirectSound::Release()
{
    if (Gone("Release"))
        return 0;
    ULONG left = --ref;
    if (left == 0) {
        VcLog("ds.release obj=%d buffers=%u", id, static_cast<unsigned>(buffers.size()));
        --liveDirectSounds;
        VcLedger("directsound", -1);
        released = true;
        // Its buffers go with it, as DirectSound releases them; the
        // program still held them, which the tests count as a leak.
        buffersLeftAtRelease += static_cast<int>(buffers.size());
        while (!buffers.empty())
            buffers.back()->Destroy();
    }
    return left;
}

void CardDirectSound::Forget(CardBuffer *buffer)
{
    for (size_t i = 0; i < buffers.size(); ++i)
        if (buffers[i] == buffer) {
            buffers.erase(buffers.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    if (primary == buffer)
        primary = nullptr;
}

STDMETHODIMP CardDirectSound::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out,
                                                LPUNKNOWN outer)
{
    if (Gone("CreateSoundBuffer"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("CreateSoundBuffer");
    HRESULT hr = fault.result;
    if (SUCCEEDED(hr)) {
        HRESULT refused = !desc || !out ? DSERR_INVALIDPARAM
                          : outer       ? DSERR_NOAGGREGATION
                                        : CheckBufferDesc(*this, desc);
        if (FAILED(refused))
            hr = refused;
    }
    if (out)
        *out = nullptr;

    CardBuffer *buffer = nullptr;
    bool inHardware = false;
    if (SUCCEEDED(hr) && fault.output == VcNullOut) {
        // Succeeds with no buffer at all.
    } else if (SUCCEEDED(hr) && (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) && primary) {
        // One primary buffer per object: the same one again.
        buffer = primary;
        buffer->AddRef();
    } else if (SUCCEEDED(hr)) {
        HRESULT placed = PlaceBuffer(*this, desc->dwFlags, &inHardware);
        if (FAILED(placed))
            hr = placed;
        BYTE *memory = nullptr;
        if (SUCCEEDED(hr) && desc->dwBufferBytes) {
            memory = UninitialisedMemory(desc->dwBufferBytes);
            if (!memory)
                hr = DSERR_OUTOFMEMORY;
        }
        if (SUCCEEDED(hr)) {
            buffer = new (std::nothrow) CardBuffer(this, *desc, memory, inHardware);
            if (!buffer) {
                free(memory);
                hr = DSERR_OUTOFMEMORY;
            } else if (buffer->IsPrimary()) {
                primary = buffer;
            }
        }
        if (FAILED(hr) && inHardware)
            CardReturnHardwareBuffer(deviceIndex);
    }

    // Every field the program gave, the 3D algorithm when its form has one.
    const WAVEFORMATEX *f = desc ? desc->lpwfxFormat : nullptr;
    char algorithm[64] = "";
    if (desc && desc->dwSize == sizeof(DSBUFFERDESC)) {
        char text[48];
        FormatGuid(&desc->guid3DAlgorithm, text, sizeof text);
        snprintf(algorithm, sizeof algorithm, " alg=%s", text);
    }
    VcLog("ds.buffer obj=%d buf=%d size=%lu flags=0x%lx bytes=%lu reserved=%lu format=%u/%u/%lu/%lu/%u/%u extra=%u%s "
          "hr=0x%08lx place=%s",
          id, buffer ? buffer->id : 0, desc ? static_cast<unsigned long>(desc->dwSize) : 0,
          desc ? static_cast<unsigned long>(desc->dwFlags) : 0,
          desc ? static_cast<unsigned long>(desc->dwBufferBytes) : 0,
          desc ? static_cast<unsigned long>(desc->dwReserved) : 0, f ? f->wFormatTag : 0,
          f ? f->nChannels : 0, f ? static_cast<unsigned long>(f->nSamplesPerSec) : 0,
          f ? static_cast<unsigned long>(f->nAvgBytesPerSec) : 0, f ? f->nBlockAlign : 0,
          f ? f->wBitsPerSample : 0, f ? f->cbSize : 0, algorithm, static_cast<unsigned long>(hr),
          !buffer ? "none" : buffer->InHardware() ? "hardware" : "software");
    if (SUCCEEDED(hr))
        *out = buffer;
    return hr;
}

STDMETHODIMP CardDirectSound::GetCaps(LPDSCAPS caps)
{
    if (Gone("GetCaps"))
        return E_UNEXPECTED;
    if (!caps || caps->dwSize != sizeof(DSCAPS))
        return DSERR_INVALIDPARAM;
    DWORD size = caps->dwSize;
    memset(caps, 0, size);
    caps->dwSize = size;
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT |
                    DSCAPS_PRIMARY16BIT | DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO |
                    DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    if (device.hardware3D) {
        DWORD all = device.hardwareBuffers;
        caps->dwMaxHwMixingAllBuffers = caps->dwMaxHwMixingStaticBuffers =
            caps->dwMaxHwMixingStreamingBuffers = all;
        caps->dwMaxHw3DAllBuffers = caps->dwMaxHw3DStaticBuffers = caps->dwMaxHw3DStreamingBuffers = all;
    }
    return DS_OK;
}

STDMETHODIMP CardDirectSound::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER duplicate)
{
    if (Gone("DuplicateSoundBuffer"))
        return E_UNEXPECTED;
    if (duplicate)
        *duplicate = nullptr;
    return DSERR_UNSUPPORTED;   // nothing of the program duplicates buffers
}

STDMETHODIMP CardDirectSound::SetCooperativeLevel(HWND hwnd, DWORD newLevel)
{
    if (Gone("SetCooperativeLevel"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("SetCooperativeLevel");
    HRESULT hr = fault.result;
    if (SUCCEEDED(hr)) {
        if (!IsWindow(hwnd) || newLevel < DSSCL_NORMAL || newLevel > DSSCL_WRITEPRIMARY)
            hr = DSERR_INVALIDPARAM;
        else
            level = newLevel;
    }
    char window[128];
    DescribeWindow(hwnd, window, sizeof window);
    VcLog("ds.coop obj=%d hwnd=0x%llx %s level=%lu hr=0x%08lx", id,
          static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hwnd)), window,
          static_cast<unsigned long>(newLevel), static_cast<unsigned long>(hr));
    return hr;
}

STDMETHODIMP CardDirectSound::Compact()
{
    if (Gone("Compact"))
        return E_UNEXPECTED;
    return level >= DSSCL_PRIORITY ? DS_OK : DSERR_PRIOLEVELNEEDED;
}

STDMETHODIMP CardDirectSound::GetSpeakerConfig(LPDWORD config)
{
    if (Gone("GetSpeakerConfig"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("GetSpeakerConfig");
    HRESULT hr = fault.result;
    if (SUCCEEDED(hr) && !config)
        hr = DSERR_INVALIDPARAM;
    DWORD value = 0;
    if (SUCCEEDED(hr))
        *config = value = CardSpeakerConfig(deviceIndex);
    VcLog("ds.speaker.get dev=%d value=0x%lx hr=0x%08lx", deviceIndex,
          static_cast<unsigned long>(value), static_cast<unsigned long>(hr));
    return hr;
}

STDMETHODIMP CardDirectSound::SetSpeakerConfig(DWORD config)
{
    if (Gone("SetSpeakerConfig"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("SetSpeakerConfig");
    HRESULT hr = fault.result;
    if (SUCCEEDED(hr)) {
        // A configuration from headphones to 7.1 surround, with or without a
        // geometry (in degrees) in the upper word: DirectSound keeps it as given.
        DWORD speakers = DSSPEAKER_CONFIG(config), geometry = DSSPEAKER_GEOMETRY(config);
        if ((config & 0xFF00FF00) || speakers < DSSPEAKER_HEADPHONE || speakers > DSSPEAKER_5POINT1_SURROUND ||
            (geometry && (geometry < DSSPEAKER_GEOMETRY_MIN || geometry > DSSPEAKER_GEOMETRY_MAX)))
            hr = DSERR_INVALIDPARAM;
        else
            CardStoreSpeakerConfig(deviceIndex, config);
    }
    VcLog("ds.speaker.set dev=%d value=0x%lx hr=0x%08lx", deviceIndex,
          static_cast<unsigned long>(config), static_cast<unsigned long>(hr));
    return hr;
}

STDMETHODIMP CardDirectSound::Initialize(LPCGUID)
{
    if (Gone("Initialize"))
        return E_UNEXPECTED;
    return DSERR_ALREADYINITIALIZED;   // DirectSoundCreate initialised it
}

extern "C" HRESULT WINAPI DirectSoundCreate(LPCGUID guid, LPDIRECTSOUND *out, LPUNKNOWN outer)
{
    CardCall fault = CardFault("DirectSoundCreate");
    HRESULT hr = fault.result;
    VcDevice device;
    int index = -1;
    if (SUCCEEDED(hr)) {
        if (!out)
            hr = DSERR_INVALIDPARAM;
        else if (outer)
            hr = DSERR_NOAGGREGATION;
        else if ((index = FindDevice(guid, &device)) < 0)
            hr = DSERR_NODRIVER;
    }
    if (out)
        *out = nullptr;
    if (SUCCEEDED(hr) && fault.output == VcNullOut) {
        VcLog("ds.create.null dev=%d", index);
        return fault.result;
    }
    if (SUCCEEDED(hr)) {
        CardDirectSound *ds = new (std::nothrow) CardDirectSound(index, device);
        if (!ds) {
            hr = DSERR_OUTOFMEMORY;
        } else {
            VcLog("ds.create dev=%d obj=%d", index, ds->id);
            *out = ds;
            return fault.result;
        }
    }
    char text[64];
    FormatGuid(guid, text, sizeof text);
    VcLog("ds.create.fail guid=%s hr=0x%08lx", text, static_cast<unsigned long>(hr));
    return hr;
}

extern "C" HRESULT WINAPI DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context)
{
    HRESULT hr = CardFault("DirectSoundEnumerate").result;
    if (FAILED(hr))
        return hr;
    if (!callback)
        return DSERR_INVALIDPARAM;
    int count = CardDeviceCount();
    if (count == 0)
        return hr;   // no device, and so no primary driver either
    VcLog("ds.enumerate.device index=-1 guid=null desc=\"Primary Sound Driver\" module=\"\"");
    if (!callback(nullptr, "Primary Sound Driver", "", context))
        return hr;
    for (int i = 0; i < count; ++i) {
        VcDevice device;
        if (!CardDevice(i, &device))
            continue;
        // A device whose driver fails here is left out of the list.
        if (FAILED(CardFault("EnumerateDevice").result)) {
            VcLog("ds.enumerate.skip index=%d", i);
            continue;
        }
        char text[64];
        FormatGuid(&device.guid, text, sizeof text);
        VcLog("ds.enumerate.device index=%d guid=%s desc=\"%s\" module=\"%s\"", i, text,
              device.description, device.module);
        GUID guid = device.guid;   // the callback gets a pointer it may keep only for the call
        if (!callback(&guid, device.description, device.module, context))
            break;
    }
    return hr;
}

namespace {
struct WideContext {
    LPDSENUMCALLBACKW callback;
    LPVOID context;
};

BOOL CALLBACK ToWide(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context)
{
    const WideContext *c = static_cast<const WideContext *>(context);
    WCHAR d[128], m[64];
    MultiByteToWideChar(CP_ACP, 0, description, -1, d, 128);
    MultiByteToWideChar(CP_ACP, 0, module, -1, m, 64);
    return c->callback(guid, d, m, c->context);
}
} // namespace

extern "C" HRESULT WINAPI DirectSoundEnumerateW(LPDSENUMCALLBACKW callback, LPVOID context)
{
    if (!callback)
        return DSERR_INVALIDPARAM;
    WideContext c = {callback, context};
    return DirectSoundEnumerateA(ToWide, &c);
}
