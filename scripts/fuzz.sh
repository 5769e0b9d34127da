#!/usr/bin/env bash
# The short fuzzing run: builds the libFuzzer targets of fuzz/ with clang-14
# under AddressSanitizer and UndefinedBehaviorSanitizer, then runs each target
# for a while (60 seconds, or the number of seconds given), one after the
# other, on one worker.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Working corpora grow in build-fuzz/corpus/<target>/ (seeded from
# fuzz/seeds/<target>/ and fuzz/regressions/<target>/); crashes, hangs and
# memory blow-ups land in build-fuzz/findings/<target>/.  A finding, once
# fixed, belongs in fuzz/regressions/<target>/ under a name that says what
# it found.  Each target's last status line (cov, ft, exec count) is
# collected in build-fuzz/fuzz-summary.txt.
set -u
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
shift || true
BUILD=build-fuzz

if ! command -v clang++-14 >/dev/null 2>&1 ||
   ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update && $SUDO apt-get install -y --no-install-recommends clang-14 libclang-rt-14-dev || exit 1
fi

FLAGS="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S . -B "$BUILD" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=Debug -DVERGLE_FUZZ=ON -DVERGLE_TESTS=OFF \
  "-DCMAKE_C_FLAGS=$FLAGS" "-DCMAKE_CXX_FLAGS=$FLAGS" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
  "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null || exit 1

ALL="file_type cfb biff open_book_xls open_book_xlsx xlsx_scan ofx_walk ofx_parts chart_part unzip xml_escape keywords cell_format orb_convert formula vba align"
TARGETS=${*:-$ALL}
cmake --build "$BUILD" -j2 --target $(for t in $TARGETS; do printf 'fuzz_%s ' "$t"; done) || exit 1

dict_of() {
  case $1 in
    xlsx_scan|ofx_walk|ofx_parts|chart_part|open_book_xlsx|xml_escape) echo fuzz/dict/xml.dict ;;
    biff|cfb|open_book_xls|file_type|vba) echo fuzz/dict/biff.dict ;;
    unzip) echo fuzz/dict/zip.dict ;;
    keywords) echo fuzz/dict/keywords.dict ;;
    cell_format) echo fuzz/dict/format.dict ;;
  esac
}

SUMMARY="$BUILD/fuzz-summary.txt"
status=0
for t in $TARGETS; do
  corpus="$BUILD/corpus/$t"; findings="$BUILD/findings/$t"; work="$BUILD/work/$t"
  mkdir -p "$corpus" "$findings" "$work"
  seeds=()
  for d in fuzz/seeds/$t fuzz/regressions/$t; do [ -d "$d" ] && seeds+=("$PWD/$d"); done
  dict=$(dict_of "$t")
  log="$BUILD/fuzz-$t.log"
  # The targets write their scratch files into the current folder.
  (cd "$work" && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
     UBSAN_OPTIONS=print_stacktrace=1 \
     "$OLDPWD/$BUILD/fuzz/fuzz_$t" "$OLDPWD/$corpus" "${seeds[@]}" \
       -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2560 -max_len=262144 \
       -print_final_stats=1 \
       -artifact_prefix="$OLDPWD/$findings/" ${dict:+-dict="$OLDPWD/$dict"}) >"$log" 2>&1
  rc=$?
  last=$(grep -E '#[0-9]+.*(cov|DONE|pulse)' "$log" | tail -1)
  execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  echo "$t rc=$rc seconds=$SECONDS_EACH execs=${execs:-?} last: $last" | tee -a "$SUMMARY"
  [ "$rc" -ne 0 ] && status=1
done
exit $status
