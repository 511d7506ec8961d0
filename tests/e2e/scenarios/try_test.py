"""Trying the dialog's choices over the chosen saver before leaving, and the
summary of what happened while the user was away."""

from __future__ import annotations

import datetime
import re
import shutil
import time
from pathlib import Path

from harness import (CAPTION, ConfigDialog, Harness, ScenarioFailed, close_to, end_saver, expect, mail_record, rect,
                     saver_starts, settings_ini, winpath)
from scenarios.position_test import Page, _drag, mapped, screen_size_read

WS_CHILD = 0x40000000
SUMMARY = "While you were away"
ICONS = Path(__file__).resolve().parents[3] / "data" / "QVX_data"


def _window_record(n: int, name: str, icon: str, caption: str, ticked: int = 1) -> str:
    return f"{n};1;{ticked};{name};;1;Wait for window;{icon};{caption};"


def _temporary_files(h: Harness) -> set[Path]:
    """The files a try leaves in the user's temporary folder."""
    return set((h.prefix / "drive_c" / "users").glob("*/**/Temp/vlt*.tmp"))


def _mouse_moves(h: Harness):
    """Someone comes back and moves the mouse over the saver."""
    for x, y in ((500, 400), (560, 450), (620, 500)):
        h.xdotool("mousemove", x, y)
        time.sleep(0.15)


def _carrier(h: Harness, saver_hwnd: str):
    found = [r for r in h.probe("tree", saver_hwnd, check=False) if r.get("class") == "Vigilumen.frmIcon"]
    return found[0] if found else None


def scenario_try_runs_the_unsaved_choices_over_the_chosen_saver_and_the_dialog_comes_back(h: Harness):
    records = [mail_record(0),
               _window_record(11, "Build", "window.ico", "Build finished"),
               _window_record(12, "Missing", "missing.ico", "Gone"),
               _window_record(13, "Report", "file.ico", "Report", ticked=0)]
    app = h.app_folder(ini=settings_ini("", records, position="100;120", blink=0, enlarged=0, orientation=2))
    for icon in ("window.ico", "file.ico"):
        shutil.copy2(ICONS / icon, app.data / icon)

    # No saver in the Windows folders: nothing to try.
    d = ConfigDialog(h, app, tab=2)
    expect("Try without a saver to choose", d.button("Try")["enabled"], "0")
    d.cancel()

    sw, sh = screen_size_read(h)
    windows = h.system_folder().parent
    saver = h.fake_saver(windows, "trysaver.scr", touchy=1)
    before = app.ini.read_bytes()
    d = ConfigDialog(h, app, tab=2)  # the only saver is chosen when the dialog opens, unsaved
    tree = d.tree()
    expect("Try and the option", (d.button("Try", tree)["enabled"], d.button(
        "List what happened while I was away", tree)["check"]), ("1", "0"))
    h.screenshot("position-page")
    # Unsaved choices: another arrangement, another position, one more record ticked.
    d.click("Horizontally")
    page = Page(d)
    target = page.on_picture(1300, 1000)
    _drag(h, page, target)
    want_x, want_y = mapped(*page.twips_on_picture(target), sw, sh)
    h.probe("tab", d.hwnd, "1")
    h.probe("lvcheck", d.hwnd, "3", "1")
    h.probe("tab", d.hwnd, "2")
    time.sleep(0.3)
    expect("Apply before trying", d.button("Apply")["enabled"], "1")
    earlier = _temporary_files(h)
    starts = len(saver_starts(saver))

    d.click("Try")
    h.wait_until(lambda: len(saver_starts(saver)) > starts, 20, "the saver to start")
    start = saver_starts(saver)[-1]
    if not start.rstrip().endswith("trysaver.scr /s"):
        raise ScenarioFailed(f"the saver's command line: {start}")
    log = saver.with_name("FakeSaver.log")
    hwnd = h.wait_until(lambda: ([l.split("hwnd=")[1].split()[0] for l in log.read_text().splitlines()
                                  if l.startswith("window hwnd=")][starts:] or [None])[-1], 20, "the saver's window")
    expect("dialog shown while trying", h.probe_one("find", CAPTION).get("visible"), "0")
    tried = _temporary_files(h) - earlier
    if len(tried) != 1:
        raise ScenarioFailed(f"the try's own settings files: {tried}")
    text = next(iter(tried)).read_bytes().decode("utf-16")
    for line in (f"position={want_x};{want_y}", "orientation=1", f"scrfile=C:\\windows\\trysaver.scr"):
        if line not in text.splitlines():
            raise ScenarioFailed(f"{line!r} not in the try's file:\n{text}")

    # Three ticked records, in list order, in a row at the dropped position.
    def placed():
        c = _carrier(h, hwnd)
        return c if c and rect(c) == (want_x, want_y, want_x + 96, want_y + 32) else None
    carrier = h.wait_until(placed, 12, f"the carrier of three icons at {want_x},{want_y}", interval=0.3)
    if carrier["parent"] != hwnd or not int(carrier["style"], 16) & WS_CHILD:
        raise ScenarioFailed(f"the carrier is not inside the saver's window: {carrier}")
    time.sleep(1.2)  # the overlay timer repaints the icons in their places
    img = h.snap(carrier["hwnd"], "tried-carrier")
    gold = img.count((0, 0, 32, 32), lambda p: p[0] > 180 and p[1] > 120 and p[2] < 90)  # the window's bell
    white = img.count((32, 0, 64, 32), lambda p: min(p) > 220)                          # the no-entry sign
    pencil = img.count((64, 0, 96, 32), lambda p: close_to(p, (240, 128, 140), 40))     # the file's eraser
    if gold < 15 or white < 60 or pencil < 4:
        raise ScenarioFailed(f"carrier content: gold {gold}, white {white}, eraser {pencil}")
    expect("settings file while trying", app.ini.read_bytes(), before)

    _mouse_moves(h)
    h.wait_file_text(log, "exit reason=mouse", 10)
    shown = h.wait_until(lambda: (lambda r: r if r and r.get("visible") == "1" else None)(h.probe_one("find", CAPTION)),
                         10, "the dialog to come back")
    expect("the same dialog", shown["hwnd"], d.hwnd)
    h.screenshot("dialog-back")
    tree = d.tree()
    expect("choices kept", (d.button("Horizontally", tree)["check"], d.button("Apply", tree)["enabled"]), ("1", "1"))
    expect("pointer kept", Page(d).pointer, page.centred_on(target))
    h.wait_until(lambda: not (_temporary_files(h) - earlier), 5, "the try's file to be removed")
    expect("settings file after trying", app.ini.read_bytes(), before)
    # A full save writes the choices tried, the option with them.
    # Just back, the dialog may still be finishing the try's end when the
    # box is looked up: the click is given a few chances.
    h.wait_until(lambda: h.probe("click", d.hwnd, "List what happened while I was away", check=False), 5,
                 "the option's box to take the click", interval=0.3)
    d.ok()
    saved = app.read_ini()["settings"]
    expect("saved", (saved["position"], saved["orientation"], saved["awaysummary"], saved["scrfile"]),
           (f"{want_x};{want_y}", "1", "1", "C:\\windows\\trysaver.scr"))



