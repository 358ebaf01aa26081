#!/bin/sh
# Installs what is missing, builds build-test/ with the sanitizers and runs every test under a
# private X server.
set -eu
cd "$(dirname "$0")/.."
tools/setup-debian.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_SANITIZE=ON
cmake --build build-test -j "$(nproc)"
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir build-test --output-on-failure -j "$(nproc)" "$@"
