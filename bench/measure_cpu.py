#!/usr/bin/env python3
"""CPU time the real program spends polling the radio.

Runs quorvel under its own Xvfb against quorvel-sim linked as Com1, in a private HOME and
settings folder (the end-to-end tests' own machinery), waits until the panel shows answered polls,
then reads the CPU time of the program, the simulator and the X server from /proc at the start and
at the end of a window of steady polling.

Two readings per process: the kernel's nanosecond run time of each of its threads
(/proc/PID/task/TID/schedstat), and utime + stime of /proc/PID/stat, which also keeps the time of
threads that ended but counts only whole clock ticks (10 ms here): over a minute of near idling the
tick count is too coarse to judge a few tens of milliseconds, so the nanosecond figure leads.

Usage: measure_cpu.py [--seconds 60] [--interval 500] [--build DIR]
The build directory needs qt/quorvel and sim/quorvel-sim (default: $QUORVEL_BUILD_DIR, else
build/release, which scripts/setup.sh makes).
"""

import argparse
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
# Borrowing the tests' machinery leaves no compiled copy of it behind in their folder.
sys.dont_write_bytecode = True

from quorvel_e2e import Failure, Session, check  # noqa: E402

TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")
# Answered polls seen before the window opens: start-up, first paint and font loading are over.
WARM_UP_REPLIES = 4
TARGET_PERCENT = 0.05


class CpuReading:
    """One process's CPU time so far."""

    def __init__(self, pid):
        with open(f"/proc/{pid}/stat", encoding="ascii") as f:
            # The command name is in parentheses and may hold blanks; fields count on from after it.
            fields = f.read().rsplit(")", 1)[1].split()
        self.ticks = int(fields[11]) + int(fields[12])  # utime, stime
        self.thread_ns = {}
        for tid in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{tid}/schedstat", encoding="ascii") as f:
                    self.thread_ns[tid] = int(f.read().split()[0])
            except FileNotFoundError:  # a thread that ended between the listing and the read
                pass
        self.threads = len(self.thread_ns)

    def run_ns_since(self, earlier):
        """Run time of the threads alive now since the earlier reading. A thread that ended in between
        would otherwise take its whole life's run time off the figure: Qt's pooled threads end after
        30 s idle, inside a measuring window."""
        return sum(ns - earlier.thread_ns.get(tid, 0) for tid, ns in self.thread_ns.items())


def machine_busy_ticks():
    """Ticks all processors spent in any state but idle and waiting for I/O."""
    with open("/proc/stat", encoding="ascii") as f:
        fields = [int(v) for v in f.readline().split()[1:9]]
    user, nice, system, _idle, _iowait, irq, softirq, steal = fields + [0] * (8 - len(fields))
    return user + nice + system + irq + softirq + steal


def command_name(pid):
    with open(f"/proc/{pid}/comm", encoding="ascii") as f:
        return f.read().strip()


def child_named(name):
    """The process of ours (Xvfb is started by the session) whose command is name."""
    me = str(os.getpid())
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", encoding="ascii") as f:
                parent = f.read().rsplit(")", 1)[1].split()[1]
            if parent == me and command_name(entry) == name:
                return int(entry)
        except (FileNotFoundError, ProcessLookupError):
            continue
    return None


def default_build_dir():
    return os.environ.get("QUORVEL_BUILD_DIR") or os.path.join(ROOT, "build", "release")


def measure(quorvel, sim_path, seconds, interval_ms):
    with Session(quorvel, sim_path, "cpu") as session:
        settings = {"port": "1", "poll": "1", "polltime": str(interval_ms)}
        sim = session.start_panel("--quit-after", str(seconds + 120), settings=settings, port=1)
        sim.wait_for("tx", count=WARM_UP_REPLIES, timeout=30)
        session.check_no_message_box()

        processes = {"quorvel": session.program.pid, "quorvel-sim": sim.process.pid}
        xvfb = child_named("Xvfb")
        if xvfb is not None:
            processes["Xvfb"] = xvfb
        for name, pid in processes.items():
            check(command_name(pid) == name, f"process {pid} is {command_name(pid)}, not {name}")

        start_wall = time.monotonic()
        busy_before = machine_busy_ticks()
        before = {name: CpuReading(pid) for name, pid in processes.items()}
        # The measuring window itself: nothing to wait for, the program is left alone to poll.
        time.sleep(seconds)
        after = {name: CpuReading(pid) for name, pid in processes.items()}
        busy = machine_busy_ticks() - busy_before
        end_wall = time.monotonic()

        check(session.program.poll() is None, f"quorvel ended during the run ({session.program.returncode})")
        session.check_no_message_box()
        queries = len(sim.queries(since=start_wall, until=end_wall))
        replies = len(sim.exchanges("tx", since=start_wall, until=end_wall))
        # A busy machine makes every wake-up dearer (caches, waiting for a processor): say how busy.
        ours = sum(after[name].ticks - before[name].ticks for name in processes)
        others = max(0, busy - ours) / (TICKS_PER_SECOND * (end_wall - start_wall) * os.cpu_count()) * 100
        return end_wall - start_wall, queries, replies, before, after, others


def report(wall, queries, replies, before, after, others, interval_ms):
    print(f"CPU time over {wall:.1f} s of polling every {interval_ms} ms under Xvfb: "
          f"{queries} queries, {replies} replies")
    print(f"other programs kept {others:.0f} % of the {os.cpu_count()} processors busy meanwhile")
    print(f"{'process':<12} {'cpu ms':>9} {'% of a core':>12} {'us per poll':>12} {'ticks':>6} {'threads':>8}")
    missed = False
    for name in before:
        run_ms = after[name].run_ns_since(before[name]) / 1e6
        ticks = after[name].ticks - before[name].ticks
        percent = run_ms / 1000.0 / wall * 100.0
        per_poll = run_ms * 1000.0 / queries if queries else float("nan")
        print(f"{name:<12} {run_ms:9.1f} {percent:12.4f} {per_poll:12.0f} {ticks:6d} {after[name].threads:8d}")
        missed = missed or (name == "quorvel" and percent >= TARGET_PERCENT)
    tick_ms = 1000 // TICKS_PER_SECOND
    print(f"(cpu ms from the threads' run time in ns; ticks are utime+stime at {tick_ms} ms each)")
    print(f"target: quorvel under {TARGET_PERCENT} % of one core while polling: {'missed' if missed else 'met'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=60.0, help="length of the measuring window")
    parser.add_argument("--interval", type=int, default=500, help="poll interval in ms (500 to 10000)")
    parser.add_argument("--build", default=default_build_dir(), help="build directory")
    args = parser.parse_args()
    if not 500 <= args.interval <= 10000 or args.seconds <= 0:
        parser.error("the interval takes 500 to 10000 ms and the window a positive number of seconds")
    quorvel = os.path.join(args.build, "qt", "quorvel")
    sim_path = os.path.join(args.build, "sim", "quorvel-sim")
    for program in (quorvel, sim_path):
        if not os.access(program, os.X_OK):
            parser.error(f"{program} was not built")
    try:
        wall, queries, replies, before, after, others = measure(quorvel, sim_path, args.seconds, args.interval)
    except Failure as failure:
        print(f"measure_cpu: {failure}", file=sys.stderr)
        return 2
    report(wall, queries, replies, before, after, others, args.interval)
    # The figures are the result; missing the target is for the reader to weigh, not a failure.
    return 0


if __name__ == "__main__":
    sys.exit(main())
