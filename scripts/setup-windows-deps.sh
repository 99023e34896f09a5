#!/bin/sh
# Installs the Debian packages the Windows cross build, its installer and its smoke test under
# wine need (make windows, make windows-test), only those that are missing. The Linux build
# never needs them.
set -eu

PACKAGES="cmake make pkg-config xz-utils
g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
libz-mingw-w64-dev
nsis
wine wine64
xvfb xauth imagemagick xdotool
fonts-wqy-microhei"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "setup-windows-deps: missing packages:$missing" >&2
    echo "setup-windows-deps: run this script as root or install sudo" >&2
    exit 1
fi

echo "setup-windows-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
