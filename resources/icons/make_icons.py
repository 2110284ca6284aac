#!/usr/bin/env python3
"""Draws the program's pictures: the icons, a ship seen from above, nose up,
as 8-bit palettised PNGs (16 to 256 pixels square) and as an SVG drawn from
the same shapes, and the About box's picture,
the ship turning inside a circling arrow, as a 70 x 69 BMP of 8 bits per
pixel with a 256-entry colour table. Run it from this folder after changing
a drawing; the pictures are committed."""

import math
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


def render(width, height, colour):
    """Each pixel's colour index by a vote of 4 x 4 samples of colour(x, y),
    x and y in pixels; a tie goes to the higher index."""
    samples = 4
    pixels = []
    for row in range(height):
        line = []
        for column in range(width):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    c = colour(column + (sx + 0.5) / samples, row + (sy + 0.5) / samples)
                    votes[c] = votes.get(c, 0) + 1
            line.append(max(votes, key=lambda c: (votes[c], c or 0)))
        pixels.append(line)
    return pixels


def draw(size):
    pixels = render(size, size, lambda x, y: colour_at(x / size, y / size))
    # An outline where the ship meets the background, on the larger icons,
    # a 48th of the size thick (at least a pixel).
    if size >= 32:
        width = max(1, size // 48)
        near = [(dy, dx) for dy in range(-width, width + 1) for dx in range(-width, width + 1)
                if 0 < abs(dy) + abs(dx) <= width]
        outlined = [line[:] for line in pixels]
        for row in range(size):
            for column in range(size):
                if pixels[row][column] == 0:
                    continue
                for dy, dx in near:
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


def write_svg(path):
    """The icon as vectors on a 48-unit square, painted in colour_at's order
    reversed (what it tests first lies on top), the outline a unit wide
    outside the ship's edge: every shape stroked two units wide first, then
    filled over the inner half of its stroke."""
    def hex_colour(index):
        return "#%02x%02x%02x" % PALETTE[index]

    def scaled(value):
        return "%g" % round(value * 48, 3)

    def polygon(points, colour):
        coordinates = " ".join("%s,%s" % (scaled(x), scaled(y)) for x, y in points)
        return '<polygon points="%s"%s/>' % (coordinates, colour)

    def shapes(paint):
        return [polygon(LEFT_WING, paint(3)), polygon(RIGHT_WING, paint(3)), polygon(HULL, paint(2)),
                '<rect x="%s" y="%s" width="%s" height="%s"%s/>'
                % (scaled(0.42), scaled(0.84), scaled(0.16), scaled(0.10), paint(5)),
                '<ellipse cx="%s" cy="%s" rx="%s" ry="%s"%s/>'
                % (scaled(0.5), scaled(0.36), scaled(0.055), scaled(0.10), paint(4))]

    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">',
             '  <g fill="%s" stroke="%s" stroke-width="2" stroke-linejoin="round">'
             % (hex_colour(1), hex_colour(1))]
    lines += ["    " + shape for shape in shapes(lambda index: "")]
    lines += ["  </g>", "  <g>"]
    lines += ["    " + shape for shape in shapes(lambda index: ' fill="%s"' % hex_colour(index))]
    lines += ["  </g>", "</svg>", ""]
    with open(path, "w") as f:
        f.write("\n".join(lines))


# The About picture's own colours follow the icon's: the circling arrow, its
# shade, stars, then a 64-step night-sky gradient from the top row down.
ARROW, ARROW_SHADE, STAR, SKY = 6, 7, 8, 16
SKY_STEPS = 64
ABOUT_PALETTE = (PALETTE + [(250, 196, 70), (196, 128, 40), (236, 240, 255)]
                 + [(0, 0, 0)] * (SKY - 9)
                 + [(12 + 14 * i // SKY_STEPS, 16 + 10 * i // SKY_STEPS, 44 + 30 * i // SKY_STEPS)
                    for i in range(SKY_STEPS)])
ABOUT_PALETTE += [(0, 0, 0)] * (256 - len(ABOUT_PALETTE))
STARS = [(6, 8), (61, 5), (12, 58), (64, 52), (52, 16), (4, 36), (30, 3), (44, 64)]


def about_colour_at(x, y, width, height):
    """The colour index at (x, y) in pixels, None for the sky."""
    dx, dy = x - width / 2, y - height / 2
    # The ship, turned a twelfth of a circle, about two thirds of the height.
    scale, turn = 0.62 * height, math.radians(30)
    u = 0.5 + (dx * math.cos(turn) + dy * math.sin(turn)) / scale
    v = 0.5 + (-dx * math.sin(turn) + dy * math.cos(turn)) / scale
    if 0 <= u < 1 and 0 <= v < 1 and colour_at(u, v):
        return colour_at(u, v)
    # The arrow circles clockwise from its tail at the top right to its head
    # at the top left.
    radius = math.hypot(dx, dy)
    angle = math.degrees(math.atan2(dx, -dy)) % 360  # 0 at the top, clockwise
    if 27 <= radius <= 31 and 30 <= angle <= 318:
        return ARROW if radius <= 29.5 else ARROW_SHADE
    # The head: a triangle standing on the arrow's end, pointing along it.
    end = math.radians(318)
    ax, ay = dx - math.sin(end) * 29.25, dy + math.cos(end) * 29.25
    along = ax * math.cos(end) + ay * math.sin(end)
    outward = ax * math.sin(end) - ay * math.cos(end)
    if 0 <= along <= 9 and abs(outward) <= (9 - along) * 0.7:
        return ARROW
    return None


def draw_about(width, height):
    pixels = render(width, height, lambda x, y: about_colour_at(x, y, width, height))
    for row, line in enumerate(pixels):
        line[:] = [SKY + row * SKY_STEPS // height if c is None else c for c in line]
    for column, row in STARS:
        if pixels[row][column] >= SKY:
            pixels[row][column] = STAR
    return pixels


def write_bmp(path, pixels, palette):
    """An uncompressed 8-bit BMP: rows bottom first, each padded to 4 bytes."""
    height, width = len(pixels), len(pixels[0])
    stride = (width + 3) // 4 * 4
    rows = b"".join(bytes(line) + b"\0" * (stride - width) for line in reversed(pixels))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(rows), 3780, 3780,
                       len(palette), 0)
    with open(path, "wb") as f:
        f.write(header + info + table + rows)


if __name__ == "__main__":
    for size in (16, 24, 32, 48, 64, 128, 256):
        write_png("icon%d.png" % size, draw(size))
    write_svg("gyrelle.svg")
    write_bmp("about.bmp", draw_about(70, 69), ABOUT_PALETTE)
