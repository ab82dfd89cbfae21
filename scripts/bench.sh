#!/bin/sh
# Builds Pondra with its benchmarks and prints every speed figure in one run: the stream engine
# beside a plain read(4096) loop (1 to 64 scales, full speed and paced at 115200 baud), then the
# real program's transfer (delay to the data log, loss in "Stream" mode, the window thread's time
# per reading, memory, CPU while idle). Figures only: nothing fails on a slow machine.
# PONDRA_BENCH_REPEATS sets the alternating runs of the stream benchmark (3).
set -e
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
BUILD_DIR=$BUILD_DIR scripts/build.sh -DPONDRA_BENCH=ON "$@"
"$BUILD_DIR/bench/stream_bench"
"$BUILD_DIR/bench/transfer_bench"
