#include "tools/helpgen/hlp_writer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

const uint32_t kFileMagic = 0x00035F3F;
const uint32_t kNone = 0xFFFFFFFF;
const uint8_t kFileFlags = 4;

const uint16_t kSystemMagic = 0x036C;
const uint16_t kVersionMinor = 21;  // a Windows 3.1 help file
const uint16_t kVersionMajor = 1;
const uint16_t kSystemFlags = 0;    // topics uncompressed, in 4 KB blocks
enum SystemRecord : uint16_t { kTitleRecord = 1, kContentsRecord = 3 };

const uint16_t kBtreeMagic = 0x293B;
const uint16_t kBtreeFlags = 0x0002;
const uint16_t kDirectoryFlags = 0x0402;
const uint16_t kBtreePage = 2048;
const uint16_t kDirectoryPage = 1024;
const size_t kBtreeHeaderSize = 38;
const size_t kLeafHeaderSize = 8;

const uint32_t kTopicBlockSize = 4096;
const uint32_t kBlockHeaderSize = 12;
const uint32_t kBlockData = kTopicBlockSize - kBlockHeaderSize;
const uint32_t kLinkHeaderSize = 21;
const uint32_t kTopicHeaderSize = 28;
enum RecordType : uint8_t { kTopicHeader = 0x02, kDisplay = 0x20 };

// Character formatting commands between the strings of a display record.
const uint8_t kFontChange = 0x80;
const uint8_t kParagraphEnd = 0x82;
const uint8_t kHotspotEnd = 0x89;
const uint8_t kPopupJump = 0xE2;
const uint8_t kFormatEnd = 0xFF;

const char kFaceName[] = "MS Sans Serif";
const size_t kFaceNameSize = 20;
const uint8_t kHalfPoints = 16;  // 8 points
const uint8_t kFamilySwiss = 3;

// Where a link record lies: the block above bit 14, the offset into the
// block's data below (3.1 files, compressed or not).
uint32_t TopicPos(uint32_t block, uint32_t offset)
{
    return kBlockHeaderSize + block * 0x4000 + offset;
}

// Where a topic starts for WinHelp: the block above bit 15, the characters
// of display text before it in that block below.
uint32_t TopicOffset(uint32_t block, uint32_t characters)
{
    return block * 0x8000 + characters;
}

class Bytes {
public:
    void U8(uint32_t v) { data_.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) { U8(v); U8(v >> 8); }
    void U32(uint32_t v) { U16(v); U16(v >> 16); }
    void Str(const std::string &s) { Raw(s.c_str(), s.size() + 1); }
    void Raw(const void *p, size_t n)
    {
        const uint8_t *b = static_cast<const uint8_t *>(p);
        data_.insert(data_.end(), b, b + n);
    }
    void Append(const Bytes &b) { data_.insert(data_.end(), b.data_.begin(), b.data_.end()); }
    void Zeros(size_t n) { data_.insert(data_.end(), n, 0); }
    void Put32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    size_t Size() const { return data_.size(); }
    const std::vector<uint8_t> &Data() const { return data_; }

private:
    std::vector<uint8_t> data_;
};

// Small values in display records are stored compressed: a signed long in two
// bytes (value + 16384, doubled) unless it needs four, an unsigned short in
// one byte (doubled) unless it needs two; the low bit tells the long form.
void CompressedLong(Bytes *b, int32_t v)
{
    if (v >= -16384 && v < 16384)
        b->U16(static_cast<uint32_t>(v + 16384) * 2);
    else
        b->U32(static_cast<uint32_t>(v + 0x40000000) * 2 + 1);
}

void CompressedUShort(Bytes *b, uint32_t v)
{
    if (v < 128)
        b->U8(v * 2);
    else
        b->U16(v * 2 + 1);
}

struct Link {
    uint8_t type = 0;
    Bytes data1;         // LinkData1 behind the link header
    Bytes data2;         // LinkData2, stored as it is
    uint32_t length = 0; // characters a display record adds to topic offsets
    uint32_t block = 0;
    uint32_t offset = 0;
    uint32_t Pos() const { return TopicPos(block, offset); }
    uint32_t Size() const { return kLinkHeaderSize + static_cast<uint32_t>(data1.Size() + data2.Size()); }
};

