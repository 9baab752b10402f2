#!/usr/bin/python3
"""Checks converted pictures against the pictures they were made from.

usage: check_outputs.py TRUTHDIR CONVERTEDDIR EXT

TRUTHDIR holds one <base>.truth per picture (from qelva_make_samples --truth):
"QTRUTH <width> <height>\\n", 256 RGB colours, then width x height colour indices, top row
first. For each, CONVERTEDDIR/<base>.<EXT> must
  - decode with python3-pil to the same width, height and colour indices, with the first 256
    palette entries equal to the truth's (an 8-bit file must carry all 256), and
  - decode with ImageMagick (convert FILE rgb:-) to exactly the colours palette[index].
Prints "FAIL <file>: <first mismatch>" for each failure, then "N passed, M failed"; exits 1 when
any picture failed.
"""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from peer_decode import PeerError, decode  # noqa: E402

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


def check_with_pil(truth, path):
    pic = decode(path)
    if (pic.width, pic.height) != (truth.width, truth.height):
        raise Mismatch(f"PIL size {pic.width} x {pic.height}, "
                       f"expected {truth.width} x {truth.height}")
    if pic.bits == 8 and len(pic.palette) < PALETTE_SIZE:
        raise Mismatch(f"8-bit file with {len(pic.palette)} colours, expected {PALETTE_SIZE}")
    for i in range(min(PALETTE_SIZE, len(pic.palette))):
        if pic.palette[i] != truth.palette[i]:
            raise Mismatch(f"PIL palette entry {i} is {pic.palette[i]}, "
                           f"expected {truth.palette[i]}")
    pixel = first_difference(pic.indices, truth.indices)
    if pixel is not None:
        got = pic.indices[pixel] if pixel < len(pic.indices) else None
        raise Mismatch(f"PIL {truth.where(pixel)} index {got}, expected {truth.indices[pixel]}")
    if truth.indices and max(truth.indices) >= len(pic.palette):
        raise Mismatch(f"index {max(truth.indices)} lies past the file's "
                       f"{len(pic.palette)} colours")


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


def check_one(truth_path, converted):
    truth = Truth(truth_path)
    if not os.path.isfile(converted):
        raise Mismatch("missing")
    try:
        check_with_pil(truth, converted)
    except PeerError as e:
        raise Mismatch(str(e)) from e
    check_with_imagemagick(truth, converted)


def main(argv):
    if len(argv) != 4:
        print("usage: check_outputs.py TRUTHDIR CONVERTEDDIR EXT", file=sys.stderr)
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
            check_one(os.path.join(truth_dir, name), converted)
            passed += 1
        except (Mismatch, ValueError) as e:
            failed += 1
            print(f"FAIL {converted}: {e}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
