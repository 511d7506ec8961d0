"""The "Polling" page: the list of watched applications, its row editor and
the icon chooser, driven as a user would."""

import os
import re
import shutil
import time
from datetime import datetime

from harness import Harness, ScenarioFailed, winpath

CAPTION = "Corvane Vigilumen"

# Control ids of the page.
ADD, REMOVE, UPDATE, RESET = "301", "304", "302", "303"
NAME, ICON, ICON_BROWSE = "307", "310", "311"
METHOD_FRAME, OPT_FILE, OPT_WINDOW, OPT_INTERNAL = "312", "313", "314", "315"
TEXT_LABEL, TEXT1, FILE_BROWSE = "316", "317", "318"
APPLY = "103"

VK_END, VK_A, VK_SEMICOLON = "0x23", "0x41", "0xBA"

MAIL = "-1;0;1;MAPI Client (Mail);;2;Internal;{icon};;"
BUILD = "4200;1;0;Build;Build failed;1;Wait for window;;Build failed;"


def _settings(*records: str) -> str:
    lines = "".join(f"app{i}={r}\n" for i, r in enumerate(records))
    return "[settings]\nscrfile=\nposition=48;295\nblink=0\nenlarged=0\norientation=2\n[applist]\n" + lines


def _own_icon(h: Harness, name: str = "vigilumen.ico"):
    return h.config.source_dir / "src" / "res" / "generated" / name


class Dialog:
    """The configuration dialog, opened on its "Polling" page."""

    def __init__(self, h: Harness, app):
        self.h = h
        self.product = h.start(app.scr, "/c")
        found = h.wait_until(lambda: (lambda r: r if r and r.get("visible") == "1" else None)(
            h.probe_one("find", CAPTION)), 20, "the configuration dialog")
        # Message boxes share the caption: the dialog is addressed by its handle.
        self.window = found["hwnd"]
        h.probe("activate", self.window, check=False)
        h.probe("tab", self.window, "1")
        time.sleep(0.3)

    def tree(self):
        return self.h.probe("tree", self.window)

    def control(self, cid: str, tree=None):
        for r in tree or self.tree():
            if r.get("id") == cid and r.get("class") is not None and r.get("depth") in ("1", "2"):
                return r
        raise ScenarioFailed(f"no control {cid}")

    def rows(self, tree=None):
        return [r for r in tree or self.tree() if "sub7" in r]

    def click(self, cid: str):
        self.h.probe("click", self.window, f"id:{cid}")
        time.sleep(0.2)

    def select(self, index: int):
        self.h.probe("lvselect", self.window, str(index))
        time.sleep(0.2)

    def type_into(self, cid: str, text: str):
        """Focus, new text, and a key released in the box, as typing leaves it."""
        self.h.probe("focus", self.window, f"id:{cid}")
        self.h.probe("settext", self.window, f"id:{cid}", text)
        self.h.probe("key", self.window, f"id:{cid}", VK_END)
        time.sleep(0.2)

    def leave(self, cid: str, to: str = NAME):
        """Focus on the box, then away from it: its leave handler runs."""
        self.h.probe("focus", self.window, f"id:{cid}")
        self.h.probe("focus", self.window, f"id:{to}")
        time.sleep(0.2)

    def ok(self):
        self.h.probe("click", self.window, "OK")
        if self.product.wait(10) is None:
            raise ScenarioFailed("OK did not end the program")

    def cancel(self):
        self.h.probe("click", self.window, "Cancel")
        self.product.wait(10)

    # ----- the file dialog and message boxes ------------------------------
    def choose_file(self, browse: str, path: str | None):
        """Browse, then in the file dialog type path and open it (None: cancel)."""
        self.h.probe("click", self.window, f"id:{browse}")
        opened = self.h.probe("wait", "Open", "10000")[0]["hwnd"]
        if path is None:
            self.h.probe("click", opened, "Cancel")
        else:
            edit = next(r["hwnd"] for r in self.h.probe("tree", opened)
                        if r.get("class") == "Edit" and r.get("id") == "1148")
            self.h.probe("settext", opened, edit, path)
            self.h.probe("click", opened, "Open")
        self.h.wait_until(lambda: self.h.probe_one("find", "Open") is None, 10, "the file dialog to close")
        time.sleep(0.3)

    def message_box(self, timeout: float = 10):
        """The message box over the dialog: (handle, its texts)."""
        def box():
            for r in self.h.probe("windows"):
                if r.get("class") == "#32770" and r.get("caption") == CAPTION and r.get("visible") == "1":
                    return r["hwnd"]
            return None
        hwnd = self.h.wait_until(box, timeout, "a message box")
        texts = [r.get("text", "") for r in self.h.probe("tree", hwnd) if r.get("class") == "Static"]
        return hwnd, texts

    def no_message_box(self):
        return not any(r.get("class") == "#32770" and r.get("caption") == CAPTION
                       for r in self.h.probe("windows"))


