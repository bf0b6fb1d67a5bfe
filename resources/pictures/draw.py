#!/usr/bin/env python3
"""Writes the Magick Vector Graphics (MVG) source of each picture into the folder given.

The shapes are computed here as polygons, so the pictures do not depend on how a renderer
strokes arcs; ImageMagick only fills them (antialiased) and sets the type."""
import math
import sys
from pathlib import Path

FONT_BOLD = "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"
FONT_REGULAR = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
RED = "#e2231a"
GREY_BAND = "#313131"


def pts(points):
    return " ".join(f"{x:.3f},{y:.3f}" for x, y in points)


def arc_points(cx, cy, r, a0, a1, steps):
    """Points on a circle; angles in degrees, 0 pointing right, 90 pointing up."""
    out = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        out.append((cx + r * math.cos(a), cy - r * math.sin(a)))
    return out


def wave(cx, cy, r, width, a0=0.0, a1=90.0):
    """A band of a ring around (cx, cy) from angle a0 to a1 with round ends."""
    half = width / 2
    steps = max(8, int(r))
    outer = arc_points(cx, cy, r + half, a0, a1, steps)
    inner = arc_points(cx, cy, r - half, a1, a0, steps)
    end_a = arc_points(*arc_points(cx, cy, r, a1, a1, 1)[0], half, a1, a1 + 180, 12)
    end_b = arc_points(*arc_points(cx, cy, r, a0, a0, 1)[0], half, a0 + 180, a0 + 360, 12)
    return f"polygon {pts(outer + end_a + inner + end_b)}"


def circle(cx, cy, r):
    return f"circle {cx:.3f},{cy:.3f} {cx + r:.3f},{cy:.3f}"


def emblem(x, y, size, waves=(11.5, 18.5, 25.5), width=3.6):
    """The maker's mark: a red dot in the lower left corner of a size x size box and white
    waves spreading from it, up and to the right. Small renders use fewer, wider waves."""
    s = size / 32.0
    cx, cy = x + 5 * s, y + 27 * s
    lines = [f"fill '{RED}'", circle(cx, cy, 4.2 * s), "fill 'white'"]
    for r in waves:
        lines.append(wave(cx, cy, r * s, width * s))
    return lines


def text(x, y, string, font, size, colour, kerning=0.0, anchor="start"):
    return [f"font '{font}'", f"font-size {size}", f"kerning {kerning}",
            f"text-anchor {anchor}", f"fill '{colour}'", f"text {x},{y} '{string}'"]


def canvas(w, h, ground):
    lines = [f"viewbox 0 0 {w} {h}"]
    if ground:
        lines += [f"fill '{ground}'", f"rectangle 0,0 {w},{h}"]
    return lines


def banner():
    lines = canvas(590, 54, "black")
    # The band continues the content area below; its slanted start keeps it off the logo.
    lines += [f"fill '{GREY_BAND}'", f"polygon 203.5,54 215.5,41.5 590,41.5 590,54"]
    lines += emblem(15, 10, 28)
    lines += text(53, 36, "KORVANE", FONT_BOLD, 27, "white", kerning=3)
    # The window hides the right 9 columns, so the tagline ends well before them.
    lines += text(566, 51, "WIRELESS NETWORKS", FONT_REGULAR, 8, "#9a9a9a", kerning=2.2,
                  anchor="end")
    return lines


def rect(x0, y0, x1, y1, colour, radius=0.0):
    """A filled rectangle covering pixels x0..x1-1 and y0..y1-1 exactly."""
    box = f"{x0 - 0.5},{y0 - 0.5} {x1 - 0.5},{y1 - 0.5}"
    if radius:
        return [f"fill '{colour}'", f"roundrectangle {box} {radius},{radius}"]
    return [f"fill '{colour}'", f"rectangle {box}"]


def gradient_rect(x0, y0, x1, y1, top, bottom):
    """A vertical gradient, one row at a time (MVG has no gradient fill)."""
    lines = []
    h = y1 - y0
    for i in range(h):
        t = i / max(1, h - 1)
        c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        lines += rect(x0, y0 + i, x1, y0 + i + 1, "#%02x%02x%02x" % c)
    return lines


def monitor(x, y):
    """A 14 x 15 computer screen on a stand, its top-left corner at (x, y)."""
    lines = rect(x, y, x + 14, y + 11, "#17407f", radius=1.5)
    lines += gradient_rect(x + 1, y + 1, x + 13, y + 10, (108, 182, 255), (33, 104, 214))
    # a highlight across the glass
    lines += ["fill '#ffffff'", "fill-opacity 0.25",
              f"polygon {x + 1 - 0.5},{y + 1 - 0.5} {x + 8 - 0.5},{y + 1 - 0.5} "
              f"{x + 4 - 0.5},{y + 6 - 0.5} {x + 1 - 0.5},{y + 6 - 0.5}", "fill-opacity 1"]
    lines += rect(x + 6, y + 11, x + 8, y + 13, "#5b6b7e")
    lines += rect(x + 3, y + 13, x + 11, y + 15, "#3b4756", radius=0.8)
    return lines


def device():
    lines = canvas(32, 32, None)
    green, dark_green = "#2fb344", "#1c7a2b"
    # The cable leaves each stand, runs down and joins below: drawn first, so the stands
    # cover its ends.
    for x0, x1, y0, y1 in ((6, 9, 18, 27), (23, 26, 18, 27), (6, 26, 24, 27)):
        lines += rect(x0, y0, x1, y1, dark_green)
    for x0, x1, y0, y1 in ((7, 8, 18, 26), (24, 25, 18, 26), (7, 25, 25, 26)):
        lines += rect(x0, y0, x1, y1, green)
    lines += monitor(0, 4)
    lines += monitor(18, 4)
    # the plug in the middle of the cable
    lines += rect(13, 23, 19, 28, "#1c7a2b", radius=1)
    lines += rect(14, 24, 18, 27, "#5fd36f")
    return lines


