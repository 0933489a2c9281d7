#!/usr/bin/env bash
# The download for Windows users: cpack -G ZIP makes orv-cli-<version>-win64.zip with orv-cli.exe
# and README.txt; orv-cli.exe needs no DLL but Windows' own and runs from the unpacked folder.
#   zip_test.sh CPACK BUILD SCRATCH VERSION WINE OBJDUMP
set -uo pipefail
cpack=$1 build=$2 scratch=$3 version=$4 wine=$5 objdump=$6
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

rm -rf "$scratch"
mkdir -p "$scratch/unpacked"
if ! "$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack could not make the zip"
    exit 1
fi
zip=$scratch/orv-cli-$version-win64.zip
[ -f "$zip" ] || { echo "FAIL: no $zip"; ls "$scratch"; exit 1; }
(cd "$scratch/unpacked" && cmake -E tar xf "$zip") || { echo "FAIL: the zip does not unpack"; exit 1; }

dir=$scratch/unpacked/orv-cli-$version-win64
contents=$(cd "$dir" && find . -type f | sort | tr '\n' ' ')
[ "$contents" = "./README.txt ./orv-cli.exe " ] || fail "the zip holds $contents"
grep -q $'orv-cli new.*\r$' "$dir/README.txt" || fail "README.txt lines do not end in CR LF"

for dll in $("$objdump" -p "$dir/orv-cli.exe" | sed -n 's/.*DLL Name: //p'); do
    case "${dll,,}" in
        # ws2_32 and mswsock: Windows' own sockets, for units behind a device server.
        kernel32.dll | user32.dll | advapi32.dll | shell32.dll | msvcrt.dll | ucrtbase.dll | \
            ws2_32.dll | mswsock.dll) ;;
        *) fail "orv-cli.exe needs $dll, which a Windows PC does not have" ;;
    esac
done
out=$(cd "$dir" && timeout 60 "$wine" ./orv-cli.exe --version 2>&1)
[ "$out" = "orv-cli $version" ] || fail "orv-cli.exe --version from the unpacked folder said: $out"

[ "$failures" -eq 0 ] && echo "$(basename "$zip"): $contents"
[ "$failures" -eq 0 ]
