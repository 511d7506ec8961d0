"""The Position page: dragging the notification pointer onto the miniature
of the screen with the real mouse, and the pointer's size."""

from __future__ import annotations

import ctypes
import math
import time

from harness import ConfigDialog, Harness, ScenarioFailed, centre, expect, mail_record, rect, settings_ini

PIC_SCREEN, PIC_POINTER, IMG_DRAG = "406", "407", "408"

# The page's geometry, twips: PicScreen on the page, the glass inside it.
PIC_LEFT, PIC_TOP, PIC_WIDTH, PIC_HEIGHT = 945, 225, 2925, 2700
MINI_LEFT, MINI_TOP, MINI_WIDTH, MINI_HEIGHT = 450, 400, 2000, 1600
DROP_RIGHT, DROP_BOTTOM = 2300, 1800

# A stored position this far out moves the pointer by pixels for every pixel
# of screen size, so its place tells the screen size the program read.
FAR = 20000


def px(twips: float, tpp: float) -> int:
    """Twips to pixels as the dialog converts them (halves away from zero)."""
    q = twips / tpp
    return int(math.floor(q + 0.5)) if q >= 0 else -int(math.floor(-q + 0.5))


def mapped(x_tw: float, y_tw: float, sw: int, sh: int) -> tuple[int, int]:
    # Python's round() takes halves to the even neighbour, as the program does.
    x = round((x_tw - MINI_LEFT) * sw / MINI_WIDTH)
    y = round((y_tw - MINI_TOP) * sh / MINI_HEIGHT)
    return min(max(x, 20), sw - 50), min(max(y, 20), sh - 40)


def placed_left_top(nx: int, ny: int, sw: int, sh: int, w_tw: float, h_tw: float) -> tuple[float, float]:
    """Top-left corner of the pointer (twips on the page) for a stored position."""
    return (PIC_LEFT + MINI_LEFT + nx * 2000 / sw - w_tw / 2, PIC_TOP + MINI_TOP + ny * 1600 / sh - h_tw / 2)


def _settings(position: str, enlarged: int = 0) -> str:
    return settings_ini("", [mail_record()], position=position, blink=0, enlarged=enlarged, orientation=1)


class Page:
    """The Position page as the tree shows it now: screen rectangles in pixels."""

    def __init__(self, d: ConfigDialog):
        tree = d.tree()
        classes = {PIC_SCREEN: "Static", PIC_POINTER: "Vigilumen.Pointer", IMG_DRAG: "Static"}
        by_id = {r["id"]: r for r in tree if r.get("id") in classes and classes[r["id"]] == r.get("class")}
        if set(by_id) != set(classes):
            raise ScenarioFailed(f"controls {set(classes) - set(by_id)} not on the page")
        self.screen, self.pointer = rect(by_id[PIC_SCREEN]), rect(by_id[PIC_POINTER])
        self.visible = tuple(by_id[i]["visible"] == "1" for i in (PIC_SCREEN, PIC_POINTER, IMG_DRAG))
        self.frame = rect(next(r for r in tree if r.get("hwnd") == by_id[PIC_POINTER].get("parent")))
        # The picture's pixels are its twips at the screen's DPI, rounded.
        self.tpp_x = 1440 / round(1440 * (self.screen[2] - self.screen[0]) / PIC_WIDTH)
        self.tpp_y = 1440 / round(1440 * (self.screen[3] - self.screen[1]) / PIC_HEIGHT)
        self.apply_enabled = d.button("Apply", tree)["enabled"] == "1"
        self.enlarge = d.button("Enlarged Icons", tree)

    def size(self, w_tw: float, h_tw: float) -> tuple[int, int]:
        return px(w_tw, self.tpp_x), px(h_tw, self.tpp_y)

    def pointer_size(self) -> tuple[int, int]:
        return self.pointer[2] - self.pointer[0], self.pointer[3] - self.pointer[1]

    def on_picture(self, x_tw: float, y_tw: float) -> tuple[int, int]:
        """The screen pixel at X, Y twips on PicScreen (rounded up: a pixel inside the area)."""
        return (self.screen[0] + math.ceil(x_tw / self.tpp_x - 1e-9),
                self.screen[1] + math.ceil(y_tw / self.tpp_y - 1e-9))

    def last_inside(self) -> tuple[int, int]:
        """The last pixel whose twips are within the drop area."""
        return (self.screen[0] + math.floor(DROP_RIGHT / self.tpp_x),
                self.screen[1] + math.floor(DROP_BOTTOM / self.tpp_y))

    def twips_on_picture(self, at) -> tuple[float, float]:
        return (at[0] - self.screen[0]) * self.tpp_x, (at[1] - self.screen[1]) * self.tpp_y

    def pointer_rect_for(self, left_tw: float, top_tw: float, w_tw: float = 200, h_tw: float = 100):
        """Screen rectangle of the pointer placed at twips on the page, as the dialog rounds it."""
        l, t = self.frame[0] + px(left_tw, self.tpp_x), self.frame[1] + px(top_tw, self.tpp_y)
        return (l, t, *(a + b for a, b in zip((l, t), self.size(w_tw, h_tw))))

    def centred_on(self, at):
        """The normal pointer's rectangle after a drop at this pixel."""
        x_tw, y_tw = self.twips_on_picture(at)
        return self.pointer_rect_for(PIC_LEFT + x_tw - 100, PIC_TOP + y_tw - 50)


