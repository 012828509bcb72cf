#!/usr/bin/env bash
# Side by side: -lap(u) = 2 pi^2 sin(pi x) sin(pi y) on the unit square, u = 0 on the
# boundary, quadratic elements, about 641,601 unknowns, solved by Quendar (REGRID off)
# and by the peer solver FreeFem++ (P2, conjugate gradients) in the same run.
# SHAPE=cube solves -lap(u) = 3 pi^2 sin(pi x) sin(pi y) sin(pi z) in the unit cube
# instead (Quendar's extruded square against the peer's cube of tetrahedra, about
# 113,000 unknowns each).
# SHAPE=adaptive runs the square's problem on Quendar alone with REGRID on, the
# default starting grid and ERRLIM=1e-7 (seven grids up to 114,489 nodes): it prints
# the run's wall and CPU seconds and each grid's node count and RMS error, the
# figures to compare before and after a change (the grids and errors must not move).
#   bash bench/peer_square.sh [--install-peer]
# The peer runs only when FreeFem++ is installed; --install-peer installs the Debian
# packages freefem++ and libfreefem++ (its plugins, for the cube) first. Quendar's
# benchmark program is built in build-bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
SHAPE=${SHAPE:-square}
if [[ $SHAPE == cube ]]; then
  NGRID=${NGRID:-24}         # 112,945 nodes of quadratic tetrahedra
  ERRLIM=${ERRLIM:-1e-6}
  PEER_N=${PEER_N:-24}       # cells per edge of the peer's cube: 117,649 unknowns
fi
NGRID=${NGRID:-400}          # 801 x 801 nodes of quadratic triangles: 641,601 unknowns
ERRLIM=${ERRLIM:-1e-8}          # the algebraic error stays below the discretisation error
OVERSHOOT=${OVERSHOOT:-1e-4}
PEER_N=${PEER_N:-368}        # boundary points per side of the peer's mesh (as many unknowns)
PEER_EPS=${PEER_EPS:-1e-10}  # the peer's CG tolerance
if [[ "${1:-}" == "--install-peer" ]] && ! { command -v FreeFem++ && [[ -e /usr/lib/freefem++/msh3.so ]]; } >/dev/null; then
  if [[ $(id -u) -eq 0 ]]; then apt-get install -y freefem++ libfreefem++; else sudo apt-get install -y freefem++ libfreefem++; fi
fi

cmake -S . -B build-bench -G Ninja -DQUENDAR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target bench_steady >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The square's descriptor: $1 its title, $2 its SELECT line.
square_pde() {
cat >"$work/square.pde" <<PDE
TITLE '$1'
SELECT
  $2
VARIABLES
  u
DEFINITIONS
  exact = sin(pi*x)*sin(pi*y)
  l2err = sqrt(INTEGRAL((u - exact)^2))
EQUATIONS
  div(grad(u)) + 2*pi^2*exact = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
PDE
}

if [[ $SHAPE == adaptive ]]; then
square_pde 'Sine on the unit square, regridded' "ORDER=2 REGRID=ON ERRLIM=${ERRLIM_ADAPTIVE:-1e-7} OVERSHOOT=$OVERSHOOT"
echo "== Quendar, regridded"
build-bench/bench/bench_steady "$work/square.pde" 2>/dev/null | grep -E "^(run_s|run_cpu_s|l2_error) "
sed -nE 's/.*(GRID [0-9]+ Nodes=[0-9]+ Cells=[0-9]+ RMS ERR= *[0-9.e+-]+).*/\1/p' "$work/square.log"
exit 0
fi

if [[ $SHAPE == cube ]]; then
cat >"$work/square.pde" <<PDE
TITLE 'Sine in the unit cube'
COORDINATES
  CARTESIAN3
SELECT
  ORDER=2 REGRID=OFF NGRID=$NGRID ERRLIM=$ERRLIM
VARIABLES
  u
DEFINITIONS
  exact = sin(pi*x)*sin(pi*y)*sin(pi*z)
  l2err = sqrt(INTEGRAL((u - exact)^2))
EQUATIONS
  div(grad(u)) + 3*pi^2*exact = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  SURFACE 2 VALUE(u)=0
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
PDE
else
square_pde 'Sine on the unit square' "ORDER=2 REGRID=OFF NGRID=$NGRID ERRLIM=$ERRLIM OVERSHOOT=$OVERSHOOT"
fi
echo "== Quendar"
build-bench/bench/bench_steady "$work/square.pde" 2>/dev/null | grep -E "^[a-z_0-9]+ " | tee "$work/quendar.txt"

