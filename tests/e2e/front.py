#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""A modal window that is open when the splash goes stays in front, in a real X server.

Two ways a person meets it: Ctrl+O pressed while the splash is up (the Open dialog), and a
broken bitmap named on the command line (the error box shown over the splash). Each must be in
front with the keyboard focus once the main window comes forward, and must answer the keyboard.

    front.py PROGRAM [--wm]    (--wm: under the openbox window manager, else without one)
"""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Failure, Session, write_bmp  # noqa: E402

WM = "--wm" in sys.argv
PROGRAM = os.path.realpath([a for a in sys.argv[1:] if a != "--wm"][0])
GREY = (128, 128, 128)  # the main window's surface


def start(s, *args):
    s.program = subprocess.Popen([PROGRAM, *args], env=s.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)


def caption(s, window):
    """The caption a desktop shows: _NET_WM_NAME, as UTF-8."""
    out = subprocess.run(["xprop", "-id", window, "_NET_WM_NAME"], env=dict(s.env, LC_ALL="C.UTF-8"),
                         capture_output=True, text=True).stdout
    return out.split("=", 1)[1].strip().strip('"') if "=" in out else ""


def captioned(s, text, timeout=10):
    """The visible windows of the program whose caption is text, waiting for one."""
    deadline = time.time() + timeout
    while True:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "probnik"], env=s.env,
                               capture_output=True, text=True).stdout.split()
        windows = [w for w in found if caption(s, w) == text]
        if windows or time.time() > deadline:
            return windows
        time.sleep(0.2)


def geometry(s, window):
    values = dict(line.split("=") for line in s.xdotool("getwindowgeometry", "--shell", window).split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def in_front_with_focus(s, window, what):
    """The window shows at its own centre and holds the keyboard focus."""
    x, y, w, h = geometry(s, window)
    deadline = time.time() + 5
    while True:
        seen = s.pixel(s.screen(), x + w // 2, y + h // 2)
        focus = s.xdotool("getwindowfocus", "-f").strip()
        if seen != GREY and focus == window:
            return
        if time.time() > deadline:
            raise Failure("%s is not in front with the focus (centre shows %s, focus on %s, not %s)"
                          % (what, seen, focus, window))
        time.sleep(0.2)


def main_under_splash(s):
    """The main window while the splash (captioned "Probnik" too) is still up."""
    deadline = time.time() + 10
    while time.time() < deadline:
        for window in captioned(s, "Probnik"):
            kind = subprocess.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE"], env=s.env,
                                  capture_output=True, text=True).stdout
            if "SPLASH" not in kind:
                return window
        time.sleep(0.2)
    raise Failure("no main window under the splash")


def after_splash(s):
    s.window("Probnik")
    time.sleep(8.5)  # the splash hides itself after seven seconds


def open_dialog_pressed_during_splash(s, work):
    picture = os.path.join(work, "kwadraty.bmp")
    write_bmp(picture)
    start(s)
    main_window = main_under_splash(s)
    s.xdotool("windowfocus", "--sync", main_window)
    s.xdotool("key", "ctrl+o")
    time.sleep(8.5)
    dialogs = captioned(s, "Otwórz")
    if len(dialogs) != 1:
        raise Failure("no Open dialog captioned 'Otwórz'")
    in_front_with_focus(s, dialogs[0], "the Open dialog")
    s.xdotool("key", "--delay", 50, "ctrl+a")
    s.xdotool("type", "--delay", 20, picture)
    s.xdotool("key", "Return")
    s.origin = s.find_origin()  # the picture opened
    s.quit_through_menu(s.window("Probnik"))


def error_box_for_a_broken_argument(s, work):
    broken = os.path.join(work, "broken.bmp")
    with open(broken, "wb") as f:
        f.write(b"BM" + bytes(52))  # a header that names no valid bitmap
    start(s, broken)
    after_splash(s)
    found = captioned(s, "Probnik")
    boxes = [w for w in found if geometry(s, w)[2] < 600]
    mains = [w for w in found if geometry(s, w)[2] >= 600]
    if len(boxes) != 1 or len(mains) != 1:
        raise Failure("expected the main window and one error box captioned 'Probnik', found %s" % found)
    in_front_with_focus(s, boxes[0], "the error box")
    s.xdotool("key", "Return")
    deadline = time.time() + 5
    while boxes[0] in captioned(s, "Probnik", timeout=0):
        if time.time() > deadline:
            raise Failure("the error box stays after Return")
        time.sleep(0.2)
    s.quit_through_menu(mains[0])


def main():
    for name, case in (("Ctrl+O during the splash", open_dialog_pressed_during_splash),
                       ("a broken bitmap on the command line", error_box_for_a_broken_argument)):
        work = tempfile.mkdtemp(prefix="probnik-e2e-front-")
        s = Session(work)
        wm = None
        try:
            if WM:
                wm = subprocess.Popen(["openbox"], env=s.env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
                time.sleep(1)
            case(s, work)
        except Failure as failure:
            shot = os.path.join(tempfile.gettempdir(), "probnik-e2e-front-failure.png")
            subprocess.run(["import", "-window", "root", shot], env=s.env)
            print("FAIL (%s%s):" % (name, ", openbox" if WM else ""), failure,
                  "(screenshot: %s)" % shot, file=sys.stderr)
            return 1
        finally:
            if wm:
                wm.kill()
            s.close()
            subprocess.run(["rm", "-rf", work])
    print("e2e front%s: the Open dialog and the error box stay in front with the focus"
          % (" (openbox)" if WM else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
