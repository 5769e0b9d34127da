#!/bin/bash
# The Debian package of the build (what `cmake --build build --target
# package` makes), made into a scratch folder: its name and fields, what it
# holds (the program, the library under its versioned name with its link,
# the manual page, the completion), and the program unpacked into a scratch
# root with dpkg -x, run from there.
#   test_cli_package.sh CPACK BUILD_DIR
set -u
cpack=$1 build=$2
for tool in dpkg dpkg-deb; do
    command -v $tool > /dev/null || { echo "$tool not found: skipped"; exit 77; }
done
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config TEMP=$work/temp
mkdir -p "$TEMP"
passed=0 failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/log" 2>&1
check "cpack: $(tail -3 "$work/log")" test $? -eq 0
version=$("$build/app/vergle" --version)
deb=$work/out/vergle_${version}_$(dpkg --print-architecture).deb
check "the package's name: $(ls "$work/out")" test -f "$deb"
dpkg-deb -f "$deb" Package Version Section Depends > "$work/fields"
check "fields: $(tr '\n' '|' < "$work/fields")" grep -qx "Version: $version" "$work/fields"
check "depends on minizip" grep -q '^Depends:.*libminizip' "$work/fields"
dpkg-deb -c "$deb" | awk '{ print $6 $7 $8 }' > "$work/contents"
for entry in ./usr/bin/vergle './usr/lib/libtabx.so.3->libtabx.so.3.0.0' ./usr/lib/libtabx.so.3.0.0 \
    ./usr/share/man/man1/vergle.1 ./usr/share/bash-completion/completions/vergle; do
    check "holds $entry" grep -qxF -- "$entry" "$work/contents"
done
check "nothing outside /usr" test -z "$(grep -v '^\./usr/' "$work/contents")"

dpkg -x "$deb" "$work/root"
out=$("$work/root/usr/bin/vergle" --version)
check "the unpacked program runs: $out" test "$out" = "$version"
check "it asks for the versioned library" test -n "$(readelf -d "$work/root/usr/bin/vergle" | grep 'NEEDED.*libtabx\.so\.3\]')"
"$work/root/usr/bin/vergle" "$samples/budget_v1.xlsx" "$samples/budget_v2.xlsx" > "$work/diff"
check "the unpacked program compares with its own library" test $? -eq 1
check "... and shows the changed cell" grep -q '^~2 2	旅費	B2: \[-120,000-\]{+135,000+}' "$work/diff"

echo "cli package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
