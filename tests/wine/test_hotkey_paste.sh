# shellcheck shell=bash
# The Windows program under Wine, on a virtual desktop with a window manager
# and a tray host: it docks its tray icon; texts copied with xclip enter its
# history file; with Wine's notepad focused, Right Ctrl tapped twice opens the
# popup, typing narrows the list and Enter pastes the chosen entry into
# notepad, which then heads the history on disk. An Alt-held pair and a slow
# pair open nothing. A window of mintty's class is pasted into with
# Shift+Insert instead of Ctrl+V.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/wine.sh"

fail() {
    echo "FAIL: $*"
    exit 1
}

wine_test_dirs wine-e2e wintool

xclip_pid=""
end_test() {
    [[ -z "$xclip_pid" ]] || kill "$xclip_pid" 2>/dev/null || true
    wine_cleanup
}

start_desktop --wm
start_wine
trap end_test EXIT
say "desktop and Wine ready"

copy_text() {
    printf '%s' "$1" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
    xclip_pid=$!
}

# Start-up: the tray icon docks in the tray host (Wine's explorer embeds it).
start_quillet_exe
say "tray icon docked"

# Capture: each copied text heads the history file.
texts=("alpha one" "beta 二番目" "gamma three")
for text in "${texts[@]}"; do
    copy_text "$text"
    within 15000 '[[ "$(entry 0)" == "$text" ]]' || fail "'$text' did not reach cliplist.dat"
done
[[ "$(entry 1)" == "${texts[1]}" && "$(entry 2)" == "${texts[0]}" ]] || fail "history order on disk"
say "three texts in cliplist.dat"

start_notepad
focus_notepad
say "notepad focused"

# Double tap, filter, Enter: the middle entry lands in notepad.
xkey Control_R @80 Control_R
within 5000 popup_shown || fail "no popup after a double tap of Right Ctrl"
within 5000 'focused "$popup_title"' || fail "the popup did not take the keyboard focus"
say "popup shown and focused"
xdotool type --delay 20 "beta"
xdotool key Return
within 10000 '[[ "$(notepad_text)" == "${texts[1]}" ]]' \
    || fail "notepad holds '$(notepad_text)', expected '${texts[1]}'"
popup_shown && fail "the popup stayed up after Enter"
within 10000 '[[ "$(entry 0)" == "${texts[1]}" ]]' || fail "the pasted entry is not first on disk"
[[ "$(entry 1)" == "${texts[2]}" && "$(entry 2)" == "${texts[0]}" ]] || fail "history order after the paste"
[[ "$(entry count)" == 3 ]] || fail "duplicate entry after the paste"
say "pasted into notepad and first in cliplist.dat"

# Taps while Alt is held arrive as system keys and are ignored. Escape
# leaves notepad's menu mode that the Alt release started.
focus_notepad
xkey +Alt_L @30 Control_R @80 Control_R @30 -Alt_L @30 Escape
within 1500 popup_shown && fail "an Alt-held double tap opened the popup"
say "Alt-held pair ignored"

# A slow pair (900 ms apart) opens nothing.
focus_notepad
xkey Escape Control_R @900 Control_R
within 1500 popup_shown && fail "a slow pair opened the popup"
say "slow pair ignored"

# The detector still answers a quick pair; Escape closes the popup.
focus_notepad
xkey Escape Control_R @80 Control_R
within 5000 popup_shown || fail "no popup after the ignored pairs"
within 5000 'focused "$popup_title"' || fail "the popup did not take the focus again"
xkey Escape
within 5000 '! popup_shown' || fail "Escape did not hide the popup"
[[ "$(notepad_text)" == "${texts[1]}" ]] || fail "notepad changed without a paste: '$(notepad_text)'"
kill -0 "$quillet_pid" 2>/dev/null || fail "quillet.exe ended"
say "quick pair after the ignored ones works; nothing else pasted"
# A window of mintty's window class gets Shift+Insert, Insert as the
# extended key, while the chosen entry is on the clipboard.
wine "$work/wintool.exe" keylog mintty quillet-mintty "$(wine_path "$work/keys.txt")" >/dev/null 2>&1 &
disown $!
within 30000 'xdotool search --name "^quillet-mintty$" >/dev/null 2>&1' || fail "the mintty window did not show"
mintty=$(xdotool search --name "^quillet-mintty$" | head -n 1)
for _ in 1 2 3; do
    xdotool windowactivate --sync "$mintty" >/dev/null 2>&1 || true
    within 5000 'focused quillet-mintty' && break
done
focused quillet-mintty || fail "the mintty window does not take the focus"
xkey Control_R @80 Control_R
within 5000 popup_shown || fail "no popup over the mintty window"
within 5000 'focused "$popup_title"' || fail "the popup did not take the focus from the mintty window"
before=$(wc -l <"$work/keys.txt")
xdotool type --delay 20 "gamma"
xdotool key Return
# The chord's keys after the popup showed (Right Ctrl, an extended key, is
# the user's own).
chord_keys() {
    tail -n +$((before + 1)) "$work/keys.txt" | grep -E '^(down|up) (16|45|86)( ext)?$|^(down|up) 17$' | tr '\n' '|'
}
within 10000 '[[ "$(chord_keys)" == "down 16|down 45 ext|up 45 ext|up 16|" ]]' \
    || fail "the mintty window got the keys '$(chord_keys)' instead of Shift+Insert"
grep -qx "paste ${texts[2]}" "$work/keys.txt" \
    || fail "Shift+Insert did not find '${texts[2]}' on the clipboard: $(grep '^paste' "$work/keys.txt")"
say "Shift+Insert pasted into the mintty window"
echo "wine hot key and paste: ok"
