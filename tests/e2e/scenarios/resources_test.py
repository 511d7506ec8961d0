"""What a run holds: its GDI and USER objects stay where they settled while
watched windows come and go, watched files change and the icon carrier is
made again at every new size."""

import os
import shutil
import time

from harness import (Harness, ScenarioFailed, end_saver, mail_record, read_profile, rect, saver_window, settings_ini,
                     winpath)

# Read from outside as the soak benchmark reads them, since Wine answers
# neither GetGuiResources nor GetProcessHandleCount: the live entries of the
# process's GDI handle table, by kind, and the windows the process owns.
HELD = ("gdi_table", "gdi_dc", "gdi_region", "gdi_bitmap", "gdi_font", "gdi_brush", "windows")
ICON_PIXELS = 32
CYCLE = 3.0  # the watchdog's poll cycle
EVENT_SECONDS = 60  # from the saver's start to the last event


def _held(h: Harness, pid: int) -> dict[str, int]:
    rec = h.probe("resources", str(pid))[0]
    if "gdi_table" not in rec:
        raise ScenarioFailed(f"the program's GDI handle table could not be read: {rec}")
    return {k: int(rec[k]) for k in HELD}


def _settled(h: Harness, pid: int, when: str) -> dict[str, int]:
    """The counts once two readings a poll cycle apart agree. Tolerance 0:
    read every 2-3 s through this minute, a settled run never moved by one
    object of any kind, and once the carrier's picture is composed nothing
    the program draws needs a GDI object of its own. The second reading
    keeps what lives only while a picture is being made (the icons are drawn
    through a DC and bitmaps of Wine's) from counting as held."""
    readings = [_held(h, pid)]
    for _ in range(3):
        time.sleep(CYCLE)
        readings.append(_held(h, pid))
        if readings[-1] == readings[-2]:
            print(f"{when}: {readings[-1]}", flush=True)
            return readings[-1]
    raise ScenarioFailed(f"the counts {when} did not settle: {readings}")


def _program_pid(h: Harness) -> int:
    pids = [int(r["pid"]) for r in h.probe("procs") if r.get("exe", "").lower() == "vigilumen.scr"]
    if len(pids) != 1:
        raise ScenarioFailed(f"expected one Vigilumen process, found {pids}")
    return pids[0]


def _window_record(n: int, caption: str, icon: str) -> str:
    return f"{n};1;1;{caption};;1;Wait for window;{icon};{caption};"


def _file_record(n: int, path, icon: str) -> str:
    return f"{n};1;1;File {n};{winpath(path)};0;Watch for file update;{icon};{winpath(path)};"


def scenario_gdi_and_user_objects_stay_level_through_a_minute_of_events(h: Harness):
    """A minute of run mode, blinking. Two windows and a changed file show
    icons, the mail and another file lines of text; the counts are taken
    once that has settled. Then watched windows open and close, watched
    files change, an icon file is replaced, and eight records whose icon file
    is missing show the no-entry sign one after another: each new icon
    widens the carrier, whose picture is made again at the new size. The
    sign is one shared icon, so the run needs nothing more than before and
    the counts must end where they settled."""
    saver = h.fake_saver(h.dir / "savers")
    mapi_env, _ = h.fake_mapi("unread")
    watched = h.dir / "watched"
    watched.mkdir()
    report, notes = watched / "report.txt", watched / "notes.txt"
    an_hour_ago = time.time() - 3600
    for f in (report, notes):
        f.write_text("figures\n")
        os.utime(f, (an_hour_ago, an_hour_ago))  # so that any later touch is another date
    steady = ["Steady one", "Steady two"]
    arrivals = [f"Arrival {i:02d}" for i in range(8)]
    records = [mail_record(),
               _window_record(1, steady[0], "steady1.ico"), _window_record(2, steady[1], "steady2.ico"),
               _file_record(3, report, "report.ico"), _file_record(4, notes, "")]
    records += [_window_record(10 + i, c, f"gone{i}.ico") for i, c in enumerate(arrivals)]
    app = h.app_folder(ini=settings_ini(winpath(saver), records, position="100;120", blink=1, enlarged=0,
                                        orientation=1))
    icons = h.config.source_dir / "data" / "QVX_data"
    for icon in ("steady1.ico", "steady2.ico", "report.ico"):
        shutil.copy2(icons / "window.ico", app.data / icon)

    stops = {c: h.caption_window(c, h.dir / f"{c}-0.stop")[0] for c in steady}
    product = h.start_hosted(app, saver, env=mapi_env)
    started = time.monotonic()
    saver_hwnd = saver_window(saver)

    def carrier():
        found = [r for r in h.probe("tree", saver_hwnd, check=False) if r.get("class") == "Vigilumen.frmIcon"]
        return found[0] if found else None

    def wait_icons(n: int):
        def shown():
            c = carrier()
            return c and rect(c)[2] - rect(c)[0] == n * ICON_PIXELS
        h.wait_until(shown, 4 * CYCLE, f"{n} icons on the carrier", interval=0.3)

    def stored_date() -> str | None:
        # Read while the program writes the key, the file may be caught
        # rewritten halfway (the profile functions write it whole): no date yet.
        record = read_profile(app.ini).get("applist", {}).get("app3")
        return record.split(";")[-1] if record else None

    def change_report():
        before = h.wait_until(stored_date, 3 * CYCLE, "the report's date in the settings")
        os.utime(report)
        h.wait_until(lambda: stored_date() not in (None, before), 3 * CYCLE,
                     "the changed file's new date in the settings")

    wait_icons(3)
    pid = _program_pid(h)
    # The mail's text follows its check by a cycle, and the icon files are
    # looked at again after one.
    time.sleep(2 * CYCLE)
    settled = _settled(h, pid, "settled")

    for i, caption in enumerate(arrivals):
        stop, _ = h.caption_window(caption, h.dir / f"arrival-{i}.stop")
        wait_icons(4 + i)
        stop.touch()
        if i % 3 == 0:
            change_report()
            with open(notes, "a") as f:
                f.write("more figures\n")
        if i == 2:
            stops[steady[0]].touch()
        if i == 4:
            # Another picture in a shown icon's file: loaded again, the old one let go.
            shutil.copy2(icons / "file.ico", app.data / "steady2.ico")
        if i == 5:
            stops[steady[0]] = h.caption_window(steady[0], h.dir / f"{steady[0]}-1.stop")[0]
    while time.monotonic() - started < EVENT_SECONDS:
        stops[steady[1]].touch()
        change_report()
        stops[steady[1]] = h.caption_window(steady[1], h.dir / f"{steady[1]}-{time.monotonic_ns()}.stop")[0]
    if not product.running():
        raise ScenarioFailed("the program ended during the run")

    after = _settled(h, pid, f"after events until {time.monotonic() - started:.0f} s")
    if after != settled:
        changes = ", ".join(f"{k} {settled[k]} -> {after[k]}" for k in HELD if after[k] != settled[k])
        raise ScenarioFailed(f"after {len(arrivals)} new sizes of the carrier and the windows and files that came "
                             f"and went, the program holds other counts than when it settled: {changes}")
    h.snap(carrier()["hwnd"])  # for the reader: the carrier as the minute left it
    for stop in stops.values():
        stop.touch()
    end_saver(saver, product)
