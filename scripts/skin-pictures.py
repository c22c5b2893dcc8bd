#!/usr/bin/python3
"""Builds a skin folder from its description and draws previews of it.

    skin-pictures.py SKIN_FOLDER PREVIEW_FOLDER

SKIN_FOLDER/src/skin.svg is drawn once per picture with the matching style
sheet of src/states/ ("main", "over", "down", "disabled", "mask") and written
as 24-bit BMP files beside skin.ini; src/skin.ini (UTF-8) is written as
skin.ini in Shift-JIS with CR LF line ends. The skin is then read back the way
the dialog reads it, checked, and drawn in a few typical moments of the voice
dialog into PREVIEW_FOLDER as PNG files.
"""

import math
import os
import random
import subprocess
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

PICTURES = ("main", "over", "down", "disabled", "mask")
SCREEN_PICTURE_KEYS = {"MAIN": "main", "MASK": "mask", "OVER": "over",
                       "DOWN": "down", "DISALBED": "disabled"}
WHITE = (255, 255, 255)
DESKTOP = (74, 89, 107)
FONT_FILES = {
    "ＭＳ ゴシック": "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf",
}
DEFAULT_FONT_FILE = "/usr/share/fonts/truetype/vlgothic/VL-PGothic-Regular.ttf"


class SkinError(Exception):
    pass


# ---------------------------------------------------------------- pictures

def render_svg(svg, css, png):
    subprocess.run(["rsvg-convert", "--background-color", "white",
                    "--stylesheet", css, "--output", png, svg], check=True)


def write_picture(png, bmp, is_mask):
    picture = Image.open(png).convert("RGB")
    if is_mask:
        # Only pure white is outside the window: anything the renderer left
        # between white and black is made black, so it counts as inside.
        white = [band.point(lambda v: 255 if v == 255 else 0) for band in picture.split()]
        outside = ImageChops.multiply(ImageChops.multiply(white[0], white[1]), white[2])
        picture = Image.merge("RGB", [outside] * 3)
    picture.save(bmp, format="BMP")
    return picture


def build_pictures(skin, work):
    src = os.path.join(skin, "src")
    pictures = {}
    for name in PICTURES:
        png = os.path.join(work, name + ".png")
        render_svg(os.path.join(src, "skin.svg"), os.path.join(src, "states", name + ".css"), png)
        pictures[name] = write_picture(png, os.path.join(skin, name + ".bmp"), name == "mask")
    return pictures


def write_skin_ini(skin):
    with open(os.path.join(skin, "src", "skin.ini"), encoding="utf-8") as source:
        text = source.read()
    lines = text.splitlines()
    while lines and lines[0].startswith(";"):
        del lines[0]
    lines[0:0] = ["; Shift-JIS. Written by scripts/make-skin from src/skin.ini (UTF-8):",
                  "; change that file and run the script again."]
    with open(os.path.join(skin, "skin.ini"), "wb") as target:
        target.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


# ---------------------------------------------------------------- reading the skin as the dialog does

def read_ini(path):
    """Sections in file order, each a list of (key, value); comments dropped."""
    sections, current = {}, None
    with open(path, encoding="cp932") as ini:
        for line in ini.read().splitlines():
            stripped = line.strip()
            if not stripped or stripped.startswith(";"):
                continue
            if stripped.startswith("[") and stripped.endswith("]"):
                current = sections.setdefault(stripped[1:-1], [])
            elif current is not None and "=" in stripped:
                key, value = stripped.split("=", 1)
                current.append((key.strip(), value.strip()))
    return sections


class Fields:
    """Takes the fields of a list value from the front, one at a time."""

    def __init__(self, value):
        self.value = value

    def next(self):
        at = self.value.find(",")
        if at < 0:
            return self.value
        field, self.value = self.value[:at], self.value[at + 1:].strip()
        return field

    def number(self):
        text = self.next().lstrip()
        sign, digits = 1, ""
        if text[:1] in "+-" and text:
            sign, text = (-1 if text[0] == "-" else 1), text[1:]
        for ch in text:
            if not ch.isdigit():
                break
            digits += ch
        return sign * int(digits) if digits else 0

    def rect(self):
        x, y, w, h = self.number(), self.number(), self.number(), self.number()
        return (x, y, x + w, y + h)

    def colour(self):
        return tuple(self.number() & 0xFF for _ in range(3))


