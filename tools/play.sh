#!/bin/sh
# Installs what is missing, builds the game in build/ and runs it on the generated data.
set -eu
cd "$(dirname "$0")/.."
tools/setup-debian.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
exec build/game/zr "$@"
