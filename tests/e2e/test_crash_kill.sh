# Crash at any instant: the real program is killed with SIGKILL at random
# moments while clipboard texts arrive, then started again. Each time, the
# history it comes back with must hold everything that was on disk before
# the interrupted saves. KILLS sets the number of kills (default 30).
set -euo pipefail
source "$(dirname "$0")/lib/program.sh"
here=$(cd "$(dirname "$0")" && pwd)
kills=${KILLS:-30}
round=""

fail() {
    echo "crash-kill${round:+ (round $round)}: $*"
    exit 1
}

start_desktop
app=$(fresh_app_dir)
list="$app/cliplist.dat"
decode() { python3 "$here/lib/cliplist.py" "$list" --json; }

pid=
start_program() {
    "$app/quillet" 2>>"$app/stderr.txt" &
    pid=$!
}

# Puts a text on the clipboard; xclip serves it in the background until the
# next owner takes over.
offer() { printf '%s' "$1" | xclip -selection clipboard -i >/dev/null 2>&1; }

start_program
copy_until_captured "marker-0"

lost=0 damaged=0 interrupted=0
for ((i = 1; i <= kills; i++)); do
    before=$(decode) || { damaged=$((damaged + 1)); before='[]'; }
    # A burst from a small pool (duplicates move to the head, so the history
    # grows by one marker per round and is never trimmed), killed at a random
    # moment within it.
    (
        for ((j = 0; j < 6; j++)); do
            offer "burst-$(( (i + j) % 12 ))"
            sleep 0.00$((RANDOM % 9 + 1))
        done
    ) &
    burst=$!
    sleep "0.0$((RANDOM % 60 + 10))"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    wait "$burst" 2>/dev/null || true
    interrupted=$((interrupted + 1))

    after_kill=$(decode) || { damaged=$((damaged + 1)); echo "round $i: damaged file after the kill"; }
    start_program
    round=$i
    copy_until_captured "marker-$i"
    after=$(decode) || { damaged=$((damaged + 1)); after='[]'; }
    missing=$(python3 -c 'import json,sys; b=json.loads(sys.argv[1]); a=set(json.loads(sys.argv[2])); print(len([e for e in b if e not in a]))' "$before" "$after")
    if [[ $missing -ne 0 ]]; then
        echo "round $i: $missing entries lost"
        echo "  before: $before"
        echo "  after kill: ${after_kill:-}"
        echo "  after restart: $after"
        lost=$((lost + missing))
    fi
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "crash-kill: $interrupted kills, $lost entries lost, $damaged damaged reads, final history $(decode | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))') entries"
[[ $lost -eq 0 && $damaged -eq 0 ]]
