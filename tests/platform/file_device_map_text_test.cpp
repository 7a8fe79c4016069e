#include "platform/device_map_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Narrow;

std::vector<DriveDevice> Drives() {
  return {
      {L'C', L"\\Device\\HarddiskVolume1"},
      {L'D', L"\\Device\\HarddiskVolume10"},
      {L'E', L"\\Device\\CdRom0"},
      {L'Z', L"\\Device\\LanmanRedirector\\server\\share"},
  };
}

TEST(FileDeviceMapText, DevicePathToDosPath) {
  const struct {
    const wchar_t* devicePath;
    std::uint32_t expectedStatus;
    const wchar_t* expected;
  } rows[] = {
      {L"\\Device\\HarddiskVolume1\\Windows\\x.exe", 0, L"C:\\Windows\\x.exe"},
      {L"\\Device\\HarddiskVolume10\\Program Files\\a.exe", 0, L"D:\\Program Files\\a.exe"},
      {L"\\Device\\HarddiskVolume1/x", 0, L"C:/x"},
      {L"\\Device\\CdRom0\\setup.exe", 0, L"E:\\setup.exe"},
      {L"\\Device\\LanmanRedirector\\server\\share\\f", 0, L"Z:\\f"},
      {L"\\Device\\LanmanRedirector\\;Z:0\\server\\share\\f", 0, L"\\\\server\\share\\f"},
      {L"\\Device\\LanmanRedirector\\other\\share\\f", 0, L"\\\\other\\share\\f"},
      {L"\\Device\\LanmanRedirector\\;Y:00000000000a1b2c\\other\\x", 0, L"\\\\other\\x"},
      // A device is never matched by a longer device name that it begins.
      {L"\\Device\\HarddiskVolume11\\x", 0xE001003E, L""},
      // A device alone, without a separator after it, is no path on it.
      {L"\\Device\\HarddiskVolume1", 0xE001003E, L""},
      // Compared with its case.
      {L"\\device\\harddiskvolume1\\x", 0xE001003E, L""},
      {L"\\Device\\Mup\\server\\share\\f", 0xE001003E, L""},
      {L"", 0, L""},
  };
  const std::vector<DriveDevice> drives = Drives();
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.devicePath));
    std::wstring dosPath = L"sentinel";
    EXPECT_EQ(static_cast<std::uint32_t>(DevicePathToDosPath(drives, row.devicePath, dosPath)), row.expectedStatus);
    EXPECT_EQ(dosPath, row.expected);
  }
}

TEST(FileDeviceMapText, TheFirstMatchingDriveWins) {
  const std::vector<DriveDevice> drives = {{L'C', L"\\Device\\HarddiskVolume2"}, {L'S', L"\\Device\\HarddiskVolume2"}};
  std::wstring dosPath;
  ASSERT_EQ(DevicePathToDosPath(drives, L"\\Device\\HarddiskVolume2\\x", dosPath), status::Success);
  EXPECT_EQ(dosPath, L"C:\\x");
}

TEST(FileDeviceMapText, RedirectorConnectionIsRemovedFromATarget) {
  const struct {
    const wchar_t* target;
    const wchar_t* expected;
  } rows[] = {
      {L"\\Device\\LanmanRedirector\\;Z:00000000000a1b2c\\server\\share", L"\\Device\\LanmanRedirector\\server\\share"},
      {L"\\Device\\LanmanRedirector\\server\\share", L"\\Device\\LanmanRedirector\\server\\share"},
      {L"\\Device\\LanmanRedirector\\;Z:0", L"\\Device\\LanmanRedirector"},
      {L"\\Device\\HarddiskVolume1", L"\\Device\\HarddiskVolume1"},
      {L"\\Device\\Mup\\;Z:0\\server", L"\\Device\\Mup\\;Z:0\\server"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.target));
    EXPECT_EQ(WithoutRedirectorConnection(row.target), row.expected);
  }
}

TEST(FileDeviceMapText, SystemDriveMovesToTheFrontFromSecondOrThirdPlace) {
  const struct {
    std::wstring letters;
    std::wstring expected;
  } rows[] = {
      {L"ACDE", L"CADE"}, {L"ABCD", L"CBAD"}, {L"ABDC", L"ABDC"}, {L"CDE", L"CDE"},
      {L"AC", L"CA"},     {L"A", L"A"},       {L"", L""},         {L"ABD", L"ABD"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.letters));
    std::vector<DriveDevice> drives;
    for (wchar_t letter : row.letters) drives.push_back({letter, std::wstring(L"\\Device\\") + letter});
    PutSystemDriveFirst(drives);
    std::wstring order;
    for (const DriveDevice& drive : drives) {
      order += drive.letter;
      EXPECT_EQ(drive.device, std::wstring(L"\\Device\\") + drive.letter);
    }
    EXPECT_EQ(order, row.expected);
  }
}

}  // namespace
}  // namespace zor
