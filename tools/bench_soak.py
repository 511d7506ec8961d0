#!/usr/bin/env python3
"""Soak benchmark: run mode for a long time under Wine over the fake saver,
with 20 watched records (mail through the fake mail library, windows through
CaptionWindow, files), blinking icons, a watched file touched every minute and
a watched window that appears and goes again every minute.

Once a minute it samples, from outside the process: Vigilumen's resident
memory (/proc of its Wine process), that of the wineserver and of the X server,
and what UiProbe `resources` gets: the handle count and the GDI and USER object
counts as the system reports them, the live entries of the process's GDI handle
table (DCs, regions, bitmaps, fonts, brushes; icons hold bitmaps) and the
windows it owns. Wine 8 reports no handle count (0) and no GDI or USER count
(ERROR_CALL_NOT_IMPLEMENTED); those are shown as not reported. Prints the
change from minute 2 to the last minute; asserts nothing. The samples are kept
in <build>/e2e/runs/bench-soak/samples.json.

  python3 tools/bench_soak.py --build-dir build/win64 [--minutes 30] [--product other/Vigilumen.scr]
"""

from __future__ import annotations

import json
import os
import shutil
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import Config, Harness, WineProcess, mail_record, processes_under, winpath  # noqa: E402
from run_scenario import bench_parser, bench_session  # noqa: E402

STEADY_WINDOWS = 4  # records 1-4: their windows stay open
FLAPPING_RECORD = 5  # its window opens at every minute and closes half a minute later
WINDOW_RECORDS = 9  # records 1-9; the windows of 6-9 never open
FILE_RECORDS = 10  # records 10-19; record 10's file is touched every minute
ICON_FILES = 5  # records 10-14 show an icon, 15-19 a line of text

# Samples compared between minute 2 and the end; the other columns say what the system does not report.
COLUMNS = ["rss_kib", "pagefile_kib", "gdi_table", "gdi_dc", "gdi_region", "gdi_bitmap", "gdi_font", "gdi_brush",
           "windows", "handles", "gdi", "user", "wineserver_kib", "xvfb_kib"]


def status_kib(pid: int, field: str = "VmRSS") -> int | None:
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith(field + ":"):
                return int(line.split()[1])
    except OSError:
        pass
    return None


def wineserver_pid(prefix: Path) -> int | None:
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            if Path(proc / "exe").resolve().name != "wineserver" and b"wineserver" not in (proc / "cmdline").read_bytes():
                continue
            if f"WINEPREFIX={prefix}".encode() in (proc / "environ").read_bytes().split(b"\0"):
                return int(proc.name)
        except OSError:
            continue
    return None


