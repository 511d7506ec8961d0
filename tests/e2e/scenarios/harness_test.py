"""The harness proves itself: its helper programs do what the product's
scenarios rely on, under Wine, for this build's architecture."""

from harness import Harness, ScenarioFailed, close_to, winpath


def scenario_fake_saver_covers_the_screen(h: Harness):
    saver = h.fake_saver(h.dir / "saver", color="20A040")
    log = saver.with_name("FakeSaver.log")
    h.start(saver, "/s")
    text = h.wait_file_text(log, "window hwnd=", 15)
    start = next(l for l in text.splitlines() if l.startswith("start "))
    pid = int(start.split("pid=")[1].split()[0])
    if not start.endswith(" /s"):
        raise ScenarioFailed(f"the fake saver logged {start!r}")

    owner = h.wait_until(lambda: _owner_pid(h) == pid, 10, "the fake saver's window at (1,1)")
    assert owner
    img = h.pixels(h.screenshot("fake-saver"))
    for x, y in ((1, 1), (512, 384), (1000, 700)):
        if not close_to(img.at(x, y), (0x20, 0xA0, 0x40)):
            raise ScenarioFailed(f"pixel {x},{y} is {img.at(x, y)}, not the saver's colour")

    saver.with_name("FakeSaver.stop").touch()
    h.wait_file_text(log, "exit reason=stopfile", 10)


def scenario_saver_child_owns_the_window(h: Harness):
    saver = h.fake_saver(h.dir / "saver", color="C04020", child=1)
    log = saver.with_name("FakeSaver.log")
    h.start(saver, "/s")
    text = h.wait_file_text(log, "window hwnd=", 15)
    main = next(l for l in text.splitlines() if "role=main" in l)
    child = next(l for l in text.splitlines() if "role=child" in l)
    main_pid = int(main.split("pid=")[1].split()[0])
    child_pid = int(child.split("pid=")[1].split()[0])
    child_ppid = int(child.split("ppid=")[1].split()[0])
    if child_ppid != main_pid:
        raise ScenarioFailed(f"child's parent is {child_ppid}, not {main_pid}")
    h.wait_until(lambda: _owner_pid(h) == child_pid, 10, "the child's window at (1,1)")
    saver.with_name("FakeSaver.stop").touch()
    h.wait_file_text(log, "exit reason=stopfile", 10)


def scenario_caption_window_is_found(h: Harness):
    stop = h.dir / "caption.stop"
    ready = h.dir / "caption.ready"
    h.start(h.config.helpers["CaptionWindow"], "--caption", "Quarterly report - Editor", "--stop", winpath(stop),
            "--ready", winpath(ready))
    h.wait_until(ready.exists, 15, "the caption window")
    pid = int(ready.read_text().strip())
    found = h.probe("findsub", "report - Ed")
    if int(found[0]["pid"]) != pid or found[0]["caption"] != "Quarterly report - Editor":
        raise ScenarioFailed(f"found {found[0]}")
    exact = h.probe("find", "quarterly report - editor")  # captions compare without case
    if int(exact[0]["pid"]) != pid:
        raise ScenarioFailed(f"find gave {exact[0]}")
    stop.touch()


def scenario_fake_mapi_answers(h: Harness):
    state = h.dir / "mapi_state.txt"
    log = h.dir / "mapi.log"
    env = {"FAKE_MAPI_STATE": winpath(state), "FAKE_MAPI_LOG": winpath(log)}
    h.install_fake_mapi()
    for answer, want in (("unread", "id=\"00000001\""), ("read", "id=\"\""), ("nologon", "session=0")):
        state.write_text(answer + "\n")
        out = h.probe("mapi", env=env)[0]
        if answer == "nologon":
            if out.get("session") != "0" or "find_rc" in out:
                raise ScenarioFailed(f"{answer}: {out}")
        elif out.get("session") != "4711" or out.get("id") != ("00000001" if answer == "unread" else ""):
            raise ScenarioFailed(f"{answer}: {out}")
    calls = log.read_text()
    for needle in ("MAPILogon", "MAPIFindNext", "flags=0x20", "MAPILogoff"):
        if needle not in calls:
            raise ScenarioFailed(f"{needle} missing from the fake's log:\n{calls}")


def _owner_pid(h: Harness) -> int:
    rec = h.probe_one("whoat", "1", "1")
    return int(rec["rootpid"]) if rec and rec.get("rootpid") else 0
