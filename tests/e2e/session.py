#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""A person's session with the built program in a real X server.

Opens a generated bitmap through the real Open dialog, takes samples with the mouse, saves them
through the real Save dialog and compares the CSV file byte for byte; studies an area in area
mode and checks on the screen that exactly the matching pixels turned black; sends the mean
colour to the demonstration window and checks its texture; opens "Kolorymetria" with Ctrl+L,
saves its table and checks its L*a*b* values; quits through the menu and checks the settings
file. Optionally saves screenshots of the windows (second argument: a folder).
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ARGUMENT_ONLY = "--argument" in sys.argv  # only: "probnik FILE.bmp" shows that picture
ARGS = [a for a in sys.argv[1:] if a != "--argument"]
PROGRAM = os.path.realpath(ARGS[0])
SHOTS = os.path.realpath(ARGS[1]) if len(ARGS) > 1 else None

# The picture: 400 x 400, so the display box shows it 1:1 at client (10, 50).
QUADRANTS = {  # (left, top) of each 200 x 200 quadrant -> colour
    (0, 0): (200, 30, 40),
    (200, 0): (20, 180, 90),
    (0, 200): (50, 60, 220),
    (200, 200): (120, 130, 140),
}
MARKER = (1, 2, 3)  # picture pixel (1, 1): finds the client area on the screen
BOX = (10, 50)


def colour_of(px, py):
    if (px, py) == (1, 1):
        return MARKER
    return QUADRANTS[(0 if px < 200 else 200, 0 if py < 200 else 200)]


def write_bmp(path):
    width = height = 400
    stride = width * 3
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + stride * height, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 2835, 2835, 0, 0))
        for y in range(height - 1, -1, -1):
            f.write(b"".join(bytes((b, g, r)) for r, g, b in (colour_of(x, y) for x in range(width))))


class Failure(Exception):
    pass


