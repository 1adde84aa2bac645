#include "virtualcard/vclog.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

// Enough for the longest test sequence; older lines are dropped first.
const size_t kMaxLines = 4096;
const size_t kLineSize = 512;
char lines[kMaxLines][kLineSize];
size_t first = 0, count = 0;

// Microseconds on the performance counter, a clock every process shares.
long long Microseconds()
{
    LARGE_INTEGER now, frequency;
    if (!QueryPerformanceCounter(&now) || !QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0)
        return 0;
    return now.QuadPart / frequency.QuadPart * 1000000 + now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

void AppendToFile(const char *line)
{
    // Taken first: the time of the event, not of the file's opening.
    long long time = Microseconds();
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("VCARD_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    // Opened per line so that several processes can share the file.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    // For a benchmark that times the program from outside.
    if (GetEnvironmentVariableA("VCARD_LOG_TIME", nullptr, 0) > 0) {
        char stamp[32];
        int n = snprintf(stamp, sizeof stamp, " t=%lld", time);
        if (n > 0 && n < static_cast<int>(sizeof stamp))
            WriteFile(file, stamp, static_cast<DWORD>(n), &written, nullptr);
    }
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

} // namespace

void VcLog(const char *format, ...)
{
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    line[sizeof line - 1] = '\0';

    size_t slot = (first + count) % kMaxLines;
    memcpy(lines[slot], line, sizeof line);
    if (count < kMaxLines)
        ++count;
    else
        first = (first + 1) % kMaxLines;
    AppendToFile(line);
}

size_t VcLogCount()
{
    return count;
}

const char *VcLogLine(size_t i)
{
    return i < count ? lines[(first + i) % kMaxLines] : nullptr;
}

void VcLogClear()
{
    first = count = 0;
}

void VcLedger(const char *kind, int change, const char *what)
{
    char line[kLineSize];
    snprintf(line, sizeof line, "ledger kind=%s change=%+d pid=%lu%s%s", kind, change,
             static_cast<unsigned long>(GetCurrentProcessId()), what ? " what=" : "", what ? what : "");
    AppendToFile(line);
}
