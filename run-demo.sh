#!/bin/bash
# Builds the program, makes a fresh Wine prefix that looks like a customer's
# 64-bit Windows machine, installs a sample ZOR installation in it (client and
# administration console) with its services and signed programs running,
# runs "zorremover.exe /silent" and prints what was
# installed, removed and left, and any collateral damage. Installs missing
# Debian packages first.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
tools/install-deps.sh

build=${ZOR_BUILD_DIR:-$top/build}
cmake -S . -B "$build/windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build/windows" -j "$(nproc)" --target zorremover zor_fixture_installer

export ZOR_TOP=$top ZOR_BIN=$build/windows/bin
export ZOR_PREFIX=$build/wine/demo-prefix ZOR_WORK=$build/wine/demo
source tools/zor-prefix-steps.sh
trap zor_end EXIT
trap 'exit 143' TERM INT

echo "== a fresh Wine prefix in $ZOR_PREFIX"
zor_new_prefix
echo "== the machine before ZOR: what Windows has and Wine lacks, other vendors' software"
zor_installer prepare-machine
zor_snapshot before
echo "== ZOR Security 10 and ZOR Admin 10, installed as their installers would"
zor_installer install --admin-console
zor_snapshot installed
echo "== the product's services start with Windows; a user's session runs its signed tray and main window"
zor_installer start-programs
zor_installer service-state ZorWatchdog ZorSvc ZorUpdate ZorAdminServer ZorroBackup | sed 's/^/    /'
zor_installer program-state zortray.exe zorgui.exe zorrobkt.exe | sed 's/^/    /'

echo "== $ZOR_REMOVER /silent (its stages; every line is in the log)"
code=0
zor_remove /silent >"$ZOR_WORK/console.txt" 2>&1 || code=$?
grep -F '*****' "$ZOR_WORK/console.txt" | sed 's/^[^*]*/    /' || true
echo "== exit code: $code"
echo "== services and programs after the removal (the other vendor's must still run)"
zor_installer service-state ZorWatchdog ZorSvc ZorUpdate ZorAdminServer ZorroBackup | sed 's/^/    /'
zor_installer program-state zortray.exe zorgui.exe zorrobkt.exe | sed 's/^/    /'
zor_snapshot removed

echo "== log: $(zor_log_path)"
echo "== before and after"
# The same installation and run as the acceptance scenario clean-silent: the
# changes its expected list allows are no damage here either.
python3 tools/prefix_snapshot.py diff "$ZOR_WORK/before.json" "$ZOR_WORK/installed.json" "$ZOR_WORK/removed.json" \
  --summary --expect tests/acceptance/scenarios/clean-silent.expected
