# Runs Windows programs under Wine on the virtual desktop of the end-to-end
# tests (tests/e2e/lib/desktop.sh).
#   source tests/wine/lib/wine.sh
#   start_desktop [--wm]; start_wine     # a fresh Wine prefix on that display
#   stop_wine                            # ends its programs; on exit too
# Reuses the prefix named by QUILLET_WINEPREFIX when set (the test stage makes
# one per run, as a fresh prefix takes 10 to 25 s); otherwise makes its own
# temporary one and removes it on exit.
# shellcheck shell=bash

WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUILLET_SRC=${QUILLET_SRC:-$(cd "$WINE_LIB_DIR/../../.." && pwd)}
export QUILLET_BUILD=${QUILLET_BUILD:-$QUILLET_SRC/build}
export QUILLET_WIN_BUILD=${QUILLET_WIN_BUILD:-$QUILLET_SRC/build-win}
# shellcheck source=../../e2e/lib/desktop.sh
source "$QUILLET_SRC/tests/e2e/lib/desktop.sh"

WINE_OWN_PREFIX=""

export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=-all
export WINEARCH=win64
unset QT_QPA_PLATFORM

# Ends every program of the prefix and its server; the prefix stays.
stop_wine() {
    if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
        timeout 20 wineserver -k 2>/dev/null || true
        timeout 20 wineserver -w 2>/dev/null || true
    fi
}

wine_cleanup() {
    stop_wine
    if [[ -n "$WINE_OWN_PREFIX" ]]; then
        rm -rf "$WINE_OWN_PREFIX"
        WINE_OWN_PREFIX=""
    fi
    stop_desktop
    cleanup_app_dirs
}
trap wine_cleanup EXIT

# Makes (or reuses) the Wine prefix and starts its server on $DISPLAY.
start_wine() {
    if [[ -n "${QUILLET_WINEPREFIX:-}" ]]; then
        export WINEPREFIX=$QUILLET_WINEPREFIX
    else
        WINE_OWN_PREFIX=$(mktemp -d /tmp/quillet-wine.XXXXXX)
        export WINEPREFIX=$WINE_OWN_PREFIX
    fi
    # start_desktop sets its own exit trap; ours also ends Wine.
    trap wine_cleanup EXIT
    timeout 180 wineboot -i >/dev/null 2>&1 || { echo "wine: the prefix could not be made" >&2; return 1; }
}

# The Windows path of a Unix path (Wine maps / to drive Z:).
wine_path() {
    local path
    path=$(realpath -m "$1")
    echo "Z:${path//\//\\}"
}
