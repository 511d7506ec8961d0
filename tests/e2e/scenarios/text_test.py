"""Text in any script: folders, savers, captions and records named in
Cyrillic, CJK and an emoji (a surrogate pair), none of which Wine's ANSI code
page here (1252, Western European, under LANG=C.UTF-8) can hold."""

import shutil
import time

from harness import ConfigDialog, Harness, ScenarioFailed, end_saver, expect, mail_record, rect, saver_cmdline, \
    saver_window, settings_ini, winpath

SCRIPTS = "Жук 日本 \U0001F41D"
BEE, LADYBIRD = "\U0001F41D", "\U0001F41E"
WINDOWS = "C:\\windows\\"
NAME_BOX, TEXT_BOX = "307", "317"


def _utf16(app) -> bool:
    return app.ini.read_bytes()[:2] == b"\xff\xfe"


def scenario_a_folder_named_in_any_script_starts_in_every_mode_and_watches_such_captions(h: Harness):
    app = h.app_folder(ini=None, name=f"app {SCRIPTS}")
    h.run_ok(app.scr, "/p", "1234")  # the first start writes the file whole, as UTF-16
    if not _utf16(app):
        raise ScenarioFailed(f"first start wrote {app.ini.read_bytes()[:16]!r}")
    expect("first record", app.read_ini()["applist"]["app0"], mail_record(icon=winpath(app.data / "mail.ico")))

    saver = h.fake_saver(h.dir / f"savers {SCRIPTS}", name=f"Сон {SCRIPTS}.scr")
    shutil.copy2(h.config.source_dir / "data" / "QVX_data" / "window.ico", app.data / "знак 日.ico")
    # The second differs from the window's caption only in its emoji: no match.
    match = f"9;1;1;Чат {SCRIPTS};Чат {BEE};1;Wait for window;знак 日.ico;Чат {BEE};"
    other = f"10;1;1;Другой;Чат {LADYBIRD};1;Wait for window;знак 日.ico;Чат {LADYBIRD};"
    records = [mail_record(0), match, other]
    app.ini.write_bytes(settings_ini(winpath(saver), records, position="100;120", blink=0, orientation=1)
                        .replace("\n", "\r\n").encode("utf-16"))

    h.run_ok(app.scr, "/p", "1234")
    h.wait_file_text(saver.with_name("FakeSaver.log"), "start ", 15)
    expect("saver command line in preview", saver_cmdline(saver), f'"{winpath(saver)}" /p 1234')

    stop, _ = h.caption_window(f"Чат {BEE} — 3 новых 日本語")
    product = h.start_hosted(app, saver, "/s")
    expect("saver command line in run mode", saver_cmdline(saver, -1), f'"{winpath(saver)}" /s')
    saver_hwnd = saver_window(saver)

    def carrier():
        found = [r for r in h.probe("tree", saver_hwnd, check=False) if r.get("class") == "Vigilumen.frmIcon"]
        return found[0] if found and rect(found[0])[2] - rect(found[0])[0] > 0 else None
    shown = h.wait_until(carrier, 12, "the icon of the matching record", interval=0.3)
    time.sleep(3.5)  # another poll cycle: the record that differs only in its emoji stays unmatched
    shown = carrier()
    width, height = rect(shown)[2] - rect(shown)[0], rect(shown)[3] - rect(shown)[1]
    expect("carrier size (one icon)", (width, height), (32, 32))
    # The window icon's blue title bar inside the carrier.
    if h.snap(shown["hwnd"]).count((0, 0, 32, 32), lambda p: p[2] > 150 and p[0] < 120) < 15:
        raise ScenarioFailed("the icon named in Cyrillic and CJK was not loaded")
    stop.touch()
    end_saver(saver, product, 10)
    expect("records after the run", app.read_ini()["applist"], {f"app{i}": r for i, r in enumerate(records)})

    d = ConfigDialog(h, app, tab=1)
    expect("rows in the dialog", [r["text"] for r in d.rows()], ["MAPI Client (Mail)", f"Чат {SCRIPTS}", "Другой"])
    d.cancel()


def scenario_names_in_any_script_survive_the_dialog_and_a_run_and_an_ansi_file_keeps_its_accents(h: Harness):
    """An ANSI file holding "Zoë" reads right; a saver named in such scripts
    is listed and chosen; a record renamed so is saved whole with OK, survives
    a run and its end-of-run save, and is shown unchanged again."""
    saver = h.fake_saver(h.system_folder().parent, name=f"Сон {SCRIPTS}.scr")
    zoe = "7;1;1;Zoë;;1;Wait for window;;Zoë;"
    app = h.app_folder(ini=settings_ini("", [mail_record(0), zoe], position="100;120"))  # cp1252
    d = ConfigDialog(h, app, tab=1)
    expect("rows read from the ANSI file", [r["text"] for r in d.rows()], ["MAPI Client (Mail)", "Zoë"])
    d.select_row(1)
    d.type_into(NAME_BOX, f"Zoë {SCRIPTS}")
    d.type_into(TEXT_BOX, f"Zoë {BEE}")
    h.probe("focus", d.hwnd, f"id:{NAME_BOX}")  # leaving the caption box takes its text
    time.sleep(0.2)
    h.probe("tab", d.hwnd, "0")
    time.sleep(0.3)
    names = d.saver_list(d.tree())[0]
    if f"Сон {SCRIPTS}" not in names:
        raise ScenarioFailed(f"the saver named in other scripts is not listed: {names}")
    h.probe("lbselect", d.hwnd, "id:200", str(names.index(f"Сон {SCRIPTS}")))
    h.screenshot("dialog-saver-in-any-script")
    d.ok()

    renamed = f"7;1;1;Zoë {SCRIPTS};Zoë {BEE};1;Wait for window;;Zoë {BEE};"
    if not _utf16(app):
        raise ScenarioFailed("the full save did not write UTF-16")
    saved = app.read_ini()
    expect("after OK", (saved["settings"]["scrfile"], saved["applist"]),
           (WINDOWS + f"Сон {SCRIPTS}.scr", {"app0": mail_record(0), "app1": renamed}))

    product = h.start_hosted(app, saver)
    expect("saver started from its path", saver_cmdline(saver), f'"{WINDOWS}Сон {SCRIPTS}.scr" /s')
    time.sleep(3.5)  # confirmed: the end of the run saves
    end_saver(saver, product, 10)
    expect("records after the run", app.read_ini()["applist"], {"app0": mail_record(0), "app1": renamed})

    d = ConfigDialog(h, app, tab=1)
    d.select_row(1)
    tree = d.tree()
    expect("shown again", (d.rows(tree)[1]["text"], d.control(NAME_BOX, tree)["text"],
                           d.control(TEXT_BOX, tree)["text"]), (f"Zoë {SCRIPTS}", f"Zoë {SCRIPTS}", f"Zoë {BEE}"))
    h.screenshot("dialog-record-in-any-script")
    d.cancel()
