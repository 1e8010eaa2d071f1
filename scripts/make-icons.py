#!/usr/bin/env python3
"""Draws the program's icons as .ico files (32-bit BGRA DIBs), so they can be re-made
from this script alone. Run from the repository root: python3 scripts/make-icons.py"""
import math
import struct

OUT = "src/app/res/"


def ico(path, images):
    """images: list of (size, pixels) with pixels[y][x] = (r, g, b, a)."""
    head = struct.pack("<HHH", 0, 1, len(images))
    blobs = []
    for size, px in images:
        rows = b""
        for y in reversed(range(size)):          # DIBs are stored bottom-up
            for x in range(size):
                r, g, b, a = px[y][x]
                rows += bytes((b, g, r, a))
        mask_row = ((size + 31) // 32) * 4
        mask = bytes(mask_row * size)           # alpha does the masking
        bih = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
        blobs.append((size, bih + rows + mask))
    offset = 6 + 16 * len(blobs)
    entries = b""
    for size, blob in blobs:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(head + entries + b"".join(b for _, b in blobs))


def canvas(size):
    return [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]


def draw(size, shader):
    px = canvas(size)
    for y in range(size):
        for x in range(size):
            c = shader((x + 0.5) / size, (y + 0.5) / size)
            if c:
                px[y][x] = c
    return px


def window_frame(u, v, fill):
    if 0.1 <= u <= 0.9 and 0.15 <= v <= 0.85:
        if v <= 0.3:
            return (40, 80, 160, 255)            # title bar
        if u <= 0.16 or u >= 0.84 or v >= 0.79:
            return (40, 80, 160, 255)
        return fill
    return None


def app(u, v):
    # A window half behind a curtain: what the program does.
    w = window_frame(u, v, (235, 240, 250, 255))
    if 0.5 <= u <= 0.95 and 0.05 <= v <= 0.95:
        stripe = int(u * 20) % 2
        return (150, 30, 40, 255) if stripe else (190, 50, 60, 255)
    return w


def refresh(u, v):
    dx, dy = u - 0.5, v - 0.5
    r = math.hypot(dx, dy)
    ang = math.degrees(math.atan2(dy, dx)) % 360
    if 0.24 <= r <= 0.38 and not (300 <= ang <= 360):
        return (30, 120, 40, 255)
    # arrow head at the gap
    if 0.62 <= u <= 0.98 and 0.22 <= v <= 0.5 and (u - 0.62) >= (0.5 - v) * 0.9 - 0.1 and u <= 0.98 - abs(v - 0.42) * 0.9:
        return (30, 120, 40, 255)
    return None


def hide(u, v):
    w = window_frame(u, v, (235, 240, 250, 255))
    if abs(u - v) < 0.09 or abs(u + v - 1.0) < 0.09:
        if 0.12 <= u <= 0.88:
            return (200, 30, 30, 255)
    return w


def show(u, v):
    w = window_frame(u, v, (235, 240, 250, 255))
    # a check mark
    if 0.25 <= u <= 0.45 and abs((v - 0.55) - (u - 0.25)) < 0.08:
        return (30, 140, 40, 255)
    if 0.42 <= u <= 0.78 and abs((v - 0.72) + (u - 0.42) * 1.2) < 0.08:
        return (30, 140, 40, 255)
    return w


# The tool buttons' icons at 100, 125, 150 and 200 % scaling.
BUTTON_SIZES = (16, 20, 24, 32)
for name, shader, sizes in (("app", app, (16, 32, 48)), ("refresh", refresh, BUTTON_SIZES),
                            ("hide", hide, BUTTON_SIZES), ("show", show, BUTTON_SIZES)):
    ico(OUT + name + ".ico", [(s, draw(s, shader)) for s in sizes])
