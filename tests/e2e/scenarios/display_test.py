"""Notification icons over the running saver: the carrier window inside the
saver's window, its layout, blinking, and what it shows."""

import shutil
import time

from harness import Harness, ScenarioFailed, close_to, end_saver, mail_record, rect, saver_window, settings_ini, winpath

WS_CHILD, WS_POPUP = 0x40000000, 0x80000000


class Run:
    """A run of the program over the fake saver with caption windows open."""

    def __init__(self, h: Harness, icons: list[str], name: str = "run", saver_cfg=None, mail_records: int = 0,
                 env: dict | None = None, **settings):
        self.h = h
        self.saver = h.fake_saver(h.dir / name / "savers", **(saver_cfg or {}))
        captions = [f"Event window {i}" for i in range(len(icons))]
        records = [f"{10 + i};1;1;Window {10 + i};{c};1;Wait for window;{icon};{c};"
                   for i, (icon, c) in enumerate(zip(icons, captions))]
        settings = {"position": "100;120", "blink": 0, "enlarged": 0, "orientation": 1, **settings}
        mail = [mail_record(1)] * mail_records or [mail_record(0)]
        self.app = h.app_folder(ini=settings_ini(winpath(self.saver), [*mail, *records], **settings),
                                name=f"{name}/app")
        for icon in icons:
            if not icon.startswith("missing"):
                shutil.copy2(h.config.source_dir / "data" / "QVX_data" / "window.ico", self.app.data / icon)
        self.stop = h.dir / name / "captions.stop"
        for caption in captions:
            h.caption_window(caption, self.stop)
        self.product = h.start_hosted(self.app, self.saver, env=env)
        self.saver_hwnd = saver_window(self.saver)

    def carrier(self):
        found = [r for r in self.h.probe("tree", self.saver_hwnd, check=False) if r.get("class") == "Vigilumen.frmIcon"]
        return found[0] if found else None

    def wait_carrier(self, size: tuple[int, int], left: int, top: int):
        """The carrier of this size, checked to be a child of the saver's window at left, top."""
        def placed():
            c = self.carrier()
            return c if c and _size(rect(c)) == size else None
        carrier = self.h.wait_until(placed, 12, f"the carrier sized {size}", interval=0.3)
        style = int(carrier["style"], 16)
        if carrier["parent"] != self.saver_hwnd or not style & WS_CHILD or style & WS_POPUP:
            raise ScenarioFailed(f"carrier is not a child of the saver's window: {carrier}")
        if rect(carrier)[:2] != (left, top):
            raise ScenarioFailed(f"carrier at {carrier['rect']}, want {left},{top}")
        return carrier

    def rects_over(self, seconds: float) -> set[tuple[int, ...]]:
        seen, deadline = set(), time.monotonic() + seconds
        while time.monotonic() < deadline:
            c = self.carrier()
            if c:
                seen.add(rect(c))
            time.sleep(0.15)
        return seen

    def check_blinks(self, name: str):
        """The carrier seen at its place and off the screen within 3 s."""
        lefts = {r[0] for r in self.rects_over(3)}
        if 100 not in lefts or not any(l < -1000 for l in lefts):
            raise ScenarioFailed(f"{name}: carrier lefts seen while blinking: {sorted(lefts)}")

    def end(self, timeout: float = 5):
        self.stop.touch()
        end_saver(self.saver, self.product, timeout)


def _size(r):
    return r[2] - r[0], r[3] - r[1]


def scenario_icons_lie_inside_the_saver_in_a_row_a_column_at_the_screen_edge_and_blink(h: Harness):
    """One steady icon at the stored position, three in a row, three enlarged
    in a column, a hand-edited position off the screen brought to its edge;
    blinking chosen, or forced by a saver of two processes."""
    one, three = ["window.ico"], ["a.ico", "b.ico", "c.ico"]
    for name, icons, size, (left, top), settings, saver_cfg in (
            ("one", one, (32, 32), (100, 120), {}, {}),
            ("row", three, (96, 32), (200, 300), {"position": "200;300"}, {}),
            ("column", three, (64, 192), (64, 48), {"position": "64;48", "orientation": 2, "enlarged": 1}, {}),
            ("off-screen", one, (32, 32), (1024 - 32, 0), {"position": "2147483647;-5"}, {}),
            ("blink-chosen", one, (32, 32), (100, 120), {"blink": 1}, {}),
            ("blink-two-processes", one, (32, 32), (100, 120), {}, {"child": 1})):
        run = Run(h, icons, name, saver_cfg, **settings)
        run.wait_carrier(size, left, top)
        if name.startswith("blink"):
            run.check_blinks(name)
        elif name == "one":
            # Without blinking it stays put, and the same event on the next tick adds nothing.
            seen = run.rects_over(3.5)
            if seen != {(100, 120, 132, 152)}:
                raise ScenarioFailed(f"carrier places seen: {sorted(seen)}")
        if not run.product.running():
            raise ScenarioFailed(f"{name}: the program ended")
        run.end()


