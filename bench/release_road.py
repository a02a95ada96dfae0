#!/usr/bin/env python3
"""The release road on a tree shaped like real build output, timed step by step.

    bench/release_road.py [--files N] [--native-only]

Lays out under build/bench/road an installed version (OLD, N files in
folders of 500, names with blanks and accents) and a new one (NEW): a tenth
of the files rebuilt with other bytes, some rebuilt with equal bytes and a
new time, a few added, and two folders only NEW has (plugins/ and
locale/de/). Then walks the road a release engineer walks, from the README:

  1. devidudi-script make without --new-folders (it must refuse, naming the flag),
  2. make --new-folders -o update.txt (the script, with the plan),
     then the same with --bundle and --sign (the files it copies, the script
     and their signed MANIFEST), timed beside sha256sum over those files and
     cp of them; the release's source root is the bundle's payload folder,
     where the application checks and applies it,
  3. lint update.txt,
  4. verify --new-folders, and verify --bundle --public-key (the bundle
     alone gives NEW),
  5. under Wine: a copy of the bundle with one payload byte changed, which
     the application's part must refuse (exit 4) without touching the
     installed folder; the library's VerifyUpdate timed beside sha256sum of
     the payload, and CNG's SHA-256 alone; then the application's part
     (examples/start_update: VerifyUpdate, CreateTargetFolders, then
     LaunchUpdater) on the bundle and the real devidudi.exe,
  6. the installed folder compared with NEW, bytes and last-write times, and
     the bundle's script deleted by the updater.

Needs the native toolkit (build/linux), the x64 programs (build/x64) and
the openssl command, which makes a throwaway key pair for the run;
--native-only stops after verify and needs the toolkit and openssl alone.
Prints each step's time; exits 1 when a step does not do what it must.
Nothing here is a test: it is the road tried at full size.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import time
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
TOOL = TOP / 'build' / 'linux' / 'src' / 'script_tool' / 'devidudi-script'
BIN = TOP / 'build' / 'x64' / 'bin'
WORK = TOP / 'build' / 'bench' / 'road'
FILES_PER_FOLDER = 500
OLD_TIME = 1741944600  # 2025-03-14 09:30
NEW_TIME = 1764521100  # 2025-11-30 16:45
FOLDER_NAMES = ['bin', 'data', 'Menüs', 'help files', 'themes']
NEW_FOLDER_FILES = ['plugins/export.dll', 'plugins/import.dll',
                    'locale/de/menü.txt', 'locale/de/hilfe datei.txt']


def windows_path(path):
    return 'Z:' + str(path).replace('/', '\\')


def write(path, data, stamp):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    os.utime(path, (stamp, stamp))


def lay_out(count):
    shutil.rmtree(WORK, ignore_errors=True)
    old, new = WORK / 'OLD', WORK / 'PexaMenu 2.0 update'
    rng = random.Random(20261208)
    paths = []
    for i in range(count):
        folder = FOLDER_NAMES[(i // FILES_PER_FOLDER) % len(FOLDER_NAMES)]
        name = f'{folder}/part {i // FILES_PER_FOLDER:02d}/file {i:05d}' + ('é' if i % 97 == 0 else '')
        paths.append(name + '.dat')
    changed = set(rng.sample(range(count), count // 10))
    same_bytes = set(rng.sample(sorted(set(range(count)) - changed), 20))
    for i, relative in enumerate(paths):
        data = f'{relative} version 1.0\n'.encode() * (1 + i % 7)
        write(old / relative, data, OLD_TIME)
        if i in changed:
            data = f'{relative} version 2.0\n'.encode() * (1 + i % 7)
        write(new / relative, data, NEW_TIME if (i in changed or i in same_bytes) else OLD_TIME)
    # The program the script starts at the end: rebuilt, as every release.
    write(old / 'bin' / 'PexaMenu.exe', b'MZ PexaMenu 1.0', OLD_TIME)
    write(new / 'bin' / 'PexaMenu.exe', b'MZ PexaMenu 2.0', NEW_TIME)
    for relative in NEW_FOLDER_FILES:
        write(new / relative, f'{relative} new in 2.0\n'.encode(), NEW_TIME)
    installed = WORK / 'Program Files' / 'PexaMenu'
    installed.parent.mkdir(parents=True)
    shutil.copytree(old, installed, copy_function=shutil.copy2)
    return old, new, installed, len(changed), {Path(paths[i]) for i in same_bytes}


def tree_size(folder):
    sizes = [path.stat().st_size for path in Path(folder).rglob('*') if path.is_file()]
    return len(sizes), sum(sizes)


def median_seconds(command, rounds=5, **options):
    """A native tool's median time over rounds runs, page cache warm."""
    times = []
    for _ in range(rounds):
        started = time.monotonic()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **options)
        times.append(time.monotonic() - started)
    return sorted(times)[len(times) // 2]


def step(name, command, expect_codes=(0,), **options):
    started = time.monotonic()
    result = subprocess.run(command, capture_output=True, text=True, errors='replace', **options)
    seconds = time.monotonic() - started
    print(f'{name}: {seconds:.2f} s, exit {result.returncode}')
    if result.returncode not in expect_codes:
        print(result.stdout[-3000:], result.stderr[-3000:], sep='\n', file=sys.stderr)
        sys.exit(f'release road: {name} ended with {result.returncode}')
    return result, seconds


def bundle_beside_baseline(folders, roots, run_line, new, script, key, bundle, rounds=5):
    """make --bundle timed beside what it does by other tools: sha256sum over
    the files it copies, and cp of them (times kept) into a fresh folder.
    The three are run in turn, rounds times, and each one's median taken: on
    a shared machine one run says little."""
    copies = WORK / 'baseline-copy'
    command = [str(TOOL), 'make', '--new-folders', *folders, *roots, *run_line, '--quiet',
               '-o', str(script), '--bundle', str(bundle), '--sign', str(key)]
    alone = [str(TOOL), 'make', '--new-folders', *folders, *roots, *run_line, '--quiet',
             '--dry-run']
    times = {'bundle': [], 'alone': [], 'sha256sum': [], 'cp': []}

    def timed(name, *arguments, **options):
        started = time.monotonic()
        subprocess.run(*arguments, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, **options)
        times[name].append(time.monotonic() - started)

    listing = b''
    for _ in range(rounds):
        shutil.rmtree(bundle, ignore_errors=True)
        shutil.rmtree(copies, ignore_errors=True)
        copies.mkdir()
        timed('bundle', command)
        timed('alone', alone)
        if not listing:
            payload = sorted(str(path.relative_to(bundle / 'payload'))
                             for path in (bundle / 'payload').rglob('*') if path.is_file())
            listing = ('\0'.join(payload) + '\0').encode()
        timed('sha256sum', ['xargs', '-0', 'sha256sum'], input=listing, cwd=new)
        timed('cp', ['xargs', '-0', 'cp', '-p', '--parents', '-t', str(copies)],
              input=listing, cwd=new)
    shutil.rmtree(copies, ignore_errors=True)
    median = {name: sorted(values)[len(values) // 2] for name, values in times.items()}
    added = median['bundle'] - median['alone']
    baseline = median['sha256sum'] + median['cp']
    print(f'make --new-folders --bundle --sign: {median["bundle"]:.2f} s (median of {rounds}), '
          f'without --bundle {median["alone"]:.2f} s: the bundle of {listing.count(0)} files '
          f'adds {added:.2f} s; sha256sum {median["sha256sum"]:.2f} s + cp {median["cp"]:.2f} s '
          f'= {baseline:.2f} s ({added / baseline:.2f} times that; target <= 1.3)')
    return listing


def compare(installed, new):
    """Differences between the installed folder and NEW, as (path, what)."""
    differences = []
    for folder, _, files in os.walk(new):
        for name in files:
            expected = Path(folder) / name
            relative = expected.relative_to(new)
            actual = installed / relative
            if not actual.is_file():
                differences.append((relative, 'missing'))
            elif actual.read_bytes() != expected.read_bytes():
                differences.append((relative, 'bytes'))
            elif int(actual.stat().st_mtime) != int(expected.stat().st_mtime):
                differences.append((relative, 'time'))
    return differences


def make_key_pair():
    """A P-256 key pair for this run alone: the release's key is never needed
    to walk the road."""
    key, public = WORK / 'key.pem', WORK / 'public.pem'
    step('openssl key pair', ['openssl', 'ecparam', '-name', 'prime256v1', '-genkey', '-noout',
                              '-out', str(key)])
    step('openssl public key', ['openssl', 'pkey', '-in', str(key), '-pubout', '-out', str(public)])
    return key, public


def print_sizes(new, bundle):
    for name, folder in (('NEW', new), ('payload', bundle / 'payload'),
                         ('bundle (payload, script, MANIFEST, MANIFEST.sig)', bundle)):
        files, size = tree_size(folder)
        print(f'  {name}: {files} files, {size:,} bytes')


def refuse_damaged_copy(bundle, public, installed, old, start_update):
    """A copy of the bundle with one payload byte changed: the application's
    part must refuse it (exit 4) before the installed folder is touched."""
    damaged = WORK / 'bundle-damaged'
    shutil.rmtree(damaged, ignore_errors=True)
    shutil.copytree(bundle, damaged, copy_function=shutil.copy2)
    victim = min(path for path in (damaged / 'payload').rglob('*')
                 if path.is_file() and (old / path.relative_to(damaged / 'payload')).exists())
    data = bytearray(victim.read_bytes())
    data[0] ^= 0x01
    victim.write_bytes(bytes(data))
    refused, _ = start_update('start_update on the damaged copy (refused)', damaged,
                              expect_codes=(4,))
    relative = victim.relative_to(damaged / 'payload')
    untouched = ((installed / relative).read_bytes() == (old / relative).read_bytes() and
                 int((installed / relative).stat().st_mtime) == OLD_TIME)
    print(f'  {refused.stderr.strip()}\n  installed {relative}: '
          f'{"untouched" if untouched else "CHANGED"}')
    shutil.rmtree(damaged)
    if 'SHA-256' not in refused.stderr or not untouched:
        sys.exit('release road: the damaged bundle was not refused for its hash, '
                 'or the installed folder was touched')


def time_verify_update(bench, bundle, public, listing):
    """VerifyUpdate under Wine beside sha256sum of the payload natively, and
    CNG's SHA-256 alone beside sha256sum over the same number of MiB: where
    the check is slow, whether Wine's hashing is the cause."""
    mebibytes, runs = 64, 5
    checked, _ = bench('devidudi_bench verifyupdate', 'verifyupdate', windows_path(bundle),
                       windows_path(public), runs)
    hashed, _ = bench('devidudi_bench bcrypthash', 'bcrypthash', mebibytes, runs)
    read, _ = bench('devidudi_bench readbundle', 'readbundle', windows_path(bundle), runs)
    figures = {}
    for line in (checked.stdout + hashed.stdout + read.stdout).splitlines():
        name, _, value = line.partition(' ')
        figures[name] = value
    verify_seconds = float(figures['verifyupdate.median'])
    payload_seconds = median_seconds(['xargs', '-0', 'sha256sum'], input=listing,
                                     cwd=bundle / 'payload')
    block = WORK / 'hash-block.bin'
    block.write_bytes(b'x' * (mebibytes << 20))
    native_rate = mebibytes / median_seconds(['sha256sum', str(block)])
    block.unlink()
    print(f'VerifyUpdate under Wine: {verify_seconds:.3f} s (median of {runs}), verdict '
          f'{figures["verdict"]}; sha256sum of the payload\'s {listing.count(0)} files '
          f'{payload_seconds:.3f} s ({verify_seconds / payload_seconds:.1f} times that; target <= 3)')
    print(f'CNG SHA-256 under Wine: {float(figures["bcrypthash.mib_per_s"]):.0f} MiB/s over '
          f'{mebibytes} MiB; sha256sum natively {native_rate:.0f} MiB/s')
    read_seconds = float(figures['readbundle.median'])
    print(f'opening and reading the bundle\'s {figures["readbundle.files"]} files under Wine, '
          f'nothing hashed: {read_seconds:.3f} s; VerifyUpdate is '
          f'{verify_seconds / read_seconds:.1f} times that')


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--files', type=int, default=20000)
    parser.add_argument('--native-only', action='store_true',
                        help='stop after verify: no Wine, no x64 programs')
    arguments = parser.parse_args()
    needs = (TOOL,) if arguments.native_only else (TOOL, BIN / 'devidudi.exe',
                                                    BIN / 'start_update.exe',
                                                    BIN / 'devidudi_bench.exe')
    for needed in needs:
        if not needed.exists():
            sys.exit(f'release road: {needed} is missing: build linux and x64 first')

    started = time.monotonic()
    old, new, installed, changed, same_bytes = lay_out(arguments.files)
    print(f'laid out {arguments.files} files ({changed} rebuilt, {len(same_bytes)} rebuilt with equal '
          f'bytes, {len(NEW_FOLDER_FILES)} in new folders) in {time.monotonic() - started:.1f} s')
    key, public = make_key_pair()

    script = WORK / 'update.txt'
    bundle = WORK / 'bundle'
    # The application checks the bundle where it lies and the updater copies
    # from there: the script's sources are the bundle's payload files.
    roots = ['--source-root', windows_path(bundle / 'payload'),
             '--target-root', windows_path(installed)]
    folders = ['--old', str(old), '--new', str(new)]
    run_line = ['--run', '"' + windows_path(installed) + '\\bin\\PexaMenu.exe" /updated']
    refused, _ = step('make (no --new-folders)', [str(TOOL), 'make', *folders, *roots, *run_line,
                                                   '--dry-run'], expect_codes=(1,))
    if '--new-folders' not in refused.stderr:
        sys.exit('release road: the refusal does not name --new-folders')
    made, _ = step('make --new-folders', [str(TOOL), 'make', '--new-folders', *folders, *roots,
                                          *run_line, '--quiet', '-o', str(script)])
    print('  ' + '\n  '.join(line for line in made.stderr.splitlines()
                             if line.startswith(('cd', 'make')) or ': warning: ' in line))
    listing = bundle_beside_baseline(folders, roots, run_line, new, script, key, bundle)
    print_sizes(new, bundle)
    shipped_script = bundle / script.name
    step('lint', [str(TOOL), 'lint', str(shipped_script)])
    step('verify --new-folders', [str(TOOL), 'verify', '--new-folders', *folders, *roots,
                                  '--quiet', str(script)])
    step('verify --new-folders --bundle --public-key',
         [str(TOOL), 'verify', '--new-folders', *folders, *roots, '--quiet',
          '--bundle', str(bundle), '--public-key', str(public)])
    if arguments.native_only:
        return 0

    prefix = TOP / 'build' / 'bench' / 'wineprefix'
    environment = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG='-all',
                       WINEDLLOVERRIDES='mscoree,mshtml=')
    if not prefix.exists():
        step('wineboot (once)', ['wineboot', '--init'], env=environment)

    def start_update(name, bundle_folder, expect_codes=(0,)):
        return step(name, [str(TOP / 'tools' / 'wine-run'), str(BIN / 'start_update.exe'),
                           windows_path(BIN / 'devidudi.exe'), windows_path(bundle_folder),
                           windows_path(public)], expect_codes=expect_codes, env=environment)

    def bench(name, *arguments):
        return step(name, [str(TOP / 'tools' / 'wine-run'), str(BIN / 'devidudi_bench.exe'),
                           *map(str, arguments)], env=environment)

    refuse_damaged_copy(bundle, public, installed, old, start_update)
    time_verify_update(bench, bundle, public, listing)
    applied, _ = start_update('start_update (VerifyUpdate) + devidudi.exe under Wine', bundle)
    print('  ' + '\n  '.join(applied.stdout.splitlines()))
    # Without make --times a file rebuilt with equal bytes is not copied and
    # keeps OLD's time, as verify lists it (kept-with-old-time).
    differences = compare(installed, new)
    kept_old_time = [d for d in differences if d[1] == 'time' and d[0] in same_bytes]
    differences = [d for d in differences if d not in kept_old_time]
    print(f'  {len(kept_old_time)} file(s) rebuilt with equal bytes keep OLD\'s time')
    for relative, what in differences[:20]:
        print(f'  differs: {relative} ({what})')
    print(f'installed folder {"equals NEW" if not differences else "differs from NEW"}; '
          f'the bundle\'s script {"deleted" if not shipped_script.exists() else "still there"}')
    return 1 if differences or shipped_script.exists() else 0


if __name__ == '__main__':
    sys.exit(main())
