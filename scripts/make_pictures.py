#!/usr/bin/env python3
"""Regenerates Quillmark's design-time pictures and the window skin.

Writes into app/resources/:
  quillmark.ico                 application icon (48/32/16 px, 4/8/32 bpp)
  human.gif nightelf.gif
  orc.gif undead.gif            50x56 race emblems
  crown_gold.gif crown_silver.gif  20x20 animated crowns (looping)
  quillmark.qss                 main window style sheet

and into packaging/icons/ the same icon design as PNG files for the desktop's
icon theme: quillmark-16.png ... quillmark-256.png (16, 32, 48, 64, 128, 256 px).

Standard library only. Shapes are drawn as point predicates and rendered
with 4x4 supersampling, then quantised (median cut) where a palette is needed.
"""
import math
import os
import struct
import zlib

OUT_DIR = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "app", "resources")
ICON_DIR = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "packaging", "icons")
ICON_PNG_SIZES = (16, 32, 48, 64, 128, 256)

# Window background of the skin; also the matte behind soft GIF edges.
WINDOW_BG = (0xE6, 0xEC, 0xF2)


# --------------------------------------------------------------------------
# Tiny raster helper
# --------------------------------------------------------------------------

def circle(cx, cy, r):
    r2 = r * r
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r2


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rrect(x0, y0, x1, y1, r):
    def f(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return f


def _inside(pts, x, y):
    res = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            res = not res
        j = i
    return res


def _seg_dist2(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    l2 = vx * vx + vy * vy
    t = 0.0 if l2 == 0 else max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / l2))
    dx, dy = ax + t * vx - x, ay + t * vy - y
    return dx * dx + dy * dy


def poly(pts, grow=0.0):
    """Filled polygon; grow > 0 widens it by that distance (for outlines)."""
    pts = list(pts)
    g2 = grow * grow

    def f(x, y):
        if _inside(pts, x, y):
            return True
        if grow <= 0:
            return False
        n = len(pts)
        return any(_seg_dist2(x, y, *pts[i - 1], *pts[i]) <= g2 for i in range(n))
    return f


def line(ax, ay, bx, by, width):
    h2 = (width / 2.0) ** 2
    return lambda x, y: _seg_dist2(x, y, ax, ay, bx, by) <= h2


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def either(*ps):
    return lambda x, y: any(p(x, y) for p in ps)


def rotate(p, cx, cy, deg):
    c, s = math.cos(math.radians(deg)), math.sin(math.radians(deg))

    def f(x, y):
        dx, dy = x - cx, y - cy
        return p(cx + dx * c + dy * s, cy - dx * s + dy * c)
    return f


def mirror(p, cx):
    return lambda x, y: p(2 * cx - x, y)


def _mix(c0, c1, t):
    t = max(0.0, min(1.0, t))
    c0 = tuple(c0) + (255,) * (4 - len(c0))
    c1 = tuple(c1) + (255,) * (4 - len(c1))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def vgrad(c0, c1, y0, y1):
    return lambda x, y: _mix(c0, c1, (y - y0) / (y1 - y0))


def radial(c0, c1, cx, cy, r):
    return lambda x, y: _mix(c0, c1, math.hypot(x - cx, y - cy) / r)


def star(cx, cy, r_out, r_in, points=4, rot=-90.0):
    pts = []
    for i in range(points * 2):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(rot + i * 180.0 / points)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return poly(pts)


