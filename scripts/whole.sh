#!/usr/bin/env bash
# Runs every GoogleTest binary of a build once as a single process, beside ctest's one
# test per process: a test that leaves state behind for a later one fails here.
# QUENDAR_TEST_DATA is unset, so the binaries must find their data by themselves.
#   bash scripts/whole.sh [BUILD_DIR]      (default build)
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
jobs=${QUENDAR_WHOLE_JOBS:-$(nproc)}
work=$(mktemp -d /tmp/quendar_whole_XXXXXX)
trap 'rm -rf "$work"' EXIT

one() {
  local bin=$1 work=$2 name
  name=$(basename "$bin")
  mkdir -p "$work/$name"
  if (cd "$work/$name" && env -u QUENDAR_TEST_DATA timeout 1800 "$bin" --gtest_brief=1 \
        >"$work/$name.out" 2>&1); then
    echo "PASS  $name"
  else
    echo "FAIL  $name"
    { grep -E -A4 '^\[  FAILED|: Failure$' "$work/$name.out" | head -n 60; tail -n 12 "$work/$name.out"; } |
      sed 's/^/      /'
    return 1
  fi
}
export -f one

find "$build/tests" -maxdepth 2 -type f -executable -name 'test_*' | sort |
  xargs -P "$jobs" -I{} bash -c 'one "$@"' _ {} "$work" >"$work/summary"
status=$?
cat "$work/summary"
exit $status
