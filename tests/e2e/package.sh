#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The Debian package as a user meets it: install it, start the installed program in a real X
# server, see the main window after the splash, close it through the menu, and remove the
# package again so the machine is left as it was.
#
#   tests/e2e/package.sh [probnik_VERSION_ARCH.deb]    (without a path the package is built)
#
# Installing needs root (sudo is used otherwise). The package's dependencies must be present.
set -euo pipefail
cd "$(dirname "$0")/../.."
began=$SECONDS

if [ $# -ge 1 ]; then
    deb=$(realpath "$1")
else
    deb=$(scripts/package.sh)
fi
[ -f "$deb" ] || { echo "FAIL: no package at $deb" >&2; exit 1; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

# Never replace, and then remove, a copy someone installed on purpose.
status=$(dpkg-query -W -f='${db:Status-Status}' probnik 2>/dev/null || true)
if [ -n "$status" ] && [ "$status" != "not-installed" ]; then
    echo "FAIL: the package probnik is already here ($status); remove it first" >&2
    exit 1
fi

work=$(mktemp -d)
installed=""
xvfb_pid=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    if [ -n "$installed" ]; then
        $sudo dpkg -r probnik >/dev/null 2>&1 || echo "could not remove the package probnik" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -n "$xvfb_pid" ] && import -window root "$work/failure.png" 2>/dev/null; then
        cp "$work/failure.png" /tmp/probnik-package-failure.png
        echo "screenshot: /tmp/probnik-package-failure.png" >&2
    fi
    exit 1
}

echo "package: installing $(basename "$deb")"
installed=1
$sudo dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i"; }
[ "$(dpkg-query -W -f='${db:Status-Status}' probnik)" = "installed" ] || fail "not configured"

desktop=/usr/share/applications/org.example.probnik.desktop
for f in /usr/bin/probnik "$desktop" \
    /usr/share/icons/hicolor/scalable/apps/probnik.svg \
    /usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/probnik.png \
    /usr/share/metainfo/org.example.probnik.metainfo.xml \
    /usr/share/man/man1/probnik.1.gz /usr/share/man/pl/man1/probnik.1.gz \
    /usr/share/doc/probnik/{Probnik.pdf,copyright,changelog.gz} /usr/share/doc-base/probnik; do
    [ -s "$f" ] || fail "the package did not install $f"
done
# The manual the doc-base entry registers is the one "Opis" opens.
grep -qx "Files: /usr/share/doc/probnik/Probnik.pdf" /usr/share/doc-base/probnik ||
    fail "doc-base does not register /usr/share/doc/probnik/Probnik.pdf"

. "$(dirname "${BASH_SOURCE[0]}")/display.sh"

# The installed program, started from a folder of its own by the menu entry's command (without
# a file: the entry's field code stands for none).
command=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ %[fFuU]//')
[ "$command" = probnik ] || fail "the menu entry starts '$command', not probnik"
# What the program hands to the desktop ("Opis" opens the manual) lands in a file instead.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$1" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
(cd "$work" && PATH="$work/bin:$PATH" exec "/usr/bin/$command" >"$work/probnik.log" 2>&1) &
program_pid=$!
wait_for_pixel 640 300 "5,103,168" 15 || fail "no splash"
wait_for_pixel 640 512 "128,128,128" 15 || fail "no main window after the splash"

window=$(xdotool search --onlyvisible --name '^Probnik$' | head -n 1)
[ -n "$window" ] || fail "main window not found"
# The window carries the program's icon (from the theme the package installed it into).
icon=$(xprop -len 16 -id "$window" _NET_WM_ICON | sed -n 1p)
[[ "$icon" == "_NET_WM_ICON(CARDINAL) = "* ]] || fail "the main window has no icon: $icon"

# Pomoc (two menus right of Plik), then Opis (its first item): the installed manual opens.
xdotool windowfocus --sync "$window"
xdotool key --window "$window" alt+p
sleep 0.5
xdotool key Right Right Home Return
for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
opened=$(cat "$work/opened" 2>/dev/null || true)
[ "$opened" = "file:///usr/share/doc/probnik/Probnik.pdf" ] ||
    fail "Opis opened '$opened', not the installed manual"

# Close through the menu: Plik, then Koniec (the last item).
xdotool windowfocus --sync "$window"
xdotool key --window "$window" alt+p
sleep 0.5
xdotool key Up Return
for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2>/dev/null; then fail "the program did not end through the menu"; fi
wait "$program_pid" || { cat "$work/probnik.log" >&2; fail "the program ended with an error"; }
program_pid=""

$sudo dpkg -r probnik >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r"; }
installed=""
[ ! -e /usr/bin/probnik ] || fail "dpkg -r left /usr/bin/probnik behind"

echo "e2e package: installed, started, shown, closed and removed OK ($((SECONDS - began)) s)"
