#include "platform/nt_path.h"

#include <new>
#include <string>
#include <utility>

#include "platform/native_api.h"
#include "platform/path_text.h"


namespace zor {
namespace {

constexpr ULONG kFirstBufferBytes = 520;

StatusCode PathNotFound() { return StatusFromNtStatus(nt::ObjectPathNotFound); }

// A grow-once read of a path that an Rtl call writes: the first buffer
// holds 259 characters; a longer answer reports its size in bytes and is
// read once more into a buffer of that size.
template <typename Read>
bool ReadPath(Read&& read, std::wstring& text) {
  std::wstring buffer(kFirstBufferBytes / sizeof(wchar_t), L'\0');
  ULONG bytes = read(kFirstBufferBytes, buffer.data());
  if (bytes >= kFirstBufferBytes) {
    const ULONG needed = bytes + sizeof(wchar_t);
    buffer.assign(needed / sizeof(wchar_t), L'\0');
    bytes = read(needed, buffer.data());
    if (bytes >= needed) return false;
  }
  if (bytes == 0) return false;
  buffer.resize(bytes / sizeof(wchar_t));
  text = std::move(buffer);
  return true;
}

// The drive designation ("C:") of the current directory, empty when the
// current directory is not on a drive.
std::wstring CurrentDrive() {
  if (!Native().RtlGetCurrentDirectory_U) return {};
  std::wstring current;
  const bool read = ReadPath([](ULONG bytes, PWSTR buffer) { return Native().RtlGetCurrentDirectory_U(bytes, buffer); }, current);
  if (!read || !HasDriveDesignation(current)) return {};
  return current.substr(0, 2);
}

StatusCode CopyNtPath(const std::wstring& path, NtPath& ntPath, std::size_t* filePart) {
  std::size_t part = 0;
  if (filePart) {
    const std::size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring::npos || separator + 1 == path.size()) return PathNotFound();
    part = separator + 1;
  }
  NtPath copy;
  if (!Native().RtlCreateUnicodeString(copy.put(), path.c_str())) return status::OutOfMemory;
  ntPath = std::move(copy);
  if (filePart) *filePart = part;
  return status::Success;
}

StatusCode Convert(std::wstring_view path, NtPath& ntPath, std::size_t* filePart) {
  if (path.empty()) return status::InvalidArgument;
  NativeApi& api = Native();
  if (!api.RtlDosPathNameToNtPathName_U || !api.RtlGetFullPathName_U) return PathNotFound();
  try {
    std::wstring text(path);
    PathForm form = ClassifyPath(text);
    if (form == PathForm::Nt) return CopyNtPath(text, ntPath, filePart);
    if (form == PathForm::RootRelative) {
      const std::wstring drive = CurrentDrive();
      if (!drive.empty()) {
        text = drive + L'\\' + text.substr(1);
        form = PathForm::Drive;
      }
    }
    if (form == PathForm::Drive) {
      const std::wstring prefixed = L"\\\\?\\" + text;
      const bool made = ReadPath(
          [&](ULONG bytes, PWSTR buffer) { return api.RtlGetFullPathName_U(prefixed.c_str(), bytes, buffer, nullptr); }, text);
      if (!made) return PathNotFound();
    }
    NtPath converted;
    PCWSTR part = nullptr;
    if (!api.RtlDosPathNameToNtPathName_U(text.c_str(), converted.put(), filePart ? &part : nullptr, nullptr)) {
      return PathNotFound();
    }
    if (filePart) {
      const std::wstring_view made = converted.view();
      if (!part || part < made.data() || part >= made.data() + made.size()) return PathNotFound();
      *filePart = static_cast<std::size_t>(part - made.data());
    }
    ntPath = std::move(converted);
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

}  // namespace

NtPath::NtPath(NtPath&& other) noexcept : text_(std::exchange(other.text_, UNICODE_STRING{})) {}

NtPath& NtPath::operator=(NtPath&& other) noexcept {
  if (this != &other) {
    reset();
    text_ = std::exchange(other.text_, UNICODE_STRING{});
  }
  return *this;
}

NtPath::~NtPath() { reset(); }

UNICODE_STRING* NtPath::put() {
  reset();
  return &text_;
}

void NtPath::reset() {
  if (text_.Buffer) Native().RtlFreeUnicodeString(&text_);
  text_ = UNICODE_STRING{};
}

StatusCode ToNtPath(std::wstring_view path, NtPath& ntPath) { return Convert(path, ntPath, nullptr); }

StatusCode ToNtPathWithFilePart(std::wstring_view path, NtPath& ntPath, std::size_t& filePart) {
  return Convert(path, ntPath, &filePart);
}

}  // namespace zor