def scenario_refused_reparenting_falls_back_to_a_topmost_window(h: Harness):
    """The carrier asked to become the child of a window that is gone stays a
    top-level window, topmost and never activating, and its icons show."""
    icon = h.config.source_dir / "data" / "QVX_data" / "window.ico"
    stop = h.dir / "check.stop"
    check = h.start(h.config.helpers["CarrierCheck"], winpath(icon), winpath(stop), log_name="check.out")
    out = h.wait_file_text(h.dir / "check.out", "carrier=", 20)
    fields = dict(f.split("=", 1) for f in out.strip().split("\t"))
    exstyle, style = int(fields["exstyle"], 16), int(fields["style"], 16)
    if fields["child"] != "0" or fields["parent"] != "0x0" or style & WS_CHILD or not style & WS_POPUP:
        raise ScenarioFailed(f"carrier after a refused re-parenting: {fields}")
    if exstyle & 0x08000088 != 0x08000088 or fields["visible"] != "1" or fields["foreground_kept"] != "1":
        raise ScenarioFailed(f"carrier is not a visible, topmost, never-activating tool window: {fields}")
    if fields["point_finds_saver"] != "1":
        raise ScenarioFailed("a point test over the icons finds the carrier, not the saver's window")
    time.sleep(0.5)
    img = h.pixels(h.screenshot("fallback-carrier"))
    first = img.count((200, 150, 232, 182), lambda p: not close_to(p, (0x20, 0x90, 0x40), 30))
    second = img.count((232, 150, 264, 182), lambda p: not close_to(p, (0x20, 0x90, 0x40), 30))
    if first < 300 or second < 100:
        raise ScenarioFailed(f"icon pixels on the screen: {first} and {second}")
    stop.touch()
    check.wait(5)


def scenario_carrier_shows_the_icon_and_the_no_entry_sign_for_a_missing_file(h: Harness):
    """Wine does not put a child window of another process on the screen, so
    the carrier's content is captured inside the program itself."""
    run = Run(h, ["window.ico", "missing.ico"], position="300;200")
    carrier = run.wait_carrier((64, 32), 300, 200)
    time.sleep(1.2)  # the overlay timer repaints the icons in their places
    img = h.snap(carrier["hwnd"])
    if (img.width, img.height) != (64, 32):
        raise ScenarioFailed(f"snapshot is {img.width} x {img.height}")
    blue = img.count((0, 0, 32, 32), lambda p: p[2] > 150 and p[0] < 120)      # the window's title bar
    gold = img.count((0, 0, 32, 32), lambda p: p[0] > 180 and p[1] > 120 and p[2] < 90)  # the bell
    white = img.count((32, 0, 64, 32), lambda p: min(p) > 220)                 # the no-entry ring and bar
    if blue < 15 or gold < 15 or white < 60:
        raise ScenarioFailed(f"carrier content: blue {blue}, gold {gold} in the icon; white {white} in the sign")
    # The missing file arrives: the repaints (from the file, looked at every
    # few seconds) show it over the sign, the kept picture notwithstanding.
    shutil.copy2(h.config.source_dir / "data" / "QVX_data" / "window.ico", run.app.data / "missing.ico")
    time.sleep(4.5)
    img = h.snap(carrier["hwnd"])
    arrived = img.count((32, 0, 64, 32), lambda p: p[2] > 150 and p[0] < 120)
    if arrived < 15:
        raise ScenarioFailed(f"the icon that arrived during the run is not shown: blue {arrived} in its place")
    run.end()
