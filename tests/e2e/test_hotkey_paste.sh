# The main use from end to end on X11, without and with a window manager:
# texts copied with xclip enter the history and the clip list file; Right
# Ctrl tapped twice brings up the popup with the keyboard focus; typing
# narrows the list; Enter pastes the chosen entry into the window the user
# was typing in and moves it to the head of the history on disk; a slow pair
# of taps opens nothing; Escape hides the popup and gives the focus back;
# the history survives a restart; a layout without `v` still pastes.
set -euo pipefail
source "$(dirname "$0")/lib/desktop.sh"
tools="$QUILLET_BUILD/tests/e2e/tools"
mode=""
app=""
work=$(mktemp -d /tmp/quillet-hotkey.XXXXXX)
echo "$work" >>"$APP_DIRS_FILE"
quillet_pid=""
target_pid=""

fail() {
    echo "hotkey-paste${mode:+ ($mode)}: $*" >&2
    echo "  focus: $(focused_name)  popup visible: $(popup_visible && echo yes || echo no)" >&2
    echo "  target text: \"$(target_text)\"  history: $(history_on_disk | tr '\n' '|')" >&2
    xwininfo -root -tree 2>/dev/null | grep -E '"(Input Dialog|quillet-target)"' | sed 's/^ */  window: /' >&2
    [[ -n "$app" && -f "$app/err.txt" ]] && sed 's/^/  quillet: /' "$app/err.txt" | tail -20 >&2
    exit 1
}

# The entries of the clip list file, one per line, newest first: 4 bytes of
# length, then a zlib stream of the entries, each followed by "<>".
history_on_disk() {
    python3 - "$app/cliplist.dat" <<'PY'
import sys, zlib
try:
    data = open(sys.argv[1], "rb").read()
    text = zlib.decompress(data[4:]).decode("utf-8")
except Exception:
    sys.exit(0)
try:
    for entry in text.split("<>")[:-1]:
        print(entry)
except BrokenPipeError:
    pass
PY
}

first_on_disk() {
    [[ "$(history_on_disk | head -n 1)" == "$1" ]]
}

focused_name() {
    xdotool getwindowfocus getwindowname 2>/dev/null || true
}

popup_visible() {
    xdotool search --onlyvisible --name '^Input Dialog$' >/dev/null 2>&1
}

target_text() {
    cat "$work/target.txt" 2>/dev/null || true
}

target_has_focus() {
    [[ "$(cat "$work/target.txt.focus" 2>/dev/null)" == 1 && "$(focused_name)" == quillet-target ]]
}

# Puts a text on the clipboard with xclip and waits until quillet has it at
# the head of its history on disk; then ends xclip.
copy() {
    local text=$1
    printf '%s' "$text" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
    local xclip_pid=$!
    wait_for 5000 'first_on_disk "$text"' || fail "\"$text\" copied with xclip did not reach the clip list"
    kill "$xclip_pid" 2>/dev/null || true
    wait "$xclip_pid" 2>/dev/null || true
}

start_quillet() {
    QT_MESSAGE_PATTERN='%{time process} %{message}' "$app/quillet" >>"$app/err.txt" 2>&1 &
    quillet_pid=$!
}

stop_quillet() {
    kill "$quillet_pid" 2>/dev/null || true
    wait "$quillet_pid" 2>/dev/null || true
    quillet_pid=""
}

start_target() {
    rm -f "$work"/target.txt*
    "$tools/targetwindow" "$work/target.txt" >/dev/null 2>&1 &
    target_pid=$!
    wait_for 5000 target_has_focus || fail "the target window did not get the focus"
}

stop_target() {
    kill "$target_pid" 2>/dev/null || true
    wait "$target_pid" 2>/dev/null || true
}

clear_target() {
    "$tools/xkey" Control_L:down a Control_L:up BackSpace
    wait_for 5000 '[[ -z "$(target_text)" ]]' || fail "could not empty the target"
}

