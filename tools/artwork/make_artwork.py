#!/usr/bin/python3
"""Draws the kit's and the shell's placeholder artwork into kit/resources/images/.

Flat glyphs in the kit's greys, drawn at four times their size and scaled down for smooth
edges. Run by hand (Debian python3 with python3-pil) and check the PNGs in; the build only
embeds them. Glyphs shown on the dark window use the light greys, glyphs on the white cards
and dialogs the dark ones.
"""

import math
import os
import sys

from PIL import Image, ImageDraw

SS = 4  # supersampling factor

# Palette entries used here.
TEXT = (71, 71, 71)
INACTIVE = (94, 94, 94)
BORDER = (208, 208, 208)
LIGHT = (241, 241, 241)
BUTTON_BORDER = (181, 181, 181)
CONTROL = (146, 146, 146)
ERROR = (212, 31, 46)
GREY119 = (119, 119, 119)
GREY58 = (58, 58, 58)
GREY45 = (45, 45, 45)
WHITE = (255, 255, 255)

# On the dark window: normal and hover strengths.
DARK_BG_NORMAL = CONTROL
DARK_BG_HOVER = LIGHT


def rgba(colour, alpha=255):
    return tuple(colour) + (alpha,)


class Canvas:
    """A supersampled transparent image whose coordinates are in final pixels."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.image = Image.new("RGBA", (width * SS, height * SS), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.image)

    @staticmethod
    def _s(values):
        return [v * SS for v in values]

    def line(self, points, colour, width):
        pts = [(x * SS, y * SS) for x, y in points]
        self.draw.line(pts, fill=rgba(colour), width=int(width * SS), joint="curve")
        r = width * SS / 2.0
        for x, y in (pts[0], pts[-1]):  # round caps
            self.draw.ellipse([x - r, y - r, x + r, y + r], fill=rgba(colour))

    def ellipse(self, box, fill=None, outline=None, width=1):
        self.draw.ellipse(self._s(box), fill=rgba(fill) if fill else None,
                          outline=rgba(outline) if outline else None,
                          width=int(width * SS))

    def rect(self, box, radius=0, fill=None, outline=None, width=1):
        self.draw.rounded_rectangle(self._s(box), radius=radius * SS,
                                    fill=rgba(fill) if fill else None,
                                    outline=rgba(outline) if outline else None,
                                    width=int(width * SS))

    def polygon(self, points, fill):
        self.draw.polygon([(x * SS, y * SS) for x, y in points], fill=rgba(fill))

    def arc(self, box, start, end, colour, width):
        self.draw.arc(self._s(box), start, end, fill=rgba(colour), width=int(width * SS))

    def clear_ellipse(self, box):
        self.draw.ellipse(self._s(box), fill=(0, 0, 0, 0))

    def save(self, path):
        self.image.resize((self.width, self.height), Image.LANCZOS).save(path, optimize=True)


# ---- glyphs ------------------------------------------------------------------------------

def warning_triangle(c, cx, top, size, colour, stroke):
    h = size * math.sqrt(3) / 2
    pts = [(cx, top), (cx + size / 2, top + h), (cx - size / 2, top + h), (cx, top)]
    c.line(pts, colour, stroke)
    c.line([(cx, top + h * 0.33), (cx, top + h * 0.68)], colour, stroke * 1.2)
    r = stroke * 0.8
    c.ellipse([cx - r, top + h * 0.82 - r, cx + r, top + h * 0.82 + r], fill=colour)


def bad_install():
    c = Canvas(400, 360)
    c.ellipse([90, 70, 310, 290], fill=GREY45)
    warning_triangle(c, 200, 105, 150, BUTTON_BORDER, 9)
    return c


def no_device():
    """A generic converter box: a flat rounded enclosure with connectors and a status light."""
    c = Canvas(400, 360)
    # Shadow, then the box seen slightly from above: top face and front face.
    c.ellipse([70, 262, 330, 292], fill=(23, 23, 23))
    c.polygon([(95, 140), (305, 140), (330, 165), (70, 165)], fill=GREY58)
    c.rect([70, 165, 330, 270], radius=10, fill=GREY45, outline=GREY119, width=2)
    c.line([(95, 140), (305, 140)], GREY119, 2)
    c.line([(95, 140), (70, 165)], GREY119, 2)
    c.line([(305, 140), (330, 165)], GREY119, 2)
    # Two coaxial connectors, a USB socket and a status light on the front.
    for x in (125, 185):
        c.ellipse([x - 20, 197, x + 20, 237], fill=GREY58, outline=CONTROL, width=3)
        c.ellipse([x - 6, 211, x + 6, 223], fill=CONTROL)
    c.rect([232, 208, 272, 226], radius=3, fill=GREY58, outline=CONTROL, width=3)
    c.ellipse([296, 211, 308, 223], fill=INACTIVE)
    return c


def busy_frame(index):
    """Frame index (1..12): twelve spokes, the darkest one stepping clockwise."""
    c = Canvas(32, 32)
    for spoke in range(12):
        age = (index - 1 - spoke) % 12  # 0 is the head
        t = min(age, 8) / 8.0
        colour = tuple(int(TEXT[i] + (BORDER[i] - TEXT[i]) * t) for i in range(3))
        angle = math.radians(spoke * 30 - 90)
        x0, y0 = 16 + 7 * math.cos(angle), 16 + 7 * math.sin(angle)
        x1, y1 = 16 + 13 * math.cos(angle), 16 + 13 * math.sin(angle)
        c.line([(x0, y0), (x1, y1)], colour, 2.6)
    return c


def busy_close():
    c = Canvas(32, 32)
    c.ellipse([3, 3, 29, 29], outline=TEXT, width=2)
    c.line([(11, 11), (21, 21)], TEXT, 2.4)
    c.line([(21, 11), (11, 21)], TEXT, 2.4)
    return c


def usb_glyph(c, ox, oy, size, colour):
    """The USB trident in a size x size box at (ox, oy)."""
    s = size / 24.0
    p = lambda x, y: (ox + x * s, oy + y * s)
    w = 1.8 * s
    c.line([p(12, 3), p(12, 20)], colour, w)
    c.polygon([p(12, 1), p(14.5, 5), p(9.5, 5)], colour)
    c.line([p(12, 15), p(6.5, 11), p(6.5, 8)], colour, w)
    c.ellipse([ox + 5 * s, oy + 5.5 * s, ox + 8 * s, oy + 8.5 * s], fill=colour)
    c.line([p(12, 13), p(17.5, 10), p(17.5, 7.5)], colour, w)
    c.rect([ox + 16 * s, oy + 5 * s, ox + 19 * s, oy + 8 * s], fill=colour)
    c.ellipse([ox + 9.8 * s, oy + 19 * s, ox + 14.2 * s, oy + 23.4 * s], fill=colour)


def network_glyph(c, ox, oy, size, colour):
    """Three linked nodes in a size x size box at (ox, oy)."""
    s = size / 24.0
    p = lambda x, y: (ox + x * s, oy + y * s)
    w = 1.8 * s
    c.line([p(12, 6), p(12, 12), p(5, 18)], colour, w)
    c.line([p(12, 12), p(19, 18)], colour, w)
    for x, y, r in ((12, 5, 3.5), (5, 19, 3), (19, 19, 3)):
        c.ellipse([ox + (x - r) * s, oy + (y - r) * s, ox + (x + r) * s, oy + (y + r) * s],
                  fill=colour)


def connection(kind, colour):
    if kind == "Both":
        c = Canvas(48, 24)
        usb_glyph(c, 0, 0, 24, colour)
        network_glyph(c, 24, 0, 24, colour)
    else:
        c = Canvas(24, 24)
        (usb_glyph if kind == "USB" else network_glyph)(c, 0, 0, 24, colour)
    return c


def cross(colour):
    c = Canvas(30, 30)
    c.ellipse([2, 2, 28, 28], outline=colour, width=2)
    c.line([(15, 9), (15, 21)], colour, 2.2)
    c.line([(9, 15), (21, 15)], colour, 2.2)
    return c


def dot(colour):
    c = Canvas(16, 16)
    c.ellipse([4, 4, 12, 12], fill=colour)
    return c


def field_alert():
    c = Canvas(16, 16)
    c.ellipse([1, 1, 15, 15], fill=ERROR)
    c.line([(8, 4.5), (8, 9)], WHITE, 1.8)
    c.ellipse([7.1, 10.6, 8.9, 12.4], fill=WHITE)
    return c


def tick_lines(c, box, colour, width):
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    c.line([(x0 + w * 0.12, y0 + h * 0.55), (x0 + w * 0.4, y0 + h * 0.82),
            (x0 + w * 0.88, y0 + h * 0.2)], colour, width)


def field_ok():
    c = Canvas(16, 16)
    c.ellipse([1, 1, 15, 15], fill=GREY119)
    tick_lines(c, (3.5, 3.5, 12.5, 12.5), WHITE, 1.7)
    return c


def gallery(colour):
    c = Canvas(24, 24)
    c.rect([4, 3, 20, 16], radius=2, outline=colour, width=2)
    for x in (8, 12, 16):
        c.ellipse([x - 1.4, 19, x + 1.4, 21.8], fill=colour)
    return c


def list_view(colour):
    c = Canvas(24, 24)
    for y in (6, 12, 18):
        c.ellipse([3, y - 1.6, 6.2, y + 1.6], fill=colour)
        c.line([(9, y), (21, y)], colour, 2)
    return c


def sd_frame(c):
    c.rect([12, 3, 60, 39], radius=2, outline=INACTIVE, width=2)


def hd_to_sd(mode):
    """A 4:3 frame showing how a 16:9 picture is fitted."""
    c = Canvas(72, 42)
    if mode == "Letterbox":
        c.rect([13, 3, 59, 39], fill=GREY119)
        c.rect([13, 8, 59, 34], fill=WHITE)
        c.ellipse([28, 10, 44, 32], outline=INACTIVE, width=2)  # stays round: 16:9 whole
        c.ellipse([33, 16, 39, 26], fill=INACTIVE)
    elif mode == "Anamorphic":
        c.ellipse([16, 6, 56, 36], outline=INACTIVE, width=2)  # squeezed into the frame
        c.ellipse([31, 15, 41, 27], fill=INACTIVE)
    else:  # CenterCut: the 16:9 picture's sides fall outside the 4:3 frame
        for x in (1, 11, 61, 71):  # dashed edges of the parts cut away
            for y in range(5, 39, 6):
                c.line([(x, y), (x, y + 3)], GREY119, 1.2)
        for x0, x1 in ((1, 11), (61, 71)):
            c.line([(x0, 3), (x1, 3)], GREY119, 1.2)
            c.line([(x0, 39), (x1, 39)], GREY119, 1.2)
        c.ellipse([21, 6, 51, 36], outline=INACTIVE, width=2)
        c.ellipse([31, 16, 41, 26], fill=INACTIVE)
    sd_frame(c)
    return c


def arrow(direction, colour):
    c = Canvas(32, 60)
    if direction == "Left":
        c.line([(21, 14), (10, 30), (21, 46)], colour, 3.5)
    else:
        c.line([(11, 14), (22, 30), (11, 46)], colour, 3.5)
    return c


def chain(linked, colour):
    c = Canvas(20, 20)
    if linked:
        c.rect([2, 7, 12, 13], radius=3, outline=colour, width=2)
        c.rect([8, 7, 18, 13], radius=3, outline=colour, width=2)
    else:
        c.rect([1, 7, 8.5, 13], radius=3, outline=colour, width=2)
        c.rect([11.5, 7, 19, 13], radius=3, outline=colour, width=2)
        c.line([(10, 2.5), (10, 5)], colour, 1.4)
        c.line([(10, 15), (10, 17.5)], colour, 1.4)
    return c


def logo():
    """A neutral product-line mark: a rounded tile with three rising bars."""
    c = Canvas(44, 44)
    c.rect([2, 2, 42, 42], radius=9, outline=LIGHT, width=2.5)
    for i, height in enumerate((10, 17, 24)):
        x = 12 + i * 8
        c.rect([x, 33 - height, x + 5, 33], radius=1.5, fill=LIGHT)
    return c


def refresh():
    c = Canvas(16, 16)
    c.arc([2.5, 2.5, 13.5, 13.5], 40, 340, INACTIVE, 1.8)
    c.polygon([(14.6, 1.8), (14.6, 7.2), (9.2, 7.2)], INACTIVE)
    return c


def gear(c, cx, cy, radius, colour, hole_colour=None):
    teeth = 8
    pts = []
    for i in range(teeth * 4):
        angle = math.radians(i * 360.0 / (teeth * 4) + 360.0 / (teeth * 8))
        r = radius if (i % 4) in (0, 1) else radius * 0.78
        pts.append((cx + r * math.cos(angle), cy + r * math.sin(angle)))
    c.polygon(pts, colour)
    hole = radius * 0.36
    if hole_colour:
        c.ellipse([cx - hole, cy - hole, cx + hole, cy + hole], fill=hole_colour)
    else:
        c.clear_ellipse([cx - hole, cy - hole, cx + hole, cy + hole])


def settings(colour, pushed=False):
    c = Canvas(32, 32)
    if pushed:
        c.ellipse([0, 0, 32, 32], fill=BORDER)
        gear(c, 16, 16, 11, colour, hole_colour=BORDER)
    else:
        gear(c, 16, 16, 11, colour)
    return c


def setup(colour):
    """The gallery's open button: a ring holding a gear."""
    c = Canvas(44, 44)
    c.ellipse([2, 2, 42, 42], outline=colour, width=2)
    gear(c, 22, 22, 11, colour)
    return c


