#!/bin/bash
# Runs a test program under Wine with a tree of Unix symbolic links made for
# it inside the test prefix. A Windows program under Wine cannot make one
# (CreateSymbolicLinkW reports success and creates nothing), so the Unix
# side makes them here before the program starts, and removes the tree
# afterwards with rm, which never follows a link. Every link points to a
# folder: a Unix link to a file, deleted through Wine, deletes its target.
# A watcher swaps swap/tree/sub for a link when the program asks for it by
# creating swap-request.
#   file-links.sh PROGRAM ARGUMENTS...   (the tests' emulator)
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
name=zor-links-$$
root=$WINEPREFIX/drive_c/$name

rm -rf "$root"
mkdir -p "$root/victim/inner" "$root/empty-victim" "$root/tree/sub/deeper" "$root/swap/tree/sub"
echo keep1 >"$root/victim/keep1.txt"
echo keep2 >"$root/victim/inner/keep2.txt"
echo a >"$root/tree/a.txt"
echo b >"$root/tree/sub/b.txt"
echo c >"$root/tree/sub/deeper/c.txt"
echo first >"$root/swap/tree/first.txt"
echo s >"$root/swap/tree/sub/s.txt"
ln -s "$root/victim" "$root/tree/sub/link-to-victim"
ln -s "$root/empty-victim" "$root/tree/link-to-empty"
ln -s "$root/victim" "$root/top-link"
ln -s "$root/empty-victim" "$root/top-link-empty"
ln -s "$root/victim" "$root/swap/spare-link"

(
  while [ ! -e "$root/swap-request" ]; do sleep 0.02; done
  mv "$root/swap/tree/sub" "$root/swap/sub-away"
  mv "$root/swap/spare-link" "$root/swap/tree/sub"
  touch "$root/swap-done"
) </dev/null >/dev/null 2>&1 &
watcher=$!

ZOR_LINK_ROOT="C:\\$name" "$here/../../cmake/wine-run.sh" "$@"
status=$?
kill "$watcher" 2>/dev/null
wait "$watcher" 2>/dev/null
rm -rf "$root"
exit $status
