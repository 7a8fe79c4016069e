#pragma once
// The command line as named options: "/name=value", "-name:value", "/flag",
// and unnamed words such as the program path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

struct OptionEntry {
  std::wstring name;
  std::wstring value;
  std::int32_t number = 0;  // the value read as an integer, 0 without a value
};

using OptionList = std::vector<OptionEntry>;

// True when a quotation mark is left open (up to the first NUL). Such a line
// has lost its shape: the text after the open mark, options and all, would
// be read as one value.
bool HasUnbalancedQuotes(std::wstring_view commandLine);

// Fills `options` from the text. A quotation mark groups text with blanks
// into one word and is dropped; text before and after it stays in the same
// word. A line with an unbalanced quotation mark fails with UnbalancedQuotes,
// an entry that cannot be stored with the out-of-memory code; `options` is
// then left as it was.
StatusCode ParseOptions(std::wstring_view commandLine, OptionList& options);

// The first entry at or after `index` whose non-empty name equals one of the
// "|"-separated alternatives (letters a to z folded). Sets `index` to it.
const OptionEntry* FindOption(const OptionList& options, std::wstring_view names, std::size_t& index);

}  // namespace zor
