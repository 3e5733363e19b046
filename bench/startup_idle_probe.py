#!/usr/bin/env python3
"""Starts one messenger and measures it; run by bench/startup-idle.sh inside a network
namespace of its own, where only the loopback interface is up.

Start-up: the time from exec to the first UDP datagram the program sends to PORT (its
presence announcement), seen by a packet socket on lo, and to its first visible window
(polled with xdotool, so only as fine as --window-poll).

Idle (with --idle SECONDS): after --settle seconds, CPU time (utime+stime of the process,
all threads, in clock ticks; also the finer sum of the threads' schedstat run times),
context switches of every thread (voluntary + nonvoluntary, from /proc/PID/task/*/status)
over the window, and at its start and its end VmRSS, VmHWM and PSS. With --perf,
`perf stat -e context-switches,cpu-clock` counts over the same window as a check. With
--poke CMD, CMD runs once start-up has settled (say, to send the program a message) and the
idle window starts after a second settling time.

Prints one JSON object on stdout. The program is ended (SIGTERM, then SIGKILL) before exit.
"""

import argparse
import json
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import time

ETH_P_ALL = 0x0003
CLK_TCK = os.sysconf("SC_CLK_TCK")


def now():
    return time.monotonic()


def open_sniffer():
    sock = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
    sock.bind(("lo", ETH_P_ALL))
    sock.setblocking(False)
    return sock


def udp_destination(frame):
    """(address, port) an IPv4 UDP frame captured on lo is sent to, else None."""
    if len(frame) < 14 + 20 + 8 or frame[12:14] != b"\x08\x00":
        return None
    ip = frame[14:]
    if ip[0] >> 4 != 4 or ip[9] != 17:
        return None
    header = (ip[0] & 0x0F) * 4
    if header < 20 or len(ip) < header + 8:
        return None
    return socket.inet_ntoa(ip[16:20]), struct.unpack("!H", ip[header + 2:header + 4])[0]


def has_visible_window(pid):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    return bool(result.stdout.strip())


def cpu_ticks_from_stat(text):
    """utime + stime, in clock ticks, of the text of /proc/PID/stat."""
    # The name may hold blanks and parentheses: split after its last closing one.
    fields = text.rsplit(")", 1)[1].split()
    # Fields 14 and 15 of stat (utime, stime) are 12 and 13 here, after pid and name.
    return int(fields[11]) + int(fields[12])


def process_cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        return cpu_ticks_from_stat(f.read()) / CLK_TCK