class Soak:
    def __init__(self, h: Harness, config: Config, minutes: int, interval: float):
        self.h, self.config, self.minutes, self.interval = h, config, minutes, interval
        self.windows: dict[int, tuple[WineProcess, Path]] = {}
        self.samples: list[dict] = []

    def caption(self, record: int) -> str:
        return f"Soak window {record}"

    def open_window(self, record: int):
        # A fresh stop file each time: the old window's may still be read.
        stop = self.h.dir / f"window-{record}-{time.monotonic_ns()}.stop"
        process = self.h.start(self.config.helpers["CaptionWindow"], "--caption", self.caption(record),
                               "--stop", winpath(stop), log_name=f"window-{record}.out")
        self.windows[record] = (process, stop)

    def close_window(self, record: int):
        if record in self.windows:
            process, stop = self.windows.pop(record)
            stop.touch()
            process.wait(10)

    def keep_steady_windows(self):
        # CaptionWindow ends itself after ten minutes: a window that ended is opened again.
        for record in range(1, STEADY_WINDOWS + 1):
            if record not in self.windows or not self.windows[record][0].running():
                self.open_window(record)

    def lay_out(self) -> tuple[Path, dict]:
        h = self.h
        saver = h.fake_saver(h.dir / "savers")
        mapi_env, self.mapi_log = h.fake_mapi("unread")
        watched = h.dir / "watched"
        watched.mkdir()
        icons = {"file.ico": ROOT / "data" / "QVX_data" / "file.ico",
                 "window.ico": ROOT / "data" / "QVX_data" / "window.ico"}
        records = [mail_record(icon="mail.ico")]
        for r in range(1, WINDOW_RECORDS + 1):
            c = self.caption(r)
            records.append(f"{r};1;1;Window {r};{c};1;Wait for window;window{r}.ico;{c};")
        self.files = []
        for r in range(WINDOW_RECORDS + 1, WINDOW_RECORDS + 1 + FILE_RECORDS):
            f = watched / f"file{r}.txt"
            f.write_text(f"record {r}\n")
            self.files.append(f)
            icon = f"file{r}.ico" if r < WINDOW_RECORDS + 1 + ICON_FILES else ""
            records.append(f"{r};1;1;File {r};{winpath(f)};0;Watch for file update;{icon};{winpath(f)};")
        ini = "\n".join(["[settings]", f"scrfile={winpath(saver)}", "position=40;40", "blink=1", "enlarged=0",
                         "orientation=1", "[applist]"] + [f"app{i}={r}" for i, r in enumerate(records)]) + "\n"
        app = h.app_folder(ini=ini)
        shutil.copy2(icons["file.ico"], app.data / "mail.ico")
        for r in range(1, WINDOW_RECORDS + 1):
            shutil.copy2(icons["window.ico"], app.data / f"window{r}.ico")
        for r in range(WINDOW_RECORDS + 1, WINDOW_RECORDS + 1 + ICON_FILES):
            shutil.copy2(icons["file.ico"], app.data / f"file{r}.ico")
        self.app = app
        return saver, mapi_env

    def product_pids(self) -> tuple[int, int]:
        unix = [p for p in processes_under(self.app.root, self.h.prefix)
                if "vigilumen.scr" in Path(f"/proc/{p}/cmdline").read_bytes().decode(errors="replace").lower()]
        windows = [int(r["pid"]) for r in self.h.probe("procs") if r.get("exe", "").lower() == "vigilumen.scr"]
        if len(unix) != 1 or len(windows) != 1:
            raise SystemExit(f"expected one Vigilumen process, found {unix} (Unix) and {windows} (Windows)")
        return unix[0], windows[0]

    def sample(self, minute: int, unix_pid: int, win_pid: int, server_pid: int | None) -> dict:
        if not Path(f"/proc/{unix_pid}").exists():
            raise SystemExit(f"Vigilumen ended before minute {minute}")
        s = {"minute": minute, "rss_kib": status_kib(unix_pid)}
        recs = self.h.probe("resources", str(win_pid), check=False)
        if recs:
            r = recs[0]
            for key in ("handles", "gdi", "user"):
                # A count the system could not give is no measurement; a process never holds no handle.
                error = int(r.get(f"{key}_error", "0"))
                s[key] = int(r[key]) if error == 0 and int(r[key]) > 0 else None
                s[f"{key}_error"] = error
            for key in ("gdi_table", "gdi_dc", "gdi_region", "gdi_bitmap", "gdi_font", "gdi_brush", "windows",
                        "pagefile_kib"):
                s[key] = int(r[key]) if key in r else None
        s["wineserver_kib"] = status_kib(server_pid) if server_pid else None
        s["xvfb_kib"] = status_kib(int(self.h.session["xvfb_pid"]))
        s["mail_calls"] = len(self.mapi_log.read_text(errors="replace").splitlines()) if self.mapi_log.exists() else 0
        s["touched_date"] = self.app.read_ini().get("applist", {}).get(f"app{WINDOW_RECORDS + 1}", "").split(";")[-1]
        self.samples.append(s)
        print(" ".join(f"{k}={v}" for k, v in s.items() if not k.endswith("_error")), flush=True)
        return s

    def run(self) -> int:
        h = self.h
        saver, mapi_env = self.lay_out()
        self.keep_steady_windows()
        h.start_hosted(self.app, saver, env=mapi_env)
        time.sleep(10)  # the first watchdog ticks place the icons and write the files' dates
        unix_pid, win_pid = self.product_pids()
        server_pid = wineserver_pid(h.prefix)
        start = time.monotonic()
        self.sample(0, unix_pid, win_pid, server_pid)
        for minute in range(1, self.minutes + 1):
            # The minute's events: the file is touched, the window comes, and goes half a minute later.
            os.utime(self.files[0])
            self.open_window(FLAPPING_RECORD)
            time.sleep(max(0.0, start + (minute - 0.5) * self.interval - time.monotonic()))
            self.close_window(FLAPPING_RECORD)
            self.keep_steady_windows()
            time.sleep(max(0.0, start + minute * self.interval - time.monotonic()))
            self.sample(minute, unix_pid, win_pid, server_pid)
        self.report()
        saver.with_name("FakeSaver.stop").touch()
        return 0

    def report(self):
        (self.h.dir / "samples.json").write_text(json.dumps(self.samples, indent=1))
        first = next((s for s in self.samples if s["minute"] == 2), self.samples[0])
        last = self.samples[-1]
        print(f"\n{self.config.arch} {self.config.product.name}, {last['minute']} minutes of run mode "
              f"(20 records, blinking): minute {first['minute']} -> minute {last['minute']}")
        for key in COLUMNS:
            a, b = first.get(key), last.get(key)
            if a is None or b is None:
                errors = sorted({s.get(f'{key}_error') for s in self.samples if s.get(f'{key}_error')})
                print(f"  {key:15} not reported" + (f" (error {errors})" if errors else ""))
                continue
            lo = min(s[key] for s in self.samples if s["minute"] >= first["minute"] and s.get(key) is not None)
            hi = max(s[key] for s in self.samples if s["minute"] >= first["minute"] and s.get(key) is not None)
            change = f"{b - a:+d}" + (f" ({100 * (b - a) / a:+.1f} %)" if a else "")
            print(f"  {key:15} {a} -> {b}  {change}; range from minute {first['minute']}: {lo}-{hi}")
        print(f"  mail calls: {last['mail_calls']}; the touched file's stored date: {last['touched_date']}")


def main() -> int:
    parser = bench_parser(__doc__)
    parser.add_argument("--minutes", type=int, default=30)
    parser.add_argument("--interval", type=float, default=60, help="seconds per sample and per event (a minute)")
    args = parser.parse_args()
    with bench_session(args, "bench-soak") as h:
        return Soak(h, h.config, args.minutes, args.interval).run()


if __name__ == "__main__":
    sys.exit(main())
