#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test suite twice: once as built for
# use, once under AddressSanitizer and UndefinedBehaviorSanitizer, test by test under
# ctest; the plain build's test binaries also run whole, each as one process.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
bash scripts/build.sh
# No include or undefined symbol of a library may point up the stack.
python3 tools/layers.py build
# The C++ lines changed since the base revision keep the layout of .clang-format.
bash tools/format_check.sh
(cd build && ctest --output-on-failure -j "$jobs")
# Each test binary once more as one process: no test may leave state for a later one.
bash scripts/whole.sh build
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDAR_SANITIZE=ON >/dev/null
cmake --build build-asan
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j "$jobs")
# The readers of outside bytes under libFuzzer: seed corpus and seeded mutations.
bash scripts/fuzz.sh
