# Clipboard owners that misbehave cannot freeze the program, and those that
# behave are read in full, on X11 without and with a window manager:
# - an owner that takes CLIPBOARD and never answers: the double tap still
#   opens the popup while the read waits for it, typing filters, Enter
#   pastes into the target window, the read is given up with one debug line,
#   and a normal copy made afterwards is captured;
# - an owner that answers after 1 s is captured; one that answers after 5 s
#   is skipped while the popup still opens, and a copy made while the
#   program waits for it is captured at once; the late answer harms
#   neither the program nor the owner (one without an X error handler);
# - a 10 MB text offered through INCR is captured whole (byte for byte); an
#   owner that dies in the middle of such a transfer leaves nothing behind;
# - the older text encodings (STRING as Latin-1, TEXT, COMPOUND_TEXT) are
#   read, and so are owners without a TARGETS list or with an unknown atom
#   in it; images, colours and texts marked by a password manager are not
#   captured;
# - an owner that kills the program's clipboard connection does not end the
#   program, and the clipboard is read again once it has reconnected;
# - copies from xterm and from a GTK text field are captured;
# - the tray menu's quit ends the program at once while a read waits for a
#   hung owner.
# Our own owner is tests/e2e/tools/xclipowner. Latencies are printed, not
# judged; what fails is a popup that comes up only once the read it would
# have waited for was given up (after 2 s), or a step not done in 15 s.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/program.sh"
skip_line="did not answer within"
mode=""
work=$(fresh_work_dir owners)
owner_pids=()
helper_pids=()

