# The checks the Windows test scripts share (sourced): failures are counted, not fatal, so that
# one run reports every fault; `finish MESSAGE` ends the script with the count's verdict.
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
# A command-line program under Wine ($wine, $exe), its output kept in out.txt and err.txt.
cli() { timeout 120 "$wine" "$exe" "$@" >out.txt 2>err.txt; }
expect() {  # expect STATUS TEXT: the last cli call ended with STATUS and printed TEXT
    local status=$1 text=$2
    [ "$last" -eq "$status" ] || fail "exit status $last, expected $status; stderr: $(cat err.txt)"
    grep -qF -- "$text" out.txt err.txt || fail "'$text' not printed; got: $(cat out.txt err.txt)"
}
finish() {  # finish MESSAGE: says MESSAGE and exits 0 when nothing failed, else exits 1
    [ "$failures" -eq 0 ] || exit 1
    echo "$*"
    exit 0
}
