"""The configuration dialog: its frame, pages and buttons, and the saver chooser."""

import time

from harness import Harness, ScenarioFailed, winpath

CAPTION = "Corvane Vigilumen"


def _open(h: Harness, app):
    product = h.start(app.scr, "/c")
    h.wait_until(lambda: (h.probe_one("find", CAPTION) or {}).get("visible") == "1", 20, "the configuration dialog")
    h.probe("activate", CAPTION, check=False)
    time.sleep(0.3)
    return product


def _tree(h: Harness):
    return h.probe("tree", CAPTION)


def _button(tree, text):
    found = [r for r in tree if r.get("class") == "Button" and r.get("text") == text]
    if not found:
        raise ScenarioFailed(f"no button {text!r}")
    return found[0]


def _saver_list(tree):
    """The visible saver list: (name, item data) in list order, and the selected index."""
    lists = [i for i, r in enumerate(tree) if r.get("class") == "ListBox" and r.get("visible") == "1"]
    if not lists:
        raise ScenarioFailed("no visible saver list")
    at = lists[0]
    count = int(tree[at]["count"])
    items = [r for r in tree[at + 1:at + 1 + count]]
    return [(r["text"], int(r["data"])) for r in items], int(tree[at]["sel"])


def _place_savers(h: Harness):
    helpers = h.config.helpers
    windows, system = h.windows_folder(), h.system_folder()
    h.place_file(helpers["NamedSaver_aurora"], windows / "aurora.scr")
    h.place_file(helpers["FakeSaver"], windows / "plain.saver.scr")          # no name: "plain"
    h.place_file(helpers["NamedSaver_aurora"], system / "aurora_copy.scr")   # same name: left out
    h.place_file(helpers["NamedSaver_aurora_lower"], system / "lower.scr")   # other case: listed
    h.place_file(helpers["NamedSaver_ribbons"], system / "ribbons.scr")
    h.place_file(helpers["NamedSaver_ribbons"], system / "ribbons2.scr")     # both from the system folder
    return windows, system


# The folders as the program sees them (a 32-bit program's system folder is
# redirected on disk, but keeps this name).
WINDOWS = "C:\\windows\\"
SYSTEM = "C:\\windows\\system32\\"


def _settings(scrfile: str) -> str:
    return (f"[settings]\nscrfile={scrfile}\nposition=100;200\nblink=1\nenlarged=0\norientation=2\n"
            "[applist]\napp0=-1;0;1;MAPI Client (Mail);;2;Internal;;;\n")


def scenario_dialog_has_four_tabs_three_buttons_and_each_page(h: Harness):
    app = h.app_folder(ini=_settings(""))
    product = _open(h, app)
    tree = _tree(h)
    top = tree[0]
    if top.get("text") != CAPTION:
        raise ScenarioFailed(f"window caption {top.get('text')!r}")
    tabs = [r["text"] for r in tree if "text" in r and r.get("index") is not None and "checked" not in r
            and r.get("class") is None and "data" not in r]
    if tabs[:4] != ["Screen Saver", "Polling", "Position", "About"]:
        raise ScenarioFailed(f"tabs {tabs}")
    for text in ("OK", "Cancel", "Apply"):
        _button(tree, text)
    for index, name in enumerate(["saver", "polling", "position", "about"]):
        h.probe("tab", CAPTION, str(index))
        time.sleep(0.4)
        h.screenshot(f"page-{name}")
    about = _tree(h)
    texts = [r.get("text", "") for r in about if r.get("class") == "Static" and r.get("visible") == "1"]
    if "Corvane Vigilumen" not in texts or not any(t.startswith("Version 0.") for t in texts) or \
            "Transparent screen saver.\r\nUse your favourite screen saver and never miss any notification about " \
            "important event!" not in texts:
        raise ScenarioFailed(f"About texts {texts}")
    h.probe("click", CAPTION, "Cancel")
    if product.wait(5) is None:
        raise ScenarioFailed("Cancel did not end the program")


