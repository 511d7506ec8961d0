"""Notification icons over the running saver: the carrier window inside the
saver's window, its layout, blinking, and what it shows."""

import shutil
import time

from harness import Harness, ScenarioFailed, end_saver, settings_ini, winpath

WM_STYLE_CHILD = 0x40000000
WS_POPUP = 0x80000000


def _settings(saver, apps, position="100;120", blink=0, enlarged=0, orientation=1) -> str:
    return settings_ini(winpath(saver), ["-1;0;0;MAPI Client (Mail);;2;Internal;;;", *apps], position=position,
                        blink=blink, enlarged=enlarged, orientation=orientation)


def _window_record(n: int, icon: str, caption: str) -> str:
    return f"{n};1;1;Window {n};{caption};1;Wait for window;{icon};{caption};"


class Run:
    """A run of the program over the fake saver with caption windows open."""

    def __init__(self, h: Harness, icons: list[str], captions: list[str] | None = None, saver_cfg=None, **settings):
        self.h = h
        self.saver = h.fake_saver(h.dir / "savers", **(saver_cfg or {}))
        captions = captions or [f"Event window {i}" for i in range(len(icons))]
        records = [_window_record(10 + i, icon, c) for i, (icon, c) in enumerate(zip(icons, captions))]
        self.app = h.app_folder(ini=_settings(self.saver, records, **settings))
        sample = h.config.source_dir / "data" / "QVX_data" / "window.ico"
        for icon in icons:
            if icon and not icon.startswith("missing") and "\\" not in icon:
                shutil.copy2(sample, self.app.data / icon)
        self.stop = h.dir / "captions.stop"
        for caption in set(captions):
            h.start(h.config.helpers["CaptionWindow"], "--caption", caption, "--stop", winpath(self.stop))
        self.product = h.start_hosted(self.app, self.saver)
        text = self.saver.with_name("FakeSaver.log").read_text()
        windows = [l for l in text.splitlines() if l.startswith("window hwnd=")]
        self.saver_hwnd = windows[-1].split("hwnd=")[1].split()[0]

    def carrier(self):
        recs = self.h.probe("tree", self.saver_hwnd, check=False)
        found = [r for r in recs if r.get("class") == "Vigilumen.frmIcon"]
        return found[0] if found else None

    def wait_carrier(self, size: tuple[int, int], timeout=12):
        def placed():
            c = self.carrier()
            return c if c and _size(c) == size else None
        return self.h.wait_until(placed, timeout, f"the carrier sized {size}", interval=0.3)

    def end(self):
        self.stop.touch()
        end_saver(self.saver, self.product)


def _rect(rec):
    return tuple(int(v) for v in rec["rect"].split(","))


def _size(rec):
    l, t, r, b = _rect(rec)
    return r - l, b - t


def _check_child(run: Run, carrier, left, top):
    style = int(carrier["style"], 16)
    if carrier["parent"] != run.saver_hwnd or not style & WM_STYLE_CHILD or style & WS_POPUP:
        raise ScenarioFailed(f"carrier is not a child of the saver's window: {carrier}")
    if _rect(carrier)[:2] != (left, top):
        raise ScenarioFailed(f"carrier at {carrier['rect']}, want {left},{top}")


def scenario_one_icon_lies_inside_the_saver_at_the_notification_position(h: Harness):
    run = Run(h, ["window.ico"])
    carrier = run.wait_carrier((32, 32))
    _check_child(run, carrier, 100, 120)
    time.sleep(3.5)  # the same event on the next tick adds nothing
    if _size(run.carrier()) != (32, 32):
        raise ScenarioFailed(f"carrier grew to {run.carrier()['rect']}")
    run.end()


def scenario_three_icons_in_a_row(h: Harness):
    run = Run(h, ["a.ico", "b.ico", "c.ico"], position="200;300", orientation=1)
    _check_child(run, run.wait_carrier((96, 32)), 200, 300)
    run.end()


def scenario_three_icons_in_a_column_enlarged(h: Harness):
    run = Run(h, ["a.ico", "b.ico", "c.ico"], position="64;48", orientation=2, enlarged=1)
    _check_child(run, run.wait_carrier((64, 192)), 64, 48)
    run.end()


def _lefts_over(run: Run, seconds: float) -> set[int]:
    seen = set()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        c = run.carrier()
        if c:
            seen.add(_rect(c)[0])
        time.sleep(0.15)
    return seen


