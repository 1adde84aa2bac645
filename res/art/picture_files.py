"""Writers for the picture formats that Windows 2000 loads from a program's
resources: colour-table BMP files (BI_RGB, bottom-up), ICO files and CUR
files. The bytes are written here rather than by an image library so that
every header field is the one the resource compiler and LoadImage expect.
"""

import struct

# The sixteen colours of the standard VGA palette, in the order Windows uses
# for 4-bit icons; mapping to them keeps a 16-colour image right on a
# 16-colour display.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def _stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def _packed_rows(indices, width, height, bits):
    """Bottom-up rows of palette indices packed at bits per pixel."""
    out = bytearray()
    per_byte = 8 // bits
    for y in range(height - 1, -1, -1):
        row = bytearray(_stride(width, bits))
        for x in range(width):
            value = indices[y * width + x]
            shift = 8 - bits * (x % per_byte + 1)
            row[x // per_byte] |= value << shift
        out += row
    return bytes(out)


def _palette_bytes(palette, entries):
    out = bytearray()
    for r, g, b in palette:
        out += bytes((b, g, r, 0))
    out += bytes(4 * (entries - len(palette)))
    return bytes(out)


def _info_header(width, height, bits, image_size, colours):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0,
                       image_size, 0, 0, colours, 0)


def bits_for(palette):
    if len(palette) > 256:
        raise ValueError('more than 256 colours')
    return 4 if len(palette) <= 16 else 8


def bmp_bytes(width, height, indices, palette):
    """A BMP file: BITMAPFILEHEADER, BITMAPINFOHEADER, colour table, pixels."""
    bits = bits_for(palette)
    pixels = _packed_rows(indices, width, height, bits)
    table = _palette_bytes(palette, len(palette))
    offset = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + _info_header(width, height, bits, len(pixels), len(palette)) + table + pixels


def _mask_rows(mask, width, height):
    """Bottom-up 1-bit rows of the AND mask: 1 where the picture is transparent."""
    return _packed_rows([1 if m else 0 for m in mask], width, height, 1)


def _icon_image(width, height, indices, palette, bits, mask):
    entries = 1 << bits
    xor = _packed_rows(indices, width, height, bits)
    and_mask = _mask_rows(mask, width, height)
    header = _info_header(width, height * 2, bits, len(xor) + len(and_mask), 0)
    return header + _palette_bytes(palette, entries) + xor + and_mask


def _directory(kind, images, fields):
    """ICONDIR/CURSORDIR followed by its entries and the images."""
    out = bytearray(struct.pack('<HHH', 0, kind, len(images)))
    offset = 6 + 16 * len(images)
    for (width, height, data), (colour_count, word1, word2) in zip(images, fields):
        out += struct.pack('<BBBBHHII', width % 256, height % 256, colour_count, 0,
                           word1, word2, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def ico_bytes(images):
    """An ICO file from (width, height, indices, palette, bits, mask) tuples."""
    built, fields = [], []
    for width, height, indices, palette, bits, mask in images:
        data = _icon_image(width, height, indices, palette, bits, mask)
        built.append((width, height, data))
        fields.append((16 if bits == 4 else 0, 1, bits))
    return _directory(1, built, fields)


def cur_bytes(width, height, white, mask, hotspot):
    """A monochrome CUR file: white pixels where white is set, black where
    neither white nor mask, transparent where mask; the hot spot goes into the
    directory entry, where the resource compiler takes it from."""
    indices = [1 if w else 0 for w in white]
    data = _icon_image(width, height, indices, [(0, 0, 0), (255, 255, 255)], 1, mask)
    return _directory(2, [(width, height, data)], [(0, hotspot[0], hotspot[1])])
