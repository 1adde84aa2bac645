// The virtual card's DirectSound device as a test sees it: its configuration,
// its record of live objects, its fault injection and the layout of its
// registry key. Test programs that link the card (library vcdsound) call these
// functions in-process; a process that only loads the replacement dsound.dll
// is configured through the same registry key.
//
// Registry: HKEY_CURRENT_USER\Software\VirtualCard (the card's own key; the
// program under test never reads it). Every value is optional.
//   DeviceCount      REG_DWORD  number of DirectSound devices, 0..16
//                               (absent: 1, the card alone)
//   PlayTimePercent  REG_DWORD  a played buffer lasts this percentage of its
//                               real playing time (absent: 100; 0 = ends at once)
//   Device<i>\       i = 0 .. DeviceCount-1
//     Description    REG_SZ     (device 0: "Sonaris PCI Audio",
//                                others: "Virtual Sound Device <i>")
//     Module         REG_SZ     (device 0: "vtwdm560.sys", others: "vcsound.sys")
//     Guid           REG_SZ     "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
//                               (default: VcDefaultDeviceGuid(i))
//     Hardware3D     REG_DWORD  non-zero: hardware (3D) buffers (default: device 0)
//     HardwareBuffers REG_DWORD how many hardware buffers one process can hold
//                               at once on the device (default 32)
//     ChannelConfig  REG_DWORD  what KSPROPERTY_AUDIO_CHANNEL_CONFIG offers, a
//                               VcChannelConfig (default: device 0 settable,
//                               the others unsupported)
//     Q3D            REG_DWORD  non-zero: the two Q3D property sets on its
//                               hardware 3D buffers (default: device 0)
//     SpeakerConfig  REG_DWORD  written by SetSpeakerConfig (default: 4, stereo)
//     Q3DPropertySet\<id>        REG_BINARY  stored by IKsPropertySet::Set
//     Q3DEffectPropertySet\<id>  REG_BINARY  stored by IKsPropertySet::Set
//   Faults\          faults for every process of the prefix (VcShareFault):
//     Generation     REG_DWORD  raised with every change; a process rereads the
//                               faults at its next call of the card when it changed
//     <any name>     REG_SZ     "<Method> <N> <effect>": the Nth call (0: every
//                               call) of Method, counted from when the process
//                               read it; effect a result code ("0x88780078") or
//                               an output: null, short, split, lost, noset
//
// Calls that can be armed (an unknown name ends the arming process at once,
// with a line on standard error and exit code 3):
//   DirectSound: DirectSoundCreate, DirectSoundEnumerate, EnumerateDevice (one
//   device's report: the device is left out of the list), DirectSoundQueryInterface,
//   SetCooperativeLevel, CreateSoundBuffer, GetSpeakerConfig, SetSpeakerConfig;
//   a buffer's QueryInterface, Lock, Unlock, Play, Stop, GetStatus; a property
//   set's PropertySetQueryInterface, QuerySupport, Get, Set.
//   Mixer: mixerGetDevCapsA, mixerOpen, mixerClose, mixerGetID, mixerGetLineInfoA,
//   mixerGetLineControlsA, mixerGetControlDetailsA, mixerSetControlDetails.
// A failure code fails the call; a success code (DS_NO_VIRTUALIZATION, say)
// lets it do its work and return that code.
//
// Memory: a new buffer holds the bytes 0x5A, 0xA5, 0x5A, ... (DirectSound
// leaves it uninitialised), silence neither at 8 nor at 16 bits.
//
// Objects: an interface used after its final Release is caught every time:
// its memory is kept, the call is recorded ("use.after.release") and fails.
// Releasing a DirectSound object releases the buffers it still has, as
// DirectSound does.
//
// Record (virtualcard/vclog.h), one line per event, fields "key=value":
//   ds.enumerate.device index=<i> guid=<g> desc="<d>" module="<m>"
//   ds.create dev=<i> obj=<n>              ds.create.fail guid=<g> hr=<h>
//   ds.release obj=<n> buffers=<k>          (k: its buffers still held then)
//   ds.coop obj=<n> hwnd=<w> class="<c>" style=<s> exstyle=<x> level=<l> hr=<h>
//   ds.buffer obj=<n> buf=<m> size=<s> flags=<f> bytes=<b> reserved=<r>
//             format=<tag>/<ch>/<rate>/<avg>/<align>/<bits> extra=<cbSize>
//             [alg=<g>] hr=<h>  (buf=0 when refused; alg: the 3D algorithm
//             of a description of the second form)
//             place=<hardware|software>  (where a made buffer went)
//   ds.speaker.get dev=<i> value=<v> hr=<h>     ds.speaker.set dev=<i> value=<v> hr=<h>
//   buf.qi buf=<m> iid=<g> hr=<h>      buf.release buf=<m>     ks.release buf=<m>
//   ks.support buf=<m> set=<Audio|Q3D|Effect|g> id=<id> support=<s> hr=<h>
//   ks.get / ks.set buf=<m> set=<...> id=<id> inst=<len> size=<len> value=<w>[,<w>...] hr=<h>
//             (value: the data as 32-bit words in hex; inst: instance length)
//   buf.route buf=<m> mask=<mask>           (a channel configuration took effect)
//   buf.play buf=<m> dev=<i> reserved=<r> priority=<p> flags=<f> bytes=<b> crc=<crc32> mask=<mask> ms=<t> hr=<h>
//   buf.stop buf=<m> hr=<h>                  buf.end buf=<m>  (ended by itself)
//   fault method=<Method> call=<n> hr=<h>    (or output=<word>)
//   use.after.release object=<kind> id=<n> call=<method>
// Numbers are hexadecimal with "0x" where they are flags, masks, codes or
// words, decimal otherwise. When the environment variable VCARD_LOG_TIME is
// set (any value), each line of the VCARD_LOG file ends with " t=<us>": the
// time of the event in microseconds of QueryPerformanceCounter, a clock that
// every process of the machine shares (the in-process record has no time).
#ifndef VIRTUALCARD_VCARD_H
#define VIRTUALCARD_VCARD_H

