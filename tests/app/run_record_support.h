#pragma once
// The machine's record of an unfinished run, for the tests that make or read
// it. Its name is fixed, so those tests share one lock (tests/CMakeLists.txt:
// RESOURCE_LOCK unfinished_run); each starts and ends without a record.
#include <cstdint>
#include <string>
#include <vector>

#include "app/unfinished_run.h"
#include "platform/native_types.h"
#include "tests/platform/registry_test_support.h"

namespace zor::test {

class ScopedRunRecord {
 public:
  ScopedRunRecord() { Remove(); }
  ~ScopedRunRecord() { Remove(); }
  ScopedRunRecord(const ScopedRunRecord&) = delete;
  ScopedRunRecord& operator=(const ScopedRunRecord&) = delete;

  static std::wstring Key() { return std::wstring(kUnfinishedRunKey); }
  static std::wstring RemoverKey() { return std::wstring(kRemoverKey); }

  // The three folders as a run writes them; an empty one is left out.
  static bool Write(const std::wstring& zorDir, const std::wstring& adminDir, const std::wstring& dataDir) {
    if (!MakeKey(HKEY_LOCAL_MACHINE, Key(), KEY_WOW64_64KEY)) return false;
    const std::wstring* folders[] = {&zorDir, &adminDir, &dataDir};
    for (std::size_t i = 0; i < 3; ++i) {
      if (folders[i]->empty()) continue;
      if (!WriteString(HKEY_LOCAL_MACHINE, Key(), std::wstring(kRecordedFolderNames[i]), *folders[i],
                       KEY_WOW64_64KEY)) {
        return false;
      }
    }
    return true;
  }

  static bool Present() { return KeyPresent(HKEY_LOCAL_MACHINE, Key(), KEY_WOW64_64KEY); }

  // A value's text, "(type N)" for another type than REG_SZ, "(none)" when
  // the value cannot be read.
  static std::string Value(const std::wstring& name) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!ReadValue(HKEY_LOCAL_MACHINE, Key(), name, type, data, KEY_WOW64_64KEY)) return "(none)";
    if (type != REG_SZ) return "(type " + std::to_string(type) + ")";
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return Narrow(text);
  }

  static void Remove() { RemoveTree(HKEY_LOCAL_MACHINE, RemoverKey(), KEY_WOW64_64KEY); }
};

}  // namespace zor::test
