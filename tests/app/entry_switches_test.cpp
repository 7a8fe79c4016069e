#include "app/entry_switches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zor {
namespace {

EntrySwitches Scan(std::vector<std::wstring> arguments) {
  std::vector<const wchar_t*> pointers;
  for (const std::wstring& argument : arguments) pointers.push_back(argument.c_str());
  return ScanEntrySwitches(static_cast<int>(pointers.size()), pointers.data());
}

TEST(ScanEntrySwitches, RecognisesWholeArgumentsOnly) {
  const struct {
    std::vector<std::wstring> arguments;
    bool consoleOnly;
    bool help;
  } rows[] = {
      {{L"zorremover.exe"}, false, false},
      {{L"zorremover.exe", L"/SILENT"}, true, false},
      {{L"zorremover.exe", L"-Silent"}, true, false},
      {{L"zorremover.exe", L"/silent=1"}, false, false},
      {{L"zorremover.exe", L"silent"}, false, false},
      {{L"zorremover.exe", L"/help"}, false, true},
      {{L"zorremover.exe", L"-HELP"}, false, true},
      {{L"zorremover.exe", L"/?"}, false, true},
      {{L"zorremover.exe", L"-?"}, false, true},
      {{L"zorremover.exe", L"/H"}, false, true},
      {{L"zorremover.exe", L"-h"}, false, false},
      {{L"zorremover.exe", L"/hel"}, false, false},
      {{L"/help"}, false, false},  // the program name is never looked at
      {{L"zorremover.exe", L"/zordir=x", L"/?", L"/silent"}, true, true},
      {{L"zorremover.exe", L"/silent", L"/skipask", L"/?"}, true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row with " << row.arguments.size() << " arguments, last length "
                                      << row.arguments.back().size());
    const EntrySwitches switches = Scan(row.arguments);
    EXPECT_EQ(switches.consoleOnly, row.consoleOnly);
    EXPECT_EQ(switches.help, row.help);
  }
}

TEST(ScanEntrySwitches, VeryLongArgumentsNeverMatch) {
  // 65538 units: a length counted in 16 bits would wrap to 2 and read "/?".
  std::wstring wrapped = L"/?" + std::wstring(65536, L'x');
  EXPECT_FALSE(Scan({L"zorremover.exe", wrapped}).help);
  std::wstring longest(65535, L'x');
  EXPECT_FALSE(Scan({L"zorremover.exe", longest}).help);
}

}  // namespace
}  // namespace zor
