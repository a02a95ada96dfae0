#!/usr/bin/env python3
"""Checks that built executables load no code but Windows' own and carry the
hardening they were built with:

    check_hardening.py x64=path/to/devidudi.exe x86=path/to/devidudi.exe

- imports: only DLLs on the allow-list, all of them known system DLLs that
  Windows loads from its own folder whatever lies beside the program;
- ASLR: a relocatable image (dynamic base, with relocations to do it with),
  high-entropy addresses on x64; DEP (NX compatible);
- no section both writable and executable;
- the stack protector linked in (read from the symbol table with the cross
  toolchain's nm). _FORTIFY_SOURCE is checked on a probe built with our code's
  settings (check_fortify.py): the program's own copies are all proven to fit
  at compile time, so none of them calls a checked function.

Prints one line per failed check and exits 1 if any failed.
"""

import subprocess

from pe_file import MACHINES, PeFile, run_checks

# Known DLLs (HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs)
# that the program may need; comctl32 is not one and is loaded by full path.
ALLOWED_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'shlwapi.dll', 'msvcrt.dll',
                'advapi32.dll'}

IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA = 0x0020
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_MEM_WRITE = 0x80000000

NM = {'x64': 'x86_64-w64-mingw32-nm', 'x86': 'i686-w64-mingw32-nm'}
# Symbols that show the protection is in: the canary's failure handler and
# guard.
REQUIRED_SYMBOLS = {
    'stack protector': ['__stack_chk_fail', '__stack_chk_guard'],
}


def check(architecture, path):
    problems = []
    try:
        pe = PeFile(path)
    except (OSError, ValueError) as error:
        return [f'cannot read: {error}']
    if pe.machine != MACHINES[architecture]:
        problems.append(f'machine {pe.machine:#x}, expected {MACHINES[architecture]:#x}')

    for dll in pe.imported_dlls():
        if dll.lower() not in ALLOWED_DLLS:
            problems.append(f'imports {dll}, which is not on the allow-list of known DLLs')

    flags = pe.dll_characteristics
    if not flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE or not pe.has_relocations():
        problems.append('ASLR: not a relocatable image (dynamic base with relocations)')
    if pe.is_64_bit and not flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA:
        problems.append('ASLR: no high-entropy addresses')
    if not flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT:
        problems.append('DEP: not NX compatible')
    for name, section_flags in pe.section_flags:
        if section_flags & IMAGE_SCN_MEM_EXECUTE and section_flags & IMAGE_SCN_MEM_WRITE:
            problems.append(f'section {name} is writable and executable')

    try:
        symbols = subprocess.run([NM[architecture], path], capture_output=True, text=True,
                                 check=True).stdout.split()
    except (OSError, subprocess.CalledProcessError) as error:
        return problems + [f'cannot list symbols: {error}']
    for protection, names in REQUIRED_SYMBOLS.items():
        # 32-bit C symbols carry a leading underscore.
        missing = [n for n in names if n not in symbols and '_' + n not in symbols]
        if missing:
            problems.append(f'{protection}: {", ".join(missing)} not linked in')
    return problems


if __name__ == '__main__':
    run_checks(check, 'imports and hardening as expected')
