"""The setup program and its uninstaller, silent and through their pages, in
the prefix's own user folder; the installed program in each mode. The one
setup carries both builds and installs the one of the Windows it runs on."""

import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import time
from pathlib import Path

from harness import CAPTION, SKIPPED, Harness, ScenarioFailed, expect, mail_record, read_profile, \
    runs_32bit_programs, settings_ini, winpath

# The x64 build's tree makes the setup (it builds the i686 file for it too);
# the same scenarios for the i686 build would run the very same program.
BUILDS = ("win64",)

DESKTOP = "HKCU\\Control Panel\\Desktop"
UNINSTALL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vigilumen"
PREVIOUS = "C:\\windows\\system32\\previous.scr"


class Installed:
    """Where the setup installs: %LOCALAPPDATA%\\Programs\\Vigilumen of the prefix's user."""

    def __init__(self, prefix: Path):
        drive_c = prefix / "drive_c"
        local = [p for p in (drive_c / "users").glob("*/AppData/Local") if p.parent.parent.name != "Public"]
        if len(local) != 1:
            raise ScenarioFailed(f"no single user folder in the prefix: {local}")
        self.root = local[0] / "Programs" / "Vigilumen"
        self.win = "C:\\" + str(self.root.relative_to(drive_c)).replace("/", "\\")
        self.scr = self.win + "\\Vigilumen.scr"
        self.data = self.root / "QVX_data"
        self.ini = self.data / "Lumiwake.ini"

    def read_ini(self) -> dict:
        return read_profile(self.ini)


def _skip(h: Harness, why: str):
    print(f"SKIPPED: {why}", flush=True)
    h.close()
    raise SystemExit(SKIPPED)


def _config(h: Harness) -> dict:
    return json.loads((h.config.e2e_dir.parent / "tests" / "e2e" / "e2e_config.json").read_text())


def _setup_program(h: Harness) -> Path:
    """The setup program: the shipped one where this machine runs 32-bit
    programs, else the same script made as a 64-bit program. A build without
    makensis skips the scenario."""
    config = _config(h)
    setup = config.get("setup" if runs_32bit_programs() else "setup_amd64", "")
    if not setup or not Path(setup).exists():
        _skip(h, "no setup program: " + (
            f"{setup} is not built (target VigilumenSetup)" if setup else
            "makensis was not found when this build was configured (Debian's nsis package)"))
    print(f"setup program: {Path(setup).name}", flush=True)
    return Path(setup)


PE_MACHINES = {0x14C: "i686", 0x8664: "x64"}


def _machine(path: Path) -> str:
    """The processor a program is built for, from its PE header."""
    head = path.read_bytes()[:4096]
    at = int.from_bytes(head[0x3C:0x40], "little")
    if head[:2] != b"MZ" or head[at:at + 4] != b"PE\0\0":
        raise ScenarioFailed(f"{path} is not a Windows program")
    machine = int.from_bytes(head[at + 4:at + 6], "little")
    return PE_MACHINES.get(machine, hex(machine))


def _digest(path: Path) -> str:
    """A file's bytes, short enough for a failure message."""
    return hashlib.sha256(path.read_bytes()).hexdigest()[:16]


def _contents(folder: Path) -> dict[str, str]:
    return {p.name: _digest(p) for p in sorted(folder.iterdir())}


def _version(h: Harness) -> str:
    text = (h.config.source_dir / "CMakeLists.txt").read_text()
    return re.search(r"project\(Vigilumen VERSION ([0-9.]+)", text).group(1)


def _reg(h: Harness, *args: str):
    return h.run("reg", *args, timeout=30)


def _values(h: Harness, key: str) -> dict | None:
    """A key's values as `reg query` lists them (DWORDs as numbers); None without the key."""
    done = _reg(h, "query", key)
    if done.returncode != 0:
        return None
    values = {}
    for line in done.stdout.decode("utf-8", "replace").splitlines():
        if line.startswith("    "):
            name, kind, data = (line[4:].split("    ", 2) + [""])[:3]
            values[name] = int(data, 16) if kind == "REG_DWORD" else data
    return values


def _saver(h: Harness) -> str | None:
    return _values(h, DESKTOP).get("SCRNSAVE.EXE")


