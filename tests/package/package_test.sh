#!/usr/bin/env bash
# Builds the Debian package of the build folder $1 with CPack, unpacks it into the scratch root
# $2 with dpkg-deb -x and checks what a user gets: the three programs with their manual pages,
# the desktop entry with its icon and file type, sound package metadata, "orv-cli --help",
# "orv-config --help" and "--version" without a display, and the editor starting offscreen from
# the unpacked paths. $3 is the editor as built (empty when the build has
# none). Exit status 77 skips the test.
set -uo pipefail

build=$1
scratch=$2
editor=${3:-}
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
skip() {
    echo "SKIP: $*" >&2
    exit 77
}

[ -n "$editor" ] && [ -x "$editor" ] || skip "orv-config is not built here"
for tool in cpack dpkg-deb timeout; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

rm -rf "$scratch"
mkdir -p "$scratch/package" "$scratch/root" "$scratch/home"

# The package.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" \
    >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
debs=("$scratch"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single .deb in $scratch/package" >&2; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Metadata: name, version, and the libraries the programs need at run time.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "orv-pro-configuration" ] || fail "package name is '$(field Package)'"
[ -n "$(field Version)" ] || fail "no version"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ -n "$(field Description)" ] || fail "no description"
depends=$(field Depends)
for dep in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
    [[ ",$depends," == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done

# Contents.
dpkg-deb -x "$deb" "$scratch/root" || { echo "FAIL: dpkg-deb -x failed" >&2; exit 1; }
root=$scratch/root
for f in usr/bin/orv-config usr/bin/orv-cli usr/bin/orv-unit-sim; do
    [ -x "$root/$f" ] || fail "$f is missing or not executable"
done
# Each page names the version the programs print.
version=$("$root/usr/bin/orv-cli" --version)
version=${version#orv-cli }
for page in orv-config orv-cli orv-unit-sim; do
    gz=$root/usr/share/man/man1/$page.1.gz
    if [ ! -s "$gz" ]; then
        fail "manual page $page.1.gz is missing"
    elif ! gzip -dc "$gz" | grep -q "^\.TH ${page^^} 1"; then
        fail "manual page $page.1.gz does not start as a section 1 page"
    elif ! gzip -dc "$gz" | head -1 | grep -qF "\"ORV Pro Configuration $version\""; then
        fail "manual page $page.1.gz does not name version $version: $(gzip -dc "$gz" | head -1)"
    fi
done
desktop=$root/usr/share/applications/orv-config.desktop
icon=$root/usr/share/icons/hicolor/scalable/apps/orv-config.svg
[ -f "$desktop" ] || fail "desktop entry missing"
[ -f "$icon" ] || fail "icon missing"
if [ -f "$desktop" ]; then
    grep -qx "Exec=orv-config %f" "$desktop" || fail "desktop entry does not start orv-config with the file"
    grep -qx "Icon=orv-config" "$desktop" || fail "desktop entry does not name the icon"
    grep -qx "MimeType=application/x-orv-configuration;" "$desktop" ||
        fail "desktop entry does not take configuration files"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the entry"
    fi
fi
[ -f "$icon" ] && ! grep -q "<svg" "$icon" && fail "icon is not an SVG"

# The file type: both spellings of the extension map to it once the MIME database is built.
mime=$root/usr/share/mime/packages/orv-config.xml
if [ ! -f "$mime" ]; then
    fail "MIME type definition missing"
elif command -v update-mime-database >/dev/null; then
    mkdir -p "$scratch/mime/packages"
    cp "$mime" "$scratch/mime/packages/"
    update-mime-database "$scratch/mime" >"$scratch/mime.log" 2>&1 || fail "update-mime-database refuses the type"
    for ext in ORV orv; do
        grep -q "application/x-orv-configuration:\*\.$ext\$" "$scratch/mime/globs" ||
            fail "*.$ext is not registered as application/x-orv-configuration"
    done
fi

# orv-cli from the unpacked path.
out=$("$root/usr/bin/orv-cli" --help 2>&1)
status=$?
[ $status -eq 0 ] || fail "orv-cli --help exited with $status"
for word in "Usage: orv-cli" show diff export-csv import-csv; do
    [[ $out == *"$word"* ]] || fail "orv-cli --help does not mention '$word'"
done

# --help and --version answer and end before any window, so they need no display.
for option in --help --version; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$root/usr/bin/orv-config" $option 2>&1)
    status=$?
    [ $status -eq 0 ] || fail "orv-config $option exited with $status: $out"
done
[[ $(env -u DISPLAY timeout 10 "$root/usr/bin/orv-config" --help 2>&1) == *"[FILE]"* ]] ||
    fail "orv-config --help does not show the file argument"
[[ $(env -u DISPLAY timeout 10 "$root/usr/bin/orv-config" --version 2>&1) == *"ORV Pro Configuration $version"* ]] ||
    fail "orv-config --version does not show the version $version"
[[ $("$root/usr/bin/orv-cli" --help 2>&1) == *"version $version"* ]] ||
    fail "orv-cli --help does not show the version $version"

# The editor from the unpacked path: it must stay up until timeout ends it, and have started.
# Its settings go to the scratch home, not the user's.
HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config QT_QPA_PLATFORM=offscreen \
    timeout 5 "$root/usr/bin/orv-config" >"$scratch/editor.out" 2>"$scratch/editor.err" </dev/null
status=$?
[ $status -eq 124 ] || { fail "orv-config ended by itself with status $status"; cat "$scratch/editor.err" >&2; }
grep -q "+++ Program started" "$scratch/editor.err" || fail "orv-config did not log '+++ Program started'"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package installs and runs"