def threads_cpu_ns(pid):
    """Time on a CPU of every live thread, in nanoseconds (finer than the ticks of stat)."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            continue
    return total


def thread_switches(pid):
    """{tid: (name, voluntary, nonvoluntary)} of every live thread."""
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                status = dict(line.split(":", 1) for line in f if ":" in line)
        except (FileNotFoundError, ProcessLookupError):
            continue
        threads[tid] = (status["Name"].strip(), int(status["voluntary_ctxt_switches"]),
                        int(status["nonvoluntary_ctxt_switches"]))
    return threads


def memory_kib(pid):
    figures = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key = line.split(":", 1)[0]
            if key in ("VmRSS", "VmHWM"):
                figures[key] = int(line.split()[1])
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith("Pss:"):
                figures["Pss"] = int(line.split()[1])
    return figures


def switch_deltas(before, after):
    """Context switches of each thread between two thread_switches() readings: a thread that
    started in between counts from zero; one that ended is lost (its count went with it).
    Returns (threads, most switches first; voluntary total; nonvoluntary total)."""
    per_thread = []
    total_vol = total_invol = 0
    for tid, (name, vol, invol) in after.items():
        _, vol0, invol0 = before.get(tid, (name, 0, 0))
        dv, di = vol - vol0, invol - invol0
        total_vol += dv
        total_invol += di
        per_thread.append({"tid": int(tid), "name": name, "voluntary": dv, "nonvoluntary": di,
                           "new": tid not in before})
    per_thread.sort(key=lambda t: -(t["voluntary"] + t["nonvoluntary"]))
    return per_thread, total_vol, total_invol


def perf_figures(text, seconds):
    """The figures of `perf stat -x ,` output: context switches per minute and task clock in ms.
    Counts perf could not take ("<not supported>", "<not counted>") are left out."""
    counts = {}
    for line in text.splitlines():
        parts = line.strip().split(",")
        if len(parts) > 2 and parts[0] and not line.startswith("#"):
            counts[parts[2]] = parts[0]
    figures = {}
    switches = counts.get("context-switches", "")
    if switches.isdigit():
        figures["perf_switches_per_minute"] = round(int(switches) * 60 / seconds, 1)
    try:
        figures["perf_cpu_ms"] = round(float(counts["cpu-clock"]), 1)
    except (KeyError, ValueError):
        pass
    return figures


def measure_idle(pid, seconds, use_perf):
    perf = None
    perf_out = None
    if use_perf and shutil.which("perf"):
        perf_out = f"/tmp/startup-idle-perf.{os.getpid()}"
        perf = subprocess.Popen(["perf", "stat", "-x", ",", "-o", perf_out, "-e", "context-switches,cpu-clock",
                                 "-p", str(pid), "--", "sleep", str(seconds)],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    memory0 = memory_kib(pid)
    cpu0 = process_cpu_seconds(pid)
    ns0 = threads_cpu_ns(pid)
    threads0 = thread_switches(pid)
    start = now()
    time.sleep(seconds)
    cpu1 = process_cpu_seconds(pid)
    ns1 = threads_cpu_ns(pid)
    threads1 = thread_switches(pid)
    elapsed = now() - start

    per_thread, total_vol, total_invol = switch_deltas(threads0, threads1)
    result = {
        "seconds": round(elapsed, 3),
        "cpu_ms": round((cpu1 - cpu0) * 1000, 1),
        "schedstat_cpu_ms": round((ns1 - ns0) / 1e6, 2),
        "switches_voluntary": total_vol,
        "switches_nonvoluntary": total_invol,
        "switches_per_minute": round((total_vol + total_invol) * 60 / elapsed, 1),
        "threads": per_thread,
        "threads_ended": len(set(threads0) - set(threads1)),
    }
    result.update(memory_kib(pid))
    result.update({key + "_start": value for key, value in memory0.items()})
    if perf:
        perf.wait()
        try:
            with open(perf_out) as f:
                result.update(perf_figures(f.read(), seconds))
            os.unlink(perf_out)
        except FileNotFoundError:
            pass
    return result


def end(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True, help="UDP port of the announcement")
    parser.add_argument("--timeout", type=float, default=60, help="give up on start-up after this")
    parser.add_argument("--window-poll", type=float, default=0.05)
    parser.add_argument("--window-grace", type=float, default=10,
                        help="how long to wait for a window after the first datagram")
    parser.add_argument("--settle", type=float, default=10)
    parser.add_argument("--idle", type=float, default=0, help="seconds of idle measurement, 0 for none")
    parser.add_argument("--perf", action="store_true")
    parser.add_argument("--screenshot", help="a picture of the screen once settled")
    parser.add_argument("--poke", help="a shell command run once start-up settled, before the idle window")
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--kind", default="", help="the program's name in the results")
    parser.add_argument("--run", type=int, default=0, help="the start's number in the results")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    sniffer = open_sniffer()
    log = open(args.log, "wb")
    start = now()
    proc = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT)
    result = {"kind": args.kind, "run": args.run, "pid": proc.pid}
    datagram_at = window_at = None
    next_poll = start
    try:
        # A program that never maps a window is not waited for long after it announced itself.
        while (datagram_at is None or window_at is None) and now() - start < args.timeout:
            if datagram_at is not None and now() - datagram_at > args.window_grace:
                break
            if proc.poll() is not None:
                result["exited"] = proc.returncode
                break
            wait = max(0.0, next_poll - now()) if window_at is None else 0.1
            readable, _, _ = select.select([sniffer], [], [], wait)
            if readable:
                while True:
                    try:
                        frame = sniffer.recv(65536)
                    except BlockingIOError:
                        break
                    destination = udp_destination(frame)
                    if datagram_at is None and destination and destination[1] == args.port:
                        datagram_at = now()
                        result["datagram_to"] = destination[0]
            if window_at is None and now() >= next_poll:
                if has_visible_window(proc.pid):
                    window_at = now()
                next_poll = now() + args.window_poll
        sniffer.close()
        result["datagram_ms"] = round((datagram_at - start) * 1000, 1) if datagram_at else None
        result["window_ms"] = round((window_at - start) * 1000, 1) if window_at else None
        if args.idle > 0 and proc.poll() is None:
            time.sleep(args.settle)
            if args.poke:
                # Something happens (a message arrives), and settles, before the idle minute.
                result["poke_exit"] = subprocess.run(args.poke, shell=True, stdout=subprocess.DEVNULL,
                                                     stderr=log, check=False).returncode
                time.sleep(args.settle)
            if args.screenshot:
                subprocess.run(["import", "-window", "root", args.screenshot],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            result["idle"] = measure_idle(proc.pid, args.idle, args.perf)
        result["alive"] = proc.poll() is None
    finally:
        end(proc)
    json.dump(result, sys.stdout)
    sys.stdout.write("\n")
    progress = (f"  {args.kind:14} start {args.run}: datagram {result.get('datagram_ms')} ms"
                f" (to {result.get('datagram_to')}), window {result.get('window_ms')} ms")
    if "idle" in result:
        idle = result["idle"]
        progress += f"; idle {idle['cpu_ms']} ms CPU, {idle['switches_per_minute']} wake-ups/min"
    print(progress, file=sys.stderr)


if __name__ == "__main__":
    main()
