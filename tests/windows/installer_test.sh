#!/usr/bin/env bash
# The Windows installer under Wine: cpack -G NSIS makes orv-config-<version>-win64-setup.exe; "/S"
# installs both programs, the Start-menu entry and the .ORV file type; the installed editor
# answers --version; the silent uninstaller takes all of it away again.
#   installer_test.sh CPACK BUILD SCRATCH VERSION WINE
# WINEPREFIX names the prefix.
set -uo pipefail
cpack=$1 build=$2 scratch=$3 version=$4 wine=$5
source "$(dirname "$0")/checks.sh"
reg_default() {  # reg_default KEY: the key's default value, or nothing
    timeout 60 "$wine" reg query "$1" /ve 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *(Default) *REG_SZ *//p'
}

rm -rf "$scratch"
mkdir -p "$scratch"
if ! "$cpack" -G NSIS --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    tail -n 30 "$scratch/cpack.log"
    echo "FAIL: cpack could not make the installer"
    exit 1
fi
setup=$scratch/orv-config-$version-win64-setup.exe
[ -f "$setup" ] || { echo "FAIL: no $setup"; ls "$scratch"; exit 1; }

timeout 180 "$wine" "$setup" /S || fail "the silent install ended with status $?"
programs="$WINEPREFIX/drive_c/Program Files/ORV Pro Configuration"
for f in orv-config.exe orv-cli.exe README.txt Uninstall.exe; do
    [ -f "$programs/$f" ] || fail "$f is not installed in $programs"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
shortcut=$(find "$menu" -name 'ORV Pro Configuration.lnk' 2>/dev/null | head -n 1)
[ -n "$shortcut" ] || fail "no Start-menu entry ORV Pro Configuration under $menu"

class=$(reg_default 'HKCR\.ORV')
[ "$class" = "ORVPro.Configuration" ] || fail ".ORV files belong to '$class'"
command=$(reg_default 'HKCR\ORVPro.Configuration\shell\open\command')
[ "$command" = '"C:\Program Files\ORV Pro Configuration\orv-config.exe" "%1"' ] ||
    fail ".ORV files open with: $command"

out=$(timeout 60 "$wine" "$programs/orv-config.exe" --version 2>&1 | tr -d '\r')
[ "$out" = "ORV Pro Configuration $version" ] || fail "the installed editor's --version said: $out"
out=$(timeout 60 "$wine" "$programs/orv-cli.exe" --version 2>&1)
[ "$out" = "orv-cli $version" ] || fail "the installed orv-cli's --version said: $out"

# The uninstaller copies itself away and works from there: wait for the folder to go.
timeout 60 "$wine" "$programs/Uninstall.exe" /S || fail "the silent uninstall ended with status $?"
for _ in $(seq 120); do
    [ -e "$programs" ] || break
    sleep 0.5
done
[ ! -e "$programs" ] || fail "the uninstaller left $(cd "$programs" && ls)"
[ -z "$(find "$menu" -name 'ORV Pro Configuration.lnk' 2>/dev/null)" ] || fail "the Start-menu entry is left"
[ -z "$(reg_default 'HKCR\.ORV')" ] || fail "the .ORV file type is left"
timeout 60 "$wine" reg query 'HKCR\ORVPro.Configuration' >/dev/null 2>&1 && fail "the ORVPro.Configuration class is left"

finish "$(basename "$setup"): installed, associated .ORV, ran, uninstalled"
