# Steps of a removal in a Wine prefix of its own, shared by the acceptance
# scenarios (tests/acceptance) and the demo (run-demo.sh). Source this file
# after setting
#   ZOR_TOP     the source tree
#   ZOR_BIN     the folder holding zorremover.exe, zor_fixture_installer.exe
#               and hold_file.exe
#   ZOR_PREFIX  the Wine prefix to make (it is removed and made afresh)
#   ZOR_WORK    the folder for the snapshots
# Every Wine program runs with its standard input closed: nothing may wait
# for a terminal.

export WINEDEBUG=-all
# No Mono or Gecko installers; no desktop process (without a display it
# leaves message boxes waiting); no Unix desktop menu entries for the
# shortcuts the installer makes.
export WINEDLLOVERRIDES='mscoree,mshtml=;explorer.exe=d;winemenubuilder.exe=d'
export WINEPREFIX=$ZOR_PREFIX

# Where the remover runs from: a local folder of the machine, as an
# administrator would copy it; its restart entry starts it from there again.
ZOR_REMOVER_FOLDER='C:\remover'
ZOR_REMOVER="$ZOR_REMOVER_FOLDER\\zorremover.exe"

zor_session() { "$ZOR_TOP/cmake/wine-session.sh" "$@"; }

# A Windows path of the prefix as a Unix path (C:\a\b -> PREFIX/drive_c/a/b).
zor_unix_path() {
  local path=${1#[Cc]:}
  printf '%s/drive_c%s\n' "$ZOR_PREFIX" "${path//\\//}"
}

zor_wine() { zor_session ensure && wine "$@" </dev/null; }

# A fresh prefix with its session running and the remover copied into it.
zor_new_prefix() {
  mkdir -p "$ZOR_WORK"
  zor_session start "$ZOR_PREFIX" || return 1
  local folder
  folder=$(zor_unix_path "$ZOR_REMOVER_FOLDER")
  mkdir -p "$folder"
  cp "$ZOR_BIN/zorremover.exe" "$folder/"
}

# Ends the session (Wine writes the registry files only then) and records
# the prefix as ZOR_WORK/NAME.json. The next Wine program starts the session
# again, which is what a start of Windows does.
zor_snapshot() {
  zor_session stop "$ZOR_PREFIX" &&
    python3 "$ZOR_TOP/tools/prefix_snapshot.py" record "$ZOR_PREFIX" "$ZOR_WORK/$1.json"
}

zor_installer() { zor_wine "$ZOR_BIN/zor_fixture_installer.exe" "$@"; }

# Runs the remover copied into the prefix; its exit code is the remover's
# (Wine passes on the low byte only: 0 stays 0).
zor_remove() { zor_wine "$ZOR_REMOVER" "$@"; }

# The remover's log as a Unix path, and its text (UTF-16LE) as UTF-8.
zor_log_path() { zor_unix_path "$ZOR_REMOVER_FOLDER\\zorremover.log"; }
zor_log_text() {
  local log
  log=$(zor_log_path)
  [ -f "$log" ] && python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], encoding="utf-16").read().replace("\r", ""))' "$log"
}

zor_end() { zor_session stop "$ZOR_PREFIX"; }
