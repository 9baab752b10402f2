#!/usr/bin/python3
"""Checks converted pictures against the pictures they were made from.

usage: check_outputs.py TRUTHDIR CONVERTEDDIR EXT [--transparent N] [--giflib DECODER]

TRUTHDIR holds one <base>.truth per picture (from qelva_make_samples --truth):
"QTRUTH <width> <height>\\n", 256 RGB colours, then width x height colour indices, top row
first. For each, CONVERTEDDIR/<base>.<EXT> must
  - decode with python3-pil to the same width, height and colour indices, with the first 256
    palette entries equal to the truth's (an 8-bit file must carry all 256),
  - decode with ImageMagick (convert FILE rgb:-) to exactly the colours palette[index],
  - for GIF and PNG files, name colour index N as transparent (--transparent N; -1, the default,
    for none), and with --giflib decode GIF files the same way with DECODER (qelva_giflib_decode,
    giflib),
  - for PNG files, pass pngcheck (chunk order, CRCs, the zlib stream) and decode with
    ImageMagick (libpng) to alpha 0 exactly at the pixels of index N and 255 everywhere else.
Prints "FAIL <file>: <first mismatch>" for each failure, then "N passed, M failed"; exits 1 when
any picture failed.
"""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from peer_decode import Decoded, PeerError, decode  # noqa: E402

PALETTE_SIZE = 256
TRUTH_MAGIC = b"QTRUTH"


class Mismatch(Exception):
    pass


class Truth:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        line_end = data.index(b"\n")
        magic, width, height = data[:line_end].split()
        if magic != TRUTH_MAGIC:
            raise ValueError(f"{path}: not a truth file")
        self.width, self.height = int(width), int(height)
        table = data[line_end + 1:line_end + 1 + 3 * PALETTE_SIZE]
        self.palette = [tuple(table[i:i + 3]) for i in range(0, len(table), 3)]
        self.indices = data[line_end + 1 + 3 * PALETTE_SIZE:]
        if len(self.palette) != PALETTE_SIZE or len(self.indices) != self.width * self.height:
            raise ValueError(f"{path}: truncated truth file")

    def where(self, pixel):
        if not self.width:
            return f"pixel {pixel}"
        return f"pixel ({pixel % self.width}, {pixel // self.width})"


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return None if len(a) == len(b) else min(len(a), len(b))


def check_decoded(truth, pic, decoder):
    if (pic.width, pic.height) != (truth.width, truth.height):
        raise Mismatch(f"{decoder} size {pic.width} x {pic.height}, "
                       f"expected {truth.width} x {truth.height}")
    if pic.bits == 8 and len(pic.palette) < PALETTE_SIZE:
        raise Mismatch(f"8-bit file with {len(pic.palette)} colours, expected {PALETTE_SIZE}")
    for i in range(min(PALETTE_SIZE, len(pic.palette))):
        if pic.palette[i] != truth.palette[i]:
            raise Mismatch(f"{decoder} palette entry {i} is {pic.palette[i]}, "
                           f"expected {truth.palette[i]}")
    pixel = first_difference(pic.indices, truth.indices)
    if pixel is not None:
        got = pic.indices[pixel] if pixel < len(pic.indices) else None
        raise Mismatch(f"{decoder} {truth.where(pixel)} index {got}, "
                       f"expected {truth.indices[pixel]}")
    if truth.indices and max(truth.indices) >= len(pic.palette):
        raise Mismatch(f"index {max(truth.indices)} lies past the file's "
                       f"{len(pic.palette)} colours")


def check_transparency(pic, expected, decoder):
    if pic.transparent != expected:
        raise Mismatch(f"{decoder} transparent index {pic.transparent}, expected {expected}")


def decode_with_giflib(decoder, path):
    run = subprocess.run([decoder, path], capture_output=True)
    if run.returncode != 0:
        raise Mismatch(run.stderr.decode(errors="replace").strip() or "giflib failed")
    line_end = run.stdout.index(b"\n")
    width, height, colours, transparent = (int(v) for v in run.stdout[:line_end].split())
    table = run.stdout[line_end + 1:line_end + 1 + 3 * colours]
    palette = [tuple(table[i:i + 3]) for i in range(0, len(table), 3)]
    indices = run.stdout[line_end + 1 + 3 * colours:]
    return Decoded(width, height, palette, indices, 8, transparent)


