#!/usr/bin/env python3
"""Writes launcher/Pikro.ico: a 32x32 and a 16x16 image, 256 colours each.

The picture is a violet tile (Visual Studio's colour) with a white arrow that
points right: "open with". Run it again after changing the drawing.
"""
import struct
import sys


def draw(size):
    """Returns rows of palette indexes, top row first: 0 clear, 1 violet, 2 white, 3 dark."""
    px = [[0] * size for _ in range(size)]
    m = max(1, size // 16)
    for y in range(m, size - m):
        for x in range(m, size - m):
            px[y][x] = 1
    for y in range(m, size - m):
        px[y][size - m - 1] = 3
    for x in range(m, size - m):
        px[size - m - 1][x] = 3
    # The arrow: a shaft and a head, centred.
    c = size // 2
    t = max(1, size // 10)
    for x in range(size // 4, size * 5 // 8):
        for y in range(c - t, c + t):
            px[y][x] = 2
    head = size // 4
    for i in range(head + 1):
        for y in range(c - head + i, c + head - i):
            px[y][size * 5 // 8 + i - 1] = 2
    return px


def image(size):
    palette = [(0, 0, 0), (0x86, 0x3E, 0xC8), (0xFF, 0xFF, 0xFF), (0x5C, 0x2D, 0x91)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    xor = b''.join(bytes(px[y]) for y in range(size - 1, -1, -1))
    mask_row = ((size + 31) // 32) * 4
    andm = b''
    for y in range(size - 1, -1, -1):
        bits = 0
        row = bytearray(mask_row)
        for x in range(size):
            if px[y][x] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        andm += bytes(row)
    return header + pal + xor + andm


def main(path):
    imgs = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(imgs))
    offset = 6 + 16 * len(imgs)
    for size, data in zip((32, 16), imgs):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(imgs))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'launcher/Pikro.ico')
