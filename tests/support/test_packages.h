#pragma once
// The Windows Installer packages built for the tests (the target defines
// ZOR_TEST_PACKAGES): installed with msiexec, and found by upgrade code.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/child_process.h"

namespace zor::test {

// Installs the package silently; a failure ends the calling test's step.
inline void InstallPackage(const char* package) {
  const std::wstring msi = WindowsPathOf(std::string(ZOR_TEST_PACKAGES) + "/" + package);
  const ChildResult installed = RunChild(L"msiexec /i \"" + msi + L"\" /qn", 120000);
  ASSERT_TRUE(installed.started) << installed.startError;
  ASSERT_EQ(installed.exitCode, 0u) << installed.output;
}

// The first installed product related to the upgrade code, empty for none.
inline std::wstring RelatedProduct(const std::wstring& upgrade) {
  wchar_t product[39] = {};
  return MsiEnumRelatedProductsW(upgrade.c_str(), 0, 0, product) == ERROR_SUCCESS ? product : L"";
}

}  // namespace zor::test
