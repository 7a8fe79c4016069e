#include "app/options.h"

#include <new>
#include <stdexcept>

#include "app/integer_text.h"
#include "app/text_case.h"

namespace zor {
namespace {

class OptionTokenizer {
 public:
  explicit OptionTokenizer(std::wstring_view text) : text_(text) {}

  OptionList Run() {
    // The scan visits a terminating NUL too; the text may hold its own earlier.
    for (std::size_t index = 0; index <= text_.size(); ++index) {
      const wchar_t c = index < text_.size() ? text_[index] : L'\0';
      Visit(c, index);
      if (c == L'\0') break;
    }
    return std::move(options_);
  }

 private:
  void Visit(wchar_t c, std::size_t index) {
    switch (c) {
      case L'\0':
      case L'\t':
      case L' ':
        if (inQuotes_) {
          ++tokenLength_;
        } else if (inName_) {
          StoreName();
          inName_ = false;
          StartToken(index + 1);
          ++slot_;
        } else {
          afterSeparator_ = false;
          // Every unquoted blank advances the slot, so runs of blanks leave
          // empty entries behind; FindOption skips them.
          if (tokenLength_ > 0) StoreValue();
          StartToken(index + 1);
          ++slot_;
        }
        break;
      case L'"':
        if (inQuotes_) {
          inQuotes_ = false;
          afterSeparator_ = false;
        } else {
          inQuotes_ = true;
          StartToken(index + 1);
        }
        break;
      case L'-':
      case L'/':
        if (inName_ || inQuotes_ || afterSeparator_) {
          ++tokenLength_;
        } else {
          inName_ = true;
          StartToken(index + 1);
        }
        break;
      case L':':
      case L'=':
        if (inName_) {
          StoreName();
          inName_ = false;
          afterSeparator_ = true;
          StartToken(index + 1);
        } else {
          ++tokenLength_;
        }
        break;
      default:
        ++tokenLength_;
        break;
    }
  }

  void StartToken(std::size_t start) {
    tokenStart_ = start;
    tokenLength_ = 0;
  }

  std::wstring Token() const {
    if (tokenStart_ >= text_.size()) return std::wstring();
    return std::wstring(text_.substr(tokenStart_, tokenLength_));
  }

  OptionEntry& Slot() {
    if (options_.size() < slot_ + 1) options_.resize(slot_ + 1);
    return options_[slot_];
  }

  void StoreName() {
    OptionEntry& entry = Slot();
    entry.name = Token();
    entry.value.clear();
    entry.number = 0;
  }

  void StoreValue() {
    OptionEntry& entry = Slot();
    entry.value = Token();
    entry.number = IntegerFromText(entry.value);
  }

  std::wstring_view text_;
  OptionList options_;
  bool inQuotes_ = false;
  bool inName_ = false;
  bool afterSeparator_ = false;
  std::size_t tokenStart_ = 0;
  std::size_t tokenLength_ = 0;
  std::size_t slot_ = 0;
};

bool NameMatchesAlternative(std::wstring_view name, std::wstring_view alternatives) {
  while (true) {
    const std::size_t bar = alternatives.find(L'|');
    if (EqualsFoldingAscii(name, alternatives.substr(0, bar))) return true;
    if (bar == std::wstring_view::npos) return false;
    alternatives.remove_prefix(bar + 1);
  }
}

}  // namespace

StatusCode ParseOptions(std::wstring_view commandLine, OptionList& options) {
  if (commandLine.empty()) {
    options.clear();
    return status::Success;
  }
  try {
    options = OptionTokenizer(commandLine).Run();
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  } catch (const std::length_error&) {
    return status::OutOfMemory;
  }
  return status::Success;
}

const OptionEntry* FindOption(const OptionList& options, std::wstring_view names, std::size_t& index) {
  for (std::size_t position = index; position < options.size(); ++position) {
    const OptionEntry& entry = options[position];
    if (!entry.name.empty() && NameMatchesAlternative(entry.name, names)) {
      index = position;
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace zor
