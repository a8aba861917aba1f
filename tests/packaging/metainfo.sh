#!/usr/bin/env bash
# The configured AppStream metainfo passes appstreamcli validate with no error or warning, and its
# release is the project's version.
#   metainfo.sh METAINFO_FILE VERSION
set -euo pipefail
metainfo=$1
version=$2

if ! command -v appstreamcli >/dev/null; then
    echo "SKIP: appstreamcli is not installed (appstream)"
    exit 77
fi
status=0
report=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) || status=$?
echo "$report"
if [ "$status" -ne 0 ] || grep -Eq '^[EW]: ' <<<"$report"; then
    echo "appstreamcli validate found errors or warnings (status $status)"
    exit 1
fi
if ! grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\">" "$metainfo"; then
    echo "no release $version with a date in $metainfo"
    exit 1
fi
