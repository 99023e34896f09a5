#!/bin/sh
# Builds the project and runs every benchmark in bench/, one after the other.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
make --no-print-directory compile
for bench in _build/bench/bench_*; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    QT_QPA_PLATFORM=offscreen "$bench"
done
