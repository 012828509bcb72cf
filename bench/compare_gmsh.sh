#!/usr/bin/env bash
# Side by side: our mesher and gmsh's frontal (front2d) and Delaunay (del2d) 2D
# algorithms on the unit square and the L-shape (-1,1)^2 minus [0,1]x[-1,0] at the same
# target size (the domain's size / NGRID). Prints triangles, processor seconds (ours
# for the mesh phase, gmsh's for the whole command), triangles per second, our speed
# over each gmsh algorithm's, and histograms of the smallest angle and of the radius
# ratio (2 r_in / r_circ) of the triangles. FreeFem++ is used as well when
# it is installed. Needs bench_mesh2 (configure with -DQUENDAR_BENCH=ON) and gmsh
# (scripts/setup.sh installs it with QUENDAR_BENCH_TOOLS=1).
#   bench/compare_gmsh.sh [build dir] [ngrid ...]
set -euo pipefail
build=${1:-build-bench}
shift || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(40 160 340)
bench=$build/bench/bench_mesh2
[ -x "$bench" ] || { echo "no $bench: configure with -DQUENDAR_BENCH=ON and build bench_mesh2" >&2; exit 1; }
command -v gmsh >/dev/null || { echo "gmsh is not installed (QUENDAR_BENCH_TOOLS=1 scripts/setup.sh)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpu() {  # the processor seconds (user and system) a command takes
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(r.ru_utime + r.ru_stime)' "$@"
}

geo() {  # domain size file
  local h=$2
  if [ "$1" = 0 ]; then
    printf 'Point(1)={0,0,0,%s};Point(2)={1,0,0,%s};Point(3)={1,1,0,%s};Point(4)={0,1,0,%s};\n' $h $h $h $h
    printf 'Line(1)={1,2};Line(2)={2,3};Line(3)={3,4};Line(4)={4,1};Curve Loop(1)={1,2,3,4};Plane Surface(1)={1};\n'
  else
    printf 'Point(1)={-1,-1,0,%s};Point(2)={0,-1,0,%s};Point(3)={0,0,0,%s};Point(4)={1,0,0,%s};' $h $h $h $h
    printf 'Point(5)={1,1,0,%s};Point(6)={-1,1,0,%s};\n' $h $h
    printf 'Line(1)={1,2};Line(2)={2,3};Line(3)={3,4};Line(4)={4,5};Line(5)={5,6};Line(6)={6,1};\n'
    printf 'Curve Loop(1)={1,2,3,4,5,6};Plane Surface(1)={1};\n'
  fi > "$3"
}

edp() {  # domain size file: the same domains for FreeFem++
  local n
  if [ "$1" = 0 ]; then
    n=$(python3 -c "print(round(1/$2))")
    printf 'border a(t=0,1){x=t;y=0;}border b(t=0,1){x=1;y=t;}border c(t=0,1){x=1-t;y=1;}border d(t=0,1){x=0;y=1-t;}\n'
    printf 'real t0=clock();mesh Th=buildmesh(a(%s)+b(%s)+c(%s)+d(%s));real t1=clock();\n' $n $n $n $n
  else
    n=$(python3 -c "print(round(1/$2))")
    printf 'border a(t=0,1){x=-1+t;y=-1;}border b(t=0,1){x=0;y=-1+t;}border c(t=0,1){x=t;y=0;}\n'
    printf 'border d(t=0,1){x=1;y=t;}border e(t=0,1){x=1-2*t;y=1;}border f(t=0,1){x=-1;y=1-2*t;}\n'
    printf 'real t0=clock();mesh Th=buildmesh(a(%s)+b(%s)+c(%s)+d(%s)+e(%s)+f(%s));real t1=clock();\n' $n $n $n $n $((2*n)) $((2*n))
  fi > "$3"
  printf 'savemesh(Th,"%s.msh");{ofstream o("%s.time");o<<(t1-t0)<<endl;}\n' "${3%.edp}" "${3%.edp}" >> "$3"
}

for which in 0 1; do
  name=$([ $which = 0 ] && echo square || echo L-shape)
  size=$([ $which = 0 ] && echo 1 || echo 2)
  for ngrid in "${sizes[@]}"; do
    h=$(python3 -c "print($size/$ngrid)")
    "$bench" --write $which $ngrid "$work/ours.txt"
    geo $which $h "$work/d.geo"
    for algo in front2d del2d; do
      cpu gmsh -2 -algo $algo -format msh2 -v 0 "$work/d.geo" -o "$work/$algo.msh" > "$work/$algo.time"
    done
    ff=""
    if command -v FreeFem++ >/dev/null; then
      edp $which $h "$work/ff.edp"
      (cd "$work" && FreeFem++ -nw -ne ff.edp >/dev/null 2>&1) && ff="$work/ff"
    fi
    python3 - "$name" "$ngrid" "$work" "$ff" <<'PY'
