#!/usr/bin/env python3
"""Draws the pictures the game ships next to its program: the settings dialog's banner (300 x 80,
RGB) and the window icon (32 x 32, RGBA), both in the demo's dark-ages look: near-black, lit by an
ember glow. Standard library only; the same run always writes the same bytes.

Usage: draw-game-images.py [OUTPUT_DIR]   (default: the repository's game/ folder)
"""

import math
import os
import struct
import sys
import zlib

GOLD = (240, 176, 48)
EMBER = (200, 40, 12)
NIGHT = (6, 4, 7)


def write_png(path, width, height, pixels, channels):
    """pixels: rows of (r, g, b) or (r, g, b, a) tuples with components 0-255."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for pixel in row:
            raw.extend(pixel[:channels])
    colour_type = 6 if channels == 4 else 2
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        out.write(chunk(b"IEND", b""))


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def add(a, b, amount):
    return tuple(x + y * amount for x, y in zip(a, b))


def to_bytes(colour):
    return tuple(int(max(0, min(255, round(c)))) for c in colour)


def blur(mask, width, height, radius):
    """Box blur, twice over, in both directions: a soft halo around a mask of 0..1 values."""
    for _ in range(2):
        rows = []
        for y in range(height):
            row = mask[y]
            rows.append([sum(row[max(0, x - radius):x + radius + 1]) / (2 * radius + 1) for x in range(width)])
        mask = [[sum(rows[yy][x] for yy in range(max(0, y - radius), min(height, y + radius + 1))) /
                 (2 * radius + 1) for x in range(width)] for y in range(height)]
    return mask


class Random:
    """A fixed linear congruential generator, so the sparks land in the same places every run."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF


# 5 x 7 capitals for the banner's title.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01111", "10000", "10000", "10111", "10001", "10001", "01111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    " ": ["00000"] * 7,
}


def text_mask(text, width, height, scale, top):
    mask = [[0.0] * width for _ in range(height)]
    advance = 6 * scale
    left = (width - (len(text) * advance - scale)) // 2
    for index, letter in enumerate(text):
        for gy, line in enumerate(GLYPHS[letter]):
            for gx, bit in enumerate(line):
                if bit != "1":
                    continue
                for y in range(top + gy * scale, top + (gy + 1) * scale):
                    for x in range(left + index * advance + gx * scale, left + index * advance + (gx + 1) * scale):
                        mask[y][x] = 1.0
    return mask


def skyline(x):
    """Height above the bottom edge of the castle and hills silhouette at column x."""
    hills = 7 + 3 * math.sin(x * 0.045) + 2 * math.sin(x * 0.13 + 1.0)
    height = hills
    # Two towers with battlements and a lower wall between them.
    for left, right, top in ((38, 60, 30), (236, 256, 26)):
        if left <= x < right:
            merlon = ((x - left) // 4) % 2 == 0
            height = max(height, top + (4 if merlon else 0))
    if 60 <= x < 236:
        merlon = ((x - 60) // 6) % 2 == 0
        height = max(height, 14 + (3 if merlon else 0))
    return height


def draw_banner(path):
    width, height = 300, 80
    title = text_mask("DARK AGES", width, height, 3, 12)
    halo = blur(title, width, height, 3)
    random = Random(1066)
    sparks = [(random.next() * width, 30 + random.next() * 45, 0.4 + random.next() * 0.6) for _ in range(40)]

    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            # The night sky, warming towards a fire below the horizon.
            colour = mix(NIGHT, (18, 6, 5), y / height)
            dx, dy = (x - 150) / 190.0, (y - 90) / 62.0
            glow = max(0.0, 1.0 - math.sqrt(dx * dx + dy * dy))
            colour = add(colour, EMBER, glow ** 1.5 * 1.2)
            colour = add(colour, GOLD, glow ** 3 * 0.6)
            for sx, sy, strength in sparks:
                d2 = (x - sx) ** 2 + (y - sy) ** 2
                if d2 < 9:
                    colour = add(colour, mix(EMBER, GOLD, strength), strength * math.exp(-d2 / 1.5) * 0.9)
            if height - y <= skyline(x):
                colour = (4, 2, 3)
            # The title: gold letters, reddening at their feet, in a red halo.
            colour = add(colour, EMBER, halo[y][x] * 0.8)
            if title[y][x] > 0:
                colour = mix(GOLD, (230, 110, 30), (y - 12) / 21.0)
            row.append(to_bytes(colour))
        rows.append(row)
    write_png(path, width, height, rows, 3)


def draw_icon(path):
    """A dark disc with a glowing ring, gold above and ember red below, and an ember at its heart."""
    size, samples = 32, 4
    centre = size / 2.0
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    px = x + (sx + 0.5) / samples - centre
                    py = y + (sy + 0.5) / samples - centre
                    r = math.sqrt(px * px + py * py)
                    if r > 15.5:
                        continue
                    colour = mix((14, 6, 8), NIGHT, r / 15.5)
                    # Gold at the top of the ring, ember red at the bottom.
                    ring = mix(GOLD, EMBER, (py / 12.0 + 1.0) / 2.0)
                    if 8.5 <= r <= 12.5:
                        colour = ring
                    else:
                        edge = min(abs(r - 8.5), abs(r - 12.5))
                        colour = add(colour, ring, 0.45 * math.exp(-edge * 1.2))
                    colour = add(colour, EMBER, 0.9 * math.exp(-r * r / 6.0))
                    colour = add(colour, GOLD, 0.6 * math.exp(-r * r / 1.5))
                    for i, c in enumerate(to_bytes(colour)):
                        total[i] += c
                    total[3] += 255
            n = samples * samples
            row.append(tuple(int(round(c / n)) for c in total[:3]) + (int(round(total[3] / n)),)
                       if total[3] > 0 else (0, 0, 0, 0))
        rows.append(row)
    # Colour of partly covered pixels is the average over the covered samples only.
    fixed = []
    for y, row in enumerate(rows):
        out = []
        for x, pixel in enumerate(row):
            alpha = pixel[3]
            if 0 < alpha < 255:
                pixel = tuple(min(255, round(c * 255 / alpha)) for c in pixel[:3]) + (alpha,)
            out.append(pixel)
        fixed.append(out)
    write_png(path, size, size, fixed, 4)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "game")
    draw_banner(os.path.join(output, "banner.png"))
    draw_icon(os.path.join(output, "icon.png"))


if __name__ == "__main__":
    main()
