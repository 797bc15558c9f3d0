#!/usr/bin/env python3
"""Draws the application icon of Maritor and writes it as a Windows .ico file
and as PNG images for the desktop's hicolor icon theme.

The icon holds two images, 32x32 and 16x16, each an 8-bit palette bitmap
with a 1-bit transparency mask. The picture is the module seen from the
front: a blue box with a light receptacle and its pins, and a green
power lamp. Each size is drawn pixel by pixel for that size, so the small
image stays sharp instead of being scaled down from the large one.

The PNG images are the same two drawings, the larger sizes made by
repeating each pixel: 16, 32, 48 (16 times 3), 64, 128 and 256 (32 times 2,
4 and 8), each in SIZExSIZE/apps/zorvel-custom-config.png below the theme
folder.

Only the standard library is used, and the output depends on nothing but
this file: running it again gives the same bytes.

    python3 tools/icon/drawicon.py [ICON [HICOLOR]]

ICON defaults to configurator/images/resources/AppIcon.ico and HICOLOR to
configurator/images/hicolor.
"""

import pathlib
import struct
import sys
import zlib

# Palette entry 0 is black: the colour bitmap holds it under transparent
# pixels, where Windows combines it with the screen by XOR and so leaves the
# screen as it is.
PALETTE = {
    None: (0, 0, 0),          # transparent
    "outline": (18, 44, 72),
    "body": (46, 110, 174),
    "light": (112, 166, 218),
    "shade": (32, 82, 134),
    "shell": (236, 240, 244),
    "rim": (150, 162, 178),
    "slot": (30, 34, 42),
    "pin": (232, 186, 72),
    "lamp": (64, 206, 96),
}
COLOURS = list(PALETTE)


class Canvas:
    """A square grid of palette colour names; None is transparent."""

    def __init__(self, size):
        self.size = size
        self.pixels = [[None] * size for _ in range(size)]

    def put(self, x, y, colour):
        self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with both corners included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1):
        """The module's case: outlined, lit along the top, shaded along the
        bottom, with its corner pixels cut off to round it."""
        self.fill(x0, y0, x1, y1, "outline")
        self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, "body")
        self.fill(x0 + 1, y0 + 1, x1 - 1, y0 + 1, "light")
        self.fill(x0 + 1, y1 - 1, x1 - 1, y1 - 1, "shade")
        for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
            self.put(x, y, None)

    def receptacle(self, rows):
        """A trapezoid-shaped receptacle. rows maps each row to the first
        and last column of the shell on that row; the outermost pixels form
        the rim and the top and bottom rows are all rim."""
        ys = sorted(rows)
        for y in ys:
            left, right = rows[y]
            edge = y in (ys[0], ys[-1])
            self.fill(left, y, right, y, "rim" if edge else "shell")
            self.put(left, y, "rim")
            self.put(right, y, "rim")


def draw_32():
    c = Canvas(32)
    c.box(1, 6, 30, 25)
    c.receptacle({11: (6, 25), 12: (6, 25), 13: (6, 25), 14: (7, 24), 15: (7, 24),
                  16: (7, 24), 17: (8, 23), 18: (8, 23), 19: (8, 23), 20: (9, 22)})
    c.fill(9, 13, 22, 18, "slot")
    c.fill(10, 19, 21, 19, "shell")
    for x in range(10, 22, 2):
        c.fill(x, 14, x, 14, "pin")
    for x in range(11, 21, 2):
        c.fill(x, 17, x, 17, "pin")
    c.fill(26, 9, 27, 10, "lamp")
    return c


def draw_16():
    c = Canvas(16)
    c.box(0, 3, 15, 12)
    c.receptacle({5: (2, 12), 6: (2, 12), 7: (3, 11), 8: (3, 11), 9: (4, 10)})
    c.fill(4, 6, 10, 8, "slot")
    for x in (5, 7, 9):
        c.put(x, 7, "pin")
    c.put(13, 5, "lamp")
    return c


def rows_bottom_up(canvas, row_bytes):
    """Yields each row's bytes, bottom row first, padded to four bytes."""
    for row in reversed(canvas.pixels):
        data = row_bytes(row)
        yield data + bytes(-len(data) % 4)


def bitmap(canvas):
    """The image as an icon stores it: a BITMAPINFOHEADER whose height
    counts the colour bitmap and the mask, the 256-colour palette, the
    8-bit colour bitmap and the 1-bit mask (1 = transparent)."""
    size = canvas.size

    def indices(row):
        return bytes(COLOURS.index(colour) for colour in row)

    def mask(row):
        bits = bytearray(size // 8)
        for x, colour in enumerate(row):
            if colour is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        return bytes(bits)

    colour_bits = b"".join(rows_bottom_up(canvas, indices))
    mask_bits = b"".join(rows_bottom_up(canvas, mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 8, 0,
                         len(colour_bits) + len(mask_bits), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE.values())
    palette += bytes(4 * (256 - len(PALETTE)))
    return header + palette + colour_bits + mask_bits


def icon(canvases):
    """An icon file: its header, one directory entry per image, the images."""
    images = [bitmap(c) for c in canvases]
    offset = 6 + 16 * len(images)
    directory = b""
    for canvas, image in zip(canvases, images):
        # Width and height of 256 would be written as 0; colour count 0
        # means 256 colours or more.
        directory += struct.pack("<BBBBHHII", canvas.size, canvas.size, 0, 0, 1, 8,
                                 len(image), offset)
        offset += len(image)
    return struct.pack("<HHH", 0, 1, len(images)) + directory + b"".join(images)


def png(canvas, scale):
    """An 8-bit RGBA PNG of the canvas, each pixel repeated scale times in
    both directions; transparent pixels are transparent black."""
    size = canvas.size * scale

    def rgba(colour):
        return bytes(PALETTE[colour]) + (b"\0" if colour is None else b"\xff")

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    # Each row starts with filter type 0: the bytes as they are.
    rows = b"".join((b"\0" + b"".join(rgba(colour) * scale for colour in row)) * scale
                    for row in canvas.pixels)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def theme_images(hicolor, large, small):
    for canvas, scale in ((small, 1), (large, 1), (small, 3), (large, 2), (large, 4), (large, 8)):
        size = canvas.size * scale
        path = hicolor / ("%dx%d" % (size, size)) / "apps/zorvel-custom-config.png"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(png(canvas, scale))


def main():
    images = pathlib.Path(__file__).resolve().parents[2] / "configurator/images"
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else images / "resources/AppIcon.ico"
    hicolor = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else images / "hicolor"
    large, small = draw_32(), draw_16()
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_bytes(icon([large, small]))
    theme_images(hicolor, large, small)


if __name__ == "__main__":
    main()
