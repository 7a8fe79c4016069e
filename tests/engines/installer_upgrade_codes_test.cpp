// The upgrade codes: four codes in braces as the packages carry them, two of
// them in lower case, none twice.
#include "engines/installer_upgrade_codes.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <string>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

TEST(InstallerUpgradeCodes, FourCodesInBracesTwoInLowerCaseNoneTwice) {
  ASSERT_EQ(InstallerUpgradeCodes().size(), kUpgradeCodeCount);
  std::set<std::wstring> seen;
  int lowerCase = 0;
  for (std::wstring_view code : InstallerUpgradeCodes()) {
    SCOPED_TRACE(test::Narrow(std::wstring(code)));
    ASSERT_EQ(code.size(), 38u);
    EXPECT_EQ(code.front(), L'{');
    EXPECT_EQ(code.back(), L'}');
    bool hasLower = false;
    bool hasUpper = false;
    std::wstring folded;
    for (std::size_t i = 1; i < 37; ++i) {
      const wchar_t c = code[i];
      if (i == 9 || i == 14 || i == 19 || i == 24) {
        EXPECT_EQ(c, L'-');
      } else {
        EXPECT_TRUE(std::iswxdigit(c));
      }
      hasLower = hasLower || (c >= L'a' && c <= L'f');
      hasUpper = hasUpper || (c >= L'A' && c <= L'F');
      folded.push_back(static_cast<wchar_t>(std::towlower(c)));
    }
    EXPECT_FALSE(hasLower && hasUpper) << "one letter case per code";
    if (hasLower) ++lowerCase;
    EXPECT_TRUE(seen.insert(folded).second);
  }
  EXPECT_EQ(lowerCase, 2);
}

}  // namespace
}  // namespace zor
