#include "app/entry_switches.h"

#include <array>
#include <cwchar>

#include "foundation/text_case.h"

namespace zor {
namespace {

constexpr std::size_t kLongestComparable = 65534;
constexpr std::array<std::wstring_view, 2> kSilentSwitches{L"/silent", L"-silent"};
constexpr std::array<std::wstring_view, 5> kHelpSwitches{L"/help", L"-help", L"/?", L"-?", L"/h"};

template <std::size_t N>
bool MatchesAny(std::wstring_view argument, const std::array<std::wstring_view, N>& switches) {
  for (std::wstring_view candidate : switches) {
    if (EqualsFoldingAscii(argument, candidate)) return true;
  }
  return false;
}

}  // namespace

EntrySwitches ScanEntrySwitches(int argumentCount, const wchar_t* const* arguments) {
  EntrySwitches switches;
  for (int i = 1; i < argumentCount; ++i) {
    if (!arguments[i]) continue;
    const std::wstring_view argument(arguments[i]);
    if (argument.size() > kLongestComparable) continue;
    if (MatchesAny(argument, kSilentSwitches)) switches.consoleOnly = true;
    if (MatchesAny(argument, kHelpSwitches)) switches.help = true;
  }
  return switches;
}

}  // namespace zor
