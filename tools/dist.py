#!/usr/bin/env python3
"""Writes dist/Vigilumen-<version>-<arch>.zip (Vigilumen.scr and QVX_data/, the
folder a user copies to Windows) and dist/Vigilumen-<version>-<arch>-setup.exe
(installer/Vigilumen.nsi built with makensis) for win32 and win64.

With --setup ARCH --scr PATH it writes only that build's setup program into
--out (the e2e build makes its own this way)."""

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


def write_setup(arch: str, scr: Path, out: Path) -> Path:
    makensis = shutil.which("makensis")
    if not makensis:
        raise SystemExit("makensis not found: install Debian's nsis package (./dev.sh deps does)")
    target = out / f"Vigilumen-{version()}-{arch}-setup.exe"
    # -WX: a warning (a missing file, an unused define) fails the build, as with the compiler.
    done = subprocess.run([makensis, "-V2", "-WX", f"-DVERSION={version()}", f"-DARCH={arch}",
                           f"-DSCR={scr.resolve()}", f"-DDATA={DATA}", f"-DOUTFILE={target.resolve()}",
                           str(ROOT / "installer" / "Vigilumen.nsi")],
                          stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"makensis failed for {arch}:\n{done.stdout}{done.stderr}")
    return target


def built_scr(arch: str) -> Path:
    scr = ROOT / "build" / arch / "src" / "Vigilumen.scr"
    if not scr.exists():
        raise SystemExit(f"{scr} is missing: build the {arch} preset first")
    return scr


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", type=Path, default=ROOT / "dist")
    parser.add_argument("--setup", choices=ARCHES, help="write only this build's setup program")
    parser.add_argument("--scr", type=Path, help="the built Vigilumen.scr for --setup")
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    if args.setup:
        if not args.scr or not args.scr.exists():
            raise SystemExit("--setup needs --scr naming a built Vigilumen.scr")
        print(f"==> wrote {shown(write_setup(args.setup, args.scr, args.out))}")
        return 0
    for arch in ARCHES:
        scr = built_scr(arch)
        for target in (write_zip(arch, scr, args.out), write_setup(arch, scr, args.out)):
            print(f"==> wrote {shown(target)} ({target.stat().st_size // 1024} KiB)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