def render(w, h, layers, scale=1.0, ss=4):
    """Composite layers [(predicate, colour)] into w*h RGBA tuples (0..255).

    Colours are (r, g, b[, a]) tuples or callables (x, y) -> tuple.
    The predicate space is pixel space divided by `scale`.
    """
    out = []
    n = ss * ss
    for py in range(h):
        for px in range(w):
            ar = ag = ab = aa = 0.0
            for sy in range(ss):
                y = (py + (sy + 0.5) / ss) / scale
                for sx in range(ss):
                    x = (px + (sx + 0.5) / ss) / scale
                    r = g = b = a = 0.0
                    for pred, col in layers:
                        if pred(x, y):
                            c = col(x, y) if callable(col) else col
                            ca = (c[3] if len(c) > 3 else 255) / 255.0
                            r = c[0] * ca + r * (1 - ca)
                            g = c[1] * ca + g * (1 - ca)
                            b = c[2] * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    ar += r
                    ag += g
                    ab += b
                    aa += a
            if aa <= 0:
                out.append((0, 0, 0, 0))
            else:
                out.append((round(ar / aa), round(ag / aa), round(ab / aa),
                            round(255 * aa / n)))
    return out


# --------------------------------------------------------------------------
# Colour quantisation (median cut)
# --------------------------------------------------------------------------

def median_cut(colours, n):
    hist = {}
    for c in colours:
        hist[c] = hist.get(c, 0) + 1
    if len(hist) <= n:
        return sorted(hist)
    boxes = [list(hist.items())]
    while len(boxes) < n:
        best, best_score, best_ch = -1, 0.0, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            weight = sum(cnt for _, cnt in box)
            for ch in range(3):
                vals = [c[ch] for c, _ in box]
                score = (max(vals) - min(vals)) * math.sqrt(weight)
                if score > best_score:
                    best, best_score, best_ch = i, score, ch
        if best < 0:
            break
        box = sorted(boxes.pop(best), key=lambda e: e[0][best_ch])
        half = sum(cnt for _, cnt in box) / 2.0
        acc, cut = 0, 1
        for k, (_, cnt) in enumerate(box):
            acc += cnt
            if acc >= half:
                cut = k + 1
                break
        cut = max(1, min(len(box) - 1, cut))
        boxes += [box[:cut], box[cut:]]
    pal = []
    for box in boxes:
        wsum = sum(cnt for _, cnt in box)
        pal.append(tuple(round(sum(c[ch] * cnt for c, cnt in box) / wsum)
                         for ch in range(3)))
    return pal


def nearest_mapper(pal, first_index=0):
    cache = {}

    def idx(c):
        i = cache.get(c)
        if i is None:
            i = min(range(len(pal)), key=lambda k: (pal[k][0] - c[0]) ** 2 * 3
                    + (pal[k][1] - c[1]) ** 2 * 4 + (pal[k][2] - c[2]) ** 2 * 2)
            cache[c] = i
        return i + first_index
    return idx


# --------------------------------------------------------------------------
# GIF encoder
# --------------------------------------------------------------------------

def lzw_encode(indices, min_size):
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    bitbuf = nbits = 0

    def emit(code, width):
        nonlocal bitbuf, nbits
        bitbuf |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bitbuf & 0xFF)
            bitbuf >>= 8
            nbits -= 8

    def fresh():
        return {(i,): i for i in range(clear)}, eoi + 1, min_size + 1

    table, nxt, width = fresh()
    emit(clear, width)
    cur = (indices[0],)
    for k in indices[1:]:
        ext = cur + (k,)
        if ext in table:
            cur = ext
            continue
        emit(table[cur], width)
        if nxt < 4096:
            table[ext] = nxt
            nxt += 1
            if nxt > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, nxt, width = fresh()
        cur = (k,)
    emit(table[cur], width)
    # the decoder still adds an entry for that last code, which may widen it
    if nxt == (1 << width) and width < 12:
        width += 1
    emit(eoi, width)
    if nbits:
        out.append(bitbuf & 0xFF)
    return bytes(out)


