#!/usr/bin/env python3
"""Draws every image the program compiles in and rewrites resources/resources.qrc,
then the desktop icon in the hicolor theme's sizes under packaging/icons/.

Needs python3 and ImageMagick's `convert` only. Pictograms come from plain
shapes and from the bundled FontAwesome 4 font, so a run gives the same
pictures on any Debian machine. Run from anywhere:

    python3 tools/gen-images.py
"""

import math
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "resources")
QSS_IMG = os.path.join(RES, "qss", "psblack")
RS = os.path.join(RES, "sys", "rs", "rs")
IMG = os.path.join(RS, "img")
DESKTOP_ICONS = os.path.join(ROOT, "packaging", "icons", "hicolor")
# The sizes desktops ask the hicolor theme for (menus, panels, docks, launchers).
DESKTOP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
FA = os.path.join(RS, "font", "fontawesome-webfont.ttf")
SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# Theme colours, the same as the style sheet's.
TEXT = "#DCDCDC"
BORDER = "#242424"
ACCENT = "#337FD1"
CYAN = "#00C8D7"
DIM = "#7A7A7A"
DIM_FILL = "#4E4E4E"
WHITE = "#FEFEFE"
# Second lines of the home-menu pictures: the tiles have many colours, so a
# softened white reads on every one of them where any hue would clash with some.
SOFT = "#FFFFFFB0"
GREEN = "#2ECC71"
RED = "#E74C3C"
AMBER = "#F0B429"

# Keep files byte-stable between runs: no time stamps or tool names inside.
STABLE = ["-strip", "-define", "png:exclude-chunks=date,time,tEXt,zTXt,iTXt"]


def signed(v):
    return f"{'+' if v >= 0 else '-'}{abs(v)}"


def run(args):
    subprocess.run(["convert"] + [str(a) for a in args], check=True)


class Canvas:
    """Collects ImageMagick drawing in logical pixels, drawn `ss` times larger
    and scaled down so that small pictures get smooth edges."""

    def __init__(self, w, h, ss=4, background="none"):
        self.w, self.h, self.ss = w, h, ss
        self.args = ["-size", f"{w * ss}x{h * ss}", f"xc:{background}"]

    def _p(self, v):
        return round(v * self.ss, 2)

    def style(self, fill="none", stroke="none", width=1.0):
        self.args += ["-fill", fill, "-stroke", stroke, "-strokewidth", self._p(width)]
        return self

    def draw(self, prim, *points, extra=""):
        pts = " ".join(f"{self._p(x)},{self._p(y)}" for x, y in points)
        # Round joins: IM6 draws mitred polyline ends with stray slivers.
        self.args += ["-draw", f"stroke-linejoin round stroke-linecap round {prim} {pts} {extra}".strip()]
        return self

    def rect(self, x0, y0, x1, y1, r=0):
        if r:
            return self.draw("roundrectangle", (x0, y0), (x1, y1), (r, r))
        return self.draw("rectangle", (x0, y0), (x1, y1))

    def circle(self, cx, cy, r):
        return self.draw("circle", (cx, cy), (cx + r, cy))

    def line(self, x0, y0, x1, y1):
        return self.draw("line", (x0, y0), (x1, y1))

    def poly(self, *pts, closed=True):
        return self.draw("polygon" if closed else "polyline", *pts)

    def arc(self, cx, cy, r, a0, a1):
        """Open arc as a fine polyline, angles clockwise from three o'clock."""
        n = max(8, int(abs(a1 - a0) / 3))
        pts = [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * k / n)),
                cy + r * math.sin(math.radians(a0 + (a1 - a0) * k / n))) for k in range(n + 1)]
        return self.poly(*pts, closed=False)

    def text(self, s, size, color, dx=0, dy=0, font=SANS_BOLD, gravity="center"):
        self.args += ["-stroke", "none", "-fill", color, "-font", font,
                      "-pointsize", self._p(size), "-gravity", gravity,
                      "-annotate", signed(self._p(dx)) + signed(self._p(dy)),
                      s, "-gravity", "northwest"]
        return self

    def glyph(self, code, size, color, dx=0, dy=0):
        return self.text(chr(code), size, color, dx, dy, font=FA)

    def save(self, path, extra=()):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        args = list(self.args)
        if self.ss != 1:
            args += ["-resize", f"{self.w}x{self.h}!"]
        run(args + list(extra) + STABLE + [path])


