#!/bin/sh
# Installs the Debian packages the build, the tests and `make run` need,
# but only those that are missing, so a second run costs a dpkg query.
set -eu

PACKAGES="cmake make g++ pkg-config dpkg-dev file
qtbase5-dev qtbase5-dev-tools libqt5svg5 qttranslations5-l10n
libqscintilla2-qt5-dev
liblua5.2-dev lua5.2
zlib1g-dev libssl-dev
xvfb xauth x11-apps imagemagick xdotool
clang libclang-rt-14-dev
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
    echo "setup-deps: missing packages:$missing" >&2
    echo "setup-deps: run this script as root or install sudo" >&2
    exit 1
fi

echo "setup-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
