#!/usr/bin/env bash
# The Windows check: the libraries (cached), the build, the tests under Wine
# and the packages, installed, run and removed under Wine; ends with a summary.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
summary=()
status=0
tests_log=${TMPDIR:-/tmp}/tombolix-wine-tests.log
rm -f "$tests_log"

step() {
    local name=$1
    shift
    local start=$SECONDS
    echo "== $name" >&2
    if "$@"; then
        summary+=("ok      $name ($((SECONDS - start)) s)")
    else
        summary+=("FAILED  $name ($((SECONDS - start)) s)")
        status=1
    fi
}

step "libraries (scripts/windows/deps.sh)" "$here/deps.sh"
step "build (scripts/windows/build.sh)" "$here/build.sh"
if [ $status -eq 0 ]; then
    # The tests' lines go to the terminal and to a log, whose last line is
    # the count; the step fails when any test failed.
    step "tests under Wine (scripts/windows/test.sh)" bash -c "set -o pipefail; '$here/test.sh' | tee '$tests_log'"
    step "packages (scripts/windows/package.sh)" "$here/package.sh"
    step "packages installed and run under Wine (scripts/windows/test-packages.sh)" "$here/test-packages.sh"
fi

echo
echo "Windows check:"
printf '  %s\n' "${summary[@]}"
[ -f "$tests_log" ] && echo "  tests: $(tail -1 "$tests_log")"
exit $status
