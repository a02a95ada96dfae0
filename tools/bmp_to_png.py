#!/usr/bin/env python3
"""Converts an uncompressed 24- or 32-bit BMP into a PNG (standard library
only), for the screenshot in docs/:  bmp_to_png.py in.bmp out.png"""

import struct
import sys
import zlib


def read_bmp(path):
    """Returns (width, height, rows of RGB bytes top-down)."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:2] != b'BM':
        raise ValueError(f'{path}: not a BMP file')
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    if bits not in (24, 32) or compression not in (0, 3):
        raise ValueError(f'{path}: {bits} bits per pixel, compression {compression}: unsupported')
    step = bits // 8
    stride = (width * step + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        line = data[start:start + width * step]
        rgb = bytearray()
        for x in range(0, len(line), step):
            b, g, r = line[x:x + 3]
            rgb += bytes((r, g, b))
        rows.append(bytes(rgb))
    if height > 0:  # stored bottom-up
        rows.reverse()
    return width, abs(height), rows


def png_chunk(kind, body):
    return (struct.pack('>I', len(body)) + kind + body +
            struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))


def write_png(path, width, height, rows):
    raw = b''.join(b'\0' + row for row in rows)  # filter type 0 on each row
    header = struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) +
                png_chunk(b'IDAT', zlib.compress(raw, 9)) + png_chunk(b'IEND', b''))


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: bmp_to_png.py in.bmp out.png')
    write_png(sys.argv[2], *read_bmp(sys.argv[1]))


if __name__ == '__main__':
    main()
