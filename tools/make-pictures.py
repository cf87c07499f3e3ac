#!/usr/bin/env python3
"""Draws the editor's pictures into resources/pictures/ and writes pictures.qrc.

Everything is drawn here from simple shapes, so the pictures can be remade at any time:
    python3 tools/make-pictures.py [--out DIR]
The output is byte-for-byte the same on every run (no time stamps, fixed compression).

Canvas pictures (their sizes and colours are what the key display relies on):
  BMP/RM      325x189 opaque dark red lanes with two black bars
  BMP/RY      7x57 solid violet-blue, the cursor and outline colour
  DDS/A1..A6  64x64 glowing arrows with per-pixel alpha
  DDS/A7      64x32 blue star glow, the confirm marker
Toolbar pictures (49x49, random 48x48) and the window icon (64x64).
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "resources", "pictures"))


# ---------------------------------------------------------------------------------------
# PNG output


def write_png(path, width, height, rgba, alpha):
    """rgba: flat list of (r, g, b, a) tuples with 0..255 ints, straight alpha."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # no row filter
        row = rgba[y * width:(y + 1) * width]
        for px in row:
            raw.extend(px if alpha else px[:3])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------------------------------
# A small floating-point canvas with pre-multiplied colour and supersampled shapes


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


class Canvas:
    def __init__(self, width, height):
        self.w = width
        self.h = height
        # pre-multiplied r, g, b, a in 0..1
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]

    def blend(self, x, y, rgb, a):
        """Source-over of colour rgb (0..255) at coverage/opacity a."""
        if a <= 0.0:
            return
        p = self.px[y * self.w + x]
        inv = 1.0 - a
        p[0] = rgb[0] / 255.0 * a + p[0] * inv
        p[1] = rgb[1] / 255.0 * a + p[1] * inv
        p[2] = rgb[2] / 255.0 * a + p[2] * inv
        p[3] = a + p[3] * inv

    def fill(self, inside, colour, opacity=1.0, box=None, samples=4):
        """Fills a shape given by inside(x, y) -> bool, antialiased by supersampling.
        colour is an (r, g, b) tuple or a function (x, y) -> (r, g, b)."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        step = 1.0 / samples
        offs = [(i + 0.5) * step for i in range(samples)]
        total = float(samples * samples)
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in offs:
                    for sx in offs:
                        if inside(x + sx, y + sy):
                            hits += 1
                if hits:
                    rgb = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                    self.blend(x, y, rgb, hits / total * opacity)

    def pixels(self):
        out = []
        for r, g, b, a in self.px:
            if a <= 0.0:
                out.append((0, 0, 0, 0))
                continue
            out.append((int(round(clamp01(r / a) * 255)), int(round(clamp01(g / a) * 255)),
                        int(round(clamp01(b / a) * 255)), int(round(clamp01(a) * 255))))
        return out


# ---------------------------------------------------------------------------------------
# Shapes


def polygon(points):
    n = len(points)

    def inside(x, y):
        c = False
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                c = not c
            j = i
        return c

    return inside


def bbox(points, pad=0.0):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    return inside


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / ll))
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


def capsule(ax, ay, bx, by, half):
    return lambda x, y: seg_dist(x, y, ax, ay, bx, by) <= half


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def rotate(points, angle_deg, cx, cy):
    a = math.radians(angle_deg)
    c, s = math.cos(a), math.sin(a)
    return [(cx + (x - cx) * c - (y - cy) * s, cy + (x - cx) * s + (y - cy) * c) for x, y in points]


def signed_distance(points, x, y):
    """Distance to the polygon outline, negative inside."""
    d = min(seg_dist(x, y, *points[i], *points[(i + 1) % len(points)]) for i in range(len(points)))
    return -d if polygon(points)(x, y) else d


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def vertical_gradient(top, bottom, y0, y1):
    return lambda x, y: lerp(top, bottom, clamp01((y - y0) / (y1 - y0)))


# ---------------------------------------------------------------------------------------
# Canvas pictures


def lanes_rm():
    w, h = 325, 189
    out = []
    for y in range(h):
        bar = 61 <= y <= 63 or 125 <= y <= 127
        out.extend([(0, 0, 0, 255) if bar else (128, 0, 0, 255)] * w)
    return w, h, out


def line_ry():
    return 7, 57, [(128, 128, 255, 255)] * (7 * 57)


ARROW_RIGHT = [(11, 26), (32, 26), (32, 13), (53, 32), (32, 51), (32, 38), (11, 38)]


def glow_picture(w, h, shape, colour, core, reach):
    """A shape whose inside is a bright core fading to colour at its outline, with a glow
    of the colour around it that fades out well before the picture's border."""
    c = Canvas(w, h)
    cx, cy = w / 2.0, h / 2.0
    for y in range(h):
        for x in range(w):
            px, py = x + 0.5, y + 0.5
            d = signed_distance(shape, px, py)
            if d <= 0.0:
                depth = clamp01(-d / 5.0)
                c.blend(x, y, lerp(colour, core, depth), 1.0)
            else:
                # fade towards the border so no edge of the picture shows
                border = min(px, py, w - px, h - py)
                fade = clamp01(border / 4.0)
                a = 0.9 * math.exp(-d / reach) * fade
                if d < 1.0:  # antialiased outline: blend the solid edge into the glow
                    a = max(a, 1.0 - d)
                c.blend(x, y, colour, clamp01(a))
    return c.pixels()


