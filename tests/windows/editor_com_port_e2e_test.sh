#!/usr/bin/env bash
# orv-config.exe under Wine on COM1 against orv-unit-sim (Linux) on a pseudo-terminal: "&Connect"
# and "&Read" pressed as a user would. The unit must have served the whole handshake and all 256
# blocks, and the copy the editor keeps after a Read must hold exactly the unit's EEPROM.
#   editor_com_port_e2e_test.sh WINE ORV-CONFIG.EXE LINUX-BUILD SCRATCH
# WINEPREFIX names the prefix. Exit status 77 (skipped) without a Linux build.
set -uo pipefail
wine=$1 exe=$2 build=$3 scratch=$4
sim=$build/tools/unit-sim/orv-unit-sim
[ -x "$sim" ] || { echo "SKIP: no orv-unit-sim in $build (build the default preset first)"; exit 77; }
source "$(dirname "$0")/editor_under_wine.sh"

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
source "$(dirname "$0")/checks.sh"
sim_pid=""
cleanup() {
    stop_editor
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    timeout 60 "$wine" reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null 2>&1
    rm -f "$WINEPREFIX/dosdevices/com1"
}
trap cleanup EXIT

# wait_for_log PATTERN SECONDS: the unit's log shows a line matching PATTERN in time.
wait_for_log() {
    for _ in $(seq $((2 * $2))); do
        grep -Eq "$1" unit.log 2>/dev/null && return 0
        sleep 0.5
    done
    return 1
}

"$sim" --modules 15,13,14,0 --version1 "ORV-PRO V2.13" --eeprom unit.eeprom --log unit.log >unit.out 2>unit.err &
sim_pid=$!
for _ in $(seq 100); do
    pty=$(head -n 1 unit.out 2>/dev/null)
    [ -n "$pty" ] && break
    sleep 0.05
done
[ -n "$pty" ] || { echo "FAIL: the simulated unit did not start"; exit 1; }
timeout 60 "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$pty" /f >/dev/null 2>&1 ||
    fail "could not set COM1 in Wine's registry"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com1"

# A first start (COM1 at 9600). Wine gives its programs their own local application data folder,
# so this run's copies are those newer than the marker.
forget_editor_settings
touch started.marker
start_editor || exit 1

# The buttons sit in one row with the connection label, at the window's own design offsets
# from it: "&Connect" 6-106, the label 112-216, "&Read" 232-316.
wait_for_colour 255,0,0 30 || { fail "the window shows no \"Disconnected\" label"; exit 1; }
read -r lx ly _ lh <<<"$colour_box"
row=$((ly + lh / 2))
click $((lx - 56)) "$row"
wait_for_log '^modules ' 30 || fail "the editor did not connect: the unit saw $(wc -l <unit.log) requests"
wait_for_colour 0,255,0 30 || fail "the window does not show \"Connected\""
click $((lx + 162)) "$row"
wait_for_log '^read 255 ' 90 || fail "the editor did not read all 256 blocks"
grep -q '^reset ' unit.log && fail "the unit was reset"

copy=""
for _ in $(seq 20); do
    copy=$(find "$WINEPREFIX"/drive_c/users/*/AppData/Local/orv-config/history -newer started.marker \
        -name '* read ORV-PRO V2.13.ORV' 2>/dev/null | head -n 1)
    [ -n "$copy" ] && break
    sleep 0.5
done
# The copy's image must be the unit's EEPROM, all 4096 bytes of it.
unit_hex=$(od -An -tx1 -v unit.eeprom | tr -d ' \n' | tr a-f A-F)
if [ -z "$copy" ]; then
    fail "no copy of the Read in the history"
elif [ "$(tr -d '\r' <"$copy" | sed -n 's/^Contents=//p')" != "$unit_hex" ]; then
    fail "the editor read other bytes than the unit holds"
fi

finish "orv-config.exe on COM1: connected, read the unit's 256 blocks as it holds them"
