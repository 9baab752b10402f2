#!/usr/bin/python3
"""The web page's speed in headless Chromium on this machine, with the native converter's figures
from the same run.

usage: bench/web_page.py NATIVE_BUILD_DIR SITE_DIR WORK_DIR [--runs N]

  open      the generated sample folder (its pictures, without broken/) chosen through the page's
            folder input until the grid is complete: the page's own User Timing measure
            (change event to the last picture listed) and, from outside, the time from handing
            the folder to the input until the page says it is done (20 ms polling)
  zip-gif   "Download all" as GIF for the same folder, click to ZIP ready (User Timing), against
            `qelvaconv -j 1 -q -t gif -o OUT FOLDER` run as a process, wall time; and the CPU time
            of all of Chromium's threads over the click (/proc schedstat) against the qelvaconv
            process's (getrusage; both less dependent on what else the machine runs); each the first
            Download all on a fresh page and a second one on the same page; where the page's time
            went in each (the measure's detail: each worker's writing, when each had its last file,
            fflate, the Blob); the first Download all of the browser profile's first page on its
            own (later pages may take the module's compiled code from the browser's cache); how
            many pictures the page had written ahead before the click, and the worker's time for
            it; and the first Download all of a fresh page told to write nothing ahead (?ahead=0),
            as a click right after listing finds it, with the folder chosen as soon as the page is
            loaded and again a second after (whether the page's start-up warm-up was done by then)
  transfer  every file the page loads (all of the site but the licence texts), each compressed
            with gzip -9, summed
  5000      a flat folder of 5000 pictures (copies of three samples under game names): time to
            the complete grid, and the main thread's longest gap between animation frames meanwhile
  100MB     a folder with a 100 MB background file and a 100 MB file of another name beside the
            samples: the same two figures

Prints one line per figure, medians of --runs runs (default 5). The machine is shared: wall-clock
figures are inflated by other work; the ratio is taken within one run of this script.
"""

import argparse
import gzip
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'web', 'tests'))
from browser import Browser  # noqa: E402

LONG_TASKS = """
  window.qelvaLongTasks = [];
  new PerformanceObserver((list) => {
    for (const e of list.getEntries()) window.qelvaLongTasks.push([e.startTime, e.duration]);
  }).observe({type: 'longtask'});
"""
# The task in which the choice reached the page (the browser filling the file input, then the
# page's change handler), and the longest task on the page's main thread after it.
LONGEST_TASK = """
  const start = performance.getEntriesByName('qelva-open-start')[0].startTime;
  const tasks = window.qelvaLongTasks;
  const first = tasks.filter(([s, d]) => s <= start && s + d > start).map(([s, d]) => d);
  const after = tasks.filter(([s, d]) => s > start).map(([s, d]) => d);
  return [first.length ? first[0] : 0, after.length ? Math.max(...after) : 0];
"""


# The page's start-up warm-up, as it tells it (null when it has not finished, or does none).
WARM_DETAIL = ("const e = performance.getEntriesByName('qelva-warm'); "
               "return e.length ? e[e.length - 1].detail : null")
# How long after the page is loaded the quickest user chooses a folder.
CHOICE_SECONDS = 1.0


def measure(page, name):
    return page.js(f"const e = performance.getEntriesByName('{name}'); return e.length ? e[e.length - 1].duration : null")


def open_folder(browser, folder, timeout=600, query='', wait=0):
    """Opens the folder in a fresh page, chosen wait seconds after the page is loaded: (User Timing
    ms, outside ms, longest task ms, count)."""
    page = browser.open_page(query)
    page.js(LONG_TASKS)
    if wait:
        time.sleep(wait)
    start = time.perf_counter()
    page.choose_folder(folder)
    count = page.wait_until_opened(timeout=timeout)
    outside = (time.perf_counter() - start) * 1000
    first, after = page.js(LONGEST_TASK)
    return measure(page, 'qelva-open'), outside, (first, measure(page, 'qelva-open-handler'), after), count, page


def zip_spent(page):
    """Where the last Download all's time went, as the page tells in the measure's detail."""
    return page.js("const e = performance.getEntriesByName('qelva-zip'); return e[e.length - 1].detail.spent || null")


def spent_line(first, second):
    """The medians of the phases of the first and the second Download all, or None."""
    if not first or not second or None in first or None in second:
        return None
    m = {k: (statistics.median(s[k] for s in first), statistics.median(s[k] for s in second)) for k in first[0]}
    fmt = lambda k: f'{m[k][0]:.0f} / {m[k][1]:.0f} ms'  # noqa: E731
    ahead = f"pictures written before the click {m['ahead'][0]:.0f} / {m['ahead'][1]:.0f}, " if 'ahead' in m else ''
    return (f"{ahead}this worker writing {fmt('write')} (done at {fmt('ownDone')}), the helper writing "
            f"{fmt('helperWrite')} (its last file in at {fmt('helperDone')}), fflate {fmt('zip')}, "
            f"the Blob {fmt('blob')}")