def _set_saver(h: Harness, value: str | None):
    if value is None:
        _reg(h, "delete", DESKTOP, "/v", "SCRNSAVE.EXE", "/f")  # fails harmlessly when absent
    else:
        expect("reg add", _reg(h, "add", DESKTOP, "/v", "SCRNSAVE.EXE", "/d", value, "/f").returncode, 0)


def _install(h: Harness, setup: Path, *switches: str) -> float:
    """Runs the setup silently; the seconds it took."""
    started = time.monotonic()
    expect(f"exit code of setup /S {' '.join(switches)}", h.run(setup, "/S", *switches, timeout=60).returncode, 0)
    return time.monotonic() - started


def _uninstall_silently(h: Harness, inst: Installed):
    """Runs the quiet uninstall command the Apps list holds. The uninstaller
    copies itself away and returns at once: the removal is waited for."""
    command = _values(h, UNINSTALL)["QuietUninstallString"]
    exe, _, switch = command.partition('" ')
    expect("exit code of the uninstaller", h.run(exe.strip('"'), switch, timeout=60).returncode, 0)
    h.wait_until(lambda: _values(h, UNINSTALL) is None and not (inst.root / "Vigilumen.scr").exists(), 20,
                 "the uninstaller to finish")


def _dialog_from(h: Harness, inst: Installed) -> str:
    """The configuration dialog a setup opened: it runs the installed program
    with /c. Closes it (the program ends) and returns its command line."""
    def shown():
        rec = h.probe_one("find", CAPTION)
        return rec if rec and rec.get("visible") == "1" else None
    dialog = h.wait_until(shown, 20, "the configuration dialog")
    cmdline = h.probe("cmdline", dialog["pid"])[0]["cmdline"]
    h.probe("close", dialog["hwnd"])
    h.wait_until(lambda: not [p for p in h.probe("procs") if p.get("pid") == dialog["pid"]], 10,
                 "the configuration dialog's program to end")
    return cmdline


def _clean(h: Harness, inst: Installed, saver: str | None):
    """The prefix as it was: nothing installed, the saver value as given. A
    program started from the installed folder (a dialog a failed step left
    open, the uninstaller's copy) is ended: it lies outside the scenario's folder."""
    # Wine shows a program's Windows path as its Unix command line.
    for proc in Path("/proc").iterdir():
        try:
            if (proc.name.isdigit() and inst.win.lower().encode() in (proc / "cmdline").read_bytes().lower()
                    and f"WINEPREFIX={h.prefix}".encode() in (proc / "environ").read_bytes().split(b"\0")):
                os.kill(int(proc.name), signal.SIGKILL)
        except OSError:
            pass
    _reg(h, "delete", UNINSTALL, "/f")
    shutil.rmtree(inst.root, ignore_errors=True)
    _set_saver(h, saver)


def _window(h: Harness, caption_part: str) -> str:
    def shown():
        found = [r for r in h.probe("windows") if caption_part in r.get("caption", "") and r.get("visible") == "1"
                 and r.get("class") == "#32770"]
        return found[0]["hwnd"] if found else None
    return h.wait_until(shown, 20, f"the window {caption_part!r}")


def _click_when_enabled(h: Harness, hwnd: str, text: str):
    def enabled():
        return any(r.get("text", "").replace("&", "") == text and r.get("enabled") == "1" and r.get("visible") == "1"
                   for r in h.probe("tree", hwnd))
    h.wait_until(enabled, 20, f"the button {text!r}")
    h.probe("click", hwnd, text)