def _expect(what: str, got, want):
    if got != want:
        raise ScenarioFailed(f"{what}: got {got!r}, want {want!r}")


def _icon_pixels(h: Harness, png, rect: str):
    """The pixels of the icon picture's rectangle, and how many differ from the face colour."""
    x0, y0, x1, y1 = (int(v) for v in rect.split(","))
    img = h.pixels(png)
    face = img.at(x0 + 1, y0 + 1)
    pixels = [img.at(x, y) for y in range(y0, y1) for x in range(x0, x1)]
    return pixels, sum(1 for p in pixels if p != face)


def scenario_mail_row_shows_internal_with_file_box_and_remove_disabled(h: Harness):
    app = h.app_folder(ini=_settings(MAIL.format(icon="mailQX.ico"), BUILD))
    shutil.copy2(_own_icon(h), app.data / "mailQX.ico")
    d = Dialog(h, app)
    tree = d.tree()
    rows = d.rows(tree)
    _expect("rows", [(r["text"], r["sub1"], r["checked"]) for r in rows],
            [("MAPI Client (Mail)", "Internal", "1"), ("Build", "Wait for window", "0")])
    _expect("selected row", [r["selected"] for r in rows], ["1", "0"])
    internal = d.control(OPT_INTERNAL, tree)
    _expect("Internal chosen", (internal["check"], internal["enabled"]), ("1", "0"))
    for cid, what in ((TEXT1, "file box"), (FILE_BROWSE, "file Browse"), (TEXT_LABEL, "its label")):
        _expect(f"{what} visible", d.control(cid, tree)["visible"], "0")
    for cid, what in ((REMOVE, "Remove"), (UPDATE, "update"), (RESET, "reset"), (METHOD_FRAME, "method frame"),
                      (OPT_FILE, "file option"), (OPT_WINDOW, "window option")):
        _expect(f"{what} enabled", d.control(cid, tree)["enabled"], "0")
    _expect("name box", d.control(NAME, tree)["text"], "MAPI Client (Mail)")
    _expect("Apply enabled", d.control(APPLY, tree)["enabled"], "0")
    shot = h.screenshot("polling-mail-row")
    _, drawn = _icon_pixels(h, shot, d.control(ICON, tree)["rect"])
    if drawn < 50:
        raise ScenarioFailed(f"the mail icon is not shown ({drawn} pixels drawn)")

    # A row of the user's: the caption box is back and it can be removed.
    d.select(1)
    tree = d.tree()
    _expect("window option", d.control(OPT_WINDOW, tree)["check"], "1")
    _expect("caption label", d.control(TEXT_LABEL, tree)["text"], "Window caption")
    _expect("caption box", (d.control(TEXT1, tree)["visible"], d.control(TEXT1, tree)["text"]), ("1", "Build failed"))
    _expect("file Browse visible", d.control(FILE_BROWSE, tree)["visible"], "0")
    _expect("Remove enabled", d.control(REMOVE, tree)["enabled"], "1")
    _expect("method frame enabled", d.control(METHOD_FRAME, tree)["enabled"], "1")
    _expect("Internal enabled", d.control(OPT_INTERNAL, tree)["enabled"], "0")
    _expect("Apply after selecting a row", d.control(APPLY, tree)["enabled"], "0")
    _, drawn = _icon_pixels(h, h.screenshot("polling-window-row"), d.control(ICON, tree)["rect"])
    _expect("icon of a row without one", drawn, 0)
    d.cancel()


