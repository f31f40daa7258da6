# Install and uninstall for one user, in a temporary home: the program goes
# into a directory the user owns, with a link, menu and login entries and
# icons; started through the link on a desktop with a tray it runs and keeps
# its files in its own directory; uninstalling removes what was installed and
# leaves the history. Uses the tests' build tree (QUILLET_BUILD); set
# QUILLET_TEST_FULL_INSTALL=1 to let scripts/install build its own as well.
set -euo pipefail
source "$(dirname "$0")/lib/desktop.sh"
src=$(cd "$(dirname "$0")/../.." && pwd)

root=$(fresh_work_dir install)
chmod 755 "$root"

fail() {
    echo "install: $*"
    [[ -f "$root/err.txt" ]] && cat "$root/err.txt"
    exit 1
}
# Files and links under $1, as paths relative to it, sorted.
tree_of() { (cd "$1" && find . -mindepth 1 \( -type f -o -type l \) | sed 's|^\./||' | sort); }
listening() { ss -xlp 2>/dev/null | grep -q "pid=$1,"; }

install_quillet() {
    bash "$src/scripts/install" --build-dir "$QUILLET_BUILD" --no-build "$@" >"$root/out.txt" 2>"$root/err.txt" ||
        fail "scripts/install $* failed: $(cat "$root/out.txt")"
}

# --- A directory the user cannot write is refused before anything happens.
nobody_home="$root/nobody"
mkdir -p "$nobody_home"
target=/usr/lib/quillet-install-test
as_user=()
if [[ $(id -u) -eq 0 ]]; then
    # root writes anywhere: ask as an ordinary user, from a copy of the
    # scripts that user can read.
    mkdir -p "$root/scripts"
    cp "$src/scripts/install" "$src/scripts/lib.sh" "$root/scripts/"
    chmod -R a+rX "$root/scripts"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    script="$root/scripts/install"
else
    script="$src/scripts/install"
fi
set +e
HOME=$nobody_home "${as_user[@]}" bash "$script" --prefix "$target" --no-build >"$root/out.txt" 2>"$root/err.txt"
code=$?
set -e
[[ $code -ne 0 ]] || fail "an unwritable directory was accepted"
grep -q "cannot install into $target: you cannot write there" "$root/err.txt" || fail "no clear refusal"
[[ ! -e "$target" && -z "$(ls -A "$nobody_home")" ]] || fail "a refused install left files behind"

# --- Install with the defaults, into a fresh home.
export HOME="$root/home"
unset XDG_DATA_HOME XDG_CONFIG_HOME
mkdir -p "$HOME/.local/share/applications" "$HOME/.local/bin"
# Things of the user's own that the install and uninstall must leave alone.
echo keep >"$HOME/.local/share/applications/other.desktop"
echo keep >"$HOME/.local/bin/other"
prefix="$HOME/.local/opt/quillet"
install_quillet --autostart

[[ -x "$prefix/quillet" ]] || fail "no program in $prefix"
[[ "$(readlink "$HOME/.local/bin/quillet")" == "$prefix/quillet" ]] || fail "no link in ~/.local/bin"
menu="$HOME/.local/share/applications/quillet.desktop"
login="$HOME/.config/autostart/quillet.desktop"
desktop-file-validate "$src/resources/quillet.desktop" || fail "the menu entry source is not valid"
for entry in "$menu" "$login"; do
    [[ -f "$entry" ]] || fail "missing $entry"
    desktop-file-validate "$entry" || fail "$entry is not valid"
    grep -qx "Exec=$prefix/quillet" "$entry" || fail "$entry does not start $prefix/quillet"
    grep -qx "Name=Quillet" "$entry" && grep -qx "Icon=quillet" "$entry" &&
        grep -qx "Categories=Utility;" "$entry" || fail "$entry lacks the name, icon or category"
