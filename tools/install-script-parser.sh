#!/bin/bash
# Installs the PowerShell parser that the tests of the transport-agent
# scripts use (tools/script-parser, from the npm registry, versions fixed by
# its lock file), and Node.js first when the machine has none. Asks nothing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  "$here/install-deps.sh" nodejs npm
fi
cd "$here/script-parser"
if [ -f node_modules/.package-lock.json ] && cmp -s package-lock.json node_modules/.zor-installed-lock; then
  exit 0
fi
npm ci --ignore-scripts --no-audit --no-fund --loglevel=error </dev/null
cp package-lock.json node_modules/.zor-installed-lock