// A display record of one paragraph format: strings and formatting commands
// alternate, a string first, the end command last.
class Display {
public:
    void Add(const std::string &text, std::initializer_list<uint8_t> command)
    {
        strings_.Str(text);
        for (uint8_t c : command)
            commands_.U8(c);
    }
    void AddJump(int32_t hash)
    {
        strings_.Str(std::string());
        commands_.U8(kPopupJump);
        commands_.U32(static_cast<uint32_t>(hash));
    }
    Link Finish() const
    {
        Link link;
        link.type = kDisplay;
        link.length = static_cast<uint32_t>(strings_.Size());
        CompressedLong(&link.data1, static_cast<int32_t>(strings_.Size()));
        CompressedUShort(&link.data1, link.length);
        // Paragraph info: two bytes of unknown use, the paragraph id, and
        // no paragraph attributes (left aligned, no spacing, no tabs).
        link.data1.U8(0);
        link.data1.U8(0x80);
        link.data1.U16(0);
        link.data1.U16(0);
        link.data1.Append(commands_);
        link.data2.Append(strings_);
        return link;
    }

private:
    Bytes strings_;
    Bytes commands_;
};

Link PopupText(const std::string &text)
{
    Display d;
    d.Add("", {kFontChange, 0, 0});
    d.Add(text, {kParagraphEnd});
    d.Add("", {kFormatEnd});
    return d.Finish();
}

// The title, the intro, then each page's heading followed by a popup link
// to each of its topics, one paragraph each.
Link ContentsText(const HelpSource &source)
{
    Display d;
    d.Add("", {kFontChange, 0, 0});
    d.Add(source.title, {kParagraphEnd});
    if (!source.intro.empty())
        d.Add(source.intro, {kParagraphEnd});
    for (size_t page = 0; page < source.pages.size(); ++page) {
        d.Add(source.pages[page], {kParagraphEnd});
        for (const HelpTopic &topic : source.topics) {
            if (topic.page != page)
                continue;
            d.AddJump(ContextHash(topic.name));
            d.Add(topic.label, {kHotspotEnd});
            d.Add("", {kParagraphEnd});
        }
    }
    d.Add("", {kFormatEnd});
    return d.Finish();
}

Link HeaderLink(const std::string &title)
{
    Link link;
    link.type = kTopicHeader;
    link.data1.Zeros(kTopicHeaderSize);  // filled once every link has its place
    link.data2.Str(title);
    return link;
}

struct Topic {
    std::string title;
    Link header;
    Link text;
    uint32_t offset = 0;  // its topic offset, once placed
};

// Places topics whole into blocks, so that no topic and no link crosses a
// block boundary and every block starts with a topic header.
bool Place(std::vector<Topic> *topics, Link *end, uint32_t *blocks, std::string *error)
{
    uint32_t block = 0, used = 0, characters = 0;
    auto fit = [&](uint32_t size) {
        if (used + size > kBlockData) {
            ++block;
            used = 0;
            characters = 0;
        }
    };
    for (Topic &topic : *topics) {
        uint32_t size = topic.header.Size() + topic.text.Size();
        if (size > kBlockData || topic.text.length >= 0x8000) {
            *error = "a topic larger than a topic block: " + topic.title;
            return false;
        }
        fit(size);
        topic.offset = TopicOffset(block, characters);
        topic.header.block = topic.text.block = block;
        topic.header.offset = used;
        topic.text.offset = used + topic.header.Size();
        used += size;
        characters += topic.text.length;
    }
    fit(end->Size());
    end->block = block;
    end->offset = used;
    *blocks = block + 1;
    return true;
}

void FillTopicHeader(Link *header, uint32_t topicSize, uint32_t number, uint32_t scroll, uint32_t next)
{
    header->data1.Put32(0, topicSize);
    header->data1.Put32(4, kNone);  // no browse sequence
    header->data1.Put32(8, kNone);
    header->data1.Put32(12, number);
    header->data1.Put32(16, kNone);  // no non-scrolling region
    header->data1.Put32(20, scroll);
    header->data1.Put32(24, next);
}

