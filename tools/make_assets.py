#!/usr/bin/env python3
"""Draw every picture asset of Vigilumen, pixel by pixel.

Standard library only (no PIL, no numpy): shapes are signed-distance
functions rendered with analytic anti-aliasing, and the BMP/ICO/PNG encoders
are written out by hand below.  Output is deterministic: running it twice
produces identical bytes.

Generated files (paths relative to the repository root):
  src/res/generated/vigilumen.ico  window icon, flying envelope, 32x32 + 16x16,
                                   16 colours with 1-bpp mask
  src/res/generated/nodrop.ico     32x32 white no-entry sign, black outline
  src/res/generated/about.bmp      93x116 8-bit picture for the About page, RLE8
  src/res/generated/monitor.bmp    195x180 8-bit monitor; its glass covers
                                   x 30..163, y 27..133 (inclusive) exactly
  data/QVX_data/window.ico         sample notification icon "window appeared"
  data/QVX_data/file.ico           sample notification icon "file changed"
                                   (both 32/48/64, 32-bit alpha + AND mask)

Usage, from the repository root:
  python3 tools/make_assets.py                 regenerate all files
  python3 tools/make_assets.py --check         also read every file back and
                                               print its structure
  python3 tools/make_assets.py --preview DIR   also write enlarged PNG previews
                                               (decoded from the written files)
"""

import math
import os
import struct
import sys
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

# The monitor picture's glass; the settings dialog places its live preview
# window exactly here, so these numbers must not drift.
GLASS_X, GLASS_Y, GLASS_W, GLASS_H = 30, 27, 134, 107


# ---------------------------------------------------------------------------
# Shapes: signed distance (negative inside, in pixels) plus a bounding box.
# ---------------------------------------------------------------------------

class Shape:
    def __init__(self, sdf, bbox):
        self.sdf = sdf
        self.bbox = bbox  # (x0, y0, x1, y1), may be generous

    def __or__(self, other):
        a, b = self.sdf, other.sdf
        return Shape(lambda x, y: min(a(x, y), b(x, y)), _bbox_union(self.bbox, other.bbox))

    def __and__(self, other):
        a, b = self.sdf, other.sdf
        return Shape(lambda x, y: max(a(x, y), b(x, y)), _bbox_inter(self.bbox, other.bbox))

    def __sub__(self, other):
        a, b = self.sdf, other.sdf
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.bbox)

    def grow(self, d):
        a = self.sdf
        x0, y0, x1, y1 = self.bbox
        return Shape(lambda x, y: a(x, y) - d, (x0 - d, y0 - d, x1 + d, y1 + d))

    def ring(self, w):
        """Band of width w centred on the outline."""
        a = self.sdf
        x0, y0, x1, y1 = self.bbox
        h = w / 2.0
        return Shape(lambda x, y: abs(a(x, y)) - h, (x0 - h, y0 - h, x1 + h, y1 + h))

    def move(self, dx, dy):
        a = self.sdf
        x0, y0, x1, y1 = self.bbox
        return Shape(lambda x, y: a(x - dx, y - dy), (x0 + dx, y0 + dy, x1 + dx, y1 + dy))

    def rot(self, deg, cx, cy):
        """Rotate clockwise on screen (y grows downwards) about (cx, cy)."""
        a = self.sdf
        t = math.radians(deg)
        c, s = math.cos(t), math.sin(t)

        def f(x, y):
            dx, dy = x - cx, y - cy
            return a(cx + dx * c + dy * s, cy - dx * s + dy * c)

        x0, y0, x1, y1 = self.bbox
        pts = [_rotp(px, py, c, s, cx, cy) for px, py in ((x0, y0), (x1, y0), (x0, y1), (x1, y1))]
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        return Shape(f, (min(xs), min(ys), max(xs), max(ys)))


def _rotp(x, y, c, s, cx, cy):
    dx, dy = x - cx, y - cy
    return (cx + dx * c - dy * s, cy + dx * s + dy * c)


def _bbox_union(a, b):
    return (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3]))


