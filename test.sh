#!/usr/bin/env bash
# Installs what is missing, builds, runs the fuzzers for a bounded time and
# every test headless. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=${TOMBOLIX_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)"

fuzz_status=0
./scripts/run-fuzzers.sh || fuzz_status=$?

export QT_QPA_PLATFORM=offscreen
test_status=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" || test_status=$?

if [ "$fuzz_status" -ne 0 ]; then
    echo "The fuzzers found a problem (see above)."
    exit "$fuzz_status"
fi
exit "$test_status"
