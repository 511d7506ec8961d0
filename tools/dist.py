#!/usr/bin/env python3
"""Writes dist/Vigilumen-<version>-<arch>.zip: Vigilumen.scr and QVX_data/,
the folder a user copies to Windows and installs from."""

from __future__ import annotations

import argparse
import re
import sys
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    m = re.search(r"project\(Vigilumen VERSION ([0-9.]+)", text)
    if not m:
        raise SystemExit("no version in CMakeLists.txt")
    return m.group(1)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", type=Path, default=ROOT / "dist")
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    v = version()
    for arch in ("win32", "win64"):
        scr = ROOT / "build" / arch / "src" / "Vigilumen.scr"
        if not scr.exists():
            raise SystemExit(f"{scr} is missing: build the {arch} preset first")
        target = args.out / f"Vigilumen-{v}-{arch}.zip"
        with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
            z.write(scr, "Vigilumen/Vigilumen.scr")
            z.writestr("Vigilumen/QVX_data/", "")
            for icon in sorted((ROOT / "data" / "QVX_data").iterdir()):
                z.write(icon, f"Vigilumen/QVX_data/{icon.name}")
        print(f"==> wrote {target.relative_to(ROOT) if target.is_relative_to(ROOT) else target}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
