#!/usr/bin/env bash
# End-to-end check: two real stations, each on a virtual screen of its own with a window manager
# and a tray, used by mouse and keyboard as a person would: log on as ANA and BRUNO through the
# tray menu, see each other, ANA sends BRUNO a message, ANA goes away, both leave through the tray.
# The network stays on loopback.
# Usage: scripts/e2e.sh [--no-screenshots] [SCREENSHOT_DIR]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."

shots=docs/screenshots
for arg in "$@"; do
    case "$arg" in
        --no-screenshots) shots= ;;
        -*) echo "usage: scripts/e2e.sh [--no-screenshots] [SCREENSHOT_DIR]" >&2; exit 2 ;;
        *) shots=$arg ;;
    esac
done

app=build/src/app/colloqua
cli=build/src/cli/colloqua-cli
scripts/install-deps.sh
[ -x "$app" ] && [ -x "$cli" ] || bash scripts/build.sh build

# Seconds a step may wait for its condition; it only matters when something is wrong.
patience=90
started=$SECONDS
work=$(mktemp -d)
pids=()
cleanup() {
    local i
    # Last started first: the stations before their trays, window managers and screens.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[$i]}" 2>/dev/null || true; done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[$i]}" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step="start-up"
say() { printf 'e2e [%3ds] %s\n' $((SECONDS - started)) "$*"; }
begin() { step=$1; say "$step"; }

# Names the step, shows what each station wrote and keeps a picture of both screens.
fail() {
    echo "e2e: FAILED at step \"$step\": $*" >&2
    local s
    for s in ANA BRUNO; do
        if [ -n "${pid[$s]:-}" ] && ! kill -0 "${pid[$s]}" 2>/dev/null; then
            local code=0
            wait "${pid[$s]}" || code=$?
            echo "----- $s: the program has ended with code $code" >&2
        fi
        echo "----- $s: log" >&2
        cat "$work/$s.log" >&2 2>/dev/null || true
        echo "----- $s: visible windows" >&2
        on "$s" xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do
            echo "$w $(on "$s" xdotool getwindowname "$w" 2>/dev/null)"
        done >&2 || true
        mkdir -p build/e2e-failure
        on "$s" import -window root "build/e2e-failure/$s.png" 2>/dev/null || true
    done
    echo "e2e: screens saved in build/e2e-failure/" >&2
    exit 1
}

# Runs `check` until it succeeds, for at most `patience` seconds.
wait_for() {
    local what=$1
    shift
    local deadline=$((SECONDS + patience))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || fail "$what (waited ${patience}s)"
        sleep 0.3
    done
}

# A UDP port nobody listens on, for this run only.
port=$((40000 + RANDOM % 20000))
while ss -Huln "sport = :$port" | grep -q .; do port=$((40000 + RANDOM % 20000)); done
base=$((20 + RANDOM % 200))

declare -A display address pid home
computer_of() { echo "pc-$(echo "$1" | tr 'A-Z' 'a-z')"; }
on() { local s=$1; shift; DISPLAY=${display[$s]} "$@"; }

unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

# One screen per station: every window on a screen belongs to its station. Xvfb picks a free
# display number itself and writes it once it accepts clients.
screen_width=1024
screen_answers() { on "$1" xdpyinfo >/dev/null 2>&1; }
n=0
for s in ANA BRUNO; do
    address[$s]=127.0.0.$((base + n))
    n=$((n + 1))
    Xvfb -displayfd 3 -screen 0 "${screen_width}x768x24" -nolisten tcp 3>"$work/$s-display" >"$work/$s-xvfb.log" 2>&1 &
    pids+=($!)
done
for s in ANA BRUNO; do
    wait_for "the virtual screen of $s starts" test -s "$work/$s-display"
    display[$s]=:$(tr -dc 0-9 <"$work/$s-display")
    wait_for "the virtual screen ${display[$s]} answers" screen_answers "$s"
    HOME="$work/$s-wm" on "$s" openbox --sm-disable >"$work/$s-wm.log" 2>&1 &
    pids+=($!)
    on "$s" trayer --edge top --align right --widthtype pixel --width 60 --heighttype pixel --height 32 \
        --transparent false --tint 0x3c3c3c --SetDockType true >"$work/$s-trayer.log" 2>&1 &
    pids+=($!)
done
wm_running() { on "$1" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for s in ANA BRUNO; do wait_for "the window manager runs on ${display[$s]}" wm_running "$s"; done

# ---- helpers that look at a station's screen

# Sets X, Y, WIDTH and HEIGHT to the window's inside on the screen (xdotool's own answer is
# off by the title bar under a window manager).
geometry_of() {
    local info
    info=$(on "$1" xwininfo -id "$2" 2>/dev/null) || return 1
    X=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$info")
    Y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$info")
    WIDTH=$(awk '/^ *Width:/ { print $2 }' <<<"$info")
    HEIGHT=$(awk '/^ *Height:/ { print $2 }' <<<"$info")
    [ -n "$X" ] && [ -n "$HEIGHT" ]
}
# Visible windows of the program with their geometry: "id x y width height" per line.
windows_of() {
    on "$1" xdotool search --onlyvisible --class colloqua 2>/dev/null | while read -r w; do
        geometry_of "$1" "$w" || continue
        echo "$w $X $Y $WIDTH $HEIGHT"
    done || true
}
tray_icon_of() { windows_of "$1" | awk '$4 <= 64 && $5 <= 64 { print $1; exit }'; }
tray_menu_of() { windows_of "$1" | awk '$5 > 150 && $4 < 400 && $5 < 700 { print $1; exit }'; }
# Windows may vanish while xdotool looks at them; the lookups then find nothing this time.
# The visible window of the station whose whole title matches the regular expression.
window_named() {
    on "$1" xdotool search --onlyvisible --pid "${pid[$1]}" --name "^$2\$" 2>/dev/null | head -n 1 || true
}
is_set() { [ -n "$("$@")" ]; }
not() { ! "$@"; }

# The window with its frame, cut out of the screen.
grab() {
    local s=$1 w=$2 out=$3 left=0 right=0 top=0 bottom=0
    geometry_of "$s" "$w" || return 1
    local extents
    extents=$(on "$s" xprop -id "$w" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
    [ -n "$extents" ] && IFS=, read -r left right top bottom <<<"$extents"
    on "$s" import -window root "$work/root.png"
    convert "$work/root.png" -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" \
        +repage -strip "$out"
}
# Saves a picture of the window under the screenshots directory, when pictures are wanted.
shoot() {
    [ -n "$shots" ] || return 0
    mkdir -p "$shots"
    grab "$1" "$2" "$shots/$3.png" || fail "no picture of the window $2 for $3"
    say "  saved $shots/$3.png"
}

# The open menus of the station together (the windows the window manager leaves alone), out to
# the tray in the screen's top right corner.
shoot_menus() {
    [ -n "$shots" ] || return 0
    local box
    box=$(windows_of "$1" | while read -r w rest; do
        on "$1" xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && echo "$w $rest" || true
    done | awk -v width="$screen_width" '$5 > 40 { if (!n++ || $2 < l) l = $2; if ($3 + $5 > b) b = $3 + $5 }
        END { if (n) printf "%dx%d+%d+0", width - l + 4, b + 8, l - 4 }')
    [ -n "$box" ] || fail "no open menu to picture for $2"
    on "$1" import -window root "$work/root.png"
    mkdir -p "$shots"
    convert "$work/root.png" -crop "$box" +repage -strip "$shots/$2.png"
    say "  saved $shots/$2.png"
}

# Pixels of `colour` (give or take a little) in a picture.
count_colour() {
    convert "$1" -alpha off -fuzz 6% -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)]' info:
}
online_colour='#2fb457' away_colour='#f5a524'

# The list of the communicator: its part below the menu bar and the header, which shows the
# station's own status. Leaves the window's geometry in X, Y, WIDTH and HEIGHT.
list_top=72
tree_picture() {
    local s=$1 out=$2 w
    w=$(window_named "$s" Comunicador)
    [ -n "$w" ] && geometry_of "$s" "$w" || return 1
    on "$s" import -window root "$work/root.png" 2>/dev/null || return 1
    convert "$work/root.png" -crop "${WIDTH}x$((HEIGHT - list_top))+$X+$((Y + list_top))" +repage "$out"
}
# A status icon in the list is a disc of some 130 pixels.
tree_has() {
    tree_picture "$1" "$work/tree.png" || return 1
    [ "$(count_colour "$work/tree.png" "$2")" -ge 40 ]
}
tree_lacks() {
    local s=$1 colour
    shift
    tree_picture "$s" "$work/tree.png" || return 1
    for colour in "$@"; do
        [ "$(count_colour "$work/tree.png" "$colour")" -lt 10 ] || return 1
    done
}

# ---- helpers that act as the user

# Right-clicks the tray icon until the menu shows (the icon does not listen while the start-up
# checks run); prints the menu's window.
open_tray_menu() {
    local s=$1 icon menu
    icon=$(tray_icon_of "$s")
    [ -n "$icon" ] || return 1
    geometry_of "$s" "$icon" || return 1
    on "$s" xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
    for _ in $(seq 10); do
        sleep 0.2
        menu=$(tray_menu_of "$s")
        [ -n "$menu" ] && break
    done
    [ -n "$menu" ] || return 1
    echo "$menu"
}
tray_menu() {
    local s=$1 deadline=$((SECONDS + patience))
    until menu=$(open_tray_menu "$s"); do
        [ $SECONDS -lt $deadline ] || fail "the tray menu of $s did not appear"
        on "$s" xdotool key Escape 2>/dev/null || true
    done
}
# Keys into the open menu (it holds the keyboard), e.g. "Down Return".
pick() { local s=$1; shift; on "$s" xdotool key --delay 120 "$@"; }
menu_closed() { [ -z "$(tray_menu_of "$1")" ]; }

activate() {
    on "$1" xdotool windowactivate --sync "$2" 2>/dev/null || on "$1" xdotool windowfocus --sync "$2"
    sleep 0.2
}
has_focus() { [ "$(on "$1" xdotool getactivewindow 2>/dev/null)" = "$2" ]; }

# Tray menu entries, top to bottom: " Comunicador", " Estado Atual" > (Usuário >, Inserir
# Usuário, CONECTADO, AUSENTE, OCUPADO, INVISÍVEL, DESCONECTADO), " Manual", " Créditos",
# " Fechar Aplicativo". The keyboard walks them from either end.
communicator_entry="Down Return"
away_entry="Down Down Right Down Down Down Return"
credits_entry="Up Up Return"
close_entry="Up Return"

who_lists() {
    "$cli" who --channel CANAL --computer pc-observador --address "127.0.0.$((base + 2))" --port "$port" \
        --broadcast "127.255.255.255:$port" --timeout 1.5 2>/dev/null | grep -qx "$1"
}

# ---- 1. two stations, logged off
begin "1. start two stations, logged off"
for s in ANA BRUNO; do
    home[$s]="$work/$s"
    mkdir -p "${home[$s]}/Dados"
    # No default user: the station starts logged off. The communicator opens only when asked.
    printf '%s\r\n' '[SETUP]' 'DEFAULT_STATUS=OF' 'EXIBIR_JANELA=0' '[RECEBER]' 'EMITIR_SOM=0' \
        '[ENVIAR]' 'EMITIR_SOM=0' '[REDE]' "ENDERECO=${address[$s]}" "PORTA=$port" \
        "DIFUSAO=127.255.255.255:$port" >"${home[$s]}/colloqua.ini"
    HOME="${home[$s]}" on "$s" "$app" --home "${home[$s]}" --computer "$(computer_of "$s")" \
        >"$work/$s.log" 2>&1 &
    pid[$s]=$!
    pids+=("${pid[$s]}")
done
for s in ANA BRUNO; do wait_for "the tray icon of $s appears" is_set tray_icon_of "$s"; done
who_lists_nobody() { ! "$cli" who --channel CANAL --computer pc-observador --address "127.0.0.$((base + 2))" \
    --port "$port" --broadcast "127.255.255.255:$port" --timeout 1.5 2>/dev/null | grep -q .; }
who_lists_nobody || fail "a station logged on by itself"

# ---- 2. log on through the tray menu and the logon dialog
begin "2. log on as ANA and BRUNO on channel CANAL"
for s in ANA BRUNO; do
    tray_menu "$s"
    [ "$s" = ANA ] && shoot ANA "$menu" e2e-tray-menu
    pick "$s" $communicator_entry
    wait_for "the logon dialog of $s appears" is_set window_named "$s" Colloqua
    logon=$(window_named "$s" Colloqua)
    activate "$s" "$logon"
    # The user field has the focus, the channel holds the last one: back to the channel,
    # type over it; Enter moves to the user field, Enter again logs on.
    on "$s" xdotool key shift+Tab ctrl+a
    on "$s" xdotool type --delay 60 CANAL
    on "$s" xdotool key Return ctrl+a
    on "$s" xdotool type --delay 60 "$s"
    [ "$s" = ANA ] && shoot ANA "$logon" e2e-logon
    on "$s" xdotool key Return
    wait_for "the logon dialog of $s closes" not is_set window_named "$s" Colloqua
done
for s in ANA BRUNO; do wait_for "$s is on the network" who_lists "$s ($(computer_of "$s")) ON"; done

# ---- 3. each sees the other in the communicator, opened from the tray
begin "3. each sees the other in the communicator"
tree_file_lists() { grep -qx "$2" <(tr -d '\r' <"${home[$1]}/Dados/ArvUsuarios.tv" 2>/dev/null); }
for s in ANA BRUNO; do
    tray_menu "$s"
    pick "$s" $communicator_entry
    wait_for "the communicator of $s opens" is_set window_named "$s" Comunicador
done
wait_for "ANA has BRUNO in her list" tree_file_lists ANA "BRUNO (pc-bruno)"
wait_for "BRUNO has ANA in his list" tree_file_lists BRUNO "ANA (pc-ana)"
wait_for "ANA's communicator shows BRUNO online" tree_has ANA "$online_colour"
wait_for "BRUNO's communicator shows ANA online" tree_has BRUNO "$online_colour"
shoot ANA "$(window_named ANA Comunicador)" e2e-communicator

# ---- 4. ANA writes to BRUNO: double-click on him in the list, type, Shift+Enter
begin "4. ANA sends a message to BRUNO"
text="Bom dia, Bruno! A reuniao de hoje passou para as 15h, na sala 2."
com=$(window_named ANA Comunicador)
activate ANA "$com"
tree_picture ANA "$work/tree.png" || fail "no picture of ANA's communicator"
# The peer's status icon: the green spot of the list; the double-click lands on his name.
spot=$(convert "$work/tree.png" -alpha off -fuzz 6% -fill black +opaque "$online_colour" -fill white \
    -opaque "$online_colour" -trim -format '%w %h %X %Y' info:)
read -r spot_w spot_h spot_x spot_y <<<"${spot//+/}"
on ANA xdotool mousemove $((X + spot_x + spot_w + 20)) $((Y + list_top + spot_y + spot_h / 2)) \
    click --repeat 2 --delay 80 1
send_window() { window_named ANA 'de: ANA \(pc-ana\)'; }
wait_for "ANA's send window opens" is_set send_window
send=$(send_window)
activate ANA "$send"
wait_for "ANA's send window has the focus" has_focus ANA "$send"
on ANA xdotool type --delay 30 "$text"
sleep 0.3
shoot ANA "$send" e2e-send
on ANA xdotool key shift+Return
# The history files hold the letters scrambled; the command-line companion reads them.
history_has() { "$cli" history "${home[$1]}/Dados/$2" 2>/dev/null | grep -qF "$text"; }
wait_for "the message is in ANA's sent history" history_has ANA hist_send.dbt

# ---- 5. it arrives: BRUNO's history window appears with it
begin "5. BRUNO receives the message"
history_window() { window_named BRUNO "Histórico de Mensagens"; }
wait_for "BRUNO's history window appears" is_set history_window
wait_for "the message is in BRUNO's received history" history_has BRUNO hist_recv.dbt
sleep 0.5
shoot BRUNO "$(history_window)" e2e-history

# ---- 6. ANA goes away through the tray; BRUNO's list shows it
begin "6. ANA switches to Away"
tray_menu ANA
pick ANA ${away_entry% Return}
sleep 0.5
shoot_menus ANA e2e-tray-away
pick ANA Return
wait_for "ANA announces Away" who_lists "ANA (pc-ana) AU"
wait_for "BRUNO's communicator shows ANA away" tree_has BRUNO "$away_colour"
shoot BRUNO "$(window_named BRUNO Comunicador)" e2e-peer-away

# ---- extra windows through the menus: the credits from the tray, the settings from the communicator
begin "6a. credits and settings"
tray_menu ANA
pick ANA $credits_entry
# Titled like the program, as the logon dialog is (closed by now).
wait_for "the credits window opens" is_set window_named ANA Colloqua
sleep 1.5
credits=$(window_named ANA Colloqua)
shoot ANA "$credits" e2e-credits
activate ANA "$credits"
on ANA xdotool key Escape
wait_for "the credits window closes" not is_set window_named ANA Colloqua
# The narrow communicator keeps "Opções" behind the menu bar's ">>" at its right end: a click
# there, then the keyboard to "Opções" > "Configurações".
com=$(window_named ANA Comunicador)
activate ANA "$com"
geometry_of ANA "$com" || fail "ANA's communicator is gone"
on ANA xdotool mousemove $((X + WIDTH - 7)) $((Y + 9)) click 1
sleep 0.5
pick ANA Down Right Return
wait_for "the settings dialog opens" is_set window_named ANA "Configurações"
sleep 0.5
shoot ANA "$(window_named ANA "Configurações")" e2e-settings
on ANA xdotool key Escape
wait_for "the settings dialog closes" not is_set window_named ANA "Configurações"

# ---- 7. both leave through the tray; BRUNO sees ANA go offline
begin "7. both leave through the tray"
ended() { ! kill -0 "${pid[$1]}" 2>/dev/null; }
leave() {
    tray_menu "$1"
    pick "$1" $close_entry
    wait_for "$1's program ends" ended "$1"
    local code=0
    wait "${pid[$1]}" || code=$?
    [ "$code" -eq 0 ] || fail "$1's program ended with code $code"
}
leave ANA
wait_for "BRUNO has ANA offline in his list" tree_file_lists BRUNO "'ANA (pc-ana)"
# The list leaves out whoever is offline: no status icon is left in it.
wait_for "ANA leaves BRUNO's communicator" tree_lacks BRUNO "$away_colour" "$online_colour"
leave BRUNO

step=done
say "all steps passed in $((SECONDS - started))s"
