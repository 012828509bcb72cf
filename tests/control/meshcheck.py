#!/usr/bin/env python3
"""Independent reader of a Quendar TRANSFER file of tetrahedra: it reads the text layout
itself and checks each tet's corner volume, corners that are distinct nodes at one point,
faces shared by more than two tets, neighbour links, and the total volume.
usage: meshcheck.py file.dat [--vol V]; prints one summary line, exits 1 on any fault."""
import argparse, collections, sys


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


def check(blocks):
    vol = 0; tets = 0; inverted = 0; coincident = 0; links = 0
    faces = collections.Counter()
    for nodes, cells in blocks:
        for ci, (nl, nb) in enumerate(cells):
            tets += 1
            P = [nodes[n - 1] for n in nl[:4]]
            v = tet_vol(P)
            vol += v
            inverted += v <= 0
            coincident += len({key(p) for p in P}) < 4
            for f, (i, j, k) in enumerate(FACES):
                faces[tuple(sorted([key(P[i]), key(P[j]), key(P[k])]))] += 1
                n = nb[f]
                if n > 0:
                    other = {key(nodes[m - 1]) for m in cells[n - 1][0][:4]}
                    if not {key(P[i]), key(P[j]), key(P[k])} <= other or ci + 1 not in cells[n - 1][1][:4]:
                        links += 1
    shared = sum(1 for v in faces.values() if v > 2)
    return dict(tets=tets, volume=vol, inverted=inverted, coincident=coincident, overshared=shared, links=links)


if __name__ == '__main__':
    ap = argparse.ArgumentParser()
    ap.add_argument('file')
    ap.add_argument('--vol', type=float)
    a = ap.parse_args()
    dim, blocks = parse(a.file)
    if dim != 3:
        sys.exit('not a 3D transfer file')
    r = check(blocks)
    print(' '.join(f'{k}={v:.10g}' if isinstance(v, float) else f'{k}={v}' for k, v in r.items()))
    bad = r['inverted'] or r['coincident'] or r['overshared'] or r['links']
    if a.vol is not None and abs(r['volume'] - a.vol) > 1e-6 * abs(a.vol):
        bad = True
    sys.exit(1 if bad else 0)
