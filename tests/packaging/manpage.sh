#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The man page formats without a single groff warning, has a NAME line whatis can read, and its header
# names the project's version and every long option the program's --help lists.
#   manpage.sh MAN_PAGE VERSION PROGRAM
set -euo pipefail
page=$1
version=$2
program=$3

if ! command -v groff >/dev/null; then
    echo "SKIP: groff is not installed (groff-base)"
    exit 77
fi
warnings=$(groff -man -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
    echo "groff warnings for $page:"
    echo "$warnings"
    exit 1
fi
if command -v lexgrog >/dev/null && ! lexgrog "$page"; then
    echo "lexgrog cannot read the NAME section of $page"
    exit 1
fi
if ! grep -q "^\.TH VORNKIP 1 .*\"vornkip $version\"" "$page"; then
    echo "the .TH line of $page does not name vornkip $version:"
    grep '^\.TH' "$page"
    exit 1
fi
options=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || { echo "$program --help lists no long option"; exit 1; }
for option in $options; do
    if ! grep -q -- "\\\\-\\\\-${option#--}" "$page"; then
        echo "$page does not describe $option, which $program --help lists"
        exit 1
    fi
done
echo "ok: $page"