# ---------------------------------------------------------------- style sheet

def indicator_images():
    def box(name, fill, border, mark=None, mark_color=WHITE):
        c = Canvas(16, 16)
        c.style(fill=fill, stroke=border, width=1).rect(1.5, 1.5, 14.5, 14.5, r=3)
        if mark == "tick":
            c.style(stroke=mark_color, width=2.2).poly((4.2, 8.3), (6.9, 11), (11.8, 5.2), closed=False)
        elif mark == "part":
            c.style(fill=mark_color).rect(4.5, 7, 11.5, 9, r=1)
        c.save(os.path.join(QSS_IMG, name + ".png"))

    box("checkbox_unchecked", "#3A3A3A", "#9A9A9A")
    box("checkbox_unchecked_disable", "#404040", "#5E5E5E")
    box("checkbox_checked", ACCENT, "#5C9CE0", "tick")
    box("checkbox_checked_disable", DIM_FILL, "#5E5E5E", "tick", "#8A8A8A")
    box("checkbox_parcial", ACCENT, "#5C9CE0", "part")
    box("checkbox_parcial_disable", DIM_FILL, "#5E5E5E", "part", "#8A8A8A")

    def radio(name, ring, fill, dot=None):
        c = Canvas(16, 16)
        c.style(fill=fill, stroke=ring, width=1.2).circle(8, 8, 6.4)
        if dot:
            c.style(fill=dot).circle(8, 8, 3.2)
        c.save(os.path.join(QSS_IMG, name + ".png"))

    radio("radiobutton_unchecked", "#9A9A9A", "#3A3A3A")
    radio("radiobutton_unchecked_disable", "#5E5E5E", "#404040")
    radio("radiobutton_checked", "#5C9CE0", "#3A3A3A", ACCENT)
    radio("radiobutton_checked_disable", "#5E5E5E", "#404040", "#8A8A8A")

    # Small filled triangles for spin boxes and combo boxes.
    tri = {
        "add_top": [(4, 10.5), (12, 10.5), (8, 5.5)],
        "add_bottom": [(4, 5.5), (12, 5.5), (8, 10.5)],
        "add_left": [(10.5, 4), (10.5, 12), (5.5, 8)],
        "add_right": [(5.5, 4), (5.5, 12), (10.5, 8)],
        "branch_close": [(6, 4), (6, 12), (11, 8)],
        "branch_open": [(4, 6), (12, 6), (8, 11)],
    }
    for name, pts in tri.items():
        c = Canvas(16, 16)
        c.style(fill=TEXT).poly(*pts)
        c.save(os.path.join(QSS_IMG, name + ".png"))

    for name, pts in {"calendar_prevmonth": [(10, 3.5), (5.5, 8), (10, 12.5)],
                      "calendar_nextmonth": [(6, 3.5), (10.5, 8), (6, 12.5)]}.items():
        c = Canvas(16, 16)
        c.style(stroke=TEXT, width=2).poly(*pts, closed=False)
        c.save(os.path.join(QSS_IMG, name + ".png"))


# --------------------------------------------------------- home-menu pictures
# White line art on transparent ground: the menu buttons give the colour.
# Drawn at 200 x 140, twice the 100 x 70 the buttons show, for sharp scaling.

W, H = 200, 140


def constant_mode(letter):
    """A meter dial with the regulated quantity and a flat trace beside it."""
    c = Canvas(W, H, ss=2)
    c.style(stroke=WHITE, width=7).circle(58, 70, 40)
    c.text(letter, 46, WHITE, dx=58 - W / 2, dy=0)
    # Axes and a level line: the quantity held constant over time.
    c.style(stroke=WHITE, width=5).poly((116, 30), (116, 110), (186, 110), closed=False)
    c.style(stroke=SOFT, width=7).line(124, 62, 182, 62)
    c.style(fill=WHITE).poly((182, 104), (192, 110), (182, 116))
    c.style(fill=WHITE).poly((110, 30), (116, 20), (122, 30))
    return c


