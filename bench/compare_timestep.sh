#!/usr/bin/env bash
# Side by side in one run: u_t = div(grad(u)) on the unit square, u = 0 on the boundary,
# u = sin(pi x) sin(pi y) at t = 0, quadratic elements, 100 Crank-Nicolson steps of 0.001
# to t = 0.1, where u = sin(pi x) sin(pi y) e^(-2 pi^2 t). Quendar's driver
# (bench_timestep on an NGRID x NGRID grid, built in build-bench/) beside FreeFem++
# (bench/decay_steps.edp on a buildmesh mesh of PEER_N points a side, about as many
# unknowns). Both errors are dominated by the step, so the L2 errors at t = 0.1 agree;
# the script prints both and the ratios Quendar / FreeFem++. The problem is linear with
# fixed coefficients, so Quendar forms each step residual from its stored matrices;
# `bench_timestep --benchmark_filter=BM_SweptSteps` times the same run with every
# residual swept over the cells (same steps and errors).
#   bash bench/compare_timestep.sh [--install-peer]
# PEER_SOLVER=CG makes the peer solve each step by conjugate gradients instead of its
# once-factored matrix.
set -euo pipefail
cd "$(dirname "$0")/.."
NGRID=${NGRID:-76}          # 76 or 200: 153 x 153 nodes, 23,409 unknowns (200: 160,801)
PEER_N=${PEER_N:-70}        # 23,373 unknowns (184 for about 161,000)
PEER_SOLVER=${PEER_SOLVER:-default}
if [[ "${1:-}" == "--install-peer" ]] && ! command -v FreeFem++ >/dev/null; then
  if [[ $(id -u) -eq 0 ]]; then apt-get install -y freefem++ libfreefem++; else sudo apt-get install -y freefem++ libfreefem++; fi
fi
cmake -S . -B build-bench -G Ninja -DQUENDAR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target bench_timestep >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== Quendar"
build-bench/bench/bench_timestep --benchmark_filter="BM_DecaySteps/$NGRID/" --benchmark_format=json 2>/dev/null |
  awk -F'[:,]' '/"(unknowns|per_step_ms|run_s|rel_error|l2_error)"/ {gsub(/[ "]/, "", $1); gsub(/ /, "", $2); print $1, $2 + 0}' |
  tee "$work/quendar.txt"

if ! command -v FreeFem++ >/dev/null; then
  echo "== peer: FreeFem++ is not installed (run with --install-peer to install it); skipped"
  exit 0
fi
echo "== FreeFem++"
(cd "$work" && FreeFem++ -nw -v 0 "$OLDPWD/bench/decay_steps.edp" -n "$PEER_N" -solver "$PEER_SOLVER" 2>/dev/null) |
  grep -E '^(unknowns|per_step_ms|run_s|rel_error|l2_error) ' | tee "$work/peer.txt"

echo "== ratios (Quendar / FreeFem++)"
for key in unknowns l2_error per_step_ms run_s; do
  q=$(awk -v k=$key '$1 == k {print $2}' "$work/quendar.txt")
  f=$(awk -v k=$key '$1 == k {print $2}' "$work/peer.txt")
  [[ -n "$q" && -n "$f" ]] && awk -v k=$key -v q="$q" -v f="$f" 'BEGIN {printf "%-12s %g\n", k, (f != 0 ? q / f : 0)}'
done
