"""The "Polling" page: the list of watched applications, its row editor and
the icon chooser, driven as a user would."""

import os
import re
import shutil
import time
from datetime import datetime

from harness import ConfigDialog, Harness, ScenarioFailed, centre, expect, mail_record, rect, settings_ini, winpath

# Control ids of the page.
ADD, REMOVE, UPDATE, RESET = "301", "304", "302", "303"
NAME, ICON, ICON_BROWSE = "307", "310", "311"
METHOD_FRAME, OPT_FILE, OPT_WINDOW, OPT_INTERNAL = "312", "313", "314", "315"
OPT_PROGRAM, OPT_FOLDER = "319", "320"
TEXT_LABEL, TEXT1, FILE_BROWSE = "316", "317", "318"
APPLY = "103"

VK_END, VK_A, VK_SEMICOLON = "0x23", "0x41", "0xBA"

MAIL = mail_record()
BUILD = "4200;1;0;Build;Build failed;1;Wait for window;;Build failed;"
LOG = "500;1;1;Log;C:\\w\\log.txt;0;Watch for file update;;C:\\w\\log.txt;01/02/2026 10:00:00"


class Page(ConfigDialog):
    """The configuration dialog, opened on its "Polling" page over these
    records, with `icons` (name: source) in the data folder."""

    def __init__(self, h: Harness, *records: str, icons=None):
        self.app = h.app_folder(ini=settings_ini("", records, position="48;295", blink=0, enlarged=0, orientation=2))
        for name, source in (icons or {}).items():
            shutil.copy2(source, self.app.data / name)
        super().__init__(h, self.app, tab=1)

    def key(self, cid: str, *vks: str):
        for vk in vks:
            self.h.probe("key", self.hwnd, f"id:{cid}", vk)

    def leave(self, cid: str):
        """Focus on the box, then away from it: its leave handler runs."""
        self.h.probe("focus", self.hwnd, f"id:{cid}")
        self.h.probe("focus", self.hwnd, f"id:{NAME}")
        time.sleep(0.2)

    def choose_file(self, browse: str, path: str | None):
        """Browse, then in the file dialog type path and open it (None: cancel)."""
        self.click(browse)
        opened = self.h.probe("wait", "Open", "10000")[0]["hwnd"]
        open_tree = self.h.probe("tree", opened)
        self.h.wait_until(lambda: self._drawn(open_tree, "open-dialog"), 5, "the Open dialog to be drawn",
                          interval=0.5)
        if path is None:
            self.h.probe("click", opened, "Cancel")
        else:
            edit = next(r["hwnd"] for r in self.h.probe("tree", opened)
                        if r.get("class") == "Edit" and r.get("id") == "1148")
            self.h.probe("settext", opened, edit, path)
            self.h.probe("click", opened, "Open")
        self.h.wait_until(lambda: self.h.probe_one("find", "Open") is None, 10, "the file dialog to close")
        time.sleep(0.3)

    def saved(self):
        return self.app.read_ini()["applist"]


def _own_icon(h: Harness, name: str = "vigilumen.ico"):
    return h.config.source_dir / "src" / "res" / "generated" / name


def _icon_pixels(h: Harness, label: str, rec):
    """The pixels of the icon picture, and how many differ from the face colour."""
    x0, y0, x1, y1 = rect(rec)
    img = h.pixels(h.screenshot(label))
    pixels = [img.at(x, y) for y in range(y0, y1) for x in range(x0, x1)]
    return pixels, sum(1 for p in pixels if p != img.at(x0 + 1, y0 + 1))


