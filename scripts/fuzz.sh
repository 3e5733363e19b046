#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and runs each for a fixed
# number of executions from its seed corpus. Fails when a target crashes, hangs or breaks a rule.
# Usage: scripts/fuzz.sh [--runs N] [--quick] [TARGET...]
#   --quick   20000 executions per target (CI); default 200000.
# Findings are written to build-fuzz/findings/<target>/; keep each as a regression input in
# tests/data/fuzz-regressions/<target>/ once the reader is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=200000
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs="$2"; shift ;;
        --quick) runs=20000 ;;
        *) targets+=("$1") ;;
    esac
    shift
done
all=(netbiosdatagram datagramlines parseframe profilefile usertreefile historyfile)
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

# Longest input per target: a UDP payload; a datagram's text; a frame line; settings,
# tree and history files big enough for deep nesting and many records.
max_len_for() {
    case "$1" in
        netbiosdatagram) echo 65507 ;;
        datagramlines) echo 8192 ;;
        parseframe) echo 4096 ;;
        *) echo 16384 ;;
    esac
}

dir=build-fuzz
extra=()
if command -v ccache >/dev/null; then
    extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCOLLOQUA_FUZZ=ON -DCOLLOQUA_BUILD_TESTS=OFF -DCOLLOQUA_BUILD_BENCH=OFF "${extra[@]}" >/dev/null
cmake --build "$dir" --target colloqua_fuzz -j "$(( $(nproc) < 2 ? $(nproc) : 2 ))"

# The file readers write each input to one scratch file; memory-backed storage keeps that cheap.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for t in "${targets[@]}"; do
    work="$dir/corpus/$t"
    findings="$dir/findings/$t"
    # The seeds stay untouched; what the fuzzer learns goes to a work corpus in the build tree.
    mkdir -p "$work" "$findings"
    log="$dir/fuzz_$t.log"
    echo "== $t: $runs runs"
    start=$(date +%s)
    if "$dir/fuzz/fuzz_$t" -runs="$runs" -max_len="$(max_len_for "$t")" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
        rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
        echo "   ok in $(( $(date +%s) - start )) s, ${rate:-?} exec/s"
    else
        echo "   FAILED (see $log; input in $findings/)"
        tail -n 30 "$log"
        failed+=("$t")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz targets failed: ${failed[*]}"
    exit 1
fi
