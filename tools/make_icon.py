#!/usr/bin/python3
"""Draws the program icon: a 32 x 32 picture of a hash sign on a rounded teal tile.

usage: make_icon.py OUT.ico
"""
import struct
import sys

SIZE = 32
TILE = (0x1F, 0x7A, 0x8C)       # teal
TILE_EDGE = (0x14, 0x55, 0x62)
MARK = (0xFF, 0xFF, 0xFF)


def inside_rounded_square(x, y, radius=6):
    cx = min(max(x, radius), SIZE - 1 - radius)
    cy = min(max(y, radius), SIZE - 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def on_hash_sign(x, y):
    # Two slanted vertical bars and two horizontal bars.
    for left in (11, 18):
        bar = left + (16 - y) // 5
        if 6 <= y <= 25 and bar <= x <= bar + 2:
            return True
    return any(top <= y <= top + 2 and 7 <= x <= 24 for top in (11, 18))


def pixel(x, y):
    if not inside_rounded_square(x, y):
        return None
    if on_hash_sign(x, y):
        return MARK
    return TILE if inside_rounded_square(x, y, 6) and 1 <= x <= 30 and 1 <= y <= 30 else TILE_EDGE


def icon_bytes():
    colours = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        mask_row = 0
        for x in range(SIZE):
            rgb = pixel(x, y)
            if rgb is None:
                colours += bytes((0, 0, 0, 0))
                mask_row |= 1 << (SIZE - 1 - x)
            else:
                colours += bytes((rgb[2], rgb[1], rgb[0], 0xFF))
        mask += struct.pack(">I", mask_row)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colours) + len(mask),
                         0, 0, 0, 0)
    image = header + bytes(colours) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(icon_bytes())
