#!/usr/bin/env python3
"""Draws the four room pictures of the room board.

    Normal.bmp            free room
    Normal_ModiRoom.bmp   free room under maintenance (state 1, "维修")
    GuestIn.BMP           occupied room
    GuestIn_ModiRoom.BMP  occupied room under maintenance

Each picture is 32 x 32 pixels, 24 bits per pixel, uncompressed. The bottom-left
pixel holds the transparent colour (magenta 255,0,255), which appears nowhere
else in the art, so the board can mask it out.

Usage:
    make_room_pictures.py [--out DIR] [--preview FILE.png]

Without --out the pictures are written to build/ next to this script.
--preview also writes a 4x enlarged PNG of the four pictures side by side
(top row as stored, bottom row on a white background as the board shows them).

Only the Python 3 standard library is used.
"""

import argparse
import os
import struct
import zlib

SIZE = 32
TRANSPARENT = (255, 0, 255)

# Palette. None of these is magenta.
OUTLINE = (40, 40, 40)
FRAME = (112, 84, 60)
FRAME_LIGHT = (150, 118, 88)
FLOOR = (128, 128, 128)
KNOB = (230, 190, 40)
WHITE = (255, 255, 255)

GREEN = (46, 160, 67)
GREEN_LIGHT = (110, 205, 120)
GREEN_DARK = (24, 104, 42)

RED = (200, 40, 40)
RED_LIGHT = (235, 105, 95)
RED_DARK = (130, 20, 20)

PERSON = (250, 250, 250)
PERSON_EDGE = (30, 20, 20)
SKIN = (250, 205, 160)
HAIR = (70, 45, 30)
SHIRT = (45, 95, 200)
SHIRT_LIGHT = (100, 150, 235)
SHIRT_DARK = (25, 55, 130)

YELLOW = (255, 200, 0)
ORANGE = (240, 130, 0)
BLACK = (20, 20, 20)


