#include "app/whitelist_file.h"

#include <windows.h>

#include <memory>
#include <new>

#include "app/whitelist_text.h"
#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/nt_path.h"

namespace zor {
namespace {

constexpr ULONG kReadChunkBytes = 4096;

std::wstring WideFromAnsi(std::string_view line) {
  if (line.empty()) return {};
  const int size = static_cast<int>(line.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, line.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, line.data(), size, text.data(), needed);
  return text;
}

}  // namespace

StatusCode ReadWhitelistFile(std::wstring_view path, std::vector<std::wstring>& list) {
  list.clear();
  NtPath name;
  if (const StatusCode converted = ToNtPath(path, name); IsFailure(converted)) return converted;
  UniqueNtHandle file;
  // Shared for reading only: the list is read as it stands, not as someone
  // writes it.
  const NTSTATUS opened = native_file::Open(nullptr, *name.get(), GENERIC_READ | SYNCHRONIZE, FILE_SHARE_READ,
                               FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, file);
  if (!NT_SUCCESS(opened)) return native_file::FileStatus(opened);

  std::vector<std::wstring> lines;
  try {
    WhitelistDecoder decoder(&WideFromAnsi);
    const std::unique_ptr<char[]> chunk(new char[kReadChunkBytes]);
    for (;;) {
      IO_STATUS_BLOCK io{};
      const NTSTATUS read =
          Native().ZwReadFile(file.get(), nullptr, nullptr, nullptr, &io, chunk.get(), kReadChunkBytes, nullptr, nullptr);
      // The end of the file, or any failure, ends the reading.
      if (!NT_SUCCESS(read) || io.Information == 0) break;
      decoder.Feed(std::string_view(chunk.get(), io.Information), lines);
    }
    decoder.Finish(lines);
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  list = std::move(lines);
  return status::Success;
}

}  // namespace zor
