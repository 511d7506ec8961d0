"""End-to-end harness: the product and its helper programs under Wine on Xvfb.

A test session (one per lane of a build tree, made by `run_scenario.py setup`
or by the lane's first scenario) owns an Xvfb display and a fresh WINEPREFIX;
a scenario asks its window questions of one UiProbe it starts once
(ProbeServer). Each scenario gets its own folder under
<build>/e2e/runs/<scenario>/ where it lays out an app folder, starts programs,
waits (always bounded) for visible effects, and leaves logs and screenshots.
"""

from __future__ import annotations

import itertools
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import threading
import time
from pathlib import Path


class ScenarioFailed(AssertionError):
    pass


CAPTION = "Corvane Vigilumen"
PROBE_NO_ANSWERS = 4  # UiProbe's exit code when Wine gave it no working window calls


def mail_record(checked: int = 1, icon: str = "") -> str:
    return f"-1;0;{checked};MAPI Client (Mail);;2;Internal;{icon};;"


def settings_ini(scrfile: str = "", apps=(), **settings) -> str:
    """A settings file: the chosen saver, other "settings" keys, the records."""
    lines = ["[settings]", f"scrfile={scrfile}"] + [f"{k}={v}" for k, v in settings.items()] + ["[applist]"]
    lines += [f"app{i}={r}" for i, r in enumerate(apps)]
    return "\n".join(lines) + "\n"


def expect(what: str, got, want):
    if got != want:
        raise ScenarioFailed(f"{what}: got {got!r}, want {want!r}")


def rect(rec: dict) -> tuple[int, ...]:
    return tuple(int(v) for v in rec["rect"].split(","))


def _inside(inner: tuple[int, ...], outer: tuple[int, ...]) -> bool:
    return outer[0] <= inner[0] and outer[1] <= inner[1] and inner[2] <= outer[2] and inner[3] <= outer[3]


def centre(r: tuple[int, ...]) -> tuple[int, int]:
    return (r[0] + r[2]) // 2, (r[1] + r[3]) // 2


def saver_starts(saver: Path, role: str = "") -> list[str]:
    """The fake saver's "start" log lines, of one role (main, child) if given."""
    log = saver.with_name("FakeSaver.log")
    lines = log.read_text(encoding="utf-8", errors="replace").splitlines() if log.exists() else []
    return [l for l in lines if l.startswith("start ") and f"role={role}" in l]


def saver_cmdline(saver: Path, index: int = 0) -> str:
    """The command line the fake saver was started with, its `index`-th start."""
    return saver_starts(saver)[index].split("cmdline=")[1]


def saver_window(saver: Path) -> str:
    """The handle of the fake saver's last window, as its log gives it."""
    lines = saver.with_name("FakeSaver.log").read_text(encoding="utf-8", errors="replace").splitlines()
    return [l for l in lines if l.startswith("window hwnd=")][-1].split("hwnd=")[1].split()[0]


def field(line: str, key: str) -> int:
    return int(line.split(f" {key}=")[1].split()[0])


def end_saver(saver: Path, product: "WineProcess", timeout: float = 5):
    """Ends the fake saver the way its stop file does; the program must follow."""
    saver.with_name("FakeSaver.stop").touch()
    if product.wait(timeout) is None:
        raise ScenarioFailed("the program did not end after its saver")


