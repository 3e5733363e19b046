#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [--asan] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=OFF
dir=build
for arg in "$@"; do
    case "$arg" in
        --asan) sanitize=ON; dir=build-asan ;;
        *) dir="$arg" ;;
    esac
done

extra=()
if [ "$sanitize" = ON ]; then
    # clang's sanitizers; Qt's own code is not instrumented, which is fine for our checks.
    extra+=(-DCMAKE_CXX_COMPILER=clang++ -DCOLLOQUA_BUILD_BENCH=OFF)
fi
werror=OFF
[ -n "${CI:-}" ] && werror=ON
# Several checkouts of the tree share one compiler cache when ccache is installed.
if command -v ccache >/dev/null; then
    extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCOLLOQUA_SANITIZE="$sanitize" -DCOLLOQUA_WERROR="$werror" "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
