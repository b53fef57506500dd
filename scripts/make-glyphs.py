#!/usr/bin/env python3
"""Draws the program's main image list into resources/Icons/MainImages.png: one 16 x 16
glyph per tile, side by side, in this order (the index is the program's, app/MainImagesUnit.h):

  0 building, 1 cylinder, 2 group, 3 door, 4 key, 5 cabinet, 6 person, 7 issue and return,
  8 deadlines, 9 history, 10 user

Pure Python (zlib only), like make-icons.py: python3 scripts/make-glyphs.py
"""
import math
import os

from pngwrite import png

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "Icons", "MainImages.png")
SIZE = 16


# Shapes on the unit square (x to the right, y downwards); each returns True inside.
def rect(x, y, x0, y0, x1, y1):
    return x0 <= x <= x1 and y0 <= y <= y1


def disc(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(x, y, cx, cy, r0, r1):
    d = math.hypot(x - cx, y - cy)
    return r0 <= d <= r1


def segment(x, y, ax, ay, bx, by, w):
    # a thick line from a to b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= w / 2


OUTLINE = (40, 40, 40)


def building(x, y):
    if y < 0.46 and abs(x - 0.5) <= (y - 0.06) * 1.15 and y >= 0.06:
        return (178, 48, 40)  # roof
    if rect(x, y, 0.16, 0.46, 0.84, 0.94):
        if rect(x, y, 0.42, 0.64, 0.58, 0.94):
            return (92, 60, 30)  # door
        if rect(x, y, 0.22, 0.54, 0.36, 0.68) or rect(x, y, 0.64, 0.54, 0.78, 0.68):
            return (90, 150, 210)  # windows
        return (226, 200, 150)
    return None


def cylinder(x, y):
    # the profile of a lock cylinder: a round head over a narrower body
    if rect(x, y, 0.44, 0.30, 0.56, 0.62) and not disc(x, y, 0.5, 0.34, 0.0):
        if disc(x, y, 0.5, 0.34, 0.30) or rect(x, y, 0.30, 0.34, 0.70, 0.92):
            return (30, 30, 30)  # key way
    if disc(x, y, 0.5, 0.34, 0.30) or rect(x, y, 0.30, 0.34, 0.70, 0.92):
        shade = int(150 + 70 * (1 - x))
        return (shade, shade, min(255, shade + 12))
    return None


def group(x, y):
    # a key ring with two keys
    if ring(x, y, 0.32, 0.32, 0.16, 0.25):
        return (150, 150, 160)
    for ax, ay, bx, by in ((0.42, 0.42, 0.88, 0.88), (0.36, 0.50, 0.36, 0.94)):
        if segment(x, y, ax, ay, bx, by, 0.13):
            return (214, 170, 40)
    if disc(x, y, 0.45, 0.45, 0.10) or disc(x, y, 0.36, 0.52, 0.10):
        return (214, 170, 40)
    return None


def door(x, y):
    if rect(x, y, 0.22, 0.04, 0.78, 0.96):
        if disc(x, y, 0.66, 0.54, 0.06):
            return (250, 210, 60)  # handle
        if rect(x, y, 0.30, 0.12, 0.70, 0.42) or rect(x, y, 0.30, 0.50, 0.56, 0.88):
            return (150, 96, 48)
        return (110, 66, 30)
    return None


def key(x, y):
    bx, by = 0.28, 0.5
    d = math.hypot(x - bx, y - by)
    if 0.09 <= d <= 0.23:
        return (214, 170, 40)
    if rect(x, y, 0.48, 0.44, 0.95, 0.56):
        return (214, 170, 40)
    if rect(x, y, 0.70, 0.56, 0.77, 0.74) or rect(x, y, 0.84, 0.56, 0.91, 0.68):
        return (214, 170, 40)
    return None


def cabinet(x, y):
    if rect(x, y, 0.10, 0.06, 0.90, 0.94):
        if rect(x, y, 0.16, 0.12, 0.84, 0.88):
            for cx in (0.30, 0.50, 0.70):
                for cy in (0.30, 0.55):
                    if disc(x, y, cx, cy, 0.06):
                        return (214, 170, 40)  # hooks
                    if rect(x, y, cx - 0.025, cy, cx + 0.025, cy + 0.14):
                        return (214, 170, 40)
            return (200, 204, 210)
        return (90, 96, 110)
    return None


def person(x, y, colour=(40, 100, 180)):
    if disc(x, y, 0.5, 0.28, 0.20):
        return (236, 190, 150)
    if y >= 0.56 and disc(x, y, 0.5, 1.02, 0.44):
        return colour
    return None


def transfer(x, y):
    # two arrows: to the right above, to the left below
    if rect(x, y, 0.08, 0.24, 0.62, 0.36) or (0.58 <= x <= 0.94 and abs(y - 0.30) <= (0.94 - x) * 0.55):
        return (40, 150, 60)
    if rect(x, y, 0.38, 0.64, 0.92, 0.76) or (0.06 <= x <= 0.42 and abs(y - 0.70) <= (x - 0.06) * 0.55):
        return (200, 110, 30)
    return None


def limits(x, y):
    # a clock
    if disc(x, y, 0.5, 0.5, 0.46):
        if not disc(x, y, 0.5, 0.5, 0.38):
            return (200, 90, 30)
        if segment(x, y, 0.5, 0.5, 0.5, 0.20, 0.09) or segment(x, y, 0.5, 0.5, 0.72, 0.5, 0.09):
            return OUTLINE
        return (252, 246, 226)
    return None


def history(x, y):
    # a written page
    if rect(x, y, 0.18, 0.04, 0.82, 0.96):
        if not rect(x, y, 0.22, 0.08, 0.78, 0.92):
            return (100, 100, 110)
        for line in (0.22, 0.38, 0.54, 0.70):
            if rect(x, y, 0.30, line, 0.70 if line < 0.7 else 0.54, line + 0.06):
                return (60, 80, 140)
        return (246, 246, 240)
    return None


def user(x, y):
    if rect(x, y, 0.46, 0.60, 0.54, 0.90) and y >= 0.60:
        return (200, 40, 40)  # tie
    return person(x, y, (30, 120, 80))


GLYPHS = [building, cylinder, group, door, key, cabinet, person, transfer, limits, history, user]


def tile_rows(shape):
    samples = 4
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = shape((px + (sx + 0.5) / samples) / SIZE, (py + (sy + 0.5) / samples) / SIZE)
                    if c:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 255
            alpha = acc[3] // (samples * samples)
            if alpha:
                covered = acc[3] // 255
                # Never pure white: white is the list's transparent colour.
                rgb = [min(acc[i] // covered, 254) for i in range(3)]
                row.append(rgb + [alpha])
            else:
                row.append([0, 0, 0, 0])
        rows.append(row)
    return rows


tiles = [tile_rows(g) for g in GLYPHS]
strip = []
for py in range(SIZE):
    line = []
    for t in tiles:
        for pixel in t[py]:
            line += pixel
    strip.append(line)
with open(OUT, "wb") as f:
    f.write(png(SIZE * len(GLYPHS), SIZE, strip))
