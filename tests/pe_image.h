// A reader of the headers and import tables of a Windows executable, for the
// tests that check what the program needs of the machine it runs on.
#ifndef VT_TESTS_PE_IMAGE_H
#define VT_TESTS_PE_IMAGE_H

#include <string>
#include <vector>

struct PeImport {
    std::string dll;      // as the import table spells it
    std::string function; // empty for an import by ordinal
    bool delayed;
};

struct PeImage {
    unsigned machine = 0;        // IMAGE_FILE_MACHINE_*
    unsigned characteristics = 0;
    unsigned optionalMagic = 0;  // 0x10b PE32, 0x20b PE32+
    unsigned subsystem = 0;
    unsigned osVersionMajor = 0, osVersionMinor = 0;
    unsigned subsystemVersionMajor = 0, subsystemVersionMinor = 0;
    unsigned symbolCount = 0;    // COFF symbols left in the file
    std::vector<PeImport> imports;
};

// Reads the file at path; false with a reason in error when it is no PE image
// or a table points outside the file.
bool ReadPeImage(const std::string &path, PeImage *image, std::string *error);

// The DLLs of the import tables, lower case, each once.
std::vector<std::string> ImportedDlls(const PeImage &image);

#endif