def tick():
    c = Canvas(12, 12)
    tick_lines(c, (0.5, 0.5, 11.5, 11.5), TEXT, 1.8)
    return c


def checkbox(border, fill=None, ticked=False):
    c = Canvas(18, 18)
    c.rect([1, 1, 17, 17], radius=3, fill=fill or WHITE, outline=border, width=1.2)
    if ticked:
        tick_lines(c, (4, 4.5, 14, 14), WHITE, 2)
    return c


def radio(border, dot_colour=None):
    c = Canvas(18, 18)
    c.ellipse([1, 1, 17, 17], fill=WHITE, outline=border, width=1.2)
    if dot_colour:
        c.ellipse([5, 5, 13, 13], fill=dot_colour)
    return c


def dropdown(colour):
    c = Canvas(9, 6)
    c.line([(1, 1.2), (4.5, 4.6), (8, 1.2)], colour, 1.5)
    return c


def artwork():
    yield "BadInstall", bad_install()
    yield "NoDevice", no_device()
    for i in range(1, 13):
        yield "Busy_Frame_%d" % i, busy_frame(i)
    yield "Busy_Close", busy_close()
    for kind in ("Both", "Network", "USB"):
        yield "Card_Connection_" + kind, connection(kind, BUTTON_BORDER)
        yield "Launcher_Connection_" + kind, connection(kind, DARK_BG_NORMAL)
    yield "Cross", cross(DARK_BG_NORMAL)
    yield "Cross_Hover", cross(DARK_BG_HOVER)
    yield "Dot_Off", dot(INACTIVE)
    yield "Dot_On", dot(LIGHT)
    yield "Field_Icon_Alert", field_alert()
    yield "Field_Icon_OK", field_ok()
    yield "Gallery", gallery(DARK_BG_NORMAL)
    yield "GalleryHover", gallery(DARK_BG_HOVER)
    yield "List", list_view(DARK_BG_NORMAL)
    yield "ListHover", list_view(DARK_BG_HOVER)
    for mode in ("Anamorphic", "CenterCut", "Letterbox"):
        yield "HD_To_SD" + mode, hd_to_sd(mode)
    yield "LeftArrow", arrow("Left", DARK_BG_NORMAL)
    yield "LeftArrow_Hover", arrow("Left", DARK_BG_HOVER)
    yield "RightArrow", arrow("Right", DARK_BG_NORMAL)
    yield "RightArrow_Hover", arrow("Right", DARK_BG_HOVER)
    yield "Link", chain(True, INACTIVE)
    yield "Link_Disabled", chain(True, BORDER)
    yield "Unlink", chain(False, INACTIVE)
    yield "Unlink_Disabled", chain(False, BORDER)
    yield "Logo", logo()
    yield "Refresh", refresh()
    yield "Settings", settings(INACTIVE)
    yield "Settings_Disabled", settings(BORDER)
    yield "Settings_Push", settings(TEXT, pushed=True)
    yield "Setup", setup(DARK_BG_NORMAL)
    yield "Setup_Hover", setup(DARK_BG_HOVER)
    yield "Tick", tick()
    yield "Checkbox", checkbox(CONTROL)
    yield "Checkbox_Hover", checkbox(INACTIVE)
    yield "Checkbox_Disabled", checkbox(BORDER)
    yield "Checkbox_Active", checkbox(INACTIVE, fill=INACTIVE, ticked=True)
    yield "Checkbox_Active_Disabled", checkbox(BORDER, fill=BORDER, ticked=True)
    yield "Radio", radio(CONTROL)
    yield "Radio_Hover", radio(INACTIVE)
    yield "Radio_Disabled", radio(BORDER)
    yield "Radio_Active", radio(INACTIVE, INACTIVE)
    yield "Radio_Active_Disabled", radio(BORDER, BORDER)
    yield "Dropdown_Arrow", dropdown(INACTIVE)
    yield "Dropdown_Arrow_Disabled", dropdown(BORDER)


def main():
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    out_dir = os.path.join(root, "kit", "resources", "images")
    os.makedirs(out_dir, exist_ok=True)
    names = []
    for name, canvas in artwork():
        canvas.save(os.path.join(out_dir, name + ".png"))
        names.append(name)
    with open(os.path.join(root, "kit", "resources", "kit_images.qrc"), "w") as qrc:
        qrc.write("<RCC>\n  <qresource prefix=\"/\">\n")
        for name in sorted(names):
            qrc.write("    <file alias=\"%s\">images/%s.png</file>\n" % (name, name))
        qrc.write("  </qresource>\n</RCC>\n")
    print("%d images written to %s" % (len(names), out_dir))
    return 0


if __name__ == "__main__":
    sys.exit(main())
