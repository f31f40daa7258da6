# End-to-end tests: every tests/e2e/test_*.sh, each on its own virtual desktop.
set -uo pipefail
cd "$(dirname "$0")/../.."
failed=0
for test in tests/e2e/test_*.sh; do
    [[ -e "$test" ]] || continue
    start=$SECONDS
    if timeout 600 bash "$test"; then
        echo "PASS $(basename "$test") ($((SECONDS - start)) s)"
    else
        echo "FAIL $(basename "$test") ($((SECONDS - start)) s)"
        failed=1
    fi
done
exit $failed
