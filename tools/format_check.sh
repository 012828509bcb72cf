#!/usr/bin/env bash
# Holds the C++ lines changed since a base revision to the layout of .clang-format: fails,
# showing the corrections, when clang-format would lay out a changed line otherwise. Lines
# nobody changed are not checked (the tree as a whole is not reformatted).
#   bash tools/format_check.sh [BASE]
# BASE defaults to the merge-base with origin/main when that exists, else with a local
# main branch: what a branch adds to the main it lands on. On main itself (a fresh clone,
# as CI has it) that would be HEAD, so the base is then the commit that brought in
# .clang-format: every line changed since the check began is checked. The working tree
# is compared with BASE, so uncommitted changes are checked as well.
set -euo pipefail
cd "$(dirname "$0")/.."
diff_tool=$(command -v clang-format-diff || command -v clang-format-diff-14 || true)
if [ -z "$diff_tool" ] || ! command -v clang-format >/dev/null; then
  echo "format check: clang-format and clang-format-diff are needed (scripts/setup.sh installs them)" >&2
  exit 2
fi
if [ $# -ge 1 ]; then
  base=$1
elif git rev-parse -q --verify origin/main >/dev/null; then
  base=$(git merge-base HEAD origin/main)
elif git rev-parse -q --verify refs/heads/main >/dev/null; then
  base=$(git merge-base HEAD refs/heads/main)
else
  echo "format check: no base revision, nothing to check"
  exit 0
fi
if [ $# -eq 0 ] && [ "$(git rev-parse "$base")" = "$(git rev-parse HEAD)" ]; then
  first=$(git log --diff-filter=A --format=%H -- .clang-format | tail -n 1)
  [ -n "$first" ] && base=$first
fi
git rev-parse -q --verify "$base^{commit}" >/dev/null || { echo "format check: no revision $base" >&2; exit 2; }
fixes=$(git diff -U0 --no-color --no-ext-diff "$base" -- '*.cpp' '*.h' | "$diff_tool" -p1 -style=file)
if [ -n "$fixes" ]; then
  echo "$fixes"
  echo "format check: changed lines since $(git rev-parse --short "$base") are not laid out as .clang-format asks" >&2
  echo "  (apply with: git diff -U0 $base -- '*.cpp' '*.h' | clang-format-diff -p1 -style=file -i)" >&2
  exit 1
fi
echo "format check: changed lines since $(git rev-parse --short "$base") are laid out as .clang-format asks"
