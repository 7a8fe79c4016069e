#!/bin/bash
# Runs one acceptance scenario in a fresh Wine prefix of its own: the machine
# is prepared, ZOR is installed, the remover runs, and the prefix is compared
# at three moments (before the installation, after it, after the removal)
# with tools/prefix_snapshot.py. The scenario fails on a failed step, on a
# leftover its expected list does not name, on a kept entry that is gone and
# on any collateral damage.
#   run-scenario.sh SCENARIO_FILE BIN_FOLDER WORK_FOLDER
# BIN_FOLDER holds zorremover.exe, zor_fixture_installer.exe and hold_file.exe;
# WORK_FOLDER receives the prefix, the snapshots and the report. The prefix is
# removed when the scenario passes and kept for a look when it fails.
#
# A scenario (scenarios/NAME.scenario) is a bash fragment that sets
#   install_options   options of "zor_fixture_installer.exe install"
#   remover_options   the remover's command line
# and may define the functions
#   before_installation   after the machine is prepared, before the first snapshot
#   after_installation    after the installation, before its snapshot
#   removal               instead of one run of the remover with remover_options
#   after_comparison      after the comparison and the report's check
# Its expected leftovers are listed in scenarios/NAME.expected.
set -uo pipefail

scenario_file=$(realpath "${1:?scenario file}")
export ZOR_BIN=$(realpath "${2:?folder of the programs}")
work=${3:?work folder}
mkdir -p "$work"
export ZOR_WORK=$(realpath "$work")
export ZOR_TOP=$(cd "$(dirname "$0")/../.." && pwd)
export ZOR_PREFIX=$ZOR_WORK/prefix
name=$(basename "$scenario_file" .scenario)
expected=${scenario_file%.scenario}.expected
source "$ZOR_TOP/tools/zor-prefix-steps.sh"

install_options=()
remover_options=(/silent)
before_installation() { :; }
after_installation() { :; }
after_comparison() { :; }
removal() {
  local code=0
  zor_remove "${remover_options[@]}" || code=$?
  [ "$code" -eq 0 ] || scenario_fail "zorremover.exe ${remover_options[*]} ended with exit code $code"
}

failed=0
scenario_fail() {
  echo "SCENARIO FAILED ($name): $*" >&2
  failed=1
}

# Ends the scenario: the session stops whatever happened, the prefix goes
# when everything passed.
finish() {
  zor_end
  if [ "$failed" -eq 0 ]; then
    rm -rf "$ZOR_PREFIX" "$ZOR_PREFIX.pid" "$ZOR_PREFIX.lock"
  else
    echo "-- the prefix stays for a look: $ZOR_PREFIX" >&2
    echo "-- the remover's log, last lines:" >&2
    zor_log_text | tail -n 40 >&2
  fi
}
trap finish EXIT
# A time-out of the test runner ends the scenario through finish as well.
trap 'exit 143' TERM INT

source "$scenario_file"

# Every run of the remover writes its report outside the prefix; the last
# one is checked against the comparison (tools/report_check.py). A scenario
# whose last run is another than the first sets report_run.
report_file=$ZOR_WORK/report.json
report_windows="Z:${report_file//\//\\}"
report_run=${report_run:-1}
rm -f "$report_file"
remover_options+=("/report=$report_windows")

step() { echo "== $name: $*"; }

step "fresh prefix"
zor_new_prefix || { scenario_fail "no Wine prefix"; exit 1; }
step "machine before the product"
zor_installer prepare-machine || { scenario_fail "the machine could not be prepared"; exit 1; }
before_installation || { scenario_fail "before_installation failed"; exit 1; }
zor_snapshot before || { scenario_fail "no snapshot before the installation"; exit 1; }

step "installation ${install_options[*]}"
zor_installer install "${install_options[@]}" || { scenario_fail "the installation failed"; exit 1; }
after_installation || { scenario_fail "after_installation failed"; exit 1; }
zor_snapshot installed || { scenario_fail "no snapshot after the installation"; exit 1; }

# A user's session runs its programs: the product's signed tray and main
# window, and the other vendor's tray.
step "programs of the session"
zor_installer start-programs || { scenario_fail "the session's programs did not start"; exit 1; }

step "removal"
removal
# The product's services are gone from the service manager itself (not only
# their keys), and the other vendor's service of a similar name still runs.
step "services after the removal"
states=$(zor_installer service-state ZorWatchdog ZorSvc ZorUpdate ZorAdminServer ZorroBackup | tr -d '\r')
echo "$states"
expected_states=$'ZorWatchdog absent\nZorSvc absent\nZorUpdate absent\nZorAdminServer absent\nZorroBackup running'
[ "$states" = "$expected_states" ] || scenario_fail "services after the removal: $(echo $states)"
programs=$(zor_installer program-state zortray.exe zorgui.exe zorrobkt.exe | tr -d '\r')
echo "$programs"
[ "$programs" = $'zortray.exe absent\nzorgui.exe absent\nzorrobkt.exe running' ] ||
  scenario_fail "programs after the removal: $(echo $programs)"
zor_snapshot removed || { scenario_fail "no snapshot after the removal"; exit 1; }

step "comparison"
python3 "$ZOR_TOP/tools/prefix_snapshot.py" diff "$ZOR_WORK/before.json" "$ZOR_WORK/installed.json" \
  "$ZOR_WORK/removed.json" --expect "$expected" | tee "$ZOR_WORK/report.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || scenario_fail "unexpected leftovers, entries not kept, or collateral damage (report: $ZOR_WORK/report.txt)"

step "the remover's report"
if [ -f "$report_file" ]; then
  python3 "$ZOR_TOP/tools/report_check.py" "$report_file" --run "$report_run" \
    --snapshots "$ZOR_WORK/before.json" "$ZOR_WORK/installed.json" "$ZOR_WORK/removed.json" ||
    scenario_fail "the report does not say what the comparison finds ($report_file)"
else
  scenario_fail "the last run wrote no report ($report_file)"
fi
after_comparison
exit "$failed"
