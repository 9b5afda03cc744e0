#!/usr/bin/env python3
"""Draw the bitmaps and the icon of Orvane.

Writes, beside this script:
  watermark.bmp        164x314, 24 bpp: exterior wizard pages
  header.bmp           49x49, 24 bpp: header of the interior pages
  tree-images.bmp      10 x 16x16, 24 bpp, magenta transparent: operation tree
  process-images.bmp   2 x 16x16, 24 bpp, magenta transparent: process list
  registry-images.bmp  2 x 16x16, 24 bpp, magenta transparent: autostart list
and ../common/orvane.ico (32x32 and 16x16, 32 bpp BGRA with AND mask).

Only the standard library is used.  The large pictures are drawn with
4x4 supersampling; the 16x16 strips are drawn pixel by pixel so that
no edge pixel blends with the transparent colour.

    make-bitmaps.py [--preview DIR]

--preview also writes enlarged PNG copies of every picture into DIR.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
COMMON = os.path.normpath(os.path.join(HERE, "..", "common"))

MAGENTA = (255, 0, 255)


# ----------------------------------------------------------------------
# File writers
# ----------------------------------------------------------------------

def bmp_bytes(width, height, pixels):
    """24-bit bottom-up BMP; pixels[y][x] = (r, g, b), row 0 at the top."""
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for r, g, b in pixels[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        body += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                       len(body), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(body), 0, 0,
                       14 + len(info))
    return head + info + bytes(body)


def ico_bytes(images):
    """images: list of (size, rgba rows).  32 bpp entries with AND mask."""
    entries = []
    blobs = []
    for size, rgba in images:
        xor = bytearray()
        for y in range(size - 1, -1, -1):
            for r, g, b, a in rgba[y]:
                xor += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(size):
                if rgba[y][x][3] < 128:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                           len(xor) + len(mask), 0, 0, 0, 0)
        blobs.append(info + bytes(xor) + bytes(mask))
    offset = 6 + 16 * len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    for (size, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def png_bytes(width, height, rgba_rows):
    raw = bytearray()
    for row in rgba_rows:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(tag, data):
        body = tag + data
        return (struct.pack(">I", len(data)) + body
                + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6,
                                         0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


# ----------------------------------------------------------------------
# Supersampled canvas for the large pictures
# ----------------------------------------------------------------------

class Canvas:
    """RGBA canvas drawn at SS x SS samples per output pixel.

    Coordinates are in output pixels (floats); shapes are filled with
    the even-odd rule and composited with 'over'.
    """

    SS = 4

    def __init__(self, width, height, background=None):
        self.w, self.h = width, height
        self.sw, self.sh = width * self.SS, height * self.SS
        if background is None:
            fill = [0.0, 0.0, 0.0, 0.0]
        else:
            fill = [background[0] / 255.0, background[1] / 255.0,
                    background[2] / 255.0, 1.0]
        # premultiplied colour per sample
        self.px = [[list(fill) for _ in range(self.sw)] for _ in range(self.sh)]

    def _blend(self, row, x0, x1, colour, alpha):
        r, g, b = (c / 255.0 for c in colour)
        line = self.px[row]
        for x in range(max(x0, 0), min(x1, self.sw)):
            p = line[x]
            k = 1.0 - alpha
            p[0] = r * alpha + p[0] * k
            p[1] = g * alpha + p[1] * k
            p[2] = b * alpha + p[2] * k
            p[3] = alpha + p[3] * k

    def polygons(self, contours, colour, alpha=1.0):
        """Fill one or more closed contours (even-odd)."""
        s = self.SS
        edges = []
        for pts in contours:
            n = len(pts)
            for i in range(n):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % n]
                if ya != yb:
                    edges.append((xa * s, ya * s, xb * s, yb * s))
        if not edges:
            return
        ymin = max(int(min(min(e[1], e[3]) for e in edges)), 0)
        ymax = min(int(max(max(e[1], e[3]) for e in edges)) + 1, self.sh)
        for sy in range(ymin, ymax):
            cy = sy + 0.5
            xs = []
            for xa, ya, xb, yb in edges:
                if (ya <= cy < yb) or (yb <= cy < ya):
                    xs.append(xa + (cy - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                x0 = int(math.ceil(xs[i] - 0.5))
                x1 = int(math.ceil(xs[i + 1] - 0.5))
                self._blend(sy, x0, x1, colour, alpha)

    def polygon(self, pts, colour, alpha=1.0):
        self.polygons([pts], colour, alpha)

    def rect(self, x0, y0, x1, y1, colour, alpha=1.0):
        self.polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], colour, alpha)

    @staticmethod
    def circle_pts(cx, cy, r, n=96):
        return [(cx + r * math.cos(2 * math.pi * i / n),
                 cy + r * math.sin(2 * math.pi * i / n)) for i in range(n)]

    def disc(self, cx, cy, r, colour, alpha=1.0):
        self.polygon(self.circle_pts(cx, cy, r), colour, alpha)

    def ring(self, cx, cy, r_out, r_in, colour, alpha=1.0):
        self.polygons([self.circle_pts(cx, cy, r_out),
                       self.circle_pts(cx, cy, r_in)], colour, alpha)

    def line(self, xa, ya, xb, yb, width, colour, alpha=1.0, caps=True):
        dx, dy = xb - xa, yb - ya
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(xa + nx, ya + ny), (xb + nx, yb + ny),
                      (xb - nx, yb - ny), (xa - nx, ya - ny)], colour, alpha)
        if caps:
            self.disc(xa, ya, width / 2, colour, alpha)
            self.disc(xb, yb, width / 2, colour, alpha)

    def round_rect(self, x0, y0, x1, y1, r, colour, alpha=1.0):
        self.polygon(self.round_rect_pts(x0, y0, x1, y1, r), colour, alpha)

    @staticmethod
    def round_rect_pts(x0, y0, x1, y1, r, n=12):
        pts = []
        corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0),
                   (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)]
        for cx, cy, start in corners:
            for i in range(n + 1):
                a = math.radians(start + 90.0 * i / n)
                pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        return pts

    def vertical_gradient(self, top, bottom):
        for sy in range(self.sh):
            t = (sy + 0.5) / self.sh
            c = [(top[i] + (bottom[i] - top[i]) * t) / 255.0 for i in range(3)]
            for p in self.px[sy]:
                p[0], p[1], p[2], p[3] = c[0], c[1], c[2], 1.0

    def rgba(self):
        """Downsampled rows of (r, g, b, a), straight (not premultiplied)."""
        s = self.SS
        n = float(s * s)
        out = []
        for y in range(self.h):
            row = []
            rows = self.px[y * s:(y + 1) * s]
            for x in range(self.w):
                acc = [0.0, 0.0, 0.0, 0.0]
                for line in rows:
                    for p in line[x * s:(x + 1) * s]:
                        acc[0] += p[0]
                        acc[1] += p[1]
                        acc[2] += p[2]
                        acc[3] += p[3]
                a = acc[3] / n
                if a <= 0.0:
                    row.append((0, 0, 0, 0))
                    continue
                row.append(tuple(min(255, int(round(acc[i] / n / a * 255)))
                                 for i in range(3))
                           + (int(round(a * 255)),))
            out.append(row)
        return out

    def rgb(self):
        return [[(r, g, b) for r, g, b, _ in row] for row in self.rgba()]


# ----------------------------------------------------------------------
# The emblem: a document with a clock (an operation that waits for the
# next restart).  (x, y) is the top-left corner, s the document height.
# ----------------------------------------------------------------------

def draw_emblem(cv, x, y, s, shadow=True, page_lines=True, w=None,
                snap=False):
    if w is None:
        w = s * 0.78
    fold = s * 0.24
    outline = (34, 62, 110)
    if shadow:
        off = s * 0.04
        cv.polygon([(x + off, y + off), (x + w - fold + off, y + off),
                    (x + w + off, y + fold + off), (x + w + off, y + s + off),
                    (x + off, y + s + off)], (0, 0, 0), 0.25)
    edge = max(s * 0.025, 0.9)
    page = [(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + s),
            (x, y + s)]
    cv.polygon(page, outline)
    inner = [(x + edge, y + edge), (x + w - fold - edge * 0.4, y + edge),
             (x + w - edge, y + fold + edge * 0.4), (x + w - edge, y + s - edge),
             (x + edge, y + s - edge)]
    cv.polygon(inner, (255, 255, 255))
    # folded corner
    cv.polygon([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)],
               outline)
    cv.polygon([(x + w - fold + edge, y + edge * 2.2),
                (x + w - fold + edge, y + fold - edge),
                (x + w - edge * 2.2, y + fold - edge)], (214, 226, 244))
    if page_lines:
        lh = max(s * 0.035, 1.0)
        for i, frac in enumerate((0.55, 0.8, 0.7, 0.8, 0.45)):
            ly = y + s * (0.36 + i * 0.11)
            if snap:
                ly = round(ly)
            if ly > y + s * 0.8:
                break
            cv.rect(x + w * 0.16, ly, x + w * (0.16 + 0.66 * frac), ly + lh,
                    (150, 172, 206))
    # clock badge on the lower right corner of the page
    r = s * 0.30
    cx, cy = x + w - r * 0.15, y + s - r * 0.35
    if shadow:
        cv.disc(cx + s * 0.04, cy + s * 0.04, r, (0, 0, 0), 0.25)
    cv.disc(cx, cy, r, (26, 92, 170))
    cv.disc(cx, cy, r * 0.80, (255, 255, 255))
    tick = max(r * 0.09, 0.9)
    for k in range(12):
        a = 2 * math.pi * k / 12
        r0 = r * (0.62 if k % 3 == 0 else 0.68)
        cv.line(cx + r0 * math.sin(a), cy - r0 * math.cos(a),
                cx + r * 0.74 * math.sin(a), cy - r * 0.74 * math.cos(a),
                tick, (60, 80, 110), caps=False)
    hand = max(r * 0.12, 1.0)
    cv.line(cx, cy, cx, cy - r * 0.55, hand, (30, 40, 60))
    cv.line(cx, cy, cx + r * 0.38, cy + r * 0.10, hand, (30, 40, 60))
    cv.disc(cx, cy, hand * 0.9, (200, 40, 40))


def make_watermark():
    cv = Canvas(164, 314)
    cv.vertical_gradient((92, 142, 204), (18, 52, 104))
    # soft light bands for depth
    cv.polygon([(0, 230), (164, 170), (164, 205), (0, 265)], (255, 255, 255), 0.06)
    cv.polygon([(0, 262), (164, 214), (164, 232), (0, 280)], (255, 255, 255), 0.05)
    cv.disc(82, 112, 64, (255, 255, 255), 0.07)
    draw_emblem(cv, 42, 62, 92)
    return cv.rgb()


def make_header():
    cv = Canvas(49, 49, background=(255, 255, 255))
    draw_emblem(cv, 9, 5, 34, shadow=False, w=26, snap=True)
    return cv.rgb()


def make_icon32():
    cv = Canvas(32, 32)
    draw_emblem(cv, 3, 1, 28, shadow=False, w=22, snap=True)
    return cv.rgba()


def make_icon16():
    """The emblem redrawn pixel by pixel: smoothing blurs it at 16x16."""
    im = Pixels()
    dark = (34, 62, 110)
    im.rect(1, 0, 11, 15, (255, 255, 255))
    im.frame(1, 0, 11, 15, dark)
    for i in range(4):
        for x in range(8 + i + 1, 12):
            im.set(x, i, MAGENTA)
    im.line(8, 0, 11, 3, dark)
    im.rect(8, 0, 8, 3, dark)
    im.rect(8, 3, 11, 3, dark)
    im.set(9, 2, (214, 226, 244))
    for y, x1 in ((5, 8), (7, 9), (9, 7)):
        im.rect(3, y, x1, y, (120, 148, 196))
    # clock on the lower right
    im.disc(11.5, 11.5, 4.6, (26, 92, 170))
    im.disc(11.5, 11.5, 3.5, (255, 255, 255))
    im.rect(11, 9, 11, 11, (30, 40, 60))
    im.rect(12, 11, 13, 11, (30, 40, 60))
    im.set(11, 11, (200, 40, 40))
    return [[(0, 0, 0, 0) if c == MAGENTA else c + (255,) for c in row]
            for row in im.p]


# ----------------------------------------------------------------------
# Pixel canvas for the 16x16 strips
# ----------------------------------------------------------------------

class Pixels:
    def __init__(self, size=16):
        self.n = size
        self.p = [[MAGENTA] * size for _ in range(size)]

    def set(self, x, y, c):
        if 0 <= x < self.n and 0 <= y < self.n:
            self.p[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Filled rectangle, corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0, c)
        self.rect(x0, y1, x1, y1, c)
        self.rect(x0, y0, x0, y1, c)
        self.rect(x1, y0, x1, y1, c)

    def line(self, x0, y0, x1, y1, c, brush=1):
        """Bresenham line drawn with a brush x brush square."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        off = (brush - 1) // 2
        while True:
            self.rect(x0 - off, y0 - off, x0 - off + brush - 1,
                      y0 - off + brush - 1, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def poly(self, pts, c):
        """Fill the pixels whose centres lie inside the polygon."""
        n = len(pts)
        for y in range(self.n):
            cy = y + 0.5
            xs = []
            for i in range(n):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % n]
                if (ya <= cy < yb) or (yb <= cy < ya):
                    xs.append(xa + (cy - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(self.n):
                    if xs[i] <= x + 0.5 < xs[i + 1]:
                        self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.n):
            for x in range(self.n):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def outline(self, core, c):
        """Colour the 4-neighbours of a set of pixels that are not in it."""
        for x, y in core:
            for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if (nx, ny) not in core:
                    self.set(nx, ny, c)

    def glyph(self, x, y, rows, c):
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch == "#":
                    self.set(x + i, y + j, c)

    def faded(self, amount=0.55):
        """Copy blended towards white (transparent pixels stay)."""
        out = Pixels(self.n)
        for y in range(self.n):
            for x in range(self.n):
                c = self.p[y][x]
                if c != MAGENTA:
                    c = tuple(int(round(v + (255 - v) * amount)) for v in c)
                    if c == MAGENTA:
                        c = (254, 0, 254)
                out.p[y][x] = c
        return out


def strip(images):
    n = images[0].n
    rows = []
    for y in range(n):
        row = []
        for img in images:
            row.extend(img.p[y])
        rows.append(row)
    return rows


def pic_document():
    im = Pixels()
    dark = (72, 80, 96)
    im.rect(3, 1, 12, 14, (255, 255, 255))
    im.frame(3, 1, 12, 14, dark)
    # folded corner, top right
    for i in range(4):
        for x in range(12 - 3 + i + 1, 13):
            im.set(x, 1 + i, MAGENTA)
    im.line(9, 1, 12, 4, dark)
    im.rect(9, 1, 9, 4, dark)
    im.rect(9, 4, 12, 4, dark)
    im.set(10, 3, (200, 210, 226))
    im.set(10, 2, (200, 210, 226))
    im.set(11, 3, (200, 210, 226))
    # text lines
    text = (96, 128, 184)
    for y, x1 in ((6, 10), (8, 9), (10, 10), (12, 8)):
        im.rect(5, y, x1, y, text)
    im.rect(5, 4, 7, 4, text)
    return im


def pic_folder():
    im = Pixels()
    edge = (150, 104, 8)
    back = (232, 180, 48)
    front = (252, 214, 96)
    light = (255, 238, 168)
    # tab and back panel
    im.rect(1, 3, 6, 4, back)
    im.frame(1, 3, 6, 5, edge)
    im.rect(1, 5, 14, 13, back)
    im.frame(1, 5, 14, 13, edge)
    # front flap, slightly lower
    im.rect(2, 7, 14, 13, front)
    im.rect(2, 7, 14, 7, light)
    im.rect(1, 13, 14, 13, edge)
    im.rect(14, 5, 14, 13, edge)
    im.rect(1, 7, 1, 13, edge)
    im.rect(2, 6, 14, 6, edge)
    return im


def pic_info():
    im = Pixels()
    im.disc(8, 8, 7.4, (24, 72, 160))
    im.disc(8, 8, 6.4, (52, 120, 214))
    white = (255, 255, 255)
    im.rect(7, 3, 8, 4, white)
    im.rect(6, 6, 8, 6, white)
    im.rect(7, 7, 8, 11, white)
    im.rect(6, 12, 9, 12, white)
    return im


def pic_padlock():
    im = Pixels()
    steel = (112, 118, 130)
    light = (180, 186, 196)
    # shackle
    im.rect(5, 2, 10, 2, steel)
    im.rect(4, 3, 4, 7, steel)
    im.rect(11, 3, 11, 7, steel)
    im.set(5, 3, light)
    im.set(10, 3, light)
    im.rect(5, 3, 5, 7, light)
    im.rect(10, 3, 10, 7, steel)
    im.set(4, 2, MAGENTA)
    im.set(11, 2, MAGENTA)
    # body
    edge = (140, 96, 0)
    im.rect(2, 7, 13, 14, (236, 184, 40))
    im.rect(3, 8, 12, 8, (252, 224, 120))
    im.frame(2, 7, 13, 14, edge)
    # keyhole
    hole = (48, 32, 0)
    im.rect(7, 9, 8, 11, hole)
    im.rect(7, 12, 8, 12, hole)
    im.set(7, 12, hole)
    return im


def pic_registry():
    im = Pixels()

    def cube(x, y, base):
        top = tuple(min(255, v + 80) for v in base)
        side = tuple(max(0, v - 70) for v in base)
        edge = tuple(max(0, v - 120) for v in base)
        # top face
        im.rect(x + 2, y, x + 6, y, top)
        im.rect(x + 1, y + 1, x + 5, y + 1, top)
        # front face
        im.rect(x, y + 2, x + 4, y + 6, base)
        # right face
        im.rect(x + 5, y + 2, x + 5, y + 6, side)
        im.rect(x + 6, y + 1, x + 6, y + 5, side)
        im.set(x + 6, y, edge)
        im.set(x, y + 2, tuple(min(255, v + 30) for v in base))
        im.rect(x, y + 6, x + 4, y + 6, edge)

    cube(0, 8, (40, 96, 212))
    cube(8, 8, (32, 156, 64))
    cube(4, 1, (208, 48, 40))
    return im


def overlay_check():
    im = Pixels()
    pts = [(6, 11), (8, 13), (14, 7)]
    im.line(pts[0][0], pts[0][1], pts[1][0], pts[1][1], (0, 84, 0), 4)
    im.line(pts[1][0], pts[1][1], pts[2][0], pts[2][1], (0, 84, 0), 4)
    im.line(pts[0][0], pts[0][1], pts[1][0], pts[1][1], (40, 190, 40), 2)
    im.line(pts[1][0], pts[1][1], pts[2][0], pts[2][1], (40, 190, 40), 2)
    return im


def overlay_cross():
    im = Pixels()
    core = set()
    # two diagonals two pixels thick, in the square 7..15
    for i in range(8):
        core.update({(7 + i, 7 + i), (8 + i, 7 + i),
                     (14 - i, 7 + i), (15 - i, 7 + i)})
    im.outline(core, (112, 0, 0))
    for x, y in core:
        im.set(x, y, (230, 32, 32))
    return im


def overlay_hourglass():
    im = Pixels()
    wood = (112, 64, 16)
    glass = (56, 56, 72)
    sand = (236, 180, 32)
    fill = (232, 240, 252)
    # frame bars
    im.rect(7, 6, 14, 7, wood)
    im.rect(7, 14, 14, 15, wood)
    # bulbs: rows 8..13, narrowing to the middle
    shape = {8: (8, 13), 9: (8, 13), 10: (9, 12), 11: (9, 12),
             12: (8, 13), 13: (8, 13)}
    for y, (x0, x1) in shape.items():
        im.rect(x0, y, x1, y, glass)
        if x1 - x0 > 1:
            im.rect(x0 + 1, y, x1 - 1, y, fill)
    # sand: a little left on top, a pile below, a thread between
    im.rect(9, 9, 12, 9, sand)
    im.rect(10, 10, 11, 11, sand)
    im.rect(10, 12, 11, 12, sand)
    im.rect(9, 13, 12, 13, sand)
    return im


def warning_triangle():
    im = Pixels()
    # rows 4..15, from 2 pixels at the apex to 12 at the base
    for y in range(4, 16):
        half = 1 + (y - 4) * 5 / 11.0
        x0, x1 = int(round(10 - half)), int(round(10 + half)) - 1
        im.rect(x0, y, x1, y, (120, 80, 0))
        if 6 <= y <= 14:
            half_in = half - 1.6
            if half_in >= 0.5:
                im.rect(int(round(10 - half_in)), y,
                        int(round(10 + half_in)) - 1, y, (252, 212, 0))
    black = (0, 0, 0)
    im.rect(9, 7, 10, 10, black)
    im.rect(9, 12, 10, 13, black)
    return im


def app_window():
    im = Pixels()
    edge = (64, 64, 80)
    im.rect(1, 2, 14, 13, (255, 255, 255))
    im.frame(1, 2, 14, 13, edge)
    im.rect(2, 3, 13, 5, (24, 72, 180))
    im.rect(2, 3, 7, 3, (72, 128, 220))
    im.rect(11, 4, 12, 4, (255, 255, 255))
    im.rect(2, 6, 13, 6, (200, 204, 216))
    im.rect(3, 8, 9, 8, (180, 190, 210))
    im.rect(3, 10, 11, 10, (180, 190, 210))
    return im


def registry_value(ink, paper, edge):
    im = Pixels()
    im.rect(1, 3, 14, 12, paper)
    im.frame(1, 3, 14, 12, edge)
    for x, y in ((1, 3), (14, 3), (1, 12), (14, 12)):
        im.set(x, y, MAGENTA)
    im.glyph(3, 6, [".##.",
                    "...#",
                    ".###",
                    "#..#",
                    ".###"], ink)
    im.glyph(8, 4, ["#...",
                    "#...",
                    "###.",
                    "#..#",
                    "#..#",
                    "#..#",
                    "###."], ink)
    return im


def make_tree_strip():
    doc = pic_document()
    folder = pic_folder()
    return strip([doc, doc.faded(), folder, folder.faded(), pic_info(),
                  pic_padlock(), pic_registry(), overlay_check(),
                  overlay_cross(), overlay_hourglass()])


def make_process_strip():
    return strip([app_window(), warning_triangle()])


def make_registry_strip():
    return strip([registry_value((24, 72, 184), (255, 255, 255), (96, 104, 128)),
                  registry_value((208, 16, 16), (255, 232, 232), (176, 40, 40))])


# ----------------------------------------------------------------------

def preview(directory, name, rows, scale, transparent_magenta=False):
    out = []
    for row in rows:
        line = []
        for px in row:
            if len(px) == 3:
                if transparent_magenta and tuple(px) == MAGENTA:
                    px = (0, 0, 0, 0)
                else:
                    px = tuple(px) + (255,)
            line.extend([px] * scale)
        for _ in range(scale):
            out.append(line)
    # show transparency on a light checkerboard
    flat = []
    for y, line in enumerate(out):
        r = []
        for x, (cr, cg, cb, ca) in enumerate(line):
            bg = 236 if ((x // 8) + (y // 8)) % 2 else 200
            a = ca / 255.0
            r.append((int(cr * a + bg * (1 - a)), int(cg * a + bg * (1 - a)),
                      int(cb * a + bg * (1 - a)), 255))
        flat.append(r)
    write(os.path.join(directory, name + ".png"),
          png_bytes(len(flat[0]), len(flat), flat))


def main(argv):
    preview_dir = None
    if len(argv) >= 2 and argv[0] == "--preview":
        preview_dir = argv[1]
        os.makedirs(preview_dir, exist_ok=True)

    pictures = {
        "watermark": (make_watermark(), 2, False),
        "header": (make_header(), 4, False),
        "tree-images": (make_tree_strip(), 8, True),
        "process-images": (make_process_strip(), 8, True),
        "registry-images": (make_registry_strip(), 8, True),
    }
    for name, (rows, scale, magenta) in pictures.items():
        write(os.path.join(HERE, name + ".bmp"),
              bmp_bytes(len(rows[0]), len(rows), rows))
        if preview_dir:
            preview(preview_dir, name, rows, scale, magenta)

    os.makedirs(COMMON, exist_ok=True)
    icons = [(32, make_icon32()), (16, make_icon16())]
    write(os.path.join(COMMON, "orvane.ico"), ico_bytes(icons))
    if preview_dir:
        for size, rows in icons:
            preview(preview_dir, "icon%d" % size, rows, 256 // size)


if __name__ == "__main__":
    main(sys.argv[1:])
