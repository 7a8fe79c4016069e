#!/bin/bash
# Prints how long the report takes to make and write for the sample
# installation (client and administration console): a fresh prefix, the
# fixture installation, `zorremover.exe /silent /report=...`, and the time
# the run's own log line gives, for a few rounds. A figure, no test; the
# target is under 50 ms.
#   tools/report_benchmark.sh [WINDOWS_BUILD_DIR] [ROUNDS]   (default: build/windows, 3)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/windows}" && pwd)
rounds=${2:-3}
export ZOR_TOP=$top ZOR_BIN=$build/bin
export ZOR_PREFIX=$build/wine/report-benchmark-prefix ZOR_WORK=$build/report-benchmark
source "$top/tools/zor-prefix-steps.sh"
trap zor_end EXIT
for round in $(seq "$rounds"); do
  zor_end >/dev/null 2>&1 || true
  rm -rf "$ZOR_PREFIX" "$ZOR_WORK"
  mkdir -p "$ZOR_WORK"
  zor_new_prefix
  zor_installer prepare-machine >/dev/null
  zor_installer install --admin-console >/dev/null
  report=$ZOR_WORK/report.json
  zor_remove /silent "/report=Z:${report//\//\\}" >/dev/null 2>&1 || true
  line=$(zor_log_text | grep -F 'Report written to' | tail -n 1)
  items=$(python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); print(r["verification"]["remainingCount"], len(r["stages"]))' "$report")
  took=$(sed -n 's/.*(\([0-9]*\) ms).*/\1/p' <<<"$line")
  echo "round $round: report made and written in ${took} ms, $(stat -c %s "$report") bytes; remaining items, stages: $items"
done
