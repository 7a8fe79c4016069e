#pragma once
// The firewall network driver stage, run in the separate "ndisonly" copy of
// the program: it takes the product's programs out of the Windows
// Firewall's authorized applications, then removes the product's NDIS
// intermediate driver in three phases that may span restarts. The step
// number NdisNextStep says how far it got and is the copy's exit code:
//   3 or less  phase 1 still to do (each attempt that needs a restart first
//              adds one, so it is tried three times at most);
//   4          phase 1 done: the filter component is gone;
//   5          phase 2 done: the miniports and the OEM INFs are gone; phase 3
//              (legacy key, driver files) runs again in every later pass;
//   above 5    nothing to do (10: the driver is not there).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/stage_engine.h"
#include "foundation/status_record.h"

namespace zor {

class NetworkConfiguration;

class FirewallDriverUninstaller final : public StageEngine {
 public:
  explicit FirewallDriverUninstaller(RunContext& context);
  ~FirewallDriverUninstaller() override;

  StatusRecord RunStage() override { return UninstallFirewallDriver(); }
  // The policy values, OEM INFs, miniport devices, setup key and driver
  // files still there.
  void Verify(std::vector<RemainingItem>& remaining) override;

  // Always succeeds: each step's failure is logged and passed over.
  StatusRecord UninstallFirewallDriver();

  StatusCode RemoveFirewallPolicy();
  bool IsFirewallDriverInstalled();
  StatusCode UninstallFilterComponent(bool& restartNeeded, std::wstring& lockOwner);
  StatusCode RemoveMiniports();
  StatusCode UninstallOEMInfs(bool& restartNeeded);
  StatusCode RemoveZORLegacyRegistryKeys();
  StatusCode RemoveZORDriverFiles();

  // Phase 1 works on Windows' network configuration; a test gives another.
  void UseNetworkConfiguration(std::unique_ptr<NetworkConfiguration> configuration);

 private:
  std::unique_ptr<NetworkConfiguration> configuration_;
};

// SetupAPI's verbosity ("LogLevel" of HKLM
// SOFTWARE\Microsoft\Windows\CurrentVersion\Setup), raised while the driver
// is taken out so that setupapi's own log shows why a step failed. Writes
// nothing and fails when the value cannot be read: an absent level stays
// absent, and restoring the 0 then kept writes nothing either.
StatusCode SetSetupLogLevel(std::uint32_t level, std::uint32_t& previous);

// The OEM INFs in the Windows INF folder whose [Version] CatalogFile is the
// firewall driver's catalog for this Windows, as full paths. Section and key
// names are matched exactly, the value in any letter case. An INF that
// cannot be opened ends the search with that failure.
StatusCode FindFirewallInfs(std::vector<std::wstring>& infs);

}  // namespace zor
