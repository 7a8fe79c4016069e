// The driver stage with drivers of the test's own names in a folder of its
// own: the system's net and sc run for real, and the commands are recorded
// on their way through the table.
#include "engines/driver_remover.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engines/engine_under_test.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/narrow_text.h"
#include "tests/support/recorded_commands.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::Narrow;
using test::RecordedCommands;
using Stage = test::EngineUnderTest<DriverRemover>;

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
