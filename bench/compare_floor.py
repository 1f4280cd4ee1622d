#!/usr/bin/env python3
"""Quorvel against the floor of its stack, in one run.

The floor is quorvel_floor: a bare Qt Widgets + SerialPort window that polls the same simulated
radio the same way and does nothing else. Both run under one Xvfb, on one quorvel-sim, in a
private HOME and settings folder (the end-to-end tests' own machinery), taking turns so that a
machine made busy by other work weighs on both alike. Three ratios come out:

- CPU per poll: each program polls for a window of --seconds after its start-up is over; its
  threads' run time over the window divided by the queries the simulator saw. Median of --windows
  windows each, quorvel's over the floor's.
- exec to first window: from just before the program is started to the X server mapping its
  window, seen as a MapNotify on the root window. Median of --starts starts each (every polling
  window's start counts too).
- memory: resident set (VmRSS) once polling runs, median each; quorvel's minus the floor's.

Usage: compare_floor.py [--windows 6] [--seconds 30] [--starts 12] [--build DIR]
The build directory needs qt/quorvel, sim/quorvel-sim and bench/quorvel_floor (configure with
-DQUORVEL_BENCHMARKS=ON; default: $QUORVEL_BUILD_DIR, else build/bench).
"""

import argparse
import ctypes
import ctypes.util
import os
import select
import statistics
import subprocess
import sys
import time

# Borrowing the other scripts' machinery leaves no compiled copy of it behind in their folders.
sys.dont_write_bytecode = True

from measure_cpu import CpuReading, command_name  # noqa: E402 (the bench folder is first on sys.path)
from quorvel_e2e import CHILD_PREFIX, Failure, Session, check  # noqa: E402 (measure_cpu puts it there)

POLL_MS = 500
WARM_UP_REPLIES = 4
PORT = 1
TARGETS = {"cpu": 1.25, "start": 1.25, "memory_mib": 2.5}

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class XMapEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("event", ctypes.c_ulong),
        ("window", ctypes.c_ulong),
        ("override_redirect", ctypes.c_int),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


class MapWatcher:
    """Sees top-level windows being mapped on one X display, with the moment they were seen."""

    def __init__(self, display):
        name = ctypes.util.find_library("X11")
        check(name is not None, "libX11 is missing")
        self.x = ctypes.CDLL(name)
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for function in ("XDefaultRootWindow",):
            getattr(self.x, function).restype = ctypes.c_ulong
            getattr(self.x, function).argtypes = [ctypes.c_void_p]
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        self.x.XPending.argtypes = [ctypes.c_void_p]
        self.x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(display.encode())
        check(self.display, f"cannot open X display {display}")
        root = self.x.XDefaultRootWindow(self.display)
        self.x.XSelectInput(self.display, root, SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XFlush(self.display)
        self.fd = self.x.XConnectionNumber(self.display)

    def close(self):
        self.x.XCloseDisplay(self.display)

    def drain(self):
        event = XEvent()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))

    def wait_for_map(self, process, timeout):
        """The monotonic time at which a new top-level window (no popup) was mapped."""
        deadline = time.monotonic() + timeout
        event = XEvent()
        while True:
            while self.x.XPending(self.display):
                self.x.XNextEvent(self.display, ctypes.byref(event))
                if event.type == MAP_NOTIFY and not event.xmap.override_redirect:
                    return time.monotonic()
            check(process.poll() is None, f"{process.args[-1]} exited with status {process.returncode}")
            remaining = deadline - time.monotonic()
            check(remaining > 0, "no window was mapped in time")
            select.select([self.fd], [], [], min(remaining, 0.2))


class Contender:
    """One of the two programs, and what was measured of it."""

    def __init__(self, name, argv):
        self.name = name
        self.argv = argv
        self.starts = []  # seconds from exec to mapped window
        self.per_poll = []  # CPU microseconds per poll, one per window
        self.rss = []  # KiB
        self.replies = 0


