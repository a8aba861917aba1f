#!/usr/bin/env bash
# The desktop entry passes desktop-file-validate with nothing to say (no error, warning or hint), and
# names the icon and program that are installed.
#   desktopfile.sh DESKTOP_FILE ICON_FILE
set -euo pipefail
desktop=$1
icon=$2

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
echo "ok: $desktop"
