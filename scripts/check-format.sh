#!/usr/bin/env bash
# Fails when a C++ file of the repository is not formatted as .clang-format
# says. Fix with: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' '*.h.in' | xargs -0 clang-format --dry-run --Werror
