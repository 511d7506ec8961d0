"""Watching: texts for events of records without an icon, and the mail check."""

import time

from harness import Harness, ScenarioFailed, close_to, end_saver, expect, mail_record, settings_ini, winpath

SAVER_COLOUR = (0x20, 0x60, 0xC0)


def _text_box(h: Harness, label: str) -> tuple[int, int]:
    """Width and height of the opaque white box a text leaves at (1,1); 0,0 when none or blank."""
    img = h.pixels(h.screenshot(label))
    if not close_to(img.at(1, 1), (255, 255, 255), 16):
        return 0, 0
    width = next((x for x in range(1, img.width) if close_to(img.at(x, 2), SAVER_COLOUR, 24)), img.width) - 1
    height = next((y for y in range(1, img.height) if close_to(img.at(2, y), SAVER_COLOUR, 24)), img.height) - 1
    inked = img.count((1, 1, 1 + width, 1 + height), lambda p: sum(p) < 200) > 20
    return (width, height) if inked else (0, 0)


def _wait_for_text(h: Harness, label: str, timeout: float = 8) -> tuple[int, int]:
    return h.wait_until(lambda: (lambda box: box if box[0] else None)(_text_box(h, label)), timeout,
                        f"a text at the top-left ({label})", interval=0.5)


def scenario_changed_file_shows_its_text_once_though_the_mail_library_is_missing(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    watched = h.dir / "watched" / "report.txt"
    watched.parent.mkdir()
    record = f"8;1;1;Report;{winpath(watched)};0;Watch for file update;;{winpath(watched)};"
    app = h.app_folder(ini=settings_ini(winpath(saver), [mail_record(), record]))
    # mapi32 disabled: loading the mail library fails.
    product = h.start_hosted(app, saver, "/s", env={"WINEDLLOVERRIDES": "mscoree,mshtml=;mapi32="})
    time.sleep(3.5)  # the first watchdog tick confirms the saver
    if _text_box(h, "before-change")[0]:
        raise ScenarioFailed("a text was drawn before the file existed")

    watched.write_text("figures\n")
    width, height = _wait_for_text(h, "file-changed")
    if not (200 < width < 1000 and 10 <= height <= 20):
        raise ScenarioFailed(f"text box {width} x {height}")
    stored = app.read_ini()["applist"]["app1"]
    if not stored.startswith(record) or stored == record:
        raise ScenarioFailed(f"the new date was not written: {stored}")

    # The saver paints over the text; the overlay timer draws it again.
    flag = saver.with_name("FakeSaver.repaint")
    flag.touch()
    h.wait_until(lambda: not flag.exists(), 5, "the saver to repaint")
    time.sleep(0.3)
    _wait_for_text(h, "text-drawn-again", timeout=2)
    # The change is reported once: the record is not written again.
    written = app.ini.stat().st_mtime_ns
    time.sleep(6.5)
    if app.ini.stat().st_mtime_ns != written:
        raise ScenarioFailed("the same change was reported again")
    end_saver(saver, product)
    expect("record after the end-of-run save", app.read_ini()["applist"]["app1"], stored)


def _calls(log) -> list[str]:
    return [l.split()[0] for l in log.read_text().splitlines() if l.startswith("MAPI")]


def scenario_unread_mail_shows_the_mail_text_and_a_refused_logon_nothing(h: Harness):
    for answer in ("unread", "nologon"):
        env, log = h.fake_mapi(answer)
        saver = h.fake_saver(h.dir / answer / "savers")
        product = h.start_hosted(h.app_folder(ini=settings_ini(winpath(saver), [mail_record()]), name=f"{answer}/app"),
                                 saver, "/s", env=env)
        if answer == "unread":
            width, height = _wait_for_text(h, "mail", timeout=10)
            if not (60 < width < 200 and 10 <= height <= 20):
                raise ScenarioFailed(f"text box {width} x {height}")
            calls = _calls(log)
            if calls[:3] != ["MAPILogon", "MAPIFindNext", "MAPILogoff"] or len(calls) % 3:
                raise ScenarioFailed(f"mail calls {calls}")
            if 'flags=0x20' not in log.read_text() or 'profile=""' not in log.read_text():
                raise ScenarioFailed(f"mail call arguments:\n{log.read_text()}")
        else:
            h.wait_file_text(log, "MAPILogon", 10)
            time.sleep(3.5)  # a second cycle
            if _text_box(h, "no-mail")[0]:
                raise ScenarioFailed("a text was drawn without a mail session")
            expect("mail calls", set(_calls(log)), {"MAPILogon"})
        end_saver(saver, product)
        log.unlink(missing_ok=True)


def scenario_a_slow_or_hung_mail_system_stalls_nothing_and_is_asked_once_a_cycle(h: Harness):
    """The mail check runs apart from the icons and the saver's end: a mail
    system that takes 5 s per call, or whose logon never returns, changes
    neither; three mail records still cost one check per 3 s cycle."""
    from scenarios.display_test import Run

    for name, answer in (("slow", "unread delay=5000"), ("hung", "hang")):
        env, log = h.fake_mapi(answer)
        run = Run(h, ["window.ico"], name, mail_records=3, env=env, blink=1)
        run.wait_carrier((32, 32), 100, 120)
        run.check_blinks(name)  # on time
        logons = log.read_text().count("enter MAPILogon")
        if logons != 1:
            raise ScenarioFailed(f"{name}: {logons} logons while the first check was still running")
        started = time.monotonic()
        run.end(timeout=2)  # fails unless the program ends within 2 s of its saver
        print(f"{name}: ended {time.monotonic() - started:.2f} s after the saver", flush=True)
        log.unlink()

    env, log = h.fake_mapi("read")
    run = Run(h, ["window.ico"], "quick", mail_records=3, env=env)
    started = time.monotonic()
    time.sleep(10)
    calls = _calls(log)
    cycles = int((time.monotonic() - started) / 3) + 1
    if not 1 <= calls.count("MAPILogon") <= cycles:
        raise ScenarioFailed(f"{calls.count('MAPILogon')} logons in {cycles} cycles with three mail records")
    if calls[:3 * (len(calls) // 3)] != ["MAPILogon", "MAPIFindNext", "MAPILogoff"] * (len(calls) // 3):
        raise ScenarioFailed(f"checks overlapped or changed their order: {calls}")
    run.end()
