#!/usr/bin/env bash
# Sanitizer build with warnings as errors, then every test.
# --tsan: a ThreadSanitizer build instead (build/tsan), every test under it; any report fails it.
# --whole: after the tests, each test executable once more as one process (cases share their
#   process, so a case that depends on which ran before it shows).
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Each folder's sources compiled eight to a unit: a third of the time of one by one. The release
# builds (build.sh) still compile every file on its own, which shows an include a file lacks.
unity=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8)
mode=asan
whole=0
while [ $# -gt 0 ]; do
  case "$1" in
    --tsan) mode=tsan ;;
    --whole) whole=1 ;;
    *) break ;;
  esac
  shift
done
if [ "$mode" = tsan ]; then
  dir=build/tsan
  # Optimised a little: the race checks make every memory access slow.
  flags="-fsanitize=thread -O1 -g -fno-omit-frame-pointer"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAVRO_TESTS=ON "${unity[@]}" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread \
    "${launcher[@]}"
  export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1"
else
  dir=build/test
  # Optimised a little too: the tests run two to three times faster. GCC 12 then takes the
  # sanitizers' checks inside std::regex and std::function for uninitialised reads.
  # tools/mutate.py builds its copies of the tree with these same flags, to share the cache.
  flags="-O1 -Wno-maybe-uninitialized"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAVRO_SANITIZE=ON -DKAVRO_WERROR=ON -DKAVRO_TESTS=ON \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" "${unity[@]}" "${launcher[@]}"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" "$@"
if [ "$whole" = 1 ]; then
  tools/run-whole-tests.sh "$dir"
fi
