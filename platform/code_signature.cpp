#include "platform/code_signature.h"

#include <wintrust.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/maker_certificates.h"
#include "platform/runtime_library.h"

namespace zor {
namespace {

RuntimeLibrary g_wintrust{L"Wintrust.dll"};
RuntimeLibrary g_crypt32{L"Crypt32.dll"};
TrustApi g_trust;

constexpr DWORD kEncodings = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// WINTRUST_ACTION_GENERIC_VERIFY_V2: Authenticode's policy.
constexpr GUID kVerifyAuthenticode = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
constexpr char kCounterSignature[] = "1.2.840.113549.1.9.6";
constexpr char kSigningTime[] = "1.2.840.113549.1.9.5";

// The function `name` of `library`, or null with the last error set.
template <typename Function>
Function Resolved(RuntimeLibrary& library, const char* name, std::atomic<void*>& slot) {
  void* address = nullptr;
  if (IsFailure(library.Resolve(name, slot, address))) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<Function>(address);
}

// The release of what one reading holds, on every path.
struct Held {
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  PCCERT_CONTEXT certificate = nullptr;
  ~Held() {
    if (certificate) Trust().CertFreeCertificateContext(certificate);
    if (message) Trust().CryptMsgClose(message);
    if (store) Trust().CertCloseStore(store, 0);
  }
};

StatusCode LastErrorStatus() {
  const DWORD error = GetLastError();
  return StatusFromLastError(error != 0 ? error : ERROR_GEN_FAILURE);
}

// A value as CryptDecodeObject gives it, in a buffer of the size it asks for.
StatusCode Decode(LPCSTR type, const CRYPT_ATTR_BLOB& blob, std::vector<std::byte>& decoded) {
  DWORD size = 0;
  if (!Trust().CryptDecodeObject(kEncodings, type, blob.pbData, blob.cbData, 0, nullptr, &size)) return LastErrorStatus();
  decoded.resize(size);
  if (!Trust().CryptDecodeObject(kEncodings, type, blob.pbData, blob.cbData, 0, decoded.data(), &size)) {
    return LastErrorStatus();
  }
  return status::Success;
}

const CRYPT_ATTRIBUTE* FindAttribute(const CRYPT_ATTRIBUTES& attributes, const char* identifier) {
  for (DWORD i = 0; i < attributes.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = attributes.rgAttr[i];
    if (attribute.pszObjId && std::strcmp(attribute.pszObjId, identifier) == 0 && attribute.cValue > 0) {
      return &attribute;
    }
  }
  return nullptr;
}

// The signing time of the counter-signature's time stamp, when there is one.
StatusCode CounterSignatureTime(const CMSG_SIGNER_INFO& signer, std::uint64_t& time) {
  const CRYPT_ATTRIBUTE* counter = FindAttribute(signer.UnauthAttrs, kCounterSignature);
  if (counter == nullptr) return status::Success;
  std::vector<std::byte> counterSigner;
  if (const StatusCode decoded = Decode(PKCS7_SIGNER_INFO, counter->rgValue[0], counterSigner); IsFailure(decoded)) {
    return decoded;
  }
  const auto* stamp = reinterpret_cast<const CMSG_SIGNER_INFO*>(counterSigner.data());
  const CRYPT_ATTRIBUTE* signing = FindAttribute(stamp->AuthAttrs, kSigningTime);
  if (signing == nullptr) return status::Success;
  std::vector<std::byte> when;
  if (const StatusCode decoded = Decode(kSigningTime, signing->rgValue[0], when); IsFailure(decoded)) return decoded;
  FILETIME fileTime;
  std::memcpy(&fileTime, when.data(), sizeof fileTime);
  time = (static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
  return status::Success;
}

StatusCode NameOf(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, std::wstring& name) {
  const DWORD length = Trust().CertGetNameStringW(certificate, type, flags, nullptr, nullptr, 0);
  if (length == 0) return LastErrorStatus();
  std::wstring text(length, L'\0');
  Trust().CertGetNameStringW(certificate, type, flags, nullptr, text.data(), length);
  // The length counts the terminating zero.
  text.resize(length - 1);
  name = std::move(text);
  return status::Success;
}

}  // namespace

namespace trust {
namespace {
std::atomic<void*> g_verify{nullptr}, g_query{nullptr}, g_parameter{nullptr}, g_find{nullptr}, g_name{nullptr},
    g_decode{nullptr}, g_free{nullptr}, g_closeMessage{nullptr}, g_closeStore{nullptr};
}  // namespace

LONG WINAPI VerifyTrust(HWND window, GUID* action, void* data) {
  const auto function = Resolved<decltype(&VerifyTrust)>(g_wintrust, "WinVerifyTrust", g_verify);
  return function ? function(window, action, data) : static_cast<LONG>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
}
BOOL WINAPI QueryObject(DWORD type, const void* object, DWORD contentFlags, DWORD formatFlags, DWORD flags,
                        DWORD* encoding, DWORD* contentType, DWORD* formatType, HCERTSTORE* store, HCRYPTMSG* message,
                        const void** context) {
  const auto function = Resolved<decltype(&QueryObject)>(g_crypt32, "CryptQueryObject", g_query);
  return function && function(type, object, contentFlags, formatFlags, flags, encoding, contentType, formatType, store,
                               message, context);
}
BOOL WINAPI MessageParameter(HCRYPTMSG message, DWORD type, DWORD index, void* data, DWORD* size) {
  const auto function = Resolved<decltype(&MessageParameter)>(g_crypt32, "CryptMsgGetParam", g_parameter);
  return function && function(message, type, index, data, size);
}
PCCERT_CONTEXT WINAPI FindCertificate(HCERTSTORE store, DWORD encoding, DWORD flags, DWORD type, const void* para,
                                      PCCERT_CONTEXT previous) {
  const auto function = Resolved<decltype(&FindCertificate)>(g_crypt32, "CertFindCertificateInStore", g_find);
  return function ? function(store, encoding, flags, type, para, previous) : nullptr;
}
DWORD WINAPI NameString(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* typePara, LPWSTR name, DWORD size) {
  const auto function = Resolved<decltype(&NameString)>(g_crypt32, "CertGetNameStringW", g_name);
  return function ? function(certificate, type, flags, typePara, name, size) : 0;
}
BOOL WINAPI DecodeObject(DWORD encoding, LPCSTR structType, const BYTE* encoded, DWORD encodedSize, DWORD flags,
                         void* decoded, DWORD* decodedSize) {
  const auto function = Resolved<decltype(&DecodeObject)>(g_crypt32, "CryptDecodeObject", g_decode);
  return function && function(encoding, structType, encoded, encodedSize, flags, decoded, decodedSize);
}
BOOL WINAPI FreeCertificate(PCCERT_CONTEXT certificate) {
  const auto function = Resolved<decltype(&FreeCertificate)>(g_crypt32, "CertFreeCertificateContext", g_free);
  return function && function(certificate);
}
BOOL WINAPI CloseMessage(HCRYPTMSG message) {
  const auto function = Resolved<decltype(&CloseMessage)>(g_crypt32, "CryptMsgClose", g_closeMessage);
  return function && function(message);
}
BOOL WINAPI CloseStore(HCERTSTORE store, DWORD flags) {
  const auto function = Resolved<decltype(&CloseStore)>(g_crypt32, "CertCloseStore", g_closeStore);
  return function && function(store, flags);
}
}  // namespace trust

TrustApi& Trust() { return g_trust; }

StatusCode ReadCodeSignature(std::wstring_view path, CodeSignatureInfo& info) {
  const LibraryUse wintrust(g_wintrust);
  const LibraryUse crypt32(g_crypt32);
  if (const StatusCode loaded = g_wintrust.Load(); IsFailure(loaded)) return loaded;
  if (const StatusCode loaded = g_crypt32.Load(); IsFailure(loaded)) return loaded;

  CodeSignatureInfo read;
  const std::wstring file(path);
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = file.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwProvFlags = WTD_SAFER_FLAG;
  GUID action = kVerifyAuthenticode;
  const LONG trusted = Trust().WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  if (trusted < 0) return static_cast<StatusCode>(trusted);

  Held held;
  DWORD encoding = 0, contentType = 0, formatType = 0;
  if (!Trust().CryptQueryObject(CERT_QUERY_OBJECT_FILE, file.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                                CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &held.store,
                                &held.message, nullptr)) {
    return LastErrorStatus();
  }
  DWORD size = 0;
  if (!Trust().CryptMsgGetParam(held.message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size)) return LastErrorStatus();
  std::vector<std::byte> signerBytes(size);
  if (!Trust().CryptMsgGetParam(held.message, CMSG_SIGNER_INFO_PARAM, 0, signerBytes.data(), &size)) {
    return LastErrorStatus();
  }
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBytes.data());
  CERT_INFO wanted{};
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;
  held.certificate = Trust().CertFindCertificateInStore(held.store, kEncodings, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
  if (held.certificate == nullptr) return LastErrorStatus();

  const CRYPT_INTEGER_BLOB& serial = held.certificate->pCertInfo->SerialNumber;
  read.IsMakerCertificate = IsMakerSerial(std::span<const std::uint8_t>(serial.pbData, serial.cbData));
  if (const StatusCode named = NameOf(held.certificate, CERT_NAME_RDN_TYPE, CERT_NAME_ISSUER_FLAG, read.issuer);
      IsFailure(named)) {
    return named;
  }
  if (const StatusCode named = NameOf(held.certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, read.subject);
      IsFailure(named)) {
    return named;
  }
  read.IsMakerSubject = read.subject == kMakerSubject;
  if (const StatusCode timed = CounterSignatureTime(*signer, read.signingTime); IsFailure(timed)) return timed;
  info = std::move(read);
  return status::Success;
}

}  // namespace zor
