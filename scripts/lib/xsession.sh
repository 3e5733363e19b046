# A virtual desktop for the scripts that run Colloqua on screens of their own: a screen (Xvfb,
# which picks a free display number itself), a window manager (openbox), a tray (trayer, which
# embeds icons the XEmbed way), a session bus of its own, an LXQt panel (a StatusNotifierItem
# host), and the end of all of them. Sourced by scripts/e2e.sh, scripts/demo.sh,
# scripts/tray-screenshot.sh and bench/startup-idle.sh.
#
# Each helper takes a PREFIX for its files: "$work/" for a script with one screen, "$work/ANA-"
# for one of several; the logs are PREFIXxvfb.log, PREFIXwm.log, PREFIXtrayer.log, PREFIXbus.log
# and PREFIXpanel.log. Screen, window manager, tray and panel work on the current DISPLAY (and
# session bus): a script with several screens sets DISPLAY for each call. Every process starts in
# a session of its own, so that Ctrl-C reaches only the script, which ends them all with
# xsession_stop.

xsession_pids=()

# Runs "$@" in the background, output to LOG, and keeps it for xsession_stop.
xsession_spawn() {
    local log=$1
    shift
    setsid "$@" >"$log" 2>&1 &
    xsession_pids+=($!)
}

# xsession_work [NAME]: a temporary directory in $work; when the script exits, everything kept
# is ended and the directory removed.
xsession_work() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/${1:-xsession}.XXXXXX")
    trap 'xsession_stop; rm -rf "$work"' EXIT
}

# Adds processes the script started itself to those xsession_stop ends.
xsession_track() { xsession_pids+=("$@"); }

# Ends every process kept, the last started first (the stations before their trays, window
# managers and screens), and waits for each.
xsession_stop() {
    local i
    for ((i = ${#xsession_pids[@]} - 1; i >= 0; i--)); do kill "${xsession_pids[$i]}" 2>/dev/null || true; done
    for ((i = ${#xsession_pids[@]} - 1; i >= 0; i--)); do wait "${xsession_pids[$i]}" 2>/dev/null || true; done
    xsession_pids=()
}

# What the programs started next talk to: the virtual screens only, Qt on X11, none of the
# desktop's session bus, Wayland or session manager, and RUNTIME_DIR as their runtime directory.
xsession_environment() {
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER
    export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$1
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
}

# xsession_screen_start PREFIX WIDTHxHEIGHT: a screen of that size; Xvfb writes its display
# number to PREFIXdisplay once it accepts clients. -noreset: otherwise the server resets when its
# last client leaves (the xdpyinfo that saw it answer), and a window manager that connects during
# the reset is refused.
xsession_screen_start() {
    xsession_spawn "${1}xvfb.log" Xvfb -displayfd 3 -screen 0 "${2}x24" -nolisten tcp -noreset 3>"${1}display"
}

# xsession_await WHAT LOG SECONDS COMMAND...: runs COMMAND every tenth of a second until it
# succeeds; after SECONDS says that WHAT did not start, with the end of LOG, and fails.
xsession_await() {
    local what=$1 log=$2 deadline=$((SECONDS + $3))
    shift 3
    until "$@"; do
        if [ $SECONDS -ge "$deadline" ]; then
            echo "xsession: $what did not start; $log says:" >&2
            tail -n 5 "$log" >&2
            return 1
        fi
        sleep 0.1
    done
}

# The display Xvfb wrote to PREFIXdisplay (":N"), or nothing yet.
xsession_display_of() {
    local number
    number=$(tr -dc 0-9 <"${1}display" 2>/dev/null) && [ -n "$number" ] && echo ":$number"
}
xsession_screen_answers() {
    local display
    display=$(xsession_display_of "$1") && DISPLAY=$display xdpyinfo >/dev/null 2>&1
}

# xsession_screen_wait PREFIX [SECONDS]: prints the screen's display (":N") once it answers;
# fails, with the end of its log, after SECONDS (30).
xsession_screen_wait() {
    xsession_await "the virtual screen" "${1}xvfb.log" "${2:-30}" xsession_screen_answers "$1" || return 1
    xsession_display_of "$1"
}

# xsession_screen PREFIX WIDTHxHEIGHT [SECONDS]: both, and the screen becomes the DISPLAY.
xsession_screen() {
    local display
    xsession_screen_start "$1" "$2"
    display=$(xsession_screen_wait "$1" "${3:-30}") || return 1
    export DISPLAY=$display
}

# xsession_wm PREFIX: openbox, with a home of its own (PREFIXwm) and no session manager.
xsession_wm() {
    mkdir -p "${1}wm"
    xsession_spawn "${1}wm.log" env HOME="${1}wm" openbox --sm-disable
}

# True once a window manager runs on the DISPLAY.
xsession_wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# xsession_tray PREFIX WIDTH: trayer in the top right corner, WIDTH pixels wide and 32 high.
xsession_tray() {
    xsession_spawn "${1}trayer.log" trayer --edge top --align right --widthtype pixel --width "$2" \
        --heighttype pixel --height 32 --transparent false --tint 0x3c3c3c --SetDockType true
}

# xsession_bus_start PREFIX: a session bus on the file socket PREFIXbus.socket (reachable from
# network namespaces, which abstract sockets are not); its address goes to PREFIXbus once it
# listens. Nobody offers the StatusNotifier service on it until a panel does.
xsession_bus_start() {
    xsession_spawn "${1}bus.log" dbus-daemon --session --nofork --nopidfile \
        --address="unix:path=${1}bus.socket" --print-address=3 3>"${1}bus"
}

# xsession_bus_wait PREFIX [SECONDS]: prints the bus's address once it listens; fails after
# SECONDS (30).
xsession_bus_wait() {
    xsession_await "the session bus" "${1}bus.log" "${2:-30}" test -s "${1}bus" || return 1
    head -n 1 "${1}bus"
}

# xsession_bus PREFIX [SECONDS]: both, and the bus becomes the session bus.
xsession_bus() {
    local address
    xsession_bus_start "$1"
    address=$(xsession_bus_wait "$1" "${2:-30}") || return 1
    export DBUS_SESSION_BUS_ADDRESS=$address
}

# xsession_panel PREFIX: an LXQt panel along the top with its status notifier plugin only, a
# StatusNotifierItem host on the session bus; its settings under PREFIXconfig.
xsession_panel() {
    printf '%s\n' 'panels=panel1' '[panel1]' 'plugins=statusnotifier' 'position=Top' 'desktop=0' 'panelSize=32' \
        'iconSize=22' '[statusnotifier]' 'type=statusnotifier' >"${1}panel.conf"
    xsession_spawn "${1}panel.log" env XDG_CONFIG_HOME="${1}config" lxqt-panel --config "${1}panel.conf"
}
