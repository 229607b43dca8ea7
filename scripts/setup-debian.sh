#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs every Debian 12 package that building, testing and running Probnik needs.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # charts of the measurements, and pictures of them saved as SVG (Debian 12's Qt Charts
    # needs the OpenGL module's CMake files without depending on them)
    qt6-charts-dev qt6-svg-dev libqt6opengl6-dev
    # picture formats beside BMP; Qt's TIFF reader for the tests that compare with it
    libpng-dev libtiff-dev libjpeg62-turbo-dev qt6-image-formats-plugins
    # colour profiles
    liblcms2-dev
    # tests, sanitizers, fuzzing, formatting, benchmarks
    googletest libgtest-dev libbenchmark-dev clang clang-format clang-tidy libclang-rt-14-dev
    # real-window tests and screenshots, also under a window manager
    xvfb xauth xdotool x11-utils imagemagick python3 openbox
    # running the program: fonts (the splash title's rounded one too), the desktop's file
    # dialogs, SVG icons, Qt's own dialogs in Polish
    fonts-dejavu-core fonts-liberation2 fonts-quicksand qt6-gtk-platformtheme libqt6svg6
    qt6-translations-l10n
    # desktop integration and the Debian package: menu entry check, package dependencies,
    # software-centre metadata, the package's and the manual page's checks, licence check
    desktop-file-utils dpkg-dev appstream lintian man-db groff-base reuse
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

echo "setup: installing ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
