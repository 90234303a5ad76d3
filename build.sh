#!/usr/bin/env bash
# Release build into build/release.
#   ./build.sh            GCC, into build/release
#   ./build.sh --werror   the same with warnings as errors (CI)
#   ./build.sh --clang    clang, warnings as errors, into build/release-clang (CI)
set -euo pipefail
cd "$(dirname "$0")"
compiler=gcc
werror=OFF
for arg in "$@"; do
  case "$arg" in
    --clang) compiler=clang; werror=ON ;;
    --werror) werror=ON ;;
    *) echo "usage: ./build.sh [--werror] [--clang]" >&2; exit 2 ;;
  esac
done
tools/deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ "$compiler" = clang ]; then
  CC=clang CXX=clang++ cmake -S . -B build/release-clang -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF \
    -DKAVRO_WERROR=ON "${launcher[@]}"
  cmake --build build/release-clang
else
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF -DKAVRO_WERROR="$werror" \
    "${launcher[@]}"
  cmake --build build/release
fi
