#include "app/format.h"

#include <stdarg.h>
#include <stdio.h>

namespace {

int FormatArguments(char *out, size_t size, const char *format, va_list args)
{
    if (size == 0)
        return 0;
    // msvcrt's _vsnprintf leaves a text that fills the buffer unterminated
    // and reports a longer one as -1.
    int n = _vsnprintf(out, size, format, args);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        out[size - 1] = '\0';
        return static_cast<int>(size);
    }
    return n;
}

} // namespace

int FormatText(char *out, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = FormatArguments(out, size, format, args);
    va_end(args);
    return n;
}

void PrintDiagnostic(const char *format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    FormatArguments(line, sizeof line, format, args);
    va_end(args);
    fputs(line, stderr);
}
