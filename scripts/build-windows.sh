#!/bin/sh
# build-windows.sh [BUILD_DIR]: cross-builds the programs, tests and benchmarks for 64-bit Windows
# with MinGW-w64 into BUILD_DIR (default _build-windows), then deploys them into one folder, zips
# it and builds the installer. The Windows dependency stack is the unpacked SDK named by
# WINDOWS_SDK, or else ../shared/windows-sdk/kestrun-windows-sdk.tar.xz unpacked once into
# BUILD_DIR/sdk/.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-_build-windows}
case $build in /*) ;; *) build="$top/$build" ;; esac
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
tarball="$top/../shared/windows-sdk/kestrun-windows-sdk.tar.xz"
sha256=ce9abfdd761a45019d1bcafb0143d297f4087119f36e128427bdf93ff9871bc1

sdk=${WINDOWS_SDK:-}
if [ -z "$sdk" ]; then
    sdk="$build/sdk/kestrun-windows-sdk"
    if [ ! -d "$sdk/qt5" ]; then
        if [ ! -f "$tarball" ]; then
            echo "build-windows: no Windows SDK: name an unpacked one with WINDOWS_SDK=DIR," >&2
            echo "build-windows: or put kestrun-windows-sdk.tar.xz into $(dirname "$tarball")/" >&2
            exit 1
        fi
        echo "$sha256  $tarball" | sha256sum -c --quiet - || { echo "build-windows: $tarball is damaged" >&2; exit 1; }
        echo "build-windows: unpacking the SDK into $build/sdk/"
        rm -rf "$build/sdk.partial"
        mkdir -p "$build/sdk.partial"
        tar -xJf "$tarball" -C "$build/sdk.partial"
        rm -rf "$build/sdk"
        mv "$build/sdk.partial" "$build/sdk"
    fi
fi
if [ ! -d "$sdk/qt5" ] || [ ! -d "$sdk/lua" ] || [ ! -d "$sdk/openssl" ]; then
    echo "build-windows: $sdk is not an unpacked Windows SDK (qt5/, lua/, openssl/)" >&2
    exit 1
fi
sdk=$(cd "$sdk" && pwd)

cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/packaging/windows/mingw-w64.cmake" \
    -DKESTRUN_WINDOWS_SDK="$sdk" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j"$jobs"
cmake --build "$build" --target windows_packages