def winpath(path: Path | str) -> str:
    """Wine maps drive Z: to the Unix root."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Config:
    """Paths of the built programs, written by CMake at generate time."""

    def __init__(self, build_dir: Path):
        data = json.loads((build_dir / "tests" / "e2e" / "e2e_config.json").read_text())
        self.arch = data["arch"]
        self.product = Path(data["product"])
        self.demo_saver = Path(data["demo_saver"])
        self.helpers = {k: Path(v) for k, v in data["helpers"].items()}
        self.source_dir = Path(data["source_dir"])
        self.e2e_dir = build_dir / "e2e"
        self.set_lane(e2e_lane())

    def set_lane(self, lane: str):
        """Scenarios run side by side in lanes, each with its own X display
        and WINEPREFIX (the point (1,1), the Windows folder and the desktop
        are each lane's own); lane 0 keeps the plain names."""
        self.lane = lane
        self.lane_suffix = "" if lane == "0" else f"-{lane}"
        self.session_file = self.e2e_dir / f"session{self.lane_suffix}.json"
        self.prefix = self.e2e_dir / f"prefix{self.lane_suffix}"


def e2e_lane() -> str:
    """The lane ctest gave this scenario (a "wine" resource: "id:1,slots:1"),
    else VL_E2E_LANE, else 0."""
    found = re.match(r"id:([A-Za-z0-9_]+)", os.environ.get("CTEST_RESOURCE_GROUP_0_WINE", ""))
    return found.group(1) if found else os.environ.get("VL_E2E_LANE", "0")


WINE32_LOADER = Path("/usr/lib/wine/wine")
WINE64_LOADER = Path("/usr/lib/wine/wine64")
SKIPPED = 77  # ctest's skip code for the scenarios (SKIP_RETURN_CODE)


def runs_32bit_programs() -> bool:
    """Some kernels are built without 32-bit x86 support: Wine's 32-bit
    loader cannot even start there ("Exec format error")."""
    loader = WINE32_LOADER if WINE32_LOADER.exists() else shutil.which("wine")
    if not loader:
        return False
    try:
        return subprocess.run([str(loader), "--version"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except OSError:
        return False


def use_64bit_loader() -> bool:
    """Where 32-bit programs run, "wine" is used as it comes (a prefix with
    both halves). Elsewhere the 64-bit loader runs a 64-bit-only prefix,
    which runs the x64 build and nothing 32-bit."""
    return WINE64_LOADER.exists() and not runs_32bit_programs()


_64BIT_ONLY: bool | None = None


def wine_command() -> list[str]:
    global _64BIT_ONLY
    if _64BIT_ONLY is None:
        _64BIT_ONLY = use_64bit_loader()
    return [str(WINE64_LOADER)] if _64BIT_ONLY else ["wine"]


def cannot_run(arch: str) -> str | None:
    """Why this machine cannot run a build's scenarios; None when it can."""
    if arch == "win32" and not runs_32bit_programs():
        return ("this machine's kernel cannot execute 32-bit x86 programs, so Wine cannot run the "
                "32-bit build here; its scenarios are skipped, not passed")
    return None


def wine_env(session: dict, extra: dict | None = None) -> dict:
    # No Mono/Gecko installers; the fake mail library wins where one is installed.
    # Dates and number formats follow the locale: pin it for every run.
    return {**os.environ, "WINEPREFIX": session["prefix"], "WINEDEBUG": os.environ.get("VL_WINEDEBUG", "-all"),
            "WINEDLLOVERRIDES": "mscoree,mshtml=;mapi32=n,b", "DISPLAY": session["display"],
            "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8",
            **({"WINELOADER": str(WINE64_LOADER), "WINEARCH": "win64"} if wine_command() != ["wine"] else {}),
            **(extra or {})}


def prepare_prefix(env: dict):
    """Creates a WINEPREFIX and sets it up for a screen without a window manager."""
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([*wine_command(), "wineboot", "-i"], env=env, timeout=300, check=True, **quiet)
    # Unmanaged windows: Wine otherwise waits two seconds for a window
    # manager whenever a full-screen window is hidden or closed.
    subprocess.run([*wine_command(), "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                   env=env, timeout=120, check=True, **quiet)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120, **quiet)


class ProbeServer:
    """One UiProbe for a scenario's probe commands ("UiProbe serve"): a
    command costs milliseconds instead of a Wine process start (about 0.2 s
    and 0.1 s of a core each here)."""

    ONE_SHOT = ("mapi",)  # loads a library into the probe: in a process of its own
    END = b"\x1d"

    def __init__(self, h: "Harness"):
        exe = h.config.helpers["UiProbe"]
        self._errors_path = h.dir / "probe-server.err"
        self._errors = open(self._errors_path, "ab")
        self.popen = subprocess.Popen([*wine_command(), str(exe), "serve"], cwd=exe.parent, env=h.env(),
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self._errors,
                                      start_new_session=True)
        self._lines: queue.Queue[bytes | None] = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.popen.stdout:
            self._lines.put(line)
        self._lines.put(None)

    def ask(self, args: tuple[str, ...], timeout: float) -> subprocess.CompletedProcess | None:
        """The command's answer; None when the server has died or does not answer in time."""
        errors_from = self._errors_path.stat().st_size
        try:
            self.popen.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
            self.popen.stdin.flush()
        except OSError:
            return None
        out = b""
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self._lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return None
            if line is None:
                return None
            if line.startswith(self.END):
                errors = self._errors_path.read_bytes()[errors_from:]
                return subprocess.CompletedProcess(args, int(line[1:]), out, errors)
            out += line

    def stop(self):
        try:
            self.popen.stdin.close()
            self.popen.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            try:
                os.killpg(self.popen.pid, signal.SIGKILL)
            except OSError:
                pass
            self.popen.wait(timeout=10)
        self._errors.close()


class WineProcess:
    """A program started under Wine in a process group of its own, so that it
    and whatever it starts can be ended together."""

    def __init__(self, harness: "Harness", args: list[str], cwd: Path, env: dict, log: Path):
        self._log = open(log, "wb")
        self.popen = subprocess.Popen(
            [*wine_command(), *args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
            stdout=self._log, stderr=subprocess.STDOUT, start_new_session=True)
        self.pid = self.popen.pid
        harness._started.append(self)

    def running(self) -> bool:
        return self.popen.poll() is None

    def wait(self, timeout: float) -> int | None:
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.wait(10)
        self._log.close()


_ESCAPES = {"t": "\t", "r": "\r", "n": "\n", "\\": "\\"}
_UNESCAPE = re.compile(r"\\([trn\\])")


def processes_under(folder: Path, prefix: Path) -> list[int]:
    """Unix pids of the prefix's processes whose command line names a file
    under folder (Wine shows a program's Windows path as its command line).
    Where Wine runs 32-bit programs, `wine` starts a 64-bit one through a
    32-bit `start.exe /exec PATH` that waits for it: that launcher is not counted."""
    unix = str(folder.resolve()).lower()
    windows = winpath(folder).lower()
    found = []
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            cmdline = (proc / "cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace").lower()
            if (unix not in cmdline and windows not in cmdline) or cmdline.startswith("start.exe /exec "):
                continue
            environ = (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if f"WINEPREFIX={prefix}".encode() in environ:
            found.append(int(proc.name))
    return found


def exit_after_saver_ms(h: "Harness", saver: Path, product: "WineProcess") -> float:
    """Waits for the fake saver to give the screen back by itself, then for the
    program's exit: the milliseconds between the two (Wine's clock is the host's)."""
    log = saver.with_name("FakeSaver.log")
    h.wait_file_text(log, "window closed unix_ms=", 30)
    deadline = time.monotonic() + 10
    while product.wait(0.001) is None and time.monotonic() < deadline:
        pass
    ended_ms = time.time() * 1000
    if product.running():
        raise ScenarioFailed("the program did not end after its saver")
    return ended_ms - int(log.read_text().split("window closed unix_ms=")[1].split()[0])


class ProbeRecord(dict):
    """One line of UiProbe output: TAB-separated key=value fields."""

    @staticmethod
    def parse(line: str) -> "ProbeRecord":
        rec = ProbeRecord()
        for item in line.rstrip("\r\n").split("\t"):
            key, sep, value = item.partition("=")
            if sep:
                rec[key] = _UNESCAPE.sub(lambda m: _ESCAPES[m.group(1)], value)
        return rec


class Harness:
    def __init__(self, config: Config, session: dict, name: str):
        self.config = config
        self.session = session
        self.dir = config.e2e_dir / "runs" / name
        if self.dir.exists():
            shutil.rmtree(self.dir)
        self.dir.mkdir(parents=True)
        self._started: list[WineProcess] = []
        self._shots = 0
        self._run_numbers = itertools.count(1)
        self._probe_server: ProbeServer | None = None
        self._groups: list[int] = []
        self._placed: list[Path] = []
        self.display = session["display"]
        self.prefix = Path(session["prefix"])

    # ----- programs -------------------------------------------------------
    def env(self, extra: dict | None = None) -> dict:
        return wine_env(self.session, extra)

    def start(self, exe: Path | str, *args: str, env: dict | None = None, log_name: str | None = None) -> WineProcess:
        exe = Path(exe)
        log = self.dir / (log_name or f"{exe.stem}-{len(self._started)}.out")
        return WineProcess(self, [str(exe), *args], exe.parent, self.env(env), log)

    def run(self, exe: Path | str, *args: str, timeout: float = 60, env: dict | None = None):
        """Runs a program to its end; returns its exit code and output. The
        output goes through a file: a Windows program's children inherit the
        Unix descriptors, and a pipe would stay open as long as they live."""
        exe = Path(exe)
        out_path = self.dir / f"run-{next(self._run_numbers):03d}-{exe.stem}.out"  # one each, also across threads
        err_path = out_path.with_suffix(".err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            p = subprocess.Popen([*wine_command(), str(exe), *args], cwd=exe.parent, env=self.env(env),
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                 start_new_session=True)
            self._groups.append(p.pid)  # what it started lives on in its group
            try:
                code = p.wait(timeout=timeout)
            except subprocess.TimeoutExpired as e:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait(timeout=10)
                raise ScenarioFailed(f"{exe.name} {' '.join(args)} did not end within {timeout} s") from e
        output, errors = out_path.read_bytes(), err_path.read_bytes()
        out_path.unlink()
        err_path.unlink()
        return subprocess.CompletedProcess(p.args, code, output, errors)

    def run_ok(self, exe: Path | str, *args: str):
        """Runs a program to its end and expects exit code 0."""
        expect(f"exit code of {Path(exe).name} {' '.join(args)}", self.run(exe, *args, timeout=30).returncode, 0)

    def _probe_once(self, args: tuple[str, ...], timeout: float, env: dict | None) -> subprocess.CompletedProcess:
        """One probe command: by the scenario's probe server where it can
        answer it (the same environment, arguments that fit on a line), else
        by a probe of its own."""
        if env is None and args and args[0] not in ProbeServer.ONE_SHOT and \
                not any(c in a for a in args for c in "\t\r\n"):
            if self._probe_server is None:
                self._probe_server = ProbeServer(self)
            done = self._probe_server.ask(args, timeout)
            if done is not None:
                if done.returncode == PROBE_NO_ANSWERS:
                    self._probe_server.stop()
                    self._probe_server = None
                return done
            self._probe_server.stop()  # died or hung: the next command gets a new one
            self._probe_server = None
        return self.run(self.config.helpers["UiProbe"], *args, timeout=timeout, env=env)

    def probe(self, *args: str, check: bool = True, timeout: float = 30, env: dict | None = None) -> list[ProbeRecord]:
        done = self._probe_once(args, timeout, env)
        # Now and then, right after another of the scenario's processes has
        # ended, a probe finds no window that is there, or its window calls
        # answer nothing at all (Wine): a probe that must succeed is given two
        # more chances before that counts, one that found Wine unanswering always.
        for _ in range(2):
            unanswered = done.returncode == PROBE_NO_ANSWERS
            missed = check and done.returncode == 1 and not done.stdout.strip()
            if not (unanswered or missed):
                break
            if unanswered:
                with open(self.dir / "probe-restarted.txt", "a") as note:
                    note.write(f"UiProbe {' '.join(args)}: no answers from its window calls\n")
            time.sleep(0.3)
            done = self._probe_once(args, timeout, env)
        text = done.stdout.decode("utf-8", "replace")
        if check and done.returncode != 0:
            raise ScenarioFailed(f"UiProbe {' '.join(args)} failed ({done.returncode}): {text}"
                                 f"{done.stderr.decode('utf-8', 'replace')}")
        return [ProbeRecord.parse(l) for l in text.splitlines() if l.strip()]

    def probe_one(self, *args: str) -> ProbeRecord | None:
        recs = self.probe(*args, check=False)
        return recs[0] if recs else None

    def snap(self, hwnd: str, name: str = "carrier") -> "Image":
        """A window's content captured inside its own program: Wine does not
        put a child window of another process on the screen."""
        bmp, png = self.dir / f"{name}.bmp", self.dir / f"{name}.png"
        snap = self.probe("snap", hwnd, winpath(bmp))[0]
        if snap.get("ok") != "1" or snap.get("blank") != "0":
            raise ScenarioFailed(f"snapshot of {hwnd}: {snap}")
        subprocess.run(["convert", str(bmp), str(png)], check=True, timeout=30)
        return Image.load(png)

    # ----- files in the shared prefix -------------------------------------
    def system_folder(self) -> Path:
        """Where this architecture's programs find system DLLs."""
        sub = "system32" if self.config.arch == "win64" else "syswow64"
        return self.prefix / "drive_c" / "windows" / sub

    def fake_mapi(self, answer: str) -> tuple[dict, Path]:
        """Installs the fake mail library answering `answer` (unread, read,
        nologon): the environment that points it at its files, and its call log."""
        shutil.copy2(self.config.helpers["FakeMapi"], self.system_folder() / "mapi32.dll")
        state, log = self.dir / "mapi_state.txt", self.dir / "mapi.log"
        state.write_text(answer + "\n")
        return {"FAKE_MAPI_STATE": winpath(state), "FAKE_MAPI_LOG": winpath(log)}, log

    def place_file(self, source: Path, target: Path) -> Path:
        """Copies a file into the shared prefix; it is removed when the scenario ends."""
        shutil.copy2(source, target)
        self._placed.append(target)
        return target

    # ----- the IMAP link -------------------------------------------------
    def trust_certificate(self, cert: Path, trusted: bool = True):
        """Puts a certificate (PEM or DER) into the current user's Root store
        of the prefix, so the prefix trusts what it signed, or takes it out
        again (the prefix is shared by the lane's later scenarios)."""
        done = self.run(self.config.helpers["ImapProbe"], "trust" if trusted else "untrust", winpath(cert), timeout=60)
        if done.returncode != 0:
            raise ScenarioFailed(f"ImapProbe {'trust' if trusted else 'untrust'} {cert.name}: "
                                 f"{done.stdout.decode('utf-8', 'replace').strip()}")

    def store_password(self, target: str, user: str, password: str):
        """Stores a password in the prefix's Credential Manager, as the product does."""
        done = self.run(self.config.helpers["ImapProbe"], "password", target, user, password, timeout=60)
        if done.returncode != 0:
            raise ScenarioFailed(f"ImapProbe password {target}: {done.stdout.decode('utf-8', 'replace').strip()}")

    def password_stored(self, target: str) -> bool:
        done = self.run(self.config.helpers["ImapProbe"], "password", target, timeout=60)
        return done.stdout.decode("utf-8", "replace").strip() == "stored"

    def imap_connect(self, host: str, port: int, mode: str = "tls", seconds: int = 10,
                     stop_after_ms: int | None = None) -> str:
        """Opens the product's IMAP link ("tls" or "starttls") and sends a NOOP
        through it: ImapProbe's answer, "ok <the greeting>" or "fail <failure>:
        <detail>". With stop_after_ms the link's owner asks it to stop then."""
        args = ["connect", host, str(port), mode, str(seconds)]
        if stop_after_ms is not None:
            args.append(str(stop_after_ms))
        done = self.run(self.config.helpers["ImapProbe"], *args, timeout=seconds + 60)
        line = done.stdout.decode("utf-8", "replace").strip()
        if done.returncode not in (0, 1) or not line:
            raise ScenarioFailed(f"ImapProbe {' '.join(args)} ended with {done.returncode}: {line!r} "
                                 f"{done.stderr.decode('utf-8', 'replace')[-400:]!r}")
        return line

    # ----- app folders ----------------------------------------------------
    def app_folder(self, ini: str | None = None, name: str = "app", data_folder: bool = True,
                   encoding: str = "cp1252") -> "AppFolder":
        return AppFolder(self.dir / name, self.config.product, ini, data_folder, encoding)

    def fake_saver(self, folder: Path, name: str = "FakeSaver.scr", **cfg) -> Path:
        """Copies the fake saver into folder with its settings; returns its
        path. Outside this scenario's folder (in the prefix's Windows folder,
        say) everything it leaves is removed when the scenario ends."""
        folder.mkdir(parents=True, exist_ok=True)
        exe = folder / name
        shutil.copy2(self.config.helpers["FakeSaver"], exe)
        (folder / "FakeSaver.cfg").write_text("".join(f"{k}={v}\n" for k, v in cfg.items()))
        if not folder.resolve().is_relative_to(self.dir.resolve()):
            self._placed += [exe] + [folder / f"FakeSaver.{kind}" for kind in ("cfg", "log", "stop", "repaint")]
        return exe

    def caption_window(self, caption: str, stop: Path | None = None, visible: bool = False) -> tuple[Path, int]:
        """Opens a top-level window with this caption until `stop` exists: (stop, its pid)."""
        stop = stop or self.dir / "caption.stop"
        for attempt in (1, 2):
            ready = self.dir / f"caption-{len(self._started)}.ready"
            helper = self.start(self.config.helpers["CaptionWindow"], "--caption", caption, "--stop", winpath(stop),
                                "--ready", winpath(ready), *(["--visible"] if visible else []))
            try:
                self.wait_until(ready.exists, 15, f"the window {caption!r}")
                return stop, int(ready.read_text().strip())
            except ScenarioFailed:
                # Under process churn Wine now and then starts a program that
                # never runs (seen a few times in many runs): one more start,
                # noted, before the scenario fails.
                if attempt == 2:
                    raise
                helper.kill()
                with open(self.dir / "helper-restarted.txt", "a") as note:
                    note.write(f"CaptionWindow {caption!r} did not come up in 15 s; started once more\n")

    def start_hosted(self, app: "AppFolder", saver: Path, *args: str, env: dict | None = None) -> WineProcess:
        """Starts the program (run mode by default) and waits for its saver's window."""
        saver_log = saver.with_name("FakeSaver.log")
        for attempt in (1, 2):
            starts = len(saver_starts(saver))
            product = self.start(app.scr, *(args or ("/s",)), env=env)
            try:
                self.wait_file_text(saver_log, "window hwnd=", 20)
                return product
            except ScenarioFailed as e:
                # Under process churn Wine now and then starts a program that
                # never runs (seen with the helpers too): a saver that never
                # wrote its first line gets one more start of the whole run.
                if attempt == 1 and len(saver_starts(saver)) == starts:
                    product.kill()
                    with open(self.dir / "helper-restarted.txt", "a") as note:
                        note.write(f"the saver {saver.name} never ran in 20 s; the run was started once more\n")
                    continue
                # What tells a program that never ran (Wine) from a saver never
                # started (the program) or one started without a window (Wine).
                log = self.prefix / "drive_c" / "log.txt"
                raise ScenarioFailed(
                    f"{e}; Vigilumen {'still runs' if product.running() else f'ended with {product.wait(0)}'}; "
                    f"the saver's log: {saver_log.read_text(errors='replace') if saver_log.exists() else '(none)'!r}; "
                    f"the end of c:\\log.txt: {log.read_text(errors='replace')[-600:] if log.exists() else '(none)'!r}"
                ) from e
        raise AssertionError("unreachable")

    # ----- waiting --------------------------------------------------------
    def wait_until(self, predicate, timeout: float, what: str, interval: float = 0.1):
        deadline = time.monotonic() + timeout
        while True:
            value = predicate()
            if value:
                return value
            if time.monotonic() >= deadline:
                raise ScenarioFailed(f"timed out after {timeout} s waiting for {what}")
            time.sleep(interval)

    def wait_file_text(self, path: Path, needle: str, timeout: float) -> str:
        def found():
            return path.exists() and needle in path.read_text(encoding="utf-8", errors="replace")
        self.wait_until(found, timeout, f"'{needle}' in {path.name}")
        return path.read_text(encoding="utf-8", errors="replace")

    # ----- screen ---------------------------------------------------------
    def xdotool(self, *args):
        """Real mouse and keyboard input on the virtual screen."""
        subprocess.run(["xdotool", *[str(a) for a in args]], env={**os.environ, "DISPLAY": self.display},
                       check=True, timeout=10)

    def screenshot(self, label: str) -> Path:
        self._shots += 1
        out = self.dir / f"{self._shots:02d}-{label}.png"
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display],
                             capture_output=True, timeout=30, check=True)
        subprocess.run(["convert", "xwd:-", str(out)], input=xwd.stdout, timeout=30, check=True)
        return out

    @staticmethod
    def pixels(png: Path) -> "Image":
        return Image.load(png)

    # ----- teardown -------------------------------------------------------
    def record_failure(self, message: str):
        (self.dir / "FAILED.txt").write_text(message + "\n")
        try:
            self.screenshot("failure")
        except Exception as e:  # a broken display must not hide the real failure
            (self.dir / "FAILED.txt").write_text(message + f"\n(no screenshot: {e})\n")
        try:
            listing = self.run(self.config.helpers["UiProbe"], "windows", timeout=20)
            (self.dir / "windows-at-failure.txt").write_bytes(listing.stdout)
            procs = self.run(self.config.helpers["UiProbe"], "procs", timeout=20)
            (self.dir / "processes-at-failure.txt").write_bytes(procs.stdout)
        except Exception:
            pass

    def close(self):
        if self._probe_server is not None:
            self._probe_server.stop()
            self._probe_server = None
        for p in reversed(self._started):
            p.kill()
        self._started.clear()
        for pgid in self._groups:
            try:
                os.killpg(pgid, signal.SIGKILL)
            except OSError:
                pass
        self._groups.clear()
        # Wine starts every process in a session of its own, so what the
        # product started is found by its path under this scenario's folder.
        leftovers = processes_under(self.dir, self.prefix)
        for pid in leftovers:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        deadline = time.monotonic() + 10
        while leftovers and time.monotonic() < deadline:
            leftovers = [p for p in leftovers if Path(f"/proc/{p}").exists()]
            time.sleep(0.05)
        for path in self._placed:
            path.unlink(missing_ok=True)
        self._placed.clear()


class Image:
    """Pixels of a screenshot, read through a PPM conversion."""

    def __init__(self, width: int, height: int, data: bytes):
        self.width, self.height, self.data = width, height, data

    @classmethod
    def load(cls, png: Path) -> "Image":
        # Stripped of comments the header is "P6 <w> <h> 255"; the pixels end the data.
        ppm = subprocess.run(["convert", str(png), "-strip", "-depth", "8", "ppm:-"], capture_output=True,
                             check=True, timeout=30).stdout
        w, h = (int(v) for v in ppm.split(maxsplit=3)[1:3])
        return cls(w, h, ppm[len(ppm) - w * h * 3:])

    def at(self, x: int, y: int) -> tuple[int, int, int]:
        i = (y * self.width + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def count(self, rect: tuple[int, int, int, int], predicate) -> int:
        x0, y0, x1, y1 = rect
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if predicate(self.at(x, y)))


def close_to(rgb: tuple[int, int, int], want: tuple[int, int, int], tolerance: int = 8) -> bool:
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, want))


def profile_text(path: Path) -> str:
    """A settings file's text, read as the profile calls read it: ANSI, or UTF-16LE behind its mark."""
    data = path.read_bytes()
    return data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("cp1252")


def read_profile(path: Path) -> dict[str, dict[str, str]]:
    """A settings file's sections and keys, names in lower case; {} without the file."""
    sections: dict[str, dict[str, str]] = {}
    current = None
    if not path.exists():
        return sections
    for line in profile_text(path).splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1].lower(), {})
        elif "=" in line and current is not None:
            k, v = line.split("=", 1)
            current[k.strip().lower()] = v
    return sections


class AppFolder:
    """An installed copy of the product: the .scr and its data folder."""

    def __init__(self, root: Path, product: Path, ini: str | None, data_folder: bool, encoding: str = "cp1252"):
        self.root = root
        root.mkdir(parents=True, exist_ok=True)
        self.scr = root / "Vigilumen.scr"
        shutil.copy2(product, self.scr)
        self.data = root / "QVX_data"
        self.ini = self.data / "Lumiwake.ini"
        if data_folder:
            self.data.mkdir(exist_ok=True)
            if ini is not None:
                # Private-profile files: ANSI text ("cp1252", Wine's code page
                # here) or UTF-16LE behind its mark ("utf-16"), CR LF line ends.
                self.ini.write_bytes(ini.replace("\r\n", "\n").replace("\n", "\r\n").encode(encoding))

    def read_ini(self) -> dict[str, dict[str, str]]:
        return read_profile(self.ini)


class ConfigDialog:
    """The configuration dialog of a program started with /c, addressed by its
    handle (message boxes share its caption), opened on page `tab`."""

    def __init__(self, h: Harness, app: AppFolder, tab: int | None = None, args: tuple[str, ...] = ("/c",)):
        self.h = h

        def shown():
            rec = h.probe_one("find", CAPTION)
            return rec if rec and rec.get("visible") == "1" else None
        for attempt in (1, 2):
            self.product = h.start(app.scr, *args)
            try:
                self.hwnd = h.wait_until(shown, 20, "the configuration dialog")["hwnd"]
                break
            except ScenarioFailed as e:
                if not self.product.running():
                    raise ScenarioFailed(f"{e}; the program ended with {self.product.wait(0)}") from e
                # Under process churn Wine now and then starts a program that
                # never runs (as the harness meets with its helpers): once more.
                if attempt == 2:
                    raise
                self.product.kill()
                with open(h.dir / "dialog-not-shown.txt", "a") as note:
                    note.write(f"{app.scr.name} {' '.join(args)}: still running, no dialog in 20 s; started once more\n")
        h.probe("activate", self.hwnd, check=False)
        if tab is not None:
            h.probe("tab", self.hwnd, str(tab))
        time.sleep(0.4)

    def tree(self) -> list[ProbeRecord]:
        return self.h.probe("tree", self.hwnd)

    def control(self, cid: str, tree=None) -> ProbeRecord:
        for r in tree or self.tree():
            if r.get("id") == cid and r.get("class") is not None and r.get("depth") in ("1", "2"):
                return r
        raise ScenarioFailed(f"no control {cid}")

    def button(self, text: str, tree=None) -> ProbeRecord:
        found = [r for r in tree or self.tree() if r.get("class") == "Button" and r.get("text") == text]
        if not found:
            raise ScenarioFailed(f"no button {text!r}")
        return sorted(found, key=lambda r: r.get("visible") != "1")[0]

    def rows(self, tree=None) -> list[ProbeRecord]:
        """The rows of the list of watched applications."""
        return [r for r in tree or self.tree() if "sub7" in r]

    def select_row(self, index: int):
        self.h.probe("lvselect", self.hwnd, str(index))
        time.sleep(0.2)

    def type_into(self, cid: str, text: str):
        """Focus, new text, and a key (End) released in the box, as typing leaves it."""
        self.h.probe("focus", self.hwnd, f"id:{cid}")
        self.h.probe("settext", self.hwnd, f"id:{cid}", text)
        self.h.probe("key", self.hwnd, f"id:{cid}", "0x23")
        time.sleep(0.2)

    @staticmethod
    def saver_list(tree) -> tuple[list[str], int]:
        """The visible saver list: the names in list order, and the selected index."""
        at = next((i for i, r in enumerate(tree) if r.get("class") == "ListBox" and r.get("visible") == "1"), None)
        if at is None:
            raise ScenarioFailed("no visible saver list")
        return [r["text"] for r in tree[at + 1:at + 1 + int(tree[at]["count"])]], int(tree[at]["sel"])

    def click(self, target: str):
        """A control by id ("301") or a button by its text."""
        self.h.probe("click", self.hwnd, f"id:{target}" if target.isdigit() else target)
        time.sleep(0.2)

    def _message_boxes(self):
        return [r["hwnd"] for r in self.h.probe("windows")
                if r.get("class") == "#32770" and r.get("caption") == CAPTION and r.get("visible") == "1"]

    def dismiss_message(self, want: str, label: str = "message"):
        """Closes the message box over the dialog, which must say `want` and
        be drawn on the screen (not left a black or blank rectangle)."""
        box = self.h.wait_until(lambda: (self._message_boxes() or [None])[0], 10, "a message box")
        # A box is made, then moved into place: its place once it stays.
        tree = self.h.probe("tree", box)
        for _ in range(10):
            time.sleep(0.2)
            again = self.h.probe("tree", box)
            if rect(again[0]) == rect(tree[0]):
                break
            tree = again
        texts = [r.get("text", "") for r in tree if r.get("class") == "Static"]
        if not any(want in t for t in texts):
            raise ScenarioFailed(f"message {texts}, want {want!r}")
        # Wine leaves a box that lies wholly inside its owner undrawn (the
        # harness scenario shows it): such a box is checked by its texts.
        if not _inside(rect(tree[0]), rect(self.h.probe("tree", self.hwnd)[0])):
            self.h.wait_until(lambda: self._drawn(tree, label), 5, "the message box to be drawn", interval=0.5)
        self.h.probe("click", box, "OK")
        self.h.wait_until(lambda: not self._message_boxes(), 10, "the message box to close")
        time.sleep(0.3)
        if not self.product.running():
            raise ScenarioFailed("the program ended after the message")

    def _drawn(self, tree, label: str) -> bool:
        """The window (tree[0]) shows its face colour and some dark ink for its text."""
        img = self.h.pixels(self.h.screenshot(label))
        left, top, right, bottom = rect(tree[0])
        area = (max(left, 0), max(top, 0), min(right, img.width), min(bottom, img.height))
        pixels = max(1, (area[2] - area[0]) * (area[3] - area[1]))
        face = img.count(area, lambda p: min(p) > 150)
        ink = img.count(area, lambda p: max(p) < 90)
        return face > pixels // 3 and 20 < ink < pixels // 2

    def ended(self, how: str):
        if self.product.wait(10) is None:
            raise ScenarioFailed(f"{how} did not end the program")

    def ok(self):
        self.h.probe("click", self.hwnd, "OK")
        self.ended("OK")

    def cancel(self):
        self.h.probe("click", self.hwnd, "Cancel")
        self.ended("Cancel")
