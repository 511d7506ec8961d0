"""The configuration dialog: its frame, pages and buttons, and the saver chooser."""

import os
import time

from harness import CAPTION, ConfigDialog, Harness, ScenarioFailed, expect, mail_record, settings_ini, winpath

# The folders as the program sees them (a 32-bit program's system folder is
# redirected on disk, but keeps this name).
WINDOWS = "C:\\windows\\"
SYSTEM = "C:\\windows\\system32\\"


def _app(h: Harness, scrfile: str, extra: str = ""):
    helpers, system = h.config.helpers, h.system_folder()
    windows = system.parent
    h.place_file(helpers["NamedSaver_aurora"], windows / "aurora.scr")
    h.place_file(helpers["FakeSaver"], windows / "plain.saver.scr")          # no name: "plain"
    h.place_file(helpers["NamedSaver_aurora"], system / "aurora_copy.scr")   # same name: left out
    h.place_file(helpers["NamedSaver_aurora_lower"], system / "lower.scr")   # other case: listed
    h.place_file(helpers["NamedSaver_ribbons"], system / "ribbons.scr")
    h.place_file(helpers["NamedSaver_ribbons"], system / "ribbons2.scr")     # both from the system folder
    return h.app_folder(ini=settings_ini(scrfile, [mail_record()], position="100;200", blink=1, enlarged=0,
                                         orientation=2) + extra)


def scenario_pages_and_a_gone_saver_and_enter_on_cancel_saves_nothing(h: Harness):
    app = _app(h, "C:\\gone\\vanished.scr", "[extra]\nkey=kept\n")
    before = app.ini.read_bytes()
    d = ConfigDialog(h, app)
    tree = d.tree()
    expect("window caption", tree[0].get("text"), CAPTION)
    tabs = [r["text"] for r in tree if "text" in r and r.get("index") is not None and "checked" not in r
            and r.get("class") is None and "data" not in r]
    expect("tabs", tabs[:4], ["Screen Saver", "Polling", "Position", "About"])
    for text in ("OK", "Cancel"):
        d.button(text, tree)
    # The saved saver is gone: the first entry is chosen, and there is something to apply.
    expect("selected saver", d.saver_list(tree)[1], 0)
    expect("Apply enabled", d.button("Apply", tree)["enabled"], "1")

    for index, name in enumerate(["saver", "polling", "position", "about"]):
        h.probe("tab", d.hwnd, str(index))
        time.sleep(0.4)
        h.screenshot(f"page-{name}")
    texts = [r.get("text", "") for r in d.tree() if r.get("class") == "Static" and r.get("visible") == "1"]
    if CAPTION not in texts or not any(t.startswith("Version 0.") for t in texts) or \
            "Transparent screen saver.\r\nUse your favourite screen saver and never miss any notification about " \
            "important event!" not in texts:
        raise ScenarioFailed(f"About texts {texts}")

    # Enter on the focused "Cancel" presses Cancel, not OK.
    h.probe("focus", d.hwnd, "Cancel")
    h.xdotool("key", "Return")
    d.ended("Enter on Cancel")
    if app.ini.read_bytes() != before:
        raise ScenarioFailed("Cancel changed the settings file")


def scenario_savers_of_both_windows_folders_are_listed_and_apply_writes_every_setting(h: Harness):
    app = _app(h, SYSTEM + "RIBBONS2.SCR", "[extra]\nkey=dropped\n")  # preselected without regard to case
    d = ConfigDialog(h, app)
    tree = d.tree()
    names, selected = d.saver_list(tree)
    expect("listed", sorted(names), sorted(["Aurora Borealis", "plain", "aurora borealis", "Ribbons", "Ribbons"]))
    if selected < 0 or names[selected] != "Ribbons":
        raise ScenarioFailed(f"selected entry {selected} of {names}")
    expect("Apply enabled with nothing changed", d.button("Apply", tree)["enabled"], "0")
    h.screenshot("saver-list")

    h.probe("lbselect", d.hwnd, "id:200", str(names.index("plain")))
    expect("Apply enabled after choosing a saver", d.button("Apply")["enabled"], "1")
    # Pressed from the keyboard, Apply disables itself and hands the focus on.
    h.probe("focus", d.hwnd, "Apply")
    h.xdotool("key", "space")
    time.sleep(0.3)
    tree = d.tree()
    expect("Apply enabled after saving", d.button("Apply", tree)["enabled"], "0")
    if d.button("OK", tree)["focus"] != "1":
        raise ScenarioFailed(f"focus after Apply: {[r.get('text') for r in tree if r.get('focus') == '1']}")
    expect("settings after Apply", app.read_ini(), {
        "settings": {"position": "100;200", "blink": "1", "enlarged": "0", "orientation": "2",
                     "awaysummary": "0", "scrfile": WINDOWS + "plain.saver.scr"},
        "applist": {"app0": mail_record()}})
    if not d.product.running():
        raise ScenarioFailed("Apply closed the dialog")
    h.xdotool("key", "Escape")
    d.ended("Escape after Apply")


def scenario_a_refused_save_is_shown_keeps_apply_and_the_file_and_saves_once_the_cause_is_gone(h: Harness):
    app = h.app_folder(ini=settings_ini("", [mail_record()], position="100;200", blink=0, enlarged=0,
                                        orientation=2))
    # Left by a save that never finished: neither used nor kept.
    abandoned = app.data / "Lumiwake.ini.new"
    abandoned.write_bytes(b"[applist]\r\napp7=ghost\r\n")
    os.utime(abandoned, (time.time() - 3600, time.time() - 3600))
    before = app.ini.read_bytes()
    d = ConfigDialog(h, app, tab=2)
    d.click("Blinking")
    expect("Apply enabled after a change", d.button("Apply")["enabled"], "1")

    # A read-only file: Apply tells why, stays enabled, and the file is untouched.
    app.ini.chmod(0o444)
    d.click("Apply")
    d.dismiss_message("Lumiwake.ini", "read-only-message")
    expect("Apply after a refused save", d.button("Apply")["enabled"], "1")
    expect("read-only file unchanged", app.ini.read_bytes(), before)
    app.ini.chmod(0o644)

    # Held open without sharing by another program: OK does not close the dialog.
    stop = h.dir / "holder.stop"
    holder = h.start(h.config.helpers["FileHolder"], winpath(app.ini), winpath(stop), log_name="holder.out")
    h.wait_file_text(h.dir / "holder.out", "held", 20)
    d.click("OK")
    d.dismiss_message("Lumiwake.ini", "held-message")
    expect("held file unchanged", app.ini.read_bytes(), before)
    stop.touch()
    holder.wait(10)

    d.click("Apply")
    if d._message_boxes():
        raise ScenarioFailed("saving failed once the file was free")
    expect("Apply after the save", d.button("Apply")["enabled"], "0")
    expect("saved blink", app.read_ini()["settings"]["blink"], "1")
    expect("saved list", app.read_ini()["applist"], {"app0": mail_record()})
    if abandoned.exists() or list(app.data.glob("*.new")):
        raise ScenarioFailed(f"new files left: {sorted(p.name for p in app.data.glob('*.new'))}")
    d.cancel()
