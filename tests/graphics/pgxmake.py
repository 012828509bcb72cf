#!/usr/bin/env python3
# Writes a plot file from a JSON description, independently of the program's writer:
#   {"header": [plots, modes, flags],
#    "groups": [{"nodes": n, "cells": c, "rms": r, "time": t, "step": s, "stage": g,
#                "grid": k, "plots": [[slot, caption, value], ...],
#                "count": announced plots (default: len(plots)), "end": mark (default 0)}],
#    "cut": bytes to drop from the end (default 0)}
# Each plot's view stream is that of a plot window with a frame and a legend view:
# the window holds one line drawn to (value, slot), the two nested views nothing.
import json, struct, sys

def string(s):
    b = s.encode('latin-1')
    return struct.pack('<H', len(b)) + b

def view(entries, child, sibling):
    return entries + b'\x13END' + struct.pack('<HHi', child, sibling, 0)

def stream(value, slot):
    line = struct.pack('<B3Bff', 1, 3, 0, 0, float(value), float(slot))
    return view(line, 1, 0) + view(b'', 0, 1) + view(b'', 0, 0)

d = json.loads(sys.argv[2])
plots, modes, flags = d['header']
out = string('Quendar test') + string('test.pde  today') + struct.pack('<HHH', plots, modes, flags)
for g in d['groups']:
    ps = g.get('plots', [])
    out += struct.pack('<iiddHHHH', g['nodes'], g.get('cells', 1), g.get('rms', 0.0), g.get('time', 0.0),
                       g.get('step', 0), g.get('stage', 0), g.get('grid', 0), g.get('count', len(ps)))
    for slot, caption, value in ps:
        out += struct.pack('<H', slot) + string(caption) + stream(value, slot)
    out += struct.pack('<H', g.get('end', 0))
out = out[:len(out) - d.get('cut', 0)]
open(sys.argv[1], 'wb').write(out)