def lzw_decode(data, min_size):
    """Reference decoder, used only to self-check the encoder."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    pos = bitbuf = nbits = 0
    out = []
    table = width = None
    prev = None
    while True:
        if width is None:
            width = min_size + 1
        while nbits < width:
            bitbuf |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = bitbuf & ((1 << width) - 1)
        bitbuf >>= width
        nbits -= width
        if code == clear:
            table = [(i,) for i in range(clear)] + [None, None]
            width, prev = min_size + 1, None
            continue
        if code == eoi:
            return out
        if prev is None:
            entry = table[code]
        else:
            entry = table[code] if code < len(table) else prev + prev[:1]
            table.append(prev + entry[:1])
            if len(table) == (1 << width) and width < 12:
                width += 1
        out.extend(entry)
        prev = entry


def _sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes([len(chunk)]) + chunk
    return bytes(out) + b"\x00"


def write_gif(path, w, h, frames, delay_cs=15):
    """frames: lists of RGBA pixels. Alpha < 128 becomes transparent; the rest
    is blended over WINDOW_BG. One global palette serves all frames."""
    flat = []
    transparent = False
    for fr in frames:
        px = []
        for r, g, b, a in fr:
            if a < 128:
                px.append(None)
                transparent = True
            else:
                t = a / 255.0
                px.append(tuple(round(c * t + m * (1 - t))
                                for c, m in zip((r, g, b), WINDOW_BG)))
        flat.append(px)
    base = 1 if transparent else 0
    pal = median_cut([c for px in flat for c in px if c is not None], 256 - base)
    idx = nearest_mapper(pal, base)
    entries = ([WINDOW_BG] if transparent else []) + pal
    bits = max(1, (len(entries) - 1).bit_length())
    entries += [(0, 0, 0)] * ((1 << bits) - len(entries))
    min_size = max(2, bits)

    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", w, h, 0x80 | (7 << 4) | (bits - 1), 0, 0)
    for c in entries:
        data += bytes(c)
    animated = len(frames) > 1
    if animated:
        data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\x00"
    for px in flat:
        pixels = [0 if c is None else idx(c) for c in px]
        if animated or transparent:
            disposal = 2 if animated else 0
            packed = (disposal << 2) | (1 if transparent else 0)
            data += b"\x21\xF9\x04" + struct.pack(
                "<BHB", packed, delay_cs if animated else 0, 0) + b"\x00"
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        code = lzw_encode(pixels, min_size)
        assert lzw_decode(code, min_size) == pixels, "LZW round trip failed"
        data += bytes([min_size]) + _sub_blocks(code)
    data += b"\x3B"
    with open(path, "wb") as f:
        f.write(data)


# --------------------------------------------------------------------------
# ICO encoder (classic BMP entries)
# --------------------------------------------------------------------------

def _ico_entry(size, rgba, bpp):
    row_bytes = ((size * bpp + 31) // 32) * 4
    mask_row = ((size + 31) // 32) * 4
    rows = [rgba[y * size:(y + 1) * size] for y in range(size)]
    palette = b""
    if bpp == 32:
        xor = bytearray()
        for row in reversed(rows):
            line_ = bytearray()
            for r, g, b, a in row:
                line_ += bytes((b, g, r, a) if a else (0, 0, 0, 0))
            xor += line_ + bytes(row_bytes - len(line_))
        opaque = [[a > 0 for *_, a in row] for row in rows]
    else:
        ncol = 1 << bpp
        opaque = [[a >= 128 for *_, a in row] for row in rows]
        # index 0 stays black: it is what transparent pixels must hold
        pal = median_cut([p[:3] for row in rows for p in row if p[3] >= 128], ncol - 1)
        idx = nearest_mapper(pal, 1)
        full = [(0, 0, 0)] + pal + [(0, 0, 0)] * (ncol - 1 - len(pal))
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in full)
        xor = bytearray()
        for y in reversed(range(size)):
            ids = [idx(p[:3]) if opaque[y][x] else 0 for x, p in enumerate(rows[y])]
            line_ = bytearray()
            if bpp == 8:
                line_ += bytes(ids)
            else:
                for x in range(0, size, 2):
                    line_.append((ids[x] << 4) | (ids[x + 1] if x + 1 < size else 0))
            xor += line_ + bytes(row_bytes - len(line_))
    mask = bytearray()
    for y in reversed(range(size)):
        line_ = bytearray(mask_row)
        for x in range(size):
            if not opaque[y][x]:
                line_[x >> 3] |= 0x80 >> (x & 7)
        mask += line_
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0,
                         (1 << bpp) if bpp <= 8 else 0, 0)
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(path, images):
    """images: list of (size, rgba, bpp)."""
    blobs = [(s, bpp, _ico_entry(s, px, bpp)) for s, px, bpp in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for s, bpp, blob in blobs:
        out += struct.pack("<BBBBHHII", s % 256, s % 256,
                           16 if bpp == 4 else 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    for *_, blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


# --------------------------------------------------------------------------
# PNG encoder (8-bit RGBA, no filtering: the icons are small)
# --------------------------------------------------------------------------

def write_png(path, w, h, rgba):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for p in rgba[y * w:(y + 1) * w]:
            raw += bytes(p if p[3] else (0, 0, 0, 0))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


# --------------------------------------------------------------------------
# Pictures
# --------------------------------------------------------------------------

def icon_layers(size):
    """Quill over a dark blue badge, in unit coordinates (0..1)."""
    tip, top = (0.16, 0.86), (0.87, 0.12)
    length = math.hypot(top[0] - tip[0], top[1] - tip[1])
    dx, dy = (top[0] - tip[0]) / length, (top[1] - tip[1]) / length
    nx, ny = -dy, dx   # left of the axis when looking towards the top

    def q(t, s):
        return (tip[0] + dx * t * length + nx * s, tip[1] + dy * t * length + ny * s)

    def vane_pts(off=(0.0, 0.0)):
        steps = 14
        left, right = [], []
        for i in range(steps + 1):
            t = 0.3 + 0.7 * i / steps
            u = (t - 0.3) / 0.7
            bulge = math.sin(math.pi * u ** 0.75) ** 0.8
            left.append(q(t, 0.15 * bulge))
            right.append(q(t, -0.09 * bulge))
        return [(x + off[0], y + off[1]) for x, y in left + right[::-1]]

    vane = poly(vane_pts())
    if size >= 32:
        for t0, side in ((0.55, 1), (0.72, -1), (0.8, 1)):
            if size < 48 and t0 != 0.55:
                continue
            edge = 0.2 * side
            vane = minus(vane, poly([q(t0, edge), q(t0 + 0.07, edge),
                                     q(t0 - 0.035, 0.045 * side)]))
    left_half = lambda x, y: (x - tip[0]) * nx + (y - tip[1]) * ny > 0
    nib = poly([q(0.0, 0.0), q(0.2, 0.045), q(0.3, 0.03),
                q(0.3, -0.03), q(0.2, -0.045)])
    badge = circle(0.5, 0.5, 0.43)
    layers = [
        (circle(0.5, 0.5, 0.47), (0x7A, 0x98, 0xD0)),
        (circle(0.5, 0.5, 0.45), (0x0C, 0x1A, 0x3C)),
        (badge, radial((0x33, 0x5A, 0xA8), (0x10, 0x22, 0x50), 0.35, 0.3, 0.6)),
    ]
    if size >= 32:
        layers.append((both(badge, poly(vane_pts((0.035, 0.035)))), (0, 0, 0, 90)))
    layers += [
        (vane, (0xFB, 0xFB, 0xF6)),
        (both(vane, minus(lambda x, y: True, left_half)), (0xC6, 0xD3, 0xE6)),
        (line(*q(0.25, 0), *q(0.96, 0), 0.028 if size >= 32 else 0.05),
         (0x9A, 0xA8, 0xBE)),
        (nib, (0xC8, 0x8C, 0x1C)),
        (both(nib, left_half), (0xF8, 0xCC, 0x48)),
    ]
    if size >= 32:
        layers.append((line(*q(0.02, 0), *q(0.16, 0), 0.015), (0x5A, 0x3A, 0x08)))
    return layers


def make_icon():
    images = []
    for size in (48, 32, 16):
        px = render(size, size, icon_layers(size), scale=size)
        for bpp in (4, 8, 32):
            images.append((size, px, bpp))
    write_ico(os.path.join(OUT_DIR, "quillmark.ico"), images)


def make_icon_pngs():
    """The application icon for the desktop's icon theme, one PNG per size."""
    os.makedirs(ICON_DIR, exist_ok=True)
    for size in ICON_PNG_SIZES:
        write_png(os.path.join(ICON_DIR, "quillmark-%d.png" % size), size, size,
                  render(size, size, icon_layers(size), scale=size))