bool TopicFile(std::vector<Topic> *topics, Bytes *file, std::string *error)
{
    // A last, empty topic header ends the last topic for readers that stop
    // at a link without a successor.
    Link end = HeaderLink("");
    uint32_t blocks = 0;
    if (!Place(topics, &end, &blocks, error))
        return false;

    std::vector<Link *> links;
    for (size_t i = 0; i < topics->size(); ++i) {
        Topic &topic = (*topics)[i];
        uint32_t next = i + 1 < topics->size() ? (*topics)[i + 1].header.Pos() : end.Pos();
        FillTopicHeader(&topic.header, topic.header.Size() + topic.text.Size(), static_cast<uint32_t>(i),
                        topic.text.Pos(), next);
        links.push_back(&topic.header);
        links.push_back(&topic.text);
    }
    FillTopicHeader(&end, end.Size(), static_cast<uint32_t>(topics->size()), kNone, kNone);
    links.push_back(&end);

    for (uint32_t block = 0; block < blocks; ++block) {
        uint32_t lastLink = kNone, firstLink = kNone, lastHeader = kNone;
        for (const Link *link : links) {
            if (link->block < block) {
                lastLink = link->Pos();
                if (link->type == kTopicHeader)
                    lastHeader = link->Pos();
            } else if (link->block == block && firstLink == kNone) {
                firstLink = link->Pos();
            }
        }
        file->U32(lastLink);
        file->U32(firstLink);
        file->U32(lastHeader);
        size_t dataStart = file->Size();
        for (size_t i = 0; i < links.size(); ++i) {
            const Link *link = links[i];
            if (link->block != block)
                continue;
            file->U32(link->Size());
            file->U32(static_cast<uint32_t>(link->data2.Size()));
            file->U32(i > 0 ? links[i - 1]->Pos() : kNone);
            file->U32(i + 1 < links.size() ? links[i + 1]->Pos() : kNone);
            file->U32(kLinkHeaderSize + static_cast<uint32_t>(link->data1.Size()));
            file->U8(link->type);
            file->Append(link->data1);
            file->Append(link->data2);
        }
        // Whole blocks, zero-filled: readers copy block by block.
        file->Zeros(kBlockData - (file->Size() - dataStart));
    }
    return true;
}

Bytes SystemFile(const HelpSource &source, uint32_t genDate, uint32_t contents)
{
    Bytes file;
    file.U16(kSystemMagic);
    file.U16(kVersionMinor);
    file.U16(kVersionMajor);
    file.U32(genDate);
    file.U16(kSystemFlags);
    file.U16(kTitleRecord);
    file.U16(static_cast<uint32_t>(source.title.size() + 1));
    file.Str(source.title);
    file.U16(kContentsRecord);
    file.U16(4);
    file.U32(contents);
    return file;
}

Bytes FontFile()
{
    Bytes file;
    file.U16(1);  // face names
    file.U16(1);  // font descriptors
    file.U16(8);  // where the face names start
    file.U16(static_cast<uint32_t>(8 + kFaceNameSize));
    char face[kFaceNameSize] = {};
    std::memcpy(face, kFaceName, sizeof kFaceName);
    file.Raw(face, sizeof face);
    file.U8(0);  // regular: not bold, italic, underlined
    file.U8(kHalfPoints);
    file.U8(kFamilySwiss);
    file.U16(0);  // face name 0
    file.Zeros(3);  // black text
    file.Zeros(3);
    return file;
}

// A B+ tree whose entries fit in a single leaf page, which is its root.
bool OnePageTree(uint16_t flags, uint16_t pageSize, const char *structure, const std::vector<Bytes> &entries,
                 Bytes *tree)
{
    size_t used = kLeafHeaderSize;
    for (const Bytes &entry : entries)
        used += entry.Size();
    if (used > pageSize)
        return false;
    tree->U16(kBtreeMagic);
    tree->U16(flags);
    tree->U16(pageSize);
    char format[16] = {};
    std::strncpy(format, structure, sizeof format - 1);
    tree->Raw(format, sizeof format);
    tree->U16(0);       // must be zero
    tree->U16(0);       // page splits
    tree->U16(0);       // root page
    tree->U16(0xFFFF);  // must be -1
    tree->U16(1);       // pages
    tree->U16(1);       // levels
    tree->U32(static_cast<uint32_t>(entries.size()));
    tree->U16(static_cast<uint32_t>(pageSize - used));  // free bytes at the page's end
    tree->U16(static_cast<uint32_t>(entries.size()));
    tree->U16(0xFFFF);  // no previous leaf
    tree->U16(0xFFFF);  // no next leaf
    for (const Bytes &entry : entries)
        tree->Append(entry);
    tree->Zeros(pageSize - used);
    return true;
}

