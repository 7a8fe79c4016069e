#!/bin/bash
# Times DeleteTree against "cmd /c rd /s /q" on two identical trees of
# 20,000 files in 2,000 folders, made on the Unix side in a Wine prefix of
# the benchmark's own, and prints wall time, files per second and their
# ratio for each round (the tools take turns going first) and the medians
# over all rounds. Figures, no test.
#   tools/bench-tree-delete.sh [WINDOWS_BUILD_DIR [ROUNDS]]
#   (defaults: build/windows, 4 rounds)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/windows}" && pwd)
program=$build/bin/bench_tree_delete.exe
if [ ! -f "$program" ]; then
  echo "no $program: cmake --build $build --target bench_tree_delete" >&2
  exit 1
fi
export WINEPREFIX=$build/wine/bench-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
rounds=${2:-4}
folders=2000
per_folder=10
files=$((folders * per_folder))

"$top/cmake/wine-session.sh" start "$WINEPREFIX"
trap '"$top/cmake/wine-session.sh" stop "$WINEPREFIX"; rm -rf "$WINEPREFIX/drive_c/bench"' EXIT

# Ten folders at the top, two hundred below each, ten files of 1 KB in
# every one of those.
make_tree() {
  local root=$1 group leaf file content
  content=$(head -c 1024 /dev/zero | tr '\0' 'z')
  mkdir -p "$root"
  for group in $(seq -w 0 9); do
    for leaf in $(seq -w 0 199); do
      mkdir -p "$root/group$group/folder$leaf"
      for file in 0 1 2 3 4 5 6 7 8 9; do
        printf '%s' "$content" >"$root/group$group/folder$leaf/file$file.dat"
      done
    done
  done
}

echo "trees of $files files in $folders folders (plus 10 group folders), wine $(wine --version 2>/dev/null)"
results=$(mktemp)
for round in $(seq 1 "$rounds"); do
  rm -rf "$WINEPREFIX/drive_c/bench"
  make_tree "$WINEPREFIX/drive_c/bench/ours"
  make_tree "$WINEPREFIX/drive_c/bench/theirs"
  made=$(find "$WINEPREFIX/drive_c/bench/ours" "$WINEPREFIX/drive_c/bench/theirs" -type f | wc -l)
  [ "$made" -eq $((2 * files)) ] || { echo "made $made files, wanted $((2 * files))" >&2; exit 1; }
  sync
  order=""
  [ $((round % 2)) -eq 0 ] && order=rd-first
  echo "round $round${order:+ ($order)}:"
  wine "$program" 'C:\bench\ours' 'C:\bench\theirs' "$files" $order | tee -a "$results"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ours=$(awk '/^DeleteTree/ { print $2 }' "$results" | median)
theirs=$(awk '/^cmd/ { print $6 }' "$results" | median)
rm -f "$results"
awk -v ours="$ours" -v theirs="$theirs" -v files="$files" -v rounds="$rounds" 'BEGIN {
  printf "median of %d rounds: DeleteTree %.3f s (%.0f files/s), rd /s /q %.3f s (%.0f files/s), ratio rd / DeleteTree %.2f\n",
         rounds, ours, files / ours, theirs, files / theirs, theirs / ours }'
