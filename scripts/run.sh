#!/usr/bin/env bash
# Installs what is missing, builds, and starts Colloqua. Arguments go to the program
# (for example --home DIR --computer NAME).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/src/app/colloqua "$@"
