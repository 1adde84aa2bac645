// The wave loader against a corpus of broken files made from each of the
// card's test waves: cut at every byte of the headers, sizes that lie both
// ways, chunks twice and odd ones padded, and damage from a fixed seed. Each file loads or is refused as it must; what
// DirectSound is given never claims more format bytes than were read, and
// its block holds at least a whole WAVEFORMATEX; the file, every block and
// every object are given back. What a short file cannot fill is the
// format's silence, never what DirectSound left in the buffer's memory.
#include "harness.h"

#include "speakers/speaker_test.h"
#include "virtualcard/vclog.h"

#include <stdlib.h>

namespace {

enum Verdict { kLoads, kRefused, kEither };

struct Sample { std::string name, bytes; Verdict verdict; size_t filled; char silence; }; // filled: bytes the file holds

// The corpus made from one test wave (mono 16-bit PCM, "fmt " then "data").
void AddVariants(const std::string &base, const std::string &source, std::vector<Sample> *out)
{
    uint32_t dataSize;
    memcpy(&dataSize, source.data() + 40, 4);
    const std::string pcm = source.substr(20, 16), data = source.substr(44, dataSize);
    auto add = [&](const std::string &what, const std::string &bytes, Verdict v, size_t filled = SIZE_MAX, char silence = 0) {
        out->push_back({base + "-" + what, bytes, v, filled, silence});
    };
    auto wave = [&](const std::string &format, uint32_t fmtDeclared = UINT32_MAX, uint32_t dataDeclared = UINT32_MAX) {
        return RiffBuilder()
            .Chunk("fmt ", format.data(), static_cast<uint32_t>(format.size()), fmtDeclared)
            .Chunk("data", data.data(), static_cast<uint32_t>(data.size()), dataDeclared)
            .Bytes();
    };
    const std::string whole = wave(pcm);
    add("original", whole, kLoads);

    // Cut at every byte of the headers and within the sound: once the
    // "data" header is whole, the buffer has its declared size, silent past
    // the cut (0x80 for 8-bit samples).
    for (size_t at = 0; at <= 56; ++at)
        add("cut" + std::to_string(at), whole.substr(0, at), at >= 44 ? kLoads : kRefused, at >= 44 ? at - 44 : SIZE_MAX);
    for (size_t at : {whole.size() / 2, whole.size() - 1})
        add("cut" + std::to_string(at), whole.substr(0, at), kLoads, at - 44);
    add("8bit-cut", RiffBuilder().PcmFormat(1, 22050, 8).Chunk("data", data.data(), 64, dataSize).Bytes(), kLoads, 64, '\x80');

    // The RIFF chunk's size too small and too large.
    for (uint32_t size : {0u, 4u, 11u, 12u, uint32_t(whole.size() - 9), uint32_t(whole.size()), 0xFFFFFFFFu}) {
        std::string lying = whole;
        memcpy(&lying[4], &size, 4);
        add("riff" + std::to_string(size), lying, size == whole.size() ? kLoads : kEither);
    }
    // The "fmt " chunk's size lying both ways over the same bytes.
    for (uint32_t size : {0u, 2u, 14u, 15u, 17u, 18u, 20u, 40u, 1000u, 0xFFFFu, 0x10000u, 0xFFFFFFFEu})
        add("fmtsize" + std::to_string(size), wave(pcm, size), kEither);
    // The "data" chunk's size below DirectSound's least, odd, over its most.
    const struct { uint32_t size; Verdict verdict; } dataSizes[] = {
        {0, kRefused}, {3, kRefused}, {4, kLoads}, {dataSize - 1, kLoads}, {0x01000000, kLoads},
        {0x10000000, kRefused}, {0xFFFFFFFE, kRefused},
    };
    for (const auto &d : dataSizes)
        add("datasize" + std::to_string(d.size), wave(pcm, UINT32_MAX, d.size), d.verdict, dataSize);

    // Chunks twice, odd ones padded, chunks of other kinds, no sound.
    auto chunks = [&](std::initializer_list<const char *> ids) {
        RiffBuilder riff;
        for (const char *id : ids) {
            const std::string &body = *id == 'f' ? pcm : *id == 'd' ? data : std::string(id + 4);
            riff.Chunk(*id == 'f' ? "fmt " : *id == 'd' ? "data" : std::string(id, 4).c_str(), body.data(),
                       static_cast<uint32_t>(body.size()));
        }
        return riff.Bytes();
    };
    add("fmt-twice", chunks({"f", "f", "d"}), kLoads);
    add("data-twice", chunks({"f", "d", "d"}), kLoads);
    add("junk-odd", chunks({"junkabcde", "f", "junkabcde", "d"}), kLoads);
    add("list", chunks({"LISTINFOISFT", "f", "d"}), kLoads);
    add("empty-chunk", chunks({"fact", "f", "fact", "d"}), kLoads);
    add("no-data", chunks({"f"}), kRefused);
    add("rifx", "RIFX" + whole.substr(4), kRefused);

    // Damage anywhere in the headers.
    uint32_t seed = static_cast<uint32_t>(source.size());
    for (int i = 0; i < 24; ++i) {
        std::string damaged = whole;
        for (int flips = 0; flips <= i % 4; ++flips) {
            seed = seed * 1103515245u + 12345u;
            damaged[(seed >> 8) % 44] = static_cast<char>(seed >> 24);
        }
        add("damage" + std::to_string(i), damaged, kEither);
    }
}

// The loader's smallest block, and what its reads see.
SIZE_T smallest;
LONG firstRead; // the size of the first read of a load: its "fmt " chunk
bool shortReads; // every read delivers a byte less than asked
#define COUNTED(dll, Function, Result, Params, Args, Then)                                                    \
    ImportHook *next##Function; /* what the stand-in passes the call on to */                                  \
    Result WINAPI Counted##Function Params                                                                       \
    {                                                                                                          \
        Result result = next##Function->Original<decltype(&Function)>() Args;                                  \
        Then;                                                                                                  \
        return result;                                                                                         \
    }
COUNTED("winmm.dll", mmioRead, LONG, (HMMIO h, HPSTR d, LONG s), (h, d, s),
        (firstRead = firstRead < 0 ? s : firstRead, result -= shortReads && result > 0))
COUNTED("kernel32.dll", HeapAlloc, LPVOID, (HANDLE h, DWORD f, SIZE_T s), (h, f, s), smallest = s < smallest ? s : smallest)

TEST(WaveCorpus, EveryFileLoadsOrIsRefusedAndGivesEverythingBack)
{
    WaveFolder folder;
    std::vector<Sample> corpus;
    for (const char *name : {"fleft", "fright", "rleft", "rright", "center", "subw", "left", "right"}) {
        std::string source = ReadWholeFile(folder.File((std::string(name) + ".wav").c_str()));
        ASSERT_EQ(0, source.compare(36, 4, "data")) << name; // the layout the variants start from
        AddVariants(name, source, &corpus);
    }
    ASSERT_EQ(8u * 118, corpus.size());

    ImportHook hooks[] = {HOOK("winmm.dll", mmioRead, CountedmmioRead), HOOK("kernel32.dll", HeapAlloc, CountedHeapAlloc)};
    nextmmioRead = &hooks[0], nextHeapAlloc = &hooks[1];
    IDirectSound *sound = nullptr;
    ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound, nullptr));
    int loaded = 0, formats = 0;
    for (const Sample &sample : corpus) {
        SCOPED_TRACE(sample.name);
        folder.Write("corpus.wav", sample.bytes);
        VcLogClear();
        smallest = sizeof(WAVEFORMATEX);
        firstRead = -1;
        IDirectSoundBuffer *buffer = LoadWaveBuffer(sound, folder.File("corpus.wav").c_str());
        EXPECT_EQ(sizeof(WAVEFORMATEX), smallest);
        if (sample.verdict != kEither)
            EXPECT_EQ(sample.verdict == kLoads, buffer != nullptr);
        void *held = nullptr; // past what the file holds: its format's silence, not what DirectSound left there
        DWORD size = 0;
        if (buffer && sample.filled < SIZE_MAX && buffer->Lock(0, 0, &held, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER) == DS_OK)
            EXPECT_EQ(std::string_view::npos, std::string_view(static_cast<char *>(held), size).find_first_not_of(sample.silence, sample.filled));
        // DirectSound is told of no format byte past those read.
        size_t at = VcLogFind("ds.buffer ");
        if (at < VcLogCount()) {
            LONG extra = atol(Field(VcLogLine(at), "extra").c_str());
            EXPECT_TRUE(extra == 0 || 18 + extra <= firstRead) << VcLogLine(at) << " read " << firstRead;
            ++formats;
        }
        if (buffer)
            buffer->Release();
        loaded += buffer != nullptr;
        if (HasFailure())
            break;
    }
    // A file system that delivers less than asked: refused, and its block given back.
    folder.Write("corpus.wav", ReadWholeFile(folder.File("fleft.wav")));
    shortReads = true;
    EXPECT_EQ(nullptr, LoadWaveBuffer(sound, folder.File("corpus.wav").c_str()));
    sound->Release();
    // How many loaded, and how many formats reached DirectSound to be checked.
    EXPECT_EQ(234, loaded);
    EXPECT_EQ(304, formats);
}

} // namespace