#include <windows.h>

#include <stddef.h>

#define VCARD_KEY "Software\\VirtualCard"
#define VCARD_MAX_DEVICES 16

// The card's private property sets.
const GUID VcQ3DPropertySet = {0x7CA99CA0, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};
const GUID VcQ3DEffectPropertySet = {0x7CA99CA1, 0xCD07, 0x11D0, {0xA6, 0xC0, 0x00, 0xA0, 0xC9, 0x24, 0x86, 0x33}};

// What a device's buffers offer for the channel configuration: QuerySupport
// fails; reports get and set; get alone; succeeds with no support flags.
enum VcChannelConfig {
    VcChannelConfigUnsupported = 0,
    VcChannelConfigSettable = 1,
    VcChannelConfigGetOnly = 2,
    VcChannelConfigNoFlags = 3,
};

struct VcDevice {
    char description[128];
    char module[64];
    GUID guid;
    bool hardware3D;
    DWORD hardwareBuffers;   // hardware buffers one process can hold at once
    VcChannelConfig channelConfig;
    bool q3D;
};

// Removes the card's registry key (devices, stored values, faults), clears
// the in-process faults, play-time scale, counters and the record.
void VcReset();

// Device i as it is when the registry says nothing about it.
void VcDefaultDevice(int index, VcDevice *device);
GUID VcDefaultDeviceGuid(int index);

// Writes the device list (count 0..VCARD_MAX_DEVICES) to the registry.
bool VcSetDevices(const VcDevice *devices, int count);
// The device list as the card sees it now.
int VcDeviceCount();
bool VcGetDevice(int index, VcDevice *device);

// Playing time as a percentage of the real one (in-process, and in the
// registry for other processes).
void VcSetPlayTimePercent(DWORD percent);

// Faults: the nth call of method, counted from now (0: every call), fails
// with result, or succeeds returning result when that is a success code.
// Any number can be armed; several for one call take effect in the order
// they were armed, the first that applies winning.
bool VcFailCall(const char *method, int n, HRESULT result);

// What an armed call hands back instead, while it succeeds.
enum VcOutput {
    VcNullOut = 1,  // CreateSoundBuffer, the QueryInterface calls: a null interface
    VcShortData,    // Lock: a first region shorter than asked, no second;
                    // Get: fewer bytes than asked
    VcSplitLock,    // Lock: the region split over both pointers
    VcBufferLost,   // GetStatus: DSBSTATUS_BUFFERLOST, not playing
    VcNoSetBit,     // QuerySupport: the support flags without KSPROPERTY_SUPPORT_SET
};
bool VcBendCall(const char *method, int n, VcOutput output);

// The same for every process of the prefix, vtpanel.exe included, from its
// next call of the card: effect is a result code ("0x80004005") or an
// output word (null, short, split, lost, noset).
bool VcShareFault(const char *method, int n, const char *effect);

// Removes every fault, in-process and in the registry.
void VcClearFaults();

// Calls made through interfaces after their final Release (this process).
int VcUsesAfterRelease();
// Buffers the program still held when it released their DirectSound object.
int VcBuffersLeftAtRelease();

// Objects the program holds now.
int VcLiveDirectSounds();
int VcLiveBuffers();
int VcLivePropertySets();
int VcPlayingBuffers();

// The device's stored state, as the registry holds it across processes.
DWORD VcSpeakerConfig(int device);
bool VcStoredProperty(int device, const GUID &set, ULONG id, void *value, ULONG size);

// Index of the first record line at or after from that starts with prefix,
// or VcLogCount() when there is none; and the value of a "key=" field of a line
// (copied into out, false when absent).
size_t VcLogFind(const char *prefix, size_t from = 0);
bool VcLogField(const char *line, const char *key, char *out, size_t outSize);

#endif
