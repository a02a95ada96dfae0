#!/usr/bin/env python3
"""Runs the benchmark program under Wine and writes bench/RESULTS.md.

    bench/run.py [--runs N]   measure, keep the figures and write the results
    bench/run.py --report     write the results again from the figures kept

Expects the x64 and x86 builds in build/ and an X display (make bench runs it
under xvfb-run). Uses its own Wine prefix, build/bench/wineprefix, and lays
its files out under build/bench/. Every figure is the median of several runs;
nothing here is a test and nothing fails on a figure.
"""

import argparse
import datetime
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
BUILD = TOP / 'build'
WORK = BUILD / 'bench'
BIN = BUILD / 'x64' / 'bin'
RESULTS = TOP / 'bench' / 'RESULTS.md'
FINDINGS = TOP / 'bench' / 'findings.md'
FIGURES = WORK / 'figures.json'
KEPT = '<!-- kept: '  # where the sections of other scripts begin

MIB = 1024 * 1024
SMALL_SET = ('2,000 files of 16 KiB', 2000, 16 * 1024)
LARGE_SET = ('8 files of 64 MiB', 8, 64 * MIB)
# Files in the folder for the copy by folder size (1c).
FOLDER_SIZES = (100, 500, 2000)
SCALE_SIZES = (1000, 10000, 100000)
SCALE_FILE_BYTES = 4096
FILES_PER_FOLDER = 1000
SIZE_TARGET = 512 * 1024
OLD_TIME = 788918400  # 1995-01-01: a target that misses the source's times shows


def windows_path(path):
    return 'Z:' + str(path).replace('/', '\\')


def wine_environment():
    env = dict(os.environ)
    env.setdefault('WINEPREFIX', str(WORK / 'wineprefix'))
    env['WINEDEBUG'] = '-all'
    env['WINEDLLOVERRIDES'] = 'mscoree,mshtml='
    return env


ENV = wine_environment()


def bench(*arguments):
    """Runs devidudi_bench.exe and gives its figures: name -> list of values."""
    command = ['wine', str(BIN / 'devidudi_bench.exe'), *map(str, arguments)]
    done = subprocess.run(command, env=ENV, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True)
    figures = {}
    for line in done.stdout.splitlines():
        name, _, value = line.strip().partition(' ')
        if value:
            figures.setdefault(name, []).append(float(value))
    if done.returncode != 0:
        sys.exit(f'devidudi_bench {" ".join(map(str, arguments))} failed '
                 f'({done.returncode}): {done.stderr.strip()}')
    return figures


