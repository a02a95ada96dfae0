#!/usr/bin/env python3
"""Checks that the built updater stays within its size bound once stripped,
as the release packages ship it:

    check_size.py x64=path/to/devidudi.exe x86=path/to/devidudi.exe

Strips a copy of each file with its architecture's strip and prints one line
per program over the bound; exits 1 if any. The sizes reached are recorded in
bench/RESULTS.md.
"""

import os
import subprocess
import tempfile

from pe_file import run_checks

SIZE_BOUND = 512 * 1024
STRIP = {'x64': 'x86_64-w64-mingw32-strip', 'x86': 'i686-w64-mingw32-strip'}


def check(architecture, path):
    with tempfile.TemporaryDirectory() as folder:
        stripped = os.path.join(folder, os.path.basename(path))
        try:
            subprocess.run([STRIP[architecture], '--strip-all', '-o', stripped, path],
                           check=True, capture_output=True)
        except (OSError, subprocess.CalledProcessError) as error:
            return [f'cannot strip: {error}']
        size = os.path.getsize(stripped)
    if size > SIZE_BOUND:
        return [f'{size:,} bytes stripped, over the bound of {SIZE_BOUND:,}']
    return []


if __name__ == '__main__':
    run_checks(check, f'within {SIZE_BOUND // 1024} KiB stripped')