class Session:
    def __init__(self, work):
        self.work = work
        self.env = dict(os.environ)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
        self.env["XDG_RUNTIME_DIR"] = os.path.join(work, "run")
        os.makedirs(self.env["XDG_CONFIG_HOME"])
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.env["DISPLAY"] = ":" + f.readline().strip()
        self.program = None
        self.origin = None

    def close(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
        self.xvfb.kill()

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                              capture_output=True, text=True).stdout

    def screen(self):
        """The whole screen as (width, height, RGB bytes)."""
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                              check=True, capture_output=True).stdout
        parts = data.split(maxsplit=4)
        return int(parts[1]), int(parts[2]), parts[4]

    @staticmethod
    def pixel(shot, x, y):
        width, _, rgb = shot
        i = (y * width + x) * 3
        return tuple(rgb[i:i + 3])

    def save_window(self, name, title):
        if not SHOTS:
            return
        window = self.window(title)
        subprocess.run(["import", "-window", window, os.path.join(SHOTS, name)], env=self.env, check=True)

    def window(self, title, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"],
                                   env=self.env, capture_output=True, text=True).stdout.split()
            if found:
                # The caption a desktop shows is exactly the design's, with nothing added.
                shown = subprocess.run(["xprop", "-id", found[0], "_NET_WM_NAME"], env=self.env,
                                       capture_output=True, text=True).stdout.split("=", 1)[-1].strip()
                if shown != '"%s"' % title:
                    raise Failure("window '%s' is captioned %s" % (title, shown))
                return found[0]
            time.sleep(0.2)
        raise Failure("no window '%s'" % title)

    def gone(self, title, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if not subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"],
                                  env=self.env, capture_output=True, text=True).stdout.split():
                return
            time.sleep(0.2)
        raise Failure("window '%s' stays" % title)

    def quit_through_menu(self, main_window):
        """Plik, then Koniec (its last item), and the program ends."""
        self.xdotool("windowfocus", "--sync", main_window)
        self.xdotool("key", "alt+p")
        time.sleep(0.5)
        self.xdotool("key", "Up", "Return")
        try:
            self.program.wait(10)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end through the menu")

    def click(self, x, y, button=1):
        """A click at a client point of the main window."""
        self.xdotool("mousemove", self.origin[0] + x, self.origin[1] + y)
        time.sleep(0.1)
        self.xdotool("click", button)
        time.sleep(0.2)

    def click_in(self, window, x, y):
        self.xdotool("mousemove", "--window", window, x, y)
        time.sleep(0.1)
        self.xdotool("click", 1)
        time.sleep(0.3)

    def find_origin(self):
        """The screen position of the client area's corner, from the marker pixel."""
        deadline = time.time() + 10
        while time.time() < deadline:
            shot = self.screen()
            width, height, rgb = shot
            at = rgb.find(bytes(MARKER))
            while at >= 0 and at % 3:
                at = rgb.find(bytes(MARKER), at + 1)
            if at >= 0:
                x, y = (at // 3) % width, (at // 3) // width
                return x - BOX[0] - 1, y - BOX[1] - 1
            time.sleep(0.3)
        raise Failure("the picture is not on the screen")


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def statistics(values):
    """Mean, deviation and coefficient of one channel, as the program computes them."""
    n = len(values)
    if n < 2:
        return 0, 0.0, 0.0
    mean = sum(values) // n
    acc = f32(0.0)
    for v in values:
        acc = f32(acc + (v - mean) ** 2)
    deviation = f32(math.sqrt(f32(acc / (n - 1))))
    coefficient = f32(deviation / mean * 100) if mean else 0.0
    return mean, deviation, coefficient


def number(value):
    text = "%.15g" % value
    assert "e" not in text
    return text


def row(n, r, g, b):
    def fill(v):
        return str(v) + ("  " if v < 10 else " " if v < 100 else "")
    head = "%d. " % n
    return head + (" " if len(head) < 4 else "") + "R:" + fill(r) + " G:" + fill(g) + " B:" + str(b)


def expected_csv(samples, sep=";"):
    fields = []
    for n, (r, g, b) in enumerate(samples, 1):
        text = row(n, r, g, b)
        text = text[text.index(":") + 1:]
        rf = text[:text.index("G")]
        text = text[text.index("G") + 2:]
        gf = text[:text.index("B")]
        fields.append((rf, gf, text[text.index("B") + 2:]))
    stats = [statistics([s[c] for s in samples]) for c in range(3)]
    lines = [sep.join(["R", "G", "B", "", "", "", "R", "G", "B"])]
    captions = ["Średnia", "Odchylenie standardowe", "Współczynnik zmienności"]
    for i, f in enumerate(fields):
        line = sep.join(f)
        if i < 3:
            values = [str(s[0]) if i == 0 else number(s[i]) for s in stats]
            line += sep * 3 + captions[i] + "".join(sep + v for v in values)
        lines.append(line)
    return "".join(line + "\r\n" for line in lines).encode("cp1250")


def lab(r, g, b):
    """sRGB to CIE L*a*b* (D65), from the published sRGB primaries."""
    def linear(v):
        v /= 255
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    rgb = [linear(v) for v in (r, g, b)]
    matrix = ((0.4124564, 0.3575761, 0.1804375), (0.2126729, 0.7151522, 0.0721750),
              (0.0193339, 0.1191920, 0.9503041))
    white = (95.047, 100.0, 108.883)
    def f(t):
        return t ** (1 / 3) if t > 216 / 24389 else (24389 / 27 * t + 16) / 116
    fx, fy, fz = (f(100 * sum(m * c for m, c in zip(row, rgb)) / w) for row, w in zip(matrix, white))
    return 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)


def check_lab_csv(written, samples):
    if not written.startswith(b"\xef\xbb\xbf"):
        raise Failure("the colorimetry CSV has no byte-order mark")
    lines = written[3:].decode("utf-8").split("\r\n")
    # After an area study the area's line stands before the model's.
    studied = len(lines) == len(samples) + 4 and lines[-3].startswith("Obszar;ekran;")
    if (lines[0] != "Nr;R;G;B;L*;a*;b*;C*;h;dE00" or lines[-1]
            or len(lines) != len(samples) + (4 if studied else 3)):
        raise Failure("colorimetry CSV layout: %r" % lines)
    if not lines[-2].startswith("Model barw: sRGB") or "; próbka: piksel ekranu" not in lines[-2] \
            or "; Tolerancja ΔE00 2.0: " not in lines[-2]:
        raise Failure("no colour model, sample mode and tolerance in the colorimetry CSV: %r"
                      % lines[-2])
    for n, (line, colour) in enumerate(zip(lines[1:], samples), 1):
        fields = line.split(";")
        L, a, b = lab(*colour)
        if fields[:4] != [str(n), *map(str, colour)]:
            raise Failure("colorimetry row %d: %r" % (n, line))
        for got, want in zip(map(float, fields[4:8]), (L, a, b, math.hypot(a, b))):
            if abs(got - want) > 0.03:
                raise Failure("colorimetry row %d: %r, expected L*a*b* %.4f %.4f %.4f" % (n, line, L, a, b))
        if n == 1 and fields[9] != "0.0000":
            raise Failure("sample 1 is the reference, yet dE00 is %s" % fields[9])


