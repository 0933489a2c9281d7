#!/usr/bin/env bash
# orv-config.exe under Wine as a user first sees it: the main window comes up with the program's
# caption, drawn (not a blank or one-colour area), at its design size or larger, with the red
# "Disconnected" label and dark text on it. The picture is left in SCRATCH/editor.png.
#   editor_screenshot_test.sh WINE ORV-CONFIG.EXE SCRATCH
# WINEPREFIX names the prefix.
set -uo pipefail
wine=$1 exe=$2 scratch=$3
source "$(dirname "$0")/editor_under_wine.sh"

rm -rf "$scratch"
mkdir -p "$scratch"
source "$(dirname "$0")/checks.sh"
trap stop_editor EXIT

forget_editor_settings
start_editor || exit 1
[ "$(xdotool getwindowname "$editor_window")" = "$kCaption" ] || fail "the caption is not $kCaption"
# The splash goes once the window is up; the window is then drawn in full.
wait_for_colour 255,0,0 30 || fail "no \"Disconnected\" label was drawn"
sleep 1
snapshot "$scratch/editor.png" || fail "no picture of the window"

read -r width height colours dark < <(convert "$scratch/editor.png" -alpha off \
    -format '%w %h %k ' -write info: -colorspace gray -threshold 30% -negate \
    -format '%[fx:int(mean*w*h)]\n' info: 2>/dev/null)
echo "window ${width}x${height}, $colours colours, $dark dark pixels"
[ "${width:-0}" -ge 800 ] && [ "${height:-0}" -ge 600 ] || fail "the window is ${width}x${height}, smaller than its 800x600"
[ "${colours:-0}" -ge 16 ] || fail "the window has only $colours colours: it was not drawn"
# Captions, tab titles and field texts: at least a few thousand dark pixels.
[ "${dark:-0}" -ge 3000 ] || fail "only $dark dark pixels: the window's texts are missing"

finish "orv-config.exe drew its main window \"$kCaption\" ($scratch/editor.png)"