def scenario_silent_setup_installs_upgrades_and_uninstalls_keeping_the_settings(h: Harness):
    setup = _setup_program(h)
    inst, original = Installed(h.prefix), _saver(h)
    _clean(h, inst, PREVIOUS)
    try:
        took = _install(h, setup, "/SETSAVER")
        print(f"silent install took {took:.2f} s ({setup.stat().st_size // 1024} KiB setup)", flush=True)
        expect("installed folder", sorted(p.name for p in inst.root.iterdir()),
               ["QVX_data", "Uninstall.exe", "Vigilumen.scr"])
        # A 64-bit Windows gets the x64 build.
        expect("installed program", (_machine(inst.root / "Vigilumen.scr"), _digest(inst.root / "Vigilumen.scr")),
               ("x64", _digest(h.config.product)))
        expect("installed icons", _contents(inst.data), _contents(h.config.source_dir / "data" / "QVX_data"))
        entry = _values(h, UNINSTALL)
        uninstaller = f'"{inst.win}\\Uninstall.exe"'
        size = entry.pop("EstimatedSize", 0)
        expect("Apps entry", entry,
               {"DisplayName": CAPTION, "DisplayVersion": _version(h), "Publisher": "Corvane",
                "UninstallString": uninstaller, "QuietUninstallString": uninstaller + " /S",
                "InstallLocation": inst.win, "DisplayIcon": inst.scr + ",0", "NoModify": 1, "NoRepair": 1,
                "PreviousScreenSaver": PREVIOUS})
        files_kib = sum(p.stat().st_size for p in inst.root.rglob("*") if p.is_file()) // 1024
        if not files_kib <= size <= files_kib + 8:
            raise ScenarioFailed(f"EstimatedSize {size} KiB for {files_kib} KiB of files")
        # The short form, as Windows' own settings write it (Wine makes 8.3 names too).
        short = h.run("winepath", "-s", inst.scr).stdout.decode().strip()
        expect("current saver", (_saver(h), _values(h, DESKTOP).get("ScreenSaveActive")), (short, "1"))

        # Preview from the installed folder writes the first settings file there.
        expect("exit code of /p 1234", h.run(inst.scr, "/p", "1234", timeout=30).returncode, 0)
        expect("settings written", inst.read_ini().get("applist"),
               {"app0": mail_record(icon=inst.win + "\\QVX_data\\mail.ico")})

        # Run mode as Windows starts it, from the registry value, over a fake saver.
        fake = h.fake_saver(h.dir / "savers")
        inst.ini.write_bytes(settings_ini(winpath(fake), [mail_record()]).replace("\n", "\r\n").encode("cp1252"))
        product = h.start(short, "/s", log_name="installed-run.out")
        h.wait_file_text(fake.with_name("FakeSaver.log"), "window hwnd=", 20)
        fake.with_name("FakeSaver.stop").touch()
        expect("exit code of /s after its saver", product.wait(10), 0)

        # An upgrade with both switches: the user's files stay as they are, a
        # missing icon comes back, the saver it replaced is still the one
        # remembered, and the settings open.
        (inst.data / "window.ico").write_bytes(b"the user's own icon")
        (inst.data / "file.ico").unlink()
        kept = {**_contents(inst.data), "file.ico": _digest(h.config.source_dir / "data" / "QVX_data" / "file.ico")}
        _install(h, setup, "/SETSAVER", "/CONFIGURE")
        expect("configuration started as", _dialog_from(h, inst), f'"{inst.scr}" /c')
        expect("data folder after the upgrade", _contents(inst.data), kept)
        expect("remembered saver", _values(h, UNINSTALL).get("PreviousScreenSaver"), PREVIOUS)

        _uninstall_silently(h, inst)
        expect("left in the folder", sorted(p.name for p in inst.root.iterdir()), ["QVX_data"])
        expect("data folder after the uninstall", _contents(inst.data), kept)
        expect("saver after the uninstall", _saver(h), PREVIOUS)
    finally:
        _clean(h, inst, original)


