// The virtual card's ordered record of what a program did to it: one line per
// event, "<event> <details>", kept in-process for the test that links the card
// and appended to the file named by the environment variable VCARD_LOG (when
// set) for tests that drive vtpanel.exe from outside.
#ifndef VIRTUALCARD_VCLOG_H
#define VIRTUALCARD_VCLOG_H

#include <stddef.h>

// Appends one event; printf-style, cut to 511 characters.
void VcLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The in-process record: number of lines, line i (null past the end), clearing.
size_t VcLogCount();
const char *VcLogLine(size_t i);
void VcLogClear();

// The card's ledger of what a process holds of it: each time a process takes
// (+1) or gives back (-1) one thing of a kind, the line
// "ledger kind=<kind> change=<+1|-1> pid=<process>[ what=<what>]" goes to the
// record file only. A test that drives a program from another process sums
// the changes of its process by kind; in-process tests count live objects.
void VcLedger(const char *kind, int change, const char *what = nullptr);

#endif
