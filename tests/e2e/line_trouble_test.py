#!/usr/bin/env python3
"""What a real serial line does to the program: replies in pieces, a busy radio, line noise, a
pulled cable, an adapter unplugged and plugged in again.

None of these is the user's fault, so none of them may put a message box in front of the user.
"""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import time

from quorvel_e2e import CHILD_PREFIX, EXIT_BUTTON, GREEN, LINK_LAMP, MODE_COMMAND, PA_LAMP, RED, check, run, wait_until

# The interval is not the point here: poll fast, so a few queries take little time.
FAST_POLLING = {"port": "3", "polltime": "200"}
REPLUG_CYCLES = 50
# Descriptors and memory are compared from this cycle on, once the first reopenings have set up
# whatever the program keeps for good.
SETTLED_CYCLE = 10
RSS_GROWTH_LIMIT_KIB = 512


def quiet_for_queries(session, sim, count):
    """Waits for count more queries, checking all the while that no message box appears."""
    since = time.monotonic()
    wait_until(lambda: session.check_no_message_box() and len(sim.queries(since=since)) >= count, 15,
               f"{count} queries without a message box", interval=0.2)


def reply_split_over_two_reads_is_shown(session):
    sim = session.start_panel("--split", settings=FAST_POLLING)
    quiet_for_queries(session, sim, 6)
    replies = sim.exchanges("tx", "PC0501;")
    check(len(replies) >= 5, f"the simulator answered in pieces: {len(replies)} replies")
    # The PA lamp turns green only from a reply framed whole: "PC0" and "501;" alone show nothing.
    session.wait_for_lamp(PA_LAMP, GREEN, 3, "PA lamp")
    session.wait_for_lamp(LINK_LAMP, GREEN, 3, "link lamp")
    session.check_no_message_box()


def two_replies_in_one_read_show_the_later_one(session):
    # The radio's answer to each poll is a low-range reply and then a high-range one, written at
    # once: the panel must end on the second, so the PA lamp turns green.
    sim = session.start_panel("--answer", "PC0500;PC1001;", settings=FAST_POLLING)
    quiet_for_queries(session, sim, 4)
    session.wait_for_lamp(PA_LAMP, GREEN, 3, "PA lamp")
    session.check_no_message_box()


def radio_in_its_basic_command_mode_is_switched_once_and_shows_its_power(session):
    # A radio left in its basic command mode answers "PC050;", without the range digit, until it
    # is told "K22;": once when the line opens, before the first poll.
    sim = session.start_panel("--basic", settings=FAST_POLLING, args=("--trace",))
    session.wait_for_lamp(PA_LAMP, GREEN, 5, "PA lamp")
    quiet_for_queries(session, sim, 3)
    received = [e.text for e in sim.exchanges("rx")]
    check(received[0] == MODE_COMMAND and received.count(MODE_COMMAND) == 1,
          f"the mode is set once, first: {received[:5]}")
    check(set(received[1:]) == {"PC;"}, f"then only polls: {set(received[1:])}")
    check(f'tx "{MODE_COMMAND}"' in trace_of(session), "the trace shows the mode being set")


def trace_of(session):
    with open(session.program_log, encoding="utf-8") as log:
        return log.read()


def free_tcp_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start_holder(session, *command):
    holder = subprocess.Popen([*CHILD_PREFIX, *command], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              stdin=subprocess.DEVNULL)
    session._processes.append(holder)
    return holder


def port_rigctld_holds_is_refused_by_name_and_left_alone(session):
    rigctld = shutil.which("rigctld")
    check(rigctld is not None, "rigctld is installed (Debian's libhamlib-utils)")
    session.write_settings(FAST_POLLING)
    sim = session.start_sim()
    device = os.path.realpath(os.path.join(session.ports, "com3"))
    holder = start_holder(session, rigctld, "-m", "2029", "-r", device, "-s", "38400", "-T", "127.0.0.1", "-t",
                          str(free_tcp_port()))
    sim.wait_for("rx", "BW;", timeout=15)  # the last question of rigctld opening the radio
    since = time.monotonic()

    session.start_program(args=("--trace",))
    # The refusal is a box at start-up, and names the program and its process id.
    session.dismiss_start_message()
    wait_until(lambda: "held by rigctld (process" in trace_of(session), 5, "the refusal in the trace")
    check(f"held by rigctld (process {holder.pid})" in trace_of(session), f"names rigctld's pid: {trace_of(session)}")
    # Five poll intervals, in which nothing of ours may reach the radio.
    quiet_until = time.monotonic() + 1.0
    wait_until(lambda: time.monotonic() >= quiet_until, 5, "five poll intervals", interval=0.1)
    ours = [e for e in sim.exchanges("rx", since=since) if e.text.startswith("PC") or e.text == MODE_COMMAND]
    check(not ours, f"nothing was written to the port rigctld holds: {ours}")
    check(holder.poll() is None, "rigctld still runs")


