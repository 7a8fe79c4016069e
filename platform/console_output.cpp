#include "platform/console_output.h"

#include <string>
#include <vector>

#include "platform/console_chunks.h"
#include "platform/native_api.h"
#include "platform/spin_lock.h"

namespace zor {
namespace {

SpinLock g_consoleLock;

const nt::ProcessParameters* OwnProcessParameters() {
  const PEB* peb = nt::CurrentPeb();
  return peb ? reinterpret_cast<const nt::ProcessParameters*>(peb->ProcessParameters) : nullptr;
}

StatusCode WriteBytes(HANDLE output, const std::string& bytes) {
  if (bytes.empty()) return status::Success;
  if (Kernel32().WriteFile) {
    DWORD written = 0;
    if (!Kernel32().WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      return StatusFromLastError(GetLastError());
    }
    return status::Success;
  }
  if (!NativeChanges().ZwWriteFile) return status::GenericFailure;
  IO_STATUS_BLOCK io{};
  const NTSTATUS result = NativeChanges().ZwWriteFile(output, nullptr, nullptr, nullptr, &io, bytes.data(),
                                               static_cast<ULONG>(bytes.size()), nullptr, nullptr);
  return StatusOfNativeCall(result);
}

std::string ToOemCodePage(std::wstring_view chunk) {
  if (chunk.empty()) return {};
  const int size = WideCharToMultiByte(CP_OEMCP, 0, chunk.data(), static_cast<int>(chunk.size()), nullptr, 0, nullptr,
                                       nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, chunk.data(), static_cast<int>(chunk.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// Standard output and standard error share one console: one lock for both,
// held for a whole text, so that no text is cut by another's.
StatusCode WriteConsoleTo(HANDLE output, std::wstring_view text) {
  if (nt::DebuggerAttached()) {
    const std::wstring copy(text);
    OutputDebugStringW(copy.c_str());
  }
  if (!output || output == INVALID_HANDLE_VALUE) return status::Success;
  std::vector<std::string> chunks;
  while (!text.empty()) {
    const std::size_t units = NextChunkLength(text);
    chunks.push_back(ToOemCodePage(text.substr(0, units)));
    text.remove_prefix(units);
  }
  StatusCode result = status::Success;
  g_consoleLock.lock();
  for (const std::string& bytes : chunks) {
    const StatusCode written = WriteBytes(output, bytes);
    if (IsFailure(written)) result = written;
  }
  g_consoleLock.unlock();
  return result;
}

}  // namespace

StatusCode WriteConsoleText(std::wstring_view text) {
  const nt::ProcessParameters* parameters = OwnProcessParameters();
  return WriteConsoleTo(parameters ? parameters->StandardOutput : nullptr, text);
}

StatusCode WriteStandardErrorText(std::wstring_view text) {
  const nt::ProcessParameters* parameters = OwnProcessParameters();
  return WriteConsoleTo(parameters ? parameters->StandardError : nullptr, text);
}

}  // namespace zor
