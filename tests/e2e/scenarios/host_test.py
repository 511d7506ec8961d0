"""Hosting the chosen saver: the process list, the ownership test, the
watchdog, and the watch on the window the settings were opened from."""

import time

from harness import (ConfigDialog, Harness, ScenarioFailed, end_saver, exit_after_saver_ms, expect, field, mail_record,
                     rect, saver_starts, settings_ini, winpath)


def scenario_savers_of_one_or_two_processes_are_listed_logged_and_kept_running(h: Harness):
    """One process; a child that owns the window; a child that starts 2 s
    late and is found during the grace period. Each run is past the first
    watchdog tick, with a fresh c:\\log.txt."""
    log_file = h.prefix / "drive_c" / "log.txt"
    for name, cfg in (("one", {}), ("child", {"child": 1, "color": "806020"}),
                      ("late-child", {"child": 1, "child_delay_ms": 2000, "color": "205080"})):
        log_file.unlink(missing_ok=True)
        saver = h.fake_saver(h.dir / name / "savers", **cfg)
        product = h.start_hosted(h.app_folder(ini=settings_ini(winpath(saver), [mail_record(0)]), name=f"{name}/app"),
                                 saver)
        time.sleep(4)
        pids = [field(l, "pid") for l in saver_starts(saver, "main") + saver_starts(saver, "child")]
        if not product.running():
            raise ScenarioFailed(f"{name}: the program ended while its saver covers the screen")
        expect(f"{name}: saver processes", len(pids), 1 if name == "one" else 2)
        log = log_file.read_bytes().decode() if log_file.exists() else "<no log>"
        task, listed = f"Shell task id: {pids[0]}\r\n", "".join(f"Found processes: {pid}\r\n" for pid in pids)
        if name == "one":
            expect("c:\\log.txt", log, task + listed)
            # The icon carrier waits off the screen, shown, 1 x 1 twip.
            procs = [int(p["pid"]) for p in h.probe("procs") if p.get("exe", "").lower() == "vigilumen.scr"]
            carriers = [w for w in h.probe("windows") if w.get("class") == "Vigilumen.frmIcon"]
            if len(procs) != 1 or len(carriers) != 1 or int(carriers[0]["pid"]) != procs[0] or \
                    carriers[0]["visible"] != "1":
                raise ScenarioFailed(f"carrier windows {carriers} of the processes {procs}")
            left, top, right, bottom = rect(carriers[0])
            if left > -1000 or top != 0 or right - left != 1 or bottom - top != 1:
                raise ScenarioFailed(f"carrier at {carriers[0]['rect']}")
        elif name == "child" and task + listed not in log:
            raise ScenarioFailed(f"{name}: log: {log!r}")
        # The late child: the main process listed alone first, then both.
        elif name == "late-child" and not (log.startswith(task + listed.split("\n")[0] + "\n")
                                           and log.endswith(listed)):
            raise ScenarioFailed(f"{name}: log: {log!r}")
        end_saver(saver, product)


def scenario_saver_leaving_the_corner_uncovered_ends_the_run_after_the_grace(h: Harness):
    saver = h.fake_saver(h.dir / "savers", uncover=1)
    app = h.app_folder(ini=settings_ini(winpath(saver), [mail_record(0)]))
    started = time.monotonic()
    code = h.start_hosted(app, saver).wait(20)
    took = time.monotonic() - started
    if code is None or not 9.5 <= took <= 14:
        raise ScenarioFailed(f"the program ended after {took:.1f} s with {code}, want about 10 s")
    if "exit reason" in saver.with_name("FakeSaver.log").read_text():
        raise ScenarioFailed("the saver was ended by the program")


