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
# No desktop process either: without a display Wine's explorer starts, fails
# and leaves every message box waiting for it, sometimes for good. Without
# it a box fails at once, as a box nobody can answer should.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;explorer.exe=d}

# The server of a prefix, found by its working folder: the socket folder,
# named after the prefix's device and inode, or the prefix itself while it
# saves the registry. The folder can change at any moment, so the server
# found at start-up is remembered in PREFIX.pid.
find_server() {
  local prefix=$1 dev ino want real pid
  read -r dev ino < <(stat -c '%d %i' "$prefix")
  want=$(printf 'server-%x-%x' "$dev" "$ino")
  real=$(realpath "$prefix")
  for pid in $(pgrep -f 'wineserver' 2>/dev/null); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
      */"$want" | "$real") echo "$pid"; return 0 ;;
    esac
  done
  return 1
}

session_running() {
  local prefix=$1 pid
  [ -d "$prefix" ] || return 1
  if [ -r "$prefix.pid" ]; then
    read -r pid <"$prefix.pid"
    [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = wineserver64 ] &&
      [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" != Z ] && return 0
  fi
  find_server "$prefix" >/dev/null
}

boot() {
  WINEPREFIX=$1 setsid bash -c "wineserver -p; wine wineboot $2" </dev/null >/dev/null 2>&1
}

# A prefix whose set-up ran through has Windows' programs in system32. Now
# and then, under load, Wine's set-up ends after a second or two with the
# folder nearly empty and marks the prefix as set up all the same; every
# program started there then fails ("could not load kernel32.dll").
prefix_complete() {
  local system32=$1/drive_c/windows/system32 name
  for name in kernel32.dll rundll32.exe reg.exe services.exe msiexec.exe; do
    [ -f "$system32/$name" ] || return 1
  done
}

# Makes PREFIX afresh until its set-up is complete, three times at most.
start_fresh_session() {
  local prefix=$1 attempt
  for attempt in 1 2 3; do
    start_session "$prefix" || return 1
    prefix_complete "$prefix" && return 0
    echo "wine-session: the set-up of $prefix came out incomplete (attempt $attempt); making it again" >&2
    WINEPREFIX=$prefix wineserver -k
    WINEPREFIX=$prefix wineserver -w
    rm -rf "$prefix" "$prefix.pid"
  done
  return 1
}

start_session() {
  local prefix=$1 fresh=0
  [ -f "$prefix/system.reg" ] || fresh=1
  mkdir -p "$prefix"
  # wineboot returns once the prefix is ready; the persistent server stays.
  # Only a new prefix is set up (-i): on an existing one that starts a second
  # service manager beside the first, and services that start with Windows
  # then run twice.
  if [ "$fresh" -eq 1 ]; then boot "$prefix" -i; else boot "$prefix" ""; fi
  # A plain Windows machine has no just-in-time debugger; Wine starts winedbg
  # when none is named, so name one that does not exist.
  WINEPREFIX=$prefix wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d 'C:\windows\no-debugger-installed.exe %ld %ld' /f </dev/null >/dev/null 2>&1 || true
  if [ "$fresh" -eq 1 ]; then
    # The session that made the prefix leaves a second service manager behind
    # that keeps the service database locked: StartService fails with 1055.
    # A new prefix is therefore started once more, as Windows starts again
    # after its set-up.
    WINEPREFIX=$prefix wineserver -k
    WINEPREFIX=$prefix wineserver -w
    boot "$prefix" ""
  fi
  find_server "$prefix" >"$prefix.pid" || { rm -f "$prefix.pid"; return 1; }
}

case "${1:-}" in
  start)
    prefix=${2:?prefix}
    if session_running "$prefix"; then WINEPREFIX=$prefix wineserver -k; WINEPREFIX=$prefix wineserver -w; fi
    rm -rf "$prefix" "$prefix.pid"
    start_fresh_session "$prefix" || { echo "wine session for $prefix did not start" >&2; exit 1; }
    ;;
  stop)
    prefix=${2:?prefix}
    if session_running "$prefix"; then
      WINEPREFIX=$prefix wineserver -k
      WINEPREFIX=$prefix wineserver -w
    fi
    rm -f "$prefix.pid"
    ;;
  ensure)
    prefix=${WINEPREFIX:?WINEPREFIX must name the prefix}
    session_running "$prefix" && exit 0
    exec 9>"$prefix.lock"
    flock 9
    if ! session_running "$prefix"; then
      echo "wine-session: starting the session of $prefix" >&2
      start_session "$prefix"
    fi
    ;;
  *)
    echo "usage: $0 start PREFIX | stop PREFIX | ensure" >&2
    exit 2
    ;;
esac
