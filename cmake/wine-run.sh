#!/bin/bash
# Runs a Windows program under Wine in $WINEPREFIX, starting that prefix's
# session first when none is running.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: nothing here needs them, and their installers would ask.
# No desktop process either: without a display Wine's explorer starts, fails
# and leaves every message box waiting for it, sometimes for good. Without
# it a box fails at once, as a box nobody can answer should.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;explorer.exe=d}
: "${WINEPREFIX:?WINEPREFIX must name the prefix to run in}"
export WINEPREFIX
"$here/wine-session.sh" ensure
# A process that dies before it prints anything leaves only its status.
status=0
wine "$@" || status=$?
[ "$status" -eq 0 ] || echo "wine-run: $(basename "$1") ended with status $status" >&2
exit "$status"
