#pragma once
// One owning wrapper for every kind of handle; each kind names its close.
#include <utility>

#include "platform/native_api.h"

namespace zor {

template <typename Handle, typename Close, Handle Invalid = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Invalid)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, Invalid));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Invalid; }
  explicit operator bool() const noexcept { return valid(); }

  // For an output parameter of a system call: closes what is held first.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }
  Handle release() noexcept { return std::exchange(handle_, Invalid); }
  void reset(Handle handle = Invalid) noexcept {
    if (handle_ != Invalid) Close{}(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Invalid;
};

struct CloseNtHandle {
  void operator()(HANDLE handle) const noexcept {
    if (Native().ZwClose) Native().ZwClose(handle);
  }
};

using UniqueNtHandle = UniqueHandle<HANDLE, CloseNtHandle>;

}  // namespace zor
