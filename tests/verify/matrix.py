"""The covering set: descriptors built by combining one value of each dimension of the
language (coordinates, basis order, sides, regions, extrusion sheets and layers,
conditions, terms, kinds of run, reports), chosen so that every pair of values of every
two dimensions that the language allows together appears in at least one descriptor.

Each descriptor is built around a manufactured solution ue: sympy forms the source that
makes ue solve the equation as written (through a definition, a coefficient, a TABLE, a
global that is exact at ue), the boundary data of its conditions and the exact values of
its reports. Tolerances are stated beside each check as a multiple of the run's ERRLIM
and of the size of ue (or of its derivative), and for time runs of the time error too.
"""
import itertools
import math

import mpmath
import sympy as sp
from sympy import pi, sin, cos, exp, Rational as R

x, y, z, t = sp.symbols("x y z t", real=True)

DIMS = [
    ("coord", ["CARTESIAN2", "XCYLINDER", "YCYLINDER", "SPHERE2", "CARTESIAN3", "CYLINDER3", "SPHERE3"]),
    ("order", [1, 2, 3]),
    ("sides", ["straight", "curved"]),
    ("regions", [1, 2]),
    ("sheets", ["none", "flat", "tilted", "curved"]),
    ("layers", [0, 1, 2, 3]),
    ("bc", ["VALUE", "NATURAL", "ROBIN", "PERIODIC", "ANTIPERIODIC", "SCALAR", "SOLUTION"]),
    ("term", ["plain", "definition", "coefficient", "table", "integral", "integral_coef", "val", "dtdef"]),
    ("run", ["steady", "nonlinear", "time", "fixdt", "staged", "eigen"]),
    ("report", ["val", "eval", "integral_name", "integral_number", "sintegral", "bintegral", "deriv1", "deriv2",
                "table", "cdf", "tecplot", "transfer"]),
]
NAMES = [d for d, _v in DIMS]
THREE = ("CARTESIAN3", "CYLINDER3", "SPHERE3")
TIME = ("time", "fixdt")


def valid(row):
    """Whether the language allows these values together (and the set can state the
    exact answer): a partial row (missing dimensions) is valid when some completion is."""
    g = row.get
    c = g("coord")
    if c is not None:
        three = c in THREE
        if g("sheets") is not None and (g("sheets") == "none") == three:
            return False
        if g("layers") is not None and (g("layers") == 0) == three:
            return False
        if three and g("report") in ("cdf", "transfer", "sintegral", "bintegral"):
            return False
        # A periodic pair of sides must match: sheets that tilt or bend across x do not.
        if three and g("bc") in ("PERIODIC", "ANTIPERIODIC") and g("sheets") not in (None, "flat"):
            return False
        # A TABLE of the box reads points above a tilted or bent top as outside.
        if three and g("report") == "table" and g("sheets") not in (None, "flat"):
            return False
    if g("report") == "tecplot" and g("order") == 3:
        return False  # TECPLOT files hold linear and quadratic cells only
    if g("sheets") is not None and g("layers") is not None and (g("sheets") == "none") != (g("layers") == 0):
        return False
    if g("bc") in ("PERIODIC", "ANTIPERIODIC") and g("sides") == "curved":
        return False
    if g("term") == "dtdef" and g("run") is not None and g("run") not in TIME:
        return False
    if g("report") == "deriv2" and g("order") == 1:
        return False
    run = g("run")
    if run == "eigen":
        # Modes with exact eigenvalues: the separable box, its conditions on one side.
        if c is not None and c not in ("CARTESIAN2", "CARTESIAN3"):
            return False
        if g("sides") == "curved" or g("sheets") in ("tilted", "curved"):
            return False
        if g("bc") in ("SCALAR", "SOLUTION", "ROBIN"):
            return False
        if g("term") not in (None, "plain", "definition", "coefficient"):
            return False
        if g("report") not in (None, "val"):
            return False
        if g("regions") == 2:
            return False
    if run == "nonlinear" and g("term") == "dtdef":
        return False
    if run == "staged" and g("term") in ("dtdef",):
        return False
    return True


