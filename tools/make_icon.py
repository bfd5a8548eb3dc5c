#!/usr/bin/env python3
"""Draw the Corvane Setup program icon and write it as a Windows .ico file.

The artwork is a rounded square shaded from teal (top left) to deep blue
(bottom right) carrying a white puzzle piece, the usual sign for a plug-in.
It is drawn procedurally with supersampling, so edges are antialiased.

The icon holds nine images: 48x48, 32x32 and 16x16 pixels, each at 4, 8 and
32 bits per pixel; then, for display scales above 100 %, 64x64, 40x40, 24x24
and 20x20 at 32 bits per pixel only.  The 4- and 8-bpp images are in the
classic BMP form (BITMAPINFOHEADER, XOR bitmap plus 1-bpp AND mask, bottom-up
rows padded to 4 bytes), which older loaders read too, and use palettes fitted to the artwork with nearest-colour mapping; the
32-bpp images carry real alpha and are stored PNG-compressed (RGBA, 8 bits
a channel), which every Windows from Vista on loads at any size: the same
pixels in a fifth of the bytes.  Output is byte-for-byte deterministic.

Usage:  python3 tools/make_icon.py [res/app.ico]
Needs only the Python 3 standard library.
"""

import os
import struct
import sys
import zlib

SIZES = (48, 32, 16)
DEPTHS = (4, 8, 32)
SCALED_SIZES = (64, 40, 24, 20)  # big and small icons at 125, 150 and 200 %
GRID = 16.0            # the artwork is laid out on a 16x16 grid
SUPER = 8              # supersamples per pixel along each axis

TEAL = (27, 176, 176)  # top-left corner of the background
NAVY = (16, 44, 110)   # bottom-right corner of the background
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


# --- Shapes, in grid units (0..16); integer edges fall on pixel edges ----

def in_round_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return x0 <= x <= x1 and y0 <= y <= y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_background(x, y):
    return in_round_rect(x, y, 0.0, 0.0, 16.0, 16.0, 3.5)


def in_piece(x, y):
    """A puzzle piece: square body, knobs on top and right, notches left and bottom."""
    body = in_round_rect(x, y, 3.0, 6.0, 10.0, 13.0, 0.5)
    knobs = in_circle(x, y, 6.5, 4.9, 1.6) or in_circle(x, y, 11.1, 9.5, 1.6)
    notches = in_circle(x, y, 3.0, 9.5, 1.0) or in_circle(x, y, 6.5, 13.0, 1.0)
    return (body or knobs) and not notches


# At 16 px the same piece is hand-hinted onto the pixel grid so it stays crisp:
# '#' is white, '+' is half white, '.' is background.
PIECE_16 = """
................
................
................
.....###........
.....###........
......#.........
...#######......
...#######......
...+######.##...
....#########...
...+######.##...
...#######......
...##+.+##......
................
................
................
"""
HINTED = PIECE_16.split()


def render(size):
    """Return size*size straight-alpha RGBA tuples, top row first."""
    scale = GRID / size
    pixels = []
    for py in range(size):
        for px in range(size):
            bg = fg = 0
            for sy in range(SUPER):
                y = (py + (sy + 0.5) / SUPER) * scale
                for sx in range(SUPER):
                    x = (px + (sx + 0.5) / SUPER) * scale
                    if in_background(x, y):
                        bg += 1
                        fg += in_piece(x, y)
            n = SUPER * SUPER
            t = ((px + 0.5) + (py + 0.5)) * scale / (2 * GRID)
            shade = lerp(TEAL, NAVY, t)
            if size == 16:
                fg = bg * {"#": 1.0, "+": 0.5, ".": 0.0}[HINTED[py][px]]
            rgb = lerp(shade, WHITE, fg / bg) if bg else BLACK
            pixels.append(tuple(int(round(c)) for c in rgb) + (round(255 * bg / n),))
    return pixels


# --- Palettes fitted to the artwork: black, white, shades and their tints ---

def fitted_palette(shades, tinted, tints):
    """Black and white, `shades` steps of the gradient, then `tints` whiter
    versions of each of `tinted` gradient steps (for antialiased edges)."""
    pal = [BLACK, WHITE] + [lerp(TEAL, NAVY, i / (shades - 1)) for i in range(shades)]
    for i in range(tinted):
        shade = lerp(TEAL, NAVY, (i + 0.5) / tinted)
        pal += [lerp(shade, WHITE, j / (tints + 1)) for j in range(1, tints + 1)]
    return [tuple(int(round(c)) for c in rgb) for rgb in pal]


