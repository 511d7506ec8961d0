#!/usr/bin/env python3
"""Measures what a long application list costs, under Wine, beside a list of
one record, alternately in the same run: how long after the start the saver's
window appears (run mode), how long preview mode takes to hand over and end,
how long the dialog takes to show, and how long after the saver's end the run
ends. Prints figures; asserts nothing.

  python3 tools/bench_long_list.py --build-dir build/win64 [--records 40000] [--runs 3]
"""

from __future__ import annotations

import statistics
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import CAPTION, Harness, exit_after_saver_ms, mail_record, settings_ini, winpath  # noqa: E402
from run_scenario import bench_parser, bench_session  # noqa: E402


def wait_for(predicate, timeout: float, step: float = 0.005) -> bool:
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return False


def one_round(h: Harness, n: int, records: int) -> dict[str, float]:
    saver = h.fake_saver(h.dir / f"savers{n}-{records}", lifetime_ms=3000)
    rows = [mail_record()] + [f"{i};1;0;Row {i};;1;Wait for window;;Row {i};" for i in range(records - 1)]
    app = h.app_folder(ini=settings_ini(winpath(saver), rows), name=f"app{n}-{records}")
    log = saver.with_name("FakeSaver.log")
    figures = {}

    started = time.monotonic()
    product = h.start(app.scr, "/s")
    if not wait_for(lambda: log.exists() and "start " in log.read_text(errors="replace"), 120):
        raise RuntimeError("the saver did not start")
    figures["saver started after start"] = (time.monotonic() - started) * 1000
    if not wait_for(lambda: log.exists() and "window hwnd=" in log.read_text(errors="replace"), 120):
        raise RuntimeError("the saver's window did not appear")
    figures["saver window after start"] = (time.monotonic() - started) * 1000
    figures["run end after the saver's"] = exit_after_saver_ms(h, saver, product)

    started = time.monotonic()
    h.run(app.scr, "/p", "1234", timeout=120)
    figures["preview, start to end"] = (time.monotonic() - started) * 1000

    started = time.monotonic()
    dialog = h.start(app.scr, "/c")
    shown = wait_for(lambda: (h.probe_one("find", CAPTION) or {}).get("visible") == "1", 120, step=0.05)
    figures["dialog shown after start"] = (time.monotonic() - started) * 1000 if shown else float("nan")
    h.probe("close", h.probe_one("find", CAPTION)["hwnd"], check=False)
    dialog.wait(60)
    return figures


def main() -> int:
    parser = bench_parser(__doc__, "win32")
    parser.add_argument("--records", type=int, default=40000)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    results: dict[int, dict[str, list[float]]] = {1: {}, args.records: {}}
    with bench_session(args, "bench-long-list") as h:
        config = h.config
        for n in range(args.runs):
            for records in results:
                for what, ms in one_round(h, n, records).items():
                    results[records].setdefault(what, []).append(ms)
                    print(f"round {n + 1} {records:6d} records: {what:26s} {ms:8.0f} ms", flush=True)
                h.close()
    print(f"{config.arch}, median of {args.runs} rounds:")
    for what in results[1]:
        print(f"  {what:26s} " + "   ".join(f"{records} records: {statistics.median(v[what]):7.0f} ms"
                                              for records, v in results.items()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
