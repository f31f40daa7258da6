# The paste into a terminal, on X11 without and with a window manager: xterm
# does not paste on Ctrl+V but on Shift+Insert, which reads the PRIMARY
# selection; quillet sends it that chord and puts the entry on PRIMARY too,
# so the chosen entry (a Japanese one as well) reaches the program running
# in the terminal. The Qt target window still gets Ctrl+V.
set -euo pipefail
source "$(dirname "$0")/lib/program.sh"
mode=""
work=$(fresh_work_dir terminal)
term_pid=""
terminal=""

fail() {
    echo "terminal-paste${mode:+ ($mode)}: $*" >&2
    echo "  focus: $(focused_name)  popup visible: $(popup_visible && echo yes || echo no)" >&2
    echo "  terminal got: \"$(terminal_text)\"  target text: \"$(target_text)\"" >&2
    echo "  history: $(on_disk | tr '\n' '|')" >&2
    [[ -n "$app" && -f "$app/err.txt" ]] && sed 's/^/  quillet: /' "$app/err.txt" | tail -20 >&2
    exit 1
}

# What the terminal's program has read from its keyboard, byte for byte.
terminal_text() { cat "$work/terminal.txt" 2>/dev/null || true; }

start_terminal() {
    rm -f "$work/terminal.txt"
    # A UTF-8 locale makes xterm ask for the selection as UTF-8; without
    # canonical input every pasted byte reaches cat at once.
    LC_ALL=C.UTF-8 xterm -title quillet-terminal -e sh -c 'stty -icanon -echo; exec cat >"$1"' sh \
        "$work/terminal.txt" >/dev/null 2>&1 &
    term_pid=$!
    wait_for "$patience" '[[ -e "$work/terminal.txt" ]]' || fail "xterm did not start cat"
    wait_for "$patience" 'terminal=$(xdotool search --name "^quillet-terminal$" 2>/dev/null | head -n 1); [[ -n "$terminal" ]]' \
        || fail "no xterm window"
}

focus_terminal() {
    local _
    for _ in 1 2 3; do
        if [[ "$mode" == --wm ]]; then
            xdotool windowactivate --sync "$terminal" >/dev/null 2>&1 || true
        else
            xdotool windowfocus --sync "$terminal" >/dev/null 2>&1 || true
        fi
        wait_for 3000 '[[ "$(focused_name)" == quillet-terminal ]]' && return 0
    done
    fail "xterm does not take the focus"
}

stop_terminal() {
    kill "$term_pid" 2>/dev/null || true
    wait "$term_pid" 2>/dev/null || true
    term_pid=""
}

# Double tap, then the keys (keysyms) that choose the entry, then Enter.
paste_after() {
    "$tools/xkey" Control_R Control_R
    wait_for "$patience" popup_visible || fail "a double tap of Right Ctrl did not bring up the popup"
    wait_for "$patience" '[[ "$(focused_name)" == "Input Dialog" ]]' || fail "the popup did not take the focus"
    "$tools/xkey" "$@" Return
    wait_for "$patience" '! popup_visible' || fail "Enter did not hide the popup"
}

run_desktop() {
    mode=${1:-bare}
    start_desktop "$@"
    app=$(fresh_app_dir)
    start_quillet
    start_terminal
    copy_until_captured "plain words"
    copy_until_captured "日本語のテキスト"

    # The newest entry, Japanese, with no filter.
    focus_terminal
    paste_after
    wait_for "$patience" '[[ "$(terminal_text)" == "日本語のテキスト" ]]' \
        || fail "xterm did not receive the Japanese entry"
    [[ "$(xclip -o -selection primary 2>/dev/null)" == "日本語のテキスト" ]] || fail "PRIMARY does not hold the entry"
    # The PRIMARY write is no copy of its own: the history still has two.
    wait_for "$patience" '[[ "$(on_disk | tr "\n" "|")" == "日本語のテキスト|plain words|" ]]' \
        || fail "the history changed with the paste into xterm"

    paste_after p l a i n
    wait_for "$patience" '[[ "$(terminal_text)" == "日本語のテキストplain words" ]]' \
        || fail "xterm did not receive the second entry"
    wait_for "$patience" '[[ "$(head_on_disk)" == "plain words" ]]' || fail "the pasted entry is not first on disk"

    # A Qt window takes Ctrl+V, and the terminal gets nothing more.
    start_target
    paste_after
    wait_for "$patience" '[[ "$(target_text)" == "plain words" ]]' || fail "the Qt target did not receive Ctrl+V"
    [[ "$(terminal_text)" == "日本語のテキストplain words" ]] || fail "the terminal got keys meant for the target"

    stop_target
    stop_terminal
    stop_quillet
    stop_desktop
}

run_desktop
run_desktop --wm
echo "terminal-paste: ok"
