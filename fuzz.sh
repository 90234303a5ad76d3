#!/usr/bin/env bash
# ./fuzz.sh TARGET SECONDS: builds the libFuzzer targets with clang and runs one.
# ./fuzz.sh --regress [SECONDS]: builds every target, runs each over its seed corpus (fuzz/corpus/TARGET)
#   and then fuzzes it for SECONDS more (default 5), in a scratch corpus; fails when any target finds
#   a crash, a leak or a time-out. CI runs it.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh clang libclang-rt-14-dev
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
configure() {
  # Eight sources to a compile unit, as test.sh builds: the release builds compile them one by one.
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRO_TESTS=OFF \
    -DKAVRO_FUZZ=ON -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8 "${launcher[@]}" >/dev/null
}

if [ "${1:-}" = "--regress" ]; then
  secs=${2:-5}
  configure
  targets=()
  for source in fuzz/*.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("$name")
  done
  cmake --build build/fuzz --target "${targets[@]/#/fuzz_}"
  logs=build/fuzz/regress
  rm -rf "$logs"
  mkdir -p "$logs"
  # One target per core (each fuzzer is one thread), half of them at most, so the machine stays usable.
  jobs=$(( $(nproc) / 2 ))
  [ "$jobs" -ge 1 ] || jobs=1
  run_one() {
    local t=$1 scratch="$logs/$1.corpus" seeds=()
    mkdir -p "$scratch"
    [ -d "fuzz/corpus/$t" ] && seeds=("fuzz/corpus/$t")
    # Crash files go to the log folder, never into the tree.
    if build/fuzz/fuzz/"fuzz_$t" -max_total_time="$secs" -timeout=20 -rss_limit_mb=2560 -print_final_stats=0 \
      -artifact_prefix="$logs/$t-" "$scratch" "${seeds[@]}" >"$logs/$t.log" 2>&1; then
      touch "$logs/$t.ok"
    fi
  }
  running=0
  for t in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
      wait -n || true
      running=$((running - 1))
    fi
    run_one "$t" &
    running=$((running + 1))
  done
  wait || true
  passed=0
  failed=0
  for t in "${targets[@]}"; do
    if [ -e "$logs/$t.ok" ]; then
      echo "fuzz $t: ok"
      passed=$((passed + 1))
    else
      echo "fuzz $t: FAILED (log: $logs/$t.log)"
      tail -n 40 "$logs/$t.log"
      failed=$((failed + 1))
    fi
  done
  echo "fuzz: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
fi

target=${1:?usage: ./fuzz.sh TARGET SECONDS | ./fuzz.sh --regress [SECONDS]}
secs=${2:-60}
configure
cmake --build build/fuzz --target "fuzz_${target}"
mkdir -p build/fuzz/corpus/"$target"
seeds=()
[ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
exec build/fuzz/fuzz/"fuzz_${target}" -max_total_time="$secs" build/fuzz/corpus/"$target" "${seeds[@]}"
