#!/usr/bin/env python3
"""Measures Vigilumen's start-up under Wine against a trivial Win32 program
(TrivialWindow.exe: registers a class, creates a hidden window, exits), the
three alternately, N rounds in one run:

  reference   TrivialWindow.exe, from its start to its exit
  preview     Vigilumen.scr /p 1234, from its start to its exit (it hands
              the command line to the chosen saver, the fake saver, and ends)
  run mode    Vigilumen.scr /s, from its start to the moment the system made
              the saver's process

A start is the moment this script starts the Wine loader (the same for all
three). The saver's process records when it was made: the creation time the
system keeps for every process (GetProcessTimes), set when Vigilumen's
CreateProcess ran, before the saver's own loader or code did anything. Wine's
clock is the host's, so that time compares with the script's. The saver also
records when its own code began; that figure (the saver running) is printed
too. Prints medians, 95th percentiles and each figure as a ratio to the
reference's; asserts nothing.

  python3 tools/bench_start.py --build-dir build/win64 [--rounds 20] [--product other/Vigilumen.scr]
"""

from __future__ import annotations

import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import Harness, end_saver, field, saver_starts, settings_ini, wine_command, winpath  # noqa: E402
from run_scenario import bench_parser, bench_session  # noqa: E402

FIGURES = ("reference: trivial program, start to exit", "preview /p 1234, start to exit",
           "run mode: start to the saver's process made", "run mode: start to the saver's code running")


def run_to_exit(h: Harness, exe: Path, *args: str) -> float:
    """Milliseconds from starting the program to its exit."""
    with open(h.dir / f"{exe.stem}.out", "ab") as out:
        started = time.monotonic()
        p = subprocess.Popen([*wine_command(), str(exe), *args], cwd=exe.parent, env=h.env(), stdin=subprocess.DEVNULL,
                             stdout=out, stderr=subprocess.STDOUT)
        code = p.wait(timeout=60)
        took = (time.monotonic() - started) * 1000
    if code != 0:
        raise SystemExit(f"{exe.name} {' '.join(args)} ended with {code}")
    return took


def run_mode(h: Harness, n: int) -> tuple[float, float]:
    """Milliseconds from the program's start to its saver's process being
    made, and to the saver's code running; then ends the run."""
    saver = h.fake_saver(h.dir / f"run{n}" / "savers")
    app = h.app_folder(ini=settings_ini(winpath(saver)), name=f"run{n}/app")
    started_us = time.time_ns() / 1000
    product = h.start(app.scr, "/s")
    h.wait_file_text(saver.with_name("FakeSaver.log"), "start ", 60)
    line = saver_starts(saver, "main")[0]
    made, running = (field(line, key) - started_us for key in ("created_unix_us", "entered_unix_us"))
    # The next round's program must find no instance of this one.
    h.wait_file_text(saver.with_name("FakeSaver.log"), "window hwnd=", 60)
    end_saver(saver, product, 30)
    return made / 1000, running / 1000


def p95(values: list[float]) -> float:
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, max(0, round(0.95 * len(ordered)) - 1))]


def main() -> int:
    parser = bench_parser(__doc__)
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--warmup", type=int, default=2, help="rounds run first and not counted (cold caches)")
    args = parser.parse_args()
    samples: dict[str, list[float]] = {f: [] for f in FIGURES}
    with bench_session(args, "bench-start") as h:
        config = h.config
        trivial = config.helpers["TrivialWindow"]
        preview_saver = h.fake_saver(h.dir / "preview" / "savers")
        preview_app = h.app_folder(ini=settings_ini(winpath(preview_saver)), name="preview/app")
        preview_log = preview_saver.with_name("FakeSaver.log")
        for n in range(args.warmup + args.rounds):
            figures = [run_to_exit(h, trivial), run_to_exit(h, preview_app.scr, "/p", "1234")]
            # The preview's saver ends by itself; it must not run beside the next figure.
            h.wait_until(lambda: preview_log.exists() and preview_log.read_text().count("exit reason=preview") == n + 1,
                         30, "the preview's saver")
            figures += run_mode(h, n)
            if n < args.warmup:
                continue
            for name, ms in zip(FIGURES, figures):
                samples[name].append(ms)
            print(f"round {n - args.warmup + 1:2d}: " + "  ".join(f"{ms:7.1f}" for ms in figures) + " ms", flush=True)
        starts = len(saver_starts(preview_saver))
        if starts != args.warmup + args.rounds:
            raise SystemExit(f"the preview started its saver {starts} times, not once per round")
    reference = samples[FIGURES[0]]
    print(f"\n{config.arch} {config.product.name} ({config.product.stat().st_size:,} bytes), {args.rounds} rounds "
          f"under Wine; ratio = the figure / the reference's, same statistic:")
    for name, values in samples.items():
        med, top = statistics.median(values), p95(values)
        print(f"  {name:44s} median {med:7.1f} ms ({med / statistics.median(reference):4.2f}x)   "
              f"95th percentile {top:7.1f} ms ({top / p95(reference):4.2f}x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
