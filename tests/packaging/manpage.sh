#!/usr/bin/env bash
# The man page formats without a single groff warning, has a NAME line whatis can read, and its header
# names the project's version.
#   manpage.sh MAN_PAGE VERSION
set -euo pipefail
page=$1
version=$2

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
echo "ok: $page"
