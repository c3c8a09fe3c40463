# Writes the texture reload fixtures: two flat 4 x 4 pictures without and two with an alpha channel, so that a
# reloaded texture shows at once which file it holds. Run with /usr/bin/python3 (Pillow from Debian).
from PIL import Image

Image.new("RGB", (4, 4), (200, 40, 30)).save("rgb_a.png")
Image.new("RGB", (4, 4), (20, 90, 220)).save("rgb_b.png")
Image.new("RGBA", (4, 4), (200, 40, 30, 128)).save("rgba_a.png")
Image.new("RGBA", (4, 4), (20, 90, 220, 64)).save("rgba_b.png")
