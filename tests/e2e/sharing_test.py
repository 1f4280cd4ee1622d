#!/usr/bin/env python3
"""Other programs using the radio through the program's two doors: Hamlib's rigctl through the
network door and through the serial port door, flrig through the serial port door, and raw clients
that check every reply is their own while the panel polls; a half frame that stalls, a flood, a
program that leaves mid-question and a ninth program; and a second Quorvel on the network door,
both panels showing the power typed into either, which reaches the radio once."""

import os
import re
import socket
import stat
import subprocess
import sys
import threading
import time
import xmlrpc.client

from quorvel_e2e import CHILD_PREFIX, POWER_BOX, check, free_port, run, wait_until



def start_sharing(session, link=True, args=()):
    """The panel on the simulator as Com3, with the network door open and, if asked, the serial
    port door linked in the home folder."""
    port = free_port()
    path = os.path.join(session.home, "com9") if link else ""
    sim = session.start_panel(settings={"port": "3", "share": f"127.0.0.1:{port}", "sharelink": path}, args=args)
    wait_until(lambda: sim.exchanges("rx", "K3;"), 10, "the hub to read the radio's modes")
    if link:
        wait_until(lambda: os.path.islink(path), 10, "the serial port door's link")
    return sim, port, path


def rigctl(radio, *command):
    result = subprocess.run(["rigctl", "-m", "2029", "-r", radio, *command], capture_output=True, text=True,
                            timeout=20)
    check(result.returncode == 0, f"rigctl {' '.join(command)} through {radio}: {result.stderr.strip()}")
    return result.stdout.strip()


class Client:
    """A raw program on the network door: it sends frames and reads what comes back."""

    def __init__(self, port):
        self.socket = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.socket.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.pending = b""

    def ask(self, frame, timeout=2.0):
        """Sends a query and returns the first frame that comes back."""
        self.socket.sendall(frame.encode())
        return self.read_frame(timeout)

    def read_frame(self, timeout=2.0):
        deadline = time.monotonic() + timeout
        while b";" not in self.pending:
            left = deadline - time.monotonic()
            check(left > 0, "no reply in time")
            self.socket.settimeout(left)
            chunk = self.socket.recv(4096)
            check(chunk, "the door closed the connection")
            self.pending += chunk
        frame, _, self.pending = self.pending.partition(b";")
        return frame.decode() + ";"

    def closed_by_hub(self, timeout=5):
        self.socket.settimeout(timeout)
        try:
            return self.socket.recv(100) == b""
        except (ConnectionResetError, socket.timeout):
            return False

    def close(self):
        self.socket.close()


def frames_only_whole(sim, sent):
    """Everything the radio heard is a whole frame that some program, the panel or the hub sent."""
    heard = [e.text for e in sim.exchanges("rx")]
    strays = [t for t in heard if t not in sent and not re.fullmatch(r"K[23][0-3];|AI0;|K[23];|PC;", t)]
    check(not strays, f"the radio heard frames nobody sent: {strays[:10]}")


def hamlib_through_both_doors(session):
    sim, port, path = start_sharing(session)
    mode = stat.S_IMODE(os.stat(path).st_mode)
    check(mode == 0o600, f"the serial port door is mode {mode:o}")
    check(os.stat(path).st_uid == os.getuid(), "the serial port door is not the user's")

    network = f"127.0.0.1:{port}"
    check(rigctl(network, "f") == "14200000", "rigctl reads the radio's frequency through the network door")
    rigctl(network, "F", "7074000")
    sim.wait_for("rx", "FA00007074000;")
    check(rigctl(path, "f") == "7074000", "rigctl reads the new frequency through the serial port door")
    rigctl(path, "F", "14074000")
    sim.wait_for("rx", "FA00014074000;")
    check(sim.queries(since=sim.exchanges()[-1].time - 2), "the panel kept polling")

    # The door's link goes with the program.
    session.program.terminate()
    session.wait_for_exit()
    check(not os.path.lexists(path), "the serial port door's link is left behind")


def two_programs_get_only_their_own_replies(session):
    sim, port, _ = start_sharing(session, link=False)
    started = sim.exchanges()[-1].time
    errors = []

    def exchanges(query, count):
        try:
            client = Client(port)
            for i in range(count):
                asked = time.monotonic()
                reply = client.ask(query)
                if not reply.startswith(query[:2]):
                    errors.append(f"{query} got {reply}")
                time.sleep(max(0.0, 0.02 - (time.monotonic() - asked)))
            client.close()
        except Exception as error:  # noqa: BLE001 - reported by the test's own thread
            errors.append(f"{query}: {error}")

    threads = [threading.Thread(target=exchanges, args=(q, 300)) for q in ("FA;", "FB;")]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    check(not errors, f"replies went astray: {errors[:5]}")
    ended = sim.exchanges()[-1].time
    polls = [e.time for e in sim.queries(since=started)]
    gaps = [b - a for a, b in zip(polls, polls[1:])]
    check(len(polls) >= (ended - started) / 0.5 - 2, f"{len(polls)} polls in {ended - started:.1f} s")
    check(max(gaps) < 0.75, f"a gap of {max(gaps):.3f} s between polls")
    check(len(sim.exchanges("rx", "FA;")) >= 300 and len(sim.exchanges("rx", "FB;")) >= 300, "exchanges lost")
    frames_only_whole(sim, {"FA;", "FB;"})


