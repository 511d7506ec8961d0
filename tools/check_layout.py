#!/usr/bin/env python3
"""Checks that the source tree keeps the layout the README describes:

- a room (a folder under src/) includes only itself and rooms below it;
- only platform/win32_api.h includes Windows headers, and only Windows-side
  files (a name holding "win32") include it;
- no Windows call, structure or message is named in its ANSI form (the
  header poisons the functions; this catches the macros);
- no file includes itself through others (no include cycle);
- no source file is longer than the limit.

Prints every breach and exits 1 when there is one. Run with --graph to print
the rooms and who includes whom instead."""

from __future__ import annotations

import argparse
import re
import sys
from collections import defaultdict
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SRC = ROOT / "src"

# Lowest first. A room may include rooms of a lower rank only.
RANK = {
    "core": 0,        # run-time state, limits, text rules: what every room shares
    "platform": 1,    # handle owners, twips, window-class helper
    "res": 1,         # resource identifiers
    "settings": 2,    # the settings file and the records
    "host": 3,        # starting and watching the saver
    "watch": 3,       # the poll cycle: mail, windows, files
    "display": 4,     # icons over the saver
    "dialog": 5,      # the configuration dialog
    "startup": 6,     # wires the rooms together; nothing includes it
}
WINDOWS_HEADERS = {"windows.h", "commctrl.h", "windowsx.h", "commdlg.h", "shellapi.h", "shlobj.h", "mapi.h",
                   "tlhelp32.h", "objbase.h", "oleauto.h", "winver.h"}
WINDOWS_DOOR = "platform/win32_api.h"
# ANSI names the poison cannot reach: macros, and ANSI messages and classes.
ANSI_NAME = re.compile(r"\b(MAKEINTRESOURCEA|LPSTR_TEXTCALLBACKA|(?:LVM|LVN|TCM|HDM|TTM|WC)_[A-Z0-9_]*[A-Z0-9]A"
                       r"|[A-Z][A-Za-z0-9]*[a-z0-9]A)\b")
MAX_LINES = 350
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def sources() -> list[Path]:
    return sorted(p for p in SRC.rglob("*") if p.suffix in (".h", ".cpp") and "generated" not in p.parts)


def room_of(path: Path) -> str:
    return path.relative_to(SRC).parts[0]


def check() -> list[str]:
    problems: list[str] = []
    graph: dict[str, list[str]] = {}
    for path in sources():
        rel = path.relative_to(SRC).as_posix()
        text = path.read_text(encoding="utf-8")
        lines = text.count("\n")
        if lines > MAX_LINES:
            problems.append(f"{rel}: {lines} lines, more than {MAX_LINES}")
        room = room_of(path)
        if room not in RANK:
            problems.append(f"{rel}: room '{room}' has no place in the layout")
            continue
        graph[rel] = []
        if rel != WINDOWS_DOOR:
            for match in sorted(set(m.group(1) for m in ANSI_NAME.finditer(text))):
                problems.append(f"{rel}: names the ANSI form {match}; use the wide one")
        for kind, name in INCLUDE.findall(text):
            if kind == "<":
                if name.lower() in WINDOWS_HEADERS and rel != WINDOWS_DOOR:
                    problems.append(f"{rel}: includes <{name}>; Windows headers come through {WINDOWS_DOOR}")
                continue
            if name == WINDOWS_DOOR and "win32" not in path.name:
                problems.append(f"{rel}: includes {name} but is not a Windows-side file (*win32*)")
            target = name.split("/")[0]
            if "/" not in name:
                continue  # a generated header found through the include path
            graph[rel].append(name)
            if target not in RANK:
                problems.append(f"{rel}: includes \"{name}\" from no known room")
            elif target != room and RANK[target] >= RANK[room]:
                problems.append(f"{rel}: room '{room}' includes \"{name}\" from '{target}', which is not below it")
    problems += cycles(graph)
    return problems


def cycles(graph: dict[str, list[str]]) -> list[str]:
    found: list[str] = []
    state: dict[str, int] = {}  # 1 = on the path, 2 = done
    path: list[str] = []

    def visit(node: str):
        state[node] = 1
        path.append(node)
        for nxt in graph.get(node, []):
            if state.get(nxt) == 1:
                found.append("include cycle: " + " -> ".join(path[path.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt)
        path.pop()
        state[node] = 2

    for node in sorted(graph):
        if node not in state:
            visit(node)
    return found


def room_graph() -> str:
    edges: dict[str, set[str]] = defaultdict(set)
    for path in sources():
        room = room_of(path)
        for kind, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if kind == '"' and "/" in name and name.split("/")[0] != room:
                edges[room].add(name.split("/")[0])
    out = []
    for room in sorted(RANK, key=lambda r: (-RANK[r], r)):
        below = ", ".join(sorted(edges[room], key=lambda r: (-RANK.get(r, 0), r))) or "-"
        out.append(f"{room:<9} -> {below}")
    return "\n".join(out)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--graph", action="store_true", help="print who includes whom, by room")
    args = parser.parse_args()
    if args.graph:
        print(room_graph())
        return 0
    problems = check()
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} layout problem(s)")
        return 1
    print(f"layout ok: {len(sources())} files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
