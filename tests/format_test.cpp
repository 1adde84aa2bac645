// FormatText keeps snprintf's promises with msvcrt's formatter: the text is
// always terminated, a cut is told by the result, and the integer and string
// conversions the program uses come out as snprintf's would.
#include "app/format.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

TEST(FormatText, TerminatesAndTellsACut)
{
    const struct {
        size_t size;
        const char *expected;
        int result;
    } cases[] = {
        {16, "abc-42", 6},      // fits
        {7, "abc-42", 6},       // fits with its terminator exactly
        {6, "abc-4", 6},        // one short: cut, told by the size
        {2, "a", 2},
        {1, "", 1},
    };
    for (const auto &c : cases) {
        char out[32];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(c.result, FormatText(out, c.size, "%s%d", "abc", -42)) << c.size;
        EXPECT_STREQ(c.expected, out) << c.size;
        EXPECT_EQ('x', out[c.size]) << "wrote past the buffer, size " << c.size;
    }
    // No room: nothing is written, on either side.
    char room[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(0, FormatText(room + 1, 0, "%d", 1));
    EXPECT_EQ(std::string(4, 'x'), std::string(room, 4));
}

TEST(FormatText, TheProgramsConversions)
{
    const struct {
        const char *expected;
        int length;
    } cases[] = {
        {"Unknown error 8878ffff (-2005336065)", 36},
        {"C:\\WINDOWS\\system32\\a.dll", 25},
        {"-7", 2},
    };
    char out[64];
    FormatText(out, sizeof out, "Unknown error %08lx (%ld)", 0x8878FFFFul, static_cast<long>(0x8878FFFF));
    EXPECT_STREQ(cases[0].expected, out);
    EXPECT_EQ(cases[1].length, FormatText(out, sizeof out, "%s\\%s", "C:\\WINDOWS\\system32", "a.dll"));
    EXPECT_STREQ(cases[1].expected, out);
    EXPECT_EQ(cases[2].length, FormatText(out, sizeof out, "%d", -7));
    EXPECT_STREQ(cases[2].expected, out);
    FormatText(out, sizeof out, "%08lx", 0x1Ful);
    EXPECT_STREQ("0000001f", out);
}

} // namespace
