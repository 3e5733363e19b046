#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ (RelWithDebInfo, the build type of scripts/build.sh and
# of the installed program; no tests) and runs them all, each figure beside its floor, then
# prints one summary table. Every benchmark's full output goes to build-bench/results/.
#
# Usage: scripts/bench.sh [--no-build] [--quick] [benchmark ...]
#   --no-build  run what build-bench/ holds
#   --quick     smaller runs (storm up to 1000 stations, 10 messages, shorter transport runs)
#   benchmark   only these, e.g. "presence messagewindow" (default: all)
#
# Where the stations' homes go: the benchmarks make their homes with QTemporaryDir, so TMPDIR
# decides. The presence storm writes and flushes the tree file (fsync), so it is run twice: with
# TMPDIR on the disk (build-bench/tmp, what a user's home meets) and on /dev/shm (memory, no
# flush cost). The other benchmarks run with TMPDIR on the disk.
set -euo pipefail
cd "$(dirname "$0")/.."

dir="build-bench"
build=1
quick=0
only=()
for arg in "$@"; do
    case "$arg" in
        --no-build) build=0 ;;
        --quick) quick=1 ;;
        -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
        *) only+=("$arg") ;;
    esac
done

if [ "$build" = 1 ]; then
    extra=()
    if command -v ccache >/dev/null; then
        extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    fi
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOLLOQUA_BUILD_TESTS=OFF \
        -DCOLLOQUA_SANITIZE=OFF -DCOLLOQUA_WERROR=OFF "${extra[@]}" >/dev/null
    targets=()
    for src in bench/bench_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
    cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
fi

results="$dir/results"
disk_tmp="$PWD/$dir/tmp"
mkdir -p "$results" "$disk_tmp"
rm -f "$results"/*.txt
summary="$results/summary.txt"

wanted() {
    [ ${#only[@]} -eq 0 ] && return 0
    local name
    for name in "${only[@]}"; do [ "$name" = "$1" ] && return 0; done
    return 1
}

# run NAME LABEL TMPDIR ARGS...: one benchmark, its output kept and shown.
run() {
    local name=$1 label=$2 tmp=$3
    shift 3
    wanted "$name" || return 0
    local out="$results/$name-$label.txt"
    echo "== bench_$name ($label, TMPDIR=$tmp) load: $(cut -d' ' -f1-3 /proc/loadavg)" | tee "$out"
    local start=$SECONDS status=0
    TMPDIR="$tmp" "$dir/bench/bench_$name" "$@" >>"$out" 2>&1 || status=$?
    # The offscreen platform's remarks are noise here.
    grep -v -e '^summary|' -e 'does not support raise()' -e 'XDG_RUNTIME_DIR not set' "$out" | tail -n +2
    echo "   (exit $status, $((SECONDS - start)) s, load after: $(cut -d' ' -f1-3 /proc/loadavg))"
    echo
    grep '^summary|' "$out" >>"$summary" || true
    [ "$status" = 0 ] || echo "summary|$name|FAILED (exit $status), see $out|-|-|-" >>"$summary"
}

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores," \
    "$(free -g | awk '/^Mem:/ {print $2}') GiB RAM, kernel $(uname -r), Debian $(cat /etc/debian_version)," \
    "Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo '?'), RelWithDebInfo"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

if [ "$quick" = 1 ]; then
    storm=(100 500 1000); messages=(10); transport=(2000 50); records=(1000 9999)
else
    storm=(1000 3000 10000); messages=(20); transport=(10000 200); records=(1000 9999)
fi
: >"$summary"
run presence disk "$disk_tmp" "${storm[@]}"
run presence shm /dev/shm "${storm[@]}"
run messagewindow disk "$disk_tmp" "${messages[@]}"
run historywindow disk "$disk_tmp" "${records[@]}"
run transport disk "$disk_tmp" "${transport[@]}"
run historyfiles disk "$disk_tmp"
run settings disk "$disk_tmp"
run udpmailslotbackend disk "$disk_tmp"

echo "== summary (load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
{
    echo "benchmark|figure|measured|floor|ratio"
    cut -d'|' -f2- "$summary"
} | column -t -s'|'
echo
echo "Benchmarks without a floor (historyfiles, settings, udpmailslotbackend) print their figures above;"
echo "full outputs: $results/"
