#!/usr/bin/env python3
# Reads a plot file byte by byte and prints, per group, the announced count and the
# recorded plot numbers with their captions (with -n, each caption followed by the
# number of entries of its view stream in brackets; with -t, followed by the sorted
# colour bytes of its text entries in braces; with -v, followed by the entry count of
# each view of its tree, in stream order, in angle brackets; with -p N, only the
# points of the line and polyline entries of plot N, one "view colour x y" line
# each, views numbered in stream order from 0; with -s N, only the texts of plot N,
# one a line).
# Exits 1 on any byte it cannot place.
import struct, sys

counts = sys.argv[1] == '-n'
if counts: sys.argv.pop(1)
textcolours = sys.argv[1] == '-t'
if textcolours: sys.argv.pop(1)
perview = sys.argv[1] == '-v'
if perview: sys.argv.pop(1)
dump = strings = None
if sys.argv[1] in ('-p', '-s'):
    if sys.argv[1] == '-p': dump = int(sys.argv[2])
    else: strings = int(sys.argv[2])
    del sys.argv[1:3]
points, number, said = [], 0, []
entries = 0
counts_of_views = []
texts = set()

b = open(sys.argv[1], 'rb').read()
at = 0
def take(fmt):
    global at
    v = struct.unpack_from('<' + fmt, b, at)
    at += struct.calcsize('<' + fmt)
    return v
def string():
    global at
    (n,) = take('H')
    s = b[at:at + n].decode('latin-1')
    at += n
    return s
OPERANDS = {0: 'ff', 1: 'ff', 11: 'ff', 7: 'ff', 13: 'ff', 14: 'ff', 15: 'ff', 16: 'ff', 17: 'ff'}
def views():
    # Entries until the end mark; then the child and sibling links.
    global entries
    counts_of_views.append(0)
    while True:
        (op,) = take('B')
        if op == 19:
            assert b[at:at + 3] == b'END', 'end mark'
            take('3s')
            child, sibling, _ = take('HHi')
            if child: views()
            if not sibling: return
            counts_of_views.append(0)
            continue
        entries += 1
        counts_of_views[-1] += 1
        colour, _, _ = take('3B')
        if op == 10: texts.add(colour)
        if op in OPERANDS:
            xy = take(OPERANDS[op])
            if op in (0, 1) and number == dump: points.append((len(counts_of_views) - 1, colour) + xy)
        elif op in (2, 3, 4, 12): take('ii'); take('f' * (4 if op in (2, 4) else 8))
        elif op in (5, 6):
            n, _, _ = take('HHi'); xy = take('ff' * n)
            if op == 5 and number == dump:
                points.extend((len(counts_of_views) - 1, colour, xy[2 * i], xy[2 * i + 1]) for i in range(n))
        elif op in (8, 9, 18): take('ii')
        elif op == 10:
            n, _, _ = take('HHi'); (t,) = take('%ds' % n)
            if number == strings: said.append(t.decode('latin-1'))
        else: raise SystemExit('opcode %d' % op)
out = []
string(); string()
plots, modes, flags = take('HHH')
out.append('header %d %d %d' % (plots, modes, flags))
while at < len(b):
    nodes, cells, err, t, cycle, stage, regrids, count = take('iiddHHHH')
    line = ['group %d' % count]
    for _ in range(count):
        (number,) = take('H')
        caption = string()
        entries = 0
        texts = set()
        counts_of_views = []
        views()
        line.append('%d:%s' % (number, caption) + ('[%d]' % entries if counts else '') +
                    ('{%s}' % ','.join(map(str, sorted(texts))) if textcolours else '') +
                    ('<%s>' % '/'.join(map(str, counts_of_views)) if perview else ''))
    (end,) = take('H')
    assert end == 0, 'terminator'
    out.append(' '.join(line))
if dump is not None: print('\n'.join('%d %d %.6g %.6g' % q for q in points))
elif strings is not None: print('\n'.join(said))
else: print('\n'.join(out))
