#!/bin/bash
# Installs the Debian packages a build needs, only when something is missing.
#   install-deps.sh native|windows|fuzz|bench ...
set -euo pipefail

packages=()
for what in "$@"; do
    case $what in
    native) packages+=(cmake make g++ pkg-config libgtest-dev libgmock-dev zlib1g-dev libminizip-dev python3
                       python3-openpyxl python3-xlrd python3-docx git tmux dpkg-dev chromium) ;;
    windows) packages+=(mingw-w64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 fonts-wine xvfb xdotool
                        imagemagick fonts-ipafont-gothic locales dpkg-dev googletest binutils-mingw-w64-x86-64) ;;
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    bench) packages+=(libbenchmark-dev) ;;
    *) echo "install-deps.sh: unknown set $what" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
