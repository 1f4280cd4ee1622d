#!/usr/bin/env python3
"""The whole round with the keyboard alone: start-up's message, the port from the menu, a typed
power sent with Enter, and Exit."""

import sys
import time

from quorvel_e2e import check, run, wait_until

POLL_S = 0.2


def keyboard_alone_chooses_the_port_sets_the_power_and_exits(session):
    session.write_settings({"port": "0", "polltime": str(round(POLL_S * 1000))})
    sim = session.start_sim(port=3)
    session.start_program()
    # No port stored: start-up says so before the window shows; Enter answers it.
    session.dismiss_start_message()
    check(not sim.queries(), "nothing is polled before a port is chosen")

    # Alt+C opens Com Port; the third item is Com3.
    session.keys("alt+c")
    session.keys("Down", "Down", "Down", "Return")
    sim.wait_for("tx", "PC0501;", timeout=10)

    # The focus starts on Poll; Exit, the slider, then the power box. Polling pauses there.
    session.keys("Tab", "Tab", "Tab")
    wait_until(lambda: time.monotonic() - sim.queries()[-1].time > 4 * POLL_S, 5, "polling to pause in the power box")
    session.type_text("25")
    entered = time.monotonic()
    session.keys("Return")
    sim.wait_for("rx", "PC0251;", since=entered, timeout=5)
    check(sim.set_commands() == ["PC0251;"], f"sent {sim.set_commands()}")
    sim.wait_for("tx", "PC0251;", since=entered, timeout=5)

    # Alt+E is Exit: the program ends normally and keeps the port chosen by keys.
    session.keys("alt+e")
    status = session.wait_for_exit()
    check(status == 0, f"Exit ends the program normally, not with status {status}")
    check(session.settings().get("port") == "3", f"stored port {session.settings().get('port')!r}")


if __name__ == "__main__":
    sys.exit(run("keyboard", [keyboard_alone_chooses_the_port_sets_the_power_and_exits]))
