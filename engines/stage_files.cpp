#include "engines/stage_files.h"

#include <cstdint>
#include <cwchar>

#include "platform/environment_variable.h"
#include "platform/path_text.h"
#include "platform/platform_startup.h"
#include "platform/process_identity.h"

namespace zor {

StatusCode TemporaryFolder(std::wstring& folder) {
  for (const wchar_t* name : {L"TMP", L"TEMP", L"USERPROFILE"}) {
    if (!IsEnvironmentVariableSet(name)) continue;
    folder = EnvironmentVariable(name);
    if (!folder.empty()) return status::Success;
  }
  return status::PathNotFound;
}

std::wstring TemporaryToolName() {
  std::uint8_t bytes[16];
  for (int i = 0; i < 16; i += 4) {
    const std::uint32_t random = NextRandom32();
    for (int k = 0; k < 4; ++k) bytes[i + k] = static_cast<std::uint8_t>(random >> (8 * k));
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // variant 10
  wchar_t text[37];
  std::swprintf(text, 37, L"%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return L"zor-" + std::wstring(text, 36) + L".tmp";
}

StatusCode BesideProgram(std::wstring_view name, std::wstring& path) {
  std::wstring program;
  if (const StatusCode found = ProgramModulePath(program); IsFailure(found)) return found;
  std::wstring folder;
  if (const StatusCode split = ParentFolder(program, folder); IsFailure(split)) return split;
  return CombinePath(folder, name, path);
}

}  // namespace zor
