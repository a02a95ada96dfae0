#!/usr/bin/env python3
"""Times devidudi-script make --dry-run against diff -rq, natively.

    bench/make_speed.py [--runs N]

Lays out two trees of 20,000 files under build/bench/make (10 % of them
changed: half in size, half in their bytes alone), then runs each command N
times on them and keeps the best time of each; writes its section of
bench/RESULTS.md (between its markers, the rest untouched). Expects the native
build in build/linux (cmake --preset linux; make bench builds it). Nothing
here is a test and nothing fails on a figure.
"""

import argparse
import datetime
import os
import random
import re
import shutil
import subprocess
import time
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
WORK = TOP / 'build' / 'bench' / 'make'
TOOL = TOP / 'build' / 'linux' / 'src' / 'script_tool' / 'devidudi-script'
RESULTS = TOP / 'bench' / 'RESULTS.md'
BEGIN = '<!-- kept: devidudi-script make, written by bench/make_speed.py -->'
END = '<!-- end: devidudi-script make -->'

FILES = 20000
FOLDERS = 100
CHANGED_SHARE = 0.10
SIZES = (200, 16 * 1024)  # bytes, drawn evenly between
FILE_TIME = 1764500000    # one last-write time for every file of both trees
TARGET = 1.5


def lay_out():
    """The two trees: OLD, and NEW with every tenth file changed."""
    marker = WORK / f'laid-out-{FILES}-every-tenth'
    if marker.exists():
        return
    shutil.rmtree(WORK, ignore_errors=True)
    generator = random.Random(9)
    for index in range(FILES):
        relative = Path(f'folder{index % FOLDERS:03d}') / f'file{index:05d}.bin'
        contents = generator.randbytes(generator.randint(*SIZES))
        changed = contents
        if index % 10 == 0:
            # Alternately a new size, and the same size with one byte changed
            # at the end, the costliest difference to find.
            last = b'$' if contents.endswith(b'#') else b'#'
            changed = contents + b'+' if index % 20 == 0 else contents[:-1] + last
        for side, data in (('old', contents), ('new', changed)):
            path = WORK / side / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
            os.utime(path, (FILE_TIME, FILE_TIME))
    marker.touch()


def timed(command, expected_code):
    start = time.perf_counter()
    finished = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if finished.returncode != expected_code:
        raise SystemExit(f'{command[0]} ended with {finished.returncode}')
    return elapsed


def best_times(make, diff, runs):
    """The best of runs of each, taken in turns, so that a busy spell of the
    machine weighs on both alike."""
    make_times, diff_times = [], []
    for _ in range(runs):
        make_times.append(timed(make, 0))
        diff_times.append(timed(diff, 1))
    return min(make_times), min(diff_times)


def write_section(make_seconds, diff_seconds, runs):
    ratio = make_seconds / diff_seconds
    section = [
        BEGIN,
        '## devidudi-script make --dry-run',
        '',
        f'Natively, two trees of {FILES:,} files in {FOLDERS} folders ({SIZES[0]} B to '
        f'{SIZES[1] // 1024} KiB each), {CHANGED_SHARE:.0%} changed: half in size, half in one '
        f'byte at the end; the best of {runs} runs each, taken in turns, page cache warm. '
        f'{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC.',
        '',
        '| command | best, s |',
        '|---|---:|',
        f'| `devidudi-script make --dry-run` | {make_seconds:.3f} |',
        f'| `diff -rq OLD NEW` | {diff_seconds:.3f} |',
        '',
        f'make / diff = {ratio:.2f} (target <= {TARGET}: {"met" if ratio <= TARGET else "**not met**"}).',
        END,
    ]
    text = RESULTS.read_text() if RESULTS.exists() else '# Benchmark results\n'
    text = re.sub(re.escape(BEGIN) + '.*?' + re.escape(END) + '\n?', '', text, flags=re.S)
    RESULTS.write_text(text.rstrip('\n') + '\n\n' + '\n'.join(section) + '\n')
    return ratio


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--runs', type=int, default=7, help='runs per command (default 7)')
    options = parser.parse_args()
    if not TOOL.exists():
        raise SystemExit(f'{TOOL.relative_to(TOP)} is missing: cmake --preset linux && '
                         'cmake --build build/linux')
    print(f'laying out {FILES:,} files twice under {WORK.relative_to(TOP)} ...', flush=True)
    lay_out()
    old, new = str(WORK / 'old'), str(WORK / 'new')
    make = [str(TOOL), 'make', '--old', old, '--new', new, '--source-root', 'C:\\Update',
            '--target-root', 'C:\\App', '--dry-run']
    diff = ['diff', '-rq', old, new]
    # One run of each first, so that both find the page cache as warm.
    best_times(make, diff, 1)
    make_seconds, diff_seconds = best_times(make, diff, options.runs)
    ratio = write_section(make_seconds, diff_seconds, options.runs)
    print(f'make --dry-run {make_seconds:.3f} s, diff -rq {diff_seconds:.3f} s: {ratio:.2f}x '
          f'(target <= {TARGET}); wrote {RESULTS.relative_to(TOP)}')


if __name__ == '__main__':
    main()
