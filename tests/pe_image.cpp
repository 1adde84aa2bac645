#include "pe_image.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Bounds-checked view of the file's bytes.
class FileBytes {
public:
    explicit FileBytes(std::vector<unsigned char> bytes) : data_(std::move(bytes)) {}

    bool Read(size_t offset, void *out, size_t size) const
    {
        if (offset > data_.size() || size > data_.size() - offset)
            return false;
        std::memcpy(out, data_.data() + offset, size);
        return true;
    }

    // A NUL-terminated name at offset, at most 255 characters.
    bool ReadName(size_t offset, std::string *out) const
    {
        out->clear();
        for (size_t i = offset; i < data_.size() && i < offset + 256; ++i) {
            if (data_[i] == 0)
                return true;
            out->push_back(static_cast<char>(data_[i]));
        }
        return false;
    }

private:
    std::vector<unsigned char> data_;
};

struct Sections {
    std::vector<IMAGE_SECTION_HEADER> headers;

    // The file offset of a relative virtual address, or false when no section holds it.
    bool Offset(DWORD rva, size_t *offset) const
    {
        for (const IMAGE_SECTION_HEADER &s : headers) {
            DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size) {
                DWORD delta = rva - s.VirtualAddress;
                if (delta >= s.SizeOfRawData)
                    return false;
                *offset = s.PointerToRawData + delta;
                return true;
            }
        }
        return false;
    }
};

bool ReadFileBytes(const std::string &path, std::vector<unsigned char> *bytes)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

// Walks one list of thunks (ordinary or delay-load) of one DLL.
bool ReadThunks(const FileBytes &file, const Sections &sections, DWORD rva, bool pe32plus,
                const std::string &dll, bool delayed, std::vector<PeImport> *imports)
{
    size_t offset;
    if (!sections.Offset(rva, &offset))
        return false;
    const size_t width = pe32plus ? 8 : 4;
    const unsigned long long ordinalFlag = pe32plus ? 0x8000000000000000ull : 0x80000000ull;
    for (int i = 0; i < 65536; ++i) {
        unsigned long long thunk = 0;
        if (!file.Read(offset + i * width, &thunk, width))
            return false;
        if (thunk == 0)
            return true;
        PeImport import{dll, "", delayed};
        if (!(thunk & ordinalFlag)) {
            size_t nameOffset;
            if (!sections.Offset(static_cast<DWORD>(thunk) + 2, &nameOffset) ||
                !file.ReadName(nameOffset, &import.function))
                return false;
        }
        imports->push_back(import);
    }
    return false;
}

// The fields both optional-header forms share, from the one the file has.
template <typename Optional>
bool ReadOptionalHeader(const FileBytes &file, size_t offset, const IMAGE_FILE_HEADER &header, PeImage *image,
                        IMAGE_DATA_DIRECTORY *importDir, IMAGE_DATA_DIRECTORY *delayDir)
{
    Optional opt;
    if (header.SizeOfOptionalHeader < sizeof opt || !file.Read(offset, &opt, sizeof opt))
        return false;
    image->subsystem = opt.Subsystem;
    image->osVersionMajor = opt.MajorOperatingSystemVersion;
    image->osVersionMinor = opt.MinorOperatingSystemVersion;
    image->subsystemVersionMajor = opt.MajorSubsystemVersion;
    image->subsystemVersionMinor = opt.MinorSubsystemVersion;
    *importDir = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    *delayDir = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    return true;
}

} // namespace

bool ReadPeImage(const std::string &path, PeImage *image, std::string *error)
{
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, &bytes)) {
        *error = "cannot read " + path;
        return false;
    }
    FileBytes file(std::move(bytes));

    IMAGE_DOS_HEADER dos;
    DWORD signature;
    IMAGE_FILE_HEADER header;
    if (!file.Read(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !file.Read(dos.e_lfanew, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
        !file.Read(dos.e_lfanew + 4, &header, sizeof header)) {
        *error = "not a PE image";
        return false;
    }
    image->machine = header.Machine;
    image->characteristics = header.Characteristics;
    image->symbolCount = header.NumberOfSymbols;

    const size_t optionalOffset = dos.e_lfanew + 4 + sizeof header;
    WORD magic;
    if (!file.Read(optionalOffset, &magic, sizeof magic)) {
        *error = "no optional header";
        return false;
    }
    image->optionalMagic = magic;
    const bool pe32plus = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    IMAGE_DATA_DIRECTORY importDir{}, delayDir{};
    bool read = false;
    if (pe32plus)
        read = ReadOptionalHeader<IMAGE_OPTIONAL_HEADER64>(file, optionalOffset, header, image, &importDir, &delayDir);
    else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        read = ReadOptionalHeader<IMAGE_OPTIONAL_HEADER32>(file, optionalOffset, header, image, &importDir, &delayDir);
    else {
        *error = "unknown optional header";
        return false;
    }
    if (!read) {
        *error = "short optional header";
        return false;
    }

    Sections sections;
    const size_t sectionOffset = optionalOffset + header.SizeOfOptionalHeader;
    for (unsigned i = 0; i < header.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER s;
        if (!file.Read(sectionOffset + i * sizeof s, &s, sizeof s)) {
            *error = "section table outside the file";
            return false;
        }
        sections.headers.push_back(s);
    }

    size_t offset;
    if (importDir.VirtualAddress && sections.Offset(importDir.VirtualAddress, &offset)) {
        for (int i = 0;; ++i) {
            IMAGE_IMPORT_DESCRIPTOR d;
            if (!file.Read(offset + i * sizeof d, &d, sizeof d)) {
                *error = "import table outside the file";
                return false;
            }
            if (d.Name == 0)
                break;
            std::string dll;
            size_t nameOffset;
            DWORD thunks = d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk;
            if (!sections.Offset(d.Name, &nameOffset) || !file.ReadName(nameOffset, &dll) ||
                !ReadThunks(file, sections, thunks, pe32plus, dll, false, &image->imports)) {
                *error = "bad import descriptor";
                return false;
            }
        }
    }
    if (delayDir.VirtualAddress && sections.Offset(delayDir.VirtualAddress, &offset)) {
        for (int i = 0;; ++i) {
            IMAGE_DELAYLOAD_DESCRIPTOR d;
            if (!file.Read(offset + i * sizeof d, &d, sizeof d)) {
                *error = "delay-load table outside the file";
                return false;
            }
            if (d.DllNameRVA == 0)
                break;
            std::string dll;
            size_t nameOffset;
            if (!sections.Offset(d.DllNameRVA, &nameOffset) || !file.ReadName(nameOffset, &dll) ||
                !ReadThunks(file, sections, d.ImportNameTableRVA, pe32plus, dll, true, &image->imports)) {
                *error = "bad delay-load descriptor";
                return false;
            }
        }
    }
    return true;
}

std::vector<std::string> ImportedDlls(const PeImage &image)
{
    std::vector<std::string> dlls;
    for (const PeImport &import : image.imports) {
        std::string name = import.dll;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (std::find(dlls.begin(), dlls.end(), name) == dlls.end())
            dlls.push_back(name);
    }
    return dlls;
}
