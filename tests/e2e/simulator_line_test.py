#!/usr/bin/env python3
"""The simulator as the program meets it: through its Com port link, on a real pseudo-terminal.

No display is needed; the test opens the port itself, the way the program does, raw.
"""

import os
import select
import signal
import subprocess
import sys
import termios
import time
import tty

from quorvel_e2e import Failure, check, run, wait_until


class Line:
    """Our end of the simulated serial line, opened through the Com link."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd, termios.TCSANOW)

    def close(self):
        os.close(self.fd)

    def send(self, text):
        os.write(self.fd, text.encode())

    def read_once(self, timeout):
        """One read as the program would get it: whatever has arrived, or b'' after timeout."""
        ready, _, _ = select.select([self.fd], [], [], timeout)
        return os.read(self.fd, 256) if ready else b""

    def read_until(self, terminator, timeout=5):
        data = b""
        deadline = time.monotonic() + timeout
        while not data.endswith(terminator.encode()):
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise Failure(f"no '{terminator}' from the simulator within {timeout} s; got {data!r}")
            data += self.read_once(remaining)
        return data.decode()


def link(session, port):
    return os.path.join(session.ports, f"com{port}")


def answers_queries_and_takes_sets_silently(session):
    sim = session.start_sim(port=3)
    line = Line(link(session, 3))
    try:
        line.send("PC;")
        check(line.read_until(";") == "PC0501;", "the default power is 50 W in the high range")

        # A set command gets no answer: the next thing on the line is the reply to the next query.
        line.send("PC0550;")
        line.send("PC;")
        check(line.read_until(";") == "PC0550;", "5.5 W in the low range taken")

        line.send("PC1111;")
        check(line.read_until(";") == "?;", "111 W is refused")
        line.send("PC1210;")
        check(line.read_until(";") == "?;", "12.1 W is refused")
        line.send("ZZ;")
        check(line.read_until(";") == "?;", "unknown commands are refused")

        # Line ends are ignored, and a query may arrive in pieces.
        line.send("\r\nP")
        line.send("C;\r\n")
        check(line.read_until(";") == "PC0550;", "the power stayed after refused commands")
    finally:
        line.close()

    sim.wait_for("tx", "PC0550;", count=2)
    received = [e.text for e in sim.exchanges("rx")]
    check(received == ["PC;", "PC0550;", "PC;", "PC1111;", "PC1210;", "ZZ;", "PC;"], f"logged {received}")
    times = [e.time for e in sim.exchanges()]
    check(times == sorted(times), "exchanges are logged in order")
    check(abs(times[-1] - time.monotonic()) < 5, "timestamps are on the monotonic clock")


def starts_with_the_power_and_range_it_is_given(session):
    session.start_sim("--power", "5.5", "--range", "0", port=2)
    line = Line(link(session, 2))
    try:
        line.send("PC;")
        check(line.read_until(";") == "PC0550;", "5.5 W low range")
    finally:
        line.close()


def split_reply_arrives_in_two_reads(session):
    session.start_sim("--split", port=3)
    line = Line(link(session, 3))
    try:
        line.send("PC;")
        first = wait_until(lambda: line.read_once(0.2), 5, "the first piece")
        check(first == b"PC0", f"first piece {first!r}")
        rest = line.read_until(";")
        check(rest == "501;", f"second piece {rest!r}")
    finally:
        line.close()


def busy_radio_refuses_everything(session):
    sim = session.start_sim("--busy", port=3)
    line = Line(link(session, 3))
    try:
        for command in ("PC;", "PC0550;"):
            line.send(command)
            check(line.read_until(";") == "?;", f"{command} refused while busy")
    finally:
        line.close()
    sim.wait_for("rx", "PC0550;")
    check([e.text for e in sim.wait_for("tx", count=2)] == ["?;", "?;"], "only refusals sent")


def delays_and_falls_silent_when_told(session):
    sim = session.start_sim("--delay", "300", "--silent-after", "1.5", port=3)
    line = Line(link(session, 3))
    try:
        sent = time.monotonic()
        line.send("PC;")
        check(line.read_until(";") == "PC0501;", "answer before falling silent")
        check(time.monotonic() - sent >= 0.3, "the reply waited for the delay")

        sim.wait_for("silent", timeout=5)
        since = time.monotonic()
        line.send("PC;")
        sim.wait_for("rx", "PC;", since=since)
        # The query was read; give a reply (300 ms delay) ample time not to come.
        check(line.read_once(1.0) == b"", "a silent radio answers nothing")
    finally:
        line.close()


def unplugging_hangs_up_and_removes_the_link(session):
    sim = session.start_sim("--unplug-after", "1", port=3)
    line = Line(link(session, 3))
    try:
        sim.wait_for("unplugged", timeout=5)
        check(not os.path.lexists(link(session, 3)), "the link is gone")
        try:
            data = line.read_once(2)
            check(data == b"", f"read {data!r} from an unplugged line")
        except OSError:
            pass  # EIO: the line hung up
        check(sim.process.poll() is None, "the simulator keeps running after the unplug")
    finally:
        line.close()


def plugs_in_again_behind_the_same_link(session):
    # Pulled on request (SIGUSR1) and by time, each time back 0.5 s later on a new device that
    # answers with the power the radio kept.
    sim = session.start_sim("--unplug-after", "1", "--replug-after", "0.5", port=3)
    devices = [os.path.realpath(link(session, 3))]
    line = Line(link(session, 3))
    line.send("PC0071;")
    line.send("PC;")
    check(line.read_until(";") == "PC0071;", "the first device takes a new power")
    line.close()
    for cycle, pull in enumerate(("time", "signal"), start=1):
        if pull == "signal":
            sim.process.send_signal(signal.SIGUSR1)
        unplugged = sim.wait_for("unplugged", count=cycle, timeout=5)[cycle - 1]
        plugged = sim.wait_for("plugged", count=cycle, timeout=5)[cycle - 1]
        check(0.45 <= plugged.time - unplugged.time <= 1.0,
              f"back {plugged.time - unplugged.time:.2f} s after the {pull} unplug")
        check(os.path.lexists(link(session, 3)), "the link is back")
        devices.append(os.path.realpath(link(session, 3)))
        check(plugged.text == f"{link(session, 3)} {devices[-1]}", f"'plugged' names link and device: {plugged}")
        line = Line(link(session, 3))
        try:
            line.send("PC;")
            check(line.read_until(";") == "PC0071;", f"the radio kept its power over {cycle} unplugs")
        finally:
            line.close()
    check(sim.process.poll() is None, "the simulator keeps running")


def link_is_placed_safely_and_removed_on_stop(session):
    os.makedirs(session.ports, exist_ok=True)
    taken = link(session, 4)
    with open(taken, "w", encoding="utf-8") as f:
        f.write("someone's file")
    refused = subprocess.run(
        [session.sim_path, "--port", "4", "--dir", session.ports, "--quit-after", "5"],
        capture_output=True, text=True, timeout=10,
    )
    check(refused.returncode != 0, "a simulator refuses a taken Com port")
    check("already exists" in refused.stderr, f"it says why: {refused.stderr!r}")
    with open(taken, encoding="utf-8") as f:
        check(f.read() == "someone's file", "the file is left as it was")

    for stop in (signal.SIGTERM, signal.SIGINT):
        stale = link(session, 5)
        os.symlink("/dev/pts/999999", stale)
        sim = session.start_sim(port=5)
        check(os.readlink(stale).startswith("/dev/pts/") and os.path.exists(stale), "a stale link is replaced")
        sim.process.send_signal(stop)
        check(sim.process.wait(timeout=5) == 0, f"{stop.name} ends the simulator cleanly")
        sim.wait_for("exit")
        check(not os.path.lexists(stale), f"its link is removed on {stop.name}")


if __name__ == "__main__":
    sys.exit(
        run(
            "simulator",
            [
                answers_queries_and_takes_sets_silently,
                starts_with_the_power_and_range_it_is_given,
                split_reply_arrives_in_two_reads,
                busy_radio_refuses_everything,
                delays_and_falls_silent_when_told,
                unplugging_hangs_up_and_removes_the_link,
                plugs_in_again_behind_the_same_link,
                link_is_placed_safely_and_removed_on_stop,
            ],
            with_display=False,
        )
    )
