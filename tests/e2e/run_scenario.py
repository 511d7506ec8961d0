#!/usr/bin/env python3
"""Runs end-to-end scenarios under Wine; ctest calls it once per scenario.

  run_scenario.py --build-dir B setup      start Xvfb, create a fresh WINEPREFIX (of lane 0; the
                                           other lanes' are made by their first scenario)
  run_scenario.py --build-dir B cleanup    end every lane's prefix processes and Xvfb
  run_scenario.py --build-dir B list [--arch A]   print module.scenario names (of the scenarios for build
                                           A: a module's BUILDS, when it has one, names the builds it is for)
  run_scenario.py --build-dir B run NAME   run one scenario in its lane (setup on demand; the lane is the
                                           "wine" resource ctest gave it, else VL_E2E_LANE, else 0)
"""

from __future__ import annotations

import argparse
import contextlib
import copy
import importlib
import json
import os
import shutil
import subprocess
import sys
import time
import traceback
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from harness import SKIPPED, Config, Harness, ScenarioFailed, cannot_run, prepare_prefix, wine_command, wine_env  # noqa: E402

SCENARIO_DIR = HERE / "scenarios"


def log(msg: str):
    print(f"[e2e] {msg}", flush=True)


def scenario_names(arch: str | None = None) -> list[str]:
    names = []
    for path in sorted(SCENARIO_DIR.glob("*_test.py")):
        module = importlib.import_module(f"scenarios.{path.stem}")
        if arch and arch not in getattr(module, "BUILDS", (arch,)):
            continue
        for attr in dir(module):
            if attr.startswith("scenario_"):
                names.append(f"{path.stem[:-5]}.{attr[len('scenario_'):]}")
    return names


def free_display(first: int = 91) -> int:
    def taken(n: int) -> bool:
        lock = Path(f"/tmp/.X{n}-lock")
        try:
            pid = int(lock.read_text().strip())
        except (OSError, ValueError):
            return lock.exists() or Path(f"/tmp/.X11-unix/X{n}").exists()
        if Path(f"/proc/{pid}").exists():
            return True
        # A server that was killed leaves its lock and socket behind: gone,
        # they free the number, and the socket's appearing means the new
        # server is up.
        for stale in (lock, Path(f"/tmp/.X11-unix/X{n}")):
            stale.unlink(missing_ok=True)
        return False
    for n in range(first, 200):
        if not taken(n):
            return n
    raise RuntimeError("no free X display number")


def start_xvfb(log_path: Path) -> tuple[subprocess.Popen, int]:
    """An Xvfb on a free display: (the server, its number). Two suites that
    start side by side may pick the same number; the one that loses tries
    the next."""
    n = 90
    for _ in range(20):
        n = free_display(n + 1)
        log_file = open(log_path, "wb")
        xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                                stdin=subprocess.DEVNULL, stdout=log_file, stderr=subprocess.STDOUT,
                                start_new_session=True)
        deadline = time.monotonic() + 15
        while xvfb.poll() is None and not Path(f"/tmp/.X11-unix/X{n}").exists() and time.monotonic() < deadline:
            time.sleep(0.05)
        # The socket may be the winner's: only a server still running is ours.
        time.sleep(0.1)
        if xvfb.poll() is None and Path(f"/tmp/.X11-unix/X{n}").exists():
            return xvfb, n
        if xvfb.poll() is None:
            raise RuntimeError(f"Xvfb :{n} did not start (see {log_path})")
    raise RuntimeError(f"no Xvfb could be started (see {log_path})")


def session_alive(session: dict) -> bool:
    try:
        os.kill(session["xvfb_pid"], 0)
    except (OSError, KeyError):
        return False
    return Path(session["prefix"], "system.reg").exists()


