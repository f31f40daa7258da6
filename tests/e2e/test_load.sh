# The real program under clipboard load on an X11 desktop:
#   burst  LOAD_BURST (10000) distinct texts, each handed over as soon as the
#          program has read it or after LOAD_HANDOVER_MS (1 ms), whichever
#          comes first;
#   tick   a clipboard owner that changes its text every millisecond for
#          LOAD_TICK_SECONDS (3) seconds (when serving a reader makes it
#          late, it carries on from there rather than catching up);
#   flood  LOAD_BURST texts with no handover at all.
# Meanwhile Right Ctrl is tapped twice again and again: the popup must come
# up with the keyboard focus (the worst delay is printed; 5 s fails) and go
# away on Escape. The program must stay alive throughout and quit from its
# tray menu with exit code 0. The clip list file must then hold `histmax`
# of the texts that the program read, newest first, starting with the
# newest; the texts it read are the ones our clipboard owner handed out (it
# logs each text the first time it is converted). A second run with `histmax` 50 in the
# settings file checks the trim on load and under load again.
set -euo pipefail
source "$(dirname "$0")/lib/program.sh"
here=$(cd "$(dirname "$0")" && pwd)
burst=${LOAD_BURST:-10000}
handover=${LOAD_HANDOVER_MS:-1}
tick_seconds=${LOAD_TICK_SECONDS:-3}
# Longest wait for the program to catch up; generous, the machine is shared.
patience=60000
# A popup slower than this fails the test; the measured figure is printed.
popup_limit=5000

work=$(fresh_work_dir load)
owner_pid=""

fail() {
    echo "load: $*" >&2
    if [[ -n "$app" && -f "$app/err.txt" ]]; then
        grep -v 'write with BOM' "$app/err.txt" | tail -20 | sed 's/^/  quillet: /' >&2
    fi
    exit 1
}

# Every accepted capture saves, and every save writes one debug line.
saves_so_far() { grep -c 'write with BOM' "$app/err.txt" 2>/dev/null || true; }

start_program() {
    saves_at_start=$(saves_so_far)
    "$app/quillet" >>"$app/err.txt" 2>&1 &
    quillet_pid=$!
}

# Starts a clipboard owner phase: clipburst MODE A B NAME. The owner of the
# phase before ends when this one takes the clipboard.
start_owner() {
    local name=$4
    local previous=$owner_pid
    "$tools/clipburst" "$1" "$2" "$3" "$work/$name.log" "$name" 2>"$work/$name.err" &
    owner_pid=$!
    if [[ -n "$previous" ]]; then
        wait "$previous" || fail "the clipboard owner before $name failed"
    fi
}

# Taps the hot key while the phase NAME is running (at least once).
probe_during() {
    local name=$1
    "$tools/xpopupprobe" "Input Dialog" 100 300 "$popup_limit" "$work/$name.log.sent" \
        >"$work/$name.probe" 2>&1 || {
        cat "$work/$name.probe" >&2
        fail "the hot key did not bring up and hide the popup during the $name phase"
    }
    check_alive "during the $name phase"
}

# Waits until the phase NAME has offered everything and the program has its
# last text at the head of the history on disk.
settle() {
    local name=$1 sent last
    wait_for "$patience" '[[ -s "$work/$name.log.sent" ]]' || fail "the $name phase did not finish"
    sent=$(cat "$work/$name.log.sent")
    last=$(printf '%s-%05d' "$name" "$sent")
    wait_for "$patience" '[[ "$(head_on_disk)" == "$last" ]]' \
        || fail "after the $name phase the history starts with \"$(head_on_disk)\", not \"$last\""
    check_alive "after the $name phase"
    local seen
    seen=$(wc -l <"$work/$name.log")
    echo "load: $name: $sent texts offered, $seen read by the program"
    total_sent=$((total_sent + sent))
    total_seen=$((total_seen + seen))
}

# Checks the clip list file against the texts read, as listed oldest first
# by the given logs in turn. The clipboard is read off the GUI thread and
# of a run of reads that arrive before the capture runs only the newest is
# taken, so the history is the newest HISTMAX of the texts captured: a
# newest-first selection of the texts read that starts with the newest one.
# How many reads the capture takes depends on how fast the reader reads
# against how fast the capture and its save run; the saves since the start
# (one debug line each) are the captures the history holds at least, up to
# `histmax`.
check_history() {
    local histmax=$1
    shift
    python3 - "$here/lib" "$app/cliplist.dat" "$histmax" "$(($(saves_so_far) - saves_at_start))" "$@" <<'PY' \
        || fail "the final history is wrong"
import sys
sys.path.insert(0, sys.argv[1])
from cliplist import entries
path, histmax, saves, logs = sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5:]
read = []
for log in logs:
    with open(log, encoding="utf-8") as f:
        read += [line.rstrip("\n") for line in f if line.strip()]
