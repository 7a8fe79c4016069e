#include "engines/stage_engines.h"

#include <memory>

#include "app/run_context.h"
#include "engines/driver_remover.h"
#include "engines/file_remover.h"
#include "engines/firewall_driver_uninstaller.h"
#include "engines/installer_data_remover.h"
#include "engines/mail_plugin_remover.h"
#include "engines/process_remover.h"
#include "engines/registry_remover.h"
#include "engines/service_remover.h"

namespace zor {

void BindStageEngines(RunContext& context) {
  StageEngines& engines = context.engines;
  engines.installerData = std::make_unique<InstallerDataRemover>(context);
  engines.mailPlugins = std::make_unique<MailPluginRemover>(context);
  engines.services = std::make_unique<ServiceRemover>(context);
  engines.firewallDriver = std::make_unique<FirewallDriverUninstaller>(context);
  engines.drivers = std::make_unique<DriverRemover>(context);
  engines.processes = std::make_unique<ProcessRemover>(context);
  engines.registry = std::make_unique<RegistryRemover>(context);
  engines.files = std::make_unique<FileRemover>(context);
}

}  // namespace zor