def start_wine():
    Path(ENV['WINEPREFIX']).mkdir(parents=True, exist_ok=True)
    subprocess.run(['wineserver', '-p'], env=ENV, check=True)
    # The prefix is made, whole, before anything is timed: wineboot returns
    # once it is. A throwaway program then boots it; Wine's background
    # programs keep the output of the first program started, so it gets
    # none of ours. (The first window on a new prefix still waits for the
    # desktop: the start-up measurement starts each program untimed first.)
    for command in (['wine', 'wineboot', '--init'], ['wine', 'cmd', '/c', 'exit']):
        subprocess.run(command, env=ENV, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop_wine():
    subprocess.run(['wineserver', '-k'], env=ENV)


def machine():
    model = next((line.split(':', 1)[1].strip() for line in open('/proc/cpuinfo')
                  if line.startswith('model name')), platform.processor())
    memory_kib = next(int(line.split()[1]) for line in open('/proc/meminfo')
                      if line.startswith('MemTotal'))
    wine = subprocess.run(['wine', '--version'], env=ENV, capture_output=True,
                          text=True).stdout.strip()
    return [('Processors (nproc)', str(os.cpu_count())), ('CPU', model),
            ('Memory', f'{memory_kib / MIB:.1f} GiB'), ('Wine', wine),
            ('Kernel', platform.release()),
            ('Date', datetime.datetime.now(datetime.timezone.utc).strftime('%Y-%m-%d %H:%M UTC'))]


# -- 1. Apply throughput -------------------------------------------------------

def time_cp(source, target, runs):
    """Native cp of every file, times kept, into a folder of its own."""
    target.mkdir(parents=True, exist_ok=True)
    files = sorted(str(path) for path in source.iterdir())
    seconds = []
    for _ in range(runs + 1):  # the first run only lays the targets out
        started = time.perf_counter()
        subprocess.run(['cp', '--preserve=timestamps', *files, str(target)], check=True)
        seconds.append(time.perf_counter() - started)
    return seconds[1:]


def lay_out_sources(folder, count, size):
    """Sources of different contents, last written long ago, on disk."""
    (folder / 'src').mkdir(parents=True)
    block = bytes(range(256)) * 4096
    for i in range(count):
        path = folder / 'src' / f'f{i:05d}.bin'
        with open(path, 'wb') as out:
            out.write(i.to_bytes(8, 'little'))
            for at in range(8, size, len(block)):
                out.write(block[:min(len(block), size - at)])
        os.utime(path, (OLD_TIME, OLD_TIME))
    os.sync()


def throughput(file_set, runs):
    label, count, size = file_set
    folder = WORK / f'throughput-{count}'
    shutil.rmtree(folder, ignore_errors=True)
    lay_out_sources(folder, count, size)
    figures = bench('throughput', windows_path(folder), count, runs)
    figures['d'] = time_cp(folder / 'src', folder / 'dst-cp', runs)
    shutil.rmtree(folder, ignore_errors=True)
    return figures


# -- 1b. Where a copy's time goes ------------------------------------------------

STEP_METHODS = [
    ('bare', '(b): CopyFileW over the target, then the times (source and target reopened)'),
    ('old', 'before: GetFullPathNameW, GetTempFileNameW (creates the file), CopyFileW into it, '
            'MoveFileExW with MOVEFILE_WRITE_THROUGH, the times on the target'),
    ('derived_wt', 'the name derived from the target, CopyFileW to it, MoveFileExW with '
                   'MOVEFILE_WRITE_THROUGH, the times on the target'),
    ('derived', 'the same without MOVEFILE_WRITE_THROUGH'),
    ('derived_times_first', 'the same, the times set on the temporary file before the rename'),
    ('posix_create', 'the temporary file created first with FILE_FLAG_POSIX_SEMANTICS, '
                     'then CopyFileW into it, MoveFileExW, the times'),
    ('nt_create', 'the temporary file created first by NtCreateFile without OBJ_CASE_INSENSITIVE '
                  '(a case-sensitive lookup), then CopyFileW into it, MoveFileExW; no times'),
    ('rename_by_handle', 'CopyFileW to the derived name, the temporary file opened once: the '
                         'times and the rename through that handle'),
    ('own_copy', 'the copy made by the program, step by step: the source opened once, the '
                 'temporary file created, the bytes, the times and the rename through the handles'),
    ('whole', "(b'): ReplaceWithCopy, the program's copy, as the runner calls it"),
    ('look_up_missing', 'GetFileAttributesW of a name the folder does not hold'),
]


def copy_steps(file_set, runs, ways=None):
    label, count, size = file_set
    folder = WORK / f'steps-{count}'
    shutil.rmtree(folder, ignore_errors=True)
    lay_out_sources(folder, count, size)
    figures = bench('copysteps', windows_path(folder), count, runs, *([ways] if ways else []))
    shutil.rmtree(folder, ignore_errors=True)
    return figures


def copy_by_folder_size(runs):
    """The bare loop, the program's copy and a missing name's lookup, by folder size."""
    return {str(count): copy_steps(('', count, SMALL_SET[2]), runs,
                                   'bare,whole,look_up_missing')
            for count in FOLDER_SIZES}


def folder_size_section(by_size):
    out = ['## 1c. The copy by folder size', '',
           f'Files of {SMALL_SET[2] // 1024} KiB, each way into a folder of its own of as many '
           'files, ways in turn, medians per file (bench/copy_steps.cpp). Under Wine a lookup of '
           'a name the folder does not hold, as the creation of the temporary file makes, reads '
           'the whole folder, and its cost grows with the folder. The copies themselves scatter '
           'with the disk\'s write-back in the smaller folders (runs minutes apart differ by a '
           'factor of two or more); read the lookup column against the folder size.',
           '', "| files in the folder | runs | (b) bare ms | (b') whole ms | b' / b | "
           'missing name looked up, ms |', '|---:|---:|---:|---:|---:|---:|']
    for count, f in sorted(by_size.items(), key=lambda item: int(item[0])):
        count = int(count)
        bare, whole, missing = (1000 * median(f[way + '.total']) / count
                                for way in ('bare', 'whole', 'look_up_missing'))
        out.append(f'| {count:,} | {len(f["bare.total"])} | {bare:.3f} | {whole:.3f} | '
                   f'{whole / bare:.3f} | {missing:.3f} |')
    return out + ['']


def copy_steps_section(figures, label):
    runs = len(figures['bare.total'])
    out = ['## 1b. Where a copy\'s time goes', '',
           f'{label}, each copied over an existing target of its own by every way in turn, file '
           f'by file (a spell of load slows every way alike), each way into a folder of its own '
           f'of as many files; the seconds each system call took, summed over the files, median '
           f'of {runs} runs (bench/copy_steps.cpp).', '',
           '| way | what it does | total s | steps, s |', '|---|---|---:|---|']
    for method, what in STEP_METHODS:
        steps = [(key.split('.', 1)[1], median(values)) for key, values in figures.items()
                 if key.startswith(method + '.') and not key.endswith('.total')]
        listed = ', '.join(f'{step} {seconds:.3f}' for step, seconds in steps)
        out.append(f'| {method} | {what} | {median(figures[method + ".total"]):.3f} | {listed} |')
    return out + ['']


# -- 2. Scaling ----------------------------------------------------------------

def lay_out_scale_files(count):
    """count small sources and as many existing targets, 1,000 a folder."""
    folder = WORK / 'scale'
    shutil.rmtree(folder, ignore_errors=True)
    sources, targets = [], []
    for i in range(count):
        sub = f'd{i // FILES_PER_FOLDER:03d}'
        for side, paths in (('s', sources), ('t', targets)):
            path = folder / side / sub / f'f{i:06d}.bin'
            if i % FILES_PER_FOLDER == 0:
                path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(i.to_bytes(4, 'little') * (SCALE_FILE_BYTES // 4))
            paths.append(path)
    for size in SCALE_SIZES:
        lines = ''.join(f'COP {windows_path(s)}\t{windows_path(t)}\r\n'
                        for s, t in zip(sources[:size], targets[:size]))
        (folder / f'update-{size}.txt').write_bytes(lines.encode('ascii'))
    os.sync()
    return folder


def scaling(runs):
    folder = lay_out_scale_files(max(SCALE_SIZES))
    results = {}
    for size in SCALE_SIZES:
        figures = {}
        # A new process per run and size: its peak working set is its own.
        for _ in range(runs if size < 100000 else max(3, runs // 2)):
            for name, values in bench('scale', windows_path(folder / f'update-{size}.txt')).items():
                figures.setdefault(name, []).extend(values)
        results[size] = figures
    shutil.rmtree(folder, ignore_errors=True)
    return results


# -- 3. Start-up and size ------------------------------------------------------

def startup(runs):
    folder = WORK / 'startup'
    folder.mkdir(parents=True, exist_ok=True)
    script = folder / 'update.txt'
    script.write_bytes(b'')
    return bench('startup', windows_path(BIN / 'devidudi.exe'), windows_path(BIN / 'empty_window.exe'),
                 windows_path(script), runs)


def sizes():
    rows = []
    folder = WORK / 'size'
    folder.mkdir(parents=True, exist_ok=True)
    for architecture, triplet in (('x64', 'x86_64-w64-mingw32'), ('x86', 'i686-w64-mingw32')):
        built = BUILD / architecture / 'bin' / 'devidudi.exe'
        stripped = folder / f'devidudi-{architecture}.exe'
        subprocess.run([f'{triplet}-strip', '-o', str(stripped), str(built)], check=True)
        dump = subprocess.run([f'{triplet}-objdump', '-p', str(stripped)], capture_output=True,
                              text=True, check=True).stdout
        dlls = [line.split(':', 1)[1].strip() for line in dump.splitlines()
                if line.strip().startswith('DLL Name:')]
        rows.append((architecture, built.stat().st_size, stripped.stat().st_size, dlls))
    return rows


# -- The report ----------------------------------------------------------------

def median(values):
    return statistics.median(values)


def verdict(ok):
    return 'met' if ok else '**not met**'


def throughput_table(label, count, size, figures):
    total_mib = count * size / MIB
    names = [('a', 'RunCommands with the live window'), ('b', 'bare CopyFileW + file times'),
             ("b'", 'bare whole-or-nothing copy: temporary file, flush, rename, file times'),
             ('n', "(b') without the flush of each file's data before its rename"),
             ('u', 'the display updates alone'),
             ('h', '(a) with the window hidden: the same sends, nothing repainted'),
             ('c', 'Wine xcopy /Y /Q /K /R /H'), ('d', 'native cp --preserve=timestamps')]
    floor = median(figures['d'])
    lines = [f'#### {label} ({total_mib:.0f} MiB, {len(figures["a"])} runs)', '',
             '| | method | median s | files/s | MiB/s | x (d) |', '|---|---|---:|---:|---:|---:|']
    for key, name in names:
        seconds = median(figures[key])
        mib = f'{total_mib / seconds:,.1f}' if key != 'u' else '-'
        lines.append(f'| ({key}) | {name} | {seconds:.4f} | {count / seconds:,.0f} | {mib} | '
                     f'{seconds / floor:.2f} |')
    counted = ', '.join(f'{name} {int(figures["updates." + name][0])}'
                        for name in ('status', 'percent', 'bar', 'title'))
    a, b, u, h, c = (figures[k] for k in 'abuhc')
    w = figures["b'"]
    runs = range(len(a))
    paired = median([(a[i] - w[i]) / u[i] for i in runs])
    paired_ratio = median([a[i] / w[i] for i in runs])
    paired_copy = median([w[i] / b[i] for i in runs])
    paired_xcopy = median([a[i] / c[i] for i in runs])
    flush_ms = (median(figures["b'"]) - median(figures['n'])) / count * 1000
    lines += ['', f'The flush before each rename (b\' - n) costs {flush_ms:.3f} ms a file; '
              f'n / b is {median(figures["n"]) / median(figures["b"]):.3f}.']
    lines += ['', f'Updates sent by one run of (u): {counted}. '
              f'Taken run by run, (a - b\') / u has the median {paired:.3f}, a / b\' '
              f'{paired_ratio:.3f}, b\' / b {paired_copy:.3f} and a / c {paired_xcopy:.3f}. '
              f'Of the medians\' a - b\', {median(h) - median(w):.3f} s is the runner with its '
              f'sends (h - b\') and {median(a) - median(h):.3f} s the repainting of the controls '
              f'(a - h).', '']
    return lines


def write_results(info, small, large, scale, start, size_rows, steps, by_size):
    a, b, u, c = (median(small[k]) for k in 'abuc')
    w = median(small["b'"])
    small_excess = (a - w) / u
    small_copy = median(small['n']) / b
    small_xcopy = a / c
    large_ratio = median(large['a']) / median(large["b'"])
    large_copy = median(large['n']) / median(large['b'])
    out = ['# Benchmark results', '',
           'Written by `make bench` (bench/run.py); every figure is the median of the runs '
           'given. Times are wall-clock seconds under Wine and Xvfb.', '',
           '## Machine', '', '| | |', '|---|---|']
    out += [f'| {k} | {v} |' for k, v in info]
    out += ['', '## Targets', '', '| figure | value | target | |', '|---|---:|---:|---|',
            f'| small files: (a - b\') / u | {small_excess:.3f} | <= 1.05 | {verdict(small_excess <= 1.05)} |',
            f'| small files: n / b | {small_copy:.3f} | <= 1.25 | {verdict(small_copy <= 1.25)} |',
            f'| small files: a / c | {small_xcopy:.3f} | <= 1.6 | {verdict(small_xcopy <= 1.6)} |',
            f'| large files: n / b | {large_copy:.3f} | <= 1.03 | {verdict(large_copy <= 1.03)} |',
            f'| large files: a / b\' | {large_ratio:.3f} | <= 1.02 | {verdict(large_ratio <= 1.02)} |']
    for step in ('load', 'checks', 'run'):
        for low, high in zip(SCALE_SIZES, SCALE_SIZES[1:]):
            growth = median(scale[high][step]) / median(scale[low][step])
            out.append(f'| {step}: {high:,} / {low:,} lines | {growth:.2f} | <= 11 | '
                       f'{verdict(growth <= 11)} |')
    peak = median(scale[SCALE_SIZES[-1]]['peak_working_set_mib'])
    out.append(f'| peak working set, {SCALE_SIZES[-1]:,} lines | {peak:.1f} MiB | < 64 MiB | '
               f'{verdict(peak < 64)} |')
    startup_ratio = median(start['startup.devidudi']) / median(start['startup.empty'])
    out.append(f'| start-up: devidudi / empty window | {startup_ratio:.3f} | <= 1.10 | '
               f'{verdict(startup_ratio <= 1.10)} |')
    for architecture, _, stripped, dlls in size_rows:
        out.append(f'| stripped devidudi.exe, {architecture} | {stripped / 1024:.1f} KiB | '
                   f'<= {SIZE_TARGET // 1024} KiB | {verdict(stripped <= SIZE_TARGET)} |')

    out += ['', '## 1. Apply throughput', '',
            'The same files, applied over existing targets by each method in turn within '
            'each run; (d) runs natively after the Windows methods. Targets were checked '
            'after every run of (a), (b), (b\'), (c) and (h) for their source\'s size and '
            'last-write time.', '']
    out += throughput_table(SMALL_SET[0], SMALL_SET[1], SMALL_SET[2], small)
    out += throughput_table(LARGE_SET[0], LARGE_SET[1], LARGE_SET[2], large)
    if steps:
        out += copy_steps_section(steps, SMALL_SET[0])
    if by_size:
        out += folder_size_section(by_size)

    out += ['## 2. Scaling', '',
            f'Copy lines over files of {SCALE_FILE_BYTES // 1024} KiB, {FILES_PER_FOLDER:,} to a '
            'folder, every target existing; one process per run, which loads the script '
            '(folder probe included), runs the three checks once and runs the commands with '
            'the live window. "Before" is the working set with the window up and nothing '
            'loaded.', '',
            '| lines | runs | load s | checks s (busy + missing + blocked) | run s | '
            'run per command ms | before MiB | peak MiB | peak less before, per command and list |',
            '|---:|---:|---:|---:|---:|---:|---:|---:|---:|']
    for size in SCALE_SIZES:
        f = scale[size]
        parts = ' + '.join(f'{median(f["checks." + c]):.3f}' for c in ('busy', 'missing', 'blocked'))
        grown = (median(f['peak_working_set_mib']) - median(f['working_set_before_mib'])) * MIB
        out.append(f'| {size:,} | {len(f["run"])} | {median(f["load"]):.4f} | '
                   f'{median(f["checks"]):.3f} ({parts}) | {median(f["run"]):.2f} | '
                   f'{1000 * median(f["run"]) / size:.3f} | '
                   f'{median(f["working_set_before_mib"]):.1f} | '
                   f'{median(f["peak_working_set_mib"]):.1f} | {grown / size / 2:.0f} B |')

    out += ['', '## 3. Start-up and size', '',
            'From CreateProcessW until a visible window of the program\'s class (polled every '
            'millisecond), and until the program first waits for input with its window shown '
            f'and painted (WaitForInputIdle); the two programs started in turn, '
            f'{len(start["startup.empty"])} times each after two untimed starts.', '',
            '| program | shown: median s | min s | max s | ready: median s |',
            '|---|---:|---:|---:|---:|']
    for key, name in (('empty', 'empty window (bench/empty_window.cpp)'),
                      ('devidudi', 'devidudi.exe')):
        values = start['startup.' + key]
        out.append(f'| {name} | {median(values):.4f} | {min(values):.4f} | {max(values):.4f} | '
                   f'{median(start["ready." + key]):.4f} |')
    ready_ratio = median(start['ready.devidudi']) / median(start['ready.empty'])
    out += ['', f'Ready: devidudi / empty window = {ready_ratio:.3f}.']
    out += ['', '| build | as built | stripped | imports (objdump -p) |', '|---|---:|---:|---|']
    for architecture, built, stripped, dlls in size_rows:
        out.append(f'| {architecture} | {built:,} B | {stripped:,} B ({stripped / 1024:.1f} KiB) | '
                   f'{", ".join(dlls)} |')
    out.append('')
    if FINDINGS.exists():
        out += ['', FINDINGS.read_text().rstrip(), '']
    # Sections other scripts write (bench/make_speed.py) stay as they are.
    if RESULTS.exists():
        text = RESULTS.read_text()
        if KEPT in text:
            out += ['', text[text.index(KEPT):].rstrip('\n'), '']
    RESULTS.write_text('\n'.join(out))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--runs', type=int, default=7, help='runs per figure (default 7)')
    parser.add_argument('--report', action='store_true',
                        help=f'only write the results again from {FIGURES.relative_to(TOP)}')
    options = parser.parse_args()
    if not options.report:
        WORK.mkdir(parents=True, exist_ok=True)
        figures = {'machine': machine()}
        start_wine()
        try:
            print('start-up and size ...', flush=True)
            figures['startup'] = startup(max(31, options.runs))
            figures['sizes'] = sizes()
            print('apply throughput, small files ...', flush=True)
            # The small files' figures scatter most: more runs.
            figures['small'] = throughput(SMALL_SET, max(11, options.runs))
            # Before the large files, whose 512 MiB would still be written back.
            print('copy steps, small files ...', flush=True)
            figures['steps'] = copy_steps(SMALL_SET, 3)
            print('the copy by folder size ...', flush=True)
            figures['by_folder_size'] = copy_by_folder_size(5)
            print('apply throughput, large files ...', flush=True)
            figures['large'] = throughput(LARGE_SET, options.runs)
            print('scaling ...', flush=True)
            figures['scale'] = {str(size): values for size, values in scaling(options.runs).items()}
        finally:
            stop_wine()
        FIGURES.write_text(json.dumps(figures, indent=1))
    figures = json.loads(FIGURES.read_text())
    write_results(figures['machine'], figures['small'], figures['large'],
                  {int(size): values for size, values in figures['scale'].items()},
                  figures['startup'], figures['sizes'], figures.get('steps'),
                  figures.get('by_folder_size'))
    print(f'wrote {RESULTS.relative_to(TOP)}')
    print(RESULTS.read_text())


if __name__ == '__main__':
    main()
