#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under the sanitizers in build-fuzz/ and
# runs each on its seed corpus, then a fixed number of seeded mutations, so that a
# run is repeatable and bounded. FUZZ_RUNS changes the number of mutations; the
# descriptor parser runs for a fixed time instead (FUZZ_SECONDS), on longer inputs.
# A target's corpus is tests/fuzz/corpus/<target>/, or else the descriptors of
# examples/ and tests/data/ (with the data files of corpus/reader_data/).
# The targets run FUZZ_JOBS at a time (default: the number of cores), each one
# process with its own seed, so a run's outcome does not depend on the others.
# Alone, the script builds the targets in build-fuzz/, its sources in batches (a unity build),
# as the test command's builds do, at -O1, the usual level for sanitized fuzzing: it compiles
# in less time, and the checks a mutation meets are the same. Given a build folder configured
# with QUENDAR_FUZZ=ON (the test command passes its sanitized build, whose libraries then
# carry the coverage hooks as well), it builds and runs the targets there instead.
#   bash scripts/fuzz.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
export runs=${FUZZ_RUNS:-50000}
export seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-$(nproc)}
# The descriptor parser first: it runs for a fixed time, the others beside it.
targets=(reader viewstream tokens fontlib dxf plotfile)
if [ $# -eq 0 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUENDAR_OPT_FLAGS="-O1 -g1" -DQUENDAR_FUZZ=ON -DQUENDAR_TESTS=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}"
export build
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
logs=$(mktemp -d /tmp/quendar_fuzz_XXXXXX)
trap 'rm -rf "$logs"' EXIT

one() {
  local target=$1 work status=0
  work=$(mktemp -d)
  if [ -d tests/fuzz/corpus/$target ]; then
    cp tests/fuzz/corpus/$target/* "$work"/
  else
    cp examples/*.pde tests/data/*.pde "$work"/ 2>/dev/null || true
  fi
  # The descriptor target also reads its inputs as TABLE and TRANSFER files, and as
  # files on disk, where a line of 70,000 characters is one seed.
  if [ "$target" = reader ]; then
    cp tests/fuzz/corpus/reader_data/* "$work"/
    { head -c 70000 /dev/zero | tr '\0' a; echo; } >"$work/long_line"
    bound=(-max_total_time="$seconds" -max_len=72000)
    echo "fuzz_$target: seed corpus and $seconds s of mutations"
  else
    bound=(-runs="$runs" -max_len=4096)
    echo "fuzz_$target: seed corpus and $runs mutations"
  fi
  # libFuzzer reports on stderr; its last lines hold the final stats or the failure.
  "$build"/tests/fuzz/fuzz_$target -seed=1 "${bound[@]}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$work" 2>"$work.err" >/dev/null || status=$?
  tail -n 12 "$work.err"
  [ $status -eq 0 ] || echo "fuzz_$target: FAILED (exit status $status)"
  rm -rf "$work" "$work.err"
  return $status
}
export -f one

status=0
printf '%s\n' "${targets[@]}" |
  xargs -P "$jobs" -I{} bash -c 'one "$1" >"$2/$1.out" 2>&1' _ {} "$logs" || status=1
for target in "${targets[@]}"; do cat "$logs/$target.out"; done
exit $status
