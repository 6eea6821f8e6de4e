#!/usr/bin/env python3
"""Draws the resource library's small pictures and the installation's skin files.

The pictures are plain pixel art, written with the standard library only, so that every
image file of the installation can be made again from this script:

    python3 resources/images/make_images.py

writes the menu bitmaps (175 to 179), the log viewer's image strip (142), the column-divider
cursor (130), the program icon (skin/QuorinFree.ico) and the about box picture
(skin/bitmap11.skn).
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.join(os.path.dirname(HERE), "skin")

WHITE = (255, 255, 255)
MASK = (255, 0, 255)  # the image list's transparent colour


class Canvas:
    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill for _ in range(width)] for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(self.height):
            for x in range(self.width):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r, width, colour):
        for y in range(self.height):
            for x in range(self.width):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r - width <= d <= r:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, thick=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            t = i / steps
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            for dx in range(thick):
                for dy in range(thick):
                    self.put(int(round(x)) + dx, int(round(y)) + dy, colour)

    def blit(self, other, ox, oy):
        for y in range(other.height):
            for x in range(other.width):
                self.put(ox + x, oy + y, other.pixels[y][x])


def bmp_bytes(canvas):
    """A bottom-up 24-bit BMP file."""
    row = (canvas.width * 3 + 3) & ~3
    data = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        line = bytearray()
        for r, g, b in canvas.pixels[y]:
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(data),
                         2835, 2835, 0, 0)
    offset = 14 + len(header)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + data


def write(path, data):
    with open(path, "wb") as handle:
        handle.write(data)


def globe(size, background, sea=(40, 110, 200), land=(60, 170, 80)):
    c = Canvas(size, size, background)
    r = size / 2 - 0.5
    c.disc(size / 2, size / 2, r, sea)
    # Continents: two blobs on the sphere.
    c.disc(size * 0.38, size * 0.36, size * 0.18, land)
    c.disc(size * 0.62, size * 0.66, size * 0.15, land)
    c.ring(size / 2, size / 2, r, max(1, size / 16), (20, 60, 130))
    return c


def gear(size, background):
    c = Canvas(size, size, background)
    steel = (110, 110, 120)
    cx = cy = size / 2
    for i in range(8):
        a = i * math.pi / 4
        x = cx + math.cos(a) * size * 0.36
        y = cy + math.sin(a) * size * 0.36
        c.disc(x, y, size * 0.11, steel)
    c.disc(cx, cy, size * 0.33, steel)
    c.disc(cx, cy, size * 0.13, background)
    return c


def monitor(size, background):
    c = Canvas(size, size, background)
    frame = (60, 60, 70)
    c.rect(1, 2, size - 2, size - 5, frame)
    c.rect(2, 3, size - 3, size - 6, (90, 160, 230))
    c.rect(size // 2 - 1, size - 4, size // 2, size - 3, frame)
    c.rect(size // 2 - 4, size - 2, size // 2 + 3, size - 2, frame)
    return c


def key(size, background):
    c = Canvas(size, size, background)
    gold = (200, 160, 30)
    c.ring(5, 8, 4.5, 2, gold)
    c.rect(9, 7, 15, 8, gold)
    c.rect(12, 9, 12, 10, gold)
    c.rect(14, 9, 14, 11, gold)
    return c


def arrows(size, background):
    c = Canvas(size, size, background)
    green = (30, 150, 60)
    c.ring(size / 2, size / 2, 6.5, 2, green)
    c.rect(0, 0, 7, 7, background)  # open the ring at the top left
    c.line(7, 1, 10, 1, green)
    c.line(8, 0, 10, 2, green)
    c.line(8, 4, 10, 2, green)
    return c


def log_strip():
    """Five 16-pixel images: information, warning, success, question, failure."""
    strip = Canvas(80, 16, MASK)

    info = Canvas(16, 16, MASK)
    info.disc(8, 8, 7.5, (40, 100, 210))
    info.rect(7, 7, 8, 12, WHITE)
    info.rect(7, 4, 8, 5, WHITE)
    strip.blit(info, 0, 0)

    warn = Canvas(16, 16, MASK)
    for y in range(1, 15):
        half = (y - 1) * 7 // 14
        warn.rect(8 - half - 1, y, 7 + half + 1, y, (230, 180, 20))
    warn.rect(7, 5, 8, 10, (0, 0, 0))
    warn.rect(7, 12, 8, 13, (0, 0, 0))
    strip.blit(warn, 16, 0)

    ok = Canvas(16, 16, MASK)
    ok.disc(8, 8, 7.5, (40, 160, 70))
    ok.line(4, 8, 7, 11, WHITE, 2)
    ok.line(7, 11, 12, 5, WHITE, 2)
    strip.blit(ok, 32, 0)

    question = Canvas(16, 16, MASK)
    question.disc(8, 8, 7.5, (120, 120, 130))
    question.ring(8, 6.5, 3.5, 1.6, WHITE)
    question.rect(4, 6, 7, 10, (120, 120, 130))
    question.rect(7, 9, 8, 10, WHITE)
    question.rect(7, 12, 8, 13, WHITE)
    strip.blit(question, 48, 0)

    fail = Canvas(16, 16, MASK)
    fail.disc(8, 8, 7.5, (200, 40, 40))
    fail.line(5, 5, 10, 10, WHITE, 2)
    fail.line(10, 5, 5, 10, WHITE, 2)
    strip.blit(fail, 64, 0)
    return strip


def divider_cursor():
    """A 32 x 32 monochrome column-divider cursor: two bars with arrows to the left and right;
    hot spot between the bars."""
    art = [
        "          #.#.#          ",
        "          #.#.#          ",
        "          #.#.#          ",
        "     ##   #.#.#   ##     ",
        "    #.#   #.#.#   #.#    ",
        "   #..#####.#.#####..#   ",
        "  #.........#.........#  ",
        "   #..#####.#.#####..#   ",
        "    #.#   #.#.#   #.#    ",
        "     ##   #.#.#   ##     ",
        "          #.#.#          ",
        "          #.#.#          ",
        "          #.#.#          ",
    ]
    width = height = 32
    and_mask = [[1] * width for _ in range(height)]
    xor_mask = [[0] * width for _ in range(height)]
    for y, text in enumerate(art):
        for x, ch in enumerate(text):
            if ch == "#":  # black outline
                and_mask[y][x] = 0
                xor_mask[y][x] = 0
            elif ch == ".":  # white inside
                and_mask[y][x] = 0
                xor_mask[y][x] = 1

    def rows(mask):
        out = bytearray()
        for y in range(height - 1, -1, -1):
            bits = 0
            for x in range(width):
                bits = (bits << 1) | mask[y][x]
            out += struct.pack(">I", bits)
        return out

    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = header + palette + rows(xor_mask) + rows(and_mask)
    hot_x, hot_y = 12, 6
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", width, height, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    return directory + entry + image


def icon_image(canvas, transparent):
    """One 32-bit icon image (BGRA with an AND mask) of a canvas."""
    w, h = canvas.width, canvas.height
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for r, g, b in canvas.pixels[y]:
            alpha = 0 if (r, g, b) == transparent else 255
            xor += bytes((b, g, r, alpha))
    mask_row = ((w + 31) // 32) * 4
    and_mask = bytearray()
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_row)
        for x, colour in enumerate(canvas.pixels[y]):
            if colour == transparent:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0,
                         0, 0)
    return header + xor + and_mask


def program_icon(size):
    c = globe(size, MASK)
    # A white "Q" tail across the globe's lower right marks the product.
    c.line(size * 0.55, size * 0.55, size * 0.9, size * 0.9, WHITE, max(2, size // 10))
    return c


def ico_file(canvases):
    images = [icon_image(c, MASK) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32, len(image),
                           offset)
        offset += len(image)
    for image in images:
        out += image
    return out


def about_picture():
    """The about box picture: a 96 x 96 globe on a soft blue gradient."""
    size = 96
    c = Canvas(size, size, WHITE)
    for y in range(size):
        shade = 255 - y * 60 // size
        c.rect(0, y, size - 1, y, (shade - 40, shade - 15, 255))
    g = globe(72, MASK)
    for y in range(g.height):
        for x in range(g.width):
            if g.pixels[y][x] != MASK:
                c.put(12 + x, 12 + y, g.pixels[y][x])
    c.line(52, 52, 84, 84, WHITE, 7)
    return c


def main():
    write(os.path.join(HERE, "bitmap175.bmp"), bmp_bytes(globe(16, WHITE)))
    write(os.path.join(HERE, "bitmap176.bmp"), bmp_bytes(key(16, WHITE)))
    write(os.path.join(HERE, "bitmap177.bmp"), bmp_bytes(gear(16, WHITE)))
    write(os.path.join(HERE, "bitmap178.bmp"), bmp_bytes(arrows(16, WHITE)))
    write(os.path.join(HERE, "bitmap179.bmp"), bmp_bytes(monitor(16, WHITE)))
    write(os.path.join(HERE, "log_images.bmp"), bmp_bytes(log_strip()))
    write(os.path.join(HERE, "divider.cur"), divider_cursor())
    os.makedirs(SKIN, exist_ok=True)
    write(os.path.join(SKIN, "QuorinFree.ico"), ico_file([program_icon(32), program_icon(16)]))
    write(os.path.join(SKIN, "bitmap11.skn"), bmp_bytes(about_picture()))


if __name__ == "__main__":
    main()
