#!/usr/bin/env python3
"""Times `devidudi-script verify` natively and records it in bench/RESULTS.md.

    bench/verify_speed.py [--runs N] [--files N]

Lays out two trees under build/bench/verify: OLD with 20,000 files, and NEW,
the same with 10 % of them changed or added; writes the correct script for
them; then times, run by run, `devidudi-script verify` against the same work
done by standard tools: `cp -a OLD` plus `diff -rq` of that copy with NEW.
Needs the native build (build/linux). Writes its own section of RESULTS.md
and keeps the rest. Nothing here is a test and nothing fails on a figure.
"""

import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
TOOL = TOP / 'build' / 'linux' / 'src' / 'script_tool' / 'devidudi-script'
WORK = TOP / 'build' / 'bench' / 'verify'
RESULTS = TOP / 'bench' / 'RESULTS.md'
HEADING = '## devidudi-script verify'
BEGIN = '<!-- kept: devidudi-script verify, written by bench/verify_speed.py -->'
END = '<!-- end: devidudi-script verify -->'

FILES_PER_FOLDER = 500
CHANGED_SHARE = 0.10
ADDED_SHARE_OF_CHANGED = 0.25  # the rest of the changed files are modified
OLD_TIME = 788918400  # 1995-01-01
NEW_TIME = 1104537600  # 2005-01-01
SOURCE_ROOT = 'C:\\Stage\\PexaMenu-2.0'
TARGET_ROOT = 'C:\\Program Files\\PexaMenu'
TARGET_RATIO = 3.0


def relative_paths(count):
    return [f'dir{i // FILES_PER_FOLDER:03d}/file{i:05d}.dat' for i in range(count)]


def write(path, data, stamp):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    os.utime(path, (stamp, stamp))


def lay_out(count):
    """OLD, NEW and the script that turns one into the other."""
    shutil.rmtree(WORK, ignore_errors=True)
    old, new = WORK / 'old', WORK / 'new'
    rng = random.Random(20261207)
    paths = relative_paths(count)
    changed = set(rng.sample(range(count), int(count * CHANGED_SHARE)))
    added = set(rng.sample(sorted(changed), int(len(changed) * ADDED_SHARE_OF_CHANGED)))
    script = []
    for i, rel in enumerate(paths):
        size = rng.randrange(1024, 16 * 1024)
        data = rng.randbytes(size)
        if i not in added:
            write(old / rel, data, OLD_TIME)
        if i in changed:
            data = data[:-8] + rng.randbytes(8)
            windows = rel.replace('/', '\\')
            script.append(f'COP {SOURCE_ROOT}\\{windows}\t{TARGET_ROOT}\\{windows}')
        write(new / rel, data, NEW_TIME if i in changed else OLD_TIME)
    script.append(f'RUN "{TARGET_ROOT}\\PexaMenu.exe"')
    (WORK / 'upd.txt').write_bytes(('\r\n'.join(script) + '\r\n').encode('latin-1'))
    os.sync()
    return old, new, len(changed) - len(added), len(added)


def timed(command, expected_codes):
    started = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - started
    if done.returncode not in expected_codes:
        sys.exit(f'{command[0]} failed ({done.returncode}): {done.stderr.decode()[-500:]}')
    return seconds


def run_verify(old, new):
    return timed([str(TOOL), 'verify', '--old', str(old), '--new', str(new),
                  '--source-root', SOURCE_ROOT, '--target-root', TARGET_ROOT,
                  str(WORK / 'upd.txt')], (0,))


def run_standard_tools(old, new):
    copy = WORK / 'copy'
    shutil.rmtree(copy, ignore_errors=True)
    seconds = timed(['cp', '-a', str(old), str(copy)], (0,))
    # diff finds the 10 % that differ: exit code 1.
    seconds += timed(['diff', '-rq', str(copy), str(new)], (1,))
    shutil.rmtree(copy)
    return seconds


def write_section(lines):
    # Between markers that bench/run.py keeps when it writes the file anew.
    text = RESULTS.read_text() if RESULTS.exists() else '# Benchmark results\n'
    text = re.sub(re.escape(BEGIN) + '.*?' + re.escape(END) + '\n?', '', text, flags=re.S)
    section = [BEGIN, HEADING, ''] + lines + [END]
    RESULTS.write_text(text.rstrip('\n') + '\n\n' + '\n'.join(section) + '\n')


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--files', type=int, default=20000)
    args = parser.parse_args()
    if not TOOL.exists():
        sys.exit(f'{TOOL} not found: build the native toolkit first (cmake --preset linux)')

    old, new, modified, added = lay_out(args.files)
    run_verify(old, new)  # warms the page cache for both
    verify, standard = [], []
    for _ in range(args.runs):
        verify.append(run_verify(old, new))
        standard.append(run_standard_tools(old, new))
    ratios = [v / s for v, s in zip(verify, standard)]
    median_v, median_s = statistics.median(verify), statistics.median(standard)
    ratio = median_v / median_s
    met = 'met' if ratio <= TARGET_RATIO else '**not met**'
    size = sum(f.stat().st_size for f in old.rglob('*') if f.is_file())
    lines = [
        f'Natively, with the page cache warm: OLD of {args.files:,} files in folders of '
        f'{FILES_PER_FOLDER} ({size / 2**20:.0f} MiB), NEW with {modified:,} of them changed '
        f'and {added:,} added, and the correct script for them ({modified + added:,} COP '
        f'lines and one RUN). Median of {args.runs} runs, wall-clock seconds.',
        '',
        '| | method | median s |',
        '|---|---|---:|',
        f'| (v) | devidudi-script verify: copy OLD, apply, compare with NEW, remove the copy '
        f'| {median_v:.3f} |',
        f'| (s) | cp -a OLD, then diff -rq of the copy with NEW | {median_s:.3f} |',
        '',
        '| figure | value | target | |',
        '|---|---:|---:|---|',
        f'| v / s | {ratio:.2f} | <= {TARGET_RATIO:g} | {met} |',
        '',
        f'Taken run by run, v / s ranges from {min(ratios):.2f} to {max(ratios):.2f}. '
        f'Machine: {os.cpu_count()} processors; written by bench/verify_speed.py on '
        f'{time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())}.',
    ]
    write_section(lines)
    shutil.rmtree(WORK, ignore_errors=True)
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
