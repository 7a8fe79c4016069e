#!/bin/bash
# Runs a file stage test program under Wine with product folders that are
# Unix symbolic links, made here because no Windows program under Wine can
# make one. Each link points at a folder outside the product whose files
# carry product names, so that anything removed through a link shows.
# Below the folder named to the program by ZOR_REMOVER_LINK_ROOT:
#   victims\NAME\...                             the folders the links point at
#   data\ProgramData\ZOR10 -> victims\data       the data folder itself
#   sub\ProgramData\ZOR10\Logs -> victims\sub    a folder a row names
#   between\ProgramData\ZOR10\Update -> victims\between
#                                                a folder above deeper rows
#   case\ProgramData\ZOR10\uPDATE -> victims\case  the same, in other letters
#   common\ProgramData\ZOR -> victims\common     planted under ProgramData
#   main\Program Files (x86)\ZOR -> victims\main the main folder
#   check\folder\inner, check\file.txt, check\link -> victims\check
#   filelink\Desktop\ZOR Security 10.lnk, filelink\ZOR10\zorcore.dll,
#   filelink\ZOR10\Drivers\zorfwfd.sys -> victims\filelink\keep-*.txt
#                                                links to files
# The tree is removed afterwards with rm, which never follows a link. A Unix
# link to a file, deleted through Wine, deletes its target: the links to
# files point only at files made here for them.
#   file-remover-links.sh PROGRAM ARGUMENTS...   (the tests' emulator)
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
name=zor-remover-links-$$
root=$WINEPREFIX/drive_c/$name

victim() {
  local v=$root/victims/$1
  mkdir -p "$v/Logs" "$v/Config" "$v/Temp" "$v/Update/Temp" "$v/ZOR10/Logs" "$v/Shared" "$v/Licenses/Offline"
  echo keep >"$v/keep.txt"
  echo core >"$v/zorcore.dll"
  echo log >"$v/Logs/zorsvc.log"
  echo config >"$v/Config/zorcfg.xml"
  echo scan >"$v/Temp/scan.tmp"
  echo part >"$v/Update/Temp/part.tmp"
  echo update >"$v/Update/zorupd.ini"
  echo gui >"$v/ZOR10/zorgui.exe"
  echo guilog >"$v/ZOR10/Logs/zorgui.log"
  echo shared >"$v/Shared/shared.dat"
  echo license >"$v/Licenses/zor.lic"
  echo offline >"$v/Licenses/Offline/zor.lic"
}

rm -rf "$root"
for v in data sub between case common main check; do victim "$v"; done
mkdir -p "$root/data/ProgramData" "$root/sub/ProgramData/ZOR10" "$root/between/ProgramData/ZOR10" "$root/case/ProgramData/ZOR10" \
  "$root/common/ProgramData" "$root/main/Program Files (x86)" "$root/check/folder/inner"
echo file >"$root/check/file.txt"
ln -s "$root/victims/data" "$root/data/ProgramData/ZOR10"
ln -s "$root/victims/sub" "$root/sub/ProgramData/ZOR10/Logs"
ln -s "$root/victims/between" "$root/between/ProgramData/ZOR10/Update"
ln -s "$root/victims/case" "$root/case/ProgramData/ZOR10/uPDATE"
ln -s "$root/victims/common" "$root/common/ProgramData/ZOR"
ln -s "$root/victims/main" "$root/main/Program Files (x86)/ZOR"
ln -s "$root/victims/check" "$root/check/link"
mkdir -p "$root/victims/filelink" "$root/filelink/Desktop" "$root/filelink/ZOR10/Drivers/x64"
for kind in shortcut library driver; do echo "the user's $kind" >"$root/victims/filelink/keep-$kind.txt"; done
echo driver >"$root/filelink/ZOR10/Drivers/x64/zorfwfd.sys"
ln -s "$root/victims/filelink/keep-shortcut.txt" "$root/filelink/Desktop/ZOR Security 10.lnk"
ln -s "$root/victims/filelink/keep-library.txt" "$root/filelink/ZOR10/zorcore.dll"
ln -s "$root/victims/filelink/keep-driver.txt" "$root/filelink/ZOR10/Drivers/zorfwfd.sys"

ZOR_REMOVER_LINK_ROOT="C:\\$name" "$here/../../cmake/wine-run.sh" "$@"
status=$?
rm -rf "$root"
exit $status
