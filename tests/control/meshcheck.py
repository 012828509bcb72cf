#!/usr/bin/env python3
"""Independent reader of a Quendar TRANSFER file of triangles or tetrahedra: it reads the
text layout itself and checks each cell's corner area or volume, corners that are distinct
nodes at one point, sides or faces shared by more than two cells, neighbour links, the
total area or volume, and the smallest angle (2D) or dihedral angle (3D).
usage: meshcheck.py file.dat [--vol V] [--least DEGREES]; prints one summary line, exits 1
on any fault, on a total off V by more than a millionth, or on an angle below DEGREES."""
import argparse, collections, math, sys


def parse(fn):
    lines = open(fn).read().split('\n')
    i = 0
    while not lines[i].startswith('Quendar v2'):  # the header in braces comes first
        i += 1
    i += 2
    dim = int(lines[i].split()[0]); i += 1 + dim
    i += 2  # basis, degrees of freedom
    nv = int(lines[i].split()[0]); i += 1 + nv
    blocks = []
    while True:
        k = int(lines[i].split()[0]); i += 1
        if k == 0:
            break
        nodes = [[float(x) for x in lines[i + j].split()][:3] for j in range(k)]
        i += k
        c = int(lines[i].split()[0]); i += 1
        cells = []
        for _ in range(c):
            a, b = lines[i].split(':')
            a = [int(x) for x in a.split()]
            cells.append((a[1:], [int(x) for x in b.split()]))
            i += 1
        blocks.append((nodes, cells))
    return dim, blocks


def key(p, q=1e-9):
    return tuple(round(x / q) for x in p)


def tet_vol(P):
    a, b, c, d = P
    u, v, w = ([q[t] - a[t] for t in range(3)] for q in (b, c, d))
    return (u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0])
            + u[2] * (v[0] * w[1] - v[1] * w[0])) / 6


FACES = [(1, 3, 2), (2, 3, 0), (3, 1, 0), (0, 1, 2)]  # face f lies opposite corner f
SIDES = [(1, 2), (2, 0), (0, 1)]  # side s lies opposite corner s


def sub(a, b):
    return [a[t] - b[t] for t in range(3)]


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def angle(u, v):
    n = cross(u, v)
    return math.degrees(math.atan2(math.sqrt(sum(x * x for x in n)), sum(u[t] * v[t] for t in range(3))))


def least_dihedral(P):
    least = 180.0
    for i in range(4):
        for j in range(i + 1, 4):
            k, l = [t for t in range(4) if t not in (i, j)]
            e = sub(P[j], P[i])
            least = min(least, angle(cross(e, sub(P[k], P[i])), cross(e, sub(P[l], P[i]))))
    return least


def check2(blocks):
    area = 0; cells = 0; inverted = 0; coincident = 0; links = 0; least = 180.0
    sides = collections.Counter()
    for nodes, cl in blocks:
        nodes = [p[:2] + [0.0] for p in nodes]  # the third column holds a value, not z
        for ci, (nl, nb) in enumerate(cl):
            cells += 1
            P = [nodes[n - 1] for n in nl[:3]]
            a = cross(sub(P[1], P[0]), sub(P[2], P[0]))[2] / 2
            area += a
            inverted += a <= 0
            coincident += len({key(p) for p in P}) < 3
            for k in range(3):
                least = min(least, angle(sub(P[(k + 1) % 3], P[k]), sub(P[(k + 2) % 3], P[k])))
            corners = {key(p) for p in P}
            for i, j in SIDES:
                sides[tuple(sorted([key(P[i]), key(P[j])]))] += 1
            for n in nb[:3]:  # a neighbour shares two corners and links back
                if n > 0:
                    other = {key(nodes[m - 1]) for m in cl[n - 1][0][:3]}
                    if len(corners & other) != 2 or ci + 1 not in cl[n - 1][1][:3]:
                        links += 1
    shared = sum(1 for v in sides.values() if v > 2)
    return dict(cells=cells, area=area, inverted=inverted, coincident=coincident, overshared=shared, links=links,
                least=least)


def check(blocks):
    vol = 0; tets = 0; inverted = 0; coincident = 0; links = 0; least = 180.0
    faces = collections.Counter()
    for nodes, cells in blocks:
        for ci, (nl, nb) in enumerate(cells):
            tets += 1
            P = [nodes[n - 1] for n in nl[:4]]
            v = tet_vol(P)
            vol += v
            inverted += v <= 0
            coincident += len({key(p) for p in P}) < 4
            if v > 0:
                least = min(least, least_dihedral(P))
            for f, (i, j, k) in enumerate(FACES):
                faces[tuple(sorted([key(P[i]), key(P[j]), key(P[k])]))] += 1
                n = nb[f]
                if n > 0:
                    other = {key(nodes[m - 1]) for m in cells[n - 1][0][:4]}
                    if not {key(P[i]), key(P[j]), key(P[k])} <= other or ci + 1 not in cells[n - 1][1][:4]:
                        links += 1
    shared = sum(1 for v in faces.values() if v > 2)
    return dict(tets=tets, volume=vol, inverted=inverted, coincident=coincident, overshared=shared, links=links,
                least=least)


if __name__ == '__main__':
    ap = argparse.ArgumentParser()
    ap.add_argument('file')
    ap.add_argument('--vol', type=float)
    ap.add_argument('--least', type=float)
    a = ap.parse_args()
    dim, blocks = parse(a.file)
    if dim not in (2, 3):
        sys.exit('not a 2D or 3D transfer file')
    r = check2(blocks) if dim == 2 else check(blocks)
    print(' '.join(f'{k}={v:.10g}' if isinstance(v, float) else f'{k}={v}' for k, v in r.items()))
    bad = r['inverted'] or r['coincident'] or r['overshared'] or r['links']
    total = r['area' if dim == 2 else 'volume']
    if a.vol is not None and abs(total - a.vol) > 1e-6 * abs(a.vol):
        bad = True
    if a.least is not None and not r['least'] > a.least:
        bad = True
    sys.exit(1 if bad else 0)
