#include "app/options.h"

#include <new>
#include <stdexcept>

#include "foundation/integer_text.h"
#include "foundation/text_case.h"

namespace zor {
namespace {

class OptionTokenizer {
 public:
  explicit OptionTokenizer(std::wstring_view text) : text_(text) {}

  OptionList Run() {
    // The scan visits a terminating NUL too; the text may hold its own earlier.
    for (std::size_t index = 0; index <= text_.size(); ++index) {
      const wchar_t c = index < text_.size() ? text_[index] : L'\0';
      Visit(c);
      if (c == L'\0') break;
    }
    return std::move(options_);
  }

 private:
  void Visit(wchar_t c) {
    switch (c) {
      case L'\0':
      case L'\t':
      case L' ':
        if (inQuotes_) {
          token_.push_back(c);
        } else if (inName_) {
          StoreName();
          inName_ = false;
          EndWord();
          ++slot_;
        } else {
          afterSeparator_ = false;
          // Every unquoted blank advances the slot, so runs of blanks leave
          // empty entries behind; FindOption skips them.
          if (!token_.empty()) StoreValue();
          EndWord();
          ++slot_;
        }
        break;
      case L'"':
        // Quotes only group: text before an opening and after a closing
        // quotation mark belongs to the same word, as Windows programs read
        // "C:\Program Files"\ZOR.
        if (inQuotes_) {
          inQuotes_ = false;
          afterSeparator_ = false;
          quotedWord_ = true;
        } else {
          inQuotes_ = true;
        }
        break;
      case L'-':
      case L'/':
        // A word quoted whole, "/zordir=C:\Program Files\ZOR", is still an
        // option: Windows programs receive it as one argument.
        if (inName_ || afterSeparator_ || quotedWord_ || (inQuotes_ && !token_.empty())) {
          token_.push_back(c);
        } else {
          inName_ = true;
          token_.clear();
        }
        break;
      case L':':
      case L'=':
        if (inName_) {
          StoreName();
          inName_ = false;
          afterSeparator_ = true;
          token_.clear();
        } else {
          token_.push_back(c);
        }
        break;
      default:
        token_.push_back(c);
        break;
    }
  }

  void EndWord() {
    token_.clear();
    quotedWord_ = false;
  }

  OptionEntry& Slot() {
    if (options_.size() < slot_ + 1) options_.resize(slot_ + 1);
    return options_[slot_];
  }

  void StoreName() {
    OptionEntry& entry = Slot();
    entry.name = token_;
    entry.value.clear();
    entry.number = 0;
  }

  void StoreValue() {
    OptionEntry& entry = Slot();
    entry.value = token_;
    entry.number = IntegerFromText(entry.value);
  }

  std::wstring_view text_;
  OptionList options_;
  std::wstring token_;
  bool inQuotes_ = false;
  bool inName_ = false;
  bool afterSeparator_ = false;
  bool quotedWord_ = false;  // a quotation mark closed inside this word
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

bool HasUnbalancedQuotes(std::wstring_view commandLine) {
  bool open = false;
  for (const wchar_t c : commandLine) {
    if (c == L'\0') break;
    if (c == L'"') open = !open;
  }
  return open;
}

StatusCode ParseOptions(std::wstring_view commandLine, OptionList& options) {
  if (commandLine.empty()) {
    options.clear();
    return status::Success;
  }
  if (HasUnbalancedQuotes(commandLine)) return status::UnbalancedQuotes;
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
