#!/usr/bin/env bash
# Formats every C++ file the repository tracks with the project's .clang-format.
# Usage: scripts/format.sh [--check]
#   --check  changes nothing; lists the files that differ and fails when there are any (CI).
# The rules are read by Debian 12's clang-format 14; another version formats some lines
# differently, so that one is used wherever it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

check=no
case "${1:-}" in
    --check) check=yes ;;
    "") ;;
    *) echo "format: unknown argument $1 (use --check or nothing)" >&2; exit 2 ;;
esac

tool=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$tool" ]; then
    scripts/install-deps.sh
    tool=$(command -v clang-format-14 || command -v clang-format)
fi

mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.h.in')
if [ "$check" = no ]; then
    "$tool" -i -- "${files[@]}"
    exit 0
fi

differ=()
for f in "${files[@]}"; do
    "$tool" --dry-run --Werror -- "$f" >/dev/null 2>&1 || differ+=("$f")
done
if [ ${#differ[@]} -gt 0 ]; then
    echo "format: ${#differ[@]} of ${#files[@]} files differ from .clang-format ($("$tool" --version | head -n 1)):" >&2
    printf '  %s\n' "${differ[@]}" >&2
    echo "format: run scripts/format.sh (or the build's format target) and commit the result" >&2
    exit 1
fi
echo "format: all ${#files[@]} files match .clang-format"
