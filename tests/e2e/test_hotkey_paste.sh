# The main use from end to end on X11, without and with a window manager:
# texts copied with xclip enter the history and the clip list file; Right
# Ctrl tapped twice brings up the popup with the keyboard focus; typing
# narrows the list; Enter pastes the chosen entry into the window the user
# was typing in and moves it to the head of the history on disk; a slow pair
# of taps opens nothing; Escape hides the popup and gives the focus back;
# the history survives a restart; a layout without `v` still pastes.
set -euo pipefail
source "$(dirname "$0")/lib/program.sh"
mode=""
work=$(fresh_work_dir hotkey)

fail() {
    echo "hotkey-paste${mode:+ ($mode)}: $*" >&2
    echo "  focus: $(focused_name)  popup visible: $(popup_visible && echo yes || echo no)" >&2
    echo "  target text: \"$(target_text)\"  history: $(on_disk | tr '\n' '|')" >&2
    xwininfo -root -tree 2>/dev/null | grep -E '"(Input Dialog|quillet-target)"' | sed 's/^ */  window: /' >&2
    [[ -n "$app" && -f "$app/err.txt" ]] && sed 's/^/  quillet: /' "$app/err.txt" | tail -20 >&2
    exit 1
}

# Checks the whole clip list, newest first, written "a|b|c|"; $2 says when.
history_is() {
    local expected=$1 found
    found=$(on_disk | tr '\n' '|')
    [[ "$found" == "$expected" ]] || fail "${2:+$2 }the clip list holds: $found"
}

double_tap() {
    "$tools/xkey" Control_R Control_R
}

open_popup() {
    double_tap
    wait_for "$patience" popup_visible || fail "a double tap of Right Ctrl did not bring up the popup"
    wait_for "$patience" '[[ "$(focused_name)" == "Input Dialog" ]]' || fail "the popup did not take the focus"
}

# Chooses the entry that the filter text narrows the list to and pastes it.
paste_filtered() {
    local filter=$1 expected=$2
    open_popup
    local keys=() i
    for ((i = 0; i < ${#filter}; i++)); do
        local c=${filter:i:1}
        [[ "$c" == " " ]] && c=space
        keys+=("$c")
    done
    # Typed into the filter line: the list keeps only the matching entry,
    # which is then the current row that Enter pastes.
    "$tools/xkey" "${keys[@]}" Return
    wait_for "$patience" '! popup_visible' || fail "Enter did not hide the popup"
    wait_for "$patience" '[[ "$(target_text)" == "$expected" ]]' \
        || fail "the target holds \"$(target_text)\" instead of the chosen \"$expected\""
    wait_for "$patience" '[[ "$(head_on_disk)" == "$expected" ]]' || fail "the pasted \"$expected\" is not first on disk"
    target_has_focus || fail "the target lost the focus after the paste"
}

run_desktop() {
    mode=${1:-bare}
    start_desktop "$@"
    app=$(fresh_app_dir)
    start_quillet
    start_target

    # Three texts enter the history, newest first.
    copy_until_captured "alpha one"
    copy_until_captured "beta two"
    copy_until_captured "gamma three"
    history_is "gamma three|beta two|alpha one|"

    # Double tap, narrow to the oldest entry, Enter.
    paste_filtered "alp" "alpha one"
    history_is "alpha one|gamma three|beta two|" "after the paste"

    # A slow pair opens nothing, and neither does a third tap right after
    # it, which starts the count afresh. The next capture shows that quillet
    # has handled every key sent before it (the focused target keeps the
    # recorded keys flowing at once).
    "$tools/xkey" Control_R sleep:800 Control_R Control_R
    # Taps with Alt held are system keys: they count for nothing.
    "$tools/xkey" Alt_L:down Control_R Control_R Alt_L:up
    copy_until_captured "delta four"
    popup_visible && fail "a slow pair of taps (800 ms), or a pair with Alt held, brought up the popup"
    target_has_focus || fail "the target lost the focus after a slow pair"

    # Escape hides the popup and gives the focus back to the target.
    open_popup
    "$tools/xkey" Escape
    wait_for "$patience" '! popup_visible' || fail "Escape did not hide the popup"
    wait_for "$patience" target_has_focus || fail "the focus did not return to the target after Escape"
    [[ "$(target_text)" == "alpha one" ]] || fail "Escape changed the target's text to \"$(target_text)\""

    # A keyboard layout without any `v`: the paste borrows a spare key.
    clear_target
    setxkbmap ru
    "$tools/xkey" has:v 2>/dev/null && fail "the Russian layout has a v key"
    paste_filtered "" "delta four"
    wait_for "$patience" '! "$tools/xkey" has:v 2>/dev/null' || fail "the key borrowed for v was not given back"
    setxkbmap us

    # A restart keeps the history. The tray icon docks before the hook is
    # in place, so a capture tells when the new process is listening; its
    # save holds the old entries only if they were loaded.
    stop_quillet
    start_quillet
    clear_target
    copy_until_captured "epsilon five"
    history_is "epsilon five|delta four|alpha one|gamma three|beta two|" "after the restart"
    paste_filtered "beta" "beta two"
    history_is "beta two|epsilon five|delta four|alpha one|gamma three|" "after the restart and a paste"

    stop_quillet
    stop_target
    stop_desktop
}

run_desktop
run_desktop --wm
echo "hotkey-paste: ok"
