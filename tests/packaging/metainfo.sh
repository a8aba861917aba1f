#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The configured AppStream metainfo passes appstreamcli validate --pedantic with nothing to say but the
# upper-case letter in the application id (the id names the desktop entry, the icon and the login
# entry, and is kept), its release is the project's version, and its screenshot and release point at
# that version's tag, never at a branch that moves.
#   metainfo.sh METAINFO_FILE VERSION
set -euo pipefail
metainfo=$1
version=$2

if ! command -v appstreamcli >/dev/null; then
    echo "SKIP: appstreamcli is not installed (appstream)"
    exit 77
fi
status=0
report=$(appstreamcli validate --pedantic --no-net --no-color "$metainfo" 2>&1) || status=$?
echo "$report"
if [ "$status" -ne 0 ] || grep -E '^[EWIP]: ' <<<"$report" | grep -vq ': cid-contains-uppercase-letter '; then
    echo "appstreamcli validate --pedantic has something to say (status $status)"
    exit 1
fi
if ! grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\">" "$metainfo"; then
    echo "no release $version with a date in $metainfo"
    exit 1
fi
if ! grep -q '<url type="details">' "$metainfo"; then
    echo "the release in $metainfo has no address of its own"
    exit 1
fi
for address in $(grep -Eo '<(image|url type="details")>[^<]*' "$metainfo" | sed 's/.*>//'); do
    if [[ "$address" != */v"$version"/* && "$address" != */v"$version" ]]; then
        echo "$address does not name the tag v$version"
        exit 1
    fi
done
