#!/usr/bin/env bash
# The files the product writes for every workbook of the project and of the
# corpus stay byte for byte the same from build to build: the SHA-1 of each
# dump (file names, contents, messages, exit status) in three modes (one
# file per sheet in code page 932; one file with shapes, comments, formulas
# and macros; UTF-8) against the recorded digests.
#
#   dump_file_digests.sh DUMP_FILES DIGESTS SOURCE_DIR CORPUS_DIR [--update]
#
# A change that is meant to change the written text records the new digests
# with --update (and says why in its commit).  Without the corpus only the
# project's own workbooks are checked.
set -u
dump=$1 digests=$2 source=$3 corpus=$4 update=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$(dirname "${BASH_SOURCE[0]}")/../support/digests.sh"

# One record of the three dumps: messages (the document's folder and the
# output folder left out, so that the digests hold wherever things lie),
# status, and each file's name and digest.
digest_of() {
  local path mode out rc
  path=$(path_of "$1")
  for mode in - tafm u; do
    out=$work/out
    rm -rf "$out" "$work/temp"
    mkdir -p "$work/temp"
    "$dump" "$mode" "$path" "$out" "$work/temp" 2>&1 |
      D=$(dirname "$path") W=$work perl -pe 's/\Q$ENV{D}\E/<dir>/g; s/\Q$ENV{W}\E/<work>/g'
    rc=${PIPESTATUS[0]}
    echo "mode $mode status $rc"
    [ -d "$out" ] && (cd "$out" && find . -type f | LC_ALL=C sort | while IFS= read -r f; do
      printf '%s %s\n' "$(sha1sum < "$f" | cut -d' ' -f1)" "$f"
    done)
  done | sha1sum | cut -d' ' -f1
}

check_digests
