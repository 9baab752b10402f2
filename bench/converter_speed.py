#!/usr/bin/env python3
"""Whole-process speed of qelvaconv against its peers, measured in one run, on the sample folder
and on a tree of 20 copies of it (converted with -r):

- GIF: `qelvaconv -t gif` with one job and with two, against a giflib converter turning the same
  pictures from BMP files into GIF in one process (qelva_giflib_convert), against ImageMagick's
  `mogrify -format gif` (one process for all files), and against the floor of copying the same
  bytes (every game file read and every GIF written, copied without decoding).
- PNG: `qelvaconv -t png` with one job and with two, against ImageMagick's `mogrify -format png`
  and Pillow (one python3 process, Image.save with its defaults) writing PNG from the same BMP
  files, with the bytes each writes.

The BMP files the peers read are qelvaconv's own plain bitmaps of the same pictures, made once
before the timing. The damaged files of the sample folder are converted by qelvaconv (and
reported); the peers never see them, since they have no bitmaps.

Usage: bench/converter_speed.py [BUILD_DIR] [RUNS] [WORK_PARENT]
  (default build/release, 7 runs after one warm-up, the system's temporary folder; give
  /dev/shm to keep the file system's cost of creating files out of it)
Prints Markdown tables of median wall-clock times and ratios, with the machine.
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
giflib_convert = os.path.join(build, "bench", "qelva_giflib_convert")
mogrify = "/usr/bin/mogrify"  # Debian's ImageMagick
pillow_python = "/usr/bin/python3"  # Debian's python3 with python3-pil
for tool in (qelvaconv, make_samples, giflib_convert, mogrify, pillow_python):
    if not os.path.exists(tool):
        sys.exit(f"missing {tool}: build {build} and run scripts/setup.sh")
COPIES = 20

PILLOW_SCRIPT = r"""
import sys
from PIL import Image
out, listing = sys.argv[1], sys.argv[2]
for path in open(listing).read().splitlines():
    name = path.replace("/", "_")[:-4]
    Image.open(path).save(f"{out}/{name}.png")
"""








def files_below(root, extension=None):
    found = []
    for folder, _, names in os.walk(root):
        for name in names:
            if extension is None or name.endswith(extension):
                found.append(os.path.join(folder, name))
    return sorted(found)


def bytes_of(paths):
    return sum(os.path.getsize(p) for p in paths)


def run(*args, check=True):
    subprocess.run(args, check=check, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)




def copy_all(paths, target):
    for i, path in enumerate(paths):
        shutil.copyfile(path, os.path.join(target, f"{i}-{os.path.basename(path)}"))


def measure(work, label, source):
    """Rows of (what, seconds, bytes written) for one input folder or tree."""
    bitmaps = os.path.join(work, label + "-bmp")
    run(qelvaconv, "-q", "-r", "-t", "bmp", "-o", bitmaps, source, check=False)
    bmp_files = files_below(bitmaps, ".bmp")
    listing = os.path.join(work, label + "-list.txt")
    with open(listing, "w") as f:
        f.write("\n".join(bmp_files) + "\n")
    game_files = files_below(source)
    out = os.path.join(work, "out")
    results = {"pictures": len(bmp_files), "game bytes": bytes_of(game_files)}

    def ours(kind, jobs):
        command = lambda: run(qelvaconv, "-q", "-r", "-j", str(jobs), "-t", kind, "-o", out,
                              source, check=False)
        seconds = timed(runs, lambda: fresh(out), command)
        return seconds, bytes_of(files_below(out))

    def magick(extension):
        # mogrify writes beside each input; those outputs are removed before every run.
        def clean():
            for p in files_below(bitmaps, "." + extension):
                os.remove(p)
        seconds = timed(runs, clean, lambda: run(mogrify, "-format", extension, *bmp_files))
        return seconds, bytes_of(files_below(bitmaps, "." + extension))

    for kind in ("gif", "png"):
        results[kind, "qelvaconv -j 1"] = ours(kind, 1)
        kept = os.path.join(work, f"{label}-{kind}-written")
        shutil.rmtree(kept, ignore_errors=True)
        shutil.copytree(out, kept)
        written = files_below(kept)
        results[kind, "qelvaconv -j 2"] = ours(kind, 2)
        results[kind, "copy (floor)"] = (
            timed(runs, lambda: fresh(out), lambda: copy_all(game_files + written, out)),
            bytes_of(written))
        results[kind, "mogrify"] = magick(kind)
    seconds = timed(runs, lambda: fresh(out), lambda: run(giflib_convert, out, listing))
    results["gif", "giflib converter"] = (seconds, bytes_of(files_below(out)))
    seconds = timed(runs, lambda: fresh(out),
                    lambda: run(pillow_python, "-c", PILLOW_SCRIPT, out, listing))
    results["png", "Pillow"] = (seconds, bytes_of(files_below(out)))
    return results


def table(label, results, kind, peers):
    ours1, _ = results[kind, "qelvaconv -j 1"]
    ours2, _ = results[kind, "qelvaconv -j 2"]
    print(f"**{label}, -t {kind}** ({results['pictures']} pictures, {results['game bytes']} bytes of game files)")
    print()
    print("| converter | time | bytes written | time / qelvaconv -j 1 | time / qelvaconv -j 2 |")
    print("|---|---|---|---|---|")
    for what in ("qelvaconv -j 1", "qelvaconv -j 2", *peers):
        seconds, written = results[kind, what]
        print(f"| {what} | {seconds * 1000:.1f} ms | {written} | {seconds / ours1:.2f}x | {seconds / ours2:.2f}x |")
    print()


with tempfile.TemporaryDirectory(prefix="qelva-speed-", dir=work_parent) as work:
    fs_type = file_system(work)
    samples = os.path.join(work, "samples")
    run(make_samples, samples)
    tree = os.path.join(work, "tree")
    for i in range(COPIES):
        shutil.copytree(samples, os.path.join(tree, f"copy{i:02d}"))
    measured = [("Sample folder", measure(work, "samples", samples)),
                (f"Tree of {COPIES} copies (-r)", measure(work, "tree", tree))]

print(f"Machine: {machine()}")
print(f"Command: bench/converter_speed.py {' '.join(sys.argv[1:])}   (median of {runs} runs after one warm-up; files on {fs_type})")
print()
for label, results in measured:
    table(label, results, "gif", ("giflib converter", "mogrify", "copy (floor)"))
    table(label, results, "png", ("mogrify", "Pillow", "copy (floor)"))
