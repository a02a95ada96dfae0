#!/usr/bin/env python3
"""Checks the resources linked into built executables, read straight from
their PE resource section (standard library only, no Windows needed):

    check_resources.py x64=path/to/devidudi.exe x86=path/to/devidudi.exe

Each argument names the architecture the file must be built for. Prints one
line per failed check, naming the file and the resource, and exits 1 if any.
"""

import struct
import xml.etree.ElementTree as ElementTree

from pe_file import MACHINES, PeFile, run_checks
RT_ICON, RT_BITMAP, RT_MENU, RT_STRING, RT_GROUP_ICON, RT_MANIFEST = 3, 2, 4, 6, 14, 24
MF_POPUP, MF_END = 0x10, 0x80

EXPECTED_STRINGS = {103: 'DeviDudi', 109: 'DEVIDUDI'}
EXPECTED_ICON_IMAGES = [(32, 32, 4), (32, 32, 8)]  # width, height, bits per pixel
EXPECTED_MENU = [('&File', [('E&xit', 105)]), ('&Help', [('&About ...', 104)])]


def only_language(tree, kind, name):
    """The data of one resource, which must exist in exactly one language."""
    languages = tree.get(kind, {}).get(name, {})
    if len(languages) != 1:
        raise ValueError(f'found in {len(languages)} languages, expected 1')
    return next(iter(languages.values()))


def zero_terminated_utf16(data, at):
    end = at
    while data[end:end + 2] != b'\0\0':
        end += 2
    return data[at:end].decode('utf-16-le'), end + 2


def string_table(tree, string_id):
    block = only_language(tree, RT_STRING, string_id // 16 + 1)
    at = 0
    for _ in range(string_id % 16):
        length, = struct.unpack_from('<H', block, at)
        at += 2 + 2 * length
    length, = struct.unpack_from('<H', block, at)
    return block[at + 2:at + 2 + 2 * length].decode('utf-16-le')


def bitmap_header(data):
    """(width, height, bits per pixel) of a BITMAPINFOHEADER."""
    size, width, height, _, bits = struct.unpack_from('<IiiHH', data, 0)
    if size != 40:
        raise ValueError(f'header of {size} bytes, expected 40')
    return width, height, bits


def icon_group(tree, group_id):
    """(width, height, bits) for each entry, checked against its image."""
    data = only_language(tree, RT_GROUP_ICON, group_id)
    _, kind, count = struct.unpack_from('<HHH', data, 0)
    if kind != 1:
        raise ValueError(f'group type {kind}, expected 1 (icon)')
    images = []
    for i in range(count):
        width, height, colours, _, _, bits, size, image_id = struct.unpack_from('<BBBBHHIH', data, 6 + 14 * i)
        image = only_language(tree, RT_ICON, image_id)
        if size != len(image):
            raise ValueError(f'entry {i} says {size} bytes, its image has {len(image)}')
        image_width, image_height, image_bits = bitmap_header(image)
        # An icon image's header counts the AND mask's rows too.
        if (image_width, image_height, image_bits) != (width, 2 * height, bits):
            raise ValueError(f'entry {i} says {width}x{height}x{bits}, its image is '
                             f'{image_width}x{image_height}x{image_bits}')
        if colours != (1 << bits if bits < 8 else 0):
            raise ValueError(f'entry {i} of {bits} bits says {colours} colours')
        images.append((width, height, bits))
    return sorted(images)


def menu(tree, menu_id):
    data = only_language(tree, RT_MENU, menu_id)
    version, header_size = struct.unpack_from('<HH', data, 0)
    if (version, header_size) != (0, 0):
        raise ValueError(f'not a standard menu template ({version}, {header_size})')

    def items(at):
        found = []
        while True:
            flags, = struct.unpack_from('<H', data, at)
            if flags & MF_POPUP:
                text, at = zero_terminated_utf16(data, at + 2)
                children, at = items(at)
                found.append((text, children))
            else:
                command, = struct.unpack_from('<H', data, at + 2)
                text, at = zero_terminated_utf16(data, at + 4)
                found.append((text, command))
            if flags & MF_END:
                return found, at

    return items(4)[0]


def manifest_problems(tree):
    names = sorted(tree.get(RT_MANIFEST, {}))
    if names != [1]:
        return [f'manifest ids {names}, expected [1]']
    root = ElementTree.fromstring(only_language(tree, RT_MANIFEST, 1))
    problems = []
    levels = [e.attrib for e in root.iter() if e.tag.endswith('}requestedExecutionLevel')]
    if levels != [{'level': 'asInvoker', 'uiAccess': 'false'}]:
        problems.append(f'execution level {levels}, expected asInvoker without uiAccess')
    if any(e.tag.endswith('}dependency') for e in root.iter()):
        problems.append('names a dependency (the common controls must not be asked for)')
    return problems


def check(architecture, path):
    problems = []

    def expect(what, actual, expected):
        if actual != expected:
            problems.append(f'{what}: {actual!r}, expected {expected!r}')

    try:
        pe = PeFile(path)
        tree = pe.resources()
    except (OSError, ValueError, struct.error) as error:
        return [f'cannot read: {error}']
    expect('machine', hex(pe.machine), hex(MACHINES[architecture]))
    checks = [(f'string {string_id}', lambda i=string_id: string_table(tree, i), text)
              for string_id, text in EXPECTED_STRINGS.items()]
    checks += [(f'icon group {group_id}', lambda i=group_id: icon_group(tree, i), EXPECTED_ICON_IMAGES)
               for group_id in (107, 108)]
    checks += [('bitmap 129', lambda: bitmap_header(only_language(tree, RT_BITMAP, 129)), (32, 29, 24)),
               ('menu 109', lambda: menu(tree, 109), EXPECTED_MENU)]
    for what, read, expected in checks:
        try:
            expect(what, read(), expected)
        except (ValueError, struct.error, UnicodeDecodeError) as error:
            problems.append(f'{what}: {error}')
    try:
        problems += [f'manifest: {p}' for p in manifest_problems(tree)]
    except (ValueError, ElementTree.ParseError) as error:
        problems.append(f'manifest: {error}')
    return problems


if __name__ == '__main__':
    run_checks(check, 'resources as expected')
