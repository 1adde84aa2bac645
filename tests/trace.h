// The virtual card's record as a test compares it: each line without the
// fields that differ from run to run (object ids, window handles,
// checksums, playing times), so that a flow's expected record is a table.
#ifndef VT_TESTS_TRACE_H
#define VT_TESTS_TRACE_H

#include <stddef.h>

#include <initializer_list>
#include <string>
#include <vector>

// The record from line from on; with events, only the lines of those events
// (a line's first word, or its beginning).
std::vector<std::string> Trace(size_t from = 0, std::initializer_list<const char *> events = {});

#endif
