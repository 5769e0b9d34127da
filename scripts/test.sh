#!/bin/bash
# Builds everything and runs every test: the native build, the native build
# under AddressSanitizer + UndefinedBehaviorSanitizer, and the Windows build
# under Wine.  Installs what it needs with apt-get when it is missing.
#
#   scripts/test.sh [native] [sanitize] [windows]    (default: all three)
#
# Build folders: build/ (native), build-asan/ (sanitizers), build-win/ (Windows).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

steps=("$@")
[ ${#steps[@]} -eq 0 ] && steps=(native sanitize windows)

status=0
summary=()
for step in "${steps[@]}"; do
    start=$(date +%s)
    case $step in
    native)
        scripts/install-deps.sh native bench
        cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERGLE_BENCH=ON -DVERGLE_TEST_DIRS= > build.log.tmp 2>&1 || { cat build.log.tmp; exit 1; }
        cmake --build build -j"$jobs"
        if ctest --test-dir build -j"$jobs" --output-on-failure; then r=0; else r=1; fi
        ;;
    sanitize)
        scripts/install-deps.sh native
        cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVERGLE_SANITIZE=ON -DVERGLE_TEST_DIRS= > build.log.tmp 2>&1 || { cat build.log.tmp; exit 1; }
        cmake --build build-asan -j"$jobs"
        if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            ctest --test-dir build-asan -j"$jobs" --output-on-failure; then r=0; else r=1; fi
        ;;
    windows)
        # The tests under Wine, then the release zip (vergle.exe and tabx.dll).
        if bash scripts/windows/build-and-test.sh build-win &&
            cmake --build build-win --target release; then r=0; else r=1; fi
        ;;
    *)
        echo "test.sh: unknown step $step" >&2
        exit 2
        ;;
    esac
    rm -f build.log.tmp
    summary+=("$step: $([ $r -eq 0 ] && echo passed || echo FAILED) in $(( $(date +%s) - start )) s")
    [ $r -ne 0 ] && status=1
done

echo
printf '%s\n' "${summary[@]}"
exit $status
