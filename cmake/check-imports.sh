#!/bin/bash
# The program must run alone on a Windows machine: every DLL it imports is a
# Windows system DLL, none of the compiler's run-times.
set -euo pipefail
program=$1
allowed='^(ntdll|kernel32|user32|advapi32|msvcrt|shell32|ole32|oleaut32|setupapi|wintrust|crypt32|msi|wtsapi32|api-ms-win-[a-z0-9-]+)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no import table found in $program"; exit 1; }
echo "$imports"
bad=$(echo "$imports" | grep -v -E "$allowed" || true)
if [ -n "$bad" ]; then
  echo "imports outside Windows: $bad"
  exit 1
fi