def scenario_a_try_whose_saver_cannot_start_says_so(h: Harness):
    """The saver file is deleted after it was chosen: Try shows its message
    instead of coming straight back, and nothing is saved."""
    windows = h.system_folder().parent
    saver = h.fake_saver(windows, "gonesaver.scr")
    app = h.app_folder(ini=settings_ini("", [mail_record()], position="100;120", blink=0, enlarged=0, orientation=2))
    before = app.ini.read_bytes()
    d = ConfigDialog(h, app, tab=2)
    expect("Try with the saver chosen", d.button("Try")["enabled"], "1")
    saver.unlink()
    d.click("Try")
    d.dismiss_message("The screen saver could not be tried.", "try-failed-message")
    expect("dialog shown after the failed try", h.probe_one("find", CAPTION).get("visible"), "1")
    d.cancel()
    expect("settings file", app.ini.read_bytes(), before)


def _away_run(h: Harness, name: str, summary: int):
    """A run over a saver that ends when the mouse moves, watching a window
    and a file, with the summary option as given: (app, saver, product, watched file, window stop file)."""
    saver = h.fake_saver(h.dir / name / "savers", touchy=1)
    watched = h.dir / name / "watched" / "report.txt"
    watched.parent.mkdir(parents=True)
    records = [mail_record(0), _window_record(11, "Build", "window.ico", "Build finished"),
               f"12;1;1;Report;{winpath(watched)};0;Watch for file update;file.ico;{winpath(watched)};"]
    app = h.app_folder(ini=settings_ini(winpath(saver), records, position="300;200", blink=0, enlarged=0,
                                        orientation=1, awaysummary=summary), name=f"{name}/app")
    for icon in ("window.ico", "file.ico"):
        shutil.copy2(ICONS / icon, app.data / icon)
    product = h.start_hosted(app, saver)
    time.sleep(3.5)  # the first watchdog tick confirms the saver
    return app, saver, product, watched, h.dir / name / "caption.stop"


