#!/bin/sh
# Installs what is needed, builds Pondra and starts it (under Xvfb when there is no display).
set -e
cd "$(dirname "$0")/.."
[ -n "$SKIP_INSTALL" ] || scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build} scripts/build.sh -DBUILD_TESTING=OFF
PROGRAM="${BUILD_DIR:-build}/app/Pondra"
if [ ! -x "$PROGRAM" ]; then
    echo "Pondra was not built: $PROGRAM is missing." >&2
    exit 1
fi
if [ -n "$DISPLAY" ]; then
    exec "$PROGRAM" "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$PROGRAM" "$@"