W, H = 50, 56


def emblem_frame(edge, ring, bg_top, bg_bottom):
    return [
        (rrect(0, 0, W, H, 7), edge),
        (rrect(1.5, 1.5, W - 1.5, H - 1.5, 6), ring),
        (rrect(3, 3, W - 3, H - 3, 5), vgrad(bg_top, bg_bottom, 3, H - 3)),
        (rrect(3, 3, W - 3, 18, 5), (255, 255, 255, 28)),   # soft top sheen
    ]


def shield_pts(cx, top, half_w, h, steps=12):
    straight = h * 0.42
    pts = [(cx - half_w, top), (cx + half_w, top), (cx + half_w, top + straight)]
    for i in range(1, steps):
        a = i / steps
        pts.append((cx + half_w * math.cos(a * math.pi / 2),
                    top + straight + (h - straight) * math.sin(a * math.pi / 2)))
    pts.append((cx, top + h))
    for x, y in reversed(pts[3:-1]):
        pts.append((2 * cx - x, y))
    pts.append((cx - half_w, top + straight))
    return pts


def human():
    gold, dark_gold = (0xF0, 0xC8, 0x40), (0x9A, 0x70, 0x10)
    inner = poly(shield_pts(25, 13.5, 11.5, 34))
    cross = either(rect(22.6, 13, 27.4, 48), rect(13, 23, 37, 27.8))
    return emblem_frame((0x0A, 0x14, 0x30), (0xC8, 0xA0, 0x38),
                        (0x2A, 0x4C, 0xA0), (0x0C, 0x1A, 0x48)) + [
        (poly(shield_pts(25, 11, 15, 39), grow=0.8), dark_gold),
        (poly(shield_pts(25, 11, 15, 39)), vgrad(gold, (0xC8, 0x90, 0x20), 11, 50)),
        (inner, vgrad((0x3A, 0x6E, 0xD8), (0x16, 0x32, 0x88), 13, 47)),
        (both(inner, cross), vgrad((0xFF, 0xE0, 0x70), (0xD8, 0xA0, 0x28), 13, 47)),
        (both(inner, rect(0, 0, 25, 60)), (255, 255, 255, 26)),
    ]


