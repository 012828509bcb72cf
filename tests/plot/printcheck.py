#!/usr/bin/python3
"""Reads a FORMAT print file back, independent of its writer: the header (one brace
comment) is skipped and every remaining line of numbers is a point. The columns are
named by the second argument (x, y, z for the printed point, p, q for the plot plane's
coordinates, u for the value, anything else ignored); the third is the exact field as a
Python expression in x, y and z, evaluated at the printed point. Prints one line:
n (points), err (largest |u - field|), and the smallest and largest of each named
coordinate, e.g. "n=441 err=1.2e-06 x=-1,1 y=-1,1 z=0.5,0.5"."""
import math
import re
import sys

path, names, field = sys.argv[1], sys.argv[2].split(), sys.argv[3]
text = re.sub(r"\{[^}]*\}", " ", open(path).read())
rows = []
for line in text.splitlines():
    parts = line.split()
    if len(parts) != len(names):
        continue
    try:
        rows.append(dict(zip(names, map(float, parts))))
    except ValueError:
        continue
err = 0.0
env = {k: getattr(math, k) for k in ("sin", "cos", "exp", "sqrt", "pi")}
for r in rows:
    at = dict(env, x=r.get("x", 0.0), y=r.get("y", 0.0), z=r.get("z", 0.0))
    if "u" in r:
        err = max(err, abs(r["u"] - eval(field, {}, at)))
out = [f"n={len(rows)}", f"err={err:.3g}"]
for k in ("x", "y", "z", "p", "q"):
    if k in names and rows:
        out.append(f"{k}={min(r[k] for r in rows):.6g},{max(r[k] for r in rows):.6g}")
print(" ".join(out))
