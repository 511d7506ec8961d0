"""A long job left running: a program that ends, files that arrive in a folder.
Shown over the saver, in a try, and in the summary after the run."""

from __future__ import annotations

import shutil
import time
from pathlib import Path

from harness import Harness, ScenarioFailed, end_saver, expect, mail_record, rect, settings_ini, winpath

ICONS = Path(__file__).resolve().parents[3] / "data" / "QVX_data"
CARRIER = "Vigilumen.frmIcon"
CYCLE = 3.0  # the poll cycle's rhythm


def program_record(n: int, name: str, icon: str, program: str) -> str:
    return f"{n};1;1;{name};{program};3;Wait for program to end;{icon};{program};"


def folder_record(n: int, name: str, icon: str, folder: str) -> str:
    return f"{n};1;1;{name};{folder};4;Watch folder for new files;{icon};{folder};"


class JobRun:
    """A run over the fake saver with these records; each icon name in
    `icons` is a copy of the window icon in the data folder."""

    def __init__(self, h: Harness, name: str, records: list[str], icons: list[str], args: tuple[str, ...] = (),
                 saver_cfg: dict | None = None, **settings):
        self.h = h
        self.saver = h.fake_saver(h.dir / name / "savers", **(saver_cfg or {}))
        settings = {"position": "100;120", "blink": 0, "enlarged": 0, "orientation": 1, **settings}
        ini = settings_ini(winpath(self.saver), [mail_record(0), *records], **settings)
        self.app = h.app_folder(ini=ini, name=f"{name}/app")
        for icon in icons:
            shutil.copy2(ICONS / "window.ico", self.app.data / icon)
        if args:  # a try reads its own copy of the choices
            (h.dir / name / "try.ini").write_bytes(ini.replace("\n", "\r\n").encode("cp1252"))
            args = tuple(a.replace("TRYFILE", winpath(h.dir / name / "try.ini")) for a in args)
        self.product = h.start_hosted(self.app, self.saver, *args)
        log = self.saver.with_name("FakeSaver.log").read_text()
        self.saver_hwnd = [l for l in log.splitlines() if l.startswith("window hwnd=")][-1].split("hwnd=")[1].split()[0]

    def icons_shown(self) -> int:
        """How many icons the carrier inside the saver's window holds (32 pixels each)."""
        found = [r for r in self.h.probe("tree", self.saver_hwnd, check=False) if r.get("class") == CARRIER]
        if not found or found[0].get("visible") != "1":
            return 0
        left, _, right, _ = rect(found[0])
        return (right - left) // 32

    def wait_icons(self, count: int, timeout: float, what: str) -> float:
        """Seconds until the carrier holds `count` icons."""
        started = time.monotonic()
        self.h.wait_until(lambda: self.icons_shown() == count, timeout, what, interval=0.25)
        return time.monotonic() - started

    def expect_icons(self, count: int, seconds: float, what: str):
        """No other number of icons appears for that long."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            expect(what, self.icons_shown(), count)
            time.sleep(0.5)


def _job(h: Harness, exe: Path, tag: str):
    """One copy of the long job: runs until its stop file appears."""
    work, stop = h.dir / f"{tag}.work", h.dir / f"{tag}.stop"
    work.write_text("frames\n")
    process = h.start(exe, winpath(work), winpath(stop), log_name=f"{tag}.out")
    h.wait_file_text(h.dir / f"{tag}.out", "held", 20)
    return process, stop


def scenario_a_program_that_ends_shows_its_icon_once_no_copy_of_it_is_left(h: Harness):
    """Two copies of a job run when the run starts; the first ends after 5 s,
    the second keeps the icon hidden until it ends too. A record of a program
    that never ran, and one naming another folder's copy, show nothing."""
    jobs = h.dir / "jobs"
    jobs.mkdir()
    exe = jobs / "RenderJob.exe"
    shutil.copy2(h.config.helpers["FileHolder"], exe)
    first, first_stop = _job(h, exe, "first")
    second, second_stop = _job(h, exe, "second")
    started = time.monotonic()
    records = [program_record(10, "Render", "render.ico", "renderjob.EXE"),
               program_record(11, "Render here", "path.ico", winpath(exe)),
               program_record(12, "Render there", "there.ico", winpath(h.dir / "elsewhere" / "RenderJob.exe")),
               program_record(13, "Never", "never.ico", "NeverRan.exe")]
    run = JobRun(h, "program", records, ["render.ico", "path.ico", "there.ico", "never.ico"])
    time.sleep(max(0.0, 5 - (time.monotonic() - started)))
    first_stop.touch()
    first.wait(10)
    run.expect_icons(0, 2 * CYCLE + 0.5, "icons while a second copy runs")
    second_stop.touch()
    second.wait(10)
    took = run.wait_icons(2, CYCLE + 1.5, "the icons of the two records whose program ended")
    print(f"icons shown {took:.1f} s after the last copy ended", flush=True)
    run.expect_icons(2, CYCLE + 0.5, "icons after the end")
    end_saver(run.saver, run.product)