def main():
    work = tempfile.mkdtemp(prefix="probnik-e2e-")
    session = Session(work)
    try:
        if ARGUMENT_ONLY:
            run_with_argument(session, work)
            print("e2e argument: the picture named on the command line is shown")
        else:
            run(session, work)
            print("e2e session: open, samples, CSV, area study, demonstration window and settings OK")
        return 0
    except Failure as failure:
        shot = os.path.join(tempfile.gettempdir(), "probnik-e2e-session-failure.png")
        subprocess.run(["import", "-window", "root", shot], env=session.env)
        print("FAIL:", failure, "(screenshot: %s)" % shot, file=sys.stderr)
        return 1
    finally:
        session.close()
        shutil.rmtree(work, ignore_errors=True)


def run_with_argument(s, work):
    picture = os.path.join(work, "z wiersza poleceń.bmp")
    write_bmp(picture)
    s.program = subprocess.Popen([PROGRAM, picture], env=s.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
    s.window("Probnik")
    time.sleep(8)  # the splash (also titled "Probnik") hides itself after seven seconds
    main_window = s.window("Probnik")
    s.origin = s.find_origin()
    shot = s.screen()
    for px, py in ((50, 50), (250, 50), (50, 250), (250, 250)):
        seen = s.pixel(shot, s.origin[0] + BOX[0] + px + 1, s.origin[1] + BOX[1] + py + 1)
        if seen != colour_of(px, py):
            raise Failure("picture point (%d, %d) shows %s" % (px, py, seen))
    s.quit_through_menu(main_window)


def run(s, work):
    picture = os.path.join(work, "pictures", "kwadraty.bmp")
    os.makedirs(os.path.dirname(picture))
    write_bmp(picture)
    export = os.path.join(work, "export", "probki.csv")
    os.makedirs(os.path.dirname(export))

    s.program = subprocess.Popen([PROGRAM], env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    s.window("Probnik")
    time.sleep(8)  # the splash (also titled "Probnik") hides itself after seven seconds
    main_window = s.window("Probnik")

    # 1. Open through the real dialog, sample known points, save through the real dialog.
    s.xdotool("windowfocus", "--sync", main_window)
    s.xdotool("key", "ctrl+o")
    time.sleep(1)
    s.xdotool("key", "--delay", 50, "ctrl+a")
    s.xdotool("type", "--delay", 20, picture)
    s.xdotool("key", "Return")
    s.origin = s.find_origin()

    points = [(60, 100), (300, 100), (60, 300), (300, 300), (61, 100)]
    samples = []
    for x, y in points:
        s.click(x, y)
        samples.append(colour_of(x - BOX[0], y - BOX[1]))
    s.click(60, 100)  # the same point again: no new sample
    s.save_window("main-window.png", "Probnik")

    s.xdotool("key", "ctrl+s")
    time.sleep(1)
    s.xdotool("key", "--delay", 50, "ctrl+a")
    s.xdotool("type", "--delay", 20, export[:-len(".csv")])  # the extension comes by itself
    s.xdotool("key", "Return")
    deadline = time.time() + 10
    while not os.path.exists(export) and time.time() < deadline:
        time.sleep(0.2)
    if not os.path.exists(export):
        raise Failure("no CSV file was written")
    time.sleep(0.5)
    with open(export, "rb") as f:
        written = f.read()
    if written != expected_csv(samples):
        raise Failure("CSV differs:\n%r\nexpected\n%r" % (written, expected_csv(samples)))

    # The statistics window, for its picture.
    s.click(96 + 11, 4 + 11)
    stat = s.window("Statystyka")
    time.sleep(0.5)
    s.save_window("statistics.png", "Statystyka")
    s.xdotool("windowfocus", "--sync", stat)
    s.xdotool("key", "Escape")
    s.gone("Statystyka")

    # 2. Area mode: drag over parts of two quadrants, study with red 150..255.
    s.click(119 + 11, 4 + 11)
    x1, y1, x2, y2 = 150, 100, 300, 180
    s.xdotool("mousemove", s.origin[0] + x1, s.origin[1] + y1)
    s.xdotool("mousedown", 1)
    for step in range(1, 6):
        s.xdotool("mousemove", s.origin[0] + x1 + (x2 - x1) * step // 5,
                  s.origin[1] + y1 + (y2 - y1) * step // 5)
        time.sleep(0.1)
    s.xdotool("mouseup", 1)
    study = s.window("Badanie zaznaczonego obszaru")
    time.sleep(0.5)
    s.click_in(study, 56 + 24, 32 + 11)  # Rmin
    s.xdotool("key", "ctrl+a")
    s.xdotool("type", "150")
    s.xdotool("key", "Tab")
    s.click_in(study, 208 + 37, 32 + 12)  # Badanie
    time.sleep(1)
    shot = s.screen()
    black, kept = 0, 0
    for wy in range(y1 + 4, y2 - 3, 7):
        for wx in range(x1 + 4, x2 - 3, 7):
            if (wx - BOX[0]) % 40 == 0 or (wy - BOX[1]) % 40 == 0:
                continue  # grid lines
            seen = s.pixel(shot, s.origin[0] + wx, s.origin[1] + wy)
            c = colour_of(wx - BOX[0], wy - BOX[1])
            if c[0] >= 150:
                black += 1
                if seen != (0, 0, 0):
                    raise Failure("(%d, %d) matches but shows %s" % (wx, wy, seen))
            else:
                kept += 1
                if seen != c:
                    raise Failure("(%d, %d) does not match but shows %s, not %s" % (wx, wy, seen, c))
    outside = s.pixel(shot, s.origin[0] + 100, s.origin[1] + 100)
    if outside != colour_of(90, 50):
        raise Failure("a pixel outside the selection changed: %s" % (outside,))
    if not black or not kept:
        raise Failure("the selection should cover matching and other pixels")
    s.save_window("area-study.png", "Badanie zaznaczonego obszaru")
    s.click_in(study, 79 + 37, 259 + 12)  # OK
    s.gone("Badanie zaznaczonego obszaru")

    # The mean colour is the drawing colour of the demonstration window.
    s.click(73 + 11, 4 + 11)
    shower = s.window("Demonstracja koloru")
    time.sleep(0.5)
    geometry = s.xdotool("getwindowgeometry", "--shell", shower)
    values = dict(line.split("=") for line in geometry.split())
    shot = s.screen()
    seen = s.pixel(shot, int(values["X"]) + 150, int(values["Y"]) + 200)
    if seen != QUADRANTS[(0, 0)]:
        raise Failure("the demonstration window shows %s, not %s" % (seen, QUADRANTS[(0, 0)]))
    s.save_window("demonstration.png", "Demonstracja koloru")

    # The colorimetry window: Ctrl+L on the main window, its table saved through the real dialog.
    s.xdotool("windowfocus", "--sync", main_window)
    s.xdotool("key", "ctrl+l")
    colorimetry = s.window("Kolorymetria")
    time.sleep(0.5)
    s.save_window("colorimetry.png", "Kolorymetria")
    lab_export = os.path.join(work, "export", "lab.csv")
    s.xdotool("windowfocus", "--sync", colorimetry)
    s.xdotool("key", "ctrl+s")
    time.sleep(1)
    s.xdotool("key", "--delay", 50, "ctrl+a")
    s.xdotool("type", "--delay", 20, lab_export)
    s.xdotool("key", "Return")
    deadline = time.time() + 10
    while not os.path.exists(lab_export) and time.time() < deadline:
        time.sleep(0.2)
    if not os.path.exists(lab_export):
        raise Failure("no colorimetry CSV file was written")
    time.sleep(0.5)
    with open(lab_export, "rb") as f:
        check_lab_csv(f.read(), samples)

    # 3. Quit through the menu; the settings hold the export folder.
    s.quit_through_menu(main_window)
    with open(os.path.join(s.env["XDG_CONFIG_HOME"], "Probnik.ini"), encoding="utf-8") as f:
        ini = f.read()
    expected = "[DEFAULTS]\nInitialDir=%s\nSeparator=;\n" % os.path.dirname(export)
    if ini != expected:
        raise Failure("Probnik.ini is %r, expected %r" % (ini, expected))


if __name__ == "__main__":
    sys.exit(main())
