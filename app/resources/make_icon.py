#!/usr/bin/env python3
"""Writes tessaly.ico, the collector's window icon, and the same picture as
PNG files for the desktop entry (tessaly-zipper-16.png, -32.png, -48.png).

One icon file with six images: 16 x 16, 32 x 32 and 48 x 48 pixels, each in
16 colours (4 bits per pixel, the standard VGA palette) and in 256 colours
(8 bits per pixel). The picture is a folder with a zipper down its middle,
the same design the desktop window draws for itself.

Usage: make_icon.py [OUTPUT]   (default: tessaly.ico beside this script;
                                the PNG files go beside OUTPUT)

The layout is the ICO format as Windows reads it: an ICONDIR header, one
ICONDIRENTRY per image, then per image a BITMAPINFOHEADER (with the height
doubled for the AND mask), the palette as RGBQUADs, the colour (XOR) bitmap
and the 1-bit transparency (AND) mask, both bottom-up with rows padded to
four bytes. The PNG files are 8-bit RGBA, unfiltered (the PNG format:
IHDR colour type 6), with transparent pixels where the icon's mask is set.
"""

import os
import struct
import sys
import zlib

FOLDER = (230, 190, 80)
EDGE = (150, 110, 30)
ZIPPER_DARK = (40, 40, 40)
ZIPPER_LIGHT = (200, 200, 200)

# The 16 colours of the standard VGA palette, in Windows' order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    """VGA's 16, a 6 x 6 x 6 colour cube and 24 greys: 256 colours."""
    colours = list(VGA16)
    levels = [0, 51, 102, 153, 204, 255]
    colours += [(r, g, b) for r in levels for g in levels for b in levels]
    colours += [(8 + 10 * i, 8 + 10 * i, 8 + 10 * i) for i in range(24)]
    assert len(colours) == 256
    return colours


def picture(size):
    """The design as rows of (r, g, b) or None for transparent pixels."""
    pixels = [[None] * size for _ in range(size)]
    top = size // 4
    tab = size // 8
    for y in range(top - tab, size - 1):
        for x in range(1, size - 1):
            if y < top and x > size // 2:
                continue  # the folder's tab
            border = (y == top - tab or y == size - 2 or x == 1 or
                      x == size - 2 or (y == top and x > size // 2))
            pixels[y][x] = EDGE if border else FOLDER
    mid = size // 2
    for y in range(top + 1, size - 2):
        pixels[y][mid - 1] = ZIPPER_DARK if y % 2 else ZIPPER_LIGHT
        pixels[y][mid] = ZIPPER_LIGHT if y % 2 else ZIPPER_DARK
    return pixels


def nearest(colour, palette):
    r, g, b = colour
    return min(range(len(palette)),
               key=lambda i: (palette[i][0] - r) ** 2 +
               (palette[i][1] - g) ** 2 + (palette[i][2] - b) ** 2)


def row_bytes(bits):
    """Bytes of one bitmap row of `bits` bits, padded to four bytes."""
    return (bits + 31) // 32 * 4


def image(size, bpp):
    palette = VGA16 if bpp == 4 else palette256()
    pixels = picture(size)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up
        indices = [0 if p is None else nearest(p, palette)
                   for p in pixels[y]]
        row = bytearray(row_bytes(size * bpp))
        for x, index in enumerate(indices):
            if bpp == 8:
                row[x] = index
            else:
                row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += row
        bits = bytearray(row_bytes(size))
        for x, p in enumerate(pixels[y]):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    quads = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + quads + bytes(xor) + bytes(mask)


def icon():
    formats = [(size, bpp) for size in (16, 32, 48) for bpp in (4, 8)]
    images = [image(size, bpp) for size, bpp in formats]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), data in zip(formats, images):
        colours = 16 if bpp == 4 else 0  # 0: 256 or more
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def png(size):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = bytearray()
    for row in picture(size):
        raw.append(0)  # filter type: none
        for p in row:
            raw += bytes((0, 0, 0, 0)) if p is None else bytes(p) + b'\xff'
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here,
                                                              'tessaly.ico')
    with open(path, 'wb') as f:
        f.write(icon())
    for size in (16, 32, 48):
        name = os.path.join(os.path.dirname(os.path.abspath(path)),
                            'tessaly-zipper-%d.png' % size)
        with open(name, 'wb') as f:
            f.write(png(size))


if __name__ == '__main__':
    main()
