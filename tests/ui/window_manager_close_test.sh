#!/usr/bin/env bash
# The editor closed the way users close it, through a real window manager (openbox on Xvfb), while
# it writes to a paced simulated unit (wmctrl -c, the close box's request) and while it reads from
# it (Alt+F4), and Ctrl+C from the terminal during a Write: the window stays until the Write has
# ended, the unit then holds the whole file, and the program ends by itself; a Read stops within a
# block and the program ends at once.
#   window_manager_close_test.sh ORV-CONFIG ORV-UNIT-SIM ORV-CLI
set -u
editor=$1
sim=$2
cli=$3
for tool in Xvfb openbox wmctrl xdotool; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup installs it)"; exit 1; }
done

scratch=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP_SCRATCH:-}" ] || rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A home of its own: the settings store (COM1's mapping) and the history.
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
export XDG_DATA_HOME="$scratch/home/.local/share" XDG_STATE_HOME="$scratch/home/.local/state"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME"
unset QT_QPA_PLATFORM

# A display of its own with openbox on it: Xvfb picks a free number and writes it, so runs side by
# side never meet. A busy machine may take its time; a display that does not come up (seen once in
# a few hundred runs under a full parallel test run) is started again, at most three times.
start_display() {
    local try=$1
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" \
        >"$scratch/xvfb-$try.log" 2>&1 &
    xvfb=$!
    pids+=("$xvfb")
    for _ in $(seq 300); do
        [ -s "$scratch/display" ] && break
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$scratch/display" ] || { why="Xvfb named no display: $(cat "$scratch/xvfb-$try.log")"; return 1; }
    export DISPLAY=":$(tr -d '\n' <"$scratch/display")"
    for _ in $(seq 300); do
        xdotool getmouselocation >/dev/null 2>&1 && break
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
    done
    openbox >"$scratch/openbox-$try.log" 2>&1 &
    openbox_pid=$!
    pids+=("$openbox_pid")
    for _ in $(seq 300); do
        wmctrl -m >/dev/null 2>&1 && return 0
        kill -0 "$openbox_pid" 2>/dev/null || break
        sleep 0.1
    done
    why="openbox did not start on $DISPLAY (Xvfb $(kill -0 "$xvfb" 2>/dev/null && echo running ||
        echo gone)): $(cat "$scratch/openbox-$try.log") $(cat "$scratch/xvfb-$try.log")"
    kill "$openbox_pid" "$xvfb" 2>/dev/null
    wait "$openbox_pid" "$xvfb" 2>/dev/null
    : >"$scratch/display"
    return 1
}
why=""
for try in 1 2 3; do
    start_display "$try" && break
    echo "note: try $try: $why"
    [ "$try" -lt 3 ] || { echo "FAIL: $why"; exit 1; }
done

# The unit at 9600 baud, taking bytes no faster than the line: a Write takes about ten seconds.
"$sim" --com 1 --modules 15,13,14,0 --baud 9600 --pace --eeprom "$scratch/unit.eeprom" \
    --log "$scratch/sim.log" >"$scratch/sim.out" 2>&1 &
pids+=($!)
device=""
for _ in $(seq 100); do
    device=$(head -n 1 "$scratch/sim.out" 2>/dev/null)
    [ -n "$device" ] && break
    sleep 0.1
done
[ -n "$device" ] || { echo "FAIL: the simulated unit did not start: $(cat "$scratch/sim.out")"; exit 1; }

# A site file that differs from what the unit holds in every block of its channel records.
"$cli" new -m 15,13,14,0 -o "$scratch/default.ORV" >/dev/null || exit 1
"$cli" export "$scratch/default.ORV" -o "$scratch/site.json" || exit 1
sed -i -e 's/BANK \([0-9]\) CHAN/PUMP HALL \1 ZONE/g' -e 's/"1000\([0-9][0-9][0-9]\)"/"1200\1"/g' \
    "$scratch/site.json"
"$cli" import "$scratch/site.json" -o "$scratch/site.ORV" >/dev/null || exit 1

