#!/usr/bin/env python3
"""Measures the CPU time Vigilumen uses in run mode over the fake saver, after
a settling time, for the given time. Prints the figures; asserts nothing.

Workloads (--workload):
  icons5   five "Wait for window" records whose windows are open: five
           blinking icons (the default).
  busy20   a busy user's list of 20 ticked records: five mail records without
           an icon (the fake mail library always has unread mail, so they show
           one line of text), ten "Wait for window" records with icons of
           their own whose windows are open, five "Watch for file update"
           records with icons (their files' dates are new to the list, so the
           first poll reports them); blinking, 15 icons in a row at 100;100.
           Before the measurement the carrier must be 15 icons wide at its
           place; after it, a capture of the carrier must show 15 icons.
  busy20+jobs  busy20 and ten more records that have no event, so every
           cycle looks at them: five "Wait for program to end" records whose
           programs (copies of FileHolder.exe, JobN.exe) run all along, and five
           "Watch folder for new files" records over folders of 50 files each,
           present from the start. Measured against busy20 in the same session,
           it gives what the two methods cost a cycle on a busy list.
  busy20+imap  busy20 and one "IMAP mail" record whose account (a private
           Dovecot, tests/e2e/imap_server.py) gets no mail: the account is
           watched in IDLE by its own thread all along.

First, over the same fake saver and for the same time, the references:
BlinkFloor.exe, which only wakes every 473 ms, then blinks the same number of
icons in the saver's window and does nothing else - the least any program
showing the same thing pays. Vigilumen's figure is printed as a ratio to the
blink. The CPU time of the fake saver's process, of the wineserver and of the
X server over the same time are printed beside it: a window move Vigilumen
asks for inside the saver's window is partly paid there.

  python3 tools/bench_cpu.py --build-dir build/win32 [--workload busy20] [--seconds 600] [--settle 10]
                             [--summary] [--product other/Vigilumen.scr]

--summary turns the summary of what happened on: every record is then looked
at in every cycle, also those whose icon is on show (a caption pass and a
mail check each cycle).
"""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from bench_soak import wineserver_pid  # noqa: E402
from harness import (Harness, mail_record, processes_under, rect, settings_ini,  # noqa: E402
                     winpath)
from run_scenario import bench_parser, bench_session  # noqa: E402

CARRIER_CLASS = "Vigilumen.frmIcon"
ICON = 32  # pixels of a plain icon element
NOTIFY = (100, 100)


def cpu_seconds(pid: int) -> float:
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime


def rss_kib(pid: int) -> int:
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


@dataclass
class Workload:
    ini: str  # the settings file
    icons: list[str]  # icon files in the data folder, each shown once
    captions: list[str]  # windows to open
    env: dict | None = None
    mail_log: Path | None = None  # the fake mail library's calls
    programs: list[tuple[Path, list[str]]] = field(default_factory=list)  # to start first, with their arguments
    cleanups: list = field(default_factory=list)  # called at the end


def icons5(h: Harness, saver: Path) -> Workload:
    captions = [f"Bench window {i}" for i in range(5)]
    records = [f"{i};1;1;W{i};{c};1;Wait for window;icon{i}.ico;{c};" for i, c in enumerate(captions)]
    ini = "\n".join(["[settings]", f"scrfile={winpath(saver)}", "position=100;100", "blink=1",
                     "orientation=1", "[applist]"] + [f"app{i}={r}" for i, r in enumerate(records)]) + "\n"
    return Workload(ini, [f"icon{i}.ico" for i in range(5)], captions)


def busy20(h: Harness, saver: Path) -> Workload:
    env, mail_log = h.fake_mapi("unread")
    mail = [mail_record()] + [f"{i};1;1;Mail {i};;2;Internal;;;" for i in range(1, 5)]
    captions = [f"Bench window {i}" for i in range(10)]
    windows = [f"{10 + i};1;1;Window {i};{c};1;Wait for window;window{i}.ico;{c};" for i, c in enumerate(captions)]
    watched = h.dir / "watched"
    watched.mkdir()
    files = []
    for i in range(5):
        f = watched / f"file{i}.txt"
        f.write_text(f"watched file {i}\n")
        # No stored date: the first poll reports the file and stores its date.
        files.append(f"{20 + i};1;1;File {i};{winpath(f)};0;Watch for file update;file{i}.ico;{winpath(f)};")
    ini = settings_ini(winpath(saver), mail + windows + files, position=f"{NOTIFY[0]};{NOTIFY[1]}", blink=1,
                       enlarged=0, orientation=1)
    icons = [f"window{i}.ico" for i in range(10)] + [f"file{i}.ico" for i in range(5)]
    return Workload(ini, icons, captions, env, mail_log)