def covering(turn=0):
    """A greedy covering array over DIMS: every valid pair of values appears in some row.
    turn rotates each dimension's list of values, so that the covers made with turns 0, 1,
    2 ... differ and together hold every pair several times, each in other company."""
    dims = [v[turn % len(v):] + v[:turn % len(v)] for _n, v in DIMS]
    n = len(dims)
    need = set()
    for i, j in itertools.combinations(range(n), 2):
        for a in dims[i]:
            for b in dims[j]:
                if valid({NAMES[i]: a, NAMES[j]: b}) and completable({NAMES[i]: a, NAMES[j]: b}):
                    need.add((i, a, j, b))
    rows = []
    while need:
        # Start from an uncovered pair and fill the other dimensions one at a time with the
        # value that covers most uncovered pairs, keeping the row valid.
        i, a, j, b = min(need, key=lambda p: (p[0], p[2], dims[p[0]].index(p[1]), dims[p[2]].index(p[3])))
        row = {NAMES[i]: a, NAMES[j]: b}
        order = [k for k in range(n) if k not in (i, j)]
        for k in order:
            best, score = None, -1
            for v in dims[k]:
                trial = dict(row, **{NAMES[k]: v})
                if not valid(trial) or not completable(trial):
                    continue
                s = sum(1 for m in range(n) if NAMES[m] in row
                        and ((min(k, m), trial[NAMES[min(k, m)]], max(k, m), trial[NAMES[max(k, m)]]) in need))
                if s > score:
                    best, score = v, s
            row[NAMES[k]] = best
        for p, q in itertools.combinations(range(n), 2):
            need.discard((p, row[NAMES[p]], q, row[NAMES[q]]))
        rows.append(row)
    return rows


def completable(row):
    """Whether some full row extends this one (a small search over the missing dimensions)."""
    missing = [k for k, (nm, _v) in enumerate(DIMS) if nm not in row]
    if not missing:
        return valid(row)

    def go(r, ks):
        if not valid(r):
            return False
        if not ks:
            return True
        k = ks[0]
        return any(go(dict(r, **{NAMES[k]: v}), ks[1:]) for v in DIMS[k][1])
    return go(row, missing)


def pairs_table(rows):
    """For the notes: how many times each pair of dimensions' values appears."""
    dims = [v for _n, v in DIMS]
    out = []
    for i, j in itertools.combinations(range(len(dims)), 2):
        seen = {(r[NAMES[i]], r[NAMES[j]]) for r in rows}
        possible = [(a, b) for a in dims[i] for b in dims[j]
                    if valid({NAMES[i]: a, NAMES[j]: b}) and completable({NAMES[i]: a, NAMES[j]: b})]
        missing = [p for p in possible if p not in seen]
        out.append((NAMES[i], NAMES[j], len(possible), len(possible) - len(missing), missing))
    return out


# ---- Geometry -------------------------------------------------------------------------------

A, B = R(1, 2), R(1, 2)  # the base square is [A, A+1] x [B, B+1]: away from every axis and pole
P = (R(4, 5), R(9, 10))  # inside the square and the quarter disk alike
Q = (R(13, 10), R(3, 5))  # near the right side (inside the quarter disk: 0.8^2 + 0.1^2 < 1)
INNER = (R(3, 5), R(3, 5), 1, 1)  # region 2: the square [0.6, 1] x [0.6, 1]
INNER = (R(3, 5), R(3, 5), R(1), R(1))


def h_factors(coord):
    """Scale factors (h1, h2, h3) of the coordinates (x, y, z) as the physical metric has them."""
    return {"CARTESIAN2": (1, 1, 1), "XCYLINDER": (1, 1, y), "YCYLINDER": (1, 1, x),
            "SPHERE2": (1, x, x * sin(y)), "CARTESIAN3": (1, 1, 1), "CYLINDER3": (1, x, 1),
            "SPHERE3": (1, x, x * sin(y))}[coord]


def weight(coord):
    """The volume element per unit of coordinate volume (axisymmetric: with the 2 pi turn)."""
    h1, h2, h3 = h_factors(coord)
    return h1 * h2 * h3 * (2 * pi if coord in ("XCYLINDER", "YCYLINDER", "SPHERE2") else 1)


def grad_phys(coord, u):
    h = h_factors(coord)
    v = [x, y, z]
    n = 3 if coord in THREE else 2
    return [sp.diff(u, v[i]) / h[i] for i in range(n)]


def div_k_grad(coord, k, u):
    """div(k grad u) in the physical metric: 1/(h1h2h3) sum_i d_i(h1h2h3/h_i^2 k d_i u)."""
    h = h_factors(coord)
    J = h[0] * h[1] * h[2]
    v = [x, y, z]
    n = 3 if coord in THREE else 2
    return sum(sp.diff(J / h[i] ** 2 * k * sp.diff(u, v[i]), v[i]) for i in range(n)) / J


