#!/bin/bash
# Runs a test program under Wine in a prefix of its own, made for the run
# and removed after it. The test simulates a restart of Windows (wineboot
# -r), which in the shared prefix would also carry out the pending renames
# and RunOnce entries of every other test running there.
#   file-fresh-prefix.sh PROGRAM ARGUMENTS...   (the tests' emulator)
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
prefix=$WINEPREFIX-own-$$
"$here/../../cmake/wine-session.sh" start "$prefix" || exit 1
WINEPREFIX=$prefix "$here/../../cmake/wine-run.sh" "$@"
status=$?
"$here/../../cmake/wine-session.sh" stop "$prefix"
rm -rf "$prefix" "$prefix.lock" "$prefix.pid"
exit $status
