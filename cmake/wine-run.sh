#!/bin/bash
# Runs a Windows program under Wine in $WINEPREFIX, starting that prefix's
# session first when none is running.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
: "${WINEPREFIX:?WINEPREFIX must name the prefix to run in}"
export WINEPREFIX
"$here/wine-session.sh" ensure
exec wine "$@"
