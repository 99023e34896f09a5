#!/bin/sh
# Starts the IDE in run/ (its workspace "工程目录" lands there) with adb/ and the built API
# reference (help/) beside it, and the simulated device on 127.0.0.1:7000 for as long as the
# IDE runs.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$top/${1:-_build}" && pwd)
[ $# -gt 0 ] && shift
run="$top/run"

mkdir -p "$run"
[ -d "$top/adb" ] && cp -R "$top/adb" "$run/"
cp -R "$build/help" "$run/"

sim_pid=""
if [ -x "$build/simulator/kestrun-device-sim" ]; then
    # Image mode 1 ("优化模式"), as phones send it: screenshots then go under 优化模式/, as the
    # remote screen window says.
    "$build/simulator/kestrun-device-sim" --port 7000 --screencap-mode 1 &
    sim_pid=$!
    trap 'kill -INT "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT INT TERM
fi

cd "$run"
"$build/app/kestrun-ide" "$@" || status=$?
exit "${status:-0}"
