#include "platform/shared_append_gate.h"

#include <windows.h>

#include <string>

#include "foundation/format_text.h"
#include "platform/native_api.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

constexpr DWORD kMutexWaitMilliseconds = 10000;
// A process that died in the middle of a lock-free append never finishes
// it; the newcomer waits that long at most.
constexpr DWORD kSettleMilliseconds = 2000;

// FNV-1a over the path in upper case: one name per file, whatever the
// spelling, short enough for the object namespace.
std::uint64_t PathHash(std::wstring_view path) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (wchar_t c : path) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    hash = (hash ^ static_cast<std::uint16_t>(c)) * 0x100000001B3ull;
  }
  return hash;
}

}  // namespace

StatusCode SharedAppendGate::Open(std::wstring_view fullPath) {
  Close();
  const std::uint64_t hash = PathHash(fullPath);
  const std::wstring base = FormatText(L"Local\\ZorRemoverLog-%08x%08x", static_cast<std::uint32_t>(hash >> 32),
                                       static_cast<std::uint32_t>(hash));
  const std::wstring sectionName = base + L"-writers";
  section_.reset(Win32().CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Block),
                                            sectionName.c_str()));
  if (!section_) return StatusFromLastError(GetLastError());
  void* view = Win32().MapViewOfFile(section_.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Block));
  if (!view) {
    const StatusCode failed = StatusFromLastError(GetLastError());
    section_.reset();
    return failed;
  }
  const std::wstring mutexName = base + L"-append";
  mutex_.reset(Win32().CreateMutexW(nullptr, FALSE, mutexName.c_str()));
  if (!mutex_) {
    const StatusCode failed = StatusFromLastError(GetLastError());
    Win32().UnmapViewOfFile(view);
    section_.reset();
    return failed;
  }
  // A new section is zero-filled: no writers, no appends under way.
  block_ = static_cast<Block*>(view);
  block_->writers.fetch_add(1);
  // From here on the others take the mutex; what they began without it
  // ends first.
  for (DWORD waited = 0; block_->lockFreeWrites.load() > 0 && waited < kSettleMilliseconds; ++waited) {
    Win32().Sleep(1);
  }
  return status::Success;
}

void SharedAppendGate::Close() {
  if (block_) {
    block_->writers.fetch_sub(1);
    Win32().UnmapViewOfFile(block_);
    block_ = nullptr;
  }
  mutex_.reset();
  section_.reset();
}

StatusCode SharedAppendGate::Append(const std::function<StatusCode()>& append) {
  if (!block_) return append();
  block_->lockFreeWrites.fetch_add(1);
  if (block_->writers.load() <= 1) {
    const StatusCode written = append();
    block_->lockFreeWrites.fetch_sub(1);
    return written;
  }
  block_->lockFreeWrites.fetch_sub(1);

  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>(kMutexWaitMilliseconds) * 10000;
  const NTSTATUS waited = Native().ZwWaitForSingleObject(mutex_.get(), FALSE, &timeout);
  // An owner that died holding it left it abandoned: the wait takes it over.
  if (waited != nt::Success && waited != nt::AbandonedWait) return CodeFromBits(0xE0010076);
  const StatusCode written = append();
  Native().ZwReleaseMutant(mutex_.get(), nullptr);
  return written;
}

}  // namespace zor
