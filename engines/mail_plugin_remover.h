#pragma once
// The plug-in stage: the product's Outlook add-in, its SharePoint scanner,
// the Exchange 2000/2003 antispam sink, the Exchange information store's
// virus-scanning registration, and the transport agents of Exchange 2007
// and 2010, which only Exchange's own management shell can take out: the
// program carries a script per agent and runs each through the shell of
// every Exchange version it finds.
#include <string>

#include "app/stage_engine.h"
#include "foundation/status_record.h"

namespace zor {

class MailPluginRemover final : public StageEngine {
 public:
  using StageEngine::StageEngine;

  StatusRecord RunStage() override { return RemoveMailPlugins(); }
  // The Outlook add-in's keys still there, in both views.
  void Verify(std::vector<RemainingItem>& remaining) override;

  StatusRecord RemoveMailPlugins();
  // Never fails: whatever cannot be deleted is logged and passed over.
  void RemoveOutlookAddin();
  // Fails when the information store cannot be stopped, which on a machine
  // without Exchange is every time: its service does not exist.
  StatusRecord RemoveServerPlugins();
  StatusRecord RemoveTransportAgents();
};

// Where the scripts' output is appended: beside the program.
inline constexpr wchar_t kScriptLogName[] = L"zorremover_exscript_output.log";

// The command lines of the two management shells. The dashes before
// "PSConsoleFile" and "Command" are EN DASHes (U+2013), as the product's
// own uninstaller has always passed them; PowerShell takes them as dashes.
std::wstring Exchange2007Command(const std::wstring& consoleFile, const std::wstring& script,
                                 const std::wstring& log);
std::wstring Exchange2010Command(const std::wstring& shellScript, const std::wstring& script,
                                 const std::wstring& log);

}  // namespace zor
