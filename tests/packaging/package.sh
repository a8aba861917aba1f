#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from debian/ as a distribution would, on a clean copy of the tracked files
# (never a developer's build folder), and checks it: lintian has nothing to say about the source or the
# binary package (no error, warning or info tag: each one is fixed or has its reason in an overrides
# file), and the package unpacked into a throw-away root holds the program, its desktop files, the
# copyright and the changelog and nothing else, with its dependencies, the distribution's hardening,
# no run path, and a program that answers --version without a display.
#   package.sh SOURCE_DIR VERSION
# New files count once they are known to git (git add): untracked files are left out like build folders.
set -euo pipefail
source_dir=$1
version=$2
app_id=io.github.vornkip.Vornkip

for tool in git dpkg-buildpackage dh lintian hardening-check readelf; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (git, dpkg-dev, debhelper, lintian, devscripts, binutils)"
        exit 77
    fi
done
if ! git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
    echo "SKIP: $source_dir is not a git checkout"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# The tracked files as the work tree has them (uncommitted changes included, deleted files left out).
tree=$scratch/vornkip-$version
mkdir "$tree"
(cd "$source_dir" && git ls-files -z | while IFS= read -r -d '' f; do
    [ -e "$f" ] && printf '%s\0' "$f"
done | tar --null -T - -cf -) | tar -xf - -C "$tree"

# Source and binary package. The build compiles the program once more, with the distribution's flags:
# through ccache where there is one. The scratch folder differs from run to run: its paths are made
# relative, and the flag that maps it to "." in the debug information is left out of the hash (its
# output is the same wherever the folder is), so that one run finds what the last one left. The cache
# is named outright: debhelper gives the build a HOME of its own.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache CCACHE_DIR="$(ccache -k cache_dir)"
              CCACHE_BASEDIR="$scratch"
              CCACHE_NOHASHDIR=1 "CCACHE_IGNOREOPTIONS=-ffile-prefix-map=$tree=.")
fi
start=$SECONDS
if ! (cd "$tree" && env DEB_BUILD_OPTIONS="parallel=$(nproc)" "${launcher[@]}" \
    nice -n 10 dpkg-buildpackage -us -uc >"$scratch/build.log" 2>&1); then
    tail -n 60 "$scratch/build.log"
    fail "dpkg-buildpackage could not build the package"
fi
echo "dpkg-buildpackage: $((SECONDS - start)) s"
deb=$scratch/vornkip_${version}_$(dpkg --print-architecture).deb
changes=$scratch/vornkip_${version}_$(dpkg --print-architecture).changes
[ -f "$deb" ] && [ -f "$changes" ] || fail "no $(basename "$deb") and .changes in: $(ls "$scratch")"

# The .changes names the source package (.dsc), the binary ones and the build record: lintian checks
# them all.
status=0
report=$(lintian --display-info --fail-on error,warning,info "$changes" 2>&1) || status=$?
report=$(grep -v '^running with root privileges' <<<"$report" || true)
if [ "$status" -ne 0 ] || [ -n "$report" ]; then
    echo "$report"
    fail "lintian found something to say (status $status)"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vornkip ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version (debian/changelog)"
grep -qi noreply <<<"$(field Maintainer)" && fail "Maintainer is a no-reply address: $(field Maintainer)"
depends=$(field Depends)
echo "Depends: $depends"
has() { grep -Eq "(^|, )$1( \(|,|$)" <<<"$2"; }
has 'fonts-noto-cjk \| fonts-ipafont-gothic \| fonts-vlgothic \| fonts-takao-gothic' "$depends" ||
    fail "Depends lacks a font with Japanese glyphs"
for dep in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6; do
    has "$dep" "$depends" || fail "Depends lacks $dep"
done
recommends=$(field Recommends)
for rec in qt6-translations-l10n qt6-wayland; do
    has "$rec" "$recommends" || fail "Recommends lacks $rec: $recommends"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for file in usr/bin/vornkip usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/$app_id.svg usr/share/man/man1/vornkip.1.gz \
    usr/share/doc/vornkip/copyright usr/share/doc/vornkip/changelog.gz \
    $(for size in 16 22 24 32 48 64 128 256; do echo "usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"; done); do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
done
# Nothing else: no test, benchmark or helper program.
stray=$(cd "$root" && find . ! -type d | sed 's|^\./||' |
    grep -Ev '^usr/(bin/vornkip|share/(applications|metainfo|icons/hicolor|doc/vornkip)/|share/man/man1/vornkip\.1\.gz)' ||
    true)
[ -z "$stray" ] || fail "files that are not the program's: $stray"
grep -q '^License: GPL-3.0-or-later$' "$root/usr/share/doc/vornkip/copyright" || fail "the copyright names no GPL-3.0-or-later"
gzip -t "$root/usr/share/man/man1/vornkip.1.gz" || fail "the man page is not a valid gzip file"
if readelf -d "$root/usr/bin/vornkip" | grep -Eq 'R(UN)?PATH'; then
    readelf -d "$root/usr/bin/vornkip" | grep -E 'R(UN)?PATH'
    fail "the packaged program has a run path"
fi

# Control-flow protection is left out: Debian 12's C start files carry no IBT/SHSTK property, so no
# program linked there shows one, and its build flags do not ask for it.
hardening-check --nocfprotection "$root/usr/bin/vornkip" || fail "hardening-check"

# --version needs no display.
status=0
output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/vornkip" --version 2>"$scratch/stderr") ||
    status=$?
if [ "$status" -ne 0 ] || [ "$output" != "vornkip $version" ]; then
    echo "stdout: $output"
    echo "stderr: $(cat "$scratch/stderr")"
    fail "vornkip --version without a display: status $status, expected 0 and \"vornkip $version\""
fi
echo "ok: $(basename "$deb")"