def imagemagick():
    # Debian's own convert, if it is there; otherwise whichever the PATH finds.
    return "/usr/bin/convert" if os.access("/usr/bin/convert", os.X_OK) else shutil.which("convert")


def check_with_imagemagick(truth, path):
    run = subprocess.run([imagemagick(), path, "-depth", "8", "rgb:-"], capture_output=True)
    if run.returncode != 0:
        message = run.stderr.decode(errors="replace").strip()
        raise Mismatch(f"ImageMagick cannot decode it: {message}")
    expected = b"".join(bytes(truth.palette[i]) for i in truth.indices)
    byte = first_difference(run.stdout, expected)
    if byte is not None:
        pixel = byte // 3
        got = tuple(run.stdout[3 * pixel:3 * pixel + 3])
        raise Mismatch(f"ImageMagick {truth.where(pixel)} colour {got}, "
                       f"expected {tuple(expected[3 * pixel:3 * pixel + 3])}")


def check_png_alpha_with_imagemagick(truth, path, transparent):
    run = subprocess.run([imagemagick(), path, "-depth", "8", "rgba:-"], capture_output=True)
    if run.returncode != 0:
        raise Mismatch(f"ImageMagick cannot decode it: {run.stderr.decode(errors='replace').strip()}")
    alpha = run.stdout[3::4]
    expected = bytes(0 if i == transparent else 255 for i in truth.indices)
    pixel = first_difference(alpha, expected)
    if pixel is not None:
        got = alpha[pixel] if pixel < len(alpha) else None
        raise Mismatch(f"ImageMagick {truth.where(pixel)} alpha {got}, expected {expected[pixel]}")


def check_with_pngcheck(path):
    pngcheck = "/usr/bin/pngcheck" if os.access("/usr/bin/pngcheck", os.X_OK) else shutil.which("pngcheck")
    if pngcheck is None:
        raise Mismatch("pngcheck is not installed")
    run = subprocess.run([pngcheck, "-q", path], capture_output=True)
    if run.returncode != 0:
        raise Mismatch(f"pngcheck: {run.stdout.decode(errors='replace').strip()}")


def check_one(truth_path, converted, options):
    truth = Truth(truth_path)
    if not os.path.isfile(converted):
        raise Mismatch("missing")
    try:
        pic = decode(converted)
    except PeerError as e:
        raise Mismatch(str(e)) from e
    check_decoded(truth, pic, "PIL")
    is_gif = converted.lower().endswith(".gif")
    is_png = converted.lower().endswith(".png")
    if is_gif or is_png:
        check_transparency(pic, options.transparent, "PIL")
    check_with_imagemagick(truth, converted)
    if is_png:
        check_with_pngcheck(converted)
        check_png_alpha_with_imagemagick(truth, converted, options.transparent)
    if is_gif and options.giflib:
        pic = decode_with_giflib(options.giflib, converted)
        check_decoded(truth, pic, "giflib")
        check_transparency(pic, options.transparent, "giflib")


class Options:
    def __init__(self):
        self.transparent = -1
        self.giflib = None


def parse(argv):
    if len(argv) < 4 or len(argv) % 2:
        return None
    options = Options()
    for flag, value in zip(argv[4::2], argv[5::2]):
        if flag == "--transparent":
            options.transparent = int(value)
        elif flag == "--giflib":
            options.giflib = value
        else:
            return None
    return options


def main(argv):
    options = parse(argv)
    if options is None:
        print("usage: check_outputs.py TRUTHDIR CONVERTEDDIR EXT [--transparent N] "
              "[--giflib DECODER]", file=sys.stderr)
        return 2
    truth_dir, converted_dir, ext = argv[1], argv[2], argv[3].lstrip(".")
    if imagemagick() is None:
        print("check_outputs.py: ImageMagick's convert is not installed", file=sys.stderr)
        return 2
    truths = sorted(n for n in os.listdir(truth_dir) if n.endswith(".truth"))
    if not truths:
        print(f"check_outputs.py: no .truth files in {truth_dir}", file=sys.stderr)
        return 2
    passed = failed = 0
    for name in truths:
        converted = os.path.join(converted_dir, name[:-len(".truth")] + "." + ext)
        try:
            check_one(os.path.join(truth_dir, name), converted, options)
            passed += 1
        except (Mismatch, ValueError) as e:
            failed += 1
            print(f"FAIL {converted}: {e}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