def native_gif_ms(qelvaconv, folder, out):
    """qelvaconv -j 1 -t gif on the folder: (wall ms, CPU ms of the process from getrusage)."""
    shutil.rmtree(out, ignore_errors=True)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([qelvaconv, '-j', '1', '-q', '-t', 'gif', '-o', out, folder], check=True)
    wall = (time.perf_counter() - start) * 1000
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000
    return wall, cpu


def browser_cpu_ms(browser):
    """CPU time so far of every thread of the Chromium chromedriver started and of the processes
    below it (renderer, GPU, ...), from each thread's schedstat (nanoseconds). Threads that ended between
    two readings are missing from the later one, so a difference can only come out too small."""
    children = {}
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open(f'/proc/{pid}/stat') as f:
                parent = int(f.read().rsplit(')', 1)[1].split()[1])
        except OSError:
            continue
        children.setdefault(parent, []).append(int(pid))
    # chromedriver itself (the harness's side) is left out: only the browser's processes count.
    total, todo = 0, list(children.get(browser.driver.service.process.pid, []))
    while todo:
        pid = todo.pop()
        todo.extend(children.get(pid, []))
        try:
            tids = os.listdir(f'/proc/{pid}/task')
        except OSError:
            continue
        for tid in tids:
            try:
                with open(f'/proc/{pid}/task/{tid}/schedstat') as f:
                    total += int(f.read().split()[0])
            except OSError:
                pass
    return total / 1e6


def make_folders(native, work):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    subprocess.run([os.path.join(native, 'qelva_make_samples'), os.path.join(work, 'generated')],
                   check=True, stdout=subprocess.DEVNULL)
    samples = os.path.join(work, 'samples')
    os.makedirs(samples)
    for name in os.listdir(os.path.join(work, 'generated')):
        path = os.path.join(work, 'generated', name)
        if os.path.isfile(path):
            shutil.copy(path, samples)
    many = os.path.join(work, 'many')
    os.makedirs(many)
    sources = [('Kabe01.bin', 'kabe'), ('Item01.bin', 'item'), ('bg02.bin', 'bg')]
    for i in range(5000):
        source, prefix = sources[i % len(sources)]
        os.link(os.path.join(samples, source), os.path.join(many, f'{prefix}{i:04d}.bin'))
    big = os.path.join(work, 'big')
    shutil.copytree(samples, big)
    block = bytes(range(256)) * 4096
    for name in ('bg99.bin', 'video.avi'):
        with open(os.path.join(big, name), 'wb') as f:
            for _ in range(100):
                f.write(block)
    return samples, many, big


def machine():
    model = 'unknown CPU'
    with open('/proc/cpuinfo') as f:
        for line in f:
            if line.startswith('model name'):
                model = line.split(':', 1)[1].strip()
                break
    version = subprocess.run(['/usr/bin/chromium', '--version'], capture_output=True, text=True).stdout.strip()
    return f'{model}, {os.cpu_count()} cores, {version}'


