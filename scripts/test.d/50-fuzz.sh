# Builds the fuzz targets with clang and runs each for a short while on a
# copy of its seed corpus (fuzz/corpus/<target>): any crash, hang, sanitizer
# report or failed check fails the stage.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
dir=$(realpath -m "${QUILLET_BUILD:-build}-fuzz")
seconds=${QUILLET_FUZZ_SECONDS:-30}
# Only the fuzz targets and the few sources they read with are built.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQUILLET_FUZZ=ON -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target fuzzers

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work
# Leaks are left to the sanitizer stage: Qt keeps allocations for the life
# of the process that would drown the fuzzer's own reports.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
failed=0
for corpus in fuzz/corpus/*/; do
    target=$(basename "$corpus")
    mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
    cp "$corpus"* "$work/$target/corpus/"
    if (cd "$work/$target" && "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" corpus \
        >log 2>&1); then
        echo "$target: $(grep -o 'number_of_executed_units: [0-9]*' "$work/$target/log" | tail -1)"
    else
        failed=1
        echo "$target: FAILED"
        tail -40 "$work/$target/log"
        for artifact in "$work/$target/artifacts/"*; do
            [[ -e "$artifact" ]] && echo "input $(basename "$artifact"): $(base64 -w0 "$artifact" | head -c 2000)"
        done
    fi
done
exit $failed
