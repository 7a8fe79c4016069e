#pragma once
// The signed copies of a test program that tools/make-signed-programs.sh
// makes before the tests that use them (the target defines
// ZOR_SIGNED_PROGRAMS), and the test root CA among the machine's trusted
// roots, as a real machine trusts the maker's issuer.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
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

// A copy of a signed program at `path`, running until it is stopped or the
// test ends.
class RunningCopy {
 public:
  RunningCopy(const std::wstring& signedName, const std::wstring& path) : path_(path) {
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    CreateDirectoryW(folder.c_str(), nullptr);
    copied_ = CopyFileW(test::SignedProgram(signedName).c_str(), path.c_str(), FALSE) != FALSE;
    const std::wstring held = folder + L"\\held-" + std::to_wstring(GetTickCount()) + L".txt";
    CloseHandle(CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::wstring command = L"\"" + path + L"\" 600 \"" + held + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (copied_ && CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                  nullptr, &startup, &process_)) {
      CloseHandle(process_.hThread);
      // The program has its image mapped once it waits for its input.
      WaitForInputIdle(process_.hProcess, 2000);
      Sleep(300);
    }
  }
  ~RunningCopy() {
    if (process_.hProcess) {
      TerminateProcess(process_.hProcess, 0);
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hProcess);
    }
  }
  bool Started() const { return process_.hProcess != nullptr; }
  bool Running() const { return process_.hProcess && WaitForSingleObject(process_.hProcess, 2000) == WAIT_TIMEOUT; }
  std::uint32_t Id() const { return process_.dwProcessId; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  bool copied_ = false;
  PROCESS_INFORMATION process_{};
};

}  // namespace zor::test
