#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The built program in a real X server: the splash comes first, then the main window; a
# second copy started meanwhile with a file ends by itself, opens nothing and leaves the
# settings file as it was; closing through the menu writes the settings, with a separator the
# CSV file cannot store replaced by the default.
set -euo pipefail

program=$(realpath "$1")
work=$(mktemp -d)
xvfb_pid=""
first_pid=""
cleanup() {
    [ -n "$first_pid" ] && kill "$first_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    import -window root "$work/failure.png" 2>/dev/null && cp "$work/failure.png" /tmp/probnik-e2e-failure.png && echo "screenshot: /tmp/probnik-e2e-failure.png" >&2
    exit 1
}

. "$(dirname "${BASH_SOURCE[0]}")/display.sh"

ini="$XDG_CONFIG_HOME/Probnik.ini"
printf '[DEFAULTS]\r\nInitialDir=/planted\r\nSeparator=\346\274\242\r\n' >"$ini"
cp "$ini" "$work/planted.ini"

"$program" >"$work/first.log" 2>&1 &
first_pid=$!

# The splash (its blue background) covers the middle of the screen first ...
wait_for_pixel 640 300 "5,103,168" 10 || fail "no splash"
started=$SECONDS

# ... while a second copy started now ends by itself, with exit code 0.
set +e
mkdir "$work/other"
timeout 20 "$program" "$work/other/picture.bmp" >"$work/second.log" 2>&1
second=$?
set -e
[ "$second" -eq 0 ] || fail "the second copy ended with $second"
cmp -s "$ini" "$work/planted.ini" || fail "the second copy changed Probnik.ini: $(cat "$ini")"
kill -0 "$first_pid" 2>/dev/null || fail "the first copy ended too"

# After about seven seconds the main window's grey surface is in front.
wait_for_pixel 640 512 "128,128,128" 15 || fail "no main window after the splash"
shown=$((SECONDS - started))
[ $shown -ge 5 ] || fail "the splash went after only $shown s"

# Close through the menu: Plik, then Koniec (the last item).
window=$(xdotool search --onlyvisible --name '^Probnik$' | head -n 1)
[ -n "$window" ] || fail "main window not found"
xdotool windowfocus --sync "$window"
xdotool key --window "$window" alt+p
sleep 0.5
xdotool key Up Return
for _ in $(seq 100); do kill -0 "$first_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$first_pid" 2>/dev/null; then fail "the program did not end through the menu"; fi
wait "$first_pid" || fail "the program ended with an error"
first_pid=""

[ -f "$ini" ] || fail "no Probnik.ini"
# The separator it could not use is replaced; every other byte stays, line ends included.
printf '[DEFAULTS]\r\nInitialDir=/planted\r\nSeparator=;\r\n' >"$work/expected.ini"
cmp -s "$ini" "$work/expected.ini" || fail "Probnik.ini is: $(od -c "$ini")"
echo "e2e startup: splash, single instance (also with a file) and settings OK"
