#!/bin/bash
# Signs copies of a program as the maker and others would, for the tests of
# the code-signature reader and the process stage. Keys and certificates are
# made here, for this run only: a test root CA; code-signing certificates
# with subject "ZOR Technologies" and one of the maker's serial numbers,
# another serial, and a 15-byte serial; a time-stamping certificate served
# by a local time-stamp server (tools/legacy_tsa.py).
#   make-signed-programs.sh PROGRAM OUT_FOLDER
# OUT_FOLDER receives root-ca.cer (DER) and, all copies of PROGRAM:
#   maker.exe          maker's first serial, no time stamp
#   maker-stamped.exe  maker's second serial, with a time stamp
#   other-serial.exe   same subject, another serial
#   short-serial.exe   same subject, a 15-byte serial
#   unsigned.exe
# and keys/maker.pem, keys/maker.key: the maker's first certificate, for
# signing a test program of the build itself (the build folder only).
set -euo pipefail
program=$(realpath "${1:?program}")
out=$(realpath -m "${2:?out folder}")
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
# The signing tool writes no file over an older one.
rm -f "$out"/*.exe
work=$(mktemp -d)
tsa=
trap 'kill $tsa 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"

quiet() { "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; "$@"; exit 1; }; }

cat >ext.cnf <<'CNF'
[req]
distinguished_name = name
[name]
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[codesign]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
[stamping]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
CNF

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
  -subj "/CN=ZOR Test Root CA/O=ZOR Test" -extensions root -config ext.cnf

# certificate NAME SERIAL SUBJECT EXTENSION
certificate() {
  quiet openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "$3" -config ext.cnf
  quiet openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -set_serial "$2" -days 30 \
    -extfile ext.cnf -extensions "$4" -out "$1.pem"
}
certificate maker1 0x5A4F520A7C319E42B806D13F64E2951C "/CN=ZOR Technologies/O=ZOR Technologies" codesign
certificate maker2 0x5A4F520B21C4078D935E6AF03B82D749 "/CN=ZOR Technologies/O=ZOR Technologies" codesign
certificate other 0x31A7C2E90D4B5F68A1C3E5079B2D4F61 "/CN=ZOR Technologies/O=ZOR Technologies" codesign
certificate short 0x4F520A7C319E42B806D13F64E2951C "/CN=ZOR Technologies/O=ZOR Technologies" codesign
certificate tsa 0x7E11 "/CN=ZOR Test Time Stamps/O=ZOR Test" stamping

port_file=$work/tsa.port
python3 "$here/legacy_tsa.py" tsa.pem tsa.key ca.pem "$port_file" &
tsa=$!
for _ in $(seq 50); do [ -s "$port_file" ] && break; sleep 0.1; done
[ -s "$port_file" ] || { echo "the time-stamp server did not start" >&2; exit 1; }

sign() {
  local name=$1 key=$2
  shift 2
  quiet osslsigncode sign -certs "$key.pem" -key "$key.key" -n "ZOR test program" -h sha256 \
    -in "$program" -out "$out/$name" "$@"
}
sign maker.exe maker1
sign maker-stamped.exe maker2 -t "http://127.0.0.1:$(cat "$port_file")/"
sign other-serial.exe other
sign short-serial.exe short
cp "$program" "$out/unsigned.exe"
openssl x509 -in ca.pem -outform DER -out "$out/root-ca.cer"
mkdir -p "$out/keys"
cp maker1.pem "$out/keys/maker.pem"
cp maker1.key "$out/keys/maker.key"
echo "signed programs in $out"