void InternalFile(Bytes *out, const Bytes &content)
{
    out->U32(static_cast<uint32_t>(content.Size() + 9));
    out->U32(static_cast<uint32_t>(content.Size()));
    out->U8(kFileFlags);
    out->Append(content);
}

} // namespace

int32_t ContextHash(const std::string &name)
{
    uint32_t hash = 0;
    for (char c : name) {
        uint32_t x = 0;
        if (c >= 'A' && c <= 'Z')
            x = c - 'A' + 17;
        else if (c >= 'a' && c <= 'z')
            x = c - 'a' + 17;
        else if (c >= '1' && c <= '9')
            x = c - '0';
        else if (c == '0')
            x = 10;
        else if (c == '.')
            x = 12;
        else if (c == '_')
            x = 13;
        hash = hash * 43 + x;
    }
    return static_cast<int32_t>(hash);
}

bool WriteHelpFile(const HelpSource &source, uint32_t genDate, std::vector<uint8_t> *out, std::string *error)
{
    std::vector<Topic> topics;
    topics.push_back({source.title, HeaderLink(source.title), ContentsText(source)});
    for (const HelpTopic &topic : source.topics)
        topics.push_back({topic.label, HeaderLink(topic.label), PopupText(topic.text)});
    Bytes topicFile;
    if (!TopicFile(&topics, &topicFile, error))
        return false;

    // The context index: hash of each context name to its topic, in the
    // order of the hashes as signed numbers.
    std::vector<std::pair<int32_t, uint32_t>> hashes;
    for (size_t i = 0; i < source.topics.size(); ++i)
        hashes.push_back({ContextHash(source.topics[i].name), topics[i + 1].offset});
    std::sort(hashes.begin(), hashes.end());
    std::vector<Bytes> contextEntries;
    for (size_t i = 0; i < hashes.size(); ++i) {
        if (i > 0 && hashes[i].first == hashes[i - 1].first) {
            *error = "two context names with the same hash";
            return false;
        }
        Bytes entry;
        entry.U32(static_cast<uint32_t>(hashes[i].first));
        entry.U32(hashes[i].second);
        contextEntries.push_back(entry);
    }
    Bytes context;
    if (!OnePageTree(kBtreeFlags, kBtreePage, "L4", contextEntries, &context)) {
        *error = "more context names than one index page holds";
        return false;
    }

    // The context-number map, by number.
    std::vector<std::pair<uint32_t, uint32_t>> numbers;
    for (size_t i = 0; i < source.topics.size(); ++i)
        numbers.push_back({source.topics[i].number, topics[i + 1].offset});
    std::sort(numbers.begin(), numbers.end());
    Bytes map;
    map.U16(static_cast<uint32_t>(numbers.size()));
    for (const auto &n : numbers) {
        map.U32(n.first);
        map.U32(n.second);
    }

    // The internal files, then the directory, which lists them in the order
    // strcmp sorts their names: readers stop at the first name past theirs.
    const std::pair<const char *, Bytes> files[] = {
        {"|CONTEXT", context},
        {"|CTXOMAP", map},
        {"|FONT", FontFile()},
        {"|SYSTEM", SystemFile(source, genDate, topics[0].offset)},
        {"|TOPIC", topicFile},
    };
    for (size_t i = 1; i < sizeof files / sizeof files[0]; ++i)
        if (std::strcmp(files[i - 1].first, files[i].first) >= 0) {
            *error = "the internal files are not in order";
            return false;
        }
    Bytes body;
    std::vector<Bytes> directoryEntries;
    const uint32_t headerSize = 16;
    for (const auto &f : files) {
        Bytes entry;
        entry.Str(f.first);
        entry.U32(static_cast<uint32_t>(headerSize + body.Size()));
        directoryEntries.push_back(entry);
        InternalFile(&body, f.second);
    }
    Bytes directory;
    if (!OnePageTree(kDirectoryFlags, kDirectoryPage, "z4", directoryEntries, &directory)) {
        *error = "the directory does not fit its page";
        return false;
    }
    uint32_t directoryStart = static_cast<uint32_t>(headerSize + body.Size());
    InternalFile(&body, directory);

    Bytes file;
    file.U32(kFileMagic);
    file.U32(directoryStart);
    file.U32(kNone);  // no free blocks
    file.U32(static_cast<uint32_t>(headerSize + body.Size()));
    file.Append(body);
    *out = file.Data();
    return true;
}
