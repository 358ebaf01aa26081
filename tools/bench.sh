#!/bin/sh
# Builds build-bench/ (Release, benchmarks on) and runs the benchmarks, printing their ratios.
set -eu
cd "$(dirname "$0")/.."
tools/setup-debian.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZR_BENCH=ON -DZR_TESTS=OFF
cmake --build build-bench -j "$(nproc)"
# The graphics benchmarks need a display: a private X server, as for the tests.
exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-bench -L bench -V "$@"
