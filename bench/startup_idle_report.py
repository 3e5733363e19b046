#!/usr/bin/env python3
"""Turns the probe results of bench/startup-idle.sh (JSON lines) into Markdown tables:
start-up per program (median, min, max), idle cost per program with the ratio
Colloqua/iptux, and the threads that woke during the idle minute."""

import json
import statistics
import sys

BASELINE = "iptux"


def load(path):
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


def kinds_in_order(results):
    kinds = []
    for r in results:
        if r["kind"] not in kinds:
            kinds.append(r["kind"])
    return kinds


def spread(values):
    values = [v for v in values if v is not None]
    if not values:
        return "n/a"
    return f"{statistics.median(values):.0f} ({min(values):.0f}–{max(values):.0f})"


def ratio(value, base):
    if value is None or base in (None, 0):
        return "n/a"
    return f"{value / base:.2f}"


def main():
    results = load(sys.argv[1])
    kinds = kinds_in_order(results)

    print()
    print("Start-up, ms from exec: median (min–max)")
    print()
    print("| program | starts | first datagram (announced) | first visible window | failed starts |")
    print("|---|---|---|---|---|")
    for kind in kinds:
        runs = [r for r in results if r["kind"] == kind]
        failed = sum(1 for r in runs if r.get("datagram_ms") is None or not r.get("alive", False))
        print(f"| {kind} | {len(runs)} | {spread(r.get('datagram_ms') for r in runs)} "
              f"| {spread(r.get('window_ms') for r in runs)} | {failed} |")

    idle = {r["kind"]: r["idle"] for r in results if "idle" in r}
    if not idle:
        return
    seconds = next(iter(idle.values()))["seconds"]
    rows = [
        ("CPU time (utime+stime), ms per minute", lambda i: i["cpu_ms"] * 60 / i["seconds"]),
        ("CPU time (schedstat), ms per minute", lambda i: i["schedstat_cpu_ms"] * 60 / i["seconds"]),
        ("wake-ups (context switches) per minute", lambda i: i["switches_per_minute"]),
        ("  of them involuntary", lambda i: i["switches_nonvoluntary"] * 60 / i["seconds"]),
        ("perf: context switches per minute", lambda i: i.get("perf_switches_per_minute")),
        ("perf: task clock, ms per minute", lambda i: i["perf_cpu_ms"] * 60 / i["seconds"] if "perf_cpu_ms" in i else None),
        ("threads", lambda i: len(i["threads"])),
        ("VmRSS at the start of the window, MiB", lambda i: i["VmRSS_start"] / 1024),
        ("VmRSS at its end, MiB", lambda i: i["VmRSS"] / 1024),
        ("VmHWM (peak RSS the kernel noted), MiB", lambda i: i["VmHWM"] / 1024),
        ("PSS at the start of the window, MiB", lambda i: i["Pss_start"] / 1024),
        ("PSS at its end, MiB", lambda i: i["Pss"] / 1024),
    ]
    others = [k for k in idle if k != BASELINE]
    print()
    print(f"Idle over {seconds:.0f} s, after start-up settled")
    print()
    header = "| figure | " + " | ".join(idle) + "".join(f" | {k}/{BASELINE}" for k in others if BASELINE in idle) + " |"
    print(header)
    print("|---" * (header.count("|") - 1) + "|")
    for label, get in rows:
        values = {k: get(v) for k, v in idle.items()}
        cells = [("n/a" if values[k] is None else f"{values[k]:.1f}") for k in idle]
        if BASELINE in idle:
            cells += [ratio(values[k], values[BASELINE]) for k in others]
        print(f"| {label} | " + " | ".join(cells) + " |")

    print()
    print("Threads that woke during the idle minute (wake-ups per minute)")
    print()
    for kind, figures in idle.items():
        woke = [t for t in figures["threads"] if t["voluntary"] + t["nonvoluntary"] > 0]
        listed = ", ".join(f"{t['name']} {(t['voluntary'] + t['nonvoluntary']) * 60 / figures['seconds']:.0f}"
                           for t in woke) or "none"
        print(f"- {kind}: {listed}")


if __name__ == "__main__":
    main()
