#!/bin/bash
# Runs a test program under Wine in $WINEPREFIX, starting that prefix's
# session first when none is running.
#
# Every program run here is a test program whose entry prints at once, to an
# unbuffered standard output, before any test runs. One that ends in failure
# having printed nothing never reached its entry: Wine did not start it (seen
# rarely, under load, as status 1 after a tenth of a second). That start is
# tried once more, and said so; a program that fails again fails the test.
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

printed=$(mktemp)
trap 'rm -f "$printed"' EXIT
run() {
  : >"$printed"
  set +e
  wine "$@" | tee "$printed"
  status=${PIPESTATUS[0]}
  set -e
}

run "$@"
if [ "$status" -ne 0 ] && [ ! -s "$printed" ]; then
  echo "wine-run: $(basename "$1") ended with status $status before printing anything; starting it once more" >&2
  run "$@"
fi
# A process that dies before it prints anything leaves only its status.
[ "$status" -eq 0 ] || echo "wine-run: $(basename "$1") ended with status $status" >&2
exit "$status"
