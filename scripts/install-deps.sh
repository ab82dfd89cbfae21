#!/bin/sh
# Installs everything Pondra needs to build, run and test on Debian 12.
set -e
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    build-essential cmake pkg-config git ca-certificates \
    libgtest-dev libgmock-dev libbenchmark-dev \
    libwxgtk3.2-dev libx11-dev libxtst-dev libxfixes-dev libzip-dev libpugixml-dev \
    xvfb xauth x11-xkb-utils xdotool openbox python3 python3-openpyxl \
    clang libclang-rt-14-dev iproute2 locales >/dev/null
# One test checks that number formatting ignores a German locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$'; then
    $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    $SUDO locale-gen >/dev/null
fi