def _drag(h: Harness, page: Page, to, shot: str | None = None, button: int = 1):
    """Presses on the pointer, moves in steps to `to`, photographs the screen
    with the button still held if asked, releases: (screenshot, cursor then)."""
    start = centre(page.pointer)
    h.xdotool("mousemove", *start)
    time.sleep(0.15)
    h.xdotool("mousedown", button)
    time.sleep(0.15)
    for i in range(1, 9):
        h.xdotool("mousemove", *(round(a + (b - a) * i / 8) for a, b in zip(start, to)))
        time.sleep(0.04)
    time.sleep(0.2)
    png = h.screenshot(shot) if shot else None
    cursor = cursor_image(h.display)
    h.xdotool("mouseup", button)
    time.sleep(0.3)
    return png, cursor


def _click_enlarge(h: Harness, page: Page):
    l, t, r, b = rect(page.enlarge)
    h.xdotool("mousemove", l + 6, (t + b) // 2)
    h.xdotool("click", 1)
    time.sleep(0.4)


def screen_size_read(h: Harness) -> tuple[int, int]:
    """The size of a maximised window the program read, found from where it
    places the pointer for a far-out stored position: only one screen size
    puts it on that pixel."""
    d = ConfigDialog(h, h.app_folder(ini=_settings(f"{FAR};{FAR}"), name="probe-size"), tab=2)
    page = Page(d)
    d.cancel()
    left, top = page.pointer[0] - page.frame[0], page.pointer[1] - page.frame[1]
    widths = [sw for sw in range(200, 5000) if px(placed_left_top(FAR, 0, sw, 1, 200, 100)[0], page.tpp_x) == left]
    heights = [sh for sh in range(200, 5000) if px(placed_left_top(0, FAR, 1, sh, 200, 100)[1], page.tpp_y) == top]
    if len(widths) != 1 or len(heights) != 1:
        raise ScenarioFailed(f"screen size not determined: widths {widths[:5]}, heights {heights[:5]}")
    (h.dir / "screen-size.txt").write_text(f"{widths[0]}x{heights[0]}\n")
    if not (1024 <= widths[0] <= 1100 and 768 <= heights[0] <= 850):
        raise ScenarioFailed(f"a maximised window of {widths[0]}x{heights[0]} on a 1024x768 screen")
    return widths[0], heights[0]


class _XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def cursor_image(display: str):
    """(width, height, xhot, yhot, ARGB pixels) of the cursor now shown, or None.
    Screenshots never contain the cursor, so the no-entry image is checked here."""
    try:
        x11, xfixes = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXfixes.so.3")
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
        result = (c.width, c.height, c.xhot, c.yhot, [c.pixels[i] & 0xFFFFFFFF for i in range(c.width * c.height)])
        x11.XFree(img)
        return result
    finally:
        x11.XCloseDisplay(dpy)


def is_no_entry_cursor(cursor) -> bool:
    """The white no-entry sign: 32 x 32 with its hot spot in the middle, a
    white disc with a dark ring and bar, transparent corners."""
    if cursor is None or cursor[:4] != (32, 32, 16, 16):
        return False
    opaque = [p & 0xFFFFFF for p in cursor[4] if (p >> 24) & 0xFF > 200]
    white = sum(1 for p in opaque if p > 0xE0E0E0)
    dark = sum(1 for p in opaque if all(((p >> s) & 0xFF) < 64 for s in (0, 8, 16)))
    return cursor[4][0] >> 24 == 0 and cursor[4][31] >> 24 == 0 and white > 100 and dark > 100


def scenario_drops_outside_the_drop_area_change_nothing(h: Harness):
    app = h.app_folder(ini=_settings("100;200"))
    before = app.ini.read_bytes()
    d = ConfigDialog(h, app, tab=2)
    page = Page(d)
    # Beside the picture, and on the monitor's frame past the drop area's right edge: the no-entry image.
    for where, at in (("page", (page.frame[0] + px(400, page.tpp_x), page.frame[1] + px(1500, page.tpp_y))),
                      ("monitor-frame", page.on_picture(2600, 1000))):
        cursor = _drag(h, page, at, shot=f"dragging-over-the-{where}")[1]
        if not is_no_entry_cursor(cursor):
            raise ScenarioFailed(f"the cursor over the {where} is not the no-entry sign: {cursor and cursor[:4]}")
    # One pixel past the drop area's corner, below it on the glass, outside
    # the dialog, and straight back onto the pointer itself.
    last = page.last_inside()
    for at in ((last[0] + 1, last[1] + 1), page.on_picture(1200, 1815), (page.frame[0] - 60, page.frame[1] + 40),
               centre(page.pointer)):
        _drag(h, page, at)
    after = Page(d)
    expect("pointer and Apply after refused drops", (after.pointer, after.apply_enabled), (page.pointer, False))
    d.ok()
    if app.ini.read_bytes() != before:
        raise ScenarioFailed("OK without changes rewrote the settings file")


def scenario_drops_in_the_drop_area_store_the_mapped_position(h: Harness):
    sw, sh = screen_size_read(h)
    app = h.app_folder(ini=_settings("100;200"))
    d = ConfigDialog(h, app, tab=2)
    page = Page(d)
    before = h.screenshot("page-before-drag")
    target = page.on_picture(1500, 1200)
    shot, cursor = _drag(h, page, target, shot="dragging-outline-over-the-glass")
    if is_no_entry_cursor(cursor):
        raise ScenarioFailed("the no-entry image shows inside the drop area")
    # The inverted outline follows the mouse: pixels around the target differ from the page before.
    old, new = h.pixels(before), h.pixels(shot)
    changed = sum(1 for x in range(target[0] - 8, target[0] + 9) for y in range(target[1] - 5, target[1] + 6)
                  if old.at(x, y) != new.at(x, y))
    if changed < 10:
        raise ScenarioFailed(f"no outline near the mouse while dragging ({changed} pixels changed)")
    after = Page(d)
    expect("pointer and Apply after the drop", (after.pointer, after.apply_enabled), (page.centred_on(target), True))
    d.click("Apply")
    expect("position applied", app.read_ini()["settings"]["position"],
           "%d;%d" % mapped(*page.twips_on_picture(target), sw, sh))

    # The drop area's last pixel is inside it; its top-left corner stores the smallest position.
    _drag(h, after, page.last_inside(), shot="dragging-to-the-drop-area-edge")
    edge = Page(d)
    expect("pointer after a drop on the drop area's edge", edge.pointer, page.centred_on(page.last_inside()))
    corner = page.on_picture(MINI_LEFT, MINI_TOP)
    _drag(h, edge, corner, shot="dragging-to-the-corner")
    expect("pointer after a drop on the corner", Page(d).pointer, page.centred_on(corner))
    d.ok()
    expect("position after a drop on the corner", app.read_ini()["settings"]["position"], "20;20")

    d = ConfigDialog(h, app, tab=2)
    reopened = Page(d)
    h.screenshot("reopened-at-20-20")
    expect("reopened pointer", reopened.pointer, page.pointer_rect_for(*placed_left_top(20, 20, sw, sh, 200, 100)))
    if reopened.pointer == page.centred_on(corner):
        raise ScenarioFailed("the reopened pointer lies where the drop left it, not at 20;20")
    # Any mouse button drags; Cancel keeps the stored position.
    for button in (3, 2):  # right, then middle
        target = page.on_picture(900 + 300 * button, 1000)
        _drag(h, Page(d), target, button=button)
        expect(f"pointer after a drag with button {button}", Page(d).pointer, page.centred_on(target))
    d.cancel()
    expect("position after Cancel", app.read_ini()["settings"]["position"], "20;20")


def scenario_enlarged_icons_resizes_the_pointer_where_it_stands_even_at_a_hand_edited_huge_position(h: Harness):
    """A stored enlarged pointer is placed with its size and shrinks in place;
    a huge hand-edited position ends nothing, and the pointer grows in place."""
    sw, sh = screen_size_read(h)
    for name, position, enlarged in (("stored", "512;384", 1), ("huge", "2147483647;-2147483648", 0)):
        app = h.app_folder(ini=_settings(position, enlarged=enlarged), name=name)
        d = ConfigDialog(h, app, tab=2)
        page = Page(d)
        shot = h.pixels(h.screenshot(f"{name}-at-load"))
        if not d.product.running():
            raise ScenarioFailed(f"{name}: the program ended at load")
        if enlarged:
            expect("pointer at load", page.pointer,
                   page.pointer_rect_for(*placed_left_top(512, 384, sw, sh, 300, 200), 300, 200))
            expect("PicScreen, PicPointer, imgDrag visible", page.visible, (True, True, False))
            # The monitor stands on the page without a box of another grey around it.
            expect("the picture's background beside the page's", shot.at(page.screen[0] + 1, page.screen[1] + 1),
                   shot.at(page.screen[0] - 2, page.screen[1] + 1))
        else:
            if page.pointer[0] <= page.screen[2] or page.pointer[3] >= page.screen[1]:
                raise ScenarioFailed(f"pointer at {page.pointer}: want it right of and above the picture {page.screen}")
            expect("pointer size at load", page.pointer_size(), page.size(200, 100))
        expect(f"{name}: Enlarged Icons and Apply at load", (page.enlarge["check"], page.apply_enabled),
               (str(enlarged), False))
        _click_enlarge(h, page)
        after = Page(d)
        h.screenshot(f"{name}-after-click")
        expect(f"{name}: after clicking Enlarged Icons",
               (after.enlarge["check"], after.pointer[:2], after.pointer_size(), after.apply_enabled),
               (str(1 - enlarged), page.pointer[:2], page.size(*((150, 100) if enlarged else (300, 200))), True))
        d.ok()
        ini = app.read_ini()["settings"]
        expect(f"{name}: settings after OK", (ini["position"], ini["enlarged"]), (position, str(1 - enlarged)))
