#!/usr/bin/env bash
# orv-cli.exe under Wine reaching a unit through a device server: Debian's ser2net in front of
# orv-unit-sim (Linux) on a pseudo-terminal, RFC 2217 and raw TCP, on loopback ports chosen free at
# run time: autobaud, connect, read, write; a refused connection and a server that never accepts.
#   net_e2e_test.sh WINE ORV-CLI.EXE LINUX-BUILD SCRATCH
# Exit status 77 (skipped) without a Linux build.
set -uo pipefail
wine=$1 exe=$2 build=$3 scratch=$4
sim=$build/tools/unit-sim/orv-unit-sim
linux=$build/tools/cli/orv-cli
[ -x "$sim" ] && [ -x "$linux" ] ||
    { echo "SKIP: no orv-unit-sim or orv-cli in $build (build the default preset first)"; exit 77; }
command -v ser2net >/dev/null || { echo "FAIL: ser2net is missing (scripts/setup installs it)"; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
source "$(dirname "$0")/checks.sh"

pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done' EXIT

# The kernel's table of TCP sockets on 127.0.0.1: a port in any state, or listening (0A).
in_use() { grep -qi " 0100007F:$(printf '%04X' "$1") " /proc/net/tcp; }
listening() { grep -qiE " 0100007F:$(printf '%04X' "$1") [0-9A-F:]+ 0A " /proc/net/tcp; }
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        in_use "$port" || { echo "$port"; return; }
    done
}
# Starts a process whose first output line is its device or address; prints that line.
first_line() {
    local out=$1 line=""
    for _ in $(seq 100); do
        line=$(head -n 1 "$out" 2>/dev/null)
        [ -n "$line" ] && break
        sleep 0.05
    done
    echo "$line"
}

# The unit at 19200 on its terminal; ser2net's port starts at 9600, so over RFC 2217 every command
# must set the rate and Auto Baud must find it.
"$sim" --modules 15,13,14,0 --baud 19200 --eeprom unit.eeprom --log unit.log >unit.out &
pids+=($!)
pty=$(first_line unit.out)
[ -n "$pty" ] || { echo "FAIL: the simulated unit did not start"; exit 1; }

serve() {  # serve NAME ACCEPTER RATE: ser2net on a free port in front of the unit; sets $port
    local name=$1 accepter=$2 rate=$3
    port=$(free_port)
    printf 'connection: &unit\n    accepter: %s,127.0.0.1,%s\n    connector: serialdev,%s,%sn81,local\n    options:\n      chardelay: false\n' \
        "$accepter" "$port" "$pty" "$rate" >"$name.yaml"
    ser2net -n -u -c "$name.yaml" -P "$scratch/$name.pid" >"$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do listening "$port" && break; sleep 0.05; done
    listening "$port" || fail "ser2net ($name) does not listen on $port: $(cat "$name.log")"
}

serve rfc2217 "telnet(rfc2217),tcp" 9600
addr=rfc2217://127.0.0.1:$port
cli autobaud -d "$addr"; last=$?
expect 0 "Found the unit at 19200 baud on $addr"
expect 0 "The device server set its port to 19200,N,8,1"
cli read -d "$addr" -b 19200 -o "read rfc2217.ORV"; last=$?
expect 0 "Read the unit's configuration into read rfc2217.ORV"
printf 'Bank,Channel,State,Message\r\n1,1,RESET,RISER 4 FLOODED\r\n' >edit.csv
"$linux" import-csv "read rfc2217.ORV" edit.csv -o edited.ORV >/dev/null 2>&1 || fail "import-csv failed"
cli write edited.ORV -d "$addr" -b 19200; last=$?
expect 0 "and verified it"
kill "${pids[-1]}"

# Raw TCP: ser2net's port is the unit's rate; the PC's rate does not reach the line.
serve raw "tcp" 19200
addr=tcp://127.0.0.1:$port
cli connect -d "$addr"; last=$?
expect 0 "Connected on $addr (raw TCP"
expect 0 "Bank 2: Type 13: 16-Channel Dry Contact Input Module"
cli read -d "$addr" -o "read raw.ORV"; last=$?
expect 0 "Read the unit's configuration into read raw.ORV"
"$linux" diff edited.ORV "read raw.ORV" >diff.txt 2>&1 || fail "the unit holds other values: $(cat diff.txt)"
cli autobaud -d "$addr"; last=$?
expect 1 "Auto Baud cannot search the baud rate over raw TCP"
kill "${pids[-1]}"

# Nothing listening: refused at once. A server that never accepts: the set time, no longer.
cli connect -d "rfc2217://127.0.0.1:$(free_port)"; last=$?
expect 1 "refused the connection"
"$sim" --listen rfc2217:0 --never-accept >never.out 2>/dev/null &
pids+=($!)
never=$(first_line never.out)
started=$(date +%s%N)
cli connect -d "$never" --connect-timeout 2; last=$?
took=$((($(date +%s%N) - started) / 1000000))
expect 1 "did not answer within 2 s"
# Wine's own start takes part of the time; the connect itself must end by 2 s + 0.5 s.
[ "$took" -lt 4500 ] || fail "the connect to a server that never accepts took $took ms"

finish "orv-cli.exe through ser2net: RFC 2217 and raw TCP, refused and unanswered connects as expected"