def flux_through(coord, u, F, k=1):
    """k n.grad(u) on the surface F = 0, n the unit normal towards F > 0, in the physical metric."""
    h = h_factors(coord)
    v = [x, y, z]
    n = 3 if coord in THREE else 2
    gF = [sp.diff(F, v[i]) / h[i] for i in range(n)]
    gu = grad_phys(coord, u)
    return k * sum(a * b for a, b in zip(gu, gF)) / sp.sqrt(sum(a * a for a in gF))


def sheet_list(sheets, layers):
    """The surfaces z = f_k(x, y), bottom to top (sympy), for the extrusion kind."""
    zs = [R(k, layers) for k in range(layers + 1)]
    if sheets == "flat":
        return [sp.Integer(0) + zz for zz in zs]
    if sheets == "tilted":
        return [zz + R(1, 10) * (x - A) + R(1, 20) * (y - B) for zz in zs]
    return [zz + R(1, 10) * sin(pi * (x - A)) * (1 if 0 < i < layers else R(1, 2)) for i, zz in enumerate(zs)]


def gauss(n=24):
    """Gauss-Legendre nodes and weights on [0, 1] (Newton on the three-term recurrence)."""
    if n not in _GAUSS:
        pts = []
        for k in range(1, n + 1):
            r = math.cos(math.pi * (k - 0.25) / (n + 0.5))
            for _ in range(100):
                p0, p1 = 1.0, r
                for j in range(2, n + 1):
                    p0, p1 = p1, ((2 * j - 1) * r * p1 - (j - 1) * p0) / j
                d = n * (r * p1 - p0) / (r * r - 1)
                step = p1 / d
                r -= step
                if abs(step) < 1e-16:
                    break
            pts.append(((r + 1) / 2, 1 / ((1 - r * r) * d * d)))
        _GAUSS[n] = pts
    return _GAUSS[n]


_GAUSS = {}
_QUAD = {}


def quad(f, coord, sides, sheets=None, layers=None, region=None):
    """The integral of f (x, y, z) times the volume element over the domain (or region 2,
    or region 1 without it): tensor Gauss rules of 24 points, exact to rounding for the
    smooth integrands here (the quarter disk in polar coordinates)."""
    key = (str(f), coord, sides, sheets, layers, region)
    if key in _QUAD:
        return _QUAD[key]
    g = sp.lambdify((x, y, z), f * weight(coord), "math")
    three = coord in THREE
    G = gauss()
    surfs = [sp.lambdify((x, y), s, "math") for s in sheet_list(sheets, layers)] if three else None

    def col(xx, yy):
        if not three:
            return g(xx, yy, 0)
        z0, z1 = surfs[0](xx, yy), surfs[-1](xx, yy)
        return (z1 - z0) * sum(w * g(xx, yy, z0 + (z1 - z0) * s) for s, w in G)

    def square(x0, y0, x1, y1):
        return (x1 - x0) * (y1 - y0) * sum(wa * wb * col(x0 + (x1 - x0) * a, y0 + (y1 - y0) * b)
                                           for a, wa in G for b, wb in G)

    inner = square(*[float(v) for v in INNER])
    if region == 2:
        out = inner
    else:
        if sides == "straight":
            whole = square(float(A), float(B), float(A + 1), float(B + 1))
        else:
            h = math.pi / 2
            whole = h * sum(wa * wb * a * col(float(A) + a * math.cos(h * b), float(B) + a * math.sin(h * b))
                            for a, wa in G for b, wb in G)
        out = whole - inner if region == 1 else whole
    _QUAD[key] = out
    return out


def boundary_line_integral(f, sides, w=1, h=(1, 1)):
    """The integral of f w ds around the base domain's outer boundary (2D), ds the length
    element in the metric of scale factors h = (h1, h2): a surface integral takes the side's
    own element (h2 dy along a side of constant x, h1 dx along one of constant y)."""
    mpmath.mp.dps = 20
    g = sp.lambdify((x, y), f * w, "mpmath")  # one dimension: mpmath's quadrature is quick
    h1 = sp.lambdify((x, y), sp.sympify(h[0]), "mpmath")
    h2 = sp.lambdify((x, y), sp.sympify(h[1]), "mpmath")
    a, b = float(A), float(B)
    s = mpmath.quad(lambda xx: g(xx, b) * h1(xx, b), [a, a + 1]) + mpmath.quad(lambda yy: g(a, yy) * h2(a, yy), [b, b + 1])
    if sides == "straight":
        s += mpmath.quad(lambda yy: g(a + 1, yy) * h2(a + 1, yy), [b, b + 1]) + mpmath.quad(
            lambda xx: g(xx, b + 1) * h1(xx, b + 1), [a, a + 1])
    else:
        def arc(ph):
            px, py = a + mpmath.cos(ph), b + mpmath.sin(ph)
            return g(px, py) * mpmath.sqrt((h1(px, py) * mpmath.sin(ph)) ** 2 + (h2(px, py) * mpmath.cos(ph)) ** 2)
        s += mpmath.quad(arc, [0, mpmath.pi / 2])
    return float(s)


