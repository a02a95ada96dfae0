#!/usr/bin/env python3
"""Draws DeviDudi's icon and logo and writes them as the files the resource
script embeds. Python 3 standard library only, so anyone can remake them:

    python3 src/res/make_images.py [output folder, default: this folder]

The picture: a blue rounded square with a white arrow pointing down into a
tray, "an update is arriving". Shapes are described in unit coordinates and
sampled 4 x 4 per pixel, so one drawing serves every size.
"""

import os
import struct
import sys

SAMPLES = 4
BLUE_TOP = (66, 133, 222)
BLUE_BOTTOM = (22, 72, 160)
WHITE = (255, 255, 255)
# The logo sits on a static control painted in the button face colour; its
# corners are blended into that colour, as a 24-bit bitmap has no transparency.
BUTTON_FACE = (240, 240, 240)

# The 16 colours every 4-bit icon can count on (the VGA palette).
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def inside_rounded_square(u, v):
    lo, hi, radius = 0.03, 0.97, 0.22
    if not (lo <= u <= hi and lo <= v <= hi):
        return False
    cu = min(max(u, lo + radius), hi - radius)
    cv = min(max(v, lo + radius), hi - radius)
    return (u - cu) ** 2 + (v - cv) ** 2 <= radius ** 2


def inside_arrow(u, v):
    if 0.42 <= u <= 0.58 and 0.16 <= v <= 0.50:  # shaft
        return True
    # Head: a triangle from (0.24, 0.46) and (0.76, 0.46) down to (0.5, 0.72).
    if 0.46 <= v <= 0.72:
        half = 0.26 * (0.72 - v) / 0.26
        return abs(u - 0.5) <= half
    return False


def inside_tray(u, v):
    if 0.20 <= u <= 0.80 and 0.76 <= v <= 0.84:  # bottom
        return True
    return (0.20 <= u <= 0.28 or 0.72 <= u <= 0.80) and 0.62 <= v <= 0.84


def colour_at(u, v):
    """The colour at a unit point, or None outside the picture."""
    if not inside_rounded_square(u, v):
        return None
    if inside_arrow(u, v) or inside_tray(u, v):
        return WHITE
    return tuple(round(t + (b - t) * v) for t, b in zip(BLUE_TOP, BLUE_BOTTOM))


def render(width, height):
    """Rows top-down of (colour, coverage): the average colour of the covered
    samples and the share of samples inside the picture."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            total, covered = [0, 0, 0], 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((x + (sx + 0.5) / SAMPLES) / width,
                                  (y + (sy + 0.5) / SAMPLES) / height)
                    if c is not None:
                        covered += 1
                        total = [a + b for a, b in zip(total, c)]
            colour = tuple(round(t / covered) for t in total) if covered else (0, 0, 0)
            row.append((colour, covered / SAMPLES ** 2))
        rows.append(row)
    return rows


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def bitmap_info_header(width, height, bits, image_size, colours):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0,
                       image_size, 0, 0, colours, 0)


VGA_NAVY = (0, 0, 128)


def render_16_colours(size):
    """Rows of (colour, coverage) without anti-aliasing: 16 colours have no
    shades to smooth an edge with, so the blue gradient becomes plain navy."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            u, v = (x + 0.5) / size, (y + 0.5) / size
            colour = colour_at(u, v)
            if colour is None:
                row.append(((0, 0, 0), 0.0))
                continue
            if colour != WHITE:
                colour = VGA_NAVY
            row.append((colour, 1.0))
        rows.append(row)
    return rows


def icon_image(rows, bits):
    """One icon image: header, palette, colour bits and AND mask, bottom-up.
    Pixels less than half covered are transparent (mask bit set)."""
    size = len(rows)
    if bits == 4:
        palette = VGA_PALETTE
    else:
        # Opaque colours rounded to steps of 4 stay well under 256 entries.
        found = sorted({tuple(min(255, (c + 2) // 4 * 4) for c in colour)
                        for row in rows for colour, cover in row if cover >= 0.5})
        assert len(found) <= 255, len(found)
        palette = [(0, 0, 0)] + found
        palette += [(0, 0, 0)] * (256 - len(palette))
    stride = (size * bits + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    colour_bits, mask_bits = b'', b''
    for row in reversed(rows):
        indices, mask = [], 0
        for x, (colour, cover) in enumerate(row):
            if cover >= 0.5:
                if bits == 8:
                    colour = tuple(min(255, (c + 2) // 4 * 4) for c in colour)
                indices.append(nearest(palette, colour))
            else:
                indices.append(0)
                mask |= 1 << (size - 1 - x)
        if bits == 4:
            line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        else:
            line = bytes(indices)
        colour_bits += line.ljust(stride, b'\0')
        mask_bits += mask.to_bytes(size // 8, 'big').ljust(mask_stride, b'\0')
    header = bitmap_info_header(size, 2 * size, bits, len(colour_bits) + len(mask_bits),
                                0 if bits == 8 else 16)
    quads = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + quads + colour_bits + mask_bits


def write_icon(path, size):
    images = [(16, 4, icon_image(render_16_colours(size), 4)),
              (0, 8, icon_image(render(size, size), 8))]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for colour_count, bits, data in images:
        directory += struct.pack('<BBBBHHII', size, size, colour_count, 0, 1, bits,
                                 len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(directory + b''.join(data for _, _, data in images))


def write_logo(path, width, height):
    rows = render(width, height)
    stride = (width * 3 + 3) // 4 * 4
    pixels = b''
    for row in reversed(rows):
        line = b''
        for colour, cover in row:
            r, g, b = (round(c * cover + f * (1 - cover)) for c, f in zip(colour, BUTTON_FACE))
            line += bytes((b, g, r))
        pixels += line.ljust(stride, b'\0')
    info = bitmap_info_header(width, height, 24, len(pixels), 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0,
                              14 + len(info))
    with open(path, 'wb') as f:
        f.write(file_header + info + pixels)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(out, 'devidudi.ico'), 32)
    write_logo(os.path.join(out, 'logo.bmp'), 32, 29)


if __name__ == '__main__':
    main()
