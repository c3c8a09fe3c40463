# Writes the image fixtures: one small picture per format with pixels the image tests compute by formula.
# Run with /usr/bin/python3 (Pillow from Debian); the outputs are checked in.
from PIL import Image

W, H = 7, 5

def colour(x, y):
    return (x * 36, y * 60, 255 - x * 30)

rgb = Image.new("RGB", (W, H))
for y in range(H):
    for x in range(W):
        rgb.putpixel((x, y), colour(x, y))
rgb.save("pattern.bmp")
rgb.save("pattern.png")
rgb.save("pattern.tif")

rgba = Image.new("RGBA", (W, H))
for y in range(H):
    for x in range(W):
        rgba.putpixel((x, y), colour(x, y) + (x * 40,))
rgba.save("alpha.png")
rgba.save("alpha.tif")

# JPEG: two flat halves, so that compression keeps the colours within a few levels.
jpg = Image.new("RGB", (32, 16), (200, 40, 30))
for y in range(16):
    for x in range(16, 32):
        jpg.putpixel((x, y), (20, 90, 220))
jpg.save("halves.jpg", quality=95, subsampling=0)

# GIF: a palette picture whose index 0 is transparent.
gif = Image.new("P", (4, 3), 0)
gif.putpalette([0, 0, 0, 255, 0, 0, 0, 0, 255] + [0] * (256 - 3) * 3)
for x in range(4):
    gif.putpixel((x, 0), 1)
    gif.putpixel((x, 2), 2)
gif.save("palette.gif", transparency=0)

# The same JPEG under an upper-case ".JPEG" name: loading "halves.jpeg" must find it as Windows would.
import shutil
shutil.copy("halves.jpg", "halves.JPEG")
