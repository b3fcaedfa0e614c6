#!/usr/bin/env python3
"""Writes the wizard's artwork: res/side.bmp, res/stepmark.ico and res/program.ico.

The pictures are drawn here from simple shapes, so that they can be remade at will:
    python3 tools/make_art.py [output directory, default res/]
"""
import math
import os
import struct
import sys

SIDE_WIDTH, SIDE_HEIGHT = 120, 257
ICON_SIZE = 32

# The 16 colours of the standard VGA palette, as (red, green, blue).
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, BLUE, WHITE = 0, 4, 7, 8, 12, 15


def shield_contains(u, v):
    """Whether the point lies inside a shield of unit half-width: u across (-1..1), v down (0..1)."""
    if v < 0.0 or v > 1.0:
        return False
    # A slightly arched top, straight sides down to 45 %, then curves meeting in a point.
    top = 0.06 * (1.0 - u * u)
    if v < 0.06 - top:
        return False
    if v <= 0.45:
        return abs(u) <= 1.0
    t = (v - 0.45) / 0.55
    return abs(u) <= math.sqrt(max(0.0, 1.0 - t * t)) * (1.0 - 0.15 * t)


def segment_distance(px, py, ax, ay, bx, by):
    """Distance from point p to the segment a-b."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def on_tick(x, y, points, width):
    """Whether pixel (x, y) lies on the two strokes of a tick through the three points."""
    (ax, ay), (bx, by), (cx, cy) = points
    px, py = x + 0.5, y + 0.5
    return (segment_distance(px, py, ax, ay, bx, by) <= width / 2.0
            or segment_distance(px, py, bx, by, cx, cy) <= width / 2.0)


def side_picture():
    """The 120 x 257 picture at the left of both pages: 256 colours, bottom-up rows."""
    palette = []
    # 0..191: the background, deep blue at the top to teal at the bottom.
    for i in range(192):
        t = i / 191.0
        palette.append((int(16 + 16 * t), int(32 + 112 * t), int(96 + 64 * t)))
    # 192..247: the shield's face, dark silver at its edges to white in its middle.
    for i in range(56):
        t = i / 55.0
        level = int(150 + 105 * t)
        palette.append((level, level, min(255, level + 8)))
    # 248..255: the outline and the tick.
    palette += [(8, 16, 48)] * 4 + [(20, 60, 140)] * 4
    outline, tick = 248, 252

    cx, top, half, height = 60.0, 62.0, 40.0, 104.0
    tick_points = [(cx - 20, top + 50), (cx - 5, top + 66), (cx + 22, top + 30)]
    pixels = bytearray()
    for row in range(SIDE_HEIGHT):
        y = SIDE_HEIGHT - 1 - row  # BMP rows run from the bottom up
        for x in range(SIDE_WIDTH):
            u, v = (x + 0.5 - cx) / half, (y + 0.5 - top) / height
            index = int(191 * y / (SIDE_HEIGHT - 1))
            if shield_contains(u * 1.08, v * 1.04 - 0.02):
                inner = shield_contains(u, v)
                if not inner:
                    index = outline
                elif on_tick(x, y, tick_points, 8.0):
                    index = tick
                else:
                    index = 192 + int(55 * (1.0 - min(1.0, abs(u))))
            pixels.append(index)
    return bmp_file(SIDE_WIDTH, SIDE_HEIGHT, 8, palette, rle8(pixels, SIDE_WIDTH), BI_RLE8)


BI_RGB, BI_RLE8 = 0, 1


def rle8(pixels, width):
    """Run-length encodes 8-bit rows (BI_RLE8): the picture's rows are mostly long runs of one
    colour, so the executable carries about a fifth of the plain pixels."""
    out = bytearray()
    for start in range(0, len(pixels), width):
        row = pixels[start:start + width]
        x = 0
        while x < width:
            run = 1
            while x + run < width and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 3 or width - x < 3:
                out += bytes((run, row[x]))
                x += run
                continue
            # Absolute mode: a stretch of at least three pixels without a run of three.
            end = x
            while end < width and end - x < 255:
                if end + 2 < width and row[end] == row[end + 1] == row[end + 2]:
                    break
                end += 1
            if end - x < 3:
                out += bytes((1, row[x]))
                x += 1
                continue
            out += bytes((0, end - x)) + row[x:end]
            if (end - x) % 2:
                out.append(0)  # absolute runs end on a 16-bit boundary
            x = end
        out += bytes((0, 0))  # end of line
    out[-2:] = bytes((0, 1))  # the last end of line becomes the end of the bitmap
    return out


def bmp_file(width, height, bits, palette, pixels, compression=BI_RGB):
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, compression, len(pixels),
                       2835, 2835, len(palette), len(palette))
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + len(info) + len(colours)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info + colours + bytes(pixels)


def icon_file(colour_at):
    """A 32 x 32, 16-colour icon; colour_at(x, y) gives a VGA index, or None for transparent."""
    xor, mask = bytearray(), bytearray()
    for row in range(ICON_SIZE):
        y = ICON_SIZE - 1 - row
        nibbles, bits = [], []
        for x in range(ICON_SIZE):
            c = colour_at(x, y)
            nibbles.append(0 if c is None else c)
            bits.append(1 if c is None else 0)
        for x in range(0, ICON_SIZE, 2):
            xor.append(nibbles[x] << 4 | nibbles[x + 1])
        for x in range(0, ICON_SIZE, 8):
            byte = 0
            for b in bits[x:x + 8]:
                byte = byte << 1 | b
            mask.append(byte)
    info = struct.pack('<IiiHHIIiiII', 40, ICON_SIZE, ICON_SIZE * 2, 1, 4, 0,
                       len(xor) + len(mask), 0, 0, 16, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in VGA16)
    image = info + colours + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', ICON_SIZE, ICON_SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def step_mark(x, y):
    """A small black tick on a transparent ground, in the top rows: the marks stand 13 dialog
    units (about 21 pixels) apart, so the lower part of each icon lies under the next one."""
    return BLACK if on_tick(x, y, [(11, 7), (15, 11), (25, 1)], 2.8) else None


def program_icon(x, y):
    """A blue shield with a white tick, outlined in navy."""
    u, v = (x + 0.5 - 16.0) / 13.0, (y + 0.5 - 2.0) / 28.0
    if not shield_contains(u, v):
        return None
    if not shield_contains(u * 1.12, v * 1.06 - 0.03):
        return NAVY
    if on_tick(x, y, [(9, 15), (14, 21), (23, 9)], 3.4):
        return WHITE
    return BLUE if u < 0.25 else NAVY


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'res')
    files = {
        'side.bmp': side_picture(),
        'stepmark.ico': icon_file(step_mark),
        'program.ico': icon_file(program_icon),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