done
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
    icon="$HOME/.local/share/icons/hicolor/$size/apps/quillet.png"
    [[ -f "$icon" ]] || fail "missing icon $icon"
done
manifest="$prefix/install-manifest.txt"
for f in "$prefix/quillet" "$prefix/uninstall" "$HOME/.local/bin/quillet" "$menu" "$login"; do
    grep -qxF "$f" "$manifest" || fail "$f is not in the manifest"
done
grep -qE '/other(\.desktop)?$' "$manifest" && fail "the manifest lists files of the user's own"

# --- Started through its link on a desktop with a tray, it docks its icon and
# runs from its own directory: a start by the real path is the same program,
# and a capture writes the history there (and nowhere else).
start_desktop
"$HOME/.local/bin/quillet" 2>"$root/err.txt" &
pid=$!
wait_for 5000 "listening $pid" || fail "the installed program did not start"
# (Its one visible window until the popup is asked for is the tray icon.)
wait_for 5000 "xdotool search --onlyvisible --pid $pid >/dev/null 2>&1" ||
    fail "the installed program docked no tray icon"
[[ "$(readlink "/proc/$pid/exe")" == "$(realpath "$prefix/quillet")" ]] || fail "wrong program started"
set +e
timeout 20 "$prefix/quillet" 2>"$root/err2.txt"
code=$?
set -e
[[ $code -eq 0 ]] && grep -q "another instance is running from $prefix" "$root/err2.txt" ||
    fail "the program started through the link did not take $prefix as its directory: $(cat "$root/err2.txt")"

text="quillet install test $$ $RANDOM"
printf '%s' "$text" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
clip=$!
if wait_for 5000 '[[ -s "$prefix/cliplist.dat" ]]'; then
    wait_for 2000 '[[ -s "$prefix/quillet.ini" ]]' || fail "no settings file after a capture"
    echo "install: the capture was saved in $prefix"
else
    fail "no history file in $prefix after a capture"
fi
kill "$clip" 2>/dev/null || true
[[ "$(tree_of "$HOME/.local/bin")" == "$(printf 'other\nquillet')" ]] || fail "files were written beside the link"
kill -0 "$pid" 2>/dev/null || fail "the installed program ended"

# Uninstalling under a running program is refused: it would write again.
set +e
"$prefix/uninstall" >"$root/out.txt" 2>"$root/err.txt"
code=$?
set -e
[[ $code -ne 0 ]] && grep -q "is running" "$root/err.txt" || fail "uninstall went ahead under a running program"
[[ -x "$prefix/quillet" ]] || fail "a refused uninstall removed files"
kill "$pid"
wait "$pid" 2>/dev/null || true
stop_desktop

# --- Uninstall: everything installed goes, the history and settings stay.
for own in cliplist.dat cliplist.dat.bak quillet.ini quillet.qss; do
    [[ -e "$prefix/$own" ]] || echo "made by the test" >"$prefix/$own"
done
mkdir -p "$prefix/list"
echo "keyword" >"$prefix/list/.lst"
history_sum=$(cat "$prefix/cliplist.dat" "$prefix/quillet.ini" | md5sum)
"$prefix/uninstall" >"$root/out.txt" 2>"$root/err.txt" || fail "uninstall failed"
# (The manifest stays, reduced to the directories the history still holds.)
expected=$(printf '%s\n' .local/bin/other .local/opt/quillet/cliplist.dat .local/opt/quillet/cliplist.dat.bak \
    .local/opt/quillet/install-manifest.txt .local/opt/quillet/list/.lst .local/opt/quillet/quillet.ini \
    .local/opt/quillet/quillet.qss .local/share/applications/other.desktop)
