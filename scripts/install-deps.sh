#!/usr/bin/env bash
# Installs the Debian 12 packages Colloqua needs to build, run and test. Safe to run again:
# only missing packages are installed.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev libgl-dev libqt6opengl6-dev libxcb1-dev
    qt6-qpa-plugins
    tshark xvfb xauth dbus dbus-x11 libglib2.0-bin iproute2 util-linux
    trayer lxqt-panel xdotool imagemagick x11-utils openbox
    clang libclang-rt-14-dev clang-format
    dpkg-dev file desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
