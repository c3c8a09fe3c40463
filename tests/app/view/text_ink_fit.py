#!/usr/bin/python3
"""Which font drew these lines: each input line holds a text in Shift_JIS (hex), the left and the right end of its
ink on the screen and the right edge of the screen, all measured from where the text starts (ink beyond the edge is
not seen). For each font file given, the type size between 10 and 24
pixels whose ink fits every line best is found (Pillow renders the text, dark pixels below the same coverage as on
the screen are left out), and "<font> <size> <largest difference in pixels>" is printed."""
import sys

from PIL import Image, ImageDraw, ImageFont


def ink(font, text):
    width = int(font.getlength(text)) + 40
    image = Image.new("L", (width, 64), 0)
    ImageDraw.Draw(image).text((10, 10), text, font=font, fill=255)
    box = image.point(lambda v: 255 if v > 100 else 0).getbbox()
    return (box[0] - 10, box[2] - 10) if box else (0, 0)


def main():
    rows = []
    for line in sys.stdin.read().splitlines():
        code, left, right, edge = line.split()
        rows.append((bytes.fromhex(code).decode("cp932"), int(left), int(right), int(edge)))
    for path in sys.argv[1:]:
        best = None
        for size in range(10, 25):
            font = ImageFont.truetype(path, size)
            worst = 0
            for text, left, right, edge in rows:
                a, b = ink(font, text)
                worst = max(worst, abs(left - a), abs(right - min(b, edge)))
            if best is None or worst < best[1]:
                best = (size, worst)
        print(path.rsplit("/", 1)[-1], best[0], best[1])


if __name__ == "__main__":
    main()
