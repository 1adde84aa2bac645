// Builds the help file from its text source, on the build machine:
//
//   helpgen SOURCE OUTPUT
//
// The file's creation date is the source's modification time, so that the
// same source gives the same file.
#include "tools/helpgen/help_source.h"
#include "tools/helpgen/hlp_writer.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: helpgen SOURCE OUTPUT\n");
        return 2;
    }
    HelpSource source;
    std::string error;
    if (!LoadHelpSource(argv[1], &source, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    struct stat info = {};
    stat(argv[1], &info);
    std::vector<uint8_t> file;
    if (!WriteHelpFile(source, static_cast<uint32_t>(info.st_mtime), &file, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::string temporary = std::string(argv[2]) + ".tmp";
    FILE *out = std::fopen(temporary.c_str(), "wb");
    bool written = out && std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (out && std::fclose(out) != 0)
        written = false;
    if (!written || std::rename(temporary.c_str(), argv[2]) != 0) {
        std::fprintf(stderr, "helpgen: cannot write %s\n", argv[2]);
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