class Canvas:
    """A SIZE x SIZE picture, row 0 at the top."""

    def __init__(self):
        self.px = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    def set(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = colour

    def get(self, x, y):
        return self.px[y][x]

    def rect(self, x0, y0, x1, y1, colour):
        """Filled rectangle, both corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        """Rectangle outline, both corners inclusive."""
        for x in range(x0, x1 + 1):
            self.set(x, y0, colour)
            self.set(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.set(x0, y, colour)
            self.set(x1, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, colour)


# --- the parts of the pictures ------------------------------------------------

def draw_door(c, body, light, dark):
    """A door in its frame on a threshold."""
    # threshold (leaves the bottom-left pixel transparent)
    c.rect(3, 30, 28, 31, FLOOR)
    c.rect(2, 31, 29, 31, FLOOR)
    # frame
    c.rect(6, 1, 25, 29, FRAME)
    c.frame(6, 1, 25, 29, OUTLINE)
    c.rect(7, 2, 24, 2, FRAME_LIGHT)
    # door leaf
    c.rect(9, 4, 22, 29, body)
    c.frame(8, 3, 23, 29, OUTLINE)
    # light edge on the left, shadow on the right
    c.rect(9, 4, 9, 28, light)
    c.rect(22, 4, 22, 28, dark)
    # two recessed panels
    for (y0, y1) in ((6, 14), (17, 26)):
        c.frame(11, y0, 20, y1, dark)
        c.rect(12, y0 + 1, 12, y1 - 1, light)
        c.rect(12, y0 + 1, 19, y0 + 1, light)
    # knob
    c.rect(19, 15, 20, 16, KNOB)
    c.set(21, 16, OUTLINE)
    c.set(19, 17, OUTLINE)
    c.set(20, 17, OUTLINE)


def draw_person(c):
    """A guest standing in front of the door: head and blue-shirted body."""
    cx = 15.5
    # body: rounded shoulders widening downwards, rows 17 to 28
    shape = {
        17: (13, 18), 18: (12, 19), 19: (11, 20), 20: (11, 20), 21: (11, 20),
        22: (11, 20), 23: (11, 20), 24: (11, 20), 25: (11, 20), 26: (11, 20),
        27: (11, 20), 28: (11, 20),
    }
    # outline first, one pixel larger all round
    for y, (x0, x1) in shape.items():
        c.rect(x0 - 1, y - 1, x1 + 1, y, PERSON_EDGE)
    c.disc(cx, 11.5, 4.7, PERSON_EDGE)
    for y, (x0, x1) in shape.items():
        c.rect(x0, y, x1, y, SHIRT)
    # shading of the shirt and the collar
    for y, (x0, x1) in shape.items():
        c.set(x1, y, SHIRT_DARK)
        c.set(x0, y, SHIRT_LIGHT)
    c.rect(15, 18, 16, 20, PERSON)
    c.rect(15, 21, 16, 26, SHIRT_DARK)
    # arms suggested by two seams
    c.rect(13, 22, 13, 28, SHIRT_DARK)
    c.rect(18, 22, 18, 28, SHIRT_DARK)
    # head
    c.disc(cx, 11.5, 3.7, SKIN)
    c.rect(13, 8, 18, 8, HAIR)
    c.rect(12, 9, 12, 10, HAIR)
    c.rect(19, 9, 19, 10, HAIR)
    c.set(14, 11, PERSON_EDGE)
    c.set(17, 11, PERSON_EDGE)
    # keep the door's bottom edge below the figure
    c.rect(8, 29, 23, 29, OUTLINE)


def draw_maintenance(c):
    """Maintenance mark: a hazard stripe over the top of the door and a
    warning triangle in the lower right corner."""
    # hazard stripe across the head of the frame
    for y in range(0, 6):
        for x in range(4, 28):
            if x in (4, 27) or y in (0, 5):
                c.set(x, y, BLACK)
            else:
                c.set(x, y, YELLOW if ((x + y) // 3) % 2 == 0 else BLACK)
    # warning triangle, apex at (23, 14), base on row 30 from x 15 to 31
    apex_x, apex_y, base_y = 23, 14, 30
    for y in range(apex_y, base_y + 1):
        half = (y - apex_y) / 2.0
        x0 = int(round(apex_x - half))
        x1 = int(round(apex_x + half))
        for x in range(x0, x1 + 1):
            edge = x in (x0, x0 + 1, x1, x1 - 1) or y >= base_y - 1
            c.set(x, y, BLACK if edge else ORANGE if y >= base_y - 2 else YELLOW)
    # exclamation mark
    c.rect(22, 19, 23, 25, BLACK)
    c.rect(22, 27, 23, 27, BLACK)


# --- the four pictures ---------------------------------------------------------

def picture(occupied, maintenance):
    c = Canvas()
    if occupied:
        draw_door(c, RED, RED_LIGHT, RED_DARK)
        draw_person(c)
    else:
        draw_door(c, GREEN, GREEN_LIGHT, GREEN_DARK)
    if maintenance:
        draw_maintenance(c)
    # the bottom-left pixel defines the transparent colour
    c.set(0, SIZE - 1, TRANSPARENT)
    return c


PICTURES = [
    ("Normal.bmp", False, False),
    ("Normal_ModiRoom.bmp", False, True),
    ("GuestIn.BMP", True, False),
    ("GuestIn_ModiRoom.BMP", True, True),
]


# --- file writers --------------------------------------------------------------

def bmp_bytes(c):
    """24-bit uncompressed BMP: BITMAPFILEHEADER + BITMAPINFOHEADER, rows
    bottom-up, BGR, each row padded to four bytes."""
    row_size = (SIZE * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(SIZE - 1, -1, -1):
        row = bytearray()
        for x in range(SIZE):
            r, g, b = c.get(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def png_bytes(width, height, rows):
    """Minimal RGB PNG; rows is a list of lists of (r, g, b)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b in row:
            raw += bytes((r, g, b))
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def preview(canvases, path, scale=4, gap=8):
    """Top row: the pictures as stored. Bottom row: on white, transparent masked."""
    cell = SIZE * scale
    width = gap + len(canvases) * (cell + gap)
    height = gap + 2 * (cell + gap)
    bg = (200, 200, 200)
    rows = [[bg] * width for _ in range(height)]
    for i, c in enumerate(canvases):
        key = c.get(0, SIZE - 1)
        for band in range(2):
            ox = gap + i * (cell + gap)
            oy = gap + band * (cell + gap)
            for y in range(cell):
                for x in range(cell):
                    colour = c.get(x // scale, y // scale)
                    if band == 1 and colour == key:
                        colour = WHITE
                    rows[oy + y][ox + x] = colour
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, rows))


def check(c):
    """The bottom-left pixel is the transparent colour, and every pixel of that
    colour belongs to the background around the art (reachable from the edge),
    so masking never punches a hole into the picture."""
    assert c.get(0, SIZE - 1) == TRANSPARENT
    seen = set()
    todo = [(x, y) for x in range(SIZE) for y in (0, SIZE - 1)]
    todo += [(x, y) for y in range(SIZE) for x in (0, SIZE - 1)]
    while todo:
        x, y = todo.pop()
        if (x, y) in seen or not (0 <= x < SIZE and 0 <= y < SIZE):
            continue
        if c.get(x, y) != TRANSPARENT:
            continue
        seen.add((x, y))
        todo += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    for y in range(SIZE):
        for x in range(SIZE):
            if c.get(x, y) == TRANSPARENT:
                assert (x, y) in seen, "stray transparent pixel at %d,%d" % (x, y)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Draw the room board pictures.")
    parser.add_argument("--out", default=os.path.join(here, "build"),
                        help="folder for the BMP files (default: build/ beside this script)")
    parser.add_argument("--preview", help="also write a 4x enlarged PNG preview here")
    args = parser.parse_args()

    os.makedirs(args.out, exist_ok=True)
    canvases = []
    for name, occupied, maintenance in PICTURES:
        c = picture(occupied, maintenance)
        check(c)
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(bmp_bytes(c))
        canvases.append(c)
    if args.preview:
        preview(canvases, args.preview)


if __name__ == "__main__":
    main()