def _held_file(h: Harness, folder: Path, name: str):
    """A file that arrives in the folder while a program holds it open for
    writing: made and opened beside the folder, then moved in."""
    staging = h.dir / "staging" / name
    staging.parent.mkdir(exist_ok=True)
    staging.write_bytes(b"\0" * 4096)
    stop = h.dir / f"{name}.stop"
    holder = h.start(h.config.helpers["FileHolder"], winpath(staging), winpath(stop), log_name=f"{name}.out")
    h.wait_file_text(h.dir / f"{name}.out", "held", 20)
    staging.rename(folder / name)
    return holder, stop


def scenario_new_files_show_once_complete_and_never_those_there_at_the_start(h: Harness):
    scans, exports = h.dir / "scans", h.dir / "exports"
    scans.mkdir()
    exports.mkdir()
    (scans / "present.pdf").write_bytes(b"%PDF old\n")
    (scans / "notes.txt").write_text("not a pdf\n")
    missing = h.dir / "no such folder"
    records = [folder_record(20, "Scans", "scans.ico", winpath(scans) + "\\*.PDF"),
               folder_record(21, "Exports", "exports.ico", winpath(exports) + "\\"),
               folder_record(22, "Missing", "missing.ico", winpath(missing))]
    run = JobRun(h, "folder", records, ["scans.ico", "exports.ico", "missing.ico"])
    time.sleep(CYCLE + 1)  # confirmed, and each folder's first listing taken
    (scans / "present.pdf").write_bytes(b"%PDF rewritten, longer\n")
    (scans / "later.txt").write_text("no match\n")
    holder, stop = _held_file(h, exports, "movie.mp4")
    run.expect_icons(0, 2 * CYCLE + 0.5, "icons with only old, unmatched and held files")

    shutil.copy2(ICONS / "file.ico", scans / "scan 01.pdf")
    run.wait_icons(1, 2 * CYCLE + 1.5, "the icon of the folder a file was copied into")
    run.expect_icons(1, 2 * CYCLE, "icons while the export is held open")
    stop.touch()
    holder.wait(10)
    took = run.wait_icons(2, 2 * CYCLE + 1.5, "the icon of the folder whose file was closed")
    print(f"the closed file shown {took:.1f} s after it was closed", flush=True)
    end_saver(run.saver, run.product)
    log = h.prefix / "drive_c" / "log.txt"
    lines = [l for l in log.read_text(errors="replace").splitlines() if "cannot be read" in l] if log.exists() else []
    expect("log lines of the missing folder", lines,
           [f"Watch folder for new files: {winpath(missing)} cannot be read."])


def scenario_a_try_shows_the_program_and_folder_records_as_if_each_had_its_event(h: Harness):
    folder = h.dir / "empty"
    folder.mkdir()
    records = [program_record(30, "Job", "job.ico", "NeverRan.exe"),
               folder_record(31, "Inbox", "inbox.ico", winpath(folder)),
               program_record(32, "Off", "off.ico", "x.exe").replace(";1;1;Off;", ";1;0;Off;")]
    run = JobRun(h, "try", records, ["job.ico", "inbox.ico", "off.ico"], args=("/t", "TRYFILE"))
    run.wait_icons(2, 2 * CYCLE + 4, "both ticked records' icons in the try")
    run.expect_icons(2, CYCLE, "icons of the try")
    end_saver(run.saver, run.product)


def scenario_the_summary_lists_a_program_that_ended_and_each_new_file(h: Harness):
    from scenarios.try_test import SUMMARY, _mouse_moves, _summary

    jobs, downloads = h.dir / "jobs", h.dir / "downloads"
    jobs.mkdir()
    downloads.mkdir()
    exe = jobs / "Backup.exe"
    shutil.copy2(h.config.helpers["FileHolder"], exe)
    job, stop = _job(h, exe, "backup")
    records = [program_record(40, "Backup", "backup.ico", "Backup.exe"),
               folder_record(41, "Downloads", "", winpath(downloads))]  # no icon: a line of text per file
    run = JobRun(h, "away", records, ["backup.ico"], saver_cfg={"touchy": 1}, awaysummary=1)
    time.sleep(CYCLE + 1)
    stop.touch()
    job.wait(10)
    (downloads / "report.zip").write_bytes(b"PK\0\0" * 100)
    (downloads / "photo.jpg").write_bytes(b"\xff\xd8" * 100)
    run.wait_icons(1, CYCLE + 2, "the ended program's icon")
    time.sleep(2 * CYCLE + 1)  # the files complete
    _mouse_moves(h)
    h.wait_file_text(run.saver.with_name("FakeSaver.log"), "exit reason=mouse", 10)
    window = h.wait_until(lambda: _summary(h), 10, "the summary window")
    time.sleep(0.5)
    h.screenshot("summary-jobs")
    tree = h.probe("tree", window["hwnd"])
    expect("what happened", sorted((r.get("sub1"), r.get("sub2")) for r in tree if "sub2" in r),
           [("Backup", "program ended"), ("Downloads", "new file: photo.jpg"), ("Downloads", "new file: report.zip")])
    # Clicked, Esc closes it and the program ends.
    r = rect(tree[0])
    h.xdotool("mousemove", (r[0] + r[2]) // 2, r[3] - 12)
    h.xdotool("click", 1)
    time.sleep(0.4)
    h.xdotool("key", "Escape")
    if run.product.wait(5) is None:
        raise ScenarioFailed(f"Esc did not close the summary ({SUMMARY!r}) and end the program")
