#!/usr/bin/env python3
"""Draws the editor's two icons (program and document) as 16, 32 and 48 pixel
32-bit images and writes them as .ico files into resources/.

Standard library only: shapes are sampled 4x4 per pixel for smooth edges.
Usage: scripts/make-icons.py [output folder]
"""
import math
import os
import struct
import sys

SAMPLES = 4
SIZES = (16, 32, 48)


def blend(dst, src):
    """Source-over of two straight-alpha RGBA tuples (floats 0..1)."""
    sr, sg, sb, sa = src
    dr, dg, db, da = dst
    out_a = sa + da * (1 - sa)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = lambda s, d: (s * sa + d * da * (1 - sa)) / out_a
    return (mix(sr, dr), mix(sg, dg), mix(sb, db), out_a)


def rgb(hex_text, alpha=1.0):
    value = int(hex_text, 16)
    return ((value >> 16 & 255) / 255, (value >> 8 & 255) / 255, (value & 255) / 255, alpha)


def rounded_box(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def texture_grid(x, y, left, top, size):
    """Four coloured tiles, like a texture atlas; None outside."""
    if not (left <= x < left + size and top <= y < top + size):
        return None
    gap = size * 0.06
    half = size / 2
    col = 0 if x - left < half else 1
    row = 0 if y - top < half else 1
    lx = (x - left) - col * half
    ly = (y - top) - row * half
    if lx < gap / 2 or lx > half - gap / 2 or ly < gap / 2 or ly > half - gap / 2:
        return None
    colours = (("2f9be8", "57c7ff"), ("f2a30f", "ffd25a"), ("e8453c", "ff7a6e"), ("3fb950", "7ee787"))
    dark, light = colours[row * 2 + col]
    # A diagonal gradient gives each tile a little depth.
    t = (lx + ly) / (2 * half)
    a, b = rgb(dark), rgb(light)
    return tuple(b[i] + (a[i] - b[i]) * t for i in range(3)) + (1.0,)


def wheel(x, y, cx, cy, radius):
    """A tyre with a five-spoke rim; None outside."""
    d = math.hypot(x - cx, y - cy)
    if d > radius:
        return None
    if d > radius * 0.72:
        return rgb("1b1f24")  # tyre
    if d > radius * 0.62:
        return rgb("c9d1d9")  # rim lip
    if d < radius * 0.16:
        return rgb("8b949e")  # hub
    angle = math.atan2(y - cy, x - cx)
    spoke = abs(((angle / (2 * math.pi / 5)) % 1.0) - 0.5) > 0.36
    return rgb("e6edf3") if spoke else rgb("30363d", 0.9)


def app_sample(x, y):
    """Program icon on a 1x1 canvas: dark tile, texture grid, wheel in the corner."""
    colour = (0.0, 0.0, 0.0, 0.0)
    if rounded_box(x, y, 0.02, 0.02, 0.98, 0.98, 0.18):
        colour = rgb("161b22")
    tile = texture_grid(x, y, 0.12, 0.12, 0.62)
    if tile:
        colour = blend(colour, tile)
    w = wheel(x, y, 0.68, 0.68, 0.30)
    if w:
        colour = blend(colour, w)
    return colour


def document_sample(x, y):
    """Document icon: a page with a folded corner and the texture grid on it."""
    colour = (0.0, 0.0, 0.0, 0.0)
    fold = 0.26
    left, top, right, bottom = 0.14, 0.03, 0.86, 0.97
    inside = left <= x <= right and top <= y <= bottom and not (x > right - fold and y < top + fold and
                                                                 (x - (right - fold)) > (y - top))
    if inside:
        edge = min(x - left, right - x, bottom - y, y - top) < 0.035
        colour = rgb("6e7681") if edge else rgb("f6f8fa")
        if x > right - fold and y < top + fold:
            colour = rgb("d0d7de")  # the folded corner
    tile = texture_grid(x, y, 0.24, 0.36, 0.52)
    if tile:
        colour = blend(colour, tile)
    return colour


def render(sample, size):
    """Rows top-down of (b, g, r, a) bytes."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = sample((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha > 0:
                r, g, b = (acc[i] / acc[3] for i in range(3))
            else:
                r = g = b = 0.0
            row.append(tuple(int(round(v * 255)) for v in (b, g, r, alpha)))
        rows.append(row)
    return rows


def icon_image(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(channel for pixel in row for channel in pixel) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def write_icon(path, sample):
    images = [icon_image(render(sample, size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    os.makedirs(folder, exist_ok=True)
    write_icon(os.path.join(folder, "ZRC-Zelko.ico"), app_sample)
    write_icon(os.path.join(folder, "ZRC-Zelko-document.ico"), document_sample)


if __name__ == "__main__":
    main()
