#!/usr/bin/env python3
"""The radio through the programs that own its port at a shared station: a running rigctld, a
running flrig, and ser2net putting the port on the network, each in front of the simulator. The
program starts without a box, shows the power within a poll, a typed 25 reaches the radio as one
command, and a hub stopped for 5 s and started again is polled again within 2 s, without a box.

The program's trace tells what the window sent and got: flrig polls the radio itself, so the
simulator's log alone cannot tell our queries from flrig's."""

import datetime
import os
import re
import sys
import time

from quorvel_e2e import EXIT_BUTTON, GREEN, LINK_LAMP, PA_LAMP, POWER_BOX, check, free_port, run, wait_until

POLL_S = 0.5  # the default poll interval
OUTAGE_S = 5
BACK_WITHIN_S = 2.0
TRACE_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) quorvel\.cat: (\S+) ?(.*)$")


def trace(session, kind=None, since=None):
    """The program's trace lines as (wall-clock seconds, kind, text), oldest first."""
    found = []
    with open(session.program_log, encoding="utf-8", errors="replace") as log:
        for line in log:
            match = TRACE_LINE.match(line.rstrip("\n"))
            if not match:
                continue
            when = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f").timestamp()
            if (kind is None or match.group(2) == kind) and (since is None or when >= since):
                found.append((when, match.group(2), match.group(3)))
    return found


def stop(process):
    process.terminate()
    process.wait(timeout=10)


def type_power(session, text):
    """Types text into the power box and presses Enter; returns the wall-clock time of the Enter."""
    session.click(POWER_BOX)
    # With the focus in the box polling pauses: wait until two poll intervals pass quietly.
    wait_until(lambda: time.time() - trace(session, "tx")[-1][0] > 2 * POLL_S, 5, "polling to pause in the box")
    session.keys("ctrl+a")
    session.type_text(text)
    entered = time.time()
    session.keys("Return")
    return entered


def works_through(session, kind):
    start_hub = {"rigctld": session.start_rigctld, "flrig": session.start_flrig, "tcp": session.start_ser2net}[kind]
    sim = session.start_sim(port=3)
    device = os.path.join(session.ports, "com3")
    port = free_port()
    hub = start_hub(device, port)
    session.start_program(args=["--trace", "--radio", f"{kind}:127.0.0.1:{port}"])

    # The power shows within one poll of the first query, without a box.
    first = wait_until(lambda: trace(session, "rx"), 5, "a reply in the trace")[0]
    asked = [line for line in trace(session, "tx") if line[2] == '"PC;"'][0]
    check(first[2] == '"PC0501;"', f"first reply {first[2]}")
    check(first[0] - asked[0] <= POLL_S, f"the reply came {first[0] - asked[0]:.3f} s after the query")
    session.wait_for_lamp(LINK_LAMP, GREEN, 5, "link lamp")
    session.wait_for_lamp(PA_LAMP, GREEN, 5, "PA lamp")
    session.check_no_message_box()

    # A typed 25 reaches the radio as exactly one command, and the polls show it.
    since = time.monotonic()
    entered = type_power(session, "25")
    wait_until(lambda: any(line[2] == '"PC0251;"' for line in trace(session, "rx", since=entered)), 5,
               "the new power in a reply")
    sent = [e.text for e in sim.exchanges("rx", since=since) if e.text.startswith("PC") and e.text != "PC;"]
    check(sent == ["PC0251;"], f"the radio got {sent}")

    # The hub stopped for 5 s: lost, no box; started again: polled again within 2 s.
    stopped = time.time() - 0.001  # the trace counts whole milliseconds
    stop(hub)
    wait_until(lambda: trace(session, "lost", since=stopped), 5, "the loss in the trace")
    time.sleep(OUTAGE_S)
    session.check_no_message_box()
    hub = start_hub(device, port)
    back = time.time() - 0.001
    wait_until(lambda: trace(session, "rx", since=back), BACK_WITHIN_S, "a reply after the hub's return", interval=0.1)
    session.check_no_message_box()
    session.wait_for_lamp(LINK_LAMP, GREEN, 5, "link lamp")
    sent = [e.text for e in sim.exchanges("rx", since=since) if e.text.startswith("PC") and e.text != "PC;"]
    check(sent == ["PC0251;"], f"the radio got {sent} in all")


def through_rigctld(session):
    works_through(session, "rigctld")


def through_flrig(session):
    works_through(session, "flrig")


def through_ser2net(session):
    works_through(session, "tcp")


def exit_program(session):
    session.click(EXIT_BUTTON)
    session.wait_for_exit()


def route_choice_survives_a_restart(session):
    """--radio is for one run and saves nothing; the radio setting rules every start, with no Com
    port chosen and no box."""
    session.start_sim(port=3)
    port = free_port()
    session.start_ser2net(os.path.join(session.ports, "com3"), port)
    route = f"tcp:127.0.0.1:{port}"
    session.write_settings({"port": "0"})

    session.start_program(args=["--trace", "--radio", route])
    wait_until(lambda: trace(session, "rx"), 5, "a reply through the route given for this run")
    session.check_no_message_box()
    exit_program(session)
    check("radio" not in session.settings(), f"--radio was saved: {session.settings()}")

    # As the connection dialog saves it.
    session.write_settings({"port": "0", "radio": route})
    for start in (1, 2):
        session.start_program(args=["--trace"])
        wait_until(lambda: trace(session, "rx"), 5, f"a reply through the stored route at start {start}")
        session.check_no_message_box()
        exit_program(session)
        check(session.settings().get("radio") == route, f"start {start} left {session.settings()}")


if __name__ == "__main__":
    sys.exit(run("radio-hubs", [through_rigctld, through_flrig, through_ser2net, route_choice_survives_a_restart]))
