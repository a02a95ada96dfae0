#!/usr/bin/env python3
"""Checks the version resource (VERSIONINFO) of built programs, read straight
from their PE resource section as Windows reads it for the file's properties:

    check_version.py 1.0.0 x64=path/to/devidudi.exe x64=path/to/devidudi-script.exe ...

The first argument is the project version the programs must carry. Prints one
line per failed check, naming the file, and exits 1 if any.
"""

import os
import struct
import sys

from pe_file import PeFile, run_checks

RT_VERSION = 16
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
DESCRIPTIONS = {
    'devidudi.exe': 'DeviDudi updater',
    'devidudi-script.exe': 'DeviDudi update script toolkit',
}


def aligned(at):
    return (at + 3) & ~3


def version_block(data, at):
    """(key, value bytes, children, end) of one VS_VERSIONINFO-style block:
    length, value length, type, key, padding, value, padding, children."""
    length, value_length, kind = struct.unpack_from('<HHH', data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b'\0\0':
        key_end += 2
    key = data[at + 6:key_end].decode('utf-16-le')
    value_at = aligned(key_end + 2)
    # A text value counts UTF-16 units, a binary one bytes.
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = data[value_at:value_at + value_bytes]
    children = []
    child = aligned(value_at + value_bytes)
    while child < end:
        parsed = version_block(data, child)
        children.append(parsed)
        child = aligned(parsed[3])
    return key, value, children, end


def read_version(tree):
    """(file version, product version, {name: text}) of version resource 1."""
    languages = tree.get(RT_VERSION, {}).get(1, {})
    if len(languages) != 1:
        raise ValueError(f'version resource 1 in {len(languages)} languages, expected 1')
    data = next(iter(languages.values()))
    key, fixed, children, _ = version_block(data, 0)
    if key != 'VS_VERSION_INFO':
        raise ValueError(f'root block {key!r}')
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from('<6I', fixed, 0)
    if signature != VS_FIXEDFILEINFO_SIGNATURE:
        raise ValueError(f'fixed file info signature {signature:#x}')

    def quad(ms, ls):
        return f'{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}'

    strings = {}
    for child_key, _, tables, _ in children:
        if child_key != 'StringFileInfo':
            continue
        for _, _, values, _ in tables:
            for name, value, _, _ in values:
                strings[name] = value.decode('utf-16-le').rstrip('\0')
    return quad(file_ms, file_ls), quad(product_ms, product_ls), strings


def check_with(version):
    def check(_, path):
        name = os.path.basename(path)
        try:
            file_version, product_version, strings = read_version(PeFile(path).resources())
        except (OSError, ValueError, struct.error, UnicodeDecodeError) as error:
            return [f'cannot read the version resource: {error}']
        expected = {
            'file version': (file_version, version + '.0'),
            'product version': (product_version, version + '.0'),
            'FileVersion': (strings.get('FileVersion'), version),
            'ProductVersion': (strings.get('ProductVersion'), version),
            'ProductName': (strings.get('ProductName'), 'DeviDudi'),
            'FileDescription': (strings.get('FileDescription'), DESCRIPTIONS.get(name)),
            'OriginalFilename': (strings.get('OriginalFilename'), name),
        }
        return [f'{what}: {actual!r}, expected {wanted!r}'
                for what, (actual, wanted) in expected.items() if actual != wanted]
    return check


if __name__ == '__main__':
    expected_version = sys.argv.pop(1)
    run_checks(check_with(expected_version), f'version {expected_version} as expected')
