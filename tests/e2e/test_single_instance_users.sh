# shellcheck shell=bash
# Single instance against another local user (a second account the test
# makes, quillet-other): a listener of that user on the name earlier versions
# used in the shared /tmp, answering "shown" like a running quillet, does not
# keep the program from starting and docking its tray icon; that user cannot
# reach the new socket in the private folder; a listener of that user planted
# on the new name (by root) is ignored after the peer check; a private folder
# that user made first is refused and the program runs unguarded. Two starts
# of the same user still hand over, and quitting removes the socket file.
# Needs root (to act as the other user); skipped otherwise.
set -euo pipefail
source "$(dirname "$0")/lib/program.sh"

if [[ $(id -u) -ne 0 ]]; then
    echo "single instance users: skipped, only root can act as a second user"
    exit 0
fi

other=quillet-other
made_user=0
if ! id "$other" >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin "$other"
    made_user=1
fi
other_uid=$(id -u "$other")

fail() {
    echo "single instance users: $*"
    for f in "$work"/*.txt; do
        [[ -s "$f" ]] && { echo "--- $f"; cat "$f"; }
    done
    exit 1
}

listener_pids=()
running_pids=()
end_test() {
    local pid
    for pid in "${running_pids[@]}" "${listener_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${running_pids[@]}" "${listener_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    stop_desktop
    cleanup_app_dirs
    [[ $made_user -eq 0 ]] || userdel "$other" 2>/dev/null || true
}

# The private folder: this test does without $XDG_RUNTIME_DIR.
unset XDG_RUNTIME_DIR TMPDIR
private=/tmp/quillet-0

# A folder the other user can reach and write (like /tmp), for its script
# and its sockets.
shared=$(fresh_work_dir shared)
chmod 1777 "$shared"
work=$(fresh_work_dir users)
cat >"$shared/listen.py" <<'EOF'
# Listens on the Unix socket $1 and answers every connection "shown", as a
# running quillet would. Prints "listening", or "denied" when it cannot.
import os, socket, sys
path = sys.argv[1]
server = socket.socket(socket.AF_UNIX)
try:
    server.bind(path)
except OSError as error:
    print("denied:", error.strerror, flush=True)
    sys.exit(3)
os.chmod(path, 0o777)
server.listen(8)
print("listening", flush=True)
while True:
    client, _ = server.accept()
    client.sendall(b"shown\n")
    client.close()
EOF
chmod 644 "$shared/listen.py"

# Starts a listener of the other user on $1; its output goes to $2.
listen_as_other() {
    runuser -u "$other" -- /usr/bin/python3 "$shared/listen.py" "$1" >"$2" 2>&1 &
    listener_pids+=($!)
    wait_for 5000 "grep -q '^listening\|^denied' '$2'" || fail "the listener on $1 did not start"
}
# Whether a connection to socket $1 is answered "shown".
answers_shown() {
    /usr/bin/python3 - "$1" <<'EOF'
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.settimeout(2)
s.connect(sys.argv[1])
sys.exit(0 if s.recv(64).startswith(b"shown") else 1)
EOF
}
# The socket name of a program directory (see SingleInstance::serverName).
name_of() { printf 'quillet-0-%s' "$(printf '%s' "$(realpath "$1")" | sha256sum | cut -c1-16)"; }
# Whether process $1 listens on a local socket and socket file $2 is there
# (ss shows the path Qt bound before it moved the socket into place).
listening_on() { ss -xlp 2>/dev/null | grep -q "pid=$1," && [[ -S "$2" && $(stat -c %u "$2") == 0 ]]; }
tray_icon_of() { [[ -n "$(xdotool search --onlyvisible --pid "$1" 2>/dev/null)" ]]; }
popup_of() { xdotool search --all --onlyvisible --pid "$1" --name '^Input Dialog$' >/dev/null 2>&1; }
# Starts the program of directory $1 with its standard error in $2
# (sets $pid) and waits for its tray icon.
start_from() {
    "$1/quillet" 2>"$2" &
    pid=$!
    running_pids+=("$pid")
    wait_for 8000 "tray_icon_of $pid" || fail "the program of $1 docked no tray icon"
    ! grep -q "another instance" "$2" || fail "the program of $1 believed another instance"
}

start_desktop --wm
trap end_test EXIT

# 1. The old name in /tmp, taken by the other user (with its lock file).
app=$(fresh_app_dir)
name=$(name_of "$app")
rm -f "/tmp/$name" "/tmp/$name.lock"
listen_as_other "/tmp/$name" "$work/old.txt"
grep -q '^listening' "$work/old.txt" || fail "the other user could not listen on /tmp/$name"
runuser -u "$other" -- sh -c "echo 1 > '/tmp/$name.lock'"
[[ $(stat -c %u "/tmp/$name") == "$other_uid" ]] || fail "the squatted socket does not belong to $other"
answers_shown "/tmp/$name" || fail "the squatter does not answer"
start_from "$app" "$work/err1.txt"
first=$pid
wait_for 5000 "listening_on $first $private/$name" || fail "the program does not listen in $private"
[[ $(stat -c '%u %a' "$private") == "0 700" ]] || fail "$private is not private: $(stat -c '%u %a' "$private")"
echo "old name held by $other: the program started and listens on $private/$name"

# 2. The other user cannot reach the new name.
listen_as_other "$private/$name" "$work/new.txt"
grep -q '^denied' "$work/new.txt" || fail "the other user could listen in $private: $(cat "$work/new.txt")"
echo "$other cannot listen in $private: $(cat "$work/new.txt")"

# 3. A second start of the same user hands over: exit 0, the popup shown.
run_start "$work/err2.txt" "$app/quillet"
took=$start_ms
[[ $start_code -eq 0 ]] || fail "the second start exited with $start_code"
grep -q "another instance is running" "$work/err2.txt" || fail "the second start said nothing"
wait_for 3000 "popup_of $first" || fail "the running program did not show its popup"
echo "second start of the same user: exit 0 after $took ms, popup shown"
xdotool key Escape
wait_for 3000 "! popup_of $first" || true

# 4. Quitting removes the socket file.
# shellcheck disable=SC2034  # read by quit_program
quillet_pid=$first
running_pids=()
quit_program
[[ ! -e "$private/$name" ]] || fail "the socket file $private/$name is left after quitting"
echo "quit from the tray menu: $private/$name removed"

# 5. A listener of the other user planted on the new name (only root can
# put it there): the peer's user is checked, and it is not ours.
app2=$(fresh_app_dir)
name2=$(name_of "$app2")
listen_as_other "$shared/planted" "$work/planted.txt"
mv "$shared/planted" "$private/$name2"
answers_shown "$private/$name2" || fail "the planted listener does not answer"
start_from "$app2" "$work/err3.txt"
second=$pid
wait_for 5000 "listening_on $second $private/$name2" || fail "the program did not take over $private/$name2"
[[ $(grep -c "held by a process of another user" "$work/err3.txt") -eq 1 ]] \
    || fail "the program did not say once that the peer is another user's"
echo "planted listener of $other ignored: $(grep "another user" "$work/err3.txt")"

# 6. The private folder made first by the other user is refused: the
# program still starts, unguarded, and says why.
tmp2=$(fresh_work_dir tmp)
chmod 1777 "$tmp2"
app3=$(fresh_app_dir)
name3=$(name_of "$app3")
runuser -u "$other" -- mkdir -m 0777 "$tmp2/quillet-0"
listen_as_other "$tmp2/quillet-0/$name3" "$work/taken.txt"
TMPDIR=$tmp2 start_from "$app3" "$work/err4.txt"
grep -q "cannot watch for a second start (.*belongs to user $other_uid" "$work/err4.txt" \
    || fail "the refused folder was not reported"
echo "private folder made by $other refused: $(cat "$work/err4.txt")"

echo "single instance users: ok"
