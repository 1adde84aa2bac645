// The help file: read the way WinHelp reads it, and shown by the system's
// WinHelp for every control of the panel and its pages.
//
//   help_test HELPFILE SOURCE
//
// HELPFILE is the built vtpanel.hlp, SOURCE the text its topics come from.
// The HelpViewer cases run in a prefix with the driver package installed,
// where WinHelp finds vtpanel.hlp by name.
#include "help_viewer.h"

#include "panel/help_ids.h"
#include "resource.h"
#include "tools/helpgen/help_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace {

const char *const helpPath = __argc > 2 ? __argv[1] : "";
const char *const sourcePath = __argc > 2 ? __argv[2] : "";
const DWORD kNoHelp = 0xFFFFFFFF;

// The topics the file is made from; none if the source does not read.
HelpSource LoadSource()
{
    HelpSource source;
    std::string error;
    if (!LoadHelpSource(sourcePath, &source, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    return source;
}

const HelpSource &Source()
{
    static const HelpSource source = LoadSource();
    return source;
}

const HelpTopic *TopicOf(DWORD number)
{
    for (const HelpTopic &topic : Source().topics)
        if (topic.number == number)
            return &topic;
    return nullptr;
}

// helpIdTable: the context number of each control.
std::map<DWORD, DWORD> HelpTable()
{
    std::map<DWORD, DWORD> table;
    for (const DWORD *pair = helpIdTable; pair[0] != 0; pair += 2)
        table[pair[0]] = pair[1];
    return table;
}

// ---- The file as WinHelp reads it --------------------------------------------

uint32_t U16(const uint8_t *p) { return p[0] | p[1] << 8; }
uint32_t U32(const uint8_t *p) { return U16(p) | U16(p + 2) << 16; }

class HelpFile {
public:
    // A paragraph-per-line text and the popup links found in it.
    struct Topic {
        std::string title, text;
        std::vector<std::pair<std::string, int32_t>> jumps;  // label, context hash
    };

    explicit HelpFile(const char *path)
    {
        FILE *file = std::fopen(path, "rb");
        if (!file)
            return;
        uint8_t buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes_.insert(bytes_.end(), buffer, buffer + got);
        std::fclose(file);
    }

    // The header: its magic number, and the size it gives is the file's.
    bool Whole() const
    {
        return bytes_.size() >= 16 && U32(&bytes_[0]) == 0x00035F3F && U32(&bytes_[12]) == bytes_.size();
    }

    // An internal file's contents, found through the directory.
    bool Find(const std::string &name, const uint8_t **data, uint32_t *size) const
    {
        const uint8_t *directory = Internal(U32(&bytes_[4]), size);
        const uint8_t *entry = directory ? Search(directory, *size, [&](const uint8_t *key, size_t *length) {
            *length = std::strlen(reinterpret_cast<const char *>(key)) + 1;
            return std::strcmp(reinterpret_cast<const char *>(key), name.c_str());
        }) : nullptr;
        *data = entry ? Internal(U32(entry + name.size() + 1), size) : nullptr;
        return *data != nullptr;
    }

    // The topic offset the context-number map gives a number, or -1.
    uint32_t MapOffset(uint32_t number) const
    {
        const uint8_t *map;
        uint32_t size;
        if (!Find("|CTXOMAP", &map, &size) || size < 2 || size < 2 + 8 * U16(map))
            return kNoHelp;
        for (uint32_t i = 0; i < U16(map); ++i)
            if (U32(map + 2 + 8 * i) == number)
                return U32(map + 6 + 8 * i);
        return kNoHelp;
    }

    // The topic offset the context index gives a hash, or -1.
    uint32_t IndexOffset(int32_t hash) const
    {
        const uint8_t *index;
        uint32_t size;
        if (!Find("|CONTEXT", &index, &size))
            return kNoHelp;
        const uint8_t *entry = Search(index, size, [&](const uint8_t *key, size_t *length) {
            *length = 4;
            int32_t k = static_cast<int32_t>(U32(key));
            return k < hash ? -1 : k > hash;
        });
        return entry ? U32(entry + 4) : kNoHelp;
    }

    // The topic at a topic offset: the offset's upper bits name the topic
    // block; its links are walked from the block's first one, counting the
    // characters of display records up to the offset's lower bits.
    bool TopicAt(uint32_t offset, Topic *topic) const
    {
        const uint8_t *file;
        uint32_t size;
        if (!Find("|TOPIC", &file, &size) || (offset >> 15) * kBlock + kBlock > size)
            return false;
        const uint8_t *block = file + (offset >> 15) * kBlock;
        uint32_t header = U32(block + 8), characters = 0;
        for (uint32_t pos = U32(block + 4); pos != kNoHelp;) {
            const uint8_t *link = Link(file, size, pos);
            if (!link || Block(pos) != offset >> 15)
                return false;
            if (link[20] == 2)
                header = pos;
            if (link[20] == 0x20) {
                const uint8_t *p = link + 21;
                Long(&p);
                uint32_t length = UShort(&p);
                if (characters + length > (offset & 0x7FFF))
                    break;
                characters += length;
            }
            pos = U32(link + 12);
        }
        // The topic: its header, then its display records up to the next header.
        const uint8_t *link = Link(file, size, header);
        if (!link || link[20] != 2)
            return false;
        topic->title = reinterpret_cast<const char *>(link + U32(link + 16));
        topic->text.clear();
        topic->jumps.clear();
        const uint8_t *font;
        uint32_t fontSize;
        if (!Find("|FONT", &font, &fontSize) || fontSize < 8)
            return false;
        for (uint32_t pos = U32(link + 12); pos != kNoHelp; pos = U32(link + 12)) {
            if (!(link = Link(file, size, pos)) || link[20] == 2)
                break;
            if (link[20] != 0x20 || !Display(link, U16(font + 2), topic))
                return false;
        }
        return true;
    }

private:
    static const uint32_t kBlock = 4096;

    // An internal file behind its header, whole inside the help file.
    const uint8_t *Internal(uint32_t at, uint32_t *size) const
    {
        if (at + 9 > bytes_.size() || U32(&bytes_[at]) < U32(&bytes_[at + 4]) + 9 ||
            at + 9 + U32(&bytes_[at + 4]) > bytes_.size())
            return nullptr;
        *size = U32(&bytes_[at + 4]);
        return &bytes_[at + 9];
    }

    // A B+ tree: from the root down the index pages to a leaf, then along it.
    // compare(key, &length) tells the key's length and how it compares.
    static const uint8_t *Search(const uint8_t *tree, uint32_t size,
                                 const std::function<int(const uint8_t *, size_t *)> &compare)
    {
        if (size < 38 || U16(tree) != 0x293B)
            return nullptr;
        uint32_t pageSize = U16(tree + 4), page = U16(tree + 26), levels = U16(tree + 32);
        if (38 + U16(tree + 30) * pageSize > size)
            return nullptr;
        const uint8_t *pages = tree + 38;
        size_t length;
        for (; levels > 1; --levels) {
            const uint8_t *p = pages + page * pageSize;
            uint32_t entries = U16(p + 2);
            page = U16(p + 4);
            p += 6;
            for (uint32_t i = 0; i < entries && compare(p, &length) <= 0; ++i, p += length + 2)
                page = U16(p + length);
        }
        const uint8_t *p = pages + page * pageSize;
        uint32_t entries = U16(p + 2);
        p += 8;
        for (uint32_t i = 0; i < entries; ++i) {
            int order = compare(p, &length);
            if (order >= 0)
                return order == 0 ? p : nullptr;  // sorted: the key is not further on
            p += length + 4;
        }
        return nullptr;
    }

    static uint32_t Block(uint32_t pos) { return (pos - 12) >> 14; }

    // The link at a topic position, whole inside its block.
    static const uint8_t *Link(const uint8_t *file, uint32_t size, uint32_t pos)
    {
        uint32_t offset = (pos - 12) & 0x3FFF;
        if (pos < 12 || Block(pos) * kBlock + kBlock > size || offset + 21 > kBlock - 12)
            return nullptr;
        const uint8_t *link = file + Block(pos) * kBlock + 12 + offset;
        uint32_t blockSize = U32(link), data1 = U32(link + 16), data2 = U32(link + 4);
        if (offset + blockSize > kBlock - 12 || data1 < 21 || blockSize != data1 + data2)
            return nullptr;
        return link;
    }

    static int32_t Long(const uint8_t **p)
    {
        bool wide = **p & 1;
        int32_t value = wide ? static_cast<int32_t>((U32(*p) - 0x80000000u) / 2) : (static_cast<int32_t>(U16(*p)) - 0x8000) / 2;
        *p += wide ? 4 : 2;
        return value;
    }

    static uint32_t UShort(const uint8_t **p)
    {
        bool wide = **p & 1;
        uint32_t value = wide ? U16(*p) / 2 : **p / 2;
        *p += wide ? 2 : 1;
        return value;
    }

    // A display record: strings and formatting commands in turn.
    static bool Display(const uint8_t *link, uint32_t fonts, Topic *topic)
    {
        const uint8_t *p = link + 21, *end = link + U32(link + 16);
        const char *s = reinterpret_cast<const char *>(end), *sEnd = s + U32(link + 4);
        Long(&p);
        UShort(&p);
        p += 4;
        if (U16(p) != 0)  // paragraph attributes this file does not use
            return false;
        p += 2;
        std::string label;
        int32_t jump = 0;
        bool inJump = false;
        while (p < end && s < sEnd) {
            size_t n = strnlen(s, sEnd - s);
            (inJump ? label : topic->text).append(s, n);
            s += n + 1;
            switch (*p++) {
            case 0xFF:
                return p == end && s == sEnd;
            case 0x80:
                if (U16(p) >= fonts)
                    return false;
                p += 2;
                break;
            case 0x82:
                topic->text += '\n';
                break;
            case 0xE2:
                jump = static_cast<int32_t>(U32(p));
                p += 4;
                inJump = true;
                label.clear();
                break;
            case 0x89:
                topic->text += label;
                topic->jumps.push_back({label, jump});
                inJump = false;
                break;
            default:
                return false;
            }
        }
        return false;
    }

    std::vector<uint8_t> bytes_;
};

// How WinHelp files a context name: each character's code, from 1 for "1"
// to 42 for "Z", letters in either case alike, in base 43.
int32_t Hash(const std::string &name)
{
    const char kCodes[] = "1234567890\001._\001\001\001ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    uint32_t hash = 0;
    for (char c : name) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        const char *code = static_cast<const char *>(std::memchr(kCodes, c, sizeof kCodes - 1));
        hash = hash * 43 + (code ? static_cast<uint32_t>(code - kCodes) + 1 : 0);
    }
    return static_cast<int32_t>(hash);
}

class HelpFileTest : public testing::Test {
protected:
    HelpFile file{helpPath};
    void SetUp() override
    {
        ASSERT_FALSE(Source().topics.empty()) << sourcePath;
        ASSERT_TRUE(file.Whole()) << helpPath;
    }
};

TEST_F(HelpFileTest, EveryContextOfTheHelpTableFindsItsTopicThroughTheNumberMap)
{
    std::set<DWORD> numbers;
    for (const auto &entry : HelpTable()) {
        if (entry.second == kNoHelp)
            continue;
        numbers.insert(entry.second);
        const HelpTopic *expected = TopicOf(entry.second);
        ASSERT_NE(nullptr, expected) << "control " << entry.first;
        HelpFile::Topic topic;
        ASSERT_TRUE(file.TopicAt(file.MapOffset(entry.second), &topic)) << "control " << entry.first;
        EXPECT_EQ(expected->text + "\n", topic.text) << "control " << entry.first;
        EXPECT_EQ(expected->label, topic.title);
    }
    // No topic that no control asks for.
    EXPECT_EQ(numbers.size(), Source().topics.size());
}

TEST_F(HelpFileTest, EveryContextNameFindsTheSameTopicThroughTheIndex)
{
    for (const HelpTopic &topic : Source().topics) {
        EXPECT_NE(kNoHelp, file.MapOffset(topic.number)) << topic.name;
        EXPECT_EQ(file.MapOffset(topic.number), file.IndexOffset(Hash(topic.name))) << topic.name;
    }
    EXPECT_EQ(kNoHelp, file.IndexOffset(Hash("IDH_NONE")));
    EXPECT_EQ(kNoHelp, file.MapOffset(kNoHelp));
}

TEST_F(HelpFileTest, SystemRecordsAndTheContentsTopicWithAPopupLinkToEveryTopic)
{
    const uint8_t *system;
    uint32_t size;
    ASSERT_TRUE(file.Find("|SYSTEM", &system, &size));
    ASSERT_GE(size, 12u);
    EXPECT_EQ(0x036Cu, U16(system));
    EXPECT_EQ(21u, U16(system + 2));  // a Windows 3.1 file
    EXPECT_EQ(1u, U16(system + 4));
    EXPECT_EQ(0u, U16(system + 10));  // uncompressed
    std::string title;
    uint32_t contents = kNoHelp;
    for (uint32_t at = 12; at + 4 <= size; at += 4 + U16(system + at + 2)) {
        if (U16(system + at) == 1)
            title = reinterpret_cast<const char *>(system + at + 4);
        if (U16(system + at) == 3)
            contents = U32(system + at + 4);
    }
    EXPECT_EQ(Source().title, title);
    const uint8_t *font;
    ASSERT_TRUE(file.Find("|FONT", &font, &size));
    EXPECT_EQ(1u, U16(font + 2));

    HelpFile::Topic topic;
    ASSERT_TRUE(file.TopicAt(contents, &topic));
    std::string lines = Source().title + "\n" + Source().intro + "\n";
    std::vector<std::pair<std::string, int32_t>> jumps;
    for (size_t page = 0; page < Source().pages.size(); ++page) {
        lines += Source().pages[page] + "\n";
        for (const HelpTopic &t : Source().topics)
            if (t.page == page) {
                lines += t.label + "\n";
                jumps.push_back({t.label, Hash(t.name)});
            }
    }
    EXPECT_EQ(lines, topic.text);
    EXPECT_EQ(jumps, topic.jumps);
}

// ---- What WinHelp shows --------------------------------------------------------

INT_PTR CALLBACK Keep(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The panel and all its pages made from the program's templates, with the
// two controls of the help table that no template holds added to the
// Effects page. Whatever WinHelp is asked, it shows no error box, and
// HELP_QUIT at the end leaves no WinHelp process.
class HelpViewerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Source().topics.empty()) << sourcePath;
        HINSTANCE instance = GetModuleHandleA(nullptr);
        panel_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PANEL), nullptr, Keep, 0);
        ASSERT_NE(nullptr, panel_);
        Collect(panel_);
        for (int id : {IDD_GENERAL, IDD_EFFECTS, IDD_VOICE_MANAGER, IDD_MIXING_OPTIONS, IDD_PLAYBACK_MIXER,
                       IDD_RECORD_MIXER}) {
            HWND page = CreateDialogParamA(instance, MAKEINTRESOURCEA(id), panel_, Keep, 0);
            ASSERT_NE(nullptr, page) << id;
            for (int extra : {IDC_PROPERTY1_ON, IDC_PROPERTY1_VALUE})
                if (id == IDD_EFFECTS)
                    CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, page,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(extra)), instance, nullptr);
            Collect(page);
        }
        std::set<DWORD> ids;
        for (HWND control : controls_)
            ids.insert(GetDlgCtrlID(control));
        for (const auto &entry : HelpTable())
            EXPECT_TRUE(ids.count(entry.first)) << "no control " << entry.first;
    }

    void TearDown() override
    {
        WinHelpA(panel_, kHelpFile, HELP_QUIT, 0);
        EXPECT_TRUE(WaitFor([] { return HelpProcesses() == 0; }, 5000));
        EXPECT_EQ("", errorBoxes_.Seen());
        if (panel_)
            DestroyWindow(panel_);
    }

    // The controls of a dialog that the help table names.
    void Collect(HWND dialog)
    {
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (HelpTable().count(GetDlgCtrlID(child)))
                controls_.push_back(child);
    }

    HWND panel_ = nullptr;
    std::vector<HWND> controls_;
    HelpErrorBoxWatch errorBoxes_;
};

