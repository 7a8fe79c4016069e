#include "logging/severity.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(Severity, NamesMatchWithoutRegardToCase) {
  const struct {
    const wchar_t* name;
    Severity expected;
  } rows[] = {
      {L"All", severity::All},
      {L"debug", severity::Debug},
      {L"Detail", severity::Detail},
      {L"info", severity::Info},
      {L"WARN", severity::Warn},
      {L"Error", severity::Error},
      {L"fatal", severity::Fatal},
      {L"OFF", severity::Off},
      {L"verbose", -1},
      {L"", -1},
      {L"INFO ", -1},
      {L"warning", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SeverityFromName(row.name, -1), row.expected);
  }
  EXPECT_EQ(severity::All, static_cast<Severity>(0x80000000u));
  EXPECT_EQ(severity::Off, 0x7FFFFFFF);
  EXPECT_EQ(SeverityName(severity::Detail), L"DETAIL");
  EXPECT_EQ(SeverityName(severity::Detail + 1), L"INFO");
}

}  // namespace
}  // namespace zor