def scenario_mail_row_window_row_and_ticking_a_row_that_is_not_selected(h: Harness):
    d = Page(h, mail_record(icon="mailQX.ico"), BUILD, LOG, icons={"mailQX.ico": _own_icon(h)})
    tree = d.tree()
    expect("rows", [(r["text"], r["sub1"], r["checked"], r["selected"]) for r in d.rows(tree)],
           [("MAPI Client (Mail)", "Internal", "1", "1"), ("Build", "Wait for window", "0", "0"),
            ("Log", "Watch for file update", "1", "0")])
    expect("Internal chosen", (d.control(OPT_INTERNAL, tree)["check"], d.control(OPT_INTERNAL, tree)["enabled"]),
           ("1", "0"))
    expect("file box, its Browse and label visible", [d.control(c, tree)["visible"] for c in (TEXT1, FILE_BROWSE,
                                                                                              TEXT_LABEL)], ["0"] * 3)
    expect("Remove, update, reset, method frame, file and window options enabled",
           [d.control(c, tree)["enabled"] for c in (REMOVE, UPDATE, RESET, METHOD_FRAME, OPT_FILE, OPT_WINDOW)],
           ["0"] * 6)
    expect("name box and Apply", (d.control(NAME, tree)["text"], d.control(APPLY, tree)["enabled"]),
           ("MAPI Client (Mail)", "0"))
    if _icon_pixels(h, "polling-mail-row", d.control(ICON, tree))[1] < 50:
        raise ScenarioFailed("the mail icon is not shown")

    # A row of the user's: the caption box is back and it can be removed.
    d.select_row(1)
    tree = d.tree()
    expect("window option, caption label and box", (d.control(OPT_WINDOW, tree)["check"],
           d.control(TEXT_LABEL, tree)["text"], d.control(TEXT1, tree)["visible"], d.control(TEXT1, tree)["text"]),
           ("1", "Window caption", "1", "Build failed"))
    expect("file Browse visible", d.control(FILE_BROWSE, tree)["visible"], "0")
    expect("Remove, method frame, Internal, Apply enabled",
           [d.control(c, tree)["enabled"] for c in (REMOVE, METHOD_FRAME, OPT_INTERNAL, APPLY)], ["1", "1", "0", "0"])
    expect("icon of a row without one", _icon_pixels(h, "polling-window-row", d.control(ICON, tree))[1], 0)

    h.probe("lvcheck", d.hwnd, "2", "0")
    time.sleep(0.2)
    tree = d.tree()
    expect("ticks and selection", [(r["checked"], r["selected"]) for r in d.rows(tree)],
           [("1", "0"), ("0", "1"), ("0", "0")])
    expect("editor and Apply after ticking", (d.control(NAME, tree)["text"], d.control(APPLY, tree)["enabled"]),
           ("Build", "1"))
    d.ok()
    expect("saved rows", [d.saved()["app1"], d.saved()["app2"]], [BUILD, LOG.replace(";1;1;", ";1;0;", 1)])


def scenario_a_record_of_an_unknown_method_keeps_its_fields_when_ticked_and_renamed(h: Harness):
    """A newer version's record (method 9): no option chosen, its text shown
    but fixed, and OK saves it with only its name and tick changed."""
    future = "5;1;0;Future;p;9;Future;;caption;"
    d = Page(h, MAIL, future, BUILD)
    d.select_row(1)
    tree = d.tree()
    expect("no method chosen", [d.control(c, tree)["check"] for c in (OPT_FILE, OPT_WINDOW, OPT_INTERNAL, OPT_PROGRAM,
                                                                       OPT_FOLDER)], ["0"] * 5)
    expect("text shown, fields fixed, Remove allowed",
           [d.control(TEXT1, tree)["visible"], d.control(TEXT1, tree)["text"]] +
           [d.control(c, tree)["enabled"] for c in (TEXT1, OPT_FILE, OPT_WINDOW, OPT_PROGRAM, OPT_FOLDER, ICON_BROWSE,
                                                    REMOVE)],
           ["1", "caption", "0", "0", "0", "0", "0", "0", "1"])
    h.screenshot("polling-unknown-method")
    h.probe("lvcheck", d.hwnd, "1", "1")
    d.type_into(NAME, "Later")
    expect("row text", d.rows()[1]["text"], "Later")
    d.select_row(2)  # the editor shows a known row again
    expect("window row editable", [d.control(c)["enabled"] for c in (TEXT1, OPT_WINDOW, ICON_BROWSE)], ["1"] * 3)
    d.ok()
    expect("saved records", [d.saved()["app1"], d.saved()["app2"]], ["5;1;1;Later;p;9;Future;;caption;", BUILD])


