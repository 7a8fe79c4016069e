#pragma once
// The driver stage: the product's kernel drivers are stopped and
// unregistered with the system's own tools (net and sc, through the command
// interpreter) and their files deleted. A driver whose file is missing is
// not installed and is passed over. What does not go now (a driver still
// loaded) is left to the registry and file stages and to the next run.
#include <span>
#include <string_view>

#include "app/stage_engine.h"
#include "foundation/status_record.h"

namespace zor {

class DriverRemover final : public StageEngine {
 public:
  using StageEngine::StageEngine;

  StatusRecord RunStage() override { return RemoveDrivers(); }
  // Each driver file of the list still in the drivers folder.
  void Verify(std::vector<RemainingItem>& remaining) override;

  // The built-in names in the system's drivers folder. Fails only when a
  // path or command text cannot be made.
  StatusRecord RemoveDrivers();
  StatusRecord RemoveDrivers(std::span<const std::wstring_view> names, std::wstring_view driversFolder);
};

}  // namespace zor
