// The driver stage with drivers of the test's own names in a folder of its
// own: the system's net and sc run for real, and the commands are recorded
// on their way through the table.
#include "engines/driver_remover.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_context.h"
#include "platform/win32_api.h"
#include "tests/engines/engine_log.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/narrow_text.h"
#include "tests/support/table_swap.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::Narrow;

struct Stage {
  Stage() { context.logger = log.logger(); }
  ~Stage() { context.logger = nullptr; }
  test::EngineLog log;
  RunContext context;
  DriverRemover remover{context};
};

// Every command line handed to the command interpreter, then run.
struct RecordedCommands {
  static inline std::vector<std::wstring> commands;
  static int Run(const wchar_t* command) {
    commands.emplace_back(command);
    return ::_wsystem(command);
  }
  RecordedCommands() { commands.clear(); }
  test::SwappedEntry<decltype(Win32Changes().RunCommandInterpreter)> swap{Win32Changes().RunCommandInterpreter, &Run};
};

bool ServiceExists(const std::wstring& name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager ? OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS) : nullptr;
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return service != nullptr;
}

bool RegisterDriver(const std::wstring& name, const std::wstring& image) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return false;
  SC_HANDLE service = CreateServiceW(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, image.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

TEST(DriverStage, WithoutDriverFilesNothingRunsAndNothingIsLogged) {
  test::TestFolder folder;
  RecordedCommands recorded;
  Stage stage;
  const std::wstring_view names[] = {L"zorfwfd", L"zorboot"};
  EXPECT_TRUE(stage.remover.RemoveDrivers(names, folder.path()).Empty());
  EXPECT_TRUE(RecordedCommands::commands.empty());
  EXPECT_TRUE(stage.log.TakeLines().empty());
}

// A driver with its service, one whose service is already gone, and one
// without a file, in list order.
TEST(DriverStage, EachPresentDriverIsStoppedUnregisteredAndItsFileDeleted) {
  test::TestFolder folder;
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  const std::wstring registered = L"ZorTestDrv" + pid;
  const std::wstring orphan = L"ZorTestDrvGone" + pid;
  const std::wstring missing = L"ZorTestDrvMissing" + pid;
  test::WriteTextFile(folder / (registered + L".sys"), "MZ driver");
  test::WriteTextFile(folder / (orphan + L".sys"), "MZ driver");
  ASSERT_TRUE(RegisterDriver(registered, folder / (registered + L".sys"))) << GetLastError();

  RecordedCommands recorded;
  Stage stage;
  const std::wstring_view names[] = {registered, missing, orphan};
  EXPECT_TRUE(stage.remover.RemoveDrivers(names, folder.path()).Empty());
  EXPECT_EQ(stage.log.TakeLines(), (Lines{"DEBUG Deleting driver '" + Narrow(registered) + "'...",
                                          "DEBUG Deleting driver '" + Narrow(orphan) + "'..."}));
  EXPECT_EQ(RecordedCommands::commands,
            (std::vector<std::wstring>{L"net stop " + registered + L" /y", L"sc delete " + registered,
                                       L"net stop " + orphan + L" /y", L"sc delete " + orphan}));
  EXPECT_FALSE(ServiceExists(registered));
  EXPECT_FALSE(test::PathExists(folder / (registered + L".sys")));
  EXPECT_FALSE(test::PathExists(folder / (orphan + L".sys")));
  EXPECT_EQ(stage.context.parameters.RestartCounter, 0);
}

}  // namespace
}  // namespace zor
