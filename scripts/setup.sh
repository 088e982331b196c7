#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing Kestrel needs on Debian 12,
# and only what is missing. Extra package names may be given as arguments.
set -eu

packages="build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools \
libgl-dev qt6-qpa-plugins libqt6svg6 ffmpeg xvfb xauth imagemagick appstream \
desktop-file-utils fonts-dejavu-core libmpv-dev libqt6opengl6-dev dpkg-dev file lintian go-md2man \
parallel $*"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "These Debian packages are missing and I am not root and have no sudo:$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