def arrow(angle, colour):
    shape = rotate(ARROW_RIGHT, angle, 32, 32)
    return 64, 64, glow_picture(64, 64, shape, colour, (235, 255, 235), 3.5)


def star_a7():
    w, h = 64, 32
    cx, cy = 32.0, 16.0
    pts = []
    for i in range(8):
        ang = math.radians(i * 45.0)
        rx, ry = (17.0, 13.0) if i % 2 == 0 else (6.5, 5.0)
        pts.append((cx + rx * math.cos(ang), cy + ry * math.sin(ang)))
    return w, h, glow_picture(w, h, pts, (40, 110, 255), (215, 235, 255), 4.5)


# ---------------------------------------------------------------------------------------
# Toolbar pictures: a dark rounded plate with a bright symbol


PLATE_TOP = (78, 84, 104)
PLATE_BOTTOM = (34, 36, 48)
PLATE_EDGE = (150, 156, 178)


def plate(size):
    c = Canvas(size, size)
    c.fill(rounded_rect(1, 1, size - 1, size - 1, 7), PLATE_EDGE)
    c.fill(rounded_rect(2, 2, size - 2, size - 2, 6),
           vertical_gradient(PLATE_TOP, PLATE_BOTTOM, 2, size - 2))
    return c


def btn_play():
    c = plate(49)
    tri = [(17, 12), (37, 24.5), (17, 37)]
    c.fill(polygon(tri), vertical_gradient((120, 240, 120), (30, 160, 50), 12, 37), box=bbox(tri))
    return c


def btn_pause():
    c = plate(49)
    col = vertical_gradient((255, 210, 90), (220, 140, 20), 12, 37)
    c.fill(rounded_rect(15, 12, 22, 37, 1.5), col, box=(15, 12, 22, 37))
    c.fill(rounded_rect(27, 12, 34, 37, 1.5), col, box=(27, 12, 34, 37))
    return c


def btn_stop():
    c = plate(49)
    c.fill(rounded_rect(14, 14, 35, 35, 2.5), vertical_gradient((255, 110, 100), (190, 30, 30), 14, 35),
           box=(14, 14, 35, 35))
    return c


def btn_save():
    c = plate(49)
    body = [(11, 11), (33, 11), (38, 16), (38, 38), (11, 38)]
    c.fill(polygon(body), vertical_gradient((110, 160, 240), (40, 90, 190), 11, 38), box=bbox(body))
    c.fill(rounded_rect(17, 11, 31, 21, 0.5), (200, 206, 216), box=(17, 11, 31, 21))
    c.fill(rounded_rect(26, 13, 29, 19, 0.5), (40, 44, 56), box=(26, 13, 29, 19))
    c.fill(rounded_rect(15, 26, 34, 38, 1), (245, 245, 245), box=(15, 26, 34, 38))
    for y in (29.5, 33.5):
        c.fill(capsule(18, y, 31, y, 0.6), (150, 160, 180), box=(17, y - 1, 32, y + 1))
    return c


def btn_random():
    c = plate(48)
    c.fill(rounded_rect(11, 11, 37, 37, 4), vertical_gradient((255, 255, 255), (205, 210, 222), 11, 37),
           box=(11, 11, 37, 37))
    for px, py in ((17.5, 17.5), (30.5, 17.5), (24, 24), (17.5, 30.5), (30.5, 30.5)):
        c.fill(circle(px, py, 2.6), (200, 30, 40), box=(px - 3, py - 3, px + 3, py + 3))
    return c


def document(c, x0, y0, x1, y1, lines):
    c.fill(rounded_rect(x0, y0, x1, y1, 1.5), (60, 64, 80), box=(x0, y0, x1, y1))
    c.fill(rounded_rect(x0 + 1.2, y0 + 1.2, x1 - 1.2, y1 - 1.2, 1), (248, 248, 250),
           box=(x0, y0, x1, y1))
    if lines:
        y = y0 + 5
        while y < y1 - 3:
            c.fill(capsule(x0 + 4, y, x1 - 4, y, 0.6), (110, 140, 200), box=(x0, y - 1, x1, y + 1))
            y += 3.5


def btn_copy():
    c = plate(49)
    document(c, 11, 9, 29, 31, False)
    document(c, 20, 18, 38, 40, True)
    return c


def btn_cut():
    c = plate(49)
    blade = (225, 230, 240)
    c.fill(capsule(18.5, 29, 31, 9, 1.8), blade, box=(15, 7, 34, 32))
    c.fill(capsule(30.5, 29, 18, 9, 1.8), blade, box=(15, 7, 34, 32))
    c.fill(circle(24.5, 20, 1.3), (60, 64, 80), box=(22, 18, 27, 22))
    handle = (230, 60, 60)
    c.fill(ring(17, 34, 5.5, 3.0), handle, box=(11, 28, 23, 40))
    c.fill(ring(32, 34, 5.5, 3.0), handle, box=(26, 28, 38, 40))
    return c


