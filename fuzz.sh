#!/usr/bin/env bash
# ./fuzz.sh TARGET SECONDS: builds the libFuzzer targets with clang and runs one.
set -euo pipefail
cd "$(dirname "$0")"
target=${1:?usage: ./fuzz.sh TARGET SECONDS}
secs=${2:-60}
tools/deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRO_TESTS=OFF -DKAVRO_FUZZ=ON
cmake --build build/fuzz --target "fuzz_${target}"
mkdir -p build/fuzz/corpus/"$target"
seeds=()
[ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
exec build/fuzz/fuzz/"fuzz_${target}" -max_total_time="$secs" build/fuzz/corpus/"$target" "${seeds[@]}"
