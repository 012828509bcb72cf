#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a bounded time
# (FUZZ_SECONDS, default 60) on a seed corpus of the examples and the test data.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUENDAR_FUZZ=ON -DQUENDAR_TESTS=OFF >/dev/null
cmake --build build-fuzz
for target in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  cp examples/*.pde tests/data/*.pde "$corpus" 2>/dev/null || true
  ASAN_OPTIONS=detect_leaks=1 "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$corpus"
  rm -rf "$corpus"
done
