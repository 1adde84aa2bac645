// Stands in for a system function that this test program (and the product
// code linked into it) imports, so that a test sees each call with its
// arguments exactly as the system would have. Restored when the hook goes.
#ifndef VT_TESTS_IMPORT_HOOK_H
#define VT_TESTS_IMPORT_HOOK_H

#include <windows.h>

class ImportHook {
public:
    // dll as the program imports it ("user32.dll"); replacement has the
    // function's own type and calling convention.
    ImportHook(const char *dll, const char *function, const void *replacement);
    ~ImportHook();
    ImportHook(const ImportHook &) = delete;
    ImportHook &operator=(const ImportHook &) = delete;

    bool Installed() const { return slot_ != nullptr; }
    // The system's own function, for a replacement that passes a call on.
    template <typename Function> Function Original() const { return reinterpret_cast<Function>(original_); }

private:
    void **slot_ = nullptr;
    void *original_ = nullptr;
};

#endif
