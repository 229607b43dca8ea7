#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""A long open cancelled in a real X server.

A small bitmap is open and sampled. A 30000 x 20000 PNG (black, a few megabytes packed) is
chosen in the Open dialog: its bar with "Anuluj" comes up, "Anuluj" is pressed, and the bar
goes while the small picture stays on the screen. At exit the settings keep the small picture's
folder.

    longopen.py PROGRAM
"""

import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import BOX, Failure, Session, colour_of, write_bmp  # noqa: E402

PROGRAM = os.path.realpath(sys.argv[1])
BIG = (30000, 20000)


def write_black_png(path, width, height):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    packer = zlib.compressobj(9)
    row = bytes(1 + width * 3)  # filter "none", then black pixels
    packed = b"".join(packer.compress(row) for _ in range(height)) + packer.flush()
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", packed))
        f.write(chunk(b"IEND", b""))


def small_windows(s, title):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"],
                           env=s.env, capture_output=True, text=True).stdout.split()
    small = []
    for window in found:
        # A window may go between the search and this question: the bar does when it ends.
        asked = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=s.env,
                               capture_output=True, text=True)
        if asked.returncode != 0:
            continue
        values = dict(line.split("=") for line in asked.stdout.split())
        if int(values["WIDTH"]) < 600:
            small.append(window)
    return small


def the_small_picture_shows(s):
    shot = s.screen()
    for x, y in ((60, 100), (300, 100), (60, 300), (300, 300)):
        if (x - BOX[0]) % 40 == 0 or (y - BOX[1]) % 40 == 0:
            continue  # grid lines
        seen = s.pixel(shot, s.origin[0] + x, s.origin[1] + y)
        if seen != colour_of(x - BOX[0], y - BOX[1]):
            return False
    return True


def run(s, work):
    small = os.path.join(work, "small", "kwadraty.bmp")
    os.makedirs(os.path.dirname(small))
    write_bmp(small)
    big = os.path.join(work, "big", "czarny.png")
    os.makedirs(os.path.dirname(big))
    write_black_png(big, *BIG)

    s.program = subprocess.Popen([PROGRAM, small], env=s.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
    s.window("Probnik")
    time.sleep(8)  # the splash (also titled "Probnik") hides itself after seven seconds
    main_window = s.window("Probnik")
    s.origin = s.find_origin()
    s.click(60, 100)  # a sample

    s.xdotool("windowfocus", "--sync", main_window)
    s.xdotool("key", "ctrl+o")
    time.sleep(1)
    s.xdotool("key", "--delay", 50, "ctrl+a")
    s.xdotool("type", "--delay", 20, big)
    s.xdotool("key", "Return")

    deadline = time.time() + 20
    bars = []
    while not bars and time.time() < deadline:
        bars = small_windows(s, "Probnik")
        time.sleep(0.1)
    if len(bars) != 1:
        raise Failure("no progress bar while the big picture opens (found %s)" % bars)
    s.xdotool("windowfocus", "--sync", bars[0])
    s.xdotool("key", "space")  # "Anuluj", the bar's one button, has the focus

    deadline = time.time() + 30
    while small_windows(s, "Probnik"):
        if time.time() > deadline:
            raise Failure("the bar stays after Anuluj")
        time.sleep(0.1)
    if not the_small_picture_shows(s):
        raise Failure("the small picture is not shown after the cancelled open")
    s.quit_through_menu(main_window)
    with open(os.path.join(s.env["XDG_CONFIG_HOME"], "Probnik.ini"), "rb") as f:
        settings = f.read()
    if ("InitialDir=%s\n" % os.path.dirname(small)).encode() not in settings:
        raise Failure("the settings do not keep the small picture's folder: %r" % settings)


def main():
    work = tempfile.mkdtemp(prefix="probnik-e2e-longopen-")
    s = Session(work)
    try:
        run(s, work)
    except Failure as failure:
        shot = os.path.join(tempfile.gettempdir(), "probnik-e2e-longopen-failure.png")
        subprocess.run(["import", "-window", "root", shot], env=s.env)
        print("FAIL:", failure, "(screenshot: %s)" % shot, file=sys.stderr)
        return 1
    finally:
        s.close()
        subprocess.run(["rm", "-rf", work])
    print("e2e long open: the bar with Anuluj, and the cancelled open keeps the picture")
    return 0


if __name__ == "__main__":
    sys.exit(main())
