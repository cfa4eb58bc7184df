#!/usr/bin/env python3
"""Draws Velkrane's pictures and writes them as XPM files.

header_*.xpm: the picture in the window's header, a photo page whose tail
is cut off along a dashed line. program_*.xpm: the program icon, a lens on a
blue tile with the same cut. stop_32.xpm: the error box's stop sign.
Run from this folder; the XPM files are committed, so the build needs no
Python.
"""

import math

SUPER = 8  # samples per pixel along each axis


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def render(size, layers):
    """layers: (shape, colour) in the 0..1 unit square, painted in order;
    colour is an (r, g, b) tuple or a function of (x, y)."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            cover = 0.0
            for sy in range(SUPER):
                for sx in range(SUPER):
                    x = (px + (sx + 0.5) / SUPER) / size
                    y = (py + (sy + 0.5) / SUPER) / size
                    colour = None
                    for shape, paint in layers:
                        if shape(x, y):
                            colour = paint(x, y) if callable(paint) else paint
                    if colour is not None:
                        cover += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if cover * 2 < SUPER * SUPER:
                row.append(None)
            else:
                row.append(tuple(int(round(c / cover / 17.0)) * 17 for c in acc))
        pixels.append(row)
    return pixels


def write_xpm(path, name, pixels):
    colours = sorted({p for row in pixels for p in row if p is not None})
    alphabet = ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                "0123456789#$%&*+-=<>:;,()[]{}!~^|/")
    width = 1 if len(colours) < len(alphabet) else 2

    def code(i):
        if width == 1:
            return alphabet[i]
        return alphabet[i // len(alphabet)] + alphabet[i % len(alphabet)]

    keys = {c: code(i + 1) for i, c in enumerate(colours)}
    blank = code(0)
    size = len(pixels)
    lines = ['/* XPM */', 'static const char* const %s[] = {' % name,
             '"%d %d %d %d",' % (size, size, len(colours) + 1, width),
             '"%s c None",' % blank]
    for c in colours:
        lines.append('"%s c #%02X%02X%02X",' % ((keys[c],) + c))
    for row in pixels:
        lines.append('"' + "".join(keys[p] if p else blank for p in row) + '",')
    lines[-1] = lines[-1].rstrip(",")
    lines.append("};")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def header_layers():
    # A photo page with a folded corner; the part below the dashed cut is the
    # run-on tail, drawn faded and shifted away.
    page = polygon([(0.16, 0.04), (0.66, 0.04), (0.84, 0.22), (0.84, 0.66),
                    (0.16, 0.66)])
    page_in = polygon([(0.20, 0.08), (0.64, 0.08), (0.80, 0.24), (0.80, 0.66),
                       (0.20, 0.66)])
    fold = polygon([(0.66, 0.04), (0.66, 0.22), (0.84, 0.22)])
    sky = rect(0.25, 0.16, 0.75, 0.58)
    hill = both(sky, circle(0.40, 0.86, 0.40))
    hill2 = both(sky, circle(0.78, 0.80, 0.30))
    sun = circle(0.64, 0.30, 0.07)
    tail = rect(0.22, 0.80, 0.90, 0.96)
    tail_in = rect(0.26, 0.84, 0.86, 0.92)
    dashes = [rect(0.06 + i * 0.16, 0.71, 0.16 + i * 0.16, 0.75) for i in range(6)]
    sky_paint = lambda x, y: lerp((70, 140, 220), (190, 225, 250), (y - 0.16) / 0.42)
    layers = [
        (page, (90, 100, 115)),
        (page_in, (255, 255, 255)),
        (sky, sky_paint),
        (hill2, (60, 150, 80)),
        (hill, (40, 120, 60)),
        (sun, (255, 205, 60)),
        (fold, (200, 205, 215)),
        (tail, (170, 175, 185)),
        (tail_in, (225, 228, 235)),
    ]
    layers += [(d, (210, 40, 40)) for d in dashes]
    return layers


def program_layers():
    tile = rounded_rect(0.03, 0.03, 0.97, 0.97, 0.18)
    tile_paint = lambda x, y: lerp((40, 110, 200), (15, 50, 110), (x + y) / 2)
    rim = circle(0.5, 0.46, 0.34)
    barrel = circle(0.5, 0.46, 0.28)
    glass = circle(0.5, 0.46, 0.20)
    glass_paint = lambda x, y: lerp((70, 40, 120), (10, 20, 40),
                                    min(1.0, math.hypot(x - 0.5, y - 0.46) / 0.2))
    glint = circle(0.43, 0.39, 0.05)
    cut = polygon([(0.03, 0.80), (0.97, 0.74), (0.97, 0.82), (0.03, 0.88)])
    layers = [
        (tile, tile_paint),
        (rim, (235, 240, 245)),
        (barrel, (50, 55, 65)),
        (glass, glass_paint),
        (glint, (230, 240, 255)),
        (both(tile, cut), (255, 150, 30)),
    ]
    return layers


def stop_layers():
    # The error box's stop sign: a red disc with a white cross.
    disc = circle(0.5, 0.5, 0.47)
    disc_paint = lambda x, y: lerp((235, 70, 60), (170, 20, 20), (x + y) / 2)
    bar = 0.075
    cross = lambda x, y: (abs((x - 0.5) - (y - 0.5)) <= bar * 1.41 or
                          abs((x - 0.5) + (y - 0.5)) <= bar * 1.41) and \
        abs(x - 0.5) <= 0.22 and abs(y - 0.5) <= 0.22
    return [(disc, (120, 10, 10)), (circle(0.5, 0.5, 0.43), disc_paint),
            (cross, (255, 255, 255))]


def main():
    for size in (16, 32):
        write_xpm("header_%d.xpm" % size, "kHeaderIcon%d" % size,
                  render(size, header_layers()))
    for size in (16, 32, 48):
        write_xpm("program_%d.xpm" % size, "kProgramIcon%d" % size,
                  render(size, program_layers()))
    write_xpm("stop_32.xpm", "kStopIcon32", render(32, stop_layers()))


if __name__ == "__main__":
    main()