fail() {
    echo "clipboard-owners${mode:+ ($mode)}: $*" >&2
    echo "  focus: $(focused_name)  popup visible: $(popup_visible && echo yes || echo no)" >&2
    echo "  history head: \"$(head_on_disk | cut -c1-80)\"" >&2
    [[ -n "$app" && -f "$app/err.txt" ]] && grep -v 'write with BOM' "$app/err.txt" | tail -20 | sed 's/^/  quillet: /' >&2
    local log
    for log in "$work"/*.log; do
        [[ -f "$log" ]] && echo "  owner $(basename "$log" .log): $(tail -8 "$log" | tr '\n' ' ')" >&2
    done
    exit 1
}

note() { echo "clipboard-owners ($mode): $*"; }

popup_focused() { popup_visible && [[ "$(focused_name)" == "Input Dialog" ]]; }
skips() { grep -c "$skip_line" "$app/err.txt" 2>/dev/null || true; }

# Starts our owner: owner NAME OPTION...; its log is $work/NAME.log.
owner() {
    local name=$1
    shift
    "$tools/xclipowner" --log "$work/$name.log" "$@" 2>"$work/$name.err" &
    owner_pids+=($!)
    wait_for "$patience" 'grep -qx owned "$work/$name.log" 2>/dev/null' || fail "the owner $name did not start"
}

logged() { grep -qx "$2" "$work/$1.log" 2>/dev/null; }

stop_owners() {
    local child
    for child in "${owner_pids[@]}"; do
        kill "$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    done
    owner_pids=()
}

captured() {
    local text=$1
    wait_for "$patience" '[[ "$(head_on_disk)" == "$text" ]]' || fail "$2: \"$text\" was not captured"
}

# Asserts that TEXT was not captured: a later copy is first and TEXT is
# nowhere in the history. Called once the owner served all it was asked.
not_captured() {
    local text=$1 why=$2
    # Long enough for the snapshot to reach the capture on its own, not in
    # one burst with the sentinel's (of a burst only the newest is taken).
    sleep 0.5
    copy_until_captured "sentinel $why"
    if on_disk | grep -qxF "$text"; then
        fail "$why: \"$text\" was captured"
    fi
    return 0
}

focus_target() {
    local id
    id=$(cat "$work/target.txt.id")
    xdotool windowactivate "$id" >/dev/null 2>&1 || xdotool windowfocus "$id" >/dev/null 2>&1 || true
    wait_for "$patience" target_has_focus || fail "could not give the focus back to the target"
}

# Double tap; popup_ms is set to the milliseconds until the popup held the
# focus.
popup_ms=0
open_popup() {
    local start
    start=$(now_ms)
    "$tools/xkey" Control_R Control_R
    wait_for "$patience" popup_focused || fail "a double tap of Right Ctrl did not bring up the popup with the focus"
    popup_ms=$(($(now_ms) - start))
}

close_popup() {
    "$tools/xkey" Escape
    wait_for "$patience" '! popup_visible' || fail "Escape did not hide the popup"
    wait_for "$patience" target_has_focus || fail "the focus did not return to the target after Escape"
}

# Types a filter into the open popup.
type_filter() {
    local filter=$1 keys=() i c
    for ((i = 0; i < ${#filter}; i++)); do
        c=${filter:i:1}
        [[ "$c" == " " ]] && c=space
        keys+=("$c")
    done
    "$tools/xkey" "${keys[@]}"
}

# Enter pastes the current entry, which must be `expected`.
paste_current() {
    local expected=$1
    "$tools/xkey" Return
    wait_for "$patience" '! popup_visible' || fail "Enter did not hide the popup"
    wait_for "$patience" '[[ "$(target_text)" == "$expected" ]]' \
        || fail "the target holds \"$(target_text)\" instead of the chosen \"$expected\""
    captured "$expected" "the pasted entry"
}

hung_owner() {
    local skipped_before
    skipped_before=$(skips)
    owner hung --hang --text "hung owner's text"
    # The program's read now waits for an answer that never comes; the
    # popup and the filter do not.
    open_popup
    type_filter "alp"
    [[ $(skips) -eq $skipped_before ]] \
        || fail "the popup came up only after the read of the hung owner was given up ($popup_ms ms)"
    note "hung owner: popup after $popup_ms ms, while the read waited"
    # The read of the hung owner is given up with one line.
    wait_for "$patience" '[[ $(skips) -eq $((skipped_before + 1)) ]]' \
        || fail "no debug line for the hung owner's skipped copy"
    # The filter left one entry; Enter pastes it.
    paste_current "alpha one"
    # The hung owner takes the clipboard again; a copy made after it is read.
    stop_owners
    owner hung2 --hang --text "hung owner's text"
    # Ctrl+V in the filter line does not ask the hung owner either: the
    # popup answers Escape before that read is given up.
    open_popup
    "$tools/xkey" Control_L:down v Control_L:up Escape
    wait_for "$patience" '! popup_visible' || fail "Escape did not hide the popup after Ctrl+V"
    [[ $(skips) -eq $((skipped_before + 1)) ]] \
        || fail "Ctrl+V in the filter line waited for the hung owner"
    wait_for "$patience" target_has_focus || fail "the focus did not return to the target after Escape"
    sleep 2.5
    copy_until_captured "after the hung owner"
    [[ $(skips) -eq $((skipped_before + 2)) ]] || fail "expected one more skipped copy, found $(($(skips) - skipped_before - 1))"
    on_disk | grep -qxF "hung owner's text" && fail "the hung owner's text was captured"
    stop_owners
}

slow_owners() {
    local skipped_before
    skipped_before=$(skips)
    owner slow1 --delay 1000 --text "answered after one second"
    captured "answered after one second" "an owner that answers after 1 s"
    [[ $(skips) -eq $skipped_before ]] || fail "the owner that answers after 1 s was given up"
    stop_owners

    # A naive owner: an X error would end it.
    owner slow5 --naive --delay 5000 --text "answered after five seconds"
    local slow_pid=${owner_pids[-1]}
    open_popup
    [[ $(skips) -eq $skipped_before ]] || fail "the popup waited for the owner that answers after 5 s"
    note "owner answering after 5 s: popup after $popup_ms ms, while the read waited"
    close_popup
    wait_for "$patience" '[[ $(skips) -eq $((skipped_before + 1)) ]]' \
        || fail "the owner that answers after 5 s was not given up"
    # Its late answer changes nothing, and finds the window it was asked
    # from still there.
    wait_for "$patience" 'logged slow5 "answered TARGETS"' || fail "the slow owner never answered"
    sleep 0.3
    check_alive "after a late answer"
    ended "$slow_pid" && fail "the owner that answered late died of an X error: $(cat "$work/slow5.err")"
    on_disk | grep -qxF "answered after five seconds" && fail "the text of the owner answering after 5 s was captured"
    stop_owners

    # A copy made while the program waits for a slow owner is read at once.
    owner slow5b --delay 5000 --text "answered after five seconds"
    local start took
    start=$(now_ms)
    copy_until_captured "copied while a read waited"
    took=$(($(now_ms) - start))
    [[ $(skips) -eq $((skipped_before + 1)) ]] || fail "the newer copy waited for the slow owner's read to be given up"
    note "copy made while a read waited for a slow owner: captured after $took ms"
    stop_owners
}

large_texts() {
    local start took
    python3 - "$work/big.txt" <<'PY'
import sys
# 10 MB of UTF-8 with tabs, line breaks, Japanese and a last line that
# differs from every other, so that a cut or a reordering shows.
lines, size, i = [], 0, 0
while size < 10 * 1024 * 1024:
    line = "%07d\tline of the large text 大きな文章の行 %s\n" % (i, "x" * (i % 50))
    lines.append(line)
    size += len(line.encode())
    i += 1
lines.append("the end 終わり")
open(sys.argv[1], "wb").write("".join(lines).encode())
PY
    start=$(now_ms)
    owner big --file "$work/big.txt"
    wait_for 60000 'logged big "served UTF8_STRING"' || fail "the 10 MB text was not read to its end"
    logged big "incr UTF8_STRING $(stat -c %s "$work/big.txt")" || fail "the 10 MB text did not go through INCR"
    wait_for 60000 '[[ "$(head_on_disk | tail -c 40)" == *"the end 終わり" ]]' || fail "the 10 MB text was not captured"
    took=$(($(now_ms) - start))
    python3 - "$here/lib" "$app/cliplist.dat" "$work/big.txt" <<'PY' || fail "the captured 10 MB text differs from the one offered"
import sys
sys.path.insert(0, sys.argv[1])
from cliplist import entries
got = entries(sys.argv[2])[0].encode()
want = open(sys.argv[3], "rb").read()
if got != want:
    at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
    print("captured %d bytes, offered %d; first difference at byte %d" % (len(got), len(want), at), file=sys.stderr)
    sys.exit(1)
PY
    note "10 MB text through INCR: captured whole, on disk after $took ms"
    open_popup
    note "popup with the 10 MB entry newest: $popup_ms ms"
    close_popup
    stop_owners

    # An owner that dies after 20 pieces: nothing of it is kept, and the
    # next copy is read.
    head -c 3000000 "$work/big.txt" >"$work/partial.txt"
    owner dying --file "$work/partial.txt" --die-after-pieces 20
    wait_for "$patience" 'logged dying dying' || fail "the dying owner did not get to its 20th piece"
    stop_owners
    check_alive "after an owner died in the middle of a transfer"
    copy_until_captured "after the owner died"
    python3 - "$here/lib" "$app/cliplist.dat" <<'PY' || fail "part of the dead owner's text was captured"
import sys
sys.path.insert(0, sys.argv[1])
from cliplist import entries
large = [e for e in entries(sys.argv[2]) if e.startswith("0000000\t")]
sys.exit(0 if len(large) == 1 and large[0].endswith("the end 終わり") else 1)
PY
}

encodings() {
    owner latin1 --text "$(printf 'caf\xe9 cr\xe8me')" --text-targets STRING
    captured "café crème" "STRING as Latin-1"
    stop_owners
    owner ctext --text "$(printf 'compound caf\xe9')" --text-targets COMPOUND_TEXT
    captured "compound café" "COMPOUND_TEXT"
    stop_owners
    owner text --text "テキスト via TEXT" --text-targets TEXT
    captured "テキスト via TEXT" "TEXT"
    stop_owners
    owner untargeted --text "no targets list" --no-targets
    captured "no targets list" "an owner without TARGETS"
    stop_owners
    # Naming an unknown atom is an X error for the reader, which it shrugs off.
    owner bogus --text "beside an unknown atom" --bogus-atom
    captured "beside an unknown atom" "an owner listing an unknown atom"
    stop_owners
    # The best offered target is the one read.
    owner best --text "UTF-8 wins" --text-targets STRING,UTF8_STRING
    captured "UTF-8 wins" "UTF8_STRING before STRING"
    logged best "request STRING" && fail "STRING was asked for although UTF8_STRING was offered"
    stop_owners
}

kept_out() {
    owner image --text "text beside an image" --extra image/png=PNG
    wait_for "$patience" 'logged image "answered TARGETS"' || fail "the image owner was not asked"
    not_captured "text beside an image" "image"
    logged image "request UTF8_STRING" && fail "the text beside an image was read"
    stop_owners
    owner colour --text "text beside a colour" --extra application/x-color=RGBA
    wait_for "$patience" 'logged colour "answered TARGETS"' || fail "the colour owner was not asked"
    not_captured "text beside a colour" "colour"
    stop_owners
    owner secret --text "hunter2 secret" --extra x-kde-passwordManagerHint=secret
    wait_for "$patience" 'logged secret "answered x-kde-passwordManagerHint"' || fail "the marker was not read"
    wait_for "$patience" 'logged secret "served UTF8_STRING"' || fail "the marked text was not read"
    not_captured "hunter2 secret" "password manager's marker"
    stop_owners
    grep -qF "hunter2" "$app/cliplist.dat" && fail "the marked text reached the file"
    return 0
}

killer_owner() {
    owner killer --kill-requestor --text "read after reconnecting"
    wait_for "$patience" 'logged killer killed' || fail "the owner never got a request"
    captured "read after reconnecting" "after the owner killed the connection"
    if grep -q "arrived unannounced" "$app/err.txt"; then
        note "after reconnecting: the answer was taken only at the deadline"
    fi
    check_alive "after its clipboard connection was killed"
    grep -q "connection to the X server broke" "$app/err.txt" || fail "no line about the broken connection"
    stop_owners
    # The key watcher has connections of its own: the hot key still works.
    open_popup
    close_popup
}

real_clients() {
    # xterm puts its selection on CLIPBOARD with this resource.
    xterm -xrm 'XTerm*selectToClipboard: true' -T quillet-xterm -geometry 40x5+100+400 \
        -e sh -c 'printf "xtermcopy and more\n"; exec sleep 1000' >/dev/null 2>&1 &
    helper_pids+=($!)
    local id x y
    wait_for "$patience" 'id=$(xdotool search --onlyvisible --name "^quillet-xterm$" 2>/dev/null | head -n 1); [[ -n "$id" ]]' \
        || fail "xterm did not come up"
    sleep 0.5
    # xwininfo, as xdotool counts a window manager's frame twice.
    x=$(xwininfo -id "$id" | sed -n 's/^ *Absolute upper-left X: *//p')
    y=$(xwininfo -id "$id" | sed -n 's/^ *Absolute upper-left Y: *//p')
    # A double click on the first word selects it.
    xdotool mousemove $((x + 20)) $((y + 8)) click --repeat 2 --delay 80 1
    captured "xtermcopy" "a word selected in xterm"
    kill "${helper_pids[@]}" 2>/dev/null || true
    wait "${helper_pids[@]}" 2>/dev/null || true
    helper_pids=()

    zenity --entry --title quillet-zenity --entry-text "copied from GTK" >/dev/null 2>&1 &
    helper_pids+=($!)
    wait_for "$patience" 'id=$(xdotool search --onlyvisible --name "^quillet-zenity$" 2>/dev/null | head -n 1); [[ -n "$id" ]]' \
        || fail "zenity did not come up"
    xdotool windowactivate "$id" >/dev/null 2>&1 || xdotool windowfocus "$id" >/dev/null 2>&1 || true
    wait_for "$patience" '[[ "$(focused_name)" == quillet-zenity ]]' || fail "zenity did not get the focus"
    "$tools/xkey" Control_L:down a c Control_L:up
    captured "copied from GTK" "a copy from a GTK text field"
    kill "${helper_pids[@]}" 2>/dev/null || true
    wait "${helper_pids[@]}" 2>/dev/null || true
    helper_pids=()
    focus_target
}

quit_while_hung() {
    owner lastHung --hang --text "never read"
    quit_program
    note "quit while a read waited for a hung owner: $quit_ms ms"
    stop_owners
}

stop_all() {
    stop_owners
    local child
    for child in "${helper_pids[@]}" $target_pid $quillet_pid; do
        kill "$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    done
    helper_pids=()
    target_pid=""
    quillet_pid=""
}

run_desktop() {
    mode=${1:-bare}
    start_desktop "$@"
    trap 'stop_all; stop_desktop; cleanup_app_dirs' EXIT
    app=$(fresh_app_dir)
    start_quillet
    start_target
    copy_until_captured "gamma three"
    copy_until_captured "alpha one"
    copy_until_captured "beta two"

    hung_owner
    slow_owners
    encodings
    kept_out
    killer_owner
    large_texts
    real_clients
    check_alive "at the end"
    quit_while_hung

    stop_all
    stop_desktop
}

run_desktop
run_desktop --wm
echo "clipboard-owners: ok"
