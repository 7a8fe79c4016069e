#!/bin/bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing; given package names, installs those instead. Runs as root
# or through sudo; asks nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  googletest nlohmann-json3-dev
  msitools wixl osslsigncode openssl
  procps util-linux
  python3
)
[ $# -eq 0 ] || packages=("$@")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_prefix=()
[ "$(id -u)" -eq 0 ] || sudo_prefix=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_prefix[@]}" apt-get update -q </dev/null
"${sudo_prefix[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
