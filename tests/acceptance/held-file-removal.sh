# The removal of the held-file scenarios: a product file is held open
# without delete sharing while the first run removes, as a running program
# holds its own files. The first run plans the file's deletion at the
# restart and registers its second run under RunOnce; a simulated restart of
# Windows (wineboot -r) deletes the file and runs the second run, which
# finishes the folders. Source it from a scenario that sets
#   held              the Windows path of the file to hold
#   entry_parts       texts the restart entry must hold (besides run_number=2)
held_file_removal() {
  local line='' code=0 input entry part
  local run_once='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'
  local session_manager='HKLM\System\CurrentControlSet\Control\Session Manager'
  coproc holder { zor_session ensure && exec wine "$ZOR_BIN/hold_file.exe" 600 "$held" 2>&1; }
  # hold_file ends when its input pipe closes; closing it is the release.
  read -r -t 120 line <&"${holder[0]}"
  [ "${line%$'\r'}" = holding ] || { scenario_fail "hold_file.exe did not hold $held: '$line'"; return; }

  zor_remove "${remover_options[@]}" || code=$?
  [ "$code" -eq 0 ] || scenario_fail "the first run ended with exit code $code"
  # The first run's report names the held file as planned for the restart;
  # the run after the restart replaces it.
  if cp "$report_file" "$ZOR_WORK/report-1.json" 2>/dev/null; then
    python3 "$ZOR_TOP/tools/report_check.py" "$ZOR_WORK/report-1.json" --run 1 --planned "$held" ||
      scenario_fail "the first run's report does not list $held as planned at the restart"
  else
    scenario_fail "the first run wrote no report"
  fi
  [ -f "$(zor_unix_path "$held")" ] || scenario_fail "the held file is gone while it is held"
  entry=$(zor_wine reg query "$run_once" /v ZorRemover)
  echo "-- restart entry: $(grep -i 'ZorRemover' <<<"$entry" | tr -d '\r')"
  grep -q 'run_number=2' <<<"$entry" || scenario_fail "no restart entry ZorRemover with run_number=2 under $run_once"
  for part in "${entry_parts[@]}"; do
    grep -qF -- "$part" <<<"$entry" || scenario_fail "the restart entry does not hold $part"
  done
  zor_wine reg query "$session_manager" /v PendingFileRenameOperations | grep -qiF "$(basename "${held//\\//}")" ||
    scenario_fail "the held file is not planned for deletion at the restart"
  zor_wine reg query 'HKLM\Software\ZorRemover\UnfinishedRun' /reg:64 >/dev/null 2>&1 ||
    scenario_fail "the first run's record is gone before the run after the restart"

  input=${holder[1]}
  exec {input}>&-
  wait "$holder_PID"

  echo "-- simulated restart (wineboot -r)"
  zor_wine wineboot -r || scenario_fail "wineboot -r failed"
  [ ! -e "$(zor_unix_path "$held")" ] || scenario_fail "the held file is still there after the restart"
  ! zor_wine reg query "$run_once" /v ZorRemover >/dev/null 2>&1 ||
    scenario_fail "the restart entry is still there after the restart"
  zor_log_text | grep -q 'ZorRemover runs in attempt number 2' ||
    scenario_fail "the log shows no second run"
  ! zor_wine reg query 'HKLM\Software\ZorRemover' /reg:64 >/dev/null 2>&1 ||
    scenario_fail "the record of the run is still there after the second run"
}