def scenario_blinking_moves_the_carrier_off_the_screen_and_back(h: Harness):
    run = Run(h, ["window.ico"], blink=1)
    run.wait_carrier((32, 32))
    lefts = _lefts_over(run, 3)
    if 100 not in lefts or not any(l < -1000 for l in lefts):
        raise ScenarioFailed(f"carrier lefts seen while blinking: {sorted(lefts)}")
    run.end()


def scenario_steady_icon_does_not_blink(h: Harness):
    run = Run(h, ["window.ico"], blink=0)
    run.wait_carrier((32, 32))
    lefts = _lefts_over(run, 2)
    if lefts != {100}:
        raise ScenarioFailed(f"carrier lefts without blinking: {sorted(lefts)}")
    run.end()


def scenario_saver_of_two_processes_forces_blinking(h: Harness):
    run = Run(h, ["window.ico"], blink=0, saver_cfg={"child": 1})
    run.wait_carrier((32, 32))
    lefts = _lefts_over(run, 3)
    if 100 not in lefts or not any(l < -1000 for l in lefts):
        raise ScenarioFailed(f"carrier lefts with a two-process saver: {sorted(lefts)}")
    run.end()


def scenario_refused_reparenting_falls_back_to_a_topmost_window(h: Harness):
    """The carrier asked to become the child of a window that is gone stays a
    top-level window, topmost and never activating, and its icons show."""
    from harness import close_to
    icon = h.config.source_dir / "data" / "QVX_data" / "window.ico"
    stop = h.dir / "check.stop"
    check = h.start(h.config.helpers["CarrierCheck"], winpath(icon), winpath(stop), log_name="check.out")
    out = h.dir / "check.out"
    h.wait_until(lambda: out.exists() and "carrier=" in out.read_text(), 20, "the carrier check")
    fields = dict(f.split("=", 1) for f in out.read_text().strip().split("\t"))
    exstyle, style = int(fields["exstyle"], 16), int(fields["style"], 16)
    if fields["child"] != "0" or fields["parent"] != "0x0" or style & WM_STYLE_CHILD or not style & WS_POPUP:
        raise ScenarioFailed(f"carrier after a refused re-parenting: {fields}")
    if exstyle & 0x08000088 != 0x08000088 or fields["visible"] != "1" or fields["foreground_kept"] != "1":
        raise ScenarioFailed(f"carrier is not a visible, topmost, never-activating tool window: {fields}")
    if fields["point_finds_saver"] != "1":
        raise ScenarioFailed("a point test over the icons finds the carrier, not the saver's window")
    time.sleep(0.5)
    img = h.pixels(h.screenshot("fallback-carrier"))
    green = (0x20, 0x90, 0x40)
    first = img.count((200, 150, 232, 182), lambda p: not close_to(p, green, 30))
    second = img.count((232, 150, 264, 182), lambda p: not close_to(p, green, 30))
    if first < 300 or second < 100:
        raise ScenarioFailed(f"icon pixels on the screen: {first} and {second}")
    stop.touch()
    check.wait(5)


def _snap(h: Harness, hwnd: str, label: str):
    bmp = h.dir / f"{label}.bmp"
    rec = h.probe("snap", hwnd, winpath(bmp))[0]
    if rec.get("ok") != "1" or rec.get("blank") != "0":
        raise ScenarioFailed(f"snapshot of the carrier: {rec}")
    png = h.dir / f"{label}.png"
    import subprocess
    subprocess.run(["convert", str(bmp), str(png)], check=True, timeout=30)
    return h.pixels(png)


def scenario_carrier_shows_the_icon_and_the_no_entry_sign_for_a_missing_file(h: Harness):
    """Wine does not put a child window of another process on the screen, so
    the carrier's content is captured inside the program itself."""
    run = Run(h, ["window.ico", "missing.ico"], position="300;200")
    carrier = run.wait_carrier((64, 32))
    time.sleep(1.2)  # the overlay timer repaints the icons in their places
    img = _snap(h, carrier["hwnd"], "carrier")
    if (img.width, img.height) != (64, 32):
        raise ScenarioFailed(f"snapshot is {img.width} x {img.height}")
    blue = img.count((0, 0, 32, 32), lambda p: p[2] > 150 and p[0] < 120)      # the window's title bar
    gold = img.count((0, 0, 32, 32), lambda p: p[0] > 180 and p[1] > 120 and p[2] < 90)  # the bell
    white = img.count((32, 0, 64, 32), lambda p: min(p) > 220)                 # the no-entry ring and bar
    if blue < 15 or gold < 15 or white < 60:
        raise ScenarioFailed(f"carrier content: blue {blue}, gold {gold} in the icon; white {white} in the sign")
    run.end()
