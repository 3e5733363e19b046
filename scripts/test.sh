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
run_tests=(ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600)
# Tests talk only to 127.0.0.0/8. Where we may (root), they run in a network namespace of
# their own with nothing but loopback, so no stray packet (a name lookup for a computer name
# that was never heard, say) can leave the machine.
if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null && command -v ip >/dev/null \
    && unshare --net true 2>/dev/null; then
    unshare --net bash -c 'ip link set lo up && exec "$@"' -- "${run_tests[@]}"
else
    "${run_tests[@]}"
fi
