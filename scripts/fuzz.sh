#!/bin/sh
# Builds every fuzz target (fuzz/fuzz_*.cpp) with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into _fuzz/, then runs each for the given number of seconds
# (default 60), starting from its seed corpus. New inputs go to _fuzz/corpus/<target>/, crashes
# to _fuzz/artifacts/<target>/. Exits non-zero when any target fails.
#   scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
run_seconds=${1:-60}

./scripts/setup-deps.sh
CC=clang CXX=clang++ cmake -S . -B _fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUN_LIBFUZZER=ON >/dev/null
targets=$(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
# shellcheck disable=SC2086
cmake --build _fuzz -j2 --target $targets

failed=""
for target in $targets; do
    mkdir -p "_fuzz/corpus/$target" "_fuzz/artifacts/$target"
    echo "== $target: ${run_seconds}s"
    if ! QT_QPA_PLATFORM=offscreen "_fuzz/fuzz/$target" -max_total_time="$run_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="_fuzz/artifacts/$target/" \
            "_fuzz/corpus/$target" "fuzz/corpus/$target" 2>"_fuzz/$target.log"; then
        failed="$failed $target"
    fi
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)" "_fuzz/$target.log" || true
done

if [ -n "$failed" ]; then
    echo "fuzz: failed:$failed (see _fuzz/<target>.log and _fuzz/artifacts/)" >&2
    exit 1
fi
echo "fuzz: all targets ran clean"
