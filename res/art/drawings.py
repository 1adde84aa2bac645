"""The program's pictures, drawn in code. Shapes are drawn eight times larger
than the picture and scaled down, which smooths their edges; coordinates are
in the picture's own pixels. Light falls from the top left, as everywhere in
the system's own pictures.
"""

from PIL import Image, ImageDraw

SCALE = 8
FACE = (192, 192, 192)        # the dialog face colour of the classic scheme


class Ink:
    """The colours of the drawings: FULL for 256-colour pictures,
    SIXTEEN for 16-colour icon images, where only the standard colours
    exist and the shapes must stand out by themselves."""

    def __init__(self, **colours):
        self.__dict__.update(colours)


FULL = Ink(outline=(20, 20, 24), front=(70, 70, 76), edge=(118, 118, 126),
           side=(44, 44, 48), top=(104, 104, 112), rim=(168, 168, 176),
           rim_dark=(96, 96, 104), cone=(40, 40, 44), cone_light=(78, 78, 86),
           cap=(128, 128, 138), cap_light=(210, 210, 220), arc=(0, 96, 208),
           sphere_dark=(0, 48, 128), sphere=(32, 112, 208), sphere_light=(150, 200, 255),
           shine=(240, 248, 255), ring=(255, 200, 0), ring_dark=(160, 96, 0))
SIXTEEN = Ink(outline=(0, 0, 0), front=(0, 0, 0), edge=(128, 128, 128),
              side=(0, 0, 0), top=(128, 128, 128), rim=(192, 192, 192),
              rim_dark=(128, 128, 128), cone=(0, 0, 0), cone_light=(0, 0, 0),
              cap=(128, 128, 128), cap_light=(255, 255, 255), arc=(0, 0, 255),
              sphere_dark=(0, 0, 128), sphere=(0, 0, 255), sphere_light=(0, 255, 255),
              shine=(255, 255, 255), ring=(255, 255, 0), ring_dark=(128, 128, 0))
LABEL = (64, 64, 64)


class Canvas:
    """A supersampled drawing surface; picture() gives the finished pixels."""

    def __init__(self, width, height, background=None):
        self.width, self.height = width, height
        mode = 'RGB' if background else 'RGBA'
        fill = background if background else (0, 0, 0, 0)
        self.image = Image.new(mode, (width * SCALE, height * SCALE), fill)
        self.draw = ImageDraw.Draw(self.image)

    @staticmethod
    def _box(x0, y0, x1, y1):
        return [x0 * SCALE, y0 * SCALE, x1 * SCALE - 1, y1 * SCALE - 1]

    def rect(self, x0, y0, x1, y1, fill):
        self.draw.rectangle(self._box(x0, y0, x1, y1), fill=fill)

    def ellipse(self, cx, cy, rx, ry, fill):
        self.draw.ellipse(self._box(cx - rx, cy - ry, cx + rx, cy + ry), fill=fill)

    def circle(self, cx, cy, r, fill):
        self.ellipse(cx, cy, r, r, fill)

    def polygon(self, points, fill):
        self.draw.polygon([(x * SCALE, y * SCALE) for x, y in points], fill=fill)

    def arc(self, cx, cy, r, start, end, width, fill):
        self.draw.arc(self._box(cx - r, cy - r, cx + r, cy + r), start, end,
                      fill=fill, width=int(width * SCALE))

    def picture(self):
        if self.image.mode == 'RGBA':
            small = self.image.convert('RGBa').resize((self.width, self.height), Image.BOX)
            return small.convert('RGBA')
        return self.image.resize((self.width, self.height), Image.BOX)


# Letters for the speakers' labels, five pixels wide and seven high.
LETTERS = {
    'F': ['#####', '#....', '#....', '####.', '#....', '#....', '#....'],
    'L': ['#....', '#....', '#....', '#....', '#....', '#....', '#####'],
    'R': ['####.', '#...#', '#...#', '####.', '#.#..', '#..#.', '#...#'],
}


def put_text(image, x, y, text, colour):
    """Writes text in the pixel letters above, unsmoothed, at (x, y)."""
    for letter in text:
        for row, bits in enumerate(LETTERS[letter]):
            for column, bit in enumerate(bits):
                if bit == '#':
                    image.putpixel((x + column, y + row), colour)
        x += 6


def driver(c, cx, cy, r, k=FULL):
    """A loudspeaker driver: rim, surround, cone and dust cap."""
    c.circle(cx, cy, r, k.outline)
    c.circle(cx, cy, r - 0.8, k.rim)
    c.circle(cx + 0.3, cy + 0.3, r - 1.6, k.rim_dark)
    c.circle(cx, cy, r - 2.2, k.cone)
    if r >= 6:
        c.circle(cx - 0.2 * r, cy - 0.2 * r, r * 0.45, k.cone_light)
        c.circle(cx, cy, r * 0.45, k.cone)
        c.circle(cx, cy, r * 0.3, k.cap)
        c.circle(cx - r * 0.08, cy - r * 0.08, r * 0.13, k.cap_light)
    else:
        c.circle(cx, cy, r * 0.4, k.cap)
        c.circle(cx - 0.4, cy - 0.4, max(r * 0.18, 0.6), k.cap_light)