# ---- Descriptors ----------------------------------------------------------------------------

def text(e):
    import re
    s = sp.sstr(e)
    return re.sub(r"\bE\b", "exp(1)", s.replace("**", "^"))


def num(e):
    return float(sp.N(e, 17))


def coord_line(coord):
    return {"CARTESIAN2": "", "XCYLINDER": "COORDINATES XCYLINDER('X','Y')\n",
            "YCYLINDER": "COORDINATES YCYLINDER('X','Y')\n", "SPHERE2": "COORDINATES SPHERE2('X','Y')\n",
            "CARTESIAN3": "COORDINATES CARTESIAN3\n", "CYLINDER3": "COORDINATES CYLINDER3('X','Y','Z')\n",
            "SPHERE3": "COORDINATES SPHERE3('X','Y','Z')\n"}[coord]


def solution(row):
    """The manufactured solution: a space part (periodic or antiperiodic in x when the
    condition asks it, zero slope at both ends so that any metric weight keeps the flux
    balance) times a time or stage factor."""
    bc, coord = row["bc"], row["coord"]
    if bc == "PERIODIC":
        S = 2 + cos(2 * pi * (x - A)) * (1 + R(3, 10) * y)
    elif bc == "ANTIPERIODIC":
        S = cos(pi * (x - A)) * (1 + R(3, 10) * y)
    else:
        S = 1 + sin(x + R(3, 10)) * cos(R(7, 10) * y) / 2 + x * y / 5
    if coord in THREE:
        S = S * (1 + R(1, 5) * z + R(1, 10) * z ** 2) if bc in ("PERIODIC", "ANTIPERIODIC") else S + z ** 2 / 4 - x * z / 5
    return S


