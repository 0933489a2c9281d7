#!/usr/bin/env bash
# orv-config.exe leaves cleanly however it is left. RUNS times (20 by default), as a user met a
# crash on leaving: a configuration file open, a message box shown and answered (Connect on COM16,
# where there is no device), then Alt+F4 to a window manager (openbox); the editor must end by
# itself, with status 0, without Wine's report of a crash, and with its settings written. Then
# once by File > Exit and once by the end of the desktop session, told to the editor alone by
# END-SESSION.EXE as Windows tells it (the test's other Wine programs go on).
#   editor_exit_test.sh WINE ORV-CONFIG.EXE ORV-CLI.EXE END-SESSION.EXE SCRATCH [RUNS]
# WINEPREFIX names the prefix.
set -uo pipefail
wine=$1 exe=$2 cli_exe=$3 end_session=$4 scratch=$5 runs=${6:-20}
source "$(dirname "$0")/editor_under_wine.sh"

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
source "$(dirname "$0")/checks.sh"
cleanup() {
    stop_editor
    stop_window_manager
}
trap cleanup EXIT
# Alt+F4 is the window manager's key for closing the active window.
start_window_manager || exit 1

# A crash then ends the program with Wine's report on its standard error, instead of a dialog
# that waits for an answer.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1
timeout 120 "$wine" "$cli_exe" new -m 15,13,14,0 -o site.ORV >/dev/null 2>&1 ||
    { echo "FAIL: orv-cli.exe could not make site.ORV"; exit 1; }
site=$(timeout 60 "$wine" winepath -w "$scratch/site.ORV" 2>/dev/null | tr -d '\r')
settings='HKCU\Software\ORV Pro Configuration\Settings'

setting() {  # setting NAME: the value in the editor's settings store, or nothing
    timeout 60 "$wine" reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_SZ *//p"
}

# wait_for_box SECONDS: one of the editor's message boxes is up; box is its window.
wait_for_box() {
    box=""
    for _ in $(seq $((2 * $1))); do
        box=$(xdotool search --onlyvisible --name '^ORV Pro Configuration$' 2>/dev/null | head -n 1)
        [ -n "$box" ] && return 0
        sleep 0.5
    done
    return 1
}

# ended WHAT [ENDED-BY-SYSTEM]: the editor ended within a minute, cleanly (or, at the session's
# end, by the system after it was told), without Wine's report of a crash, its settings written.
ended() {
    local status=""
    for _ in $(seq 120); do
        if ! kill -0 "$editor_pid" 2>/dev/null; then
            wait "$editor_pid" 2>/dev/null
            status=$?
            break
        fi
        sleep 0.5
    done
    if [ -z "$status" ]; then
        fail "$1: the editor did not end"
        stop_editor
        return 1
    fi
    editor_pid=""
    if grep -Eqi 'unhandled|page fault|exception' editor.out; then
        cp editor.out "crash-$n.out"
        fail "$1: the editor crashed on leaving: $(grep -Ei 'unhandled|page fault|exception' editor.out | head -n 2)"
        return 1
    fi
    # Windows, as Wine, ends what still runs once the session's end has been told.
    [ "$status" -eq 0 ] || [ -n "${2:-}" ] || { fail "$1: the editor ended with status $status"; return 1; }
    grep -q '+++ Program finished' editor.out || { fail "$1: the editor did not unload"; return 1; }
    [ "$(setting FileName)" = "site.ORV" ] || { fail "$1: the settings were not written"; return 1; }
    return 0
}

# open_with_a_message: the editor with site.ORV, after Connect on COM16 showed why it could not
# open the port and the message was answered; the pointer rests on Connect.
open_with_a_message() {
    forget_editor_settings
    timeout 60 "$wine" reg add "$settings" /v ComPort /t REG_SZ /d 15 /f >/dev/null 2>&1
    start_editor "$site" || return 1
    wait_for_colour 255,0,0 30 || { fail "$1: no \"Disconnected\" label"; return 1; }
    read -r lx ly _ lh <<<"$colour_box"
    local x=$((lx - 56)) y=$((ly + lh / 2))
    click "$x" "$y"
    wait_for_box 30 || { fail "$1: Connect on COM16 showed no message"; return 1; }
    xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
    for _ in $(seq 20); do
        xdotool search --onlyvisible --name '^ORV Pro Configuration$' >/dev/null 2>&1 || break
        sleep 0.25
    done
    xdotool mousemove --window "$editor_window" "$x" "$y"
    return 0
}

clean=0
for n in $(seq "$runs"); do
    if ! open_with_a_message "run $n"; then
        stop_editor
        continue
    fi
    xdotool windowactivate --sync "$editor_window" key alt+F4
    ended "run $n (Alt+F4)" && clean=$((clean + 1))
done
echo "$clean of $runs runs left by Alt+F4 cleanly"

n=exit
if open_with_a_message "File > Exit"; then
    xdotool windowactivate --sync "$editor_window" key alt+f
    sleep 0.5
    xdotool key x
    ended "File > Exit"
fi

n=session
if open_with_a_message "the session's end"; then
    timeout 120 "$wine" "$end_session" "$kCaption" >end_session.out 2>&1
    told=$?
    [ "$told" -eq 0 ] || [ "$told" -eq 3 ] || fail "the session's end was not told: $(cat end_session.out)"
    ended "the session's end" by-system
fi

finish "orv-config.exe ended cleanly $clean times of $runs by Alt+F4, by File > Exit and by the session's end"