def scenario_add_rename_wait_for_window_and_ok_saves_the_new_record(h: Harness):
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), BUILD))
    d = Dialog(h, app)
    before = datetime.now()
    d.click(ADD)
    tree = d.tree()
    rows = d.rows(tree)
    _expect("rows after Add", len(rows), 3)
    new = rows[2]
    _expect("new row", (new["text"], new["checked"], new["selected"], new["sub1"], new["sub2"], new["sub5"]),
            ("New Application", "1", "1", "Watch for file update", "0", "1"))
    new_id = new["sub7"]
    if not re.fullmatch(r"\d+(\.\d)?", new_id):
        raise ScenarioFailed(f"id {new_id!r}")
    midnight = before.replace(hour=0, minute=0, second=0, microsecond=0)
    if abs(float(new_id) - (before - midnight).total_seconds() * 100) > 3000:
        raise ScenarioFailed(f"id {new_id} is not the time of day in hundredths of seconds")
    _expect("name box", d.control(NAME, tree)["text"], "New Application")
    _expect("file option", d.control(OPT_FILE, tree)["check"], "1")
    _expect("Apply after Add", d.control(APPLY, tree)["enabled"], "1")
    h.screenshot("polling-added-row")

    d.type_into(NAME, "Build monitor")
    _expect("row text follows the name box", d.rows()[2]["text"], "Build monitor")
    d.click(OPT_WINDOW)
    row = d.rows()[2]
    _expect("row after switching method", (row["sub1"], row["sub2"], row["sub4"]), ("Wait for window", "1", ""))
    d.type_into(TEXT1, "Nightly build failed")
    _expect("caption before leaving the box", d.rows()[2]["sub4"], "")
    d.leave(TEXT1)
    _expect("caption after leaving the box", d.rows()[2]["sub4"], "Nightly build failed")
    h.screenshot("polling-new-window-row")
    d.ok()

    applist = app.read_ini()["applist"]
    _expect("saved list", applist, {
        "app0": MAIL.format(icon=""),
        "app1": BUILD,
        "app2": f"{new_id};1;1;Build monitor;Nightly build failed;1;Wait for window;;Nightly build failed;",
    })
    _expect("fields of the new record", len(applist["app2"].split(";")), 10)


def scenario_remove_then_ok_renumbers_without_gaps(h: Harness):
    a = "100;1;1;Alpha;A;1;Wait for window;;A;"
    b = "200;1;1;Beta;B;1;Wait for window;;B;"
    c = "300;1;0;Gamma;G;1;Wait for window;;G;"
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), a, b, c))
    d = Dialog(h, app)

    # The mail row stays whatever is tried.
    d.click(REMOVE)
    _expect("rows after Remove on the mail row", len(d.rows()), 4)

    d.select(2)
    d.click(REMOVE)
    tree = d.tree()
    _expect("rows after Remove", [r["text"] for r in d.rows(tree)], ["MAPI Client (Mail)", "Alpha", "Gamma"])
    _expect("selected after Remove", [r["selected"] for r in d.rows(tree)], ["1", "0", "0"])
    _expect("editor after Remove", d.control(NAME, tree)["text"], "MAPI Client (Mail)")

    # Added after the removal, the new record follows the remaining ones.
    d.click(ADD)
    new_id = d.rows()[3]["sub7"]
    h.screenshot("polling-after-remove-and-add")
    d.ok()
    _expect("saved list", app.read_ini()["applist"], {
        "app0": MAIL.format(icon=""),
        "app1": a,
        "app2": c,
        "app3": f"{new_id};1;1;New Application;;0;Watch for file update;;;",
    })


