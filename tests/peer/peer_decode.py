#!/usr/bin/python3
"""Decodes a palette-indexed BMP (plain, RLE8 or RLE4) or GIF with an independent decoder.

usage: peer_decode.py FILE

Writes to stdout: "<width> <height> <ncolours> <transparent>\\n" (transparent: the colour index a
GIF names as transparent, or -1), then ncolours x 3 bytes of palette (red, green, blue), then
width x height colour indices, one byte each, top row first. Exits with
status 1 and a message on stderr when the file cannot be decoded or holds no colour indices.

The decoder is python3-pil (Debian). Pillow turns a BMP whose palette is the plain grey ramp
(entry i = grey i, or black and white for 2 colours) into a grey picture and drops the
palette, and does the same with a GIF whose palette is the grey ramp i = (i, i, i); this module
puts the indices and the palette back from the file's own colour count.
"""

import struct
import sys

from PIL import Image


class PeerError(Exception):
    """The file cannot be decoded, or it is not palette-indexed."""


class Decoded:
    """A palette-indexed picture: indices top row first, palette as (r, g, b) tuples."""

    def __init__(self, width, height, palette, indices, bits, transparent=-1):
        self.width = width
        self.height = height
        self.palette = palette
        self.indices = indices
        self.bits = bits  # bits per pixel the file stores
        self.transparent = transparent  # the transparent colour index, or -1


BMP_FILE_HEADER = 14
BMP_CORE_HEADER = 12


def _bmp_bits_and_colours(data):
    """Bits per pixel and colour table length of a BMP, read from its headers."""
    header_size = struct.unpack_from("<I", data, BMP_FILE_HEADER)[0]
    if header_size == BMP_CORE_HEADER:
        bits = struct.unpack_from("<H", data, BMP_FILE_HEADER + 10)[0]
        return bits, 1 << bits
    bits = struct.unpack_from("<H", data, BMP_FILE_HEADER + 14)[0]
    used = struct.unpack_from("<I", data, BMP_FILE_HEADER + 32)[0]
    return bits, (used if used else 1 << bits)


def _gif_bits(data):
    flags = data[10]
    return (flags & 7) + 1 if flags & 0x80 else 8


def _grey_ramp(colours):
    if colours == 2:
        return [(0, 0, 0), (255, 255, 255)]
    return [(i, i, i) for i in range(colours)]


def decode(path):
    """Decodes path into a Decoded picture; raises PeerError."""
    try:
        with open(path, "rb") as f:
            data = f.read()
        im = Image.open(path)
        im.load()
    except Exception as e:  # Pillow raises many kinds; all mean "cannot decode"
        raise PeerError(f"{path}: cannot decode: {e}") from e

    if im.format == "BMP":
        bits, colours = _bmp_bits_and_colours(data)
    elif im.format == "GIF":
        bits, colours = _gif_bits(data), None
    else:
        raise PeerError(f"{path}: not a BMP or GIF file ({im.format})")

    if im.mode == "P":
        flat = im.getpalette() or []
        palette = [tuple(flat[i:i + 3]) for i in range(0, len(flat) - 2, 3)]
        indices = im.tobytes()
    elif im.mode in ("L", "1") and im.format == "BMP" and bits <= 8:
        palette = _grey_ramp(colours)
        grey = im.convert("L").tobytes()
        indices = bytes(v // 255 for v in grey) if im.mode == "1" else grey
    elif im.mode == "L" and im.format == "GIF":
        # A GIF's grey ramp is always (i, i, i), whatever the colour count.
        palette = [(i, i, i) for i in range(1 << bits)]
        indices = im.tobytes()
    else:
        raise PeerError(f"{path}: not palette-indexed (mode {im.mode})")

    if len(indices) != im.width * im.height:
        raise PeerError(f"{path}: {len(indices)} indices for {im.width} x {im.height} pixels")
    transparent = im.info.get("transparency", -1)
    if not isinstance(transparent, int):
        transparent = -1
    return Decoded(im.width, im.height, palette, indices, bits, transparent)


def main(argv):
    if len(argv) != 2:
        print("usage: peer_decode.py FILE", file=sys.stderr)
        return 2
    try:
        pic = decode(argv[1])
    except PeerError as e:
        print(e, file=sys.stderr)
        return 1
    out = sys.stdout.buffer
    out.write(f"{pic.width} {pic.height} {len(pic.palette)} {pic.transparent}\n".encode("ascii"))
    out.write(bytes(c for rgb in pic.palette for c in rgb))
    out.write(pic.indices)
    out.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