def nightelf():
    teal = (0x48, 0xE0, 0xD0)
    moon = minus(circle(24, 29, 15), circle(31, 24, 13))
    return emblem_frame((0x14, 0x06, 0x24), (0x40, 0xB8, 0xB0),
                        (0x5A, 0x28, 0x8A), (0x1C, 0x0A, 0x36)) + [
        (circle(24, 29, 17), radial((0x70, 0x50, 0xC0, 120), (0x5A, 0x28, 0x8A, 0),
                                    24, 29, 17)),
        (moon, radial((0xC0, 0xFF, 0xF8), teal, 14, 36, 22)),
        (minus(circle(24, 29, 15), circle(29.5, 25, 13.4)), (0x20, 0x90, 0x98, 130)),
        (star(35, 38, 5, 1.3), (0xD8, 0xFF, 0xFA)),
        (star(38, 13, 3.2, 0.9), (0xA0, 0xF0, 0xE8)),
        (star(13, 12, 2.4, 0.7), (0xA0, 0xF0, 0xE8)),
    ]


def orc():
    steel, steel_dark = (0xD4, 0xD0, 0xC8), (0x5A, 0x50, 0x48)
    wood = (0x7A, 0x48, 0x1E)
    # one upright axe, blade on the left of the haft; it is drawn twice,
    # tilted and mirrored, so the hafts cross low and the heads stay apart
    haft = rect(23.6, 8, 26.4, 50)
    blade = minus(either(both(circle(25, 16, 9.5), lambda x, y: x <= 24.5),
                         poly([(26, 13), (30.5, 15.5), (26, 18.5)])),
                  circle(8.5, 16, 3))
    blade_out = minus(either(both(circle(25, 16, 10.5), lambda x, y: x <= 25.5),
                             poly([(25.5, 12), (32, 15.5), (25.5, 19.5)])),
                      circle(8.5, 16, 2))
    edge = minus(blade, circle(25, 16, 7.6))
    band = rect(23, 22.5, 27, 25)

    def axe(p):
        return [
            (p(haft), (0x2A, 0x14, 0x06)),
            (p(rect(24.2, 9, 25.8, 49)), wood),
            (p(blade_out), steel_dark),
            (p(blade), vgrad(steel, (0x98, 0x92, 0x8A), 8, 28)),
            (p(edge), (0xF4, 0xF2, 0xEE)),
            (p(band), (0xB0, 0x28, 0x18)),
        ]
    left = lambda p: rotate(p, 25, 37, -34)
    right = lambda p: mirror(rotate(p, 25, 37, -34), 25)
    return emblem_frame((0x28, 0x08, 0x02), (0xA8, 0x70, 0x38),
                        (0xA0, 0x30, 0x18), (0x3C, 0x12, 0x06)) + \
        axe(left) + axe(right) + [
        (circle(25, 37, 3.2), (0x3A, 0x1E, 0x0A)),
        (circle(25, 37, 2.2), (0xC8, 0x90, 0x40)),
    ]


