#include "tools/helpgen/help_source.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Context names are limited to what every WinHelp version hashes alike.
bool IsContextName(const std::string &name)
{
    if (name.empty())
        return false;
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                  c == '.';
        if (!ok)
            return false;
    }
    return true;
}

// The topics are shown in the ANSI code page of a Western system: plain
// printable ASCII keeps them the same everywhere.
bool IsPlainText(const std::string &text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// Context names hash alike in either case.
bool SameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? a[i] - 'a' + 'A' : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? b[i] - 'a' + 'A' : b[i];
        if (x != y)
            return false;
    }
    return true;
}

std::string Trim(const std::string &s)
{
    size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return std::string();
    size_t end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

// Splits off the first word of *rest.
std::string Word(std::string *rest)
{
    size_t end = rest->find_first_of(" \t");
    std::string word = rest->substr(0, end);
    *rest = end == std::string::npos ? std::string() : Trim(rest->substr(end));
    return word;
}

bool Fail(std::string *error, int line, const char *what)
{
    char text[160];
    std::snprintf(text, sizeof text, "line %d: %s", line, what);
    *error = text;
    return false;
}

} // namespace

bool ParseHelpSource(const std::string &text, HelpSource *source, std::string *error)
{
    *source = HelpSource();
    HelpTopic *open = nullptr;  // the topic whose text lines follow
    int lineNumber = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(at, end - at));
        at = end + 1;
        ++lineNumber;
        if (open) {
            if (!line.empty()) {
                if (!IsPlainText(line))
                    return Fail(error, lineNumber, "text that is not printable ASCII");
                open->text += open->text.empty() ? line : " " + line;
                continue;
            }
            if (open->text.empty())
                return Fail(error, lineNumber, "a topic without text");
            open = nullptr;
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        std::string rest = line;
        std::string keyword = Word(&rest);
        if (!IsPlainText(rest))
            return Fail(error, lineNumber, "text that is not printable ASCII");
        if (keyword == "title" && !rest.empty()) {
            source->title = rest;
        } else if (keyword == "intro" && !rest.empty()) {
            source->intro = rest;
        } else if (keyword == "page" && !rest.empty()) {
            source->pages.push_back(rest);
        } else if (keyword == "topic") {
            if (source->pages.empty())
                return Fail(error, lineNumber, "a topic before the first page");
            std::string number = Word(&rest);
            char *stop = nullptr;
            unsigned long value = std::strtoul(number.c_str(), &stop, 0);
            if (number.empty() || *stop || value == 0 || value > 0x7FFFFFFFul)
                return Fail(error, lineNumber, "a context number out of 1..0x7FFFFFFF");
            HelpTopic topic;
            topic.number = static_cast<uint32_t>(value);
            topic.name = Word(&rest);
            topic.label = rest;
            topic.page = source->pages.size() - 1;
            if (!IsContextName(topic.name))
                return Fail(error, lineNumber, "a context name other than letters, digits, _ and .");
            if (topic.label.empty())
                return Fail(error, lineNumber, "a topic without a label");
            for (const HelpTopic &other : source->topics) {
                if (other.number == topic.number)
                    return Fail(error, lineNumber, "a context number given twice");
                if (SameName(other.name, topic.name))
                    return Fail(error, lineNumber, "a context name given twice");
            }
            source->topics.push_back(topic);
            open = &source->topics.back();
        } else {
            return Fail(error, lineNumber, "an unknown line");
        }
    }
    if (open && open->text.empty())
        return Fail(error, lineNumber, "a topic without text");
    if (source->title.empty() || source->topics.empty())
        return Fail(error, lineNumber, "no title or no topic");
    return true;
}

bool LoadHelpSource(const char *path, HelpSource *source, std::string *error)
{
    FILE *file = std::fopen(path, "rb");
    if (!file) {
        *error = std::string("cannot open ") + path;
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    std::fclose(file);
    return ParseHelpSource(text, source, error);
}
