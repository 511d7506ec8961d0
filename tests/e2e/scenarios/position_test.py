"""The Position page: dragging the notification pointer onto the miniature
of the screen with the real mouse, and the pointer's size."""

from __future__ import annotations

import ctypes
import math
import time

from harness import Harness, ScenarioFailed

CAPTION = "Corvane Vigilumen"
PIC_SCREEN, PIC_POINTER, IMG_DRAG = 406, 407, 408

# The page's geometry, twips: PicScreen on the page, the glass inside it.
PIC_LEFT, PIC_TOP, PIC_WIDTH, PIC_HEIGHT = 945, 225, 2925, 2700
MINI_LEFT, MINI_TOP, MINI_WIDTH, MINI_HEIGHT = 450, 400, 2000, 1600
DROP_RIGHT, DROP_BOTTOM = 2300, 1800

# A stored position this far out moves the pointer by pixels for every pixel
# of screen size, so its place tells the screen size the program read.
FAR = 20000


# ----- the rules, as the user can check them ------------------------------------

def round_half_even(v: float) -> int:
    return round(v)  # Python rounds halves to the even neighbour


def px(twips: float, tpp: float) -> int:
    """Twips to pixels as the dialog converts them (halves away from zero)."""
    q = twips / tpp
    return int(math.floor(q + 0.5)) if q >= 0 else -int(math.floor(-q + 0.5))


def mapped(x_tw: float, y_tw: float, sw: int, sh: int) -> tuple[int, int]:
    x = round_half_even((x_tw - MINI_LEFT) * sw / MINI_WIDTH)
    y = round_half_even((y_tw - MINI_TOP) * sh / MINI_HEIGHT)
    x, y = max(x, 20), max(y, 20)
    return min(x, sw - 50), min(y, sh - 40)


def placed_left_top(nx: int, ny: int, sw: int, sh: int, w_tw: float, h_tw: float) -> tuple[float, float]:
    """Top-left corner of the pointer (twips on the page) for a stored position."""
    return (PIC_LEFT + MINI_LEFT + nx * 2000 / sw - w_tw / 2, PIC_TOP + MINI_TOP + ny * 1600 / sh - h_tw / 2)


def _settings(position: str = "100;200", enlarged: int = 0) -> str:
    return (f"[settings]\nscrfile=\nposition={position}\nblink=0\nenlarged={enlarged}\norientation=1\n"
            "[applist]\napp0=-1;0;1;MAPI Client (Mail);;2;Internal;;;\n")


# ----- driving the dialog ---------------------------------------------------------------

def _rect(rec) -> tuple[int, int, int, int]:
    return tuple(int(v) for v in rec["rect"].split(","))


class Page:
    """The Position page as the tree shows it: screen rectangles in pixels."""

    def __init__(self, h: Harness):
        tree = h.probe("tree", CAPTION)
        classes = {PIC_SCREEN: "Static", PIC_POINTER: "Vigilumen.Pointer", IMG_DRAG: "Static"}
        by_id = {int(r["id"]): r for r in tree
                 if r.get("id", "").isdigit() and classes.get(int(r["id"])) == r.get("class")}
        missing = {PIC_SCREEN, PIC_POINTER, IMG_DRAG} - set(by_id)
        if missing:
            raise ScenarioFailed(f"controls {missing} not on the page")
        self.tree = tree
        self.screen = _rect(by_id[PIC_SCREEN])
        self.pointer = _rect(by_id[PIC_POINTER])
        self.pointer_visible = by_id[PIC_POINTER]["visible"] == "1"
        self.img_drag_visible = by_id[IMG_DRAG]["visible"] == "1"
        self.screen_visible = by_id[PIC_SCREEN]["visible"] == "1"
        frames = [r for r in tree if r.get("hwnd") == by_id[PIC_POINTER].get("parent")]
        self.frame = _rect(frames[0])
        self.tpp_x = PIC_WIDTH / (self.screen[2] - self.screen[0])
        self.tpp_y = PIC_HEIGHT / (self.screen[3] - self.screen[1])
        self.apply_enabled = _control(tree, "Apply")["enabled"] == "1"
        self.enlarge = _control(tree, "Enlarged Icons")

    def pointer_size(self) -> tuple[int, int]:
        return self.pointer[2] - self.pointer[0], self.pointer[3] - self.pointer[1]

    def pointer_centre(self) -> tuple[int, int]:
        l, t, r, b = self.pointer
        return (l + r) // 2, (t + b) // 2

    def on_picture(self, x_tw: float, y_tw: float) -> tuple[int, int]:
        """The screen pixel at X, Y twips on PicScreen (rounded up: a pixel inside the area)."""
        return (self.screen[0] + math.ceil(x_tw / self.tpp_x - 1e-9),
                self.screen[1] + math.ceil(y_tw / self.tpp_y - 1e-9))

    def twips_on_picture(self, sx: int, sy: int) -> tuple[float, float]:
        return (sx - self.screen[0]) * self.tpp_x, (sy - self.screen[1]) * self.tpp_y

    def pointer_rect_for(self, left_tw: float, top_tw: float, w_tw: float, h_tw: float):
        """Screen rectangle of the pointer placed at twips on the page, as the dialog rounds it."""
        l, t = self.frame[0] + px(left_tw, self.tpp_x), self.frame[1] + px(top_tw, self.tpp_y)
        return l, t, l + px(w_tw, self.tpp_x), t + px(h_tw, self.tpp_y)


