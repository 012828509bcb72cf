#!/usr/bin/env python3
"""Writes the seed of the font-library fuzz target: a library whose fonts 4 and 5
share one small image holding the letters A to F of font 4 of a built library.
usage: fontlib.py BUILT_GAG_GSF OUT"""
import struct, sys

lib = open(sys.argv[1], "rb").read()
unit, = struct.unpack_from("<H", lib, 2 * 3)
img = lib[16 * unit:]
size, = struct.unpack_from("<H", img, 2)
img = img[:size]
starts = struct.unpack_from("<129H", img, 14)
strokes, new = b"", []
for c in range(128):
    new.append(len(strokes))
    if ord("A") <= c <= ord("F"):
        strokes += img[656 + starts[c]:656 + starts[c + 1]]
new.append(len(strokes))
head = bytearray(img[:656])
struct.pack_into("<129H", head, 14, *new)
out = bytes(head) + strokes
out = out[:2] + struct.pack("<H", len(out)) + out[4:]
index = bytearray(512)
struct.pack_into("<HH", index, 6, 32, 32)
open(sys.argv[2], "wb").write(bytes(index) + out)
