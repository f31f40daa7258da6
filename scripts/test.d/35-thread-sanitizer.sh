# The unit tests once more, built with ThreadSanitizer: any report fails the
# stage. Qt itself is not built for the tool, so what happens inside Qt is
# not checked (ignore_noninstrumented_modules) and the program marks its
# own hand-overs between threads (src/background/handover.h); the one
# suppression left is explained in tests/sanitizer/tsan.supp.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
dir=${QUILLET_BUILD:-build}-tsan
build_tree "$dir" Debug -DQUILLET_WERROR=ON -DQUILLET_SANITIZE=thread -DQUILLET_BENCH=OFF
export TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:ignore_noninstrumented_modules=1:second_deadlock_stack=1:suppressions=$PWD/tests/sanitizer/tsan.supp"
# The kill test's children run under the tool too: fewer rounds.
export QUILLET_KILL_ROUNDS=40
ctest --test-dir "$dir" --output-on-failure -j2
