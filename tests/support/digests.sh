# What the digest checks share: the workbooks of the project and of the
# corpus, and each one's digest against the recorded one, or with --update
# the digests recorded anew.  The caller sets dump, digests, source, corpus
# and update, defines digest_of NAME and then calls check_digests.

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

check_digests() {
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
}