def label_record(fields, name):
    return {
        "name": name,
        "face": fields.next(),
        "bold": fields.next()[:1] == "T",
        "italic": fields.next()[:1] == "F",
        "height": fields.number(),
        "colour": fields.colour(),
        "rect": fields.rect(),
        "text": fields.next(),
        "tooltip": fields.next(),
    }


def numbered_entries(sections, section):
    entries = dict(sections.get(section, []))
    count = len(entries)
    missing = [str(n) for n in range(1, count + 1) if not entries.get(str(n))]
    if missing:
        raise SkinError(f"[{section}]: keys must run 1 to {count} without gaps; missing {', '.join(missing)}")
    return [entries[str(n)] for n in range(1, count + 1)]


def read_skin(skin):
    sections = read_ini(os.path.join(skin, "skin.ini"))
    screen = dict(sections.get("SCREEN", []))
    wave = dict(sections.get("WAVE", []))
    layout = {"screen": screen, "buttons": [], "labels": [], "bars": [], "placed": {}}
    for entry in numbered_entries(sections, "BUTTON"):
        fields = Fields(entry)
        name = fields.next()
        layout["buttons"].append({"name": name, "rect": fields.rect(), "tooltip": fields.next(),
                                  "two_state": fields.next()[:1] == "T"})
    for entry in numbered_entries(sections, "LABEL"):
        fields = Fields(entry)
        layout["labels"].append(label_record(fields, fields.next()))
    for key, placed in (("LABEL_ID", "EDIT_ID"), ("LABEL_WORD", "COMBO_WORD")):
        if screen.get(key):
            record = label_record(Fields(screen[key]), key)
            record["text"] = ""
            layout["labels"].append(record)
        if screen.get(placed):
            fields = Fields(screen[placed])
            layout["placed"][placed] = {"rect": fields.rect(), "tooltip": fields.next()}
    for entry in numbered_entries(sections, "PROGRESSINFO"):
        fields = Fields(entry)
        name, tooltip = fields.next(), fields.next()
        layout["bars"].append({"name": name, "tooltip": tooltip, "rect": fields.rect(),
                               "from_top": fields.next()[:1] == "H"})
    layout["wave"] = {
        "rect": Fields(wave.get("RECT", "")).rect(),
        "draw": wave.get("DRAW", "TRUE") == "TRUE",
        "back": Fields(wave.get("BACKGROUND", "0,0,0")).colour(),
        "line": Fields(wave.get("LINE", "0,255,0")).colour(),
        "centre": Fields(wave.get("CENTER", "255,255,255")).colour(),
        "dotted": wave.get("DOTLINE", "TRUE") != "FALSE",
    }
    return layout


# ---------------------------------------------------------------- checks

