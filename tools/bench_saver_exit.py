#!/usr/bin/env python3
"""Measures how fast Vigilumen notices that its saver has gone: the time from
the saver's window closing to Vigilumen's exit, under Wine, over N runs.
Prints figures; asserts nothing.

  python3 tools/bench_saver_exit.py --build-dir build/win32 [--runs 20] [--mail-delay MS]

With --mail-delay, every run is made twice, alternately: without mail, and
with a ticked mail record whose mail system takes MS per call, so that a mail
check is under way when the saver ends.
"""

from __future__ import annotations

import statistics
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import Harness, exit_after_saver_ms, winpath  # noqa: E402
from run_scenario import bench_parser, bench_session  # noqa: E402


def one_run(h: Harness, n: int, mail_delay: int | None) -> float:
    # With mail, the saver lives past the first poll cycle (3 s), whose
    # check is still running when it ends.
    saver = h.fake_saver(h.dir / f"savers{n}", lifetime_ms=2500 if mail_delay is None else 5000)
    env = None
    ticked = 0
    if mail_delay is not None:
        env, _ = h.fake_mapi(f"unread delay={mail_delay}")
        ticked = 1
    ini = (f"[settings]\nscrfile={winpath(saver)}\n[applist]\n"
           f"app0=-1;0;{ticked};MAPI Client (Mail);;2;Internal;;;\n")
    app = h.app_folder(ini=ini, name=f"app{n}")
    return exit_after_saver_ms(h, saver, h.start(app.scr, "/s", env=env))


def report(arch: str, label: str, samples: list[float]):
    samples = sorted(samples)
    p95 = samples[min(len(samples) - 1, int(round(0.95 * len(samples))) - 1)]
    print(f"{arch} {label}: saver window closed -> Vigilumen exited, {len(samples)} runs: "
          f"median {statistics.median(samples):.1f} ms, 95th percentile {p95:.1f} ms, "
          f"min {samples[0]:.1f} ms, max {samples[-1]:.1f} ms")


def main() -> int:
    parser = bench_parser(__doc__, "win32")
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--mail-delay", type=int, default=None, help="ms per call of a slow mail system")
    args = parser.parse_args()
    variants = [None] + ([args.mail_delay] if args.mail_delay is not None else [])
    samples: dict[int | None, list[float]] = {v: [] for v in variants}
    with bench_session(args, "bench-saver-exit") as h:
        config = h.config
        for n in range(args.runs):
            for delay in variants:
                ms = one_run(h, 2 * n + (delay is not None), delay)
                samples[delay].append(ms)
                label = "no mail" if delay is None else f"mail {delay} ms/call"
                print(f"run {n + 1:2d} {label}: {ms:7.1f} ms", flush=True)
                h.close()
    for delay, values in samples.items():
        report(config.arch, "no mail" if delay is None else f"mail system taking {delay} ms per call", values)
    return 0


if __name__ == "__main__":
    sys.exit(main())
