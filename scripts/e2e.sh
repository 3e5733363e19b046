#!/usr/bin/env bash
# End-to-end check: two real stations, each on a virtual screen of its own with a window manager
# and a tray, used by mouse and keyboard as a person would: log on as ANA and BRUNO through the
# tray menu, see each other, ANA sends BRUNO a message, ANA goes away, ANA leaves through the tray.
# Then a third station, CARLA, in an LXQt panel (a StatusNotifierItem host on a session bus of its
# own), driven through the menu the panel draws from the station's exported one; BRUNO sees her
# go away, and both leave. The network stays on loopback.
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
source scripts/lib/xsession.sh
xsession_work e2e
trap 'exit 130' INT TERM

step="start-up"
say() { printf 'e2e [%3ds] %s\n' $((SECONDS - started)) "$*"; }
begin() { step=$1; say "$step"; }

# Names the step, shows what each station wrote and keeps a picture of both screens.
fail() {
    echo "e2e: FAILED at step \"$step\": $*" >&2
    local s
    for s in "${stations[@]}"; do
        if [ -n "${pid[$s]:-}" ] && ! kill -0 "${pid[$s]}" 2>/dev/null; then
            local code=0
            wait "${pid[$s]}" || code=$?
            echo "----- $s: the program has ended with code $code" >&2
        fi
        echo "----- $s: log" >&2
        cat "$work/$s.log" >&2 2>/dev/null || true
        local part
        for part in xvfb wm trayer panel bus; do
            [ -s "$work/$s-$part.log" ] && { echo "----- $s: $part" >&2; tail -n 20 "$work/$s-$part.log" >&2; }
        done
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

declare -A display address pid home bus
stations=(ANA BRUNO)
computer_of() { echo "pc-$(echo "$1" | tr 'A-Z' 'a-z')"; }
# Runs a command on the station's screen, and on its session bus when it has one.
on() {
    local s=$1
    shift
    if [ -n "${bus[$s]:-}" ]; then
        DISPLAY=${display[$s]} DBUS_SESSION_BUS_ADDRESS=${bus[$s]} "$@"
    else
        DISPLAY=${display[$s]} "$@"
    fi
}

xsession_environment "$work/run"

# One screen per station: every window on a screen belongs to its station.
screen_width=1024
start_screen() { xsession_screen_start "$work/$1-" "${screen_width}x768"; }
# Waits for the station's screen, then gives it a window manager.
screen_up() {
    local s=$1
    display[$s]=$(xsession_screen_wait "$work/$s-" "$patience") || fail "the virtual screen of $s did not start"
    on "$s" xsession_wm "$work/$s-"
}
n=0
for s in ANA BRUNO; do
    address[$s]=127.0.0.$((base + n))
    n=$((n + 1))
    start_screen "$s"
done
for s in ANA BRUNO; do
    screen_up "$s"
    on "$s" xsession_tray "$work/$s-" 60
done
wm_running() { on "$1" xsession_wm_running; }
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

# Starts the station logged off (no default user), with the given SETUP lines as well. The
# communicator opens only when asked.
start_station() {
    local s=$1
    shift
    home[$s]="$work/$s"
    mkdir -p "${home[$s]}/Dados"
    printf '%s\r\n' '[SETUP]' 'DEFAULT_STATUS=OF' 'EXIBIR_JANELA=0' "$@" '[RECEBER]' 'EMITIR_SOM=0' \
        '[ENVIAR]' 'EMITIR_SOM=0' '[REDE]' "ENDERECO=${address[$s]}" "PORTA=$port" \
        "DIFUSAO=127.255.255.255:$port" >"${home[$s]}/colloqua.ini"
    HOME="${home[$s]}" on "$s" "$app" --home "${home[$s]}" --computer "$(computer_of "$s")" \
        >"$work/$s.log" 2>&1 &
    pid[$s]=$!
    xsession_track "${pid[$s]}"
}
# The window's Motif hints: "flags functions ...". A window manager that honours them offers only
# the functions listed (openbox, here, keeps a dialog's minimise button all the same).
motif_hints() { on "$1" xprop -id "$2" _MOTIF_WM_HINTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ','; }
# The window's functions leave out every bit of the mask (8 minimise, 16 maximise, 32 close).
denies() {
    local flags functions
    read -r flags functions _ <<<"$(motif_hints "$1" "$2")"
    [ -n "$functions" ] && ((flags & 1)) && ! ((functions & $3))
}
skips_taskbar() { on "$1" xprop -id "$2" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_SKIP_TASKBAR; }

# ---- 1. two stations, logged off
begin "1. start two stations, logged off"
for s in ANA BRUNO; do start_station "$s"; done
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
    # Left only by its buttons and keys: no minimise, maximise or close in the title bar.
    denies "$s" "$logon" 56 || fail "the logon dialog lets the window manager minimise, maximise or close it: $(motif_hints "$s" "$logon")"
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
    # There is a tray: the icon brings the window back, so it keeps off the taskbar.
    skips_taskbar "$s" "$(window_named "$s" Comunicador)" || fail "the communicator of $s is on the taskbar"
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
denies ANA "$credits" 24 || fail "the credits window lets the window manager minimise or maximise it: $(motif_hints ANA "$credits")"
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

# ---- 7. ANA leaves through the tray; BRUNO sees her go offline
begin "7. ANA leaves through the tray"
ended() { ! kill -0 "${pid[$1]}" 2>/dev/null; }
ended_cleanly() {
    wait_for "$1's program ends" ended "$1"
    local code=0
    wait "${pid[$1]}" || code=$?
    [ "$code" -eq 0 ] || fail "$1's program ended with code $code"
}
leave() {
    tray_menu "$1"
    pick "$1" $close_entry
    ended_cleanly "$1"
}
leave ANA
wait_for "BRUNO has ANA offline in his list" tree_file_lists BRUNO "'ANA (pc-ana)"
# The list leaves out whoever is offline: no status icon is left in it.
wait_for "ANA leaves BRUNO's communicator" tree_lacks BRUNO "$away_colour" "$online_colour"

# ---- 8. CARLA in an LXQt panel: a StatusNotifierItem host draws the station's exported menu
begin "8. CARLA in an LXQt panel, through the menu it draws"
s=CARLA
stations+=(CARLA)
address[$s]=127.0.0.$((base + 3))
start_screen "$s"
xsession_bus_start "$work/$s-"
bus[$s]=$(xsession_bus_wait "$work/$s-" "$patience") || fail "the session bus of $s did not start"
screen_up "$s"
wait_for "the window manager runs on ${display[$s]}" wm_running "$s"
on "$s" xsession_panel "$work/$s-"
sni() { on CARLA gdbus call --session "$@" 2>/dev/null; }
watcher() { sni -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher "$1"; }
# Qt settles on a StatusNotifierItem only when a host is there as the icon is made.
wait_for "the panel registers as a tray host" eval 'watcher IsStatusNotifierHostRegistered | grep -q true'
start_station CARLA 'LAST_USER=CARLA' 'LAST_CHANNEL=CANAL'
# The watcher lists "service/path".
item=
item_registered() { item=$(watcher RegisteredStatusNotifierItems | grep -o "'[^']*'" | tr -d "'" | head -n 1); [ -n "$item" ]; }
wait_for "CARLA's item is registered with the StatusNotifierWatcher" item_registered
item_service=${item%%/*}
item_path=/${item#*/}
[ "$item_path" != "/$item" ] || item_path=/StatusNotifierItem
menu_path=$(sni -d "$item_service" -o "$item_path" -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu |
    grep -o "objectpath '[^']*'" | cut -d"'" -f2)
[ -n "$menu_path" ] && [ "$menu_path" != /NO_DBUSMENU ] || fail "the item's Menu is \"$menu_path\", not a menu"
layout=$(sni -d "$item_service" -o "$menu_path" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '[]')
for label in COLLOQUA ' Comunicador' ' Estado Atual' 'Usuário' 'Inserir Usuário' CONECTADO AUSENTE OCUPADO \
    'INVISÍVEL' DESCONECTADO ' Manual' ' Créditos' ' Fechar Aplicativo'; do
    grep -qF "'label': <'$label'>" <<<"$layout" || fail "GetLayout lacks the entry \"$label\""
done
say "  the item is registered, its menu $menu_path lists every entry"
# "AUSENTE" clicked as the panel would: the station, logged off, logs on with the last pair as Away.
away_id=$(grep -o "<([0-9]*, {[^}]*'label': <'AUSENTE'>" <<<"$layout" | grep -o '^<([0-9]*' | tr -dc 0-9)
click_away() {
    sni -d "$item_service" -o "$menu_path" -m com.canonical.dbusmenu.Event -- "$away_id" clicked '<0>' 0 >/dev/null
    who_lists "CARLA (pc-carla) AU"
}
# The entries, like the icon, are deaf while the splash shows.
wait_for "AUSENTE through the exported menu makes CARLA away" click_away
wait_for "BRUNO's communicator shows CARLA away" tree_has BRUNO "$away_colour"

# The icon in the panel: what the panel's picture holds beside its background.
panel_icon() {
    local panel box
    panel=$(on CARLA xdotool search --onlyvisible --name '^LXQt Panel$' 2>/dev/null | head -n 1)
    [ -n "$panel" ] && geometry_of CARLA "$panel" || return 1
    on CARLA import -window root "$work/root.png" 2>/dev/null || return 1
    box=$(convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage -fuzz 8% -trim -format '%w %h %X %Y' info:)
    read -r icon_w icon_h icon_x icon_y <<<"${box//+/}"
    icon_x=$((X + icon_x)) icon_y=$((Y + icon_y))
    [ "$icon_w" -ge 8 ] && [ "$icon_w" -le 64 ]
}
wait_for "CARLA's icon shows in the panel" panel_icon
on CARLA xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1
wait_for "a left click on the panel icon opens CARLA's communicator" is_set window_named CARLA Comunicador
skips_taskbar CARLA "$(window_named CARLA Comunicador)" || fail "the communicator of CARLA is on the taskbar"

# The panel's own menu, made from the exported one, with " Estado Atual" open.
panel_menus() {
    on CARLA xdotool search --onlyvisible --class lxqt-panel 2>/dev/null | while read -r w; do
        geometry_of CARLA "$w" && [ "$HEIGHT" -gt 40 ] && [ "$Y" -gt 0 ] && echo "$w $X $Y $WIDTH $HEIGHT"
    done || true
}
open_panel_menu() {
    on CARLA xdotool key Escape Escape 2>/dev/null || true
    on CARLA xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 3
    sleep 0.5
    [ -n "$(panel_menus)" ]
}
wait_for "the panel's menu of CARLA opens" open_panel_menu
pick CARLA Down Down Right
wait_for "the panel opens \" Estado Atual\"" eval '[ "$(panel_menus | wc -l)" -ge 2 ]'
sleep 0.5
if [ -n "$shots" ]; then
    box=$(panel_menus | awk '{ if ($2 + $4 > r) r = $2 + $4; if ($3 + $5 > b) b = $3 + $5 } END { printf "%dx%d+0+0", r + 8, b + 8 }')
    on CARLA import -window root "$work/root.png"
    mkdir -p "$shots"
    convert "$work/root.png" -crop "$box" +repage -strip "$shots/lxqt-tray-menu.png"
    say "  saved $shots/lxqt-tray-menu.png"
fi
on CARLA xdotool key Escape Escape
# She leaves through the panel's menu, by the keyboard as on the drawn one.
wait_for "the panel's menu of CARLA opens again" open_panel_menu
pick CARLA $close_entry
ended_cleanly CARLA
wait_for "BRUNO has CARLA offline in his list" tree_file_lists BRUNO "'CARLA (pc-carla)"
leave BRUNO

step=done
say "all steps passed in $((SECONDS - started))s"
