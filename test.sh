#!/usr/bin/env bash
# Sanitizer build with warnings as errors, then every test.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAVRO_SANITIZE=ON -DKAVRO_WERROR=ON -DKAVRO_TESTS=ON \
  "${launcher[@]}"
cmake --build build/test
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/test --output-on-failure -j "$(nproc)" "$@"