def _control(tree, text):
    found = [r for r in tree if r.get("text") == text and r.get("class") == "Button"]
    if not found:
        raise ScenarioFailed(f"no control {text!r}")
    visible = [r for r in found if r.get("visible") == "1"]
    return (visible or found)[0]


def _open_page(h: Harness, app):
    product = h.start(app.scr, "/c")
    h.wait_until(lambda: (h.probe_one("find", CAPTION) or {}).get("visible") == "1", 20, "the configuration dialog")
    h.probe("activate", CAPTION, check=False)
    h.probe("tab", CAPTION, "2")
    time.sleep(0.4)
    return product


def _press(h: Harness, at, button: int = 1):
    h.xdotool("mousemove", at[0], at[1])
    time.sleep(0.15)
    h.xdotool("mousedown", button)
    time.sleep(0.15)


def _move(h: Harness, frm, to, steps: int = 8):
    for i in range(1, steps + 1):
        x = round(frm[0] + (to[0] - frm[0]) * i / steps)
        y = round(frm[1] + (to[1] - frm[1]) * i / steps)
        h.xdotool("mousemove", x, y)
        time.sleep(0.04)
    time.sleep(0.2)


def _release(h: Harness, button: int = 1):
    h.xdotool("mouseup", button)
    time.sleep(0.3)


def _drag(h: Harness, page: Page, to, shot: str | None = None, button: int = 1):
    """Presses on the pointer, moves in steps to `to`, optionally photographs
    the screen with the button still held, releases."""
    start = page.pointer_centre()
    _press(h, start, button)
    _move(h, start, to)
    png = h.screenshot(shot) if shot else None
    cursor = cursor_image(h.display)
    _release(h, button)
    return png, cursor


def _ok(h: Harness, product):
    h.probe("click", CAPTION, "OK")
    if product.wait(5) is None:
        raise ScenarioFailed("OK did not end the program")


def _cancel(h: Harness, product):
    h.probe("click", CAPTION, "Cancel")
    if product.wait(5) is None:
        raise ScenarioFailed("Cancel did not end the program")


def screen_size_read(h: Harness) -> tuple[int, int]:
    """The size of a maximised window the program read, found from where it
    places the pointer for a far-out stored position: only one screen size
    puts it on that pixel."""
    app = h.app_folder(ini=_settings(f"{FAR};{FAR}"), name="probe-size")
    product = _open_page(h, app)
    page = Page(h)
    _cancel(h, product)
    left, top = page.pointer[0] - page.frame[0], page.pointer[1] - page.frame[1]
    widths = [sw for sw in range(200, 5000)
              if px(placed_left_top(FAR, 0, sw, 1, 200, 100)[0], page.tpp_x) == left]
    heights = [sh for sh in range(200, 5000)
               if px(placed_left_top(0, FAR, 1, sh, 200, 100)[1], page.tpp_y) == top]
    if len(widths) != 1 or len(heights) != 1:
        raise ScenarioFailed(f"screen size not determined: widths {widths[:5]}, heights {heights[:5]}")
    (h.dir / "screen-size.txt").write_text(f"{widths[0]}x{heights[0]}\n")
    if not (1024 <= widths[0] <= 1100 and 768 <= heights[0] <= 850):
        raise ScenarioFailed(f"a maximised window of {widths[0]}x{heights[0]} on a 1024x768 screen")
    return widths[0], heights[0]


