#!/usr/bin/env python3
"""Draws the built-in skin's small images (plain and @2x) into resources/Images.

Run from the repository root: python3 tools/skin/draw_native_skin.py [OUTPUT_FOLDER]
Shapes, and no text but the badges' own words (a badge has no label of its own): those are drawn
with the runner's font through python3-pil (tools/deps.sh python3-pil)."""
import math
import os
import struct
import sys
import zlib

ROOT = (sys.argv[1] if len(sys.argv) > 1 else
        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "Images"))


def hexcolor(h, a=255):
    h = h.lstrip("#")
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), a)


def write_png(path, w, h, pixels):
    raw = b"".join(b"\x00" + bytes(c for px in pixels[y * w:(y + 1) * w] for c in px) for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


def render(w, h, scale, shader):
    """shader(x, y) in points -> RGBA or None; 4x4 supersampling."""
    W, H = int(round(w * scale)), int(round(h * scale))
    out = []
    n = 4
    for py in range(H):
        for px in range(W):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / scale
                    y = (py + (sy + 0.5) / n) / scale
                    c = shader(x, y)
                    if c:
                        a = c[3] / 255.0
                        acc[0] += c[0] * a
                        acc[1] += c[1] * a
                        acc[2] += c[2] * a
                        acc[3] += a
            k = n * n
            alpha = acc[3] / k
            if alpha > 0:
                out.append((int(acc[0] / acc[3] + 0.5), int(acc[1] / acc[3] + 0.5), int(acc[2] / acc[3] + 0.5),
                            int(alpha * 255 + 0.5)))
            else:
                out.append((0, 0, 0, 0))
    return W, H, out


def save(name, w, h, shader):
    for scale, suffix in ((1, ""), (2, "@2x")):
        W, H, px = render(w, h, scale, shader)
        base, ext = os.path.splitext(name)
        write_png(os.path.join(ROOT, base + suffix + ext), W, H, px)


FONT = os.environ.get("KAVRO_FONT", "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc")


def save_badge(name, w, h, color, word, size=10):
    """A rounded tag in color with its word in white, centred."""
    from PIL import Image, ImageDraw, ImageFont

    for scale, suffix in ((1, ""), (2, "@2x")):
        W, H, px = render(w, h, scale, lambda x, y: in_rrect(x, y, 0, 0, w, h, 3) and color or None)
        tag = Image.new("RGBA", (W, H))
        tag.putdata(px)
        text = Image.new("RGBA", (W, H), (0, 0, 0, 0))
        font = ImageFont.truetype(FONT, size * scale)
        pen = ImageDraw.Draw(text)
        left, top, right, bottom = pen.textbbox((0, 0), word, font=font)
        pen.text(((W - (right - left)) / 2 - left, (H - (bottom - top)) / 2 - top), word, font=font, fill=WHITE)
        out = Image.alpha_composite(tag, text)
        base, ext = os.path.splitext(name)
        write_png(os.path.join(ROOT, base + suffix + ext), W, H, list(out.getdata()))


# ---- shape helpers: each answers whether (x, y) lies inside.
def in_rrect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def near_segment(x, y, ax, ay, bx, by, half):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half * half


def in_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def star(cx, cy, r_out, r_in):
    pts = []
    for i in range(10):
        r = r_out if i % 2 == 0 else r_in
        a = -math.pi / 2 + i * math.pi / 5
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


BLUE = hexcolor("#1e6fc8")
DARKBLUE = hexcolor("#15508f")
ORANGE = hexcolor("#f08c00")
GREEN = hexcolor("#2e9b5f")
RED = hexcolor("#d9402b")
GREY = hexcolor("#9a9a9a")
LIGHT = hexcolor("#e6ebf2")
WHITE = hexcolor("#ffffff")


def layered(*layers):
    def shader(x, y):
        for test, color in layers:
            if test(x, y):
                return color
        return None
    return shader


def main():
    # Tick boxes of the result rows: a blue disc with a white tick, or a grey ring.
    save("common/checkbox_circle_on.png", 22, 22, layered(
        (lambda x, y: near_segment(x, y, 6, 11.5, 9.5, 15, 1.3) or near_segment(x, y, 9.5, 15, 16, 7.5, 1.3), WHITE),
        (lambda x, y: in_circle(x, y, 11, 11, 10.5), BLUE)))
    save("common/checkbox_circle_off.png", 22, 22, layered(
        (lambda x, y: in_circle(x, y, 11, 11, 9), WHITE),
        (lambda x, y: in_circle(x, y, 11, 11, 10.5), GREY)))
    save("common/transparent.png", 1, 1, lambda x, y: None)


    # Read mark: a grey corner at the row's top right.
    save("job_related/jobsearch_result_readmark.png", 11, 11,
         layered((lambda x, y: in_polygon(x, y, [(0, 0), (11, 0), (11, 11)]), GREY)))
    # Badges: internship (orange), campus (blue) and applied (green) tags, each with its word.
    save_badge("job_related/jobslist_result_internship.png", 24, 14, ORANGE, "实习")
    save_badge("job_related/jobslist_result_campus.png", 24, 14, BLUE, "校园")
    save_badge("job_related/jobsearch_result_applied.png", 34, 14, GREEN, "已申请")

    # Bottom bar icons (the title stands under them).
    save("job_related/toolbar_icon_favorite.png", 22, 22, layered(
        (lambda x, y: in_polygon(x, y, star(11, 11.5, 10.5, 4.5)), ORANGE)))
    save("job_related/toolbar_icon_apply.png", 22, 22, layered(
        (lambda x, y: near_segment(x, y, 6, 11, 16, 11, 1.5) or near_segment(x, y, 12, 7, 16, 11, 1.5)
         or near_segment(x, y, 12, 15, 16, 11, 1.5), WHITE),
        (lambda x, y: in_rrect(x, y, 1, 1, 21, 21, 4), BLUE)))
    save("job_related/toolbar_icon_detail.png", 22, 22, layered(
        (lambda x, y: any(near_segment(x, y, 6, yy, 16, yy, 1.1) for yy in (7, 11, 15)), WHITE),
        (lambda x, y: in_rrect(x, y, 1, 1, 21, 21, 4), DARKBLUE)))
    save("job_related/toolbar_icon_list.png", 22, 22, layered(
        (lambda x, y: any(near_segment(x, y, 5, yy, 17, yy, 1.6) for yy in (8, 14)), WHITE),
        (lambda x, y: in_rrect(x, y, 1, 1, 21, 21, 4), DARKBLUE)))
    save("job_related/toolbar_icon_report.png", 22, 22, layered(
        (lambda x, y: near_segment(x, y, 11, 8, 11, 14, 1.3) or in_circle(x, y, 11, 17, 1.4), WHITE),
        (lambda x, y: in_polygon(x, y, [(11, 1), (21.5, 20.5), (0.5, 20.5)]), RED)))
    save("job_related/toolbar_button_bg.png", 20, 44, layered(
        (lambda x, y: in_rrect(x, y, 1, 2, 19, 42, 4), hexcolor("#f4f7fb"))))

    # The job header's resume-match button and the company header's community button.
    save("job_related/jobdetail_resume_match.png", 44, 40, layered(
        (lambda x, y: in_circle(x, y, 22, 20, 9) and not in_circle(x, y, 22, 20, 6.5), WHITE),
        (lambda x, y: near_segment(x, y, 22, 20, 22, 14, 1.2) or near_segment(x, y, 22, 20, 26, 22, 1.2), WHITE),
        (lambda x, y: in_rrect(x, y, 2, 2, 42, 38, 6), GREEN)))
    save("job_related/jobdetail_company_fans.png", 77, 31, layered(
        (lambda x, y: in_rrect(x, y, 1, 1, 76, 30, 6), ORANGE)))
    # Its picture (the button has no title): two people, the front one cut free of the other.
    save("job_related/jobdetail_company_fans_icon.png", 26, 20, layered(
        (lambda x, y: in_circle(x, y, 10, 6, 4) or (y <= 19 and in_rrect(x, y, 2, 11.5, 18, 23, 7)), WHITE),
        (lambda x, y: in_circle(x, y, 10, 6, 5.5) or (y <= 19 and in_rrect(x, y, 0.5, 10, 19.5, 24.5, 8)), None),
        (lambda x, y: in_circle(x, y, 17.5, 5, 3.5) or (y <= 16 and in_rrect(x, y, 11, 10, 24.5, 20, 6)), WHITE)))
    # The address row's pin.
    save("job_related/jobdetail_location_map.png", 16, 22, layered(
        (lambda x, y: in_circle(x, y, 8, 8, 3), WHITE),
        (lambda x, y: in_circle(x, y, 8, 8, 7) or in_polygon(x, y, [(2, 11), (14, 11), (8, 21.5)]), RED)))
    # The recent-search caption: a clock and a rule.
    save("job_related/jobsearch_history_title.png", 133, 23, layered(
        (lambda x, y: in_circle(x, y, 11, 11.5, 7) and not in_circle(x, y, 11, 11.5, 5.5), BLUE),
        (lambda x, y: near_segment(x, y, 11, 11.5, 11, 7.5, 0.8) or near_segment(x, y, 11, 11.5, 14, 12.5, 0.8), BLUE),
        (lambda x, y: near_segment(x, y, 24, 11.5, 130, 11.5, 0.6), GREY)))
    # Buttons with a caption: blue and grey backgrounds, and the keyword-type strip.
    save("job_related/button_blue.png", 20, 40, layered((lambda x, y: in_rrect(x, y, 0.5, 0.5, 19.5, 39.5, 5), BLUE)))
    save("job_related/button_grey.png", 20, 40, layered((lambda x, y: in_rrect(x, y, 0.5, 0.5, 19.5, 39.5, 5), GREY)))
    save("job_related/category_item.png", 10, 30, layered((lambda x, y: True, hexcolor("#3c7fd0"))))
    save("job_related/category_item_focus.png", 10, 30, layered(
        (lambda x, y: y > 26, ORANGE), (lambda x, y: True, DARKBLUE)))
    save("job_related/close_button.png", 20, 20, layered(
        (lambda x, y: near_segment(x, y, 6, 6, 14, 14, 1.3) or near_segment(x, y, 14, 6, 6, 14, 1.3), WHITE),
        (lambda x, y: in_circle(x, y, 10, 10, 9.5), GREY)))

    # Community and the kit's widgets.
    save("company_fans/listview_arrow.png", 14, 30, layered(
        (lambda x, y: near_segment(x, y, 7, 3, 7, 26, 1.3) or near_segment(x, y, 7, 27, 2, 21, 1.3)
         or near_segment(x, y, 7, 27, 12, 21, 1.3), GREY)))
    save("company_fans/segmentcontrol_arrow.png", 12, 6, layered(
        (lambda x, y: in_polygon(x, y, [(0, 6), (12, 6), (6, 0)]), WHITE)))
    save("company_fans/image_poor.png", 40, 40, layered(
        (lambda x, y: in_polygon(x, y, [(6, 32), (16, 18), (24, 28), (29, 22), (34, 32)]), GREY),
        (lambda x, y: in_rrect(x, y, 2, 6, 38, 36, 4) and not in_rrect(x, y, 4, 8, 36, 34, 3), GREY)))
    save("dictpicker/itemsboard_arrow.png", 12, 8, layered(
        (lambda x, y: in_polygon(x, y, [(0, 0), (12, 0), (6, 8)]), GREY)))
    save("app_home/badge_icon.png", 27, 26, layered(
        (lambda x, y: in_rrect(x, y, 1, 1, 26, 25, 12), RED)))


if __name__ == "__main__":
    main()
