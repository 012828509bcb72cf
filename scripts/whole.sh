#!/usr/bin/env bash
# Runs every GoogleTest binary of a build as a single process, beside ctest's one test
# per process: once in declaration order and once under a fixed shuffle seed. A test that
# leaves state behind for a later one fails here when the later one comes after it in either
# order (a shuffled order puts any two tests the other way round from their declaration in
# half the cases; a second seed took another third of this phase's time for a quarter more).
# QUENDAR_TEST_DATA is unset, so the binaries must find their data by themselves.
# Every order leaves out the tests whose whole work is to run the quendar program as a
# process, in a temporary directory of their own, and read back its files: their code calls
# nothing of the libraries (the object files of their sources reference no symbol of them)
# and keeps no state of its own past a test, so no order of the binary's tests can reach
# what they run, nor they anything a neighbour left in the process. They are most of the
# binary's time, and ctest runs them, each as a process of its own.
#   bash scripts/whole.sh [BUILD_DIR]      (default build)
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
jobs=${QUENDAR_WHOLE_JOBS:-$(nproc)}
work=$(mktemp -d /tmp/quendar_whole_XXXXXX)
trap 'rm -rf "$work"' EXIT

# The fixtures of tests/control that only run the program (see above).
export program_only='Answers.*:Checked.*:Constructs.*:Eigen.*:Globals.*:MeshRun.*:Program.*:WeakForm.*'

one() {
  local bin=$1 work=$2 name order skip
  name=$(basename "$bin")
  mkdir -p "$work/$name"
  skip=
  [ "$name" = test_control ] && skip=--gtest_filter=-$program_only
  for order in "" --gtest_random_seed=3; do
    if ! (cd "$work/$name" && env -u QUENDAR_TEST_DATA timeout 1800 "$bin" --gtest_brief=1 ${skip:+"$skip"} \
          ${order:+--gtest_shuffle "$order"} >"$work/$name.out" 2>&1); then
      echo "FAIL  $name ${order:-(declaration order)}"
      { grep -E -A4 '^\[  FAILED|: Failure$' "$work/$name.out" | head -n 60; tail -n 12 "$work/$name.out"; } |
        sed 's/^/      /'
      return 1
    fi
  done
  echo "PASS  $name"
}
export -f one

find "$build/tests" -maxdepth 2 -type f -executable -name 'test_*' | sort |
  xargs -P "$jobs" -I{} bash -c 'one "$@"' _ {} "$work" >"$work/summary"
status=$?
cat "$work/summary"
exit $status
