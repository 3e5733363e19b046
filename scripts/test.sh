#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
# Usage: scripts/test.sh [--asan]   (--asan: AddressSanitizer + UndefinedBehaviorSanitizer build)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

dir=build
[ "${1:-}" = --asan ] && dir=build-asan
scripts/build.sh "$@"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600
