// Texts formatted by the system's C runtime (msvcrt.dll, which Windows 2000
// has), not the toolchain's own printf, whose floating-point formatting
// would add some 25 KB to the program: no text here holds anything but
// integers and strings.
#ifndef VTPANEL_APP_FORMAT_H
#define VTPANEL_APP_FORMAT_H

#include <stddef.h>

// Like snprintf: out is always terminated (when size > 0). Returns the
// text's length, or size when the text was cut.
int FormatText(char *out, size_t size, const char *format, ...) __attribute__((format(ms_printf, 3, 4)));

// A diagnostic line on the process's standard error stream.
void PrintDiagnostic(const char *format, ...) __attribute__((format(ms_printf, 1, 2)));

#endif
