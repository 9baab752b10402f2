#!/usr/bin/env python3
"""Converting the whole sample game folder with qelvaconv, measured in one run against
- the physical floor: copying the same bytes (every sample file read, every output file written),
- ImageMagick converting the equivalent BMP files (qelvaconv's own plain BMP outputs) into the
  same type (BMP, RLE8 BMP, GIF, interlaced GIF): once as one `mogrify` process for all files,
  once as one `convert` process per file.

Usage: bench/convert_vs_peers.py [BUILD_DIR] [RUNS] [WORK_PARENT]
  (default build/release, 7 runs, the system's temporary folder; give /dev/shm to keep the
  file system's cost of creating files out of the measurement)
Prints a Markdown table of median wall-clock times and ratios, with the machine it ran on.
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from timing import file_system, fresh, machine, timed  # noqa: E402

build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
work_parent = sys.argv[3] if len(sys.argv) > 3 else None
qelvaconv = os.path.join(build, "qelvaconv")
make_samples = os.path.join(build, "qelva_make_samples")
mogrify = shutil.which("mogrify")
convert = "/usr/bin/convert"  # Debian's ImageMagick, not whatever else is first on PATH
if not mogrify or not os.path.exists(convert):
    sys.exit("ImageMagick is missing: run scripts/setup.sh")






def folder_bytes(path):
    return sum(os.path.getsize(os.path.join(path, n)) for n in os.listdir(path)
               if os.path.isfile(os.path.join(path, n)))




def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def copy_files(sources, target):
    for folder in sources:
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                shutil.copyfile(path, os.path.join(target, os.path.basename(folder) + "-" + name))




with tempfile.TemporaryDirectory(prefix="qelva-bench-", dir=work_parent) as work:
    fs_type = file_system(work)
    samples = os.path.join(work, "samples")
    run(make_samples, samples)
    rows = []
    # The plain BMP files are what ImageMagick reads for every type.
    bitmaps = os.path.join(work, "bitmaps")
    run(qelvaconv, "-t", "bmp", "-o", bitmaps, samples)
    types = (("bmp", "bmp", []), ("rle", "bmp", ["-compress", "RLE"]), ("gif", "gif", []),
             ("gif-i", "gif", ["-interlace", "GIF"]))
    for kind, ext, magick_args in types:
        ours = os.path.join(work, "ours-" + kind)
        fresh(ours)
        run(qelvaconv, "-t", kind, "-o", ours, samples)
        pictures = len(os.listdir(ours))
        out = os.path.join(work, "out")
        copy = lambda: copy_files([samples, ours], out)
        t_ours = timed(runs, lambda: fresh(out), lambda: run(qelvaconv, "-t", kind, "-o", out, samples))
        t_copy = timed(runs, lambda: fresh(out), copy)
        magick = [mogrify, "-path", out, "-format", ext, *magick_args]
        t_magick = timed(runs, lambda: fresh(out),
                         lambda: run(*magick, *sorted(os.path.join(bitmaps, n) for n in os.listdir(bitmaps))))
        inputs = sorted(os.listdir(bitmaps))

        def convert_each():
            for n in inputs:
                target = os.path.join(out, os.path.splitext(n)[0] + "." + ext)
                run(convert, os.path.join(bitmaps, n), *magick_args, target)

        t_convert = timed(runs, lambda: fresh(out), convert_each)
        rows.append((kind, pictures, folder_bytes(samples), folder_bytes(ours), t_ours, t_copy,
                     t_magick, t_convert))

print(f"Machine: {machine()}")
print(f"Command: bench/convert_vs_peers.py {' '.join(sys.argv[1:])}   (median of {runs} runs after one warm-up; files on {fs_type})")
print()
print("| type | pictures | bytes in | bytes out | qelvaconv | copy (floor) | mogrify | convert per file"
      " | qelvaconv / copy | mogrify / qelvaconv | convert / qelvaconv |")
print("|---|---|---|---|---|---|---|---|---|---|---|")
for kind, pictures, bytes_in, bytes_out, t_ours, t_copy, t_magick, t_convert in rows:
    print(f"| {kind} | {pictures} | {bytes_in} | {bytes_out} | {t_ours*1000:.1f} ms | {t_copy*1000:.1f} ms"
          f" | {t_magick*1000:.1f} ms | {t_convert*1000:.0f} ms | {t_ours/t_copy:.2f}x"
          f" | {t_magick/t_ours:.1f}x | {t_convert/t_ours:.0f}x |")