def build(row):
    """(descriptor text, checks, files, note) for a full row."""
    coord, order, sides, regions = row["coord"], row["order"], row["sides"], row["regions"]
    sheets, layers, bc, term, run, rep = (row["sheets"], row["layers"], row["bc"], row["term"], row["run"],
                                          row["report"])
    if run == "eigen":
        return build_eigen(row)
    three = coord in THREE
    S = solution(row)
    timed = run in TIME
    stages = run == "staged"
    p = sp.Symbol("p", positive=True)
    if timed:
        ue = S * (1 + t) * exp(-t) if False else S * exp(-t / 2)
    elif stages:
        ue = S * p
    else:
        ue = S
    # The coefficient the equation carries, as sympy (at the solution) and as text.
    k, ktext = sp.Integer(1), []
    defs = ["ex = %s" % text(ue.subs(p, sp.Symbol("stg")) if stages else ue)]
    files = {}
    if term == "coefficient":
        kk = 1 + x ** 2 / 4 + (t / 2 if timed else 0)
        k *= kk
        defs.append("k = %s" % text(kk))
        ktext.append("k")
    elif term == "table":
        kk = 1 + x / 2
        k *= kk
        files["%s_k.txt"] = "X 5\n 0.5 0.75 1.0 1.25 1.5\nDATA\n %s\n" % " ".join(
            "%.17g" % (1 + v / 2) for v in (0.5, 0.75, 1.0, 1.25, 1.5))
        defs.append("k = TABLE('%s_k.txt')")
        ktext.append("k")
    if run == "nonlinear":
        k *= 1 + ue ** 2 / 10
        ktext.append("(1 + u^2/10)")
    # The global a term reads, exact at the solution.
    wint = None
    if term in ("integral", "integral_coef") or bc == "SCALAR":
        I_S = quad(S, coord, sides, sheets, layers)
        wint = sp.Float(I_S) * (exp(-t / 2) if timed else p if stages else 1)
    if term == "integral_coef":
        kk = 1 + sp.Rational(1, 10) * 1  # 1 + INTEGRAL(u)/I/10 is 1.1 at the solution
        k *= R(11, 10)
        measure = quad(sp.Integer(1), coord, sides, sheets, layers)
        if abs(I_S) < 1e-9 * abs(measure):
            # The integral vanishes at the solution (a field antiperiodic in x): dividing
            # by it divides by rounding. It is shifted by the part's measure instead, so the
            # coefficient is still 1.1 at the solution and moves by a tenth of the
            # integral's change over the measure.
            wm = sp.Float(measure) * (exp(-t / 2) if timed else p if stages else 1)
            wm_text = text(wm.subs(p, sp.Symbol("stg")))
            ktext.append("(1 + (INTEGRAL(u) + %s)/(%s)/10)" % (wm_text, wm_text))
        else:
            ktext.append("(1 + INTEGRAL(u)/(%s)/10)" % text(wint.subs(p, sp.Symbol("stg"))))
    K = "*".join(ktext)
    flux = div_k_grad(coord, k, ue)
    src = (sp.diff(ue, t) if timed else 0) - flux
    kgrad = ("%s*grad(u)" % K) if K else "grad(u)"
    extra = ""
    if term == "integral":
        extra = " + (INTEGRAL(u) - (%s))" % text(wint.subs(p, sp.Symbol("stg")))
    elif term == "val":
        pt = (P[0], P[1]) + ((R(1, 2),) if three else ())
        extra = " + (VAL(u,%s) - (%s))" % (",".join(text(c) for c in pt),
                                            text(ue.subs({x: pt[0], y: pt[1], z: pt[-1] if three else 0})
                                                 .subs(p, sp.Symbol("stg"))))
    s_text = text(src.subs(p, sp.Symbol("stg")))
    if term == "definition":
        defs.append("fl = %s" % kgrad)
        lhs = "div(fl) + s%s" % extra
    else:
        lhs = "div(%s) + s%s" % (kgrad, extra)
    defs.append("s = %s" % s_text)
    if term == "dtdef":
        defs.append("rate = dt(u)")
        eq = "%s = rate" % lhs
    else:
        eq = "%s = %s" % (lhs, "dt(u)" if timed else "0")
    if stages:
        defs.insert(0, "stg = STAGED(1, 2)")
    # Conditions: the tested one on the right side (or the arc) and, in 3D, on the top
    # surface too; every other boundary holds the exact values.
    zmax = sheet_list(sheets, layers)[-1] if three else None
    Fside = (x - A) ** 2 + (y - B) ** 2 - 1 if sides == "curved" else x - (A + 1)
    scalar = ""

    def natural(F):
        g = flux_through(coord, ue, F, k)
        gtext = lambda e: text(e.subs(p, sp.Symbol("stg")))
        if bc == "NATURAL":
            return "NATURAL(u) = %s" % gtext(g)
        if bc == "ROBIN":
            return "NATURAL(u) = %s - 2*u" % gtext(g + 2 * ue)
        if bc == "SOLUTION":
            return "NATURAL(u) = %s - u^2" % gtext(g + ue ** 2)
        if bc == "SCALAR":
            return "NATURAL(u) = c*(%s)" % gtext(g)
        return "VALUE(u) = ex"
    if bc == "SCALAR":
        scalar = "SCALAR VARIABLES c\n"
    side_bc = {"PERIODIC": "PERIODIC(x-1,y)", "ANTIPERIODIC": "ANTIPERIODIC(x-1,y)"}.get(bc) or natural(Fside)
    left_bc = "NOBC(u)" if bc in ("PERIODIC", "ANTIPERIODIC") else "VALUE(u) = ex"
    a, b = A, B
    if sides == "straight":
        outer = ("START(%s,%s) VALUE(u) = ex LINE TO (%s,%s) %s LINE TO (%s,%s) VALUE(u) = ex LINE TO (%s,%s) "
                 "%s LINE TO FINISH" % (a, b, a + 1, b, side_bc, a + 1, b + 1, a, b + 1, left_bc))
    else:
        outer = ("START(%s,%s) VALUE(u) = ex LINE TO (%s,%s) %s ARC(CENTER=%s,%s) TO (%s,%s) VALUE(u) = ex "
                 "LINE TO FINISH" % (a, b, a + 1, b, side_bc, a, b, a, b + 1))
    named = rep == "integral_name"
    r1 = "REGION 'outer'" if named else "REGION 1"
    regs = "  %s\n    %s\n" % (r1, outer)
    if regions == 2:
        x0, y0, x1, y1 = INNER
        r2 = "REGION 'inner'" if named else "REGION 2"
        # The inner region restates the source in its own words (expanded): its value is
        # the same, so the solution is; the region's own definition is what is read there.
        regs += "  %s s = %s\n    START(%s,%s) LINE TO (%s,%s) TO (%s,%s) TO (%s,%s) TO FINISH\n" % (
            r2, text(sp.expand(src).subs(p, sp.Symbol("stg"))), x0, y0, x1, y0, x1, y1, x0, y1)
    surf = ""
    extrusion = ""
    if three:
        zname = "z"
        extrusion = "EXTRUSION %s = %s\n" % (zname, ", ".join(text(s) for s in sheet_list(sheets, layers)))
        top_bc = "VALUE(u) = ex" if bc in ("PERIODIC", "ANTIPERIODIC") else natural(z - zmax)
        surf = "  SURFACE 1 VALUE(u) = ex\n  SURFACE %d %s\n" % (layers + 1, top_bc)
    # Error limits by order; tolerances follow from them.
    # Error limits by order (3D coarser, for time); tolerances follow from them.
    errlim = ({1: 5e-2, 2: 2e-2, 3: 2e-2} if three else {1: 1e-3, 2: 1e-4, 3: 1e-4})[order]
    sel = "ERRLIM = %g  ORDER = %d" % (errlim, order)
    if run == "fixdt":
        sel += "  FIXDT  DELTAT = 0.05"
    if stages:
        sel += "  STAGES = 2"
    scalar_eq = ""
    if bc == "SCALAR":
        scalar_eq = "  c: c*(%s) - INTEGRAL(u) = 0\n" % text(wint.subs(p, sp.Symbol("stg")))
    init = "INITIAL VALUES u = %s%s\n" % (text(ue.subs(t, 0)), "  c = 1" if bc == "SCALAR" else "") if timed else ""
    if bc == "SCALAR" and not timed:
        init = "INITIAL VALUES c = 1\n"
    equations = "EQUATIONS\n  u: %s\n%s" % (eq, scalar_eq) if bc == "SCALAR" else "EQUATIONS %s\n" % eq
    # Reports and their exact values.
    pt = (P[0], P[1]) + ((R(1, 2),) if three else ())
    at = {x: pt[0], y: pt[1], z: pt[-1] if three else 0}
    ptxt = ",".join(text(c) for c in pt)
    U = max(abs(num(ue.subs({x: xx, y: yy, z: zz, t: 0, p: 2}))) for xx in (A, A + 1) for yy in (B, B + 1)
            for zz in ((0, 1) if three else (0,)))
    # Values: ten times the error limit relative to the solution's size (twenty in time,
    # where the time error adds); the relative L2 error likewise.
    kt = 20 if timed else 10
    tol = kt * errlim * U
    whens = [(R(1, 10), 0.1), (R(1, 5), 0.2)] if timed else [(None, None)]
    stage_list = [1, 2] if stages else [None]
    reports, checks = [], []

    def add(label, expr_text, exact_of, tolerance):
        reports.append("REPORT %s AS '%s'" % (expr_text, label))
        for tv, tf in whens:
            for st in stage_list:
                e = exact_of(tv, st)
                c = {"kind": "report", "file": "p01" if st is None else "p01_%d" % st, "label": label,
                     "exact": num(e), "tol": tolerance}
                if tf is not None:
                    c["time"] = tf
                checks.append(c)

    def ex_at(e, pnt=at):
        return lambda tv, st: e.subs(pnt).subs({t: tv if tv is not None else 0, p: st or 1})
    add("u", "VAL(u,%s)" % ptxt, ex_at(ue), tol)
    add("rel", "sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2))", lambda tv, st: 0, kt * errlim)
    if rep == "val":
        qt = (Q[0], Q[1]) + ((R(1, 2),) if three else ())
        add("uq", "VAL(u,%s)" % ",".join(text(c) for c in qt), ex_at(ue, {x: qt[0], y: qt[1], z: qt[-1] if three else 0}), tol)
    elif rep == "eval":
        add("ue", "EVAL(u,%s)" % ptxt, ex_at(ue), tol)
    elif rep in ("integral_name", "integral_number"):
        reg = 2 if regions == 2 else 1
        sel_txt = ("'%s'" % ("inner" if reg == 2 else "outer")) if named else str(reg)
        I = quad(S, coord, sides, sheets, layers, region=reg if regions == 2 else None)
        fac = exp(-t / 2) if timed else p if stages else 1
        add("ir", "INTEGRAL(u,%s)" % sel_txt, lambda tv, st: I * fac.subs({t: tv or 0, p: st or 1}) if fac != 1 else I,
            tol * (abs(I) / U + quad(sp.Integer(1), coord, sides, sheets, layers, region=reg if regions == 2 else None)))
    elif rep == "sintegral" or rep == "bintegral":
        # A surface integral weighs each side by its own element: the turn 2 pi h3 of an
        # axisymmetric system times the side's length in the metric; BINTEGRAL is unweighed.
        hs = h_factors(coord)
        w = (2 * pi * hs[2] if coord in ("XCYLINDER", "YCYLINDER", "SPHERE2") else 1) if rep == "sintegral" else 1
        hl = hs[:2] if rep == "sintegral" else (1, 1)
        if three:
            raise ValueError("no surface integral in 3D rows")
        Ib = boundary_line_integral(S, sides, w, hl)
        fac = exp(-t / 2) if timed else p if stages else 1
        add("ib", "%s(u)" % rep.upper(), lambda tv, st: Ib * (fac.subs({t: tv or 0, p: st or 1}) if fac != 1 else 1),
            tol * (abs(Ib) / U + boundary_line_integral(sp.Integer(1), sides, w, hl)))
    elif rep == "deriv1":
        kd = 100 if order == 1 else 30
        add("ux", "VAL(dx(u),%s)" % ptxt, ex_at(sp.diff(ue, x)), kd * errlim * U)
        add("uy", "VAL(dy(u),%s)" % ptxt, ex_at(sp.diff(ue, y)), kd * errlim * U)
    elif rep == "deriv2":
        kd = 1000 if order == 2 else 300
        add("uxx", "VAL(dxx(u),%s)" % ptxt, ex_at(sp.diff(ue, x, 2)), kd * errlim * U)
        add("uxy", "VAL(dxy(u),%s)" % ptxt, ex_at(sp.diff(ue, x, y)), kd * errlim * U)
    exports = ""
    field = text(ue).replace("^", "**")
    if rep in ("table", "cdf", "tecplot", "transfer") and (timed or stages):
        # The exports of the time 0.2 (the only output they have); of a staged run, the
        # first record (CDF, TECPLOT append the stages) or the last file (TABLE, TRANSFER).
        last = 2 if rep in ("table", "transfer") else 1
        field = text(ue.subs({t: R(1, 5), p: last})).replace("^", "**")
    field = field.replace("sin(", "math.sin(").replace("cos(", "math.cos(").replace("exp(", "math.exp(").replace(
        "pi", "math.pi")
    if rep == "table":
        n = "(3,3,3)" if three else "(3,3)"
        exports = "  TABLE(u) POINTS=%s\n" % n
        pts = [(xx, yy) for xx in (A, A + R(1, 4)) for yy in (B, B + R(1, 4))]
        last = {t: R(1, 5), p: 2}
        for xx, yy in pts:
            at3 = [num(xx), num(yy)] + ([0.5] if three else [])
            zz = R(1, 2) if three else 0
        checks.append({"kind": "tablefield", "file": "*.tbl", "field": field, "tol": 2 * tol, "inside": sides})
    elif rep == "cdf":
        exports = "  CDF(u) POINTS=(5,5)\n"
        checks.append({"kind": "cdf", "file": "*.cdf", "var": "u", "field": field, "tol": 2 * tol, "inside": sides})
    elif rep == "tecplot":
        exports = "  TECPLOT(u)\n"
        checks.append({"kind": "nodes", "file": "*.dat", "format": "tecplot", "field": field, "tol": 2 * tol})
    elif rep == "transfer":
        exports = "  TRANSFER(u) FILE '%s.xfr'\n"
        checks.append({"kind": "nodes", "file": "*.xfr", "format": "transfer", "field": field, "tol": 2 * tol})
    if exports and (timed or stages):
        # Only the last output's exports are read: the time plot group exports at 0.2.
        pass
    plots = "PLOTS\n"
    if timed:
        plots += "  FOR T = 0.1 0.2\n"
    plots += "    SUMMARY PRINT %s\n" % "\n      ".join(reports)
    if exports:
        plots += ("  FOR T = 0.2\n" if timed else "") + exports
    time_line = "TIME 0 TO 0.2\n" if timed else ""
    note = "; ".join("%s=%s" % (n, row[n]) for n in NAMES)
    pde = ("{ %s.\n  u = %s; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first"
           " derivatives 30 ERRLIM |u| (100 for ORDER 1), second\n  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }\n"
           "TITLE '%s'\n%sSELECT %s\n%sVARIABLES u\n%s%sDEFINITIONS\n  %s\n%s%s%sBOUNDARIES\n%s%s%s%sEND\n") % (
        note, text(ue), "%s", coord_line(coord), sel, "", scalar, init, "\n  ".join(defs), equations, extrusion,
        "", surf, regs, time_line, plots)
    return pde, checks, files, note


