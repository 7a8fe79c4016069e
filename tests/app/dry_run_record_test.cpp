// The dry run's record: every change in the order it came, and the console's
// summary by action in the order each action first came.
#include "app/dry_run_record.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(DryRunRecord, KeepsTheOrderAndSumsUpByAction) {
  DryRunRecord record;
  EXPECT_EQ(record.Summary(), L"Dry run: nothing was changed. A removal would change nothing.");
  record.Add(L"stop service", L"ZorSvc");
  record.Add(L"delete", L"C:\\ZOR\\a.dll");
  record.Add(L"delete key", L"HKLM\\SOFTWARE\\Zor");
  record.Add(L"delete", L"C:\\ZOR\\b.dll");
  EXPECT_EQ(record.Summary(),
            L"Dry run: nothing was changed. A removal would change 4 item(s): stop service 1, delete 2, delete key 1.");
  const std::vector<WouldItem> items = record.Items();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1].action, L"delete");
  EXPECT_EQ(items[3].item, L"C:\\ZOR\\b.dll");
}

}  // namespace
}  // namespace zor
