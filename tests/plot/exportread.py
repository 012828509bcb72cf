#!/usr/bin/python3
"""Readers of the export files written from their published layouts, independent of
the writer: tables and transfer files as the descriptor tokenizer reads them (brace
comments skipped, free format), TECPLOT finite-element zones, netCDF through the
netCDF4 module. Each prints a few facts on one line; `exact` is the disk's solution."""
import re
import sys


def exact(x, y):
    return (1 - x * x - y * y) / 4


def tokens(path):
    text = re.sub(r"\{[^}]*\}", " ", open(path).read())
    return text.split()


def axes_and_data(path):
    """The axes of a table or print file and its first data block, the first axis fastest."""
    t = tokens(path)
    i, axes = 0, []
    while t[i].upper() != "DATA":
        n = int(t[i + 1])
        axes.append([float(v) for v in t[i + 2:i + 2 + n]])
        i += 2 + n
    size = 1
    for a in axes:
        size *= len(a)
    return axes, [float(v) for v in t[i + 1:i + 1 + size]]


def table(path):
    axes, data = axes_and_data(path)
    xs, ys = axes[0], axes[1]
    err, fill_bad = 0.0, 0
    for j, y in enumerate(ys):
        row = data[j * len(xs):(j + 1) * len(xs)]
        inside = [k for k, x in enumerate(xs) if x * x + y * y <= 1 + 1e-9]
        for k in inside:
            err = max(err, abs(row[k] - exact(xs[k], y)))
        # Outside entries repeat their nearest inside neighbour to the left (the first inside value before it).
        if inside:
            for k, x in enumerate(xs):
                if x * x + y * y > 1 + 1e-9:
                    src = max([q for q in inside if q < k], default=inside[0])
                    fill_bad += abs(row[k] - row[src]) > 1e-12
    print(f"axes={len(xs)}x{len(ys)} values={len(data)} err={err:.3g} fill_bad={fill_bad}")


def transfer(path):
    t = tokens(path)
    assert t[0] == "Quendar", t[0]
    lines = [l for l in re.sub(r"\{[^}]*\}", "", open(path).read()).splitlines() if l.strip()]
    t = " ".join(lines[2:]).split()  # the identification line and the title line are skipped
    i = 0
    def tag(word):
        nonlocal i
        n = int(t[i]); assert t[i + 1].upper() == word, t[i:i + 2]; i += 2
        return n
    dims = tag("DIMENSIONS"); i += dims
    basis = tag("BASIS"); dof = tag("DOF")
    nv = tag("VARIABLES"); names = t[i:i + nv]; i += nv
    assert all(re.fullmatch(r"[A-Za-z]\w*", n) for n in names), names
    blocks, err, nodes_total = 0, 0.0, 0
    mutual_bad, cells_total, across = 0, 0, []
    while True:
        k = tag("NODES")
        if k == 0:
            break
        blocks += 1
        nodes = []
        for _ in range(k):
            vals = [float(v) for v in t[i:i + dims + nv]]; i += dims + nv
            nodes.append(vals)
            err = max(err, abs(vals[dims] - exact(vals[0], vals[1])))
        nodes_total += k
        m = tag("CELLS")
        cells = []
        for _ in range(m):
            code = int(t[i]); ns = [int(v) for v in t[i + 1:i + 1 + dof]]; i += 1 + dof
            assert t[i] == ":"; i += 1
            nb = [int(v) for v in t[i:i + dims + 1]]; i += dims + 1
            assert code == basis and all(1 <= n <= k for n in ns)
            cells.append(nb)
        cells_total += m
        across.append(sorted({q for nb in cells for q in nb if q < 0}))
        for c, nb in enumerate(cells, 1):
            for q in nb:
                mutual_bad += q > 0 and c not in cells[q - 1]
    print(f"vars={' '.join(names)} basis={basis} dof={dof} blocks={blocks} nodes={nodes_total} cells={cells_total} err={err:.3g} mutual_bad={mutual_bad} "
          f"across={','.join(str(q) for a in across for q in a)} ")


def tecplot(path):
    lines = open(path).read().splitlines()
    assert lines[0].startswith("TITLE=") and lines[1].startswith("VARIABLES=")
    nvars = lines[1].count('"') // 2
    i, zones, err, elements, bad = 2, [], 0.0, 0, 0
    while i < len(lines):
        m = re.match(r'ZONE N=(\d+) E=(\d+) ET=(\w+) F=FEPOINT T="MATERIAL (\d+) ', lines[i])
        assert m, lines[i]
        n, e = int(m[1]), int(m[2])
        zones.append(int(m[4]))
        for line in lines[i + 1:i + 1 + n]:
            v = [float(x) for x in line.split()]
            assert len(v) == nvars
            err = max(err, abs(v[-1] - exact(v[0], v[1])))
        for line in lines[i + 1 + n:i + 1 + n + e]:
            bad += not all(1 <= int(x) <= n for x in line.split())
        elements += e
        i += 1 + n + e
    print(f"zones={len(zones)} materials={','.join(map(str, zones))} elements={elements} err={err:.3g} bad={bad}")


