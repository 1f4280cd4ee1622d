#!/usr/bin/env python3
"""What sharing the radio costs, measured on the real program.

Latency: one client makes exchanges in turns on a direct line to a simulator (its pseudo-terminal,
no program between) and through the program's doors to an identical simulator that the program
polls every 500 ms: the network door and the serial port door. Same client, same run; the added
latency is each door's percentile minus the direct line's.

Load: eight clients on the network door each ask 20 times a second. The program's polls are timed
where they reach the radio (the simulator's log), each client's longest wait is kept, and the
program's CPU time over the load, less that of an equally long window of polling alone, is divided
by the exchanges the clients made.

Usage: measure_sharing.py [--exchanges 2000] [--seconds 30] [--build DIR]
The build directory needs qt/quorvel and sim/quorvel-sim (default: $QUORVEL_BUILD_DIR, else
build/release).
"""

import argparse
import glob
import os
import socket
import sys
import threading
import time
import tty

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.dont_write_bytecode = True

from quorvel_e2e import Session, wait_until  # noqa: E402

CLIENTS = 8
RATE_HZ = 20
POLL_S = 0.5


def percentile(samples, p):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, max(0, round(p / 100 * len(ordered)) - 1))]


def cpu_ns(pid):
    total = 0
    for task in glob.glob(f"/proc/{pid}/task/*/schedstat"):
        try:
            with open(task, encoding="ascii") as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass
    return total


class Line:
    """A client's end of one path to a radio: a file descriptor it writes a query to and reads the
    reply from."""

    def __init__(self, fd=None, sock=None):
        self.fd, self.sock = fd, sock

    def close(self):
        if self.sock:
            self.sock.close()
        else:
            os.close(self.fd)

    def exchange(self, query=b"FA;"):
        started = time.perf_counter_ns()
        if self.sock:
            self.sock.sendall(query)
        else:
            os.write(self.fd, query)
        got = b""
        while not got.endswith(b";"):
            got += self.sock.recv(256) if self.sock else os.read(self.fd, 256)
        return (time.perf_counter_ns() - started) / 1000.0, got


def open_pty(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    return Line(fd=fd)


def open_tcp(port):
    sock = socket.create_connection(("127.0.0.1", port))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return Line(sock=sock)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def latency(direct, network, serial, exchanges):
    samples = {"direct": [], "network door": [], "serial port door": []}
    lines = [("direct", direct), ("network door", network), ("serial port door", serial)]
    for _ in range(20):  # warm-up, untimed
        for _, line in lines:
            line.exchange()
    for i in range(exchanges):
        for name, line in lines[i % 3:] + lines[:i % 3]:  # each path first in turn
            took, reply = line.exchange()
            assert reply.startswith(b"FA"), reply
            samples[name].append(took)
    print(f"\nLatency of one exchange, µs ({exchanges} each, interleaved)")
    print(f"{'path':<18}{'p50':>9}{'p90':>9}{'p99':>9}{'added p50':>11}{'added p99':>11}")
    for name, values in samples.items():
        p50, p90, p99 = (percentile(values, p) for p in (50, 90, 99))
        base50, base99 = percentile(samples["direct"], 50), percentile(samples["direct"], 99)
        added = "" if name == "direct" else f"{p50 - base50:>11.1f}{p99 - base99:>11.1f}"
        print(f"{name:<18}{p50:>9.1f}{p90:>9.1f}{p99:>9.1f}{added}")


def load(session, sim, port, seconds):
    pid = session.program.pid
    idle_start = cpu_ns(pid)
    time.sleep(seconds)
    idle_ns = cpu_ns(pid) - idle_start

    waits, counts, stop = [[] for _ in range(CLIENTS)], [0] * CLIENTS, threading.Event()

    def client(n):
        line = open_tcp(port)
        next_at = time.monotonic()
        while not stop.is_set():
            took, reply = line.exchange()
            assert reply.startswith(b"FA"), reply
            waits[n].append(took)
            counts[n] += 1
            next_at += 1 / RATE_HZ
            time.sleep(max(0.0, next_at - time.monotonic()))

    threads = [threading.Thread(target=client, args=(n,)) for n in range(CLIENTS)]
    began = time.monotonic()
    cpu_start = cpu_ns(pid)
    sim_start = sim.exchanges()[-1].time
    for thread in threads:
        thread.start()
    time.sleep(seconds)
    stop.set()
    for thread in threads:
        thread.join()
    load_ns = cpu_ns(pid) - cpu_start
    elapsed = time.monotonic() - began
    polls = [e.time for e in sim.queries(since=sim_start)]
    intervals = [(b - a) * 1000 for a, b in zip(polls, polls[1:])]
    exchanges = sum(counts)
    print(f"\nLoad: {CLIENTS} clients asking {RATE_HZ}/s each for {elapsed:.1f} s, {exchanges} exchanges "
          f"({exchanges / elapsed:.0f}/s)")
    print(f"poll interval at the radio, ms: min {min(intervals):.1f}, max {max(intervals):.1f}, "
          f"largest deviation from 500: {max(abs(i - POLL_S * 1000) for i in intervals):.1f}")
    all_waits = [w for ws in waits for w in ws]
    print(f"client wait, ms: p50 {percentile(all_waits, 50) / 1000:.2f}, p99 {percentile(all_waits, 99) / 1000:.2f}, "
          f"max {max(all_waits) / 1000:.2f}")
    print(f"program CPU: {load_ns / 1e6:.0f} ms under load, {idle_ns / 1e6:.0f} ms polling alone; "
          f"per shared exchange {(load_ns - idle_ns) / exchanges / 1000:.1f} µs")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exchanges", type=int, default=2000)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--build", default=os.environ.get("QUORVEL_BUILD_DIR", os.path.join(ROOT, "build", "release")))
    args = parser.parse_args()
    quorvel = os.path.join(args.build, "qt", "quorvel")
    simulator = os.path.join(args.build, "sim", "quorvel-sim")
    with Session(quorvel, simulator, "measure-sharing") as session:
        port = free_port()
        link = os.path.join(session.home, "com9")
        session.write_settings({"port": "3", "share": f"127.0.0.1:{port}", "sharelink": link})
        direct_sim = session.start_sim(port=4)
        sim = session.start_sim(port=3)
        session.start_program(focus=False)
        wait_until(lambda: sim.exchanges("rx", "K3;") and os.path.islink(link), 10, "the doors")
        lines = (open_pty(os.path.join(session.ports, "com4")), open_tcp(port), open_pty(link))
        latency(*lines, args.exchanges)
        for line in lines:
            line.close()
        del direct_sim
        load(session, sim, port, args.seconds)


if __name__ == "__main__":
    main()
