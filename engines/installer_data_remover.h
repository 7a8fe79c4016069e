#pragma once
// The installer-data stage: every Windows Installer product related to one
// of the product's upgrade codes loses its Windows Installer registration,
// for all users, through the installer-data cleaner that the program
// carries as its resource BINARY 101. The cleaner runs once per product
// code through a one-line batch file in the temporary folder; its output is
// appended to "zorremover_msilog.txt" beside the program.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/stage_engine.h"
#include "foundation/status_record.h"

namespace zor {

class InstallerDataRemover final : public StageEngine {
 public:
  using StageEngine::StageEngine;

  StatusRecord RunStage() override { return RemoveInstallerData(); }
  // Each installer product still related to one of the upgrade codes.
  void Verify(std::vector<RemainingItem>& remaining) override;

  StatusRecord RemoveInstallerData();
  StatusRecord RemoveInstallerData(std::span<const std::wstring_view> upgradeCodes);

  // The product codes found by the last run, in the order they were found.
  const std::vector<std::wstring>& ProductCodes() const { return productCodes_; }

 private:
  std::vector<std::wstring> productCodes_;
};

// The batch file's 19 bytes: the tool, its options, a product code.
inline constexpr std::string_view kZapBatch = "%1 TW! %2 /nologo\r\n";

}  // namespace zor