double_tap() {
    "$tools/xkey" Control_R Control_R
}

open_popup() {
    double_tap
    # The first show loads the fonts, which can take a while on a busy machine.
    wait_for 15000 popup_visible || fail "a double tap of Right Ctrl did not bring up the popup"
    wait_for 5000 '[[ "$(focused_name)" == "Input Dialog" ]]' || fail "the popup did not take the focus"
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
    wait_for 5000 '! popup_visible' || fail "Enter did not hide the popup"
    wait_for 5000 '[[ "$(target_text)" == "$expected" ]]' \
        || fail "the target holds \"$(target_text)\" instead of the chosen \"$expected\""
    wait_for 5000 'first_on_disk "$expected"' || fail "the pasted \"$expected\" is not first on disk"
    target_has_focus || fail "the target lost the focus after the paste"
}

run_desktop() {
    mode=${1:-bare}
    start_desktop "$@"
    app=$(fresh_app_dir)
    start_quillet
    start_target

    # Three texts enter the history, newest first.
    copy "alpha one"
    copy "beta two"
    copy "gamma three"
    [[ "$(history_on_disk | tr '\n' '|')" == "gamma three|beta two|alpha one|" ]] \
        || fail "the clip list holds: $(history_on_disk | tr '\n' '|')"

    # Double tap, narrow to the oldest entry, Enter.
    paste_filtered "alp" "alpha one"
    [[ "$(history_on_disk | tr '\n' '|')" == "alpha one|gamma three|beta two|" ]] \
        || fail "after the paste the clip list holds: $(history_on_disk | tr '\n' '|')"

    # A slow pair opens nothing, and neither does a third tap right after
    # it, which starts the count afresh. The next capture shows that quillet
    # has handled every key sent before it (the focused target keeps the
    # recorded keys flowing at once).
    "$tools/xkey" Control_R sleep:800 Control_R Control_R
    # Taps with Alt held are system keys: they count for nothing.
    "$tools/xkey" Alt_L:down Control_R Control_R Alt_L:up
    copy "delta four"
    popup_visible && fail "a slow pair of taps (800 ms), or a pair with Alt held, brought up the popup"
    target_has_focus || fail "the target lost the focus after a slow pair"

    # Escape hides the popup and gives the focus back to the target.
    open_popup
    "$tools/xkey" Escape
    wait_for 5000 '! popup_visible' || fail "Escape did not hide the popup"
    wait_for 5000 target_has_focus || fail "the focus did not return to the target after Escape"
    [[ "$(target_text)" == "alpha one" ]] || fail "Escape changed the target's text to \"$(target_text)\""

    # A keyboard layout without any `v`: the paste borrows a spare key.
    clear_target
    setxkbmap ru
    "$tools/xkey" has:v 2>/dev/null && fail "the Russian layout has a v key"
    paste_filtered "" "delta four"
    wait_for 5000 '! "$tools/xkey" has:v 2>/dev/null' || fail "the key borrowed for v was not given back"
    setxkbmap us

    # A restart keeps the history. The tray icon docks before the hook is
    # in place, so a capture tells when the new process is listening; its
    # save holds the old entries only if they were loaded.
    stop_quillet
    start_quillet
    clear_target
    copy "epsilon five"
    [[ "$(history_on_disk | tr '\n' '|')" == "epsilon five|delta four|alpha one|gamma three|beta two|" ]] \
        || fail "after the restart the clip list holds: $(history_on_disk | tr '\n' '|')"
    paste_filtered "beta" "beta two"
    [[ "$(history_on_disk | tr '\n' '|')" == "beta two|epsilon five|delta four|alpha one|gamma three|" ]] \
        || fail "after the restart and a paste the clip list holds: $(history_on_disk | tr '\n' '|')"

    stop_quillet
    stop_target
    stop_desktop
}

run_desktop
run_desktop --wm
echo "hotkey-paste: ok"
