#!/usr/bin/env python3
"""Draws the program's pictures and writes them as 8-bit BMP and ICO files.

    python3 resources/make_pictures.py [OUTPUT_FOLDER]

Writes into resources/pictures/ by default. Only the standard library is used and nothing
depends on the time or on chance, so running it again writes the same bytes.

    busy0.bmp .. busy4.bmp   busy animation frames (bitmaps 209 to 213), 77 x 20
    erasepanel.bmp           background of the erase panel (bitmap 500), 686 x 370
    details.bmp              background of the settings details page (bitmap 501), 573 x 310
    logo.bmp                 program logo (bitmap 502), 185 x 61, magenta is transparent
    tidemarrow.ico           program icon (icon 100), 16, 32 and 48 pixels
    actions.bmp              the main window's command glyphs (bitmap 600), 17 of 16 x 16 in a
                             272 x 16 strip, 24-bit, magenta is transparent
    modes.bmp                the erase mode icons Speed, Normal, High, Custom (bitmap 601), 4 of
                             16 x 16 in a 64 x 16 strip, 24-bit, magenta is transparent
"""

import math
import os
import struct
import sys

# --- colours -----------------------------------------------------------------------------

MAGENTA = (255, 0, 255)  # the logo's transparent colour (its lower left pixel)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
NAVY = (16, 38, 96)
DEEP = (8, 22, 60)
SEA = (28, 92, 168)
CYAN = (96, 192, 232)
FOAM = (236, 248, 255)
ORANGE = (240, 132, 24)
GREY = (96, 104, 120)


def mix(a, b, t):
    """Colour between a (t = 0) and b (t = 1), rounded to whole channel values."""
    t = min(max(t, 0.0), 1.0)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def steps(t, count):
    """t in 0..1 snapped to `count` levels, so gradients keep within 256 colours."""
    return round(min(max(t, 0.0), 1.0) * (count - 1)) / (count - 1)


# --- a small canvas ----------------------------------------------------------------------


