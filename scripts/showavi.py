#!/usr/bin/env python3
"""Draws the module's wait animation SHOWAVI: 31 square frames side by side in one PNG
strip (package/resources/SHOWAVI.png). A ring of twelve dots whose bright head turns
once round the ring over the 31 frames, the dots behind it fading; white on transparent,
so it shows on any panel colour. Pure Python (zlib), so it runs wherever python3 does:

    python3 scripts/showavi.py package/resources/SHOWAVI.png
"""
import math
import struct
import sys
import zlib

FRAMES = 31
SIZE = 48          # a frame is SIZE x SIZE pixels
DOTS = 12
RING = 17.0        # radius of the ring of dot centres
DOT = 4.2          # radius of a dot
SAMPLES = 4        # sub-samples per pixel side, for smooth edges


def coverage(x, y, cx, cy):
    """How much of pixel (x, y) a dot centred at (cx, cy) covers, 0..1."""
    inside = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            px = x + (sx + 0.5) / SAMPLES
            py = y + (sy + 0.5) / SAMPLES
            if (px - cx) ** 2 + (py - cy) ** 2 <= DOT * DOT:
                inside += 1
    return inside / (SAMPLES * SAMPLES)


def frame_alpha(frame):
    """Alpha (0..255) of every pixel of one frame, row by row."""
    head = 2 * math.pi * frame / FRAMES  # angle of the bright head, clockwise from the top
    alpha = [[0.0] * SIZE for _ in range(SIZE)]
    for dot in range(DOTS):
        angle = 2 * math.pi * dot / DOTS
        behind = (head - angle) % (2 * math.pi) / (2 * math.pi)  # 0 at the head, ->1 behind
        strength = 0.15 + 0.85 * (1.0 - behind)
        cx = SIZE / 2 + RING * math.sin(angle)
        cy = SIZE / 2 - RING * math.cos(angle)
        for y in range(int(cy - DOT) - 1, int(cy + DOT) + 2):
            for x in range(int(cx - DOT) - 1, int(cx + DOT) + 2):
                if 0 <= x < SIZE and 0 <= y < SIZE:
                    alpha[y][x] = max(alpha[y][x], strength * coverage(x, y, cx, cy))
    return [[round(255 * a) for a in row] for row in alpha]


def png(width, height, rows):
    """An RGBA PNG of rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: showavi.py OUTPUT.png")
    frames = [frame_alpha(f) for f in range(FRAMES)]
    rows = [[(255, 255, 255, frames[f][y][x]) for f in range(FRAMES) for x in range(SIZE)] for y in range(SIZE)]
    with open(sys.argv[1], "wb") as out:
        out.write(png(SIZE * FRAMES, SIZE, rows))


if __name__ == "__main__":
    main()
