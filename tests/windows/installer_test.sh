#!/usr/bin/env bash
# The Windows installer under Wine: cpack -G NSIS makes orv-config-<version>-win64-setup.exe, with
# the project's terms on its licence page and the editor offered on its last page. "/S" installs
# both programs, one Start-menu entry "ORV Pro Configuration" in a folder of that name and the
# .ORV file type; the installed editor answers --version. It installs over the release before it
# (CMake's stock script, a versioned Start-menu folder) and over itself, leaving one of
# everything; the silent uninstaller then takes all of it away, the user's settings excepted.
#   installer_test.sh CPACK BUILD SCRATCH VERSION WINE
# WINEPREFIX names the prefix.
set -uo pipefail
cpack=$1 build=$2 scratch=$3 version=$4 wine=$5
source "$(dirname "$0")/checks.sh"
# The run's virtual display, when there is one, for every Wine program here: the first to start
# Wine's desktop decides where the windows of the later ones go.
[ -s "$WINEPREFIX/orv-display" ] && export DISPLAY=":$(tr -d '\n' <"$WINEPREFIX/orv-display")"
reg_default() {  # reg_default KEY: the key's default value, or nothing
    timeout 60 "$wine" reg query "$1" /ve 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *(Default) *REG_SZ *//p'
}
reg_value() {  # reg_value KEY NAME: a value of the key, or nothing
    timeout 60 "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_SZ *//p"
}
has_key() { timeout 60 "$wine" reg query "$1" >/dev/null 2>&1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ORV Pro Configuration'
vendor_key='HKLM\Software\ORV Pro Configuration developers'
programs="$WINEPREFIX/drive_c/Program Files/ORV Pro Configuration"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"

# make_setup DIR [CPACK OPTIONS]: the installer made into DIR; setup names it.
make_setup() {
    local dir=$1
    shift
    if ! "$cpack" -G NSIS --config "$build/CPackConfig.cmake" -B "$dir" "$@" >"$dir.log" 2>&1; then
        tail -n 30 "$dir.log"
        echo "FAIL: cpack could not make the installer in $dir"
        exit 1
    fi
    setup=$dir/orv-config-$version-win64-setup.exe
    [ -f "$setup" ] || { echo "FAIL: no $setup"; ls "$dir"; exit 1; }
}

# entries: the Start menu's shortcuts and folders of the program, one per line.
entries() {
    (cd "$menu" && find . -iname '*ORV Pro*' -o -iname 'Uninstall.lnk') 2>/dev/null | sort
}

# installed WHAT: everything is there once, for this version.
installed() {
    for f in orv-config.exe orv-cli.exe README.txt Uninstall.exe; do
        [ -f "$programs/$f" ] || fail "$1: $f is not installed in $programs"
    done
    local want=$'./ORV Pro Configuration\n./ORV Pro Configuration/ORV Pro Configuration.lnk'
    [ "$(entries)" = "$want" ] || fail "$1: the Start menu holds: $(entries | tr '\n' ' ')"
    [ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] ||
        fail "$1: Settings, Apps knows version '$(reg_value "$uninstall_key" DisplayVersion)'"
    [ "$(reg_default 'HKCR\.ORV')" = "ORVPro.Configuration" ] ||
        fail "$1: .ORV files belong to '$(reg_default 'HKCR\.ORV')'"
    local command
    command=$(reg_default 'HKCR\ORVPro.Configuration\shell\open\command')
    [ "$command" = '"C:\Program Files\ORV Pro Configuration\orv-config.exe" "%1"' ] ||
        fail "$1: .ORV files open with: $command"
}

rm -rf "$scratch"
mkdir -p "$scratch"
make_setup "$scratch/earlier" -D CPACK_PACKAGE_VERSION=1.0.3 \
    "-D" "CPACK_NSIS_PACKAGE_NAME=ORV Pro Configuration 1.0.3" -D CPACK_MODULE_PATH=
earlier=$setup
make_setup "$scratch/current"

# What the installer shows: the project's terms, and Run on its last page; no question before
# replacing an earlier version.
script="$scratch/current/_CPack_Packages/win64/NSIS/project.nsi"
licence=$(sed -n 's/^ *!insertmacro MUI_PAGE_LICENSE "\(.*\)"\r*$/\1/p' "$script")
[ -n "$licence" ] && [ -f "$licence" ] || fail "the installer has no licence page"
grep -q "ORV Pro Configuration developers" "$licence" 2>/dev/null ||
    fail "the licence page shows: $(head -c 200 "$licence" 2>/dev/null)"
grep -q "CPack" "$licence" 2>/dev/null && fail "the licence page is CPack's placeholder"
grep -q 'MUI_FINISHPAGE_RUN' "$script" || fail "the last page offers no Run"
grep -q 'StrCmp "ON" "ON" 0 inst' "$script" && fail "the installer asks before replacing an earlier version"

# The earlier release, then this one over it, then this one again.
timeout 180 "$wine" "$earlier" /S || fail "the earlier release did not install (status $?)"
[ -d "$menu/ORV Pro Configuration 1.0.3" ] || fail "the earlier release has no Start-menu folder of its own"
timeout 60 "$wine" reg add 'HKCU\Software\ORV Pro Configuration\Settings' /v ComPort /t REG_SZ /d 4 /f \
    >/dev/null 2>&1
timeout 180 "$wine" "$setup" /S || fail "the install over the earlier release ended with status $?"
installed "over the earlier release"
timeout 180 "$wine" "$setup" /S || fail "the install over itself ended with status $?"
installed "over itself"

# Started over the installation and cancelled on its first page, the installer leaves it as it
# was: the earlier version goes only once the user has chosen to install.
if [ -s "$WINEPREFIX/orv-display" ] && command -v xdotool >/dev/null; then
    "$wine" "$setup" >/dev/null 2>&1 &
    pid=$!
    window=""
    for _ in $(seq 120); do
        window=$(xdotool search --onlyvisible --name '^ORV Pro Configuration Setup$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.5
    done
    if [ -z "$window" ]; then
        fail "the installer showed no window"
    else
        # Cancel, and yes to "Are you sure you want to quit?" once that box is up: on a busy
        # machine it may take a while, and Return sent before it would go to the installer's page.
        xdotool windowactivate --sync "$window" key Escape 2>/dev/null || xdotool key Escape
        box=""
        for _ in $(seq 60); do
            box=$(xdotool search --onlyvisible --name '^ORV Pro Configuration Setup$' 2>/dev/null |
                grep -vx "$window" | head -n 1)
            [ -n "$box" ] && break
            sleep 0.5
        done
        if [ -n "$box" ]; then
            xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
        else
            fail "the installer did not ask whether to quit after Cancel"
        fi
    fi
    for _ in $(seq 60); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    installed "after a cancelled install"
fi

out=$(timeout 60 "$wine" "$programs/orv-config.exe" --version 2>&1 | tr -d '\r')
[ "$out" = "ORV Pro Configuration $version" ] || fail "the installed editor's --version said: $out"
out=$(timeout 60 "$wine" "$programs/orv-cli.exe" --version 2>&1)
[ "$out" = "orv-cli $version" ] || fail "the installed orv-cli's --version said: $out"

# The uninstaller copies itself away and works from there: wait for the folder to go.
timeout 60 "$wine" "$programs/Uninstall.exe" /S || fail "the silent uninstall ended with status $?"
for _ in $(seq 120); do
    [ -e "$programs" ] || break
    sleep 0.5
done
[ ! -e "$programs" ] || fail "the uninstaller left $(cd "$programs" && ls)"
[ -z "$(entries)" ] || fail "the Start menu still holds: $(entries | tr '\n' ' ')"
[ -z "$(reg_default 'HKCR\.ORV')" ] || fail "the .ORV file type is left"
has_key 'HKCR\ORVPro.Configuration' && fail "the ORVPro.Configuration class is left"
has_key "$uninstall_key" && fail "Settings, Apps still lists the program"
has_key "$vendor_key" && fail "the uninstaller left $vendor_key"
has_key 'HKLM\Software\ORV Pro Configuration' && fail "the uninstaller left HKLM\Software\ORV Pro Configuration"
[ "$(reg_value 'HKCU\Software\ORV Pro Configuration\Settings' ComPort)" = "4" ] ||
    fail "the uninstaller took the user's settings"
timeout 60 "$wine" reg delete 'HKCU\Software\ORV Pro Configuration' /f >/dev/null 2>&1

finish "$(basename "$setup"): terms shown, installed over 1.0.3 and over itself, ran, uninstalled to the user's settings"
