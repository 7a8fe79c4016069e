#!/bin/bash
# Prints how long a sample removal takes: a fresh prefix, the fixture
# installation with the administration console, `zorremover.exe /silent`,
# and the time from the log's first line to its last. A figure, no test.
#   tools/measure-removal-time.sh [WINDOWS_BUILD_DIR]   (default: build/windows)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/windows}" && pwd)
export ZOR_TOP=$top ZOR_BIN=$build/bin
export ZOR_PREFIX=$build/wine/removal-time-prefix ZOR_WORK=$build/removal-time
rm -rf "$ZOR_PREFIX" "$ZOR_WORK"
source "$top/tools/zor-prefix-steps.sh"
trap zor_end EXIT
zor_new_prefix
zor_installer prepare-machine >/dev/null
zor_installer install --admin-console >/dev/null
code=0
zor_remove /silent >"$ZOR_WORK/console.txt" 2>&1 || code=$?
zor_log_text >"$ZOR_WORK/log.txt"
python3 - "$ZOR_WORK/log.txt" "$code" <<'PY'
import datetime, re, sys
lines = [l for l in open(sys.argv[1], encoding='utf-8', errors='replace')
         if re.match(r'\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3}', l)]
when = lambda line: datetime.datetime.strptime(line[:23], '%Y-%m-%d %H:%M:%S,%f')
seconds = (when(lines[-1]) - when(lines[0])).total_seconds()
print(f"exit {sys.argv[2]}: {len(lines)} records, first to last line {seconds:.3f} s")
PY
