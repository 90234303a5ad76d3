#!/usr/bin/env bash
# Builds the benchmarks (with the peer libraries they compare against), runs them, and ends with one
# summary table of the lines they report through bench/Ratio.h (see bench/README.md).
# --quick: each row once, briefly, for a look on a busy machine (the figures are rougher).
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh rapidjson-dev libsimdjson-dev libzip-dev libcurl4-openssl-dev libcairo2-dev libspng-dev libagg-dev
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF -DKAVRO_BENCH=ON
cmake --build build/bench
out=$(mktemp)
summary=$(mktemp)
trap 'rm -f "$out" "$summary"' EXIT
for b in build/bench/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@" | tee "$out"
  grep '^RATIO|' "$out" | sed "s/^RATIO|/$(basename "$b")|/" >>"$summary" || true
done
echo
echo "== Summary: ratio = ours / peer, higher is better (best of repeated runs); load = 1-minute load / CPUs"
printf '%-50s %-14s %-28s %6s %6s  %-9s %s\n' "hot path" "ours" "peer" "ratio" "goal" "met" "load"
awk -F'|' '
  $6 == "-" { printf "%-50s %-14s %-28s %6s %6s  %-9s %s\n", $2, $3, $4, $5, $6, "(no goal)", $7; next }
  { met = ($5 + 0 >= $6 + 0) ? "yes" : "NO"; if (met == "yes") ok++; n++
    printf "%-50s %-14s %-28s %6s %6s  %-9s %s\n", $2, $3, $4, $5, $6, met, $7 }
  END { printf "%d of %d goals met\n", ok, n }
' "$summary"
