// The code-signature reader on programs signed for this run: the maker's
// serials, another serial, a 15-byte serial, a time stamp, no signature.
#include "platform/code_signature.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/maker_certificates.h"
#include "tests/support/narrow_text.h"
#include "tests/support/signed_programs.h"

namespace zor {
namespace {

using test::Narrow;
using test::SignedProgram;

constexpr std::uint64_t kNoTime = ~std::uint64_t{0};

// When the file was last written, in FILETIME units; 0 when unknown.
std::uint64_t WrittenAt(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::uint64_t Distance(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : b - a; }

TEST(ReadCodeSignature, TellsTheMakersCertificatesFromOthersAndReadsTheTimeStamp) {
  ASSERT_TRUE(test::TrustTestRoot());
  const struct {
    const wchar_t* file;
    bool maker;
    bool stamped;
  } rows[] = {
      {L"maker.exe", true, false},
      {L"maker-stamped.exe", true, true},
      {L"other-serial.exe", false, false},
      {L"short-serial.exe", false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.file));
    CodeSignatureInfo info;
    ASSERT_EQ(ReadCodeSignature(SignedProgram(row.file), info), status::Success);
    EXPECT_EQ(info.IsMakerCertificate, row.maker);
    EXPECT_EQ(Narrow(info.subject), "ZOR Technologies");
    EXPECT_TRUE(info.IsMakerSubject);
    EXPECT_NE(info.issuer.find(L"ZOR Test Root CA"), std::wstring::npos) << Narrow(info.issuer);
    if (row.stamped) {
      // Stamped by the build's own server while it signed the file: within
      // ten minutes of the file's writing, however old the build is.
      EXPECT_LT(Distance(WrittenAt(SignedProgram(row.file)), info.signingTime), 6000000000ull);
    } else {
      EXPECT_EQ(info.signingTime, kNoTime);
    }
  }
}

TEST(ReadCodeSignature, AnUnsignedFileFailsAtTheTrustCheck) {
  CodeSignatureInfo info;
  info.subject = L"untouched";
  const StatusCode read = ReadCodeSignature(SignedProgram(L"unsigned.exe"), info);
  EXPECT_EQ(static_cast<std::uint32_t>(read), 0x800B0100u);  // TRUST_E_NOSIGNATURE
  EXPECT_EQ(Narrow(info.subject), "untouched");
  EXPECT_TRUE(IsFailure(ReadCodeSignature(L"C:\\no\\such\\program.exe", info)));
}

TEST(MakerSerial, OnlySixteenBytesOfOneOfTheMakersSerialsInStoredOrder) {
  std::uint8_t stored[16];
  for (int i = 0; i < 16; ++i) stored[i] = kMakerSerials[1][15 - i];
  EXPECT_TRUE(IsMakerSerial(stored));
  EXPECT_FALSE(IsMakerSerial(std::span<const std::uint8_t>(stored, 15)));
  stored[0] ^= 1;
  EXPECT_FALSE(IsMakerSerial(stored));
  EXPECT_FALSE(IsMakerSerial(kMakerSerials[0]));  // big-endian order is not how Windows stores it
}

}  // namespace
}  // namespace zor