def check(skin, layout, pictures):
    problems, warnings = [], []
    screen = layout["screen"]
    for key, name in SCREEN_PICTURE_KEYS.items():
        if screen.get(key) != name + ".bmp":
            problems.append(f"[SCREEN] {key} should name {name}.bmp")
    mask = pictures["mask"]
    size = mask.size
    for name, picture in pictures.items():
        if picture.size != size:
            problems.append(f"{name}.bmp is {picture.size}, the mask {size}")
    w, h = size
    inside = [mask.getpixel((x, y)) != WHITE for (x, y) in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1))]
    if any(inside):
        warnings.append("a corner of the mask is not pure white: the window will have a square corner")
    if mask.getpixel((w // 2, h // 2)) == WHITE:
        problems.append("the centre of the mask is pure white: it would be outside the window")

    controls = [(b["name"], b["rect"]) for b in layout["buttons"]]
    controls += [(lb["name"], lb["rect"]) for lb in layout["labels"]]
    controls += [(b["name"], b["rect"]) for b in layout["bars"]]
    controls += [(n, p["rect"]) for n, p in layout["placed"].items()]
    controls.append(("WAVE", layout["wave"]["rect"]))
    for name, (left, top, right, bottom) in controls:
        if right <= left or bottom <= top:
            problems.append(f"{name}: empty rectangle")
            continue
        corners = [(left, top), (right - 1, top), (left, bottom - 1), (right - 1, bottom - 1)]
        if any(not (0 <= x < w and 0 <= y < h) or mask.getpixel((x, y)) == WHITE for x, y in corners):
            problems.append(f"{name}: {left},{top},{right - left},{bottom - top} reaches outside the window")
    for label in layout["labels"]:
        if label["italic"]:
            warnings.append(f"{label['name']}: italic (its italic field begins with F)")
    for name in ("BUTTON_RECORD", "BUTTON_EXIT", "BUTTON_FLOPPY"):
        if name not in [b["name"] for b in layout["buttons"]]:
            problems.append(f"no button {name}")
    for name in ("LABEL_ID", "LABEL_WORD", "LABEL_REPEAT", "LABEL_HINT", "LABEL_MODE"):
        if name not in [lb["name"] for lb in layout["labels"]]:
            problems.append(f"no label {name}")
    for name in ("SPEAKER", "MIC"):
        if name not in [b["name"] for b in layout["bars"]]:
            problems.append(f"no bar {name}")
    warnings += spilled_looks(layout, pictures)
    for warning in warnings:
        print(f"make-skin: warning: {warning}")
    if problems:
        raise SkinError("\n".join(problems))


def spilled_looks(layout, pictures):
    """The dialog shows over, down and disabled only inside buttons and bars:
    a look drawn beyond its rectangle would be cut off at the rectangle's edge."""
    cut_outs = Image.new("L", pictures["main"].size, 0)
    draw = ImageDraw.Draw(cut_outs)
    for control in layout["buttons"] + layout["bars"]:
        left, top, right, bottom = control["rect"]
        draw.rectangle((left, top, right - 1, bottom - 1), fill=255)
    outside = cut_outs.point(lambda v: 255 - v)
    warnings = []
    for name in ("over", "down", "disabled"):
        difference = ImageChops.difference(pictures["main"], pictures[name]).convert("L")
        box = ImageChops.multiply(difference.point(lambda v: 255 if v > 2 else 0), outside).getbbox()
        if box:
            warnings.append(f"{name}.bmp differs from main.bmp outside every button and bar, in {box}")
    return warnings


# ---------------------------------------------------------------- previews

def font_for(label):
    height = label["height"]
    size = -height if height < 0 else max(1, round(height * 0.86))
    return ImageFont.truetype(FONT_FILES.get(label["face"], DEFAULT_FONT_FILE), size)


def draw_text(canvas, rect, text, font, colour, bold=False):
    """Text from the top left of the rectangle, cut at its edges, as a label paints it.
    The baseline lies one em below the top, as with VL Gothic under Wine's GDI."""
    left, top, right, bottom = rect
    piece = canvas.crop(rect)
    draw = ImageDraw.Draw(piece)
    for dx in ((0, 1) if bold else (0,)):
        draw.text((dx, font.size), text, font=font, fill=colour, anchor="ls")
    canvas.paste(piece, (left, top))


def paste_cut(canvas, source, rect, width=None, height=None):
    left, top, right, bottom = rect
    right = left + (width if width is not None else right - left)
    bottom = top + (height if height is not None else bottom - top)
    if right > left and bottom > top:
        canvas.paste(source.crop((left, top, right, bottom)), (left, top))


def draw_wave_panel(canvas, wave):
    left, top, right, bottom = wave["rect"]
    draw = ImageDraw.Draw(canvas)
    if wave["draw"]:
        draw.rectangle((left, top, right - 1, bottom - 1), fill=wave["back"])
    draw.rectangle((left, top, right, bottom), outline=wave["centre"])
    if wave["dotted"]:
        w, h = right - left, bottom - top
        for y in (top + int(h * 0.25), top + int(h * 0.5), top + int(h * 0.75)):
            for x in range(0, w, 4):
                draw.line((left + x, y, left + x + 1, y), fill=wave["centre"])
        for x in (left + int(w * 0.2), left + int(w * 0.8)):
            for y in range(0, h, 4):
                draw.line((x, top + y, x, top + y + 1), fill=wave["centre"])


def sample_take(n=33075):
    """A three-second take: quiet room, then a spoken word of five syllables."""
    rng = random.Random(7)
    samples = []
    for s in range(n):
        t = s / 11025.0
        level = 150.0
        if 0.9 < t < 2.15:
            syllable = abs(math.sin((t - 0.9) / 1.25 * 5 * math.pi))
            level += 15000.0 * syllable ** 1.5
        tone = math.sin(2 * math.pi * 180 * t) * 0.6 + math.sin(2 * math.pi * 410 * t) * 0.4
        samples.append(int(level * (0.55 * tone + 0.45 * rng.uniform(-1, 1))))
    return samples


def draw_take(canvas, rect, colour, samples, endpoints=None):
    left, top, right, bottom = rect
    draw = ImageDraw.Draw(canvas)
    x_scale = (right - left) / len(samples)
    y_scale = (bottom - top) / 32768.0
    centre = top + (bottom - top) // 2

    def y_of(v):
        return int(min(max(v * y_scale + centre, top), bottom))

    points = [(int(s * x_scale + left), y_of(v)) for s, v in enumerate(samples)]
    draw.line(points, fill=colour)
    if endpoints:
        inset = (bottom - top) // 8
        for sample in endpoints:
            x = int(sample * x_scale + left)
            draw.line((x, top + inset, x, bottom - inset - 1), fill=colour)


def draw_mark(canvas, rect, good):
    left, top, right, bottom = rect
    w, h = right - left, bottom - top
    if w > h:
        d = (w - h) // 2
        box = (left + d + 3, top + 3, left + d + h, bottom - 3)
    else:
        d = (h - w) // 2
        box = (left + 3, top + d + 3, right - 3, top + d + w)
    draw = ImageDraw.Draw(canvas)
    if good:
        draw.ellipse(box, outline=(0, 0, 255), width=5)
    else:
        draw.line((box[0], box[1], box[2], box[3]), fill=(255, 0, 0), width=5)
        draw.line((box[0], box[3], box[2], box[1]), fill=(255, 0, 0), width=5)


def draw_field(canvas, rect, text, combo=False):
    """A rough stand-in for the flat edit and combo boxes the dialog places."""
    left, top, right, bottom = rect
    draw = ImageDraw.Draw(canvas)
    draw.rectangle((left, top, right - 1, bottom - 1), fill=WHITE, outline=(240, 240, 240))
    draw.rectangle((left + 1, top + 1, right - 2, bottom - 2), outline=(240, 240, 240))
    if combo:
        button = right - 2 - 17
        draw.rectangle((button, top + 2, right - 3, bottom - 3), fill=(240, 240, 240))
        cx, cy = (button + right - 3) // 2, (top + bottom) // 2
        draw.polygon([(cx - 4, cy - 2), (cx + 4, cy - 2), (cx, cy + 2)], fill=(0, 0, 0))
    font = ImageFont.truetype(DEFAULT_FONT_FILE, 12)
    draw_text(canvas, (left + 4, top + 3, right - 22 if combo else right - 3, bottom - 2), text, font, (0, 0, 0))


# What the dialog shows at a few moments; layouts as the voice dialog sets them.
MOMENTS = [
    ("enrol", "enrolment set-up: the user picks the word",
     {"layout": 2, "texts": {"LABEL_ID": "tanaka", "LABEL_MODE": "登録", "LABEL_REPEAT": "0 / 5",
                             "LABEL_HINT": "音声暗号を選択した後録音ボタンを押してください。"},
      "fields": {"COMBO_WORD": "ひらけごま"}, "bars": (72, 58)}),
    ("take", "enrolment, second take just recorded",
     {"layout": 0, "texts": {"LABEL_ID": "tanaka", "LABEL_WORD": "ひらけごま", "LABEL_MODE": "登録",
                             "LABEL_REPEAT": "2 / 5", "LABEL_HINT": "繰り返し読んでください。"},
      "disabled": ("BUTTON_RECORD", "BUTTON_FLOPPY"), "take": True, "bars": (72, 58)}),
    ("verified", "verification accepted",
     {"layout": 0, "texts": {"LABEL_ID": "tanaka", "LABEL_WORD": "ひらけごま", "LABEL_MODE": "認証",
                             "LABEL_REPEAT": "1 / 5", "LABEL_HINT": "認証されました。"},
      "take": True, "mark": True, "bars": (72, 58)}),
    ("rejected", "verification rejected",
     {"layout": 0, "texts": {"LABEL_ID": "tanaka", "LABEL_WORD": "ひらけごま", "LABEL_MODE": "認証",
                             "LABEL_REPEAT": "1 / 5", "LABEL_HINT": "申し訳ありませんが、認証が拒否されました。"},
      "take": True, "mark": False, "hover": ("BUTTON_RECORD",), "bars": (72, 58)}),
    ("password", "password first: user ID and password",
     {"layout": 3, "texts": {"LABEL_HINT": "IDとパスワードを入力してください。"},
      "fields": {"EDIT_ID": "tanaka", "COMBO_WORD": "******"}, "hover": ("BUTTON_FLOPPY",),
      "bars": (0, 0)}),
]

LAYOUT_SHOWS = {  # layout: (LABEL_ID, LABEL_WORD, ID edit, word combo or password edit)
    0: (True, True, False, False), 1: (False, True, True, False),
    2: (True, False, False, True), 3: (False, False, True, True),
}


def draw_moment(layout, pictures, moment):
    main = pictures["main"]
    canvas = main.copy()
    draw_wave_panel(canvas, layout["wave"])
    if moment.get("take"):
        draw_take(canvas, layout["wave"]["rect"], layout["wave"]["line"], sample_take(), (9500, 24200))
    if "mark" in moment:
        draw_mark(canvas, layout["wave"]["rect"], moment["mark"])
    for button in layout["buttons"]:
        if button["name"] in moment.get("disabled", ()):
            paste_cut(canvas, pictures["disabled"], button["rect"])
        elif button["name"] in moment.get("hover", ()):
            paste_cut(canvas, pictures["over"], button["rect"])
    for bar, position in zip(layout["bars"], moment["bars"]):
        left, top, right, bottom = bar["rect"]
        if bar["from_top"]:
            paste_cut(canvas, pictures["down"], bar["rect"], height=(bottom - top) * position // 100)
        else:
            paste_cut(canvas, pictures["down"], bar["rect"], width=(right - left) * position // 100)
    show_id, show_word, show_edit, show_combo = LAYOUT_SHOWS[moment["layout"]]
    for label in layout["labels"]:
        if (label["name"] == "LABEL_ID" and not show_id) or (label["name"] == "LABEL_WORD" and not show_word):
            continue
        text = moment["texts"].get(label["name"], label["text"])
        draw_text(canvas, label["rect"], text, font_for(label), label["colour"], label["bold"])
    fields = moment.get("fields", {})
    if show_edit and "EDIT_ID" in layout["placed"]:
        draw_field(canvas, layout["placed"]["EDIT_ID"]["rect"], fields.get("EDIT_ID", ""))
    if show_combo and "COMBO_WORD" in layout["placed"]:
        draw_field(canvas, layout["placed"]["COMBO_WORD"]["rect"], fields.get("COMBO_WORD", ""),
                   combo=moment["layout"] == 2)
    return on_desktop(canvas, pictures["mask"])


def on_desktop(picture, mask):
    """The window as the mask cuts it, on a plain desktop with a margin."""
    w, h = picture.size
    desktop = Image.new("RGB", (w + 40, h + 40), DESKTOP)
    shape = mask.convert("L").point(lambda v: 0 if v == 255 else 255)
    desktop.paste(picture, (20, 20), shape)
    return desktop


def draw_layout(layout, pictures):
    canvas = pictures["main"].copy()
    draw = ImageDraw.Draw(canvas)
    font = ImageFont.truetype(DEFAULT_FONT_FILE, 9)
    colours = {"button": (230, 60, 60), "label": (20, 150, 60), "bar": (200, 120, 0),
               "placed": (150, 40, 200), "wave": (0, 120, 220)}
    items = [("button", b) for b in layout["buttons"]] + [("label", lb) for lb in layout["labels"]]
    items += [("bar", b) for b in layout["bars"]]
    items += [("placed", {"name": n, "rect": p["rect"]}) for n, p in layout["placed"].items()]
    items.append(("wave", {"name": "WAVE", "rect": layout["wave"]["rect"]}))
    for kind, item in items:
        left, top, right, bottom = item["rect"]
        draw.rectangle((left, top, right - 1, bottom - 1), outline=colours[kind])
        draw.text((left + 1, bottom), item["name"], font=font, fill=colours[kind])
    return canvas


def write_previews(layout, pictures, work, folder):
    os.makedirs(folder, exist_ok=True)
    for name in PICTURES:
        os.replace(os.path.join(work, name + ".png"), os.path.join(folder, name + ".png"))
    on_desktop(pictures["main"], pictures["mask"]).save(os.path.join(folder, "main-masked.png"))
    draw_layout(layout, pictures).save(os.path.join(folder, "layout.png"))
    for name, _, moment in MOMENTS:
        draw_moment(layout, pictures, moment).save(os.path.join(folder, f"dialog-{name}.png"))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    skin, preview = sys.argv[1], sys.argv[2]
    work = os.path.join(preview, ".work")
    os.makedirs(work, exist_ok=True)
    try:
        pictures = build_pictures(skin, work)
        write_skin_ini(skin)
        layout = read_skin(skin)
        check(skin, layout, pictures)
        write_previews(layout, pictures, work, preview)
    except SkinError as error:
        sys.exit(f"make-skin: {error}")
    print(f"make-skin: {skin}: pictures and skin.ini written; previews in {preview}")


if __name__ == "__main__":
    main()
