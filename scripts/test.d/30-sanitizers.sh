# The unit tests once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer: any report fails the stage.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
dir=${QUILLET_BUILD:-build}-sanitize
build_tree "$dir" Debug -DQUILLET_WERROR=ON -DQUILLET_SANITIZE=address,undefined -DQUILLET_BENCH=OFF
# Full stacks (Qt has no frame pointers), deep enough to reach the Qt
# function a suppression names.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:fast_unwind_on_malloc=0:malloc_context_size=12"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$dir" --output-on-failure -j2