def _bbox_inter(a, b):
    return (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    def f(x, y):
        px, py = (x - cx), (y - cy)
        k0 = math.hypot(px / rx, py / ry)
        k1 = math.hypot(px / (rx * rx), py / (ry * ry))
        if k1 == 0.0:
            return -min(rx, ry)
        return k0 * (k0 - 1.0) / k1
    return Shape(f, (cx - rx, cy - ry, cx + rx, cy + ry))


def box(x0, y0, x1, y1, r=0.0):
    """Rectangle covering [x0,x1) x [y0,y1) in pixel-edge coordinates."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        out = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return out + min(max(qx, qy), 0.0) - r
    return Shape(f, (x0, y0, x1, y1))


def line(x0, y0, x1, y1, w):
    """Capsule (round-capped line) of width w."""
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-12
    h = w / 2.0

    def f(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - h
    return Shape(f, (min(x0, x1) - h, min(y0, y1) - h, max(x0, x1) + h, max(y0, y1) + h))


def polygon(pts):
    n = len(pts)
    edges = [(pts[i], pts[(i + 1) % n]) for i in range(n)]

    def f(x, y):
        best = 1e30
        inside = False
        for (ax, ay), (bx, by) in edges:
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            ll = ex * ex + ey * ey or 1e-12
            t = (wx * ex + wy * ey) / ll
            t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
            qx, qy = wx - ex * t, wy - ey * t
            d = qx * qx + qy * qy
            if d < best:
                best = d
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        d = math.sqrt(best)
        return -d if inside else d
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(f, (min(xs), min(ys), max(xs), max(ys)))


def polyline(pts, w):
    s = line(pts[0][0], pts[0][1], pts[1][0], pts[1][1], w)
    for i in range(1, len(pts) - 1):
        s = s | line(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1], w)
    return s


# ---------------------------------------------------------------------------
# Paint: solid colours or functions of the (design-space) position.
# ---------------------------------------------------------------------------

def mix(c0, c1, t):
    t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def linear(x0, y0, c0, x1, y1, c1):
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-12
    return lambda x, y: mix(c0, c1, ((x - x0) * dx + (y - y0) * dy) / ll)


def stops(x0, y0, x1, y1, table):
    """Multi-stop linear gradient; table is [(t, colour), ...] sorted by t."""
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-12

    def f(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        if t <= table[0][0]:
            return table[0][1]
        for (ta, ca), (tb, cb) in zip(table, table[1:]):
            if t <= tb:
                return mix(ca, cb, (t - ta) / (tb - ta))
        return table[-1][1]
    return f


def fade(x0, y0, x1, y1, peak=1.0, start=0.0):
    """Alpha rising from `start` at (x0,y0) to `peak` at (x1,y1)."""
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-12

    def f(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
        return peak * (start + (1.0 - start) * t)
    return f


def radial_alpha(cx, cy, r, peak=1.0, power=2.0):
    def f(x, y):
        t = 1.0 - math.hypot(x - cx, y - cy) / r
        return peak * (t ** power) if t > 0 else 0.0
    return f


# ---------------------------------------------------------------------------
# Canvas: straight-alpha RGBA floats, painted with "over".
# ---------------------------------------------------------------------------

class Canvas:
    def __init__(self, w, h, bg=None, scale=1.0, crisp=False):
        self.w, self.h = w, h
        self.scale = scale      # design units -> pixels
        self.crisp = crisp      # hard edges (for palette images)
        n = w * h
        if bg is None:
            self.r, self.g, self.b, self.a = [0.0] * n, [0.0] * n, [0.0] * n, [0.0] * n
        else:
            self.r, self.g, self.b = [float(bg[0])] * n, [float(bg[1])] * n, [float(bg[2])] * n
            self.a = [1.0] * n

    def blend(self, i, col, a):
        if a <= 0.0:
            return
        if a >= 1.0:
            self.r[i], self.g[i], self.b[i], self.a[i] = col[0], col[1], col[2], 1.0
            return
        da = self.a[i] * (1.0 - a)
        oa = a + da
        self.r[i] = (col[0] * a + self.r[i] * da) / oa
        self.g[i] = (col[1] * a + self.g[i] * da) / oa
        self.b[i] = (col[2] * a + self.b[i] * da) / oa
        self.a[i] = oa

    def fill(self, shape, paint, alpha=1.0, soft=1.0):
        s = self.scale
        pad = soft + 1
        x0, y0, x1, y1 = shape.bbox
        ix0 = max(0, int(math.floor(x0 * s - pad)))
        iy0 = max(0, int(math.floor(y0 * s - pad)))
        ix1 = min(self.w, int(math.ceil(x1 * s + pad)))
        iy1 = min(self.h, int(math.ceil(y1 * s + pad)))
        sdf = shape.sdf
        solid_paint = not callable(paint)
        solid_alpha = not callable(alpha)
        crisp = self.crisp
        for py in range(iy0, iy1):
            y = (py + 0.5) / s
            row = py * self.w
            for px in range(ix0, ix1):
                x = (px + 0.5) / s
                d = sdf(x, y) * s
                if crisp:
                    cov = 1.0 if d <= 0.0 else 0.0
                else:
                    cov = 0.5 - d / soft
                    if cov <= 0.0:
                        continue
                    if cov > 1.0:
                        cov = 1.0
                if cov <= 0.0:
                    continue
                a = cov * (alpha if solid_alpha else alpha(x, y))
                self.blend(row + px, paint if solid_paint else paint(x, y), a)

    def put(self, px, py, col, a=1.0):
        if 0 <= px < self.w and 0 <= py < self.h:
            self.blend(py * self.w + px, col, a)

    def rgba8(self, px, py):
        i = py * self.w + px
        return (_b8(self.r[i]), _b8(self.g[i]), _b8(self.b[i]), _b8(self.a[i] * 255.0))


def _b8(v):
    v = int(math.floor(v + 0.5))
    return 0 if v < 0 else (255 if v > 255 else v)


# ---------------------------------------------------------------------------
# Encoders.
# ---------------------------------------------------------------------------

def _bih(w, h, bpp, size_image, colours, compression=0):
    # BITMAPINFOHEADER; no compression unless asked (1 = BI_RLE8).
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, compression, size_image, 0, 0, colours, 0)


def _rle8_row(row):
    """One row in RLE8's encoded mode: (count, index) pairs, then end of line."""
    out, i = bytearray(), 0
    while i < len(row):
        n = 1
        while i + n < len(row) and n < 255 and row[i + n] == row[i]:
            n += 1
        out += bytes((n, row[i]))
        i += n
    return bytes(out) + b"\0\0"


def encode_bmp24(cv):
    stride = (cv.w * 3 + 3) & ~3
    rows = []
    for py in range(cv.h - 1, -1, -1):
        row = bytearray()
        for px in range(cv.w):
            r, g, b, a = cv.rgba8(px, py)
            if a != 255:
                raise ValueError("BMP pictures must be fully opaque")
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    off = 14 + 40
    head = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    return head + _bih(cv.w, cv.h, 24, len(pixels), 0) + pixels


def reduce_colours(pixels, limit, keep):
    """At most `limit` colours. While there are too many, the colour whose
    move costs least (its pixel count times the squared distance to its
    nearest other colour) joins that colour, so rare in-between shades go
    first and by the least. `keep` never moves, and nothing joins it.
    Returns {colour: the colour it became}."""
    counts = {}
    for c in pixels:
        counts[c] = counts.get(c, 0) + 1

    def dist(a, b):
        return sum((x - y) ** 2 for x, y in zip(a, b))

    def nearest(c):
        return min(((dist(c, o), o) for o in counts if o != c and o != keep), default=(None, None))

    near = {c: nearest(c) for c in counts}
    mapping = {c: c for c in counts}
    while len(counts) > limit:
        c = min((c for c in counts if c != keep), key=lambda c: (counts[c] * near[c][0], c))
        target = near[c][1]
        counts[target] += counts.pop(c)
        del near[c]
        for k, v in mapping.items():
            if v == c:
                mapping[k] = target
        for o in counts:
            if near[o][1] in (c, target):
                near[o] = nearest(o)
    return mapping


def encode_bmp8(cv, keep, rle=False, colours=256):
    """An 8-bit picture with its own colour table (a third of the 24-bit file);
    more than `colours` colours are reduced, `keep` exactly kept. `rle` compresses
    the rows (BI_RLE8): only for a picture loaded as a device bitmap or drawn
    from its resource, since a DIB section cannot hold a compressed picture."""
    rgb = [[cv.rgba8(px, py) for px in range(cv.w)] for py in range(cv.h)]
    if any(p[3] != 255 for row in rgb for p in row):
        raise ValueError("BMP pictures must be fully opaque")
    mapping = reduce_colours([p[:3] for row in rgb for p in row], colours, keep)
    palette = sorted(set(mapping.values()))
    index = {c: i for i, c in enumerate(palette)}
    stride = (cv.w + 3) & ~3
    rows = [bytes(index[mapping[p[:3]]] for p in rgb[py]) + b"\0" * (stride - cv.w) for py in range(cv.h - 1, -1, -1)]
    pixels = b"".join(_rle8_row(r[:cv.w]) for r in rows) + b"\0\1" if rle else b"".join(rows)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    off = 14 + 40 + len(table)
    head = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    return head + _bih(cv.w, cv.h, 8, len(pixels), len(palette), 1 if rle else 0) + table + pixels


def _mask_rows(w, h, transparent):
    """1-bpp AND mask, bottom-up, rows padded to 32 bits; 1 = transparent."""
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for py in range(h - 1, -1, -1):
        row = bytearray(stride)
        for px in range(w):
            if transparent(px, py):
                row[px >> 3] |= 0x80 >> (px & 7)
        out += row
    return bytes(out)


def ico_image_4bpp(cv, palette):
    """Quantise to a 16-entry palette; index 0 must be black (used under the mask)."""
    assert len(palette) == 16 and tuple(palette[0]) == (0, 0, 0)
    w, h = cv.w, cv.h
    idx = [[0] * w for _ in range(h)]
    clear = [[True] * w for _ in range(h)]
    for py in range(h):
        for px in range(w):
            r, g, b, a = cv.rgba8(px, py)
            if a < 128:
                continue
            clear[py][px] = False
            best, bi = None, 0
            for i, (pr, pg, pb) in enumerate(palette):
                d = 2 * (r - pr) ** 2 + 4 * (g - pg) ** 2 + 3 * (b - pb) ** 2
                if best is None or d < best:
                    best, bi = d, i
            idx[py][px] = bi
    stride = ((w * 4 + 31) // 32) * 4
    xor = bytearray()
    for py in range(h - 1, -1, -1):
        row = bytearray(stride)
        for px in range(w):
            row[px >> 1] |= idx[py][px] << (0 if px & 1 else 4)
        xor += row
    andm = _mask_rows(w, h, lambda x, y: clear[y][x])
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    data = _bih(w, h * 2, 4, len(xor) + len(andm), 16) + pal + bytes(xor) + andm
    return (w, h, 16, 4, data)


def ico_image_32bpp(cv):
    """Straight-alpha BGRA plus an AND mask.  Where the mask says transparent
    (alpha below one half) the colour is zeroed, so drawing that ignores alpha
    (AND then XOR) leaves the background untouched there."""
    w, h = cv.w, cv.h
    xor = bytearray()
    for py in range(h - 1, -1, -1):
        for px in range(w):
            r, g, b, a = cv.rgba8(px, py)
            if a < 128:
                r = g = b = 0
            xor += bytes((b, g, r, a))
    andm = _mask_rows(w, h, lambda x, y: cv.rgba8(x, y)[3] < 128)
    data = _bih(w, h * 2, 32, len(xor) + len(andm), 0) + bytes(xor) + andm
    return (w, h, 0, 32, data)


def encode_ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for w, h, ncol, bpp, data in images:
        out += struct.pack("<BBBBHHII", w & 0xFF, h & 0xFF, ncol, 0, 1, bpp, len(data), offset)
        offset += len(data)
        body += data
    return out + body


def encode_png(w, h, rgba_rows):
    def chunk(tag, payload):
        c = zlib.crc32(tag + payload) & 0xFFFFFFFF
        return struct.pack(">I", len(payload)) + tag + payload + struct.pack(">I", c)
    raw = b"".join(b"\0" + bytes(r) for r in rgba_rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------
# Decoders (for --check and --preview): read back exactly what was written.
# ---------------------------------------------------------------------------

def decode_dib(data, in_ico):
    """Returns (w, h, bpp, pixels, mask); pixels rows top-down of (r,g,b,a)."""
    size, w, h2, planes, bpp, comp, size_img, _, _, clr_used, _ = struct.unpack_from("<IiiHHIIiiII", data, 0)
    if size != 40 or planes != 1 or comp not in (0, 1) or (comp == 1 and bpp != 8):
        raise ValueError("unexpected header %r" % ((size, planes, comp),))
    h = h2 // 2 if in_ico else h2
    pos = 40
    pal = []
    if bpp <= 8:
        n = clr_used or (1 << bpp)
        for i in range(n):
            b, g, r, _ = data[pos + 4 * i:pos + 4 * i + 4]
            pal.append((r, g, b))
        pos += 4 * n
    stride = ((w * bpp + 31) // 32) * 4
    if comp == 1:  # BI_RLE8 in encoded mode, as _rle8_row writes it: expanded into plain rows
        rows, row, i = [], bytearray(), pos
        while len(rows) < h:
            n, v = data[i], data[i + 1]
            i += 2
            if n:
                row += bytes([v]) * n
            elif v in (0, 1):
                rows.append(bytes(row[:w]).ljust(stride, b"\0"))
                row = bytearray()
            else:
                raise ValueError("RLE8 escape %d not handled" % v)
        data, pos = data[:pos] + b"".join(rows), pos
    pix = [[None] * w for _ in range(h)]
    for ry in range(h):
        py = h - 1 - ry
        row = data[pos + ry * stride:pos + (ry + 1) * stride]
        for px in range(w):
            if bpp == 8:
                pix[py][px] = pal[row[px]] + (255,)
            elif bpp == 4:
                v = row[px >> 1]
                v = (v & 0x0F) if px & 1 else (v >> 4)
                pix[py][px] = pal[v] + (255,)
            elif bpp == 24:
                b, g, r = row[px * 3:px * 3 + 3]
                pix[py][px] = (r, g, b, 255)
            elif bpp == 32:
                b, g, r, a = row[px * 4:px * 4 + 4]
                pix[py][px] = (r, g, b, a)
            else:
                raise ValueError("bpp %d not handled" % bpp)
    pos += stride * h
    mask = None
    if in_ico:
        mstride = ((w + 31) // 32) * 4
        if len(data) != pos + mstride * h:
            raise ValueError("size mismatch: %d vs %d" % (len(data), pos + mstride * h))
        mask = [[False] * w for _ in range(h)]
        for ry in range(h):
            py = h - 1 - ry
            row = data[pos + ry * mstride:pos + (ry + 1) * mstride]
            for px in range(w):
                mask[py][px] = bool(row[px >> 3] & (0x80 >> (px & 7)))
    elif comp == 0 and size_img not in (0, len(data) - pos + stride * h) and size_img != stride * h:
        raise ValueError("biSizeImage mismatch")
    return w, h, bpp, pix, mask


def decode_ico(blob):
    res, typ, n = struct.unpack_from("<HHH", blob, 0)
    if res != 0 or typ != 1 or n < 1:
        raise ValueError("not an icon")
    out = []
    for i in range(n):
        bw, bh, ncol, _, planes, bpp, size, off = struct.unpack_from("<BBBBHHII", blob, 6 + 16 * i)
        if off + size > len(blob):
            raise ValueError("entry %d runs past end of file" % i)
        w, h, dbpp, pix, mask = decode_dib(blob[off:off + size], True)
        if (bw or 256) != w or (bh or 256) != h or dbpp != bpp:
            raise ValueError("directory entry %d disagrees with its header" % i)
        if bpp == 4 and ncol != 16:
            raise ValueError("4-bpp entry must say 16 colours")
        for py in range(h):
            for px in range(w):
                if mask[py][px] and pix[py][px][:3] != (0, 0, 0):
                    raise ValueError("colour under transparent mask at %d,%d" % (px, py))
                if bpp == 32 and mask[py][px] != (pix[py][px][3] < 128):
                    raise ValueError("mask disagrees with alpha at %d,%d" % (px, py))
        out.append((w, h, bpp, pix, mask))
    return out


def decode_bmp(blob):
    magic, fsize, _, _, off = struct.unpack_from("<2sIHHI", blob, 0)
    if magic != b"BM" or fsize != len(blob):
        raise ValueError("bad BMP file header")
    return decode_dib(blob[14:], False)


# ---------------------------------------------------------------------------
# Shared motif: the flying envelope.
# ---------------------------------------------------------------------------

def draw_envelope(cv, x0, y0, w, h, tilt, outline, body, flap, edge_w, shade=None):
    """Envelope seen from the back, rotated by `tilt` degrees about its centre."""
    cx, cy = x0 + w / 2.0, y0 + h / 2.0
    r = max(0.0, min(w, h) * 0.06)
    env = box(x0, y0, x0 + w, y0 + h, r)
    tip_y = y0 + h * 0.58
    flap_poly = polygon([(x0, y0), (x0 + w, y0), (cx, tip_y)])
    lower = polygon([(x0, y0 + h), (cx, y0 + h * 0.48), (x0 + w, y0 + h)])
    cv.fill(env.grow(edge_w).rot(tilt, cx, cy), outline)
    cv.fill(env.rot(tilt, cx, cy), body)
    if shade is not None:
        cv.fill((lower & env).rot(tilt, cx, cy), shade)
    cv.fill((flap_poly & env).rot(tilt, cx, cy), flap)
    # the flap's V-shaped fold
    lw = edge_w * 0.8
    cv.fill(polyline([(x0 + lw * 0.3, y0 + lw * 0.3), (cx, tip_y), (x0 + w - lw * 0.3, y0 + lw * 0.3)], lw).rot(tilt, cx, cy), outline)
    return cx, cy


# ---------------------------------------------------------------------------
# The assets.
# ---------------------------------------------------------------------------

NAVY = (22, 40, 86)

# 16-entry palette for the window icon; index 0 black sits under the mask.
ICON_PALETTE = [
    (0, 0, 0), (255, 255, 255), (22, 40, 86), (60, 86, 142),
    (236, 241, 250), (204, 216, 236), (150, 170, 206), (28, 108, 222),
    (96, 164, 246), (176, 212, 255), (255, 204, 48), (236, 134, 24),
    (200, 44, 44), (110, 120, 140), (180, 186, 196), (255, 244, 190),
]

# Hand-placed 16x16: at this size drawn shapes blur, so every pixel is chosen.
#   . clear  K navy outline  W white  L light  P pale blue  B blue  b light blue
#   Y yellow  S shade
ENVELOPE_16 = [
    "................",
    "................",
    "................",
    ".....KKKKKKKKKKK",
    ".....KKWWWWWWWKK",
    ".BBB.KLKWWWWWKLK",
    ".....KLLKWWWKLLK",
    "BBBB.KLLLKWKLLLK",
    ".....KLLLLKLLLLK",
    "..bb.KLLLLLLLLLK",
    ".....KLLLLLLLLLK",
    ".....KKKKKKKKKKK",
    "................",
    "................",
    "................",
    "................",
]


def vigilumen_32():
    cv = Canvas(32, 32, crisp=True)
    # speed lines trailing to the left
    blue, light = ICON_PALETTE[7], ICON_PALETTE[8]
    cv.fill(box(1, 11, 9, 13, 1), blue)
    cv.fill(box(4, 15, 10, 17, 1), light)
    cv.fill(box(0, 19, 9, 21, 1), blue)
    cv.fill(box(5, 23, 10, 25, 1), light)
    draw_envelope(cv, 12, 8, 19, 16, 0, ICON_PALETTE[2], ICON_PALETTE[4], ICON_PALETTE[1], 1.0)
    return cv


def vigilumen_16():
    cv = Canvas(16, 16)
    key = {"K": 2, "W": 1, "L": 4, "P": 9, "B": 7, "b": 8, "Y": 10, "S": 5}
    for py, row in enumerate(ENVELOPE_16):
        for px, ch in enumerate(row):
            if ch != ".":
                cv.put(px, py, ICON_PALETTE[key[ch]])
    return cv


def make_vigilumen_ico():
    return encode_ico([ico_image_4bpp(vigilumen_32(), ICON_PALETTE),
                       ico_image_4bpp(vigilumen_16(), ICON_PALETTE)])


def make_nodrop_ico():
    cv = Canvas(32, 32)
    c = 16.0
    ring = circle(c, c, 11.5) - circle(c, c, 7.5)
    k = 1 / math.sqrt(2)
    bar = line(c - 8.5 * k, c - 8.5 * k, c + 8.5 * k, c + 8.5 * k, 4.0)
    sign = ring | bar
    cv.fill(sign.grow(1.6), (0, 0, 0))
    cv.fill(sign, (255, 255, 255))
    return encode_ico([ico_image_32bpp(cv)])


def make_about_bmp():
    W, H = 93, 116
    cv = Canvas(W, H, bg=(0, 0, 0))
    cv.fill(box(0, 0, W, H), stops(0, 0, 0, H, [
        (0.0, (8, 14, 40)), (0.55, (26, 40, 92)), (1.0, (66, 58, 118))]))
    # stars, from a fixed LCG so the picture never changes
    seed = 20240611
    for _ in range(34):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        sx = seed % W
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        sy = seed % 70
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        lum = 0.35 + (seed % 100) / 160.0
        cv.put(sx, sy, (235, 240, 255), lum)
    for sx, sy in ((14, 12), (78, 9), (70, 40)):
        cv.fill(circle(sx + 0.5, sy + 0.5, 1.2), (255, 255, 255), 0.9)
        cv.fill(line(sx + 0.5, sy - 2.5, sx + 0.5, sy + 3.5, 0.5) | line(sx - 2.5, sy + 0.5, sx + 3.5, sy + 0.5, 0.5),
                (220, 230, 255), 0.5)
    # small monitor near the bottom; its screen casts a beam up to the envelope
    mx0, my0, mx1, my1 = 14, 82, 52, 108
    cv.fill(circle(33, 94, 30), (110, 220, 235), radial_alpha(33, 94, 30, 0.45, 1.6))
    cv.fill(polygon([(18, 86), (48, 86), (84, 44), (26, 36)]), (150, 230, 240),
            lambda x, y: 0.32 * max(0.0, min(1.0, (y - 38) / 48.0)) ** 1.3)
    cv.fill(box(mx0, my0, mx1, my1, 2.5), (22, 24, 32))
    cv.fill(box(mx0 + 3, my0 + 3, mx1 - 3, my1 - 5, 0.5),
            linear(0, my0 + 3, (120, 230, 236), 0, my1 - 5, (24, 120, 150)))
    cv.fill(polygon([(29, my1), (37, my1), (39, 113), (27, 113)]), (30, 32, 42))
    cv.fill(box(22, 112, 44, 115, 1.5), (36, 38, 50))
    # warm glow behind the envelope
    cv.fill(circle(57, 52, 40), (255, 224, 150), radial_alpha(57, 52, 40, 0.6, 1.8))
    # speed lines
    for ax, ay, bx, by, wd in ((6, 46, 26, 46, 2.4), (13, 53, 28, 53, 2.0), (2, 60, 24, 60, 2.4)):
        grad = linear(ax, ay, (90, 140, 220), bx, by, (220, 240, 255))
        cv.fill(line(ax, ay, bx, by, wd).rot(-14, 57, 50), grad, fade(ax, ay, bx, by, 1.0, 0.1))
    draw_envelope(cv, 30, 36, 52, 34, -14, NAVY, (226, 234, 248), (255, 255, 255), 2.0,
                  shade=(200, 212, 236))
    # a wax seal where the flap closes
    seal = circle(56, 56.5, 4.2).rot(-14, 56, 53)
    cv.fill(seal.grow(0.8), NAVY)
    cv.fill(seal, linear(52, 52, (255, 214, 90), 60, 60, (230, 140, 30)))
    # Loaded as a device bitmap. 64 colours: the runs grow longer and the
    # picture takes 2 KB less of the i686 file, with no banding to see.
    return encode_bmp8(cv, (8, 14, 40), rle=True, colours=64)


def make_monitor_bmp():
    W, H = 195, 180
    BG = (240, 240, 240)
    cv = Canvas(W, H, bg=BG)
    gx0, gy0 = GLASS_X, GLASS_Y
    gx1, gy1 = GLASS_X + GLASS_W, GLASS_Y + GLASS_H
    cx = (gx0 + gx1) / 2.0
    # soft floor shadow under the base
    cv.fill(ellipse(cx, 172.5, 52, 5), (0, 0, 0), 0.22, soft=5.0)
    # base and neck
    cv.fill(box(cx - 44, 163, cx + 44, 173, 5).grow(1), (96, 98, 104))
    cv.fill(box(cx - 44, 163, cx + 44, 173, 5), linear(0, 163, (206, 208, 214), 0, 173, (150, 152, 160)))
    cv.fill(box(cx - 40, 164, cx + 40, 165.2, 0.6), (240, 242, 246), 0.8)
    neck = polygon([(cx - 11, 146), (cx + 11, 146), (cx + 15, 164), (cx - 15, 164)])
    cv.fill(neck.grow(1), (96, 98, 104))
    cv.fill(neck, linear(cx - 15, 0, (150, 152, 160), cx + 15, 0, (196, 198, 206)))
    cv.fill(box(cx - 14, 146, cx + 14, 150), (0, 0, 0), 0.18)
    # bezel
    bez = box(gx0 - 11, gy0 - 11, gx1 + 11, gy1 + 14, 6)
    cv.fill(bez.grow(1), (28, 30, 34))
    cv.fill(bez, linear(0, gy0 - 11, (78, 82, 90), 0, gy1 + 14, (44, 46, 52)))
    cv.fill(box(gx0 - 9, gy0 - 10.2, gx1 + 9, gy0 - 9.2, 0.5), (140, 146, 156), 0.6)
    cv.fill(box(gx0 - 1, gy0 - 1, gx1 + 1, gy1 + 1), (18, 19, 22))
    # power light on the chin
    cv.fill(circle(gx1 + 2, gy1 + 7, 1.6), (90, 220, 120))
    cv.fill(circle(gx1 + 2, gy1 + 7, 4), (90, 220, 120), radial_alpha(gx1 + 2, gy1 + 7, 4, 0.35))
    # the glass: a calm desktop colour, exact pixel edges
    cv.fill(box(gx0, gy0, gx1, gy1),
            stops(gx0, gy0, gx1 * 0.3 + gx0 * 0.7, gy1, [(0.0, (22, 98, 122)), (1.0, (10, 62, 88))]))
    # The background colour stays exact: the dialog paints it in the page's colour.
    # Compressed, in 48 colours: 5 KB instead of 36 in the i686 file. The
    # program draws it itself (monitor_picture_win32.cpp); its background
    # is BG, exactly.
    return encode_bmp8(cv, BG, rle=True, colours=48)


def make_window_ico():
    imgs = []
    for size in (32, 48, 64):
        cv = Canvas(size, size, scale=size / 32.0)
        frame = box(1.5, 3.5, 28.5, 26.5, 2.2)
        cv.fill(frame.grow(1.0), (28, 40, 66))
        cv.fill(frame, (250, 252, 255))
        cv.fill(frame & box(0, 0, 32, 9), linear(0, 3.5, (84, 152, 238), 0, 9, (34, 98, 196)))
        cv.fill(box(1.5, 9, 28.5, 10), (28, 40, 66), 0.55)
        # caption buttons
        for i, col in enumerate(((230, 80, 70), (250, 250, 250), (250, 250, 250))):
            bx = 24.0 - i * 3.6
            cv.fill(box(bx - 1.3, 5, bx + 1.3, 7.6, 0.5), col, 0.95)
        cv.fill(box(4, 5.2, 12, 7.4, 1.0), (255, 255, 255), 0.75)
        # client area content
        for i, ww in enumerate((16, 12, 14, 8)):
            cv.fill(box(4.5, 12.5 + i * 3.2, 4.5 + ww, 14.1 + i * 3.2, 0.7), (170, 184, 206))
        draw_bell(cv, 22.5, 18.0)
        imgs.append(ico_image_32bpp(cv))
    return encode_ico(imgs)


def draw_bell(cv, bx, by):
    """A ringing bell; (bx, by) is the centre of its dome, in 32-unit space."""
    r, rim_y, rim_w = 3.5, by + 7.0, 6.0
    pts = []
    steps = 12
    for i in range(steps + 1):
        t = i / float(steps)
        pts.append((bx + r + (rim_w - r) * t ** 2.2, by + (rim_y - by) * t))
    pts += [(2 * bx - x, y) for x, y in reversed(pts)]
    bell = circle(bx, by, r) | polygon(pts) | box(bx - rim_w - 0.4, rim_y - 1.0, bx + rim_w + 0.4, rim_y + 0.9, 0.9)
    clap = circle(bx, rim_y + 2.1, 1.5)
    knob = circle(bx, by - r - 0.4, 1.1)
    dark = (58, 36, 6)
    cv.fill((bell | clap | knob).grow(1.1), dark)
    cv.fill(clap | knob, (206, 132, 18))
    cv.fill(bell, linear(bx - rim_w, 0, (255, 228, 110), bx + rim_w, 0, (230, 146, 16)))
    cv.fill(line(bx - 1.6, by - 1.2, bx - 2.8, by + 4.0, 1.0), (255, 250, 224), 0.85)
    # short arcs either side: it is ringing
    cx, cy = bx, by + 1.0
    for sgn in (-1, 1):
        band = circle(cx, cy, 8.3) - circle(cx, cy, 7.1)
        wedge = polygon([(cx, cy),
                         (cx + sgn * 12 * math.cos(math.radians(62)), cy - 12 * math.sin(math.radians(62))),
                         (cx + sgn * 12 * math.cos(math.radians(18)), cy - 12 * math.sin(math.radians(18)))])
        arc = band & wedge
        cv.fill(arc.grow(0.7), dark)
        cv.fill(arc, (255, 214, 80))


def make_file_ico():
    imgs = []
    for size in (32, 48, 64):
        cv = Canvas(size, size, scale=size / 32.0)
        x0, y0, x1, y1, fold = 4.5, 2.5, 23.5, 29.5, 6.5
        page = polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
        cv.fill(page.grow(1.0), (48, 58, 80))
        cv.fill(page, linear(0, y0, (255, 255, 255), 0, y1, (234, 240, 250)))
        ear = polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)])
        cv.fill(ear.grow(0.3), (48, 58, 80))
        cv.fill(ear, (200, 212, 232))
        for i, (lx, ww) in enumerate(((7.5, 8), (7.5, 12), (7.5, 13), (7.5, 10), (7.5, 12), (7.5, 6))):
            cv.fill(box(lx, 6 + i * 3.4 + (2.2 if i else 0), lx + ww, 7.6 + i * 3.4 + (2.2 if i else 0), 0.7),
                    (150, 168, 198) if i else (60, 110, 200))
        # pencil, drawn lying flat then turned to point down-left
        pcx, pcy = 21.2, 20.6
        L = 20.0
        px0 = pcx - L / 2
        hw = 2.6
        tipn = px0 + 5.0
        body = box(tipn, pcy - hw, pcx + L / 2 - 3.6, pcy + hw, 0.3)
        band = box(pcx + L / 2 - 5.8, pcy - hw, pcx + L / 2 - 3.6, pcy + hw)
        eraser = box(pcx + L / 2 - 4.2, pcy - hw, pcx + L / 2, pcy + hw, 1.4)
        wood = polygon([(px0, pcy), (tipn, pcy - hw), (tipn, pcy + hw)])
        lead = polygon([(px0, pcy), (px0 + 1.9, pcy - hw * 0.38), (px0 + 1.9, pcy + hw * 0.38)])
        whole = body | eraser | wood
        ang = -45.0
        R = lambda s: s.rot(ang, pcx, pcy)
        cv.fill(R(whole.grow(1.0)), (48, 40, 30))
        cv.fill(R(eraser), (240, 128, 140))
        cv.fill(R(body), lambda x, y: _pencil_paint(x, y, pcx, pcy, ang, hw))
        cv.fill(R(band), lambda x, y: _band_paint(x, y, pcx, pcy, ang, hw))
        cv.fill(R(wood), (246, 214, 160))
        cv.fill(R(lead), (48, 40, 30))
        imgs.append(ico_image_32bpp(cv))
    return encode_ico(imgs)


def _unrot(x, y, cx, cy, deg):
    t = math.radians(deg)
    c, s = math.cos(t), math.sin(t)
    dx, dy = x - cx, y - cy
    return cx + dx * c + dy * s, cy - dx * s + dy * c


def _pencil_paint(x, y, cx, cy, ang, hw):
    _, v = _unrot(x, y, cx, cy, ang)
    t = (v - (cy - hw)) / (2 * hw)
    # three facets: a lit one, the middle, a shaded one
    if t < 0.36:
        return (255, 222, 96)
    if t < 0.68:
        return (250, 184, 40)
    return (222, 136, 18)


def _band_paint(x, y, cx, cy, ang, hw):
    _, v = _unrot(x, y, cx, cy, ang)
    t = (v - (cy - hw)) / (2 * hw)
    return mix((230, 234, 240), (140, 146, 160), t)


# ---------------------------------------------------------------------------
# Driver.
# ---------------------------------------------------------------------------

OUTPUTS = [
    ("src/res/generated/vigilumen.ico", make_vigilumen_ico),
    ("src/res/generated/nodrop.ico", make_nodrop_ico),
    ("src/res/generated/about.bmp", make_about_bmp),
    ("src/res/generated/monitor.bmp", make_monitor_bmp),
    ("data/QVX_data/window.ico", make_window_ico),
    ("data/QVX_data/file.ico", make_file_ico),
]


def check(rel, blob):
    if rel.endswith(".ico"):
        imgs = decode_ico(blob)
        return "ICO " + ", ".join("%dx%d %dbpp+mask" % (w, h, bpp) for w, h, bpp, _, _ in imgs), imgs
    w, h, bpp, pix, _ = decode_bmp(blob)
    if rel.endswith("monitor.bmp"):
        check_glass(pix)
    return "BMP %dx%d %dbpp" % (w, h, bpp), [(w, h, bpp, pix, None)]


def check_glass(pix):
    """The glass must fill its rectangle exactly, framed by the dark lip."""
    x0, y0 = GLASS_X, GLASS_Y
    x1, y1 = GLASS_X + GLASS_W - 1, GLASS_Y + GLASS_H - 1
    for y in range(y0 - 1, y1 + 2):
        for x in range(x0 - 1, x1 + 2):
            r, g, b, _ = pix[y][x]
            glass = b > r + 40 and g > r + 30
            if glass != (x0 <= x <= x1 and y0 <= y <= y1):
                raise ValueError("monitor glass edge wrong at %d,%d" % (x, y))


def _checker(px, py):
    return (204, 204, 204) if ((px // 4) + (py // 4)) & 1 else (255, 255, 255)


def write_previews(outdir, rel, imgs):
    base = os.path.splitext(os.path.basename(rel))[0]
    paths = []
    for w, h, bpp, pix, mask in imgs:
        for scale in (1, 2, 8):
            # panels: alpha over checker, over dark blue, and (icons) the
            # AND/XOR rendering that ignores alpha, over mid grey
            panels = [("checker", None)]
            if mask is not None:
                panels += [("dark", (20, 30, 60)), ("masked", (128, 128, 128))]
            gap = 4
            ow = len(panels) * w * scale + (len(panels) - 1) * gap
            oh = h * scale
            rows = []
            for oy in range(oh):
                row = bytearray()
                for pi, (kind, bg) in enumerate(panels):
                    if pi:
                        row += bytes((255, 0, 255, 255)) * gap
                    for ox in range(w * scale):
                        px, py = ox // scale, oy // scale
                        r, g, b, a = pix[py][px]
                        if kind == "masked":
                            if mask[py][px]:
                                out = tuple(c ^ v for c, v in zip(bg, (r, g, b)))
                            else:
                                out = (r, g, b)
                        else:
                            under = _checker(ox, oy) if bg is None else bg
                            if mask is not None and bpp != 32:
                                a = 0 if mask[py][px] else 255
                            out = tuple(int(round(c * a / 255.0 + u * (255 - a) / 255.0)) for c, u in zip((r, g, b), under))
                        row += bytes(out) + b"\xff"
                rows.append(row)
            p = os.path.join(outdir, "%s_%d_x%d.png" % (base, w, scale))
            with open(p, "wb") as f:
                f.write(encode_png(ow, oh, rows))
            paths.append(p)
    return paths


def main(argv):
    want_check = "--check" in argv
    preview = None
    if "--preview" in argv:
        i = argv.index("--preview")
        if i + 1 >= len(argv):
            sys.exit("--preview needs a directory")
        preview = argv[i + 1]
        os.makedirs(preview, exist_ok=True)
    for rel, maker in OUTPUTS:
        blob = maker()
        path = os.path.join(ROOT, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(blob)
        summary, imgs = check(rel, blob)  # always validate what was written
        if want_check or preview:
            print("%-34s %6d bytes  %s" % (rel, len(blob), summary))
        else:
            print(rel)
        if preview:
            write_previews(preview, rel, imgs)
    if preview:
        print("previews in", preview)


if __name__ == "__main__":
    main(sys.argv[1:])
