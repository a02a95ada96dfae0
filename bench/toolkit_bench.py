#!/usr/bin/env python3
"""Times devidudi-script lint and print on a script of 100,000 lines against
`wc -l` on the same file, natively, and writes the figures into their own
section of bench/RESULTS.md (the Windows figures above it stay as they are).

Run by `make bench` and `make bench-toolkit`, or alone:
    python3 bench/toolkit_bench.py [path/to/devidudi-script]
Nothing here is a test: no timing is asserted anywhere."""

import datetime
import os
import re
import pathlib
import resource
import subprocess
import sys
import tempfile
import time

TOP = pathlib.Path(__file__).resolve().parent.parent
RESULTS = TOP / 'bench' / 'RESULTS.md'
TOOL = TOP / 'build' / 'linux' / 'src' / 'script_tool' / 'devidudi-script'
HEADING = '## devidudi-script (native Linux)'
BEGIN = '<!-- kept: devidudi-script lint and print, written by bench/toolkit_bench.py -->'
END = '<!-- end: devidudi-script lint and print -->'
LINES = 100_000
RUNS = 15
TARGET_RATIO = 25


def make_script(path):
    """A release's script as people write them: CR LF line ends, TABs,
    folders with spaces, one program started at the end; clean for lint."""
    with open(path, 'wb') as out:
        for i in range(LINES - 1):
            out.write(b'COP\tC:\\Updates\\PexaMenu 2.0\\lib\\file%06d.dll\t'
                      b'C:\\Program Files\\PexaMenu\\lib\\file%06d.dll\r\n' % (i, i))
        out.write(b'RUN "C:\\Program Files\\PexaMenu\\PexaMenu.exe" /updated\r\n')


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def best_of(command):
    """The shortest wall-clock time and the shortest processor time (user
    and system) of RUNS runs, output discarded. On a busy machine the
    processor time is the steadier of the two."""
    best_wall = best_cpu = float('inf')
    for _ in range(RUNS):
        start_cpu = cpu_seconds()
        start = time.perf_counter()
        finished = subprocess.run(command, stdout=subprocess.DEVNULL)
        best_wall = min(best_wall, time.perf_counter() - start)
        best_cpu = min(best_cpu, cpu_seconds() - start_cpu)
        if finished.returncode not in (0, 1):
            sys.exit('%s failed with exit code %d' % (command, finished.returncode))
    return best_wall, best_cpu


def section(size, figures):
    wc, lint, printed = figures
    rows = [
        BEGIN, HEADING, '',
        'Written by `make bench-toolkit` (bench/toolkit_bench.py) on %s UTC, load average %s: '
        'the best of %d runs of each command on the same script of %s lines '
        '(%.1f MiB, CR LF, TAB separators), output to /dev/null; wall-clock and processor '
        '(user + system) seconds, the latter counted by the kernel in steps of a few '
        'milliseconds.' % (
            datetime.datetime.utcnow().strftime('%Y-%m-%d %H:%M'),
            ' '.join('%.1f' % load for load in os.getloadavg()), RUNS,
            format(LINES, ','), size / 2**20),
        '',
        '| command | wall s | x `wc -l` | target | | processor s |',
        '|---|---:|---:|---:|---|---:|',
        '| `wc -l` | %.4f | 1.0 | | | %.3f |' % wc,
    ]
    for name, (seconds, cpu) in (('devidudi-script lint', lint), ('devidudi-script print', printed)):
        ratio = seconds / wc[0]
        rows.append('| `%s` | %.4f | %.1f | <= %d | %s | %.3f |' % (
            name, seconds, ratio, TARGET_RATIO, 'met' if ratio <= TARGET_RATIO else '**not met**', cpu))
    rows.append(END)
    return '\n'.join(rows) + '\n'


def write_section(text):
    # Between markers that bench/run.py keeps when it writes the file anew.
    old = RESULTS.read_text() if RESULTS.exists() else '# Benchmark results\n'
    old = re.sub(re.escape(BEGIN) + '.*?' + re.escape(END) + '\n?', '', old, flags=re.S)
    RESULTS.write_text(old.rstrip('\n') + '\n\n' + text)


def main():
    tool = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else TOOL
    if not tool.exists():
        sys.exit('%s not found: build it first (cmake --preset linux && cmake --build build/linux)'
                 % tool)
    with tempfile.TemporaryDirectory() as folder:
        script = os.path.join(folder, 'update.txt')
        make_script(script)
        figures = (best_of(['wc', '-l', script]),
                   best_of([str(tool), 'lint', script]),
                   best_of([str(tool), 'print', script]))
        text = section(os.path.getsize(script), figures)
    write_section(text)
    print(text)


if __name__ == '__main__':
    main()
