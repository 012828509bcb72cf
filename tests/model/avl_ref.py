#!/usr/bin/env python3
"""Reference for the operator tree: the built-in names entered, in order, into a
height-balanced tree written from the textbook recursive algorithm (heights kept
per node), keyed by (16-bit name hash, length, bytes). Prints the pre-order
listing: depth, balance (0 even, 1 left higher, 2 right higher), name."""

NAMES = """DEL2 DIV GRAD CURL ABS ARCCOS ARCSIN ARCTAN COS EXP FIT LN SIN SQRT TAN
GLOBALMIN GLOBALMAX GLOBALMIN_X GLOBALMAX_X GLOBALMIN_Y GLOBALMAX_Y GLOBALMIN_Z
GLOBALMAX_Z NORMAL TANGENTIAL XCOMP YCOMP ZCOMP INTEGRAL VINTEGRAL VOL_INTEGRAL
SINTEGRAL SURF_INTEGRAL BINTEGRAL LINE_INTEGRAL AINTEGRAL AREA_INTEGRAL MAGNITUDE
BESSJ BESSY COSH ERF ERFC LOG10 MAX MIN MOD SIGN SINH TANH UPULSE URAMP USTEP
VECTOR DOT CROSS ATAN2 STREAMLINE DIFF JACOBIAN SAVE PARTS GAMMAF EXPINT PASSIVE
RANDOM EVAL PI""".split()


def name_hash(name):
    h = 0
    for b in name.encode():
        h = ((h << 1) ^ b) & 0xFFFFFFFF
    return (h >> 16) ^ (h & 0xFFFF)


def key(name):
    return (name_hash(name), len(name), name.encode())


class Node:
    def __init__(self, name):
        self.name, self.k = name, key(name)
        self.left = self.right = None
        self.h = 1


def height(n):
    return n.h if n else 0


def fix(n):
    n.h = 1 + max(height(n.left), height(n.right))
    return n


def rot_right(n):
    l = n.left
    n.left = l.right
    l.right = fix(n)
    return fix(l)


def rot_left(n):
    r = n.right
    n.right = r.left
    r.left = fix(n)
    return fix(r)


def insert(n, name):
    if n is None:
        return Node(name)
    if key(name) < n.k:
        n.left = insert(n.left, name)
    else:
        n.right = insert(n.right, name)
    fix(n)
    d = height(n.left) - height(n.right)
    if d > 1:
        if key(name) > n.left.k:
            n.left = rot_left(n.left)
        return rot_right(n)
    if d < -1:
        if key(name) < n.right.k:
            n.right = rot_right(n.right)
        return rot_left(n)
    return n


def listing(n, depth, out):
    if n:
        d = height(n.left) - height(n.right)
        out.append("%d %d %s" % (depth, 0 if d == 0 else (1 if d > 0 else 2), n.name))
        listing(n.left, depth + 1, out)
        listing(n.right, depth + 1, out)


if __name__ == "__main__":
    root = None
    for nm in NAMES:
        root = insert(root, nm)
    out = []
    listing(root, 0, out)
    print("\n".join(out))
