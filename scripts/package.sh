#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it would install.
# Usage: scripts/package.sh [BUILD_DIR]   (default build; configured and built when missing)
# The package lands in BUILD_DIR as colloqua_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-build}
app_id=org.colloqua.Colloqua

fail() {
    echo "package.sh: FAILED: $*" >&2
    exit 1
}

scripts/install-deps.sh
[ -f "$dir/CMakeCache.txt" ] || scripts/build.sh "$dir"
# The autostart entry belongs in /etc/xdg, which GNUInstallDirs only gives for the /usr prefix.
cmake -DCMAKE_INSTALL_PREFIX=/usr "$dir" >/dev/null
cmake --build "$dir" -j "$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $dir/CMakeCache.txt"

rm -f "$dir"/colloqua_*.deb
(cd "$dir" && cpack -G DEB) >"$dir/cpack.log" 2>&1 || { cat "$dir/cpack.log" >&2; fail "cpack could not build the package (log above)"; }
debs=("$dir"/colloqua_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one colloqua_${version}_*.deb in $dir, found: ${debs[*]}"
deb=${debs[0]}
echo "== $deb ($(du -k "$deb" | cut -f1) KiB)"

# --- control data
info=$(dpkg-deb -I "$deb") || fail "dpkg-deb cannot read $deb"
echo "$info"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = colloqua ] || fail "package name is '$(field Package)', not colloqua"
[ "$(field Version)" = "$version" ] || fail "package version is '$(field Version)', the project is $version"
[ "$(field Section)" = net ] || fail "section is '$(field Section)', not net"
[ -n "$(field Maintainer)" ] || fail "no Maintainer line"
depends=$(field Depends)
for dep in libc6 libqt6core6 libqt6widgets6 libqt6network6 qt6-qpa-plugins; do
    grep -Eq "(^|[ ,])$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep (dpkg-shlibdeps did not run?): $depends"
done
dpkg-deb -I "$deb" conffiles 2>/dev/null | grep -qx "/etc/xdg/autostart/$app_id.desktop" \
    || fail "the autostart entry is not a conffile (an upgrade would bring back a deleted one)"

# --- contents: exactly these files, nothing from the tests, benchmarks or fuzz targets
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root" || fail "dpkg -x cannot unpack $deb"

icons=usr/share/icons/hicolor
expected=(
    usr/bin/colloqua
    usr/bin/colloqua-cli
    usr/share/colloqua/help/index.html
    usr/share/colloqua/help/Colloqua-Future.htm
    usr/share/colloqua/help/Colloqua-RevisionHist.htm
    usr/share/colloqua/help/Colloqua-RevisionHist-DEVELOPERS.htm
    usr/share/applications/$app_id.desktop
    usr/share/metainfo/$app_id.metainfo.xml
    etc/xdg/autostart/$app_id.desktop
    usr/share/doc/colloqua/copyright
    $icons/scalable/apps/$app_id.svg
)
png_sizes=(16 22 24 32 48 64 128 256)
for size in "${png_sizes[@]}"; do
    expected+=("$icons/${size}x${size}/apps/$app_id.png")
done
for status in online away busy invisible offline; do
    expected+=("$icons/scalable/status/$app_id-$status.svg" "$icons/scalable/status/$app_id-$status-message.svg")
done
# Every page of the manual folder is shipped, whatever else it holds.
for page in docs/manual/*; do
    expected+=("usr/share/colloqua/help/$(basename "$page")")
done

missing=()
for f in "${expected[@]}"; do
    [ -f "$root/$f" ] || missing+=("$f")
done
[ ${#missing[@]} -eq 0 ] || fail "missing from the package: ${missing[*]}"
unexpected=$(cd "$root" && find . -type f -printf '%P\n' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort -u))
[ -z "$unexpected" ] || fail "files nobody asked for in the package: $unexpected"
echo "== contents: ${#expected[@]} paths, all in place"

for bin in colloqua colloqua-cli; do
    [ -x "$root/usr/bin/$bin" ] || fail "usr/bin/$bin is not executable"
    file -b "$root/usr/bin/$bin" | grep -q ', stripped' || fail "usr/bin/$bin is not stripped"
done
for size in "${png_sizes[@]}"; do
    png="$icons/${size}x${size}/apps/$app_id.png"
    file -b "$root/$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a ${size}x${size} PNG: $(file -b "$root/$png")"
done

# --- the desktop's view of it
for entry in usr/share/applications/$app_id.desktop etc/xdg/autostart/$app_id.desktop; do
    out=$(desktop-file-validate "$root/$entry" 2>&1) || fail "desktop-file-validate rejects $entry: $out"
    [ -z "$out" ] || fail "desktop-file-validate complains about $entry: $out"
done
echo "== desktop-file-validate: both entries clean"
appstreamcli validate-tree --no-net --pedantic "$root" \
    || fail "appstreamcli rejects the metainfo"

# --- the programs run from where the package puts them (stripping keeps the version block)
printed=$("$root/usr/bin/colloqua-cli" version "$root/usr/bin/colloqua") || fail "colloqua-cli version failed: $printed"
echo "$printed"
grep -q "$version" <<<"$printed" || fail "colloqua-cli version does not print $version for usr/bin/colloqua"
printed=$("$root/usr/bin/colloqua-cli" version) || fail "colloqua-cli version (itself) failed: $printed"
grep -q "$version" <<<"$printed" || fail "colloqua-cli version does not print $version for itself"

# --- apt could install it here: every dependency resolves (a simulation changes nothing)
apt-get install --simulate --no-install-recommends "$(realpath "$deb")" >"$dir/apt-simulate.log" 2>&1 \
    || { cat "$dir/apt-simulate.log" >&2; fail "apt cannot resolve the package's dependencies"; }

echo "== package OK: $deb"
