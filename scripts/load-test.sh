#!/bin/sh
# Builds Pondra and runs the whole test suite REPEAT times (default 5), each time with one busy loop
# per processor core beside it and as many tests at once as there are cores: the suite must hold on
# a busy machine. Prints one line per run; fails when any run failed. Logs: BUILD_DIR/load-test-N.log.
# Usage: scripts/load-test.sh [REPEAT] [extra CMake arguments]
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
repeat=${1:-5}
[ $# -eq 0 ] || shift
BUILD_DIR=${BUILD_DIR:-build}
BUILD_DIR=$BUILD_DIR scripts/build.sh -DBUILD_TESTING=ON "$@"
failed=0
for run in $(seq "$repeat"); do
    log="$BUILD_DIR/load-test-$run.log"
    start=$(date +%s)
    if (cd "$BUILD_DIR" && "$root/scripts/under-load.sh" ctest --output-on-failure -j"$(nproc)") >"$log" 2>&1; then
        result="green"
    else
        result="FAILED: $(grep -E '^\s+[0-9]+ - ' "$log" | sed 's/^ *[0-9]* - //' | tr '\n' ' ')"
        failed=$((failed + 1))
    fi
    echo "run $run of $repeat: $result ($(($(date +%s) - start)) s; $(grep -E 'tests passed' "$log"))"
done
[ "$failed" -eq 0 ]