def scenario_saver_value_restored_only_when_still_ours_and_the_pages_ask(h: Harness):
    setup = _setup_program(h)
    inst, original = Installed(h.prefix), _saver(h)
    _clean(h, inst, None)
    try:
        # Silent without the switch: the saver is left alone.
        _install(h, setup)
        expect("saver after a plain silent install", _saver(h), None)
        # Vigilumen chosen where there was no saver: the uninstaller removes the value.
        _install(h, setup, "/SETSAVER")
        if _saver(h) is None:
            raise ScenarioFailed("/SETSAVER set no saver")
        _uninstall_silently(h, inst)
        expect("saver after the uninstall", _saver(h), None)

        # A saver the user chose after the install stays.
        _install(h, setup, "/SETSAVER")
        _set_saver(h, "C:\\windows\\system32\\chosen.scr")
        _uninstall_silently(h, inst)
        expect("saver chosen since", _saver(h), "C:\\windows\\system32\\chosen.scr")

        # Through the pages: both boxes start ticked; untick the saver, keep the settings.
        h.start(setup, log_name="setup-pages.out")
        window = _window(h, "Corvane Vigilumen Setup")
        _click_when_enabled(h, window, "Next >")
        boxes = {r["text"].replace("&", ""): r["check"] for r in h.probe("tree", window) if r.get("class") == "Button"
                 and r.get("visible") == "1" and int(r["style"], 16) & 0xF == 3}  # BS_AUTOCHECKBOX
        expect("check boxes", boxes, {"Make Vigilumen my screen saver": "1",
                                      "Open Vigilumen's settings when setup has finished": "1"})
        h.probe("click", window, "Make Vigilumen my screen saver")
        h.screenshot("choices")
        _click_when_enabled(h, window, "Install")
        _click_when_enabled(h, window, "Close")
        expect("configuration started as", _dialog_from(h, inst), f'"{inst.scr}" /c')
        expect("saver after an install without it", _saver(h), "C:\\windows\\system32\\chosen.scr")

        # The uninstaller asks before it removes the settings; "Yes" removes them all, the
        # IMAP passwords with them, and no one else's credential.
        expect("/p from the installed folder", h.run(inst.scr, "/p", "1", timeout=30).returncode, 0)
        credentials = ["Vigilumen/imap/jo@imap.example.com", "Vigilumen/imap/me@home.lan", "Other/program"]
        for target in credentials:
            h.store_password(target, "someone", "secret")
        h.start(inst.root / "Uninstall.exe", log_name="uninstall-pages.out")
        window = _window(h, "Corvane Vigilumen Uninstall")
        _click_when_enabled(h, window, "Uninstall")
        box = h.wait_until(lambda: next((r["hwnd"] for r in h.probe("windows") if r.get("visible") == "1"
                                         and r.get("class") == "#32770" and r["hwnd"] != window
                                         and "Uninstall" in r.get("caption", "")), None), 20, "the question")
        # Checked by its texts: Wine on Xvfb leaves any box owned by a setup
        # window black (a stock setup with one message box does the same).
        question = [r.get("text", "") for r in h.probe("tree", box) if r.get("class") == "Static"]
        if not any("Remove your Vigilumen settings" in t for t in question):
            raise ScenarioFailed(f"the uninstaller asked {question}")
        h.probe("click", box, "Yes")
        _click_when_enabled(h, window, "Close")
        h.wait_until(lambda: not inst.root.exists(), 20, "the install folder to go")
        expect("Apps entry after the uninstall", _values(h, UNINSTALL), None)
        expect("credentials left", [h.password_stored(t) for t in credentials], [False, False, True])
    finally:
        _clean(h, inst, original)


def scenario_the_same_setup_installs_the_i686_build_on_32bit_windows(h: Harness):
    """The shipped setup in a 32-bit Windows (a prefix made with WINEARCH=win32)."""
    if not runs_32bit_programs():
        _skip(h, "this machine cannot execute 32-bit x86 programs: no 32-bit Windows prefix, and the shipped "
                 "setup is itself a 32-bit program")
    setup = Path(_config(h)["setup"])
    if not setup.exists():
        _skip(h, f"{setup} is not built (target VigilumenSetup)")
    prefix = h.dir / "prefix32"
    env = {"WINEPREFIX": str(prefix), "WINEARCH": "win32"}
    try:
        expect("exit code of wineboot in a 32-bit prefix", h.run("wineboot", "-i", timeout=300, env=env).returncode, 0)
        expect("exit code of setup /S", h.run(setup, "/S", timeout=60, env=env).returncode, 0)
        inst = Installed(prefix)
        expect("installed folder", sorted(p.name for p in inst.root.iterdir()),
               ["QVX_data", "Uninstall.exe", "Vigilumen.scr"])
        scr32 = Path(_config(h)["setup_scr32"])
        expect("installed program", (_machine(inst.root / "Vigilumen.scr"), _digest(inst.root / "Vigilumen.scr")),
               ("i686", _digest(scr32)))
        # It runs there: a preview writes its first settings file.
        expect("exit code of /p 1234", h.run(inst.scr, "/p", "1234", timeout=30, env=env).returncode, 0)
        expect("settings written", inst.read_ini().get("applist"),
               {"app0": mail_record(icon=inst.win + "\\QVX_data\\mail.ico")})
    finally:
        subprocess.run(["wineserver", "-k"], env=h.env(env), timeout=60, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(prefix, ignore_errors=True)
