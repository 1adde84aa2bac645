#include "harness.h"

#include "virtualcard/vclog.h"

#include <stdio.h>
#include <string.h>

namespace {

const char *const kVolatile[] = {"obj", "buf", "hwnd", "crc", "ms", "t"};

// A line without its volatile fields; fields are separated by blanks, and
// quoted values hold none that matter here.
std::string Steady(const std::string &line)
{
    std::string kept, field;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] != ' ') {
            field += line[i];
            continue;
        }
        bool steady = true;
        for (const char *key : kVolatile)
            steady = steady && field.compare(0, strlen(key) + 1, std::string(key) + "=") != 0;
        if (!field.empty() && steady)
            kept += (kept.empty() ? "" : " ") + field;
        field.clear();
    }
    return kept;
}

std::vector<std::string> Steady(const std::vector<std::string> &lines, std::initializer_list<const char *> events)
{
    std::vector<std::string> trace;
    for (const std::string &line : lines) {
        bool wanted = events.size() == 0;
        for (const char *event : events)
            wanted = wanted || line.compare(0, strlen(event), event) == 0;
        if (wanted)
            trace.push_back(Steady(line));
    }
    return trace;
}

} // namespace

std::vector<std::string> RecordLines(size_t from)
{
    std::vector<std::string> lines;
    for (size_t i = from; i < VcLogCount(); ++i)
        lines.push_back(VcLogLine(i));
    return lines;
}

std::vector<std::string> RecordFileLines(const std::string &path)
{
    // A line still being written, without its end, is not taken yet.
    std::vector<std::string> lines;
    std::string text = ReadWholeFile(path);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

std::vector<std::string> Trace(size_t from, std::initializer_list<const char *> events)
{
    return Steady(RecordLines(from), events);
}

std::vector<std::string> FileTrace(const std::string &path, std::initializer_list<const char *> events)
{
    return Steady(RecordFileLines(path), events);
}

std::string Field(const std::string &line, const char *key)
{
    std::string start = std::string(" ") + key + "=";
    size_t at = (" " + line).find(start);
    if (at == std::string::npos)
        return "";
    at += start.size() - 1;
    return line.substr(at, line.find(' ', at) - at);
}

std::vector<std::string> PropertyCalls(const std::vector<std::string> &record)
{
    std::vector<std::string> calls;
    std::vector<std::pair<std::string, std::string>> objects, buffers; // id, device
    auto device = [](const std::vector<std::pair<std::string, std::string>> &table, const std::string &id) {
        for (const auto &entry : table)
            if (entry.first == id)
                return entry.second;
        return std::string("?");
    };
    for (const std::string &line : record) {
        if (line.compare(0, 10, "ds.create ") == 0)
            objects.push_back({Field(line, "obj"), Field(line, "dev")});
        else if (line.compare(0, 10, "ds.buffer ") == 0)
            buffers.push_back({Field(line, "buf"), device(objects, Field(line, "obj"))});
        else if ((line.compare(0, 7, "ks.get ") == 0 || line.compare(0, 7, "ks.set ") == 0) &&
                 Field(line, "set") != "Audio")
            calls.push_back(line.substr(3, 3) + " " + Field(line, "set") + " " + Field(line, "id") +
                            " dev=" + device(buffers, Field(line, "buf")));
    }
    return calls;
}
