#!/bin/bash
# Builds the program and runs it in a fresh Wine prefix. Installs missing
# Debian packages first.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
tools/install-deps.sh

build=${ZOR_BUILD_DIR:-$top/build}
cmake -S . -B "$build/windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build/windows" -j "$(nproc)" --target zorremover

prefix=$build/wine/demo-prefix
echo "== making a fresh Wine prefix in $prefix"
cmake/wine-session.sh start "$prefix"
trap 'cmake/wine-session.sh stop "$prefix"' EXIT

echo "== wine zorremover.exe /?"
code=0
WINEPREFIX=$prefix cmake/wine-run.sh "$build/windows/bin/zorremover.exe" /? || code=$?
echo "== exit code: $code"
