#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the Debian package of Probnik (an optimised build without tests, installed under /usr)
# and prints the package's path. The build talks on stderr, so `deb=$(scripts/package.sh)` works.
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's compiler and linker flags with every hardening feature: fortified functions, stack
# protector, read-only relocations bound at start. They stay in the build's cache, so a later
# `cmake --workflow --preset package` keeps them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake --preset package \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >&2
cmake --workflow --preset package >&2
deb=$(ls -t build/package/probnik_*.deb | head -n 1)
realpath "$deb"