def cabinet_front(c, x0, y0, x1, y1, k=FULL):
    """The front panel of a cabinet with its outline and lit bevel."""
    c.rect(x0, y0, x1, y1, k.outline)
    c.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, k.edge)
    c.rect(x0 + 2, y0 + 2, x1 - 1, y1 - 1, k.front)


def cabinet_side(c, x_front, y0, y1, depth, recede, k=FULL):
    """The side panel seen beside the front, towards the listener: depth
    pixels wide (negative for a panel on the left), its far edge recede pixels
    shorter at top and bottom."""
    far = x_front + depth
    c.polygon([(x_front, y0), (far, y0 + recede), (far, y1 - recede), (x_front, y1)], k.outline)
    inset = 1 if depth > 0 else -1
    c.polygon([(x_front, y0 + 1), (far - inset, y0 + recede + 1),
               (far - inset, y1 - recede - 1), (x_front, y1 - 1)], k.side)


def tower(right, label):
    """A front speaker, 54 x 54: a tall two-way cabinet whose inner side shows,
    so that the left and right speakers face each other."""
    c = Canvas(54, 54, FACE)
    x0, x1 = (15, 41) if not right else (13, 39)
    side_x, depth = (x1, 6) if not right else (x0, -6)
    cabinet_side(c, side_x, 2, 52, depth, 3)
    cabinet_front(c, x0, 2, x1, 52)
    mid = (x0 + x1) / 2
    driver(c, mid, 12, 5)
    driver(c, mid, 32, 10.5)
    c.rect(mid - 5, 46, mid + 5, 48, FULL.outline)     # the bass port
    image = c.picture()
    put_text(image, 2 if not right else 41, 45, label, LABEL)
    return image


def satellite(right, label):
    """A rear speaker, 54 x 54: a compact cabinet, smaller and lower than the
    front speakers, facing the same way as the front speaker of its side."""
    c = Canvas(54, 54, FACE)
    x0, x1 = 16, 38
    side_x, depth = (x1, 5) if not right else (x0, -5)
    cabinet_side(c, side_x, 14, 50, depth, 2)
    cabinet_front(c, x0, 14, x1, 50)
    mid = (x0 + x1) / 2
    driver(c, mid, 21.5, 3.5)
    driver(c, mid, 37, 8.5)
    image = c.picture()
    put_text(image, 2 if not right else 41, 45, label, LABEL)
    return image


def centre():
    """The centre speaker, 72 x 32: a wide cabinet with two woofers either side
    of the tweeter. It fills only the top 26 rows, the height of its place on
    the page, so that the subwoofer below, copied with its face-grey margin,
    never cuts it off."""
    c = Canvas(72, 32, FACE)
    cabinet_front(c, 2, 1, 70, 26)
    driver(c, 15.5, 13.5, 9.5)
    driver(c, 56.5, 13.5, 9.5)
    driver(c, 36, 13.5, 4.5)
    return c.picture()


def subwoofer():
    """The subwoofer, 51 x 48: a box seen from a little above, its one large
    cone filling the front."""
    c = Canvas(51, 48, FACE)
    fx0, fy0, fx1, fy1 = 3, 10, 40, 47
    dx, dy = 8, 7
    c.polygon([(fx0, fy0), (fx0 + dx, fy0 - dy), (fx1 + dx, fy0 - dy), (fx1, fy0)], FULL.outline)
    c.polygon([(fx0 + 1.5, fy0), (fx0 + dx + 0.5, fy0 - dy + 1), (fx1 + dx - 1, fy0 - dy + 1),
               (fx1 - 0.5, fy0)], FULL.top)
    c.polygon([(fx1, fy0), (fx1 + dx, fy0 - dy), (fx1 + dx, fy1 - dy), (fx1, fy1)], FULL.outline)
    c.polygon([(fx1, fy0 + 0.5), (fx1 + dx - 1, fy0 - dy + 1.5), (fx1 + dx - 1, fy1 - dy - 0.5),
               (fx1, fy1 - 1)], FULL.side)
    cabinet_front(c, fx0, fy0, fx1, fy1)
    driver(c, (fx0 + fx1) / 2 + 0.5, (fy0 + fy1) / 2 + 0.5, 15)
    return c.picture()


NOTE_INK = (0, 0, 128)
NOTE_SHINE = (80, 96, 200)