# ----- the mouse cursor, from the X server ----------------------------------------------

class _XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def cursor_image(display: str):
    """(width, height, xhot, yhot, ARGB pixels) of the cursor now shown, or None.
    Screenshots never contain the cursor, so the no-entry image is checked here."""
    try:
        x11 = ctypes.CDLL("libX11.so.6")
        xfixes = ctypes.CDLL("libXfixes.so.3")
    except OSError:
        return None
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_XFixesCursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        return None
    try:
        img = xfixes.XFixesGetCursorImage(dpy)
        if not img:
            return None
        c = img.contents
        pixels = [c.pixels[i] & 0xFFFFFFFF for i in range(c.width * c.height)]
        result = (c.width, c.height, c.xhot, c.yhot, pixels)
        x11.XFree(img)
        return result
    finally:
        x11.XCloseDisplay(dpy)


def is_no_entry_cursor(cursor) -> bool:
    """The white no-entry sign: 32 x 32 with its hot spot in the middle, a
    white disc with a dark ring and bar, transparent corners."""
    if cursor is None:
        return False
    w, h, xhot, yhot, pixels = cursor
    if (w, h, xhot, yhot) != (32, 32, 16, 16):
        return False
    alpha = [(p >> 24) & 0xFF for p in pixels]
    white = sum(1 for p in pixels if (p >> 24) & 0xFF > 200 and (p & 0xFFFFFF) > 0xE0E0E0)
    dark = sum(1 for p in pixels if (p >> 24) & 0xFF > 200 and all(((p >> s) & 0xFF) < 64 for s in (0, 8, 16)))
    return alpha[0] == 0 and alpha[31] == 0 and white > 100 and dark > 100


# ----- scenarios ------------------------------------------------------------------------------

def scenario_drop_in_the_miniature_stores_the_mapped_position(h: Harness):
    sw, sh = screen_size_read(h)
    app = h.app_folder(ini=_settings("100;200"))
    product = _open_page(h, app)
    page = Page(h)
    before = h.screenshot("page-before-drag")
    target = page.on_picture(1500, 1200)
    x_tw, y_tw = page.twips_on_picture(*target)
    shot, cursor = _drag(h, page, target, shot="dragging-outline-over-the-glass")
    if is_no_entry_cursor(cursor):
        raise ScenarioFailed("the no-entry image shows inside the drop area")
    # The inverted outline follows the mouse: pixels around the target differ from the page before.
    old, new = h.pixels(before), h.pixels(shot)
    changed = sum(1 for x in range(target[0] - 8, target[0] + 9) for y in range(target[1] - 5, target[1] + 6)
                  if old.at(x, y) != new.at(x, y))
    if changed < 10:
        raise ScenarioFailed(f"no outline near the mouse while dragging ({changed} pixels changed)")
    after = Page(h)
    want = page.pointer_rect_for(PIC_LEFT + x_tw - 100, PIC_TOP + y_tw - 50, 200, 100)
    if after.pointer != want:
        raise ScenarioFailed(f"pointer at {after.pointer} after the drop, want {want} (centred on {target})")
    if not after.apply_enabled:
        raise ScenarioFailed("a drop did not enable Apply")
    h.screenshot("page-after-drop")
    _ok(h, product)
    position = app.read_ini()["settings"]["position"]
    expected = "%d;%d" % mapped(x_tw, y_tw, sw, sh)
    if position != expected:
        raise ScenarioFailed(f"position {position}, want {expected} for a drop at {x_tw},{y_tw} twips on {sw}x{sh}")


def scenario_drop_on_the_miniature_corner_stores_20_20_and_reopens_there(h: Harness):
    sw, sh = screen_size_read(h)
    app = h.app_folder(ini=_settings("300;300"))
    product = _open_page(h, app)
    page = Page(h)
    corner = page.on_picture(MINI_LEFT, MINI_TOP)
    x_tw, y_tw = page.twips_on_picture(*corner)
    _drag(h, page, corner, shot="dragging-to-the-corner")
    dropped = Page(h)
    at_drop = page.pointer_rect_for(PIC_LEFT + x_tw - 100, PIC_TOP + y_tw - 50, 200, 100)
    if dropped.pointer != at_drop:
        raise ScenarioFailed(f"pointer at {dropped.pointer}, want it centred on the corner: {at_drop}")
    _ok(h, product)
    if app.read_ini()["settings"]["position"] != "20;20":
        raise ScenarioFailed(f"position {app.read_ini()['settings']['position']} after a drop on the corner")

    product = _open_page(h, app)
    reopened = Page(h)
    want = page.pointer_rect_for(*placed_left_top(20, 20, sw, sh, 200, 100), 200, 100)
    h.screenshot("reopened-at-20-20")
    if reopened.pointer != want or reopened.pointer == at_drop:
        raise ScenarioFailed(f"reopened pointer at {reopened.pointer}, want {want} (the drop left it at {at_drop})")
    _cancel(h, product)


