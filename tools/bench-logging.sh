#!/bin/bash
# Prints records per second of the logging framework under Wine: through the
# program's own configuration (file and console appenders), through a file
# appender alone, and of a bare loop that writes the same lines with one
# WriteFile each, with the ratio bare / file appender (the target is 2 at
# most). Figures, no test.
#   tools/bench-logging.sh [WINDOWS_BUILD_DIR] [RECORDS]   (default: build/windows, 20000)
# The console appender's output goes to a file on the Unix side, as it
# would to a redirected console.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/windows}" && pwd)
records=${2:-20000}
program=$build/bin/log_benchmark.exe
if [ ! -f "$program" ]; then
  echo "no $program: cmake --build $build --target log_benchmark" >&2
  exit 1
fi
export WINEPREFIX=$build/wine/log-bench-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

"$top/cmake/wine-session.sh" start "$WINEPREFIX"
console=$(mktemp)
trap '"$top/cmake/wine-session.sh" stop "$WINEPREFIX"; rm -f "$console"' EXIT
mkdir -p "$WINEPREFIX/drive_c/logbench"

echo "logging records per second, wine $(wine --version 2>/dev/null), $(nproc) cores"
for round in 1 2; do
  rm -f "$WINEPREFIX"/drive_c/logbench/*
  echo "round $round:"
  wine "$program" 'C:\logbench' "$records" 2>&1 >"$console" | tr -d '\r'
done
echo "console lines written per round: $(( $(wc -l <"$console") ))"
