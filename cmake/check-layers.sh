#!/bin/bash
# Fails when a file of one folder includes a file of a folder above it.
# Usage: check-layers.sh SOURCE_ROOT LAYER... (the layers bottom first).
# The build also gives each folder's library an include root that holds only
# its own folder and those below; this check covers what no compiler sees
# alone, such as a header that reaches up and is included only from above.
set -euo pipefail
root=$1
shift
declare -A rank
index=0
for layer in "$@"; do
  rank[$layer]=$index
  index=$((index + 1))
done

failed=0
for layer in "$@"; do
  [ -d "$root/$layer" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"/]*\)\/.*/\1/p' <<<"${rest#*:}")
    [ -n "$target" ] || continue
    if [ -z "${rank[$target]+set}" ]; then
      echo "${file#$root/}:$line: includes \"$target/\", which is no layer of the program (tests and tools are above every layer)"
      failed=1
    elif [ "${rank[$target]}" -gt "${rank[$layer]}" ]; then
      echo "${file#$root/}:$line: $layer/ includes $target/, a folder above it"
      failed=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/' "$root/$layer" || true)
done
if [ "$failed" -ne 0 ]; then
  echo "Layers, bottom first: $*. A folder may include only its own folder and those below it."
  exit 1
fi
