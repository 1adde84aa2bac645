// Wave files for the tests: the card's spoken test files copied into a folder
// of the test's own, and broken files built byte by byte.
#ifndef VT_TESTS_WAVES_H
#define VT_TESTS_WAVES_H

#include "capture.h"

#include <stdint.h>
#include <string>

// Copies the driver package's test wave files into folder.
void CopyTestWaves(const TempFolder &folder);

// The CRC-32 of the "data" chunk of a wave file, and its size.
bool WaveDataChecksum(const std::string &path, uint32_t *crc, uint32_t *size);

// Builds a RIFF file chunk by chunk.
class RiffBuilder {
public:
    explicit RiffBuilder(const char *form = "WAVE");
    // A chunk whose stored size is declared (default: the data's own size).
    RiffBuilder &Chunk(const char *id, const void *data, uint32_t size, uint32_t declared = UINT32_MAX);
    RiffBuilder &PcmFormat(uint16_t channels = 1, uint32_t rate = 22050, uint16_t bits = 16);
    std::string Bytes() const;

private:
    std::string form_, body_;
};

uint32_t Crc32(const void *data, size_t size);

#endif
