#!/usr/bin/env bash
# orv-config.exe's command line as Windows users meet it: "/?" prints the help as --help does
# (status 0); started without a console (Explorer, a shortcut: here "start", which gives the
# program no standard handles), a wrong option is said in a message box, which the user answers,
# and the program ends with status 2; so is the help.
#   editor_command_line_test.sh WINE ORV-CONFIG.EXE SCRATCH
# WINEPREFIX names the prefix.
set -uo pipefail
wine=$1 exe=$2 scratch=$3
source "$(dirname "$0")/editor_under_wine.sh"

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
source "$(dirname "$0")/checks.sh"
trap stop_window_manager EXIT
start_window_manager || exit 1  # which gives the message boxes the focus

timeout 60 "$wine" "$exe" /? >out.txt 2>err.txt
last=$?
expect 0 "Configuration file (.ORV) to open once the window is up"
grep -q "Usage:" out.txt || fail "/? printed no usage line: $(cat out.txt err.txt)"

# boxed ARGS...: started without a console; the box it shows is answered with Enter. Sets
# status and box (its window); shot.png is the screen with the box.
boxed() {
    local pid
    "$wine" start /wait /unix "$exe" "$@" >start.out 2>&1 &
    pid=$!
    box=""
    for _ in $(seq 60); do
        box=$(xdotool search --onlyvisible --name '^ORV Pro Configuration$' 2>/dev/null | head -n 1)
        [ -n "$box" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    [ -n "$box" ] && import -window root shot.png 2>/dev/null
    [ -n "$box" ] && { xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return; }
    for _ in $(seq 60); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    kill "$pid" 2>/dev/null
    wait "$pid"
    status=$?
}

boxed --bogus
[ -n "$box" ] || fail "a wrong option without a console showed no message box"
[ "$status" -eq 2 ] || fail "a wrong option without a console ended with status $status, not 2"
cp shot.png usage-box.png 2>/dev/null

boxed /?
[ -n "$box" ] || fail "/? without a console showed no message box"
[ "$status" -eq 0 ] || fail "/? without a console ended with status $status, not 0"

finish "orv-config.exe: /? prints the help; without a console a wrong option and the help are boxed"
