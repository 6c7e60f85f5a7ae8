#!/usr/bin/env python3
"""Writes a Windows .ico from an XPM picture (plain "#RRGGBB" colours, "None" transparent):
one 32-bit image, as Windows shows it in Explorer and the task bar."""
import re
import struct
import sys


def read_xpm(path):
    strings = re.findall(r'"((?:[^"\\]|\\.)*)"', open(path, encoding="ascii").read())
    width, height, ncolors, cpp = (int(v) for v in strings[0].split()[:4])
    colours = {}
    for line in strings[1:1 + ncolors]:
        key, value = line[:cpp], line[cpp:].split()
        spec = value[value.index("c") + 1]
        colours[key] = None if spec.lower() == "none" else int(spec.lstrip("#"), 16)
    rows = strings[1 + ncolors:1 + ncolors + height]
    pixels = [[colours[row[x * cpp:(x + 1) * cpp]] for x in range(width)] for row in rows]
    return width, height, pixels


def ico(width, height, pixels):
    xor = bytearray()
    mask_stride = ((width + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):  # a DIB runs bottom-up
        bits = bytearray(mask_stride)
        for x, colour in enumerate(row):
            if colour is None:
                xor += b"\0\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                xor += struct.pack("<BBBB", colour & 0xFF, (colour >> 8) & 0xFF, colour >> 16, 255)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    width, height, pixels = read_xpm(sys.argv[1])
    with open(sys.argv[2], "wb") as out:
        out.write(ico(width, height, pixels))


if __name__ == "__main__":
    main()
