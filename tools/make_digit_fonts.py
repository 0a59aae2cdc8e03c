#!/usr/bin/python3
"""Writes the three seven-segment digit faces M_DegitA, M_DegitB and M_DegitC.

Every glyph (0-9, '-', space) has the same advance, '8' lights every segment
any other glyph uses, and space draws nothing. The faces are bold-weight so the
digit control's bold request is met without synthetic emboldening, which would
smear the segment gaps.

  A: plain segments   B: heavy segments   C: slanted segments

Run: /usr/bin/python3 tools/make_digit_fonts.py assets/fonts
"""
import math
import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

UPM = 2400          # 24 px at the smallest size class: 1 unit = 1/100 px
ADVANCE = 1300      # 13 px per digit position at that size
ASCENT, DESCENT = 2040, 360
BOX_LEFT, BOX_RIGHT = 150, 1150
BOX_BOTTOM, BOX_TOP = 60, 1900

SEGMENTS = {
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg",
    "-": "g", " ": "",
}
NAMES = {"0": "zero", "1": "one", "2": "two", "3": "three", "4": "four", "5": "five",
         "6": "six", "7": "seven", "8": "eight", "9": "nine", "-": "hyphen", " ": "space"}

STYLES = {
    "M_DegitA": dict(thickness=200, gap=24, slant=0.0),
    "M_DegitB": dict(thickness=290, gap=28, slant=0.0),
    "M_DegitC": dict(thickness=210, gap=26, slant=math.tan(math.radians(8))),
}


def segment_polygons(thickness, gap):
    """Hexagonal segments keyed by letter, in font units (y up)."""
    h = thickness / 2
    left, right = BOX_LEFT + h, BOX_RIGHT - h
    bottom, top = BOX_BOTTOM + h, BOX_TOP - h
    mid = (bottom + top) / 2

    def horizontal(y, x0, x1):
        x0, x1 = x0 + gap, x1 - gap
        return [(x0, y), (x0 + h, y + h), (x1 - h, y + h), (x1, y), (x1 - h, y - h), (x0 + h, y - h)]

    def vertical(x, y0, y1):
        y0, y1 = y0 + gap, y1 - gap
        return [(x, y0), (x - h, y0 + h), (x - h, y1 - h), (x, y1), (x + h, y1 - h), (x + h, y0 + h)]

    return {
        "a": horizontal(top, left, right),
        "g": horizontal(mid, left, right),
        "d": horizontal(bottom, left, right),
        "f": vertical(left, mid, top),
        "e": vertical(left, bottom, mid),
        "b": vertical(right, mid, top),
        "c": vertical(right, bottom, mid),
    }


def clockwise(points):
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]))
    return points if area < 0 else list(reversed(points))


def glyph(segments, polygons, slant):
    pen = TTGlyphPen(None)
    centre = (BOX_BOTTOM + BOX_TOP) / 2
    for s in segments:
        pts = [(round(x + (y - centre) * slant), round(y)) for x, y in polygons[s]]
        pts = clockwise(pts)
        pen.moveTo(pts[0])
        for p in pts[1:]:
            pen.lineTo(p)
        pen.closePath()
    return pen.glyph()


def build(family, thickness, gap, slant, path):
    polygons = segment_polygons(thickness, gap)
    order = [".notdef"] + [NAMES[c] for c in SEGMENTS]
    fb = FontBuilder(UPM, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({ord(c): NAMES[c] for c in SEGMENTS})
    glyphs = {".notdef": TTGlyphPen(None).glyph()}
    for c, segs in SEGMENTS.items():
        glyphs[NAMES[c]] = glyph(segs, polygons, slant)
    fb.setupGlyf(glyphs)
    metrics = {}
    for name in order:
        g = glyphs[name]
        g.recalcBounds(fb.font["glyf"]) if hasattr(g, "recalcBounds") else None
        metrics[name] = (ADVANCE, getattr(g, "xMin", 0) or 0)
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT)
    fb.setupNameTable({"familyName": family, "styleName": "Bold",
                       "uniqueFontIdentifier": family + " Bold", "fullName": family + " Bold",
                       "psName": family + "-Bold", "version": "Version 4.0"})
    fb.setupOS2(sTypoAscender=ASCENT, sTypoDescender=-DESCENT, sTypoLineGap=0,
                usWinAscent=ASCENT, usWinDescent=DESCENT, usWeightClass=700,
                fsSelection=0x20, achVendID="S4DG", xAvgCharWidth=ADVANCE)
    fb.setupPost(isFixedPitch=1)
    fb.font["head"].macStyle = 1
    fb.save(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "assets", "fonts")
    os.makedirs(out, exist_ok=True)
    for family, style in STYLES.items():
        build(family, path=os.path.join(out, family + ".ttf"), **style)


if __name__ == "__main__":
    main()