def scenario_remove_add_and_edit_rows_then_ok_saves_the_list_without_gaps(h: Harness):
    a, b, c = (f"{n};1;{t};{name};{name[0]};1;Wait for window;;{name[0]};"
               for n, t, name in ((100, 1, "Alpha"), (200, 1, "Beta"), (300, 0, "Gamma")))
    d = Page(h, MAIL, a, b, c)
    d.click(REMOVE)  # the mail row stays whatever is tried
    expect("rows after Remove on the mail row", len(d.rows()), 4)
    d.select_row(2)
    d.click(REMOVE)
    tree = d.tree()
    expect("rows after Remove", [(r["text"], r["selected"]) for r in d.rows(tree)],
           [("MAPI Client (Mail)", "1"), ("Alpha", "0"), ("Gamma", "0")])
    expect("editor after Remove", d.control(NAME, tree)["text"], "MAPI Client (Mail)")

    # Added after the removal, the new record follows the remaining ones.
    before = datetime.now()
    d.click(ADD)
    tree = d.tree()
    new = d.rows(tree)[3]
    expect("new row", (len(d.rows(tree)), new["text"], new["checked"], new["selected"], new["sub1"], new["sub2"],
                       new["sub5"]), (4, "New Application", "1", "1", "Watch for file update", "0", "1"))
    new_id = new["sub7"]
    midnight = before.replace(hour=0, minute=0, second=0, microsecond=0)
    if not re.fullmatch(r"\d+(\.\d)?", new_id) or \
            abs(float(new_id) - (before - midnight).total_seconds() * 100) > 3000:
        raise ScenarioFailed(f"id {new_id!r} is not the time of day in hundredths of seconds")
    expect("editor after Add", (d.control(NAME, tree)["text"], d.control(OPT_FILE, tree)["check"],
                                d.control(APPLY, tree)["enabled"]), ("New Application", "1", "1"))
    h.screenshot("polling-added-row")

    # Typed, a letter goes in and a ";" does not; a whole text with one is refused.
    h.probe("focus", d.hwnd, f"id:{NAME}")
    d.key(NAME, VK_END, VK_A, VK_SEMICOLON, VK_A)
    time.sleep(0.3)
    expect("name box after typing", d.control(NAME)["text"].lower(), "new applicationaa")
    h.probe("settext", d.hwnd, f"id:{NAME}", "Build;1;1")
    d.key(NAME, VK_END)
    time.sleep(0.2)
    expect("name box after a text with ;", d.control(NAME)["text"].lower(), "new applicationaa")
    d.type_into(NAME, "Build monitor")
    expect("row text follows the name box", d.rows()[3]["text"], "Build monitor")

    d.click(OPT_WINDOW)
    row = d.rows()[3]
    expect("row after switching method", (row["sub1"], row["sub2"], row["sub4"]), ("Wait for window", "1", ""))
    d.type_into(TEXT1, "Nightly build failed")
    expect("caption before leaving the box", d.rows()[3]["sub4"], "")
    d.leave(TEXT1)
    expect("caption after leaving the box", d.rows()[3]["sub4"], "Nightly build failed")
    d.type_into(TEXT1, "Inbox; 3 new")
    d.leave(TEXT1)
    expect("caption box after a text with ;", d.control(TEXT1)["text"], "Nightly build failed")
    h.screenshot("polling-new-window-row")
    d.ok()
    expect("saved list", d.saved(), {"app0": MAIL, "app1": a, "app2": c, "app3":
                                     f"{new_id};1;1;Build monitor;Nightly build failed;1;Wait for window;;"
                                     "Nightly build failed;"})


