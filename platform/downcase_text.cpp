#include "platform/downcase_text.h"

#include "platform/native_api.h"

namespace zor {
namespace {

// A counted string holds at most this many units.
constexpr std::size_t kMaxCountedUnits = 0x7FFF;

}  // namespace

StatusCode DowncaseText(std::wstring_view text, std::wstring& lower) {
  if (!Native().RtlDowncaseUnicodeString) return StatusFromNtStatus(nt::NotImplemented);
  std::wstring result(text);
  for (std::size_t offset = 0; offset < text.size(); offset += kMaxCountedUnits) {
    const std::size_t units = text.size() - offset < kMaxCountedUnits ? text.size() - offset : kMaxCountedUnits;
    UNICODE_STRING source;
    source.Buffer = const_cast<PWSTR>(text.data() + offset);
    source.Length = static_cast<USHORT>(units * sizeof(wchar_t));
    source.MaximumLength = source.Length;
    UNICODE_STRING target;
    target.Buffer = result.data() + offset;
    target.Length = 0;
    target.MaximumLength = source.Length;
    const NTSTATUS downcased = Native().RtlDowncaseUnicodeString(&target, &source, FALSE);
    if (!NT_SUCCESS(downcased)) return StatusFromNtStatus(downcased);
  }
  lower = std::move(result);
  return status::Success;
}

}  // namespace zor
