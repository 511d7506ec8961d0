#!/usr/bin/env python3
"""Shows Vigilumen at work: runs it in run mode over DemoSaver.scr under Wine,
with a settings file that watches a window caption (with an icon) and a file
(without an icon, so its text appears at the top-left), and triggers both a
few seconds in. Without $DISPLAY it uses Xvfb, writes a screenshot and ends
by itself; with a display it runs until the saver ends (move the mouse)."""

from __future__ import annotations

import argparse
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import Config, Image, ProbeRecord, prepare_prefix, wine_command, wine_env, winpath  # noqa: E402
from run_scenario import free_display  # noqa: E402

WINDOW_CAPTION = "Vigilumen demo window"
T0 = time.monotonic()


def say(msg: str):
    print(f"[{time.monotonic() - T0:6.1f} s] {msg}", flush=True)


class Demo:
    def __init__(self, config: Config, out: Path):
        self.config = config
        self.out = out
        self.own_xvfb: subprocess.Popen | None = None
        self.procs: list[subprocess.Popen] = []

    # -- environment ------------------------------------------------------
    def start_display(self) -> str:
        if os.environ.get("DISPLAY"):
            say(f"using your display {os.environ['DISPLAY']}")
            return os.environ["DISPLAY"]
        n = free_display()
        self.own_xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                         start_new_session=True)
        deadline = time.monotonic() + 15
        while not Path(f"/tmp/.X11-unix/X{n}").exists():
            if time.monotonic() > deadline:
                raise SystemExit("Xvfb did not start")
            time.sleep(0.05)
        say(f"no $DISPLAY: started Xvfb on :{n} (1024 x 768)")
        return f":{n}"

    def prepare_prefix(self):
        prefix = self.out / f"prefix-{self.config.arch}"  # a prefix serves one loader
        self.session = {"display": self.display, "prefix": str(prefix)}
        self.env = wine_env(self.session)
        if not (prefix / "system.reg").exists():
            say("creating the demo's Wine prefix (first run only, about 20 s)")
            prepare_prefix(self.env)

    def layout(self):
        app = self.out / "app"
        if app.exists():
            shutil.rmtree(app)
        (app / "QVX_data").mkdir(parents=True)
        shutil.copy2(self.config.product, app / "Vigilumen.scr")
        for icon in (ROOT / "data" / "QVX_data").iterdir():
            shutil.copy2(icon, app / "QVX_data" / icon.name)
        savers = self.out / "savers"
        savers.mkdir(exist_ok=True)
        self.saver = savers / "DemoSaver.scr"
        shutil.copy2(self.config.demo_saver, self.saver)
        self.watched = self.out / "watched" / "report.txt"
        self.watched.parent.mkdir(exist_ok=True)
        self.watched.unlink(missing_ok=True)
        ini = (ROOT / "demo" / "Lumiwake.ini").read_text()
        ini = ini.replace("@DEMO_SAVER@", winpath(self.saver)).replace("@WATCHED_FILE@", winpath(self.watched))
        self.ini = app / "QVX_data" / "Lumiwake.ini"
        self.ini.write_bytes(ini.replace("\n", "\r\n").encode("cp1252"))
        self.app = app
        say(f"laid out {app}: Vigilumen.scr, QVX_data/ with the demo settings")
        say(f"  chosen saver: {winpath(self.saver)}")
        say(f"  watching: the caption '{WINDOW_CAPTION}' (icon window.ico) and the file {winpath(self.watched)} (no icon)")

    # -- helpers ----------------------------------------------------------
    def start(self, exe: Path, *args: str) -> subprocess.Popen:
        log = open(self.out / f"{exe.stem}.out", "ab")
        p = subprocess.Popen([*wine_command(), str(exe), *args], cwd=exe.parent, env=self.env, stdin=subprocess.DEVNULL,
                             stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self.procs.append(p)
        return p

    def probe(self, *args: str) -> list[ProbeRecord]:
        out = self.out / "probe.out"
        with open(out, "wb") as f:
            p = subprocess.Popen([*wine_command(), str(self.config.helpers["UiProbe"]), *args], env=self.env,
                                 stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.DEVNULL,
                                 start_new_session=True)
            try:
                p.wait(timeout=30)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, 9)
                return []
        return [ProbeRecord.parse(l) for l in out.read_text(errors="replace").splitlines() if l.strip()]

    def process_tree(self) -> dict[int, ProbeRecord]:
        return {int(r["pid"]): r for r in self.probe("procs") if "pid" in r}

    def screenshot(self, path: Path):
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display], capture_output=True,
                             timeout=30, check=True)
        subprocess.run(["convert", "xwd:-", str(path)], input=xwd.stdout, timeout=30, check=True)

    # -- the show ---------------------------------------------------------
    def run(self) -> int:
        self.out.mkdir(parents=True, exist_ok=True)
        self.display = self.start_display()
        self.prepare_prefix()
        self.layout()
        say("starting Vigilumen.scr /s (what Windows does when the screen saver starts)")
        product = self.start(self.app / "Vigilumen.scr", "/s")

        owner = self.wait_for_saver_window(20)
        if owner is None:
            say("the demo saver's window never covered the screen: see the logs in " + str(self.out))
            return 1
        procs = self.process_tree()
        saver_pid = int(owner["rootpid"])
        saver = procs.get(saver_pid)
        parent = procs.get(int(saver["ppid"])) if saver else None
        say(f"DemoSaver.scr (pid {saver_pid}) owns the screen point (1,1); started by "
            f"{parent['exe'] if parent else 'unknown'} (pid {saver['ppid'] if saver else '?'})")
        cmdline = self.probe("cmdline", str(saver_pid))
        if cmdline and "cmdline" in cmdline[0]:
            say(f"  its command line: {cmdline[0]['cmdline']}")

        time.sleep(3)
        stop = self.out / "caption.stop"
        stop.unlink(missing_ok=True)
        say(f"event 1: a window captioned '{WINDOW_CAPTION}' appears")
        self.start(self.config.helpers["CaptionWindow"], "--caption", WINDOW_CAPTION, "--stop", str(stop))
        say(f"event 2: {self.watched.name} is written")
        self.watched.write_text("quarterly figures are in\n")

        say("waiting two watchdog periods (3 s each) for the notifications")
        time.sleep(7)
        # The text lies on the screen itself, under the saver's next frame:
        # the overlay timer draws it again twice a second, so a burst of
        # screenshots catches it.
        shot = self.out / "demo.png"
        seen, attempt = False, 0
        for attempt in range(1, 121):
            xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display], capture_output=True,
                                 timeout=30, check=True).stdout
            row = subprocess.run(["convert", "xwd:-", "-crop", "400x1+0+3", "+repage", "-depth", "8", "rgb:-"],
                                 input=xwd, capture_output=True, timeout=30, check=True).stdout
            seen = sum(1 for i in range(0, len(row) - 2, 3) if row[i:i + 3] == b"\xff\xff\xff") > 50
            if seen or attempt == 120:
                subprocess.run(["convert", "xwd:-", str(shot)], input=xwd, timeout=30, check=True)
                break
        img = Image.load(shot)
        say(f"screenshot written: {shot} ({img.width} x {img.height}), shot {attempt} of a burst")
        say(f"  top-left corner: the text '{winpath(self.watched)} has been modified' "
            f"({'seen' if seen else 'NOT seen'} in the screenshot)")
        self.report_carrier(owner["root"])
        if self.own_xvfb is not None:
            say("moving the mouse, as a person coming back would: the saver ends")
            subprocess.run(["xdotool", "mousemove", "400", "300"], env={**os.environ, "DISPLAY": self.display})
            time.sleep(0.3)
            subprocess.run(["xdotool", "mousemove", "600", "450"], env={**os.environ, "DISPLAY": self.display})
        else:
            say("move the mouse or press a key to end the saver")
        ended = time.monotonic()
        timeout = 30 if self.own_xvfb is not None else None
        try:
            product.wait(timeout=timeout)
            say(f"Vigilumen ended {time.monotonic() - ended:.1f} s later, exit code {product.returncode}")
        except subprocess.TimeoutExpired:
            say("Vigilumen did not end within 30 s of the saver")
            return 1
        stop.touch()
        apps = [l for l in self.ini.read_text(errors="replace").splitlines() if l.lower().startswith("app")]
        say("settings file after the run, application list:")
        for line in apps:
            say("  " + line)
        return 0

    def report_carrier(self, saver_window: str):
        c = None
        for _ in range(8):  # blinking parks it off the screen every other tick
            carriers = [r for r in self.probe("tree", saver_window) if r.get("class") == "Vigilumen.frmIcon"]
            c = carriers[0] if carriers else None
            if c and int(c["rect"].split(",")[0]) > -1000:
                break
            time.sleep(0.2)
        if not c:
            say("  the window icon: no icon carrier inside the saver's window (NOT placed)")
            return
        say(f"  the window icon: placed inside the saver's window ({saver_window}) at {c['rect']} "
            f"(screen pixels), blinking")
        png = self.out / "carrier.png"
        bmp = self.out / "carrier.bmp"
        snap = self.probe("snap", c["hwnd"], winpath(bmp))
        if snap and snap[0].get("ok") == "1" and bmp.exists():
            subprocess.run(["convert", str(bmp), str(png)], timeout=30)
            say(f"  Wine does not draw a window inside another program's window; what it holds: {png}")

    def wait_for_saver_window(self, timeout: float) -> ProbeRecord | None:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            recs = self.probe("whoat", "1", "1")
            if recs and "rootpid" in recs[0]:
                procs = self.process_tree()
                owner = procs.get(int(recs[0]["rootpid"]))
                if owner and owner.get("exe", "").lower() == "demosaver.scr":
                    return recs[0]
            time.sleep(0.3)
        return None

    def close(self):
        for p in self.procs:
            try:
                os.killpg(p.pid, 9)
            except OSError:
                pass
        if hasattr(self, "env"):
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.own_xvfb is not None:
            os.killpg(self.own_xvfb.pid, 9)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    args = parser.parse_args()
    demo = Demo(Config(args.build_dir.resolve()), args.out.resolve())
    try:
        return demo.run()
    finally:
        demo.close()


if __name__ == "__main__":
    sys.exit(main())
