#!/usr/bin/env bash
# orv-config.exe under Wine prints as a user reaches it: started with a configuration file, File >
# Export PDF… through the keyboard and the system's save dialog writes the commissioning sheet, whose
# text (pdftotext, on this machine) holds the file name, module names, messages and RICs of the
# fitted banks and "page n of m" on every page; Ctrl+P shows the print preview with the sheet drawn.
#   editor_pdf_test.sh WINE ORV-CONFIG.EXE ORV-CLI.EXE SCRATCH
# WINEPREFIX names the prefix.
set -uo pipefail
wine=$1 exe=$2 cli_exe=$3 scratch=$4
command -v pdftotext >/dev/null || { echo "FAIL: pdftotext is missing (scripts/setup installs poppler-utils)"; exit 1; }
source "$(dirname "$0")/editor_under_wine.sh"

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
source "$(dirname "$0")/checks.sh"
trap stop_editor EXIT

timeout 120 "$wine" "$cli_exe" new -m 15,13,14,0 -o "Pump House.ORV" >cli.out 2>&1 ||
    { echo "FAIL: orv-cli.exe could not make the configuration: $(cat cli.out)"; exit 1; }
win_dir=$(timeout 60 "$wine" winepath -w "$scratch" 2>/dev/null | tr -d '\r')
[ -n "$win_dir" ] || { echo "FAIL: winepath gave no Windows name for $scratch"; exit 1; }

# window_named TITLE SECONDS: the X window of that title, once it shows.
window_named() {
    local id
    for _ in $(seq $((2 * $2))); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.5
    done
    return 1
}

forget_editor_settings
start_editor "$win_dir\\Pump House.ORV" || exit 1
wait_for_colour 255,0,0 30 || fail "the window shows no \"Disconnected\" label"

# File > Export PDF… (Alt+F, D), then the save dialog: its name field replaced by a full name,
# Enter.
xdotool key alt+f
sleep 1
xdotool key d
if dialog=$(window_named "^Export PDF\$" 30); then
    xdotool windowfocus "$dialog" 2>/dev/null
    sleep 1
    xdotool key End shift+Home
    xdotool type --delay 20 "$win_dir\\sheet.pdf"
    xdotool key Return
else
    fail "File > Export PDF… showed no \"Export PDF\" dialog"
fi
for _ in $(seq 60); do
    [ -s sheet.pdf ] && break
    sleep 0.5
done
if [ ! -s sheet.pdf ]; then
    fail "no sheet.pdf was written"
else
    sleep 1
    pdftotext -layout sheet.pdf sheet.txt 2>pdftotext.err || fail "pdftotext cannot read sheet.pdf: $(cat pdftotext.err)"
    text=$(tr -s ' ' <sheet.txt)
    for part in "Configuration file Pump House.ORV" "Commissioning Sheet" \
        "Type 15: 16-Channel Opto-Isolated DC Voltage Input Module" \
        "Type 13: 16-Channel Dry Contact Input Module" "Type 14: 8-Channel Relay Output Module" \
        "BANK 1 CHAN 16 STEADY" "BANK 2 CHAN 16 STEADY" "1000015" "1000031" "2000024"; do
        grep -qF -- "$part" <<<"$text" || fail "the PDF's text lacks \"$part\""
    done
    grep -qF "BANK 2 CHAN 1 SLOW" <<<"$text" && fail "the PDF shows a state the dry-contact bank does not use"
    pages=$(grep -c $'\f' sheet.txt)
    [ "$pages" -ge 2 ] && [ "$pages" -le 12 ] || fail "the PDF has $pages pages"
    for n in $(seq "$pages"); do
        grep -qF "page $n of $pages" <<<"$text" || fail "no \"page $n of $pages\""
    done
    echo "sheet.pdf: $pages pages"
fi

# Ctrl+P: the preview comes up with the sheet drawn in it, and Escape closes it unprinted.
xdotool windowfocus "$editor_window" 2>/dev/null
sleep 0.5
xdotool key ctrl+p
if preview=$(window_named "^Print Preview - Commissioning Sheet\$" 60); then
    sleep 3
    import -window "$preview" preview.png 2>/dev/null
    dark=$(convert preview.png -alpha off -colorspace gray -threshold 30% -negate \
        -format '%[fx:int(mean*w*h)]' info: 2>/dev/null)
    echo "preview: ${dark:-0} dark pixels"
    [ "${dark:-0}" -ge 2000 ] || fail "the preview shows no sheet ($dark dark pixels; preview.png)"
    xdotool windowfocus "$preview" 2>/dev/null
    xdotool key Escape
else
    fail "Ctrl+P showed no print preview"
fi

finish "orv-config.exe exported the commissioning sheet ($scratch/sheet.pdf) and previewed it"
