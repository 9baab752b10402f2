"""What the whole-process benchmarks share: the machine's description, the file system of a
folder, a fresh folder, and the median of timed runs after a warm-up."""
import os
import platform
import shutil
import statistics
import subprocess
import time


def machine():
    model = platform.processor() or "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{model}, {os.cpu_count()} cores, {platform.system()} {platform.release()}"


def file_system(path):
    out = subprocess.run(["df", "--output=fstype", path], capture_output=True, text=True).stdout
    return out.split()[-1] if out.split() else "unknown"


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def timed(runs, prepare, command):
    """Median wall-clock seconds of `runs` runs; prepare() runs untimed before each."""
    times = []
    for _ in range(runs + 1):  # the first run warms the page cache and is dropped
        prepare()
        start = time.perf_counter()
        command()
        times.append(time.perf_counter() - start)
    return statistics.median(times[1:])