if ! command -v FreeFem++ >/dev/null; then
  echo "== peer: FreeFem++ is not installed (run with --install-peer to install it); skipped"
  exit 0
fi
# The end of the peer's program, its system assembled, solved by CG and measured;
# $1 is the integral of its dimension (int2d or int3d).
peer_solve() {
cat <<EDP
matrix A = a(Vh, Vh, solver=CG);
real[int] rhs = l(0, Vh);
ta = clock() - ta;
real ts = clock();
set(A, solver=CG, eps=$PEER_EPS);
u[] = A^-1*rhs;
ts = clock() - ts;
real err = sqrt($1(Th)((u - ex)^2));
cout << "unknowns " << Vh.ndof << endl;
cout << "run_s " << clock() - t0 << endl;
cout << "mesh_s " << tm << endl;
cout << "assembly_s " << ta << endl;
cout << "solve_s " << ts << endl;
cout << "l2_error " << err << endl;
EDP
}
if [[ $SHAPE == cube ]]; then
# The plugin that makes cubes is looked for beside the script.
ln -sf /usr/lib/freefem++/msh3.so "$work/msh3.so"
cat >"$work/square.edp" <<EDP
load "msh3"
real t0 = clock();
int n = $PEER_N;
mesh3 Th = cube(n, n, n);
real tm = clock() - t0;
fespace Vh(Th, P2);
Vh u, v;
func f = 3*pi^2*sin(pi*x)*sin(pi*y)*sin(pi*z);
func ex = sin(pi*x)*sin(pi*y)*sin(pi*z);
real ta = clock();
varf a(u, v) = int3d(Th)(dx(u)*dx(v) + dy(u)*dy(v) + dz(u)*dz(v)) + on(1, 2, 3, 4, 5, 6, u=0);
varf l(u, v) = int3d(Th)(f*v) + on(1, 2, 3, 4, 5, 6, u=0);
EDP
peer_solve int3d >>"$work/square.edp"
else
cat >"$work/square.edp" <<EDP
real t0 = clock();
int n = $PEER_N;
border b1(t=0,1){x=t; y=0;}
border b2(t=0,1){x=1; y=t;}
border b3(t=0,1){x=1-t; y=1;}
border b4(t=0,1){x=0; y=1-t;}
mesh Th = buildmesh(b1(n) + b2(n) + b3(n) + b4(n));
real tm = clock() - t0;
fespace Vh(Th, P2);
Vh u, v;
func f = 2*pi^2*sin(pi*x)*sin(pi*y);
func ex = sin(pi*x)*sin(pi*y);
real ta = clock();
varf a(u, v) = int2d(Th)(dx(u)*dx(v) + dy(u)*dy(v)) + on(b1, b2, b3, b4, u=0);
varf l(u, v) = int2d(Th)(f*v) + on(b1, b2, b3, b4, u=0);
EDP
peer_solve int2d >>"$work/square.edp"
fi
echo "== FreeFem++"
(cd "$work" && /usr/bin/time -f "peak_rss_mb %M" FreeFem++ -nw -v 0 square.edp 2>"$work/time.txt") | grep -E '^(unknowns|run_s|mesh_s|assembly_s|solve_s|l2_error) ' | tee "$work/peer.txt"
awk '{print "peak_rss_mb", $2 / 1024}' "$work/time.txt" | tail -1 | tee -a "$work/peer.txt"

echo "== ratios (Quendar / FreeFem++)"
# The peer's figures come from its clock(), which counts CPU time: run_cpu_s sets
# Quendar's CPU seconds for the run against the peer's run_s (run_s compares
# Quendar's wall time with it).
for key in unknowns run_s run_cpu_s mesh_s assembly_s solve_s peak_rss_mb l2_error; do
  q=$(awk -v k=$key '$1 == k {print $2}' "$work/quendar.txt")
  f=$(awk -v k=${key/run_cpu_s/run_s} '$1 == k {print $2}' "$work/peer.txt")
  [[ -n "$q" && -n "$f" ]] && awk -v k=$key -v q="$q" -v f="$f" 'BEGIN {printf "%-12s %g\n", k, (f != 0 ? q / f : 0)}'
done
