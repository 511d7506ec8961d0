#!/usr/bin/env python3
"""Measures how fast Vigilumen notices that its saver has gone: the time from
the saver's window closing to Vigilumen's exit, under Wine, over N runs.
Prints figures; asserts nothing.

  python3 tools/bench_saver_exit.py --build-dir build/win32 [--runs 20]
"""

from __future__ import annotations

import argparse
import statistics
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import Config, Harness, exit_after_saver_ms, winpath  # noqa: E402
from run_scenario import cleanup, setup  # noqa: E402


def one_run(h: Harness, n: int) -> float:
    saver = h.fake_saver(h.dir / f"savers{n}", lifetime_ms=2500)
    ini = f"[settings]\nscrfile={winpath(saver)}\n[applist]\napp0=-1;0;0;MAPI Client (Mail);;2;Internal;;;\n"
    app = h.app_folder(ini=ini, name=f"app{n}")
    return exit_after_saver_ms(h, saver, h.start(app.scr, "/s"))


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "win32")
    parser.add_argument("--runs", type=int, default=20)
    args = parser.parse_args()
    config = Config(args.build_dir.resolve())
    session = setup(config)
    h = Harness(config, session, "bench-saver-exit")
    samples = []
    try:
        for n in range(args.runs):
            ms = one_run(h, n)
            samples.append(ms)
            print(f"run {n + 1:2d}: {ms:7.1f} ms", flush=True)
            h.close()
    finally:
        h.close()
        cleanup(config)
    samples.sort()
    p95 = samples[min(len(samples) - 1, int(round(0.95 * len(samples))) - 1)]
    print(f"{config.arch}: saver window closed -> Vigilumen exited, {len(samples)} runs: "
          f"median {statistics.median(samples):.1f} ms, 95th percentile {p95:.1f} ms, "
          f"min {samples[0]:.1f} ms, max {samples[-1]:.1f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main())