def undead():
    bone = (0xDC, 0xE4, 0xCC)
    hole = (0x06, 0x14, 0x08)
    skull = either(circle(25, 24, 13), rrect(17, 26, 33, 41, 3))
    return emblem_frame((0x02, 0x06, 0x02), (0x3C, 0x9A, 0x3C),
                        (0x12, 0x2A, 0x14), (0x02, 0x06, 0x02)) + [
        (circle(25, 28, 22), radial((0x40, 0xC0, 0x40, 150), (0x10, 0x40, 0x10, 0),
                                    25, 28, 22)),
        (skull, radial(bone, (0x8C, 0x9A, 0x80), 21, 19, 24)),
        (circle(20, 27, 4), hole),
        (circle(30, 27, 4), hole),
        (circle(20.4, 27.4, 1.4), (0x70, 0xFF, 0x70)),
        (circle(30.4, 27.4, 1.4), (0x70, 0xFF, 0x70)),
        (poly([(25, 31), (23, 35), (27, 35)]), hole),
        (rect(18.5, 37.6, 31.5, 38.6), hole),
        (either(*(rect(x, 36.5, x + 0.9, 41) for x in (21, 24.5, 28))), hole),
    ]


def crown_frames(body, shade, outline, gem, frames=8):
    shape = [(3.6, 13), (2.8, 5.6), (6.8, 9.2), (10, 3.4), (13.2, 9.2), (17.2, 5.6),
             (16.4, 13)]
    tips = either(circle(2.8, 5.6, 1.2), circle(10, 3.4, 1.3), circle(17.2, 5.6, 1.2))
    band = rect(3.6, 12.6, 16.4, 16.4)
    crown = either(poly(shape), tips, band)
    under = [
        (either(poly(shape, grow=0.9), circle(2.8, 5.6, 2.0), circle(10, 3.4, 2.1),
                circle(17.2, 5.6, 2.0), rect(2.7, 11.7, 17.3, 17.3)), outline),
        (crown, vgrad(body, shade, 3, 16.5)),
        (band, vgrad(shade, body, 12.6, 16.4)),
    ]
    gem_layers = [
        (circle(10, 14.5, 1.6), gem),
        (circle(9.6, 14.1, 0.5), (255, 255, 255, 200)),
    ]
    out = []
    for i in range(frames):
        layers = list(under)
        if i < 6:
            xc = 1 + 20 * i / 5.0   # glint sweeps left to right
            glint = lambda x, y, xc=xc: abs((x - xc) + (y - 10) * 0.5) < 1.5
            layers.append((both(crown, glint), (255, 255, 255, 170)))
        layers += gem_layers
        if i >= 6:   # then the top jewel twinkles
            layers.append((star(10, 3.4, 4.4 if i == 6 else 3.0, 0.8),
                           (255, 255, 255, 245)))
        out.append(render(20, 20, layers))
    return out