def scenario_drops_outside_the_drop_area_change_nothing(h: Harness):
    app = h.app_folder(ini=_settings("100;200"))
    before_file = app.ini.read_bytes()
    product = _open_page(h, app)
    page = Page(h)
    start = page.pointer
    # The page beside the picture: the no-entry image, and nothing moves.
    beside = (page.frame[0] + px(400, page.tpp_x), page.frame[1] + px(1500, page.tpp_y))
    _, cursor = _drag(h, page, beside, shot="dragging-over-the-page")
    if not is_no_entry_cursor(cursor):
        raise ScenarioFailed(f"the cursor over the page is not the no-entry sign: {cursor and cursor[:4]}")
    # The monitor's frame inside the picture, past the drop area's right edge.
    frame = page.on_picture(2600, 1000)
    _, cursor = _drag(h, page, frame, shot="dragging-over-the-monitor-frame")
    if not is_no_entry_cursor(cursor):
        raise ScenarioFailed("the cursor over the monitor's frame is not the no-entry sign")
    # Below the drop area, still on the glass.
    _drag(h, page, page.on_picture(1200, 1815))
    # Outside the dialog altogether.
    _drag(h, page, (page.frame[0] - 60, page.frame[1] + 40))
    # Straight back onto the pointer itself.
    _drag(h, page, page.pointer_centre())
    after = Page(h)
    if after.pointer != start:
        raise ScenarioFailed(f"pointer moved from {start} to {after.pointer}")
    if after.apply_enabled:
        raise ScenarioFailed("a refused drop enabled Apply")
    _ok(h, product)
    ini = app.read_ini()["settings"]
    if ini["position"] != "100;200":
        raise ScenarioFailed(f"position {ini['position']} after refused drops")
    if app.ini.read_bytes() != before_file:
        raise ScenarioFailed("OK without changes rewrote the settings file")


def scenario_the_drop_area_edge_is_inside_and_one_pixel_past_it_is_not(h: Harness):
    sw, sh = screen_size_read(h)
    app = h.app_folder(ini=_settings("100;200"))
    product = _open_page(h, app)
    page = Page(h)
    # The last pixel whose twips are within the drop area, and the next one.
    last = (page.screen[0] + math.floor(DROP_RIGHT / page.tpp_x), page.screen[1] + math.floor(DROP_BOTTOM / page.tpp_y))
    _drag(h, page, (last[0] + 1, last[1] + 1))
    if Page(h).pointer != page.pointer:
        raise ScenarioFailed("a drop one pixel past the drop area moved the pointer")
    _drag(h, page, last, shot="dragging-to-the-drop-area-edge")
    x_tw, y_tw = page.twips_on_picture(*last)
    _ok(h, product)
    want = "%d;%d" % mapped(x_tw, y_tw, sw, sh)
    if app.read_ini()["settings"]["position"] != want:
        raise ScenarioFailed(f"position {app.read_ini()['settings']['position']}, want {want}")


def scenario_any_mouse_button_drags_the_pointer(h: Harness):
    app = h.app_folder(ini=_settings("100;200"))
    product = _open_page(h, app)
    for button in (3, 2):  # right, then middle
        page = Page(h)
        target = page.on_picture(900 + 300 * button, 1000)
        x_tw, y_tw = page.twips_on_picture(*target)
        _drag(h, page, target, button=button)
        want = page.pointer_rect_for(PIC_LEFT + x_tw - 100, PIC_TOP + y_tw - 50, 200, 100)
        if Page(h).pointer != want:
            raise ScenarioFailed(f"button {button}: pointer at {Page(h).pointer}, want {want}")
    if h.probe_one("find", CAPTION) is None:
        raise ScenarioFailed("the dialog went away")
    _cancel(h, product)
    if app.read_ini()["settings"]["position"] != "100;200":
        raise ScenarioFailed("Cancel saved the dragged position")


