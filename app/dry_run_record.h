#pragma once
// What a dry run would change, as the gate tells it from any thread: kept in
// order for the report and summed up by action for the console. No Windows
// header.
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_report.h"

namespace zor {

class DryRunRecord {
 public:
  void Add(std::wstring_view action, std::wstring_view item);
  std::vector<WouldItem> Items() const;
  // "Dry run: nothing was changed. A removal would change 12 item(s):
  // delete 9, delete key 2, stop service 1." Actions in the order they
  // first came; "nothing" when there were none.
  std::wstring Summary() const;

 private:
  mutable std::mutex guard_;
  std::vector<WouldItem> items_;
};

}  // namespace zor