def busy20_jobs(h: Harness, saver: Path) -> Workload:
    work = busy20(h, saver)
    records, stop = [], h.dir / "jobs.stop"
    for i in range(5):
        exe = h.dir / "jobs" / f"Job{i}.exe"
        exe.parent.mkdir(exist_ok=True)
        shutil.copy2(h.config.helpers["FileHolder"], exe)
        held = h.dir / "jobs" / f"job{i}.dat"
        held.write_text("frames\n")
        work.programs.append((exe, [winpath(held), winpath(stop)]))
        records.append(f"{30 + i};1;1;Job {i};Job{i}.exe;3;Wait for program to end;;Job{i}.exe;")
    for i in range(5):
        folder = h.dir / "folders" / f"out{i}"
        folder.mkdir(parents=True)
        for k in range(50):
            (folder / f"frame{k:03d}.png").write_bytes(b"\x89PNG" * 10)
        records.append(f"{40 + i};1;1;Out {i};{winpath(folder)};4;Watch folder for new files;;{winpath(folder)}\\*.png;")
    first = len(work.ini.split("[applist]\n")[1].splitlines())
    work.ini += "".join(f"app{first + i}={r}\n" for i, r in enumerate(records))
    return work


def busy20_imap(h: Harness, saver: Path) -> Workload:
    from imap_server import ImapServer

    work = busy20(h, saver)
    server = ImapServer(h.dir / "imap")
    server.start()
    work.cleanups.append(server.stop)
    h.trust_certificate(server.ca_pem_path)
    user, password = next(iter(server.users.items()))
    h.store_password(f"Vigilumen/imap/{user}@localhost", user, password)
    url = f"imaps://{user}@localhost:{server.ports['imaps']}/INBOX"
    first = len(work.ini.split("[applist]\n")[1].splitlines())
    work.ini += f"app{first}=50;1;1;Mail IMAP;{url};5;IMAP mail;imap.ico;{url};\n"
    return work


WORKLOADS = {"icons5": icons5, "busy20": busy20, "busy20+jobs": busy20_jobs, "busy20+imap": busy20_imap}


def carrier(h: Harness, saver_hwnd: str):
    found = [r for r in h.probe("tree", saver_hwnd, check=False) if r.get("class") == CARRIER_CLASS]
    return found[0] if found else None


def check_carrier_placed(h: Harness, saver_hwnd: str, icons: int) -> dict:
    """The carrier inside the saver's window, `icons` elements wide, at the
    notification position (or parked off the screen, blinking)."""
    def placed():
        c = carrier(h, saver_hwnd)
        return c if c and rect(c)[2] - rect(c)[0] == icons * ICON else None
    c = h.wait_until(placed, 20, f"the carrier {icons} icons wide", interval=0.3)
    left, top, right, bottom = rect(c)
    if top != NOTIFY[1] or bottom - top != ICON or (left != NOTIFY[0] and left > -1000):
        raise SystemExit(f"carrier at {c['rect']}, want {icons * ICON} x {ICON} at {NOTIFY} or parked")
    return c


