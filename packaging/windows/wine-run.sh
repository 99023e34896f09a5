#!/bin/sh
# wine-run.sh BUILD_DIR SDK_DIR PROGRAM [ARGUMENTS...]
# Runs a cross-built program under wine as the build's tools and tests need it: in a wine prefix
# of the build's own (BUILD_DIR/wine, made on first use), finding its DLLs in the SDK and the
# MinGW runtime folders, without wine's debug chatter and without the Mono/Gecko install prompts.
set -eu
build=$1 sdk=$2
shift 2

command -v wine >/dev/null 2>&1 || { echo "wine-run: wine is not installed (scripts/setup-windows-deps.sh)" >&2; exit 127; }

export WINEPREFIX="${WINEPREFIX:-$build/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"

windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
search=""
for dir in "$sdk/qt5/bin" "$sdk/qt5/lib" /usr/x86_64-w64-mingw32/lib /usr/lib/gcc/x86_64-w64-mingw32/*-posix; do
    [ -d "$dir" ] && search="$search${search:+;}$(windows_path "$dir")"
done
export WINEPATH="$search${WINEPATH:+;$WINEPATH}"
export QT_PLUGIN_PATH="$(windows_path "$sdk/qt5/plugins")"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wine wineboot --init >/dev/null 2>&1 || true
    wineserver --wait 2>/dev/null || true
fi
exec wine "$@"