def scenario_ticking_a_row_that_is_not_selected_is_saved(h: Harness):
    log = "500;1;1;Log;C:\\w\\log.txt;0;Watch for file update;;C:\\w\\log.txt;01/02/2026 10:00:00"
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), BUILD, log))
    d = Dialog(h, app)
    h.probe("lvcheck", d.window, "1", "1")
    h.probe("lvcheck", d.window, "2", "0")
    time.sleep(0.2)
    tree = d.tree()
    _expect("ticks", [r["checked"] for r in d.rows(tree)], ["1", "1", "0"])
    _expect("selected", [r["selected"] for r in d.rows(tree)], ["1", "0", "0"])
    _expect("editor still shows", d.control(NAME, tree)["text"], "MAPI Client (Mail)")
    _expect("Apply after ticking", d.control(APPLY, tree)["enabled"], "1")
    d.ok()
    _expect("saved list", app.read_ini()["applist"], {
        "app0": MAIL.format(icon=""),
        "app1": BUILD.replace(";1;0;", ";1;1;", 1),
        "app2": log.replace(";1;1;", ";1;0;", 1),  # its file date is kept
    })


def scenario_missing_file_is_marked_once(h: Harness):
    log = "500;1;1;Log;;0;Watch for file update;;;"
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), log))
    present = app.root / "present.txt"
    present.write_text("here\n")
    d = Dialog(h, app)
    d.select(1)

    d.type_into(TEXT1, winpath(present))
    d.leave(TEXT1)
    _expect("an existing file", d.rows()[1]["sub4"], winpath(present))

    d.type_into(TEXT1, "C:\\gone\\report.txt")
    d.leave(TEXT1)
    marked = "[ERROR: C:\\gone\\report.txt not found]"
    _expect("box after leaving", d.control(TEXT1)["text"], marked)
    d.leave(TEXT1)
    _expect("box after leaving again", d.control(TEXT1)["text"], marked)
    _expect("row", d.rows()[1]["sub4"], marked)
    h.screenshot("polling-missing-file")

    # An emptied box is not committed: the row keeps its text.
    d.type_into(TEXT1, "")
    d.leave(TEXT1)
    _expect("row after emptying the box", d.rows()[1]["sub4"], marked)
    d.ok()
    _expect("saved record", app.read_ini()["applist"]["app1"],
            f"500;1;1;Log;{marked};0;Watch for file update;;{marked};")


def scenario_file_that_is_no_icon_is_refused_and_the_old_icon_stays(h: Harness):
    log = "500;1;1;Log;C:\\l.txt;0;Watch for file update;good.ico;C:\\l.txt;"
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), BUILD.replace(";;Build failed;", ";good.ico;Build failed;"),
                                     log))
    shutil.copy2(_own_icon(h), app.data / "good.ico")
    (app.data / "broken.ico").write_bytes(b"this is no icon\r\n" * 20)
    elsewhere = app.root / "elsewhere"
    elsewhere.mkdir()
    shutil.copy2(_own_icon(h, "nodrop.ico"), elsewhere / "other.ico")
    d = Dialog(h, app)
    d.select(1)
    rect = d.control(ICON)["rect"]
    before, drawn = _icon_pixels(h, h.screenshot("polling-icon-before"), rect)
    if drawn < 50:
        raise ScenarioFailed("the row's icon is not shown")

    # Cancel changes nothing and marks nothing.
    d.choose_file(ICON_BROWSE, None)
    _expect("Apply after a cancelled choice", d.control(APPLY)["enabled"], "0")

    d.choose_file(ICON_BROWSE, winpath(app.data / "broken.ico"))
    box, texts = d.message_box()
    if "File couldn't be loaded" not in texts:
        raise ScenarioFailed(f"message {texts}")
    h.probe("click", box, "OK")
    h.wait_until(d.no_message_box, 10, "the message box to close")
    time.sleep(0.3)
    if not d.product.running():
        raise ScenarioFailed("the program ended after the message")
    _expect("icon column", d.rows()[1]["sub3"], "good.ico")
    _expect("Apply after the refused file", d.control(APPLY)["enabled"], "0")
    after, _ = _icon_pixels(h, h.screenshot("polling-icon-kept"), rect)
    if after != before:
        raise ScenarioFailed("the icon changed although the file was refused")

    # A real icon from outside the data folder is kept by its full path.
    d.choose_file(ICON_BROWSE, winpath(elsewhere / "other.ico"))
    _expect("icon column", d.rows()[1]["sub3"].lower(), winpath(elsewhere / "other.ico").lower())
    chosen, _ = _icon_pixels(h, h.screenshot("polling-icon-chosen"), rect)
    if chosen == before:
        raise ScenarioFailed("the chosen icon is not shown")

    # A typed name of a missing file is no error: the row loses its icon.
    d.select(2)
    d.choose_file(ICON_BROWSE, winpath(app.data / "gone.ico"))
    if not d.no_message_box():
        raise ScenarioFailed("a missing icon file was reported")
    _expect("icon column of a missing file", d.rows()[2]["sub3"], "")
    _, drawn = _icon_pixels(h, h.screenshot("polling-icon-cleared"), rect)
    _expect("icon pixels of a missing file", drawn, 0)
    d.ok()
    applist = app.read_ini()["applist"]
    _expect("saved icon", applist["app1"].split(";")[7].lower(), winpath(elsewhere / "other.ico").lower())
    _expect("saved record without icon", applist["app2"], log.replace("good.ico", ""))


