#!/usr/bin/env bash
# Sets up the machine and builds Quendar and its tests in build/. QUENDAR_OPT_FLAGS,
# when set, replaces the optimisation and debug flags (-O2 -g): CI sets -O2 -g1.
# QUENDAR_BENCH=ON builds the benchmarks of bench/ as well (the test command does).
# QUENDAR_UNITY=ON compiles the sources of a target in batches, each one compiler run
# (CMAKE_UNITY_BUILD; the test command does): a clean build takes less time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  ${QUENDAR_OPT_FLAGS:+-DQUENDAR_OPT_FLAGS="$QUENDAR_OPT_FLAGS"} \
  ${QUENDAR_BENCH:+-DQUENDAR_BENCH="$QUENDAR_BENCH"} \
  ${QUENDAR_UNITY:+-DCMAKE_UNITY_BUILD="$QUENDAR_UNITY"} >/dev/null
cmake --build build
