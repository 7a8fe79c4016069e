// Lays down a ZOR installation in a Wine prefix (or on a test machine) the
// way the product's own installers would, for the acceptance scenarios and
// the demo.
//   zor_fixture_installer.exe prepare-machine
//       the machine before the product: what 64-bit Windows has and a fresh
//       Wine prefix lacks, and other vendors' software beside the product's
//       places; run it once, before the first snapshot
//   zor_fixture_installer.exe install [--admin-console] [--user-file]
//                                     [--program-folder=PATH]
//       the client; --admin-console adds the administration console and
//       server, --user-file a file of the administrator's own in the data
//       folder, --program-folder a custom program folder of any name;
//       the product's services and the other vendor's service run after it
//   zor_fixture_installer.exe start-programs
//       the programs of a user's session: the other vendor's tray program
//       and, when the client is installed, the product's signed tray and
//       main window (after each start of the machine)
//   zor_fixture_installer.exe program-state IMAGE_NAME...
//       "IMAGE_NAME running|absent" for each program named
//   zor_fixture_installer.exe service-state NAME...
//       "NAME running|stopped|pending|absent" for each service named
// Exit code 0 when everything was laid down, 1 when a step failed (the
// message names it), 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/fixture/fixture_writer.h"
#include "tools/fixture/machine_folders.h"
#include "tools/fixture/machine_setup.h"
#include "tools/fixture/product_install.h"

namespace {

int Usage(const wchar_t* problem) {
  std::fwprintf(stderr,
                L"%ls\nusage: zor_fixture_installer.exe prepare-machine\n"
                L"       zor_fixture_installer.exe install [--admin-console] [--user-file] "
                L"[--program-folder=PATH]\n"
                L"       zor_fixture_installer.exe start-programs\n"
                L"       zor_fixture_installer.exe program-state IMAGE_NAME...\n"
                L"       zor_fixture_installer.exe service-state NAME...\n",
                problem);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace zor::fixture;
  if (argc < 2) return Usage(L"no command given");
  const std::wstring command = argv[1];
  if (command == L"start-programs" || command == L"program-state") {
    try {
      if (command == L"start-programs") {
        const MachineFolders folders = ReadMachineFolders();
        StartMachinePrograms(folders);
        StartProductPrograms(folders);
        std::wprintf(L"programs started\n");
      } else {
        for (int i = 2; i < argc; ++i) std::wprintf(L"%ls %ls\n", argv[i], ProgramRuns(argv[i]) ? L"running" : L"absent");
      }
      return 0;
    } catch (const FixtureError& error) {
      std::fwprintf(stderr, L"zor_fixture_installer: %ls\n", error.text().c_str());
      return 1;
    }
  }
  if (command == L"service-state") {
    // One line per service named: "NAME STATE".
    if (argc < 3) return Usage(L"no service named");
    try {
      for (int i = 2; i < argc; ++i) std::wprintf(L"%ls %ls\n", argv[i], ServiceState(argv[i]).c_str());
      return 0;
    } catch (const FixtureError& error) {
      std::fwprintf(stderr, L"zor_fixture_installer: %ls\n", error.text().c_str());
      return 1;
    }
  }
  bool adminConsole = false;
  bool userFile = false;
  for (int i = 2; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (command == L"install" && option == L"--admin-console") {
      adminConsole = true;
    } else if (command == L"install" && option == L"--user-file") {
      userFile = true;
    } else if (command == L"install" && option.rfind(L"--program-folder=", 0) == 0 && option.size() > 17) {
      ChooseProgramFolder(option.substr(17));
    } else {
      return Usage((L"unknown option " + option).c_str());
    }
  }
  if (command != L"prepare-machine" && command != L"install") return Usage((L"unknown command " + command).c_str());
  try {
    const MachineFolders folders = ReadMachineFolders();
    if (command == L"prepare-machine") {
      PrepareMachine(folders);
      std::wprintf(L"machine prepared\n");
      return 0;
    }
    InstallClient(folders);
    std::wprintf(L"installed ZOR Security 10 in %ls\n", ProductFoldersOn(folders).program.c_str());
    if (adminConsole) {
      InstallAdminConsole(folders);
      std::wprintf(L"installed ZOR Admin 10 in %ls\n", ProductFoldersOn(folders).admin.c_str());
    }
    if (userFile) std::wprintf(L"placed the user's file %ls\n", PlaceUserFile(folders).c_str());
    return 0;
  } catch (const FixtureError& error) {
    std::fwprintf(stderr, L"zor_fixture_installer: %ls\n", error.text().c_str());
    return 1;
  }
}
