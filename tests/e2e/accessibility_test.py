#!/usr/bin/env python3
"""What a screen reader sees of the running program over AT-SPI, and a lost link that shows
without colour."""

import os
import subprocess
import sys
import time

from quorvel_e2e import CLIENT_HEIGHT, LINK_LAMP, PA_LAMP, TWIPS_PER_PIXEL, check, run, wait_until

WATCHDOG_S = 11.0
LOST_LINK_SHOT = "e2e-accessibility-lost-link-gray.png"


def said(node):
    return f"{node['role']} {node['name']!r}: {node['description']!r}" if node else "nothing"


def grey_levels(path, points):
    """The grey level (0-255) of each (x, y) of a greyscale image."""
    levels = []
    for x, y in points:
        data = subprocess.run(["convert", path, "-crop", f"1x1+{x}+{y}", "-depth", "8", "gray:-"],
                              capture_output=True, check=True, timeout=10).stdout
        check(len(data) == 1, f"no pixel at {x},{y} of {path}")
        levels.append(data[0])
    return levels


def lamp_points_in_window(box, window_height):
    """The lamp's middle and a point of its fill beside the middle, in the window's own image."""
    left, top, width, height = (v / TWIPS_PER_PIXEL for v in box)
    menu = window_height - CLIENT_HEIGHT
    middle = (round(left + width / 2), round(menu + top + height / 2))
    beside = (round(left + width / 4), middle[1])
    return middle, beside


def screen_reader_follows_the_panel_and_a_lost_link(session):
    sim = session.start_panel("--silent-after", "4", port=3)
    sim.wait_for("tx", "PC0501;", timeout=10)

    # Every control a screen reader lands on has a name and a role; the lamps say their state.
    wait_until(lambda: (n := session.accessible("K3 Con, link to the radio", "status bar")) and
               n["description"] == "Replies arriving", 20, "the link lamp to say replies arrive")
    tree = session.accessible_tree()

    def one(name, role):
        nodes = [n for n in tree if n["name"] == name and n["role"] == role]
        check(len(nodes) == 1, f"one {role} named {name!r}, found {len(nodes)}: {[n for n in tree if n['name'] == name]}")
        return nodes[0]

    one("Quorvel", "frame")
    slider = one("Transmit power, watts", "slider")
    check(slider.get("value") == 50, f"the slider reads {slider.get('value')}")
    check("power box" in slider["description"], f"the slider says how to set the power by keys: {said(slider)}")
    box = one("K3 Power", "text")
    check(box.get("text") == "50", f"the power box reads {box.get('text')!r}")
    one("Poll", "push button")
    one("Exit", "push button")
    pa = one("PA On, power range", "status bar")
    check(pa["description"] == "High-power range", f"PA lamp says {said(pa)}")
    for menu in ("Com Port", "Settings", "Help"):
        one(menu, "menu item")

    # When the radio falls silent, after the watchdog's 11 s the link lamp says so in words.
    sim.wait_for("silent", timeout=10)
    last_reply = sim.exchanges("tx")[-1].time
    wait_until(lambda: (n := session.accessible("K3 Con, link to the radio", "status bar")) and
               n["description"].startswith("No reply"),
               last_reply + WATCHDOG_S + 3 - time.monotonic(), "the link lamp to say no reply comes")
    check(time.monotonic() - last_reply >= WATCHDOG_S - 1.0, "the link lamp gave up before the watchdog's time")

    # And in greyscale the lost link's lamp still stands out: a light cross over the dark red.
    shot = os.path.abspath(LOST_LINK_SHOT)
    colour = os.path.join(session.root, "lost-link.png")
    session.x("import", "-window", session.main_window[0], colour)
    subprocess.run(["convert", colour, "-colorspace", "Gray", shot], check=True, timeout=10)
    height = session.geometry()[3]
    cross, red = grey_levels(shot, lamp_points_in_window(LINK_LAMP, height))
    check(cross - red >= 100, f"lost-link lamp in greyscale: cross {cross}, fill {red}")
    middle, beside = grey_levels(shot, lamp_points_in_window(PA_LAMP, height))
    check(abs(middle - beside) <= 8, f"a lamp not lost has no mark: {middle} in the middle, {beside} beside")
    print(f"lost link in greyscale: {shot}")


if __name__ == "__main__":
    sys.exit(run("accessibility", [screen_reader_follows_the_panel_and_a_lost_link], with_accessibility=True))
