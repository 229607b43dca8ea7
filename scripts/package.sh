#!/usr/bin/env bash
# Builds the Debian package of Probnik (an optimised build without tests, installed under /usr)
# and prints the package's path. The build talks on stderr, so `deb=$(scripts/package.sh)` works.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset package >&2
deb=$(ls -t build/package/probnik_*.deb | head -n 1)
realpath "$deb"
