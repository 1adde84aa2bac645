#include "harness.h"

#include <stdio.h>
#include <string.h>

namespace {

// The import address table entry of the program for function of dll, found
// by its name in the import lookup table; *current is what it holds now
// (the system's function, or a hook installed before).
void **FindSlot(const char *dll, const char *function, void **current)
{
    BYTE *base = reinterpret_cast<BYTE *>(GetModuleHandleA(nullptr));
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return nullptr;
    for (const IMAGE_IMPORT_DESCRIPTOR *d =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
         d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char *>(base + d->Name), dll) != 0 || !d->OriginalFirstThunk)
            continue;
        const IMAGE_THUNK_DATA *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME *import =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(import->Name), function) == 0) {
                *current = reinterpret_cast<void *>(slots->u1.Function);
                return reinterpret_cast<void **>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

void Write(void **slot, const void *value)
{
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = const_cast<void *>(value);
    VirtualProtect(slot, sizeof *slot, old, &old);
}

} // namespace

void *Imported(const char *dll, const char *function)
{
    void *current = nullptr;
    FindSlot(dll, function, &current);
    return current;
}

ImportHook::ImportHook(const char *dll, const char *function, const void *replacement, bool required)
{
    slot_ = FindSlot(dll, function, &original_);
    if (!slot_ && !required)
        return;
    if (!slot_) {
        // A hook that cannot take hold would leave a test passing for nothing.
        fprintf(stderr, "ImportHook: this program does not import %s from %s\n", function, dll);
        fflush(stderr);
        ExitProcess(3);
    }
    Write(slot_, replacement);
}

ImportHook::~ImportHook()
{
    if (slot_)
        Write(slot_, original_);
}