newest = list(reversed(read))[:1]
found = entries(path)
position = {text: i for i, text in enumerate(read)}
problems = []
if len(set(found)) != len(found):
    problems.append("%d duplicate entries" % (len(found) - len(set(found))))
strange = [e for e in found if e not in position]
if strange:
    problems.append("%d entries that were never read, e.g. %r" % (len(strange), strange[0]))
order = [position[e] for e in found if e in position]
if any(a <= b for a, b in zip(order, order[1:])):
    problems.append("entries out of order")
if found[:1] != newest:
    problems.append("first entry %r, not the newest %r" % (found[:1], newest))
most = min(histmax, len(read))
least = min(most, saves)
if not least <= len(found) <= most:
    problems.append("%d entries, not %s (%d captures saved)"
                    % (len(found), most if least == most else "%d to %d" % (least, most), saves))
if problems:
    print("load: history of %d entries: %s" % (len(found), "; ".join(problems)), file=sys.stderr)
    sys.exit(1)
print("load: history holds %d of %d texts read, newest first, after %d captures" % (len(found), len(read), saves))
PY
}

# Sets `histmax` in the settings file the program wrote.
set_histmax() {
    python3 - "$app/quillet.ini" "$1" <<'PY'
import sys
path, value = sys.argv[1], sys.argv[2]
raw = open(path, "rb").read()
bom = raw.startswith(b"\xef\xbb\xbf")
lines = raw.decode("utf-8-sig").splitlines()
lines = [l for l in lines if not l.startswith("histmax=")]
if "[General]" in lines:
    lines.insert(lines.index("[General]") + 1, "histmax=" + value)
else:
    lines[:0] = ["[General]", "histmax=" + value, ""]
open(path, "wb").write((b"\xef\xbb\xbf" if bom else b"") + ("\n".join(lines) + "\n").encode("utf-8"))
PY
}

total_sent=0
saves_at_start=0
total_seen=0
stop_children() {
    kill "$owner_pid" 2>/dev/null || true
    wait "$owner_pid" 2>/dev/null || true
    stop_target
    stop_quillet
}

start_desktop
trap 'stop_children; stop_desktop; cleanup_app_dirs' EXIT
app=$(fresh_app_dir)
start_program
start_target
copy_until_captured "load-start"
echo "load-start" >"$work/start.log"

# Burst: the hot key is tapped while the texts keep coming.
start_owner burst "$burst" "$handover" burst
wait_for "$patience" '[[ -s "$work/burst.log" ]]' || fail "the program read nothing of the burst"
probe_during burst
settle burst

# A text that changes every millisecond.
start_owner tick "$tick_seconds" 1 tick
probe_during tick
settle tick

# The same number of texts again with no handover at all.
start_owner burst "$burst" 0 flood
settle flood
# The same taps with the load over, for comparison.
"$tools/xpopupprobe" "Input Dialog" 3 300 "$popup_limit" >"$work/idle.idle" 2>&1 || {
    cat "$work/idle.idle" >&2
    fail "the hot key did not bring up and hide the popup after the load"
}
copy_until_captured "load-end"
wait "$owner_pid" || fail "the flood owner failed"
owner_pid=""
echo "load-end" >"$work/end.log"
logs=("$work/start.log" "$work/burst.log" "$work/tick.log" "$work/flood.log" "$work/end.log")
check_history 500 "${logs[@]}"
check_alive "at the end"
quit_program

# Again with a history of at most 50: the load keeps the newest 50, and so
# does the capture under load.
set_histmax 50
start_program
copy_until_captured "small-start"
echo "small-start" >"$work/small-start.log"
start_owner tick 2 1 small
settle small
copy_until_captured "small-end"
wait "$owner_pid" || fail "the last clipboard owner failed"
owner_pid=""
echo "small-end" >"$work/small-end.log"
check_history 50 "${logs[@]}" "$work/small-start.log" "$work/small.log" "$work/small-end.log"
quit_program
stop_target

worst=$(cat "$work"/*.probe | sed -n 's/^worst: \([0-9.]*\) ms.*/\1/p' | sort -g | tail -n 1)
for name in burst tick flood small; do
    [[ -f "$work/$name.err" ]] && sed "s/^clipburst/load: $name owner/" "$work/$name.err"
done
for name in burst tick; do
    echo "load: hot key during $name: $(tail -n 1 "$work/$name.probe")"
done
echo "load: hot key after the load: $(tail -n 1 "$work/idle.idle")"
echo "load: $total_sent captures sent, $total_seen seen, worst hot-key delay ${worst%.*} ms, final history ok"
