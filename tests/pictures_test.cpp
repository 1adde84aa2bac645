// The pictures in vtpanel.exe as it ships: the General page copies the speaker
// bitmaps unmasked at fixed places, so their sizes and their face-grey
// background matter; the notification area needs the small icon; the hand
// must point with its hot spot.
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string shippedPath;
HMODULE program;

struct ResourceData {
    const BYTE *bytes = nullptr;
    DWORD size = 0;
};

ResourceData Find(int id, LPCSTR type)
{
    ResourceData data;
    HRSRC info = FindResourceA(program, MAKEINTRESOURCEA(id), type);
    if (!info)
        return data;
    HGLOBAL loaded = LoadResource(program, info);
    data.bytes = static_cast<const BYTE *>(LockResource(loaded));
    data.size = SizeofResource(program, info);
    return data;
}

// The colour-table entry of the pixel at (x, y), y counted from the top, of a
// packed device-independent bitmap with 4 or 8 bits per pixel.
RGBQUAD PixelOf(const BITMAPINFOHEADER &header, int x, int y)
{
    const BYTE *base = reinterpret_cast<const BYTE *>(&header);
    int colours = header.biClrUsed ? header.biClrUsed : 1 << header.biBitCount;
    const RGBQUAD *table = reinterpret_cast<const RGBQUAD *>(base + header.biSize);
    const BYTE *pixels = reinterpret_cast<const BYTE *>(table + colours);
    int stride = ((header.biWidth * header.biBitCount + 31) / 32) * 4;
    const BYTE *row = pixels + stride * (header.biHeight - 1 - y);
    int index = header.biBitCount == 8 ? row[x]
                                       : (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
    return table[index];
}

bool IsGrey(const RGBQUAD &colour, int level)
{
    return colour.rgbRed == level && colour.rgbGreen == level && colour.rgbBlue == level;
}

struct PagePicture {
    int id;
    int width, height;
};

// The speakers and the note sign, at the sizes the page's places are cut for.
const PagePicture kPagePictures[] = {
    {IDB_SPEAKER_FL, 54, 54}, {IDB_SPEAKER_FR, 54, 54}, {IDB_SPEAKER_RL, 54, 54},
    {IDB_SPEAKER_RR, 54, 54}, {IDB_SPEAKER_CENTER, 72, 32}, {IDB_SPEAKER_SUB, 51, 48},
    {IDB_NOTE, 29, 30},
};

const int kSeparators[] = {
    IDB_SEPARATOR_143, IDB_SEPARATOR_144, IDB_SEPARATOR_145, IDB_SEPARATOR_146,
    IDB_SEPARATOR_147,
};

// A bitmap resource that Windows 2000 reads: a plain colour-table DIB.
const BITMAPINFOHEADER *BitmapHeader(int id)
{
    ResourceData data = Find(id, MAKEINTRESOURCEA(2)); // RT_BITMAP
    if (!data.bytes || data.size < sizeof(BITMAPINFOHEADER))
        return nullptr;
    const BITMAPINFOHEADER *header = reinterpret_cast<const BITMAPINFOHEADER *>(data.bytes);
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), header->biSize) << id;
    EXPECT_EQ(1, header->biPlanes) << id;
    EXPECT_TRUE(header->biBitCount == 4 || header->biBitCount == 8) << id;
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression) << id;
    EXPECT_GT(header->biHeight, 0) << id << ": bottom-up rows";
    EXPECT_LE(header->biClrUsed, 1u << header->biBitCount) << id;
    int colours = header->biClrUsed ? header->biClrUsed : 1 << header->biBitCount;
    DWORD stride = ((header->biWidth * header->biBitCount + 31) / 32) * 4;
    EXPECT_GE(data.size, header->biSize + 4 * colours + stride * header->biHeight) << id;
    return header;
}

