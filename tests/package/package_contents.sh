#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Packages the build tree as `make package` does its Release tree, unpacks the
# .deb and checks that it holds a Kestrel that starts and finds its tools.
# Usage: package_contents.sh BUILD_DIR SCRATCH_DIR VERSION APP_ID FFPROBE FFMPEG
set -eu
build=$1 scratch=$2 version=$3 app_id=$4 ffprobe=$5 ffmpeg=$6

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch"
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack did not build the package"
fi
deb=$scratch/kestrel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") in $scratch"
root=$scratch/root
dpkg-deb -x "$deb" "$root"

# What it runs or loads without linking it.
for needed in ffmpeg libmpv2 qt6-qpa-plugins libqt6svg6; do
    dpkg-deb -f "$deb" Depends | grep -qw "$needed" || fail "the package does not depend on $needed"
done

[ -x "$root/usr/bin/kestrel" ] || fail "no executable usr/bin/kestrel"

# A relative link is read from where it will be installed.
for entry in "sniffer $ffprobe" "creator $ffmpeg"; do
    name=${entry%% *} tool=${entry#* }
    link=$root/usr/libexec/kestrel/$name
    [ -L "$link" ] || fail "usr/libexec/kestrel/$name is not a link"
    target=$(readlink "$link")
    case $target in
        /*) ;;
        *) target=$(realpath -m "/usr/libexec/kestrel/$target") ;;
    esac
    [ "$target" = "$tool" ] || fail "$name points at $target, not at $tool"
done

grep -qx 'Exec=kestrel %f' "$root/usr/share/applications/$app_id.desktop" \
    || fail "the desktop entry does not start 'kestrel %f'"
gzip -dc "$root/usr/share/man/man1/kestrel.1.gz" | grep -q '^\.SS Keyboard' \
    || fail "the manual page has no keyboard table"
grep -q "<id>$app_id</id>" "$root/usr/share/metainfo/$app_id.metainfo.xml" \
    || fail "no metainfo for $app_id"
grep -q 'complete .*-F _kestrel kestrel' "$root/usr/share/bash-completion/completions/kestrel" \
    || fail "no bash completion for kestrel"

answer=$("$root/usr/bin/kestrel" --version) || fail "the unpacked kestrel --version failed"
[ "$answer" = "kestrel $version" ] || fail "kestrel --version answered '$answer'"
echo "$(basename "$deb"): contents as expected"
