#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests into build-win (or the folder given) with
# MinGW-w64 and the Windows Qt (see cmake/mingw-w64.cmake), then makes the portable zip with
# scripts/package-windows.sh. Extra arguments are CMake options for the folder.
#
# Usage: scripts/build-windows.sh [BUILD [cmake options]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
shift || true
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        --toolchain "$PWD/cmake/mingw-w64.cmake" -DCALVENTO_BUILD_BENCH=OFF "$@"
elif [ $# -gt 0 ]; then
    cmake -S . -B "$build" "$@"
fi
cmake --build "$build" --parallel 2
scripts/package-windows.sh "$build"
