"""A reader for the parts of a PE file (a Windows .exe) that the binary checks
look at, with the standard library only."""

import struct
import sys

MACHINES = {'x64': 0x8664, 'x86': 0x14C}

IMAGE_DIRECTORY_ENTRY_IMPORT = 1
IMAGE_DIRECTORY_ENTRY_RESOURCE = 2
IMAGE_DIRECTORY_ENTRY_BASERELOC = 5


class PeFile:
    def __init__(self, path):
        with open(path, 'rb') as f:
            self.data = data = f.read()
        pe, = struct.unpack_from('<I', data, 0x3C)
        if data[pe:pe + 4] != b'PE\0\0':
            raise ValueError('not a PE file')
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from('<HHIIIHH', data, pe + 4)
        optional = pe + 24
        magic, = struct.unpack_from('<H', data, optional)
        self.is_64_bit = magic == 0x20B
        self.dll_characteristics, = struct.unpack_from('<H', data, optional + 70)
        directories = optional + (112 if self.is_64_bit else 96)
        self.directories = [struct.unpack_from('<II', data, directories + 8 * i) for i in range(16)]
        self.sections = []
        # (name, characteristics) of each section
        self.section_flags = []
        for i in range(sections):
            name, virtual_size, rva, raw_size, raw_offset, _, _, _, _, flags = struct.unpack_from(
                '<8sIIIIIIHHI', data, optional + optional_size + 40 * i)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset))
            self.section_flags.append((name.rstrip(b'\0').decode('ascii', 'replace'), flags))
        resource_rva, _ = self.directories[IMAGE_DIRECTORY_ENTRY_RESOURCE]
        self.resource_base = self.offset(resource_rva) if resource_rva else None

    def imported_dlls(self):
        """The names of the DLLs the import table names, as written there."""
        rva, _ = self.directories[IMAGE_DIRECTORY_ENTRY_IMPORT]
        names = []
        at = self.offset(rva) if rva else None
        while at is not None:
            _, _, _, name_rva, thunks = struct.unpack_from('<IIIII', self.data, at)
            if name_rva == 0 and thunks == 0:
                break
            start = self.offset(name_rva)
            names.append(self.data[start:self.data.index(b'\0', start)].decode('ascii'))
            at += 20
        return names

    def has_relocations(self):
        rva, size = self.directories[IMAGE_DIRECTORY_ENTRY_BASERELOC]
        return rva != 0 and size != 0

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f'address {rva:#x} lies in no section')

    def resources(self):
        """{type: {name: {language: bytes}}}; ids are ints, names strings."""
        if self.resource_base is None:
            return {}

        def entries(offset):
            named, numbered = struct.unpack_from('<HH', self.data, self.resource_base + offset + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from('<II', self.data, self.resource_base + offset + 16 + 8 * i)
                if name & 0x80000000:
                    at = self.resource_base + (name & 0x7FFFFFFF)
                    length, = struct.unpack_from('<H', self.data, at)
                    name = self.data[at + 2:at + 2 + 2 * length].decode('utf-16-le')
                yield name, target

        def leaf(target):
            rva, size, _, _ = struct.unpack_from('<IIII', self.data, self.resource_base + target)
            start = self.offset(rva)
            return self.data[start:start + size]

        tree = {}
        for kind, names in entries(0):
            for name, languages in entries(names & 0x7FFFFFFF):
                for language, target in entries(languages & 0x7FFFFFFF):
                    tree.setdefault(kind, {}).setdefault(name, {})[language] = leaf(target)
        return tree


def run_checks(check, what_passed):
    """The command line of a check script: arguments arch=file.exe, each file
    checked by check(arch, path), which gives a list of problems. Prints one
    line per problem and exits 1 if there was any."""
    failed = False
    for argument in sys.argv[1:]:
        architecture, _, path = argument.partition('=')
        if architecture not in MACHINES or not path:
            sys.exit(f'usage: {sys.argv[0]} x64=file.exe x86=file.exe')
        problems = check(architecture, path)
        for problem in problems:
            print(f'{architecture} {path}: {problem}')
        if not problems:
            print(f'{architecture} {path}: {what_passed}')
        failed = failed or bool(problems)
    sys.exit(1 if failed else 0)