TEST(Bitmaps, SpeakersAndNoteHaveTheirSizesOnTheFaceGrey)
{
    for (const PagePicture &picture : kPagePictures) {
        const BITMAPINFOHEADER *header = BitmapHeader(picture.id);
        ASSERT_NE(nullptr, header) << picture.id;
        EXPECT_EQ(picture.width, header->biWidth) << picture.id;
        EXPECT_EQ(picture.height, header->biHeight) << picture.id;
        // Copied unmasked onto the page: its corners must be the page's face.
        const int w = picture.width - 1, h = picture.height - 1;
        const int corners[4][2] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
        for (const auto &corner : corners)
            EXPECT_TRUE(IsGrey(PixelOf(*header, corner[0], corner[1]), 192))
                << picture.id << " at " << corner[0] << "," << corner[1];

        // Loaded with LR_LOADMAP3DCOLORS, only the face may follow the
        // colour scheme: no part of the drawing may be the shadow or light grey.
        const RGBQUAD *table = reinterpret_cast<const RGBQUAD *>(
            reinterpret_cast<const BYTE *>(header) + header->biSize);
        int colours = header->biClrUsed ? header->biClrUsed : 1 << header->biBitCount;
        for (int i = 0; i < colours; ++i)
            EXPECT_FALSE(IsGrey(table[i], 128) || IsGrey(table[i], 223))
                << picture.id << " colour " << i;

        // And the way the page loads it gives the same size.
        HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(
            program, MAKEINTRESOURCEA(picture.id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
        ASSERT_NE(nullptr, bitmap) << picture.id;
        BITMAP object;
        ASSERT_EQ(static_cast<int>(sizeof object), GetObjectA(bitmap, sizeof object, &object));
        EXPECT_EQ(picture.width, object.bmWidth) << picture.id;
        EXPECT_EQ(picture.height, object.bmHeight) << picture.id;
        // Selected into a memory device context, as the page paints it: face
        // grey at the corner, and a good part of it drawn on.
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(memory, bitmap);
        EXPECT_EQ(RGB(192, 192, 192), GetPixel(memory, 0, 0)) << picture.id;
        int drawn = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                drawn += GetPixel(memory, x, y) != RGB(192, 192, 192);
        EXPECT_GE(drawn * 5, picture.width * picture.height) << picture.id << ": a fifth at least";
        SelectObject(memory, old);
        DeleteObject(bitmap);

        // Loaded with the scheme's colours mapped, the face follows the
        // scheme (which only a colour-table bitmap allows).
        bitmap = static_cast<HBITMAP>(LoadImageA(program, MAKEINTRESOURCEA(picture.id),
                                                 IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
        ASSERT_NE(nullptr, bitmap) << picture.id;
        old = SelectObject(memory, bitmap);
        EXPECT_EQ(GetSysColor(COLOR_3DFACE), GetPixel(memory, 0, 0)) << picture.id;
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
}

TEST(Bitmaps, SeparatorsAreEtchedLinesTwoPixelsThick)
{
    for (int id : kSeparators) {
        const BITMAPINFOHEADER *header = BitmapHeader(id);
        ASSERT_NE(nullptr, header) << id;
        bool horizontal = header->biWidth > header->biHeight;
        EXPECT_EQ(2, horizontal ? header->biHeight : header->biWidth) << id;
        EXPECT_GE(horizontal ? header->biWidth : header->biHeight, 32) << id;
        // Shadow first, then highlight, along the whole line, in the classic
        // scheme's colours so that the system's colour mapping applies.
        int length = horizontal ? header->biWidth : header->biHeight;
        for (int i = 0; i < length; ++i) {
            RGBQUAD shadow = horizontal ? PixelOf(*header, i, 0) : PixelOf(*header, 0, i);
            RGBQUAD light = horizontal ? PixelOf(*header, i, 1) : PixelOf(*header, 1, i);
            ASSERT_TRUE(IsGrey(shadow, 128)) << id << " at " << i;
            ASSERT_TRUE(IsGrey(light, 255)) << id << " at " << i;
        }
    }
}

#pragma pack(push, 2)
struct GroupEntry { // an entry of an RT_GROUP_ICON or RT_GROUP_CURSOR directory
    union {
        struct { BYTE width, height, colourCount, reserved; } icon;
        struct { WORD width, height; } cursor; // height of the two masks
    };
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

// The entries of an icon or cursor group, after checking its header.
const GroupEntry *GroupEntries(int id, LPCSTR type, WORD kind, int *count)
{
    ResourceData data = Find(id, type);
    *count = 0;
    if (!data.bytes || data.size < sizeof(GroupHeader))
        return nullptr;
    const GroupHeader *group = reinterpret_cast<const GroupHeader *>(data.bytes);
    EXPECT_EQ(kind, group->type) << id;
    if (data.size < sizeof(GroupHeader) + group->count * sizeof(GroupEntry))
        return nullptr;
    *count = group->count;
    return reinterpret_cast<const GroupEntry *>(group + 1);
}

bool HasIconImage(const GroupEntry *entries, int count, int size, int bits)
{
    for (int i = 0; i < count; ++i) {
        const GroupEntry &entry = entries[i];
        if (entry.icon.width == size && entry.icon.height == size && entry.bitCount == bits)
            return true;
    }
    return false;
}

// The size of the icon LoadImageA gives when asked for size x size pixels.
int LoadedIconSize(int id, int size)
{
    HICON icon = static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                               size, size, LR_DEFAULTCOLOR));
    if (!icon)
        return 0;
    ICONINFO info;
    int loaded = 0;
    if (GetIconInfo(icon, &info)) {
        BITMAP object;
        if (GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof object, &object))
            loaded = object.bmWidth;
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    DestroyIcon(icon);
    return loaded;
}

TEST(Icons, ProgramIconHasBothSizesInSixteenAndTwoHundredFiftySixColours)
{
    int count = 0;
    const GroupEntry *entries = GroupEntries(IDI_APP, MAKEINTRESOURCEA(14), 1, &count);
    ASSERT_NE(nullptr, entries);
    for (int size : {16, 32}) {
        EXPECT_TRUE(HasIconImage(entries, count, size, 4)) << size << " pixels, 16 colours";
        EXPECT_TRUE(HasIconImage(entries, count, size, 8)) << size << " pixels, 256 colours";
        // The notification area asks for the small one; it must not be a
        // scaled-down large one.
        EXPECT_EQ(size, LoadedIconSize(IDI_APP, size));
    }
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(1, entries[i].planes) << "image " << i;
}

TEST(Icons, PageIconHasTheLargeSize)
{
    int count = 0;
    const GroupEntry *entries = GroupEntries(IDI_PANEL, MAKEINTRESOURCEA(14), 1, &count);
    ASSERT_NE(nullptr, entries);
    EXPECT_TRUE(HasIconImage(entries, count, 32, 4));
    EXPECT_TRUE(HasIconImage(entries, count, 32, 8));
    EXPECT_EQ(32, LoadedIconSize(IDI_PANEL, 32));
    HICON standard = LoadIconA(program, MAKEINTRESOURCEA(IDI_PANEL));
    EXPECT_NE(nullptr, standard) << "as a static icon control loads it";
}

TEST(Cursor, HandIsThirtyTwoPixelsWithItsHotSpotAtTheFingerTip)
{
    int count = 0;
    const GroupEntry *entries = GroupEntries(IDCUR_HAND, MAKEINTRESOURCEA(12), 2, &count);
    ASSERT_NE(nullptr, entries);
    ASSERT_EQ(1, count);
    EXPECT_EQ(32, entries[0].cursor.width);
    EXPECT_EQ(64, entries[0].cursor.height);

    // A cursor image starts with its hot spot, then the two masks' DIB.
    ResourceData image = Find(entries[0].id, MAKEINTRESOURCEA(1)); // RT_CURSOR
    ASSERT_NE(nullptr, image.bytes);
    ASSERT_GE(image.size, 4 + sizeof(BITMAPINFOHEADER) + 8 + 2 * 32 * 4);
    WORD hot[2];
    std::memcpy(hot, image.bytes, sizeof hot);
    const BITMAPINFOHEADER *header =
        reinterpret_cast<const BITMAPINFOHEADER *>(image.bytes + 4);
    ASSERT_EQ(32, header->biWidth);
    ASSERT_EQ(64, header->biHeight);
    ASSERT_EQ(1, header->biBitCount);

    // The AND mask follows the colour bits; 0 bits are the hand. The hot
    // spot must be on the hand, in its topmost row: the tip of the finger.
    const BYTE *colourBits = image.bytes + 4 + header->biSize + 2 * sizeof(RGBQUAD);
    const BYTE *andMask = colourBits + 32 * 4;
    auto opaque = [&](int x, int y) {
        const BYTE *row = andMask + 4 * (31 - y);
        return !((row[x / 8] >> (7 - x % 8)) & 1);
    };
    int top = -1;
    for (int y = 0; y < 32 && top < 0; ++y)
        for (int x = 0; x < 32; ++x)
            if (opaque(x, y))
                top = y;
    ASSERT_GE(top, 0) << "the cursor shows nothing";
    ASSERT_LT(hot[0], 32);
    ASSERT_LT(hot[1], 32);
    EXPECT_TRUE(opaque(hot[0], hot[1]));
    EXPECT_EQ(top, hot[1]);

    HCURSOR cursor = static_cast<HCURSOR>(
        LoadImageA(program, MAKEINTRESOURCEA(IDCUR_HAND), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(nullptr, cursor);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(hot[0], info.xHotspot);
    EXPECT_EQ(hot[1], info.yHotspot);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyCursor(cursor);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pictures_test SHIPPED_EXE\n");
        return 2;
    }
    shippedPath = argv[1];
    // As data: the shipped program is 32-bit, this test may be 64-bit.
    program = LoadLibraryExA(shippedPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) {
        std::fprintf(stderr, "pictures_test: cannot load %s (%lu)\n", shippedPath.c_str(),
                     GetLastError());
        return 1;
    }
    return RUN_ALL_TESTS();
}
