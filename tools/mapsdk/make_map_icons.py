#!/usr/bin/env python3
"""Draws the map layers' icons (result marks, route ends and stops, small places) as RGBA PNGs
into the map resource bundle. Sizes are engine pixels; colours match mapsdk/display/LayerStyles.h.

Run from the repository root: tools/mapsdk/make_map_icons.py [OUTPUT_FOLDER]
"""
import math
import os
import struct
import sys
import zlib

OUT = sys.argv[1] if len(sys.argv) > 1 else "resources/mapsdk.bundle/images"
SAMPLES = 4  # per axis, for smooth edges

POI = (0xE0, 0x30, 0x1E)
END = (0x1E, 0x9E, 0x3C)
STOP = (0x2A, 0x4B, 0xD7)
SUBWAY = (0x2A, 0x4B, 0xD7)
SECOND = (0xF0, 0x8C, 0x00)
FINISH = (0xC4, 0x1E, 0x3A)
BACKGROUND = (0x8C, 0x5A, 0x2B)
WHITE = (0xFF, 0xFF, 0xFF)

# Seven-segment digits: segments a b c d e f g.
SEGMENTS = {
    0: "abcdef", 1: "bc", 2: "abged", 3: "abgcd", 4: "fgbc",
    5: "afgcd", 6: "afgedc", 7: "abc", 8: "abcdefg", 9: "abcdfg",
}


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a)."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(width, height, paint):
    """paint(x, y) -> (r, g, b) or None for a point; each pixel averages SAMPLES^2 points."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(height):
        row = []
        for px in range(width):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = paint(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    if c:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((r // a, g // a, b // a, 255 * a // n))
        rows.append(row)
    return rows


def pin_distance(x, y, cx, cy, radius, tip):
    """Signed distance (negative inside) to a drop: a circle joined to a tip below it by its
    tangents."""
    length = tip - cy
    half = math.asin(radius / length)
    tangent = math.sqrt(length * length - radius * radius)
    dx, dy = abs(x - cx), tip - y  # from the tip, up
    along = dx * math.sin(half) + dy * math.cos(half)
    if along < 0:
        return math.hypot(dx, dy)
    if along <= tangent:
        return dx * math.cos(half) - dy * math.sin(half)
    return math.hypot(x - cx, y - cy) - radius


def digit_segments(digit, cx, cy, h):
    """Rectangles (x0, y0, x1, y1) of a seven-segment digit of height h centred on (cx, cy)."""
    w = h * 0.55
    t = h * 0.16
    x0, x1 = cx - w / 2, cx + w / 2
    y0, ym, y1 = cy - h / 2, cy, cy + h / 2
    boxes = {
        "a": (x0, y0, x1, y0 + t), "g": (x0, ym - t / 2, x1, ym + t / 2), "d": (x0, y1 - t, x1, y1),
        "f": (x0, y0, x0 + t, ym), "b": (x1 - t, y0, x1, ym),
        "e": (x0, ym, x0 + t, y1), "c": (x1 - t, ym, x1, y1),
    }
    return [boxes[s] for s in SEGMENTS[digit]]


def number_boxes(number, cx, cy, h):
    digits = [int(c) for c in str(number)]
    w = h * 0.55
    gap = h * 0.18
    total = len(digits) * w + (len(digits) - 1) * gap
    left = cx - total / 2
    boxes = []
    for i, d in enumerate(digits):
        boxes += digit_segments(d, left + w / 2 + i * (w + gap), cy, h)
    return boxes


def inside_any(x, y, boxes):
    return any(b[0] <= x < b[2] and b[1] <= y < b[3] for b in boxes)


def pin(width, height, colour, number=None, dot=False):
    """A drop standing on its tip (the bottom middle), white rimmed, with a white number or dot."""
    cx = width / 2 + 0.5  # the point lands on column width / 2
    radius = width / 2 - 3
    cy = radius + 2.5
    tip = height
    boxes = number_boxes(number, cx, cy, radius * 1.05) if number is not None else []

    def paint(x, y):
        d = pin_distance(x, y, cx, cy, radius, tip)
        if d > 1.8:
            return None
        if d > 0:
            return WHITE
        if boxes and inside_any(x, y, boxes):
            return WHITE
        if dot and math.hypot(x - cx, y - cy) < radius * 0.4:
            return WHITE
        return colour

    return render(width, height, paint)


def disc(side, colour, rim=2.0, glyph=None):
    """A round mark with a white rim; glyph(x, y) marks white parts inside (kept off the centre)."""
    c = side / 2

    def paint(x, y):
        d = math.hypot(x - c, y - c)
        if d > c:
            return None
        if d > c - rim:
            return WHITE
        if glyph and glyph(x - c, y - c, c - rim):
            return WHITE
        return colour

    return render(side, side, paint)


def rounded_square(side, colour, rim=2.0, glyph=None):
    c = side / 2
    corner = side * 0.28

    def outside(x, y, inset):
        half = c - inset
        r = max(corner - inset, 0.5)
        qx, qy = abs(x - c) - (half - r), abs(y - c) - (half - r)
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r > 0

    def paint(x, y):
        if outside(x, y, 0):
            return None
        if outside(x, y, rim):
            return WHITE
        if glyph and glyph(x - c, y - c, c - rim):
            return WHITE
        return colour

    return render(side, side, paint)


def ring_glyph(u, v, r):
    # A white ring half way out: the centre keeps the mark's colour.
    return r * 0.45 <= math.hypot(u, v) <= r * 0.65


def flag_glyph(u, v, r):
    # A small flag: a pole on the left and a pennant, off the centre.
    pole = -0.45 * r <= u <= -0.3 * r and -0.6 * r <= v <= 0.6 * r
    pennant = -0.3 * r <= u <= 0.5 * r and -0.6 * r <= v <= -0.6 * r + (0.5 * r - u) * 0.6
    return pole or pennant


def start_glyph(u, v, r):
    # A white triangle pointing right: go.
    return -0.4 * r <= u <= 0.6 * r and abs(v) <= (0.6 * r - u) * 0.6


def bus_glyph(u, v, r):
    # A bus seen from the side: a white band of windows above the centre.
    return abs(u) <= 0.55 * r and -0.55 * r <= v <= -0.2 * r


def subway_glyph(u, v, r):
    # Two rails below the centre.
    return abs(u) <= 0.55 * r and (0.25 * r <= v <= 0.35 * r or 0.5 * r <= v <= 0.6 * r)


ICONS = {}
for n in range(1, 11):
    ICONS["map_poi_%d.png" % n] = lambda n=n: (30, 40, pin(30, 40, POI, number=n))
ICONS["map_poi.png"] = lambda: (30, 40, pin(30, 40, POI, dot=True))
ICONS["map_poi_second.png"] = lambda: (20, 20, disc(20, SECOND, glyph=ring_glyph))
ICONS["map_stop_bus.png"] = lambda: (24, 24, disc(24, STOP, glyph=bus_glyph))
ICONS["map_stop_subway.png"] = lambda: (24, 24, rounded_square(24, SUBWAY, glyph=subway_glyph))
ICONS["map_route_start.png"] = lambda: (28, 28, disc(28, END, glyph=start_glyph))
ICONS["map_route_end.png"] = lambda: (28, 28, disc(28, FINISH, glyph=flag_glyph))
ICONS["map_point.png"] = lambda: (26, 26, disc(26, END, glyph=ring_glyph))
ICONS["map_small_place.png"] = lambda: (13, 13, disc(13, BACKGROUND, rim=1.5))


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, make in sorted(ICONS.items()):
        width, height, pixels = make()
        write_png(os.path.join(OUT, name), width, height, pixels)
        print("%s %dx%d" % (name, width, height))


if __name__ == "__main__":
    main()
