#!/usr/bin/env python3
"""The helpers of bench/startup-idle.sh: what they read from packets, /proc and perf, and
how the report turns it into figures."""

import os
import socket
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))

import startup_idle_probe as probe  # noqa: E402
import startup_idle_report as report  # noqa: E402


def frame(ethertype=0x0800, version=4, header_words=5, protocol=17, destination="127.255.255.255",
          port=45138, truncate=None):
    """A frame as a packet socket on lo delivers it: an Ethernet header, IPv4, UDP."""
    options = b"\x01" * 4 * (header_words - 5)
    ip = struct.pack("!BBHHHBBH4s4s", (version << 4) | header_words, 0, 0, 0, 0, 64, protocol, 0,
                     socket.inet_aton("127.0.0.2"), socket.inet_aton(destination)) + options
    udp = struct.pack("!HHHH", 40000, port, 8, 0)
    data = b"\0" * 12 + struct.pack("!H", ethertype) + ip + udp
    return data if truncate is None else data[:truncate]


class UdpDestination(unittest.TestCase):
    def test_table(self):
        table = [
            ("broadcast announcement", frame(), ("127.255.255.255", 45138)),
            ("directed datagram", frame(destination="127.0.0.1", port=2425), ("127.0.0.1", 2425)),
            # The port follows the IP options, not a fixed offset.
            ("IPv4 with options", frame(header_words=7, port=2425), ("127.255.255.255", 2425)),
            ("TCP segment", frame(protocol=6), None),
            ("IPv6 frame", frame(ethertype=0x86DD), None),
            ("IPv4 ethertype, other version", frame(version=6), None),
            ("cut inside the UDP header", frame(truncate=14 + 20 + 3), None),
            ("header length below the minimum", frame(header_words=4), None),
            ("cut inside the options", frame(header_words=15, truncate=14 + 40), None),
            ("empty", b"", None),
        ]
        for name, data, expected in table:
            with self.subTest(name):
                self.assertEqual(probe.udp_destination(data), expected)


class ProcReadings(unittest.TestCase):
    def test_cpu_ticks_from_stat(self):
        rest = "S 1 1 1 0 -1 4194560 100 0 0 0 {u} {s} 0 0 20 0 7 0 500 1000 300"
        table = [
            ("plain name", "4242 (colloqua) " + rest.format(u=17, s=5), 22),
            # A thread name may hold blanks and parentheses.
            ("name with ') '", "4242 (a) b (c)) " + rest.format(u=3, s=4), 7),
            ("nothing used", "1 (x) " + rest.format(u=0, s=0), 0),
        ]
        for name, text, ticks in table:
            with self.subTest(name):
                self.assertEqual(probe.cpu_ticks_from_stat(text), ticks)

    def test_switch_deltas(self):
        before = {"10": ("colloqua", 100, 5), "11": ("TCheckThread", 40, 1), "12": ("gone", 7, 7)}
        after = {"10": ("colloqua", 103, 5), "11": ("TCheckThread", 100, 2), "13": ("new", 4, 1)}
        threads, voluntary, nonvoluntary = probe.switch_deltas(before, after)
        # The thread that started in between counts from zero; the one that ended is lost.
        self.assertEqual((voluntary, nonvoluntary), (3 + 60 + 4, 0 + 1 + 1))
        self.assertEqual([(t["name"], t["voluntary"], t["nonvoluntary"], t["new"]) for t in threads],
                         [("TCheckThread", 60, 1, False), ("new", 4, 1, True), ("colloqua", 3, 0, False)])

    def test_perf_figures(self):
        table = [
            ("both counted", "# started on Tue\n\n120,,context-switches,60000000,100.00,,\n"
             "17.43,msec,cpu-clock,17430000,100.00,0.000,CPUs utilized\n", 60,
             {"perf_switches_per_minute": 120.0, "perf_cpu_ms": 17.4}),
            ("per minute from a shorter window", "30,,context-switches,1,100.00,,\n", 15,
             {"perf_switches_per_minute": 120.0}),
            ("not supported", "<not supported>,,context-switches,0,100.00,,\n"
             "<not counted>,msec,cpu-clock,0,0.00,,\n", 60, {}),
            ("nothing written", "", 60, {}),
        ]
        for name, text, seconds, expected in table:
            with self.subTest(name):
                self.assertEqual(probe.perf_figures(text, seconds), expected)


class Report(unittest.TestCase):
    def test_spread(self):
        table = [
            ("odd count", [900, 1200, 1000], "1000 (900–1200)"),
            ("a failed start is left out", [None, 800, 1000], "900 (800–1000)"),
            ("all failed", [None, None], "n/a"),
            ("none", [], "n/a"),
        ]
        for name, values, expected in table:
            with self.subTest(name):
                self.assertEqual(report.spread(values), expected)

    def test_ratio(self):
        table = [
            ("smaller", 60.0, 10000.0, "0.01"),
            ("larger", 30.0, 20.0, "1.50"),
            ("zero baseline", 5.0, 0, "n/a"),
            ("missing baseline", 5.0, None, "n/a"),
            ("missing value", None, 5.0, "n/a"),
        ]
        for name, value, base, expected in table:
            with self.subTest(name):
                self.assertEqual(report.ratio(value, base), expected)

    def test_kinds_keep_the_order_of_the_runs(self):
        results = [{"kind": k} for k in ("colloqua", "iptux", "colloqua", "colloqua-tray", "iptux")]
        self.assertEqual(report.kinds_in_order(results), ["colloqua", "iptux", "colloqua-tray"])


if __name__ == "__main__":
    unittest.main()
