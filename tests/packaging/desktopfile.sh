#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop entry passes desktop-file-validate with nothing to say (no error, warning or hint), and
# names the icon and program that are installed; each PNG of the icon, in its NxN folder, is a PNG
# image of N by N pixels.
#   desktopfile.sh DESKTOP_FILE ICON_FILE [NxN/ICON.png ...]
set -euo pipefail
desktop=$1
icon=$2
shift 2

if ! command -v desktop-file-validate >/dev/null; then
    echo "SKIP: desktop-file-validate is not installed (desktop-file-utils)"
    exit 77
fi
status=0
report=$(desktop-file-validate "$desktop" 2>&1) || status=$?
if [ "$status" -ne 0 ] || [ -n "$report" ]; then
    echo "desktop-file-validate $desktop (status $status):"
    echo "$report"
    exit 1
fi

value() { sed -n "s/^$1=//p" "$desktop"; }
if [ "$(value Icon).svg" != "$(basename "$icon")" ]; then
    echo "Icon=$(value Icon) does not name the installed icon $(basename "$icon")"
    exit 1
fi
if [ "$(value Exec)" != vornkip ]; then
    echo "Exec=$(value Exec), expected vornkip"
    exit 1
fi
for png in "$@"; do
    size=$(basename "$(dirname "$png")")
    if [ "$(basename "$png")" != "$(value Icon).png" ]; then
        echo "$png does not carry the icon name $(value Icon)"
        exit 1
    fi
    # The signature, then the IHDR chunk: width and height as 4-byte big-endian numbers.
    if [ "$(od -An -tx1 -N8 "$png" | tr -d ' \n')" != 89504e470d0a1a0a ]; then
        echo "$png is not a PNG image"
        exit 1
    fi
    read -r -a dims < <(od -An -tu1 -j16 -N8 "$png")
    width=$(((dims[0] << 24) | (dims[1] << 16) | (dims[2] << 8) | dims[3]))
    height=$(((dims[4] << 24) | (dims[5] << 16) | (dims[6] << 8) | dims[7]))
    if [ "${width}x$height" != "$size" ]; then
        echo "$png is ${width}x$height pixels, not $size"
        exit 1
    fi
done
echo "ok: $desktop, $# PNG icons"
