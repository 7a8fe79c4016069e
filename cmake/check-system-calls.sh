#!/bin/bash
# Fails when a call that can change the machine is reached other than
# through the system tables (platform/native_api.cpp, platform/win32_api.cpp):
# no other object of the program's libraries may refer to such a function,
# by a call (__imp_NAME) or by its address (NAME), and no other source file
# may name one in a string, as a lookup by name would.
# Usage: check-system-calls.sh SOURCE_ROOT LIBRARY...
set -euo pipefail
root=$1
shift
nm=${NM:-x86_64-w64-mingw32-nm}
seam='^(native_api|win32_api)\.cpp\.obj$'

# Files, keys, values, security, privileges, processes, services, devices,
# installer products, the system itself.
changing=(
  CreateProcessW CreateProcessA CreateProcessAsUserW WinExec ShellExecuteW ShellExecuteExW
  _wsystem system _wspawnv _wspawnl _wexecv _wpopen
  AdjustTokenPrivileges ExitWindowsEx InitiateSystemShutdownExW InitiateSystemShutdownW
  MoveFileExW MoveFileW MoveFileWithProgressW CopyFileW CopyFileExW ReplaceFileW DeleteFileW DeleteFileA
  RemoveDirectoryW CreateDirectoryW CreateDirectoryExW SetFileAttributesW SetFileInformationByHandle
  CreateFileW CreateFileA WriteFile
  _wremove _wrename _wunlink _wrmdir _wmkdir _wfopen remove rename
  RegSetValueExW RegSetKeyValueW RegCreateKeyExW RegCreateKeyW RegDeleteKeyW RegDeleteKeyExW RegDeleteValueW
  RegDeleteTreeW RegFlushKey
  TerminateProcess
  CreateServiceW ChangeServiceConfigW ControlService ControlServiceExW DeleteService StartServiceW
  CallNamedPipeW
  SetupDiCallClassInstaller SetupDiRemoveDevice SetupUninstallOEMInfW MsiConfigureProductW MsiConfigureProductExW
)
for prefix in Zw Nt; do
  for name in TerminateProcess WriteFile DeleteFile CreateKey DeleteKey FlushKey DeleteValueKey SetValueKey \
    AdjustPrivilegesToken CreateFile SetInformationFile SetSecurityObject FsControlFile DeviceIoControlFile \
    FlushBuffersFile ShutdownSystem; do
    changing+=("$prefix$name")
  done
done
changing+=(RtlAdjustPrivilege)

pattern="^(__imp_)?($(IFS='|'; echo "${changing[*]}"))$"
failed=0
for library in "$@"; do
  while read -r object symbol; do
    object=${object##*:}
    if [[ ! $object =~ $seam ]]; then
      echo "$(basename "$library"): $object calls $symbol outside the system tables"
      failed=1
    fi
  done < <("$nm" -A --undefined-only "$library" 2>/dev/null |
    awk '{ split($1, at, ":"); print at[2], $NF }' | grep -E " ${pattern:1}" || true)
done

names="\"($(IFS='|'; echo "${changing[*]}"))\""
while IFS= read -r hit; do
  case "$hit" in
    platform/native_api.cpp:* | platform/win32_api.cpp:*) ;;
    *) echo "$hit: names a call that changes the machine outside the system tables"; failed=1 ;;
  esac
done < <(cd "$root" && grep -rnE --include='*.cpp' --include='*.h' "$names" foundation platform logging app engines program || true)

# Methods of system objects that change the machine: reached only through
# the functions of the changing table.
methods='->(DeInstall|Apply|Install|RemoveDevice)\('
while IFS= read -r hit; do
  case "$hit" in
    platform/win32_api.cpp:*) ;;
    *) echo "$hit: calls a method that changes the machine outside the system tables"; failed=1 ;;
  esac
done < <(cd "$root" && grep -rnE --include='*.cpp' --include='*.h' -e "$methods" foundation platform logging app engines program || true)

if [ "$failed" -ne 0 ]; then
  echo "Reach such calls through Win32Changes() or NativeChanges() (platform/win32_api.h, platform/native_api.h)."
  exit 1
fi
echo "no call that changes the machine outside the system tables"
