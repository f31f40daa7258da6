# shellcheck shell=bash disable=SC2154  # work, app, quillet_pid: set by lib/wine.sh
# The Windows program under Wine started twice from one folder: the second
# start finds the first one's pipe (named after the user's SID and the logon
# session, its server checked to run as the same user), shows its popup and
# ends with 0 at once; there is still one tray icon and the first one runs on.
# (A pipe server of another user cannot be met under Wine, which has one
# user: tst_singleinstance checks that refusal through its fake guard.)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/wine.sh"

fail() {
    echo "FAIL: $*"
    for f in "$work"/*.log; do
        [[ -s "$f" ]] && { echo "--- $f"; cat "$f"; }
    done
    exit 1
}

wine_test_dirs wine-single

start_desktop --wm
start_wine
say "desktop and Wine ready"

start_quillet_exe
say "first start: tray icon docked"
popup_shown && fail "the popup was shown before anyone asked"

t0=$(now_ms)
set +e
(cd "$app" && exec timeout 60 wine quillet.exe >"$work/second.log" 2>&1)
code=$?
set -e
took=$(($(now_ms) - t0))
[[ $code -eq 0 ]] || fail "the second start exited with $code after $took ms"
grep -q "another instance is running" "$work/second.log" || fail "the second start said nothing"
within 10000 popup_shown || fail "the running program did not show its popup"
kill -0 "$quillet_pid" 2>/dev/null || fail "the first quillet.exe ended"
[[ $(docked_icons) -eq 1 ]] || fail "$(docked_icons) tray icons after the second start"
grep -q "held by a process of another user" "$work/quillet.log" "$work/second.log" \
    && fail "a start of the same user was taken for another user's"
say "second start: exit 0 after $took ms, the first one's popup shown, one tray icon"
echo "wine single instance: ok"
