#include "app/dry_run_record.h"

#include <utility>

namespace zor {

void DryRunRecord::Add(std::wstring_view action, std::wstring_view item) {
  std::lock_guard lock(guard_);
  items_.push_back({std::wstring(action), std::wstring(item)});
}

std::vector<WouldItem> DryRunRecord::Items() const {
  std::lock_guard lock(guard_);
  return items_;
}

std::wstring DryRunRecord::Summary() const {
  std::lock_guard lock(guard_);
  std::vector<std::pair<std::wstring, std::size_t>> counts;
  for (const WouldItem& item : items_) {
    auto found = counts.begin();
    while (found != counts.end() && found->first != item.action) ++found;
    if (found == counts.end()) {
      counts.emplace_back(item.action, 1);
    } else {
      ++found->second;
    }
  }
  std::wstring text = L"Dry run: nothing was changed. ";
  if (counts.empty()) return text + L"A removal would change nothing.";
  text += L"A removal would change " + std::to_wstring(items_.size()) + L" item(s): ";
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (i != 0) text += L", ";
    text += counts[i].first + L" " + std::to_wstring(counts[i].second);
  }
  return text + L".";
}

}  // namespace zor
