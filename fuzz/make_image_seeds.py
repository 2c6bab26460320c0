#!/usr/bin/env python3
"""Writes the small seed pictures of the image fuzz targets.

Run from the repository root after a build:  python3 fuzz/make_image_seeds.py [build]
BMP, GIF, PCX and TGA seeds are made byte by byte here; PNG, TIFF and JPEG seeds are
made from them by our own `quendrolix-cli convert`.
"""
import os
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")
W, H = 5, 3


def save(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    return os.path.join(folder, name)


def pixel(x, y):
    return ((x * 60) & 255, (y * 90) & 255, ((x + y) * 40) & 255)


def bmp(bits, top_down=False, fields=None):
    stride = ((W * bits + 31) // 32) * 4
    colours = (1 << bits) if bits <= 8 else 0
    table = b"".join(struct.pack("BBBB", i * 17 & 255, i * 5 & 255, i * 3 & 255, 0) for i in range(colours))
    rows = b""
    for r in range(H):
        y = r if top_down else H - 1 - r
        row = bytearray(stride)
        for x in range(W):
            red, green, blue = pixel(x, y)
            index = (x + y) % max(colours, 1)
            if bits == 1:
                row[x // 8] |= (index & 1) << (7 - x % 8)
            elif bits == 4:
                row[x // 2] |= index << (0 if x % 2 else 4)
            elif bits == 8:
                row[x] = index
            elif bits == 16:
                v = ((red >> 3) << 11 | (green >> 2) << 5 | blue >> 3) if fields else ((red >> 3) << 10 | (green >> 3) << 5 | blue >> 3)
                row[2 * x:2 * x + 2] = struct.pack("<H", v)
            elif bits == 24:
                row[3 * x:3 * x + 3] = bytes((blue, green, red))
            else:
                row[4 * x:4 * x + 4] = bytes((blue, green, red, 0))
        rows += bytes(row)
    masks = struct.pack("<III", *fields) if fields else b""
    header = struct.pack("<IiiHHIIiiII", 40, W, -H if top_down else H, 1, bits, 3 if fields else 0,
                         len(rows), 2835, 2835, colours, 0)
    offset = 14 + 40 + len(masks) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + header + masks + table + rows


def lzw(indices, m):
    """Codes that never widen: a clear before the table would grow."""
    clear, end = 1 << m, (1 << m) + 1
    chunk = max(1, (1 << m) - 3)
    codes = []
    for i in range(0, len(indices), chunk):
        codes.append(clear)
        codes += indices[i:i + chunk]
    codes.append(end)
    bits, count, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << count
        count += m + 1
        while count >= 8:
            out.append(bits & 255)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 255)
    data = bytearray([m])
    for i in range(0, len(out), 255):
        piece = out[i:i + 255]
        data += bytes([len(piece)]) + piece
    return bytes(data) + b"\x00"


def gif(version, table_bits, interlaced=False, transparent=None):
    n = 1 << table_bits
    palette = b"".join(bytes(pixel(i, i)) for i in range(n))
    out = version + struct.pack("<HHBBB", W, H, 0x80 | (table_bits - 1), 0, 0) + palette
    if transparent is not None:
        out += bytes([0x21, 0xF9, 4, 0x05, 10, 0, transparent, 0])
    out += bytes([0x2C]) + struct.pack("<HHHHB", 0, 0, W, H, 0x40 if interlaced else 0)
    indices = [(x + 2 * y) % n for y in range(H) for x in range(W)]
    return out + lzw(indices, max(2, table_bits)) + b"\x3B"


def pcx_runs(line):
    out, i = bytearray(), 0
    while i < len(line):
        v, run = line[i], 1
        while i + run < len(line) and line[i + run] == v:
            run += 1
        i += run
        if run == 1 and v < 0xC0:
            out.append(v)
            continue
        while run:
            piece = min(run, 63)
            out += bytes([0xC0 + piece, v])
            run -= piece
    return bytes(out)


def pcx(bits, planes):
    per_line = ((bits * W + 15) // 16) * 2
    h = bytearray(128)
    h[0:4] = bytes([10, 5, 1, bits])
    struct.pack_into("<HHHH", h, 4, 0, 0, W - 1, H - 1)
    for i in range(16):
        h[16 + 3 * i:19 + 3 * i] = bytes(pixel(i, 0))
    h[65] = planes
    struct.pack_into("<HH", h, 66, per_line, 1)
    data = b""
    for y in range(H):
        line = bytearray(per_line * planes)
        for x in range(W):
            if bits == 8 and planes == 1:
                line[x] = (x * 50 + y) & 255
            elif bits == 8:
                for k, v in enumerate(pixel(x, y)):
                    line[k * per_line + x] = v
            else:
                value = (x + y) % (1 << planes)
                for k in range(planes):
                    if value >> k & 1:
                        line[k * per_line + x // 8] |= 0x80 >> (x % 8)
        data += pcx_runs(bytes(line))
    tail = b""
    if bits == 8 and planes == 1:
        tail = b"\x0c" + b"".join(bytes(pixel(i, 1)) for i in range(256))
    return bytes(h) + data + tail


def tga(kind, depth, top_left=False, map_bits=24):
    mapped = kind in (1, 9)
    cmap = b""
    if mapped:
        for i in range(4):
            r, g, b = pixel(i, 2)
            cmap += struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | b >> 3) if map_bits == 16 else bytes((b, g, r))
    header = struct.pack("<BBBHHBHHHHBB", 2, 1 if mapped else 0, kind, 0, 4 if mapped else 0,
                         map_bits if mapped else 0, 0, 0, W, H, depth, 0x20 if top_left else 0)
    pixels = []
    for y in range(H):
        for x in range(W):
            r, g, b = pixel(x, y)
            if depth == 8:
                pixels.append(bytes([(x + y) % 4 if mapped else r]))
            elif depth in (15, 16):
                pixels.append(struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | b >> 3))
            elif depth == 24:
                pixels.append(bytes((b, g, r)))
            else:
                pixels.append(bytes((b, g, r, 255)))
    if kind >= 9:  # one run of the first two pixels, then literal packets of the rest
        body = bytes([0x81]) + pixels[0]
        rest = pixels[2:]
        for i in range(0, len(rest), 128):
            piece = rest[i:i + 128]
            body += bytes([len(piece) - 1]) + b"".join(piece)
    else:
        body = b"".join(pixels)
    return header + b"id" + cmap + body


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    bmps = {}
    for bits in (1, 4, 8, 24, 32):
        bmps[bits] = save("bmp_fuzz", "bmp%d.bmp" % bits, bmp(bits))
    save("bmp_fuzz", "topdown24.bmp", bmp(24, top_down=True))
    save("bmp_fuzz", "fields565.bmp", bmp(16, fields=(0xF800, 0x07E0, 0x001F)))
    save("bmp_fuzz", "bmp16.bmp", bmp(16))
    save("gif_fuzz", "a87.gif", gif(b"GIF87a", 1))
    save("gif_fuzz", "b89.gif", gif(b"GIF89a", 2, interlaced=True, transparent=1))
    save("gif_fuzz", "c256.gif", gif(b"GIF89a", 8))
    save("pcx_fuzz", "p1.pcx", pcx(1, 1))
    save("pcx_fuzz", "p4.pcx", pcx(1, 4))
    save("pcx_fuzz", "p8.pcx", pcx(8, 1))
    save("pcx_fuzz", "p24.pcx", pcx(8, 3))
    save("tga_fuzz", "t2.tga", tga(2, 24))
    save("tga_fuzz", "t10.tga", tga(10, 32, top_left=True))
    save("tga_fuzz", "t1.tga", tga(1, 8))
    save("tga_fuzz", "t9.tga", tga(9, 8, map_bits=16))
    save("tga_fuzz", "t3.tga", tga(3, 8))
    save("tga_fuzz", "t11.tga", tga(11, 8))
    save("tga_fuzz", "t2_16.tga", tga(2, 16))
    cli = os.path.join(build, "bin", "quendrolix-cli")
    for target, ext in (("png_fuzz", "png"), ("tiff_fuzz", "tif"), ("jpeg_fuzz", "jpg")):
        os.makedirs(os.path.join(CORPUS, target), exist_ok=True)
        for bits in (1, 8, 24):
            out = os.path.join(CORPUS, target, "from%d.%s" % (bits, ext))
            subprocess.run([cli, "convert", bmps[bits], out], check=True)


if __name__ == "__main__":
    main()