QSS = """/* Quillmark window skin. Colours only: no sizes or fonts are touched,
   every widget keeps the geometry the code gives it. */

QMainWindow, QDialog {
    background-color: #%02X%02X%02X;
}

QPushButton {
    background-color: #F5F8FB;
    color: #1E2A38;
    border: 1px solid #98A8BE;
    border-radius: 3px;
}
QPushButton:hover {
    background-color: #DCE7F4;
    border-color: #6F8FB8;
}
QPushButton:pressed {
    background-color: #C6D7EC;
}
QPushButton:default {
    border-color: #4A74AA;
}
QPushButton:disabled {
    color: #8A96A6;
    background-color: #EDF0F4;
    border-color: #C2CBD6;
}

QGroupBox {
    font-weight: bold;
    border: 1px solid #A6B4C6;
    border-radius: 4px;
    margin-top: 7px;
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0px 3px;
    color: #23406A;
}

QLineEdit {
    background-color: #FFFFFF;
    border: 1px solid #A6B4C6;
    selection-background-color: #4A7FC0;
}
QLineEdit:focus {
    border-color: #4A7FC0;
}
QLineEdit[readOnly="true"] {
    background-color: #E0E0E0;
}

QListView, QTreeView, QTableView {
    background-color: #FFFFFF;
    alternate-background-color: #F1F5F9;
    border: 1px solid #A6B4C6;
    selection-background-color: #4A7FC0;
    selection-color: #FFFFFF;
}

QHeaderView::section {
    background-color: #D3DDEA;
    color: #1E2A38;
    border: none;
    border-right: 1px solid #AEBCCE;
    border-bottom: 1px solid #AEBCCE;
    padding-left: 4px;
}
QHeaderView::section:hover {
    background-color: #C4D3E6;
}

QProgressBar {
    background-color: #F5F8FB;
    border: 1px solid #98A8BE;
    border-radius: 2px;
    text-align: center;
}
QProgressBar::chunk {
    background-color: #4A7FC0;
}

QToolTip {
    background-color: #FFFDE8;
    color: #1E2A38;
    border: 1px solid #98A8BE;
}
""" % WINDOW_BG


def main():
    make_icon()
    make_icon_pngs()
    for name, fn in (("human", human), ("nightelf", nightelf),
                     ("orc", orc), ("undead", undead)):
        write_gif(os.path.join(OUT_DIR, name + ".gif"), W, H, [render(W, H, fn())])
    write_gif(os.path.join(OUT_DIR, "crown_gold.gif"), 20, 20,
              crown_frames((0xFF, 0xE0, 0x60), (0xC8, 0x8A, 0x10),
                           (0x6A, 0x46, 0x00), (0xD0, 0x20, 0x30)))
    write_gif(os.path.join(OUT_DIR, "crown_silver.gif"), 20, 20,
              crown_frames((0xF4, 0xF6, 0xFA), (0x98, 0xA0, 0xAC),
                           (0x44, 0x4A, 0x54), (0x30, 0x70, 0xD8)))
    with open(os.path.join(OUT_DIR, "quillmark.qss"), "w", encoding="utf-8",
              newline="\n") as f:
        f.write(QSS)


if __name__ == "__main__":
    main()