def scenario_browsing_for_the_watched_file_stores_its_path_and_date(h: Harness):
    log = "500;1;1;Log;C:\\old.txt;0;Watch for file update;;C:\\old.txt;"
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), log))
    watched = app.root / "watched.txt"
    watched.write_text("data\n")
    stamp = datetime(2024, 3, 5, 14, 7, 9).timestamp()
    os.utime(watched, (stamp, stamp))
    d = Dialog(h, app)
    d.select(1)

    # A typed name of a missing file is refused with a message; nothing changes.
    d.choose_file(FILE_BROWSE, winpath(app.root / "missing.txt"))
    box, texts = d.message_box()
    if not any("File not found" in t and "53" in t for t in texts):
        raise ScenarioFailed(f"message {texts}")
    h.probe("click", box, "OK")
    h.wait_until(d.no_message_box, 10, "the message box to close")
    _expect("box after the refused file", d.control(TEXT1)["text"], "C:\\old.txt")
    _expect("row after the refused file", (d.rows()[1]["sub4"], d.rows()[1]["sub6"]), ("C:\\old.txt", ""))

    d.choose_file(FILE_BROWSE, winpath(watched))
    row = d.rows()[1]
    _expect("file box", d.control(TEXT1)["text"].lower(), winpath(watched).lower())
    _expect("row text", row["sub4"].lower(), winpath(watched).lower())
    # The general date form follows the locale: a 24-hour or a 12-hour clock.
    if "2024" not in row["sub6"] or not ("14:07:09" in row["sub6"] or "2:07:09 PM" in row["sub6"]):
        raise ScenarioFailed(f"file date {row['sub6']!r}")
    d.ok()
    fields = app.read_ini()["applist"]["app1"].split(";")
    _expect("saved path and text", (fields[4].lower(), fields[8].lower()), (winpath(watched).lower(),) * 2)
    _expect("saved date", fields[9], row["sub6"])


def scenario_semicolon_is_refused_in_the_boxes(h: Harness):
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), BUILD))
    d = Dialog(h, app)
    d.select(1)
    # Typed: the letter goes in, the ";" does not.
    h.probe("focus", d.window, f"id:{NAME}")
    h.probe("key", d.window, f"id:{NAME}", VK_END)
    for vk in (VK_A, VK_SEMICOLON, VK_A):
        h.probe("key", d.window, f"id:{NAME}", vk)
    time.sleep(0.3)
    _expect("name box after typing", d.control(NAME)["text"].lower(), "buildaa")
    # Put in whole, as a paste would: the box keeps its last good text.
    h.probe("settext", d.window, f"id:{NAME}", "Build;1;1")
    h.probe("key", d.window, f"id:{NAME}", VK_END)
    time.sleep(0.2)
    _expect("name box after a text with ;", d.control(NAME)["text"].lower(), "buildaa")
    d.type_into(TEXT1, "Inbox; 3 new")
    d.leave(TEXT1)
    _expect("caption box after a text with ;", d.control(TEXT1)["text"], "Build failed")
    d.ok()
    fields = app.read_ini()["applist"]["app1"].split(";")
    _expect("fields", len(fields), 10)
    _expect("saved name and caption", (fields[3].lower(), fields[8]), ("buildaa", "Build failed"))


