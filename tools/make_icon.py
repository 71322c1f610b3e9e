#!/usr/bin/env python3
"""Writes the suite's pictures from one drawing.

  make_icon.py [launcher/Pikro.ico] [installer/]

Pikro.ico gets every size Windows asks an application icon for (16, 20, 24,
32, 40, 48 and 64 pixels as 32-bit images with alpha, 256 as PNG), so that
no view of the Start menu, Apps & features or Explorer at any scale has to
stretch a smaller one. The installer folder gets its two bitmaps: the
picture at the side of the welcome and finish pages (164x314 at 100 %) and
the one in the corner of the other pages (150x57), both drawn at 200 %: the
installer fits them to their place at any scale, and a picture made smaller
stays sharp where one made larger would blur.

The picture is a violet tile (Visual Studio's colour) with a white arrow that
points right: "open with". Every pixel is the share of it that each shape
covers, sampled 4x4, so small sizes stay crisp and large ones smooth. Run it
again after changing the drawing; its output is the same byte for byte.
"""
import os
import struct
import sys
import zlib

ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
VIOLET_TOP = (0x9B, 0x55, 0xDB)
VIOLET_BOTTOM = (0x68, 0x21, 0xB0)
WHITE = (0xFF, 0xFF, 0xFF)
SAMPLES = 4


def in_tile(x, y):
    """The tile: a square of side 1 with rounded corners, in unit coordinates."""
    r = 0.18
    m = 0.04
    cx = min(max(x, m + r), 1 - m - r)
    cy = min(max(y, m + r), 1 - m - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and m <= x <= 1 - m and m <= y <= 1 - m


def in_arrow(x, y):
    """The arrow: a shaft from the left and a head pointing right."""
    if 0.22 <= x <= 0.56 and abs(y - 0.5) <= 0.09:
        return True
    return 0.50 <= x <= 0.80 and abs(y - 0.5) <= 0.27 * (0.80 - x) / 0.30


def pixel(size, px, py):
    """(r, g, b, a) of one pixel of the icon at the given size."""
    tile = arrow = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if in_tile(x, y):
                tile += 1
                if in_arrow(x, y):
                    arrow += 1
    n = SAMPLES * SAMPLES
    if tile == 0:
        return (0, 0, 0, 0)
    t = (py + 0.5) / size
    base = [round(VIOLET_TOP[i] + (VIOLET_BOTTOM[i] - VIOLET_TOP[i]) * t) for i in range(3)]
    share = arrow / tile
    rgb = tuple(round(base[i] + (WHITE[i] - base[i]) * share) for i in range(3))
    return rgb + (round(255 * tile / n),)


def rows(size):
    return [[pixel(size, x, y) for x in range(size)] for y in range(size)]


def dib_image(size):
    """A 32-bit icon image: BITMAPINFOHEADER, BGRA rows bottom up, the AND mask."""
    px = rows(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes(c for (r, g, b, a) in px[y] for c in (b, g, r, a))
                   for y in range(size - 1, -1, -1))
    mask_row = ((size + 31) // 32) * 4
    andm = b''
    for y in range(size - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(size):
            if px[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        andm += bytes(row)
    return header + xor + andm


def png_image(size):
    px = rows(size)
    raw = b''.join(b'\0' + bytes(c for p in px[y] for c in p) for y in range(size))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def write_icon(path):
    imgs = [png_image(s) if s == 256 else dib_image(s) for s in ICON_SIZES]
    out = struct.pack('<HHH', 0, 1, len(imgs))
    offset = 6 + 16 * len(imgs)
    for size, data in zip(ICON_SIZES, imgs):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(imgs))


def write_bitmap(path, width, height, scale):
    """A 24-bit bitmap: white, with the tile as large as fits at its top."""
    w, h = width * scale, height * scale
    side = min(w, h, 96 * scale) if height > 100 else h - 8 * scale
    left = (w - side) // 2 if height > 100 else w - side - 4 * scale
    top = 24 * scale if height > 100 else 4 * scale
    tile = rows(side)
    stride = (w * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r = g = b = 255
            tx, ty = x - left, y - top
            if 0 <= tx < side and 0 <= ty < side:
                pr, pg, pb, pa = tile[ty][tx]
                r, g, b = (round((c * pa + 255 * (255 - pa)) / 255) for c in (pr, pg, pb))
            row += bytes((b, g, r))
        data += row + b'\0' * (stride - len(row))
    header = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 3780 * scale, 3780 * scale, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + len(header) + len(data), 0, 0, 14 + len(header)))
        f.write(header + data)


def main(icon, folder):
    write_icon(icon)
    write_bitmap(os.path.join(folder, 'wizard.bmp'), 164, 314, 2)
    write_bitmap(os.path.join(folder, 'header.bmp'), 150, 57, 2)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'launcher/Pikro.ico',
         sys.argv[2] if len(sys.argv) > 2 else 'installer')
