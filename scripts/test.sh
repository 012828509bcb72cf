#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test suite twice: once as built for
# use (gcc), once under AddressSanitizer and UndefinedBehaviorSanitizer (clang), test by
# test under ctest; the plain build's test binaries also run whole, each as one process. Each
# phase prints its wall time and the CPU time of its processes.
# The sanitized build carries line tables only (-g1): its reports still name file and
# line. The test programs' own code, most of that build, is compiled at -O0
# (instrumented all the same); the libraries keep -O2, the code as built for use.
set -euo pipefail
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
phase() {
  local name=$1 t0=$SECONDS c0 c1
  shift
  c0=$(children_cpu)
  "$@"
  c1=$(children_cpu)
  printf '== %s: %d s wall, %d s CPU\n' "$name" $((SECONDS - t0)) $(((c1 - c0) / ticks))
}
# The benchmarks are compiled with the rest (not run): a benchmark that no longer builds
# fails the test command.
QUENDAR_BENCH=ON phase build bash scripts/build.sh
# No include or undefined symbol of a library may point up the stack.
phase layers python3 tools/layers.py build
# The C++ lines changed since the base revision keep the layout of .clang-format.
phase format bash tools/format_check.sh
phase ctest bash -c "cd build && ctest --output-on-failure -j $jobs"
# Each test binary once more as one process: no test may leave state for a later one.
phase whole bash scripts/whole.sh build
# Whole runs of seeded mutations of the descriptors: no signal, no internal text.
phase fuzz-runs python3 scripts/fuzz_runs.py build/quendar
# The sanitized build is compiled by clang: the suite runs under both compilers, and
# code that holds only under one compiler's choices fails here.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDAR_OPT_FLAGS="-O2 -g1" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUENDAR_TEST_FLAGS=-O0 -DQUENDAR_SANITIZE=ON >/dev/null
phase asan-build cmake --build build-asan
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
phase asan-ctest bash -c "cd build-asan && ctest --output-on-failure -j $jobs"
# The readers of outside bytes under libFuzzer: seed corpus and seeded mutations.
phase fuzz bash scripts/fuzz.sh
