#!/usr/bin/env bash
# Installs what is missing, builds, checks the format of every C++ file and
# the shape of src/ (no circle between folders, no SQL in a window), runs
# the fuzzers for a bounded time, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the whole suite in the Release build. Exits
# non-zero on any failure.
#   TOMBOLIX_QUICK=1   skips the fuzzers and the sanitizer build
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=${TOMBOLIX_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)"

extra_status=0
./scripts/check-format.sh || extra_status=$?
python3 ./scripts/check-layout.py || extra_status=$?
if [ -z "${TOMBOLIX_QUICK:-}" ]; then
    ./scripts/run-fuzzers.sh || extra_status=$?
    ./scripts/run-sanitized.sh || extra_status=$?
fi

export QT_QPA_PLATFORM=offscreen
test_status=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" || test_status=$?

if [ "$extra_status" -ne 0 ]; then
    echo "The format or layout check, the fuzzers or the sanitizer build found a problem (see above)."
    exit "$extra_status"
fi
exit "$test_status"