def _events_happen(h: Harness, watched: Path, stop: Path) -> list[datetime.datetime]:
    """A watched window appears, then a watched file changes, a poll cycle
    or two apart: when each happened."""
    h.caption_window("Build finished", stop)
    appeared = datetime.datetime.now()
    time.sleep(6.5)  # two cycles: the window lasts, and stays one event
    watched.write_text("figures\n")
    changed = datetime.datetime.now()
    time.sleep(3.5)
    return [appeared, changed]


def _summary(h: Harness):
    r = h.probe_one("find", SUMMARY)
    return r if r and r.get("visible") == "1" else None


def scenario_the_summary_lists_what_happened_and_lets_a_new_run_start_until_esc_closes_it(h: Harness):
    app, saver, product, watched, stop = _away_run(h, "on", 1)
    happened = _events_happen(h, watched, stop)
    stop.touch()
    _mouse_moves(h)
    h.wait_file_text(saver.with_name("FakeSaver.log"), "exit reason=mouse", 10)
    window = h.wait_until(lambda: _summary(h), 10, "the summary window")
    if not product.running():
        raise ScenarioFailed("the program ended with its saver although there was something to tell")
    time.sleep(0.5)
    shot = h.screenshot("summary")
    tree = h.probe("tree", window["hwnd"])
    lines = [(r.get("text", ""), r.get("sub1"), r.get("sub2")) for r in tree if "sub2" in r]
    expect("what happened", [(name, what) for _, name, what in lines],
           [("Build", "window appeared"), ("Report", "file changed")])
    for (time_text, name, _), at in zip(lines, happened):
        match = re.fullmatch(r"(\d{1,2}):(\d{2})(?: ?([AP]M))?", time_text)
        if not match:
            raise ScenarioFailed(f"time of {name}: {time_text!r}")
        hour, minute = int(match[1]) % 12 if match[3] else int(match[1]), int(match[2])
        hour += 12 if match[3] == "PM" else 0
        shown_at = at.replace(hour=hour, minute=minute, second=0, microsecond=0)
        if not -60 <= (at - shown_at).total_seconds() < 120:
            raise ScenarioFailed(f"time of {name}: {time_text!r}, the event was at {at:%H:%M:%S}")
    # At the notification position, drawn, and not in the way: it has not taken the focus.
    r = rect(tree[0])
    if r[:2] != (300, 200):
        raise ScenarioFailed(f"summary at {r}")
    img = h.pixels(shot)
    area = (r[0], r[1], r[2], r[3])
    pixels = (r[2] - r[0]) * (r[3] - r[1])
    if img.count(area, lambda p: min(p) > 200) < pixels // 3 or img.count(area, lambda p: max(p) < 90) < 40:
        raise ScenarioFailed("the summary window is not drawn")
    if any(x.get("focus") == "1" for x in tree):
        raise ScenarioFailed("the summary took the focus")

    # While it is open, a new run starts normally, and without events ends with its saver.
    watched.unlink()
    again = h.start_hosted(app, saver)
    time.sleep(3.5)
    if not again.running():
        raise ScenarioFailed("a new run did not start while the summary was open")
    end_saver(saver, again)
    saver.with_name("FakeSaver.stop").unlink()
    if h.probe_one("find", SUMMARY).get("hwnd") != window["hwnd"]:
        raise ScenarioFailed("the run without events showed a summary")

    # Esc closes it once the user has clicked it, and the program ends.
    h.xdotool("mousemove", (r[0] + r[2]) // 2, r[3] - 12)
    h.xdotool("click", 1)
    time.sleep(0.4)
    if not any(x.get("focus") == "1" for x in h.probe("tree", window["hwnd"])):
        raise ScenarioFailed("the clicked summary has no focus")
    h.xdotool("key", "Escape")
    if product.wait(5) is None:
        raise ScenarioFailed("Esc did not close the summary and end the program")


def scenario_without_the_option_or_without_events_the_program_ends_with_its_saver(h: Harness):
    app, saver, product, watched, stop = _away_run(h, "off", 0)
    _events_happen(h, watched, stop)
    stop.touch()
    _mouse_moves(h)
    if product.wait(5) is None:
        raise ScenarioFailed("the program did not end with its saver, the option off")
    app, saver, product, watched, stop = _away_run(h, "quiet", 1)
    time.sleep(3.5)
    _mouse_moves(h)
    if product.wait(5) is None:
        raise ScenarioFailed("the program did not end with its saver, nothing having happened")
    if h.probe_one("find", SUMMARY):
        raise ScenarioFailed("a summary was shown")