[[ "$(tree_of "$HOME")" == "$expected" ]] || fail "uninstall left or took the wrong files: $(tree_of "$HOME")"
[[ ! -e "$HOME/.local/share/icons" && ! -e "$HOME/.config" ]] || fail "uninstall left the directories it made"
grep -q "Kept your history" "$root/out.txt" || fail "uninstall did not say what it kept"
[[ "$(cat "$prefix/install-manifest.txt")" == "$(printf '%s\n' "$prefix/" "$HOME/.local/opt/")" ]] ||
    fail "the kept manifest is not just the kept directories: $(cat "$prefix/install-manifest.txt")"

# Installing again keeps the history; uninstall --purge removes it as well.
install_quillet
[[ "$(cat "$prefix/cliplist.dat" "$prefix/quillet.ini" | md5sum)" == "$history_sum" ]] || fail "reinstalling changed the history"
bash "$src/scripts/uninstall" --purge >"$root/out.txt" 2>"$root/err.txt" || fail "uninstall --purge failed"
[[ "$(tree_of "$HOME")" == "$(printf '%s\n' .local/bin/other .local/share/applications/other.desktop)" ]] ||
    fail "uninstall --purge left files: $(tree_of "$HOME")"
[[ ! -e "$HOME/.local/opt" ]] || fail "uninstall --purge left the program directory"

# --- XDG_DATA_HOME and XDG_CONFIG_HOME are followed; a directory name with
# a space is quoted in the entries; a file of the user's where the link goes
# stops the install.
export HOME="$root/home2" XDG_DATA_HOME="$root/data" XDG_CONFIG_HOME="$root/config"
mkdir -p "$HOME"
prefix="$root/my apps/quillet"
install_quillet --prefix "$prefix" --autostart
for entry in "$XDG_DATA_HOME/applications/quillet.desktop" "$XDG_CONFIG_HOME/autostart/quillet.desktop"; do
    desktop-file-validate "$entry" || fail "$entry is not valid"
    grep -qxF "Exec=\"$prefix/quillet\"" "$entry" || fail "$entry does not quote the program's path"
done
[[ -f "$XDG_DATA_HOME/icons/hicolor/48x48/apps/quillet.png" ]] || fail "icons not under XDG_DATA_HOME"
[[ ! -e "$HOME/.local/share" && ! -e "$HOME/.config" ]] || fail "the install ignored XDG_DATA_HOME or XDG_CONFIG_HOME"
bash "$src/scripts/uninstall" --prefix "$prefix" >"$root/out.txt" 2>"$root/err.txt" || fail "uninstall failed"
[[ ! -e "$root/data" && ! -e "$root/config" && ! -e "$root/my apps" && -z "$(tree_of "$HOME")" ]] ||
    fail "uninstall left files: $(find "$root/data" "$root/config" "$root/my apps" "$HOME" 2>/dev/null)"

rm -f "$HOME/.local/bin/quillet"
mkdir -p "$HOME/.local/bin"
echo "mine" >"$HOME/.local/bin/quillet"
set +e
bash "$src/scripts/install" --build-dir "$QUILLET_BUILD" --no-build >"$root/out.txt" 2>"$root/err.txt"
code=$?
set -e
[[ $code -ne 0 ]] && grep -q "not a link" "$root/out.txt" "$root/err.txt" || fail "a file of the user's was overwritten"
[[ "$(cat "$HOME/.local/bin/quillet")" == mine ]] || fail "the user's file was changed"
unset XDG_DATA_HOME XDG_CONFIG_HOME

# --- The script's own build (slow: a Release build of its own).
if [[ "${QUILLET_TEST_FULL_INSTALL:-}" == 1 ]]; then
    export HOME="$root/home3"
    mkdir -p "$HOME"
    bash "$src/scripts/install" --build-dir "$root/build" >"$root/out.txt" 2>"$root/err.txt" ||
        fail "scripts/install with its own build failed: $(tail -20 "$root/out.txt")"
    [[ -x "$HOME/.local/opt/quillet/quillet" ]] || fail "the built program was not installed"
    "$HOME/.local/opt/quillet/uninstall" >/dev/null || fail "uninstall after a full install failed"
fi
echo "install: ok"
