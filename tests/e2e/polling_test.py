#!/usr/bin/env python3
"""Polling, the two lamps, and Exit remembering the settings and the place."""

import os
import signal
import sys

from quorvel_e2e import EXIT_BUTTON, GREEN, LINK_LAMP, MODE_COMMAND, PA_LAMP, TWIPS_PER_PIXEL, check, run, wait_until


def polls_from_the_stored_port_and_exit_remembers_everything(session):
    # Given a stored Com3 and a radio there reporting 50 W in the high range.
    sim = session.start_panel(port=3)

    # Then it polls at the default 500 ms: at least 6 queries in any 4 s.
    first = sim.wait_for_queries(1, timeout=10)[0].time
    sim.wait_for_queries(1, since=first + 4.0, timeout=10)
    count = len(sim.queries(since=first, until=first + 4.0))
    check(6 <= count <= 10, f"{count} queries in 4 s at 500 ms")
    check(not sim.set_commands(), f"only queries sent: {sim.set_commands()}")
    check(len(sim.exchanges("rx", MODE_COMMAND)) == 1, f"the mode asked for once: {sim.exchanges('rx')[:3]}")

    # And both lamps show the reply: a live link, the high range.
    session.wait_for_lamp(LINK_LAMP, GREEN, 5, "link lamp")
    session.wait_for_lamp(PA_LAMP, GREEN, 5, "PA lamp")

    # When the user moves the window and leaves with Exit.
    wid = session.main_window[0]
    session.x("xdotool", "windowmove", "--sync", wid, "210", "135")
    moved = wait_until(lambda: session.geometry()[:2] == (210, 135) and session.geometry(), 5, "the window to move")
    session.click(EXIT_BUTTON)
    status = session.wait_for_exit()
    check(status == 0, f"Exit ends the program normally, not with status {status}")

    # Then the store holds the position in twips and the polling settings and port as they were.
    stored = session.settings()
    for key, value in {"poll": "1", "polltime": "500", "port": "3"}.items():
        check(stored.get(key) == value, f'"{key}" stored as {stored.get(key)!r}, expected {value!r}')
    for key, pixels in (("FormLeft", moved[0]), ("FormTop", moved[1])):
        check(key in stored, f'"{key}" stored')
        twips = float(stored[key])
        check(abs(twips / TWIPS_PER_PIXEL - pixels) <= 1, f'"{key}" = {stored[key]} twips for {pixels} px')

    # And the next start puts the window back where it was.
    session.start_program()
    check(session.geometry() == moved, f"window at {session.geometry()} after the restart, was {moved}")


def polling_goes_on_while_the_radio_is_silent(session):
    sim = session.start_panel("--silent-after", "3", port=3)
    session.wait_for_lamp(LINK_LAMP, GREEN, 5, "link lamp")
    sim.wait_for("silent", timeout=10)
    last_reply = sim.exchanges("tx")[-1].time

    # Queries keep going out and nothing is said. A missed reply alone changes no lamp: only the
    # watchdog's 11 s of silence turns the link red (waited out in line_trouble_test, and fired
    # by hand in the core tests).
    sim.wait_for_queries(5, since=last_reply, timeout=5)
    check(session.lamp(LINK_LAMP) == GREEN, "the link lamp stays green until the watchdog runs out")
    check(session.lamp(PA_LAMP) == GREEN, "the PA lamp keeps the last reported range")
    session.check_no_message_box()


def a_read_only_settings_file_is_left_as_it_is(session):
    # Given settings the user made read-only, which hold no window position yet.
    session.write_settings({"port": "3", "poll": "1", "polltime": "500"})
    os.chmod(session.settings_file, 0o444)
    before = os.stat(session.settings_file)
    with open(session.settings_file, "rb") as f:
        text = f.read()
    sim = session.start_sim(port=3)
    session.start_program()
    sim.wait_for_queries(2)

    # When the user leaves with Exit, the position cannot be saved: a message says so and the
    # window stays, as for any other failed save.
    session.click(EXIT_BUTTON)
    wait_until(session.other_windows, 10, "the message that the position is not saved")
    check(session.program.poll() is None, f"Exit ended the program with status {session.program.returncode}")
    session.keys("Return")
    wait_until(lambda: not session.other_windows(), 5, "the message to close")
    session.program.send_signal(signal.SIGTERM)
    check(session.wait_for_exit() == 0, "quorvel did not end on SIGTERM")

    # Then the file is the same file, with its text and its mode.
    after = os.stat(session.settings_file)
    check((after.st_ino, after.st_mtime_ns, after.st_mode) == (before.st_ino, before.st_mtime_ns, before.st_mode),
          f"the settings file was replaced or changed: {before} -> {after}")
    with open(session.settings_file, "rb") as f:
        check(f.read() == text, "the settings file's text changed")


if __name__ == "__main__":
    sys.exit(run("polling", [polls_from_the_stored_port_and_exit_remembers_everything,
                             polling_goes_on_while_the_radio_is_silent,
                             a_read_only_settings_file_is_left_as_it_is]))
