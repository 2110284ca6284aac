#!/usr/bin/env python3
"""Draws the program's icons: a ship seen from above, nose up, as 8-bit
palettised PNGs (48 x 48 and 16 x 16). Run it from this folder after
changing the drawing; the PNGs are committed."""

import struct
import zlib

# Palette: transparent, outline, hull, hull shade, cockpit, engine glow.
PALETTE = [(0, 0, 0), (28, 32, 44), (182, 190, 204), (120, 130, 150), (70, 160, 230),
           (255, 150, 40)]
HULL = [(0.50, 0.05), (0.62, 0.42), (0.61, 0.84), (0.39, 0.84), (0.38, 0.42)]
LEFT_WING = [(0.39, 0.46), (0.06, 0.76), (0.08, 0.86), (0.40, 0.74)]
RIGHT_WING = [(1 - x, y) for x, y in LEFT_WING]


def inside(polygon, x, y):
    result = False
    for (x1, y1), (x2, y2) in zip(polygon, polygon[1:] + polygon[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            result = not result
    return result


def colour_at(x, y):
    if ((x - 0.5) / 0.055) ** 2 + ((y - 0.36) / 0.10) ** 2 <= 1:
        return 4
    if 0.42 <= x <= 0.58 and 0.84 <= y <= 0.94:
        return 5
    if inside(HULL, x, y):
        return 2
    if inside(LEFT_WING, x, y) or inside(RIGHT_WING, x, y):
        return 3
    return 0


def draw(size):
    samples = 4
    pixels = []
    for row in range(size):
        line = []
        for column in range(size):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((column + (sx + 0.5) / samples) / size,
                                  (row + (sy + 0.5) / samples) / size)
                    votes[c] = votes.get(c, 0) + 1
            line.append(max(votes, key=lambda c: (votes[c], c)))
        pixels.append(line)
    # An outline where the ship meets the background, on the larger icon.
    if size >= 32:
        outlined = [line[:] for line in pixels]
        for row in range(size):
            for column in range(size):
                if pixels[row][column] == 0:
                    continue
                for dy, dx in ((-1, 0), (1, 0), (0, -1), (0, 1)):
                    r, c = row + dy, column + dx
                    if not (0 <= r < size and 0 <= c < size) or pixels[r][c] == 0:
                        outlined[row][column] = 1
        pixels = outlined
    return pixels


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, pixels):
    size = len(pixels)
    raw = b"".join(b"\0" + bytes(line) for line in pixels)
    palette = b"".join(bytes(entry) for entry in PALETTE)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0))
           + chunk(b"PLTE", palette) + chunk(b"tRNS", b"\0")
           + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    write_png("icon48.png", draw(48))
    write_png("icon16.png", draw(16))