def scenario_savers_of_both_windows_folders_are_listed_by_name(h: Harness):
    windows, system = _place_savers(h)
    app = h.app_folder(ini=_settings(SYSTEM + "RIBBONS2.SCR"))  # preselected without regard to case
    product = _open(h, app)
    tree = _tree(h)
    items, selected = _saver_list(tree)
    names = sorted(n for n, _ in items)
    want = sorted(["Aurora Borealis", "plain", "aurora borealis", "Ribbons", "Ribbons"])
    if names != want:
        raise ScenarioFailed(f"listed {names}, want {want}")
    if selected < 0 or items[selected][0] != "Ribbons":
        raise ScenarioFailed(f"selected entry {selected} of {items}")
    if _button(tree, "Apply")["enabled"] != "0":
        raise ScenarioFailed("Apply is enabled although nothing changed")
    h.screenshot("saver-list")
    h.probe("click", CAPTION, "OK")
    if product.wait(5) is None:
        raise ScenarioFailed("OK did not end the program")
    scrfile = app.read_ini()["settings"]["scrfile"]
    if scrfile.lower() != (SYSTEM + "ribbons2.scr").lower():
        raise ScenarioFailed(f"scrfile {scrfile}")


def scenario_saved_saver_that_is_gone_leaves_the_first_entry_selected(h: Harness):
    _place_savers(h)
    app = h.app_folder(ini=_settings("C:\\gone\\vanished.scr"))
    product = _open(h, app)
    tree = _tree(h)
    items, selected = _saver_list(tree)
    if selected != 0:
        raise ScenarioFailed(f"selected {selected}")
    if _button(tree, "Apply")["enabled"] != "1":
        raise ScenarioFailed("Apply is not enabled")
    h.probe("click", CAPTION, "Cancel")
    product.wait(5)


def scenario_ok_writes_every_setting(h: Harness):
    windows, _ = _place_savers(h)
    app = h.app_folder(ini=_settings(WINDOWS + "aurora.scr") + "[extra]\nkey=dropped\n")
    product = _open(h, app)
    items, _ = _saver_list(_tree(h))
    plain = next(i for i, (n, _) in enumerate(items) if n == "plain")
    h.probe("lbselect", CAPTION, "id:200", str(plain))
    h.probe("click", CAPTION, "OK")
    if product.wait(5) is None:
        raise ScenarioFailed("OK did not end the program")
    ini = app.read_ini()
    want = {"settings": {"position": "100;200", "blink": "1", "enlarged": "0", "orientation": "2",
                         "scrfile": WINDOWS + "plain.saver.scr"},
            "applist": {"app0": "-1;0;1;MAPI Client (Mail);;2;Internal;;;"}}
    if ini != want:
        raise ScenarioFailed(f"settings after OK: {ini}")


def scenario_cancel_leaves_the_file_as_it_was(h: Harness):
    windows, _ = _place_savers(h)
    app = h.app_folder(ini=_settings(WINDOWS + "aurora.scr") + "[extra]\nkey=kept\n")
    before = app.ini.read_bytes()
    product = _open(h, app)
    h.probe("lbselect", CAPTION, "id:200", "0")
    # Enter on the focused "Cancel" presses Cancel, not OK.
    h.probe("focus", CAPTION, "Cancel")
    h.xdotool("key", "Return")
    if product.wait(5) is None:
        raise ScenarioFailed("Enter on Cancel did not end the program")
    if app.ini.read_bytes() != before:
        raise ScenarioFailed("Cancel changed the settings file")


def scenario_apply_saves_and_disables_itself(h: Harness):
    windows, _ = _place_savers(h)
    app = h.app_folder(ini=_settings(WINDOWS + "aurora.scr"))
    product = _open(h, app)
    items, _ = _saver_list(_tree(h))
    plain = next(i for i, (n, _) in enumerate(items) if n == "plain")
    h.probe("lbselect", CAPTION, "id:200", str(plain))
    if _button(_tree(h), "Apply")["enabled"] != "1":
        raise ScenarioFailed("choosing another saver did not enable Apply")
    # Pressed from the keyboard, Apply disables itself and hands the focus
    # on: the keyboard still works afterwards.
    h.probe("focus", CAPTION, "Apply")
    h.xdotool("key", "space")
    time.sleep(0.3)
    tree = _tree(h)
    if _button(tree, "Apply")["enabled"] != "0":
        raise ScenarioFailed("Apply stayed enabled after saving")
    if _button(tree, "OK")["focus"] != "1":
        raise ScenarioFailed(f"focus after Apply: {[r.get('text') for r in tree if r.get('focus') == '1']}")
    if app.read_ini()["settings"].get("scrfile") != WINDOWS + "plain.saver.scr":
        raise ScenarioFailed(f"Apply did not save: {app.read_ini()}")
    if not product.running():
        raise ScenarioFailed("Apply closed the dialog")
    h.xdotool("key", "Escape")
    if product.wait(5) is None:
        raise ScenarioFailed("Escape after Apply did not close the dialog")
