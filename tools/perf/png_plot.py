"""A tiny raster plot written as PNG with the standard library only (zlib and struct).

Enough for the report's histogram: filled rectangles, straight lines, dashed vertical
lines and text in a 5x7 pixel font, scaled by whole pixels.
"""
import struct
import zlib

# 5x7 glyphs, rows from the top, '#' set. Lower-case letters are drawn as capitals.
_GLYPHS = {
    " ": ".....|.....|.....|.....|.....|.....|.....",
    "0": ".###.|#...#|#..##|#.#.#|##..#|#...#|.###.",
    "1": "..#..|.##..|..#..|..#..|..#..|..#..|.###.",
    "2": ".###.|#...#|....#|...#.|..#..|.#...|#####",
    "3": "####.|....#|....#|.###.|....#|....#|####.",
    "4": "...#.|..##.|.#.#.|#..#.|#####|...#.|...#.",
    "5": "#####|#....|####.|....#|....#|#...#|.###.",
    "6": ".###.|#....|#....|####.|#...#|#...#|.###.",
    "7": "#####|....#|...#.|..#..|.#...|.#...|.#...",
    "8": ".###.|#...#|#...#|.###.|#...#|#...#|.###.",
    "9": ".###.|#...#|#...#|.####|....#|....#|.###.",
    "A": ".###.|#...#|#...#|#####|#...#|#...#|#...#",
    "B": "####.|#...#|#...#|####.|#...#|#...#|####.",
    "C": ".###.|#...#|#....|#....|#....|#...#|.###.",
    "D": "####.|#...#|#...#|#...#|#...#|#...#|####.",
    "E": "#####|#....|#....|####.|#....|#....|#####",
    "F": "#####|#....|#....|####.|#....|#....|#....",
    "G": ".###.|#...#|#....|#.###|#...#|#...#|.####",
    "H": "#...#|#...#|#...#|#####|#...#|#...#|#...#",
    "I": ".###.|..#..|..#..|..#..|..#..|..#..|.###.",
    "J": "..###|...#.|...#.|...#.|...#.|#..#.|.##..",
    "K": "#...#|#..#.|#.#..|##...|#.#..|#..#.|#...#",
    "L": "#....|#....|#....|#....|#....|#....|#####",
    "M": "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#",
    "N": "#...#|##..#|#.#.#|#..##|#...#|#...#|#...#",
    "O": ".###.|#...#|#...#|#...#|#...#|#...#|.###.",
    "P": "####.|#...#|#...#|####.|#....|#....|#....",
    "Q": ".###.|#...#|#...#|#...#|#.#.#|#..#.|.##.#",
    "R": "####.|#...#|#...#|####.|#.#..|#..#.|#...#",
    "S": ".####|#....|#....|.###.|....#|....#|####.",
    "T": "#####|..#..|..#..|..#..|..#..|..#..|..#..",
    "U": "#...#|#...#|#...#|#...#|#...#|#...#|.###.",
    "V": "#...#|#...#|#...#|#...#|#...#|.#.#.|..#..",
    "W": "#...#|#...#|#...#|#.#.#|#.#.#|#.#.#|.#.#.",
    "X": "#...#|#...#|.#.#.|..#..|.#.#.|#...#|#...#",
    "Y": "#...#|#...#|.#.#.|..#..|..#..|..#..|..#..",
    "Z": "#####|....#|...#.|..#..|.#...|#....|#####",
    ".": ".....|.....|.....|.....|.....|.##..|.##..",
    ",": ".....|.....|.....|.....|.##..|..#..|.#...",
    ":": ".....|.##..|.##..|.....|.##..|.##..|.....",
    "%": "##...|##..#|...#.|..#..|.#...|#..##|...##",
    "(": "...#.|..#..|.#...|.#...|.#...|..#..|...#.",
    ")": ".#...|..#..|...#.|...#.|...#.|..#..|.#...",
    "-": ".....|.....|.....|#####|.....|.....|.....",
    "+": ".....|..#..|..#..|#####|..#..|..#..|.....",
    "/": ".....|....#|...#.|..#..|.#...|#....|.....",
    "=": ".....|.....|#####|.....|#####|.....|.....",
    "<": "...#.|..#..|.#...|#....|.#...|..#..|...#.",
    ">": ".#...|..#..|...#.|....#|...#.|..#..|.#...",
    "_": ".....|.....|.....|.....|.....|.....|#####",
}
GLYPH_WIDTH = 5
GLYPH_HEIGHT = 7

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
GREY = (200, 200, 200)


class Canvas:
    def __init__(self, width, height, background=WHITE):
        self.width = width
        self.height = height
        self.pixels = [list(background) * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            row = self.pixels[y]
            row[3 * x:3 * x + 3] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(max(0, min(y0, y1)), min(self.height, max(y0, y1) + 1)):
            for x in range(max(0, min(x0, x1)), min(self.width, max(x0, x1) + 1)):
                self.set(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, dash=0):
        """A straight line; with dash > 0, dash pixels drawn and dash left out in turn."""
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            if dash and (i // dash) % 2:
                continue
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            self.set(round(x), round(y), colour)

    def text(self, x, y, text, colour=BLACK, scale=1):
        """Text with its top left corner at (x, y); returns the x after it."""
        for ch in text.upper():
            glyph = _GLYPHS.get(ch, _GLYPHS[" "])
            for row, bits in enumerate(glyph.split("|")):
                for column, bit in enumerate(bits):
                    if bit == "#":
                        self.rect(x + column * scale, y + row * scale,
                                  x + (column + 1) * scale - 1, y + (row + 1) * scale - 1, colour)
            x += (GLYPH_WIDTH + 1) * scale
        return x

    @staticmethod
    def text_width(text, scale=1):
        return len(text) * (GLYPH_WIDTH + 1) * scale

    def png(self):
        raw = b"".join(b"\x00" + bytes(row) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

    def save(self, path):
        with open(path, "wb") as f:
            f.write(self.png())
