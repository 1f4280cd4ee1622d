"""Shared machinery of the end-to-end tests.

Each test runs the real quorvel executable in its own Xvfb server, with HOME and
XDG_CONFIG_HOME pointing into a private temporary folder, against its own quorvel-sim linked as
a Com port in that folder. xdotool drives the window; lamp colours are read from the screen.
Every wait polls with a deadline. Every process a test starts is stopped when it ends, whether
it passed or not. A session with accessibility has its own D-Bus session bus, on which the
program's AT-SPI tree is read as a screen reader would read it.
"""

import json

import os
import re
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import traceback

TWIPS_PER_PIXEL = 15  # at 96 dpi
CLIENT_WIDTH = 2775 // TWIPS_PER_PIXEL
CLIENT_HEIGHT = 2595 // TWIPS_PER_PIXEL

# (left, top, width, height) in twips, from the top-left corner of the client area.
PA_LAMP = (960, 1080, 495, 255)
LINK_LAMP = (960, 1920, 495, 255)
SLIDER = (240, 120, 675, 2295)
POWER_BOX = (1800, 120, 735, 435)
EXIT_BUTTON = (1680, 1920, 735, 495)

# What the program sends once each time it opens the line, so that power replies carry their range.
MODE_COMMAND = "K22;"

GREEN = (0, 255, 0)
RED = (255, 0, 0)

# The link watchdog: the lamp turns red no sooner than this after the last reply, and soon after.
WATCHDOG_S = 11.0
WATCHDOG_LATEST_S = 12.5

X_TOOL_TIMEOUT = 10

# python3-pyatspi installs into the system's own interpreter, which may not be the one running us.
ATSPI_PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable

# Children are told to stop when the test process dies, even if it is killed on a time-out and
# has no chance to clean up: no Xvfb, program or simulator outlives its test.
_SETPRIV = shutil.which("setpriv")
CHILD_PREFIX = [_SETPRIV, "--pdeathsig", "TERM", "--"] if _SETPRIV else []


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(predicate, timeout, what, interval=0.05):
    """Polls predicate until it returns something true; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def free_port():
    """A TCP port free on every address now, for a server the test starts."""
    with socket.socket() as probe:
        probe.bind(("", 0))
        return probe.getsockname()[1]


def accepts_connections(port, host="127.0.0.1"):
    try:
        with socket.create_connection((host, port), timeout=0.2):
            return True
    except OSError:
        return False


def centre(box):
    left, top, width, height = box
    return ((left + width / 2) / TWIPS_PER_PIXEL, (top + height / 2) / TWIPS_PER_PIXEL)


def colour_name(rgb):
    return {GREEN: "green", RED: "red"}.get(rgb, "rgb%s" % (rgb,))


class Exchange:
    __slots__ = ("time", "kind", "text")

    def __init__(self, when, kind, text):
        self.time, self.kind, self.text = when, kind, text

    def __repr__(self):
        return f"{self.time:.3f} {self.kind} {self.text}"


class Simulator:
    """A running quorvel-sim; its output lines are collected as they come."""

    def __init__(self, process, log_path):
        self.process = process
        self.log_path = log_path
        self._lock = threading.Lock()
        self._exchanges = []
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        with open(self.log_path, "a", encoding="utf-8") as log:
            for line in self.process.stdout:
                log.write(line)
                log.flush()
                parts = line.rstrip("\n").split(" ", 2)
                if len(parts) < 2:
                    continue
                try:
                    when = float(parts[0])
                except ValueError:
                    continue
                with self._lock:
                    self._exchanges.append(Exchange(when, parts[1], parts[2] if len(parts) > 2 else ""))

    def exchanges(self, kind=None, text=None, since=None, until=None):
        with self._lock:
            found = list(self._exchanges)
        return [
            e
            for e in found
            if (kind is None or e.kind == kind)
            and (text is None or e.text == text)
            and (since is None or e.time >= since)
            and (until is None or e.time < until)
        ]

    def queries(self, since=None, until=None):
        return self.exchanges("rx", "PC;", since, until)

    def set_commands(self, since=None):
        """Everything the program sent that was neither a query nor the command mode it asks for
        each time it opens the line."""
        return [e.text for e in self.exchanges("rx", since=since) if e.text not in ("PC;", MODE_COMMAND)]

    def wait_for(self, kind, text=None, count=1, since=None, timeout=10):
        return wait_until(
            lambda: len(self.exchanges(kind, text, since)) >= count and self.exchanges(kind, text, since),
            timeout,
            f"{count} x '{kind} {text or ''}' from the simulator",
        )

    def wait_for_queries(self, count, since=None, timeout=10):
        return self.wait_for("rx", "PC;", count, since, timeout)


class Session:
    """One test's world: private folders, an Xvfb server, and the processes started in it."""

    def __init__(self, quorvel, sim, name, with_display=True, with_accessibility=False):
        self.with_display = with_display
        self.with_accessibility = with_accessibility
        self.bus_address = None
        self.quorvel_path = quorvel
        self.sim_path = sim
        self.name = name
        self.root = tempfile.mkdtemp(prefix=f"quorvel-e2e-{name}-")
        self.home = os.path.join(self.root, "home")
        self.config = os.path.join(self.root, "config")
        self.ports = os.path.join(self.config, "Quorvel", "ports")
        self.settings_file = os.path.join(self.config, "Quorvel", "Quorvel.conf")
        self.runtime = os.path.join(self.root, "runtime")
        for folder in (self.home, self.ports, self.runtime):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        self._processes = []
        self._others = set()  # process ids of the other programs: their windows are not ours
        self._logs = []
        self._program_runs = 0
        self.display = None
        self.program = None
        self.main_window = None

    # -- lifetime --------------------------------------------------------------------------

    def __enter__(self):
        try:
            if self.with_display:
                self._start_xvfb()
            if self.with_accessibility:
                self._start_session_bus()
        except BaseException:
            self._stop_all()
            raise
        return self

    def __exit__(self, kind, value, tb):
        if kind is not None:
            self._report_failure()
        self._stop_all()
        shutil.rmtree(self.root, ignore_errors=True)
        return False

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        log = self._log_file("xvfb")
        try:
            process = subprocess.Popen(
                [*CHILD_PREFIX, "Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-dpi", "96",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
            )
            self._processes.append(process)
        finally:
            os.close(write_end)
        # Xvfb writes the number of the free display it took once it accepts clients.
        number = b""
        deadline = time.monotonic() + 20
        try:
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                check(remaining > 0 and process.poll() is None, "Xvfb did not start")
                ready, _, _ = select.select([read_end], [], [], min(remaining, 0.5))
                if ready:
                    chunk = os.read(read_end, 16)
                    check(chunk, "Xvfb closed its display pipe without a display number")
                    number += chunk
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()

    def _start_session_bus(self):
        """A private session bus; it starts the accessibility bus and its registry when asked."""
        read_end, write_end = os.pipe()
        try:
            process = subprocess.Popen(
                [*CHILD_PREFIX, "dbus-daemon", "--session", "--nofork", f"--print-address={write_end}"],
                pass_fds=(write_end,), stdout=self._log_file("dbus"), stderr=subprocess.STDOUT,
                stdin=subprocess.DEVNULL, env=dict(os.environ, DISPLAY=self.display, XDG_RUNTIME_DIR=self.runtime),
            )
            self._processes.append(process)
        finally:
            os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            ready, _, _ = select.select([pipe], [], [], 20)
            check(ready, "dbus-daemon did not print its address")
            address = pipe.readline().decode().strip()
        check(address, "dbus-daemon did not start")
        self.bus_address = address
        # Qt joins only an accessibility bus that already runs; asking for its address starts it.
        subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"],
            env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address, DISPLAY=self.display,
                     XDG_RUNTIME_DIR=self.runtime),
            check=True, capture_output=True, timeout=20,
        )

    def _stop_all(self):
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
        for process in reversed(self._processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(timeout=5)
        for log in self._logs:
            log.close()
        self._processes.clear()

    def _log_file(self, stem):
        log = open(os.path.join(self.root, stem + ".log"), "w", encoding="utf-8")
        self._logs.append(log)
        return log

    def _report_failure(self):
        try:
            shot = os.path.abspath(f"e2e-{self.name}-failure.png")
            if self.display and self.x("import", "-window", "root", shot, check_result=False) is not None:
                print(f"screen at the failure: {shot}", file=sys.stderr)
        except Exception:  # the report must not hide the failure itself
            pass
        for entry in sorted(os.listdir(self.root)):
            if entry.endswith(".log"):
                with open(os.path.join(self.root, entry), encoding="utf-8", errors="replace") as f:
                    lines = f.readlines()
                print(f"--- {entry} (last 40 lines)", file=sys.stderr)
                sys.stderr.writelines(lines[-40:])

    # -- settings --------------------------------------------------------------------------

    def write_settings(self, values):
        with open(self.settings_file, "w", encoding="utf-8") as f:
            f.write("[settings]\n")
            for key, value in values.items():
                f.write(f"{key}={value}\n")

    def settings(self):
        """The [settings] group of the program's INI file, values unquoted."""
        values = {}
        if not os.path.exists(self.settings_file):
            return values
        group = None
        with open(self.settings_file, encoding="utf-8") as f:
            for line in f:
                line = line.strip()
                if line.startswith("[") and line.endswith("]"):
                    group = line[1:-1]
                elif group == "settings" and "=" in line:
                    key, value = line.split("=", 1)
                    value = value.strip()
                    if len(value) >= 2 and value[0] == value[-1] == '"':
                        value = value[1:-1]
                    values[key.strip()] = value
        return values

    # -- processes -------------------------------------------------------------------------

    def start_sim(self, *options, port=3):
        """Starts a simulator as Com port; returns once its link is in place."""
        process = subprocess.Popen(
            [*CHILD_PREFIX, self.sim_path, "--port", str(port), "--dir", self.ports, "--quit-after", "300", *options],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, text=True, bufsize=1,
        )
        self._processes.append(process)
        sim = Simulator(process, os.path.join(self.root, f"sim-com{port}.log"))
        sim.wait_for("ready", timeout=10)
        return sim

    def program_environment(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "XDG_", "WAYLAND"))}
        env.update(
            HOME=self.home, XDG_CONFIG_HOME=self.config, XDG_RUNTIME_DIR=self.runtime, DISPLAY=self.display,
            QT_QPA_PLATFORM="xcb",
        )
        if self.with_accessibility:
            env.update(DBUS_SESSION_BUS_ADDRESS=self.bus_address, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        return env

    def start_program(self, focus=True, args=(), launcher=()):
        """Starts quorvel and waits for its window; focus=False leaves it without the keyboard. What
        it prints goes to self.program_log. A launcher (nohup, a shell) that ends by exec'ing the
        program keeps its process id."""
        self._program_runs += 1
        log = self._log_file(f"quorvel-{self._program_runs}")
        self.program_log = log.name
        self.program = subprocess.Popen(
            [*CHILD_PREFIX, *launcher, self.quorvel_path, *args], env=self.program_environment(), stdout=log,
            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
        )
        self._processes.append(self.program)
        self.main_window = wait_until(self._only_window, 20, "the Quorvel window")
        # There is no window manager to hand the new window the keyboard, as a desktop would.
        if focus:
            self.x("xdotool", "windowfocus", "--sync", self.main_window[0])
        return self.program

    def _only_window(self):
        check(self.program.poll() is None, f"quorvel exited with status {self.program.returncode}")
        windows = self.visible_windows()
        return windows[0] if len(windows) == 1 else None

    def dismiss_start_message(self):
        """Answers a message that start-up shows before the window, with Enter, and takes the window
        that follows as the program's."""
        box = self.main_window
        check(self.geometry(box[0])[2] != CLIENT_WIDTH, f"a message box first, not the panel {box}")
        self.keys("Return")

        def next_window():
            window = self._only_window()
            return window if window != box else None

        self.main_window = wait_until(next_window, 10, "the window after the message")
        self.x("xdotool", "windowfocus", "--sync", self.main_window[0])

    def start_panel(self, *sim_options, settings=None, port=3, focus=True, args=()):
        """The usual start: the simulator as Com port, the program told to open it, the window up."""
        self.write_settings(settings if settings is not None else {"port": str(port)})
        sim = self.start_sim(*sim_options, port=port)
        self.start_program(focus, args)
        return sim

    def start_process(self, name, command, env=None):
        """Starts another program the test needs (a server in front of the simulator), its output
        in name.log; it is stopped with the session if the test has not stopped it."""
        process = subprocess.Popen(
            [*CHILD_PREFIX, *command], stdout=self._log_file(name), stderr=subprocess.STDOUT,
            stdin=subprocess.DEVNULL, env=env,
        )
        self._processes.append(process)
        self._others.add(process.pid)
        return process

    def start_rigctld(self, device, port):
        """Hamlib's rigctld for a K3 on device, listening on loopback port; returns once it listens."""
        process = self.start_process(
            "rigctld", ["rigctld", "-m", "2029", "-r", device, "-s", "38400", "-T", "127.0.0.1", "-t", str(port)])
        wait_until(lambda: accepts_connections(port), 20, f"rigctld to listen on port {port}", interval=0.1)
        return process

    def start_flrig(self, device, port):
        """flrig for a K3 on device, its XML-RPC server on port (on every address: flrig cannot be
        told otherwise); returns once it listens."""
        # flrig keeps its settings in ~/.flrig: the radio in flrig.prefs, the radio's own settings in
        # K3.prefs. A file without the version flrig wrote it with is taken for none at all. Its
        # window goes to the bottom right, clear of ours.
        folder = os.path.join(self.home, ".flrig")
        os.makedirs(folder, exist_ok=True)
        head = "; FLTK preferences file format 1.0\n; vendor: w1hkj.com\n; application: {}\n\n[.]\n\n"
        with open(os.path.join(folder, "flrig.prefs"), "w", encoding="utf-8") as prefs:
            prefs.write(head.format("flrig") + "xcvr_name:K3\n")
        with open(os.path.join(folder, "K3.prefs"), "w", encoding="utf-8") as prefs:
            prefs.write(head.format("K3") + f"version:1.4.7\nmainx:560\nmainy:560\nxcvr_serial_port:{device}\n"
                        f"comm_baudrate:8\nxmlport:{port}\n")
        env = dict(os.environ, HOME=self.home, DISPLAY=self.display, XDG_RUNTIME_DIR=self.runtime)
        process = self.start_process("flrig", ["flrig"], env=env)
        wait_until(lambda: accepts_connections(port), 20, f"flrig to listen on port {port}", interval=0.1)
        return process

    def start_ser2net(self, device, port):
        """Debian's ser2net offering device as raw TCP on loopback port, from a YAML file written
        here; returns once it listens."""
        config = os.path.join(self.root, "ser2net.yaml")
        with open(config, "w", encoding="utf-8") as f:
            f.write("%YAML 1.1\n---\nconnection: &radio\n"
                    f"    accepter: tcp,127.0.0.1,{port}\n"
                    f"    connector: serialdev,{device},38400n81,local\n")
        process = self.start_process(
            "ser2net", ["ser2net", "-n", "-c", config, "-P", os.path.join(self.root, "ser2net.pid")])
        wait_until(lambda: accepts_connections(port), 20, f"ser2net to listen on port {port}", interval=0.1)
        return process

    def wait_for_exit(self, timeout=10):
        wait_until(lambda: self.program.poll() is not None, timeout, "quorvel to end")
        return self.program.returncode

    # -- the X server ----------------------------------------------------------------------

    def x(self, *command, check_result=True, binary=False):
        result = subprocess.run(
            command, env=dict(os.environ, DISPLAY=self.display), capture_output=True, timeout=X_TOOL_TIMEOUT,
            text=not binary,
        )
        if result.returncode != 0:
            if check_result:
                raise Failure(f"{' '.join(command)} failed: {result.stderr}")
            return None
        return result.stdout

    def visible_windows(self):
        """Visible top-level windows that carry a title, as (id, title) pairs; not those of the other
        programs the test started."""
        out = self.x("xdotool", "search", "--onlyvisible", "--name", ".", check_result=False) or ""
        windows = []
        for wid in out.split():
            title = self.x("xdotool", "getwindowname", wid, check_result=False)
            if title is None or not title.strip():
                continue
            if self._others:
                pid = self.x("xdotool", "getwindowpid", wid, check_result=False)
                if pid is not None and pid.strip().isdigit() and int(pid) in self._others:
                    continue
            windows.append((wid, title.strip()))
        return windows

    def top_level_count(self):
        """Visible top-level windows of any kind, popup menus included."""
        out = self.x("xdotool", "search", "--onlyvisible", "--maxdepth", "1", "--class", ".*", check_result=False)
        return len((out or "").split())

    def open_menu(self, index, item):
        """Chooses an item of a menu bar menu, both counted from 1, the way a keyboard user would."""
        x, y, _, _ = self.geometry()
        menu_bar_middle = round((y + self.client_origin()[1]) / 2)
        before = self.top_level_count()
        # The first menu's caption is at the left end of the menu bar; Right moves on from there,
        # opening the next menu with its first item active.
        self.x("xdotool", "mousemove", str(x + 12), str(menu_bar_middle), "click", "1")
        wait_until(lambda: self.top_level_count() > before, 5, "the menu to open")
        self.keys(*(["Right"] * (index - 1)), *(["Down"] * (item - 1 if index > 1 else item)), "Return")
        wait_until(lambda: self.top_level_count() <= before or self.other_windows(), 5, "the menu to close")

    def other_windows(self):
        """Every visible titled window but the panel: message boxes, input boxes."""
        return [w for w in self.visible_windows() if w[0] != self.main_window[0]]

    def check_no_message_box(self):
        others = self.other_windows()
        check(not others, f"unexpected windows: {others}")
        return True

    def geometry(self, wid=None):
        out = self.x("xdotool", "getwindowgeometry", "--shell", wid or self.main_window[0])
        values = dict(re.findall(r"^(\w+)=(-?\d+)$", out, re.M))
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def client_origin(self):
        """Top-left corner of the client area on the screen: it sits below the menu bar."""
        x, y, width, height = self.geometry()
        check(width >= CLIENT_WIDTH and height > CLIENT_HEIGHT, f"unexpected window size {width}x{height}")
        return x, y + height - CLIENT_HEIGHT

    def screen_point(self, box_or_point):
        if len(box_or_point) == 4:
            box_or_point = centre(box_or_point)
        cx, cy = self.client_origin()
        return round(cx + box_or_point[0]), round(cy + box_or_point[1])

    def pixel(self, x, y):
        data = self.x("import", "-window", "root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-", binary=True)
        check(len(data) == 3, f"could not read the pixel at {x},{y}")
        return tuple(data)

    def lamp_point(self, box):
        """A point of the lamp's fill: left of its middle, clear of the cross a lost link shows."""
        left, top, width, height = box
        return self.screen_point(((left + width / 4) / TWIPS_PER_PIXEL, (top + height / 2) / TWIPS_PER_PIXEL))

    def lamp(self, box):
        return self.pixel(*self.lamp_point(box))

    def wait_for_lamp(self, box, rgb, timeout, name):
        try:
            return wait_until(lambda: self.lamp(box) == rgb, timeout, f"the {name} to turn {colour_name(rgb)}",
                              interval=0.1)
        except Failure as failure:
            raise Failure(f"{failure}; it shows {colour_name(self.lamp(box))}") from None

    def wait_for_watchdog_red(self, last_reply):
        """The link lamp turns red in WATCHDOG_S to WATCHDOG_LATEST_S after the reply sent at
        last_reply (the simulator's clock is ours). Returns the seconds it took."""
        while True:
            started = time.monotonic()
            colour = self.lamp(LINK_LAMP)
            seen = time.monotonic()
            if colour == RED:
                check(seen - last_reply >= WATCHDOG_S,
                      f"link lamp red {seen - last_reply:.2f} s after the last reply, before the watchdog's time")
                return seen - last_reply
            check(started - last_reply <= WATCHDOG_LATEST_S,
                  f"link lamp still {colour_name(colour)} {started - last_reply:.2f} s after the last reply")
            time.sleep(0.05)

    def click(self, point, button=1):
        x, y = self.screen_point(point)
        self.x("xdotool", "mousemove", str(x), str(y), "click", str(button))

    def drag(self, start, end, steps=8):
        """Presses at start, moves to end in a few steps, releases there."""
        x0, y0 = self.screen_point(start)
        x1, y1 = self.screen_point(end)
        self.x("xdotool", "mousemove", str(x0), str(y0), "mousedown", "1")
        for i in range(1, steps + 1):
            self.x("xdotool", "mousemove", str(round(x0 + (x1 - x0) * i / steps)),
                   str(round(y0 + (y1 - y0) * i / steps)))
        self.x("xdotool", "mouseup", "1")

    def keys(self, *names):
        self.x("xdotool", "key", "--clearmodifiers", *names)

    def type_text(self, text):
        self.x("xdotool", "type", "--delay", "30", text)

    # -- the screen reader's view ----------------------------------------------------------

    def accessible_tree(self):
        """The program's AT-SPI objects as dicts (depth, role, name, description, value, text), in
        tree order; empty while the program has not joined the bus."""
        result = subprocess.run(
            [ATSPI_PYTHON, os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_tree.py"), "Quorvel"],
            env=dict(os.environ, DISPLAY=self.display, DBUS_SESSION_BUS_ADDRESS=self.bus_address),
            capture_output=True, text=True, timeout=30,
        )
        check(result.returncode == 0, f"reading the AT-SPI tree failed: {result.stderr}")
        return json.loads(result.stdout)

    def accessible(self, name, role):
        """The one object of the program's tree with this name and role, or None."""
        found = [n for n in self.accessible_tree() if n["name"] == name and n["role"] == role]
        check(len(found) <= 1, f"{len(found)} objects named {name!r}")
        return found[0] if found else None


def run(name, scenarios, with_display=True, with_accessibility=False):
    """The test program's main: runs each scenario with a fresh Session, reports, exits 0 or 1."""
    if len(sys.argv) != 3:
        print(f"usage: {sys.argv[0]} QUORVEL QUORVEL_SIM", file=sys.stderr)
        return 2
    quorvel, sim = sys.argv[1:3]
    failed = 0
    for scenario in scenarios:
        started = time.monotonic()
        try:
            with Session(quorvel, sim, f"{name}-{scenario.__name__}", with_display, with_accessibility) as session:
                scenario(session)
        except Exception:
            failed += 1
            print(f"FAIL {scenario.__name__} ({time.monotonic() - started:.1f} s)", file=sys.stderr)
            traceback.print_exc()
        else:
            print(f"ok   {scenario.__name__} ({time.monotonic() - started:.1f} s)")
    print(f"{len(scenarios) - failed} passed, {failed} failed")
    return 1 if failed else 0