def battery(c, x0, y0, x1, y1, width=6):
    c.style(stroke=WHITE, width=width).rect(x0, y0, x1, y1, r=8)
    mid = (y0 + y1) / 2
    c.style(fill=WHITE).rect(x1 + 3, mid - 12, x1 + 12, mid + 12, r=3)


def profile(segments):
    """A charge and discharge voltage profile: charging legs bright, discharging soft."""
    c = Canvas(W, H, ss=2)
    c.style(stroke=WHITE, width=5).poly((22, 20), (22, 112), (186, 112), closed=False)
    x0, span = 34, 146
    step = span / segments
    for i in range(segments):
        up = i % 2 == 0
        ya, yb = (96, 34) if up else (34, 96)
        c.style(stroke=WHITE if up else SOFT, width=8).line(x0 + i * step, ya, x0 + (i + 1) * step, yb)
    return c


def page_images():
    pics = {
        "01": constant_mode("I"),
        "02": constant_mode("V"),
        "03": constant_mode("R"),
        "04": constant_mode("P"),
    }
    # Internal resistance: a cell with an ohm sign.
    c = Canvas(W, H, ss=2)
    battery(c, 32, 32, 158, 108)
    c.text("m\u03a9", 44, WHITE, dx=-5, dy=0)
    pics["05"] = c
    # Power supply test: plug and bolt.
    c = Canvas(W, H, ss=2)
    c.glyph(0xF1E6, 92, WHITE, dx=-34, dy=0)
    c.glyph(0xF0E7, 80, SOFT, dx=50, dy=0)
    pics["06"] = c
    # Cable test: the USB trident with an ohm sign.
    c = Canvas(W, H, ss=2)
    c.glyph(0xF287, 96, WHITE, dx=-22, dy=0)
    c.text("\u03a9", 40, SOFT, dx=70, dy=30)
    pics["07"] = c
    pics["08"] = profile(3)
    pics["09"] = profile(5)
    # Cycle test: a cell inside the refresh arrows, repeated n times.
    c = Canvas(W, H, ss=2)
    c.glyph(0xF021, 118, WHITE, dx=-18, dy=0)
    c.glyph(0xF240, 40, SOFT, dx=-18, dy=0)
    c.text("\u00d7n", 30, WHITE, dx=72, dy=34)
    pics["10"] = c
    for name, canvas in pics.items():
        canvas.save(os.path.join(IMG, name + ".png"))


# ------------------------------------------------------------ icons and logos

def gradient_tile(size, radius, top, bottom):
    """Rounded square with a vertical gradient, as a canvas at 1x."""
    c = Canvas(size, size, ss=1)
    c.args = ["-size", f"{size}x{size}", f"gradient:{top}-{bottom}",
              "(", "-size", f"{size}x{size}", "xc:none", "-fill", "white",
              "-draw", f"roundrectangle 0,0 {size - 1},{size - 1} {radius},{radius}", ")",
              "-alpha", "off", "-compose", "CopyOpacity", "-composite", "-compose", "over"]
    return c


def main_icon():
    size = 256
    c = gradient_tile(size, 48, "#1E8BC3", "#0B4F78")
    # A gauge arc with the bolt of the load in it.
    c.style(stroke="#FFFFFF", width=18).arc(128, 136, 86, 135, 315)
    c.style(stroke=CYAN, width=18).arc(128, 136, 86, 315, 405)
    c.style(fill="#FFFFFF").poly((146, 60), (90, 150), (126, 150), (110, 214),
                                 (170, 118), (134, 118), (156, 60))
    path = os.path.join(IMG, "MainIcon.png")
    c.save(path)
    return path


def desktop_icons(source):
    """The window's icon at each theme size, scaled down from the drawn one."""
    for size in DESKTOP_ICON_SIZES:
        path = os.path.join(DESKTOP_ICONS, f"{size}x{size}", "apps", "usb-tester.png")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        run([source, "-filter", "Lanczos", "-resize", f"{size}x{size}", "-depth", "8"]
            + STABLE + [path])


