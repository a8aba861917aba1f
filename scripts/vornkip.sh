#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Set-up for a fresh Debian 12 / Ubuntu machine.
#   scripts/vornkip.sh run    install what Vornkip needs, build it (Release) and start it
#   scripts/vornkip.sh test   install what the tests need, build (warnings are errors) and run every
#                             test, then again with sanitizers, then each fuzzer for a short while
#   scripts/vornkip.sh deb    install what building needs and make the Debian package from debian/
#                             (dpkg-buildpackage -us -uc -b): ../vornkip_VERSION_ARCH.deb
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

run_packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev libx11-dev
              libxcb1-dev libxcb-xfixes0-dev libxcb-xtest0-dev libwayland-dev qt6-wayland
              qt6-translations-l10n qt6-l10n-tools qt6-tools-dev fonts-noto-cjk zlib1g-dev)
test_packages=(xvfb xauth xclip xsel xdotool wtype imagemagick x11-utils dbus at-spi2-core python3-gi gir1.2-atspi-2.0
               clang-format clang libclang-rt-14-dev gdb sway xwayland wl-clipboard qt6-wayland
               desktop-file-utils appstream dpkg-dev file groff-base trayer libglib2.0-bin
               gnome-settings-daemon-common x11-xkb-utils python3-dbusmock libxcb-damage0-dev openbox
               debhelper lintian devscripts syncthing)
deb_packages=(dpkg-dev debhelper)

install() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}

case "${1:-}" in
run)
    install "${run_packages[@]}"
    build build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "vornkip: no display available (DISPLAY and WAYLAND_DISPLAY are not set); built in build-release/src/vornkip" >&2
        exit 1
    fi
    exec build-release/src/vornkip "${@:2}"
    ;;
test)
    install "${run_packages[@]}" "${test_packages[@]}"
    echo "== format check"
    git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
    echo "== build"
    build build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNKIP_WERROR=ON
    echo "== tests"
    (cd build-test && ctest --output-on-failure --timeout 600)
    echo "== tests again, with AddressSanitizer and UndefinedBehaviorSanitizer"
    bash scripts/sanitize.sh
    echo "== fuzzers, ${VORNKIP_FUZZ_SECONDS:-20} s each"
    bash scripts/fuzz.sh "${VORNKIP_FUZZ_SECONDS:-20}"
    ;;
deb)
    install "${run_packages[@]}" "${deb_packages[@]}"
    # CMake takes the compiler launcher from the environment; debhelper gives the build a HOME of its
    # own, so the cache is named outright.
    if command -v ccache >/dev/null; then
        CCACHE_DIR=$(ccache -k cache_dir)
        export CCACHE_DIR CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
    fi
    dpkg-buildpackage -us -uc -b >&2
    realpath "../vornkip_$(dpkg-parsechangelog -S Version)_$(dpkg --print-architecture).deb"
    ;;
*)
    echo "usage: $0 run|test|deb" >&2
    exit 2
    ;;
esac
