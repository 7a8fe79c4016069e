// The driver list: seventeen names, each once, both builds of every driver
// that has two.
#include "engines/driver_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

std::wstring Folded(std::wstring_view text) {
  std::wstring folded(text);
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
  return folded;
}

TEST(DriverNames, SeventeenNamesEachOnceWithBothBuildsOfEveryPairedDriver) {
  ASSERT_EQ(DriverNames().size(), kDriverNameCount);
  std::set<std::wstring> names;
  for (std::wstring_view name : DriverNames()) {
    SCOPED_TRACE(test::Narrow(std::wstring(name)));
    EXPECT_TRUE(names.insert(Folded(name)).second);
    // A name is a service name and a file's base name at once.
    EXPECT_EQ(name.find_first_of(L"\\/:.* "), std::wstring_view::npos);
    EXPECT_LE(name.size(), 256u);
  }
  int paired = 0;
  for (const std::wstring& name : names) {
    if (name.size() > 2 && name.ends_with(L"64")) {
      ++paired;
      EXPECT_EQ(names.count(name.substr(0, name.size() - 2)), 1u) << test::Narrow(name);
    }
  }
  // Two firewall drivers and four others in both builds.
  EXPECT_EQ(paired, 6);
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::wstring& n) { return n.starts_with(L"zorfw"); }), 4);
}

}  // namespace
}  // namespace zor
