#!/usr/bin/env python3
"""Checks that _FORTIFY_SOURCE is in force in our code's settings, on the
object of fortify_probe.cpp built with them:

    check_fortify.py x64=path/to/fortify_probe.cpp.obj x86=...

Its unbounded copy into a buffer of known size must call __memcpy_chk.
"""

import subprocess

from check_hardening import NM
from pe_file import run_checks


def check(architecture, path):
    try:
        symbols = subprocess.run([NM[architecture], path], capture_output=True, text=True,
                                 check=True).stdout.split()
    except (OSError, subprocess.CalledProcessError) as error:
        return [f'cannot list symbols: {error}']
    # 32-bit C symbols carry a leading underscore.
    if '__memcpy_chk' not in symbols and '___memcpy_chk' not in symbols:
        return ['_FORTIFY_SOURCE: the unbounded copy does not call __memcpy_chk']
    return []


if __name__ == '__main__':
    run_checks(check, '_FORTIFY_SOURCE in force')
