#!/usr/bin/env bash
# Starts Colloqua on a virtual screen with a tray host (trayer), logged on as ANA, right-clicks
# its tray icon and saves a picture of the menu with its banner.
# Usage: scripts/tray-screenshot.sh [OUTPUT.png]   (default docs/screenshots/tray-menu.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots/tray-menu.png}
app=build/src/app/colloqua

scripts/install-deps.sh
[ -x "$app" ] || bash scripts/build.sh build

source scripts/lib/xsession.sh
xsession_work tray-screenshot

xsession_screen "$work/" 480x360 || exit 1
# No session bus: the icon is embedded the XEmbed way, as trayer expects.
xsession_environment "$work/run"
export HOME="$work"
xsession_tray "$work/" 40

# A station logged on as ANA; the network stays on loopback.
home="$work/home"
mkdir -p "$home/Dados"
printf '%s\r\n' '[SETUP]' 'DEFAULT_USER=ANA' 'DEFAULT_CHANNEL=NETWORK' 'DEFAULT_STATUS=ON' 'EXIBIR_JANELA=0' \
    '[REDE]' 'ENDERECO=127.0.0.2' 'PORTA=45999' 'DIFUSAO=127.255.255.255:45999' >"$home/colloqua.ini"
"$app" --home "$home" --computer estacao1 >"$work/colloqua.log" 2>&1 &
xsession_track $!

# Right-click the icon until the menu shows (the icon does not listen while the start-up
# checks run). Both are windows of the program: the icon small, the menu tall.
window_of() { xdotool search --onlyvisible --class colloqua 2>/dev/null | while read -r w; do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ "$1" = icon ] && [ "$HEIGHT" -le 64 ] && [ "$WIDTH" -le 64 ]; then echo "$w"; fi
    if [ "$1" = menu ] && [ "$HEIGHT" -gt 150 ] && [ "$WIDTH" -lt 400 ]; then echo "$w"; fi
    done | head -n 1; }
shown=
for _ in $(seq 40); do
    sleep 0.5
    icon=$(window_of icon || true)
    [ -n "$icon" ] || continue
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
    sleep 0.7
    shown=$(window_of menu || true)
    [ -n "$shown" ] && break
done
if [ -z "$shown" ]; then
    echo "tray-screenshot: the tray menu did not appear" >&2
    cat "$work/colloqua.log" >&2
    exit 1
fi
# Away from the entries, so none is highlighted.
xdotool mousemove 5 $((360 - 5))
sleep 0.5
mkdir -p "$(dirname "$out")"
import -window root "$work/screen.png"
# The panel and the menu, on the black of the empty screen: cut that away, then a margin.
convert "$work/screen.png" -trim +repage -bordercolor '#202020' -border 12 "$out"
echo "saved $out"
