#!/usr/bin/env python3
"""Lists every include and every undefined symbol of a library that points to a library
above it in the stack. The libraries stack in the order below; each may use only those
before it. Exits 1 when anything points upward.

    python3 tools/layers.py BUILD_DIR
"""
import os
import re
import subprocess
import sys

# Bottom to top.
STACK = ["platform", "runtime", "graphics", "elements", "model", "domain", "plot", "mesher",
         "solver", "reader", "control", "app"]
RANK = {name: k for k, name in enumerate(STACK)}

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/[^"]+"', re.M)


def upward_includes():
    found = []
    for lib in STACK:
        folder = os.path.join(SOURCE, lib)
        for name in sorted(os.listdir(folder)):
            if not name.endswith((".cpp", ".h")):
                continue
            with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                for target in INCLUDE.findall(f.read()):
                    if target in RANK and RANK[target] > RANK[lib]:
                        found.append(f"include  {lib}/{name} -> {target}")
    return found


def symbols(archive, *flags):
    out = subprocess.run(["nm", "-C", *flags, archive], capture_output=True, text=True,
                         check=True).stdout
    return out.splitlines()


def upward_symbols(build):
    defined, undefined = {}, {}
    for lib in STACK:
        archive = os.path.join(build, lib, f"libquendar_{lib}.a")
        undefined[lib] = set()
        for line in symbols(archive, "-g", "--defined-only"):
            parts = line.split(" ", 2)
            if len(parts) == 3 and parts[1] in "TDBRW":
                defined.setdefault(parts[2], lib)
        for line in symbols(archive, "-u"):
            if " U " in line:
                undefined[lib].add(line.split(" U ", 1)[1].strip())
    found = []
    for lib in STACK:
        for sym in sorted(undefined[lib]):
            owner = defined.get(sym)
            if owner and RANK[owner] > RANK[lib]:
                found.append(f"symbol   {lib} -> {owner}: {sym}")
    return found


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    found = upward_includes() + upward_symbols(sys.argv[1])
    for line in found:
        print(line)
    print(f"{len(found)} upward reference(s)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
