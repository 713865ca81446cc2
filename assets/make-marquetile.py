#!/usr/bin/env python3
"""Makes marquetile.bmp: a 256 x 256, 24-bit marquetry tile.

A walnut field with a border strip, a maple diamond inlaid in the middle and a cherry star of
eight points inside it; every piece carries its own wood grain. Standard library only, and
deterministic: the same bytes on every run.

    python3 assets/make-marquetile.py assets/marquetile.bmp
"""
import math
import struct
import sys

SIZE = 256

# Wood tones as (dark, light) pairs of (red, green, blue).
WALNUT = ((74, 45, 26), (122, 80, 48))
MAPLE = ((196, 160, 110), (236, 208, 160))
CHERRY = ((120, 46, 30), (170, 80, 50))
EBONY = (34, 24, 20)


def noise(x, y, seed):
    """Smooth value noise from a hashed lattice, in 0..1."""

    def lattice(ix, iy):
        h = (ix * 374761393 + iy * 668265263 + seed * 982451653) & 0xFFFFFFFF
        h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
        return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0

    ix, iy = math.floor(x), math.floor(y)
    fx, fy = x - ix, y - iy
    sx, sy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
    top = lattice(ix, iy) * (1 - sx) + lattice(ix + 1, iy) * sx
    bottom = lattice(ix, iy + 1) * (1 - sx) + lattice(ix + 1, iy + 1) * sx
    return top * (1 - sy) + bottom * sy


def grain(x, y, angle, seed):
    """Wood grain: stretched noise bent into rings, in 0..1."""
    c, s = math.cos(angle), math.sin(angle)
    along, across = x * c + y * s, -x * s + y * c
    wobble = noise(along / 40.0, across / 12.0, seed) * 6.0
    rings = math.sin((across + wobble) * 0.9) * 0.5 + 0.5
    fibre = noise(along / 3.0, across * 1.5, seed + 7)
    return 0.7 * rings + 0.3 * fibre


def wood(tone, x, y, angle, seed):
    dark, light = tone
    g = grain(x, y, angle, seed)
    return tuple(int(d + (l - d) * g) for d, l in zip(dark, light))


def star_radius(theta):
    """Outline of an eight-pointed star, as a distance from the centre at angle theta."""
    points = 8
    phase = (theta * points / (2 * math.pi)) % 1.0
    return 34 + 40 * abs(1 - 2 * phase)


def texel(x, y):
    cx, cy = x - SIZE / 2 + 0.5, y - SIZE / 2 + 0.5
    edge = min(x, y, SIZE - 1 - x, SIZE - 1 - y)
    if edge < 3 or 14 <= edge < 16:
        return EBONY
    if edge < 14:
        # The border strip runs along the nearest edge.
        along_x = min(y, SIZE - 1 - y) < min(x, SIZE - 1 - x)
        return wood(MAPLE, x, y, 0.0 if along_x else math.pi / 2, 3)
    diamond = abs(cx) + abs(cy)
    if 96 <= diamond < 99:
        return EBONY
    if diamond < 96:
        r = math.hypot(cx, cy)
        outline = star_radius(math.atan2(cy, cx))
        if outline - 2 <= r < outline:
            return EBONY
        if r < outline:
            return wood(CHERRY, x, y, 1.2, 5)
        return wood(MAPLE, x, y, math.pi / 4, 4)
    return wood(WALNUT, x, y, 0.35, 1)


def write_bmp(path):
    row_bytes = (SIZE * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(SIZE - 1, -1, -1):  # bottom row first
        row = bytearray()
        for x in range(SIZE):
            r, g, b = texel(x, y)
            row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        pixels += row
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, 0, 0, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


if __name__ == "__main__":
    write_bmp(sys.argv[1] if len(sys.argv) > 1 else "marquetile.bmp")
