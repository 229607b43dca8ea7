#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Where the windows stand, frame included, under the openbox window manager.

The main window's frame is centred on the screen from its first showing; the area study's frame
has its right edge on the main window's and its top 80 pixels below the main window's top, at
its first showing and at the next.

    placement.py PROGRAM
"""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Failure, Session, write_bmp  # noqa: E402

PROGRAM = os.path.realpath(sys.argv[1])
SCREEN = (1280, 1024)


def frame(s, window):
    """(left, top, right, bottom) of the window with the frame the window manager drew."""
    info = subprocess.run(["xwininfo", "-id", window], env=s.env, check=True, capture_output=True,
                          text=True).stdout
    values = {}
    for line in info.splitlines():
        if ":" in line:
            key, value = line.strip().split(":", 1)
            values[key] = value.strip()
    x, y = int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"])
    w, h = int(values["Width"]), int(values["Height"])
    extents = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], env=s.env,
                             capture_output=True, text=True).stdout
    if "=" not in extents:
        raise Failure("the window manager has not framed the window")
    left, right, top, bottom = (int(v) for v in extents.split("=", 1)[1].split(","))
    return x - left, y - top, x + w + right, y + h + bottom


def settled(s, window):
    """The frame once it has stood still for a moment (the window manager maps it first)."""
    last = None
    deadline = time.time() + 5
    while time.time() < deadline:
        now = frame(s, window)
        if now == last:
            return now
        last = now
        time.sleep(0.3)
    return last


def study_whole_picture(s, main):
    """Area mode, then a click: the study of the whole picture shows; returns its frame."""
    s.click(119 + 11, 4 + 11)
    s.click(100, 100)
    study = s.window("Badanie całego obszaru")
    where = settled(s, study)
    s.xdotool("windowfocus", "--sync", study)
    s.xdotool("key", "Escape")
    s.gone("Badanie całego obszaru")
    return where


def run(s, work):
    picture = os.path.join(work, "kwadraty.bmp")
    write_bmp(picture)
    s.program = subprocess.Popen([PROGRAM, picture], env=s.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
    s.window("Probnik")
    time.sleep(8)  # the splash (also titled "Probnik") hides itself after seven seconds
    main = s.window("Probnik")
    left, top, right, bottom = settled(s, main)
    want_left = (SCREEN[0] - (right - left)) // 2
    want_top = (SCREEN[1] - (bottom - top)) // 2
    if abs(left - want_left) > 1 or abs(top - want_top) > 1:
        raise Failure("the main window's frame stands at (%d, %d), not centred at (%d, %d)"
                      % (left, top, want_left, want_top))
    s.origin = s.find_origin()
    for showing in ("first", "second"):
        study = study_whole_picture(s, main)
        if study[2] != right or study[1] != top + 80:
            raise Failure("at its %s showing the area study's frame has its right edge at %d and "
                          "its top at %d, not at %d and %d"
                          % (showing, study[2], study[1], right, top + 80))
    s.quit_through_menu(main)


def main():
    work = tempfile.mkdtemp(prefix="probnik-e2e-placement-")
    s = Session(work)
    wm = None
    try:
        wm = subprocess.Popen(["openbox"], env=s.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        time.sleep(1)
        run(s, work)
    except Failure as failure:
        shot = os.path.join(tempfile.gettempdir(), "probnik-e2e-placement-failure.png")
        subprocess.run(["import", "-window", "root", shot], env=s.env)
        print("FAIL:", failure, "(screenshot: %s)" % shot, file=sys.stderr)
        return 1
    finally:
        if wm:
            wm.kill()
        s.close()
        subprocess.run(["rm", "-rf", work])
    print("e2e placement (openbox): the main window centred, the area study by its frame")
    return 0


if __name__ == "__main__":
    sys.exit(main())
