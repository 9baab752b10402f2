#!/usr/bin/env python3
"""Whole-process speed of qelvaconv against its peers, measured in one run, on the sample folder
and on a tree of 20 copies of it (converted with -r):

- GIF: `qelvaconv -t gif` with one job and with the default number (one per core), against a
  giflib converter turning the same pictures from BMP files into GIF in one process
  (qelva_giflib_convert), against ImageMagick's `mogrify -format gif` (one process for all
  files), and against the floor of copying the same bytes (every game file read and every GIF
  written, copied without decoding).
- PNG: `qelvaconv -t png` with one job and with the default, against ImageMagick's
  `mogrify -format png` and Pillow (one python3 process, Image.save with its defaults) writing
  PNG from the same BMP files, with the bytes each writes.
- BMP: `qelvaconv -t bmp` with one job and with the default, against the copy floor.

The BMP files the peers read are qelvaconv's own plain bitmaps of the same pictures, made once
before the timing. The damaged files of the sample folder are converted by qelvaconv (and
reported); the peers never see them, since they have no bitmaps.

The contenders of one table run in turns, one run each per round (see timing.timed_alternating),
so that a change of the machine's load falls on all of them alike; each figure is the median of
the rounds after a warm-up round. CPU time is user + system time of the process (for the copy
floor, of the Python process doing the copying).

Usage: bench/converter_speed.py [--baseline OTHER_BUILD_DIR] [--only sample|tree] [--kinds K,...]
                                [BUILD_DIR] [RUNS] [WORK_PARENT]
  (default build/release, 7 rounds after one warm-up, the system's temporary folder; give
  /dev/shm to keep the file system's cost of creating files out of it). --baseline adds the
  qelvaconv of another build (an earlier commit's, say) to every table, run in the same turns.
  --only and --kinds make a focused run: only the sample folder or only the tree, only the
  output types named (of gif, png, bmp); the aims are then left out.
Prints the machine, the load, Markdown tables of median times and ratios, and the aims.
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from timing import file_system, fresh, load_average, machine, timed_alternating  # noqa: E402

args = sys.argv[1:]
baseline_build = None
if "--baseline" in args:
    at = args.index("--baseline")
    baseline_build = args[at + 1]
    del args[at:at + 2]
only = None
if "--only" in args:
    at = args.index("--only")
    only = args[at + 1]
    del args[at:at + 2]
    if only not in ("sample", "tree"):
        sys.exit("--only takes sample or tree")
kinds = ("gif", "png", "bmp")
if "--kinds" in args:
    at = args.index("--kinds")
    kinds = tuple(args[at + 1].split(","))
    del args[at:at + 2]
    if not kinds or any(k not in ("gif", "png", "bmp") for k in kinds):
        sys.exit("--kinds takes gif, png and bmp, separated by commas")
focused = only is not None or len(kinds) < 3
build = args[0] if len(args) > 0 else "build/release"
runs = int(args[1]) if len(args) > 1 else 7
work_parent = args[2] if len(args) > 2 else None
qelvaconv = os.path.abspath(os.path.join(build, "qelvaconv"))
make_samples = os.path.join(build, "qelva_make_samples")
giflib_convert = os.path.abspath(os.path.join(build, "bench", "qelva_giflib_convert"))
mogrify = "/usr/bin/mogrify"  # Debian's ImageMagick
pillow_python = "/usr/bin/python3"  # Debian's python3 with python3-pil
baseline = os.path.abspath(os.path.join(baseline_build, "qelvaconv")) if baseline_build else None
for tool in (qelvaconv, make_samples, giflib_convert, mogrify, pillow_python, baseline):
    if tool and not os.path.exists(tool):
        sys.exit(f"missing {tool}: build {build} and run scripts/setup.sh")
COPIES = 20
DEFAULT_JOBS = min(os.cpu_count() or 1, 64)  # qelvaconv's default -j: the number of cores
ONE = "qelvaconv -j 1"
DEFAULT = f"qelvaconv, default -j ({DEFAULT_JOBS})"
BASE_ONE = "baseline -j 1"
BASE_DEFAULT = f"baseline, default -j ({DEFAULT_JOBS})"

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
    """{(kind, contender): (wall seconds, CPU seconds, bytes written)} for one folder or tree."""
    bitmaps = os.path.join(work, label + "-bmp")
    run(qelvaconv, "-q", "-r", "-t", "bmp", "-o", bitmaps, source, check=False)
    bmp_files = files_below(bitmaps, ".bmp")
    listing = os.path.join(work, label + "-list.txt")
    with open(listing, "w") as f:
        f.write("\n".join(bmp_files) + "\n")
    game_files = files_below(source)
    out = os.path.join(work, "out")
    results = {"pictures": len(bmp_files), "game bytes": bytes_of(game_files)}

    def in_out():
        fresh(out)

    def ours(program, kind, jobs):
        return [program, "-q", "-r", *(["-j", str(jobs)] if jobs else []), "-t", kind, "-o", out,
                source]

    def magick_clean(extension):
        # mogrify writes beside each input; those outputs are removed before every run.
        def clean():
            for p in files_below(bitmaps, "." + extension):
                os.remove(p)
        return clean

    for kind in kinds:
        fresh(out)
        run(*ours(qelvaconv, kind, 1), check=False)
        kept = os.path.join(work, f"{label}-{kind}-written")
        shutil.rmtree(kept, ignore_errors=True)
        shutil.copytree(out, kept)
        written = files_below(kept)
        contenders = {ONE: (in_out, ours(qelvaconv, kind, 1)),
                      DEFAULT: (in_out, ours(qelvaconv, kind, None))}
        if baseline:
            contenders[BASE_ONE] = (in_out, ours(baseline, kind, 1))
            contenders[BASE_DEFAULT] = (in_out, ours(baseline, kind, None))
        if kind == "gif":
            contenders["giflib converter"] = (in_out, [giflib_convert, out, listing])
        if kind != "bmp":
            contenders["mogrify"] = (magick_clean(kind),
                                     [mogrify, "-format", kind, *bmp_files])
        if kind == "png":
            contenders["Pillow"] = (in_out, [pillow_python, "-c", PILLOW_SCRIPT, out, listing])
        contenders["copy (floor)"] = (in_out, lambda: copy_all(game_files + written, out))
        timings = timed_alternating(runs, contenders)
        for name, (prepare, command) in contenders.items():
            # The bytes each writes, from one more run after the timing.
            prepare()
            if callable(command):
                command()
                where = out
            else:
                run(*command, check=False)
                where = bitmaps if name == "mogrify" else out
            if name == "copy (floor)":
                produced = written  # the bytes qelvaconv writes, as the converters' columns
            elif name == "mogrify":
                produced = files_below(where, "." + kind)
            else:
                produced = files_below(where)
            results[kind, name] = (*timings[name], bytes_of(produced))
    return results


def table(label, results, kind, names):
    one_wall, one_cpu, _ = results[kind, ONE]
    default_wall, _, _ = results[kind, DEFAULT]
    print(f"**{label}, -t {kind}** ({results['pictures']} pictures, {results['game bytes']} bytes of game files)")
    print()
    print("| converter | time | CPU time | bytes written | time / default -j | time / -j 1 | CPU / -j 1 |")
    print("|---|---|---|---|---|---|---|")
    for what in names:
        if (kind, what) not in results:
            continue
        wall, cpu, written = results[kind, what]
        print(f"| {what} | {wall * 1000:.1f} ms | {cpu * 1000:.1f} ms | {written} | "
              f"{wall / default_wall:.2f}x | {wall / one_wall:.2f}x | {cpu / one_cpu:.2f}x |")
    print()


def verdict(met):
    return "met" if met else "NOT MET"


load_before = load_average()
with tempfile.TemporaryDirectory(prefix="qelva-speed-", dir=work_parent) as work:
    fs_type = file_system(work)
    samples = os.path.join(work, "samples")
    run(make_samples, samples)
    tree = os.path.join(work, "tree")
    for i in range(COPIES):
        shutil.copytree(samples, os.path.join(tree, f"copy{i:02d}"))
    measured = []
    if only != "tree":
        measured.append(("Sample folder", measure(work, "samples", samples)))
    if only != "sample":
        measured.append((f"Tree of {COPIES} copies (-r)", measure(work, "tree", tree)))
load_after = load_average()

print(f"Machine: {machine()}")
print(f"Command: bench/converter_speed.py {' '.join(sys.argv[1:])}   (median of {runs} alternating "
      f"rounds after one warm-up; files on {fs_type})")
print(f"Load average (1, 5, 15 min): {load_before} before, {load_after} after")
print()
order = (ONE, DEFAULT, BASE_ONE, BASE_DEFAULT)
for label, results in measured:
    peers = {"gif": ("giflib converter", "mogrify", "copy (floor)"),
             "png": ("mogrify", "Pillow", "copy (floor)"), "bmp": ("copy (floor)",)}
    for kind in kinds:
        table(label, results, kind, (*order, *peers[kind]))

if focused:
    sys.exit(0)
print("Aims:")
folder = measured[0][1]
one_wall, one_cpu, _ = folder["gif", ONE]
default_wall, default_cpu, _ = folder["gif", DEFAULT]
speedup, cpu_ratio = one_wall / default_wall, default_cpu / one_cpu
print(f"- sample folder, -t gif: the default -j ({DEFAULT_JOBS} jobs) is {speedup:.2f}x as fast as "
      f"-j 1 (aim: at least 1.6x on two cores): {verdict(speedup >= 1.6)}; its CPU time is "
      f"{cpu_ratio:.2f}x that of -j 1 (aim: at most 1.15x): {verdict(cpu_ratio <= 1.15)}")
for label, results in measured:
    ratio = results["gif", "giflib converter"][0] / results["gif", DEFAULT][0]
    print(f"- {label.lower()}, -t gif, default -j against the giflib converter: {ratio:.2f}x as fast "
          f"(aim: at least 2x): {verdict(ratio >= 2)}")
for label, results in measured:
    for kind in ("gif", "png", "bmp"):
        slower = results[kind, DEFAULT][0] / results[kind, ONE][0]
        print(f"- {label.lower()}, -t {kind}: the default -j takes {slower:.2f}x the time of -j 1 "
              f"(aim: never more than 1x): {verdict(slower <= 1.0)}")
if baseline:
    # The same ratio for the baseline, measured in the same turns.
    base_one_wall, base_one_cpu, _ = folder["gif", BASE_ONE]
    base_default_wall, base_default_cpu, _ = folder["gif", BASE_DEFAULT]
    print(f"- sample folder, -t gif, baseline: the default -j is "
          f"{base_one_wall / base_default_wall:.2f}x as fast as -j 1, for "
          f"{base_default_cpu / base_one_cpu:.2f}x its CPU time")
    for label, results in measured:
        for kind in ("gif", "png", "bmp"):
            for ours_name, base_name in ((ONE, BASE_ONE), (DEFAULT, BASE_DEFAULT)):
                ratio = results[kind, ours_name][0] / results[kind, base_name][0]
                print(f"- {label.lower()}, -t {kind}, {ours_name}: {ratio:.2f}x the baseline's time")