count() { grep -c "^$1 " "$scratch/sim.log" 2>/dev/null || true; }
wait_for() {  # wait_for SECONDS COMMAND...: true once the command succeeds
    local until=$((SECONDS + $1))
    shift
    while [ "$SECONDS" -lt "$until" ]; do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
at_least() { [ "$(count "$1")" -ge "$2" ]; }
window=""
start_editor() {  # start_editor FILE
    "$editor" "$1" >"$scratch/editor.out" 2>&1 &
    editor_pid=$!
    pids+=("$editor_pid")
    window=""
    for _ in $(seq 150); do
        window=$(xdotool search --onlyvisible --name 'ORV Pro Configuration 1\.0$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { fail "the editor's window did not appear: $(cat "$scratch/editor.out")"; return 1; }
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window"
    sleep 0.5
    # Connect (Alt+C, typed as a user types it): the unit is asked for its version and modules.
    local probes
    probes=$(count modules)
    xdotool key alt+c
    wait_for 10 at_least modules $((probes + 1)) || { fail "Connect did not reach the unit"; return 1; }
    sleep 0.5
}
ended_by_itself() {  # ended_by_itself SECONDS: the editor's process has gone
    wait_for "$1" bash -c "! kill -0 $editor_pid 2>/dev/null"
}

# holds FILE: the unit's configuration area is the file's, byte for byte.
holds() {
    local expected held
    expected=$(grep -a '^Contents=' "$1" | cut -d= -f2 | tr -d '\r' | head -c 7680)
    held=$(od -An -v -tx1 -N 3840 "$scratch/unit.eeprom" | tr -d ' \n' | tr a-f A-F)
    [ "${#expected}" -eq 7680 ] || { fail "$1 holds no image"; return 1; }
    [ "$expected" = "$held" ]
}

# 1. A Write closed with the window manager's close request.
if start_editor "$scratch/site.ORV"; then
    writes=$(count write)
    xdotool key alt+w
    wait_for 15 at_least write $((writes + 40)) || fail "the Write did not start"
    wmctrl -i -c "$window"
    sleep 1
    xdotool search --onlyvisible --name 'ORV Pro Configuration 1\.0$' | grep -qx "$window" ||
        fail "the window went while the Write ran"
    ended_by_itself 60 || fail "the editor did not end by itself after the Write (frozen?)"
    wait "$editor_pid" 2>/dev/null
    status=$?
    [ "$status" -eq 0 ] || fail "the editor ended with status $status: $(cat "$scratch/editor.out")"
    done_writes=$(grep -c '^write .* | sent 06$' "$scratch/sim.log")
    [ "$done_writes" -eq 240 ] || fail "the unit accepted $done_writes blocks, not 240"
    holds "$scratch/site.ORV" || fail "the unit does not hold the file's configuration"
fi

# 2. Ctrl+C in the terminal the editor was started from, during a Write: the same.
if start_editor "$scratch/default.ORV"; then
    writes=$(count write)
    xdotool key alt+w
    wait_for 15 at_least write $((writes + 40)) || fail "the Write did not start"
    kill -INT "$editor_pid"
    sleep 1
    kill -0 "$editor_pid" 2>/dev/null || fail "Ctrl+C ended the editor during a Write"
    ended_by_itself 60 || fail "the editor did not end by itself after the Write"
    wait "$editor_pid" 2>/dev/null
    grep -q 'Press Ctrl+C again to end at once' "$scratch/editor.out" || fail "nothing said where Ctrl+C came from"
    holds "$scratch/default.ORV" || fail "the unit does not hold the second file after Ctrl+C"
fi

# 3. A Read closed with Alt+F4: it stops at the next block and the program ends.
if start_editor "$scratch/site.ORV"; then
    reads=$(count read)
    # "&Read" shares its key with "&Reset ORV": clicked, at the button's place below the menu bar.
    xdotool mousemove --window "$window" 274 521 click 1
    wait_for 15 at_least read $((reads + 20)) || fail "the Read did not start"
    xdotool key alt+F4
    ended_by_itself 10 || fail "the editor did not end within 10 s of Alt+F4 during a Read"
    read_now=$(($(count read) - reads))
    [ "$read_now" -lt 256 ] || fail "the Read ran to its end ($read_now blocks) instead of stopping"
fi

if [ "$failures" -ne 0 ]; then
    echo "sim log tail:"
    tail -n 5 "$scratch/sim.log"
    exit 1
fi
echo "PASS: closes through the window manager wait for a Write and stop a Read"
exit 0
