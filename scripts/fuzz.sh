#!/usr/bin/env bash
# Builds and runs every libFuzzer target (tests/fuzz/*_fuzz.cpp) for SECONDS each.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS
#
# Built natively with clang (-fsanitize=fuzzer,address,undefined) in BUILD_DIR/fuzz. Each
# target keeps its growing corpus in BUILD_DIR/fuzz/corpus/NAME and also reads the seeds in
# tests/fuzz/corpus/NAME when that folder exists; crashes land in BUILD_DIR/fuzz/artifacts.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?usage: fuzz.sh BUILD_DIR SECONDS}
seconds=${2:?usage: fuzz.sh BUILD_DIR SECONDS}
cd "$root"

sources=(tests/fuzz/*_fuzz.cpp)
dir=$build/fuzz
if [[ ! -f $dir/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTW_FUZZ=ON -DTW_SANITIZE=ON || { rm -f "$dir/build.ninja"; exit 1; }
fi
cmake --build "$dir" -j "${JOBS:-2}"

failed=()
for src in "${sources[@]}"; do
    name=$(basename "$src" .cpp)
    corpus=$dir/corpus/$name
    mkdir -p "$corpus" "$dir/artifacts"
    seeds=()
    [[ -d tests/fuzz/corpus/$name ]] && seeds=("tests/fuzz/corpus/$name")
    echo "fuzz: $name for ${seconds}s"
    if ! "$dir/tests/fuzz/$name" -max_total_time="$seconds" -print_final_stats=0 \
            -artifact_prefix="$dir/artifacts/$name-" "$corpus" "${seeds[@]}" >"$dir/$name.log" 2>&1; then
        tail -n 40 "$dir/$name.log"
        failed+=("$name")
    fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzz: FAILED: ${failed[*]} (inputs in $dir/artifacts)"
    exit 1
fi
echo "fuzz: ${#sources[@]} target(s) ran ${seconds}s each without a finding"
