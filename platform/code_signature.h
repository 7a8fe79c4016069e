#pragma once
// Whose code signature an image file carries. The trust and cryptography
// libraries are loaded on first use and shared (see RuntimeLibrary); their
// functions are reached through the Trust() table, which a test may swap
// entries of, as with the other system tables.
#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

struct CodeSignatureInfo {
  std::wstring issuer;
  // From the counter-signature's time stamp; all bits set when there is none.
  std::uint64_t signingTime = ~std::uint64_t{0};
  bool IsMakerCertificate = false;
  std::wstring subject;
  bool IsMakerSubject = false;
};

// Fails with WinVerifyTrust's answer for a file that is unsigned, whose
// signature is broken or whose chain Windows does not trust: the
// certificate is then never looked at.
StatusCode ReadCodeSignature(std::wstring_view path, CodeSignatureInfo& info);

namespace trust {
// Each resolves its function in Wintrust.dll or Crypt32.dll on its first
// call; when the library or the function cannot be had, it fails with the
// last error set to the reason (ERROR_PROC_NOT_FOUND, ERROR_MOD_NOT_FOUND).
LONG WINAPI VerifyTrust(HWND window, GUID* action, void* data);
BOOL WINAPI QueryObject(DWORD type, const void* object, DWORD contentFlags, DWORD formatFlags, DWORD flags,
                        DWORD* encoding, DWORD* contentType, DWORD* formatType, HCERTSTORE* store, HCRYPTMSG* message,
                        const void** context);
BOOL WINAPI MessageParameter(HCRYPTMSG message, DWORD type, DWORD index, void* data, DWORD* size);
PCCERT_CONTEXT WINAPI FindCertificate(HCERTSTORE store, DWORD encoding, DWORD flags, DWORD type, const void* para,
                                      PCCERT_CONTEXT previous);
DWORD WINAPI NameString(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* typePara, LPWSTR name, DWORD size);
BOOL WINAPI DecodeObject(DWORD encoding, LPCSTR structType, const BYTE* encoded, DWORD encodedSize, DWORD flags,
                         void* decoded, DWORD* decodedSize);
BOOL WINAPI FreeCertificate(PCCERT_CONTEXT certificate);
BOOL WINAPI CloseMessage(HCRYPTMSG message);
BOOL WINAPI CloseStore(HCERTSTORE store, DWORD flags);
}  // namespace trust

struct TrustApi {
  decltype(&trust::VerifyTrust) WinVerifyTrust = &trust::VerifyTrust;
  decltype(&trust::QueryObject) CryptQueryObject = &trust::QueryObject;
  decltype(&trust::MessageParameter) CryptMsgGetParam = &trust::MessageParameter;
  decltype(&trust::FindCertificate) CertFindCertificateInStore = &trust::FindCertificate;
  decltype(&trust::NameString) CertGetNameStringW = &trust::NameString;
  decltype(&trust::DecodeObject) CryptDecodeObject = &trust::DecodeObject;
  decltype(&trust::FreeCertificate) CertFreeCertificateContext = &trust::FreeCertificate;
  decltype(&trust::CloseMessage) CryptMsgClose = &trust::CloseMessage;
  decltype(&trust::CloseStore) CertCloseStore = &trust::CloseStore;
};
TrustApi& Trust();

}  // namespace zor