class Canvas:
    def __init__(self, width, height, colour=WHITE):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def get(self, x, y):
        return self.pixels[y][x]

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle x0 <= x < x1, y0 <= y < y1."""
        for y in range(max(y0, 0), min(y1, self.height)):
            row = self.pixels[y]
            for x in range(max(x0, 0), min(x1, self.width)):
                row[x] = colour

    def vertical_gradient(self, x0, y0, x1, y1, top, bottom, levels=32, inside=None):
        for y in range(y0, y1):
            t = steps((y - y0) / max(y1 - y0 - 1, 1), levels)
            colour = mix(top, bottom, t)
            for x in range(x0, x1):
                if inside is None or inside(x, y):
                    self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.fill(x0, y0, x1, y0 + 1, colour)
        self.fill(x0, y1 - 1, x1, y1, colour)
        self.fill(x0, y0, x0 + 1, y1, colour)
        self.fill(x1 - 1, y0, x1, y1, colour)


def rounded_rect(x0, y0, x1, y1, radius):
    """A test for the pixels inside a rectangle with rounded corners (no smoothing)."""

    def inside(x, y):
        if x < x0 or x >= x1 or y < y0 or y >= y1:
            return False
        cx = min(max(x + 0.5, x0 + radius), x1 - radius)
        cy = min(max(y + 0.5, y0 + radius), y1 - radius)
        return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius

    return inside


# --- the pixel font (5 x 7, drawn for this program) --------------------------------------

GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    " ": ["00000"] * 7,
}


def text_width(text, scale=1, gap=1):
    return len(text) * (5 + gap) * scale - gap * scale


def draw_text(canvas, x, y, text, colour, scale=1, gap=1, shadow=None):
    for index, char in enumerate(text):
        rows = GLYPHS[char]
        left = x + index * (5 + gap) * scale
        for row, bits in enumerate(rows):
            for column, bit in enumerate(bits):
                if bit != "1":
                    continue
                px = left + column * scale
                py = y + row * scale
                if shadow is not None:
                    canvas.fill(px + 1, py + 1, px + scale + 1, py + scale + 1, shadow)
        for row, bits in enumerate(rows):
            for column, bit in enumerate(bits):
                if bit == "1":
                    px = left + column * scale
                    py = y + row * scale
                    canvas.fill(px, py, px + scale, py + scale, colour)


# --- the motif: a tide washing over the page ---------------------------------------------


def wave_height(x, length, phase, amplitude):
    return amplitude * math.sin(2.0 * math.pi * x / length + phase)


def draw_sea(canvas, x0, y0, x1, y1, level, length, phase, amplitude, top, bottom, foam, inside=None):
    """Water from the surface (level + a sine) down to y1, with a line of foam on top."""
    for x in range(x0, x1):
        surface = int(round(level + wave_height(x - x0, length, phase, amplitude)))
        for y in range(max(surface, y0), y1):
            if inside is not None and not inside(x, y):
                continue
            t = steps((y - surface) / max(y1 - surface, 1), 8)
            canvas.put(x, y, foam if y == surface else mix(top, bottom, t))


def draw_emblem(canvas, x0, y0, size):
    """The program's emblem: two waves in a rounded square of night sea."""
    radius = max(2, size // 6)
    inside = rounded_rect(x0, y0, x0 + size, y0 + size, radius)
    canvas.vertical_gradient(x0, y0, x0 + size, y0 + size, SEA, DEEP, 16, inside)
    if size >= 24:
        # A moon over the sea.
        r = size * 0.11
        cx = x0 + size * 0.72
        cy = y0 + size * 0.26
        for y in range(y0, y0 + size):
            for x in range(x0, x0 + size):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r and inside(x, y):
                    canvas.put(x, y, FOAM)
    length = size * 0.9
    amplitude = max(1.0, size / 14)
    draw_sea(canvas, x0, y0, x0 + size, y0 + size, y0 + size * 0.50, length, 0.0, amplitude,
             CYAN, SEA, FOAM, inside)
    draw_sea(canvas, x0, y0, x0 + size, y0 + size, y0 + size * 0.72, length, math.pi * 0.8, amplitude,
             SEA, DEEP, CYAN, inside)
    return inside


# --- the pictures ------------------------------------------------------------------------


def busy_frame(index):
    """Frame 0 is the calm sea shown while idle; frames 1 to 4 move a wave along."""
    canvas = Canvas(77, 20)
    canvas.vertical_gradient(0, 0, 77, 20, (150, 196, 232), (222, 238, 250), 10)
    if index == 0:
        draw_sea(canvas, 0, 0, 77, 20, 12, 38.5, 0.0, 0.0, (120, 166, 206), (64, 108, 160), (200, 224, 242))
    else:
        phase = -(index - 1) * math.pi / 2.0
        draw_sea(canvas, 0, 0, 77, 20, 11, 38.5, phase, 3.0, CYAN, SEA, WHITE)
    return canvas


def erase_panel():
    """A light background with a tide along its lower edge; the labels sit on the light part."""
    canvas = Canvas(686, 370)
    canvas.vertical_gradient(0, 0, 686, 370, (252, 253, 255), (218, 232, 246), 40)
    draw_sea(canvas, 0, 0, 686, 370, 318, 240, 0.6, 9, (200, 222, 244), (176, 206, 238), (232, 242, 252))
    draw_sea(canvas, 0, 0, 686, 370, 336, 180, 2.4, 7, (168, 200, 236), (140, 180, 226), (214, 232, 250))
    draw_sea(canvas, 0, 0, 686, 370, 352, 130, 4.1, 5, (132, 172, 222), (110, 154, 212), (196, 220, 246))
    return canvas


def details_page():
    """Left band with the emblem and the name; the page writes its lines from x = 195, y = 75."""
    canvas = Canvas(573, 310)
    band = 180
    canvas.vertical_gradient(0, 0, band, 310, NAVY, DEEP, 32)
    outline = rounded_rect((band - 96) // 2 - 2, 38, (band + 96) // 2 + 2, 138, 18)
    canvas.vertical_gradient(0, 38, band, 138, CYAN, SEA, 16, outline)
    draw_emblem(canvas, (band - 96) // 2, 40, 96)
    name = "TIDEMARROW"
    draw_text(canvas, (band - text_width(name, 1)) // 2, 156, name, WHITE, 1)
    tag = "32 SE"
    draw_text(canvas, (band - text_width(tag, 2)) // 2, 170, tag, FOAM, 2)
    draw_sea(canvas, 0, 0, band, 310, 270, 90, 1.0, 5, SEA, DEEP, CYAN)
    canvas.fill(band, 0, band + 2, 310, CYAN)
    title = "TIDEMARROW32 SE"
    draw_text(canvas, 195, 22, title, NAVY, 2)
    sub = "PRODUCT INFORMATION"
    draw_text(canvas, 195 + text_width(title, 2) + 12, 29, sub, GREY, 1)
    canvas.fill(195, 54, 557, 56, CYAN)
    draw_sea(canvas, band + 2, 0, 573, 310, 290, 200, 0.3, 4, (226, 238, 250), (206, 226, 246), (240, 246, 252))
    return canvas


def logo():
    """The emblem and the name on magenta, which the program draws as transparent."""
    canvas = Canvas(185, 61, MAGENTA)
    draw_emblem(canvas, 3, 6, 49)
    draw_text(canvas, 60, 8, "TIDEMARROW", NAVY, 2, shadow=(168, 184, 208))
    draw_text(canvas, 60, 28, "32", NAVY, 2, shadow=(168, 184, 208))
    badge = rounded_rect(88, 27, 120, 44, 4)
    for y in range(27, 44):
        for x in range(88, 120):
            if badge(x, y):
                canvas.put(x, y, ORANGE)
    draw_text(canvas, 93, 29, "SE", WHITE, 2)
    draw_text(canvas, 126, 33, "2.01", GREY, 1)
    draw_text(canvas, 60, 49, "FILE ERASER", SEA, 1)
    return canvas


def icon_image(size):
    canvas = Canvas(size, size, BLACK)
    inside = draw_emblem(canvas, 0, 0, size)
    mask = [[0 if inside(x, y) else 1 for x in range(size)] for y in range(size)]
    for y in range(size):
        for x in range(size):
            if mask[y][x]:
                canvas.put(x, y, BLACK)
    return canvas, mask


# --- the small glyphs (16 x 16 on magenta) -----------------------------------------------
#
# Each glyph is drawn from shapes: a shape is a test "is the pixel (x, y) inside?", and
# paint() fills it and gives it a one-pixel outline where it meets the outside, so every
# glyph has the same crisp edge. Pixels are tested at their centres (x + 0.5, y + 0.5).

GLYPH = 16

INK = (44, 52, 70)  # outlines of paper, boxes and lines
PAPER = (255, 255, 255)
PAPER_SHADE = (214, 224, 238)
TEXT_LINE = (132, 148, 176)
GREEN = (52, 168, 72)
GREEN_DARK = (18, 100, 38)
GREEN_LIGHT = (150, 222, 140)
RED = (220, 52, 40)
RED_DARK = (140, 18, 16)
RED_LIGHT = (250, 150, 130)
BLUE = (44, 112, 210)
BLUE_DARK = (18, 50, 124)
BLUE_LIGHT = (150, 200, 246)
YELLOW = (250, 204, 84)
YELLOW_DARK = (170, 120, 20)
YELLOW_LIGHT = (255, 234, 160)
STEEL = (168, 178, 194)
STEEL_DARK = (84, 94, 112)
STEEL_LIGHT = (220, 226, 236)
WOOD = (176, 112, 54)
WOOD_DARK = (98, 58, 22)
ORANGE_BAR = (246, 150, 30)
ORANGE_DARK = (160, 86, 8)
EMPTY_BAR = (228, 232, 240)
VIOLET = (132, 84, 200)
VIOLET_DARK = (66, 34, 120)


def glyph_canvas():
    return Canvas(GLYPH, GLYPH, MAGENTA)


def rect(x0, y0, x1, y1):
    """Pixels x0 <= x < x1, y0 <= y < y1."""
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def disc(cx, cy, r):
    return lambda x, y: (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r


def polygon(points):
    """Pixels whose centre lies inside the polygon (even-odd rule)."""

    def inside(x, y):
        px, py = x + 0.5, y + 0.5
        result = False
        for i in range(len(points)):
            (ax, ay), (bx, by) = points[i], points[i - 1]
            if (ay > py) != (by > py) and px < ax + (bx - ax) * (py - ay) / (by - ay):
                result = not result
        return result

    return inside


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


def paint(canvas, shape, fill, outline=None, ox=0, oy=0):
    """Fills the shape (moved by ox, oy) and outlines its pixels that touch the outside."""
    moved = lambda x, y: shape(x - ox, y - oy)
    for y in range(canvas.height):
        for x in range(canvas.width):
            if not moved(x, y):
                continue
            edge = any(not moved(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            canvas.put(x, y, outline if edge and outline is not None else fill)


def stamp(canvas, rows, colours, ox=0, oy=0):
    """Puts a small hand-drawn pattern: each letter names a colour, '.' leaves the pixel."""
    for y, row in enumerate(rows):
        for x, letter in enumerate(row):
            if letter != ".":
                canvas.put(ox + x, oy + y, colours[letter])


def page(canvas, x0, y0, x1, y1, fold=4, lines=()):
    """A sheet of paper with its upper right corner folded; lines are (y, x_from, x_to)."""
    sheet = polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    paint(canvas, sheet, PAPER, INK)
    corner = polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)])
    paint(canvas, corner, PAPER_SHADE, INK)
    for y, a, b in lines:
        canvas.fill(a, y, b, y + 1, TEXT_LINE)


def plus_badge(canvas, ox, oy, fill=GREEN, outline=GREEN_DARK):
    """A plus sign seven pixels across, its arms three pixels thick with the outline."""
    cross = union(rect(2, 0, 5, 7), rect(0, 2, 7, 5))
    paint(canvas, cross, fill, outline, ox, oy)
    canvas.put(ox + 3, oy + 3, PAPER)
    for d in (1, 2):
        for x, y in ((3, 3 - d), (3, 3 + d), (3 - d, 3), (3 + d, 3)):
            canvas.put(ox + x, oy + y, PAPER if d == 1 else fill)


def cross_badge(canvas, ox, oy):
    """A red cross seven pixels across, outlined."""
    stamp(canvas, [
        "rr...rr",
        "rrr.rrr",
        ".rrrrr.",
        "..rrr..",
        ".rrrrr.",
        "rrr.rrr",
        "rr...rr",
    ], {"r": RED}, ox, oy)


def arrow(x0, x1, cy, pointing_right, shaft=2, head=4):
    """A horizontal arrow from x0 to x1 about the row cy: a shaft and a triangular head."""
    half = shaft / 2.0
    if pointing_right:
        body = polygon([(x0, cy - half), (x1 - head, cy - half), (x1 - head, cy - head),
                        (x1, cy), (x1 - head, cy + head), (x1 - head, cy + half), (x0, cy + half)])
    else:
        body = polygon([(x1, cy - half), (x0 + head, cy - half), (x0 + head, cy - head),
                        (x0, cy), (x0 + head, cy + head), (x0 + head, cy + half), (x1, cy + half)])
    return body


def glyph_add_file():
    canvas = glyph_canvas()
    page(canvas, 2, 1, 12, 15, lines=[(6, 4, 10), (8, 4, 10), (10, 4, 8)])
    plus_badge(canvas, 9, 9)
    return canvas


def glyph_start():
    canvas = glyph_canvas()
    stamp(canvas, [
        "GG..........",
        "GhGG........",
        "GhggGG......",
        "GhggggGG....",
        "GhggggggGG..",
        "GgggggggggGG",
        "GgggggggggGG",
        "GgggggggGG..",
        "GgggggGG....",
        "GgggGG......",
        "GgGG........",
        "GG..........",
    ], {"G": GREEN_DARK, "g": GREEN, "h": GREEN_LIGHT}, 3, 2)
    return canvas


def glyph_web_site():
    canvas = glyph_canvas()
    paint(canvas, disc(7.5, 7.5, 6.9), BLUE, BLUE_DARK)
    stamp(canvas, [
        "....ccccc....",
        "...c..c..c...",
        "..c...c...c..",
        "ccccccccccccc",
        ".c....c....c.",
        ".c....c....c.",
        ".c....c....c.",
        "ccccccccccccc",
        "..c...c...c..",
        "...c..c..c...",
        "....ccccc....",
    ], {"c": BLUE_LIGHT}, 1, 2)
    return canvas


def glyph_save_log():
    canvas = glyph_canvas()
    stamp(canvas, [
        "................",
        ".kkkkkkkkkkkkk..",
        ".kbsssssssSsbbk.",
        ".kbsssssssSsbbbk",
        ".kbsssssssSsbbbk",
        ".kbsssssssssbbbk",
        ".kbbbbbbbbbbbbbk",
        ".kbbbbbbbbbbbbbk",
        ".kbwwwwwwwwwwwbk",
        ".kbwllllllllwwbk",
        ".kbwwwwwwwwwwwbk",
        ".kbwllllllllwwbk",
        ".kbwwwwwwwwwwwbk",
        ".kbwllllllwwwwbk",
        ".kkkkkkkkkkkkkkk",
        "................",
    ], {"k": BLUE_DARK, "b": BLUE, "s": STEEL_LIGHT, "S": STEEL_DARK, "w": PAPER, "l": TEXT_LINE})
    return canvas


def glyph_exit():
    canvas = glyph_canvas()
    paint(canvas, rect(1, 1, 10, 15), (60, 44, 30), WOOD_DARK)  # the doorway, dark inside
    paint(canvas, polygon([(2, 2), (7, 3.5), (7, 15.5), (2, 14)]), WOOD, WOOD_DARK)  # the door, open
    canvas.put(5, 9, YELLOW)
    paint(canvas, arrow(6, 15, 8, True, shaft=3, head=4), GREEN, GREEN_DARK)
    return canvas


def glyph_stop():
    canvas = glyph_canvas()
    a, b = 1.5, 5.5
    octagon = polygon([(b, a), (16 - b, a), (16 - a, b), (16 - a, 16 - b), (16 - b, 16 - a), (b, 16 - a),
                       (a, 16 - b), (a, b)])
    paint(canvas, octagon, RED, RED_DARK)
    canvas.fill(4, 7, 12, 9, PAPER)
    return canvas


def glyph_document():
    canvas = glyph_canvas()
    page(canvas, 3, 1, 13, 15, lines=[(6, 5, 11), (8, 5, 11), (10, 5, 11), (12, 5, 9)])
    return canvas


def glyph_help():
    canvas = glyph_canvas()
    paint(canvas, disc(8, 8, 7), BLUE, BLUE_DARK)
    stamp(canvas, [
        ".wwww.",
        "ww..ww",
        "....ww",
        "...ww.",
        "..ww..",
        "..ww..",
        "......",
        "..ww..",
        "..ww..",
    ], {"w": PAPER}, 5, 3)
    return canvas


def check_rows(canvas, ticked):
    """Two rows of a check box and a line of text, the boxes ticked or empty."""
    for top in (1, 9):
        paint(canvas, rect(1, top, 8, top + 7), PAPER, INK)
        canvas.fill(10, top + 2, 15, top + 5, TEXT_LINE)
        if ticked:
            stamp(canvas, [
                "....g",
                "...gg",
                "g.gg.",
                "ggg..",
                ".g...",
            ], {"g": GREEN_DARK}, 2, top + 1)


def glyph_untick_all():
    canvas = glyph_canvas()
    check_rows(canvas, False)
    return canvas


def glyph_tick_all():
    canvas = glyph_canvas()
    check_rows(canvas, True)
    return canvas


def folder(canvas):
    paint(canvas, union(rect(1, 2, 7, 5), rect(1, 4, 15, 14)), YELLOW, YELLOW_DARK)
    canvas.fill(2, 5, 14, 6, YELLOW_LIGHT)


def glyph_add_folder():
    canvas = glyph_canvas()
    folder(canvas)
    plus_badge(canvas, 9, 9)
    return canvas


def glyph_settings():
    canvas = glyph_canvas()
    teeth = [rect(6, 1, 10, 15), rect(1, 6, 15, 10)]
    for sx, sy in ((1, 1), (1, -1)):
        # A tooth along a diagonal: a narrow bar turned by 45 degrees, out to radius 7.6.
        ux, uy = sx / math.sqrt(2), sy / math.sqrt(2)
        vx, vy = -uy, ux
        corners = []
        for along, across in ((3.0, -1.4), (7.6, -1.4), (7.6, 1.4), (3.0, 1.4)):
            corners.append((8 + ux * along + vx * across, 8 + uy * along + vy * across))
        teeth.append(polygon(corners))
        corners = [(16 - x, 16 - y) for x, y in corners]
        teeth.append(polygon(corners))
    gear = union(disc(8, 8, 5.2), *teeth)
    paint(canvas, minus(gear, disc(8, 8, 2.2)), STEEL, STEEL_DARK)
    paint(canvas, minus(disc(8, 8, 4.0), disc(8, 8, 2.2)), STEEL_LIGHT)
    return canvas


def glyph_clear_list():
    canvas = glyph_canvas()
    page(canvas, 2, 1, 12, 15, lines=[(6, 4, 10), (8, 4, 10), (10, 4, 8)])
    cross_badge(canvas, 8, 8)
    return canvas


def glyph_history_tools():
    canvas = glyph_canvas()
    paint(canvas, disc(8, 8, 7), BLUE, BLUE_DARK)
    paint(canvas, disc(8, 8, 5.4), PAPER, PAPER)
    for x, y in ((7, 3), (8, 3), (12, 7), (12, 8), (7, 12), (8, 12), (3, 7), (3, 8)):
        canvas.put(x, y, TEXT_LINE)
    canvas.fill(7, 4, 9, 9, INK)  # the minute hand, to twelve
    canvas.fill(7, 7, 11, 9, INK)  # the hour hand, to three
    canvas.put(8, 4, INK)
    return canvas


def person(canvas, ox, oy, fill, outline):
    """Head and shoulders, nine pixels wide and ten high."""
    stamp(canvas, [
        "...kkk...",
        "..kfffk..",
        "..kfffk..",
        "..kfffk..",
        "...kkk...",
        ".kkbbbkk.",
        "kbbbbbbbk",
        "kbbbbbbbk",
        "kbbbbbbbk",
        "kkkkkkkkk",
    ], {"k": outline, "f": (250, 214, 176), "b": fill}, ox, oy)


def glyph_user_profiles():
    canvas = glyph_canvas()
    person(canvas, 6, 1, GREEN, GREEN_DARK)
    person(canvas, 1, 5, BLUE, BLUE_DARK)
    return canvas


def glyph_export():
    canvas = glyph_canvas()
    page(canvas, 1, 1, 10, 15, fold=3, lines=[(4, 3, 7), (6, 3, 5), (12, 3, 8)])
    paint(canvas, arrow(4, 16, 8.5, True, shaft=4, head=5), BLUE, BLUE_DARK)
    return canvas


def glyph_import():
    canvas = glyph_canvas()
    page(canvas, 1, 1, 10, 15, fold=3, lines=[(4, 3, 7), (6, 3, 5), (12, 3, 8)])
    paint(canvas, arrow(3, 16, 8.5, False, shaft=4, head=5), GREEN, GREEN_DARK)
    return canvas


# The main window's command glyphs in the order of their image indexes.
ACTION_GLYPHS = [
    glyph_add_file,  # 0
    glyph_start,  # 1
    glyph_web_site,  # 2
    glyph_save_log,  # 3
    glyph_exit,  # 4
    glyph_stop,  # 5
    glyph_document,  # 6, not bound to a command
    glyph_help,  # 7
    glyph_untick_all,  # 8
    glyph_tick_all,  # 9
    glyph_add_folder,  # 10
    glyph_settings,  # 11
    glyph_clear_list,  # 12
    glyph_history_tools,  # 13
    glyph_user_profiles,  # 14
    glyph_export,  # 15
    glyph_import,  # 16
]


def gauge(filled, fill, outline):
    """Three bars of rising height; the first `filled` of them are coloured."""
    canvas = glyph_canvas()
    for index, (x0, top) in enumerate(((1, 10), (6, 6), (11, 2))):
        if index < filled:
            paint(canvas, rect(x0, top, x0 + 4, 15), fill, outline)
        else:
            paint(canvas, rect(x0, top, x0 + 4, 15), EMPTY_BAR, STEEL)
    return canvas


def mode_custom():
    """Three sliders set at different heights."""
    canvas = glyph_canvas()
    for x0, knob in ((1, 8), (6, 3), (11, 10)):
        canvas.fill(x0 + 1, 1, x0 + 3, 15, STEEL)
        paint(canvas, rect(x0, knob, x0 + 4, knob + 4), VIOLET, VIOLET_DARK)
    return canvas


# The erase modes' icons: Speed, Normal, High, Custom.
MODE_ICONS = [
    lambda: gauge(1, GREEN, GREEN_DARK),
    lambda: gauge(2, ORANGE_BAR, ORANGE_DARK),
    lambda: gauge(3, RED, RED_DARK),
    mode_custom,
]


def strip(makers):
    """The glyphs side by side, left to right."""
    canvas = Canvas(GLYPH * len(makers), GLYPH, MAGENTA)
    for index, make in enumerate(makers):
        glyph = make()
        for y in range(GLYPH):
            for x in range(GLYPH):
                canvas.put(index * GLYPH + x, y, glyph.get(x, y))
    return canvas


# --- file formats ------------------------------------------------------------------------


def palette_of(canvases):
    """The colours used, most used first (ties by value), padded with black to 256."""
    counts = {}
    for canvas in canvases:
        for row in canvas.pixels:
            for colour in row:
                counts[colour] = counts.get(colour, 0) + 1
    colours = sorted(counts, key=lambda c: (-counts[c], c))
    if len(colours) > 256:
        raise SystemExit("a picture uses %d colours, more than 256" % len(colours))
    return colours + [BLACK] * (256 - len(colours))


def dib(canvas, palette, height_factor=1, mask=None):
    """BITMAPINFOHEADER, 256-entry palette and bottom-up 8-bit rows (and an AND mask)."""
    index = {}
    for i, colour in enumerate(palette):
        index.setdefault(colour, i)
    stride = (canvas.width + 3) & ~3
    bits = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytes(index[c] for c in canvas.pixels[y])
        bits += row + bytes(stride - canvas.width)
    if mask is not None:
        mask_stride = ((canvas.width + 31) // 32) * 4
        for y in range(canvas.height - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(canvas.width):
                if mask[y][x]:
                    row[x // 8] |= 0x80 >> (x % 8)
            bits += row
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height * height_factor, 1, 8, 0,
                         len(bits) if mask is None else 0, 2835, 2835, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + colours + bytes(bits)


def write_bmp(path, canvas):
    body = dib(canvas, palette_of([canvas]))
    offset = 14 + 40 + 256 * 4
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, offset) + body)


def write_bmp24(path, canvas):
    """A 24-bit BMP: the glyph strips keep their exact colours, magenta among them."""
    stride = (canvas.width * 3 + 3) & ~3
    bits = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in canvas.pixels[y])
        bits += row + bytes(stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", 14 + 40 + len(bits), 0, 0, 14 + 40) + header + bytes(bits))


def write_ico(path, sizes):
    images = []
    for size in sizes:
        canvas, mask = icon_image(size)
        images.append((size, dib(canvas, palette_of([canvas]), 2, mask)))
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, body in images:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(body), offset)
        offset += len(body)
    for _, body in images:
        data += body
    with open(path, "wb") as out:
        out.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "pictures")
    os.makedirs(folder, exist_ok=True)
    for index in range(5):
        write_bmp(os.path.join(folder, "busy%d.bmp" % index), busy_frame(index))
    write_bmp(os.path.join(folder, "erasepanel.bmp"), erase_panel())
    write_bmp(os.path.join(folder, "details.bmp"), details_page())
    write_bmp(os.path.join(folder, "logo.bmp"), logo())
    write_ico(os.path.join(folder, "tidemarrow.ico"), [16, 32, 48])
    write_bmp24(os.path.join(folder, "actions.bmp"), strip(ACTION_GLYPHS))
    write_bmp24(os.path.join(folder, "modes.bmp"), strip(MODE_ICONS))


if __name__ == "__main__":
    main()
