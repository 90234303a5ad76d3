#!/usr/bin/env python3
"""Writes the built-in skin's small images into resources/Images (plain and "@2x" sizes).

Each image is a flat colour, most with a one-pixel darker edge at the bottom, enough for bars and
buttons to be told apart in snapshots; a cell's ground is plain, as the table draws its own
separators. Run from the repository root; the files are committed, so this only needs running when
the set changes (tests/tools/generators checks that it writes what is committed).

    tools/skin/make_native_skin_images.py [OUTPUT_FOLDER]      (default: resources/Images)
"""
import os
import struct
import sys
import zlib

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join("resources", "Images")

# Grounds drawn without the darker bottom edge.
PLAIN = {"cell_bg.png"}

# name: (width, height in points, (r, g, b, a))
IMAGES = {
    "nav_bar_bg.png": (8, 44, (0x1e, 0x6f, 0xc8, 0xff)),
    "button_bg.png": (12, 32, (0xf0, 0x7a, 0x1e, 0xff)),
    "button_bg_highlighted.png": (12, 32, (0xc8, 0x5a, 0x0a, 0xff)),
    "cell_bg.png": (8, 44, (0xfa, 0xfa, 0xfa, 0xff)),
    "separator.png": (4, 1, (0xdd, 0xdd, 0xdd, 0xff)),
    "checkbox_on.png": (20, 20, (0x1e, 0x6f, 0xc8, 0xff)),
    "checkbox_off.png": (20, 20, (0xcc, 0xcc, 0xcc, 0xff)),
    "app_home/grid_icon.png": (24, 24, (0x2e, 0x9b, 0x5f, 0xff)),
}


def png(width, height, rgba, plain=False):
    r, g, b, a = rgba
    edge = rgba if plain else (r * 3 // 4, g * 3 // 4, b * 3 // 4, a)
    rows = b""
    for y in range(height):
        colour = edge if (y == height - 1 and height > 1) else rgba
        rows += b"\x00" + bytes(colour) * width

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def main():
    for name, (w, h, colour) in IMAGES.items():
        stem, ext = os.path.splitext(name)
        for scale, file_name in ((1, name), (2, stem + "@2x" + ext)):
            path = os.path.join(OUT, file_name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(png(w * scale, h * scale, colour, name in PLAIN))


if __name__ == "__main__":
    main()
