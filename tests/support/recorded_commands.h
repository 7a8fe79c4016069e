#pragma once
// Every command line the program hands to the command interpreter, recorded
// on its way through the system table and then run as usual.
#include <process.h>

#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "tests/support/table_swap.h"

namespace zor::test {

struct RecordedCommands {
  static inline std::vector<std::wstring> commands;
  static int Run(const wchar_t* command) {
    commands.emplace_back(command);
    return ::_wsystem(command);
  }
  RecordedCommands() { commands.clear(); }
  SwappedEntry<decltype(Win32Changes().RunCommandInterpreter)> swap{Win32Changes().RunCommandInterpreter, &Run};
};

}  // namespace zor::test
