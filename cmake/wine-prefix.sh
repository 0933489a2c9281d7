#!/bin/sh
# The Wine prefix of a Windows build's test run (WINEPREFIX).
#   wine-prefix.sh start WINE   create the prefix if it is new, and start a wineserver (and Wine's
#                               services) that stay up for the whole run instead of one per program,
#                               with a virtual display for the window programs among the tests
#   wine-prefix.sh stop WINE    end that wineserver and every Wine program left in the prefix
set -eu
action=$1
wine=$2
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
# Debian installs wineserver beside its loader, outside PATH.
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=wineserver

case "$action" in
start)
    mkdir -p "$WINEPREFIX"
    # One virtual display (Xvfb) for the run's window programs, named in $WINEPREFIX/orv-display:
    # Wine's desktop process, started below, draws only on the display it was started with.
    display_file=$WINEPREFIX/orv-display
    if command -v Xvfb >/dev/null && ! { [ -s "$display_file" ] && kill -0 "$(cat "$WINEPREFIX/orv-xvfb-pid" 2>/dev/null)" 2>/dev/null; }; then
        rm -f "$display_file"
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
        echo $! >"$WINEPREFIX/orv-xvfb-pid"
        for _ in $(seq 100); do
            [ -s "$display_file" ] && break
            sleep 0.1
        done
    fi
    [ -s "$display_file" ] && export DISPLAY=":$(tr -d '\n' <"$display_file")"
    # Detached from our output, so that ctest does not wait for it to close. It fails when a
    # server already serves the prefix (one left by an earlier run), which serves as well.
    "$server" -p </dev/null >/dev/null 2>&1 || echo "A wineserver already serves $WINEPREFIX"
    # The persistent server writes the registry only when it ends, so look for the C: drive.
    if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
        started=$(date +%s)
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
        [ -d "$WINEPREFIX/drive_c/windows/system32" ] ||
            { echo "wineboot could not create the Wine prefix $WINEPREFIX" >&2; exit 1; }
        echo "Created the Wine prefix $WINEPREFIX in $(($(date +%s) - started)) s"
    else
        # Start Wine's own services now, with our output detached: started by the first test
        # program they would hold its output open and ctest would wait for them.
        "$wine" wineboot </dev/null >/dev/null 2>&1 || true
    fi
    # Wine's own fonts (Debian's fonts-wine) where Windows programs look for them: without them
    # the editor draws no text in its line edits.
    fonts=$WINEPREFIX/drive_c/windows/Fonts
    if [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/tahoma.ttf" ]; then
        mkdir -p "$fonts"
        cp /usr/share/wine/fonts/*.ttf "$fonts/"
    fi
    ;;
stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    if [ -f "$WINEPREFIX/orv-xvfb-pid" ]; then
        kill "$(cat "$WINEPREFIX/orv-xvfb-pid")" 2>/dev/null || true
        rm -f "$WINEPREFIX/orv-xvfb-pid" "$WINEPREFIX/orv-display"
    fi
    ;;
*)
    echo "usage: $0 start|stop WINE" >&2
    exit 2
    ;;
esac
