#!/usr/bin/env bash
# What the store returns for every workbook of the project and of the corpus
# stays the same from build to build: the SHA-1 of `dump_book -a` (every cell
# through TABX_get_cell and TABX_get_format_cell, opened for display, for the
# classic renderings and for reading) against the recorded digests.
#
#   dump_digests.sh DUMP_BOOK DIGESTS SOURCE_DIR CORPUS_DIR [--update]
#
# A change that is meant to change what cells show records the new digests
# with --update (and says why in its commit).  Without the corpus only the
# project's own workbooks are checked.
set -u
dump=$1 digests=$2 source=$3 corpus=$4 update=${5:-}

list() {
  (cd "$source" && find samples tests -type f \( -iname '*.xls' -o -iname '*.xlsx' -o -iname '*.xlsm' \) |
     sed 's|^|source/|')
  [ -d "$corpus" ] && (cd "$corpus" && find . -type f \( -iname '*.xls' -o -iname '*.xlsx' -o -iname '*.xlsm' \) |
     sed 's|^\./|corpus/|')
}

path_of() {
  case $1 in
    source/*) echo "$source/${1#source/}" ;;
    corpus/*) echo "$corpus/${1#corpus/}" ;;
  esac
}

# Messages name the file: its folder is left out, so that the digests hold
# wherever the tree and the corpus lie.
digest_of() {
  local path
  path=$(path_of "$1")
  "$dump" -a "$path" 2>&1 | D=$(dirname "$path") perl -pe 's/\Q$ENV{D}\E/<dir>/g' | sha1sum | cut -d' ' -f1
}

if [ "$update" = --update ]; then
  list | LC_ALL=C sort | while IFS= read -r name; do
    printf '%s  %s\n' "$(digest_of "$name")" "$name"
  done > "$digests"
  echo "recorded $(wc -l < "$digests") digests"
  exit 0
fi

fail=0 checked=0
while IFS= read -r name; do
  expected=$(grep -F "  $name" "$digests" | awk -v n="$name" 'substr($0, 43) == n { print $1 }')
  if [ -z "$expected" ]; then
    echo "no digest recorded for $name (run with --update)"
    fail=1
    continue
  fi
  actual=$(digest_of "$name")
  checked=$((checked + 1))
  if [ "$actual" != "$expected" ]; then
    echo "changed: $name"
    fail=1
  fi
done < <(list | LC_ALL=C sort)
[ -d "$corpus" ] || echo "corpus not found: only the project's workbooks checked"
echo "$checked workbooks checked"
exit $fail
