#!/usr/bin/env python3
# Writes the seed corpus of fuzz_viewstream: view streams for a window with a frame
# view and a legend view, packed with struct as the stream's byte layout gives them.
import os
import struct


def head(op, c=3, b=0, c2=0): return struct.pack('<4B', op, c, b, c2)
def pair(op, x, y, c=3): return head(op, c) + struct.pack('<2f', x, y)
def block(op, v, c=3): return head(op, c) + struct.pack('<II', 0, 0) + struct.pack('<%df' % len(v), *v)
def poly(op, p, c=3): return head(op, c) + struct.pack('<HHI', len(p), len(p), 0) + b''.join(struct.pack('<2f', *q) for q in p)
def text(s, c=3): return head(10, c) + struct.pack('<HHI', len(s), ((len(s) + 8) & ~7) - 1, 0) + s
def end(child=0, sib=0): return b'\x13END' + struct.pack('<HHI', child, sib, 0)


tri = [(0.1, 0.1), (0.5, 0.9), (0.9, 0.2)]
box = [0.1, 0.1, 0.6, 0.4]
seeds = {
    'move': pair(0, 0.25, 0.5) + end(),
    'empty': end(),
    'tree': pair(0, 0.2, 0.2) + pair(1, 1.2, 0.8) + end(2) + poly(5, tri) + block(2, box) + end(0, 3)
            + text(b'legend') + pair(15, 20, 0.7) + end(),
    'shapes': block(4, box, 5) + block(3, box + [0] * 4) + block(12, box + [0.6, 0.25, 0.35, 0.4])
              + poly(6, tri, 11) + pair(11, 0.5, 0.5) + end(),
    'text': pair(15, 30, 0.8) + pair(16, 0.5, 0.5) + pair(17, 45, 0) + head(18, 2) + struct.pack('<II', 0, 0)
            + pair(0, 0.3, 0.3) + text(b'Quendar') + end(),
    'clip': pair(13, 0.1, 0.1) + pair(14, 1.0, 0.9) + pair(1, 2.0, 2.0, 2) + pair(13, 0, 0) + pair(14, 1.5, 1) + end(),
    'black': pair(0, 0, 0, 0) + pair(1, 1, 1, 0) + pair(1, 0.5, 0.2, 42) + end(2) + end(0, 3) + end(),
}
here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'viewstream')
for name, data in seeds.items():
    with open(os.path.join(here, name), 'wb') as f:
        f.write(data)
