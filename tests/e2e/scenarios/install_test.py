"""The setup program and its uninstaller, silent and through their pages, in
the prefix's own user folder; the installed program in each mode."""

import hashlib
import json
import os
import re
import shutil
import signal
import time
from pathlib import Path

from harness import CAPTION, SKIPPED, Harness, ScenarioFailed, expect, mail_record, read_profile, settings_ini, \
    winpath

DESKTOP = "HKCU\\Control Panel\\Desktop"
UNINSTALL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vigilumen"
PREVIOUS = "C:\\windows\\system32\\previous.scr"


class Installed:
    """Where the setup installs: %LOCALAPPDATA%\\Programs\\Vigilumen of the prefix's user."""

    def __init__(self, h: Harness):
        drive_c = h.prefix / "drive_c"
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


def _setup_program(h: Harness) -> Path:
    """This build's setup program; a build without makensis skips the scenario."""
    config = h.config.e2e_dir.parent / "tests" / "e2e" / "e2e_config.json"
    setup = json.loads(config.read_text()).get("setup", "")
    if not setup or not Path(setup).exists():
        why = (f"{setup} is not built (target VigilumenSetup)" if setup else
               "makensis was not found when this build was configured (Debian's nsis package)")
        print(f"SKIPPED: no setup program: {why}", flush=True)
        h.close()
        raise SystemExit(SKIPPED)
    return Path(setup)


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
    inst, original = Installed(h), _saver(h)
    _clean(h, inst, PREVIOUS)
    try:
        took = _install(h, setup, "/SETSAVER")
        print(f"silent install took {took:.2f} s ({setup.stat().st_size // 1024} KiB setup)", flush=True)
        expect("installed folder", sorted(p.name for p in inst.root.iterdir()),
               ["QVX_data", "Uninstall.exe", "Vigilumen.scr"])
        expect("installed program", _digest(inst.root / "Vigilumen.scr"), _digest(h.config.product))
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
    inst, original = Installed(h), _saver(h)
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

        # The uninstaller asks before it removes the settings; "Yes" removes them all.
        expect("/p from the installed folder", h.run(inst.scr, "/p", "1", timeout=30).returncode, 0)
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
    finally:
        _clean(h, inst, original)
