#pragma once
// DOS paths turned into the NT paths that the native interface takes.
#include <cstddef>
#include <string_view>

#include "foundation/status_codes.h"
#include "platform/native_types.h"

namespace zor {

// An NT path made here; released with RtlFreeUnicodeString when it ends.
class NtPath {
 public:
  NtPath() = default;
  NtPath(NtPath&& other) noexcept;
  NtPath& operator=(NtPath&& other) noexcept;
  NtPath(const NtPath&) = delete;
  NtPath& operator=(const NtPath&) = delete;
  ~NtPath();

  // The counted string, for object attributes.
  UNICODE_STRING* get() { return &text_; }
  std::wstring_view view() const { return std::wstring_view(text_.Buffer, text_.Length / sizeof(wchar_t)); }
  bool empty() const { return text_.Length == 0; }

  // For the output of a conversion: releases what is held first.
  UNICODE_STRING* put();
  void reset();

 private:
  UNICODE_STRING text_{};
};

// A DOS or NT path as an NT path: "\??\" and "\Device\" paths are copied,
// a drive path is made full, relative and UNC paths are resolved by the
// system. An empty path gives 0xE0010002; a path the system cannot convert
// gives the conversion of STATUS_OBJECT_PATH_NOT_FOUND. `ntPath` is left
// as it was on failure.
StatusCode ToNtPath(std::wstring_view path, NtPath& ntPath);

// The same, and where the last component starts in the NT path. A path
// without a last component (one that ends in a separator) fails with the
// conversion of STATUS_OBJECT_PATH_NOT_FOUND.
StatusCode ToNtPathWithFilePart(std::wstring_view path, NtPath& ntPath, std::size_t& filePart);

}  // namespace zor
