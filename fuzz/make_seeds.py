#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora: fuzz/make_seeds.py MAKE_SAMPLES OUT_DIR

MAKE_SAMPLES is the sample generator (qelva_make_samples); its game folder gives the decoder's
seeds, and readable recipes below give the others. Each target's seeds go to OUT_DIR/<target>/,
named after what they hold. The committed corpora are these seeds, then what fuzzing added
(merged with -merge=1) and every finding, minimised.
"""
import os
import struct
import subprocess
import sys
import tempfile

# The load target's names, in the order its byte 0 picks them.
GAME_NAMES = ["item01.bin", "iclog01.bin", "kabe01.bin", "eye1.bin", "bg01.bin", "ge_cg.bin",
              "omall.dat", "sa_cg.bin", "ko_cg.bin", "sa_spr.bin", "ge_spr.bin", "ma_spr.bin"]
# Larger files are cut: the fuzzer mutates short inputs faster, and the first entries of an
# archive still lie inside the cut.
LARGEST_SEED = 32 * 1024


def write(out, target, name, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def game_name_index(file_name):
    lower = file_name.lower()
    if lower in GAME_NAMES:
        return GAME_NAMES.index(lower)
    for prefix, name in (("item", "item01.bin"), ("iclog", "iclog01.bin"), ("kabe", "kabe01.bin"),
                         ("wall", "kabe01.bin"), ("title", "kabe01.bin"), ("load", "kabe01.bin"),
                         ("omake", "kabe01.bin"), ("icon", "kabe01.bin"), ("bg", "bg01.bin"),
                         ("eye", "eye1.bin")):
        if lower.startswith(prefix):
            return GAME_NAMES.index(name)
    return None


def load_seeds(make_samples, out):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([make_samples, folder], check=True, stdout=subprocess.DEVNULL)
        for root, _, files in os.walk(folder):
            for file_name in sorted(files):
                index = game_name_index(file_name)
                if index is None:
                    continue
                with open(os.path.join(root, file_name), "rb") as f:
                    data = f.read()[:LARGEST_SEED]
                broken = "broken-" if os.path.basename(root) == "broken" else ""
                archive = GAME_NAMES[index].endswith(".dat") or "_" in GAME_NAMES[index]
                for entry in ((1, 3, -1) if archive else (0,)):
                    label = f"{broken}{file_name.lower()}-entry{entry}" if archive else broken + file_name.lower()
                    write(out, "load_picture", label, bytes([index, entry & 0xFF]) + data)


def empty_picture_seeds(out):
    # Background headers of no cells: layout 0, cells wide and high big-endian, then the palette.
    for wide, high in ((0, 5), (5, 0)):
        header = bytes(2) + struct.pack(">HHH", 0, wide, high) + bytes(8)
        write(out, "load_picture", f"background-{wide}x{high}-cells",
              bytes([GAME_NAMES.index("bg01.bin"), 0]) + header + bytes(512))


def dib_header(width, height, bits, compression=0, image_size=0, used=0, size=40):
    return struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, image_size,
                       0, 0, used, 0) + bytes(size - 40)


def table(entries):
    return b"".join(bytes([(i * 37) & 255, (i * 91) & 255, (i * 13) & 255, 0]) for i in range(entries))


def rows(width, height, bits, pattern):
    stride = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for y in range(height):
        row = bytes(pattern(x, y) & 255 for x in range((width * bits + 7) // 8))
        data += row + bytes(stride - len(row))
    return bytes(data)


PATTERNS = {
    "runs": lambda x, y: (x // 5 + y) % 3,
    "literals": lambda x, y: x * 7 + y * 13,
    "zero": lambda x, y: 0,
}


def writer_seeds(out):
    def image(label, info, bits, variant):
        write(out, "write_picture", label, struct.pack("<H", len(info)) + info + bits + bytes([variant]))

    for width, height in ((1, 1), (3, 2), (4, 4), (5, 9), (17, 3), (64, 2)):
        for pattern_name, pattern in PATTERNS.items():
            info = dib_header(width, height, 8) + table(256)
            image(f"plain8-{width}x{height}-{pattern_name}", info, rows(width, height, 8, pattern),
                  (width + height) & 7)
    image("four-bit", dib_header(9, 3, 4) + table(16), rows(9, 3, 4, PATTERNS["literals"]), 1)
    image("one-bit", dib_header(33, 2, 1) + table(2), rows(33, 2, 1, PATTERNS["literals"]), 2)
    image("full-colour", dib_header(5, 3, 24), rows(5, 3, 24, PATTERNS["literals"]), 3)
    image("top-down", dib_header(4, -4, 8) + table(256), rows(4, 4, 8, PATTERNS["runs"]), 0)
    image("rle8-header", dib_header(4, 4, 8, compression=1, image_size=6) + table(256),
          bytes([4, 1, 0, 0, 0, 1]), 0)
    image("rows-cut-short", dib_header(8, 8, 8) + table(256), rows(8, 3, 8, PATTERNS["runs"]), 0)
    image("sixteen-bits", dib_header(4, 4, 16), rows(4, 4, 16, PATTERNS["runs"]), 0)


def clipboard_seeds(out):
    def block(label, x, y, shown, packed):
        sw, sh, flag = shown
        write(out, "clipboard_overlay", label, struct.pack("<iiBBB", x, y, sw, sh, flag) + packed)

    eight = dib_header(16, 16, 8, used=16) + table(16) + rows(16, 16, 8, lambda x, y: (x + y) % 20)
    block("eight-bit-at-origin", 0, 0, (27, 111, 0), eight)
    block("eight-bit-cut-right-and-bottom", 100, 100, (27, 111, 0), eight)
    block("eight-bit-above-and-left", -8, -16, (3, 40, 1), eight)
    block("eight-bit-far-away", 2**31 - 8, -2**31, (0, 0, 0), eight)
    block("header-of-64", 8, 8, (10, 10, 0),
          dib_header(8, 8, 8, size=64) + table(256) + rows(8, 8, 8, PATTERNS["runs"]))
    block("four-bit", 0, 0, (10, 10, 0), dib_header(9, 3, 4) + table(16) + rows(9, 3, 4, PATTERNS["literals"]))
    block("one-bit", 0, 0, (10, 10, 0), dib_header(33, 2, 1) + table(2) + rows(33, 2, 1, PATTERNS["literals"]))
    block("full-colour", 0, 0, (10, 10, 1), dib_header(5, 3, 24) + rows(5, 3, 24, PATTERNS["literals"]))
    block("image-size-larger", 0, 0, (10, 10, 0),
          dib_header(4, 4, 8, image_size=100) + table(256) + rows(4, 4, 8, PATTERNS["runs"]) + bytes(84))
    block("cut-in-the-table", 0, 0, (10, 10, 0), dib_header(4, 4, 8) + table(100))
    block("top-down", 0, 0, (10, 10, 0), dib_header(4, -4, 8) + table(256) + rows(4, 4, 8, PATTERNS["runs"]))


def command_line_seeds(out):
    def seed(label, check, text):
        write(out, "command_line", label, bytes([check]) + text)

    seed("one-picture", 0, b'"C:\\QelvaView.exe" Kabe01.bin')
    seed("archive-and-switch", 0, b'"C:\\QelvaView.exe" omall.dat /5')
    seed("switches-first", 0, b'prog /3 /7 x.bin y.bin')
    seed("quoted-blanks", 0, b'prog "a b\\c d.bin" ""e.bin /$1F')
    seed("bad-switch", 0, b'prog a.bin /x b.bin')
    seed("long-switch", 0, "prog /１２３４５６７８９０１２３４５６７".encode())
    seed("further-line", 1, b"C:\\Program Files\\QelvaView.exe\0D:\\game\\omall.dat")
    seed("further-line-utf8", 1, "/opt/qv\0/ゲーム/ge_spr.bin".encode())
    seed("options-type-and-out", 2, b"-t\0gif-ti\0-o\0out\0-e\0003\0omall.dat")
    seed("options-jobs-recursive", 2, b"-j\0002\0-r\0-q\0game")
    seed("options-bad", 2, b"-j\00099\0--type=png-t\0--entry\0")
    seed("switch-hex", 3, b"/-$80000000")
    seed("switch-decimal", 3, b"/ +2147483647")


def path_seeds(out):
    def seed(label, spelling, text):
        write(out, "path_text", label, bytes([spelling]) + text)

    for spelling, label in ((0, "posix-utf8"), (1, "windows-utf8"), (2, "posix-sjis"), (3, "windows-sjis")):
        seed(f"{label}-plain", spelling, b"C:\\game.dir\\Kabe01.bin" if spelling & 1 else b"/game.dir/Kabe01.bin")
        seed(f"{label}-archive", spelling, b"D:omall.dat[3]" if spelling & 1 else b"omall.dat[3]")
    seed("windows-sjis-trail-backslash", 3, b"C:\\\x83\x5c\\\x95\x5c.bin")
    seed("windows-sjis-lone-lead", 3, b"C:\\a\\item\x81")
    seed("posix-utf8-japanese", 0, "/ゲーム/絵.dir/ＩＴＥＭ.bin".encode())
    seed("windows-long-name", 1, b"C:\\" + b"n" * 300 + b".bin")
    seed("windows-drive-root", 1, b"C:\\")


def geometry_seeds(out):
    def seed(label, numbers):
        write(out, "window_geometry", label, struct.pack(f"<{len(numbers)}i", *numbers))

    #       frame    scroll    task bar         screen     left top  picture    band zoom  pending
    seed("small-picture", [4, 4, 17, 17, 0, 740, 1024, 768, 1024, 768, 100, 100, 112, 112, 42, 0, 1,
                           64, 64, 0, 0, 128, 128, 10, 10, 4, 4, 112, 112])
    seed("larger-than-the-screen", [4, 4, 17, 17, 900, 0, 1024, 768, 1025, 768, 50, 60, 2560, 1792, 61,
                                    2, 3, 640, 448, 16, 16, 320, 224, 200, 300, 0, 0, 5120, 3584])
    seed("extremes", [2**31 - 1, -2**31, 2**31 - 1, -2**31, -2**31, 2**31 - 1, 2**31 - 1, -2**31,
                      -1, 2**31 - 1, 2**31 - 1, 2**31 - 1, 2**31 - 1, 2**31 - 1, 2**31 - 1, 3, 0,
                      2**31 - 1, 2**31 - 1, 2**31 - 8, -2**31, 2**31 - 1, 2**31 - 1, -2**31, -2**31,
                      2**31 - 1, 2**31 - 1, 2**31 - 1, -2**31])


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    make_samples, out = sys.argv[1], sys.argv[2]
    load_seeds(make_samples, out)
    empty_picture_seeds(out)
    writer_seeds(out)
    clipboard_seeds(out)
    command_line_seeds(out)
    path_seeds(out)
    geometry_seeds(out)


if __name__ == "__main__":
    main()
