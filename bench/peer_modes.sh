#!/usr/bin/env bash
# Side by side: the first 10 modes of -lap(u) = lambda u on the unit square, u = 0 on the
# boundary, quadratic elements, by Quendar (MODES=10, REGRID off) and by the peer solver
# FreeFem++ (P2, EigenValue with sigma = 0) in the same run. Each prints its time, its
# unknowns and the largest relative error of the 10 eigenvalues against (m^2 + n^2) pi^2;
# the ratios follow. NGRID and PEER_N set the two meshes (match the errors with them).
#
# The comparison is at equal error, and Quendar's error here is set by how far its
# subspace iteration has converged as much as by its mesh: with the default ERRLIM
# (0.001) the passes stop while mode 10 still carries an iteration error of about 6e-5,
# so matching the peer's error took NGRID = 40. This script instead runs a coarser mesh
# with a tighter ERRLIM (1e-4, so two more passes), which reaches the same error
# sooner. OVERSHOOT is set so that each linear solve keeps the tolerance of a default
# run: ERRLIM x OVERSHOOT x 1e-4 = 1e-13, as with ERRLIM 0.001 and the eigenvalue
# default OVERSHOOT 1e-6 (the tighter 1e-14 that ERRLIM 1e-4 alone would give prints
# the same ten eigenvalues). Both errors are printed; the check line says whether both
# are below 1e-4 and Quendar's is no worse than the peer's.
#   bash bench/peer_modes.sh [--install-peer]
set -euo pipefail
cd "$(dirname "$0")/.."
NGRID=${NGRID:-27}          # 2,917 unknowns
ERRLIM=${ERRLIM:-1e-4}
OVERSHOOT=${OVERSHOOT:-1e-5}
PEER_N=${PEER_N:-26}        # 3,281 unknowns, a slightly larger error than NGRID=27
if [[ "${1:-}" == "--install-peer" ]] && ! command -v FreeFem++ >/dev/null; then
  if [[ $(id -u) -eq 0 ]]; then apt-get install -y freefem++; else sudo apt-get install -y freefem++; fi
fi
cmake -S . -B build-bench -G Ninja -DQUENDAR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target quendar >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The exact eigenvalues, ascending: (m^2 + n^2) pi^2 for m, n >= 1.
exact=$(awk 'BEGIN { pi = atan2(0, -1); for (m = 1; m <= 6; m++) for (n = 1; n <= 6; n++) printf "%.15g\n", (m*m + n*n) * pi * pi }' | sort -g | head -10 | tr '\n' ' ')
maxerr() {  # the largest relative error of the values on stdin against $exact
  awk -v ex="$exact" 'BEGIN { n = split(ex, e, " ") } { v[++k] = $1 }
    END { m = 0; for (i = 1; i <= n; i++) { r = (v[i] - e[i]) / e[i]; if (r < 0) r = -r; if (r > m) m = r } print m }'
}
cat >"$work/modes.pde" <<PDE
TITLE 'Modes of the unit square'
SELECT
  MODES=10 NGRID=$NGRID ORDER=2 REGRID=OFF ERRLIM=$ERRLIM OVERSHOOT=$OVERSHOOT
VARIABLES
  u
EQUATIONS
  div(grad(u)) + lambda*u = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
PDE
echo "== Quendar (NGRID=$NGRID ERRLIM=$ERRLIM OVERSHOOT=$OVERSHOOT)"
start=$(date +%s.%N)
(cd "$work" && "$OLDPWD/build-bench/quendar" -B -R -X modes.pde >/dev/null 2>&1)
q_run=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
q_err=$(awk '/^ *[0-9]+: / {print $2}' "$work/modes.eig" | head -10 | maxerr)
q_nodes=$(grep -o 'Nodes=[0-9]*' "$work/modes.log" | tail -1 | cut -d= -f2)
printf "unknowns %s\nrun_s %s\nmax_rel_error %s\n" "$q_nodes" "$q_run" "$q_err" | tee "$work/quendar.txt"

if ! command -v FreeFem++ >/dev/null; then
  echo "== peer: FreeFem++ is not installed (run with --install-peer to install it); skipped"
  exit 0
fi
cat >"$work/modes.edp" <<EDP
int n = $PEER_N;
border b1(t=0,1){x=t; y=0; label=1;}
border b2(t=0,1){x=1; y=t; label=1;}
border b3(t=0,1){x=1-t; y=1; label=1;}
border b4(t=0,1){x=0; y=1-t; label=1;}
mesh Th = buildmesh(b1(n) + b2(n) + b3(n) + b4(n));
fespace Vh(Th, P2);
Vh u, v;
varf a(u, v) = int2d(Th)(dx(u)*dx(v) + dy(u)*dy(v)) + on(1, u=0);
varf b(u, v) = int2d(Th)(u*v);
matrix A = a(Vh, Vh, solver=sparsesolver);
matrix B = b(Vh, Vh, solver=CG, eps=1e-20);
int nev = 10;
real[int] ev(nev);
Vh[int] eV(nev);
int k = EigenValue(A, B, sym=true, sigma=0, value=ev, vector=eV, tol=1e-10, maxit=0, ncv=0);
cout << "unknowns " << Vh.ndof << endl;
for (int i = 0; i < nev; i++) cout << "ev " << ev[i] << endl;
EDP
echo "== FreeFem++ (PEER_N=$PEER_N)"
start=$(date +%s.%N)
(cd "$work" && FreeFem++ -nw -v 0 modes.edp >"$work/peer.out" 2>&1)
f_run=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
f_err=$(awk '$1 == "ev" {print $2}' "$work/peer.out" | maxerr)
f_nodes=$(awk '$1 == "unknowns" {print $2}' "$work/peer.out")
printf "unknowns %s\nrun_s %s\nmax_rel_error %s\n" "$f_nodes" "$f_run" "$f_err" | tee "$work/peer.txt"
echo "== ratios (Quendar / FreeFem++)"
for key in unknowns run_s max_rel_error; do
  q=$(awk -v k=$key '$1 == k {print $2}' "$work/quendar.txt")
  f=$(awk -v k=$key '$1 == k {print $2}' "$work/peer.txt")
  [[ -n "$q" && -n "$f" ]] && awk -v k=$key -v q="$q" -v f="$f" 'BEGIN {printf "%-14s %g\n", k, (f != 0 ? q / f : 0)}'
done
awk -v q="$q_err" -v f="$f_err" 'BEGIN { ok = q < 1e-4 && f < 1e-4 && q <= f
  printf "equal-error check: %s (Quendar %g, FreeFem++ %g; both below 1e-4, Quendar no worse)\n", ok ? "ok" : "FAILED", q, f }'
