#!/usr/bin/env bash
# Builds the benchmarks (with the peer libraries they compare against) and runs them.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh rapidjson-dev libsimdjson-dev libzip-dev libcurl4-openssl-dev libcairo2-dev
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF -DKAVRO_BENCH=ON
cmake --build build/bench
for b in build/bench/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
