#!/usr/bin/env bash
# Checks that the lines changed since BASE follow .clang-format, without touching the tree.
#   tools/check-format.sh [BASE]
# BASE defaults to the merge base with main (when the branch is not main itself), else the previous
# commit. Only changed lines are judged: the rest of the tree is formatted once, separately.
set -euo pipefail
cd "$(dirname "$0")/.."
base=${1:-}
if [ -z "$base" ]; then
  head=$(git rev-parse HEAD)
  for ref in origin/main main; do
    if git rev-parse -q --verify "$ref^{commit}" >/dev/null; then
      mb=$(git merge-base HEAD "$ref" || true)
      if [ -n "$mb" ] && [ "$mb" != "$head" ]; then
        base=$mb
        break
      fi
    fi
  done
  [ -z "$base" ] && base=$(git rev-parse -q --verify 'HEAD~1^{commit}' || true)
fi
if [ -z "$base" ]; then
  echo "format: no earlier commit to compare with"
  exit 0
fi
out=$(git clang-format --binary clang-format --extensions h,hpp,c,cc,cpp --diff "$base" 2>&1 || true)
if printf '%s\n' "$out" | grep -q '^diff '; then
  printf '%s\n' "$out"
  echo "format: lines changed since ${base:0:12} differ from .clang-format (fix with: git clang-format $base)"
  exit 1
fi
echo "format: lines changed since ${base:0:12} are formatted"
