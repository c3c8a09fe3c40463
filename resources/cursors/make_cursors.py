#!/usr/bin/python3
"""Draws the program's cursors and its icon as 32 x 32 PNG files and lists them with their hotspots.

Run from anywhere: writes <name>.png and cursor_images.txt next to this script. Standard library only, so the
images can be redrawn on any machine; the build embeds the PNG files, it does not run this script.
Shapes are filled with supersampling, then every shape gets a one-pixel white rim so it reads on dark and light
scenes alike. Whole-item tools are drawn in black, part tools in blue.
"""
import math
import os
import struct
import zlib

SIZE = 32
SS = 4  # supersampling per axis
BLACK = (0, 0, 0)
BLUE = (0, 64, 200)
WHITE = (255, 255, 255)

FONT = {  # 5 x 7 glyphs for the marks inside cursors
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
}


class Canvas:
    def __init__(self):
        self.cover = [[None] * SIZE for _ in range(SIZE)]

    def fill(self, inside, color):
        """Sets every pixel whose supersampled coverage by inside(x, y) is at least half."""
        for py in range(SIZE):
            for px in range(SIZE):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                            hits += 1
                if hits * 2 >= SS * SS:
                    self.cover[py][px] = color

    def polygon(self, points, color):
        def inside(x, y):
            c = False
            n = len(points)
            for i in range(n):
                x1, y1 = points[i]
                x2, y2 = points[(i + 1) % n]
                if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                    c = not c
            return c
        self.fill(inside, color)

    def line(self, x1, y1, x2, y2, width, color):
        def inside(x, y):
            dx, dy = x2 - x1, y2 - y1
            t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
            return math.hypot(x - (x1 + t * dx), y - (y1 + t * dy)) <= width / 2
        self.fill(inside, color)

    def disc(self, cx, cy, r, color):
        self.fill(lambda x, y: math.hypot(x - cx, y - cy) <= r, color)

    def ring(self, cx, cy, r, width, color, start=0.0, end=360.0):
        def inside(x, y):
            if abs(math.hypot(x - cx, y - cy) - r) > width / 2:
                return False
            a = math.degrees(math.atan2(cy - y, x - cx)) % 360
            return start <= a <= end if start <= end else (a >= start or a <= end)
        self.fill(inside, color)

    def arrow_head(self, tip, direction_deg, length, half_width, color):
        a = math.radians(direction_deg)
        ux, uy = math.cos(a), -math.sin(a)
        bx, by = tip[0] - ux * length, tip[1] - uy * length
        self.polygon([tip, (bx - uy * half_width, by + ux * half_width), (bx + uy * half_width, by - ux * half_width)],
                     color)

    def text(self, x, y, glyph, color, scale=1):
        for row, bits in enumerate(FONT[glyph]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for sy in range(scale):
                        for sx in range(scale):
                            self.cover[y + row * scale + sy][x + col * scale + sx] = color

    def png(self):
        rows = []
        for y in range(SIZE):
            row = bytearray([0])
            for x in range(SIZE):
                c = self.cover[y][x]
                if c is None and any(
                        0 <= y + dy < SIZE and 0 <= x + dx < SIZE and self.cover[y + dy][x + dx] not in (None, WHITE)
                        for dy in (-1, 0, 1) for dx in (-1, 0, 1)):
                    c = WHITE
                row += bytes(c + (255,)) if c is not None else bytes(4)
            rows.append(bytes(row))
        raw = zlib.compress(b"".join(rows), 9)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
        header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
        return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", raw) + chunk(b"IEND", b"")


def four_way(c, color, reach=13, shaft=3):
    m = 16
    c.line(m - reach + 4, m, m + reach - 4, m, shaft, color)
    c.line(m, m - reach + 4, m, m + reach - 4, shaft, color)
    for deg, tip in ((0, (m + reach, m)), (180, (m - reach, m)), (90, (m, m - reach)), (270, (m, m + reach))):
        c.arrow_head(tip, deg, 6, 4.5, color)


def up_down(c, color):
    c.line(16, 8, 16, 24, 3, color)
    c.arrow_head((16, 2), 90, 7, 5, color)
    c.arrow_head((16, 30), 270, 7, 5, color)


def rotation(c, color, axis):
    c.ring(16, 16, 11, 3, color, 40, 320)
    c.arrow_head((24.4, 9.0), 100, 7, 4.5, color)
    c.text(14, 13, axis, color)


def finger(c, mark):
    # a pointing hand, fingertip at the top left, with a mark beside it
    c.polygon([(6, 2), (9, 2), (9, 12), (18, 13), (20, 15), (20, 24), (16, 29), (8, 29), (3, 22), (3, 15), (6, 15)],
              BLACK)
    if mark == "move":
        c.line(24, 4, 24, 14, 2, BLUE)
        c.line(19, 9, 29, 9, 2, BLUE)
    else:
        c.text(22, 3, mark, BLUE)


def walk(c):
    for cx, cy, tilt in ((11, 20, -1), (21, 11, 1)):
        c.fill(lambda x, y, cx=cx, cy=cy: ((x - cx) / 3.6) ** 2 + ((y - cy) / 6.5) ** 2 <= 1, BLACK)
        c.disc(cx + tilt * 0.5, cy + 9, 2.6, BLACK)


def head(c):
    c.disc(16, 16, 7, BLACK)
    c.line(3, 16, 7, 16, 2, BLACK)
    c.line(25, 16, 29, 16, 2, BLACK)
    c.arrow_head((1, 16), 180, 4, 3.5, BLACK)
    c.arrow_head((31, 16), 0, 4, 3.5, BLACK)


def around(c):
    c.ring(16, 16, 12, 3, BLACK, 200, 160)
    c.arrow_head((4.2, 21.5), 250, 7, 4.5, BLACK)
    c.disc(16, 16, 3, BLACK)


def centre(c):
    c.ring(16, 16, 9, 2, BLACK)
    c.line(16, 1, 16, 12, 2, BLACK)
    c.line(16, 20, 16, 31, 2, BLACK)
    c.line(1, 16, 12, 16, 2, BLACK)
    c.line(20, 16, 31, 16, 2, BLACK)


def hourglass(c):
    c.line(7, 3, 25, 3, 3, BLACK)
    c.line(7, 29, 25, 29, 3, BLACK)
    c.polygon([(9, 5), (23, 5), (17, 16), (23, 27), (9, 27), (15, 16)], BLACK)
    c.polygon([(12, 24), (20, 24), (16, 19)], (200, 160, 40))


def icon(c):
    # a cube in the program's colours, seen from above and the side
    c.polygon([(16, 3), (29, 9), (16, 15), (3, 9)], (120, 180, 250))
    c.polygon([(3, 9), (16, 15), (16, 30), (3, 24)], (40, 90, 200))
    c.polygon([(16, 15), (29, 9), (29, 24), (16, 30)], (20, 50, 140))


def move_part(c):
    four_way(c, BLUE)
    c.polygon([(13, 13), (19, 13), (19, 19), (13, 19)], BLUE)


def up_down_part(c):
    up_down(c, BLUE)
    c.polygon([(19, 13), (25, 13), (25, 19), (19, 19)], BLUE)


IMAGES = [  # name, drawing, hotspot
    ("CURSOR_AROUND", around, (16, 16)),
    ("CURSOR_WALK", walk, (16, 16)),
    ("CURSOR_HEAD", head, (16, 16)),
    ("CURSOR_CENTER", centre, (16, 16)),
    ("CURSOR_FINGER_ONE", lambda c: finger(c, "1"), (7, 2)),
    ("CURSOR_FINGER_DBL", lambda c: finger(c, "2"), (7, 2)),
    ("CURSOR_FINGER_ALT", lambda c: finger(c, "A"), (7, 2)),
    ("CURSOR_FINGER_MOVE", lambda c: finger(c, "move"), (7, 2)),
    ("CURSOR_MOVE_TRUNK", lambda c: four_way(c, BLACK), (16, 16)),
    ("CURSOR_MOVE_LEAVES", move_part, (16, 16)),
    ("CURSOR_MOVE_UPDOWN_TRUNK", lambda c: up_down(c, BLACK), (16, 16)),
    ("CURSOR_MOVE_UPDOWN_LEAVES", up_down_part, (16, 16)),
    ("CURSOR_ROTATE_X_TRUNK", lambda c: rotation(c, BLACK, "X"), (16, 16)),
    ("CURSOR_ROTATE_Y_TRUNK", lambda c: rotation(c, BLACK, "Y"), (16, 16)),
    ("CURSOR_ROTATE_Z_TRUNK", lambda c: rotation(c, BLACK, "Z"), (16, 16)),
    ("CURSOR_ROTATE_X_LEAVES", lambda c: rotation(c, BLUE, "X"), (16, 16)),
    ("CURSOR_ROTATE_Y_LEAVES", lambda c: rotation(c, BLUE, "Y"), (16, 16)),
    ("CURSOR_ROTATE_Z_LEAVES", lambda c: rotation(c, BLUE, "Z"), (16, 16)),
    ("CURSOR_WAIT", hourglass, (16, 16)),
    ("IDI_KZVIEW", icon, (0, 0)),
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    lines = ["# name file hotspot-x hotspot-y (written by make_cursors.py)"]
    for name, draw, (hx, hy) in IMAGES:
        canvas = Canvas()
        draw(canvas)
        file_name = name.lower() + ".png"
        with open(os.path.join(here, file_name), "wb") as f:
            f.write(canvas.png())
        lines.append(f"{name} {file_name} {hx} {hy}")
    with open(os.path.join(here, "cursor_images.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
