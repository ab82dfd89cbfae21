#!/bin/sh
# Installs what is needed, builds Pondra and its tests, and runs every test.
set -e
cd "$(dirname "$0")/.."
[ -n "$SKIP_INSTALL" ] || scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build} scripts/build.sh -DBUILD_TESTING=ON "$@"
cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)"
