#include "panel/driver.h"

#include "app/messages.h"

const GUID Q3DPropertySet = {0x7CA99CA0, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};
const GUID Q3DEffectPropertySet = {0x7CA99CA1, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};

// Spelled out here rather than taken from a GUID library, as the driver
// expects exactly this interface of the connection's buffer.
const GUID IKsPropertySetId = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};

GUID soundDevices[kMaxSoundDevices];
int soundDeviceCount = 0;

WAVEFORMATEX DriverBufferFormat()
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.nAvgBytesPerSec = 44100;
    format.nBlockAlign = 2;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    return format;
}

namespace {

// The first version of DSBUFFERDESC (20 bytes on 32-bit Windows), which every
// DirectSound accepts.
DSBUFFERDESC BufferDesc(DWORD flags, WAVEFORMATEX *format)
{
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof(DSBUFFERDESC1); // the first form: 20 bytes on 32-bit Windows
    desc.dwFlags = flags;
    desc.dwBufferBytes = 1024;
    desc.dwReserved = 0;
    desc.lpwfxFormat = format;
    return desc;
}

} // namespace

HRESULT OpenDriverConnection(const GUID *device, HWND window, IDirectSound **directSound,
                             IKsPropertySet **propertySet, int report)
{
    // A step that succeeds without handing over its object has failed all
    // the same.
    HRESULT hr = DirectSoundCreate(device, directSound, nullptr);
    if (SUCCEEDED(hr) && !*directSound)
        hr = DSERR_GENERIC;
    if (FAILED(hr)) {
        *directSound = nullptr;
        ReportSoundError(hr, "DirectSoundCreate error", report);
        return hr;
    }

    hr = (*directSound)->SetCooperativeLevel(window, DSSCL_NORMAL);
    if (FAILED(hr)) {
        ReportSoundError(hr, "SetCooperativeLevel error", report);
        (*directSound)->Release();
        *directSound = nullptr;
        return hr;
    }

    WAVEFORMATEX format = DriverBufferFormat();
    DSBUFFERDESC desc = BufferDesc(DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D, &format);
    IDirectSoundBuffer *buffer = nullptr;
    hr = (*directSound)->CreateSoundBuffer(&desc, &buffer, nullptr);
    if (SUCCEEDED(hr) && !buffer)
        hr = DSERR_GENERIC;
    if (FAILED(hr)) {
        ReportSoundError(hr, "CreateSoundBuffer error", report);
        (*directSound)->Release();
        *directSound = nullptr;
        return hr;
    }

    hr = buffer->QueryInterface(IKsPropertySetId, reinterpret_cast<void **>(propertySet));
    if (SUCCEEDED(hr) && !*propertySet)
        hr = E_NOINTERFACE;
    if (FAILED(hr)) {
        *propertySet = nullptr;
        ReportSoundError(hr, "Sound driver does not support 3d hardware:", report);
        buffer->Release();
        (*directSound)->Release();
        *directSound = nullptr;
        return hr;
    }

    // The property-set interface keeps the buffer alive.
    buffer->Release();
    return 0;
}

void CloseDriverConnection(DriverConnection *connection)
{
    if (connection->propertySet) {
        connection->propertySet->Release();
        connection->propertySet = nullptr;
    }
    if (connection->directSound) {
        connection->directSound->Release();
        connection->directSound = nullptr;
    }
}

HRESULT ProbeSoundDevice(const GUID *device, HWND window)
{
    IDirectSound *directSound = nullptr;
    HRESULT hr = DirectSoundCreate(device, &directSound, nullptr);
    if (SUCCEEDED(hr) && !directSound)
        hr = DSERR_GENERIC;
    if (FAILED(hr))
        return hr;

    // Some drivers refuse the level yet make buffers; only the buffer counts.
    directSound->SetCooperativeLevel(window, DSSCL_NORMAL);

    WAVEFORMATEX format = DriverBufferFormat();
    DSBUFFERDESC desc = BufferDesc(DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME, &format);
    IDirectSoundBuffer *buffer = nullptr;
    hr = directSound->CreateSoundBuffer(&desc, &buffer, nullptr);
    if (SUCCEEDED(hr) && !buffer)
        hr = DSERR_GENERIC;
    if (FAILED(hr)) {
        directSound->Release();
        return hr;
    }
    buffer->Release();
    directSound->Release();
    return 0;
}

BOOL CALLBACK EnumerateSoundDevice(GUID *device, LPCSTR, LPCSTR, void *context)
{
    // The primary sound driver's entry has no GUID; the devices follow it.
    if (!device)
        return TRUE;
    HWND window = *static_cast<HWND *>(context);
    if (ProbeSoundDevice(device, window) != 0)
        return TRUE;
    if (soundDeviceCount >= kMaxSoundDevices)
        return TRUE;
    soundDevices[soundDeviceCount++] = *device;
    return TRUE;
}
