#!/usr/bin/env bash
# A large domain side by side: the square [0, M]^2 holding M x M regions, each a 25-gon
# of radius 0.3 (M = 20: 10,004 joints in 401 regions), read and meshed by our program
# (bench_setup rings M: the reading, the set-up and the meshing proper, processor
# seconds) and by gmsh's frontal and Delaunay 2D algorithms on the same domain, the
# polygons' points asking for their side length and the square's corners for the
# square's side over 10 (our default NGRID). Prints triangles, seconds and triangles per
# second for each. Needs bench_setup (configure with -DQUENDAR_BENCH=ON) and gmsh
# (scripts/setup.sh installs it with QUENDAR_BENCH_TOOLS=1).
#   bench/compare_rings.sh [build dir] [M]
set -euo pipefail
build=${1:-build-bench}
m=${2:-20}
bench=$build/bench/bench_setup
[ -x "$bench" ] || { echo "no $bench: configure with -DQUENDAR_BENCH=ON and build bench_setup" >&2; exit 1; }
command -v gmsh >/dev/null || { echo "gmsh is not installed (QUENDAR_BENCH_TOOLS=1 scripts/setup.sh)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" rings "$m" 1 2>/dev/null | grep -E '^(joints|regions|read_s|setup_s|meshing_s|cells) ' > "$work/ours.txt"

python3 - "$m" > "$work/rings.geo" <<'PY'
import math, sys
m = int(sys.argv[1]); big = m / 10; small = 2 * 0.3 * math.sin(math.pi / 25)
out = []; p = 0; l = 0
def point(x, y, lc):
    global p; p += 1; out.append(f'Point({p})={{{x:.6f},{y:.6f},0,{lc}}};'); return p
def loop(pts):
    global l; first = l + 1
    for k in range(len(pts)):
        l += 1; out.append(f'Line({l})={{{pts[k]},{pts[(k + 1) % len(pts)]}}};')
    return ','.join(str(x) for x in range(first, l + 1))
square = loop([point(0, 0, big), point(m, 0, big), point(m, m, big), point(0, m, big)])
out.append(f'Curve Loop(1)={{{square}}};')
holes = []
for i in range(m):
    for k in range(m):
        pts = [point(i + 0.5 + 0.3 * math.cos(2 * math.pi * q / 25), k + 0.5 + 0.3 * math.sin(2 * math.pi * q / 25), small)
               for q in range(25)]
        c = len(holes) + 2
        out.append(f'Curve Loop({c})={{{loop(pts)}}};'); out.append(f'Plane Surface({c})={{{c}}};'); holes.append(c)
out.append(f'Plane Surface(1)={{1,{",".join(map(str, holes))}}};')
print('\n'.join(out))
PY

cpu() {  # the processor seconds (user and system) a command takes
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(r.ru_utime + r.ru_stime)' "$@"
}
for algo in front2d del2d; do
  cpu gmsh -2 -algo $algo -format msh2 -v 0 "$work/rings.geo" -o "$work/$algo.msh" > "$work/$algo.time"
done

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
ours = dict(line.split() for line in open(f'{work}/ours.txt'))
def triangles(path):
    lines = open(path).read().split('\n'); i = lines.index('$Elements')
    return sum(1 for line in lines[i + 2:i + 2 + int(lines[i + 1])] if line.split()[1] == '2')
print(f"domain: {ours['joints']} joints, {ours['regions']} regions")
rows = [('ours (read + set-up + mesh)', int(ours['cells']), float(ours['setup_s']) + float(ours['meshing_s']))]
for algo in ('front2d', 'del2d'):
    rows.append((f'gmsh {algo} (whole command)', triangles(f'{work}/{algo}.msh'), float(open(f'{work}/{algo}.time').read())))
print(f"ours: read {float(ours['read_s']):.2f} s, set-up {float(ours['setup_s']):.2f} s, mesh {float(ours['meshing_s']):.2f} s")
print(f"{'mesher':32s} {'triangles':>10s} {'seconds':>8s} {'tri/s':>10s}")
for name, t, s in rows:
    print(f'{name:32s} {t:10d} {s:8.2f} {t / s:10.0f}')
PY
