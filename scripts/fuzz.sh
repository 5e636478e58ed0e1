#!/usr/bin/env bash
# Feeds N generated inputs (default 1,000,000) through the program's readers: the history and
# template files, settings.ini, the envelope opener, the filter's folding and matching and the
# clipboard text reader. Each input must neither crash (the driver is built with the checked
# flags: undefined behaviour traps, the standard library asserts) nor take more than a second,
# and what is written and read again must come back the same. Failing inputs are saved in
# build/fuzz-failures/ (<target>-<seed>-<index>.bin, with a .txt that says what failed); copy
# one into tests/fuzz-regressions/ to keep it as a unit test. The last line is
# "N inputs, K failures"; the exit status is non-zero when K > 0.
#   ./scripts/fuzz.sh [N]
#   NOMACLIP_FUZZ_SEED   run seed (default 1): the same seed gives the same inputs
#   NOMACLIP_FUZZ_EXE    a driver that is already built (the suite's "fuzz" test); else it is built
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
count="${1:-1000000}"
seed="${NOMACLIP_FUZZ_SEED:-1}"
case "$count$seed" in *[!0-9]*) echo "usage: $0 [N]  (N and NOMACLIP_FUZZ_SEED are whole numbers)" >&2; exit 2 ;; esac

exe="${NOMACLIP_FUZZ_EXE:-}"
if [ -z "$exe" ]; then
    "$root/scripts/build.sh" --target nomaclip_fuzz >/dev/null
    exe="$build/tests/nomaclip_fuzz/nomaclip_fuzz.exe"
fi
export NOMACLIP_WINEPREFIX="${NOMACLIP_WINEPREFIX:-$build/wineprefix}"
failures_dir="$build/fuzz-failures"
mkdir -p "$failures_dir"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

started=$SECONDS
failures=0
next=0
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
while [ "$next" -lt "$count" ]; do
    # The driver runs the inputs from $next on; after a crash or a hang it reports the input,
    # says "stopped <index>" and ends, and a new driver goes on after that input.
    set +e
    (cd "$(dirname "$exe")" && "$root/scripts/wine-run.sh" "./$(basename "$exe")" \
        --seeds "$(windows_path "$root/tests/fuzz-seeds")" --failures "$(windows_path "$failures_dir")" \
        --from "$next" --to "$count" --seed "$seed") </dev/null | tee "$log"
    status=${PIPESTATUS[0]}
    set -e
    failures=$((failures + $(grep -c '^failure ' "$log" || true)))
    stopped="$(sed -n 's/^stopped \([0-9]*\)$/\1/p' "$log" | tail -n 1)"
    if grep -q '^finished ' "$log" && [ "$status" -eq 0 ]; then
        break
    elif [ -n "$stopped" ]; then
        next=$((stopped + 1))
    else
        echo "failure: the fuzz driver ended without saying where (exit status $status)"
        failures=$((failures + 1))
        break
    fi
done
echo "($((SECONDS - started)) s; failing inputs are in $failures_dir)"
echo "$count inputs, $failures failures"
[ "$failures" -eq 0 ]
