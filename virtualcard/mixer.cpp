// The virtual card's mixer behind the winmm mixer functions: a test program
// links this before winmm and the product's mixer code, compiled with _WINMM_,
// calls these. They check their arguments as the platform does and answer
// from the topology of mixer_topology.cpp.
#include "virtualcard/mixer_state.h"
#include "virtualcard/vcfault.h"
#include "virtualcard/vclog.h"

#include <stdio.h>
#include <string.h>

namespace {

const DWORD kObjectKindMask = 0xF0000000;
const DWORD kLevelMax = 65535;

// A stored name into a field of a structure: whole, and unterminated when it
// fills it, for a field as long; cut and terminated for a shorter one (the
// short names).
template <size_t To, size_t From> void PutName(char (&to)[To], const char (&from)[From])
{
    if constexpr (To >= From)
        memcpy(to, from, From);
    else
        snprintf(to, To, "%.*s", static_cast<int>(From), from);
}

VcMixerHandle *HandleOf(HMIXEROBJ object)
{
    VcMixerHandle *slots = VcMixer().handles;
    for (UINT i = 0; i < kVcMixerMaxHandles; ++i)
        if (reinterpret_cast<HMIXEROBJ>(&slots[i]) == object)
            return slots[i].open ? &slots[i] : nullptr;
    return nullptr;
}

// The device that an object names, by id or by handle, as its flags say.
// Like winmm, a value given as an id that names no device is taken as a
// handle when it is one.
MMRESULT ResolveObject(HMIXEROBJ object, DWORD flags, UINT *device)
{
    DWORD kind = flags & kObjectKindMask;
    if (kind == MIXER_OBJECTF_MIXER) {
        UINT_PTR id = reinterpret_cast<UINT_PTR>(object);
        if (id < VcMixer().deviceCount) {
            *device = static_cast<UINT>(id);
            return MMSYSERR_NOERROR;
        }
        if (!HandleOf(object))
            return MMSYSERR_BADDEVICEID;
        kind = MIXER_OBJECTF_HMIXER;
    }
    if (kind == MIXER_OBJECTF_HMIXER) {
        VcMixerHandle *h = HandleOf(object);
        if (!h)
            return MMSYSERR_INVALHANDLE;
        *device = h->device;
        return VcMixerDeviceAt(h->device) ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
    }
    // The card offers no wave, MIDI or auxiliary device of its own here.
    if (kind & MIXER_OBJECTF_HANDLE)
        return MMSYSERR_INVALHANDLE;
    return MMSYSERR_BADDEVICEID;
}

void FillLine(const VcMixerDevice &device, UINT deviceId, const VcMixerLine &line, MIXERLINEA *out)
{
    DWORD cbStruct = out->cbStruct;
    memset(out, 0, sizeof *out);
    out->cbStruct = cbStruct;
    out->dwDestination = line.destination;
    out->dwSource = line.isSource ? line.source : 0;
    out->dwLineID = line.lineId;
    out->fdwLine = MIXERLINE_LINEF_ACTIVE | (line.isSource ? MIXERLINE_LINEF_SOURCE : 0);
    out->dwComponentType = line.componentType;
    out->cChannels = line.channels;
    out->cConnections = line.isSource ? 0 : VcMixerSourceCount(device, line.destination);
    out->cControls = VcMixerControlCount(device, line.lineId);
    PutName(out->szShortName, line.name);
    PutName(out->szName, line.name);
    out->Target.dwType = MIXERLINE_TARGETTYPE_UNDEFINED;
    out->Target.dwDeviceID = deviceId;
    out->Target.wMid = device.mid;
    out->Target.wPid = device.pid;
    out->Target.vDriverVersion = 0x0500;
    PutName(out->Target.szPname, device.name);
}

// The items a control reports: those it holds, unless it is a faulty one.
DWORD ReportedItems(const VcMixerControl &control)
{
    return control.reportedItems ? control.reportedItems : control.items;
}

void FillControl(const VcMixerControl &control, MIXERCONTROLA *out)
{
    memset(out, 0, sizeof *out);
    out->cbStruct = sizeof *out;
    out->dwControlID = control.controlId;
    out->dwControlType = control.type;
    out->fdwControl = control.flags;
    out->cMultipleItems = ReportedItems(control);
    PutName(out->szShortName, control.name);
    PutName(out->szName, control.name);
    switch (control.type & MIXERCONTROL_CT_CLASS_MASK) {
    case MIXERCONTROL_CT_CLASS_FADER:
        out->Bounds.dwMaximum = kLevelMax;
        out->Metrics.cSteps = kLevelMax + 1;
        break;
    default:
        out->Bounds.dwMaximum = 1;
        break;
    }
}

const VcMixerLine *DestinationAt(const VcMixerDevice &device, DWORD index)
{
    for (UINT i = 0; i < device.lineCount; ++i)
        if (!device.lines[i].isSource && device.lines[i].destination == index)
            return &device.lines[i];
    return nullptr;
}

const VcMixerLine *SourceAt(const VcMixerDevice &device, DWORD destination, DWORD index)
{
    for (UINT i = 0; i < device.lineCount; ++i) {
        const VcMixerLine &line = device.lines[i];
        if (line.isSource && line.destination == destination && line.source == index)
            return &line;
    }
    return nullptr;
}

const VcMixerLine *LineOfType(const VcMixerDevice &device, DWORD type)
{
    for (int pass = 0; pass < 2; ++pass)
        for (UINT i = 0; i < device.lineCount; ++i)
            if (device.lines[i].isSource == (pass == 1) && device.lines[i].componentType == type)
                return &device.lines[i];
    return nullptr;
}

// The shape checks shared by reading and writing details: the channel count
// is 1, or the line's count for a control that is not uniform; the item count
// is the control's own for a multiple-item control and 0 otherwise.
MMRESULT CheckDetailsShape(const VcMixerDevice &device, const VcMixerControl &control,
                           const MIXERCONTROLDETAILS &details)
{
    const VcMixerLine *line = VcMixerLineById(device, control.lineId);
    DWORD lineChannels = line ? line->channels : 1;
    bool uniform = (control.flags & MIXERCONTROL_CONTROLF_UNIFORM) != 0;
    if (details.cChannels != 1 && (uniform || details.cChannels != lineChannels))
        return MMSYSERR_INVALPARAM;
    DWORD items = (control.flags & MIXERCONTROL_CONTROLF_MULTIPLE) ? ReportedItems(control) : 0;
    if (details.cMultipleItems != items)
        return MMSYSERR_INVALPARAM;
    if (!details.paDetails)
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

// An armed fault of a mixer call: its result, or MMSYSERR_NOERROR.
MMRESULT MixerFault(const char *method)
{
    return static_cast<MMRESULT>(CardFault(method).result);
}

// The start of every call that takes a structure: its size checked, exactly
// the ANSI structure's as winmm wants it, then the device its object names.
template <typename Struct>
MMRESULT OpenCall(HMIXEROBJ object, const Struct *call, DWORD flags, UINT *deviceId, VcMixerDevice **device)
{
    if (!call || call->cbStruct != sizeof *call)
        return MMSYSERR_INVALPARAM;
    MMRESULT r = ResolveObject(object, flags, deviceId);
    if (r == MMSYSERR_NOERROR)
        *device = VcMixerDeviceAt(*deviceId);
    return r;
}

// The control a details call names, for a query among the allowed ones
// (a bit per query value) and a details shape that fits the control.
MMRESULT FindDetailsControl(HMIXEROBJ object, LPMIXERCONTROLDETAILS details, DWORD flags, DWORD allowedQueries,
                            UINT *deviceId, VcMixerDevice **device, VcMixerControl **control)
{
    MMRESULT r = OpenCall(object, details, flags, deviceId, device);
    if (r != MMSYSERR_NOERROR)
        return r;
    *control = VcMixerControlById(**device, details->dwControlID);
    if (!*control)
        return MIXERR_INVALCONTROL;
    if (!(allowedQueries & (1u << (flags & MIXER_GETCONTROLDETAILSF_QUERYMASK))))
        return MMSYSERR_INVALFLAG;
    return CheckDetailsShape(**device, **control, *details);
}

// A single-select list takes exactly one chosen entry per channel.
bool ValidSelection(const VcMixerControl &control, const DWORD *values, DWORD channels, DWORD items)
{
    if ((control.type & MIXERCONTROL_CT_CLASS_MASK) != MIXERCONTROL_CT_CLASS_LIST ||
        (control.type & MIXERCONTROL_CT_SUBCLASS_MASK) != MIXERCONTROL_CT_SC_LIST_SINGLE)
        return true;
    for (DWORD c = 0; c < channels; ++c) {
        DWORD chosen = 0;
        for (DWORD i = 0; i < items; ++i)
            if (values[c * items + i])
                ++chosen;
        if (chosen != 1)
            return false;
    }
    return true;
}

DWORD Normalise(const VcMixerControl &control, DWORD value)
{
    switch (control.type & MIXERCONTROL_CT_CLASS_MASK) {
    case MIXERCONTROL_CT_CLASS_SWITCH:
    case MIXERCONTROL_CT_CLASS_LIST:
        return value ? 1 : 0;
    case MIXERCONTROL_CT_CLASS_FADER:
        return value > kLevelMax ? kLevelMax : value;
    default:
        return value;
    }
}

} // namespace

UINT WINAPI mixerGetNumDevs(void)
{
    return VcMixer().deviceCount;
}

MMRESULT WINAPI mixerGetDevCapsA(UINT_PTR uMxId, LPMIXERCAPSA pmxcaps, UINT cbmxcaps)
{
    if (MMRESULT fault = MixerFault("mixerGetDevCapsA"))
        return fault;
    if (!pmxcaps)
        return MMSYSERR_INVALPARAM;
    UINT device;
    // An id, or failing that a handle, as the platform accepts either here.
    MMRESULT r = ResolveObject(reinterpret_cast<HMIXEROBJ>(uMxId), MIXER_OBJECTF_MIXER, &device);
    if (r != MMSYSERR_NOERROR &&
        ResolveObject(reinterpret_cast<HMIXEROBJ>(uMxId), MIXER_OBJECTF_HMIXER, &device) != MMSYSERR_NOERROR)
        return r;
    const VcMixerDevice &dev = *VcMixerDeviceAt(device);
    MIXERCAPSA caps = {};
    caps.wMid = dev.mid;
    caps.wPid = dev.pid;
    caps.vDriverVersion = 0x0500;
    PutName(caps.szPname, dev.name);
    caps.cDestinations = VcMixerDestinationCount(dev);
    memcpy(pmxcaps, &caps, cbmxcaps < sizeof caps ? cbmxcaps : sizeof caps);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerOpen(LPHMIXER phmx, UINT uMxId, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                          DWORD fdwOpen)
{
    if (MMRESULT fault = MixerFault("mixerOpen"))
        return fault;
    if (!phmx)
        return MMSYSERR_INVALPARAM;
    *phmx = nullptr;
    UINT device;
    MMRESULT r = ResolveObject(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(uMxId)),
                               fdwOpen & kObjectKindMask, &device);
    if (r != MMSYSERR_NOERROR)
        return r;
    HWND window = nullptr;
    switch (fdwOpen & CALLBACK_TYPEMASK) {
    case CALLBACK_NULL:
        break;
    case CALLBACK_WINDOW:
        window = reinterpret_cast<HWND>(dwCallback);
        if (window && !IsWindow(window))
            return MMSYSERR_INVALPARAM;
        break;
    default:
        return MMSYSERR_INVALFLAG;
    }
    for (VcMixerHandle &h : VcMixer().handles) {
        if (h.open)
            continue;
        h.open = true;
        h.device = device;
        h.window = window;
        *phmx = reinterpret_cast<HMIXER>(&h);
        VcLog("mixerOpen device=%u window=%p instance=%llu flags=0x%lx", device, static_cast<void *>(window),
              static_cast<unsigned long long>(dwInstance), static_cast<unsigned long>(fdwOpen));
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_NOMEM;
}

MMRESULT WINAPI mixerClose(HMIXER hmx)
{
    if (MMRESULT fault = MixerFault("mixerClose"))
        return fault;
    VcMixerHandle *h = HandleOf(reinterpret_cast<HMIXEROBJ>(hmx));
    if (!h)
        return MMSYSERR_INVALHANDLE;
    VcLog("mixerClose device=%u", h->device);
    *h = VcMixerHandle{};
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerGetID(HMIXEROBJ hmxobj, UINT *puMxId, DWORD fdwId)
{
    if (MMRESULT fault = MixerFault("mixerGetID"))
        return fault;
    if (!puMxId)
        return MMSYSERR_INVALPARAM;
    UINT device;
    MMRESULT r = ResolveObject(hmxobj, fdwId, &device);
    if (r == MMSYSERR_NOERROR)
        *puMxId = device;
    return r;
}

MMRESULT WINAPI mixerGetLineInfoA(HMIXEROBJ hmxobj, LPMIXERLINEA pmxl, DWORD fdwInfo)
{
    if (MMRESULT fault = MixerFault("mixerGetLineInfoA"))
        return fault;
    UINT deviceId;
    VcMixerDevice *found;
    MMRESULT r = OpenCall(hmxobj, pmxl, fdwInfo, &deviceId, &found);
    if (r != MMSYSERR_NOERROR)
        return r;
    const VcMixerDevice &device = *found;
    const VcMixerLine *line = nullptr;
    switch (fdwInfo & MIXER_GETLINEINFOF_QUERYMASK) {
    case MIXER_GETLINEINFOF_DESTINATION:
        line = DestinationAt(device, pmxl->dwDestination);
        break;
    case MIXER_GETLINEINFOF_SOURCE:
        line = SourceAt(device, pmxl->dwDestination, pmxl->dwSource);
        break;
    case MIXER_GETLINEINFOF_LINEID:
        line = VcMixerLineById(device, pmxl->dwLineID);
        break;
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
        line = LineOfType(device, pmxl->dwComponentType);
        break;
    case MIXER_GETLINEINFOF_TARGETTYPE:
        break; // no line of the card has a wave or MIDI target
    default:
        return MMSYSERR_INVALFLAG;
    }
    if (!line)
        return MIXERR_INVALLINE;
    FillLine(device, deviceId, *line, pmxl);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerGetLineControlsA(HMIXEROBJ hmxobj, LPMIXERLINECONTROLSA pmxlc, DWORD fdwControls)
{
    if (MMRESULT fault = MixerFault("mixerGetLineControlsA"))
        return fault;
    UINT deviceId;
    VcMixerDevice *found;
    MMRESULT r = OpenCall(hmxobj, pmxlc, fdwControls, &deviceId, &found);
    if (r != MMSYSERR_NOERROR)
        return r;
    VcMixerDevice &device = *found;
    if (!pmxlc->pamxctrl || pmxlc->cbmxctrl != sizeof(MIXERCONTROLA))
        return MMSYSERR_INVALPARAM;
    BYTE *out = reinterpret_cast<BYTE *>(pmxlc->pamxctrl);

    switch (fdwControls & MIXER_GETLINECONTROLSF_QUERYMASK) {
    case MIXER_GETLINECONTROLSF_ALL: {
        if (!VcMixerLineById(device, pmxlc->dwLineID))
            return MIXERR_INVALLINE;
        // All means all: the count must be the line's own.
        DWORD count = VcMixerControlCount(device, pmxlc->dwLineID);
        if (pmxlc->cControls == 0 || pmxlc->cControls != count)
            return MMSYSERR_INVALPARAM;
        DWORD n = 0;
        for (UINT i = 0; i < device.controlCount; ++i) {
            if (device.controls[i].lineId != pmxlc->dwLineID)
                continue;
            FillControl(device.controls[i], reinterpret_cast<MIXERCONTROLA *>(out + n * pmxlc->cbmxctrl));
            ++n;
        }
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYID: {
        VcMixerControl *control = VcMixerControlById(device, pmxlc->dwControlID);
        if (!control)
            return MIXERR_INVALCONTROL;
        pmxlc->dwLineID = control->lineId;
        FillControl(*control, reinterpret_cast<MIXERCONTROLA *>(out));
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYTYPE: {
        if (!VcMixerLineById(device, pmxlc->dwLineID))
            return MIXERR_INVALLINE;
        DWORD id = VcMixerFindControl(deviceId, pmxlc->dwLineID, pmxlc->dwControlType);
        if (id == 0)
            return MIXERR_INVALCONTROL;
        FillControl(*VcMixerControlById(device, id), reinterpret_cast<MIXERCONTROLA *>(out));
        return MMSYSERR_NOERROR;
    }
    default:
        return MMSYSERR_INVALFLAG;
    }
}

MMRESULT WINAPI mixerGetControlDetailsA(HMIXEROBJ hmxobj, LPMIXERCONTROLDETAILS pmxcd, DWORD fdwDetails)
{
    if (MMRESULT fault = MixerFault("mixerGetControlDetailsA"))
        return fault;
    UINT deviceId;
    VcMixerDevice *device;
    VcMixerControl *control;
    const DWORD queries = 1u << MIXER_GETCONTROLDETAILSF_VALUE | 1u << MIXER_GETCONTROLDETAILSF_LISTTEXT;
    MMRESULT r = FindDetailsControl(hmxobj, pmxcd, fdwDetails, queries, &deviceId, &device, &control);
    if (r != MMSYSERR_NOERROR)
        return r;
    DWORD query = fdwDetails & MIXER_GETCONTROLDETAILSF_QUERYMASK;

    DWORD storedChannels = VcMixerStoredChannels(*device, *control);
    // A faulty control answers as many items as it reports: those past the
    // ones it holds as unnamed and off.
    DWORD held = VcMixerStoredItems(*control);
    DWORD items = control->reportedItems ? pmxcd->cMultipleItems : held;
    BYTE *out = static_cast<BYTE *>(pmxcd->paDetails);

    if (query == MIXER_GETCONTROLDETAILSF_LISTTEXT) {
        if (!(control->flags & MIXERCONTROL_CONTROLF_MULTIPLE) ||
            pmxcd->cbDetails != sizeof(MIXERCONTROLDETAILS_LISTTEXTA))
            return MMSYSERR_INVALPARAM;
        for (DWORD c = 0; c < pmxcd->cChannels; ++c)
            for (DWORD i = 0; i < items; ++i) {
                auto *entry = reinterpret_cast<MIXERCONTROLDETAILS_LISTTEXTA *>(
                    out + (c * items + i) * pmxcd->cbDetails);
                memset(entry, 0, sizeof *entry);
                if (i >= held)
                    continue;
                entry->dwParam1 = control->itemText[i].lineId;
                entry->dwParam2 = control->itemText[i].componentType;
                PutName(entry->szName, control->itemText[i].text);
            }
        return MMSYSERR_NOERROR;
    }

    // Every value form (unsigned, signed, boolean) is one 32-bit value.
    if (pmxcd->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED))
        return MMSYSERR_INVALPARAM;
    // One channel asked of a control that keeps several reads the first.
    for (DWORD c = 0; c < pmxcd->cChannels; ++c)
        for (DWORD i = 0; i < items; ++i) {
            DWORD value = i < held ? control->values[(c < storedChannels ? c : 0) * held + i] : 0;
            memcpy(out + (c * items + i) * pmxcd->cbDetails, &value, sizeof(DWORD));
        }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerSetControlDetails(HMIXEROBJ hmxobj, LPMIXERCONTROLDETAILS pmxcd, DWORD fdwDetails)
{
    if (MMRESULT fault = MixerFault("mixerSetControlDetails"))
        return fault;
    UINT deviceId;
    VcMixerDevice *device;
    VcMixerControl *control;
    MMRESULT r = FindDetailsControl(hmxobj, pmxcd, fdwDetails, 1u << MIXER_SETCONTROLDETAILSF_VALUE, &deviceId,
                                    &device, &control);
    if (r != MMSYSERR_NOERROR)
        return r;
    // A faulty control's writes are refused: the card keeps only what it holds.
    if (pmxcd->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED) || control->reportedItems)
        return MMSYSERR_INVALPARAM;

    DWORD storedChannels = VcMixerStoredChannels(*device, *control);
    DWORD items = VcMixerStoredItems(*control);
    const BYTE *in = static_cast<const BYTE *>(pmxcd->paDetails);
    DWORD given[kVcMixerMaxChannels * kVcMixerMaxItems];
    for (DWORD c = 0; c < pmxcd->cChannels; ++c)
        for (DWORD i = 0; i < items; ++i)
            memcpy(&given[c * items + i], in + (c * items + i) * pmxcd->cbDetails, sizeof(DWORD));
    if (!ValidSelection(*control, given, pmxcd->cChannels, items))
        return MMSYSERR_INVALPARAM;

    // One channel given for a control that keeps several sets them all alike;
    // the record holds what the program gave, the control what it keeps.
    char text[256];
    int used = snprintf(text, sizeof text, "mixerSetControlDetails device=%u control=%lu channels=%lu items=%lu "
                        "size=%lu flags=0x%lx values=", deviceId, static_cast<unsigned long>(control->controlId),
                        static_cast<unsigned long>(pmxcd->cChannels), static_cast<unsigned long>(pmxcd->cMultipleItems),
                        static_cast<unsigned long>(pmxcd->cbDetails), static_cast<unsigned long>(fdwDetails));
    for (DWORD c = 0; c < storedChannels; ++c)
        for (DWORD i = 0; i < items; ++i) {
            DWORD from = (pmxcd->cChannels == 1 ? 0 : c) * items + i;
            DWORD value = Normalise(*control, given[from]);
            control->values[c * items + i] = value;
            if (used > 0 && static_cast<size_t>(used) < sizeof text)
                used += snprintf(text + used, sizeof text - used, "%s%lu", c + i ? "," : "", // as given
                                 static_cast<unsigned long>(given[from]));
        }
    VcLog("%s", text);
    VcMixerNotify(deviceId, MM_MIXM_CONTROL_CHANGE, control->controlId);
    return MMSYSERR_NOERROR;
}
