// The text source of the help file: its title, the headings of the contents
// topic, and one popup topic per context number. Read by the help generator
// on the build machine and by the tests that check the built file.
#ifndef VTPANEL_TOOLS_HELPGEN_HELP_SOURCE_H
#define VTPANEL_TOOLS_HELPGEN_HELP_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

struct HelpTopic {
    uint32_t number;    // the context number the program passes to WinHelp
    std::string name;   // context name, hashed into the file's context index
    std::string label;  // the link to it in the contents topic
    std::string text;   // the popup's text, one paragraph
    size_t page;        // index of the heading it is listed under
};

struct HelpSource {
    std::string title;
    std::string intro;
    std::vector<std::string> pages;
    std::vector<HelpTopic> topics;
};

// Parses the text of a source file. On failure *error names the line and
// what is wrong with it.
bool ParseHelpSource(const std::string &text, HelpSource *source, std::string *error);
bool LoadHelpSource(const char *path, HelpSource *source, std::string *error);

#endif
