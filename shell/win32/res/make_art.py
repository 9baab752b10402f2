#!/usr/bin/env python3
"""Draws the viewer's icon and the about box's picture.

    make_art.py ABOUT.bmp ICON.ico

The about picture is a 256 x 128 bitmap of 16 colours (4 bits per pixel): the program's name in
block letters over a tiled backdrop, the 8-pixel grid the overlay snaps to. The icon holds the
same motif at 32 x 32 and 16 x 16 pixels.
"""
import struct
import sys

# The 16 colours, (red, green, blue).
PALETTE = [
    (0, 0, 0), (24, 32, 72), (40, 56, 112), (64, 88, 152),
    (96, 120, 184), (136, 160, 208), (184, 200, 232), (232, 236, 248),
    (255, 255, 255), (120, 40, 64), (184, 64, 88), (232, 112, 120),
    (248, 176, 160), (248, 216, 128), (200, 160, 64), (112, 88, 40),
]

# 5 x 7 block letters of the name.
GLYPHS = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "e": ["00000", "00000", "01110", "10001", "11111", "10000", "01110"],
    "l": ["01100", "00100", "00100", "00100", "00100", "00100", "01110"],
    "v": ["00000", "00000", "10001", "10001", "10001", "01010", "00100"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    "w": ["00000", "00000", "10001", "10001", "10101", "10101", "01010"],
}


def backdrop(width, height):
    """Tiles of 8 x 8 pixels shading from deep blue at the top to pale blue at the bottom,
    every other tile a step lighter, so the grid shows."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            shade = 1 + (y * 5) // height
            if ((x // 8) + (y // 8)) % 2:
                shade += 1
            row.append(shade)
        rows.append(row)
    return rows


def draw_text(rows, text, left, top, scale, colour, shadow):
    for n, ch in enumerate(text):
        glyph = GLYPHS[ch]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit != "1":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        x = left + (n * 6 + gx) * scale + dx
                        y = top + gy * scale + dy
                        if y + 2 < len(rows) and x + 2 < len(rows[0]):
                            rows[y + 2][x + 2] = shadow
                        rows[y][x] = colour
    return rows


def about_picture():
    width, height = 256, 128
    rows = backdrop(width, height)
    # "QelvaView": 9 letters of 6 columns at scale 4 = 216 pixels, centred.
    draw_text(rows, "QelvaView", (width - 9 * 6 * 4) // 2 + 2, 36, 4, 13, 9)
    # A band of the sixteen colours along the bottom.
    for y in range(100, 116):
        for x in range(16, 240):
            rows[y][x] = (x - 16) * 16 // 224
    return rows


def icon_picture(size):
    rows = [[7] * size for _ in range(size)]
    tile = max(2, size // 4)
    for y in range(size):
        for x in range(size):
            rows[y][x] = 3 if ((x // tile) + (y // tile)) % 2 else 2
    # A second picture laid over the first, its corner cut: the overlay.
    inset = size // 4
    for y in range(inset, size):
        for x in range(inset, size):
            if x + y < size + inset // 2:
                continue
            rows[y][x] = 11 if ((x // tile) + (y // tile)) % 2 else 10
    # Frame.
    for i in range(size):
        rows[0][i] = rows[size - 1][i] = rows[i][0] = rows[i][size - 1] = 1
    return rows


def bmp4(rows):
    height, width = len(rows), len(rows[0])
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, width, 2):
            line.append((row[x] << 4) | (row[x + 1] if x + 1 < width else 0))
        line += b"\0" * (stride - len(line))
        pixels += line
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 3780, 3780, 16, 16)
    offset = 14 + len(header) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + table + pixels


def ico_image(rows):
    """One icon image: a 32-bit DIB of twice the height (the AND mask follows, all opaque)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for index in row:
            r, g, b = PALETTE[index]
            pixels += bytes((b, g, r, 255))
    mask_stride = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_stride * size)
    return header + bytes(pixels) + mask


def ico(sizes):
    images = [ico_image(icon_picture(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_art.py ABOUT.bmp ICON.ico")
    with open(sys.argv[1], "wb") as f:
        f.write(bmp4(about_picture()))
    with open(sys.argv[2], "wb") as f:
        f.write(ico([32, 16]))


if __name__ == "__main__":
    main()
