// FormatText keeps snprintf's promises with msvcrt's formatter: the text is
// always terminated and a cut is told by the result. (The texts it makes are
// checked where the program shows them: error texts, paths, commands.)
#include "app/format.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

TEST(FormatText, TerminatesAndTellsACut)
{
    const struct { size_t size; const char *expected; int result; } cases[] = {
        {16, "abc-42", 6}, // fits
        {7, "abc-42", 6},  // fits with its terminator exactly
        {6, "abc-4", 6},   // one short: cut, told by the size
        {2, "a", 2}, {1, "", 1},
    };
    for (const auto &c : cases) {
        char out[32];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(c.result, FormatText(out, c.size, "%s%d", "abc", -42)) << c.size;
        EXPECT_STREQ(c.expected, out) << c.size;
        EXPECT_EQ('x', out[c.size]) << "wrote past the buffer, size " << c.size;
    }
    // No room: nothing is written, on either side.
    char room[4] = "xxx";
    EXPECT_EQ(0, FormatText(room + 1, 0, "%d", 1));
    EXPECT_STREQ("xxx", room);
}

} // namespace