def btn_paste():
    c = plate(49)
    c.fill(rounded_rect(12, 11, 37, 40, 2.5), vertical_gradient((200, 150, 90), (150, 100, 50), 11, 40),
           box=(12, 11, 37, 40))
    c.fill(rounded_rect(16, 16, 33, 37, 1), (248, 248, 250), box=(16, 16, 33, 37))
    for y in (21.5, 25.5, 29.5):
        c.fill(capsule(19, y, 30, y, 0.6), (110, 140, 200), box=(18, y - 1, 31, y + 1))
    c.fill(rounded_rect(19, 8, 30, 14.5, 1.5), (200, 206, 216), box=(19, 8, 30, 15))
    c.fill(rounded_rect(22, 9.5, 27, 12, 0.8), (60, 64, 80), box=(22, 9, 27, 12))
    return c


def btn_delete():
    c = plate(49)
    col = vertical_gradient((255, 110, 100), (200, 30, 30), 13, 36)
    c.fill(union(capsule(15, 15, 34, 34, 3.6), capsule(34, 15, 15, 34, 3.6)), col, box=(10, 10, 39, 39))
    return c


def btn_open():
    c = plate(49)
    back = [(10, 14), (20, 14), (23, 17), (37, 17), (37, 37), (10, 37)]
    c.fill(polygon(back), (200, 150, 40), box=bbox(back))
    front = [(14, 22), (41, 22), (37, 37), (10, 37)]
    c.fill(polygon(front), vertical_gradient((255, 215, 100), (235, 170, 40), 22, 37), box=bbox(front))
    return c


def app_icon():
    c = Canvas(64, 64)
    c.fill(rounded_rect(1, 1, 63, 63, 10), (128, 0, 0))
    for y0 in (21, 42):
        c.fill(lambda x, y, y0=y0: y0 <= y < y0 + 2 and 2 <= x <= 62, (0, 0, 0), box=(1, y0, 63, y0 + 2))
    shape = rotate([(x * 0.8 + 6.4, y * 0.8 + 6.4) for x, y in ARROW_RIGHT], 225, 32, 32)
    green = (40, 255, 60)
    for y in range(64):
        for x in range(64):
            d = signed_distance(shape, x + 0.5, y + 0.5)
            if d <= 0.0:
                c.blend(x, y, lerp(green, (235, 255, 235), clamp01(-d / 4.0)), 1.0)
            elif rounded_rect(1, 1, 63, 63, 10)(x + 0.5, y + 0.5):
                c.blend(x, y, green, clamp01(max(0.8 * math.exp(-d / 3.0), 1.0 - d)))
    return c


# ---------------------------------------------------------------------------------------


def main(argv):
    out = OUT
    if len(argv) == 3 and argv[1] == "--out":
        out = argv[2]
    elif len(argv) != 1:
        sys.stderr.write("usage: make-pictures.py [--out DIR]\n")
        return 2
    os.makedirs(out, exist_ok=True)
    entries = {"BMP": [], "DDS": [], "BTN": [], "ICON": []}

    def save(prefix, alias, filename, size_pixels, alpha):
        w, h, px = size_pixels
        write_png(os.path.join(out, filename), w, h, px, alpha)
        entries[prefix].append((alias, filename))

    save("BMP", "RM", "RM.png", lanes_rm(), False)
    save("BMP", "RY", "RY.png", line_ry(), False)

    green, cyan = (40, 255, 60), (0, 225, 255)
    arrows = [("A1", 225, green), ("A2", 180, cyan), ("A3", 135, green),
              ("A4", -45, green), ("A5", 0, cyan), ("A6", 45, green)]
    for name, angle, colour in arrows:
        save("DDS", name, name + ".png", arrow(angle, colour), True)
    save("DDS", "A7", "A7.png", star_a7(), True)

    buttons = [("play", btn_play), ("pause", btn_pause), ("stop", btn_stop), ("save", btn_save),
               ("random", btn_random), ("copy", btn_copy), ("cut", btn_cut), ("paste", btn_paste),
               ("delete", btn_delete), ("open", btn_open)]
    for name, draw in buttons:
        c = draw()
        save("BTN", name, "btn-" + name + ".png", (c.w, c.h, c.pixels()), True)
    icon = app_icon()
    save("ICON", "tavix", "tavix.png", (icon.w, icon.h, icon.pixels()), True)

    lines = ["<!DOCTYPE RCC>", "<!-- Written by tools/make-pictures.py; remake rather than edit. -->",
             '<RCC version="1.0">']
    for prefix in ("BMP", "DDS", "BTN", "ICON"):
        lines.append('  <qresource prefix="/%s">' % prefix)
        for alias, filename in entries[prefix]:
            lines.append('    <file alias="%s">%s</file>' % (alias, filename))
        lines.append("  </qresource>")
    lines.append("</RCC>")
    with open(os.path.join(out, "pictures.qrc"), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
