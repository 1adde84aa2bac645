// The wave loader against a corpus of broken files made from the card's test
// waves: cut at every chunk boundary, sizes that lie both ways, chunks out of
// order and twice, odd sizes with and without their pad byte, formats that
// are not PCM, extensible, shorter than PCM's or larger than any. Each file
// loads or is refused; what DirectSound is given never claims more format
// bytes than were read; every file, block and object is given back; and the
// files a player would take load.
#include "harness.h"

#include "speakers/speaker_test.h"
#include "virtualcard/vcard.h"
#include "virtualcard/vclog.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

namespace {

// Whether a file must load, must be refused, or may do either.
enum Verdict { kLoads, kRefused, kEither };

struct Sample {
    std::string name;
    std::string bytes;
    Verdict verdict;
};

struct ChunkSpec {
    std::string id;
    std::string body;
    uint32_t declared; // the size stored in its header
    bool pad;          // a pad byte after an odd body
};

std::string Le32(uint32_t v)
{
    return std::string(reinterpret_cast<const char *>(&v), 4);
}

// A RIFF file of these chunks; riffSize UINT32_MAX: the true one.
std::string Riff(const std::vector<ChunkSpec> &chunks, uint32_t riffSize = UINT32_MAX, const char *form = "WAVE")
{
    std::string body(form, 4);
    for (const ChunkSpec &c : chunks) {
        body += c.id.substr(0, 4) + Le32(c.declared) + c.body;
        if (c.pad && (c.body.size() & 1))
            body.push_back('\0');
    }
    return "RIFF" + Le32(riffSize == UINT32_MAX ? static_cast<uint32_t>(body.size()) : riffSize) + body;
}

ChunkSpec Chunk(const char *id, const std::string &body)
{
    return {id, body, static_cast<uint32_t>(body.size()), true};
}

// A format block: the PCM fields of the source, then cbSize and extra bytes
// when asked for.
std::string Format(const std::string &pcm, uint16_t tag, int cbSize = -1, size_t extra = 0)
{
    std::string f = pcm;
    memcpy(&f[0], &tag, 2);
    if (cbSize >= 0) {
        uint16_t cb = static_cast<uint16_t>(cbSize);
        f += std::string(reinterpret_cast<const char *>(&cb), 2);
        for (size_t i = 0; i < extra; ++i)
            f.push_back(static_cast<char>(i * 7 + 1));
    }
    return f;
}

std::string WithChannels(const std::string &pcm, uint16_t channels)
{
    std::string f = pcm;
    memcpy(&f[2], &channels, 2);
    return f;
}

// The corpus made from one test wave (mono 16-bit PCM, "fmt " then "data").
// Deterministic: the same files every run.
void AddVariants(const std::string &base, const std::string &source, std::vector<Sample> *out)
{
    uint32_t fmtSize, dataSize;
    memcpy(&fmtSize, source.data() + 16, 4);
    std::string pcm = source.substr(20, fmtSize);
    size_t dataAt = 20 + fmtSize;
    memcpy(&dataSize, source.data() + dataAt + 4, 4);
    std::string data = source.substr(dataAt + 8, dataSize);
    auto add = [&](const std::string &what, const std::string &bytes, Verdict verdict) {
        out->push_back({base + "-" + what, bytes, verdict});
    };
    const ChunkSpec fmt = Chunk("fmt ", pcm), dat = Chunk("data", data);
    const std::string whole = Riff({fmt, dat});
    add("original", whole, kLoads);

    // Cut at every byte of the headers, where every chunk begins and ends,
    // and within the sound: with the "data" header whole, the declared size
    // is made and what the file holds is read.
    std::vector<size_t> cuts;
    for (size_t at = 0; at <= dataAt + 12; ++at)
        cuts.push_back(at);
    for (size_t at : {whole.size() / 2, whole.size() - 2, whole.size() - 1})
        cuts.push_back(at);
    for (size_t at : cuts)
        add("cut" + std::to_string(at), whole.substr(0, at), at >= dataAt + 8 ? kLoads : kRefused);

    // The RIFF chunk's size, too small and too large.
    for (uint32_t size : {0u, 4u, 11u, 12u, uint32_t(whole.size() - 9), uint32_t(whole.size()), 0x7FFFFFFFu,
                          0xFFFFFFFFu})
        add("riff" + std::to_string(size), Riff({fmt, dat}, size), size >= whole.size() - 8 ? kLoads : kEither);

    // The "fmt " chunk's size lying both ways over the same bytes.
    for (uint32_t size : {0u, 2u, 8u, 14u, 15u, 17u, 18u, 20u, 40u, 1000u, 0xFFFFu, 0x10000u, 0x7FFFFFFFu,
                          0xFFFFFFFFu}) {
        ChunkSpec lying = fmt;
        lying.declared = size;
        add("fmtsize" + std::to_string(size), Riff({lying, dat}), kEither);
    }

    // The "data" chunk's size: below DirectSound's least, odd, over the file,
    // over DirectSound's most.
    const struct { uint32_t size; Verdict verdict; } dataSizes[] = {
        {0, kRefused}, {1, kRefused}, {3, kRefused}, {4, kLoads}, {dataSize - 1, kLoads}, {dataSize + 1, kLoads},
        {dataSize * 2, kLoads}, {0x01000000, kLoads}, {0x10000000, kRefused}, {0x7FFFFFFF, kRefused},
        {0xFFFFFFFF, kRefused},
    };
    for (const auto &d : dataSizes) {
        ChunkSpec lying = dat;
        lying.declared = d.size;
        add("datasize" + std::to_string(d.size), Riff({fmt, lying}), d.verdict);
    }

    // Order, duplicates, padding and chunks of other kinds.
    const ChunkSpec stereo = Chunk("fmt ", WithChannels(pcm, 2));
    const ChunkSpec odd = Chunk("junk", "abcde");
    ChunkSpec oddUnpadded = odd;
    oddUnpadded.pad = false;
    ChunkSpec oddData = Chunk("data", data.substr(0, data.size() - 1));
    ChunkSpec oddDataUnpadded = oddData;
    oddDataUnpadded.pad = false;
    const struct { const char *what; std::vector<ChunkSpec> chunks; Verdict verdict; } layouts[] = {
        {"data-first", {dat, fmt}, kRefused},
        {"no-fmt", {dat}, kRefused},
        {"no-data", {fmt}, kRefused},
        {"no-chunks", {}, kRefused},
        {"fmt-twice", {fmt, stereo, dat}, kLoads},
        {"stereo-first", {stereo, fmt, dat}, kRefused},
        {"data-twice", {fmt, dat, dat}, kLoads},
        {"junk-odd-padded", {odd, fmt, odd, dat}, kLoads},
        {"junk-odd-unpadded", {oddUnpadded, fmt, dat}, kEither},
        {"junk-odd-unpadded-middle", {fmt, oddUnpadded, dat}, kEither},
        {"data-odd-padded", {fmt, oddData, odd}, kLoads},
        {"data-odd-unpadded", {fmt, oddDataUnpadded, odd}, kLoads},
        {"list", {Chunk("LIST", "INFOISFT\x04\0\0\0abc"), fmt, dat}, kLoads},
        {"empty-chunk", {Chunk("fact", ""), fmt, Chunk("fact", ""), dat}, kLoads},
    };
    for (const auto &l : layouts)
        add(l.what, Riff(l.chunks), l.verdict);
    add("form-AVI", Riff({fmt, dat}, UINT32_MAX, "AVI "), kRefused);
    std::string rifx = whole;
    rifx[3] = 'X';
    add("rifx", rifx, kRefused);
    add("empty-file", "", kRefused);
    add("riff-only", "RIFF", kRefused);

    // Formats: not PCM, extensible, with extra bytes claimed or held, shorter
    // than PCM's, larger than any.
    const struct { const char *what; std::string format; Verdict verdict; } formats[] = {
        {"tag0", Format(pcm, 0), kRefused},
        {"adpcm", Format(pcm, 2, 32, 32), kRefused},
        {"float", Format(pcm, 3, 0), kRefused},
        {"alaw", Format(pcm, 6, 0), kRefused},
        {"mulaw", Format(pcm, 7, 0), kRefused},
        {"mp3", Format(pcm, 0x55, 12, 12), kRefused},
        {"extensible", Format(pcm, 0xFFFE, 22, 22), kEither},
        {"extensible-claimed", Format(pcm, 0xFFFE, 22, 0), kEither},
        {"pcm-cbsize0", Format(pcm, 1, 0), kLoads},
        {"pcm-cbsize-claimed", Format(pcm, 1, 0xFFFF, 0), kEither},
        {"pcm-cbsize-huge", Format(pcm, 1, 0xFFFF, 0xFFFF), kEither},
        {"fmt0", "", kRefused},
        {"fmt2", pcm.substr(0, 2), kRefused},
        {"fmt8", pcm.substr(0, 8), kRefused},
        {"fmt14", pcm.substr(0, 14), kEither},
        {"fmt15", pcm.substr(0, 15), kEither},
        {"fmt200", Format(pcm, 1, 182, 182), kEither},
        {"fmt4096", Format(pcm, 1, 0, 4078), kEither},
        {"fmt70000", Format(pcm, 1, 0xFFFF, 70000 - 18), kEither},
    };
    for (const auto &f : formats)
        add(f.what, Riff({Chunk("fmt ", f.format), dat}), f.verdict);

    // Damage anywhere in the headers, from a fixed seed.
    uint32_t seed = static_cast<uint32_t>(source.size());
    for (int i = 0; i < 24; ++i) {
        std::string damaged = whole;
        for (int flips = 0; flips <= i % 4; ++flips) {
            seed = seed * 1103515245u + 12345u;
            damaged[(seed >> 8) % (dataAt + 8)] = static_cast<char>(seed >> 24);
        }
        add("damage" + std::to_string(i), damaged, kEither);
    }
}

// --- What the loader does with the system -------------------------------------

ImportHook *hooks[5];
int opened, closed, blocks;
LONG formatRead; // the size of the first read of a load: its "fmt " chunk

HMMIO WINAPI CountOpen(LPSTR name, LPMMIOINFO info, DWORD flags)
{
    HMMIO file = hooks[0]->Original<decltype(&mmioOpenA)>()(name, info, flags);
    opened += file != nullptr;
    return file;
}
MMRESULT WINAPI CountClose(HMMIO file, UINT flags)
{
    ++closed;
    return hooks[1]->Original<decltype(&mmioClose)>()(file, flags);
}
LONG WINAPI NoteRead(HMMIO file, HPSTR data, LONG size)
{
    if (formatRead < 0)
        formatRead = size;
    return hooks[2]->Original<decltype(&mmioRead)>()(file, data, size);
}
LPVOID WINAPI CountAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    LPVOID block = hooks[3]->Original<decltype(&HeapAlloc)>()(heap, flags, size);
    blocks += block != nullptr;
    return block;
}
BOOL WINAPI CountFree(HANDLE heap, DWORD flags, LPVOID block)
{
    blocks -= block != nullptr;
    return hooks[4]->Original<decltype(&HeapFree)>()(heap, flags, block);
}

