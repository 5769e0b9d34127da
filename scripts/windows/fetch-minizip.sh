#!/bin/bash
# fetch-minizip.sh DEST_DIR
#
# Fetches Debian's minizip source package into DEST_DIR and prints the folder
# that holds unzip.c.  The system's apt configuration is left alone: a private
# source list (deb-src copies of the system's entries) and private package
# lists live under DEST_DIR.  Nothing happens when the sources are already
# there.  When no "minizip" source package exists, zlib's, which carries
# contrib/minizip, is used.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"

[ $# -eq 1 ] || vergle_die "usage: $0 DEST_DIR"
dest="$(vergle_abs_dir "$1")"

find_sources() {
    local f
    for f in "$dest"/src/minizip-*/unzip.c "$dest"/src/zlib-*/contrib/minizip/unzip.c; do
        if [ -f "$f" ]; then
            dirname "$f"
            return 0
        fi
    done
    return 1
}

if find_sources; then
    exit 0
fi

command -v dpkg-source >/dev/null || vergle_die "dpkg-source is missing (package dpkg-dev)"

# The private source list: every "deb" entry of the system's lists, as "deb-src".
parts="$dest/apt/sources"
lists="$dest/apt/lists"
rm -rf "$parts"
mkdir -p "$parts" "$lists/partial"
shopt -s nullglob
for f in /etc/apt/sources.list.d/*.sources; do
    sed -E 's/^Types:.*/Types: deb-src/' "$f" >"$parts/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$f" >"$parts/$(basename "$f" .list).list"
done
shopt -u nullglob
[ -n "$(ls -A "$parts")" ] || vergle_die "no apt sources found to derive deb-src entries from"

apt_private=(
    -o Dir::Etc::SourceList=/dev/null
    -o "Dir::Etc::SourceParts=$parts"
    -o "Dir::State::Lists=$lists"
    -o Dir::Cache::pkgcache=
    -o Dir::Cache::srcpkgcache=
    -q
)
if [ "$(id -u)" -eq 0 ]; then
    # The unprivileged download user cannot write into the private folders.
    apt_private+=(-o APT::Sandbox::User=root)
fi

vergle_say "fetching the minizip source package into $dest/src"
apt-get "${apt_private[@]}" update >&2
rm -rf "$dest/src"
mkdir -p "$dest/src"
cd "$dest/src"
if ! apt-get "${apt_private[@]}" source minizip >&2; then
    vergle_say "no minizip source package; using zlib's contrib/minizip"
    apt-get "${apt_private[@]}" source zlib >&2
fi
# The package lists (10 MB) are not needed any more.
rm -rf "$lists"
find_sources || vergle_die "the source package holds no unzip.c"
