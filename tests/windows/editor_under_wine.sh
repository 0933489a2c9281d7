# Sourced by the tests that run orv-config.exe as a user sees it: under Wine's own windows on
# the run's virtual display (Xvfb, which the wine_prefix fixture starts with Wine's desktop and
# names in $WINEPREFIX/orv-display), driven with xdotool. Needs wine, exe and scratch set.
for tool in xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup installs it)"; exit 1; }
done
[ -s "$WINEPREFIX/orv-display" ] ||
    { echo "FAIL: no virtual display: the wine_prefix_start fixture needs Xvfb (scripts/setup installs it)"; exit 1; }
export DISPLAY=":$(tr -d '\n' <"$WINEPREFIX/orv-display")"

kCaption="ORV Pro Configuration 1.0"
editor_pid=""
wm_pid=""

# start_window_manager: openbox on the display unless a window manager runs there, as on any
# desktop: it gives windows the focus and takes Alt+F4. stop_window_manager ends the one started.
start_window_manager() {
    for tool in openbox wmctrl; do
        command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup installs it)"; return 1; }
    done
    wmctrl -m >/dev/null 2>&1 && return 0
    openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
    wm_pid=$!
    for _ in $(seq 100); do
        wmctrl -m >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "FAIL: no window manager: $(cat "$scratch/openbox.log")"
    return 1
}
stop_window_manager() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    wm_pid=""
    return 0
}

# The editor's settings store (the registry) emptied, as on a first start.
forget_editor_settings() {
    timeout 60 "$wine" reg delete 'HKCU\Software\ORV Pro Configuration' /f >/dev/null 2>&1
    return 0
}

# start_editor [ARG...]: starts the editor and waits up to a minute for its main window;
# editor_window is then its X window.
start_editor() {
    "$wine" "$exe" "$@" >"$scratch/editor.out" 2>&1 &
    editor_pid=$!
    editor_window=""
    for _ in $(seq 120); do
        # The caption, after the file's name once a file is open ("site.ORV - ORV Pro ...").
        editor_window=$(xdotool search --onlyvisible --name "^(.* - )?$kCaption\$" 2>/dev/null |
            head -n 1)
        [ -n "$editor_window" ] && break
        kill -0 "$editor_pid" 2>/dev/null || break
        sleep 0.5
    done
    [ -n "$editor_window" ] || { echo "FAIL: no window \"$kCaption\" appeared; the editor said: $(cat "$scratch/editor.out")"; return 1; }
    xdotool windowfocus --sync "$editor_window" 2>/dev/null || xdotool windowfocus "$editor_window"
    return 0
}

stop_editor() {
    [ -n "$editor_pid" ] || return 0
    kill "$editor_pid" 2>/dev/null
    wait "$editor_pid" 2>/dev/null
    editor_pid=""
}

# snapshot FILE: a picture of the editor's window as the screen shows it.
snapshot() {
    import -window "$editor_window" "$1" 2>/dev/null
}

# find_colour FILE R,G,B: "X Y WIDTH HEIGHT" of the area drawn in exactly that colour in the
# picture, or nothing. The connection label is the one pure red (disconnected) or pure green
# (connected) area of the window, which places the buttons beside it whatever the frame and
# menu bar measure.
find_colour() {
    local box
    box=$(convert "$1" -alpha off -fill black +opaque "rgb($2)" -fill white -opaque "rgb($2)" \
        -format '%@' info: 2>/dev/null) || return 0
    # "104x28+112+510"; a picture without the colour trims to a 0x0 or 1x1 box.
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 0
    [ "${BASH_REMATCH[1]}" -ge 20 ] && [ "${BASH_REMATCH[2]}" -ge 10 ] || return 0
    echo "${BASH_REMATCH[3]} ${BASH_REMATCH[4]} ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

# wait_for_colour R,G,B SECONDS: the window shows that colour in time; sets colour_box.
wait_for_colour() {
    colour_box=""
    for _ in $(seq $((2 * $2))); do
        snapshot "$scratch/now.png"
        colour_box=$(find_colour "$scratch/now.png" "$1")
        [ -n "$colour_box" ] && return 0
        sleep 0.5
    done
    return 1
}

# click X Y: a left click at that point of the editor's window.
click() {
    xdotool mousemove --window "$editor_window" "$1" "$2" click 1
}
