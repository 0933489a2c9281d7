#!/usr/bin/env bash
# The zip for PCs where nothing may be installed: cpack -G ZIP makes orv-config-<version>-win64.zip
# with the programs and README.txt; each program needs no DLL but Windows' own and runs from the
# unpacked folder.
#   zip_test.sh CPACK BUILD SCRATCH VERSION WINE OBJDUMP PROGRAM.exe...
set -uo pipefail
cpack=$1 build=$2 scratch=$3 version=$4 wine=$5 objdump=$6
shift 6
programs=("$@")
source "$(dirname "$0")/checks.sh"

rm -rf "$scratch"
mkdir -p "$scratch/unpacked"
if ! "$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack could not make the zip"
    exit 1
fi
zip=$scratch/orv-config-$version-win64.zip
[ -f "$zip" ] || { echo "FAIL: no $zip"; ls "$scratch"; exit 1; }
(cd "$scratch/unpacked" && cmake -E tar xf "$zip") || { echo "FAIL: the zip does not unpack"; exit 1; }

dir=$scratch/unpacked/orv-config-$version-win64
contents=$(cd "$dir" && find . -type f | sort | tr '\n' ' ')
expected=$(printf './%s\n' README.txt "${programs[@]}" | sort | tr '\n' ' ')
[ "$contents" = "$expected" ] || fail "the zip holds $contents, expected $expected"
grep -q $'orv-cli new.*\r$' "$dir/README.txt" || fail "README.txt lines do not end in CR LF"

"$(dirname "$0")/windows_dlls_only.sh" "$objdump" "$dir"/*.exe || fail "a program needs DLLs Windows does not have"
for exe in "${programs[@]}"; do
    case $exe in
        orv-cli.exe) want="orv-cli $version" ;;
        orv-config.exe) want="ORV Pro Configuration $version" ;;
    esac
    out=$(cd "$dir" && timeout 60 "$wine" "./$exe" --version 2>&1 | tr -d '\r')
    [ "$out" = "$want" ] || fail "$exe --version from the unpacked folder said: $out"
done

finish "$(basename "$zip"): $contents"
