#!/usr/bin/env python3
"""Walks an EMF (every record through libuemf's safety check) or a WMF (a reader
written from the published record layouts) and prints what it found as JSON:
the lines (move then line-to), pen widths, the largest polyline coordinate, the
record count, the description, any fault, the pen colours that lines were stroked
with, the brush colours that polygons were filled with, and the number of texts drawn
while the text colour was white. For a PDF it prints the sorted
colours that its content streams set."""
import ctypes, json, re, struct, sys, zlib

def emf(data):
    lib = ctypes.CDLL("libuemf.so")
    lib.U_emf_record_safe.argtypes = [ctypes.c_char_p]
    out = {"lines": [], "pens": [], "types": [], "unsafe": 0, "big": 0, "strokes": set(), "fills": set(),
           "white_texts": 0}
    text_colour = 0
    # Objects by handle: ("pen" or "brush", colour); the stock white and black brushes
    # and the null pen; and the pen and brush selected.
    objects = {0x80000000: ("brush", 0xFFFFFF), 0x80000004: ("brush", 0), 0x80000008: ("pen", None)}
    pen = brush = None
    buf = ctypes.create_string_buffer(data, len(data))
    base = ctypes.addressof(buf)
    nbytes = struct.unpack_from("<I", data, 48)[0]
    out["bytes_ok"] = nbytes == len(data)
    ndesc, offdesc = struct.unpack_from("<II", data, 60)
    out["desc"] = data[offdesc:offdesc + 2 * ndesc].decode("utf-16-le").split("\0")[0]
    out["bounds"] = struct.unpack_from("<4i", data, 8)
    at, move = 0, None
    while at < len(data):
        typ, size = struct.unpack_from("<II", data, at)
        if size < 8 or size % 4 or at + size > len(data):
            out["fault"] = "record size at %d" % at
            break
        if not lib.U_emf_record_safe(ctypes.c_char_p(base + at)):
            out["unsafe"] += 1
        out["types"].append(typ)
        if typ == 27:
            move = struct.unpack_from("<ii", data, at + 8)
        elif typ == 54 and move:
            out["lines"].append(list(move + struct.unpack_from("<ii", data, at + 8)))
        elif typ == 38:
            out["pens"].append(struct.unpack_from("<i", data, at + 16)[0])
            objects[struct.unpack_from("<I", data, at + 8)[0]] = ("pen", struct.unpack_from("<I", data, at + 24)[0])
        elif typ == 39:
            objects[struct.unpack_from("<I", data, at + 8)[0]] = ("brush", struct.unpack_from("<I", data, at + 16)[0])
        elif typ == 37:
            kind, colour = objects.get(struct.unpack_from("<I", data, at + 8)[0], (None, None))
            if kind == "pen": pen = colour
            elif kind == "brush": brush = colour
        elif typ == 24:
            text_colour = struct.unpack_from("<I", data, at + 8)[0]
        elif typ == 84 and text_colour == 0xFFFFFF:
            out["white_texts"] += 1
        elif typ in (3, 4):
            n = struct.unpack_from("<I", data, at + 24)[0]
            out["big"] = max([out["big"]] + [abs(v) for v in struct.unpack_from("<%di" % (2 * n), data, at + 28)])
        if typ in (4, 54, 87, 45) and pen is not None:
            out["strokes"].add(pen)
        if typ in (3, 86) and brush is not None:
            out["fills"].add(brush)
        at += size
        if typ == 14:
            break
    out["records"] = len(out["types"])
    out["strokes"] = sorted(out["strokes"])
    out["fills"] = sorted(out["fills"])
    return out

def wmf(data):
    out = {"lines": [], "pens": [], "types": [], "big": 0}
    key, = struct.unpack_from("<I", data, 0)
    words = struct.unpack_from("<10H", data, 0)
    check = 0
    for w in words:
        check ^= w
    out["placeable"] = key == 0x9AC6CDD7 and check == struct.unpack_from("<H", data, 20)[0]
    typ, hsize, version, size, nobj, maxrec, _ = struct.unpack_from("<HHHIHIH", data, 22)
    out["header_ok"] = hsize == 9 and version == 0x300 and 2 * size == len(data) - 22
    at, move, largest = 22 + 18, None, 0
    while at < len(data):
        rsize, fn = struct.unpack_from("<IH", data, at)
        if rsize < 3 or at + 2 * rsize > len(data):
            out["fault"] = "record size at %d" % at
            break
        largest = max(largest, rsize)
        out["types"].append(fn)
        p = at + 6
        if fn == 0x0214:
            y, x = struct.unpack_from("<hh", data, p)
            move = (x, y)
        elif fn == 0x0213 and move:
            y, x = struct.unpack_from("<hh", data, p)
            out["lines"].append([move[0], move[1], x, y])
        elif fn == 0x02FA:
            out["pens"].append(struct.unpack_from("<h", data, p + 2)[0])
        elif fn in (0x0324, 0x0325):
            n, = struct.unpack_from("<h", data, p)
            out["big"] = max([out["big"]] + [abs(v) for v in struct.unpack_from("<%dh" % (2 * n), data, p + 2)])
        at += 2 * rsize
        if fn == 0:
            break
    out["maxrec_ok"] = largest == maxrec
    out["ended"] = bool(out["types"]) and out["types"][-1] == 0 and at == len(data)
    return out

def pdf_colours(data):
    found = set()
    for m in re.finditer(rb"stream\r?\n(.*?)endstream", data, re.S):
        try:
            text = zlib.decompress(m.group(1))
        except zlib.error:
            continue
        for c in re.findall(rb"[\d.]+ [\d.]+ [\d.]+ (?:rg|RG)", text):
            found.add(" ".join(c.decode().split()))
    return sorted(found)

kind, path = sys.argv[1], sys.argv[2]
data = open(path, "rb").read()
if kind == "pdf":
    print(pdf_colours(data))
else:
    print(json.dumps(emf(data) if kind == "emf" else wmf(data)))
