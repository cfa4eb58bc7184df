#!/usr/bin/env python3
"""Draws the two icons of the Windows front end and writes them as .ico files.

velkrane.ico: the program icon (window and executable): a photo sheet whose
lower end is cut off along a dashed line by a red trim bar.
header.ico: the picture in the header panel: a camera lens seen from the front.
Run it from this folder after changing a picture; the .ico files are committed.
"""
import math
import struct

SAMPLES = 4  # per axis, for smooth edges


def rounded_box(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def program_pixel(x, y):
    """Colour (r, g, b, a) at (x, y) in the unit square, y downward."""
    if rounded_box(x, y, 0.16, 0.06, 0.84, 0.94, 0.05):
        if 0.66 <= y <= 0.74:  # the trim bar
            return (200, 40, 40, 255)
        if y > 0.74:  # the cut-off tail, faded
            return (150, 170, 190, 150)
        if 0.16 <= y <= 0.46 and 0.24 <= x <= 0.76:  # the photo
            if y > 0.46 - 0.55 * (x - 0.24) * (0.76 - x) * 3.2:
                return (40, 120, 60, 255)  # hill
            if (x - 0.62) ** 2 + (y - 0.25) ** 2 < 0.004:
                return (250, 200, 40, 255)  # sun
            return (110, 170, 230, 255)  # sky
        if 0.52 <= y <= 0.58 and 0.24 <= x <= 0.76:
            return (120, 130, 140, 255)  # a line of text
        edge = min(x - 0.16, 0.84 - x, y - 0.06, 0.94 - y)
        return (40, 60, 90, 255) if edge < 0.035 else (250, 250, 252, 255)
    return (0, 0, 0, 0)


def header_pixel(x, y):
    d = math.hypot(x - 0.5, y - 0.5)
    if d > 0.47:
        return (0, 0, 0, 0)
    if d > 0.40:
        return (60, 60, 66, 255)  # barrel
    if d > 0.34:
        return (200, 120, 30, 255)  # orange ring
    if d > 0.18:
        angle = math.atan2(y - 0.5, x - 0.5)
        blade = int((angle + math.pi) / (math.pi / 3)) % 2
        return (35, 35, 40, 255) if blade else (55, 55, 62, 255)
    if (x - 0.45) ** 2 + (y - 0.44) ** 2 < 0.003:
        return (230, 240, 255, 255)  # glint
    return (20, 50, 110, 255)  # glass


def render(pixel, size):
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sj in range(SAMPLES):
                for si in range(SAMPLES):
                    r, g, b, a = pixel((i + (si + 0.5) / SAMPLES) / size,
                                       (j + (sj + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(c / acc[3])) for c in acc[:3]) +
                           (int(round(alpha)),))
        rows.append(row)
    return rows


def dib(rows):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0,
                         0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows)
                      for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + colour + bytes(mask)


def write_ico(path, pixel, sizes):
    images = [dib(render(pixel, s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    write_ico("velkrane.ico", program_pixel, [16, 32, 48])
    write_ico("header.ico", header_pixel, [16, 32])
