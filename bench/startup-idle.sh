#!/usr/bin/env bash
# Start-up time and idle cost of Colloqua beside iptux, Debian's LAN messenger.
#
# Both run on a virtual screen (Xvfb) with a tray host (trayer), a window manager (openbox)
# and a private session bus, each start from a fresh home in a network namespace of its own
# where only the loopback interface is up, so no datagram leaves the machine. Measured per
# start by bench/startup_idle_probe.py: the time from exec to the first datagram on the
# program's port (its presence announcement) and to its first visible window; on the last
# start of each program also the idle cost over a minute once start-up has settled.
#
# Usage: bench/startup-idle.sh [--runs N] [--idle SECONDS] [--settle SECONDS] [--build DIR]
#                              [--json FILE] [--screenshots DIR]
# --screenshots keeps a picture of the screen of each program before its idle minute.
# Colloqua is measured with its default settings, which show the communicator after logging
# on (as iptux shows its main window), as "colloqua"; with EXIBIR_JANELA=0, living in the
# tray, as "colloqua-tray"; and, for the idle minute only, after a message from another
# station has arrived and opened the history window, as "colloqua-msg".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

runs=5
idle=60
settle=10
build=
json=
shots=
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs=$2; shift 2 ;;
        --idle) idle=$2; shift 2 ;;
        --settle) settle=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --json) json=$2; shift 2 ;;
        --screenshots) shots=$(realpath -m "$2"); mkdir -p "$shots"; shift 2 ;;
        -h|--help) sed -n "2,/^set /{/^#/p}" "$0"; exit 0 ;;
        *) echo "startup-idle: unknown argument $1" >&2; exit 2 ;;
    esac
done
[ "$(id -u)" -eq 0 ] || { echo "startup-idle: needs root (network namespaces, packet capture)" >&2; exit 2; }

scripts/install-deps.sh
# Only this measurement needs these; they stay out of the project's own dependencies.
bench_packages=(iptux openbox python3 iproute2 util-linux linux-perf)
missing=()
for p in "${bench_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
        echo "startup-idle: could not install ${missing[*]}; going on without what is missing" >&2
fi
command -v iptux >/dev/null || { echo "startup-idle: iptux is not installed" >&2; exit 1; }

# A release build: the benchmark tree when there is one, else the usual one.
if [ -z "$build" ]; then
    if [ -x build-bench/src/app/colloqua ]; then build=build-bench; else build=build; fi
fi
if [ ! -x "$build/src/app/colloqua" ]; then
    bash scripts/build.sh "$build"
fi
app=$(realpath "$build/src/app/colloqua")
cli=$(realpath "$build/src/cli/colloqua-cli")
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
case "$build_type" in
    Release|RelWithDebInfo|MinSizeRel) ;;
    *) echo "startup-idle: $build is a '$build_type' build; use a release build (--build DIR)" >&2; exit 1 ;;
esac

source scripts/lib/xsession.sh
xsession_work startup-idle

xsession_screen "$work/" 1280x800 || exit 1
xsession_environment "$work/run"
# A session bus on a file socket, reachable from inside the namespaces (abstract sockets are
# per namespace). Nobody offers the StatusNotifier service on it, so both programs embed
# their icons in trayer the XEmbed way.
xsession_bus "$work/" || exit 1
if command -v openbox >/dev/null; then
    xsession_wm "$work/"
    wm=openbox
else
    wm=none
fi
xsession_tray "$work/" 80
sleep 1

colloqua_port=45138
iptux_port=2425

# One start of one program: a fresh home, a fresh namespace, the probe inside it.
# start KIND RUN [IDLE_SECONDS]
start() {
    local kind=$1 run=$2 idle_seconds=${3:-0} home port cmd=() poke=
    home=$work/$kind-$run
    mkdir -p "$home/run"
    chmod 700 "$home/run"
    case "$kind" in
        colloqua|colloqua-tray|colloqua-msg)
            mkdir -p "$home/station/Dados"
            local show=1
            [ "$kind" = colloqua-tray ] && show=0
            printf '%s\r\n' '[SETUP]' 'DEFAULT_USER=ANA' 'DEFAULT_CHANNEL=NETWORK' 'DEFAULT_STATUS=ON' \
                "EXIBIR_JANELA=$show" '[REDE]' 'ENDERECO=127.0.0.2' "PORTA=$colloqua_port" \
                "DIFUSAO=127.255.255.255:$colloqua_port" >"$home/station/colloqua.ini"
            port=$colloqua_port
            cmd=(env QT_QPA_PLATFORM=xcb "$app" --home "$home/station" --computer estacao1)
            if [ "$kind" = colloqua-msg ]; then
                # BIA on estacao2 writes to ANA: the history window opens, the sound plays.
                poke=$(printf '%q ' "$cli" send --channel NETWORK --computer estacao2 --address 127.0.0.3 \
                    --port "$colloqua_port" --broadcast "127.255.255.255:$colloqua_port" --to 127.0.0.2 \
                    -- "M[BIA|ANA|$(date +%d%m%y%H%M%S)|5]S[]D[Oi, tudo bem?]")
            fi
            ;;
        iptux)
            port=$iptux_port
            cmd=(iptux)
            ;;
    esac
    local probe=(python3 "$root/bench/startup_idle_probe.py" --port "$port" --settle "$settle"
        --idle "$idle_seconds" --log "$home/output.log" --kind "$kind" --run "$run")
    [ -n "$poke" ] && probe+=(--poke "$poke")
    if [ "$idle_seconds" != 0 ]; then
        command -v perf >/dev/null && probe+=(--perf)
        [ -n "$shots" ] && probe+=(--screenshot "$shots/$kind.png")
    fi
    HOME=$home XDG_RUNTIME_DIR=$home/run XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
        XDG_CACHE_HOME=$home/.cache \
        unshare --net sh -c 'ip link set lo up && exec "$@"' sh "${probe[@]}" -- "${cmd[@]}" >>"$work/results.jsonl"
    # Give the next start a quiet screen: the previous program's windows are gone.
    sleep 2
}

kinds=(colloqua colloqua-tray iptux)
loads=()
echo "startup-idle: $runs starts of each of ${kinds[*]} on $DISPLAY (window manager: $wm), idle ${idle}s" >&2
for run in $(seq "$runs"); do
    for kind in "${kinds[@]}"; do
        loads+=("$(cut -d' ' -f1 /proc/loadavg)")
        if [ "$run" -eq "$runs" ]; then start "$kind" "$run" "$idle"; else start "$kind" "$run"; fi
    done
done
# And once more idle, after a message has arrived and its window opened.
loads+=("$(cut -d' ' -f1 /proc/loadavg)")
start colloqua-msg 1 "$idle"
loads+=("$(cut -d' ' -f1 /proc/loadavg)")

[ -n "$json" ] && cp "$work/results.jsonl" "$json"

# The machine, for the record.
qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)
iptux_version=$(dpkg-query -W -f='${Version}' iptux 2>/dev/null || echo unknown)
echo
echo "Machine: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores," \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo) RAM, kernel $(uname -r)," \
    "Debian $(cat /etc/debian_version), Qt $qt, iptux $iptux_version," \
    "Colloqua $(git rev-parse --short HEAD) ($build_type, $build), window manager $wm"
echo "Load average (1 min) before each start: ${loads[*]}"
python3 "$root/bench/startup_idle_report.py" "$work/results.jsonl"