def scenario_watched_file_browsed_or_typed_is_checked(h: Harness):
    d = Page(h, MAIL, "500;1;1;Log;C:\\old.txt;0;Watch for file update;;C:\\old.txt;",
             "600;1;1;Typed;;0;Watch for file update;;;")
    watched, present = d.app.root / "watched.txt", d.app.root / "present.txt"
    watched.write_text("data\n")
    present.write_text("here\n")
    stamp = datetime(2024, 3, 5, 14, 7, 9).timestamp()
    os.utime(watched, (stamp, stamp))

    # Browsing: a typed name of a missing file is refused with a message; nothing changes.
    d.select_row(1)
    d.choose_file(FILE_BROWSE, winpath(d.app.root / "missing.txt"))
    d.dismiss_message("File not found")
    expect("box and row after the refused file", (d.control(TEXT1)["text"], d.rows()[1]["sub4"], d.rows()[1]["sub6"]),
           ("C:\\old.txt", "C:\\old.txt", ""))
    d.choose_file(FILE_BROWSE, winpath(watched))
    row = d.rows()[1]
    expect("file box and row text", (d.control(TEXT1)["text"].lower(), row["sub4"].lower()),
           (winpath(watched).lower(),) * 2)
    # The general date form follows the locale: a 24-hour or a 12-hour clock.
    if "2024" not in row["sub6"] or not ("14:07:09" in row["sub6"] or "2:07:09 PM" in row["sub6"]):
        raise ScenarioFailed(f"file date {row['sub6']!r}")

    # Typed: an existing file is taken, a missing one marked once, an emptied box not committed.
    d.select_row(2)
    d.type_into(TEXT1, winpath(present))
    d.leave(TEXT1)
    expect("an existing file", d.rows()[2]["sub4"], winpath(present))
    d.type_into(TEXT1, "C:\\gone\\report.txt")
    d.leave(TEXT1)
    marked = "[ERROR: C:\\gone\\report.txt not found]"
    expect("box after leaving", d.control(TEXT1)["text"], marked)
    d.leave(TEXT1)
    expect("box and row after leaving again", (d.control(TEXT1)["text"], d.rows()[2]["sub4"]), (marked, marked))
    h.screenshot("polling-missing-file")
    d.type_into(TEXT1, "")
    d.leave(TEXT1)
    expect("row after emptying the box", d.rows()[2]["sub4"], marked)
    d.ok()

    fields = d.saved()["app1"].split(";")
    expect("saved path, text and date", (fields[4].lower(), fields[8].lower(), fields[9]),
           (winpath(watched).lower(), winpath(watched).lower(), row["sub6"]))
    expect("saved typed record", d.saved()["app2"], f"600;1;1;Typed;{marked};0;Watch for file update;;{marked};")


