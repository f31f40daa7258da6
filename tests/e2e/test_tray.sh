# The tray icon on a real X11 desktop, with and without a window manager:
# a left click on the docked icon shows the popup with the keyboard focus,
# the menu's "画面表示" shows it too, and the menu's "終了" ends the process
# with exit code 0 and takes the icon away.
set -euo pipefail
source "$(dirname "$0")/lib/desktop.sh"
tools="$QUILLET_BUILD/tests/e2e/tools"

fail() {
    echo "tray ($mode): $*" >&2
    [[ -n "${TRAY_FAIL_SHOT:-}" ]] && import -window root "$TRAY_FAIL_SHOT"
    [[ -n "${app:-}" && -f "$app/err.txt" ]] && cat "$app/err.txt" >&2
    exit 1
}

icon_geometry() { "$tools/xtrayicons" quillet | head -n 1; }
popup_window() { xdotool search --onlyvisible --name '^Input Dialog$' 2>/dev/null | head -n 1; }
# Two presses on the icon closer than the double-click interval (400 ms)
# make a double click, which neither shows the popup nor opens the menu: a
# user's separate clicks are further apart, and so are ours.
last_click=0
click_icon() {
    local x y w h now
    now=$(date +%s%3N)
    if ((now - last_click < 600)); then
        sleep "0.$(printf '%03d' $((600 - (now - last_click))))"
    fi
    read -r x y w h < <(icon_geometry)
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click "$1"
    last_click=$(date +%s%3N)
}
# The context menu of the tray icon: a window of ours typed as a popup
# menu (the icon's tool-tip is another override-redirect window of ours).
menu_open() {
    local id
    for id in $(xdotool search --onlyvisible --class quillet 2>/dev/null); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_POPUP_MENU' && return 0
    done
    return 1
}
# A child that has ended stays a zombie until it is waited for.
ended() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}
# Escape closes the popup; the filter line has the keyboard focus, so the
# key goes there.
hide_popup() {
    xdotool key Escape
    wait_for 3000 '[[ -z "$(popup_window)" ]]' || fail "Escape did not hide the popup"
}

for mode in plain wm; do
    if [[ $mode == wm ]]; then start_desktop --wm; else start_desktop; fi
    app=$(fresh_app_dir)
    "$app/quillet" 2>"$app/err.txt" &
    pid=$!

    wait_for 10000 '[[ -n "$(icon_geometry)" ]]' || fail "the icon was not docked"
    [[ -z "$(popup_window)" ]] || fail "the popup is up before any click"

    # A left click shows the popup, and it takes the keyboard.
    click_icon 1
    wait_for 5000 '[[ -n "$(popup_window)" ]]' || fail "a left click did not show the popup"
    popup=$(popup_window)
    wait_for 3000 '[[ "$(xdotool getwindowfocus 2>/dev/null)" == "$popup" ]]' ||
        fail "the popup did not take the keyboard focus"
    hide_popup

    # The menu's first entry shows the popup as well.
    click_icon 3
    wait_for 5000 menu_open || fail "the first right click did not open the menu"
    [[ -z "$(popup_window)" ]] || fail "a right click showed the popup"
    xdotool key Down Return
    wait_for 5000 '[[ -n "$(popup_window)" ]]' || fail "画面表示 did not show the popup"
    hide_popup

    # The last entry quits: exit code 0, icon gone, no file written.
    click_icon 3
    wait_for 5000 menu_open || fail "a right click did not open the menu"
    xdotool key Up Return
    wait_for 5000 'ended "$pid"' || fail "終了 did not end the process"
    set +e
    wait "$pid"
    code=$?
    set -e
    [[ $code -eq 0 ]] || fail "exit code $code after 終了"
    [[ -z "$(icon_geometry)" ]] || fail "the icon is still docked"
    [[ ! -e "$app/quillet.ini" && ! -e "$app/cliplist.dat" ]] || fail "quitting wrote a file"

    stop_desktop
done
echo "tray: ok"
