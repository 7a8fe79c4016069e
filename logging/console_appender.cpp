#include "logging/console_appender.h"

#include <string>

#include "logging/appender_settings.h"
#include "platform/console_output.h"
#include "platform/native_api.h"
#include "platform/spin_lock.h"

namespace zor {
namespace {

// Standard output goes through the program's console writer and its lock;
// standard error has only this appender's writes, serialised here.
SpinLock g_standardErrorLock;

StatusCode WriteToStandardError(std::wstring_view text) {
  if (nt::DebuggerAttached()) {
    const std::wstring copy(text);
    OutputDebugStringW(copy.c_str());
  }
  const PEB* peb = nt::CurrentPeb();
  const auto* parameters = peb ? reinterpret_cast<const nt::ProcessParameters*>(peb->ProcessParameters) : nullptr;
  const HANDLE output = parameters ? parameters->StandardError : nullptr;
  if (!output || output == INVALID_HANDLE_VALUE || text.empty()) return status::Success;

  const int size =
      WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return StatusFromLastError(GetLastError());
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);

  g_standardErrorLock.lock();
  IO_STATUS_BLOCK io{};
  const NTSTATUS written = NativeChanges().ZwWriteFile(output, nullptr, nullptr, nullptr, &io, bytes.data(),
                                                static_cast<ULONG>(bytes.size()), nullptr, nullptr);
  g_standardErrorLock.unlock();
  return StatusOfNativeCall(written);
}

}  // namespace

StatusCode ConsoleAppender::ReadConfiguration(const ConfigSection& section) {
  const StatusCode checked = CheckAppenderType(section, {L"Console"});
  if (IsFailure(checked)) return checked;
  standardError_ = ReadTargetIsStandardError(section);
  return status::Success;
}

void ConsoleAppender::WriteOwnConfiguration(ConfigSection& section) const {
  section.SetValue(L"Target", standardError_ ? L"System.err" : L"System.out");
}

StatusCode ConsoleAppender::WriteRaw(std::wstring_view text) {
  std::wstring line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back(L'\n');
  return standardError_ ? WriteToStandardError(line) : WriteConsoleText(line);
}

}  // namespace zor
