#!/usr/bin/env python3
"""Draws Velkrane's pictures once for both front ends.

The header picture (a photo page whose tail is cut off along a red dashed
line) and the program icon (a lens on a blue tile with an orange cut) are
written as XPM files for the FLTK window, as .ico files for the Windows
window, and the program icon as the PNGs of the Linux desktop entry, so every
place shows the same pictures. stop_32.xpm is the FLTK error box's stop sign;
Windows shows its own stop icon, so it has no .ico. The outputs are
committed, so the build needs no Python; run this after changing a picture,
from any folder. Only the standard library is used.
"""

import math
import os
import struct
import zlib

SUPER = 8  # samples per pixel along each axis up to LARGE
LARGE = 64
SUPER_LARGE = 4  # enough for smooth edges above LARGE, in a fraction of the time

# What Windows asks of the program icon at 100 to 200 % (small icon 16 to 32,
# large icon 32 to 64, and 256 for Explorer's largest views); the header
# picture is 32 x 32 at 96 dpi, so 48 at 144 dpi and 64 at 192 dpi.
PROGRAM_ICO_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
HEADER_ICO_SIZES = (16, 32, 48, 64)
# The hicolor sizes desktops look for.
HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
# .ico images from this size on are stored as PNG, as Windows expects for 256.
ICO_PNG_FROM = 256

HERE = os.path.dirname(os.path.abspath(__file__))
XPM_DIR = os.path.join(HERE, os.pardir, "ui", "fltk", "icons")
ICO_DIR = os.path.join(HERE, os.pardir, "ui", "win32")
HICOLOR_DIR = os.path.join(HERE, os.pardir, "ui", "fltk", "desktop", "icons",
                           "hicolor")


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
    colour is an (r, g, b) tuple or a function of (x, y).
    Returns rows of (colour, coverage): the mean colour of the covered samples
    (None where nothing is painted) and the covered fraction, 0..1."""
    samples = SUPER if size <= LARGE else SUPER_LARGE
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            cover = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = None
                    for shape, paint in layers:
                        if shape(x, y):
                            colour = paint(x, y) if callable(paint) else paint
                    if colour is not None:
                        cover += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if cover == 0:
                row.append((None, 0.0))
            else:
                row.append((tuple(c / cover for c in acc),
                            cover / float(samples * samples)))
        pixels.append(row)
    return pixels


def xpm_pixels(rendered):
    """XPM has no partial transparency: a pixel is shown when at least half
    of it is covered, and colours are rounded to steps of 17 to keep the
    palette short."""
    return [[None if colour is None or cover < 0.5 else
             tuple(int(round(c / 17.0)) * 17 for c in colour)
             for colour, cover in row] for row in rendered]


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


def rgba(colour, cover):
    """One rendered pixel as straight (not premultiplied) 8-bit RGBA."""
    alpha = int(round(cover * 255))
    if colour is None or alpha == 0:
        return (0, 0, 0, 0)
    r, g, b = (min(255, int(round(c))) for c in colour)
    return (r, g, b, alpha)


def png(rendered):
    """A PNG file: 8-bit RGBA, no filter, deflated at the highest level."""
    size = len(rendered)
    raw = bytearray()
    for row in rendered:
        raw.append(0)
        for colour, cover in row:
            raw += bytes(rgba(colour, cover))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib(rendered):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, AND mask.
    The coverage is the alpha, so edges stay smooth where alpha is honoured;
    the mask is for the places that only look at it."""
    size = len(rendered)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0,
                         0, 0)
    colour = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rendered):
        bits = bytearray(mask_stride)
        for i, pixel in enumerate(row):
            r, g, b, alpha = rgba(*pixel)
            colour += bytes((b, g, r, alpha))
            if alpha < 128:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def write_ico(path, renders):
    """renders: {size: rendered image}, written smallest first."""
    sizes = sorted(renders)
    images = [png(renders[s]) if s >= ICO_PNG_FROM else dib(renders[s])
              for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


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


def write_png(path, rendered):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png(rendered))


def main():
    header = {s: render(s, header_layers()) for s in HEADER_ICO_SIZES}
    program = {s: render(s, program_layers())
               for s in set(PROGRAM_ICO_SIZES + HICOLOR_SIZES)}
    # The FLTK header shows the 32-pixel picture only; the .ico keeps both.
    write_xpm(os.path.join(XPM_DIR, "header_32.xpm"), "kHeaderIcon32",
              xpm_pixels(header[32]))
    # The window manager gets 16, 32 and 48; desktops find the larger ones
    # through the desktop entry's icon.
    for size in (16, 32, 48):
        write_xpm(os.path.join(XPM_DIR, "program_%d.xpm" % size),
                  "kProgramIcon%d" % size, xpm_pixels(program[size]))
    write_xpm(os.path.join(XPM_DIR, "stop_32.xpm"), "kStopIcon32",
              xpm_pixels(render(32, stop_layers())))
    write_ico(os.path.join(ICO_DIR, "velkrane.ico"),
              {s: program[s] for s in PROGRAM_ICO_SIZES})
    write_ico(os.path.join(ICO_DIR, "header.ico"), header)
    for size in HICOLOR_SIZES:
        write_png(os.path.join(HICOLOR_DIR, "%dx%d" % (size, size), "apps",
                               "velkrane.png"), program[size])


if __name__ == "__main__":
    main()
