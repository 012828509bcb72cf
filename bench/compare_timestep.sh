#!/bin/sh
# Time per step of the decaying mode: Quendar's driver (bench_timestep, built with
# -DQUENDAR_BENCH=ON in build-bench) beside FreeFem++ on a buildmesh mesh.
set -e
dir=$(dirname "$0")
build=${1:-build-bench}
"$build/bench/bench_timestep" --benchmark_filter='BM_DecaySteps/200|BM_StepSolve/200'
FreeFem++ -nw -v 0 "$dir/decay_steps.edp" -n 200