def scenario_a_log_that_cannot_be_written_at_c_goes_to_the_data_folder_and_holds_nothing_up(h: Harness):
    """A standard user cannot create c:\\log.txt: its lines go to log.txt in
    the data folder. Where neither can be written, the run ends as promptly."""
    log = h.prefix / "drive_c" / "log.txt"
    log.unlink(missing_ok=True)
    log.mkdir()  # a folder where the log should be: it cannot be opened as a file
    try:
        for name in ("data-folder-log", "no-log"):
            saver = h.fake_saver(h.dir / name / "savers", lifetime_ms=6000)
            app = h.app_folder(ini=settings_ini(winpath(saver), [mail_record(0)]), name=f"{name}/app")
            if name == "no-log":
                (app.data / "log.txt").mkdir()
            product = h.start_hosted(app, saver)
            time.sleep(4)  # past the first watchdog tick
            if not product.running():
                raise ScenarioFailed(f"{name}: the program ended while its saver runs")
            took = exit_after_saver_ms(h, saver, product)
            if took > 1000:
                raise ScenarioFailed(f"{name}: the program ended {took:.0f} ms after the saver's window closed")
            if name == "data-folder-log":
                pid = field(saver_starts(saver, "main")[0], "pid")
                expect("the data folder's log.txt", (app.data / "log.txt").read_bytes().decode(),
                       f"Shell task id: {pid}\r\nFound processes: {pid}\r\n")
    finally:
        log.rmdir()


def scenario_dialog_ends_when_display_properties_closes(h: Harness):
    stop, _ = h.caption_window("Display Properties")
    d = ConfigDialog(h, h.app_folder(ini=None))
    time.sleep(1)
    if not d.product.running():
        raise ScenarioFailed("the dialog closed while Display Properties is open")
    stop.touch()
    closed = time.monotonic()
    d.ended("closing Display Properties")
    if time.monotonic() - closed > 1.0:
        raise ScenarioFailed(f"the program ended {time.monotonic() - closed:.2f} s after Display Properties closed")


def scenario_the_window_that_passes_its_handle_owns_the_dialog_and_its_closing_ends_it(h: Harness):
    """Windows' own settings window starts the dialog with "/c:HWND" or "/c HWND"."""
    app = h.app_folder(ini=settings_ini("", [mail_record()]))
    before = app.ini.read_bytes()
    for n, switch in enumerate(("/c:{}", "/c {}")):
        h.caption_window("Screen Saver Settings", h.dir / f"settings{n}.stop", visible=True)
        owner = h.wait_until(lambda: h.probe_one("find", "Screen Saver Settings"), 10, "the settings window")
        d = ConfigDialog(h, app, args=tuple(switch.format(int(owner["hwnd"], 16)).split()))
        dialog = d.tree()[0]
        owner = h.probe("tree", owner["hwnd"])[0]
        expect(f"{switch}: owner, and the owner disabled", (dialog["parent"], owner["enabled"]), (owner["hwnd"], "0"))
        (ol, ot, orr, ob), (dl, dt, dr, db) = rect(owner), rect(dialog)
        if abs((ol + orr) - (dl + dr)) > 2 or dt < 0 or (dt > 0 and abs((ot + ob) - (dt + db)) > 2):
            raise ScenarioFailed(f"{switch}: dialog at {dialog['rect']} is not centred over {owner['rect']}")
        h.screenshot(f"owned-dialog-{n}")
        h.probe("close", owner["hwnd"])
        closed = time.monotonic()
        d.ended("closing the settings window")
        if time.monotonic() - closed > 1.5:
            raise ScenarioFailed(f"the program ended {time.monotonic() - closed:.2f} s after its owner closed")
        expect("settings file after the owner closed", app.ini.read_bytes(), before)

    # A number that names no window is ignored: the dialog is as without it.
    d = ConfigDialog(h, app, args=("/c:4242",))
    if d.tree()[0]["parent"] == hex(4242):
        raise ScenarioFailed("a handle of no window became the owner")
    time.sleep(0.5)
    if not d.product.running():
        raise ScenarioFailed("the dialog ended with a handle of no window")
    d.cancel()