def resident_kib(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise Failure(f"no VmRSS for process {pid}")


def launch(session, watcher, contender):
    watcher.drain()
    log = open(os.path.join(session.root, f"{contender.name}.log"), "a", encoding="utf-8")
    started = time.monotonic()
    process = subprocess.Popen([*CHILD_PREFIX, *contender.argv], env=session.program_environment(), stdout=log,
                               stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    log.close()
    try:
        contender.starts.append(watcher.wait_for_map(process, 20) - started)
    except BaseException:
        stop(process)
        raise
    return process, started


def stop(process):
    if process.poll() is None:
        process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=5)


def start_only(session, watcher, contender):
    process, _ = launch(session, watcher, contender)
    stop(process)


def poll_window(session, watcher, sim, contender, seconds):
    process, started = launch(session, watcher, contender)
    try:
        sim.wait_for("tx", count=WARM_UP_REPLIES, since=started, timeout=30)
        expected = os.path.basename(contender.argv[0])[:15]
        check(command_name(process.pid) == expected, f"process {process.pid} is not {expected}")
        contender.rss.append(resident_kib(process.pid))
        begin, before = time.monotonic(), CpuReading(process.pid)
        # The measuring window itself: nothing to wait for, the program is left alone to poll.
        time.sleep(seconds)
        after, end = CpuReading(process.pid), time.monotonic()
        check(process.poll() is None, f"{contender.name} ended during its window")
        queries = len(sim.queries(since=begin, until=end))
        contender.replies += len(sim.exchanges("tx", since=begin, until=end))
        check(queries >= seconds * 1000 / POLL_MS * 0.8, f"{contender.name} sent only {queries} queries")
        contender.per_poll.append(after.run_ns_since(before) / 1000 / queries)
    finally:
        stop(process)


def measure(build, windows, seconds, starts):
    quorvel = Contender("quorvel", [os.path.join(build, "qt", "quorvel")])
    with Session(quorvel.argv[0], os.path.join(build, "sim", "quorvel-sim"), "floor") as session:
        session.write_settings({"port": str(PORT), "poll": "1", "polltime": str(POLL_MS)})
        total = starts * 2 * 2 + windows * 2 * (seconds + 15) + 60
        sim = session.start_sim("--quit-after", str(int(total)), port=PORT)
        floor = Contender("floor", [os.path.join(build, "bench", "quorvel_floor"), os.path.join(session.ports,
                                                                                               f"com{PORT}")])
        watcher = MapWatcher(session.display)
        try:
            # Who goes first swaps every round, so that a drift in the machine's load favours neither.
            for round_number in range(starts):
                pair = (quorvel, floor) if round_number % 2 == 0 else (floor, quorvel)
                for contender in pair:
                    start_only(session, watcher, contender)
            for round_number in range(windows):
                pair = (quorvel, floor) if round_number % 2 == 0 else (floor, quorvel)
                for contender in pair:
                    poll_window(session, watcher, sim, contender, seconds)
        finally:
            watcher.close()
    return quorvel, floor


def report(quorvel, floor, seconds):
    cpu = statistics.median(quorvel.per_poll) / statistics.median(floor.per_poll)
    start = statistics.median(quorvel.starts) / statistics.median(floor.starts)
    memory = (statistics.median(quorvel.rss) - statistics.median(floor.rss)) / 1024
    print(f"{len(quorvel.per_poll)} polling windows of {seconds:g} s and {len(quorvel.starts)} starts each, "
          f"taking turns; polling every {POLL_MS} ms under Xvfb")
    print(f"{'':<10} {'us/poll median':>15} {'(range)':>15} {'start ms':>9} {'(range)':>13} {'RSS MiB':>8}")
    for c in (quorvel, floor):
        print(f"{c.name:<10} {statistics.median(c.per_poll):15.0f} "
              f"{min(c.per_poll):7.0f}-{max(c.per_poll):<7.0f} {statistics.median(c.starts) * 1000:9.1f} "
              f"{min(c.starts) * 1000:6.0f}-{max(c.starts) * 1000:<6.0f} {statistics.median(c.rss) / 1024:8.1f}")
    rows = [
        ("CPU per poll", f"{cpu:.2f} x floor", cpu <= TARGETS["cpu"], f"<= {TARGETS['cpu']} x"),
        ("exec to first window", f"{start:.2f} x floor", start <= TARGETS["start"], f"<= {TARGETS['start']} x"),
        ("memory", f"floor {memory:+.1f} MiB", memory <= TARGETS["memory_mib"], f"<= +{TARGETS['memory_mib']} MiB"),
    ]
    for what, figure, met, target in rows:
        print(f"{what:<22} {figure:<18} target {target:<12} {'met' if met else 'MISSED'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--windows", type=int, default=6, help="polling windows per program")
    parser.add_argument("--seconds", type=float, default=30.0, help="length of each polling window")
    parser.add_argument("--starts", type=int, default=12, help="start-ups per program besides the windows'")
    parser.add_argument("--build", default=os.environ.get("QUORVEL_BUILD_DIR") or os.path.join(
        os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "build", "bench"), help="build directory")
    args = parser.parse_args()
    if args.windows < 1 or args.seconds < 2 or args.starts < 0:
        parser.error("at least one window of at least 2 s, and no negative number of starts")
    for program in ("qt/quorvel", "sim/quorvel-sim", "bench/quorvel_floor"):
        if not os.access(os.path.join(args.build, program), os.X_OK):
            parser.error(f"{os.path.join(args.build, program)} was not built")
    try:
        quorvel, floor = measure(args.build, args.windows, args.seconds, args.starts)
    except Failure as failure:
        print(f"compare_floor: {failure}", file=sys.stderr)
        return 2
    report(quorvel, floor, args.seconds)
    # The figures are the result; a missed target is for the reader to weigh, not a failure.
    return 0


if __name__ == "__main__":
    sys.exit(main())