import math, sys
name, ngrid, work, ff = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]

def ours(path):
    with open(path) as f:
        t = float(f.readline()); n = int(f.readline())
        pts = [tuple(map(float, f.readline().split())) for _ in range(n)]
        m = int(f.readline())
        tris = [tuple(int(v) - 1 for v in f.readline().split()) for _ in range(m)]
    return t, pts, tris

def msh2(path):
    pts, tris, idx = [], [], {}
    with open(path) as f:
        lines = f.read().split("\n")
    i = lines.index("$Nodes") + 1
    for k in range(int(lines[i])):
        v = lines[i + 1 + k].split(); idx[v[0]] = len(pts); pts.append((float(v[1]), float(v[2])))
    i = lines.index("$Elements") + 1
    for k in range(int(lines[i])):
        v = lines[i + 1 + k].split()
        if v[1] == "2":
            tags = int(v[2]); tris.append(tuple(idx[x] for x in v[3 + tags:6 + tags]))
    return pts, tris

def ffmesh(path):
    with open(path) as f:
        v = f.read().split()
    nv, nt = int(v[0]), int(v[1]); k = 3
    pts = [(float(v[k + 3 * i]), float(v[k + 3 * i + 1])) for i in range(nv)]; k += 3 * nv
    tris = [tuple(int(v[k + 4 * i + j]) - 1 for j in range(3)) for i in range(nt)]
    return pts, tris

def quality(pts, tris):
    angles, ratios = [], []
    for a, b, c in tris:
        A, B, C = pts[a], pts[b], pts[c]
        la, lb, lc = math.dist(B, C), math.dist(C, A), math.dist(A, B)
        area = abs((B[0]-A[0])*(C[1]-A[1]) - (B[1]-A[1])*(C[0]-A[0])) / 2
        s = (la + lb + lc) / 2
        angs = [math.degrees(math.acos(max(-1, min(1, (y*y + z*z - x*x) / (2*y*z))))) for x, y, z in ((la, lb, lc), (lb, lc, la), (lc, la, lb))]
        angles.append(min(angs)); ratios.append(2 * (area / s) / (la * lb * lc / (4 * area)))
    return angles, ratios

def hist(vals, edges):
    counts = [0] * (len(edges) - 1)
    for v in vals:
        for i in range(len(edges) - 1):
            if edges[i] <= v < edges[i + 1] or (i == len(edges) - 2 and v == edges[-1]):
                counts[i] += 1; break
    n = max(1, len(vals))
    return " ".join("%5.1f" % (100 * c / n) for c in counts)

rows = []
t, pts, tris = ours(work + "/ours.txt"); rows.append(("quendar", t, pts, tris))
for algo in ("front2d", "del2d"):
    p, tr = msh2("%s/%s.msh" % (work, algo)); rows.append(("gmsh " + algo, float(open("%s/%s.time" % (work, algo)).read()), p, tr))
if ff:
    p, tr = ffmesh(ff + ".msh"); rows.append(("freefem++", float(open(ff + ".time").read()), p, tr))
aedges = [0, 20, 30, 40, 50, 60.0001]; redges = [0, 0.5, 0.7, 0.8, 0.9, 0.95, 1.0]
print("%s NGRID %s" % (name, ngrid))
print("  %-14s %9s %9s %12s %8s   min-angle %% in %s   radius-ratio %% in %s" % ("mesher", "triangles", "seconds", "triangles/s", "min ang", aedges, redges))
for label, t, p, tr in rows:
    ang, rat = quality(p, tr)
    print("  %-14s %9d %9.3f %12.0f %8.2f   %s   %s" % (label, len(tr), t, len(tr) / max(t, 1e-9), min(ang), hist(ang, aedges), hist(rat, redges)))
base = len(rows[0][3]) / max(rows[0][1], 1e-9)
for label, t, p, tr in rows[1:]:
    print("  speed ratio quendar / %s: %.2f" % (label, base / (len(tr) / max(t, 1e-9))))
PY
  done
done
