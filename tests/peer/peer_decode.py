#!/usr/bin/python3
"""Decodes a palette-indexed BMP (plain, RLE8 or RLE4), GIF or PNG with an independent decoder.

usage: peer_decode.py FILE
       peer_decode.py --rgba FILE

Writes to stdout: "<width> <height> <ncolours> <transparent>\\n" (transparent: the colour index a
GIF or PNG names as transparent, or -1), then ncolours x 3 bytes of palette (red, green, blue),
then width x height colour indices, one byte each, top row first. Exits with
status 1 and a message on stderr when the file cannot be decoded or holds no colour indices.
With --rgba, any picture (a truecolour PNG too) is written as "<width> <height>\\n" and then
width x height pixels of red, green, blue and alpha, top row first.

A PNG's transparency is read back from the pixels themselves: the picture converted to RGBA must
give alpha 0 to exactly the pixels of the transparent index and 255 to all others; any other
alpha (several transparent indices, partial alpha) is reported as an error.

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


def _png_bits(data):
    """Bit depth of a PNG's samples, from IHDR."""
    return data[24]


def _check_png_transparency(im, indices, transparent, path):
    alpha = im.convert("RGBA").tobytes()[3::4]
    for pixel, (index, a) in enumerate(zip(indices, alpha)):
        expected = 0 if index == transparent else 255
        if a != expected:
            raise PeerError(f"{path}: pixel {pixel} (index {index}) has alpha {a}, "
                            f"expected {expected}")


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
    elif im.format == "PNG":
        bits, colours = _png_bits(data), None
    else:
        raise PeerError(f"{path}: not a BMP, GIF or PNG file ({im.format})")

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
    if im.format == "PNG" and not isinstance(transparent, int):
        raise PeerError(f"{path}: tRNS gives alpha other than one transparent index")
    if not isinstance(transparent, int):
        transparent = -1
    if im.format == "PNG":
        _check_png_transparency(im, indices, transparent, path)
    return Decoded(im.width, im.height, palette, indices, bits, transparent)


def decode_rgba(path):
    """Width, height and RGBA pixels of any picture Pillow reads; raises PeerError."""
    try:
        im = Image.open(path)
        im.load()
        return im.width, im.height, im.convert("RGBA").tobytes()
    except Exception as e:
        raise PeerError(f"{path}: cannot decode: {e}") from e


def main(argv):
    if len(argv) == 3 and argv[1] == "--rgba":
        try:
            width, height, rgba = decode_rgba(argv[2])
        except PeerError as e:
            print(e, file=sys.stderr)
            return 1
        sys.stdout.buffer.write(f"{width} {height}\n".encode("ascii") + rgba)
        sys.stdout.buffer.flush()
        return 0
    if len(argv) != 2:
        print("usage: peer_decode.py [--rgba] FILE", file=sys.stderr)
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
