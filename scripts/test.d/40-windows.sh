# shellcheck shell=bash
# The Windows build: cross-compiles the program and its unit tests, runs every
# unit test under Wine (windows platform, inside Xvfb with a window manager,
# results read from files since Wine gives them no console), then the Wine
# end-to-end tests (tests/wine/test_*.sh).
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
start=$SECONDS

bash scripts/build-windows >/tmp/quillet-build-windows.$$.log 2>&1 || {
    cat /tmp/quillet-build-windows.$$.log
    rm -f /tmp/quillet-build-windows.$$.log
    echo "FAIL the Windows build"
    exit 1
}
tail -n 1 /tmp/quillet-build-windows.$$.log
rm -f /tmp/quillet-build-windows.$$.log
echo "built in $((SECONDS - start)) s"

source tests/wine/lib/wine.sh
tests_dir=$QUILLET_WIN_BUILD/dist/tests
results=$(mktemp -d /tmp/quillet-wine-results.XXXXXX)
cleanup_stage() {
    wine_cleanup
    rm -rf "$results"
}
trap cleanup_stage EXIT

start_desktop --wm || exit 1
step=$SECONDS
start_wine || exit 1
trap cleanup_stage EXIT
echo "Wine prefix ready in $((SECONDS - step)) s"

failed=0
shopt -s nullglob
# Every unit test but the X11 ones is built for Windows: a test missing from
# the folder (or an empty folder) fails the stage instead of passing unseen.
expected=0
for source in tests/unit/tst_*.cpp; do
    name=$(basename "$source" .cpp)
    [[ $name == tst_x11* ]] && continue
    expected=$((expected + 1))
    if [[ ! -f "$tests_dir/$name.exe" ]]; then
        echo "FAIL $name: not built for Windows"
        failed=1
    fi
done
found=("$tests_dir"/tst_*.exe)
if ((${#found[@]} < expected)); then
    echo "FAIL only ${#found[@]} of $expected unit test programs built for Windows"
    failed=1
fi
for exe in "${found[@]}"; do
    name=$(basename "$exe" .exe)
    out=$results/$name.txt
    step=$SECONDS
    # The platform comes from the environment: tests without a GUI application
    # would take a -platform argument for an unknown test option.
    (cd "$tests_dir" && QT_QPA_PLATFORM=windows QT_LOGGING_RULES='qt.qpa.*=false' timeout 300 \
        wine "$exe" -o "$(wine_path "$out"),txt" >/dev/null 2>&1)
    code=$?
    totals=$(grep -a '^Totals:' "$out" 2>/dev/null)
    if [[ $code -eq 0 && "$totals" == *" 0 failed,"* ]]; then
        echo "PASS $name under Wine: ${totals#Totals: } ($((SECONDS - step)) s)"
        # Skipped cases are named, so that what Wine cannot run is seen.
        grep -a -A1 '^SKIP ' "$out" | grep -a -v '^--$' | sed 's/^/  /'
    else
        echo "FAIL $name under Wine (exit code $code, $((SECONDS - step)) s)"
        if [[ -s "$out" ]]; then
            grep -a -v '^PASS ' "$out"
        else
            echo "  no results written"
        fi
        failed=1
    fi
done
stop_wine
stop_desktop

# The zip a user downloads, unpacked into a fresh folder: the end-to-end
# tests run the program from there, with what the zip holds and nothing else.
zip=$(bash scripts/package-windows 2>/dev/null | tail -n 1)
unpacked=$(mktemp -d /tmp/quillet-unzipped.XXXXXX)
trap 'cleanup_stage; rm -rf "$unpacked"' EXIT
if [[ -f "$zip" ]] && unzip -q "$zip" -d "$unpacked"; then
    for file in quillet.exe Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll Qt5Network.dll platforms/qwindows.dll \
        libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll README.txt LICENSES/README.txt \
        LICENSES/LGPL-3.0.txt LICENSES/GPL-3.0.txt LICENSES/MinGW-w64-GCC-runtime.txt \
        LICENSES/MinGW-w64-runtime.txt; do
        [[ -s "$unpacked/quillet/$file" ]] || { echo "FAIL the zip lacks $file"; failed=1; }
    done
    echo "zip: $(basename "$zip"), $(du -k "$zip" | cut -f1) KB, $(unzip -Z1 "$zip" | grep -vc '/$') files"
    export QUILLET_WIN_APP=$unpacked/quillet
else
    echo "FAIL the Windows zip (scripts/package-windows)"
    failed=1
fi

# The end-to-end tests share the prefix made above; each runs its own desktop.
export QUILLET_WINEPREFIX=$WINEPREFIX
for test in tests/wine/test_*.sh; do
    step=$SECONDS
    if timeout 600 bash "$test"; then
        echo "PASS $(basename "$test") ($((SECONDS - step)) s)"
    else
        echo "FAIL $(basename "$test") ($((SECONDS - step)) s)"
        failed=1
    fi
done

echo "Windows stage: $((SECONDS - start)) s"
exit $failed