def note():
    """The note sign, 29 x 30: two beamed eighth notes."""
    c = Canvas(29, 30, FACE)
    c.polygon([(8, 4), (26, 1), (26, 6), (8, 9)], NOTE_INK)       # the beam
    c.rect(8, 5, 10.5, 24, NOTE_INK)                               # the stems
    c.rect(23.5, 2, 26, 21, NOTE_INK)
    for cx, cy in ((5.5, 24), (20.5, 21)):                         # the heads
        head = Image.new('RGBA', (12 * SCALE, 10 * SCALE), (0, 0, 0, 0))
        d = ImageDraw.Draw(head)
        d.ellipse([SCALE * 0.5, SCALE * 2, SCALE * 11.5, SCALE * 8], fill=NOTE_INK + (255,))
        d.ellipse([SCALE * 2.5, SCALE * 3.2, SCALE * 6, SCALE * 5.2], fill=NOTE_SHINE + (255,))
        head = head.rotate(20, resample=Image.BICUBIC)
        c.image.paste(head, (int((cx - 6) * SCALE), int((cy - 5) * SCALE)), head)
    return c.picture()


def app_icon(size, k=FULL):
    """The program's icon: a speaker cabinet sending out sound."""
    c = Canvas(size, size)
    if size == 32:
        cabinet_front(c, 2, 4, 17, 29, k)
        driver(c, 9.5, 10, 3, k)
        driver(c, 9.5, 21, 6, k)
        for r in (5, 9, 13):
            c.arc(17, 16.5, r, -50, 50, 2.2, k.arc)
    else:
        return grid_picture(SMALL_APP_ICON, {
            'k': k.outline, 'e': k.edge, 'd': k.front, 'r': k.rim, 'c': k.cone,
            'h': k.cap_light, 'b': k.arc})
    return c.picture()


# The small program icon, set pixel by pixel: smoothing blurs a picture of
# this size. '.' is clear; the other letters name colours of the ink.
SMALL_APP_ICON = [
    '................',
    '.kkkkkkkkk......',
    '.keeeeeeek......',
    '.keddrdddk...b..',
    '.kedrhrddk....b.',
    '.keddrdddk.b...b',
    '.keddddddk..b..b',
    '.kedrrrddk..b..b',
    '.kercccrdk..b..b',
    '.kerchcrdk..b..b',
    '.kercccrdk.b...b',
    '.kedrrrddk....b.',
    '.keddddddk...b..',
    '.keddddddk......',
    '.kkkkkkkkk......',
    '................',
]


def grid_picture(rows, colours):
    """An RGBA picture from rows of letters, each a colour of colours."""
    image = Image.new('RGBA', (len(rows[0]), len(rows)), (0, 0, 0, 0))
    for y, row in enumerate(rows):
        for x, letter in enumerate(row):
            if letter != '.':
                image.putpixel((x, y), colours[letter] + (255,))
    return image


def panel_icon(k=FULL):
    """The pages' icon, 32 x 32: a sphere of sound with a ring around it, for
    the card's spatial effects."""
    c = Canvas(32, 32)
    c.ellipse(16, 16, 15, 6.5, k.ring_dark)       # the back half of the ring
    c.ellipse(16, 16, 12.5, 4.5, (0, 0, 0, 0))
    c.circle(16, 16, 10, k.sphere_dark)
    c.circle(15, 15, 9, k.sphere)
    c.circle(12.5, 12, 4, k.sphere_light)
    c.circle(12, 11.5, 1.8, k.shine)
    front = Canvas(32, 32)                      # the front half, over the sphere
    front.ellipse(16, 16, 15, 6.5, k.ring)
    front.ellipse(16, 15.2, 12.8, 4.5, (0, 0, 0, 0))
    front.rect(0, 0, 32, 16, (0, 0, 0, 0))
    c.image.alpha_composite(front.image)
    return c.picture()


# The hand cursor, drawn pixel by pixel: '#' black, 'o' white, '.' clear.
HAND = [
    '......##..........',
    '.....#oo#.........',
    '.....#oo#.........',
    '.....#oo#.........',
    '.....#oo#.........',
    '.....#oo###.......',
    '.....#oo#oo###....',
    '.....#oo#oo#oo###.',
    '.....#oo#oo#oo#oo#',
    '.....#oo#oo#oo#oo#',
    '.##..#oo#oo#oo#oo#',
    '#oo#.#ooooooooooo#',
    '#ooo##ooooooooooo#',
    '.#oo#oooooooooooo#',
    '.#ooooooooooooooo#',
    '..#oooooooooooooo#',
    '..#ooooooooooooo#.',
    '...#oooooooooooo#.',
    '...#ooooooooooo#..',
    '....#oooooooooo#..',
    '....#oooooooooo#..',
    '....############..',
]
HAND_TIP = (6, 0)   # the finger tip, the cursor's hot spot


def hand():
    """The 32 x 32 hand cursor: (white, mask, hot spot) lists of 1024 values."""
    white, mask = [], []
    for y in range(32):
        for x in range(32):
            ch = HAND[y][x] if y < len(HAND) and x < len(HAND[y]) else '.'
            white.append(ch == 'o')
            mask.append(ch == '.')
    return white, mask, HAND_TIP


def etched(width, height):
    """An etched separator: a shadow line beside a highlight line, across the
    longer side."""
    image = Image.new('RGB', (width, height), FACE)
    for y in range(height):
        for x in range(width):
            along = y if width >= height else x
            image.putpixel((x, y), (128, 128, 128) if along == 0 else (255, 255, 255))
    return image
