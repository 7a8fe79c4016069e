#pragma once
// The command line as named options: "/name=value", "-name:value", "/flag",
// and unnamed words such as the program path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/status_codes.h"

namespace zor {

struct OptionEntry {
  std::wstring name;
  std::wstring value;
  std::int32_t number = 0;  // the value read as an integer, 0 without a value
};

using OptionList = std::vector<OptionEntry>;

// Fills `options` from the text; an entry that cannot be stored fails with
// the out-of-memory code and leaves `options` as it was.
StatusCode ParseOptions(std::wstring_view commandLine, OptionList& options);

// The first entry at or after `index` whose non-empty name equals one of the
// "|"-separated alternatives (letters a to z folded). Sets `index` to it.
const OptionEntry* FindOption(const OptionList& options, std::wstring_view names, std::size_t& index);

}  // namespace zor
