#!/usr/bin/env python3
"""Draws the bundled sample pictures and sound: a red ball bouncing across a sky over a
green field, in 24-bit BMP frames of 160 x 120, and a two-second chord as a WAV file.
Run once; the outputs are committed beside this script."""
import math
import struct
import sys
from pathlib import Path

W, H = 160, 120


def frame(ball_x, ball_y):
    rows = []
    for y in range(H):  # top to bottom
        row = bytearray()
        for x in range(W):
            if y > 90:
                r, g, b = 40, 140 + (x * 3 + y) % 20, 40
            else:
                r, g, b = 110 + y // 2, 160 + y // 3, 235
            if (x - ball_x) ** 2 + (y - ball_y) ** 2 <= 144:
                shade = 255 - 6 * int(math.hypot(x - ball_x + 4, y - ball_y + 4))
                r, g, b = max(shade, 120), 30, 30
            row += bytes((b, g, r))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))  # bottom-up
    header = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    return file_header + header + pixels


def chord(seconds=2.0, rate=22050):
    samples = bytearray()
    n = int(seconds * rate)
    for i in range(n):
        t = i / rate
        env = min(1.0, t * 20) * min(1.0, (seconds - t) * 4)
        v = sum(math.sin(2 * math.pi * f * t) for f in (261.63, 329.63, 392.0)) / 3
        samples += struct.pack("<h", int(v * env * 12000))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main(out):
    out.mkdir(parents=True, exist_ok=True)
    for i in range(8):
        t = i / 8
        x = int(20 + 120 * t)
        y = int(78 - 60 * abs(math.sin(math.pi * 2 * t)))
        (out / f"ball{i + 1}.bmp").write_bytes(frame(x, y))
    (out / "chord.wav").write_bytes(chord())


if __name__ == "__main__":
    main(Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent)