def simple_glyph(path, code, color, size=64, pt=None):
    c = Canvas(size, size, ss=2)
    c.glyph(code, pt or size * 0.78, color)
    c.save(path)


def icons():
    simple_glyph(os.path.join(RS, "MoreSettings.png"), 0xF1DE, AMBER)
    simple_glyph(os.path.join(RS, "AccuGrpDisp.png"), 0xF1FE, "#1ABC9C")
    simple_glyph(os.path.join(RS, "ScrollDisp.png"), 0xF201, "#E67E22")
    simple_glyph(os.path.join(RS, "ExportData.png"), 0xF1C3, GREEN)
    simple_glyph(os.path.join(RS, "ExportImage.png"), 0xF1C5, "#3498DB")
    simple_glyph(os.path.join(RS, "down.png"), 0xF063, TEXT)
    simple_glyph(os.path.join(RS, "up.png"), 0xF062, TEXT)
    simple_glyph(os.path.join(RS, "Upgrade.png"), 0xF0AA, "#3498DB")
    simple_glyph(os.path.join(RS, "back.png"), 0xF137, TEXT)
    simple_glyph(os.path.join(RS, "download.png"), 0xF019, TEXT)
    simple_glyph(os.path.join(RS, "run.png"), 0xF04B, GREEN)
    simple_glyph(os.path.join(RS, "pause.png"), 0xF04C, AMBER)
    simple_glyph(os.path.join(RS, "SysSet.png"), 0xF013, TEXT)
    simple_glyph(os.path.join(RS, "list_20x20.png"), 0xF03A, TEXT, size=20, pt=17)
    simple_glyph(os.path.join(RS, "menu.png"), 0xF0C9, TEXT, size=200, pt=150)

    # Link pictures: a green plug when linked, a grey plug struck through in red when not.
    c = Canvas(128, 128, ss=2)
    c.style(fill="#1F3B2A", stroke=GREEN, width=6).circle(64, 64, 58)
    c.glyph(0xF1E6, 74, GREEN)
    c.save(os.path.join(RS, "usb_connect.png"))
    c = Canvas(128, 128, ss=2)
    c.glyph(0xF1E6, 74, "#8A8A8A")
    c.style(stroke=RED, width=9).circle(64, 64, 56)
    c.style(stroke=RED, width=9).line(24, 24, 104, 104)
    c.save(os.path.join(RS, "usb_disconnect.png"))

    # Language switch: two overlapping tiles.
    c = Canvas(128, 128, ss=2)
    c.style(fill="#C0392B", stroke=BORDER, width=2).rect(6, 6, 82, 82, r=12)
    c.text("\u4e2d", 52, WHITE, dx=44 - 64, dy=44 - 64, font=CJK)
    c.style(fill="#2C6FB7", stroke=BORDER, width=2).rect(46, 46, 122, 122, r=12)
    c.text("EN", 34, WHITE, dx=84 - 64, dy=84 - 64)
    c.save(os.path.join(RS, "cn_en.png"))

    # Brand banners for the title bar, 130 x 20.
    def banner(name, fg, accent, bg="none"):
        c = Canvas(130, 20, ss=4, background=bg)
        c.style(fill=accent).poly((4, 16), (12, 4), (20, 16))
        c.text("ORVANE", 13, fg, dx=12, dy=0)
        c.save(os.path.join(RS, name))

    banner("icon_130x20.png", WHITE, CYAN)
    banner("icon01_130x20.png", TEXT, "#3CA0E6")
    banner("icon02_130x20.png", CYAN, WHITE)
    banner("icon03_130x20.png", "#A0A0A0", "#A0A0A0")

    # A quiet backdrop picture in the theme's greys with the brand.
    c = Canvas(480, 300, ss=1)
    c.args = ["-size", "480x300", "gradient:#4A4A4A-#2E2E2E"]
    c.style(stroke="#5A5A5A", width=2)
    for x in range(0, 480, 40):
        c.line(x, 0, x, 300)
    for y in range(0, 300, 40):
        c.line(0, y, 480, y)
    c.style(stroke=CYAN, width=4).poly((0, 210), (80, 200), (160, 150), (240, 170), (320, 110),
                                       (400, 120), (480, 80), closed=False)
    c.text("ORVANE", 44, TEXT, dy=-20)
    c.text("USB TESTER", 18, "#A0A0A0", dy=24)
    c.save(os.path.join(RS, "main.jpg"), extra=["-quality", "85"])


