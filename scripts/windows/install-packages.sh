#!/bin/bash
# Installs the Debian packages the Windows build and its Wine test run need,
# only those that are missing.  apt-get update runs once, and only when
# something has to be installed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"

packages=(
    cmake
    ninja-build
    pkg-config
    googletest
    mingw-w64
    g++-mingw-w64-x86-64-posix
    libz-mingw-w64-dev
    wine
    wine64
    fonts-wine
    xvfb
    xdotool
    imagemagick
    fonts-ipafont-gothic
    locales
    dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || vergle_die "not root and no sudo: install ${missing[*]}"
    sudo=(sudo)
fi
vergle_say "installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