def setup(config: Config) -> dict:
    config.e2e_dir.mkdir(parents=True, exist_ok=True)
    if config.session_file.exists():
        old = json.loads(config.session_file.read_text())
        if session_alive(old):
            return old
        cleanup(config)

    started = time.monotonic()
    xvfb, n = start_xvfb(config.e2e_dir / f"xvfb{config.lane_suffix}.log")

    prefix = config.prefix
    if prefix.exists():
        shutil.rmtree(prefix)
    session = {"display": f":{n}", "xvfb_pid": xvfb.pid, "prefix": str(prefix)}
    env = wine_env(session)
    prepare_prefix(env)
    # Daemons must not hold ctest's output pipe open: their output goes nowhere.
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # A persistent server and one long-lived program keep the prefix's own
    # processes (services, the desktop) out of every scenario's process group.
    # VL_SERVER_TRACE=FILE: the server writes every request it serves there
    # (a look at what a program asks of Wine, e.g. for the benchmarks).
    if trace := os.environ.get("VL_SERVER_TRACE"):
        with open(trace, "wb") as out:
            subprocess.run(["wineserver", "-p", "-d1"], env=env, timeout=30, stdin=subprocess.DEVNULL, stdout=out,
                           stderr=out)
    else:
        subprocess.run(["wineserver", "-p"], env=env, timeout=30, **quiet)
    keepalive_stop = config.e2e_dir / f"keepalive{config.lane_suffix}.stop"
    keepalive_stop.unlink(missing_ok=True)
    keepalive = subprocess.Popen(
        [*wine_command(), str(config.helpers["CaptionWindow"]), "--caption", "e2e keepalive",
         "--stop", str(keepalive_stop)],
        env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)
    session["keepalive_pid"] = keepalive.pid
    session["keepalive_stop"] = str(keepalive_stop)
    config.session_file.write_text(json.dumps(session))
    log(f"Xvfb on :{n}, fresh prefix {prefix} ready in {time.monotonic() - started:.1f} s")
    return session


def cleanup_lanes(config: Config):
    """Ends every lane's session."""
    for session_file in sorted(config.e2e_dir.glob("session*.json")):
        lane_config = copy.copy(config)
        lane_config.set_lane(session_file.stem.partition("-")[2] or "0")
        cleanup(lane_config)


def cleanup(config: Config):
    if not config.session_file.exists():
        return
    session = json.loads(config.session_file.read_text())
    if "keepalive_stop" in session:
        Path(session["keepalive_stop"]).touch()
    if Path(session["prefix"]).exists():
        subprocess.run(["wineserver", "-k"], env=wine_env(session), timeout=60,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for key in ("keepalive_pid", "xvfb_pid"):
        pid = session.get(key)
        if pid:
            try:
                os.killpg(pid, 9)
            except OSError:
                pass
    config.session_file.unlink(missing_ok=True)
    log("session ended")


def bench_parser(doc: str, default_build: str = "win64") -> argparse.ArgumentParser:
    """The arguments every benchmark takes: the build folder and another build to measure."""
    parser = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=Path, default=HERE.parent.parent / "build" / default_build)
    parser.add_argument("--product", type=Path, help="another build of Vigilumen.scr to measure")
    return parser


@contextlib.contextmanager
def bench_session(args: argparse.Namespace, name: str):
    """A fresh session over the build (or --product) for a benchmark: yields its Harness, ends it all after."""
    config = Config(args.build_dir.resolve())
    if args.product:
        config.product = args.product.resolve()
    session = setup(config)
    h = Harness(config, session, name)
    try:
        yield h
    finally:
        h.close()
        cleanup(config)


def run(config: Config, name: str) -> int:
    module_name, _, func = name.partition(".")
    module = importlib.import_module(f"scenarios.{module_name}_test")
    scenario = getattr(module, f"scenario_{func}")
    session = setup(config)
    h = Harness(config, session, name.replace(".", "-"))
    started = time.monotonic()
    try:
        scenario(h)
    except Exception as e:
        message = f"{name} FAILED: {e}"
        if not isinstance(e, ScenarioFailed):
            message += "\n" + traceback.format_exc()
        h.record_failure(message)
        h.close()
        print(message, flush=True)
        print(f"artifacts: {h.dir}", flush=True)
        return 1
    h.close()
    log(f"{name} passed in {time.monotonic() - started:.1f} s (artifacts: {h.dir})")
    return 0


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True, type=Path)
    parser.add_argument("command", choices=["setup", "cleanup", "list", "run"])
    parser.add_argument("name", nargs="?")
    parser.add_argument("--arch", choices=["win32", "win64"], help="list: only the scenarios for this build")
    args = parser.parse_args()
    if args.command == "list":
        print("\n".join(scenario_names(args.arch)))
        return 0
    config = Config(args.build_dir.resolve())
    if args.command in ("setup", "run"):
        reason = cannot_run(config.arch)
        if reason:
            print(f"SKIPPED ({config.arch}): {reason}", flush=True)
            return SKIPPED
    if args.command == "setup":
        setup(config)
        return 0
    if args.command == "cleanup":
        cleanup_lanes(config)
        return 0
    return run(config, args.name)


if __name__ == "__main__":
    sys.exit(main())