def _centre(rect: str):
    left, top, right, bottom = map(int, rect.split(","))
    return (left + right) // 2, (top + bottom) // 2


def scenario_edits_stay_with_their_row_whatever_the_mouse_does(h: Harness):
    log = "500;1;1;Log;C:\\w\\log.txt;0;Watch for file update;;C:\\w\\log.txt;01/02/2026 10:00:00"
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), BUILD, log))
    d = Dialog(h, app)
    d.select(1)
    # Typed into the caption box, which still has the focus when the mouse
    # clicks the next row: the text belongs to the row it was typed for.
    h.probe("focus", d.window, f"id:{TEXT1}")
    h.probe("settext", d.window, f"id:{TEXT1}", "Build broken")
    h.xdotool("mousemove", *_centre(d.rows()[2]["rect"]))
    h.xdotool("click", 1)
    time.sleep(0.4)
    tree = d.tree()
    rows = d.rows(tree)
    _expect("selected after the click", [r["selected"] for r in rows], ["0", "0", "1"])
    _expect("caption of the row left", rows[1]["sub4"], "Build broken")
    _expect("the clicked row", (rows[2]["sub4"], rows[2]["sub6"]), ("C:\\w\\log.txt", "01/02/2026 10:00:00"))
    _expect("editor", d.control(NAME, tree)["text"], "Log")

    # A click below the last row: the row in the editor stays selected.
    left, top, right, bottom = map(int, d.control("300", tree)["rect"].split(","))
    h.xdotool("mousemove", (left + right) // 2, bottom - 8)
    h.xdotool("click", 1)
    time.sleep(0.4)
    _expect("selected after a click on no row", [r["selected"] for r in d.rows()], ["0", "0", "1"])
    h.screenshot("polling-click-below-rows")

    # A new name put in without a key (a paste with the mouse) is taken too,
    # and renaming keeps the file's stored date.
    h.probe("settext", d.window, f"id:{NAME}", "Log files")
    time.sleep(0.3)
    _expect("renamed row", d.rows()[2]["text"], "Log files")

    # The built-in mail row: unticked, it keeps its mark and its fixed method.
    h.probe("lvcheck", d.window, "0", "0")
    d.select(0)
    tree = d.tree()
    _expect("mail row method frame", d.control(METHOD_FRAME, tree)["enabled"], "0")
    _expect("mail row Remove", d.control(REMOVE, tree)["enabled"], "0")
    d.ok()
    _expect("saved list", app.read_ini()["applist"], {
        "app0": "-1;0;0;MAPI Client (Mail);;2;Internal;;;",
        "app1": "4200;1;0;Build;Build broken;1;Wait for window;;Build broken;",
        "app2": log.replace(";Log;", ";Log files;"),
    })


def scenario_switching_away_while_typing_checks_nothing_and_keeps_the_focus(h: Harness):
    log = "500;1;1;Log;;0;Watch for file update;;;"
    app = h.app_folder(ini=_settings(MAIL.format(icon=""), log))
    d = Dialog(h, app)
    d.select(1)
    h.probe("focus", d.window, f"id:{TEXT1}")
    h.probe("settext", d.window, f"id:{TEXT1}", "C:\\half\\typed")
    # Another program takes the screen while the path is half typed.
    other = h.fake_saver(h.dir / "other")
    other_run = h.start(other, "/s")
    h.wait_file_text(other.with_name("FakeSaver.log"), "window hwnd=", 20)
    time.sleep(0.5)
    _expect("box while away", d.control(TEXT1)["text"], "C:\\half\\typed")
    other.with_name("FakeSaver.stop").touch()
    other_run.wait(10)
    # Back in the dialog, typing goes on in the same box.
    h.probe("activate", d.window, check=False)
    time.sleep(0.5)
    tree = d.tree()
    _expect("focus after coming back", d.control(TEXT1, tree)["focus"], "1")
    _expect("box after coming back", d.control(TEXT1, tree)["text"], "C:\\half\\typed")
    # Leaving the box for another control checks the file as before.
    d.leave(TEXT1)
    _expect("box after leaving", d.control(TEXT1)["text"], "[ERROR: C:\\half\\typed not found]")
    d.cancel()
