"""Hosting the chosen saver: the process list, the ownership test, the
watchdog and the Display Properties watch."""

import time

from harness import Harness, ScenarioFailed, end_saver, exit_after_saver_ms, settings_ini, winpath

MAIL_OFF = "-1;0;0;MAPI Client (Mail);;2;Internal;;;"


def _settings(saver) -> str:
    return settings_ini(winpath(saver), [MAIL_OFF])


def _pids(log, role):
    return [int(l.split("pid=")[1].split()[0]) for l in log.read_text().splitlines()
            if l.startswith("start ") and f"role={role}" in l]


def _diagnostic_log(h: Harness):
    return h.prefix / "drive_c" / "log.txt"


def _fresh_log(h: Harness):
    path = _diagnostic_log(h)
    if path.is_dir():
        path.rmdir()
    path.unlink(missing_ok=True)
    return path


def _product_pid(h: Harness) -> int:
    procs = [p for p in h.probe("procs") if p.get("exe", "").lower() == "vigilumen.scr"]
    if len(procs) != 1:
        raise ScenarioFailed(f"expected one Vigilumen process, found {procs}")
    return int(procs[0]["pid"])


def scenario_one_process_saver_is_listed_once_and_logged(h: Harness):
    log_txt = _fresh_log(h)
    saver = h.fake_saver(h.dir / "savers")
    app = h.app_folder(ini=_settings(saver))
    product = h.start_hosted(app, saver)
    log = saver.with_name("FakeSaver.log")
    pid = _pids(log, "main")[0]
    time.sleep(4)  # past the first watchdog tick
    want = f"Shell task id: {pid}\r\nFound processes: {pid}\r\n"
    got = log_txt.read_bytes().decode() if log_txt.exists() else "<no log>"
    if got != want:
        raise ScenarioFailed(f"c:\\log.txt holds {got!r}, want {want!r}")

    # The icon carrier waits off the screen, shown, 1 x 1 twip.
    me = _product_pid(h)
    carriers = [w for w in h.probe("windows") if w.get("class") == "Vigilumen.frmIcon"]
    if len(carriers) != 1 or int(carriers[0]["pid"]) != me or carriers[0]["visible"] != "1":
        raise ScenarioFailed(f"carrier windows: {carriers}")
    left, top, right, bottom = map(int, carriers[0]["rect"].split(","))
    if left > -1000 or top != 0 or right - left != 1 or bottom - top != 1:
        raise ScenarioFailed(f"carrier at {carriers[0]['rect']}")

    end_saver(saver, product)


def scenario_saver_whose_child_owns_the_window_keeps_running(h: Harness):
    log_txt = _fresh_log(h)
    saver = h.fake_saver(h.dir / "savers", child=1, color="806020")
    app = h.app_folder(ini=_settings(saver))
    product = h.start_hosted(app, saver)
    log = saver.with_name("FakeSaver.log")
    main, child = _pids(log, "main")[0], _pids(log, "child")[0]
    time.sleep(4)
    if not product.running():
        raise ScenarioFailed("the program ended although the saver's child owns the screen")
    text = log_txt.read_bytes().decode()
    if f"Shell task id: {main}\r\nFound processes: {main}\r\nFound processes: {child}\r\n" not in text:
        raise ScenarioFailed(f"log: {text!r}")
    end_saver(saver, product)


def scenario_late_child_is_found_during_the_grace_period(h: Harness):
    log_txt = _fresh_log(h)
    saver = h.fake_saver(h.dir / "savers", child=1, child_delay_ms=2000, color="205080")
    app = h.app_folder(ini=_settings(saver))
    product = h.start_hosted(app, saver)
    log = saver.with_name("FakeSaver.log")
    main, child = _pids(log, "main")[0], _pids(log, "child")[0]
    time.sleep(4)
    if not product.running():
        raise ScenarioFailed("the program ended before the saver's late child covered the screen")
    text = log_txt.read_bytes().decode()
    if not text.startswith(f"Shell task id: {main}\r\nFound processes: {main}\r\n") or \
            not text.endswith(f"Found processes: {main}\r\nFound processes: {child}\r\n"):
        raise ScenarioFailed(f"log: {text!r}")
    end_saver(saver, product)


def scenario_saver_leaving_the_corner_uncovered_ends_the_run_after_the_grace(h: Harness):
    _fresh_log(h)
    saver = h.fake_saver(h.dir / "savers", uncover=1)
    app = h.app_folder(ini=_settings(saver))
    started = time.monotonic()
    product = h.start_hosted(app, saver)
    code = product.wait(20)
    took = time.monotonic() - started
    if code is None or not 9.5 <= took <= 14:
        raise ScenarioFailed(f"the program ended after {took:.1f} s with {code}, want about 10 s")
    if "exit reason" in saver.with_name("FakeSaver.log").read_text():
        raise ScenarioFailed("the saver was ended by the program")


def scenario_saver_exit_ends_the_run_promptly(h: Harness):
    _fresh_log(h)
    saver = h.fake_saver(h.dir / "savers", lifetime_ms=3500)
    app = h.app_folder(ini=_settings(saver))
    took = exit_after_saver_ms(h, saver, h.start(app.scr, "/s"))
    if took > 1000:
        raise ScenarioFailed(f"the program ended {took:.0f} ms after the saver's window closed")
    if "app0" not in app.read_ini().get("applist", {}):
        raise ScenarioFailed("the application list was not written back")


def scenario_unwritable_diagnostic_log_changes_nothing(h: Harness):
    path = _fresh_log(h)
    path.mkdir()  # a folder where the log should be: it cannot be opened as a file
    try:
        saver = h.fake_saver(h.dir / "savers")
        app = h.app_folder(ini=_settings(saver))
        product = h.start_hosted(app, saver)
        time.sleep(4)
        if not product.running():
            raise ScenarioFailed("the program ended while its saver runs")
        end_saver(saver, product)
    finally:
        path.rmdir()


def scenario_dialog_ends_when_display_properties_closes(h: Harness):
    stop = h.dir / "display-properties.stop"
    ready = h.dir / "display-properties.ready"
    h.start(h.config.helpers["CaptionWindow"], "--caption", "Display Properties", "--stop", winpath(stop),
            "--ready", winpath(ready))
    h.wait_until(ready.exists, 15, "the Display Properties window")
    app = h.app_folder(ini=None)
    product = h.start(app.scr, "/c")
    h.wait_until(lambda: (h.probe_one("find", "Corvane Vigilumen") or {}).get("visible") == "1", 20,
                 "the configuration dialog")
    time.sleep(1)
    if not product.running():
        raise ScenarioFailed("the dialog closed while Display Properties is open")
    stop.touch()
    closed = time.monotonic()
    if product.wait(5) is None:
        raise ScenarioFailed("the dialog stayed after Display Properties closed")
    took = time.monotonic() - closed
    if took > 1.0:
        raise ScenarioFailed(f"the program ended {took:.2f} s after Display Properties closed")


def scenario_dialog_without_display_properties_stays_open(h: Harness):
    app = h.app_folder(ini=None)
    product = h.start(app.scr, "/c")
    h.wait_until(lambda: (h.probe_one("find", "Corvane Vigilumen") or {}).get("visible") == "1", 20,
                 "the configuration dialog")
    time.sleep(2)
    if not product.running():
        raise ScenarioFailed("the dialog closed by itself")
    h.probe("close", "Corvane Vigilumen")
    if product.wait(5) is None:
        raise ScenarioFailed("closing the dialog did not end the program")
