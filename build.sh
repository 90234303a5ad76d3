#!/usr/bin/env bash
# Release build into build/release.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF
cmake --build build/release
