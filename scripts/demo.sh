#!/usr/bin/env bash
# A demonstration network on this one machine: three stations logged on as ANA, BRUNO and
# CARLA on the channel NETWORK, each on its own loopback address (127.0.0.11, .12, .13) with a
# home under a temporary directory. ANA's tree holds a group with the other two; once all
# three see each other ANA greets BRUNO and CARLA, and BRUNO answers.
#
# Usage: scripts/demo.sh [--xvfb] [--keep] [--check]
#        scripts/demo.sh stop
#   --xvfb   run on a virtual screen (Xvfb, trayer, openbox) even when $DISPLAY is set;
#            without $DISPLAY this is the default
#   --keep   leave the temporary homes behind at the end
#   --check  headless self-test: wait until every station sees the other two and got its
#            greeting, print what they saw, stop them and make sure nothing keeps running
#   stop     stop a demo started from another terminal
# Ctrl-C stops the stations cleanly: each logs off before it ends.
#
# Environment: COLLOQUA_APP and COLLOQUA_CLI (the programs; default build/src/...),
# COLLOQUA_DEMO_PORT (UDP port; default 45138, with --check a random high port),
# COLLOQUA_DEMO_TIMEOUT (seconds to wait for each step; default 90).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

state="${XDG_RUNTIME_DIR:-/tmp}/colloqua-demo-$(id -u).pid"
users=(ANA BRUNO CARLA)
addresses=(127.0.0.11 127.0.0.12 127.0.0.13)
channel=NETWORK
timeout=${COLLOQUA_DEMO_TIMEOUT:-90}

say() { printf 'demo: %s\n' "$*"; }
fail() { printf 'demo: FAILED: %s\n' "$*" >&2; exit 1; }

usage() { sed -n '7,15s/^# \{0,1\}//p' "$0"; }

xvfb=no check=no keep=no
for arg in "$@"; do
    case "$arg" in
        --xvfb) xvfb=yes ;;
        --keep) keep=yes ;;
        --check) check=yes ;;
        stop)
            [ -f "$state" ] || { say "no demo is running"; exit 0; }
            pid=$(cat "$state")
            if kill -0 "$pid" 2>/dev/null; then
                kill -TERM "$pid"
                # The demo logs its stations off and cleans up; wait for it.
                for _ in $(seq $((timeout * 10))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
                kill -0 "$pid" 2>/dev/null && fail "the demo (pid $pid) did not stop"
            fi
            rm -f "$state"
            say "stopped"
            exit 0
            ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done

app=${COLLOQUA_APP:-$root/build/src/app/colloqua}
cli=${COLLOQUA_CLI:-$root/build/src/cli/colloqua-cli}
if [ ! -x "$app" ] || [ ! -x "$cli" ]; then
    [ "$check" = yes ] && fail "build colloqua and colloqua-cli first ($app, $cli)"
    bash "$root/scripts/install-deps.sh"
    bash "$root/scripts/build.sh" build
fi

if [ "$check" = yes ]; then
    # Above the ports of the C++ tests (20000..59999) and of the kernel's ephemeral range.
    port=${COLLOQUA_DEMO_PORT:-$((61000 + RANDOM % 4000))}
else
    port=${COLLOQUA_DEMO_PORT:-45138}
    if [ -f "$state" ] && kill -0 "$(cat "$state")" 2>/dev/null; then
        fail "a demo is already running (pid $(cat "$state")); stop it with: $0 stop"
    fi
fi

source "$root/scripts/lib/xsession.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/colloqua-demo.XXXXXX")
station_pids=()
ended=()

# A station ends on SIGTERM after logging off; one still there after the timeout is reported
# and killed, so nothing is left running.
stop_station() {
    local i=$1 pid=${station_pids[$1]} status=0
    [ -n "${ended[$i]:-}" ] && return 0
    ended[$i]=yes
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq $((timeout * 10))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        printf 'demo: %s (pid %s) did not end; killed\n' "${users[$i]}" "$pid" >&2
        kill -KILL "$pid" 2>/dev/null || true
        status=1
    fi
    if ! wait "$pid"; then
        printf 'demo: %s ended with an error\n' "${users[$i]}" >&2
        status=1
    fi
    return $status
}

