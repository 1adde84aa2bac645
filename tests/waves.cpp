#include "harness.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

uint32_t Crc32(const void *data, size_t size)
{
    const unsigned char *p = static_cast<const unsigned char *>(data);
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

bool WaveDataChecksum(const std::string &path, uint32_t *crc, uint32_t *size)
{
    std::string bytes = ReadWholeFile(path);
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t chunkSize;
        memcpy(&chunkSize, bytes.data() + at + 4, 4);
        if (bytes.compare(at, 4, "data") == 0) {
            if (chunkSize > bytes.size() - at - 8)
                return false;
            *size = chunkSize;
            *crc = Crc32(bytes.data() + at + 8, chunkSize);
            return true;
        }
        at += 8 + chunkSize + (chunkSize & 1);
    }
    return false;
}

RiffBuilder::RiffBuilder(const char *form) : form_(form) {}

RiffBuilder &RiffBuilder::Chunk(const char *id, const void *data, uint32_t size, uint32_t declared)
{
    uint32_t stored = declared == UINT32_MAX ? size : declared;
    body_.append(id, 4);
    body_.append(reinterpret_cast<const char *>(&stored), 4);
    body_.append(static_cast<const char *>(data), size);
    if (size & 1)
        body_.push_back('\0');
    return *this;
}

RiffBuilder &RiffBuilder::PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits)
{
    PCMWAVEFORMAT format = {};
    format.wf.wFormatTag = WAVE_FORMAT_PCM;
    format.wf.nChannels = channels;
    format.wf.nSamplesPerSec = rate;
    format.wf.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.wf.nAvgBytesPerSec = rate * format.wf.nBlockAlign;
    format.wBitsPerSample = bits;
    return Chunk("fmt ", &format, sizeof format);
}

std::string RiffBuilder::Bytes() const
{
    std::string file("RIFF", 4);
    uint32_t size = static_cast<uint32_t>(4 + body_.size());
    file.append(reinterpret_cast<const char *>(&size), 4);
    file.append(form_.c_str(), 4);
    return file + body_;
}
