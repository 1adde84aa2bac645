#include "trace.h"

#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <string.h>

namespace {

const char *const kVolatile[] = {"obj", "buf", "hwnd", "crc", "ms"};

bool Volatile(const std::string &field)
{
    for (const char *key : kVolatile)
        if (field.compare(0, strlen(key) + 1, std::string(key) + "=") == 0)
            return true;
    return false;
}

} // namespace

std::vector<std::string> Trace(size_t from, std::initializer_list<const char *> events)
{
    std::vector<std::string> trace;
    for (size_t i = from; i < VcLogCount(); ++i) {
        const char *line = VcLogLine(i);
        bool wanted = events.size() == 0;
        for (const char *event : events)
            wanted = wanted || strncmp(line, event, strlen(event)) == 0;
        if (!wanted)
            continue;
        // Fields are separated by blanks; quoted values hold none that matter here.
        std::string kept, field;
        for (const char *p = line;; ++p) {
            if (*p && *p != ' ') {
                field += *p;
                continue;
            }
            if (!field.empty() && !Volatile(field))
                kept += (kept.empty() ? "" : " ") + field;
            field.clear();
            if (!*p)
                break;
        }
        trace.push_back(kept);
    }
    return trace;
}
