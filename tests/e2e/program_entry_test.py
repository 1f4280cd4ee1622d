#!/usr/bin/env python3
"""The program's way in and out: its command line, a missing display, and the stop signals that
close the port in order."""

import os
import re
import signal
import subprocess
import sys
import tempfile
import termios
import time

from quorvel_e2e import check, run, wait_until

# Where QSerialPort keeps a device's lock file: the first of these it may write to.
LOCK_DIRS = ("/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", tempfile.gettempdir())


def run_program(session, path, *args, env=None):
    return subprocess.run([path, *args], env=env if env is not None else session.program_environment(),
                          capture_output=True, text=True, timeout=20, stdin=subprocess.DEVNULL)


def command_line_answers_before_any_window(session):
    env = {k: v for k, v in session.program_environment().items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}

    for args in (["--help"], ["-h"]):
        result = run_program(session, session.quorvel_path, *args, env=env)
        check(result.returncode == 0, f"{args}: status {result.returncode}, {result.stderr!r}")
        check(result.stdout.startswith("Usage: quorvel"), f"{args} prints the usage: {result.stdout!r}")
        check(session.settings_file in result.stdout and session.ports in result.stdout,
              f"{args} names the settings file and the port links: {result.stdout!r}")
    result = run_program(session, session.quorvel_path, "--version", env=env)
    check((result.returncode, result.stdout) == (0, "Quorvel 1.0.2\n"), f"--version: {result}")

    for args in (["--bogus"], ["com1"], ["--trace", "extra"], ["--help", "--bogus"]):
        result = run_program(session, session.quorvel_path, *args, env=env)
        check(result.returncode == 2, f"{args}: status {result.returncode}, expected 2")
        check(result.stdout == "", f"{args} writes nothing to standard output: {result.stdout!r}")
        check(result.stderr.startswith("quorvel: ") and "Usage: quorvel" in result.stderr,
              f"{args}: the fault and the usage on standard error: {result.stderr!r}")

    for args in (["--help"], ["--version"]):
        result = run_program(session, session.sim_path, *args, env=env)
        check(result.returncode == 0 and result.stdout.startswith(("Usage: quorvel-sim", "quorvel-sim 1.0.2")),
              f"quorvel-sim {args}: status {result.returncode}, {result.stdout!r}")

    # An answer that cannot be written (a full disk, a closed output) is a failure, not an answer.
    for name, path in (("quorvel", session.quorvel_path), ("quorvel-sim", session.sim_path)):
        for args in (["--help"], ["--version"]):
            for output, redirect in (("full", ">/dev/full"), ("closed", ">&-")):
                result = subprocess.run(["sh", "-c", f'exec "$0" "$@" {redirect}', path, *args], env=env,
                                        capture_output=True, text=True, timeout=20, stdin=subprocess.DEVNULL)
                check(result.returncode == 1, f"{name} {args} into a {output} output: status {result.returncode}")
                check(result.stderr.startswith(f"{name}: cannot write to standard output: "),
                      f"{name} {args} into a {output} output says why: {result.stderr!r}")

    check(not os.path.exists(session.settings_file), "the command line wrote a settings file")
    check(os.listdir(session.home) == [], f"the command line wrote into HOME: {os.listdir(session.home)}")