def folder_icon():
    tmp = tempfile.mkdtemp()
    try:
        parts = []
        for s in (16, 32, 48):
            p = os.path.join(tmp, f"f{s}.png")
            simple_glyph(p, 0xF07C, AMBER, size=s, pt=s * 0.82)
            parts.append(p)
        run(parts + STABLE + [os.path.join(RS, "folder.ico")])
    finally:
        shutil.rmtree(tmp)


# ----------------------------------------------------------- device list bits

def device_list_images():
    c = Canvas(64, 64)
    c.style(fill=GREEN, stroke="#1E9E55", width=2).circle(32, 32, 28)
    c.style(stroke=WHITE, width=7).poly((18, 33), (28, 43), (47, 22), closed=False)
    c.save(os.path.join(IMG, "Tick.png"))

    c = Canvas(64, 64)
    c.style(fill="#3A3A3A", stroke="#8A8A8A", width=3).circle(32, 32, 27)
    c.style(stroke="#8A8A8A", width=5).line(32, 19, 32, 45).line(19, 32, 45, 32)
    c.save(os.path.join(IMG, "UnTick.png"))

    c = Canvas(64, 64)
    c.style(stroke=TEXT, width=6).circle(26, 26, 16)
    c.style(stroke=TEXT, width=9).line(38, 38, 54, 54)
    c.save(os.path.join(IMG, "search.png"))

    # A spinner: twelve spokes, the bright one walking round.
    size, n = 48, 12
    tmp = tempfile.mkdtemp()
    try:
        frames = []
        for f in range(n):
            c = Canvas(size, size)
            for i in range(n):
                age = (f - i) % n
                level = max(0.18, 1.0 - age / (n * 0.75))
                r, g, b = (int(0x00 + level * 0x10), int(0x50 + level * 0xAF), int(0x50 + level * 0xAF))
                a = 2 * math.pi * i / n
                x0, y0 = 24 + 10 * math.sin(a), 24 - 10 * math.cos(a)
                x1, y1 = 24 + 20 * math.sin(a), 24 - 20 * math.cos(a)
                c.style(stroke=f"#{r:02X}{g:02X}{b:02X}", width=4.2).line(x0, y0, x1, y1)
            p = os.path.join(tmp, f"s{f:02d}.png")
            c.save(p)
            frames.append(p)
        run(["-dispose", "previous", "-delay", "8", "-loop", "0"] + frames
            + ["-channel", "A", "-threshold", "50%", "+channel", "-strip",
               os.path.join(IMG, "searching.gif")])
    finally:
        shutil.rmtree(tmp)


# -------------------------------------------------------------- resource list

def write_qrc():
    files = []
    for base in ("qss", "sys"):
        for dirpath, _, names in os.walk(os.path.join(RES, base)):
            for n in names:
                if n.startswith("LICENSE") or n.endswith(".txt"):
                    continue
                files.append(os.path.relpath(os.path.join(dirpath, n), RES))
    files.sort()
    with open(os.path.join(RES, "resources.qrc"), "w", encoding="utf-8") as f:
        f.write("<RCC>\n    <qresource prefix=\"/\">\n")
        for p in files:
            f.write(f"        <file>{p}</file>\n")
        f.write("    </qresource>\n</RCC>\n")


def main():
    if shutil.which("convert") is None:
        sys.exit("gen-images: ImageMagick's convert is needed")
    for font in (FA, SANS_BOLD, CJK):
        if not os.path.exists(font):
            sys.exit(f"gen-images: font missing: {font}")
    indicator_images()
    page_images()
    desktop_icons(main_icon())
    icons()
    folder_icon()
    device_list_images()
    write_qrc()


if __name__ == "__main__":
    main()
