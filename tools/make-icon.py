#!/usr/bin/env python3
"""Draws Zibrak's application icon: a 32 x 32, 16-colour (4 bits per pixel) .ico with one
image: a cardboard archive box with a zipper down its front. Run: tools/make-icon.py app/zibrak.ico"""
import struct
import sys

# The standard 16-colour palette (B, G, R, 0).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # as (R, G, B)
BLACK, DARK_YELLOW, GREY, YELLOW, WHITE, DARK_RED, RED = 0, 3, 8, 11, 15, 1, 9
TRANSPARENT = None

SIZE = 32


def draw():
    px = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = colour

    # The box: a lid and a body with a dark outline.
    rect(3, 6, 28, 28, BLACK)
    rect(4, 7, 27, 27, YELLOW)
    rect(4, 7, 27, 11, DARK_YELLOW)      # the lid's shadow
    rect(2, 5, 29, 6, BLACK)             # the lid's rim
    rect(3, 3, 28, 4, DARK_YELLOW)
    rect(3, 2, 28, 2, BLACK)
    # The zipper: alternating teeth down the middle, and its pull tab.
    for y in range(3, 27):
        px[y][15] = GREY if y % 2 else WHITE
        px[y][16] = WHITE if y % 2 else GREY
    rect(13, 18, 18, 22, RED)
    rect(14, 19, 17, 21, DARK_RED)
    rect(15, 20, 16, 20, WHITE)
    return px


def encode(px):
    xor_rows, and_rows = [], []
    for row in reversed(px):  # bottom-up, as in a BMP
        nibbles = [0 if c is None else c for c in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is None else 0)
        and_rows.append(struct.pack(">I", bits))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(b"".join(xor_rows)) + len(b"".join(and_rows)), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4,
                                                           len(image), 6 + 16)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(encode(draw()))
