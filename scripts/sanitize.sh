#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the whole project with g++, AddressSanitizer and UndefinedBehaviorSanitizer (warnings are
# errors) in build-asan and runs the test suite there. Any sanitizer report, leak included, fails the
# test that made it, and so the run.
#
#   scripts/sanitize.sh [CTEST-ARGS...]     e.g. scripts/sanitize.sh -R tst_codec
#
# Leaks inside third-party libraries (Qt, fontconfig, X) are suppressed by fuzz/lsan.supp; our own
# code is never suppressed. Needs the sanitizer runtimes of g++ 12 (Debian packages libasan8 and
# libubsan1, pulled in by g++-12 / libgcc-12-dev).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build-asan

for tool in g++ cmake ninja; do
    command -v "$tool" >/dev/null || { echo "sanitize.sh: $tool is needed" >&2; exit 2; }
done

echo "== configure ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORNKIP_SANITIZE=ON -DVORNKIP_WERROR=ON -DBUILD_TESTING=ON \
    -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=undefined" >/dev/null
echo "== build"
cmake --build "$build" --parallel "$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"

echo "== tests"
cd "$build"
ctest --output-on-failure --timeout 600 "$@"
