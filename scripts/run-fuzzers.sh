#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time over a
# copy of its seed corpus. Skipped (successfully) when clang is not present.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${TOMBOLIX_FUZZ_SECONDS:-30}
if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ not found: fuzzers skipped"
    exit 0
fi

build=${TOMBOLIX_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in csv xlsx xls markup records verify; do
    mkdir -p "$work/$target"
    cp -r fuzz/corpus/"$target"/. "$work/$target"/ 2>/dev/null || true
    echo "fuzz_$target: ${seconds}s"
    if ! "$build/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$target-" "$work/$target" >"$work/$target.log" 2>&1; then
        echo "fuzz_$target found a problem:"
        tail -n 40 "$work/$target.log"
        mkdir -p fuzz-artifacts
        cp "$work/$target"-* fuzz-artifacts/ 2>/dev/null || true
        status=1
    else
        grep -E '^#[0-9]+.*DONE' "$work/$target.log" | tail -n 1 || true
    fi
done
exit $status
