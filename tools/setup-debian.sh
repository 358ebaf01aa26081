#!/bin/sh
# Installs the Debian packages the build and the tests need, and any named as arguments (the fuzz
# build's clang and libclang-rt-14-dev); does nothing when all are there.
set -eu

packages="g++ make cmake pkg-config libsdl2-dev libode-dev duktape-dev libpng-dev zlib1g-dev libgl-dev libgtest-dev xvfb xauth $*"

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $p" ;;
    esac
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" = 0 ]; then
    run=""
elif command -v sudo >/dev/null 2>&1; then
    run="sudo"
else
    echo "These packages are missing and neither root nor sudo is available:$missing" >&2
    exit 1
fi
$run env DEBIAN_FRONTEND=noninteractive apt-get update
# shellcheck disable=SC2086
$run env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