def scenario_file_that_is_no_icon_is_refused_and_the_old_icon_stays(h: Harness):
    log = "500;1;1;Log;C:\\l.txt;0;Watch for file update;good.ico;C:\\l.txt;"
    d = Page(h, MAIL, BUILD.replace(";;Build failed;", ";good.ico;Build failed;"), log,
             icons={"good.ico": _own_icon(h)})
    data = d.app.data
    (data / "broken.ico").write_bytes(b"this is no icon\r\n" * 20)
    other = d.app.root / "elsewhere" / "other.ico"
    other.parent.mkdir()
    shutil.copy2(_own_icon(h, "nodrop.ico"), other)
    d.select_row(1)
    icon = d.control(ICON)
    before, drawn = _icon_pixels(h, "polling-icon-before", icon)
    if drawn < 50:
        raise ScenarioFailed("the row's icon is not shown")

    # Cancel changes nothing and marks nothing.
    d.choose_file(ICON_BROWSE, None)
    expect("Apply after a cancelled choice", d.control(APPLY)["enabled"], "0")
    d.choose_file(ICON_BROWSE, winpath(data / "broken.ico"))
    d.dismiss_message("File couldn't be loaded")
    expect("icon column and Apply after the refused file", (d.rows()[1]["sub3"], d.control(APPLY)["enabled"]),
           ("good.ico", "0"))
    if _icon_pixels(h, "polling-icon-kept", icon)[0] != before:
        raise ScenarioFailed("the icon changed although the file was refused")

    # A real icon from outside the data folder is kept by its full path.
    d.choose_file(ICON_BROWSE, winpath(other))
    expect("icon column", d.rows()[1]["sub3"].lower(), winpath(other).lower())
    if _icon_pixels(h, "polling-icon-chosen", icon)[0] == before:
        raise ScenarioFailed("the chosen icon is not shown")

    # A typed name of a missing file is no error: the row loses its icon.
    d.select_row(2)
    d.choose_file(ICON_BROWSE, winpath(data / "gone.ico"))
    if d._message_boxes():
        raise ScenarioFailed("a missing icon file was reported")
    expect("icon column of a missing file", d.rows()[2]["sub3"], "")
    expect("icon pixels of a missing file", _icon_pixels(h, "polling-icon-cleared", icon)[1], 0)
    d.ok()
    expect("saved icons", (d.saved()["app1"].split(";")[7].lower(), d.saved()["app2"]),
           (winpath(other).lower(), log.replace("good.ico", "")))


