#!/usr/bin/env python3
"""Writes dist/Vigilumen-<version>-<arch>.zip for win32 and win64 (Vigilumen.scr
and QVX_data/, the folder a user copies to Windows) and one setup program,
dist/Vigilumen-<version>-setup.exe, that carries both builds and installs the
one for the Windows it runs on (installer/Vigilumen.nsi built with makensis).

With --setup --scr32 PATH --scr64 PATH it writes only the setup program into
--out, and with --amd64-stub also the same setup as a 64-bit program,
-setup-amd64.exe (the e2e build makes its own this way: a machine that runs
no 32-bit programs runs that one)."""

from __future__ import annotations

import argparse
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DATA = ROOT / "data" / "QVX_data"
ARCHES = ("win32", "win64")


def version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    m = re.search(r"project\(Vigilumen VERSION ([0-9.]+)", text)
    if not m:
        raise SystemExit("no version in CMakeLists.txt")
    return m.group(1)


def shown(path: Path) -> str:
    return str(path.relative_to(ROOT) if path.is_relative_to(ROOT) else path)


def write_zip(arch: str, scr: Path, out: Path) -> Path:
    target = out / f"Vigilumen-{version()}-{arch}.zip"
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(scr, "Vigilumen/Vigilumen.scr")
        z.writestr("Vigilumen/QVX_data/", "")
        for icon in sorted(DATA.iterdir()):
            z.write(icon, f"Vigilumen/QVX_data/{icon.name}")
    return target


def write_setup(scr32: Path, scr64: Path, out: Path, stub: str | None = None) -> Path:
    makensis = shutil.which("makensis")
    if not makensis:
        raise SystemExit("makensis not found: install Debian's nsis package (./dev.sh deps does)")
    target = out / f"Vigilumen-{version()}-setup{'-' + stub if stub else ''}.exe"
    # -WX: a warning (a missing file, an unused define) fails the build, as with the compiler.
    done = subprocess.run([makensis, "-V2", "-WX", f"-DVERSION={version()}", f"-DSCR32={scr32.resolve()}",
                           f"-DSCR64={scr64.resolve()}", f"-DDATA={DATA}", f"-DOUTFILE={target.resolve()}",
                           *([f"-DSTUB={stub}"] if stub else []), str(ROOT / "installer" / "Vigilumen.nsi")],
                          stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"makensis failed for {target.name}:\n{done.stdout}{done.stderr}")
    return target


def built_scr(arch: str) -> Path:
    scr = ROOT / "build" / arch / "src" / "Vigilumen.scr"
    if not scr.exists():
        raise SystemExit(f"{scr} is missing: build the {arch} preset first")
    return scr


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", type=Path, default=ROOT / "dist")
    parser.add_argument("--setup", action="store_true", help="write only the setup program")
    parser.add_argument("--scr32", type=Path, help="the i686 Vigilumen.scr for --setup")
    parser.add_argument("--scr64", type=Path, help="the x64 Vigilumen.scr for --setup")
    parser.add_argument("--amd64-stub", action="store_true", help="with --setup, also the setup as a 64-bit program")
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    if args.setup:
        if not all(scr and scr.exists() for scr in (args.scr32, args.scr64)):
            raise SystemExit("--setup needs --scr32 and --scr64 naming the built Vigilumen.scr files")
        for stub in (None, "amd64") if args.amd64_stub else (None,):
            print(f"==> wrote {shown(write_setup(args.scr32, args.scr64, args.out, stub))}")
        return 0
    scrs = {arch: built_scr(arch) for arch in ARCHES}
    targets = [write_zip(arch, scr, args.out) for arch, scr in scrs.items()]
    targets.append(write_setup(scrs["win32"], scrs["win64"], args.out))
    for target in targets:
        print(f"==> wrote {shown(target)} ({target.stat().st_size // 1024} KiB)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
