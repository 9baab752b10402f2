"""What the whole-process benchmarks share: the machine's description, the file system of a
folder, a fresh folder, and the median of timed runs after a warm-up."""
import os
import platform
import resource
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


def spawn(argv):
    """Runs a program with its output thrown away; returns its exit status and the user + system
    CPU seconds it (and its own children) used, from wait4."""
    devnull = os.open(os.devnull, os.O_WRONLY)
    try:
        pid = os.posix_spawn(argv[0], argv, os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1),
                                           (os.POSIX_SPAWN_DUP2, devnull, 2)])
    finally:
        os.close(devnull)
    _, status, usage = os.wait4(pid, 0)
    return os.waitstatus_to_exitcode(status), usage.ru_utime + usage.ru_stime


def self_cpu():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def timed_alternating(runs, contenders):
    """Times several contenders in turns: one warm-up round, then `runs` rounds in each of which
    every contender runs once, in the order given, so that a change of the machine's load
    during the measurement falls on all of them alike. `contenders` maps a name to
    (prepare, command): prepare() runs untimed before each run; command is a program's argument
    list (its CPU time is the program's) or a function run in this process (its CPU time is this
    process's). Returns {name: (median wall-clock seconds, median CPU seconds)}."""
    walls = {name: [] for name in contenders}
    cpus = {name: [] for name in contenders}
    for round_ in range(runs + 1):  # the first round warms the page cache and is dropped
        for name, (prepare, command) in contenders.items():
            prepare()
            if callable(command):
                cpu0 = self_cpu()
                start = time.perf_counter()
                command()
                wall = time.perf_counter() - start
                cpu = self_cpu() - cpu0
            else:
                start = time.perf_counter()
                _, cpu = spawn(command)
                wall = time.perf_counter() - start
            if round_ > 0:
                walls[name].append(wall)
                cpus[name].append(cpu)
    return {name: (statistics.median(walls[name]), statistics.median(cpus[name]))
            for name in contenders}


def load_average():
    return "%.2f %.2f %.2f" % os.getloadavg()
