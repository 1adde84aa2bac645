// Inside the virtual card's DirectSound: its device list and stored state in
// the registry, its counters of live objects and its fault injection.
#ifndef VIRTUALCARD_DSCARD_H
#define VIRTUALCARD_DSCARD_H

#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <dsound.h>

// Device list, read from the registry on every enumeration and creation.
int CardDeviceCount();
bool CardDevice(int index, VcDevice *device);

// Per-device stored values.
DWORD CardSpeakerConfig(int device);
void CardStoreSpeakerConfig(int device, DWORD config);
// Reads a stored property value; false when none was stored yet.
bool CardLoadProperty(int device, const char *setName, ULONG id, void *value, ULONG size);
void CardStoreProperty(int device, const char *setName, ULONG id, const void *value, ULONG size);

DWORD CardPlayTimePercent();

// Hardware buffers this process holds on a device, within the device's
// limit: false when none is free.
bool CardTakeHardwareBuffer(int device, DWORD limit);
void CardReturnHardwareBuffer(int device);

// Live-object counters, calls through released interfaces, and the ids
// shown in the record.
extern int liveDirectSounds, liveBuffers, livePropertySets, playingBuffers, usesAfterRelease, buffersLeftAtRelease;
int CardNextObjectId();

// Text forms for the record.
void FormatGuid(const GUID *guid, char *out, size_t size);
bool ParseGuid(const char *text, GUID *guid);

#endif
