#pragma once
// The fixed layout behind the built-in name "defaultLayout": every field of
// the record on one line. No Windows header.
#include "logging/layout.h"

namespace zor {

inline constexpr std::wstring_view kDefaultLayoutName = L"defaultLayout";

class RecordLayout : public Layout {
 public:
  explicit RecordLayout(HostNameSource hostName) : hostName_(hostName) {}

  std::wstring Format(const LogRecord& record) const override;
  // It has no settings: a section can only fail to reconfigure it (0xE0010063).
  StatusCode ReadConfiguration(const ConfigSection& section) override;
  void WriteConfiguration(ConfigSection& section) const override;
  std::wstring Header() const override { return {}; }
  std::wstring Footer() const override { return {}; }

 private:
  HostNameSource hostName_;
};

}  // namespace zor
