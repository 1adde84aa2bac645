// Writes a WinHelp 3.1 help file (.hlp) of popup topics: the internal file
// system with its directory, |SYSTEM, |FONT with one font, |TOPIC
// uncompressed, the context index |CONTEXT and the context-number map
// |CTXOMAP, through which WinHelp finds a topic by the number a program
// passes it.
#ifndef VTPANEL_TOOLS_HELPGEN_HLP_WRITER_H
#define VTPANEL_TOOLS_HELPGEN_HLP_WRITER_H

#include "tools/helpgen/help_source.h"

#include <cstdint>
#include <string>
#include <vector>

// The file holds a contents topic first (the title, the intro and, under each
// page's heading, a popup link to each of its topics), then one topic per
// topic of the source, in the source's order. genDate is the file's creation
// time in seconds since 1970.
bool WriteHelpFile(const HelpSource &source, uint32_t genDate, std::vector<uint8_t> *file,
                   std::string *error);

// The hash WinHelp files a context name under.
int32_t ContextHash(const std::string &name);

#endif
