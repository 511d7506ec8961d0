"""Watching: texts for events of records without an icon, and the mail check."""

import time

from harness import Harness, Image, ScenarioFailed, close_to, end_saver, settings_ini, winpath

SAVER_COLOUR = (0x20, 0x60, 0xC0)


def _settings(saver, apps) -> str:
    return settings_ini(winpath(saver), apps)


def _text_box(img: Image) -> tuple[int, int]:
    """Width and height of the opaque white box a text leaves at (1,1); 0,0 when none."""
    if not close_to(img.at(1, 1), (255, 255, 255), 16):
        return 0, 0
    width = next((x for x in range(1, img.width) if close_to(img.at(x, 2), SAVER_COLOUR, 24)), img.width) - 1
    height = next((y for y in range(1, img.height) if close_to(img.at(2, y), SAVER_COLOUR, 24)), img.height) - 1
    return width, height


def _has_ink(img: Image, width: int, height: int) -> bool:
    return img.count((1, 1, 1 + width, 1 + height), lambda p: sum(p) < 200) > 20


def _start_confirmed(h: Harness, app, saver):
    product = h.start_hosted(app, saver)
    time.sleep(3.5)  # the first watchdog tick confirms the saver
    return product


def _wait_for_text(h: Harness, label: str, timeout: float = 8) -> tuple[int, int]:
    box = [(0, 0)]

    def seen():
        box[0] = _text_box(h.pixels(h.screenshot(label)))
        return box[0][0] > 0

    h.wait_until(seen, timeout, f"a text at the top-left ({label})", interval=0.5)
    return box[0]


def _repaint(h: Harness, saver):
    flag = saver.with_name("FakeSaver.repaint")
    flag.touch()
    h.wait_until(lambda: not flag.exists(), 5, "the saver to repaint")
    time.sleep(0.3)


def scenario_changed_file_without_icon_shows_its_text_once(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    watched = h.dir / "watched" / "report.txt"
    watched.parent.mkdir()
    record = f"8;1;1;Report;{winpath(watched)};0;Watch for file update;;{winpath(watched)};"
    app = h.app_folder(ini=_settings(saver, ["-1;0;0;Mail;;2;Internal;;;", record]))
    product = _start_confirmed(h, app, saver)
    if _text_box(h.pixels(h.screenshot("before-change")))[0]:
        raise ScenarioFailed("a text was drawn before the file existed")

    watched.write_text("figures\n")
    width, height = _wait_for_text(h, "file-changed")
    img = h.pixels(h.screenshot("file-text"))
    if not (200 < width < 1000 and 10 <= height <= 20 and _has_ink(img, width, height)):
        raise ScenarioFailed(f"text box {width} x {height}")
    stored = app.read_ini()["applist"]["app1"]
    if not stored.startswith(record) or stored == record:
        raise ScenarioFailed(f"the new date was not written: {stored}")

    # The saver paints over the text; the overlay timer draws it again.
    _repaint(h, saver)
    _wait_for_text(h, "text-drawn-again", timeout=2)
    # The change is reported once: the record is not written again.
    written = app.ini.stat().st_mtime_ns
    time.sleep(6.5)
    if app.ini.stat().st_mtime_ns != written:
        raise ScenarioFailed("the same change was reported again")

    end_saver(saver, product)
    if app.read_ini()["applist"]["app1"] != stored:
        raise ScenarioFailed(f"the end-of-run save lost the new date: {app.read_ini()['applist']}")


def _mail_run(h: Harness, answer: str):
    h.install_fake_mapi()
    state = h.dir / "mapi_state.txt"
    log = h.dir / "mapi.log"
    state.write_text(answer + "\n")
    saver = h.fake_saver(h.dir / "savers")
    app = h.app_folder(ini=_settings(saver, ["-1;0;1;MAPI Client (Mail);;2;Internal;;;"]))
    product = h.start_hosted(app, saver, "/s", env={"FAKE_MAPI_STATE": winpath(state), "FAKE_MAPI_LOG": winpath(log)})
    return product, saver, log


def scenario_unread_mail_without_icon_shows_the_mail_text(h: Harness):
    product, saver, log = _mail_run(h, "unread")
    width, height = _wait_for_text(h, "mail", timeout=10)
    if not (60 < width < 200 and 10 <= height <= 20):
        raise ScenarioFailed(f"text box {width} x {height}")
    calls = [l.split()[0] for l in log.read_text().splitlines() if l.startswith("MAPI")]
    if calls[:3] != ["MAPILogon", "MAPIFindNext", "MAPILogoff"] or len(calls) % 3:
        raise ScenarioFailed(f"mail calls {calls}")
    text = log.read_text()
    if 'flags=0x20' not in text or 'profile=""' not in text:
        raise ScenarioFailed(f"mail call arguments:\n{text}")
    end_saver(saver, product)


def scenario_refused_mail_logon_shows_nothing_and_never_finds(h: Harness):
    product, saver, log = _mail_run(h, "nologon")
    h.wait_file_text(log, "MAPILogon", 10)
    time.sleep(3.5)  # a second cycle
    if _text_box(h.pixels(h.screenshot("no-mail")))[0]:
        raise ScenarioFailed("a text was drawn without a mail session")
    calls = [l.split()[0] for l in log.read_text().splitlines() if l.startswith("MAPI")]
    if not calls or set(calls) != {"MAPILogon"}:
        raise ScenarioFailed(f"mail calls {calls}")
    end_saver(saver, product)


def scenario_missing_mail_library_does_not_stop_other_records(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    watched = h.dir / "watched.txt"
    record = f"8;1;1;Report;;0;Watch for file update;;{winpath(watched)};"
    app = h.app_folder(ini=_settings(saver, ["-1;0;1;MAPI Client (Mail);;2;Internal;;;", record]))
    # mapi32 disabled: loading the mail library fails.
    product = h.start_hosted(app, saver, "/s", env={"WINEDLLOVERRIDES": "mscoree,mshtml=;mapi32="})
    time.sleep(3.5)
    watched.write_text("x")
    _wait_for_text(h, "file-after-mail-failure")
    end_saver(saver, product)
