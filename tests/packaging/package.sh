#!/usr/bin/env bash
# Builds the Debian package from a build folder (with its CPack configuration, into a scratch folder)
# and checks it: exactly the program and its desktop files under /usr, the control fields, the library
# dependencies with Qt SVG among them, no run path in the program, and that the unpacked program
# answers --version without a display.
#   package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2

for tool in cpack dpkg-deb dpkg-shlibdeps file readelf; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (dpkg-dev, file, binutils)"
        exit 77
    fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

if ! (cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" -G DEB >"$scratch/cpack.log" 2>&1); then
    cat "$scratch/cpack.log"
    fail "cpack could not make the package"
fi
debs=("$scratch"/out/vornkip_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no vornkip_${version}_*.deb in $(ls "$scratch/out")"
deb=${debs[0]}

# The files, and nothing else: no test, benchmark or helper program.
expected="./usr/bin/vornkip
./usr/share/applications/io.github.vornkip.Vornkip.desktop
./usr/share/icons/hicolor/128x128/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/16x16/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/22x22/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/24x24/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/256x256/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/32x32/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/48x48/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/64x64/apps/io.github.vornkip.Vornkip.png
./usr/share/icons/hicolor/scalable/apps/io.github.vornkip.Vornkip.svg
./usr/share/man/man1/vornkip.1.gz
./usr/share/metainfo/io.github.vornkip.Vornkip.metainfo.xml"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
if [ "$files" != "$expected" ]; then
    echo "package files:"
    echo "$files"
    echo "expected:"
    echo "$expected"
    fail "the package holds other files than the program and its desktop files"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vornkip ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Homepage)" ] || fail "no Homepage"
[ "$(field Description | wc -l)" -gt 1 ] || fail "no long description"
depends=$(field Depends)
echo "Depends: $depends"
for dep in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6; do
    grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep"
done
recommends=$(field Recommends)
for rec in fonts-noto-cjk qt6-translations-l10n qt6-wayland; do
    grep -Eq "(^|, )$rec( |,|$)" <<<"$recommends" || fail "Recommends lacks $rec: $recommends"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
if readelf -d "$root/usr/bin/vornkip" | grep -Eq 'R(UN)?PATH'; then
    readelf -d "$root/usr/bin/vornkip" | grep -E 'R(UN)?PATH'
    fail "the packaged program has a run path"
fi
gzip -t "$root/usr/share/man/man1/vornkip.1.gz" || fail "the man page is not a valid gzip file"

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