def check_carrier_shows(h: Harness, hwnd: str, icons: int):
    """A capture of the carrier, taken inside Vigilumen: every 32-pixel cell holds an icon."""
    bmp, png = h.dir / "carrier.bmp", h.dir / "carrier.png"
    snap = h.probe("snap", hwnd, winpath(bmp))[0]
    if snap.get("ok") != "1":
        raise SystemExit(f"no capture of the carrier: {snap}")
    subprocess.run(["convert", str(bmp), str(png)], check=True, timeout=30)
    img = h.pixels(png)
    drawn = [img.count((k * ICON, 0, (k + 1) * ICON, ICON), lambda p: max(p) > 60) for k in range(img.width // ICON)]
    if img.width != icons * ICON or sum(1 for n in drawn if n > 100) != icons:
        raise SystemExit(f"carrier capture {img.width} x {img.height}, lit pixels per icon: {drawn}")
    print(f"carrier shows {icons} icons (lit pixels per icon: {min(drawn)}-{max(drawn)}); capture {png}")


def saver_window(saver: Path) -> str:
    return [l for l in saver.with_name("FakeSaver.log").read_text().splitlines()
            if l.startswith("window hwnd=")][-1].split("hwnd=")[1].split()[0]


def only_process(folder: Path, h: Harness, exe: str) -> int:
    pids = [p for p in processes_under(folder, h.prefix)
            if exe in Path(f"/proc/{p}/cmdline").read_bytes().decode(errors="replace").lower()]
    if len(pids) != 1:
        raise SystemExit(f"expected one {exe} process under {folder}, found {pids}")
    return pids[0]


def measure(pid: int, others: dict[str, int], seconds: float) -> tuple[float, float, dict[str, float]]:
    """CPU seconds of pid and of the others over `seconds`, and the time it took."""
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    start_others = {k: cpu_seconds(p) for k, p in others.items() if p}
    time.sleep(seconds)
    used, took = cpu_seconds(pid) - start_cpu, time.monotonic() - start
    return used, took, {k: cpu_seconds(others[k]) - v for k, v in start_others.items()}


def share(used: float, took: float) -> str:
    return f"{used:.2f} s ({100 * used / took:.3f} %)"


def reference(h: Harness, icons: int, args, still: bool = False) -> tuple[float, float]:
    """The same blink over the same saver by BlinkFloor.exe, which does nothing
    else; `still`: it only wakes at the same rhythm."""
    saver = h.fake_saver(h.dir / ("reference-still" if still else "reference"))
    h.start(saver, "/s")
    h.wait_file_text(saver.with_name("FakeSaver.log"), "window hwnd=", 20)
    floor = h.start(h.config.helpers["BlinkFloor"], saver_window(saver), str(NOTIFY[0]), str(NOTIFY[1]), str(icons),
                    *(["still"] if still else []))
    time.sleep(args.settle)
    if not floor.running():
        raise SystemExit("BlinkFloor.exe ended before the measurement")
    pid = only_process(Path(h.config.helpers["BlinkFloor"]).parent, h, "blinkfloor.exe")
    used, took, server = measure(pid, {"wineserver": wineserver_pid(h.prefix)}, args.seconds)
    doing = "waking every 473 ms" if still else f"blinking {icons} icons in the fake saver's window"
    print(f"reference: BlinkFloor.exe {doing}: {share(used, took)} of one core; "
          + ", ".join(f"{k} {share(v, took)}" for k, v in server.items()))
    floor.kill()
    saver.with_name("FakeSaver.stop").touch()
    return used, took


def main() -> int:
    parser = bench_parser(__doc__, "win32")
    parser.add_argument("--workload", choices=sorted(WORKLOADS), default="icons5")
    parser.add_argument("--seconds", type=float, default=600)
    parser.add_argument("--settle", type=float, default=10, help="seconds of run mode before the measurement")
    parser.add_argument("--summary", action="store_true", help="with the summary of what happened (awaysummary=1)")
    args = parser.parse_args()
    with bench_session(args, f"bench-cpu-{args.workload}") as h:
        config = h.config
        saver = h.fake_saver(h.dir / "savers")
        work = WORKLOADS[args.workload](h, saver)
        if args.summary:
            work.ini = work.ini.replace("[applist]", "awaysummary=1\n[applist]", 1)
        icons = len(work.icons)
        # The windows first: the references' wineserver figures then include theirs.
        stop = h.dir / "captions.stop"
        for c in work.captions:
            h.caption_window(c, stop)
        for exe, program_args in work.programs:
            h.start(exe, *program_args)
        reference(h, icons, args, still=True)
        floor_used, floor_took = reference(h, icons, args)
        app = h.app_folder(ini=work.ini)
        for i, icon in enumerate(work.icons):
            shutil.copy2(ROOT / "data" / "QVX_data" / ("window.ico" if i % 2 else "file.ico"), app.data / icon)
        h.start_hosted(app, saver, env=work.env)
        time.sleep(args.settle)  # the first watchdog ticks place the icons
        placed = check_carrier_placed(h, saver_window(saver), icons)
        pid = only_process(app.root, h, "vigilumen.scr")
        saver_pids = processes_under(saver.parent, h.prefix)
        if len(saver_pids) != 1:
            raise SystemExit(f"expected one saver process, found {saver_pids}")
        others = {"fake saver": saver_pids[0], "wineserver": wineserver_pid(h.prefix), "Xvfb": h.session["xvfb_pid"]}
        mail_calls = lambda: work.mail_log.read_text().count("enter MAPILogon") \
            if work.mail_log and work.mail_log.exists() else 0  # noqa: E731
        start_rss, start_mail = rss_kib(pid), mail_calls()
        used, took, used_others = measure(pid, others, args.seconds)
        print(f"{config.arch} {config.product.name}, workload {args.workload}{' with the summary' * args.summary}: "
              f"{share(used, took)} of one core in "
              f"{took:.0f} s of run mode with {icons} blinking icons, {used / took / (floor_used / floor_took):.2f}x "
              f"the reference; resident memory {start_rss} KiB -> {rss_kib(pid)} KiB")
        print("  over the same time: " + ", ".join(f"{k} {share(v, took)}" for k, v in used_others.items()))
        if work.mail_log:
            print(f"  mail checks (logons) during the measurement: {mail_calls() - start_mail}")
        check_carrier_shows(h, placed["hwnd"], icons)
        stop.touch()
        (h.dir / "jobs.stop").touch()
        saver.with_name("FakeSaver.stop").touch()
        if work.cleanups:
            log = h.prefix / "drive_c" / "log.txt"
            print("  c:\\log.txt: " + " | ".join(l for l in log.read_text(errors="replace").splitlines()
                                                  if l.startswith("IMAP")))
        for cleanup in work.cleanups:
            cleanup()
    return 0


if __name__ == "__main__":
    sys.exit(main())
