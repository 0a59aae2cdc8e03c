#!/usr/bin/python3
"""Draws the built-in panel face, assets/face/face.png (710 x 284).

The grid, label and stop-name strip positions below are the pixel positions of
the panel's child controls; the picture only has to sit behind them. The face
is drawn at four times the size and reduced with a box filter, so edges that
fall on whole pixels stay sharp and curves and glyphs are smoothed.

Usage: /usr/bin/python3 tools/make_face.py [--scale N] [output.png]
With --scale 2 it draws the same face at twice the pixels (face@2x.png) for
screens scaled above 100 %; the supersampled drawing is the same, only the
final reduction stops earlier.
"""
import os
import subprocess
import sys

from PIL import Image, ImageDraw, ImageFont

W, H = 710, 284
S = 4  # supersampling factor

# Control positions on the panel, in pixels.
GRID_X = [129, 185, 242, 298, 355, 411, 467, 524, 581, 638]
CELL_Y = [47, 86, 124, 163, 202, 241]
LABEL_Y = [30, 67, 106, 145, 184, 223]
CELL_W, CELL_H = 52, 20
LABEL_H = 16
STRIP = (32, 43, 69, 239)  # stop-name strip, right/bottom exclusive

# Colours.
FRAME = (196, 198, 202)
FRAME_HI = (226, 228, 231)
FRAME_LO = (142, 144, 149)
BOARD = (255, 255, 255)
BOARD_EDGE = (120, 122, 127)
CELL = (128, 128, 128)  # same as the digit control's own background
BEZEL = (58, 58, 60)
STRIP_BOX = (24, 24, 26)
STRIP_BOX_EDGE = (92, 92, 96)
INK = (32, 32, 36)
TAG = (0, 98, 48)  # 整理券: the same green family as the ticket numbers


def find_font(family, fallback):
    if os.path.exists(fallback):
        return fallback
    try:
        out = subprocess.run(["fc-match", "-f", "%{file}", family],
                             capture_output=True, text=True, check=True).stdout
        if out:
            return out
    except (OSError, subprocess.CalledProcessError):
        pass
    sys.exit(f"font not found: {family}")


GOTHIC = find_font("IPAGothic", "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf")


def s(*v):
    return [int(round(x * S)) for x in v]


def rect(d, x0, y0, x1, y1, fill, radius=0):
    """Fills the pixel rectangle [x0, x1) x [y0, y1)."""
    box = s(x0, y0, x1, y1)
    box[2] -= 1
    box[3] -= 1
    if radius:
        d.rounded_rectangle(box, radius=radius * S, fill=fill)
    else:
        d.rectangle(box, fill=fill)


def text_in_box(d, text, font_path, px, box, fill, weight=0.0):
    """Draws text centred on its ink in box (pixel units); weight thickens
    the strokes by that many pixels, the IPA fonts having no bold face."""
    font = ImageFont.truetype(font_path, px * S)
    x0, y0, x1, y1 = (v * S for v in box)
    sw = int(round(weight * S))
    b = d.textbbox((0, 0), text, font=font, stroke_width=sw)
    w, h = b[2] - b[0], b[3] - b[1]
    d.text((x0 + (x1 - x0 - w) / 2 - b[0], y0 + (y1 - y0 - h) / 2 - b[1]), text,
           font=font, fill=fill, stroke_width=sw, stroke_fill=fill)


def draw(scale=1):
    img = Image.new("RGBA", (W * S, H * S), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)

    # Moulded frame: a shade line, a lit top-left bevel, the grey face.
    rect(d, 0, 0, W, H, FRAME_LO, radius=6)
    rect(d, 1, 1, W - 1, H - 1, FRAME_HI, radius=5)
    rect(d, 2, 2, W - 1, H - 1, FRAME_LO, radius=5)
    # The face of the frame darkens a little towards the bottom, as moulded
    # plastic lit from above does.
    mask = Image.new("L", img.size, 0)
    rect(ImageDraw.Draw(mask), 2, 2, W - 2, H - 2, 255, radius=4)
    grad = Image.new("RGBA", (1, H * S))
    for y in range(H * S):
        k = y / (H * S - 1) - 0.5
        grad.putpixel((0, y), tuple(int(round(c - 22 * k)) for c in FRAME) + (255,))
    img.paste(grad.resize(img.size), (0, 0), mask)

    # The white board, set into the frame: dark edge top-left, light bottom-right.
    bx0, by0, bx1, by1 = 16, 18, 698, 274
    rect(d, bx0 - 1, by0 - 1, bx1 + 1, by1 + 1, FRAME_HI, radius=4)
    rect(d, bx0 - 1, by0 - 1, bx1, by1, BOARD_EDGE, radius=4)
    rect(d, bx0, by0, bx1, by1, BOARD, radius=3)

    # Fare cells: a thin dark bezel round the digit control's grey.
    for y in CELL_Y:
        for x in GRID_X:
            rect(d, x - 1, y - 1, x + CELL_W + 1, y + CELL_H + 1, BEZEL)
            rect(d, x, y, x + CELL_W, y + CELL_H, CELL)

    # Stop-name window, a little larger than the strip it holds.
    sx0, sy0, sx1, sy1 = STRIP
    rect(d, sx0 - 4, sy0 - 4, sx1 + 4, sy1 + 4, STRIP_BOX_EDGE, radius=3)
    rect(d, sx0 - 3, sy0 - 3, sx1 + 3, sy1 + 3, STRIP_BOX, radius=2)
    text_in_box(d, "まで", GOTHIC, 17, (sx0 - 6, 247, sx1 + 6, 268), INK, 0.25)

    # Captions: 整理券 level with the first ticket-number row, 運 and 賃
    # down the left of the grid.
    text_in_box(d, "整理券", GOTHIC, 15, (75, LABEL_Y[0], 126, LABEL_Y[0] + LABEL_H), TAG, 0.25)
    text_in_box(d, "運", GOTHIC, 40, (77, 60, 125, 150), INK, 1.0)
    text_in_box(d, "賃", GOTHIC, 40, (77, 150, 125, 240), INK, 1.0)

    return img.resize((W * scale, H * scale), Image.BOX)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    args = sys.argv[1:]
    scale = 1
    if args[:1] == ["--scale"]:
        scale = int(args[1])
        args = args[2:]
    if S % scale:
        sys.exit(f"the scale must divide {S}")
    name = "face.png" if scale == 1 else f"face@{scale}x.png"
    out = args[0] if args else os.path.join(here, "..", "assets", "face", name)
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    draw(scale).save(out, optimize=True)
    print(out)


if __name__ == "__main__":
    main()
