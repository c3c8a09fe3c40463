#!/usr/bin/env python3
"""Converts an X window dump (xwd, 24/32 bits per pixel TrueColor) into a PNG, with Pillow."""
import struct
import sys

from PIL import Image


def main(source, target):
    data = open(source, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if bits_per_pixel not in (24, 32):
        sys.exit(f"xwd_to_png: {bits_per_pixel} bits per pixel are not handled")
    start = header_size + ncolors * 12
    raw = "BGRX" if bits_per_pixel == 32 else "BGR"
    if byte_order == 1:  # most significant byte first
        raw = "XRGB" if bits_per_pixel == 32 else "RGB"
    image = Image.frombuffer("RGB", (width, height), data[start:start + bytes_per_line * height], "raw", raw,
                             bytes_per_line, 1)
    image.save(target)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
