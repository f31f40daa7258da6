# The tray icon on a real X11 desktop, with and without a window manager:
# it shows its picture once docked;
# a left click on the docked icon shows the popup with the keyboard focus,
# the menu's "画面表示" shows it too, and the menu's "終了" ends the process
# with exit code 0 and takes the icon away.
set -euo pipefail
source "$(dirname "$0")/lib/program.sh"

fail() {
    echo "tray ($mode): $*" >&2
    [[ -n "${TRAY_FAIL_SHOT:-}" ]] && import -window root "$TRAY_FAIL_SHOT"
    [[ -n "${app:-}" && -f "$app/err.txt" ]] && cat "$app/err.txt" >&2
    exit 1
}

popup_window() { xdotool search --onlyvisible --name '^Input Dialog$' 2>/dev/null | head -n 1; }
# Escape closes the popup; the filter line has the keyboard focus, so the
# key goes there.
hide_popup() {
    xdotool key Escape
    wait_for 3000 '[[ -z "$(popup_window)" ]]' || fail "Escape did not hide the popup"
}

for mode in plain wm; do
    if [[ $mode == wm ]]; then start_desktop --wm; else start_desktop; fi
    app=$(fresh_app_dir)
    start_quillet

    wait_for 10000 '[[ -n "$(tray_icon_geometry)" ]]' || fail "the icon was not docked"
    [[ -z "$(popup_window)" ]] || fail "the popup is up before any click"
    # The icon shows its picture, not an empty square: its file is read
    # only once the tray host took it.
    colours=0
    wait_for 5000 'colours=$("$tools/xtrayicons" --colours quillet | head -n 1 | cut -d" " -f5); (( ${colours:-0} >= 8 ))' ||
        fail "the docked icon shows ${colours:-no} colours, not its picture"

    # A left click shows the popup, and it takes the keyboard.
    click_tray_icon 1
    wait_for 5000 '[[ -n "$(popup_window)" ]]' || fail "a left click did not show the popup"
    popup=$(popup_window)
    wait_for 3000 '[[ "$(xdotool getwindowfocus 2>/dev/null)" == "$popup" ]]' ||
        fail "the popup did not take the keyboard focus"
    hide_popup

    # The menu's first entry shows the popup as well.
    click_tray_icon 3
    wait_for 5000 menu_open || fail "the first right click did not open the menu"
    [[ -z "$(popup_window)" ]] || fail "a right click showed the popup"
    xdotool key Down Return
    wait_for 5000 '[[ -n "$(popup_window)" ]]' || fail "画面表示 did not show the popup"
    hide_popup

    # The last entry quits: exit code 0, icon gone, no file written.
    quit_program
    [[ -z "$(tray_icon_geometry)" ]] || fail "the icon is still docked"
    [[ ! -e "$app/quillet.ini" && ! -e "$app/cliplist.dat" ]] || fail "quitting wrote a file"

    stop_desktop
done
echo "tray: ok"
