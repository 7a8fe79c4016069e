#!/bin/bash
# Builds everything and runs the whole test suite: the Windows build under
# Wine, and the portable logic natively under AddressSanitizer and
# UndefinedBehaviorSanitizer. Installs missing Debian packages first.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
tools/install-deps.sh
tools/install-script-parser.sh

build=${ZOR_BUILD_DIR:-$top/build}
jobs=$(nproc)

echo "== native build (sanitizers)"
cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"

echo "== Windows build"
cmake -S . -B "$build/windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build/windows" -j "$jobs"

status=0
echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure -j "$jobs" || status=1
echo "== Windows tests under Wine"
ctest --test-dir "$build/windows" --output-on-failure -j "$jobs" || status=1
exit $status
