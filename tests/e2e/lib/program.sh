# Drives the real program on the virtual desktop of desktop.sh (sourced
# here): starts and quits it, puts texts on the clipboard, reads its clip
# list, and keeps a focused target window to paste into.
#   source tests/e2e/lib/program.sh
# The helpers use the test's own
#   app          the program's directory (fresh_app_dir)
#   work         the test's scratch directory (fresh_work_dir), for the target
#   quillet_pid  the running program      target_pid  the target window
#   patience     the longest wait for one step, in ms (15000 unless raised)
#   fail         reports what went wrong and exits
# shellcheck shell=bash

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=desktop.sh
source "$E2E_LIB_DIR/desktop.sh"

tools="$QUILLET_BUILD/tests/e2e/tools"
# Generous, as other jobs may load the machine.
patience=15000
app=""
work=""
quillet_pid=""
target_pid=""

# --- The program.

start_quillet() {
    QT_MESSAGE_PATTERN='%{time process} %{message}' "$app/quillet" >>"$app/err.txt" 2>&1 &
    quillet_pid=$!
}

stop_quillet() {
    kill "$quillet_pid" 2>/dev/null || true
    wait "$quillet_pid" 2>/dev/null || true
    quillet_pid=""
}

check_alive() {
    if [[ -z "$quillet_pid" ]] || ended "$quillet_pid"; then
        fail "the program died ($1)"
    fi
}

popup_visible() { xdotool search --onlyvisible --name '^Input Dialog$' >/dev/null 2>&1; }

# The context menu of the tray icon: a window of ours typed as a popup
# menu (the icon's tool-tip is another override-redirect window of ours).
menu_open() {
    local id
    for id in $(xdotool search --onlyvisible --class quillet 2>/dev/null); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_POPUP_MENU' && return 0
    done
    return 1
}

# "X Y WIDTH HEIGHT" of the docked tray icon; nothing when there is none.
tray_icon_geometry() { "$tools/xtrayicons" quillet | head -n 1; }

# Clicks mouse button $1 on the tray icon. Two presses on the icon closer
# than the double-click interval (400 ms) make a double click, which neither
# shows the popup nor opens the menu: a user's separate clicks are further
# apart, and so are ours.
last_tray_click=0
click_tray_icon() {
    local x y w h since
    since=$(($(now_ms) - last_tray_click))
    if ((since < 600)); then
        sleep "0.$(printf '%03d' $((600 - since)))"
    fi
    read -r x y w h < <(tray_icon_geometry) || fail "the tray icon is gone"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click "$1"
    last_tray_click=$(now_ms)
}

# Quits from the tray menu (its last entry) and checks the exit code;
# quit_ms is set to the time from choosing the entry to the exit.
# shellcheck disable=SC2034  # read by the tests
quit_ms=0
# shellcheck disable=SC2034
quit_program() {
    local code start
    click_tray_icon 3
    wait_for "$patience" menu_open || fail "a right click on the tray icon did not open the menu"
    start=$(now_ms)
    xdotool key Up Return
    wait_for "$patience" 'ended "$quillet_pid"' || fail "終了 did not end the program"
    set +e
    wait "$quillet_pid"
    code=$?
    set -e
    quillet_pid=""
    [[ $code -eq 0 ]] || fail "exit code $code after 終了"
    quit_ms=$(($(now_ms) - start))
}

# --- The clipboard and the clip list file.

# The newest entry of the clip list file, and all of them, newest first,
# one a line (line breaks in an entry written as \n).
head_on_disk() { python3 "$E2E_LIB_DIR/cliplist.py" "$app/cliplist.dat" --head 2>/dev/null || true; }
on_disk() { python3 "$E2E_LIB_DIR/cliplist.py" "$app/cliplist.dat" 2>/dev/null || true; }

# Puts a text on the clipboard with xclip until the program has it first on
# disk, then ends xclip. A program still starting misses a change made
# before it watched, so the text is offered again after 0.5, 1, 2 and 4 s
# and every 4 s from then on, for 30 s in all. Each xclip ends by itself
# when the next one takes the clipboard: none is killed while the program
# may still be reading from it.
copy_until_captured() {
    local text=$1 wait_ms=500 waited=0 captured=0 xclip_pids=()
    while ((waited < 30000)); do
        printf '%s' "$text" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
        xclip_pids+=($!)
        if wait_for "$wait_ms" '[[ "$(head_on_disk)" == "$text" ]]'; then
            captured=1
            break
        fi
        waited=$((waited + wait_ms))
        wait_ms=$((wait_ms < 2000 ? wait_ms * 2 : 4000))
    done
    kill "${xclip_pids[@]}" 2>/dev/null || true
    wait "${xclip_pids[@]}" 2>/dev/null || true
    ((captured)) || fail "\"$text\" copied with xclip did not reach the clip list"
}

# --- A target window (tests/e2e/tools/targetwindow) with the keyboard
# focus: what is pasted into it shows in $work/target.txt.

target_text() { cat "$work/target.txt" 2>/dev/null || true; }
target_has_focus() { [[ "$(cat "$work/target.txt.focus" 2>/dev/null)" == 1 && "$(focused_name)" == quillet-target ]]; }

start_target() {
    rm -f "$work"/target.txt*
    "$tools/targetwindow" "$work/target.txt" >/dev/null 2>&1 &
    target_pid=$!
    wait_for "$patience" target_has_focus || fail "the target window did not get the focus"
}

stop_target() {
    kill "$target_pid" 2>/dev/null || true
    wait "$target_pid" 2>/dev/null || true
    target_pid=""
}

clear_target() {
    "$tools/xkey" Control_L:down a Control_L:up BackSpace
    wait_for "$patience" '[[ -z "$(target_text)" ]]' || fail "could not empty the target"
}
