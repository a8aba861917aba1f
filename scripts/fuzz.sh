#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer, vornkip_core
# instrumented too) in build-fuzz and runs each one for SECONDS on a copy of its seed corpus, one after
# another. Any crash, sanitizer report, leak, timeout or failed check fails the run.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     SECONDS defaults to 20; TARGET defaults to all of them
#
# Per target: the working corpus is build-fuzz/run/<target>/corpus (a fresh copy of fuzz/corpus/<target>
# plus what the run adds), the log is build-fuzz/run/<target>/log.txt, and a failing input is saved in
# build-fuzz/run/<target>/ as crash-*, leak-*, timeout-* or oom-*. Reproduce it with
#   build-fuzz/fuzz/<target> build-fuzz/run/<target>/crash-...
set -euo pipefail

seconds=${1:-20}
shift || true
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [SECONDS] [TARGET...]" >&2
    exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build-fuzz
all_targets=(fuzz_history fuzz_boundary fuzz_settings fuzz_templates fuzz_codec fuzz_numbers fuzz_textconv fuzz_syncsegment)
targets=("${all_targets[@]}")
[ $# -gt 0 ] && targets=("$@")

for tool in clang++ cmake ninja; do
    command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool is needed" >&2; exit 2; }
done

sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
echo "== configure ($build)"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVORNKIP_FUZZ=ON \
    -DCMAKE_CXX_FLAGS="$sanitizers" >/dev/null
echo "== build"
cmake --build "$build" --target "${targets[@]}" --parallel "$(nproc)"

# Every report is fatal; leaks are checked (only third-party libraries are suppressed, in fuzz/lsan.supp).
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:symbolize=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:symbolize=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"

status=0
summary=()
for target in "${targets[@]}"; do
    seeds=fuzz/corpus/$target
    run=$build/run/$target
    if [ ! -x "$build/fuzz/$target" ] || [ ! -d "$seeds" ]; then
        echo "fuzz.sh: unknown target $target" >&2
        exit 2
    fi
    rm -rf "$run"
    mkdir -p "$run/corpus"
    cp -R "$seeds/." "$run/corpus/"
    echo "== $target: ${seconds}s"
    rc=0
    "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=60 \
        -artifact_prefix="$run/" "$run/corpus" >"$run/log.txt" 2>&1 || rc=$?

    stats=$(grep -E '^#[0-9]+.*cov: ' "$run/log.txt" | tail -n 1 || true)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log.txt" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/log.txt" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$stats")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$stats")
    corp=$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$stats")
    files=$(find "$run/corpus" -type f | wc -l)
    if [ "$rc" -eq 0 ]; then
        result=ok
    else
        result="FAILED (exit $rc)"
        status=1
        echo "---- $target failed; the report (full log: $run/log.txt):"
        grep -v -E '^#[0-9]+|^INFO: ' "$run/log.txt" | tail -n 80 || true
        ls "$run" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' | sed "s|^|    input: $run/|" || true
    fi
    line=$(printf '%-15s %-18s execs=%-10s exec/s=%-7s cov=%-6s ft=%-7s corpus=%s (%s files)' \
        "$target" "$result" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$files")
    echo "$line"
    summary+=("$line")
done

echo "== summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
exit $status
