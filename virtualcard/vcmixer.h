// Test control of the virtual card's mixer: the winmm mixer functions of the
// library vcmixer, which a test program links before winmm, answer from the
// topology set up here. By default the card's own mixer is the only device.
//
// Line ids follow the platform's usual numbering: destination d is
// 0xFFFF0000 + d, source s of destination d is (d << 16) + s. Control ids are
// numbered from 1 per device in the order the controls were added.
//
// Values of a control are kept as [channel][item] 32-bit entries: one channel
// for a uniform control, else the line's channel count; one item unless the
// control has multiple items.
#ifndef VIRTUALCARD_VCMIXER_H
#define VIRTUALCARD_VCMIXER_H

#include <windows.h>
#include <mmsystem.h>

// The manufacturer and product id that the card's mixer reports; the driver
// package stores the same manufacturer id as its media driver's ManufactureID.
const WORD kVcCardMixerMid = 0x01A7;
const WORD kVcCardMixerPid = 0x0560;
const char kVcCardMixerName[] = "Sonaris Mixer";

// Limits of the emulation.
const UINT kVcMixerMaxDevices = 8;
const UINT kVcMixerMaxLines = 24;     // destinations and sources of one device
const UINT kVcMixerMaxControls = 64;  // of one device
const UINT kVcMixerMaxChannels = 8;
const UINT kVcMixerMaxItems = 16;
const UINT kVcMixerMaxHandles = 32;

const DWORD kVcMixerNoLine = 0xFFFFFFFF;

// Topology. The Add calls return the new device id, line id or control id,
// or -1 / kVcMixerNoLine / 0 when a limit is reached or an argument is wrong.
// Changing the topology closes no handle.
void VcMixerUseCardTopology();  // the card alone, as the driver installs it
void VcMixerClearDevices();     // no mixer device at all
int VcMixerAddDevice(WORD mid, WORD pid, const char *name);
DWORD VcMixerAddDestination(UINT device, DWORD componentType, DWORD channels, const char *name);
DWORD VcMixerAddSource(UINT device, DWORD destinationLineId, DWORD componentType,
                       DWORD channels, const char *name);
// flags: MIXERCONTROL_CONTROLF_UNIFORM and/or MIXERCONTROL_CONTROLF_MULTIPLE.
// A multiple-item control gets `items` entries, named after the sources of its
// line in their order (dwParam1 of the list text is the source's line id);
// entries past the last source are named "Item N".
DWORD VcMixerAddControl(UINT device, DWORD lineId, DWORD controlType, DWORD flags, DWORD items,
                        const char *name);
bool VcMixerSetItemText(UINT device, DWORD controlId, DWORD item, const char *text);
// Makes a multiple-item control faulty: it reports `items` entries, however
// many, and answers reads of that many (those past the ones it holds unnamed
// and 0); writes to it are refused.
bool VcMixerReportItems(UINT device, DWORD controlId, DWORD items);

// Look-ups for tests: the line of a component type (destinations first, then
// sources; kVcMixerNoLine when none), a line's first control of a type (0 when
// none), the source of a destination by its name.
DWORD VcMixerFindLine(UINT device, DWORD componentType);
DWORD VcMixerFindSource(UINT device, DWORD destinationLineId, const char *name);
DWORD VcMixerFindControl(UINT device, DWORD lineId, DWORD controlType);

// The stored values of a control ([channel][item]); count must be the number
// the control holds. False for an unknown control or a wrong count.
bool VcMixerGetValues(UINT device, DWORD controlId, DWORD *values, DWORD count);
// A change made by another program: stores the values unchecked and posts
// MM_MIXM_CONTROL_CHANGE to every window that has the device open.
bool VcMixerChangeByOtherProgram(UINT device, DWORD controlId, const DWORD *values, DWORD count);
// A line's state changed (for example a jack was plugged): posts
// MM_MIXM_LINE_CHANGE to every window that has the device open.
bool VcMixerChangeLineByOtherProgram(UINT device, DWORD lineId);

// Handles opened with mixerOpen and not yet closed.
UINT VcMixerOpenHandleCount();

#endif
