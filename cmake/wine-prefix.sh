#!/bin/sh
# The Wine prefix of a Windows build's test run (WINEPREFIX).
#   wine-prefix.sh start WINE   create the prefix if it is new, and start a wineserver (and Wine's
#                               services) that stay up for the whole run instead of one per program
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
    ;;
stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 start|stop WINE" >&2
    exit 2
    ;;
esac
