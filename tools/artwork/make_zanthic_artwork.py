#!/usr/bin/python3
"""Draws the Zanthic plug-in's placeholder product pictures into
plugins/zanthic/resources/images/ and writes their part of the plug-in's qrc.

One neutral enclosure per model key of the plug-in's model table, each with a thumbnail; the
drawing helpers are the converters' ones. Plain Python (zlib only); run by hand and check the
PNGs in.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_converter_artwork import (CONTROL, GREY58, Canvas, connector, enclosure, light, usb_socket,  # noqa: E402
                                    write_pictures)


def slim(connectors):
    """A flat box with a row of connectors, a USB socket and a status light."""
    def draw():
        c = Canvas(400, 360)
        enclosure(c, 70, 165, 330, 255, 18)
        for i in range(connectors):
            connector(c, 115 + i * 52, 210, r=15)
        usb_socket(c, 115 + connectors * 52 - 20, 201)
        light(c, 305, 210)
        return c
    return draw


def tall():
    c = Canvas(400, 360)
    enclosure(c, 110, 120, 290, 275, 20)
    connector(c, 160, 170)
    connector(c, 240, 170)
    c.rect([150, 215, 250, 235], CONTROL, radius=4)
    c.rect([154, 219, 246, 231], GREY58, radius=3)
    usb_socket(c, 140, 245)
    light(c, 260, 254)
    return c


PICTURES = [("Zanthic_Bridge", slim(2)), ("Zanthic_Link", slim(1)), ("Zanthic_Loop", slim(3)),
            ("Zanthic_Mini", slim(1)), ("Zanthic_Camera", tall), ("Zanthic_Studio", slim(3))]
QRC_BEGIN = "<!-- pictures: written by tools/artwork/make_zanthic_artwork.py -->"


def main():
    return write_pictures("zanthic", "zanthic.qrc", PICTURES, QRC_BEGIN)


if __name__ == "__main__":
    sys.exit(main())
