#!/usr/bin/env python3
"""Draws the program's window icons (a key on a rounded square) into resources/Icons.

Pure Python (zlib only), so it runs anywhere: python3 scripts/make-icons.py
"""
import math
import os

from pngwrite import png

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "Icons")


def rounded_square(x, y, r):
    # unit square 0..1 with corner radius r
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and 0 <= x <= 1 and 0 <= y <= 1


def key_shape(x, y):
    # bow: a ring at the left; shank: a bar to the right; bit: two teeth below the shank
    bx, by = 0.33, 0.45
    d = math.hypot(x - bx, y - by)
    if 0.07 <= d <= 0.17:
        return True
    if 0.47 <= x <= 0.84 and 0.415 <= y <= 0.485:
        return True
    if 0.70 <= x <= 0.75 and 0.485 <= y <= 0.60:
        return True
    if 0.78 <= x <= 0.84 and 0.485 <= y <= 0.56:
        return True
    return False


def colour_at(x, y, variant):
    if not rounded_square(x, y, 0.18):
        return None
    if key_shape(x, y):
        return (255, 214, 64) if variant == "main" else (255, 255, 255)
    top = (36, 96, 160) if variant == "main" else (120, 120, 120)
    bottom = (18, 52, 96) if variant == "main" else (70, 70, 70)
    t = y
    return tuple(int(top[i] * (1 - t) + bottom[i] * t) for i in range(3))


def draw(size, variant):
    samples = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    c = colour_at(x, y, variant)
                    if c:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 255
            n = samples * samples
            alpha = acc[3] // n
            if alpha:
                covered = acc[3] // 255
                row += [acc[0] // covered, acc[1] // covered, acc[2] // covered, alpha]
            else:
                row += [0, 0, 0, 0]
        rows.append(row)
    return png(size, size, rows)


os.makedirs(OUT, exist_ok=True)
for name, variant in (("Tessaro", "main"), ("Start", "loader")):
    for size in (16, 32, 48, 256):
        suffix = "" if size == 256 else "-%d" % size
        with open(os.path.join(OUT, "%s%s.png" % (name, suffix)), "wb") as f:
            f.write(draw(size, variant))