PALETTES = {4: fitted_palette(12, 2, 1), 8: fitted_palette(18, 18, 13)}


def nearest(pal, rgb, cache):
    if rgb not in cache:
        cache[rgb] = min(range(len(pal)),
                         key=lambda i: sum((a - b) ** 2 for a, b in zip(pal[i], rgb)))
    return cache[rgb]


# --- BMP-in-ICO encoding ---------------------------------------------------

def pack_bits(values, bpp):
    """Pack one row of small integers MSB-first and pad it to 4 bytes."""
    out, acc, nbits = bytearray(), 0, 0
    for v in values:
        acc, nbits = (acc << bpp) | v, nbits + bpp
        if nbits == 8:
            out.append(acc)
            acc, nbits = 0, 0
    if nbits:
        out.append(acc << (8 - nbits))
    out.extend(b"\0" * (-len(out) % 4))
    return bytes(out)


# --- PNG encoding for the 32-bpp images -------------------------------------

def png_filter(kind, row, prev):
    """One row under PNG filter `kind` (0 none .. 4 Paeth), 4 bytes a pixel."""
    out = bytearray([kind])
    for i, x in enumerate(row):
        a = row[i - 4] if i >= 4 else 0
        b = prev[i]
        c = prev[i - 4] if i >= 4 else 0
        if kind == 0:
            p = 0
        elif kind == 1:
            p = a
        elif kind == 2:
            p = b
        elif kind == 3:
            p = (a + b) // 2
        else:
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
        out.append((x - p) & 0xFF)
    return bytes(out)


def png_rows(pixels, size):
    rows = [bytes(c for p in pixels[y * size:(y + 1) * size] for c in p)
            for y in range(size)]
    prevs = [bytes(4 * size)] + rows[:-1]
    return [[png_filter(k, row, prev) for k in range(5)]
            for row, prev in zip(rows, prevs)]


def smallest_idat(choices):
    """The smallest zlib stream over several ways of filtering the rows: each
    filter throughout, the usual least-sum rule, and row by row the filter
    that keeps the stream shortest so far."""
    def deflate(data):
        streams = [zlib.compress(data, 9)]
        for strategy in (zlib.Z_FILTERED, zlib.Z_RLE):
            c = zlib.compressobj(9, zlib.DEFLATED, 15, 9, strategy)
            streams.append(c.compress(data) + c.flush())
        return min(streams, key=len)
    ways = [b"".join(row[k] for row in choices) for k in range(5)]
    ways.append(b"".join(min(row, key=lambda r: sum(v if v < 128 else 256 - v
                                                    for v in r[1:]))
                         for row in choices))
    greedy = b""
    for row in choices:
        greedy += min(row, key=lambda r: len(zlib.compress(greedy + r, 9)))
    ways.append(greedy)
    return min((deflate(w) for w in ways), key=len)


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data)))


def encode_png(pixels, size):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", smallest_idat(png_rows(pixels, size))) +
            png_chunk(b"IEND", b""))


def encode_image(pixels, size, bpp):
    if bpp == 32:
        return encode_png(pixels, size)
    opaque = [a >= 128 for (_, _, _, a) in pixels]
    rows = [range(y * size, (y + 1) * size) for y in reversed(range(size))]
    pal, cache = PALETTES[bpp], {}
    pal = pal + [BLACK] * ((1 << bpp) - len(pal))
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in pal)
    index = [nearest(pal, p[:3], cache) if opaque[k] else 0
             for k, p in enumerate(pixels)]
    xor = b"".join(pack_bits([index[i] for i in row], bpp) for row in rows)
    mask = b"".join(pack_bits([0 if opaque[i] else 1 for i in row], 1)
                    for row in rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + palette + xor + mask


def build_ico():
    art = {size: render(size) for size in SIZES + SCALED_SIZES}
    images = [(size, bpp, encode_image(art[size], size, bpp))
              for bpp in DEPTHS for size in SIZES]
    images += [(size, 32, encode_image(art[size], size, 32)) for size in SCALED_SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, bpp, blob in images:
        colours = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0,
                           1, bpp, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "res/app.ico"
    data = build_ico()
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes, %d images)" % (path, len(data),
                                               len(SIZES) * len(DEPTHS) + len(SCALED_SIZES)))


if __name__ == "__main__":
    main()
