#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test suite twice: once as built for
# use (gcc), once under AddressSanitizer and UndefinedBehaviorSanitizer (clang), test by
# test under ctest; the plain build's test binaries also run whole, each as one process. Each
# phase prints its wall time and the CPU time of its processes. Every phase runs even when
# an earlier one failed (a phase whose build failed fails in turn); the script fails at the
# end and names the phases that failed.
# The sanitized build carries line tables only (-g1): its reports still name file and
# line. The test programs' own code, most of that build, is compiled at -O0
# (instrumented all the same); the libraries keep -O2, the code as built for use.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
ticks=$(getconf CLK_TCK)
# CPU ticks of the finished processes this shell waited for (utime and stime of
# its reaped children, fields 16 and 17 of /proc/PID/stat).
children_cpu() {
  local f
  read -ra f </proc/$$/stat
  echo $((f[15] + f[16]))
}
failed=()
phase() {
  local name=$1 t0=$SECONDS c0 c1 rc
  shift
  c0=$(children_cpu)
  "$@"
  rc=$?
  c1=$(children_cpu)
  printf '== %s: %d s wall, %d s CPU%s\n' "$name" $((SECONDS - t0)) $(((c1 - c0) / ticks)) \
    "$([ $rc -eq 0 ] || echo ", FAILED (exit $rc)")"
  [ $rc -eq 0 ] || failed+=("$name")
}
# The benchmarks are compiled with the rest (not run): a benchmark that no longer builds
# fails the test command. Each build compiles its targets' sources in batches (unity
# builds; a library whose files share file-local names opts out in its CMakeLists.txt):
# two files of one batch that come to define one name fail the build here.
QUENDAR_BENCH=ON QUENDAR_UNITY=ON phase build bash scripts/build.sh
# No include or undefined symbol of a library may point up the stack.
phase layers python3 tools/layers.py build
# The C++ lines changed since the base revision keep the layout of .clang-format.
phase format bash tools/format_check.sh
phase ctest bash -c "cd build && ctest --output-on-failure -j $jobs"
# Each test binary once more as one process: no test may leave state for a later one.
phase whole bash scripts/whole.sh build
# The regression corpus: problems with known answers from across the language, each run as
# a user runs it, beside the clone (../shared, read-only). Every case must pass; the wall
# limits are generous multiples of the cases' need (the slowest need about 60 CPU seconds and
# took 340 s on a loaded machine), so that load does not fail them. Outside CI a clone with
# no corpus beside it skips the phase and says so.
# The corpus's longest run (87, a 3D cantilever at ERRLIM 1e-5: minutes where the rest take
# seconds) starts first, beside the others, rather than alone at the end of the sorted list.
regression() {
  local long='^regression/87-' log rc
  log=$(mktemp)
  bash ../shared/cases/check.sh build/quendar --only "$long" --jobs 1 --timeout 1200 --bad-timeout 600 >"$log" 2>&1 &
  local pid=$!
  bash ../shared/cases/check.sh build/quendar --only "^regression/(?!87-)" --jobs "$jobs" --timeout 1200 \
    --bad-timeout 600
  rc=$?
  wait $pid || rc=1
  cat "$log"
  rm -f "$log"
  return $rc
}
if [ -d ../shared/cases/regression ] || [ "${CI:-}" = true ]; then
  phase regression regression
else
  echo "== regression: skipped (no ../shared/cases beside the clone)"
fi
# Whole runs of seeded mutations of the descriptors: no signal, no internal text.
phase fuzz-runs python3 scripts/fuzz_runs.py build/quendar
# The sanitized build is compiled by clang: the suite runs under both compilers, and
# code that holds only under one compiler's choices fails here. The same build holds the
# libFuzzer targets (QUENDAR_FUZZ: its libraries carry the fuzzer's coverage hooks, which
# the test programs reach as the sanitizer runtime's no-ops), so one clang build serves both
# phases.
asan_build() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDAR_OPT_FLAGS="-O2 -g1" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUENDAR_TEST_FLAGS=-O0 \
    -DQUENDAR_SANITIZE=ON -DQUENDAR_FUZZ=ON -DCMAKE_UNITY_BUILD=ON >/dev/null && cmake --build build-asan
}
phase asan-build asan_build
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Under the sanitizers ctest leaves out the tests of scripts/plain_only_tests.txt (the long
# program runs whose library lines the kept tests run as well, by a coverage build's counts;
# the file says how they were chosen); the plain ctest runs them.
asan_skip="^($(grep -v '^#' scripts/plain_only_tests.txt | sed 's/\./\\./g' | paste -sd'|'))\$"
phase asan-ctest bash -c "cd build-asan && ctest --output-on-failure -j $jobs -E '$asan_skip'"
# The readers of outside bytes under libFuzzer: seed corpus and seeded mutations.
phase fuzz bash scripts/fuzz.sh build-asan
if [ ${#failed[@]} -gt 0 ]; then
  echo "== FAILED phases: ${failed[*]}"
  exit 1
fi
echo "== every phase passed"
