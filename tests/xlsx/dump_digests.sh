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

. "$(dirname "${BASH_SOURCE[0]}")/../support/digests.sh"

# Messages name the file: its folder is left out, so that the digests hold
# wherever the tree and the corpus lie.
digest_of() {
  local path
  path=$(path_of "$1")
  "$dump" -a "$path" 2>&1 | D=$(dirname "$path") perl -pe 's/\Q$ENV{D}\E/<dir>/g' | sha1sum | cut -d' ' -f1
}

check_digests
