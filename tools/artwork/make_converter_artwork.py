#!/usr/bin/python3
"""Draws the converters plug-in's placeholder product pictures into
plugins/converters/resources/images/ and writes their part of the plug-in's qrc.

Neutral grey enclosures in the kit's palette, one per picture family, each with a thumbnail.
Plain Python (zlib only), so it runs without extra packages; run by hand and check the PNGs in.
"""

import os
import struct
import sys
import zlib

SS = 2  # supersampling factor per axis

GREY23 = (23, 23, 23)
GREY45 = (45, 45, 45)
GREY58 = (58, 58, 58)
INACTIVE = (94, 94, 94)
GREY119 = (119, 119, 119)
CONTROL = (146, 146, 146)


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.shapes = []

    def rect(self, box, colour, radius=0):
        self.shapes.append(("rect", box, radius, colour))

    def ellipse(self, box, colour):
        self.shapes.append(("ellipse", box, 0, colour))

    @staticmethod
    def _inside(shape, x, y):
        kind, (x0, y0, x1, y1), r, _ = shape
        if x < x0 or x >= x1 or y < y0 or y >= y1:
            return False
        if kind == "ellipse":
            cx, cy, rx, ry = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2
            return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1
        if r:
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        return True

    def pixels(self, scale):
        """RGBA rows of the picture drawn at scale (final pixels per design pixel)."""
        w, h = int(self.width * scale), int(self.height * scale)
        rows = []
        step = 1.0 / (SS * scale)
        for py in range(h):
            row = bytearray()
            for px in range(w):
                acc = [0, 0, 0, 0]
                for sy in range(SS):
                    for sx in range(SS):
                        x = (px * SS + sx + 0.5) * step
                        y = (py * SS + sy + 0.5) * step
                        colour = None
                        for shape in reversed(self.shapes):
                            if self._inside(shape, x, y):
                                colour = shape[3]
                                break
                        if colour:
                            acc[0] += colour[0]
                            acc[1] += colour[1]
                            acc[2] += colour[2]
                            acc[3] += 255
                n = SS * SS
                alpha = acc[3] // n
                if alpha:
                    covered = acc[3] // 255
                    row += bytes((acc[0] // covered, acc[1] // covered, acc[2] // covered, alpha))
                else:
                    row += b"\0\0\0\0"
            rows.append(bytes(row))
        return w, h, rows


def write_png(path, width, height, rows):
    raw = b"".join(b"\0" + r for r in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def enclosure(c, x0, y0, x1, y1, depth):
    """A box seen slightly from above: shadow, top face, front face."""
    c.ellipse([x0, y1 - 8, x1, y1 + 22], GREY23)
    c.rect([x0 + depth, y0 - depth, x1 - depth, y0 + 4], GREY58, radius=4)
    c.rect([x0 - 2, y0 - 2, x1 + 2, y1 + 2], GREY119, radius=10)
    c.rect([x0, y0, x1, y1], GREY45, radius=9)


def connector(c, cx, cy, r=18):
    c.ellipse([cx - r - 3, cy - r - 3, cx + r + 3, cy + r + 3], CONTROL)
    c.ellipse([cx - r, cy - r, cx + r, cy + r], GREY58)
    c.ellipse([cx - 6, cy - 6, cx + 6, cy + 6], CONTROL)


def usb_socket(c, x, y):
    c.rect([x, y, x + 40, y + 18], CONTROL, radius=3)
    c.rect([x + 3, y + 3, x + 37, y + 15], GREY58, radius=2)


def light(c, cx, cy):
    c.ellipse([cx - 6, cy - 6, cx + 6, cy + 6], INACTIVE)


def mini():
    c = Canvas(400, 360)
    enclosure(c, 90, 160, 310, 265, 22)
    connector(c, 140, 212)
    connector(c, 200, 212)
    usb_socket(c, 236, 203)
    light(c, 292, 212)
    return c


def box():
    c = Canvas(400, 360)
    enclosure(c, 50, 150, 350, 270, 24)
    for x in (95, 150, 205):
        connector(c, x, 210)
    usb_socket(c, 245, 201)
    light(c, 318, 210)
    return c


def extender():
    c = Canvas(400, 360)
    for y in (120, 215):
        enclosure(c, 80, y, 320, y + 70, 16)
        c.rect([110, y + 24, 190, y + 46], CONTROL, radius=4)
        c.rect([114, y + 28, 186, y + 42], GREY58, radius=3)
        usb_socket(c, 220, y + 26)
        light(c, 292, y + 35)
    return c


def rack():
    c = Canvas(400, 360)
    enclosure(c, 20, 170, 380, 250, 14)
    for x in range(60, 281, 44):
        connector(c, x, 210, r=14)
    usb_socket(c, 300, 201)
    light(c, 360, 210)
    return c


PICTURES = [("Converter_Mini", mini), ("Converter_Box", box), ("Converter_Extender", extender),
            ("Converter_Rack", rack)]
THUMB_SCALE = 0.2
QRC_BEGIN = "<!-- pictures: written by tools/artwork/make_converter_artwork.py -->"
QRC_END = "<!-- end of pictures -->"


def write_pictures(plugin, qrc_name, pictures, qrc_begin):
    """Writes each picture and its thumbnail into plugins/PLUGIN/resources/images/ and lists
    them in the qrc between qrc_begin and QRC_END."""
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    resources = os.path.join(root, "plugins", plugin, "resources")
    out_dir = os.path.join(resources, "images")
    os.makedirs(out_dir, exist_ok=True)
    entries = []
    for name, draw in pictures:
        canvas = draw()
        for suffix, scale in (("", 1.0), ("Thumb", THUMB_SCALE)):
            w, h, rows = canvas.pixels(scale)
            write_png(os.path.join(out_dir, name + suffix + ".png"), w, h, rows)
            entries.append("    <file alias=\"%s%s\">images/%s%s.png</file>" % (name, suffix, name, suffix))
    qrc_path = os.path.join(resources, qrc_name)
    with open(qrc_path) as f:
        text = f.read()
    begin, end = text.index(qrc_begin), text.index(QRC_END)
    text = text[:begin + len(qrc_begin)] + "\n" + "\n".join(entries) + "\n    " + text[end:]
    with open(qrc_path, "w") as f:
        f.write(text)
    print("%d pictures written to %s" % (len(entries), out_dir))
    return 0


def main():
    return write_pictures("converters", "converters.qrc", PICTURES, QRC_BEGIN)


if __name__ == "__main__":
    sys.exit(main())