def meshio_read(path):
    import meshio
    m = meshio.read(path, file_format="tecplot")
    cells = sum(len(b.data) for b in m.cells)
    print(f"points={len(m.points)} cells={cells} data={','.join(sorted(m.point_data))}")


def cdf(path):
    import netCDF4
    d = netCDF4.Dataset(path)
    u = d.variables["u"]
    data = u[:]
    rec = [n for n in d.dimensions if d.dimensions[n].isunlimited()]
    lo, hi = u.valid_range
    masked = int(data.mask.sum()) if hasattr(data, "mask") and data.mask.shape else 0
    err = 0.0
    if not rec:  # the disk: values inside against the solution
        xs, ys = d.variables["X"][:], d.variables["Y"][:]
        for i, x in enumerate(xs):
            for j, y in enumerate(ys):
                if x * x + y * y < 1:
                    err = max(err, abs(float(data[i, j]) - exact(float(x), float(y))))
    times = ",".join(f"{float(v):g}" for v in d.variables[rec[0]][:]) if rec else ""
    print(f"format={d.data_model} times={times} records={len(d.dimensions[rec[0]]) if rec else 0} "
          f"range={lo:.6g},{hi:.6g} min={float(data.min()):.6g} max={float(data.max()):.6g} masked={masked} err={err:.2g}")


def field(text):
    from math import sin, cos, exp, sqrt
    return eval("lambda x, y, z: " + text)


def grid(path, expr, lift):
    """A print file without FORMAT: two axes and a row of values per second coordinate;
    `lift` places the plot point (p, q) in space."""
    f, at = field(expr), eval("lambda p, q: " + lift)
    (ps, qs), data = axes_and_data(path)
    err = max(abs(data[j * len(ps) + k] - f(*at(p, q))) for j, q in enumerate(qs) for k, p in enumerate(ps))
    print(f"values={len(data)} err={err:.3g} ")


def points(path, expr):
    """A FORMAT print or table of "x y z value" lines: inside lines against the field,
    exterior lines counted."""
    f = field(expr)
    body = open(path).read().split("}\n", 1)[1]
    err, inside, outside = 0.0, 0, 0
    for line in body.splitlines():
        if line.startswith("{ exterior:"):
            outside += 1
            continue
        x, y, z, v = (float(w) for w in line.split()[:4])
        err, inside = max(err, abs(v - f(x, y, z))), inside + 1
    print(f"inside={inside} exterior={outside} err={err:.3g} ")


def table3d(path, expr, top):
    """A 3D table: the largest error at the points below the top surface z = top(x, y),
    and the count of values left at the outside mark."""
    f, below = field(expr), field(top)
    (xs, ys, zs), values = axes_and_data(path)
    data = iter(values)
    err, marks = 0.0, 0
    for z in zs:
        for y in ys:
            for x in xs:
                v = next(data)
                marks += v >= 1e299
                if z <= below(x, y, 0):
                    err = max(err, abs(v - f(x, y, z)))
    print(f"marks={marks} err={err:.3g} ")


def cdfexact(path, expr):
    """A 2D netCDF export over time against a field of x, y and t: its record times and
    the largest error of its values."""
    import netCDF4
    f = eval("lambda x, y, t: " + expr)
    d = netCDF4.Dataset(path)
    rec = [n for n in d.dimensions if d.dimensions[n].isunlimited()][0]
    ts, xs, ys = (d.variables[n][:] for n in (rec, "X", "Y"))
    v = d.variables["u"][:]
    err = max(abs(float(v[k, i, j]) - f(float(x), float(y), float(t)))
              for k, t in enumerate(ts) for i, x in enumerate(xs) for j, y in enumerate(ys))
    print(f"times={','.join(f'{float(t):g}' for t in ts)} err={err:.3g} ")


if __name__ == "__main__":
    # One reading, or several separated by "--", each printing its own line.
    readers = {"table": table, "transfer": transfer, "tecplot": tecplot, "meshio": meshio_read, "cdf": cdf,
               "grid": grid, "points": points, "cdfexact": cdfexact, "table3d": table3d}
    words = sys.argv[1:]
    while words:
        one = words[:words.index("--")] if "--" in words else words
        words = words[len(one) + 1:]
        readers[one[0]](*one[1:])
