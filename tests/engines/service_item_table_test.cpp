// The service table: the counts and flags of its rows, one row per name,
// and the watchdogs of every generation among them.
#include "engines/service_item_table.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <string>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Narrow;

std::wstring Folded(std::wstring_view text) {
  std::wstring folded(text);
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
  return folded;
}

TEST(ServiceItemTable, HoldsThreeWatchdogsAndThirtyFiveServices) {
  ASSERT_EQ(ServiceItemTable().size(), kServiceItemCount);
  int watchdogs = 0;
  int services = 0;
  for (const ServiceItem& row : ServiceItemTable()) {
    SCOPED_TRACE(Narrow(std::wstring(row.name)));
    if (row.flags == 0x2B) {
      ++watchdogs;
      EXPECT_NE(WatchdogNamed(row.name), nullptr);
    } else {
      EXPECT_EQ(row.flags, 0x2Au);
      EXPECT_EQ(WatchdogNamed(row.name), nullptr);
      ++services;
    }
  }
  EXPECT_EQ(watchdogs, 3);
  EXPECT_EQ(services, 35);
}

// The service manager compares names without regard to case: two rows that
// differ only in case would be one service handled twice at once.
TEST(ServiceItemTable, NamesEachServiceOnceAndAsTheServiceManagerTakesIt) {
  std::set<std::wstring> seen;
  for (const ServiceItem& row : ServiceItemTable()) {
    SCOPED_TRACE(Narrow(std::wstring(row.name)));
    EXPECT_TRUE(seen.insert(Folded(row.name)).second);
    EXPECT_FALSE(row.name.empty());
    EXPECT_LE(row.name.size(), 256u);
    EXPECT_EQ(row.name.find_first_of(L"\\/"), std::wstring_view::npos);
  }
  for (const wchar_t* name : {L"ZorSvc", L"ZorWatchdog", L"ZorUpdate", L"ZorAdminServer"}) {
    EXPECT_EQ(seen.count(Folded(name)), 1u) << Narrow(name);
  }
}

TEST(WatchdogGenerations, EachHasARowAPipeOfItsOwnAndTheCurrentOneIsAmongThem) {
  std::set<std::wstring> pipes;
  bool currentFound = false;
  for (const WatchdogGeneration& watchdog : WatchdogGenerations()) {
    SCOPED_TRACE(Narrow(std::wstring(watchdog.serviceName)));
    EXPECT_EQ(WatchdogNamed(watchdog.serviceName), &watchdog);
    EXPECT_TRUE(pipes.insert(Folded(watchdog.pipeName)).second);
    currentFound = currentFound || &watchdog == &CurrentWatchdog();
  }
  EXPECT_EQ(WatchdogGenerations().size(), 3u);
  EXPECT_TRUE(currentFound);
  EXPECT_EQ(CurrentWatchdog().serviceName, L"ZorWatchdog");
  // The rows are told apart exactly as written.
  EXPECT_EQ(WatchdogNamed(L"zorwatchdog"), nullptr);
  EXPECT_EQ(WatchdogNamed(L"ZorWatchdog "), nullptr);
  EXPECT_EQ(WatchdogNamed(L"ZorSvc"), nullptr);
}

}  // namespace
}  // namespace zor
