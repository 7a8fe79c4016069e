#!/bin/bash
# A Wine session per prefix, started once and detached from every pipe:
# Wine's background services inherit the standard handles of the process
# that starts a session, and a test runner reading those pipes would wait
# for them to close.
#   wine-session.sh start PREFIX   make PREFIX afresh and start its session
#   wine-session.sh stop PREFIX    end the session (the prefix stays)
#   wine-session.sh ensure         start the session of $WINEPREFIX unless it runs
set -u
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

session_running() {
  local prefix=$1 dev ino pid
  [ -d "$prefix" ] || return 1
  read -r dev ino < <(stat -c '%d %i' "$prefix")
  local want
  want=$(printf 'server-%x-%x' "$dev" "$ino")
  for pid in $(pgrep -f 'wineserver' 2>/dev/null); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
      */"$want") return 0 ;;
    esac
  done
  return 1
}

start_session() {
  local prefix=$1
  mkdir -p "$prefix"
  WINEPREFIX=$prefix setsid bash -c 'wineserver -p; wine wineboot -i' </dev/null >/dev/null 2>&1
  # wineboot returns once the prefix is ready; the persistent server stays.
  session_running "$prefix" || return 1
  # A plain Windows machine has no just-in-time debugger; Wine starts winedbg
  # when none is named, so name one that does not exist.
  WINEPREFIX=$prefix wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d 'C:\windows\no-debugger-installed.exe %ld %ld' /f </dev/null >/dev/null 2>&1 || true
}

case "${1:-}" in
  start)
    prefix=${2:?prefix}
    if session_running "$prefix"; then WINEPREFIX=$prefix wineserver -k; WINEPREFIX=$prefix wineserver -w; fi
    rm -rf "$prefix"
    start_session "$prefix" || { echo "wine session for $prefix did not start" >&2; exit 1; }
    ;;
  stop)
    prefix=${2:?prefix}
    if session_running "$prefix"; then
      WINEPREFIX=$prefix wineserver -k
      WINEPREFIX=$prefix wineserver -w
    fi
    ;;
  ensure)
    prefix=${WINEPREFIX:?WINEPREFIX must name the prefix}
    session_running "$prefix" && exit 0
    exec 9>"$prefix.lock"
    flock 9
    session_running "$prefix" || start_session "$prefix"
    ;;
  *)
    echo "usage: $0 start PREFIX | stop PREFIX | ensure" >&2
    exit 2
    ;;
esac
