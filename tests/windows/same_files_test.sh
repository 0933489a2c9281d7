#!/usr/bin/env bash
# The same commands through the Linux orv-cli and through orv-cli.exe under Wine must leave the
# same files and print the same output, byte for byte, including files named with blanks and
# letters beyond ASCII and files replaced in place.
#   same_files_test.sh WINE ORV-CLI.EXE LINUX-ORV-CLI SCRATCH
# WINEPREFIX names the prefix. Exit status 77 (skipped) when the Linux build is missing.
set -uo pipefail
wine=$1 exe=$2 linux=$3 scratch=$4
[ -x "$linux" ] || { echo "SKIP: no Linux orv-cli at $linux (build the default preset first)"; exit 77; }

rm -rf "$scratch"
mkdir -p "$scratch/linux" "$scratch/windows"
# Outputs that replace a file keep its old contents in the history: the Linux side's goes to a
# folder of the test's own, outside the compared folders (Wine's is in its private prefix).
export XDG_DATA_HOME=$scratch/linux-history
linux_cli() { "$linux" "$@"; }
windows_cli() { timeout 120 "$wine" "$exe" "$@"; }

# The same steps on each side, in its own folder, with the same relative names.
run_side() {
    local cli=$1 side=$scratch/$2
    cd "$side" || exit 1
    printf 'Bank,Channel,State,Message,RIC\r\n1,1,RESET,"FIRE, EAST WING",123\r\n3,2,Close,,2000020\r\n' >edit.csv
    printf '[Site]\r\nName=Pump house\r\n' >existing.ORV
    mkdir -p "Ölwerk Süd"
    {
        $cli new -m 15,13,14,0 -o new.ORV; echo "new $?"
        $cli new -m 0,14,13,15 -o other.ORV; echo "new other $?"
        $cli export new.ORV -o new.json; echo "export $?"
        $cli export new.ORV >stdout.json; echo "export stdout $?"
        $cli import new.json -o imported.ORV; echo "import $?"
        $cli resave new.ORV -o resaved.ORV; echo "resave $?"
        $cli resave other.ORV -o resaved.ORV; echo "resave over $?"
        $cli resave new.ORV -o existing.ORV; echo "resave into existing $?"
        $cli resave new.ORV -o "Ölwerk Süd/Anlage – 1.ORV"; echo "resave non-ASCII $?"
        $cli export-csv "Ölwerk Süd/Anlage – 1.ORV" -o "Ölwerk Süd/Tabelle ä.csv"; echo "export-csv $?"
        $cli export-csv other.ORV >stdout.csv; echo "export-csv stdout $?"
        $cli import-csv new.ORV edit.csv -o edited.ORV; echo "import-csv $?"
        $cli import-csv new.ORV - -o stdin.ORV <edit.csv; echo "import-csv stdin $?"
        $cli show edited.ORV >show.txt; echo "show $?"
        $cli show other.ORV --json >show.json; echo "show json $?"
        $cli diff new.ORV edited.ORV >diff.txt; echo "diff $?"
        $cli size edited.ORV; echo "size $?"
        $cli mac-increment new.ORV -o mac.ORV; echo "mac-increment $?"
        $cli size missing.ORV; echo "size missing $?"
    } >results.txt 2>errors.txt
}
run_side linux_cli linux
run_side windows_cli windows

cd "$scratch" || exit 1
compared=0 failures=0
while IFS= read -r -d '' file; do
    compared=$((compared + 1))
    if [ ! -f "windows/$file" ]; then
        echo "FAIL: orv-cli.exe did not write $file"
        failures=$((failures + 1))
    elif ! cmp -s "linux/$file" "windows/$file"; then
        echo "FAIL: $file differs:"
        diff <(od -c "linux/$file") <(od -c "windows/$file") | head -10
        failures=$((failures + 1))
    fi
done < <(cd linux && find . -type f -print0 | sort -z)
extra=$(comm -13 <(cd linux && find . -type f | sort) <(cd windows && find . -type f | sort))
[ -z "$extra" ] || { echo "FAIL: only orv-cli.exe wrote: $extra"; failures=$((failures + 1)); }
# Every step did its work (diff finds the edits, the missing file is missing), so that equal
# failures on both sides cannot pass.
unexpected=$(grep -v -e ' 0$' -e '^diff 1$' -e '^size missing 1$' linux/results.txt | grep ' [0-9]\+$')
[ -z "$unexpected" ] || { echo "FAIL: steps failed on Linux: $unexpected"; failures=$((failures + 1)); }

echo "$compared files compared, $failures differ"
[ "$compared" -ge 19 ] && [ "$failures" -eq 0 ]
