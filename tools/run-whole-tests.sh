#!/usr/bin/env bash
# tools/run-whole-tests.sh BUILD_DIR: runs every GoogleTest executable of BUILD_DIR once as a whole,
# all its cases in one process and in their file order. CTest runs each case in a process of its
# own, which hides a case that passes or fails by what ran before it in the same process.
set -uo pipefail
dir=${1:?usage: tools/run-whole-tests.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
logs="$dir/whole-tests"
rm -rf "$logs"
mkdir -p "$logs"
mapfile -t exes < <(ctest --test-dir "$dir" -N -V 2>/dev/null |
  sed -n 's/^.*Test command: \([^ ]*\) .*--gtest_filter.*$/\1/p' | sort -u)
if [ ${#exes[@]} -eq 0 ]; then
  echo "whole tests: no test executables under $dir" >&2
  exit 1
fi
export KAVRO_RESOURCES="$root/resources"
run_one() {
  local exe=$1 name
  name=$(basename "$exe")
  local start=$SECONDS
  if (cd "$(dirname "$exe")" && timeout 900 "$exe" --gtest_brief=1) >"$logs/$name.log" 2>&1; then
    echo "whole $name: ok ($((SECONDS - start)) s)" >"$logs/$name.ok"
  else
    echo "whole $name: FAILED ($((SECONDS - start)) s)" >"$logs/$name.failed"
  fi
}
jobs=$(nproc)
running=0
for exe in "${exes[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_one "$exe" &
  running=$((running + 1))
done
wait
failed=0
for exe in "${exes[@]}"; do
  name=$(basename "$exe")
  if [ -e "$logs/$name.ok" ]; then
    cat "$logs/$name.ok"
  else
    cat "$logs/$name.failed"
    grep -E '^\[  FAILED  \]|ERROR: |WARNING: ThreadSanitizer|runtime error' "$logs/$name.log" | head -n 20
    echo "  (log: $logs/$name.log)"
    failed=$((failed + 1))
  fi
done
echo "whole tests: ${#exes[@]} executables, $failed failed"
[ "$failed" -eq 0 ]