def scenario_edits_stay_with_their_row_whatever_the_mouse_does(h: Harness):
    d = Page(h, MAIL, BUILD, LOG)
    d.select_row(1)
    # Typed into the caption box, which still has the focus when the mouse
    # clicks the next row: the text belongs to the row it was typed for.
    h.probe("focus", d.hwnd, f"id:{TEXT1}")
    h.probe("settext", d.hwnd, f"id:{TEXT1}", "Build broken")
    h.xdotool("mousemove", *centre(rect(d.rows()[2])))
    h.xdotool("click", 1)
    time.sleep(0.4)
    tree = d.tree()
    rows = d.rows(tree)
    expect("selected after the click", [r["selected"] for r in rows], ["0", "0", "1"])
    expect("caption of the row left", rows[1]["sub4"], "Build broken")
    expect("the clicked row", (rows[2]["sub4"], rows[2]["sub6"]), ("C:\\w\\log.txt", "01/02/2026 10:00:00"))
    expect("editor", d.control(NAME, tree)["text"], "Log")

    # A click below the last row: the row in the editor stays selected.
    left, top, right, bottom = rect(d.control("300", tree))
    h.xdotool("mousemove", (left + right) // 2, bottom - 8)
    h.xdotool("click", 1)
    time.sleep(0.4)
    expect("selected after a click on no row", [r["selected"] for r in d.rows()], ["0", "0", "1"])
    h.screenshot("polling-click-below-rows")

    # A new name put in without a key (a paste with the mouse) is taken too,
    # and renaming keeps the file's stored date.
    h.probe("settext", d.hwnd, f"id:{NAME}", "Log files")
    time.sleep(0.3)
    expect("renamed row", d.rows()[2]["text"], "Log files")

    # The built-in mail row: unticked, it keeps its mark and its fixed method.
    h.probe("lvcheck", d.hwnd, "0", "0")
    d.select_row(0)
    tree = d.tree()
    expect("mail row method frame and Remove enabled",
           (d.control(METHOD_FRAME, tree)["enabled"], d.control(REMOVE, tree)["enabled"]), ("0", "0"))
    d.ok()
    expect("saved list", d.saved(), {"app0": mail_record(0),
                                     "app1": "4200;1;0;Build;Build broken;1;Wait for window;;Build broken;",
                                     "app2": LOG.replace(";Log;", ";Log files;")})


def scenario_switching_away_while_typing_checks_nothing_and_keeps_the_focus(h: Harness):
    d = Page(h, MAIL, "500;1;1;Log;;0;Watch for file update;;;")
    d.select_row(1)
    h.probe("focus", d.hwnd, f"id:{TEXT1}")
    h.probe("settext", d.hwnd, f"id:{TEXT1}", "C:\\half\\typed")
    # Another program takes the screen while the path is half typed.
    other = h.fake_saver(h.dir / "other")
    other_run = h.start(other, "/s")
    h.wait_file_text(other.with_name("FakeSaver.log"), "window hwnd=", 20)
    time.sleep(0.5)
    expect("box while away", d.control(TEXT1)["text"], "C:\\half\\typed")
    other.with_name("FakeSaver.stop").touch()
    other_run.wait(10)
    # Back in the dialog, typing goes on in the same box.
    h.probe("activate", d.hwnd, check=False)
    time.sleep(0.5)
    tree = d.tree()
    expect("focus and text after coming back", (d.control(TEXT1, tree)["focus"], d.control(TEXT1, tree)["text"]),
           ("1", "C:\\half\\typed"))
    # Leaving the box for another control checks the file as before.
    d.leave(TEXT1)
    expect("box after leaving", d.control(TEXT1)["text"], "[ERROR: C:\\half\\typed not found]")
    d.cancel()


def scenario_program_and_folder_rows_are_set_up_with_typed_keys_and_browse(h: Harness):
    """Two new rows, a program to wait for and a folder to watch, typed with
    real keys; Browse names the folder shown in the file dialog."""
    d = Page(h, MAIL)
    scans = d.app.root / "scans"
    scans.mkdir()

    def typed(cid: str, keys: str, *before: str):
        h.probe("focus", d.hwnd, f"id:{cid}")
        if before:
            h.xdotool("key", *before)
        h.xdotool("type", "--delay", "30", keys)
        time.sleep(0.3)

    d.click(ADD)
    d.click(OPT_PROGRAM)
    tree = d.tree()
    expect("program option, label, box and Browse", (d.control(OPT_PROGRAM, tree)["text"],
           d.control(OPT_PROGRAM, tree)["check"], d.control(TEXT_LABEL, tree)["text"],
           d.control(TEXT1, tree)["visible"], d.control(FILE_BROWSE, tree)["visible"]),
           ("Wait for program to end", "1", "Program name or path", "1", "1"))
    typed(NAME, "Nightly export", "ctrl+a")
    typed(TEXT1, "FFmpeg.exe")
    d.leave(TEXT1)
    row = d.rows()[1]
    expect("program row", (row["text"], row["sub1"], row["sub2"], row["sub4"]),
           ("Nightly export", "Wait for program to end", "3", "FFmpeg.exe"))

    d.click(ADD)
    d.click(OPT_FOLDER)
    typed(NAME, "Scans", "ctrl+a")
    d.choose_file(FILE_BROWSE, winpath(scans / "This folder"))
    expect("folder box after Browse", d.control(TEXT1)["text"].lower(), winpath(scans).lower())
    typed(TEXT1, "\\*.pdf", "End")
    d.leave(TEXT1)
    tree = d.tree()
    expect("folder option and label", (d.control(OPT_FOLDER, tree)["check"], d.control(TEXT_LABEL, tree)["text"]),
           ("1", "Folder (and \\*.pdf)"))
    h.screenshot("polling-folder-row")
    ids = [r["sub7"] for r in d.rows(tree)]
    d.ok()
    saved = d.saved()
    folder = saved["app2"].split(";")[8]
    expect("saved folder text", folder.lower(), (winpath(scans) + "\\*.pdf").lower())
    expect("saved records", [saved["app1"], saved["app2"]],
           [f"{ids[1]};1;1;Nightly export;FFmpeg.exe;3;Wait for program to end;;FFmpeg.exe;",
            f"{ids[2]};1;1;Scans;{folder};4;Watch folder for new files;;{folder};"])