def second_quorvel_on_the_same_port_says_so(session):
    sim = session.start_panel(settings=FAST_POLLING)
    sim.wait_for_queries(2)
    first = session.program
    # The second copy is refused before its window shows; its trace says why.
    log_path = os.path.join(session.root, "second.log")
    with open(log_path, "w", encoding="utf-8") as log:
        second = subprocess.Popen([*CHILD_PREFIX, session.quorvel_path, "--trace"], env=session.program_environment(),
                                  stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        session._processes.append(second)

        def refused():
            with open(log_path, encoding="utf-8") as f:
                return re.search(r"Quorvel is already running with this port \(.*process (\d+)\)", f.read())

        found = wait_until(refused, 20, "the second copy's refusal")
    check(int(found.group(1)) == first.pid, f"names the first copy's pid {first.pid}: {found.group(0)}")
    check(first.poll() is None, "the first copy runs on")


def busy_radio_keeps_the_link_alive_and_shows_nothing(session):
    sim = session.start_panel("--busy", settings=FAST_POLLING)
    quiet_for_queries(session, sim, 6)
    check(len(sim.exchanges("tx", "?;")) >= 5, "the radio answered '?;'")
    # Every answer is a sign of life, but "?;" carries no power to show.
    session.wait_for_lamp(LINK_LAMP, GREEN, 3, "link lamp")
    check(session.lamp(PA_LAMP) not in (GREEN, RED), f"PA lamp shows {session.lamp(PA_LAMP)} without a reply")
    session.check_no_message_box()


def line_noise_is_a_sign_of_life_and_exit_still_ends_at_once(session):
    sim = session.start_panel("--answer", "PC12;", settings=FAST_POLLING)
    quiet_for_queries(session, sim, 20)
    check(len(sim.exchanges("tx", "PC12;")) >= 15, "the radio answered 'PC12;'")
    session.wait_for_lamp(LINK_LAMP, GREEN, 3, "link lamp")
    check(session.lamp(PA_LAMP) not in (GREEN, RED), f"PA lamp shows {session.lamp(PA_LAMP)} without a reply")

    session.click(EXIT_BUTTON)
    check(session.wait_for_exit(timeout=2) == 0, "Exit ended the program at once, with status 0")


def unplugged_radio_turns_the_link_red_without_a_message_flood(session):
    sim = session.start_panel("--unplug-after", "3", settings=FAST_POLLING)
    session.wait_for_lamp(LINK_LAMP, GREEN, 5, "link lamp")
    sim.wait_for("unplugged", timeout=10)
    last_reply = sim.exchanges("tx")[-1].time

    session.wait_for_watchdog_red(last_reply)
    session.check_no_message_box()

    # The program goes on without the port, and stays quiet about it.
    check(session.program.poll() is None, "the program is still running")
    quiet_until = time.monotonic() + 2.0
    wait_until(lambda: session.check_no_message_box() and time.monotonic() >= quiet_until, 5,
               "two quiet seconds", interval=0.2)


def resources(pid):
    """Open descriptors and resident memory (KiB) of a running process."""
    descriptors = len(os.listdir(f"/proc/{pid}/fd"))
    with open(f"/proc/{pid}/status", encoding="ascii") as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    return descriptors, rss


def unplugged_adapter_comes_back_by_itself_every_time(session):
    # The simulator pulls its plug on SIGUSR1 and plugs a new pseudo-terminal in behind the same
    # link 0.3 s later, as a USB adapter comes back under a new device.
    sim = session.start_panel("--replug-after", "0.3", settings=FAST_POLLING)
    sim.wait_for_queries(2, timeout=10)
    pid = session.program.pid
    descriptors = []  # after each recovery
    settled_rss = None
    slowest = 0.0
    for cycle in range(1, REPLUG_CYCLES + 1):
        sim.process.send_signal(signal.SIGUSR1)
        plugged = sim.wait_for("plugged", count=cycle, timeout=5)[cycle - 1]
        # Polling resumes with no click: the first query on the new device comes within 2 s.
        first = sim.wait_for_queries(1, since=plugged.time, timeout=5)[0]
        slowest = max(slowest, first.time - plugged.time)
        check(first.time - plugged.time <= 2.0,
              f"cycle {cycle}: first query {first.time - plugged.time:.2f} s after the device came back")
        session.check_no_message_box()
        count, rss = resources(pid)
        descriptors.append(count)
        if cycle == SETTLED_CYCLE:
            settled_rss = rss

    # A few descriptors come and go with the display connection; a leak would climb every cycle.
    early, late = descriptors[:SETTLED_CYCLE], descriptors[SETTLED_CYCLE:]
    check(max(late) <= max(early), f"descriptors open after each recovery: {descriptors}")
    check(rss - settled_rss <= RSS_GROWTH_LIMIT_KIB,
          f"resident memory grew by {rss - settled_rss} KiB from cycle {SETTLED_CYCLE} to {REPLUG_CYCLES}")
    check(session.settings().get("port") == "3", "the port choice is kept")
    session.wait_for_lamp(LINK_LAMP, GREEN, 3, "link lamp")
    session.check_no_message_box()
    print(f"     slowest recovery {slowest:.2f} s; descriptors {min(descriptors)}-{max(descriptors)}; "
          f"resident memory {settled_rss} KiB at cycle {SETTLED_CYCLE}, {rss} KiB at {REPLUG_CYCLES}")


if __name__ == "__main__":
    sys.exit(run("line-trouble", [reply_split_over_two_reads_is_shown,
                                  two_replies_in_one_read_show_the_later_one,
                                  radio_in_its_basic_command_mode_is_switched_once_and_shows_its_power,
                                  port_rigctld_holds_is_refused_by_name_and_left_alone,
                                  second_quorvel_on_the_same_port_says_so,
                                  busy_radio_keeps_the_link_alive_and_shows_nothing,
                                  line_noise_is_a_sign_of_life_and_exit_still_ends_at_once,
                                  unplugged_radio_turns_the_link_red_without_a_message_flood,
                                  unplugged_adapter_comes_back_by_itself_every_time]))
