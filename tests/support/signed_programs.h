#pragma once
// The signed copies of a test program that tools/make-signed-programs.sh
// makes before the tests that use them (the target defines
// ZOR_SIGNED_PROGRAMS), and the test root CA among the machine's trusted
// roots, as a real machine trusts the maker's issuer.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace zor::test {

// The Windows path of one of the signed copies (maker.exe, ...).
inline std::wstring SignedProgram(const std::wstring& name) {
  std::wstring path = L"Z:" + Widen(ZOR_SIGNED_PROGRAMS) + L"/" + name;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// Adds the test root CA to the machine's trusted roots once; true when it
// is there.
inline bool TrustTestRoot() {
  std::ifstream file(std::string(ZOR_SIGNED_PROGRAMS) + "/root-ca.cer", std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return false;
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!root) return false;
  const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(bytes.data()),
                                                      static_cast<DWORD>(bytes.size()), CERT_STORE_ADD_USE_EXISTING,
                                                      nullptr);
  CertCloseStore(root, 0);
  return added != FALSE;
}

}  // namespace zor::test