std::string Contents(const std::string &path)
{
    std::string bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

TEST(WaveCorpus, EveryFileLoadsOrIsRefusedAndGivesEverythingBack)
{
    const char *const kSources[] = {"fleft.wav", "fright.wav", "rleft.wav", "rright.wav", "center.wav",
                                    "subw.wav",  "left.wav",   "right.wav"};
    std::vector<Sample> corpus;
    for (const char *name : kSources) {
        std::string source = ReadWholeFile(SystemFile(name));
        ASSERT_GT(source.size(), 44u) << name;
        ASSERT_EQ(0, source.compare(36, 4, "data")) << name; // the layout the variants start from
        AddVariants(std::string(name, strlen(name) - 4), source, &corpus);
    }
    ASSERT_GE(corpus.size(), 1000u);

    TempFolder folder;
    VcReset();
    const struct { const char *dll, *function; const void *replacement; } kHooks[] = {
        {"winmm.dll", "mmioOpenA", reinterpret_cast<const void *>(CountOpen)},
        {"winmm.dll", "mmioClose", reinterpret_cast<const void *>(CountClose)},
        {"winmm.dll", "mmioRead", reinterpret_cast<const void *>(NoteRead)},
        {"kernel32.dll", "HeapAlloc", reinterpret_cast<const void *>(CountAlloc)},
        {"kernel32.dll", "HeapFree", reinterpret_cast<const void *>(CountFree)},
    };
    for (int i = 0; i < 5; ++i) {
        hooks[i] = new ImportHook(kHooks[i].dll, kHooks[i].function, kHooks[i].replacement);
    }

    int loaded = 0, refused = 0, formats = 0;
    for (const Sample &sample : corpus) {
        SCOPED_TRACE(sample.name);
        std::string path = folder.File((sample.name + ".wav").c_str());
        folder.Write((sample.name + ".wav").c_str(), sample.bytes);
        IDirectSound *sound = nullptr;
        ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound, nullptr));
        VcLogClear();
        opened = closed = blocks = 0;
        formatRead = -1;
        IDirectSoundBuffer *buffer = LoadWaveBuffer(sound, path.c_str());
        EXPECT_EQ(opened, closed);
        EXPECT_EQ(0, blocks);
        if (sample.verdict != kEither)
            EXPECT_EQ(sample.verdict == kLoads, buffer != nullptr);
        // DirectSound is told of no format byte past those read.
        size_t at = VcLogFind("ds.buffer ");
        if (at < VcLogCount()) {
            char extra[16] = "";
            ASSERT_TRUE(VcLogField(VcLogLine(at), "extra", extra, sizeof extra));
            LONG claimed = 18 + atol(extra);
            EXPECT_TRUE(atol(extra) == 0 || claimed <= formatRead) << VcLogLine(at) << " read " << formatRead;
            ++formats;
        }
        if (buffer) {
            ++loaded;
            buffer->Release();
        } else {
            ++refused;
        }
        sound->Release();
        EXPECT_EQ(0, VcLiveDirectSounds() + VcLiveBuffers() + VcUsesAfterRelease());
        DeleteFileA(path.c_str());
        if (HasFailure())
            break;
    }
    for (ImportHook *hook : hooks)
        delete hook;
    printf("%zu files: %d loaded, %d refused, %d formats handed to DirectSound\n", corpus.size(), loaded, refused,
           formats);
}

} // namespace
