// Inside the virtual card: the faults armed for its calls, shared by its
// DirectSound and its mixer. Tests arm them through vcard.h.
#ifndef VIRTUALCARD_VCFAULT_H
#define VIRTUALCARD_VCFAULT_H

#include "virtualcard/vcard.h"

// What one call of the card is to do: its usual work (result S_OK, no
// output change), fail with result, succeed with another success code, or
// succeed with other output.
struct CardCall {
    HRESULT result;
    VcOutput output;   // 0: the usual output
};

// Counts a call of method (one of the names vcard.h lists) and returns what
// the faults armed for it make of this call.
CardCall CardFault(const char *method);

// Drops every fault of this process once the card's key is gone (VcReset).
void CardForgetFaults();

#endif
