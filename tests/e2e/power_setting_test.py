#!/usr/bin/env python3
"""Setting the power from the panel: releasing the slider, and typing into the power box."""

import re
import sys
import time

from quorvel_e2e import GREEN, PA_LAMP, POWER_BOX, SLIDER, TWIPS_PER_PIXEL, check, run, wait_until

QUERIES_AFTER_COMMIT = 3
# The interval is not the point here: poll fast, so waiting for the next queries takes little time.
POLL_S = 0.2
FAST_POLLING = {"port": "3", "polltime": str(round(POLL_S * 1000))}


def slider_value_of(command):
    """The whole watts a slider command carries, by the slider's padding rule; None if malformed."""
    low = re.fullmatch(r"PC0([0-8])00;", command)
    if low:
        return int(low.group(1))
    high = re.fullmatch(r"PC(\d{3})1;", command)
    if high and 9 <= int(high.group(1)) <= 100:
        return int(high.group(1))
    return None


HANDLE_PX = 12  # the handle's length along the track, near enough to press on its middle


def slider_point(fraction):
    """Where the handle's middle stands when the slider shows fraction of its maximum."""
    left, top, width, height = (v / TWIPS_PER_PIXEL for v in SLIDER)
    span = height - HANDLE_PX
    return left + width / 2, top + HANDLE_PX / 2 + span * (1 - fraction)


def release_sends(session, sim, start, end):
    """Drags the slider handle from start to end; returns the one command the release sent, once
    the radio's next reply has brought the panel back to it."""
    since = time.monotonic()
    session.drag(start, end)
    sent = wait_until(lambda: sim.set_commands(since=since), 5, "a command from the slider")[0]
    # Polling resumes after the release; the reply shows what the radio took.
    sim.wait_for("tx", sent, since=since, timeout=5)
    commands = sim.set_commands(since=since)
    check(commands == [sent], f"one release sends one command, got {commands}")
    return sent


def slider_release_sends_the_power_it_stops_at(session):
    sim = session.start_panel(settings=FAST_POLLING)
    sim.wait_for("tx", "PC0501;", count=2)
    session.wait_for_lamp(PA_LAMP, GREEN, 5, "PA lamp")

    # A click on the handle without moving it sends the shown 50 W again.
    check(release_sends(session, sim, slider_point(0.5), slider_point(0.5)) == "PC0501;", "click resends 50 W")

    # Dragged past the top end, the slider stops at its maximum of 100 W; past the bottom at 0.
    check(release_sends(session, sim, slider_point(0.5), slider_point(1.3)) == "PC1001;", "top end is 100 W")
    check(release_sends(session, sim, slider_point(1.0), slider_point(-0.3)) == "PC0000;", "bottom end is 0 W")
    check(session.lamp(PA_LAMP) != GREEN, "0 W is in the low range")

    # The radio now reports its low range, so the slider spans 0 to 10 W.
    command = release_sends(session, sim, slider_point(0.0), slider_point(0.3))
    check(command in ("PC0200;", "PC0300;", "PC0400;"), f"released near 3 of 10 W, sent {command}")
    check(session.lamp(PA_LAMP) != GREEN, "a few watts are in the low range")

    # At the top of that scale the command switches the radio to its high range.
    value = slider_value_of(command)
    check(release_sends(session, sim, slider_point(value / 10), slider_point(1.3)) == "PC0101;", "top is 10 W")
    session.wait_for_lamp(PA_LAMP, GREEN, 3, "PA lamp")

    # Back on the 0 to 100 W scale, the command carries the value where the handle stopped.
    command = release_sends(session, sim, slider_point(0.1), slider_point(0.6))
    value = slider_value_of(command)
    check(value is not None and abs(value - 60) <= 4, f"released near 60 W, sent {command}")
    check(session.lamp(PA_LAMP) == GREEN, "PA lamp green in the high range")


def type_power(session, sim, text):
    """Types text into the power box and presses Enter; returns the time of the Enter."""
    session.click(POWER_BOX)
    # With the focus in the box polling pauses: wait until a whole poll interval passes quietly.
    wait_until(lambda: time.monotonic() - sim.queries()[-1].time > 4 * POLL_S, 5, "polling to pause in the power box")
    session.keys("ctrl+a")
    session.type_text(text)
    entered = time.monotonic()
    session.keys("Return")
    return entered


def typed_power_is_sent_on_enter(session):
    sim = session.start_panel(settings=FAST_POLLING)
    sim.wait_for("tx", "PC0501;", count=2)

    for text, command in (("5.5", "PC0550;"), ("50", "PC0501;")):
        entered = type_power(session, sim, text)
        sim.wait_for("rx", command, since=entered, timeout=5)
        # Enter left the box, so polling runs again.
        sim.wait_for_queries(QUERIES_AFTER_COMMIT, since=entered, timeout=5)
        check(sim.set_commands(since=entered) == [command], f"{text!r} sent {sim.set_commands(since=entered)}")

    # 9.9 W cannot be sent in whole watts: nothing goes out, and polling still resumes.
    entered = type_power(session, sim, "9.9")
    sim.wait_for_queries(QUERIES_AFTER_COMMIT, since=entered, timeout=5)
    check(not sim.set_commands(since=entered), f"'9.9' sent {sim.set_commands(since=entered)}")
    session.check_no_message_box()


def click_and_type(session, sim, text):
    """Clicks into the power box, types text without selecting anything first, presses Enter;
    returns the time of the Enter."""
    session.click(POWER_BOX)
    wait_until(lambda: time.monotonic() - sim.queries()[-1].time > 4 * POLL_S, 5, "polling to pause in the power box")
    session.type_text(text)
    entered = time.monotonic()
    session.keys("Return")
    return entered


def typing_after_a_click_replaces_the_shown_power(session):
    # The radio stands at 9 W, so the box shows "9": typed "5" must set 5 W, not 95 W. The window
    # starts without the keyboard, and no window manager runs: the click into the box brings the
    # focus only with the window's activation.
    sim = session.start_panel("--power", "9", settings=FAST_POLLING, focus=False)
    sim.wait_for("tx", "PC0091;", count=2)
    entered = click_and_type(session, sim, "5")
    sim.wait_for_queries(QUERIES_AFTER_COMMIT, since=entered, timeout=5)
    check(sim.set_commands(since=entered) == ["PC0500;"], f"'5' sent {sim.set_commands(since=entered)}")

    # Now the window is active: the click's own press must not undo the selection either. The box
    # shows " 5" from the radio's reply.
    sim.wait_for("tx", "PC0500;", since=entered, timeout=5)
    entered = click_and_type(session, sim, "7")
    sim.wait_for_queries(QUERIES_AFTER_COMMIT, since=entered, timeout=5)
    check(sim.set_commands(since=entered) == ["PC0700;"], f"'7' sent {sim.set_commands(since=entered)}")
    session.check_no_message_box()


if __name__ == "__main__":
    sys.exit(run("power-setting", [slider_release_sends_the_power_it_stops_at, typed_power_is_sent_on_enter,
                                   typing_after_a_click_replaces_the_shown_power]))
