#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the built app, or says in one line why it cannot show a window.
set -eu
app="$1/bin/kestrel"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "kestrel: no display found (DISPLAY and WAYLAND_DISPLAY are unset); to run it without one: xvfb-run -a $app" >&2
    exit 1
fi
exec "$app"
