#!/usr/bin/env python3
"""How long a reply takes on each route to the radio, side by side in one run.

The real program polls a simulator four ways in turn, under one Xvfb: on the serial line itself,
over TCP through ser2net, through rigctld and through flrig. Each poll is timed in the program's
own trace, from the query leaving the window ("tx") to the reply reaching it ("rx"), to the
millisecond the trace stamps. The same program, simulator and machine for every route; only the
route differs.

Usage: measure_routes.py [--polls 200] [--build DIR]
The build directory needs qt/quorvel and sim/quorvel-sim (default: $QUORVEL_BUILD_DIR, else
build/release). ser2net, rigctld (libhamlib-utils) and flrig must be installed.
"""

import argparse
import datetime
import os
import re
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.dont_write_bytecode = True

from quorvel_e2e import Session, accepts_connections, free_port, wait_until  # noqa: E402

POLL_MS = 100
TRACE_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) quorvel\.cat: (tx|rx) \"(.*)\"$")


def percentile(samples, p):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, max(0, round(p / 100 * len(ordered)) - 1))]


def reply_times(log_path):
    """Milliseconds from each "PC;" the window sent to the first whole reply it read after it."""
    times, asked, pending = [], None, ""
    with open(log_path, encoding="utf-8", errors="replace") as log:
        for line in log:
            match = TRACE_LINE.match(line.rstrip("\n"))
            if not match:
                continue
            when = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f").timestamp()
            if match.group(2) == "tx":
                asked, pending = (when if match.group(3) == "PC;" else None), ""
            elif asked is not None:
                pending += match.group(3)
                if pending.endswith(";"):
                    times.append(round((when - asked) * 1000))
                    asked = None
    return times


def start_ser2net(session, device, port):
    process = session.start_process("ser2net", [
        "ser2net", "-n", "-u", "-Y", "connection: &radio",
        "-Y", f"  accepter: tcp,127.0.0.1,{port}",
        "-Y", f"  connector: serialdev,{device},38400n81,local",
        "-Y", "  options:", "-Y", "    kickolduser: true",
    ])
    wait_until(lambda: accepts_connections(port), 20, "ser2net to listen", interval=0.1)
    return process


def measure(session, route, polls):
    """Starts the program on route, lets it make `polls` polls, and returns their reply times."""
    session.write_settings({"port": "3", "polltime": str(POLL_MS)})
    args = ["--trace"] + (["--radio", route] if route else [])
    program = session.start_program(focus=False, args=args)
    log = session.program_log
    wait_until(lambda: len(reply_times(log)) >= polls + 10, polls * POLL_MS / 1000 * 3 + 30,
               f"{polls} polls on {route or 'the serial line'}", interval=0.5)
    program.terminate()
    program.wait(timeout=10)
    return reply_times(log)[10:polls + 10]  # the first few go while the window settles


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--polls", type=int, default=200)
    parser.add_argument("--build", default=os.environ.get("QUORVEL_BUILD_DIR", os.path.join(ROOT, "build/release")))
    options = parser.parse_args()
    quorvel = os.path.join(options.build, "qt", "quorvel")
    sim_path = os.path.join(options.build, "sim", "quorvel-sim")
    results = []
    with Session(quorvel, sim_path, "routes") as session:
        session.start_sim(port=3)
        device = os.path.join(session.ports, "com3")
        results.append(("serial line", measure(session, None, options.polls)))
        for name, start in (("tcp via ser2net", start_ser2net), ("rigctld", session.start_rigctld),
                            ("flrig", session.start_flrig)):
            port = free_port()
            server = start(session, device, port) if start is start_ser2net else start(device, port)
            kind = "tcp" if name.startswith("tcp") else name
            results.append((name, measure(session, f"{kind}:127.0.0.1:{port}", options.polls)))
            server.terminate()
            server.wait(timeout=10)
            time.sleep(0.5)  # the serial device free again for the next one
    print(f"query to reply in the window, ms, {options.polls} polls each at {POLL_MS} ms")
    print("| route | p50 | p90 | p99 | max |")
    print("|---|---|---|---|---|")
    for name, times in results:
        print(f"| {name} | {percentile(times, 50)} | {percentile(times, 90)} | {percentile(times, 99)} | {max(times)} |")


if __name__ == "__main__":
    main()