stop_stations() {
    local status=0 i
    for i in "${!station_pids[@]}"; do stop_station "$i" || status=1; done
    return $status
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if stop_stations; then
        [ "$check" = yes ] || [ ${#station_pids[@]} -eq 0 ] || say "the stations logged off and ended"
    else
        status=1
    fi
    xsession_stop
    [ "$check" = yes ] || rm -f "$state"
    # A failure takes the homes away too: show what the stations said first.
    if [ "$status" -ne 0 ] && [ "$status" -lt 128 ]; then
        for user in "${users[@]}"; do
            [ -s "$work/${user,,}.log" ] || continue
            echo "--- $user's output:" >&2
            tail -n 20 "$work/${user,,}.log" >&2
        done
    fi
    if [ "$keep" = yes ]; then
        say "homes kept in $work"
    else
        rm -rf "$work"
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- The display -----------------------------------------------------------------------
if [ "$check" = yes ]; then
    export QT_QPA_PLATFORM=offscreen
elif [ "$xvfb" = yes ] || [ -z "${DISPLAY:-}" ]; then
    xvfb=yes
    for tool in Xvfb trayer openbox xdpyinfo; do
        command -v "$tool" >/dev/null || bash "$root/scripts/install-deps.sh"
    done
    # In sessions of their own, so that Ctrl-C reaches only this script, which logs the
    # stations off before the screen goes away.
    xsession_screen "$work/" 1280x800 || fail "Xvfb did not start"
    # No session bus: the icons are embedded the XEmbed way, as trayer expects.
    xsession_environment "$work/run"
    xsession_wm "$work/"
    xsession_tray "$work/" 120
fi

# --- The homes -------------------------------------------------------------------------
computer() { echo "ESTACAO-$1"; }
home() { echo "$work/${1,,}"; }

# colloqua.ini is Windows-1252 text with CR LF line ends.
write_ini() {
    local user=$1 address=$2 left=$3
    printf '%s\r\n' \
        '[SETUP]' "DEFAULT_USER=$user" "DEFAULT_CHANNEL=$channel" 'DEFAULT_STATUS=ON' 'EXIBIR_JANELA=1' 'MANTER_GRUPOS_ABERTOS=1' \
        '[RECEBER]' 'EXIBIR_MSG=1' 'ANIMAR_ICONE=1' 'EMITIR_SOM=0' \
        '[BACKUP]' 'AUTO_BACKUP=0' \
        '[POSICAO]' 'WNDCOM_TOP=40' "WNDCOM_LEFT=$left" 'WNDCOM_WIDTH=200' 'WNDCOM_HEIGHT=346' \
        "WNDSEND_TOP=430" "WNDSEND_LEFT=$left" 'WNDSEND_WIDTH=400' \
        'WNDHIST_TOP=420' "WNDHIST_LEFT=$left" 'WNDHIST_WIDTH=400' 'WNDHIST_HEIGHT=300' \
        '[REDE]' "ENDERECO=$address" "PORTA=$port" "DIFUSAO=127.255.255.255:$port"
}

# The tree file: one node per line, a TAB per level, "'" marks an entry offline until its
# station announces itself.
write_tree() {
    local user=$1
    shift
    printf '%s\r\n' "$@" >"$(home "$user")/Dados/ArvUsuarios.tv"
}

for i in "${!users[@]}"; do
    user=${users[$i]}
    mkdir -p "$(home "$user")/Dados"
    write_ini "$user" "${addresses[$i]}" $((20 + i * 420)) >"$(home "$user")/colloqua.ini"
done
write_tree ANA 'Equipe' $'\t'"'BRUNO (estacao-bruno)" $'\t'"'CARLA (estacao-carla)"
write_tree BRUNO 'Projeto Colloqua' $'\t'"'ANA (estacao-ana)"

# --- The stations ----------------------------------------------------------------------
logged_on() { grep -aq "^LAST_CHANNEL=$channel"$'\r'"\?$" "$(home "$1")/colloqua.ini" 2>/dev/null; }

# True when the tree file of $1 lists $2 on its computer, online (no "'" or "." marker).
sees() { grep -aq "^"$'\t'"*$2 (estacao-${2,,})"$'\r'"\?$" "$(home "$1")/Dados/ArvUsuarios.tv" 2>/dev/null; }

everyone_sees_everyone() {
    local a b
    for a in "${users[@]}"; do
        for b in "${users[@]}"; do
            [ "$a" = "$b" ] || sees "$a" "$b" || return 1
        done
    done
}

# Polls "$@" until it succeeds or the timeout passes.
await() {
    local i
    for _ in $(seq $((timeout * 5))); do
        "$@" && return 0
        for i in "${!station_pids[@]}"; do
            [ -n "${ended[$i]:-}" ] || kill -0 "${station_pids[$i]}" 2>/dev/null \
                || fail "${users[$i]} ended early"
        done
        sleep 0.2
    done
    return 1
}

say "port $port, homes in $work"
for i in "${!users[@]}"; do
    user=${users[$i]}
    setsid "$app" --home "$(home "$user")" --computer "$(computer "$user")" </dev/null \
        >"$work/${user,,}.log" 2>&1 &
    station_pids+=($!)
    say "$user started on ${addresses[$i]} as $(computer "$user") (pid $!)"
    await logged_on "$user" || fail "$user did not log on"
done
[ "$check" = yes ] || echo $$ >"$state"

await everyone_sees_everyone || fail "the stations did not find each other"
say "every station sees the other two"

# --- The greetings ---------------------------------------------------------------------
# A text message is one frame, sent the way a station sends it: from the sender's own
# address (an ephemeral port beside its station's), so replies go to the right place.
send_message() {
    local from=$1 to=$2 face=$3 text=$4 i address target
    for i in "${!users[@]}"; do [ "${users[$i]}" = "$from" ] && address=${addresses[$i]}; done
    for i in "${!users[@]}"; do [ "${users[$i]}" = "$to" ] && target=${addresses[$i]}; done
    "$cli" send --channel "$channel" --computer "$(computer "$from")" --address "$address" --port "$port" \
        --to "$target" "M[$from|$to|$(date +%d%m%y%H%M%S)|$face]S[]D[$text]"
}
send_message ANA BRUNO 4 "Olá, BRUNO! Bem-vindo à rede de demonstração do Colloqua."
send_message ANA CARLA 4 "Olá, CARLA! Bem-vinda à rede de demonstração do Colloqua."
send_message BRUNO ANA 5 "Oi, ANA! Recebi, obrigado. Tudo certo por aqui."

received() { "$cli" history "$(home "$1")/Dados/hist_recv.dbt" 2>/dev/null | grep -q "$2"; }
await received BRUNO "Olá, BRUNO" || fail "BRUNO did not receive ANA's greeting"
await received CARLA "Olá, CARLA" || fail "CARLA did not receive ANA's greeting"
await received ANA "Oi, ANA" || fail "ANA did not receive BRUNO's answer"
say "greetings delivered"

# Who answers on the channel, asked from a fourth address.
who_answers() {
    "$cli" who --channel "$channel" --computer ESTACAO-CLI --address 127.0.0.14 --port "$port" \
        --broadcast "127.255.255.255:$port" --timeout 2
}

report() {
    local user
    for user in "${users[@]}"; do
        echo "== $user ($(computer "$user")) =="
        echo "  user tree (Dados/ArvUsuarios.tv):"
        tr -d '\r' <"$(home "$user")/Dados/ArvUsuarios.tv" | sed 's/\t/    /; s/^/    /'
        echo "  messages received (Dados/hist_recv.dbt, text messages only):"
        "$cli" history "$(home "$user")/Dados/hist_recv.dbt" | grep -v 'S\[[^]]' | sed 's/^/    /'
    done
}

if [ "$check" = yes ]; then
    report
    seen=$(who_answers) || fail "colloqua-cli who failed"
    echo "== colloqua-cli who --channel $channel (from 127.0.0.14) =="
    sed 's/^/    /' <<<"$seen"
    for user in "${users[@]}"; do
        grep -q "^$user (estacao-${user,,}) ON$" <<<"$seen" || fail "colloqua-cli who did not list $user"
    done
    # ANA ends first: her logoff reaches the others, who keep her offline ("'" marker).
    stop_station 0 || fail "ANA did not end cleanly"
    offline() { grep -aq "^"$'\t'"*'$2 (estacao-${2,,})"$'\r'"\?$" "$(home "$1")/Dados/ArvUsuarios.tv"; }
    await offline BRUNO ANA || fail "BRUNO did not see ANA log off"
    await offline CARLA ANA || fail "CARLA did not see ANA log off"
    say "ANA logged off; BRUNO and CARLA show her offline"
    stop_stations || fail "a station did not end cleanly"
    for pid in "${station_pids[@]}"; do
        kill -0 "$pid" 2>/dev/null && fail "station pid $pid is still running"
    done
    say "all three stations logged off and ended; nothing left running"
    say "check passed"
    exit 0
fi

# Each communicator shows itself in the bottom-right corner of the screen; one station's
# windows above each other, the stations side by side, are easier to tell apart (X11 only,
# when xdotool is there).
move_windows() {
    local i=$1 title=$2 y=$3 window
    for window in $(xdotool search --all --onlyvisible --pid "${station_pids[$i]}" --name "^$title\$" 2>/dev/null); do
        xdotool windowmove "$window" $((20 + i * 420)) "$y" 2>/dev/null || true
    done
}
if [ "${XDG_SESSION_TYPE:-x11}" != wayland ] && command -v xdotool >/dev/null; then
    for i in "${!station_pids[@]}"; do
        move_windows "$i" Comunicador 40
        move_windows "$i" 'Histórico de Mensagens' 420
    done
fi
if [ "$xvfb" = yes ]; then
    sleep 2
    if command -v import >/dev/null && import -display "$DISPLAY" -window root "$work/screen.png" 2>/dev/null; then
        say "a picture of the screen: $work/screen.png (kept with --keep)"
    fi
    say "the stations run on the virtual screen $DISPLAY; to look at it: x11vnc -display $DISPLAY -localhost"
fi
cat <<EOF
demo: three communicators are open: ANA, BRUNO and CARLA, each seeing the other two.
demo: ANA's tree holds the group "Equipe"; BRUNO and CARLA have a history window with ANA's
demo: greeting, ANA one with BRUNO's answer. Double-click a name to send a message.
demo: Ctrl-C here, or "$0 stop" from another terminal, logs them off and ends the demo.
EOF
# Waits for a signal; a station that ends by itself (Exit from its menu) does not end the demo.
while :; do sleep 1 & wait $! || true; done