def scenario_enlarged_icons_resizes_the_pointer_in_place(h: Harness):
    app = h.app_folder(ini=_settings("512;384"))
    product = _open_page(h, app)
    page = Page(h)
    tx, ty = page.tpp_x, page.tpp_y
    if page.pointer_size() != (px(200, tx), px(100, ty)):
        raise ScenarioFailed(f"pointer {page.pointer_size()} after the load, want 200 x 100 twips")
    l, t, r, b = _rect(page.enlarge)
    box = (l + 6, (t + b) // 2)
    h.xdotool("mousemove", *box)
    h.xdotool("click", 1)
    time.sleep(0.4)
    enlarged = Page(h)
    h.screenshot("enlarged-pointer")
    if enlarged.enlarge["check"] != "1":
        raise ScenarioFailed("the click did not check Enlarged Icons")
    if enlarged.pointer_size() != (px(300, tx), px(200, ty)) or enlarged.pointer[:2] != page.pointer[:2]:
        raise ScenarioFailed(f"enlarged pointer {enlarged.pointer}, want 300 x 200 twips from {page.pointer[:2]}")
    if not enlarged.apply_enabled:
        raise ScenarioFailed("checking Enlarged Icons did not enable Apply")
    h.xdotool("click", 1)
    time.sleep(0.4)
    normal = Page(h)
    if normal.pointer_size() != (px(150, tx), px(100, ty)) or normal.pointer[:2] != page.pointer[:2]:
        raise ScenarioFailed(f"pointer {normal.pointer} after unchecking, want 150 x 100 twips in place")
    _ok(h, product)
    if app.read_ini()["settings"]["enlarged"] != "0":
        raise ScenarioFailed("enlarged not saved as 0")


def scenario_stored_enlarged_pointer_is_placed_with_its_size(h: Harness):
    sw, sh = screen_size_read(h)
    app = h.app_folder(ini=_settings("512;384", enlarged=1))
    product = _open_page(h, app)
    page = Page(h)
    want = page.pointer_rect_for(*placed_left_top(512, 384, sw, sh, 300, 200), 300, 200)
    if page.pointer != want or page.enlarge["check"] != "1":
        raise ScenarioFailed(f"pointer {page.pointer}, want {want} with Enlarged Icons checked")
    if page.apply_enabled:
        raise ScenarioFailed("Apply enabled right after the load")
    if not page.pointer_visible or not page.screen_visible or page.img_drag_visible:
        raise ScenarioFailed("PicScreen and PicPointer must show, imgDrag stays hidden")
    # The monitor stands on the page without a box of another grey around it.
    shot = h.pixels(h.screenshot("enlarged-at-load"))
    corner, beside = shot.at(page.screen[0] + 1, page.screen[1] + 1), shot.at(page.screen[0] - 2, page.screen[1] + 1)
    if corner != beside:
        raise ScenarioFailed(f"the picture's background {corner} differs from the page {beside}")
    _cancel(h, product)


def scenario_a_hand_edited_huge_position_does_not_end_the_program(h: Harness):
    app = h.app_folder(ini=_settings("2147483647;-2147483648"))
    product = _open_page(h, app)
    page = Page(h)
    h.screenshot("huge-position")
    if not product.running():
        raise ScenarioFailed("the program ended on a huge stored position")
    if page.pointer[0] <= page.screen[2] or page.pointer[3] >= page.screen[1]:
        raise ScenarioFailed(f"pointer at {page.pointer}: want it right of and above the picture {page.screen}")
    # The dialog goes on working, and OK keeps the stored values as they were.
    l, t, r, b = _rect(page.enlarge)
    h.xdotool("mousemove", l + 6, (t + b) // 2)
    h.xdotool("click", 1)
    time.sleep(0.4)
    if Page(h).pointer_size() != (px(300, page.tpp_x), px(200, page.tpp_y)):
        raise ScenarioFailed("Enlarged Icons did not resize the far-away pointer")
    _ok(h, product)
    ini = app.read_ini()["settings"]
    if ini["position"] != "2147483647;-2147483648" or ini["enlarged"] != "1":
        raise ScenarioFailed(f"settings after OK: {ini}")
