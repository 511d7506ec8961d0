"""The 32-bit build on 64-bit Windows: the saver list and the saver it starts
are the ones Windows itself would show and start, although the program sees
the system folder redirected to the 32-bit files. The x64 build sees no
redirection and must show and start the same."""

import os
import time
from pathlib import Path

from harness import ConfigDialog, Harness, ScenarioFailed, end_saver, expect, field, mail_record, saver_starts, \
    settings_ini, winpath

STORED = "C:\\windows\\system32\\wowsaver.scr"  # as Windows names it, and stores it


def _start_line(files: Path, role: str, count: int) -> str:
    """The saver's `count`-th start line of this role: it must be the 64-bit file's."""
    starts = saver_starts(files / "wowsaver.scr", role)
    if len(starts) < count:
        raise ScenarioFailed(f"the saver did not start ({starts})")
    line = starts[count - 1]
    if field(line, "bits") != 64:
        raise ScenarioFailed(f"the 32-bit twin was started instead of the 64-bit saver: {line}")
    return line


def scenario_a_64bit_saver_of_the_real_system_folder_is_listed_once_and_starts(h: Harness):
    windows = h.prefix / "drive_c" / "windows"
    # The 64-bit saver lies in the real system folder only; a 32-bit file of
    # the same name (another case, another display name) in the folder the
    # program sees must neither be listed nor started.
    saver64 = h.config.helpers.get("FakeSaver64", h.config.helpers["FakeSaver"])  # the x64 build's own is 64-bit
    h.place_file(saver64, windows / "system32" / "wowsaver.scr")
    h.place_file(h.config.helpers["NamedSaver_ribbons"], windows / "syswow64" / "WOWSAVER.SCR")
    # The saver's log and stop file: its own folder may be named to it as the
    # alias, which a 64-bit program cannot open. Every program started here inherits this.
    files = h.dir / "saver-files"
    files.mkdir()
    os.environ["FAKE_SAVER_DIR"] = winpath(files) + "\\"
    app = h.app_folder(ini=settings_ini("", [mail_record()]))
    try:
        d = ConfigDialog(h, app)
        names, _ = d.saver_list(d.tree())
        expect("entries named wowsaver, and the twin's name", (names.count("wowsaver"), "Ribbons" in names), (1, False))
        h.probe("lbselect", d.hwnd, "id:200", str(names.index("wowsaver")))
        d.click("Settings...")
        h.wait_file_text(files / "FakeSaver.log", "exit reason=config", 20)
        expect("settings started as", _start_line(files, "main", 1).split("cmdline=")[1], STORED + " /c")
        d.ok()
        expect("stored saver", app.read_ini()["settings"]["scrfile"], STORED)

        # Run mode, as Windows starts Vigilumen: the 64-bit saver runs as itself.
        product = h.start_hosted(app, files / "wowsaver.scr")
        expect("run started as", _start_line(files, "main", 2).split("cmdline=")[1], STORED + " /s")
        end_saver(files / "wowsaver.scr", product, 10)
    finally:
        (files / "FakeSaver.stop").touch()  # a saver outside the scenario's folder ends by itself
        time.sleep(0.3)
        os.environ.pop("FAKE_SAVER_DIR", None)
