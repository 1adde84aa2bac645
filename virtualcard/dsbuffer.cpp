// The card's sound buffers: their memory, locking, and a playing time that
// follows the data length and the format.
#include "virtualcard/dsobjects.h"

#include <stdlib.h>
#include <string.h>

namespace {

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};

// CRC-32 (the zip polynomial) of the played data, a fingerprint of the sound.
DWORD Crc32(const BYTE *data, DWORD size)
{
    DWORD crc = 0xFFFFFFFF;
    for (DWORD i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

} // namespace

CardBuffer::CardBuffer(CardDirectSound *owner, const DSBUFFERDESC &desc, BYTE *memory, bool inHardware)
    : id(CardNextObjectId()), sound(owner), propertySet(this), flags(desc.dwFlags),
      bytes(desc.dwBufferBytes), data(memory)
{
    if (desc.lpwfxFormat)
        format = *desc.lpwfxFormat;
    else   // the primary buffer's format until SetFormat
        format = {WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    format.cbSize = 0;
    frequency = format.nSamplesPerSec;
    // The location the buffer got.
    if (!IsPrimary()) {
        flags &= ~(DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE | DSBCAPS_LOCDEFER);
        flags |= inHardware ? DSBCAPS_LOCHARDWARE : DSBCAPS_LOCSOFTWARE;
    }
    sound->buffers.push_back(this);
    ++liveBuffers;
    VcLedger("buffer", +1);
}

bool CardBuffer::Gone(const char *call) const
{
    return CardUsedAfterRelease(destroyed || ref == 0, "buffer", id, call);
}

bool CardBuffer::OffersQ3D() const
{
    return sound->device.q3D && InHardware() && (flags & DSBCAPS_CTRL3D);
}

void CardBuffer::Hand(void **object)
{
    if (ref++ == 0)
        VcLedger("buffer", +1);
    *object = static_cast<IDirectSoundBuffer *>(this);
}

STDMETHODIMP CardBuffer::QueryInterface(REFIID riid, void **object)
{
    if (Gone("QueryInterface"))
        return E_UNEXPECTED;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CardCall fault = CardFault("QueryInterface");
    HRESULT hr = fault.result;
    bool self = IsEqualGUID(riid, kIidUnknown) || IsEqualGUID(riid, kIidDirectSoundBuffer);
    // The property-set interface exists on buffers in hardware only.
    bool properties = IsEqualGUID(riid, kIidKsPropertySet) && InHardware() && !IsPrimary();
    if (FAILED(hr)) {
    } else if (!self && !properties) {
        hr = E_NOINTERFACE;
    } else if (fault.output == VcNullOut) {
    } else if (self) {
        Hand(object);
    } else {
        propertySet.Hand(object);
    }
    char text[64];
    FormatGuid(&riid, text, sizeof text);
    VcLog("buf.qi buf=%d iid=%s hr=0x%08lx", id, IsEqualGUID(riid, kIidKsPropertySet) ? "IKsPropertySet" : text,
          static_cast<unsigned long>(hr));
    return hr;
}

STDMETHODIMP_(ULONG) CardBuffer::AddRef()
{
    if (Gone("AddRef"))
        return 0;
    return ++ref;
}

STDMETHODIMP_(ULONG) CardBuffer::Release()
{
    if (Gone("Release"))
        return 0;
    ULONG left = --ref;
    if (left == 0) {
        VcLog("buf.release buf=%d", id);
        VcLedger("buffer", -1);
        DestroyIfUnused();
    }
    return left;
}

void CardBuffer::DestroyIfUnused()
{
    if (ref == 0 && propertySet.ref == 0)
        Destroy();
}

void CardBuffer::Destroy()
{
    if (destroyed)
        return;
    destroyed = true;
    if (playing)
        --playingBuffers;
    playing = false;
    if (propertySet.ref)
        propertySet.Drop();
    if (InHardware())
        CardReturnHardwareBuffer(sound->deviceIndex);
    sound->Forget(this);
    --liveBuffers;
    // The memory of the sound goes; the object stays to catch late calls.
    free(data);
    data = nullptr;
    bytes = 0;
}

STDMETHODIMP CardBuffer::GetCaps(LPDSBCAPS caps)
{
    if (Gone("GetCaps"))
        return E_UNEXPECTED;
    if (!caps || caps->dwSize != sizeof(DSBCAPS))
        return DSERR_INVALIDPARAM;
    caps->dwFlags = flags;
    caps->dwBufferBytes = bytes;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

void CardBuffer::UpdatePlaying()
{
    if (!playing)
        return;
    DWORD elapsed = GetTickCount() - startTick;
    if (!looping && elapsed >= durationMs) {
        playing = false;
        --playingBuffers;
        position = 0;
        VcLog("buf.end buf=%d", id);
    }
}

// The play cursor now.
void CardBuffer::Position(DWORD *at)
{
    UpdatePlaying();
    *at = position;
    if (playing && bytes) {
        DWORD elapsed = GetTickCount() - startTick;
        unsigned long long advanced =
            durationMs ? static_cast<unsigned long long>(elapsed) * (bytes - startPosition) / durationMs : 0;
        *at = static_cast<DWORD>((startPosition + advanced) % bytes);
    }
}

STDMETHODIMP CardBuffer::GetCurrentPosition(LPDWORD play, LPDWORD write)
{
    if (Gone("GetCurrentPosition"))
        return E_UNEXPECTED;
    DWORD at;
    Position(&at);
    if (play)
        *play = at;
    if (write)
        *write = bytes ? (at + format.nBlockAlign) % bytes : 0;
    return DS_OK;
}

STDMETHODIMP CardBuffer::GetFormat(LPWAVEFORMATEX out, DWORD size, LPDWORD written)
{
    if (Gone("GetFormat"))
        return E_UNEXPECTED;
    if (!out && !written)
        return DSERR_INVALIDPARAM;
    if (!out) {
        *written = sizeof format;
        return DS_OK;
    }
    if (size < sizeof format)
        return DSERR_INVALIDPARAM;
    *out = format;
    if (written)
        *written = sizeof format;
    return DS_OK;
}

STDMETHODIMP CardBuffer::GetVolume(LPLONG out)
{
    if (Gone("GetVolume"))
        return E_UNEXPECTED;
    if (!out)
        return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    *out = volume;
    return DS_OK;
}

STDMETHODIMP CardBuffer::GetPan(LPLONG out)
{
    if (Gone("GetPan"))
        return E_UNEXPECTED;
    if (!out)
        return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    *out = pan;
    return DS_OK;
}

STDMETHODIMP CardBuffer::GetFrequency(LPDWORD out)
{
    if (Gone("GetFrequency"))
        return E_UNEXPECTED;
    if (!out)
        return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLFREQUENCY))
        return DSERR_CONTROLUNAVAIL;
    *out = frequency;
    return DS_OK;
}

STDMETHODIMP CardBuffer::GetStatus(LPDWORD status)
{
    if (Gone("GetStatus"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("GetStatus");
    if (FAILED(fault.result))
        return fault.result;
    if (!status)
        return DSERR_INVALIDPARAM;
    UpdatePlaying();
    *status = (playing ? DSBSTATUS_PLAYING : 0) | (playing && looping ? DSBSTATUS_LOOPING : 0);
    if (fault.output == VcBufferLost)
        *status = DSBSTATUS_BUFFERLOST;
    return fault.result;
}

STDMETHODIMP CardBuffer::Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC)
{
    if (Gone("Initialize"))
        return E_UNEXPECTED;
    return DSERR_ALREADYINITIALIZED;
}

STDMETHODIMP CardBuffer::Lock(DWORD offset, DWORD count, LPVOID *ptr1, LPDWORD bytes1, LPVOID *ptr2,
                              LPDWORD bytes2, DWORD lockFlags)
{
    if (Gone("Lock"))
        return E_UNEXPECTED;
    CardCall fault = CardFault("Lock");
    if (FAILED(fault.result))
        return fault.result;
    if (!ptr1 || !bytes1)
        return DSERR_INVALIDPARAM;
    if (IsPrimary() && sound->level != DSSCL_WRITEPRIMARY)
        return DSERR_PRIOLEVELNEEDED;
    if (lockFlags & ~(DSBLOCK_FROMWRITECURSOR | DSBLOCK_ENTIREBUFFER))
        return DSERR_INVALIDPARAM;
    if (lockFlags & DSBLOCK_FROMWRITECURSOR) {
        Position(&offset);
        offset = bytes ? (offset + format.nBlockAlign) % bytes : 0;
    }
    if (lockFlags & DSBLOCK_ENTIREBUFFER)
        count = bytes;
    if (!data || offset >= bytes || count == 0 || count > bytes)
        return DSERR_INVALIDPARAM;
    // The part past the end wraps to the start, through the second pointer;
    // an armed output hands out less in the first.
    DWORD first = bytes - offset < count ? bytes - offset : count;
    if (fault.output == VcShortData || fault.output == VcSplitLock)
        first = first > 1 ? first / 2 : first;
    if (fault.output == VcShortData)
        count = first;
    locked1 = data + offset;
    lockedBytes1 = first;
    locked2 = nullptr;
    lockedBytes2 = 0;
    if (count > first && ptr2) {
        locked2 = data;
        lockedBytes2 = count - first;
    }
    *ptr1 = locked1;
    *bytes1 = lockedBytes1;
    if (ptr2)
        *ptr2 = locked2;
    if (bytes2)
        *bytes2 = lockedBytes2;
    return fault.result;
}

STDMETHODIMP CardBuffer::Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2)
{
    if (Gone("Unlock"))
        return E_UNEXPECTED;
    HRESULT hr = CardFault("Unlock").result;
    if (FAILED(hr))
        return hr;
    // Only what Lock handed out, and no more of it.
    if (!locked1 || ptr1 != locked1 || bytes1 > lockedBytes1 || ptr2 != locked2 ||
        bytes2 > lockedBytes2)
        return DSERR_INVALIDPARAM;
    locked1 = locked2 = nullptr;
    lockedBytes1 = lockedBytes2 = 0;
    return hr;
}

STDMETHODIMP CardBuffer::Play(DWORD reserved, DWORD priority, DWORD playFlags)
{
    if (Gone("Play"))
        return E_UNEXPECTED;
    HRESULT hr = CardFault("Play").result;
    if (SUCCEEDED(hr)) {
        if (reserved != 0 || (playFlags & ~DSBPLAY_LOOPING) ||
            (priority != 0 && !(flags & DSBCAPS_LOCDEFER)))
            hr = DSERR_INVALIDPARAM;
        else if (sound->level == 0 || (IsPrimary() && sound->level < DSSCL_PRIORITY))
            hr = DSERR_PRIOLEVELNEEDED;   // no cooperative level set yet
        else if (IsPrimary() && !(playFlags & DSBPLAY_LOOPING))
            hr = DSERR_INVALIDPARAM;
    }
    DWORD crc = data ? Crc32(data, bytes) : 0;
    if (SUCCEEDED(hr)) {
        UpdatePlaying();
        if (!playing) {
            ++playingBuffers;
            startPosition = position;
        } else {
            Position(&startPosition);
        }
        playing = true;
        looping = (playFlags & DSBPLAY_LOOPING) != 0;
        startTick = GetTickCount();
        DWORD rate = format.nAvgBytesPerSec ? format.nAvgBytesPerSec : 1;
        unsigned long long ms = static_cast<unsigned long long>(bytes - startPosition) * 1000 / rate;
        durationMs = static_cast<DWORD>(ms * CardPlayTimePercent() / 100);
    }
    VcLog("buf.play buf=%d dev=%d reserved=%lu priority=%lu flags=0x%lx bytes=%lu crc=0x%08lx mask=0x%lx ms=%lu hr=0x%08lx",
          id, sound->deviceIndex, static_cast<unsigned long>(reserved), static_cast<unsigned long>(priority),
          static_cast<unsigned long>(playFlags), static_cast<unsigned long>(bytes),
          static_cast<unsigned long>(crc), static_cast<unsigned long>(speakerMask),
          static_cast<unsigned long>(SUCCEEDED(hr) ? durationMs : 0), static_cast<unsigned long>(hr));
    return hr;
}

STDMETHODIMP CardBuffer::SetCurrentPosition(DWORD newPosition)
{
    if (Gone("SetCurrentPosition"))
        return E_UNEXPECTED;
    if (IsPrimary() || newPosition >= bytes)
        return DSERR_INVALIDPARAM;
    UpdatePlaying();
    position = newPosition;
    if (playing) {
        startPosition = newPosition;
        startTick = GetTickCount();
    }
    return DS_OK;
}

STDMETHODIMP CardBuffer::SetFormat(LPCWAVEFORMATEX newFormat)
{
    if (Gone("SetFormat"))
        return E_UNEXPECTED;
    if (!IsPrimary())
        return DSERR_INVALIDCALL;
    if (!newFormat)
        return DSERR_INVALIDPARAM;
    if (sound->level < DSSCL_PRIORITY)
        return DSERR_PRIOLEVELNEEDED;
    format = *newFormat;
    format.cbSize = 0;
    return DS_OK;
}

STDMETHODIMP CardBuffer::SetVolume(LONG newVolume)
{
    if (Gone("SetVolume"))
        return E_UNEXPECTED;
    if (!(flags & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    if (newVolume < DSBVOLUME_MIN || newVolume > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    volume = newVolume;
    return DS_OK;
}

STDMETHODIMP CardBuffer::SetPan(LONG newPan)
{
    if (Gone("SetPan"))
        return E_UNEXPECTED;
    if (!(flags & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    if (newPan < DSBPAN_LEFT || newPan > DSBPAN_RIGHT)
        return DSERR_INVALIDPARAM;
    pan = newPan;
    return DS_OK;
}

STDMETHODIMP CardBuffer::SetFrequency(DWORD newFrequency)
{
    if (Gone("SetFrequency"))
        return E_UNEXPECTED;
    if (!(flags & DSBCAPS_CTRLFREQUENCY) || IsPrimary())
        return DSERR_CONTROLUNAVAIL;
    if (newFrequency != DSBFREQUENCY_ORIGINAL &&
        (newFrequency < DSBFREQUENCY_MIN || newFrequency > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    frequency = newFrequency ? newFrequency : format.nSamplesPerSec;
    return DS_OK;
}

STDMETHODIMP CardBuffer::Stop()
{
    if (Gone("Stop"))
        return E_UNEXPECTED;
    HRESULT hr = CardFault("Stop").result;
    if (SUCCEEDED(hr)) {
        UpdatePlaying();
        if (playing) {
            Position(&position);
            playing = false;
            --playingBuffers;
        }
    }
    VcLog("buf.stop buf=%d hr=0x%08lx", id, static_cast<unsigned long>(hr));
    return hr;
}

STDMETHODIMP CardBuffer::Restore()
{
    if (Gone("Restore"))
        return E_UNEXPECTED;
    return DS_OK;   // the card never loses buffer memory
}
