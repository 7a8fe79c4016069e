#pragma once
// How a record becomes a line. No Windows header: the computer's name comes
// from a source the creator of a layout hands in.
#include <string>

#include "foundation/status_codes.h"
#include "logging/config_document.h"
#include "logging/log_record.h"

namespace zor {

using HostNameSource = const std::wstring& (*)();

class Layout {
 public:
  virtual ~Layout() = default;
  virtual std::wstring Format(const LogRecord& record) const = 0;
  virtual StatusCode ReadConfiguration(const ConfigSection& section) = 0;
  virtual void WriteConfiguration(ConfigSection& section) const = 0;
  virtual std::wstring Header() const = 0;
  virtual std::wstring Footer() const = 0;
};

}  // namespace zor