def no_display_is_one_line_and_status_1(session):
    base = {k: v for k, v in session.program_environment().items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
    cases = {
        "nothing set": base,
        "X told, none set": dict(base, QT_QPA_PLATFORM="xcb"),
        "X display nobody serves": dict(base, DISPLAY=":65123"),
        # Qt has no such platform plugin: it would abort with a hint to reinstall the program.
        "unknown platform": dict(base, QT_QPA_PLATFORM="bogus"),
    }
    for name, env in cases.items():
        result = run_program(session, session.quorvel_path, env=env)
        lines = result.stderr.splitlines()
        check(result.returncode == 1, f"{name}: status {result.returncode}, expected 1; {result.stderr!r}")
        check(len(lines) == 1 and lines[0].startswith("quorvel: no display"), f"{name}: {result.stderr!r}")
        check(env.get("QT_QPA_PLATFORM") != "bogus" or '"bogus"' in lines[0], f"{name}: not named: {result.stderr!r}")
    check(not os.path.exists(session.settings_file), "a run without a display wrote a settings file")


def lock_file_of(device):
    name = "LCK.." + device.removeprefix("/dev/").replace("/", "_")
    found = [os.path.join(d, name) for d in LOCK_DIRS if os.path.exists(os.path.join(d, name))]
    return found[0] if found else None


def line_settings(device):
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        return termios.tcgetattr(fd)
    finally:
        os.close(fd)


def stop_signals_close_the_port_and_save_no_position(session):
    sim = session.start_sim(port=3)
    device = os.path.realpath(os.path.join(session.ports, "com3"))
    before = line_settings(device)
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        session.write_settings({"port": "3"})
        since = sim.exchanges()[-1].time
        program = session.start_program()
        sim.wait_for_queries(2, since=since)
        check(lock_file_of(device) is not None, f"{device} is locked while the port is open")

        program.send_signal(number)
        status = session.wait_for_exit()

        name = signal.Signals(number).name
        check(status == 0, f"{name}: status {status}, expected 0")
        check(lock_file_of(device) is None, f"{name}: the lock file {lock_file_of(device)} is left behind")
        check(line_settings(device) == before, f"{name}: the line settings are not restored")
        stored = session.settings()
        check("FormLeft" not in stored and "FormTop" not in stored, f"{name} saved a position: {stored}")


def ignored_stop_signals_stay_ignored(session):
    # nohup ignores SIGHUP, and a shell starts a background job with SIGINT ignored: the program
    # keeps running through them, and still ends in order on SIGTERM.
    sim = session.start_sim(port=3)
    background = ["sh", "-c", 'trap "" INT; exec "$0" "$@"']
    for launcher, number in ((["nohup"], signal.SIGHUP), (background, signal.SIGINT)):
        name = signal.Signals(number).name
        session.write_settings({"port": "3"})
        program = session.start_program(focus=False, launcher=launcher)
        sim.wait_for_queries(1, since=time.monotonic())

        program.send_signal(number)
        sent = time.monotonic()

        wait_until(lambda: program.poll() is not None or len(sim.queries(since=sent)) >= 2, 10,
                   f"polling to go on after {name}")
        check(program.poll() is None, f"{name} ignored at start ended the program: status {program.returncode}")
        program.send_signal(signal.SIGTERM)
        check(session.wait_for_exit() == 0, f"SIGTERM after the ignored {name}: status {program.returncode}")


def two_stop_signals_at_once_end_cleanly(session):
    # The second signal arrives while the first is still being handled, or during the shutdown.
    session.start_sim(port=3)
    device = os.path.realpath(os.path.join(session.ports, "com3"))
    for run_number in range(1, 11):
        session.write_settings({"port": "3"})
        program = session.start_program(focus=False)

        program.send_signal(signal.SIGTERM)
        program.send_signal(signal.SIGINT)

        status = session.wait_for_exit()
        check(status == 0, f"run {run_number}: TERM and INT at once ended with status {status}, expected 0")
        check(lock_file_of(device) is None, f"run {run_number}: the lock file is left behind")


def trace_shows_each_exchange_with_its_time(session):
    sim = session.start_panel(port=3, args=("--trace",))
    device = os.path.realpath(os.path.join(session.ports, "com3"))
    sim.wait_for_queries(3)
    session.program.send_signal(signal.SIGTERM)
    check(session.wait_for_exit() == 0, "quorvel --trace did not end on SIGTERM")
    with open(session.program_log, encoding="utf-8") as log:
        lines = log.read().splitlines()
    stamp = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} quorvel\.cat: "
    traced = [line for line in lines if re.match(stamp, line)]
    check(len(traced) == len(lines), f"every line the trace writes is stamped: {lines}")
    events = [re.sub(stamp, "", line) for line in traced]
    check(events[0] == f"open {device}", f"the trace starts with the port opening: {events[:3]}")
    check(events[-1] == f"close {device}", f"the trace ends with the port closing: {events[-3:]}")
    check(events.count('tx "PC;"') >= 3, f"each poll is traced: {events}")
    check(events.count('rx "PC0501;"') >= 3, f"each reply is traced: {events}")

    # Without the option the program says nothing about the line.
    session.write_settings({"port": "3"})
    since = sim.exchanges()[-1].time
    session.start_program()
    sim.wait_for_queries(2, since=since)
    session.program.send_signal(signal.SIGTERM)
    session.wait_for_exit()
    with open(session.program_log, encoding="utf-8") as log:
        quiet = log.read()
    check("quorvel.cat" not in quiet, f"no trace without --trace: {quiet!r}")


def starts_without_image_format_plugins(session):
    # Every icon the window shows at start is a PNG read by QtGui itself; the plugins for other
    # formats would cost their libraries' memory and loading time.
    sim = session.start_panel(port=3)
    sim.wait_for_queries(1)
    with open(f"/proc/{session.program.pid}/maps", encoding="utf-8") as maps:
        loaded = {line.split()[-1] for line in maps if "/imageformats/" in line}
    check(not loaded, f"image-format plugins loaded at start: {sorted(loaded)}")


def window_class_matches_the_desktop_entry(session):
    # A dock matches a window to its launcher by the class part of WM_CLASS (Qt takes it from the
    # application name), so the desktop entry names the same.
    entry = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "quorvel.desktop.in")
    with open(entry, encoding="utf-8") as f:
        named = [line.split("=", 1)[1].strip() for line in f if line.startswith("StartupWMClass=")]
    check(len(named) == 1, f"the desktop entry names one StartupWMClass: {named}")
    session.start_panel(port=3)
    shown = session.x("xprop", "-id", session.main_window[0], "WM_CLASS")
    found = re.fullmatch(r'WM_CLASS\(STRING\) = "([^"]*)", "([^"]*)"\n', shown)
    check(found is not None, f"the window has a WM_CLASS: {shown!r}")
    check(found.group(2) == named[0], f"WM_CLASS {found.groups()} against StartupWMClass={named[0]}")


if __name__ == "__main__":
    without_display = run("program_entry", [command_line_answers_before_any_window, no_display_is_one_line_and_status_1],
                          with_display=False)
    with_display = run("program_entry", [stop_signals_close_the_port_and_save_no_position,
                                          ignored_stop_signals_stay_ignored,
                                          two_stop_signals_at_once_end_cleanly,
                                          trace_shows_each_exchange_with_its_time,
                                          starts_without_image_format_plugins,
                                          window_class_matches_the_desktop_entry])
    sys.exit(without_display or with_display)
