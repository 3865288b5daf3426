#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer
# in a folder of its own and runs every test there; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TOMBOLIX_ASAN_BUILD_DIR:-build-asan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOMBOLIX_SANITIZE=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
log="$build/sanitized-run.log"
status=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 900 2>&1 | tee "$log" \
    || status=$?
[ "$status" -eq 0 ] && exit 0

# LeakSanitizer's own tracer now and then dies while it stops the threads at
# exit ("Tracer caught signal 11", "LeakSanitizer has encountered a fatal
# error"): that says nothing about our code. When every failed test failed
# that way, those tests run once more; any other failure stands.
failed=$(grep -c '^[0-9]*:' "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null || echo 0)
tracer=$(grep -c 'LeakSanitizer has encountered a fatal error' "$log" || true)
if [ "$failed" -gt 0 ] && [ "$failed" -eq "$tracer" ] \
    && ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer: detected)|runtime error:' "$log"; then
    echo "LeakSanitizer's tracer failed in $failed test(s); running them again"
    exec ctest --test-dir "$build" --output-on-failure --timeout 900 --rerun-failed
fi
exit "$status"
