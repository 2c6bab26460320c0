#!/usr/bin/env python3
"""Draws the program's built-in pictures and writes them as C++ data.

Run from the repository root:  python3 src/image/make_builtin_pictures.py
It rewrites src/image/builtin_pictures_data.cpp. The pictures are drawn here, pixel by
pixel, so the data has no other source.

  <UP.B4 <DN.B4 <FIRST.B4 <LAST.B4 <DEL.B4   16 x 16 list-bar buttons, 4-bit packed DIBs
  <LOGO.P                                    64 x 32 logo placeholder, 256-colour PCX
  <LOGO.B8                                   the same placeholder as an 8-bit packed DIB
"""
import os
import shutil
import struct
import subprocess

# The 16 standard colours (red, green, blue).
STANDARD16 = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
              (128, 128, 0), (128, 128, 128), (192, 192, 192), (0, 0, 255), (0, 255, 0),
              (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
GREY, NAVY, BLACK, RED, WHITE = 8, 1, 0, 12, 15


def packed_dib(pixels, width, height, bits, palette):
    """A 40-byte header, the colour table and bottom-up rows padded to 4 bytes."""
    stride = ((width * bits + 31) // 32) * 4
    rows = b""
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            v = pixels[y][x]
            if bits == 8:
                row[x] = v
            elif x % 2 == 0:
                row[x // 2] |= v << 4
            else:
                row[x // 2] |= v
        rows += bytes(row)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), 0, 0,
                         len(palette), 0)
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + table + rows


def pcx_runs(line):
    out = bytearray()
    i = 0
    while i < len(line):
        v = line[i]
        run = 1
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


def pcx8(pixels, width, height, palette):
    per_line = ((8 * width + 15) // 16) * 2
    header = bytearray(128)
    header[0:4] = bytes([10, 5, 1, 8])
    struct.pack_into("<HHHHHH", header, 4, 0, 0, width - 1, height - 1, 1024, 768)
    header[65] = 1
    struct.pack_into("<HHHH", header, 66, per_line, 1, 1024, 768)
    header[118:128] = b"VAVI 2.01 "
    data = b"".join(pcx_runs(bytes(row) + bytes(per_line - width)) for row in pixels)
    table = bytes([0x0C]) + b"".join(bytes(c) for c in palette)
    return bytes(header) + data + table


def button(kind):
    size = 16
    p = [[GREY] * size for _ in range(size)]

    def put(x, y, c):
        if 0 <= x < size and 0 <= y < size:
            p[y][x] = c

    if kind in ("UP", "DN", "FIRST", "LAST"):
        up = kind in ("UP", "FIRST")
        for k in range(6):  # a triangle of six rows
            y = (4 + k) if up else (11 - k)
            for x in range(8 - k - 1, 8 + k + 1):
                put(x, y, NAVY)
        for y in range(10, 14) if up else range(2, 6):  # its stem
            for x in range(6, 10):
                put(x, y, NAVY)
        if kind == "FIRST":
            for x in range(2, 14):
                put(x, 2, BLACK)
        if kind == "LAST":
            for x in range(2, 14):
                put(x, 13, BLACK)
    elif kind == "DEL":
        for i in range(3, 13):
            for d in (0, 1):
                put(i + d, i, RED)
                put(15 - i - d, i, RED)
    # a light edge, top and left, and a dark one, bottom and right
    for i in range(size):
        put(i, 0, WHITE)
        put(0, i, WHITE)
        put(i, size - 1, 7)
        put(size - 1, i, 7)
    return p


def logo():
    width, height = 64, 32
    palette = []
    for i in range(256):  # a blue ramp, then the frame and letter colours at the top
        palette.append((i // 4, i // 2, 64 + i * 3 // 4))
    palette[254] = (255, 255, 255)
    palette[255] = (0, 0, 0)
    p = [[(x * 4 + y * 2) % 250 for x in range(width)] for y in range(height)]
    for x in range(width):
        p[0][x] = p[height - 1][x] = 255
    for y in range(height):
        p[y][0] = p[y][width - 1] = 255
    # a ring with a tail: the program's initial
    for y in range(height):
        for x in range(width):
            dx, dy = x - 32, y - 15
            r2 = dx * dx + dy * dy
            if 64 <= r2 <= 121 or (dx == dy and 4 <= dx <= 13) or (dx == dy + 1 and 4 <= dx <= 13):
                p[y][x] = 254
    return p, width, height, palette


def cpp_bytes(name, data):
    lines = []
    for i in range(0, len(data), 16):
        lines.append("    " + ", ".join("0x%02X" % b for b in data[i:i + 16]) + ",")
    return "const uint8_t %s[%d] = {\n%s\n};\n" % (name, len(data), "\n".join(lines))


def main():
    resources = []
    for kind in ("UP", "DN", "FIRST", "LAST", "DEL"):
        resources.append(("<%s.B4" % kind, "bitmap", packed_dib(button(kind), 16, 16, 4, STANDARD16)))
    pixels, width, height, palette = logo()
    resources.append(("<LOGO.P", "pcx", pcx8(pixels, width, height, palette)))
    resources.append(("<LOGO.B8", "bitmap", packed_dib(pixels, width, height, 8, palette)))

    out = ["// Generated by src/image/make_builtin_pictures.py: do not edit.",
           '#include "image/builtin_pictures.h"', "", "namespace quendrolix {", "",
           "namespace {", ""]
    for index, (name, kind, data) in enumerate(resources):
        out.append(cpp_bytes("kPicture%d" % index, data))
    out.append("}  // namespace")
    out.append("")
    out.append("const std::vector<BuiltInResource>& BuiltInResources() {")
    out.append("  static const std::vector<BuiltInResource> table = {")
    for index, (name, kind, data) in enumerate(resources):
        out.append('      {"%s", "%s", kPicture%d, sizeof kPicture%d},' % (name, kind, index, index))
    out.append("  };")
    out.append("  return table;")
    out.append("}")
    out.append("")
    out.append("}  // namespace quendrolix")
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, "builtin_pictures_data.cpp")
    with open(target, "w") as f:
        f.write("\n".join(out) + "\n")
    # The repository's formatting, so that a run over unchanged pictures changes nothing.
    if shutil.which("clang-format"):
        subprocess.run(["clang-format", "-i", target], check=True)


if __name__ == "__main__":
    main()