def build_eigen(row):
    """Modes of the unit box (square, or cube extruded in flat layers) with u = 0 on every
    side but the tested one (VALUE, NATURAL = 0, or a PERIODIC or ANTIPERIODIC pair in x):
    lambda = c (kx^2 + ky^2 + kz^2); with ORDER n the descriptor carries n uncoupled
    variables, variable i with the coefficient c = i, so the modes of all of them
    interleave. TRIGINIT starts the iteration where the row's regions value is 1 and its
    sides straight, at random otherwise (every other row)."""
    coord, order, bc, term, layers = row["coord"], row["order"], row["bc"], row["term"], row["layers"]
    three = coord in THREE
    nv = order
    kx = {"VALUE": [m * pi for m in range(1, 6)], "NATURAL": [(m - R(1, 2)) * pi for m in range(1, 6)],
          "PERIODIC": [0] + [2 * m * pi for m in (1, 1, 2, 2)],
          "ANTIPERIODIC": [(2 * m + 1) * pi for m in (0, 0, 1, 1, 2, 2)]}[bc]
    ky = [n * pi for n in range(1, 5)]
    kz = [l * pi for l in range(1, 4)] if three else [0]
    lam = sorted(num(c * (a ** 2 + b ** 2 + d ** 2)) for c in range(1, nv + 1) for a in kx for b in ky for d in kz)
    modes = 3 if three else 4
    lam = lam[:modes]
    errlim = 1e-2 if three else 1e-3
    vars_ = ["u%d" % i for i in range(1, nv + 1)]
    defs, eqs = [], []
    for i, v in enumerate(vars_, 1):
        kt = ("%d*" % i) if i > 1 else ""
        if term == "coefficient":
            defs.append("k%d = %d" % (i, i))
            kt = "k%d*" % i
        if term == "definition":
            defs.append("fl%d = %sgrad(%s)" % (i, kt, v))
            eqs.append("%s: div(fl%d) + lambda*%s = 0" % (v, i, v))
        else:
            eqs.append("%s: div(%sgrad(%s)) + lambda*%s = 0" % (v, kt, v, v))
    zero = " ".join("VALUE(%s)=0" % v for v in vars_)
    side = {"VALUE": zero, "NATURAL": " ".join("NATURAL(%s)=0" % v for v in vars_),
            "PERIODIC": "PERIODIC(x-1,y)", "ANTIPERIODIC": "ANTIPERIODIC(x-1,y)"}[bc]
    left = " ".join("NOBC(%s)" % v for v in vars_) if bc in ("PERIODIC", "ANTIPERIODIC") else zero
    bound = ("  REGION 1\n    START(0,0) %s LINE TO (1,0) %s LINE TO (1,1) %s LINE TO (0,1) %s LINE TO FINISH\n"
             % (zero, side, zero, left))
    ext = ""
    if three:
        ext = "EXTRUSION z = %s\n" % ", ".join(text(R(k, layers)) for k in range(layers + 1))
        bound = "  SURFACE 1 %s\n  SURFACE %d %s\n%s" % (zero, layers + 1, zero, bound)
    trig = "  TRIGINIT" if order % 2 == 1 else ""
    note = "; ".join("%s=%s" % (n, row[n]) for n in NAMES)
    pde = ("{ %s.\n  Modes of the unit box, lambda = c (kx^2 + ky^2 + kz^2) over the variables' c = 1..%d;"
           " tolerance 10 ERRLIM lambda. }\nTITLE '%%s'\n%%sSELECT MODES = %d  ERRLIM = %g  ORDER = %d%s\n"
           "VARIABLES %s\n%sEQUATIONS\n  %s\n%sBOUNDARIES\n%sEND\n") % (
        note, nv, modes, errlim, 2, trig, " ".join(vars_),
        ("DEFINITIONS\n  %s\n" % "\n  ".join(defs)) if defs else "", "\n  ".join(eqs), ext, bound)
    pde = pde.replace("%%s", "%s")
    pde = pde.replace("TITLE '%s'\n%s", "TITLE '%s'\n" + coord_line(coord))
    checks = [{"kind": "eig", "mode": i + 1, "exact": v, "tol": 10 * errlim * v if v else 10 * errlim}
              for i, v in enumerate(lam)]
    return pde, checks, {}, note
