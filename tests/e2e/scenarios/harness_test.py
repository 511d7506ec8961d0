"""The harness proves itself: its helper programs do what the product's
scenarios rely on, under Wine, for this build's architecture."""

import time

from harness import Harness, ScenarioFailed, close_to, expect, field, rect, saver_starts


def scenario_fake_saver_covers_the_screen_from_its_child(h: Harness):
    saver = h.fake_saver(h.dir / "saver", color="20A040", child=1)
    h.start(saver, "/s")
    h.wait_file_text(saver.with_name("FakeSaver.log"), "window hwnd=", 15)
    main, child = saver_starts(saver, "main")[0], saver_starts(saver, "child")[0]
    if not main.endswith(" /s"):
        raise ScenarioFailed(f"the fake saver logged {main!r}")
    expect("the child's parent", field(child, "ppid"), field(main, "pid"))
    h.wait_until(lambda: (h.probe_one("whoat", "1", "1") or {}).get("rootpid") == str(field(child, "pid")), 10,
                 "the child's window at (1,1)")
    img = h.pixels(h.screenshot("fake-saver"))
    for x, y in ((1, 1), (512, 384), (1000, 700)):
        if not close_to(img.at(x, y), (0x20, 0xA0, 0x40)):
            raise ScenarioFailed(f"pixel {x},{y} is {img.at(x, y)}, not the saver's colour")
    saver.with_name("FakeSaver.stop").touch()
    h.wait_file_text(saver.with_name("FakeSaver.log"), "exit reason=stopfile", 10)


def scenario_caption_window_is_found(h: Harness):
    stop, pid = h.caption_window("Quarterly report - Editor")
    found = h.probe("findsub", "report - Ed")[0]
    expect("found by a substring", (int(found["pid"]), found["caption"]), (pid, "Quarterly report - Editor"))
    expect("found without case", int(h.probe("find", "quarterly report - editor")[0]["pid"]), pid)
    stop.touch()


def scenario_fake_mapi_answers(h: Harness):
    env, log = h.fake_mapi("unread")
    state = h.dir / "mapi_state.txt"
    for answer, want in (("unread", ("4711", "00000001")), ("read", ("4711", "")), ("nologon", ("0", None))):
        state.write_text(answer + "\n")
        out = h.probe("mapi", env=env)[0]
        expect(answer, (out.get("session"), out.get("id")), want)
    calls = log.read_text()
    for needle in ("MAPILogon", "MAPIFindNext", "flags=0x20", "MAPILogoff"):
        if needle not in calls:
            raise ScenarioFailed(f"{needle} missing from the fake's log:\n{calls}")


def scenario_wine_leaves_a_message_box_wholly_inside_its_owner_undrawn(h: Harness):
    """Wine 8 on Xvfb, without a window manager, never draws a message box
    that lies wholly inside its owner window, whether an Open dialog came
    first or not; one that reaches beyond its owner is drawn. The scenarios
    check boxes of the first kind by their texts only, and every other box by
    its pixels. When a Wine draws them all, this fails, and every box gets
    its pixels checked."""
    for args, drawn in ((["--size", "400"], False), (["--no-open", "--size", "400"], False),
                        (["--size", "120"], True), (["--no-open", "--size", "120"], True)):
        program = h.start(h.config.helpers["OpenThenMessage"], *args)
        if "--no-open" not in args:
            opened = h.probe("wait", "Open", "10000")[0]["hwnd"]
            edit = next(r["hwnd"] for r in h.probe("tree", opened)
                        if r.get("class") == "Edit" and r.get("id") == "1148")
            h.probe("settext", opened, edit, "C:\\nothing.txt")
            h.probe("click", opened, "Open")
        box = h.wait_until(lambda: h.probe_one("find", "Probe box"), 10, "the message box")
        time.sleep(2)
        box = h.probe("tree", box["hwnd"])[0]  # where it stands now: a box is moved into place after it is made
        img = h.pixels(h.screenshot("box" + "".join(args)))
        left, top, right, bottom = rect(box)
        dark = img.count((left, top, right, bottom), lambda p: max(p) < 40)
        if (dark < (right - left) * (bottom - top) * 0.95) != drawn:
            raise ScenarioFailed(f"{' '.join(args)}: Wine {'left' if drawn else 'drew'} the message box "
                                 f"{'undrawn' if drawn else ''}: the rule the scenarios follow no longer holds")
        h.probe("click", box["hwnd"], "OK")
        program.wait(10)
