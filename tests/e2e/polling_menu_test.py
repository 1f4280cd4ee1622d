#!/usr/bin/env python3
"""The Settings menu: switching polling off and on, and a new poll interval, each remembered."""

import statistics
import sys
import time

from quorvel_e2e import check, run, wait_until


SETTINGS_MENU = 2
POLLING_ENABLED = 1
POLLING_INTERVAL = 2


def quiet_since_last_query(sim, seconds):
    queries = sim.queries()
    return not queries or time.monotonic() - queries[-1].time > seconds


def median_gap(sim, since, count):
    times = [e.time for e in sim.wait_for_queries(count, since=since, timeout=count * 1.5 + 5)][:count]
    return statistics.median(b - a for a, b in zip(times, times[1:]))


def polling_switch_stops_and_restarts_the_queries(session):
    sim = session.start_panel(port=3)
    sim.wait_for_queries(3)

    # Settings > Polling Enabled, with polling on: the queries stop and "0" is stored.
    session.open_menu(SETTINGS_MENU, POLLING_ENABLED)
    wait_until(lambda: session.settings().get("poll") == "0", 5, '"poll" = "0" in the store')
    wait_until(lambda: quiet_since_last_query(sim, 2.0), 5, "the queries to stop")
    stopped = sim.queries()[-1].time

    # Chosen again: the queries come back at the stored interval and "1" is stored.
    session.open_menu(SETTINGS_MENU, POLLING_ENABLED)
    wait_until(lambda: session.settings().get("poll") == "1", 5, '"poll" = "1" in the store')
    resumed = sim.wait_for_queries(1, since=stopped + 0.001, timeout=5)
    check(resumed[0].time - stopped >= 2.0, "no query while polling was off")
    session.check_no_message_box()


def new_interval_halves_the_query_rate(session):
    sim = session.start_panel(port=3)
    before = median_gap(sim, time.monotonic(), 5)
    check(0.4 <= before <= 0.65, f"queries {before:.2f} s apart at the default 500 ms")

    # Settings > Polling Interval: the input box offers the current value; 1000 replaces it.
    session.open_menu(SETTINGS_MENU, POLLING_INTERVAL)
    box = wait_until(lambda: [w for w in session.other_windows() if w[1] == "Enter Poll Interval Value"], 5,
                     "the poll interval input box")[0]
    session.x("xdotool", "windowfocus", "--sync", box[0])
    session.keys("ctrl+a")
    session.type_text("1000")
    session.keys("Return")
    wait_until(lambda: not session.other_windows(), 5, "the input box to close")
    changed = time.monotonic()
    wait_until(lambda: session.settings().get("polltime") == "1000", 5, '"polltime" = "1000" in the store')

    # The first query after the change may still be on the old count; measure after it.
    first = sim.wait_for_queries(1, since=changed, timeout=5)[0].time
    after = median_gap(sim, first + 0.001, 5)
    check(0.9 <= after <= 1.15, f"queries {after:.2f} s apart at 1000 ms")
    check(1.7 <= after / before <= 2.3, f"the rate went from one per {before:.2f} s to one per {after:.2f} s")
    check(session.settings().get("poll") == "1", "polling stays on")


if __name__ == "__main__":
    sys.exit(run("polling-menu", [polling_switch_stops_and_restarts_the_queries, new_interval_halves_the_query_rate]))
