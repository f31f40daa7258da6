# The Windows program under Wine, on a virtual desktop with a window manager
# and a tray host: it docks its tray icon; texts copied with xclip enter its
# history file; with Wine's notepad focused, Right Ctrl tapped twice opens the
# popup, typing narrows the list and Enter pastes the chosen entry into
# notepad, which then heads the history on disk. An Alt-held pair and a slow
# pair open nothing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/wine.sh"

dist=$QUILLET_WIN_BUILD/dist/quillet
[[ -f "$dist/quillet.exe" ]] || { echo "no Windows build in $dist (run scripts/build-windows)"; exit 1; }
popup_title="Input Dialog"

now_ms() { date +%s%3N; }
t0=$(now_ms)
say() { echo "  $(($(now_ms) - t0)) ms: $*"; }
fail() {
    echo "FAIL: $*"
    exit 1
}
# Polls a shell condition until it holds or MS milliseconds have passed.
within() {
    local deadline=$(($(now_ms) + $1))
    shift
    until eval "$@"; do
        (($(now_ms) >= deadline)) && return 1
        sleep 0.05
    done
}

work=$(mktemp -d /tmp/quillet-wine-e2e.XXXXXX)
echo "$work" >>"$APP_DIRS_FILE"
app=$work/app
mkdir "$app"
cp -r "$dist/." "$app/"
x86_64-w64-mingw32-gcc-posix -O2 -Wall -Werror -static -municode "$here/wintool.c" \
    -o "$work/wintool.exe" -luser32

xclip_pid=""
end_test() {
    [[ -n "$xclip_pid" ]] && kill "$xclip_pid" 2>/dev/null
    wine_cleanup
}

start_desktop --wm
start_wine
trap end_test EXIT
say "desktop and Wine ready"

wintool() { wine "$work/wintool.exe" "$@" >/dev/null 2>&1; }
notepad_text() { wintool edittext Notepad "$(wine_path "$work/text.txt")" && cat "$work/text.txt"; }
popup_shown() { xwininfo -name "$popup_title" 2>/dev/null | grep -q IsViewable; }
focused() { [[ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" == "$1" ]]; }
entry() { python3 "$here/cliplist.py" "$app/cliplist.dat" "$1" 2>/dev/null; }
xkey() { python3 "$here/xkey.py" "$@"; }
docked_icons() {
    local panel count=0
    for panel in $(xdotool search --classname '^panel$' 2>/dev/null); do
        count=$((count + $(xwininfo -tree -id "$panel" | grep -c '"explorer.exe"')))
    done
    echo "$count"
}
copy_text() {
    printf '%s' "$1" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
    xclip_pid=$!
}

# Start-up: the tray icon docks in the tray host (Wine's explorer embeds it).
(cd "$app" && exec wine quillet.exe >"$work/quillet.log" 2>&1) &
quillet_pid=$!
within 60000 '[[ $(docked_icons) -ge 1 ]]' || fail "no tray icon docked"
kill -0 "$quillet_pid" 2>/dev/null || fail "quillet.exe ended at start-up"
say "tray icon docked"

# Capture: each copied text heads the history file.
texts=("alpha one" "beta 二番目" "gamma three")
for text in "${texts[@]}"; do
    copy_text "$text"
    within 15000 '[[ "$(entry 0)" == "$text" ]]' || fail "'$text' did not reach cliplist.dat"
done
[[ "$(entry 1)" == "${texts[1]}" && "$(entry 2)" == "${texts[0]}" ]] || fail "history order on disk"
say "three texts in cliplist.dat"

# Wine's hook sees only keys that X delivers to a Wine window: notepad.
wine notepad >/dev/null 2>&1 &
within 30000 'xdotool search --name " - Notepad$" >/dev/null 2>&1' || fail "notepad did not start"
notepad=$(xdotool search --name " - Notepad$" | head -n 1)
notepad_title=$(xdotool getwindowname "$notepad")
focus_notepad() {
    xdotool windowactivate --sync "$notepad" >/dev/null 2>&1 || true
    within 5000 'focused "$notepad_title"' || fail "notepad does not take the focus"
}
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
[[ "$(python3 "$here/cliplist.py" "$app/cliplist.dat" count)" == 3 ]] || fail "duplicate entry after the paste"
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
echo "wine hot key and paste: ok"
