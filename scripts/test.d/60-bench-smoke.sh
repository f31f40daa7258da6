# The benchmarks, each run once at its smallest size so that they keep
# building and running. Their figures are not checked: speed gates nothing.
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${QUILLET_BUILD:-build}
cmake --build "$build" || exit 1
bench_dir="$build/bench"
[[ -d "$bench_dir" ]] || { echo "no benchmarks in $build (QUILLET_BENCH is off)"; exit 1; }
unset DBUS_SESSION_BUS_ADDRESS
failed=0
for name in bench_capture bench_filter bench_select bench_show; do
    if ! QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='*.debug=false' timeout 300 "$bench_dir/$name" --smoke; then
        echo "FAIL $name"
        failed=1
    fi
done
(
    export QUILLET_BUILD=$build
    source tests/e2e/lib/desktop.sh
    start_desktop || exit 1
    status=0
    for name in bench_startup bench_memory bench_hotkey; do
        if ! timeout 300 "$bench_dir/$name" --smoke; then
            echo "FAIL $name"
            status=1
        fi
    done
    exit $status
) || failed=1
exit $failed