def transfer_bytes(site):
    total = 0
    for name in sorted(os.listdir(site)):
        if name.endswith('.txt'):
            continue  # licences lie beside the page; it does not load them
        with open(os.path.join(site, name), 'rb') as f:
            total += len(gzip.compress(f.read(), 9))
    return total


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('native')
    parser.add_argument('site')
    parser.add_argument('work')
    parser.add_argument('--runs', type=int, default=5)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    samples, many, big = make_folders(args.native, work)
    qelvaconv = os.path.join(args.native, 'qelvaconv')
    browser = Browser(os.path.abspath(args.site), os.path.join(work, 'downloads'))
    print(f'machine   {machine()}, load average {os.getloadavg()[0]:.1f} at the start')
    try:
        opens, outsides, zips, natives, zip_cpu, native_cpu = [], [], [], [], [], []
        agains, again_cpu = [], []
        first_spent, again_spent, aheads, unaheads = [], [], [], []
        later, warmed = [], []
        for _ in range(args.runs):
            inside, outside, _, count, page = open_folder(browser, samples)
            opens.append(inside)
            outsides.append(outside)
            # The ZIP and the native run alternate, so both see the same load on the machine.
            cpu_before = browser_cpu_ms(browser)
            page.download_all(2)
            zip_cpu.append(browser_cpu_ms(browser) - cpu_before)
            zips.append(measure(page, 'qelva-zip'))
            first_spent.append(zip_spent(page))
            aheads.append(page.js("const e = performance.getEntriesByName('qelva-ahead'); "
                                  "return e.length ? e[e.length - 1].detail : null"))
            # Once more on the same page: the module's code is compiled and optimised by now.
            cpu_before = browser_cpu_ms(browser)
            page.download_all(2)
            again_cpu.append(browser_cpu_ms(browser) - cpu_before)
            agains.append(measure(page, 'qelva-zip'))
            again_spent.append(zip_spent(page))
            # A fresh page again, told to write nothing ahead: what a click right after listing
            # costs when the page has not had the moment to write ahead.
            page = open_folder(browser, samples, query='?ahead=0')[-1]
            page.download_all(2)
            unaheads.append(measure(page, 'qelva-zip'))
            # The same, the folder chosen a second after the page is loaded, as the quickest of
            # users chooses it: the page has had the moment to warm up, if it does.
            page = browser.open_page('?ahead=0')
            time.sleep(CHOICE_SECONDS)
            warmed.append(page.js(WARM_DETAIL))
            page.choose_folder(samples)
            page.wait_until_opened()
            page.download_all(2)
            later.append(measure(page, 'qelva-zip'))
            wall, cpu = native_gif_ms(qelvaconv, samples, os.path.join(work, 'native-gif'))
            natives.append(wall)
            native_cpu.append(cpu)
        files = len(os.listdir(samples))
        print(f'open      {files} files, {count} pictures: {statistics.median(opens):.0f} ms in the page '
              f'(User Timing), {statistics.median(outsides):.0f} ms from outside')
        zip_ms, native_ms = statistics.median(zips), statistics.median(natives)
        print(f'zip-gif   page {zip_ms:.0f} ms, native qelvaconv -j 1 {native_ms:.0f} ms, '
              f'ratio {zip_ms / native_ms:.2f}')
        again_ms = statistics.median(agains)
        print(f'zip-gif   the second Download all on the same page {again_ms:.0f} ms, ratio {again_ms / native_ms:.2f}')
        print(f'zip-gif   the first Download all of the browser profile\'s first page {zips[0]:.0f} ms, '
              f'ratio {zips[0] / natives[0]:.2f} (native in that turn {natives[0]:.0f} ms)')
        unahead_ms = statistics.median(unaheads)
        print(f'zip-gif   the first Download all with nothing written ahead (?ahead=0) {unahead_ms:.0f} ms, '
              f'ratio {unahead_ms / native_ms:.2f}')
        later_ms = statistics.median(later)
        print(f'zip-gif   the same, the folder chosen {CHOICE_SECONDS:.0f} s after the page is loaded '
              f'{later_ms:.0f} ms, ratio {later_ms / native_ms:.2f}')
        done = [w for w in warmed if w]
        if done:
            print(f'zip-gif   warmed up before that choice on {len(done)} of {len(warmed)} pages: '
                  f'{statistics.median(len(w["rounds"]) for w in done):.0f} rounds, the first '
                  f'{statistics.median(w["rounds"][0] for w in done):.1f} ms, the last '
                  f'{statistics.median(w["rounds"][-1] for w in done):.1f} ms, the worker busy '
                  f'{statistics.median(w["busy"] for w in done):.0f} ms over '
                  f'{statistics.median(w["ms"] for w in done):.0f} ms (medians)')
        else:
            print(f'zip-gif   warmed up before that choice on 0 of {len(warmed)} pages')
        done = [a for a in aheads if a]
        if done:
            print(f'zip-gif   written ahead before the first Download all on {len(done)} of {len(aheads)} pages: '
                  f'{statistics.median(a["count"] for a in done):.0f} pictures, the worker busy '
                  f'{statistics.median(a["busy"] for a in done):.0f} ms over '
                  f'{statistics.median(a["ms"] for a in done):.0f} ms (medians)')
        line = spent_line(first_spent, again_spent)
        if line:
            print(f'zip-gif   inside the page, first / second (medians): {line}')
        zip_cpu_ms, native_cpu_ms = statistics.median(zip_cpu), statistics.median(native_cpu)
        again_cpu_ms = statistics.median(again_cpu)
        print(f'zip-gif   CPU time: Chromium\'s processes {zip_cpu_ms:.0f} ms the first time, {again_cpu_ms:.0f} ms '
              f'the second (the whole click, the download written included), qelvaconv {native_cpu_ms:.0f} ms, '
              f'ratios {zip_cpu_ms / native_cpu_ms:.2f} and {again_cpu_ms / native_cpu_ms:.2f}')
        print(f'transfer  {transfer_bytes(args.site) / 1024:.0f} KiB (gzip -9, every file of the site)')
        inside, outside, (first, handler, gap), count, _ = open_folder(browser, many)
        print(f'5000      {count} pictures: {inside:.0f} ms to the complete grid, choice task {first:.0f} ms '
              f'(of it the page\'s handler {handler:.0f} ms), longest task after it {gap:.0f} ms')
        inside, outside, (first, handler, gap), count, page = open_folder(browser, big)
        failures = page.failure_lines()
        print(f'100MB     {count} pictures: {inside:.0f} ms to the complete grid, choice task {first:.0f} ms '
              f'(of it the page\'s handler {handler:.0f} ms), longest task after it {gap:.0f} ms; failures: {failures}')
        print(f'machine   load average {os.getloadavg()[0]:.1f} at the end')
    finally:
        browser.close()


if __name__ == '__main__':
    main()
