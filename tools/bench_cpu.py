#!/usr/bin/env python3
"""Measures the CPU time Vigilumen uses in run mode: five watched windows are
open, so five icons blink over the fake saver, for the given time. Prints the
figures; asserts nothing.

  python3 tools/bench_cpu.py --build-dir build/win32 [--seconds 600] [--product other/Vigilumen.scr]
"""

from __future__ import annotations

import argparse
import os
import shutil
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import Config, Harness, processes_under, winpath  # noqa: E402
from run_scenario import cleanup, setup  # noqa: E402


def cpu_seconds(pid: int) -> float:
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime


def rss_kib(pid: int) -> int:
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "win32")
    parser.add_argument("--seconds", type=float, default=600)
    parser.add_argument("--product", type=Path, help="another build of Vigilumen.scr to measure")
    args = parser.parse_args()
    config = Config(args.build_dir.resolve())
    if args.product:
        config.product = args.product.resolve()
    session = setup(config)
    h = Harness(config, session, "bench-cpu")
    try:
        saver = h.fake_saver(h.dir / "savers")
        captions = [f"Bench window {i}" for i in range(5)]
        records = [f"{i};1;1;W{i};{c};1;Wait for window;icon{i}.ico;{c};" for i, c in enumerate(captions)]
        ini = "\n".join(["[settings]", f"scrfile={winpath(saver)}", "position=100;100", "blink=1",
                         "orientation=1", "[applist]"] + [f"app{i}={r}" for i, r in enumerate(records)]) + "\n"
        app = h.app_folder(ini=ini)
        for i in range(5):
            shutil.copy2(ROOT / "data" / "QVX_data" / ("window.ico" if i % 2 else "file.ico"), app.data / f"icon{i}.ico")
        stop = h.dir / "captions.stop"
        for c in captions:
            h.start(config.helpers["CaptionWindow"], "--caption", c, "--stop", winpath(stop))
        h.start(app.scr, "/s")
        h.wait_file_text(saver.with_name("FakeSaver.log"), "window hwnd=", 20)
        time.sleep(5)  # the icons are placed at the first watchdog tick
        pids = [p for p in processes_under(app.root, h.prefix)
                if "vigilumen.scr" in Path(f"/proc/{p}/cmdline").read_bytes().decode(errors="replace").lower()]
        if len(pids) != 1:
            raise SystemExit(f"expected one Vigilumen process, found {pids}")
        start_cpu, start, start_rss = cpu_seconds(pids[0]), time.monotonic(), rss_kib(pids[0])
        time.sleep(args.seconds)
        used, took, end_rss = cpu_seconds(pids[0]) - start_cpu, time.monotonic() - start, rss_kib(pids[0])
        print(f"{config.arch} {config.product.name}: {used:.2f} s CPU in {took:.0f} s of run mode with 5 blinking "
              f"icons ({100 * used / took:.2f} % of one core); resident memory {start_rss} KiB -> {end_rss} KiB")
        stop.touch()
        saver.with_name("FakeSaver.stop").touch()
    finally:
        h.close()
        cleanup(config)
    return 0


if __name__ == "__main__":
    sys.exit(main())
