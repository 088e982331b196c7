#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every libFuzzer executable of a fuzz build for a bounded number of
# inputs, starting from the hand-written seeds in fuzz/corpus/<target>/.
# Usage: scripts/fuzz.sh <build folder> [runs]
set -eu

build=${1:?usage: $0 <build folder> [runs]}
runs=${2:-20000}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

found=0
failed=0
for fuzzer in "$build"/fuzz/*; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    found=$((found + 1))
    name=$(basename "$fuzzer")
    seeds="$source_dir/fuzz/corpus/$name"
    # New inputs go to a scratch corpus so the committed seeds stay as written.
    work=$(mktemp -d)
    echo "== $name: $runs runs"
    if [ -d "$seeds" ]; then
        set -- "$work" "$seeds"
    else
        set -- "$work"
    fi
    if UBSAN_OPTIONS=print_stacktrace=1 \
        "$fuzzer" -runs="$runs" -max_len=65536 -timeout=10 -artifact_prefix="$build/fuzz/$name-" \
        "$@"; then
        echo "== $name: passed"
    else
        echo "== $name: FAILED" >&2
        failed=$((failed + 1))
    fi
    rm -rf "$work"
done

if [ "$found" -eq 0 ]; then
    echo "No fuzz executables in $build/fuzz" >&2
    exit 1
fi
[ "$failed" -eq 0 ]