// Each control's request as the panel makes it, then what WinHelp does with
// it: the control's context number in the table finds its topic through the
// file's number map. (Wine's WinHelp refuses the panel's two commands with
// the table, and shows nothing for them.)
TEST_F(HelpViewerTest, EveryControlsRequestAndContextNumberShowItsTopic)
{
    for (HWND control : controls_) {
        WinHelpA(control, kHelpFile, HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(helpIdTable));
        WinHelpA(control, kHelpFile, HELP_CONTEXTMENU, reinterpret_cast<ULONG_PTR>(helpIdTable));
        DWORD number = HelpTable()[GetDlgCtrlID(control)];
        if (number == kNoHelp)
            continue;
        const HelpTopic *topic = TopicOf(number);
        ASSERT_NE(nullptr, topic) << GetDlgCtrlID(control);
        EXPECT_TRUE(WinHelpA(panel_, kHelpFile, HELP_CONTEXT, number));
        ASSERT_TRUE(WaitFor([&] { return HelpTopicWindow() && HelpText(HelpTopicWindow()) == topic->text + "\n"; },
                            5000))
            << GetDlgCtrlID(control) << ": " << (HelpTopicWindow() ? HelpText(HelpTopicWindow()) : "no window");
        ASSERT_EQ("", errorBoxes_.Seen()) << topic->name;
    }
}

// Every topic as WinHelp shows a popup: a click on its link in the contents.
TEST_F(HelpViewerTest, EveryTopicOpensAsAPopupFromTheContents)
{
    ASSERT_TRUE(WinHelpA(panel_, kHelpFile, HELP_CONTENTS, 0));
    ASSERT_TRUE(WaitFor([] { return HelpTopicWindow() && !HelpText(HelpTopicWindow()).empty(); }, 5000));
    HWND contents = HelpTopicWindow();
    EXPECT_EQ(0u, HelpText(contents).find(Source().title + "\n"));
    for (const HelpTopic &topic : Source().topics) {
        ASSERT_TRUE(ClickHelpLink(contents, topic.label)) << topic.label;
        ASSERT_TRUE(WaitFor([&] { return HelpPopup() && HelpText(HelpPopup()) == topic.text + "\n"; }, 5000))
            << topic.name << ": " << (HelpPopup() ? HelpText(HelpPopup()) : "no popup");
        DismissHelpPopup(contents);
        ASSERT_TRUE(WaitFor([] { return HelpPopup() == nullptr; }, 5000));
        ASSERT_EQ("", errorBoxes_.Seen()) << topic.name;
    }
}

} // namespace