def router(x, y, size):
    """The program's icon: a router with two antennas sending waves, in a size x size box
    (drawn on a 32-unit grid)."""
    s = size / 32.0

    def box(x0, y0, x1, y1):
        return f"{x + x0 * s:.3f},{y + y0 * s:.3f} {x + x1 * s:.3f},{y + y1 * s:.3f}"

    r = 2.2 * s
    lines = [f"fill '{RED}'"]
    for radius in (4.5, 9.5):
        lines.append(wave(x + 16 * s, y + 16 * s, radius * s, 2.8 * s, 50, 130))
    lines += ["fill '#8a939e'", f"roundrectangle {box(5.4, 8, 8.0, 20)} {r / 2},{r / 2}",
              f"roundrectangle {box(24.0, 8, 26.6, 20)} {r / 2},{r / 2}"]
    # A lighter rim keeps the dark body apart from a dark panel or tray.
    lines += ["fill '#5c6673'", f"roundrectangle {box(0.4, 17.4, 31.6, 30.6)} {r},{r}"]
    lines += ["fill '#101317'", f"roundrectangle {box(1, 18, 31, 30)} {r},{r}",
              "fill '#3a414b'", f"roundrectangle {box(2.2, 19.2, 29.8, 24.6)} {r / 2},{r / 2}"]
    lines += ["fill '#48e05a'"]
    for cx in (7, 11.5, 16):
        lines.append(circle(x + cx * s, y + 26.6 * s, 1.3 * s))
    lines += ["fill '#4aa3ff'", circle(x + 25 * s, y + 26.6 * s, 1.3 * s)]
    return lines


def app_icon(size):
    return lambda: canvas(size, size, None) + router(0, 0, size)


def window_icon():
    """The router drawn again for 20 x 18 pixels, on whole pixels, so it stays sharp."""
    lines = canvas(20, 18, None)
    lines += ["fill '#e2231a'", wave(10, 10, 2.6, 1.9, 40, 140), wave(10, 10, 6.2, 1.9, 48, 132)]
    lines += rect(2, 3, 4, 11, "#8a939e") + rect(16, 3, 18, 11, "#8a939e")
    lines += rect(0, 10, 20, 18, "#101317", radius=2.5)
    lines += rect(1, 11, 19, 13, "#3a414b")
    for x0 in (3, 6, 9):
        lines += rect(x0, 14, x0 + 2, 16, "#48e05a")
    lines += rect(15, 14, 17, 16, "#4aa3ff")
    return lines


def tile_emblem(size):
    """The About window's icon: the maker's mark on a black rounded tile."""
    def draw():
        r = size * 0.2
        lines = canvas(size, size, None)
        lines += rect(0, 0, size, size, "#000000", radius=r)
        inset = size * 0.17
        if size < 24:
            return lines + emblem(inset, inset, size - 2 * inset, (13, 24.5), 5.2)
        return lines + emblem(inset, inset, size - 2 * inset)
    return draw


def about_logo():
    lines = canvas(70, 18, "black")
    lines += emblem(1, 2.5, 12, (13, 24.5), 5.2)
    lines += text(15, 14, "KORVANE", FONT_BOLD, 10, "white", kerning=0.6)
    return lines


PICTURES = {
    "pathmere.mvg": window_icon,
    "about-logo.mvg": about_logo,
    **{f"pathmere-{n}.mvg": app_icon(n) for n in (16, 22, 24, 32, 48, 64, 128, 256)},
    **{f"about-icon-{n}.mvg": tile_emblem(n) for n in (16, 32, 48)},
    "banner.mvg": banner,
    "device.mvg": device,
}


def svg_from_mvg(lines):
    """The same shapes in SVG, for a picture drawn only with fills of polygons, circles and
    rounded rectangles (the program's icon, for the icon theme's scalable size)."""
    head, body, fill = "", [], "black"
    for line in lines:
        word, _, rest = line.partition(" ")
        if word == "fill":
            fill = rest.strip("'")
            continue
        numbers = [float(v) for v in rest.replace(",", " ").split()]
        if word == "viewbox":
            x, y, w, h = numbers
            head = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w:g}" height="{h:g}" '
                    f'viewBox="{x:g} {y:g} {w:g} {h:g}">')
        elif word == "polygon":
            body.append(f'<polygon fill="{fill}" points="{rest}"/>')
        elif word == "circle":
            cx, cy, px, py = numbers
            r = math.hypot(px - cx, py - cy)
            body.append(f'<circle fill="{fill}" cx="{cx:.3f}" cy="{cy:.3f}" r="{r:.3f}"/>')
        elif word == "roundrectangle":
            x0, y0, x1, y1, rx, ry = numbers
            body.append(f'<rect fill="{fill}" x="{x0:.3f}" y="{y0:.3f}" width="{x1 - x0:.3f}" '
                        f'height="{y1 - y0:.3f}" rx="{rx:.3f}" ry="{ry:.3f}"/>')
        else:
            raise ValueError(f"no SVG form for the MVG primitive {word!r}")
    return "\n".join([head, *body, "</svg>"]) + "\n"


SCALABLE = {"pathmere.svg": app_icon(256)}


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, draw in PICTURES.items():
        (out / name).write_text("\n".join(draw()) + "\n")
    for name, draw in SCALABLE.items():
        (out / name).write_text(svg_from_mvg(draw()))


if __name__ == "__main__":
    main()
