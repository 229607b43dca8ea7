# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the real-window tests: starts an Xvfb display of their own (whichever number is
# free) with the configuration and instance lock in "$work", and gives them pixel checks.
# Needs "$work" and a fail() function; sets xvfb_pid and DISPLAY.

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

# The colour of one screen pixel as "r,g,b".
pixel() {
    local hex
    hex=$(import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tail -n 1)
    [ -n "$hex" ] && printf '%d,%d,%d' "0x${hex:0:2}" "0x${hex:2:2}" "0x${hex:4:2}"
}
wait_for_pixel() { # x y colour seconds
    local deadline=$((SECONDS + $4))
    while [ $SECONDS -lt $deadline ]; do
        [ "$(pixel "$1" "$2")" = "$3" ] && return 0
        sleep 0.2
    done
    return 1
}
