#!/usr/bin/env bash
# orv-cli.exe under Wine on COM1 against orv-unit-sim (Linux) on a pseudo-terminal, as a
# technician's laptop talks to a unit: ports, connect, read, write; a COM port that does not
# exist; a unit that stops answering.
#   com_port_e2e_test.sh WINE ORV-CLI.EXE LINUX-BUILD SCRATCH
# WINEPREFIX names the prefix; Wine maps COMn to the link dosdevices/comn (and to the registry's
# port table when it starts its device manager). Exit status 77 (skipped) without a Linux build.
set -uo pipefail
wine=$1 exe=$2 build=$3 scratch=$4
sim=$build/tools/unit-sim/orv-unit-sim
linux=$build/tools/cli/orv-cli
[ -x "$sim" ] && [ -x "$linux" ] ||
    { echo "SKIP: no orv-unit-sim or orv-cli in $build (build the default preset first)"; exit 77; }

rm -rf "$scratch"
mkdir -p "$scratch"
export XDG_DATA_HOME=$scratch/linux-history  # the Linux orv-cli's copies, never the user's
cd "$scratch" || exit 1
source "$(dirname "$0")/checks.sh"

sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
    timeout 60 "$wine" reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null 2>&1
    rm -f "$WINEPREFIX/dosdevices/com1"
}
trap cleanup EXIT

# Starts a simulated unit with the given options and makes COM1 lead to it.
start_unit() {
    local name=$1
    shift
    "$sim" --modules 15,13,14,0 --log "$name.log" "$@" >"$name.out" &
    sims+=($!)
    local pty=""
    for _ in $(seq 100); do
        pty=$(head -n 1 "$name.out" 2>/dev/null)
        [ -n "$pty" ] && break
        sleep 0.05
    done
    [ -n "$pty" ] || { echo "FAIL: the simulated unit did not start"; exit 1; }
    # The registry entry first: it starts Wine's device manager, which lays the COM links anew.
    timeout 60 "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$pty" /f \
        >/dev/null 2>&1 || fail "could not set COM1 in Wine's registry"
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/com1"
    unit_pty=$pty
}

start_unit unit --eeprom unit.eeprom
# No COM9, whatever serial devices this machine has.
rm -f "$WINEPREFIX/dosdevices/com9"

cli ports; last=$?
expect 0 "  COM1 "
grep -q "COM9" out.txt && fail "ports lists a COM9 that does not exist"
cli ports --map COM3=/dev/ttyUSB0; last=$?
expect 2 "is not mapped"

cli connect -p COM1; last=$?
expect 0 "Connected on COM1 at 9600,N,8,1"
expect 0 "Bank 2: Type 13: 16-Channel Dry Contact Input Module"

cli read -p COM1 -o "unit read.ORV"; last=$?
expect 0 "Read the unit's configuration into unit read.ORV"
"$linux" read -d "$unit_pty" -o linux-read.ORV >/dev/null 2>&1 || fail "the Linux orv-cli could not read"
cmp -s "unit read.ORV" linux-read.ORV || fail "orv-cli.exe read other bytes than orv-cli"

# Write a changed configuration and read it back through the Linux side.
printf 'Bank,Channel,State,Message\r\n1,1,RESET,PUMP HOUSE FLOODED\r\n' >edit.csv
"$linux" import-csv "unit read.ORV" edit.csv -o edited.ORV >/dev/null 2>&1 || fail "import-csv failed"
cli write edited.ORV -p COM1 -b 9600; last=$?
expect 0 "Wrote edited.ORV to the unit on COM1"
"$linux" read -d "$unit_pty" -o after.ORV >/dev/null 2>&1 || fail "the Linux orv-cli could not read back"
"$linux" diff edited.ORV after.ORV >diff.txt 2>&1 || fail "the unit holds other values: $(cat diff.txt)"

# A COM port that does not exist: a clear message at once, no hang.
started=$SECONDS
cli connect -p COM9; last=$?
expect 1 "There is no device COM9"
expect 1 "Unable to open selected Coms Port"
[ $((SECONDS - started)) -lt 20 ] || fail "the missing COM9 took $((SECONDS - started)) s"

# A unit that stops answering in the middle of a read: failure, no file, no hang.
start_unit stopping --stop-after 20
started=$SECONDS
cli read -p COM1 -o never.ORV; last=$?
expect 1 "Comms failure while getting EEprom"
[ ! -e never.ORV ] || fail "a failed read left never.ORV"
# A unit that never answers.
start_unit silent --silent
cli connect -p COM1; last=$?
expect 1 "The unit does not answer on COM1"
[ $((SECONDS - started)) -lt 60 ] || fail "the silent units took $((SECONDS - started)) s"

finish "orv-cli.exe on COM1: connect, read, write, missing port and silent unit as expected"
