// The pictures in vtpanel.exe as it ships: the General page copies the speaker
// bitmaps unmasked at fixed places, so their sizes and their face-grey
// background matter; the notification area needs the small icon; the hand
// must point with its hot spot.
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

HMODULE program;

const BYTE *Find(int id, LPCSTR type, DWORD *size)
{
    HRSRC info = FindResourceA(program, MAKEINTRESOURCEA(id), type);
    *size = info ? SizeofResource(program, info) : 0;
    return info ? static_cast<const BYTE *>(LockResource(LoadResource(program, info))) : nullptr;
}

bool IsGrey(const RGBQUAD &colour, int level)
{
    return colour.rgbRed == level && colour.rgbGreen == level && colour.rgbBlue == level;
}

const struct { int id, width, height; } kPagePictures[] = {
    {IDB_SPEAKER_FL, 54, 54}, {IDB_SPEAKER_FR, 54, 54}, {IDB_SPEAKER_RL, 54, 54},
    {IDB_SPEAKER_RR, 54, 54}, {IDB_SPEAKER_CENTER, 72, 32}, {IDB_SPEAKER_SUB, 51, 48},
    {IDB_NOTE, 29, 30},
};

TEST(Bitmaps, SpeakersAndNoteHaveTheirSizesOnTheFaceGrey)
{
    HDC memory = CreateCompatibleDC(nullptr);
    for (const auto &picture : kPagePictures) {
        // LR_LOADMAP3DCOLORS maps the greys 128, 192 and 223 of a colour
        // table to the scheme's: the face is 192, no part of the drawing may
        // be one of the others.
        DWORD size;
        const BYTE *data = Find(picture.id, RT_BITMAP, &size);
        ASSERT_TRUE(data && size >= sizeof(BITMAPINFOHEADER)) << picture.id;
        BITMAPINFOHEADER header;
        std::memcpy(&header, data, sizeof header);
        ASSERT_TRUE(header.biBitCount == 4 || header.biBitCount == 8) << picture.id << ": a colour table";
        DWORD colours = header.biClrUsed ? header.biClrUsed : 1u << header.biBitCount;
        ASSERT_GE(size, header.biSize + colours * sizeof(RGBQUAD)) << picture.id;
        const RGBQUAD *table = reinterpret_cast<const RGBQUAD *>(data + header.biSize);
        for (DWORD i = 0; i < colours; ++i)
            EXPECT_FALSE(IsGrey(table[i], 128) || IsGrey(table[i], 223)) << picture.id << " colour " << i;

        // Loaded as the page loads it: its size, the scheme's face at the
        // corners, and a fifth of it at least drawn on.
        HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(program, MAKEINTRESOURCEA(picture.id),
                                                         IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
        ASSERT_NE(nullptr, bitmap) << picture.id;
        BITMAP object;
        GetObjectA(bitmap, sizeof object, &object);
        EXPECT_EQ(picture.width, object.bmWidth) << picture.id;
        EXPECT_EQ(picture.height, object.bmHeight) << picture.id;
        HGDIOBJ old = SelectObject(memory, bitmap);
        const COLORREF face = GetSysColor(COLOR_3DFACE);
        int drawn = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                drawn += GetPixel(memory, x, y) != face;
        EXPECT_GE(drawn * 5, picture.width * picture.height) << picture.id;
        for (int corner = 0; corner < 4; ++corner)
            EXPECT_EQ(face, GetPixel(memory, corner % 2 * (picture.width - 1), corner / 2 * (picture.height - 1)))
                << picture.id << " corner " << corner;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
}

#pragma pack(push, 2)
struct GroupEntry { // of an RT_GROUP_ICON or RT_GROUP_CURSOR directory
    BYTE width, height, colourCount, reserved; // a cursor: 16-bit width, height of both masks
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The entries of an icon or cursor group (after its three-word header).
const GroupEntry *GroupEntries(int id, LPCSTR type, int *count)
{
    DWORD size;
    const BYTE *data = Find(id, type, &size);
    WORD header[3] = {};
    if (data && size >= sizeof header)
        std::memcpy(header, data, sizeof header);
    *count = size >= sizeof header + header[2] * sizeof(GroupEntry) ? header[2] : 0;
    return *count ? reinterpret_cast<const GroupEntry *>(data + sizeof header) : nullptr;
}

// The width of the icon LoadImageA gives when asked for size x size pixels.
int LoadedIconSize(int id, int size)
{
    HICON icon = static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
    ICONINFO info;
    BITMAP object = {};
    if (icon && GetIconInfo(icon, &info)) {
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof object, &object);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    DestroyIcon(icon);
    return object.bmWidth;
}

TEST(Icons, ProgramIconHasBothSizesAndThePageIconTheLargeOne)
{
    // 100 at 16 and 32 pixels, 128 at 32, each in 16 and 256 colours.
    const struct { int id, size; } kImages[] = {{IDI_APP, 16}, {IDI_APP, 32}, {IDI_PANEL, 32}};
    for (const auto &image : kImages) {
        int count = 0;
        const GroupEntry *entries = GroupEntries(image.id, RT_GROUP_ICON, &count);
        for (int bits : {4, 8}) {
            bool found = false;
            for (int i = 0; i < count; ++i)
                found = found || (entries[i].width == image.size && entries[i].height == image.size &&
                                  entries[i].bitCount == bits && entries[i].planes == 1);
            EXPECT_TRUE(found) << "icon " << image.id << ", " << image.size << " pixels, " << bits << " bits";
        }
        // The notification area asks for the small one: not a scaled-down large one.
        EXPECT_EQ(image.size, LoadedIconSize(image.id, image.size)) << "icon " << image.id;
    }
    EXPECT_NE(nullptr, LoadIconA(program, MAKEINTRESOURCEA(IDI_PANEL))) << "as a static icon control loads it";
}

TEST(Cursor, HandIsThirtyTwoPixelsWithItsHotSpotAtTheFingerTip)
{
    int count = 0;
    const GroupEntry *entries = GroupEntries(IDCUR_HAND, RT_GROUP_CURSOR, &count);
    ASSERT_EQ(1, count);
    // A cursor image: its hot spot, then a 1-bit DIB of colour bits over the AND mask.
    DWORD size;
    const BYTE *image = Find(entries[0].id, RT_CURSOR, &size);
    ASSERT_TRUE(image && size >= 4 + sizeof(BITMAPINFOHEADER) + 8 + 2 * 32 * 4);
    WORD hot[2];
    BITMAPINFOHEADER header;
    std::memcpy(hot, image, sizeof hot);
    std::memcpy(&header, image + 4, sizeof header);
    ASSERT_EQ(32, header.biWidth);
    ASSERT_EQ(64, header.biHeight);
    ASSERT_EQ(1, header.biBitCount);
    ASSERT_TRUE(hot[0] < 32 && hot[1] < 32);

    // 0 bits of the AND mask are the hand; the hot spot is on it, in its topmost row.
    const BYTE *andMask = image + 4 + header.biSize + 2 * sizeof(RGBQUAD) + 32 * 4;
    auto opaque = [&](int x, int y) { return !((andMask[4 * (31 - y) + x / 8] >> (7 - x % 8)) & 1); };
    int top = -1;
    for (int i = 0; i < 32 * 32 && top < 0; ++i)
        top = opaque(i % 32, i / 32) ? i / 32 : -1;
    EXPECT_EQ(top, hot[1]);
    EXPECT_TRUE(opaque(hot[0], hot[1]));

    // The page loads it so, and the system reads the same hot spot.
    HCURSOR cursor = LoadCursorA(program, MAKEINTRESOURCEA(IDCUR_HAND));
    ICONINFO info = {};
    ASSERT_TRUE(cursor && GetIconInfo(cursor, &info));
    EXPECT_EQ(hot[0], info.xHotspot);
    EXPECT_EQ(hot[1], info.yHotspot);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    // As data: the shipped program is 32-bit, this test may be 64-bit.
    if (argc != 2 || !(program = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE))) {
        std::fprintf(stderr, "usage: pictures_test SHIPPED_EXE (a program to read)\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
