#!/usr/bin/env python3
"""Turns icon pictures kept as text grids into .ico files (16 colours) and PNG previews.

A grid file holds one picture: every line is one row of pixels, one character per
pixel. The characters name colours of the standard 16-colour palette:

    .  transparent      K black        W white       g light grey   G dark grey
    r  dark red         R red          y dark yellow Y yellow       n dark green
    N  green            b dark blue    B blue        c dark cyan    C cyan
    m  dark magenta     M magenta

Lines starting with '#' are comments. All rows of a picture must have the same length,
and the picture must be square (16 or 32 pixels).

usage: mkicon.py OUT.ico GRID.txt [GRID.txt ...]      (one image per grid)
       mkicon.py --png OUT.png GRID.txt                (an enlarged preview)
"""
import struct
import sys
import zlib

PALETTE = [
    ("K", (0, 0, 0)), ("r", (128, 0, 0)), ("n", (0, 128, 0)), ("y", (128, 128, 0)),
    ("b", (0, 0, 128)), ("m", (128, 0, 128)), ("c", (0, 128, 128)), ("g", (192, 192, 192)),
    ("G", (128, 128, 128)), ("R", (255, 0, 0)), ("N", (0, 255, 0)), ("Y", (255, 255, 0)),
    ("B", (0, 0, 255)), ("M", (255, 0, 255)), ("C", (0, 255, 255)), ("W", (255, 255, 255)),
]
INDEX = {name: i for i, (name, _) in enumerate(PALETTE)}


def read_grid(path):
    rows = []
    with open(path, encoding="ascii") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            rows.append(line)
    size = len(rows)
    if size not in (16, 32) or any(len(r) != size for r in rows):
        sys.exit(f"{path}: a picture is 16 x 16 or 32 x 32 characters")
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch != "." and ch not in INDEX:
                sys.exit(f"{path}:{y + 1}:{x + 1}: unknown colour '{ch}'")
    return rows


def bmp_image(rows):
    """The DIB of one icon image: header, palette, 4-bit XOR bits, 1-bit AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for x in range(0, size, 2):
            hi = INDEX.get(row[x], 0)
            lo = INDEX.get(row[x + 1], 0)
            line.append(hi << 4 | lo)
        while len(line) % 4:
            line.append(0)
        xor += line
        bits = bytearray()
        for x in range(0, size, 8):
            byte = 0
            for i in range(8):
                if row[x + i] == ".":
                    byte |= 0x80 >> i
            bits.append(byte)
        while len(bits) % 4:
            bits.append(0)
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(out, grids):
    images = [(len(rows), bmp_image(rows)) for rows in grids]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for _, image in images:
        data += image
    with open(out, "wb") as f:
        f.write(data)


def write_png(out, rows, scale=16):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        line = bytearray([0])
        for ch in row:
            if ch == ".":
                # a light checkerboard stands for transparency
                pixel = (236, 236, 236)
            else:
                pixel = PALETTE[INDEX[ch]][1]
            line += bytes(pixel) * scale
        raw += bytes(line) * scale

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size * scale, size * scale, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(out, "wb") as f:
        f.write(png)


def main(argv):
    if len(argv) == 4 and argv[1] == "--png":
        write_png(argv[2], read_grid(argv[3]))
    elif len(argv) >= 3:
        write_ico(argv[1], [read_grid(p) for p in argv[2:]])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
