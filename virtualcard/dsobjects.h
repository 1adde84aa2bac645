// The card's DirectSound objects: the device object, its buffers and the
// property-set interface of a buffer. None is ever freed: an object whose
// last reference went stays in memory, poisoned, so that every later call
// through it is caught and recorded instead of reaching freed memory.
#ifndef VIRTUALCARD_DSOBJECTS_H
#define VIRTUALCARD_DSOBJECTS_H

#include "virtualcard/dscard.h"
#include "virtualcard/vcfault.h"

#include <vector>

class CardBuffer;

// Records a call through an interface whose last reference is gone; true
// when the call is such a one (it then fails with E_UNEXPECTED).
bool CardUsedAfterRelease(bool released, const char *object, int id, const char *call);

class CardDirectSound final : public IDirectSound {
public:
    CardDirectSound(int deviceIndex, const VcDevice &device);

    STDMETHOD(QueryInterface)(REFIID riid, void **object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer,
                                 LPUNKNOWN outer) override;
    STDMETHOD(GetCaps)(LPDSCAPS caps) override;
    STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER original,
                                    LPLPDIRECTSOUNDBUFFER duplicate) override;
    STDMETHOD(SetCooperativeLevel)(HWND hwnd, DWORD level) override;
    STDMETHOD(Compact)() override;
    STDMETHOD(GetSpeakerConfig)(LPDWORD config) override;
    STDMETHOD(SetSpeakerConfig)(DWORD config) override;
    STDMETHOD(Initialize)(LPCGUID guid) override;

    void Forget(CardBuffer *buffer);

    int id;
    int deviceIndex;
    VcDevice device;
    DWORD level = 0;     // cooperative level, 0 until set
    bool released = false;
    CardBuffer *primary = nullptr;
    std::vector<CardBuffer *> buffers;   // the live ones

private:
    bool Gone(const char *call) const { return CardUsedAfterRelease(released, "directsound", id, call); }

    ULONG ref = 1;
};

// IKsPropertySet of a hardware buffer: a separate interface with its own
// count, which keeps the buffer alive.
class CardPropertySet final : public IKsPropertySet {
public:
    explicit CardPropertySet(CardBuffer *owner) : buffer(owner) {}

    STDMETHOD(QueryInterface)(REFIID riid, void **object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(Get)(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength, LPVOID data,
                   ULONG dataLength, PULONG returned) override;
    STDMETHOD(Set)(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength, LPVOID data,
                   ULONG dataLength) override;
    STDMETHOD(QuerySupport)(REFGUID set, ULONG id, PULONG support) override;

    // Hands the interface out (QueryInterface of the buffer).
    void Hand(void **object);
    // The buffer went with its DirectSound object while this was held.
    void Drop();

    ULONG ref = 0;

private:
    bool Gone(const char *call) const;

    CardBuffer *buffer;
};

class CardBuffer final : public IDirectSoundBuffer {
public:
    CardBuffer(CardDirectSound *owner, const DSBUFFERDESC &desc, BYTE *memory, bool inHardware);

    STDMETHOD(QueryInterface)(REFIID riid, void **object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetCaps)(LPDSBCAPS caps) override;
    STDMETHOD(GetCurrentPosition)(LPDWORD play, LPDWORD write) override;
    STDMETHOD(GetFormat)(LPWAVEFORMATEX format, DWORD size, LPDWORD written) override;
    STDMETHOD(GetVolume)(LPLONG volume) override;
    STDMETHOD(GetPan)(LPLONG pan) override;
    STDMETHOD(GetFrequency)(LPDWORD frequency) override;
    STDMETHOD(GetStatus)(LPDWORD status) override;
    STDMETHOD(Initialize)(LPDIRECTSOUND sound, LPCDSBUFFERDESC desc) override;
    STDMETHOD(Lock)(DWORD offset, DWORD bytes, LPVOID *ptr1, LPDWORD bytes1, LPVOID *ptr2,
                    LPDWORD bytes2, DWORD flags) override;
    STDMETHOD(Play)(DWORD reserved, DWORD priority, DWORD flags) override;
    STDMETHOD(SetCurrentPosition)(DWORD position) override;
    STDMETHOD(SetFormat)(LPCWAVEFORMATEX format) override;
    STDMETHOD(SetVolume)(LONG volume) override;
    STDMETHOD(SetPan)(LONG pan) override;
    STDMETHOD(SetFrequency)(DWORD frequency) override;
    STDMETHOD(Stop)() override;
    STDMETHOD(Unlock)(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) override;
    STDMETHOD(Restore)() override;

    // Gives the buffer's own interface a reference from inside the card.
    void Hand(void **object);
    // Called when either interface's count reaches 0.
    void DestroyIfUnused();
    // Ends the buffer whatever its counts (its DirectSound object went).
    void Destroy();
    bool IsPrimary() const { return (flags & DSBCAPS_PRIMARYBUFFER) != 0; }
    bool InHardware() const { return (flags & DSBCAPS_LOCHARDWARE) != 0; }
    bool OffersQ3D() const;

    int id;
    CardDirectSound *sound;
    CardPropertySet propertySet;
    DWORD flags;
    DWORD bytes;
    WAVEFORMATEX format = {};
    BYTE *data;
    LONG speakerMask = 0;   // channel configuration, 0 = not routed
    bool destroyed = false;

private:
    bool Gone(const char *call) const;
    void UpdatePlaying();
    void Position(DWORD *at);

    ULONG ref = 1;
    LONG volume = 0, pan = 0;
    DWORD frequency;
    bool playing = false, looping = false;
    DWORD position = 0;         // play cursor in bytes when not playing
    DWORD startTick = 0, startPosition = 0, durationMs = 0;
    BYTE *locked1 = nullptr, *locked2 = nullptr;
    DWORD lockedBytes1 = 0, lockedBytes2 = 0;
};

#endif