def troublesome_programs_hold_nobody_up(session):
    sim, port, _ = start_sharing(session, link=False)
    steady = Client(port)

    # Half a frame, then nothing: everyone else goes on.
    stalled = Client(port)
    stalled.socket.sendall(b"FA000")
    stalled_at = time.monotonic()
    for _ in range(20):
        asked = time.monotonic()
        check(steady.ask("FA;").startswith("FA"), "the steady program's reply")
        check(time.monotonic() - asked < 0.5, "a stalled half frame held up the line")

    # A flood: the steady program still gets its turn.
    flood = Client(port)
    flood.socket.sendall(b"ID;" * 2000)
    for _ in range(10):
        asked = time.monotonic()
        check(steady.ask("FB;").startswith("FB"), "the steady program's reply during a flood")
        check(time.monotonic() - asked < 0.5, "the flood held up the line")

    # A program that leaves with its question on the line: the next one hears only its own answer.
    leaving = Client(port)
    leaving.socket.sendall(b"IF;")
    leaving.close()
    newcomer = Client(port)
    check(newcomer.ask("ID;") == "ID017;", "a newcomer got another program's reply")

    # The stalled frame is dropped after a second; the rest of it never reaches the radio.
    time.sleep(max(0.0, 1.5 - (time.monotonic() - stalled_at)))
    check(stalled.ask("7074000;FA;").startswith("FA"), "the stalled program's next question")
    check(not [e for e in sim.exchanges("rx") if "7074000" in e.text], "a stalled frame's pieces reached the radio")

    # Eight programs at once and no more: steady, stalled, flood, newcomer and four more.
    others = [Client(port) for _ in range(4)]
    ninth = Client(port)
    check(ninth.closed_by_hub(), "a ninth program was let in")
    check(others[-1].ask("FA;").startswith("FA"), "the eighth program's reply")
    frames_only_whole(sim, {"FA;", "FB;", "ID;", "IF;"})


def flrig_through_the_serial_port_door(session):
    _, _, path = start_sharing(session)
    xmlport = free_port()
    flrig = session.start_flrig(path, xmlport)
    try:
        server = xmlrpc.client.ServerProxy(f"http://127.0.0.1:{xmlport}")

        def power():
            try:
                return server.rig.cat_string("PC;")
            except (OSError, xmlrpc.client.Error):
                return None

        reply = wait_until(power, 30, "flrig to answer rig.cat_string", interval=0.2)
        check(reply == "PC0501;", f"flrig read {reply!r}")
    finally:
        flrig.terminate()
        flrig.wait(timeout=10)


def shown_powers(log_path):
    """The power replies a program's trace shows it received, in order."""
    with open(log_path, encoding="utf-8", errors="replace") as log:
        return re.findall(r'quorvel\.cat: rx "(PC\d{4};)', log.read())


def polls_sent(log_path):
    with open(log_path, encoding="utf-8", errors="replace") as log:
        return log.read().count('tx "PC;"')


def type_power(session, window, log_path, text):
    session.main_window = window
    session.x("xdotool", "windowfocus", "--sync", window[0])
    session.click(POWER_BOX)
    # Polling pauses while the box has the focus: no poll for three intervals.
    quiet = {"count": -1, "since": time.monotonic()}

    def paused():
        count = polls_sent(log_path)
        if count != quiet["count"]:
            quiet.update(count=count, since=time.monotonic())
        return time.monotonic() - quiet["since"] > 1.5

    wait_until(paused, 10, "polling to pause in the power box")
    session.keys("ctrl+a")
    session.type_text(text)
    entered = time.monotonic()
    session.keys("Return")
    return entered


def a_second_quorvel_through_the_network_door(session):
    sim, port, _ = start_sharing(session, link=False, args=("--trace",))
    first = session.main_window
    first_log = session.program_log
    config = os.path.join(session.root, "config-second")
    os.makedirs(os.path.join(config, "Quorvel"))
    env = dict(session.program_environment(), XDG_CONFIG_HOME=config)
    second_log = os.path.join(session.root, "quorvel-second.log")
    with open(second_log, "w", encoding="utf-8") as log:
        session._processes.append(subprocess.Popen(
            [*CHILD_PREFIX, session.quorvel_path, "--trace", "--radio", f"tcp:127.0.0.1:{port}"], env=env,
            stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL))
    second = wait_until(lambda: next((w for w in session.visible_windows() if w != first), None), 20,
                        "the second program's window")
    # No window manager places it: both would stand at the same spot.
    session.x("xdotool", "windowmove", "--sync", second[0], "500", "300")
    for log_path in (first_log, second_log):
        wait_until(lambda: "PC0501;" in shown_powers(log_path), 10, "both programs to show 50 W")

    for window, log_path, text, command in ((second, second_log, "25", "PC0251;"), (first, first_log, "30", "PC0301;")):
        entered = type_power(session, window, log_path, text)
        sim.wait_for("rx", command, since=entered, timeout=5)
        for log_path in (first_log, second_log):
            wait_until(lambda: shown_powers(log_path)[-1:] == [command], 10, f"both programs to show {command}")
        check(len(sim.exchanges("rx", command)) == 1, f"{command} reached the radio more than once")


if __name__ == "__main__":
    sys.exit(run("sharing", [hamlib_through_both_doors, two_programs_get_only_their_own_replies,
                             troublesome_programs_hold_nobody_up, flrig_through_the_serial_port_door,
                             a_second_quorvel_through_the_network_door]))
