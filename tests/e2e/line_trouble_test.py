#!/usr/bin/env python3
"""What a real serial line does to the program: replies in pieces, a busy radio, line noise, a
pulled cable.

None of these is the user's fault, so none of them may put a message box in front of the user.
"""

import sys
import time

from quorvel_e2e import EXIT_BUTTON, GREEN, LINK_LAMP, PA_LAMP, RED, check, run, wait_until

WATCHDOG_S = 11.0
# The interval is not the point here: poll fast, so a few queries take little time.
FAST_POLLING = {"port": "3", "polltime": "200"}


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

    deadline = last_reply + WATCHDOG_S + 1.5
    wait_until(lambda: session.check_no_message_box() and session.lamp(LINK_LAMP) == RED,
               deadline - time.monotonic(), "the link lamp to turn red", interval=0.2)
    check(time.monotonic() - last_reply >= WATCHDOG_S - 1.0, "red only once the watchdog ran out")

    # The program goes on without the port, and stays quiet about it.
    check(session.program.poll() is None, "the program is still running")
    quiet_until = time.monotonic() + 2.0
    wait_until(lambda: session.check_no_message_box() and time.monotonic() >= quiet_until, 5,
               "two quiet seconds", interval=0.2)


if __name__ == "__main__":
    sys.exit(run("line-trouble", [reply_split_over_two_reads_is_shown,
                                  busy_radio_keeps_the_link_alive_and_shows_nothing,
                                  line_noise_is_a_sign_of_life_and_exit_still_ends_at_once,
                                  unplugged_radio_turns_the_link_red_without_a_message_flood]))
